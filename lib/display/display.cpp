// Display configuration, start-up and shutdown: the display object, the
// full-screen mode or the shared desktop, the primary surface and its back
// buffer (page 0), the pixel format record and the stock font's metrics.
// No video-playback library is loaded at start-up: nothing here calls one.
#include <cstring>

#include "brivondel_linux.h"
#include "platform/platform.h"
#include "state.h"

namespace {

constexpr int32_t OEM_FIXED_FONT = 10;
constexpr uint32_t FLAG_FLIP = BV_DISPLAY_FLIP;
constexpr uint32_t FLAG_ANY_3D = BV_DISPLAY_SOFT_3D | BV_DISPLAY_HARD_3D;
constexpr uint32_t FLAG_NO_ALT_DEPTH = BV_DISPLAY_NO_ALT_DEPTH;
constexpr uint32_t RGB565_FORMAT = 0x003F0602;  // green shift 2, width 6, max 63
constexpr uint32_t RGB555_FORMAT = 0x001F0503;  // green shift 3, width 5, max 31

// No page is registered yet. A restart keeps page 0, which still
// holds the live back buffer.
void empty_page_slots(bool keep_page_zero) {
    for (int32_t i = keep_page_zero ? 1 : 0; i < 32; ++i) bv_pages.surface[i] = nullptr;
    for (int32_t i = 0; i < 256; ++i) bv_colors.color_map[i] = static_cast<uint8_t>(i);
}

// 8-bit bitmaps carry palette indices on a palette desktop.
void choose_bitmap_palette_form(int32_t screen_depth) {
    const bool palette_desktop = screen_depth <= 8;
    bv_colors.dib_pal_indices = palette_desktop ? 1 : 0;
    bv_colors.dib_info_size = palette_desktop ? 552 : 1064;
}

// The drawing state starts afresh. A restart keeps the device and its kind as they are.
void reset_drawing_state(bool restarting) {
    bv::drop_target_lock();
    bv_colors.color = 0;
    bv_cursor.cursor_x = 0;
    bv_cursor.cursor_y = 0;
    bv_target.origin_x = 0;
    bv_target.origin_y = 0;
    bv_target.page = -1;
    bv_target.lock_depth = 0;
    bv_target.lock_failed = 0;
    bv::refresh_target_base();
    bv_colors.dib_depth = 8;
    bv_colors.dib_header_size = 40;
    if (!restarting) {
        bv_display.device_kind = BV_DEVICE_NOT_STARTED;
        bv_display.zsurface = nullptr;
    }
}

bool create_display_object() {
    BvPlatDisplay *display = nullptr;
    if (!bv::combine_result(plat::create_display(&display))) return false;
    bv_display.ddraw = display;
    return true;
}

// The channel masks, and for 16-bit modes the green layout.
bool record_pixel_format(int32_t depth) {
    plat::PixelFormat format{};
    if (!bv::combine_result(plat::pixel_format(bv_display.primary, &format))) return false;
    bv_display.alpha_mask = format.alpha_mask;
    bv_display.blue_mask = format.blue_mask;
    bv_display.green_mask = format.green_mask;
    bv_display.red_mask = format.red_mask;
    if (depth == 16) bv_display.rgb16_format = ((format.red_mask >> 8) & 0xFF) == 0xF8 ? RGB565_FORMAT : RGB555_FORMAT;
    return true;
}

// Windowed operation: a window on the desktop's mode; no page is registered.
bool start_windowed() {
    BvPlatDisplay *display = bv_display.ddraw;
    if (!bv::combine_result(plat::set_windowed(display, bv_display.window))) return false;
    BvPlatSurface *primary = nullptr;
    if (!bv::combine_result(plat::create_primary(display, false, 0, &primary))) return false;
    bv_display.primary = primary;
    void *clipper = nullptr;
    if (!bv::combine_result(plat::create_clipper(display, bv_display.window, &clipper))) return false;
    bv_display.clipper = clipper;
    const int32_t screen_depth = bv_screen_depth();
    if (screen_depth != 8 && !record_pixel_format(screen_depth)) return false;
    bv_display.device_kind = BV_DEVICE_NONE;
    return true;
}

// 24 and 32 bits stand in for each other once, unless the caller said no.
// Any other refused depth turns into 48 or 40, which fails in turn.
bool set_display_mode() {
    BvPlatDisplay *display = bv_display.ddraw;
    int32_t r = plat::set_mode(display, bv_display.width, bv_display.height, bv_display.depth);
    if (r == plat::OK) return true;
    if ((bv_display.flags & FLAG_NO_ALT_DEPTH) != 0) return bv::combine_result(r);
    bv_display.flags |= FLAG_NO_ALT_DEPTH;
    bv_display.depth = static_cast<int32_t>(56u - static_cast<uint32_t>(bv_display.depth));
    r = plat::set_mode(display, bv_display.width, bv_display.height, bv_display.depth);
    return bv::combine_result(r);
}

// The back buffer becomes page 0, clipped to the whole page.
bool register_page_zero() {
    BvPlatSurface *back = nullptr;
    if (!bv::combine_result(plat::back_buffer(bv_display.primary, &back))) return false;
    int32_t pitch = 0;
    if (!bv::combine_result(plat::surface_pitch(bv_display.primary, &pitch))) return false;
    bv_pages.surface[0] = back;
    bv_pages.bits_per_pixel[0] = bv_display.depth;
    bv_pages.pitch[0] = pitch;
    bv_pages.width[0] = bv_display.width;
    bv_pages.height[0] = bv_display.height;
    bv_pages.clip_min_x[0] = 0;
    bv_pages.clip_max_x[0] = bv_display.width - 1;
    bv_pages.clip_min_y[0] = 0;
    bv_pages.clip_max_y[0] = bv_display.height - 1;
    return true;
}

// Full screen: the configured mode, with page flipping when
// option bit 0 is set.
bool start_fullscreen() {
    BvPlatDisplay *display = bv_display.ddraw;
    if (!bv::combine_result(plat::set_fullscreen(display, bv_display.window))) return false;
    if (!set_display_mode()) return false;
    const bool flipping = (bv_display.flags & FLAG_FLIP) != 0;
    BvPlatSurface *primary = nullptr;
    if (!bv::combine_result(plat::create_primary(display, flipping, bv_display.extra_caps, &primary))) return false;
    bv_display.primary = primary;
    if (bv_display.depth <= 8) {
        BvPlatPalette *palette = nullptr;
        if (!bv::combine_result(plat::create_display_palette(display, bv_palette.log_palette.entries, &palette))) return false;
        bv_display.palette = palette;
        if (!bv::combine_result(plat::set_surface_palette(primary, palette))) return false;
    }
    bv_set_dib_depth(bv_display.depth);
    if (bv_display.depth != 8 && !record_pixel_format(bv_display.depth)) return false;
    bv_display.device_kind = BV_DEVICE_NONE;
    if (!flipping) return true;
    bv_display.device_kind = BV_DEVICE_NOT_STARTED;
    if (!register_page_zero()) return false;
    bv_display.device_kind = BV_DEVICE_NONE;
    if (bv_display.d3d == nullptr && (bv_display.flags & FLAG_ANY_3D) != 0) bv::setup_direct3d();
    return true;
}

// The memory drawing context, once the display is up. A restart keeps the one it already has.
int32_t finish_start_up() {
    if (bv_display.memory_dc == nullptr) bv_display.memory_dc = plat::create_memory_context();
    return bv_display.device_kind;
}

// At shutdown: back to the desktop, then the palette, the
// clipper, the surfaces and the display object, each holder cleared first.
void release_display_objects() {
    BvPlatDisplay *display = bv_display.ddraw;
    if ((bv_display.flags & FLAG_FLIP) != 0 && display != nullptr) plat::flip_to_desktop(display);
    if (bv_display.palette != nullptr && bv_display.primary != nullptr)
        plat::set_surface_palette(bv_display.primary, nullptr);
    bv::release_held(bv_display.palette, plat::release_display_palette);
    bv::release_held(bv_display.clipper, plat::release_clipper);
    if (bv_display.primary != nullptr) {
        BvPlatSurface *primary = bv_display.primary;
        BvPlatSurface *back = nullptr;
        plat::back_buffer(primary, &back);
        bv::drop_target_lock();
        bv_display.primary = nullptr;
        bv_target.surface = nullptr;
        // Page slots that held the released back buffer are emptied, so no
        // later selection can reach it.
        for (int32_t i = 0; i < BV_PAGE_COUNT; ++i) {
            if (bv_pages.surface[i] != nullptr && bv_pages.surface[i] == back) bv_pages.surface[i] = nullptr;
        }
        plat::release_surface(primary);
    }
    bv_display.ddraw = nullptr;
    if (display != nullptr) plat::release_display(display);
}

}  // namespace

extern "C" {

// The 16-bit layout is the backend's: the display reports it in its masks.
void bv_use_rgb555(int32_t on) { plat::set_rgb16_layout(on != 0); }

int32_t bv_config_display(int32_t width, int32_t height, int32_t depth, int32_t flags) {
    bv_display.width = width;
    bv_display.height = height;
    bv_display.depth = depth;
    uint32_t option_bits = static_cast<uint32_t>(flags) & 31u;
    bv_display.extra_caps = (option_bits & FLAG_ANY_3D) != 0 ? BV_CAPS_3DDEVICE : 0u;
    if (static_cast<int8_t>(depth & 0xFF) < 24) option_bits &= ~FLAG_NO_ALT_DEPTH;
    bv_display.flags = option_bits;
    return 0;
}

int32_t bv_set_dc(BvPlatWindow *dc) {
    bv_display.dc = dc;
    bv_display.text_dc = dc;
    return 0;
}

int32_t bv_screen_depth(void) {
    const int32_t depth = plat::desktop_depth();
    return depth == 15 ? 16 : depth;
}

int32_t bv_select_stock_font(int32_t stock_object) {
    plat::FontMetrics metrics{};
    if (plat::stock_font_metrics(stock_object, &metrics) != plat::OK) return 0;
    bv_display.font = stock_object;
    bv_display.line_height = metrics.height + metrics.external_leading;
    bv_display.external_leading = metrics.external_leading;
    bv_display.avg_char_width = metrics.avg_char_width;
    return 0;
}

int32_t bv_start_display(void) {
    const bool restarting = bv_display.ddraw != nullptr;
    bv::reset_image_buffer();
    bv_select_stock_font(OEM_FIXED_FONT);
    empty_page_slots(restarting);
    choose_bitmap_palette_form(bv_screen_depth());
    reset_drawing_state(restarting);
    if (restarting) return finish_start_up();

    bv_display.result = 0;
    if (!create_display_object()) return -1;
    bv_display.window = plat::focus_window();
    const bool started = bv_display.depth == 0 ? start_windowed() : start_fullscreen();
    if (!started) {
        bv_display.device_kind = BV_DEVICE_NOT_STARTED;
        return -1;
    }
    return finish_start_up();
}

int32_t bv_stop_display(void) {
    bv_target.page = -1;
    bv::refresh_target_base();
    bv::release_texture_table();
    if (bv_palette.saved_hpal != nullptr && bv_display.dc != nullptr) {
        plat::use_window_palette(bv_display.dc, bv_palette.saved_hpal);
    }
    const bool had_3d = bv_display.d3d != nullptr;
    if (had_3d) bv::release_direct3d();
    if (had_3d || bv_display.ddraw != nullptr) release_display_objects();
    if (bv_display.memory_dc != nullptr) {
        void *context = bv_display.memory_dc;
        bv_display.memory_dc = nullptr;
        plat::delete_memory_context(context);
    }
    // Nothing of the display is left to draw with.
    bv_display.device_kind = BV_DEVICE_NOT_STARTED;
    return 0;
}

}  // extern "C"
