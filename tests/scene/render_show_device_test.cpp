// bv-render --show-device names the device that drew: the library's own
// scan converters when the display flags allow no software 3D device (the
// demo's 13), the OpenGL device (a software one here) when they do (15).
#include <string>

#include <gtest/gtest.h>

#include "programs.h"

namespace {

using bvtest::ProgramRun;

ProgramRun render(const std::string &options) {
    return bvtest::run_program("cd " + bvtest::shell_quoted(bvtest::build_dir()) + " && ./bv-render --pcx CUBE.PCX " +
                               options);
}

TEST(RenderShowDevice, TheDemosFlagsDrawWithTheScanConverters) {
    const ProgramRun r = render("--show-device --keys x*2");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "device kind 0\n");
}

TEST(RenderShowDevice, SoftwareDevicesAllowedDrawThroughTheDevice) {
    const ProgramRun r = render("--show-device --display-flags 15 --keys x*2");
    EXPECT_EQ(r.status, 0);
    if (r.out == "device kind 0\n") GTEST_SKIP() << "no OpenGL device here";
    EXPECT_TRUE(r.out == "device kind 1\n" || r.out == "device kind 2\n") << r.out;
}

TEST(RenderShowDevice, WithoutTheOptionNothingIsPrinted) {
    const ProgramRun r = render("--keys x");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}

}  // namespace
