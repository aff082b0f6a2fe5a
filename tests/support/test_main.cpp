// Test entry: every suite runs headless on SDL's offscreen video driver.
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
