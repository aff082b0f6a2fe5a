// libFuzzer target: bv_load_pcx in memory and file mode on every page
// depth, with flags, cursor and padded pitch from the input (pcx_case.h).
#include <cstdlib>

#include "pcx_case.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::stop_on_violation(fuzz::run_pcx_input(data, size));
    return 0;
}
