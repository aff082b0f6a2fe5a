// The libFuzzer entry of the case BV_FUZZ_RUN names (scripts/fuzz runs it with SDL_VIDEODRIVER=offscreen).
#include "fuzz_cases.h"

namespace fuzz {
// A device start costs about twenty cases: a process keeps to one page depth, BV_FUZZ_DEVICE_DEPTH=32 or 16.
void run_device_input(const uint8_t *data, size_t size) {
    static const char *depth = std::getenv("BV_FUZZ_DEVICE_DEPTH");
    run_poly_input(data, size, depth != nullptr && std::string(depth) == "32" ? 32 : 16);
}
}  // namespace fuzz

// A violation throws: the uncaught exception is the finding.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) { return fuzz::BV_FUZZ_RUN(data, size), 0; }
