// The platform layer's palettes, windows and fonts as the library uses them.
#include <cstring>

#include "display_fixture.h"

namespace {

using Platform = DisplayTest;

struct Rgb {
    uint8_t r, g, b;
};

// The window system's static colours, entries 0-9 and 246-255.
constexpr Rgb LOW[10] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
                         {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {192, 220, 192}, {164, 200, 240}};
constexpr Rgb HIGH[10] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
                          {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255}};

void expect_entry(const PaletteEntry &e, Rgb want) {
    EXPECT_EQ(e.red, want.r);
    EXPECT_EQ(e.green, want.g);
    EXPECT_EQ(e.blue, want.b);
}

TEST_F(Platform, SystemPaletteHoldsTheTwentyStaticColours) {
    plat::test::set_desktop_depth(8);
    PaletteEntry entries[256];
    plat::system_palette_entries(0, 256, entries);
    for (int i = 0; i < 10; ++i) expect_entry(entries[i], LOW[i]);
    for (int i = 0; i < 10; ++i) expect_entry(entries[246 + i], HIGH[i]);
    PaletteEntry tail[10];
    plat::system_palette_entries(246, 10, tail);
    for (int i = 0; i < 10; ++i) expect_entry(tail[i], HIGH[i]);
}

TEST_F(Platform, SixteenColourDesktopHasItsSixteenColoursFirst) {
    plat::test::set_desktop_depth(4);
    PaletteEntry entries[16];
    plat::system_palette_entries(0, 16, entries);
    for (int i = 0; i < 8; ++i) expect_entry(entries[i], LOW[i]);
    for (int i = 0; i < 8; ++i) expect_entry(entries[8 + i], HIGH[2 + i]);
}

TEST_F(Platform, SystemPaletteOutsideTheTableIsBlack) {
    PaletteEntry entries[4];
    std::memset(entries, 0x77, sizeof entries);
    plat::system_palette_entries(-2, 4, entries);
    expect_entry(entries[0], {0, 0, 0});
    expect_entry(entries[2], LOW[0]);
    expect_entry(entries[3], LOW[1]);
    plat::system_palette_entries(0, 0, nullptr);
}

TEST_F(Platform, WindowPalettesReportWhatTheWindowHeldBefore) {
    plat::WindowSpec spec{"palette test", "BVtest", 32, 32, false};
    BvPlatWindow *window = plat::create_window(spec);
    ASSERT_NE(window, nullptr);
    BvPlatPalette *a = plat::create_window_palette(&bv_palette.log_palette);
    BvPlatPalette *b = plat::create_window_palette(&bv_palette.log_palette);
    BvPlatPalette *stock = plat::use_window_palette(window, a);
    ASSERT_NE(stock, nullptr);
    EXPECT_NE(stock, a);
    EXPECT_EQ(plat::use_window_palette(window, b), a);
    EXPECT_EQ(plat::use_window_palette(window, stock), b);
    // The stock palette survives a delete.
    plat::delete_window_palette(stock);
    EXPECT_EQ(plat::use_window_palette(window, a), stock);
    // Deleting the palette a window holds leaves it holding the stock one.
    plat::delete_window_palette(a);
    EXPECT_EQ(plat::use_window_palette(window, b), stock);
    plat::destroy_window(window);
    // A window that is gone is not touched.
    EXPECT_EQ(plat::use_window_palette(window, b), nullptr);
    EXPECT_EQ(plat::use_window_palette(nullptr, b), nullptr);
    plat::delete_window_palette(b);
}

TEST_F(Platform, PaletteRunsAreClampedToTheTable) {
    bv_config_display(2, 1, 8, BV_DISPLAY_FLIP);
    ASSERT_EQ(bv_start_display(), 0);
    PaletteEntry run[300];
    for (auto &e : run) e = PaletteEntry{9, 9, 9, 0};
    BvPlatPalette *p = bv_display.palette;
    EXPECT_EQ(plat::set_display_palette_entries(p, 250, 300, run), plat::OK);
    EXPECT_EQ(plat::set_display_palette_entries(p, -10, 20, run), plat::OK);
    EXPECT_EQ(plat::set_display_palette_entries(p, 256, 1, run), plat::ERR_INVALID);
    EXPECT_EQ(plat::set_display_palette_entries(p, 0, 0, run), plat::ERR_INVALID);
    EXPECT_EQ(plat::set_display_palette_entries(p, INT32_MIN, 5, run), plat::ERR_INVALID);
    EXPECT_EQ(plat::set_display_palette_entries(p, 0, 1, nullptr), plat::ERR_INVALID);
    BvPlatPalette *w = plat::create_window_palette(&bv_palette.log_palette);
    plat::animate_window_palette(w, 200, 1000, run);
    plat::animate_window_palette(w, INT32_MIN, INT32_MAX, run);
    plat::delete_window_palette(w);
}

// SDL refuses windows over 16384 pixels a side; the refusal carries its
// reason, and the next window made clears it.
TEST_F(Platform, AWindowThatCannotBeMadeSaysWhy) {
    plat::WindowSpec huge{"huge", "BVtest", 20000, 32, false};
    EXPECT_EQ(plat::create_window(huge), nullptr);
    EXPECT_STREQ(plat::last_error(), "the window could not be made: Window is too large.");
    plat::WindowSpec small{"small", "BVtest", 32, 32, false};
    BvPlatWindow *window = plat::create_window(small);
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(plat::last_error(), "");
    plat::destroy_window(window);
}

TEST_F(Platform, DisplayNeedsExclusiveModeForAMode) {
    BvPlatDisplay *display = nullptr;
    ASSERT_EQ(plat::create_display(&display), plat::OK);
    EXPECT_STREQ(plat::last_error(), "");
    EXPECT_EQ(plat::set_mode(display, 64, 48, 16), plat::ERR_NO_EXCLUSIVE_MODE);
    ASSERT_EQ(plat::set_fullscreen(display, nullptr), plat::OK);
    EXPECT_EQ(plat::set_mode(display, 0, 48, 16), plat::ERR_UNSUPPORTED_MODE);
    EXPECT_EQ(plat::set_mode(display, 64, 48, 12), plat::ERR_UNSUPPORTED_MODE);
    EXPECT_EQ(plat::set_mode(display, 64, 48, 16), plat::OK);
    BvPlatSurface *primary = nullptr;
    ASSERT_EQ(plat::create_primary(display, true, 0, &primary), plat::OK);
    BvPlatSurface *second = nullptr;
    EXPECT_NE(plat::create_primary(display, true, 0, &second), plat::OK);
    EXPECT_EQ(second, nullptr);
    plat::release_display(display);
}

TEST_F(Platform, FlipOfAPrimaryWithoutBackBufferIsRefused) {
    BvPlatDisplay *display = nullptr;
    ASSERT_EQ(plat::create_display(&display), plat::OK);
    ASSERT_EQ(plat::set_fullscreen(display, nullptr), plat::OK);
    ASSERT_EQ(plat::set_mode(display, 8, 8, 32), plat::OK);
    BvPlatSurface *primary = nullptr;
    ASSERT_EQ(plat::create_primary(display, false, 0, &primary), plat::OK);
    BvPlatSurface *back = nullptr;
    EXPECT_EQ(plat::back_buffer(primary, &back), plat::ERR_NOT_FOUND);
    EXPECT_EQ(plat::flip(primary), plat::ERR_NOT_FLIPPABLE);
    EXPECT_EQ(plat::flip(nullptr), plat::ERR_INVALID_OBJECT);
    plat::release_display(display);
}

TEST_F(Platform, StockFontsShareOneFixedCell) {
    plat::FontMetrics m{};
    for (int32_t font : {10, 11, 12, 13, 14, 16, 17}) {
        ASSERT_EQ(plat::stock_font_metrics(font, &m), plat::OK) << font;
        EXPECT_EQ(m.height, 16);
        EXPECT_EQ(m.avg_char_width, 8);
    }
    EXPECT_EQ(plat::stock_font_metrics(15, &m), plat::ERR_INVALID);
    EXPECT_EQ(plat::stock_font_metrics(0, &m), plat::ERR_INVALID);
    EXPECT_EQ(plat::stock_font_metrics(10, nullptr), plat::ERR_INVALID);
}

TEST_F(Platform, EventsDrainWithoutBlocking) {
    plat::WindowSpec spec{"event test", "BVtest", 32, 32, false};
    BvPlatWindow *window = plat::create_window(spec);
    ASSERT_NE(window, nullptr);
    plat::show_window(window);
    plat::Event e{};
    int32_t n = 0;
    while (plat::poll_event(&e) && n < 1000) ++n;
    EXPECT_LT(n, 1000);
    EXPECT_FALSE(plat::poll_event(nullptr));
    plat::destroy_window(window);
}

}  // namespace
