// The bv-pcx tool: its result line and exit status, usage errors, and the
// page image, raw pixels and palette it writes.
#include "pcx_support.h"

using namespace pcxtest;

namespace {

using bvtest::read_bytes;

int line_count(const std::string &s) {
    int n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

TEST(BvPcxTool, UsageErrorsExit64WithOneLine) {
    for (const char *args : {"", "a.pcx b.pcx", "x.pcx --depth 12", "x.pcx --depth", "x.pcx --size 0x4",
                             "x.pcx --size 4", "x.pcx --at 3", "x.pcx --flags many", "x.pcx --out picture.gif",
                             "x.pcx --frobnicate"}) {
        const bvtest::ProgramRun r = bv_pcx(args);
        EXPECT_EQ(r.status, 64) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_EQ(line_count(r.err), 1) << args << ": " << r.err;
        EXPECT_EQ(r.err.rfind("bv-pcx: ", 0), 0u) << r.err;
    }
}

TEST(BvPcxTool, ResultIsPrintedAndIsTheExitStatus) {
    const bvtest::ProgramRun missing = bv_pcx(temp_path("no-such-file.pcx"));
    EXPECT_EQ(missing.out, "result 1\n");
    EXPECT_EQ(missing.status, 1);

    Header h;
    h.manufacturer = 7;
    const std::string bad = write_temp("tool-bad.pcx", header_bytes(h));
    const bvtest::ProgramRun wrong = bv_pcx(bad);
    EXPECT_EQ(wrong.out, "result 2\n");
    EXPECT_EQ(wrong.status, 2);

    Header rgb;
    rgb.planes = 3;
    rgb.bytes_per_line = 1;
    const std::string planar = write_temp("tool-rgb.pcx", pcx_file(rgb, {1, 2, 3}));
    const bvtest::ProgramRun refused = bv_pcx(planar + " --depth 8");
    EXPECT_EQ(refused.out, "result 3\n");
    EXPECT_EQ(refused.status, 3);
    const bvtest::ProgramRun shown = bv_pcx(planar + " --depth 24");
    EXPECT_EQ(shown.out, "result 0\n");
    EXPECT_EQ(shown.status, 0);
    std::remove(bad.c_str());
    std::remove(planar.c_str());
}

// Two pixels of 24-bit planes at (1, 1) with flags 2, on a 3 x 2 page.
class ToolOutputs : public testing::Test {
protected:
    void SetUp() override {
        Header h;
        h.planes = 3;
        h.xmin = 50;  // placed at the cursor instead, with flags 2
        h.xmax = 51;
        h.ymin = h.ymax = 50;
        h.bytes_per_line = 2;
        file = write_temp("tool-two.pcx", pcx_file(h, as_runs_of_one({255, 8, 0, 130, 16, 255})));
    }
    void TearDown() override { std::remove(file.c_str()); }
    std::string file;
    // (255, 0, 16) and (8, 130, 255)
};

TEST_F(ToolOutputs, RawPixelsRowAfterRowWithoutPadding) {
    const std::string raw = temp_path("tool.raw");
    ASSERT_EQ(bv_pcx(file + " --size 3x2 --at 1,1 --flags 2 --depth 32 --raw " + raw).status, 0);
    EXPECT_EQ(read_bytes(raw), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                                     0, 0, 0, 0, 16, 0, 255, 0, 255, 130, 8, 0}));
    ASSERT_EQ(bv_pcx(file + " --size 3x2 --at 1,1 --flags 2 --depth 24 --raw " + raw).status, 0);
    EXPECT_EQ(read_bytes(raw), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                                     0, 0, 0, 16, 0, 255, 255, 130, 8}));
    // 5-6-5: (255, 0, 16) is 0xF802, (8, 130, 255) is 0x0C1F.
    ASSERT_EQ(bv_pcx(file + " --size 3x2 --at 1,1 --flags 2 --depth 16 --raw " + raw).status, 0);
    EXPECT_EQ(read_bytes(raw), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0xF8, 0x1F, 0x0C}));
    // 5-5-5: 0x7C02 and 0x061F.
    ASSERT_EQ(bv_pcx(file + " --size 3x2 --at 1,1 --flags 2 --depth 16 --rgb555 --raw " + raw).status, 0);
    EXPECT_EQ(read_bytes(raw), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0x7C, 0x1F, 0x06}));
    std::remove(raw.c_str());
}

TEST_F(ToolOutputs, PpmOf16BitPagesWidensByBitReplication) {
    const std::string ppm = temp_path("tool.ppm");
    ASSERT_EQ(bv_pcx(file + " --size 3x2 --at 1,1 --flags 2 --depth 16 --out " + ppm).status, 0);
    const std::string head = "P6\n3 2\n255\n";
    const std::vector<uint8_t> bytes = read_bytes(ppm);
    ASSERT_EQ(bytes.size(), head.size() + 18);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + static_cast<long>(head.size())), head);
    // red 31 -> 255, green 0 -> 0, blue 2 -> 16 | 0 = 16; red 1 -> 8, green
    // 32 -> 128 | 2 = 130, blue 31 -> 255.
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 6, bytes.end()), (std::vector<uint8_t>{255, 0, 16, 8, 130, 255}));
    std::remove(ppm.c_str());
}

TEST_F(ToolOutputs, PngIsWrittenThroughLibpng) {
    const std::string png = temp_path("tool.png");
    ASSERT_EQ(bv_pcx(file + " --size 3x2 --out " + png).status, 0);
    const std::vector<uint8_t> bytes = read_bytes(png);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
    EXPECT_EQ(bytes[19], 3) << "width 3";
    EXPECT_EQ(bytes[23], 2) << "height 2";
    std::remove(png.c_str());
}

TEST(BvPcxTool, EightBitPageImageGoesThroughThePalette) {
    Header h;
    h.version = 2;
    h.bits_per_pixel = 1;
    h.xmax = 1;
    h.bytes_per_line = 1;
    h.colour_map = {{1, 2, 3}, {200, 100, 50}};
    const std::string file = write_temp("tool-mono.pcx", pcx_file(h, {0x40}));
    const std::string ppm = temp_path("tool8.ppm"), pal = temp_path("tool8.pal");
    ASSERT_EQ(bv_pcx(file + " --depth 8 --size 2x1 --out " + ppm + " --palette " + pal).status, 0);
    const std::vector<uint8_t> image = read_bytes(ppm);
    ASSERT_GE(image.size(), 6u);
    EXPECT_EQ(std::vector<uint8_t>(image.end() - 6, image.end()), (std::vector<uint8_t>{1, 2, 3, 200, 100, 50}));
    const std::vector<uint8_t> palette = read_bytes(pal);
    ASSERT_EQ(palette.size(), 768u);
    EXPECT_EQ(std::vector<uint8_t>(palette.begin() + 30, palette.begin() + 36),
              (std::vector<uint8_t>{1, 2, 3, 200, 100, 50}))
        << "entries 10 and 11";
    EXPECT_EQ(std::vector<uint8_t>(palette.begin() + 27, palette.begin() + 30), (std::vector<uint8_t>{164, 200, 240}))
        << "entry 9, a system colour";
    std::remove(file.c_str());
    std::remove(ppm.c_str());
    std::remove(pal.c_str());
}

}  // namespace
