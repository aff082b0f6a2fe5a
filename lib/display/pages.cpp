// Pages, colour values, colour fill, the 3D scene bracket and the page flip.
// A page is a platform surface with its own depth, pitch and clip rectangle,
// kept in a table of 256 slots; selecting one fills the drawing target.
#include "platform/platform.h"
#include "state.h"

namespace {

// A lost surface is restored and the call repeated, this many times at most.
constexpr int32_t LOST_SURFACE_ATTEMPTS = 64;

// Bitmap header sizes: the version-4 header (with colour masks) for 16 and
// 32 bits, the plain header otherwise; 8-bit tables by the screen's depth.
int32_t bitmap_header_size(int32_t depth) { return depth == 16 || depth == 32 ? 108 : 40; }

int32_t bitmap_info_size(int32_t depth) {
    if (depth == 16 || depth == 32) return 108;
    if (depth == 24) return 40;
    return bv_screen_depth() <= 8 ? 552 : 1064;
}

void choose_bitmap_settings_for_page(int32_t depth) {
    bv_colors.dib_header_size = bitmap_header_size(depth);
    bv_colors.dib_info_size = bitmap_info_size(depth);
    bv_colors.dib_pal_indices = bv_colors.dib_info_size == 552 ? 1 : 0;
}

void copy_slot_to_target(uint32_t page) {
    bv_target.surface = bv_pages.surface[page];
    bv_target.page = static_cast<int32_t>(page);
    bv_target.bits_per_pixel = bv_pages.bits_per_pixel[page];
    bv_target.pitch = bv_pages.pitch[page];
    bv_target.width = bv_pages.width[page];
    bv_target.height = bv_pages.height[page];
    bv_target.clip_min_x = bv_pages.clip_min_x[page];
    bv_target.clip_max_x = bv_pages.clip_max_x[page];
    bv_target.clip_min_y = bv_pages.clip_min_y[page];
    bv_target.clip_max_y = bv_pages.clip_max_y[page];
    // The pixel address comes from a lock only, never from the table.
    bv::refresh_target_base();
}

}  // namespace

extern "C" {

int32_t bv_select_page(uint32_t page) {
    if (page >= BV_PAGE_COUNT) return -1;
    if (bv_pages.surface[page] == nullptr) return -2;
    copy_slot_to_target(page);
    const int32_t depth = bv_target.bits_per_pixel;
    choose_bitmap_settings_for_page(depth);
    if (depth == 8) return 0;
    for (int32_t i = 0; i < 256; ++i) bv::write_pixel_lut_entry(i);
    return 0;
}

void bv_deselect_page(void) {
    bv_target.page = -1;
    bv_target.surface = nullptr;
    bv::refresh_target_base();
}

int32_t bv_set_dib_depth(int32_t bits_per_pixel) {
    bv_colors.dib_depth = bits_per_pixel;
    bv_colors.dib_header_size = bitmap_header_size(bits_per_pixel);
    bv_colors.dib_info_size = bitmap_info_size(bits_per_pixel);
    return 0;
}

int32_t bv_attach_palette(void) {
    if (bv_target.page == -1 || bv_target.bits_per_pixel != 8 || bv_target.surface == nullptr) return 0;
    plat::set_surface_palette(bv_target.surface, bv_display.palette);
    return 0;
}

// The colour becomes a pixel value of the current page's depth, repeated
// to 32 bits.
int32_t bv_set_color(int32_t color) {
    const auto depth = static_cast<int8_t>(bv_target.bits_per_pixel & 0xFF);
    const auto value = static_cast<uint32_t>(color);
    if (depth >= 24) {
        bv_colors.color = value;
    } else if (depth == 16) {
        bv_colors.color = (value & 0xFFFF) * 0x00010001u;
    } else {
        bv_colors.color = bv_colors.color_map[value & 0xFF] * 0x01010101u;
    }
    return 0;
}

// Returns 0, or the platform's error when the fill could not be done.
int32_t bv_fill_page(void) {
    if (bv_target.page == -1 || bv_target.surface == nullptr) return 0;
    for (int32_t attempt = 0; attempt < LOST_SURFACE_ATTEMPTS; ++attempt) {
        const int32_t r = plat::fill_surface(bv_target.surface, bv_colors.color);
        if (r != plat::ERR_SURFACE_LOST) return r;
        const int32_t restored = plat::restore_surface(bv_target.surface);
        if (restored != plat::OK) return restored;
    }
    return plat::ERR_SURFACE_LOST;
}

int32_t bv_3d_scene(int32_t mode) {
    if (!bv::device_draws_page0() || bv_target.page != 0) return 0;
    bv::device_scene(mode);
    return 0;
}

int32_t bv_flip(void) {
    BvPlatSurface *primary = bv_display.primary;
    if (primary == nullptr) return plat::ERR_INVALID_OBJECT;
    for (int32_t attempt = 0; attempt < LOST_SURFACE_ATTEMPTS; ++attempt) {
        const int32_t r = plat::flip(primary);
        if (r != plat::ERR_SURFACE_LOST) return r;
        const int32_t restored = plat::restore_surface(primary);
        if (restored != plat::OK) return restored;
    }
    return plat::ERR_SURFACE_LOST;
}

}  // extern "C"
