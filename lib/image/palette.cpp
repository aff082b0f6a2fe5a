// The library palette and the copies kept in step with it: the window's
// palette object, the display palette of 8-bit modes and pixel_lut. Also
// the colour reduction that fits an 8-bit page into a run of entries.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "clip_run.h"
#include "platform/platform.h"
#include "state.h"

namespace {

enum class PaletteKind { EightBit, SixteenColour, Full };

PaletteKind palette_kind_for(int32_t depth) {
    if (depth == 8) return PaletteKind::EightBit;
    if (depth > 8) return PaletteKind::Full;
    const int32_t screen = bv_screen_depth();
    if (screen == 8) return PaletteKind::EightBit;
    if (screen > 8) return PaletteKind::Full;
    return PaletteKind::SixteenColour;
}

void put_default_entries(int32_t first, int32_t last) {
    for (int32_t i = first; i <= last; ++i) {
        bv_palette.log_palette.entries[i] =
            PaletteEntry{default_palette[i][0], default_palette[i][1], default_palette[i][2], BV_PC_RESERVED};
    }
}

void copy_system_entries(int32_t system_first, int32_t count, int32_t log_first) {
    plat::system_palette_entries(system_first, count, &bv_palette.log_palette.entries[log_first]);
}

void write_dib_color(int32_t index) {
    const PaletteEntry &e = bv_palette.log_palette.entries[index];
    bv_palette.dib_colors[index] = RgbQuad{e.blue, e.green, e.red, 0};
}

}  // namespace

void bv::write_pixel_lut_entry(int32_t index) {
    const PaletteEntry &e = bv_palette.log_palette.entries[index];
    const int32_t bpp = bv_target.bits_per_pixel;
    if (bpp == 16) {
        const uint16_t word = bv::pack_rgb16(e.red, e.green, e.blue, bv::rgb16_is_555());
        std::memcpy(&bv_colors.pixel_lut[2 * index], &word, sizeof word);
    } else if (bpp == 24 || bpp == 32) {
        uint8_t *out = &bv_colors.pixel_lut[4 * index];
        out[0] = 0;
        out[1] = e.red;
        out[2] = e.green;
        out[3] = e.blue;
    }
}

namespace {

// ---- Colour reduction ------------------------------------------------------

struct Reduction {
    uint32_t counts[256];
    uint8_t map[256];
};

struct Region {
    int32_t x0, x1, y0, y1;  // inclusive; empty when x1 < x0 or y1 < y0
};

// The clip rectangle, kept inside the page whatever the page slot says.
Region clip_region() {
    Region r{std::max(bv_target.clip_min_x, 0), std::min(bv_target.clip_max_x, bv_target.width - 1),
             std::max(bv_target.clip_min_y, 0), std::min(bv_target.clip_max_y, bv_target.height - 1)};
    return r;
}

// A clip rectangle that is empty or wholly off the page leaves no pixels.
bool region_is_empty(const Region &r) { return r.x1 < r.x0 || r.y1 < r.y0; }

uint8_t *region_row(const Region &r, int32_t y) {
    return bv_target.base + static_cast<std::ptrdiff_t>(y) * bv_target.pitch + r.x0;
}

void count_region_pixels(const Region &r, Reduction &red) {
    std::fill(std::begin(red.counts), std::end(red.counts), 0u);
    if (region_is_empty(r)) return;
    for (int32_t y = r.y0; y <= r.y1; ++y) {
        const uint8_t *row = region_row(r, y);
        for (int32_t x = 0; x <= r.x1 - r.x0; ++x) ++red.counts[row[x]];
    }
}

uint32_t colour_distance(const uint8_t *rgb, int32_t i, int32_t j) {
    const int32_t dr = rgb[3 * i] - rgb[3 * j];
    const int32_t dg = rgb[3 * i + 1] - rgb[3 * j + 1];
    const int32_t db = rgb[3 * i + 2] - rgb[3 * j + 2];
    return static_cast<uint32_t>(dr * dr + dg * dg + db * db);
}

struct Pair {
    int32_t i = -1, j = -1;
};

// The closest pair of used values. At an equal distance a later pair wins
// only when its second value has fewer pixels than both of the best pair.
Pair closest_used_pair(const Reduction &red, const uint8_t *rgb) {
    Pair best;
    uint32_t best_distance = UINT32_MAX;
    for (int32_t i = 0; i < 255; ++i) {
        if (red.counts[i] == 0) continue;
        for (int32_t j = i + 1; j < 256; ++j) {
            if (red.counts[j] == 0) continue;
            const uint32_t d = colour_distance(rgb, i, j);
            bool better = best.i < 0 || d < best_distance;
            if (!better && d == best_distance)
                better = red.counts[j] < std::min(red.counts[best.i], red.counts[best.j]);
            if (better) {
                best = Pair{i, j};
                best_distance = d;
            }
        }
    }
    return best;
}

// The value with fewer pixels goes into the other; colours are not mixed.
void merge_pair(Reduction &red, const Pair &p) {
    const bool i_loses = red.counts[p.i] <= red.counts[p.j];
    const int32_t loser = i_loses ? p.i : p.j;
    const int32_t keeper = i_loses ? p.j : p.i;
    for (uint8_t &m : red.map)
        if (m == loser) m = static_cast<uint8_t>(keeper);
    red.counts[keeper] += red.counts[loser];
    red.counts[loser] = 0;
}

// Survivors get new indices 0, 1, 2... in value order and their colours
// move down to match; merged values follow their keeper.
void renumber_survivors(Reduction &red, uint8_t *rgb) {
    int32_t next = 0;
    for (int32_t v = 0; v < 256; ++v) {
        if (red.counts[v] == 0) continue;
        red.map[v] = static_cast<uint8_t>(next);
        std::memmove(&rgb[3 * next], &rgb[3 * v], 3);
        ++next;
    }
    for (int32_t v = 0; v < 256; ++v)
        if (red.counts[v] == 0) red.map[v] = red.map[red.map[v]];
}

void move_colours_to_run(uint8_t *rgb, int32_t start, int32_t count) {
    if (start == 0) return;
    std::memmove(&rgb[3 * start], &rgb[0], static_cast<std::size_t>(3 * count));
    std::memset(&rgb[0], 0, static_cast<std::size_t>(3 * start));
    std::memset(&rgb[3 * (start + count)], 0, static_cast<std::size_t>(3 * (256 - start - count)));
}

void remap_region_pixels(const Region &r, const Reduction &red, int32_t start) {
    if (region_is_empty(r)) return;
    uint8_t table[256];
    for (int32_t v = 0; v < 256; ++v) table[v] = static_cast<uint8_t>(red.map[v] + start);
    for (int32_t y = r.y0; y <= r.y1; ++y) {
        uint8_t *row = region_row(r, y);
        for (int32_t x = 0; x <= r.x1 - r.x0; ++x) row[x] = table[row[x]];
    }
}

Reduction reduction_tables;

void reduce_locked_page(int32_t start, int32_t count, uint8_t *rgb) {
    // An empty region has no pixels to count or remap, but its colour
    // table still moves to the run, as the reader relies on.
    const Region region = clip_region();
    Reduction &red = reduction_tables;
    count_region_pixels(region, red);
    for (int32_t v = 0; v < 256; ++v) red.map[v] = static_cast<uint8_t>(v);
    int32_t used = static_cast<int32_t>(std::count_if(std::begin(red.counts), std::end(red.counts),
                                                      [](uint32_t c) { return c > 0; }));
    while (used > count) {
        merge_pair(red, closest_used_pair(red, rgb));
        --used;
    }
    renumber_survivors(red, rgb);
    move_colours_to_run(rgb, start, count);
    remap_region_pixels(region, red, start);
}

}  // namespace

bv_hpalette bv_make_palette(void) {
    switch (palette_kind_for(bv_display.depth)) {
    case PaletteKind::EightBit:
        copy_system_entries(0, 10, 0);
        copy_system_entries(246, 10, 246);
        put_default_entries(10, 245);
        break;
    case PaletteKind::SixteenColour:
        copy_system_entries(0, 8, 0);
        copy_system_entries(8, 8, 248);
        put_default_entries(8, 247);
        break;
    case PaletteKind::Full:
        put_default_entries(0, 255);
        break;
    }
    for (int32_t i = 0; i < 256; ++i) write_dib_color(i);
    return plat::create_window_palette(&bv_palette.log_palette);
}

int32_t bv_use_palette(bv_hpalette palette) {
    bv_palette.current_hpal = palette;
    BvPlatPalette *previous = plat::use_window_palette(bv_display.dc, palette);
    if (bv_palette.saved_hpal == nullptr) bv_palette.saved_hpal = previous;
    return 0;
}

int32_t bv_set_palette(int32_t start, int32_t count, const uint8_t *rgb) {
    if (bv_target.page == -1 || rgb == nullptr) return 0;
    const bv::ClippedRun run = bv::clip_run(start, count, 256);
    if (run.count == 0) return 0;

    const uint8_t *src = rgb + 3 * static_cast<std::ptrdiff_t>(run.skip);
    PaletteEntry *entries = bv_palette.log_palette.entries;
    for (int32_t i = 0; i < run.count; ++i) {
        entries[run.first + i] = PaletteEntry{src[3 * i], src[3 * i + 1], src[3 * i + 2], BV_PC_RESERVED};
        write_dib_color(run.first + i);
    }

    const int32_t depth = bv_display.depth;
    if (depth == 0) {
        if (bv_palette.current_hpal != nullptr)
            plat::animate_window_palette(bv_palette.current_hpal, run.first, run.count, &entries[run.first]);
    } else if (depth >= 1 && depth <= 8) {
        // The display palette decides what an 8-bit mode shows; pixel_lut
        // serves only deeper pages.
        if (bv_display.palette != nullptr)
            plat::set_display_palette_entries(bv_display.palette, run.first, run.count, &entries[run.first]);
        return 0;
    }
    for (int32_t i = 0; i < run.count; ++i) bv::write_pixel_lut_entry(run.first + i);
    return 0;
}

int32_t bv_reduce_colors(int32_t start, int32_t count, uint8_t *rgb) {
    if (bv_target.page == -1) return 0;
    bv::lock_target();
    const bv::ClippedRun run = bv::clip_run(start, count, 256);
    if (bv::target_drawable() && bv_target.bits_per_pixel == 8 && run.count > 0 && rgb != nullptr)
        reduce_locked_page(run.first, run.count, rgb);
    bv::unlock_target();
    return 0;
}

int32_t bv_delete_palette(bv_hpalette palette) {
    if (palette == nullptr) return 0;
    // Forget the palette wherever the library holds it, so that later
    // palette changes and the stop never reach the freed object.
    if (bv_palette.current_hpal == palette) bv_palette.current_hpal = nullptr;
    if (bv_palette.saved_hpal == palette) bv_palette.saved_hpal = nullptr;
    plat::delete_window_palette(palette);
    return 0;
}
