// Test entry: every suite runs headless on SDL's offscreen video driver.
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    // Where the build's programs and the sources are, for tests that run tools.
    setenv("BV_BUILD_DIR", BV_DEFAULT_BUILD_DIR, 0);
    setenv("BV_SOURCE_DIR", BV_DEFAULT_SOURCE_DIR, 0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
