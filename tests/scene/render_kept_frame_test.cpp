// bv-render keeps only the last frame drawn: steps that draw nothing, before
// or after the keys, leave the written frame as the keys alone make it, on
// the software path and through the 3D device alike.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "programs.h"

namespace {

// The raw page bytes bv-render writes for these options; empty when it
// failed.
std::vector<uint8_t> raw_frame(const std::string &options) {
    using namespace bvtest;
    const std::string raw = testing::TempDir() + "bv_kept_frame_" + std::to_string(getpid()) + ".raw";
    const ProgramRun r =
        run_program("cd " + shell_quoted(build_dir()) + " && ./bv-render --pcx CUBE.PCX " + options + " --raw " + shell_quoted(raw));
    std::vector<uint8_t> bytes;
    if (r.status == 0) bytes = read_bytes(raw);
    std::remove(raw.c_str());
    return bytes;
}

TEST(RenderKeptFrame, QuietStepsBeforeAndAfterTheKeysChangeNothing) {
    const std::vector<uint8_t> turned = raw_frame("--keys shift+y*7");
    ASSERT_EQ(turned.size(), 640u * 480u * 2u);
    EXPECT_EQ(raw_frame("--keys none*3,shift+y*7"), turned);
    EXPECT_EQ(raw_frame("--keys none,shift+y*7,none*2,shift+none"), turned);
    EXPECT_NE(raw_frame("--keys shift+y*6"), turned);
}

TEST(RenderKeptFrame, OnlyQuietStepsKeepTheFirstFrame) {
    const std::vector<uint8_t> first = raw_frame("--keys none");
    ASSERT_EQ(first.size(), 640u * 480u * 2u);
    EXPECT_EQ(raw_frame("--keys none*5,shift+none*2"), first);
}

TEST(RenderKeptFrame, TheDevicePathKeepsItsLastFrameToo) {
    const std::vector<uint8_t> moved = raw_frame("--display-flags 15 --keys x*3,left*2");
    if (moved.empty()) GTEST_SKIP() << "no 3D device here";
    EXPECT_EQ(raw_frame("--display-flags 15 --keys none*2,x*3,left*2,none*3"), moved);
    EXPECT_NE(raw_frame("--display-flags 15 --keys x*3,left"), moved);
}

}  // namespace
