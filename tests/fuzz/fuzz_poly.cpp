// libFuzzer target: bv_draw_3d_poly and the four scan converters on every
// depth, with hostile vertices, clip rectangles, origins, depth buffers and
// textures from the input (poly_case.h).
#include <cstdlib>

#include "poly_case.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::stop_on_violation(fuzz::run_poly_input(data, size));
    return 0;
}
