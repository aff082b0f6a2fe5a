// libFuzzer target: bv_set_palette, bv_reduce_colors and bv_make_palette
// with any start, count and colours on 8-bit and deeper pages; see
// palette_case.h for what an input means and what is checked.
#include <cstdlib>

#include "palette_case.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::stop_on_violation(fuzz::run_palette_input(data, size));
    return 0;
}
