// Palettes of the SDL2 backend: plain 256-entry tables. A display palette
// decides the colours an 8-bit page shows when it is flipped; a window's
// logical palette is only recorded (the screen is never in an 8-bit mode).
#include <algorithm>
#include <cstring>

#include "clip_run.h"
#include "platform/sdl/sdl_objects.h"

namespace plat::sdl {

namespace {

// The window system's static colours: entries 0-9 and 246-255.
constexpr uint8_t STATIC_LOW[10][3] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {192, 220, 192}, {164, 200, 240},
};
constexpr uint8_t STATIC_HIGH[10][3] = {
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255},
};

BvPlatPalette stock_palette = [] {
    BvPlatPalette p{};
    p.stock = true;
    for (int32_t i = 0; i < 256; ++i) static_color(i, &p.entries[i]);
    return p;
}();

}  // namespace

void static_color(int32_t index, PaletteEntry *out) {
    *out = PaletteEntry{0, 0, 0, 0};
    const uint8_t *rgb = nullptr;
    if (index >= 0 && index < 10) rgb = STATIC_LOW[index];
    if (index >= 246 && index < 256) rgb = STATIC_HIGH[index - 246];
    if (rgb != nullptr) *out = PaletteEntry{rgb[0], rgb[1], rgb[2], 0};
}

}  // namespace plat::sdl

namespace plat {

using namespace plat::sdl;

int32_t create_display_palette(BvPlatDisplay *display, const PaletteEntry entries[256], BvPlatPalette **out) {
    if (display == nullptr || entries == nullptr || out == nullptr) return ERR_INVALID;
    auto *p = new BvPlatPalette{};
    std::memcpy(p->entries, entries, sizeof p->entries);
    *out = p;
    return OK;
}

int32_t set_surface_palette(BvPlatSurface *surface, BvPlatPalette *palette) {
    if (surface == nullptr) return ERR_INVALID;
    surface->palette = palette;
    return OK;
}

int32_t set_display_palette_entries(BvPlatPalette *palette, int32_t start, int32_t count, const PaletteEntry *entries) {
    if (palette == nullptr || entries == nullptr) return ERR_INVALID;
    const bv::ClippedRun run = bv::clip_run(start, count, 256);
    if (run.count == 0) return ERR_INVALID;
    std::memcpy(palette->entries + run.first, entries + run.skip, sizeof(PaletteEntry) * run.count);
    return OK;
}

void release_display_palette(BvPlatPalette *palette) {
    if (palette == nullptr || palette->stock) return;
    detach_palette_everywhere(palette);
    delete palette;
}

// A desktop of fewer than 8 bits has 16 colours: the static colours 0-7
// and 248-255 in entries 0-15.
void system_palette_entries(int32_t start, int32_t count, PaletteEntry *out) {
    if (out == nullptr || count <= 0) return;
    const bool sixteen_colours = desktop_depth() < 8;
    for (int32_t i = 0; i < count; ++i) {
        const int64_t index = int64_t{start} + i;
        PaletteEntry e{0, 0, 0, 0};
        if (sixteen_colours) {
            if (index >= 0 && index < 8) static_color(static_cast<int32_t>(index), &e);
            if (index >= 8 && index < 16) static_color(static_cast<int32_t>(index) + 240, &e);
        } else if (index >= 0 && index < 256) {
            static_color(static_cast<int32_t>(index), &e);
        }
        out[i] = e;
    }
}

BvPlatPalette *create_window_palette(const LogPalette *log) {
    if (log == nullptr) return nullptr;
    auto *p = new BvPlatPalette{};
    std::memcpy(p->entries, log->entries, sizeof p->entries);
    return p;
}

BvPlatPalette *use_window_palette(BvPlatWindow *window, BvPlatPalette *palette) {
    if (window == nullptr || palette == nullptr) return nullptr;
    // A window that is gone (its context released) is left alone.
    if (std::find(live_windows.begin(), live_windows.end(), window) == live_windows.end()) return nullptr;
    BvPlatPalette *before = window->palette != nullptr ? window->palette : &stock_palette;
    window->palette = palette;
    return before;
}

void animate_window_palette(BvPlatPalette *palette, int32_t start, int32_t count, const PaletteEntry *entries) {
    if (palette == nullptr || entries == nullptr || palette->stock) return;
    const bv::ClippedRun run = bv::clip_run(start, count, 256);
    if (run.count == 0) return;
    std::memcpy(palette->entries + run.first, entries + run.skip, sizeof(PaletteEntry) * run.count);
}

void delete_window_palette(BvPlatPalette *palette) {
    if (palette == nullptr || palette->stock) return;
    detach_palette_everywhere(palette);
    delete palette;
}

}  // namespace plat
