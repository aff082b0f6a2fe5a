// bv-render --show-device names the device that drew: the library's own
// scan converters when the display flags allow no software 3D device (the
// demo's 13), the OpenGL device (a software one here) when they do (15).
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string build_dir() {
    const char *dir = std::getenv("BV_BUILD_DIR");
    if (dir != nullptr && dir[0] != '\0') return dir;
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : self.parent_path().parent_path().string();
}

struct Output {
    int status = -1;
    std::string out;
};

Output render(const std::string &options) {
    const std::string out = testing::TempDir() + "bv_show_device_" + std::to_string(getpid()) + ".out";
    const std::string command =
        "cd '" + build_dir() + "' && ./bv-render --pcx CUBE.PCX " + options + " >'" + out + "' 2>/dev/null";
    const int status = std::system(command.c_str());
    Output r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(out);
    r.out.assign(std::istreambuf_iterator<char>(in), {});
    std::remove(out.c_str());
    return r;
}

TEST(RenderShowDevice, TheDemosFlagsDrawWithTheScanConverters) {
    const Output r = render("--show-device --keys x*2");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "device kind 0\n");
}

TEST(RenderShowDevice, SoftwareDevicesAllowedDrawThroughTheDevice) {
    const Output r = render("--show-device --display-flags 15 --keys x*2");
    EXPECT_EQ(r.status, 0);
    if (r.out == "device kind 0\n") GTEST_SKIP() << "no OpenGL device here";
    EXPECT_TRUE(r.out == "device kind 1\n" || r.out == "device kind 2\n") << r.out;
}

TEST(RenderShowDevice, WithoutTheOptionNothingIsPrinted) {
    const Output r = render("--keys x");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}

}  // namespace
