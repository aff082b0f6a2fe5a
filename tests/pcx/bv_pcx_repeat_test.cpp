// bv-pcx --repeat: loading the file N times draws what one load draws, 0
// times leaves the page as filled, and a failing load stops the repeats
// with its result.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "pcx_support.h"

using namespace pcxtest;

namespace {

struct ToolResult {
    int status = -1;
    std::string out, err;
};

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

ToolResult bv_pcx(const std::string &args) {
    const char *dir = std::getenv("BV_BUILD_DIR");
    const std::string tool = std::string(dir != nullptr ? dir : ".") + "/tools/bv-pcx";
    const std::string out = temp_path("repeat.out"), err = temp_path("repeat.err");
    const int status = std::system((tool + " " + args + " >" + out + " 2>" + err).c_str());
    ToolResult r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}

std::vector<uint8_t> raw_bytes(const std::string &path) {
    const std::string s = slurp(path);
    return std::vector<uint8_t>(s.begin(), s.end());
}

// Two 24-bit pixels, (255, 0, 16) and (8, 130, 255), at the page's top left.
class RepeatedLoads : public testing::Test {
protected:
    void SetUp() override {
        Header h;
        h.planes = 3;
        h.xmax = 1;
        h.bytes_per_line = 2;
        file = write_temp("repeat-two.pcx", pcx_file(h, as_runs_of_one({255, 8, 0, 130, 16, 255})));
        raw = temp_path("repeat.raw");
    }
    void TearDown() override {
        std::remove(file.c_str());
        std::remove(raw.c_str());
    }
    std::string file, raw;
    // 32-bit pixels blue, green, red, 0; the third column keeps the fill (0).
    const std::vector<uint8_t> drawn{16, 0, 255, 0, 255, 130, 8, 0, 0, 0, 0, 0};
};

TEST_F(RepeatedLoads, ManyLoadsDrawWhatOneLoadDraws) {
    for (const char *repeat : {"1", "3", "25"}) {
        const ToolResult r = bv_pcx(file + " --size 3x1 --depth 32 --repeat " + repeat + " --raw " + raw);
        EXPECT_EQ(r.status, 0) << repeat;
        EXPECT_EQ(r.out, "result 0\n") << repeat;
        EXPECT_EQ(raw_bytes(raw), drawn) << repeat;
    }
}

TEST_F(RepeatedLoads, ZeroLoadsLeaveThePageAsFilled) {
    const ToolResult r = bv_pcx(file + " --size 3x1 --depth 32 --repeat 0 --raw " + raw);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "result 0\n");
    EXPECT_EQ(raw_bytes(raw), std::vector<uint8_t>(12, 0));
}

TEST_F(RepeatedLoads, AFailingLoadEndsTheRepeatsWithItsResult) {
    const ToolResult missing = bv_pcx(temp_path("repeat-missing.pcx") + " --repeat 5");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "result 1\n");
    const ToolResult refused = bv_pcx(file + " --depth 8 --repeat 4");
    EXPECT_EQ(refused.status, 3);
    EXPECT_EQ(refused.out, "result 3\n");
}

TEST(BvPcxRepeat, BadCountsAreUsageErrors) {
    for (const char *count : {"-1", "100001", "many", "2x", ""}) {
        const ToolResult r = bv_pcx(std::string("x.pcx --repeat '") + count + "'");
        EXPECT_EQ(r.status, 64) << count;
        EXPECT_EQ(r.out, "") << count;
        EXPECT_NE(r.err.find("--repeat"), std::string::npos) << count << ": " << r.err;
    }
    const ToolResult missing_value = bv_pcx("x.pcx --repeat");
    EXPECT_EQ(missing_value.status, 64);
}

}  // namespace
