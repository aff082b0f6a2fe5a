// Rows wide enough for the converters' wide steps (sixteen pixels and
// more), cut at the left by a negative cursor and at the right by the
// page's edge, with scan lines longer than the picture: every pixel
// against the format's own rules, at every deep page depth.
#include "pcx_support.h"

using namespace pcxtest;

namespace {

constexpr int IMAGE_W = 75;      // columns the picture has
constexpr int LINE_BYTES = 80;   // bytes a plane's scan line holds
constexpr int ROWS = 3;
constexpr int PAGE_W = 61;       // the picture's columns 4..64 land on it
constexpr int CURSOR_X = -4;

struct Depth {
    int depth;
    bool rgb555;
};

class WideRows : public testing::TestWithParam<Depth> {
protected:
    void SetUp() override {
        PageOptions o;
        o.width = PAGE_W;
        o.height = ROWS + 1;
        o.depth = GetParam().depth;
        o.rgb555 = GetParam().rgb555;
        o.pad = 5;
        page = std::make_unique<Page>(o);
        ASSERT_TRUE(page->ready());
        page->fill(0x5A5A5A5Au);
        bv_move_to(CURSOR_X, 0);
    }
    void TearDown() override { page.reset(); }

    uint32_t colour(Rgb c) const { return expected_pixel(c, GetParam().depth, GetParam().rgb555); }

    // Each row of the page against the picture's colour of its column.
    template <class ColourAt>
    void expect_rows(ColourAt colour_at) {
        const uint32_t untouched = GetParam().depth == 16 ? 0x5A5Au : GetParam().depth == 24 ? 0x5A5A5Au : 0x5A5A5A5Au;
        for (int y = 0; y < ROWS + 1; ++y) {
            for (int x = 0; x < PAGE_W; ++x) {
                const uint32_t want = y < ROWS ? colour(colour_at(x - CURSOR_X, y)) : untouched;
                ASSERT_EQ(page->pixel(x, y), want) << "page pixel " << x << "," << y;
            }
            EXPECT_EQ(page->padding(y), std::vector<uint8_t>(5, Page::PADDING_BYTE)) << "row " << y;
        }
    }

    std::unique_ptr<Page> page;
};

uint8_t plane_value(int column, int row, int plane) {
    return static_cast<uint8_t>(column * 37 + row * 101 + plane * 71 + (column * column) % 13);
}

TEST_P(WideRows, TwentyFourBitPlanes) {
    Header h;
    h.planes = 3;
    h.xmax = IMAGE_W - 1;
    h.ymax = ROWS - 1;
    h.bytes_per_line = LINE_BYTES;
    std::vector<uint8_t> bytes;
    for (int y = 0; y < ROWS; ++y)
        for (int p = 0; p < 3; ++p)
            for (int x = 0; x < LINE_BYTES; ++x) bytes.push_back(plane_value(x, y, p));
    ASSERT_EQ(load_bytes(pcx_file(h, as_runs_of_one(bytes)), BV_PCX_AT_CURSOR), 0);
    expect_rows([](int column, int row) {
        return Rgb{plane_value(column, row, 0), plane_value(column, row, 1), plane_value(column, row, 2)};
    });
}

// Read in chunks of an odd size, so that a run's count byte and its value
// byte fall into different chunks again and again.
TEST_P(WideRows, ChunkEdgesBetweenARunsTwoBytesChangeNothing) {
    Header h;
    h.planes = 3;
    h.xmax = IMAGE_W - 1;
    h.ymax = ROWS - 1;
    h.bytes_per_line = LINE_BYTES;
    std::vector<uint8_t> bytes;
    for (int y = 0; y < ROWS; ++y)
        for (int p = 0; p < 3; ++p)
            for (int x = 0; x < LINE_BYTES; ++x) bytes.push_back(plane_value(x, y, p));
    static uint8_t chunk[131];
    ASSERT_EQ(bv_set_image_buffer(chunk, sizeof chunk), 0);
    ASSERT_EQ(load_bytes(pcx_file(h, as_runs_of_one(bytes)), BV_PCX_AT_CURSOR), 0);
    bv::reset_image_buffer();
    expect_rows([](int column, int row) {
        return Rgb{plane_value(column, row, 0), plane_value(column, row, 1), plane_value(column, row, 2)};
    });
}

// Eight-bit indices through the trailer's colours, kept as they are.
TEST_P(WideRows, EightBitIndexed) {
    Header h;
    h.xmax = IMAGE_W - 1;
    h.ymax = ROWS - 1;
    h.bytes_per_line = LINE_BYTES;
    std::vector<Rgb> colours;
    for (int i = 0; i < 256; ++i)
        colours.push_back(Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 5)});
    std::vector<uint8_t> bytes;
    for (int y = 0; y < ROWS; ++y)
        for (int x = 0; x < LINE_BYTES; ++x) bytes.push_back(plane_value(x, y, 0));
    ASSERT_EQ(load_bytes(pcx_file(h, as_runs_of_one(bytes), trailer_bytes(colours)), BV_PCX_AT_CURSOR | BV_PCX_NO_REDUCE),
              0);
    expect_rows([&](int column, int row) { return colours[plane_value(column, row, 0)]; });
}

// Scan lines shorter than the picture: the columns they do not describe
// show value 0 (black for planes, the trailer's colour 0 for indices).
TEST_P(WideRows, ColumnsBeyondTheScanLineShowValueZero) {
    Header h;
    h.planes = 3;
    h.xmax = IMAGE_W - 1;
    h.ymax = ROWS - 1;
    h.bytes_per_line = 38;  // columns 0..37 described; the page shows 4..64
    std::vector<uint8_t> bytes;
    for (int y = 0; y < ROWS; ++y)
        for (int p = 0; p < 3; ++p)
            for (int x = 0; x < 38; ++x) bytes.push_back(plane_value(x, y, p));
    ASSERT_EQ(load_bytes(pcx_file(h, as_runs_of_one(bytes)), BV_PCX_AT_CURSOR), 0);
    expect_rows([](int column, int row) {
        if (column >= 38) return Rgb{0, 0, 0};
        return Rgb{plane_value(column, row, 0), plane_value(column, row, 1), plane_value(column, row, 2)};
    });
}

INSTANTIATE_TEST_SUITE_P(DeepPages, WideRows,
                         testing::Values(Depth{16, false}, Depth{16, true}, Depth{24, false}, Depth{32, false}),
                         [](const testing::TestParamInfo<Depth> &info) {
                             return std::to_string(info.param.depth) + (info.param.rgb555 ? "_555" : "");
                         });

}  // namespace
