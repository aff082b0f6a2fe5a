// libFuzzer target: the polygon cases of poly_case.h on a page that the 3D
// device (OpenGL, llvmpipe here) draws: hostile polygons through the device
// path instead of the scan converters. BV_FUZZ_DEVICE_DEPTH=32 picks the
// 32-bit page (16 by default); a finding replays only with the same.
#include <cstdlib>

#include "poly_case.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const int32_t depth = fuzz::device_depth_from_environment();
    fuzz::stop_on_violation(fuzz::run_device_input(data, size, depth));
    return 0;
}
