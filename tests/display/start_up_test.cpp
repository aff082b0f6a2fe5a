// Display configuration, start-up in every mode, what a page shows, restarts and shutdown.
#include <cmath>

#include "display_fixture.h"

using StartUp = DisplayTest;
constexpr int32_t FLIP = BV_DISPLAY_FLIP, NO_ALT = BV_DISPLAY_NO_ALT_DEPTH;

// Bit 4 survives only when the depth's low byte, read as signed, is 24 or more; bit 1 or 2 (a 3D device) asks for the
// device caps 0x2000.
TEST_F(StartUp, ConfigurationKeepsOptionBitsAndDerivesTheDeviceCaps) {
    const struct { int32_t depth, flags; uint32_t kept, caps; } rows[] = {{16, 13, 13, 0x2000}, {24, 31, 31, 0x2000},
        {32, 31, 31, 0x2000}, {16, 31, 15, 0x2000}, {0, 16, 0, 0}, {0x118, 16, 16, 0}, {0xF0, 16, 0, 0}, {32, -1, 31, 0x2000},
        {32, 2, 2, 0x2000}, {32, 4, 4, 0x2000}, {32, 57, 25, 0}};
    for (const auto &r : rows) {
        EXPECT_EQ(bv_config_display(640, 480, r.depth, r.flags), 0);
        EXPECT_EQ(std::tuple(bv_display.flags, bv_display.extra_caps, bv_display.width, bv_display.height, bv_display.depth),
                  std::tuple(r.kept, r.caps, 640, 480, r.depth));
    }
}

// Red, green, blue masks and 16-bit layout word as start-up records them (OLD: nothing recorded), then pixel_lut's
// entries for palette colours (12, 34, 56) and white: 16-bit words, or bytes 0, red, green, blue read big-endian here.
constexpr uint32_t OLD = 0xABCD;
enum Masks { KEPT, M565, M555, M888 };
constexpr uint32_t MASKS[4][6] = {{OLD, OLD, OLD, OLD, 0xEEEE, 0xEEEE}, {0xF800, 0x07E0, 0x1F, 0x003F0602, 0x0907, 0xFFFF},
                                  {0x7C00, 0x03E0, 0x1F, 0x001F0503, 0x0487, 0x7FFF}, {0xFF0000, 0xFF00, 0xFF, OLD, 0x0C2238, 0xFFFFFF}};

// A refused 24 or 32 is retried once as 56 - depth; other depths come to no mode at all. Depth 0 shares the desktop.
// 16-bit pages are 263 x 256 so that every pixel value shows.
const struct Start { int32_t w, h, depth, flags, refused, desktop; bool rgb555; int32_t result, depth_after; Masks masks; } STARTS[] = {
    {640, 480, 8, FLIP, 0, 32, 0, 0, 8, KEPT}, {640, 400, 8, FLIP, 0, 8, 0, 0, 8, KEPT}, {263, 256, 16, FLIP, 0, 8, 0, 0, 16, M565},
    {263, 256, 16, FLIP, 0, 32, 1, 0, 16, M555}, {200, 400, 24, FLIP, 0, 32, 0, 0, 24, M888},
    {320, 200, 32, FLIP, 0, 32, 0, 0, 32, M888}, {123, 77, 32, FLIP, 32, 32, 0, 0, 24, M888},
    {1000, 200, 24, FLIP, 24, 32, 0, 0, 32, M888}, {64, 48, 32, FLIP | NO_ALT, 32, 32, 0, -1, 32, KEPT},
    {64, 48, 16, FLIP, 16, 32, 0, -1, 40, KEPT}, {64, 48, 1, FLIP, 0, 32, 0, -1, 55, KEPT}, {64, 48, 15, FLIP, 0, 32, 0, -1, 41, KEPT},
    {64, 48, 64, FLIP, 0, 32, 0, -1, -8, KEPT}, {64, 48, -8, FLIP, 0, 32, 0, -1, 64, KEPT}, {64, 48, 16, 0, 0, 32, 0, 0, 16, M565},
    {64, 48, 0, FLIP, 0, 32, 0, 0, 0, M888}, {64, 48, 0, 0, 0, 16, 0, 0, 0, M565}, {64, 48, 0, 0, 0, 15, 0, 0, 0, M555},
    {64, 48, 0, 0, 0, 8, 0, 0, 0, KEPT}};

// What a flip shows of a pixel: 16-bit channels widen by bit replication (a 5-bit c as 8c + c/4, a 6-bit one as
// 4c + c/16), 8-bit indices go through the display palette, byte 3 of a 32-bit pixel is never shown.
uint32_t five(uint32_t c) { return c * 8 + c / 4; }
uint32_t shown_as(const uint8_t *p, int32_t depth, bool rgb555) {
    const uint32_t v = p[0] + 256 * p[1];
    const PaletteEntry &e = bv_palette.log_palette.entries[p[0]];
    if (depth == 8) return e.red * 65536 + e.green * 256 + e.blue;
    if (depth == 16 && rgb555) return five(v / 1024 % 32) * 65536 + five(v / 32 % 32) * 256 + five(v % 32);
    if (depth == 16) return five(v / 2048) * 65536 + (v / 32 % 64 * 4 + v / 512 % 4) * 256 + five(v % 32);
    return p[2] * 65536 + p[1] * 256 + p[0];
}

// The window shows the picture scaled with its aspect kept, each window pixel showing the picture pixel nearest to
// its centre, black bars around (over what an earlier page showed there).
void expect_window_shows(const std::vector<uint32_t> &picture, int32_t w, int32_t h) {
    int32_t ww = 0, wh = 0;
    ASSERT_TRUE(plat::test::window_size(&ww, &wh));
    std::vector<uint32_t> window(size_t(ww) * wh);
    ASSERT_TRUE(plat::test::window_picture(window.data(), ww, wh));
    const double scale = std::fmin(double(ww) / w, double(wh) / h);
    const int32_t pw = std::floor(w * scale + 1e-9), ph = std::floor(h * scale + 1e-9), left = (ww - pw) / 2, top = (wh - ph) / 2;
    for (int32_t i = 0, wrong = 0; i < ww * wh && wrong < 5; ++i) {
        const int32_t x = i % ww, y = i / ww, px = std::floor((x - left + 0.5) * w / pw), py = std::floor((y - top + 0.5) * h / ph);
        const bool inside = x >= left && x < left + pw && y >= top && y < top + ph;
        if ((window[i] & 0xFFFFFF) != (inside ? picture[size_t(py) * w + px] : 0)) ADD_FAILURE() << ++wrong << ": window pixel " << i;
    }
}

// Every row uses the application's full-screen window, whose palette start-up saved and shutdown selects back.
TEST_F(StartUp, EveryModeComesUpShowsItsPixelsRestartsAndGoesDown) {
    BvPlatWindow *window = plat::create_window({"Zarvel test", "BVzarvelx", 640, 480, true});
    BvPlatPalette *mine = plat::create_window_palette(&bv_palette.log_palette), *stock = plat::use_window_palette(window, mine);
    ASSERT_TRUE(plat::focus_window() == window && bv_set_dc(window) == 0 && bv_display.dc == window && bv_display.text_dc == window);
    plat::delete_window_palette(stock);  // the stock palette survives deletion
    auto *stale = bv_pages.surface[32] = reinterpret_cast<BvPlatSurface *>(0x10);  // start-up leaves slots from 32 on alone
    const DrawTarget &t = bv_target;
    for (const Start &s : STARTS) {
        SCOPED_TRACE("row " + std::to_string(&s - STARTS));
        bvtest::reset_library();
        plat::test::set_desktop_depth(s.desktop), plat::set_rgb16_layout(s.rgb555), plat::test::refuse_depth(s.refused);
        plat::test::pad_pitch(12), std::memset(bv_colors.pixel_lut, 0xEE, sizeof bv_colors.pixel_lut), bv_palette.saved_hpal = stock;
        bv_display.red_mask = bv_display.green_mask = bv_display.blue_mask = bv_display.alpha_mask = bv_display.rgb16_format = OLD;
        bv_textures.texture_table = static_cast<TextureEntry *>(std::calloc(1, sizeof(TextureEntry)));
        for (int i = 0; i < 256; ++i) bv_palette.log_palette.entries[i] = {uint8_t(i), uint8_t(255 - i), 77, 0};
        bv_palette.log_palette.entries[3] = {12, 34, 56, 0}, bv_palette.log_palette.entries[255] = {255, 255, 255, 0};
        EXPECT_EQ((bv_config_display(s.w, s.h, s.depth, s.flags), bv_start_display()), s.result);
        EXPECT_EQ(std::tuple(bv_display.device_kind, bv_display.depth, bv_display.result),
                  std::tuple(s.result, s.depth_after, s.result == 0 ? 0 : plat::ERR_UNSUPPORTED_MODE));
        EXPECT_TRUE(s.depth_after == s.depth || (bv_display.flags & NO_ALT) != 0);
        const uint32_t *m = MASKS[s.masks];
        EXPECT_EQ(std::tuple(bv_display.red_mask, bv_display.green_mask, bv_display.blue_mask, bv_display.rgb16_format,
                             bv_display.alpha_mask), std::tuple(m[0], m[1], m[2], m[3], s.masks == KEPT ? OLD : 0u));
        const bool up = s.result == 0, windowed = s.depth == 0, page = up && !windowed && (s.flags & FLIP) != 0;
        EXPECT_EQ(std::tuple(bv_display.clipper != nullptr, bv_display.palette != nullptr, bv_display.memory_dc != nullptr,
                             !up || bv_display.window == window), std::tuple(up && windowed, up && s.depth_after == 8, up, true));
        // Bitmap header and table sizes by the mode's depth; 8-bit tables by the desktop's depth.
        const int32_t d = s.depth_after, w = s.w, h = s.h, table8 = s.desktop <= 8 ? 552 : 1064;
        const auto [header, table] = !up || windowed || d == 8 ? std::pair(40, table8) : d == 24 ? std::pair(40, 40) : std::pair(108, 108);
        EXPECT_EQ(std::tuple(bv_colors.dib_depth, bv_colors.dib_pal_indices, bv_colors.dib_header_size, bv_colors.dib_info_size),
                  std::tuple(up && !windowed ? d : 8, int(s.desktop <= 8), header, table));
        ASSERT_EQ(bv_select_page(0), page ? 0 : -2);
        if (page) {
            EXPECT_EQ(std::tuple(bv_pages.bits_per_pixel[0], t.bits_per_pixel, t.surface, t.base, t.pitch, t.width, t.height),
                      std::tuple(d, d, bv_pages.surface[0], nullptr, w * d / 8 + 12, w, h));
            EXPECT_EQ(std::tuple(t.clip_min_x, t.clip_max_x, t.clip_min_y, t.clip_max_y, bv_colors.dib_pal_indices),
                      std::tuple(0, w - 1, 0, h - 1, int(table == 552)));
            const auto lut = [d](int i) { const uint8_t *e = bv_colors.pixel_lut + i * (d <= 16 ? 2 : 4);
                                          return uint32_t(d <= 16 ? e[0] | e[1] << 8 : e[0] << 24 | e[1] << 16 | e[2] << 8 | e[3]); };
            EXPECT_EQ(std::pair(lut(3), lut(255)), std::pair(m[4], m[5]));
            // Every pixel shows its colour (263 columns take the 8-pixel steps and a one-pixel tail); neighbours differ,
            // so a window pixel off by one shows.
            std::vector<uint8_t> painted(size_t(w) * h * 4);
            std::vector<uint32_t> shown(size_t(w) * h);
            bv::lock_target();
            for (int32_t i = 0; i < w * h; ++i) {
                uint8_t *p = &painted[4 * i];
                p[0] = i % w * 37, p[1] = i / w, p[2] = i % w ^ i / w, p[3] = 0xAB;
                std::memcpy(pixel_at(i % w, i / w), p, d / 8);
            }
            bv::unlock_target();
            ASSERT_TRUE(bv_flip() == 0 && plat::test::last_presented(shown.data(), w, h));
            for (int32_t i = 0, wrong = 0; i < w * h && wrong < 5; ++i)
                if (shown[i] != shown_as(&painted[4 * i], d, s.rgb555)) ADD_FAILURE() << ++wrong << ": pixel " << i;
            expect_window_shows(shown, w, h);
            // Fill writes the colour's low bytes (0x67, 0x45, 0x23, 0) over every pixel and leaves the padding alone.
            EXPECT_EQ((bv_set_color(0x234567), bv_fill_page()), 0);
            ASSERT_TRUE(bv_flip() == 0 && plat::test::last_presented(shown.data(), w, h) && (bv::lock_target(), bv::target_drawable()));
            const uint32_t fill = shown_as(reinterpret_cast<const uint8_t *>("\x67\x45\x23"), d, s.rgb555);
            EXPECT_EQ(std::count(shown.begin(), shown.end(), fill), w * h);
            for (int32_t y = 0; y < h; ++y) EXPECT_EQ(std::count(pixel_at(w, y), pixel_at(w, y) + 12, 0), 12) << "padding of row " << y;
            bv::unlock_target();
            // Runs written into an 8-bit mode's display palette are clamped to the table; a run with nothing inside, or
            // without entries, is refused.
            const auto *run = reinterpret_cast<const PaletteEntry *>(painted.data());
            for (auto [start, count, ok] : {std::tuple{250, 30, 1}, {-10, 20, 1}, {256, 1, 0}, {0, 0, 0}, {INT32_MIN, 5, 0}})
                EXPECT_EQ(plat::set_display_palette_entries(bv_display.palette, start, count, run) == plat::OK, ok && d == 8) << start;
            EXPECT_EQ(plat::set_display_palette_entries(bv_display.palette, 0, 1, nullptr), plat::ERR_INVALID);
        }
        EXPECT_EQ(bv_flip(), page ? 0 : up ? plat::ERR_NOT_FLIPPABLE : plat::ERR_INVALID_OBJECT);
        // A restart keeps what the first start made (a failed one stays failed), resets the drawing state and gives up the
        // lock that was held.
        const auto [page0, memory_dc] = std::pair(bv_pages.surface[0], bv_display.memory_dc);
        bv::lock_target(), plat::test::refuse_depth(0), bv_colors.color = bv_colors.color_map[7] = 1, bv_image.image_buffer = nullptr;
        bv_cursor.cursor_x = bv_cursor.cursor_y = bv_target.origin_x = bv_target.origin_y = bv_display.line_height = 5;
        bv_display.font = bv_display.avg_char_width = bv_display.external_leading = 5, bv_pages.surface[1] = bv_pages.surface[31] = stale;
        EXPECT_EQ(bv_start_display(), s.result);
        EXPECT_TRUE(bv_pages.surface[0] == page0 && (!up || bv_display.memory_dc == memory_dc) && !t.lock_depth && !t.base);
        EXPECT_EQ(std::tuple(bv_colors.color, bv_colors.color_map[7], bv_cursor.cursor_x, bv_cursor.cursor_y, t.origin_x, t.origin_y,
                             t.page, bv_display.font, bv_display.line_height, bv_display.avg_char_width, bv_display.external_leading),
                  std::tuple(0u, 7, 0, 0, 0, 0, -1, 10, 16, 8, 0));  // and the stock font's metrics again
        EXPECT_EQ((bv_select_stock_font(17), bv_select_stock_font(15), bv_select_stock_font(18), bv_display.font), 17);  // 15, 18: no fonts
        EXPECT_TRUE(!bv_pages.surface[1] && !bv_pages.surface[31] && bv_pages.surface[32] == stale &&
                    bv_image.image_buffer == bv::io_buffer && bv_image.image_buffer_size == 4096u);
        EXPECT_EQ(plat::unlock_surface(page0), page ? plat::ERR_NOT_LOCKED : plat::ERR_INVALID);
        bv_select_page(0), bv::lock_target(), bv::lock_target();  // stopping while locked leaves the count to the callers
        EXPECT_TRUE(bv_stop_display() == 0 && !bv::target_drawable());
        bv::unlock_target(), bv::unlock_target();
        EXPECT_TRUE(!bv_display.ddraw && !bv_display.primary && !bv_display.palette && !bv_display.clipper && !bv_display.memory_dc &&
                    !bv_pages.surface[0] && !bv_textures.texture_table);
        EXPECT_TRUE(t.page == -1 && t.surface == nullptr && t.lock_depth == 0 && bv_flip() != 0 && plat::focus_window() == window);
        EXPECT_EQ(std::tuple(bv_display.device_kind, bv_select_page(0), bv_fill_page(), bv_display.width,
                             plat::use_window_palette(window, mine)), std::tuple(-1, -2, 0, w, stock));
    }
    plat::destroy_window(window), bv_set_dc(nullptr), bv_pages.surface[32] = nullptr;  // a window that is gone is left alone
    EXPECT_TRUE(!plat::use_window_palette(window, mine) && !plat::focus_window());
    plat::delete_window_palette(mine);
}
