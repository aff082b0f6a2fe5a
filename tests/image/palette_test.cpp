// The library palette: the default table, the kinds of palette made for
// each display, the copies bv_set_palette keeps in step, and the colour
// reduction with its merge order, tie rule and clamping.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "brivondel.h"
#include "platform/platform.h"
#include "state.h"

namespace {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
};

Rgb default_colour(int i) { return Rgb{default_palette[i][0], default_palette[i][1], default_palette[i][2]}; }
Rgb log_colour(int i) {
    const PaletteEntry &e = bv_palette.log_palette.entries[i];
    return Rgb{e.red, e.green, e.blue};
}

// A headless display with page 0 selected; the palette made for it.
class Display {
public:
    Display(int width, int height, int depth, bool rgb555 = false) {
        plat::test::reset();
        plat::set_rgb16_layout(rgb555);
        bv_config_display(width, height, depth, BV_DISPLAY_FLIP);
        palette_ = bv_make_palette();
        bv_use_palette(palette_);
        ok_ = bv_start_display() >= 0;
        bv_set_dib_depth(depth);
        ok_ = ok_ && bv_select_page(0) == 0;
        bv_attach_palette();
        width_ = width;
        height_ = height;
    }
    ~Display() {
        bv_deselect_page();
        bv_stop_display();
        bv_delete_palette(palette_);
        bv_palette.current_hpal = nullptr;
        bv_palette.saved_hpal = nullptr;
        plat::test::reset();
    }
    bool ok() const { return ok_; }

    // 8-bit pages only: write and read palette indices.
    void set_pixels(const std::vector<uint8_t> &values) {
        bv::lock_target();
        for (int i = 0; i < width_ * height_; ++i)
            bv_target.base[(i / width_) * bv_target.pitch + i % width_] = values[i];
        bv::unlock_target();
    }
    std::vector<uint8_t> pixels() {
        std::vector<uint8_t> out;
        bv::lock_target();
        for (int i = 0; i < width_ * height_; ++i) out.push_back(bv_target.base[(i / width_) * bv_target.pitch + i % width_]);
        bv::unlock_target();
        return out;
    }

private:
    bv_hpalette palette_ = nullptr;
    bool ok_ = false;
    int width_ = 0, height_ = 0;
};

std::vector<uint8_t> palette_state() {
    std::vector<uint8_t> v(sizeof bv_palette.log_palette + sizeof bv_palette.dib_colors + sizeof bv_colors.pixel_lut);
    uint8_t *p = v.data();
    std::memcpy(p, &bv_palette.log_palette, sizeof bv_palette.log_palette);
    p += sizeof bv_palette.log_palette;
    std::memcpy(p, bv_palette.dib_colors, sizeof bv_palette.dib_colors);
    p += sizeof bv_palette.dib_colors;
    std::memcpy(p, bv_colors.pixel_lut, sizeof bv_colors.pixel_lut);
    return v;
}

uint16_t lut16(int i) {
    uint16_t w;
    std::memcpy(&w, &bv_colors.pixel_lut[2 * i], 2);
    return w;
}

// ---- The default palette -----------------------------------------------------

TEST(DefaultPalette, NamedEntries) {
    EXPECT_EQ(default_colour(30), (Rgb{0, 0, 255}));
    EXPECT_EQ(default_colour(38), (Rgb{255, 0, 0}));
    EXPECT_EQ(default_colour(245), (Rgb{44, 48, 64}));
    EXPECT_EQ(default_colour(0), (Rgb{0, 0, 0}));
    EXPECT_EQ(default_colour(9), (Rgb{164, 200, 240}));
    EXPECT_EQ(default_colour(10), (Rgb{0, 0, 0}));
    EXPECT_EQ(default_colour(16), (Rgb{170, 85, 0}));
    EXPECT_EQ(default_colour(25), (Rgb{255, 255, 255}));
    EXPECT_EQ(default_colour(27), (Rgb{85, 85, 85}));
    EXPECT_EQ(default_colour(246), (Rgb{255, 251, 240}));
    EXPECT_EQ(default_colour(248), (Rgb{128, 128, 128}));
    EXPECT_EQ(default_colour(255), (Rgb{255, 255, 255}));
}

// Each ring goes around six edges of the colour cube, four steps each:
// red up, blue down, green up, red down, blue up, green down.
TEST(DefaultPalette, NineHueRings) {
    const int levels[9][5] = {{0, 64, 125, 190, 255},  {125, 157, 190, 222, 255}, {182, 198, 218, 234, 255},
                              {0, 28, 56, 85, 113},    {56, 68, 85, 97, 113},     {80, 89, 97, 105, 113},
                              {0, 16, 32, 48, 64},     {32, 40, 48, 56, 64},      {44, 48, 52, 60, 64}};
    for (int ring = 0; ring < 9; ++ring) {
        for (int pos = 0; pos < 24; ++pos) {
            const int s = pos % 4;
            int r = 0, g = 0, b = 0;
            switch (pos / 4) {
            case 0: r = s, g = 0, b = 4; break;
            case 1: r = 4, g = 0, b = 4 - s; break;
            case 2: r = 4, g = s, b = 0; break;
            case 3: r = 4 - s, g = 4, b = 0; break;
            case 4: r = 0, g = 4, b = s; break;
            default: r = 0, g = 4 - s, b = 4; break;
            }
            const auto *L = levels[ring];
            EXPECT_EQ(default_colour(30 + 24 * ring + pos),
                      (Rgb{static_cast<uint8_t>(L[r]), static_cast<uint8_t>(L[g]), static_cast<uint8_t>(L[b])}))
                << "ring " << ring << " position " << pos;
        }
    }
}

// ---- Making and using palettes ----------------------------------------------------

TEST(MakePalette, DeepDisplayTakesTheWholeDefaultTable) {
    plat::test::reset();
    bv_config_display(640, 480, 16, 13);
    const bv_hpalette p = bv_make_palette();
    EXPECT_NE(p, nullptr);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(log_colour(i), default_colour(i)) << i;
        EXPECT_EQ(bv_palette.log_palette.entries[i].flags, BV_PC_RESERVED) << i;
        const RgbQuad &q = bv_palette.dib_colors[i];
        EXPECT_EQ((Rgb{q.red, q.green, q.blue}), default_colour(i)) << i;
        EXPECT_EQ(q.reserved, 0);
    }
    const RgbQuad &red = bv_palette.dib_colors[38];
    const uint8_t bytes[4] = {red.blue, red.green, red.red, red.reserved};
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 4), (std::vector<uint8_t>{0, 0, 255, 0}));
    EXPECT_EQ(bv_palette.log_palette.version, 0x300);
    EXPECT_EQ(bv_palette.log_palette.count, 256);
    bv_delete_palette(p);
}

TEST(MakePalette, WindowedOnAn8BitDesktopTakesTheSystemColours) {
    plat::test::reset();
    plat::test::set_desktop_depth(8);
    bv_config_display(640, 480, 0, 0);
    std::memset(&bv_palette.log_palette.entries, 0x77, sizeof bv_palette.log_palette.entries);
    const bv_hpalette p = bv_make_palette();
    // The backend's static colours are those of the default table's ends.
    for (int i : {0, 1, 7, 9, 246, 250, 255}) {
        EXPECT_EQ(log_colour(i), default_colour(i)) << i;
        EXPECT_EQ(bv_palette.log_palette.entries[i].flags, 0) << "system flags kept, entry " << i;
    }
    for (int i = 10; i < 246; ++i) {
        EXPECT_EQ(log_colour(i), default_colour(i)) << i;
        EXPECT_EQ(bv_palette.log_palette.entries[i].flags, BV_PC_RESERVED) << i;
    }
    bv_delete_palette(p);
    plat::test::reset();
}

TEST(MakePalette, SixteenColourDesktop) {
    plat::test::reset();
    plat::test::set_desktop_depth(4);
    bv_config_display(640, 480, 0, 0);
    const bv_hpalette p = bv_make_palette();
    // System entries 0-7 stay at 0-7; system entries 8-15 go to 248-255.
    EXPECT_EQ(log_colour(1), (Rgb{128, 0, 0}));
    EXPECT_EQ(log_colour(7), (Rgb{192, 192, 192}));
    EXPECT_EQ(bv_palette.log_palette.entries[7].flags, 0);
    EXPECT_EQ(log_colour(8), default_colour(8));
    EXPECT_EQ(bv_palette.log_palette.entries[8].flags, BV_PC_RESERVED);
    EXPECT_EQ(log_colour(247), default_colour(247));
    EXPECT_EQ(log_colour(248), (Rgb{128, 128, 128}));
    EXPECT_EQ(log_colour(255), (Rgb{255, 255, 255}));
    EXPECT_EQ(bv_palette.log_palette.entries[255].flags, 0);
    bv_delete_palette(p);
    plat::test::reset();
}

TEST(MakePalette, EightBitModeUsesTheSystemColoursWhateverTheDesktop) {
    plat::test::reset();
    plat::test::set_desktop_depth(32);
    bv_config_display(640, 480, 8, 1);
    const bv_hpalette p = bv_make_palette();
    EXPECT_EQ(bv_palette.log_palette.entries[0].flags, 0);
    EXPECT_EQ(bv_palette.log_palette.entries[10].flags, BV_PC_RESERVED);
    EXPECT_EQ(bv_palette.log_palette.entries[246].flags, 0);
    bv_delete_palette(p);
    plat::test::reset();
}

TEST(UsePalette, RemembersTheWindowsFirstPaletteOnce) {
    plat::test::reset();
    bv_palette.saved_hpal = nullptr;
    plat::WindowSpec spec{"palette test", "palette test", 64, 48, false};
    BvPlatWindow *window = plat::create_window(spec);
    ASSERT_NE(window, nullptr);
    bv_set_dc(window);
    bv_config_display(64, 48, 32, 1);
    const bv_hpalette a = bv_make_palette();
    const bv_hpalette b = bv_make_palette();
    EXPECT_EQ(bv_use_palette(a), 0);
    EXPECT_EQ(bv_palette.current_hpal, a);
    const bv_hpalette first = bv_palette.saved_hpal;
    EXPECT_NE(first, nullptr);
    EXPECT_NE(first, a);
    EXPECT_EQ(bv_use_palette(b), 0);
    EXPECT_EQ(bv_palette.current_hpal, b);
    EXPECT_EQ(bv_palette.saved_hpal, first);
    bv_use_palette(first);
    bv_set_dc(nullptr);
    bv_delete_palette(a);
    bv_delete_palette(b);
    plat::destroy_window(window);
    bv_palette.current_hpal = nullptr;
    bv_palette.saved_hpal = nullptr;
}

// ---- bv_set_palette ------------------------------------------------------------

TEST(SetPalette, WithoutAPageChangesNothing) {
    Display d(8, 8, 16);
    ASSERT_TRUE(d.ok());
    bv_deselect_page();
    const auto before = palette_state();
    const uint8_t red[3] = {255, 0, 0};
    EXPECT_EQ(bv_set_palette(0, 1, red), 0);
    EXPECT_EQ(palette_state(), before);
}

TEST(SetPalette, RedAtEachDepth) {
    const uint8_t red[3] = {255, 0, 0};
    {
        Display d(8, 8, 16);
        ASSERT_TRUE(d.ok());
        bv_set_palette(0, 1, red);
        EXPECT_EQ(lut16(0), 0xF800);
        EXPECT_EQ(lut16(1), 0x8000) << "entry 1 (128, 0, 0) untouched";
    }
    {
        Display d(8, 8, 16, true);
        ASSERT_TRUE(d.ok());
        bv_set_palette(0, 1, red);
        EXPECT_EQ(lut16(0), 0x7C00);
    }
    for (int depth : {24, 32}) {
        Display d(8, 8, depth);
        ASSERT_TRUE(d.ok());
        bv_set_palette(0, 1, red);
        EXPECT_EQ(std::vector<uint8_t>(bv_colors.pixel_lut, bv_colors.pixel_lut + 4),
                  (std::vector<uint8_t>{0, 255, 0, 0}))
            << depth;
        EXPECT_EQ(log_colour(0), (Rgb{255, 0, 0}));
        EXPECT_EQ(bv_palette.log_palette.entries[0].flags, BV_PC_RESERVED);
        EXPECT_EQ(bv_palette.dib_colors[0].red, 255);
        EXPECT_EQ(bv_palette.dib_colors[0].blue, 0);
    }
}

TEST(SetPalette, EightBitModeSetsTheDisplayPaletteAndLeavesPixelLut) {
    Display d(2, 1, 8);
    ASSERT_TRUE(d.ok());
    std::memset(bv_colors.pixel_lut, 0x3C, sizeof bv_colors.pixel_lut);
    d.set_pixels({20, 21});
    const uint8_t colours[6] = {12, 34, 56, 200, 100, 50};
    EXPECT_EQ(bv_set_palette(20, 2, colours), 0);
    for (uint8_t b : bv_colors.pixel_lut) ASSERT_EQ(b, 0x3C);
    EXPECT_EQ(log_colour(20), (Rgb{12, 34, 56}));
    // The screen shows an 8-bit page through the display palette.
    ASSERT_EQ(bv_flip(), 0);
    uint32_t shown[2] = {};
    ASSERT_TRUE(plat::test::last_presented(shown, 2, 1));
    EXPECT_EQ(shown[0], 0x0C2238u);
    EXPECT_EQ(shown[1], 0xC86432u);
}

TEST(SetPalette, RunsReachingPastTheTableAreCut) {
    Display d(8, 8, 32);
    ASSERT_TRUE(d.ok());
    std::vector<uint8_t> colours(30);
    for (size_t i = 0; i < colours.size(); ++i) colours[i] = static_cast<uint8_t>(100 + i);
    const auto before = palette_state();

    // 250 + 10: entries 250-255 from the first six triples.
    bv_set_palette(250, 10, colours.data());
    for (int i = 0; i < 6; ++i) EXPECT_EQ(log_colour(250 + i).r, 100 + 3 * i) << i;
    EXPECT_EQ(log_colour(249), default_colour(249));

    // -3 + 5: entries 0 and 1 from triples 3 and 4.
    std::vector<uint8_t> five(colours.begin(), colours.begin() + 15);
    bv_set_palette(-3, 5, five.data());
    EXPECT_EQ(log_colour(0), (Rgb{109, 110, 111}));
    EXPECT_EQ(log_colour(1), (Rgb{112, 113, 114}));
    EXPECT_EQ(log_colour(2), default_colour(2));
    EXPECT_EQ(bv_colors.pixel_lut[4 * 1 + 1], 112);

    // Nothing at all for these.
    const auto after = palette_state();
    const std::pair<int, int> empty_runs[] = {{0, 0},       {10, -5},      {256, 1},        {300, 10},
                                              {-10, 10},    {-10, 5},      {INT_MAX, INT_MAX}, {INT_MIN, INT_MAX},
                                              {INT_MIN, 1}, {5, INT_MIN}};
    for (auto [start, count] : empty_runs) {
        EXPECT_EQ(bv_set_palette(start, count, colours.data()), 0);
        EXPECT_EQ(palette_state(), after) << start << " " << count;
    }
    EXPECT_NE(after, before);
    EXPECT_EQ(bv_set_palette(0, 3, nullptr), 0);
    EXPECT_EQ(palette_state(), after);
}

// ---- bv_reduce_colors --------------------------------------------------------------

std::vector<uint8_t> colour_table(std::initializer_list<std::pair<int, Rgb>> set) {
    std::vector<uint8_t> t(768, 0);
    for (int i = 0; i < 256; ++i) {
        t[3 * i] = static_cast<uint8_t>(i);
        t[3 * i + 1] = static_cast<uint8_t>(255 - i);
        t[3 * i + 2] = 7;
    }
    for (auto &[i, c] : set) {
        t[3 * i] = c.r;
        t[3 * i + 1] = c.g;
        t[3 * i + 2] = c.b;
    }
    return t;
}

Rgb table_colour(const std::vector<uint8_t> &t, int i) { return Rgb{t[3 * i], t[3 * i + 1], t[3 * i + 2]}; }

TEST(ReduceColors, TwoValuesRenumberedIntoTheRun) {
    Display d(4, 2, 8);
    ASSERT_TRUE(d.ok());
    d.set_pixels({3, 200, 200, 3, 3, 3, 200, 3});
    auto table = colour_table({{3, {1, 2, 3}}, {200, {4, 5, 6}}});
    EXPECT_EQ(bv_reduce_colors(10, 236, table.data()), 0);
    EXPECT_EQ(d.pixels(), (std::vector<uint8_t>{10, 11, 11, 10, 10, 10, 11, 10}));
    EXPECT_EQ(table_colour(table, 10), (Rgb{1, 2, 3}));
    EXPECT_EQ(table_colour(table, 11), (Rgb{4, 5, 6}));
    for (int i : {0, 5, 9, 246, 250, 255}) EXPECT_EQ(table_colour(table, i), (Rgb{0, 0, 0})) << i;
    EXPECT_EQ(bv_target.lock_depth, 0);
}

TEST(ReduceColors, MergesTheClosestPairIntoTheValueWithMorePixels) {
    Display d(6, 1, 8);
    ASSERT_TRUE(d.ok());
    // 7 and 8 are close; 8 has more pixels and keeps its colour.
    d.set_pixels({7, 8, 8, 100, 100, 100});
    auto table = colour_table({{7, {50, 50, 50}}, {8, {52, 50, 50}}, {100, {200, 0, 0}}});
    bv_reduce_colors(0, 2, table.data());
    EXPECT_EQ(d.pixels(), (std::vector<uint8_t>{0, 0, 0, 1, 1, 1}));
    EXPECT_EQ(table_colour(table, 0), (Rgb{52, 50, 50}));
    EXPECT_EQ(table_colour(table, 1), (Rgb{200, 0, 0}));
}

// Pairs (0, 1) and (2, 3) are both one step apart. The later pair wins
// only when its second value has fewer pixels than both of the first.
TEST(ReduceColors, TieBetweenEquallyClosePairs) {
    const auto table_for = [] {
        return colour_table({{0, {0, 0, 0}}, {1, {1, 0, 0}}, {2, {100, 100, 100}}, {3, {101, 100, 100}}});
    };
    const auto pixels_for = [](int n0, int n1, int n2, int n3) {
        std::vector<uint8_t> p;
        p.insert(p.end(), n0, 0);
        p.insert(p.end(), n1, 1);
        p.insert(p.end(), n2, 2);
        p.insert(p.end(), n3, 3);
        return p;
    };
    struct Case {
        int n0, n1, n2, n3;
        std::vector<uint8_t> new_index;  // for values 0, 1, 2, 3
    };
    const Case cases[] = {
        // 3 has 3 pixels, fewer than 5 and 5: (2, 3) merges, 3 into 2.
        {5, 5, 4, 3, {0, 1, 2, 2}},
        // 3 has as many as the first pair: (0, 1) merges; equal counts, 0 goes.
        {5, 5, 4, 5, {0, 0, 1, 2}},
        // 3 has fewer than 5 but not fewer than 2: (0, 1) merges, 1 into 0.
        {5, 2, 4, 3, {0, 0, 1, 2}},
    };
    for (const Case &c : cases) {
        const std::vector<uint8_t> before = pixels_for(c.n0, c.n1, c.n2, c.n3);
        Display d(static_cast<int>(before.size()), 1, 8);
        ASSERT_TRUE(d.ok());
        d.set_pixels(before);
        auto table = table_for();
        bv_reduce_colors(0, 3, table.data());
        std::vector<uint8_t> want;
        for (uint8_t v : before) want.push_back(c.new_index[v]);
        EXPECT_EQ(d.pixels(), want) << c.n0 << " " << c.n1 << " " << c.n2 << " " << c.n3;
    }
}

TEST(ReduceColors, SixteenBitPageIsLeftAlone) {
    Display d(4, 4, 16);
    ASSERT_TRUE(d.ok());
    auto table = colour_table({});
    const auto table_before = table;
    bv::lock_target();
    std::memset(bv_target.base, 0x42, static_cast<size_t>(bv_target.pitch) * 4);
    bv::unlock_target();
    bv_reduce_colors(10, 236, table.data());
    EXPECT_EQ(table, table_before);
    bv::lock_target();
    for (int i = 0; i < bv_target.pitch * 4; ++i) ASSERT_EQ(bv_target.base[i], 0x42);
    bv::unlock_target();
}

TEST(ReduceColors, NoPageDoesNothing) {
    Display d(4, 1, 8);
    ASSERT_TRUE(d.ok());
    d.set_pixels({1, 2, 3, 4});
    bv_deselect_page();
    auto table = colour_table({});
    const auto table_before = table;
    EXPECT_EQ(bv_reduce_colors(0, 1, table.data()), 0);
    EXPECT_EQ(table, table_before);
    EXPECT_EQ(bv_target.lock_depth, 0);
}

TEST(ReduceColors, OnlyTheClipRectangleIsCountedAndRemapped) {
    Display d(3, 1, 8);
    ASSERT_TRUE(d.ok());
    d.set_pixels({40, 50, 60});
    bv_target.clip_min_x = 1;  // pretend the page clips its first column
    auto table = colour_table({});
    bv_reduce_colors(10, 236, table.data());
    EXPECT_EQ(d.pixels(), (std::vector<uint8_t>{40, 10, 11}));
}

// Runs beyond the table are cut to it; empty runs change nothing.
TEST(ReduceColors, RunsAreClampedToTheTable) {
    std::vector<uint8_t> sixty;
    for (int i = 0; i < 60; ++i) sixty.push_back(static_cast<uint8_t>(4 * i));
    {
        // 200 + 100 becomes 200 + 56: sixty values merge down to 56.
        Display d(60, 1, 8);
        ASSERT_TRUE(d.ok());
        d.set_pixels(sixty);
        auto table = colour_table({});
        bv_reduce_colors(200, 100, table.data());
        std::vector<bool> seen(256, false);
        for (uint8_t p : d.pixels()) {
            EXPECT_GE(p, 200);
            seen[p] = true;
        }
        int distinct = 0;
        for (bool s : seen) distinct += s;
        EXPECT_EQ(distinct, 56);
        for (int i = 0; i < 200; ++i) ASSERT_EQ(table_colour(table, i), (Rgb{0, 0, 0})) << i;
    }
    {
        // -10 + 20 becomes 0 + 10.
        Display d(60, 1, 8);
        ASSERT_TRUE(d.ok());
        d.set_pixels(sixty);
        auto table = colour_table({});
        bv_reduce_colors(-10, 20, table.data());
        for (uint8_t p : d.pixels()) EXPECT_LT(p, 10);
    }
    {
        Display d(60, 1, 8);
        ASSERT_TRUE(d.ok());
        d.set_pixels(sixty);
        const std::pair<int, int> empty_runs[] = {{10, 0},       {10, -1},  {256, 10},     {-20, 20},
                                                  {INT_MAX, 10}, {0, INT_MIN}, {INT_MIN, INT_MAX}};
        for (auto [start, count] : empty_runs) {
            auto table = colour_table({});
            const auto table_before = table;
            EXPECT_EQ(bv_reduce_colors(start, count, table.data()), 0);
            EXPECT_EQ(d.pixels(), sixty) << start << " " << count;
            EXPECT_EQ(table, table_before) << start << " " << count;
        }
        EXPECT_EQ(bv_reduce_colors(0, 10, nullptr), 0);
        EXPECT_EQ(d.pixels(), sixty);
    }
}

TEST(ReduceColors, ReducingToOneValue) {
    Display d(5, 1, 8);
    ASSERT_TRUE(d.ok());
    d.set_pixels({0, 64, 128, 192, 255});
    auto table = colour_table({});
    bv_reduce_colors(100, 1, table.data());
    EXPECT_EQ(d.pixels(), (std::vector<uint8_t>(5, 100)));
}

TEST(DeletePalette, NullIsHarmless) { EXPECT_EQ(bv_delete_palette(nullptr), 0); }

}  // namespace
