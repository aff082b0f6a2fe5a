// libFuzzer target: the polygon cases of poly_case.h on pages that the 3D
// device (OpenGL, llvmpipe here) draws: hostile polygons through the device
// path instead of the scan converters.
#include <cstdlib>

#include "poly_case.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::stop_on_violation(fuzz::run_device_input(data, size));
    return 0;
}
