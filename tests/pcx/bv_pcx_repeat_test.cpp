// bv-pcx --repeat: loading the file N times draws what one load draws, 0
// times leaves the page as filled, and a failing load stops the repeats
// with its result.
#include "pcx_support.h"

using namespace pcxtest;

namespace {

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
        const bvtest::ProgramRun r = bv_pcx(file + " --size 3x1 --depth 32 --repeat " + repeat + " --raw " + raw);
        EXPECT_EQ(r.status, 0) << repeat;
        EXPECT_EQ(r.out, "result 0\n") << repeat;
        EXPECT_EQ(bvtest::read_bytes(raw), drawn) << repeat;
    }
}

TEST_F(RepeatedLoads, ZeroLoadsLeaveThePageAsFilled) {
    const bvtest::ProgramRun r = bv_pcx(file + " --size 3x1 --depth 32 --repeat 0 --raw " + raw);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "result 0\n");
    EXPECT_EQ(bvtest::read_bytes(raw), std::vector<uint8_t>(12, 0));
}

TEST_F(RepeatedLoads, AFailingLoadEndsTheRepeatsWithItsResult) {
    const bvtest::ProgramRun missing = bv_pcx(temp_path("repeat-missing.pcx") + " --repeat 5");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "result 1\n");
    const bvtest::ProgramRun refused = bv_pcx(file + " --depth 8 --repeat 4");
    EXPECT_EQ(refused.status, 3);
    EXPECT_EQ(refused.out, "result 3\n");
}

TEST(BvPcxRepeat, BadCountsAreUsageErrors) {
    for (const char *count : {"-1", "100001", "many", "2x", ""}) {
        const bvtest::ProgramRun r = bv_pcx(std::string("x.pcx --repeat '") + count + "'");
        EXPECT_EQ(r.status, 64) << count;
        EXPECT_EQ(r.out, "") << count;
        EXPECT_NE(r.err.find("--repeat"), std::string::npos) << count << ": " << r.err;
    }
    const bvtest::ProgramRun missing_value = bv_pcx("x.pcx --repeat");
    EXPECT_EQ(missing_value.status, 64);
}

}  // namespace
