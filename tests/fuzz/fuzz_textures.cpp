// libFuzzer target: the texture table under any sequence of allocate,
// define, select, free and draw; see textures_case.h for what an input
// means and what is checked.
#include <cstdlib>

#include "textures_case.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::stop_on_violation(fuzz::run_textures_input(data, size));
    return 0;
}
