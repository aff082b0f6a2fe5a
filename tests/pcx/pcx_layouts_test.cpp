// Every source layout on every page depth, on plain and padded rows. The
// images are a few bytes put together by hand; expected pixels come from
// the pixel formats' definitions.
#include "pcx_support.h"

using namespace pcxtest;

namespace {

struct DepthCase {
    int depth;
    bool rgb555;
    int pad;
};

std::string depth_case_name(const testing::TestParamInfo<DepthCase> &info) {
    return "d" + std::to_string(info.param.depth) + (info.param.rgb555 ? "_555" : "") +
           (info.param.pad ? "_pad" + std::to_string(info.param.pad) : "");
}

class Layouts : public testing::TestWithParam<DepthCase> {
protected:
    static constexpr uint32_t SENTINEL = 0x5A5A5A5A;

    void SetUp() override {
        PageOptions o;
        o.width = 16;
        o.height = 4;
        o.depth = GetParam().depth;
        o.rgb555 = GetParam().rgb555;
        o.pad = GetParam().pad;
        page = std::make_unique<Page>(o);
        ASSERT_TRUE(page->ready());
        page->fill(sentinel());
    }
    void TearDown() override { page.reset(); }

    int depth() const { return GetParam().depth; }
    uint32_t sentinel() const { return depth() == 32 ? SENTINEL : SENTINEL & ((1u << depth()) - 1); }
    uint32_t colour(Rgb c) const { return expected_pixel(c, depth(), GetParam().rgb555); }

    // Pixels outside [0,w) x [0,h) still hold the sentinel, and the row
    // padding its own byte.
    void expect_untouched_outside(int w, int h) {
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 16; ++x) {
                if (x >= w || y >= h) {
                    EXPECT_EQ(page->pixel(x, y), sentinel()) << x << "," << y;
                }
            }
        for (int y = 0; y < 4; ++y)
            for (uint8_t b : page->padding(y)) EXPECT_EQ(b, Page::PADDING_BYTE) << "padding of row " << y;
    }

    std::unique_ptr<Page> page;
};

// Two rows of ten 1-bit pixels: 1010010110 and 0000111101.
TEST_P(Layouts, MonochromeUsesTheHeaderColours) {
    Header h;
    h.version = 2;
    h.bits_per_pixel = 1;
    h.xmax = 9;
    h.ymax = 1;
    h.bytes_per_line = 2;
    const Rgb c0{10, 20, 30}, c1{200, 150, 100};
    h.colour_map = {c0, c1};
    ASSERT_EQ(load_bytes(pcx_file(h, {0xA5, 0x80, 0x0F, 0x40})), 0);

    const int bits[2][10] = {{1, 0, 1, 0, 0, 1, 0, 1, 1, 0}, {0, 0, 0, 0, 1, 1, 1, 1, 0, 1}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 10; ++x) {
            const uint32_t want = depth() == 8 ? 10u + bits[y][x] : colour(bits[y][x] ? c1 : c0);
            EXPECT_EQ(page->pixel(x, y), want) << x << "," << y;
        }
    expect_untouched_outside(10, 2);
    if (depth() == 8) {
        EXPECT_EQ(log_colour(10), c0);
        EXPECT_EQ(log_colour(11), c1);
        EXPECT_EQ(log_colour(12), (Rgb{0, 0, 0}));
    } else {
        EXPECT_EQ(log_colour(0), c0);
        EXPECT_EQ(log_colour(1), c1);
    }
}

// Eight pixels of four planes: values 3, 12, 5, 10, 15, 0, 9, 6. Plane k
// holds bit k of every value, most significant bit first.
TEST_P(Layouts, FourPlanesMakeSixteenColours) {
    Header h;
    h.version = 3;
    h.bits_per_pixel = 1;
    h.planes = 4;
    h.xmax = 7;
    h.bytes_per_line = 1;
    for (int i = 0; i < 16; ++i)
        h.colour_map.push_back(Rgb{static_cast<uint8_t>(16 * i), static_cast<uint8_t>(255 - 16 * i),
                                   static_cast<uint8_t>((i * 37) & 255)});
    ASSERT_EQ(load_bytes(pcx_file(h, {0xAA, 0x99, 0x69, 0x5A})), 0);

    const int values[8] = {3, 12, 5, 10, 15, 0, 9, 6};
    for (int x = 0; x < 8; ++x) {
        const uint32_t want = depth() == 8 ? 10u + values[x] : colour(h.colour_map[values[x]]);
        EXPECT_EQ(page->pixel(x, 0), want) << x;
    }
    expect_untouched_outside(8, 1);
}

// Four plane bits with eight bits per pixel still read as 16 colours.
TEST_P(Layouts, FourPlanesOfEightBitsReadAsSixteenColours) {
    Header h;
    h.version = 2;
    h.bits_per_pixel = 8;
    h.planes = 4;
    h.xmax = 7;
    h.bytes_per_line = 1;
    for (int i = 0; i < 16; ++i) h.colour_map.push_back(Rgb{static_cast<uint8_t>(i * 17), 0, 0});
    ASSERT_EQ(load_bytes(pcx_file(h, {0xAA, 0x99, 0x69, 0x5A})), 0);
    const int values[8] = {3, 12, 5, 10, 15, 0, 9, 6};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(page->pixel(x, 0), depth() == 8 ? 10u + values[x] : colour(h.colour_map[values[x]])) << x;
}

Rgb trailer_colour(int v) {
    return Rgb{static_cast<uint8_t>(v), static_cast<uint8_t>(255 - v), static_cast<uint8_t>((v * 7) & 255)};
}

std::vector<Rgb> trailer_colours() {
    std::vector<Rgb> t;
    for (int v = 0; v < 256; ++v) t.push_back(trailer_colour(v));
    return t;
}

// 4 x 2 indexed pixels 0, 5, 200, 255 / 9, 10, 245, 246, with the
// 256-colour trailer; the 8-bit page keeps the values (no reduction).
TEST_P(Layouts, EightBitIndexedWithPaletteTrailer) {
    Header h;
    h.xmax = 3;
    h.ymax = 1;
    h.bytes_per_line = 4;
    const std::vector<uint8_t> data = {0, 5, 0xC1, 200, 0xC1, 255, 9, 10, 0xC1, 245, 0xC1, 246};
    ASSERT_EQ(load_bytes(pcx_file(h, data, trailer_bytes(trailer_colours())), BV_PCX_NO_REDUCE), 0);

    const int values[2][4] = {{0, 5, 200, 255}, {9, 10, 245, 246}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            const int v = values[y][x];
            EXPECT_EQ(page->pixel(x, y), depth() == 8 ? static_cast<uint32_t>(v) : colour(trailer_colour(v)))
                << x << "," << y;
        }
    expect_untouched_outside(4, 2);
    if (depth() == 8) {
        // Only entries 10-245 take the image's colours; the rest keep the
        // system colours.
        EXPECT_EQ(log_colour(10), trailer_colour(10));
        EXPECT_EQ(log_colour(245), trailer_colour(245));
        EXPECT_EQ(log_colour(9), (Rgb{164, 200, 240}));
        EXPECT_EQ(log_colour(246), (Rgb{255, 251, 240}));
        EXPECT_EQ(log_colour(0), (Rgb{0, 0, 0}));
    } else {
        for (int v = 0; v < 256; ++v) EXPECT_EQ(log_colour(v), trailer_colour(v)) << v;
    }
}

// Three pixels of three planes (red, green, blue): packed directly.
TEST_P(Layouts, TwentyFourBitPlanes) {
    Header h;
    h.planes = 3;
    h.xmax = 2;
    h.bytes_per_line = 3;
    const Rgb px[3] = {{255, 0, 0}, {12, 200, 99}, {7, 8, 250}};
    const std::vector<uint8_t> data =
        as_runs_of_one({255, 12, 7, /* green */ 0, 200, 8, /* blue */ 0, 99, 250});
    const auto before = palette_snapshot();
    const int32_t r = load_bytes(pcx_file(h, data));
    if (depth() == 8) {
        EXPECT_EQ(r, 3);
        expect_untouched_outside(0, 0);
    } else {
        EXPECT_EQ(r, 0);
        for (int x = 0; x < 3; ++x) EXPECT_EQ(page->pixel(x, 0), colour(px[x])) << x;
        expect_untouched_outside(3, 1);
    }
    EXPECT_EQ(palette_snapshot(), before) << "a 24-bit image leaves the palette alone";
}

// Two planes of eight bits: plane 0 is the picture, but each scan line is
// both planes long.
TEST_P(Layouts, TwoPlanesOfEightBitsShowPlaneZero) {
    Header h;
    h.version = 2;
    h.planes = 2;
    h.xmax = 2;
    h.ymax = 1;
    h.bytes_per_line = 3;
    for (int i = 0; i < 16; ++i) h.colour_map.push_back(Rgb{static_cast<uint8_t>(i), 0, 0});
    ASSERT_EQ(load_bytes(pcx_file(h, {1, 2, 3, 50, 51, 52, 4, 5, 6, 60, 61, 62})), 0);
    const int values[2][3] = {{1, 2, 3}, {4, 5, 6}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(page->pixel(x, y), depth() == 8 ? static_cast<uint32_t>(values[y][x])
                                                      : colour(h.colour_map[values[y][x]]))
                << x << "," << y;
}

TEST_P(Layouts, SinglePlaneOfTwoOrFourBitsIsRefused) {
    for (uint8_t bpp : {2, 4}) {
        Header h;
        h.bits_per_pixel = bpp;
        h.xmax = 3;
        h.bytes_per_line = 2;
        const auto before = palette_snapshot();
        EXPECT_EQ(load_bytes(pcx_file(h, {1, 2, 3, 4})), 3) << int(bpp);
        EXPECT_EQ(palette_snapshot(), before);
        expect_untouched_outside(0, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(PageDepths, Layouts,
                         testing::Values(DepthCase{8, false, 0}, DepthCase{8, false, 3}, DepthCase{16, false, 0},
                                         DepthCase{16, true, 0}, DepthCase{16, false, 5}, DepthCase{24, false, 0},
                                         DepthCase{24, false, 1}, DepthCase{32, false, 0}, DepthCase{32, false, 4}),
                         depth_case_name);

}  // namespace
