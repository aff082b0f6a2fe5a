// The reader's palette step: the colour reduction on 8-bit pages, the
// trailer on deep pages before the first row, and the flags that keep or
// do not reduce the palette.
#include <set>

#include "pcx_support.h"

using namespace pcxtest;

namespace {

class PaletteStep : public testing::Test {
protected:
    void start(int width, int height, int depth, bool rgb555 = false) {
        PageOptions o;
        o.width = width;
        o.height = height;
        o.depth = depth;
        o.rgb555 = rgb555;
        page = std::make_unique<Page>(o);
        ASSERT_TRUE(page->ready());
    }
    void TearDown() override { page.reset(); }
    std::unique_ptr<Page> page;
};

// 256 values, one pixel each. Every colour is a point of a coarse grid
// (36 apart) except for twenty values b = a + 5, a = 7, 19, ..., 235,
// whose colour is one step of red from a's: the twenty closest pairs. Each
// merge takes the first such pair; with equal counts the smaller value
// goes, so the survivors are all values but the twenty a's.
Rgb grid_colour(int v) {
    return Rgb{static_cast<uint8_t>(36 * (v & 7)), static_cast<uint8_t>(36 * ((v >> 3) & 7)),
               static_cast<uint8_t>(36 * ((v >> 6) & 3))};
}
bool is_pair_first(int v) { return v >= 7 && v <= 235 && (v - 7) % 12 == 0; }
bool is_pair_second(int v) { return is_pair_first(v - 5); }
Rgb reduction_colour(int v) {
    if (!is_pair_second(v)) return grid_colour(v);
    Rgb c = grid_colour(v - 5);
    c.r += 1;
    return c;
}

TEST_F(PaletteStep, EightBitPageReducesTo236Colours) {
    start(16, 16, 8);
    Header h;
    h.xmax = h.ymax = 15;
    h.bytes_per_line = 16;
    std::vector<uint8_t> values;
    std::vector<Rgb> colours;
    for (int v = 0; v < 256; ++v) {
        values.push_back(static_cast<uint8_t>(v));
        colours.push_back(reduction_colour(v));
    }
    ASSERT_EQ(load_bytes(pcx_file(h, as_runs_of_one(values), trailer_bytes(colours))), 0);

    // New index of a survivor: 10 + how many survivors lie below it.
    std::vector<int> new_index(256, -1);
    int next = 10;
    for (int v = 0; v < 256; ++v)
        if (!is_pair_first(v)) new_index[v] = next++;
    ASSERT_EQ(next, 246);
    for (int v = 0; v < 256; ++v) {
        const int want = is_pair_first(v) ? new_index[v + 5] : new_index[v];
        EXPECT_EQ(page->pixel(v % 16, v / 16), static_cast<uint32_t>(want)) << "value " << v;
    }
    for (int v = 0; v < 256; ++v) {
        if (!is_pair_first(v)) {
            EXPECT_EQ(log_colour(new_index[v]), reduction_colour(v)) << "value " << v;
        }
    }
    EXPECT_EQ(log_colour(9), (Rgb{164, 200, 240})) << "system colours stay";
    EXPECT_EQ(log_colour(255), (Rgb{255, 255, 255}));
}

TEST_F(PaletteStep, ReductionCoversTheWholePageNotOnlyTheImage) {
    // The background (value 0, filled before) counts as a colour too and
    // is renumbered into 10..245 with the image.
    start(8, 4, 8);
    page->fill(0);
    Header h;
    h.xmax = 3;
    h.ymax = 1;
    h.bytes_per_line = 4;
    std::vector<Rgb> colours(256, Rgb{0, 0, 0});
    colours[0] = {1, 1, 1};
    colours[50] = {50, 60, 70};
    colours[200] = {200, 10, 10};
    ASSERT_EQ(load_bytes(pcx_file(h, {50, 0xC1, 200, 0xC2, 50, 0xC4, 50}, trailer_bytes(colours))), 0);
    for (uint32_t p : page->all_pixels()) {
        EXPECT_GE(p, 10u);
        EXPECT_LE(p, 245u);
    }
    // Values 0, 50, 200 become 10, 11, 12.
    EXPECT_EQ(page->pixel(7, 3), 10u);
    EXPECT_EQ(page->pixel(0, 0), 11u);
    EXPECT_EQ(page->pixel(1, 0), 12u);
    EXPECT_EQ(page->pixel(2, 0), 11u);
    EXPECT_EQ(log_colour(10), colours[0]);
    EXPECT_EQ(log_colour(11), colours[50]);
    EXPECT_EQ(log_colour(12), colours[200]);
    EXPECT_EQ(log_colour(13), (Rgb{0, 0, 0})) << "past the survivors the table keeps what it held";
}

TEST_F(PaletteStep, NoReduceKeepsValuesAndTheSystemColours) {
    start(4, 1, 8);
    Header h;
    h.xmax = 3;
    h.bytes_per_line = 4;
    std::vector<Rgb> colours(256, Rgb{9, 9, 9});
    ASSERT_EQ(load_bytes(pcx_file(h, as_runs_of_one({0, 9, 246, 255}), trailer_bytes(colours)), BV_PCX_NO_REDUCE),
              0);
    EXPECT_EQ(page->pixel(0, 0), 0u);
    EXPECT_EQ(page->pixel(1, 0), 9u);
    EXPECT_EQ(page->pixel(2, 0), 246u);
    EXPECT_EQ(page->pixel(3, 0), 255u);
    EXPECT_EQ(log_colour(0), (Rgb{0, 0, 0}));
    EXPECT_EQ(log_colour(1), (Rgb{128, 0, 0}));
    EXPECT_EQ(log_colour(250), (Rgb{0, 255, 0}));
    EXPECT_EQ(log_colour(10), (Rgb{9, 9, 9}));
    EXPECT_EQ(log_colour(245), (Rgb{9, 9, 9}));
}

TEST_F(PaletteStep, DeepPageGetsTheWholeTrailerBeforeTheFirstRow) {
    start(2, 1, 16);
    Header h;
    h.xmax = 1;
    h.bytes_per_line = 2;
    std::vector<Rgb> colours;
    for (int i = 0; i < 256; ++i) colours.push_back(Rgb{static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i), 77});
    ASSERT_EQ(load_bytes(pcx_file(h, as_runs_of_one({38, 200}), trailer_bytes(colours))), 0);
    // Drawn with the image's colours, not the default palette's red at 38.
    EXPECT_EQ(page->pixel(0, 0), rgb565(colours[38]));
    EXPECT_EQ(page->pixel(1, 0), rgb565(colours[200]));
    for (int i = 0; i < 256; ++i) {
        uint16_t word;
        std::memcpy(&word, &bv_colors.pixel_lut[2 * i], 2);
        EXPECT_EQ(word, rgb565(colours[i])) << i;
        EXPECT_EQ(log_colour(i), colours[i]) << i;
    }
}

TEST_F(PaletteStep, DemoFlagsOnA16BitPage) {
    start(8, 4, 16, true);
    Header h;
    h.xmax = 1;
    h.ymax = 0;
    h.bytes_per_line = 2;
    std::vector<Rgb> colours(256, Rgb{0, 0, 0});
    colours[3] = {255, 0, 0};
    colours[200] = {0, 0, 255};
    bv_move_to(5, 2);
    ASSERT_EQ(load_bytes(pcx_file(h, {3, 0xC1, 200}, trailer_bytes(colours)), BV_PCX_AT_CURSOR | BV_PCX_NO_REDUCE),
              0);
    EXPECT_EQ(page->pixel(5, 2), 0x7C00u);
    EXPECT_EQ(page->pixel(6, 2), 0x001Fu);
}

TEST_F(PaletteStep, KeepPaletteDrawsThroughTheCurrentPixelLut) {
    start(2, 1, 16);
    const uint8_t mine[6] = {255, 0, 0, 0, 0, 255};
    bv_set_palette(0, 2, mine);
    const auto before = palette_snapshot();
    Header h;
    h.version = 2;
    h.bits_per_pixel = 1;
    h.xmax = 1;
    h.bytes_per_line = 1;
    h.colour_map = {{1, 2, 3}, {4, 5, 6}};
    ASSERT_EQ(load_bytes(pcx_file(h, {0x40}), BV_PCX_KEEP_PALETTE), 0);  // pixels 0, 1
    EXPECT_EQ(page->pixel(0, 0), 0xF800u);
    EXPECT_EQ(page->pixel(1, 0), 0x001Fu);
    EXPECT_EQ(palette_snapshot(), before);
}

TEST_F(PaletteStep, KeepPaletteOnAn8BitPageShiftsButChangesNoColour) {
    start(2, 1, 8);
    const auto before = palette_snapshot();
    Header h;
    h.version = 2;
    h.bits_per_pixel = 1;
    h.xmax = 1;
    h.bytes_per_line = 1;
    h.colour_map = {{1, 2, 3}, {4, 5, 6}};
    ASSERT_EQ(load_bytes(pcx_file(h, {0x40}), BV_PCX_KEEP_PALETTE), 0);
    EXPECT_EQ(page->pixel(0, 0), 10u);
    EXPECT_EQ(page->pixel(1, 0), 11u);
    EXPECT_EQ(palette_snapshot(), before);
}

TEST_F(PaletteStep, OtherVersionsUseTheHeaderColoursEvenWithATrailer) {
    start(1, 1, 32);
    Header h;
    h.version = 3;
    h.bytes_per_line = 1;
    h.colour_map = {{0, 0, 0}, {0, 0, 0}, {11, 22, 33}};
    std::vector<Rgb> colours(256, Rgb{99, 99, 99});
    ASSERT_EQ(load_bytes(pcx_file(h, {2}, trailer_bytes(colours))), 0);
    EXPECT_EQ(page->pixel(0, 0), 0x0B1621u);
    EXPECT_EQ(log_colour(2), (Rgb{11, 22, 33}));
    EXPECT_EQ(log_colour(16), (Rgb{default_palette[16][0], default_palette[16][1], default_palette[16][2]}))
        << "only 16 entries change";
}

}  // namespace
