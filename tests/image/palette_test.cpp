// The library palette: the preset table, the palette made for each kind of
// display, bv_use_palette, the copies bv_set_palette keeps in step, and the
// colour reduction with its merge order, tie rule and clamping.
#include <climits>

#include "image_support.h"

using namespace imagetest;

namespace {

Rgb preset(int i) { return {default_palette[i][0], default_palette[i][1], default_palette[i][2]}; }
Rgb dib(int i) { return {bv_palette.dib_colors[i].red, bv_palette.dib_colors[i].green, bv_palette.dib_colors[i].blue}; }
int flags(int i) { return bv_palette.log_palette.entries[i].flags + 2 * bv_palette.dib_colors[i].reserved; }

// Entries 0-29 and 246-255 as listed; 30-245 are nine rings of 24 that walk
// the colour cube's edges, four steps an edge, at five levels each.
TEST(Palette, PresetTable) {
    const uint8_t ends[40][3] = {
        {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128}, {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
        {192, 220, 192}, {164, 200, 240}, {0, 0, 0}, {0, 0, 170}, {0, 170, 0}, {0, 170, 170}, {170, 0, 0}, {170, 0, 170},
        {170, 85, 0}, {170, 170, 170}, {85, 85, 85}, {85, 85, 255}, {85, 255, 85}, {85, 255, 255}, {255, 85, 85},
        {255, 85, 255}, {255, 255, 85}, {255, 255, 255}, {0, 0, 0}, {85, 85, 85}, {170, 170, 170}, {255, 255, 255},
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0}, {0, 0, 255}, {255, 0, 255},
        {0, 255, 255}, {255, 255, 255}};
    for (int i = 0; i < 40; ++i) EXPECT_TRUE(preset(i < 30 ? i : 216 + i) == (Rgb{ends[i][0], ends[i][1], ends[i][2]})) << i;
    const int levels[9][5] = {{0, 64, 125, 190, 255}, {125, 157, 190, 222, 255}, {182, 198, 218, 234, 255},
                              {0, 28, 56, 85, 113},   {56, 68, 85, 97, 113},     {80, 89, 97, 105, 113},
                              {0, 16, 32, 48, 64},    {32, 40, 48, 56, 64},      {44, 48, 52, 60, 64}};
    // Red, green and blue of each edge as level = first + step x (0..3).
    const int walk[6][3][2] = {{{0, 1}, {0, 0}, {4, 0}},  {{4, 0}, {0, 0}, {4, -1}}, {{4, 0}, {0, 1}, {0, 0}},
                               {{4, -1}, {4, 0}, {0, 0}}, {{0, 0}, {4, 0}, {0, 1}},  {{0, 0}, {4, -1}, {4, 0}}};
    for (int i = 0; i < 216; ++i) {
        const int *l = levels[i / 24], (*w)[2] = walk[i % 24 / 4], s = i % 4;
        EXPECT_TRUE(preset(30 + i) == (Rgb{uint8_t(l[w[0][0] + s * w[0][1]]), uint8_t(l[w[1][0] + s * w[1][1]]),
                                           uint8_t(l[w[2][0] + s * w[2][1]])})) << 30 + i;
    }
}

// Every entry holds the preset colour (the backend's static colours are the
// table's ends); the flags tell the library's entries from the system's.
TEST(Palette, MadeForEachKindOfDisplay) {
    const int cases[][4] = {{16, 8, 0, 255}, {0, 8, 10, 245}, {0, 4, 8, 247}, {8, 32, 10, 245}, {0, 32, 0, 255}, {4, 16, 0, 255},
                            {4, 4, 8, 247}};  // display and desktop depths; entries first..last are the library's
    for (const auto &[depth, desktop, first, last] : cases) {
        SCOPED_TRACE(testing::Message() << depth << " bits on a " << desktop << "-bit desktop");
        bvtest::reset_library();
        plat::test::set_desktop_depth(desktop);
        bv_config_display(640, 480, depth, depth ? BV_DISPLAY_FLIP : 0);
        std::memset(bv_palette.log_palette.entries, 0x77, 1024), std::memset(bv_palette.dib_colors, 0x77, 1024);
        const bv_hpalette p = bv_make_palette();
        EXPECT_NE(p, nullptr);
        for (int i = 0; i < 256; ++i)
            EXPECT_TRUE(entry(i) == preset(i) && dib(i) == preset(i) && flags(i) == (i >= first && i <= last)) << i;
        bv_delete_palette(p);
    }
}

TEST(Palette, UseRemembersTheWindowsFirstPaletteOnce) {
    bvtest::reset_library();
    BvPlatWindow *window = plat::create_window({"palette test", "palette test", 64, 48, false});
    ASSERT_NE(window, nullptr);
    bv_set_dc(window);
    const bv_hpalette a = bv_make_palette(), b = bv_make_palette();
    EXPECT_EQ(bv_use_palette(a), 0);
    const bv_hpalette first = bv_palette.saved_hpal;
    EXPECT_TRUE(bv_palette.current_hpal == a && first != nullptr && first != a);
    EXPECT_EQ(bv_use_palette(b), 0);
    EXPECT_TRUE(bv_palette.current_hpal == b && bv_palette.saved_hpal == first);
    // Deleting a palette the library holds forgets it there, so that nothing later reaches the freed object.
    bv_delete_palette(b);
    EXPECT_TRUE(bv_palette.current_hpal == nullptr && bv_palette.saved_hpal == first);
    bv_use_palette(a), bv_delete_palette(a), bv_set_dc(nullptr), plat::destroy_window(window);
    EXPECT_TRUE(bv_palette.current_hpal == nullptr && bv_palette.saved_hpal == first);
    EXPECT_EQ(bv_delete_palette(nullptr), 0);
    bvtest::reset_library();
}

// Every value of every channel reaches each copy at each deep page depth
// (hand-worked: red is 0xF800, 0x7C00 or the bytes 0, 255, 0, 0); runs past
// either end of the table are cut to it; without colours or a page nothing
// changes; an 8-bit mode sets the display palette and leaves pixel_lut.
TEST(Palette, Set) {
    Bytes ramp;
    for (int v = 0; v < 256; ++v) ramp.insert(ramp.end(), {uint8_t(v), uint8_t(v + 85), uint8_t(v + 170)});
    for (const auto &[depth, rgb555] : {std::pair{16, false}, {16, true}, {24, false}, {32, false}}) {
        Page page(8, 1, depth, rgb555);
        EXPECT_EQ(bv_set_palette(0, 256, ramp.data()), 0);
        auto lut = [&](int v) {  // a little-endian word, or the bytes 0, red, green, blue read as 0x00RRGGBB
            const uint8_t *e = bv_colors.pixel_lut + v * (depth == 16 ? 2 : 4);
            return depth == 16 ? e[0] | e[1] << 8 : e[0] << 24 | e[1] << 16 | e[2] << 8 | e[3];
        };
        for (int v = 0; v < 256; ++v) {
            const Rgb c{ramp[3 * v], ramp[3 * v + 1], ramp[3 * v + 2]};
            EXPECT_TRUE(entry(v) == c && dib(v) == c && flags(v) == 1 && lut(v) == int(pixel_of(c, depth, rgb555))) << depth << ": " << v;
        }
        bv_set_palette(0, 1, Bytes{255, 0, 0}.data());
        EXPECT_EQ(lut(0), depth > 16 ? 0xFF0000 : rgb555 ? 0x7C00 : 0xF800);
    }
    // Entries first..first + n - 1 take the caller's triples from the given one on; without colours (1) or
    // without a page (2) nothing changes.
    const struct { int start, count, first = 0, n = 0, triple = 0, missing = 0; } runs[] = {
        {250, 10, 250, 6, 0}, {-3, 5, 0, 2, 3}, {0, 0}, {10, -5}, {256, 1}, {300, 10}, {-10, 10}, {-10, 5}, {INT_MAX, INT_MAX},
        {INT_MIN, INT_MAX}, {INT_MIN, 1}, {5, INT_MIN}, {0, 3, 0, 0, 0, 1}, {0, 3, 0, 0, 0, 2}};
    for (const auto &c : runs) {
        Page page(8, 1, 32);
        if (c.missing == 2) bv_deselect_page();
        EXPECT_EQ(bv_set_palette(c.start, c.count, c.missing == 1 ? nullptr : ramp.data()), 0);
        for (int i = 0, k = 3 * (c.triple - c.first); i < 256; ++i, k += 3)
            EXPECT_TRUE(entry(i) == (i >= c.first && i < c.first + c.n ? Rgb{ramp[k], ramp[k + 1], ramp[k + 2]} : preset(i)))
                << c.start << " + " << c.count << ": entry " << i;
    }
    Page page(2, 1, 8);
    page.set_memory({20, 21});
    std::memset(bv_colors.pixel_lut, 0x3C, sizeof bv_colors.pixel_lut);
    EXPECT_EQ(bv_set_palette(20, 2, Bytes{12, 34, 56, 200, 100, 50}.data()), 0);
    EXPECT_EQ(Bytes(bv_colors.pixel_lut, std::end(bv_colors.pixel_lut)), Bytes(1024, 0x3C));
    uint32_t shown[2] = {};
    EXPECT_TRUE(bv_flip() == 0 && plat::test::last_presented(shown, 2, 1) && shown[0] == 0x0C2238 && shown[1] == 0xC86432);
}

// The reduction on an 8-bit page of one row: its pixels after, and entries
// of the caller's table, whose colour i is (i, 255 - i, 7) unless given.
Bytes expand(std::initializer_list<int> counts, const Bytes &index = {0, 1, 2, 3}) {
    Bytes out;
    for (int v = 0; int n : counts) out.insert(out.end(), n, index[v++]);
    return out;
}

TEST(Palette, ReduceColors) {
    Bytes sixty, sixty_reduced;
    for (int i = 0; i < 60; ++i) sixty.push_back(uint8_t(4 * i)), sixty_reduced.push_back(uint8_t(i < 3 ? 200 : i < 6 ? 201 : 196 + i));
    using Entries = std::vector<std::pair<int, Rgb>>;
    const Entries ties = {{0, {0, 0, 0}}, {1, {1, 0, 0}}, {2, {100, 100, 100}}, {3, {101, 100, 100}}};
    const Rgb black{0, 0, 0};
    const struct { const char *name; Bytes pixels; Entries colours; int start, count; Bytes want; Entries entries; int clip_min_x = 0; }
        cases[] = {
        {"two values renumbered into the run", {3, 200, 200, 3, 3}, {{3, {1, 2, 3}}, {200, {4, 5, 6}}}, 10, 236, {10, 11, 11, 10, 10},
         {{10, {1, 2, 3}}, {11, {4, 5, 6}}, {12, {2, 253, 7}}, {0, black}, {9, black}, {246, black}, {255, black}}},
        {"the value with more pixels keeps its colour", {7, 8, 8, 100, 100, 100},
         {{7, {50, 50, 50}}, {8, {52, 50, 50}}, {100, {200, 0, 0}}}, 0, 2, {0, 0, 0, 1, 1, 1}, {{0, {52, 50, 50}}, {1, {200, 0, 0}}}},
        // (0, 1) and (2, 3) are equally close: the later pair wins only when
        // 3 has fewer pixels than both 0 and 1; with equal counts i goes.
        {"tie: 3 fewer than 0 and 1", expand({5, 5, 4, 3}), ties, 0, 3, expand({5, 5, 4, 3}, {0, 1, 2, 2}), {{2, {100, 100, 100}}}},
        {"tie: 3 as many as 0", expand({5, 5, 4, 5}), ties, 0, 3, expand({5, 5, 4, 5}, {0, 0, 1, 2}), {{0, {1, 0, 0}}}},
        {"tie: 3 not fewer than 1", expand({5, 2, 4, 3}), ties, 0, 3, expand({5, 2, 4, 3}, {0, 0, 1, 2}), {{0, {0, 0, 0}}}},
        {"only the clip rectangle", {40, 50, 60}, {}, 10, 236, {40, 10, 11}, {{10, {50, 205, 7}}}, 1},
        {"a single pixel", {7}, {}, 10, 236, {10}, {{10, {7, 248, 7}}}},
        {"down to one value", {0, 64, 128, 192, 255}, {}, 100, 1, Bytes(5, 100), {{99, black}, {100, {64, 191, 7}}, {101, black}}},
        // 0 -> 4, 8 -> 4, 12 -> 16, 20 -> 16: the first closest pairs in turn.
        {"200 + 100 cut to 200 + 56", sixty, {}, 200, 100, sixty_reduced, {{199, black}, {200, {4, 251, 7}}, {201, {16, 239, 7}}}},
        {"-1 + 2 cut to 0 + 1", {0, 4, 8}, {}, -1, 2, {0, 0, 0}, {{0, {4, 251, 7}}}},
        // No pixel to count or renumber, but the table still moves up to the run.
        {"an empty clip rectangle", {3, 200}, {}, 10, 236, {3, 200},
         {{10, {0, 255, 7}}, {245, {235, 20, 7}}, {0, black}, {9, black}, {246, black}, {255, black}}, 5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Page page(static_cast<int>(c.pixels.size()), 1, 8);
        page.set_memory(c.pixels);
        bv_target.clip_min_x = c.clip_min_x;
        Bytes table(768);
        for (int i = 0; i < 256; ++i) table[3 * i] = uint8_t(i), table[3 * i + 1] = uint8_t(255 - i), table[3 * i + 2] = 7;
        for (auto [i, rgb] : c.colours) std::memcpy(&table[3 * i], &rgb, 3);
        EXPECT_EQ(bv_reduce_colors(c.start, c.count, table.data()), 0);
        EXPECT_EQ(page.memory(), c.want);
        for (auto [i, rgb] : c.entries) EXPECT_TRUE((Rgb{table[3 * i], table[3 * i + 1], table[3 * i + 2]}) == rgb) << i;
        EXPECT_EQ(bv_target.lock_depth, 0);
    }
    // Nothing for an empty run, without a table or a page, or on a 16-bit page.
    for (int depth : {8, 16}) {
        Page page(4, 1, depth);
        Bytes table(768, 9);
        const Bytes before = page.memory();
        for (auto [start, count] : {std::pair{10, 0}, {10, -1}, {256, 10}, {-20, 20}, {INT_MAX, 10}, {0, INT_MIN}, {INT_MIN, INT_MAX}})
            EXPECT_EQ(bv_reduce_colors(start, count, table.data()) + bv_reduce_colors(0, 1, depth == 8 ? nullptr : table.data()), 0);
        bv_deselect_page();
        EXPECT_EQ(bv_reduce_colors(0, 1, table.data()), 0);
        EXPECT_TRUE(bv_select_page(0) == 0 && page.memory() == before && table == Bytes(768, 9) && bv_target.lock_depth == 0);
    }
}

}  // namespace
