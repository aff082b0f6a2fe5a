// The display of the SDL2 backend, standing in for DirectDraw's display
// object. Full-screen exclusive mode is a borderless window over the whole
// desktop showing the page scaled up, aspect kept, nearest-pixel filtering;
// the mode's depth is the depth of the pages in memory (8, 16, 24 or 32).
// Windowed operation shares the desktop: its primary surface is a block in
// the desktop's format and nothing presents it. There is no vertical sync
// or hardware flipping: a flip converts the back buffer and presents it.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/gl/gl_page_link.h"
#include "platform/sdl/sdl_objects.h"

namespace plat::sdl {

Hooks hooks;
BvPlatDisplay *current_display = nullptr;
int64_t flip_count = 0;
std::vector<uint32_t> presented;
int32_t presented_width = 0, presented_height = 0;

namespace {

bool video_open = false;
std::string last_failure;

struct Clipper {
    BvPlatWindow *window;
};

struct MemoryContext {
    int32_t unused;
};

// Desktop depth as the window system counts it: a 32-bit pixel with 24
// bits of colour is 32.
int32_t depth_of_format(uint32_t format) {
    if (SDL_BYTESPERPIXEL(format) == 4) return 32;
    return static_cast<int32_t>(SDL_BITSPERPIXEL(format));
}

int32_t query_desktop_depth() {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return 32;
    return depth_of_format(mode.format);
}

// The desktop's size, for the windowed primary surface.
void desktop_size(int32_t *width, int32_t *height) {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.w <= 0 || mode.h <= 0) {
        *width = 640;
        *height = 480;
        return;
    }
    *width = std::min(mode.w, 16384);
    *height = std::min(mode.h, 16384);
}

// Pages of the windowed primary surface follow the desktop: 15 bits is
// RGB555 in 16-bit words, fewer than 8 bits are kept as 8.
BvPlatSurface *make_desktop_surface(BvPlatDisplay *display) {
    int32_t width, height;
    desktop_size(&width, &height);
    const int32_t depth = desktop_depth();
    const bool was_555 = hooks.rgb555;
    int32_t bits = depth;
    if (depth <= 8) bits = 8;
    if (depth == 15) {
        bits = 16;
        hooks.rgb555 = true;
    }
    BvPlatSurface *s = make_surface(display, width, height, bits);
    hooks.rgb555 = was_555;
    return s;
}

bool ensure_presenter(BvPlatDisplay *d) {
    if (d->window == nullptr || d->window->sdl == nullptr) return false;
    if (d->renderer == nullptr) {
        // The window's own framebuffer, not an OpenGL texture standing in
        // for it: the picture is scaled in memory and the 3D device keeps
        // OpenGL to itself.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        d->renderer = SDL_CreateRenderer(d->window->sdl, -1, SDL_RENDERER_SOFTWARE);
        if (d->renderer == nullptr) return false;
        SDL_RenderSetLogicalSize(d->renderer, d->width, d->height);
    }
    if (d->texture == nullptr) {
        d->texture = SDL_CreateTexture(d->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                       d->width, d->height);
        if (d->texture == nullptr) return false;
        SDL_SetTextureBlendMode(d->texture, SDL_BLENDMODE_NONE);
        SDL_SetTextureScaleMode(d->texture, SDL_ScaleModeNearest);
    }
    return true;
}

void destroy_presenter(BvPlatDisplay *d) {
    if (d->texture != nullptr) SDL_DestroyTexture(d->texture);
    d->texture = nullptr;
    if (d->renderer != nullptr) SDL_DestroyRenderer(d->renderer);
    d->renderer = nullptr;
}

// 16-bit channels widen by bit replication, so 31 and 63 become 255.
uint32_t widen5(uint32_t c) { return (c << 3) | (c >> 2); }
uint32_t widen6(uint32_t c) { return (c << 2) | (c >> 4); }

uint32_t rgb565_to_rgb(uint32_t v) {
    return (widen5((v >> 11) & 31) << 16) | (widen6((v >> 5) & 63) << 8) | widen5(v & 31);
}

uint32_t rgb555_to_rgb(uint32_t v) {
    return (widen5((v >> 10) & 31) << 16) | (widen5((v >> 5) & 31) << 8) | widen5(v & 31);
}

// One row of the page into 0x00RRGGBB pixels, a loop per depth.
void convert_row(const BvPlatSurface *page, const uint8_t *row, uint32_t *out, const uint32_t *palette_rgb) {
    const int32_t n = page->width;
    switch (page->bits_per_pixel) {
    case 8:
        for (int32_t x = 0; x < n; ++x) out[x] = palette_rgb[row[x]];
        break;
    case 16:
        if (page->format.green_mask == 0x03E0) {
            for (int32_t x = 0; x < n; ++x) out[x] = rgb555_to_rgb(row[2 * x] | (uint32_t{row[2 * x + 1]} << 8));
        } else {
            for (int32_t x = 0; x < n; ++x) out[x] = rgb565_to_rgb(row[2 * x] | (uint32_t{row[2 * x + 1]} << 8));
        }
        break;
    case 24:
        for (int32_t x = 0; x < n; ++x) {
            const uint8_t *p = row + 3 * x;
            out[x] = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
        }
        break;
    default:
        for (int32_t x = 0; x < n; ++x) {
            const uint8_t *p = row + 4 * x;
            out[x] = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
        }
        break;
    }
}

// 8-bit pages show through the display palette; without one, black.
void convert_to_presented(const BvPlatSurface *page, const BvPlatPalette *palette) {
    uint32_t palette_rgb[256] = {};
    if (palette != nullptr) {
        for (int32_t i = 0; i < 256; ++i) {
            const PaletteEntry &e = palette->entries[i];
            palette_rgb[i] = (uint32_t{e.red} << 16) | (uint32_t{e.green} << 8) | e.blue;
        }
    }
    presented_width = page->width;
    presented_height = page->height;
    presented.resize(static_cast<size_t>(page->width) * page->height);
    for (int32_t y = 0; y < page->height; ++y) {
        const uint8_t *row = page->pixels.get() + static_cast<size_t>(y) * page->pitch;
        convert_row(page, row, presented.data() + static_cast<size_t>(y) * page->width, palette_rgb);
    }
}

bool show_presented(BvPlatDisplay *d) {
    if (!ensure_presenter(d)) return false;
    if (SDL_UpdateTexture(d->texture, nullptr, presented.data(), presented_width * 4) != 0) return false;
    SDL_SetRenderDrawColor(d->renderer, 0, 0, 0, 255);
    SDL_RenderClear(d->renderer);
    SDL_RenderCopy(d->renderer, d->texture, nullptr, nullptr);
    SDL_RenderPresent(d->renderer);
    return true;
}

}  // namespace

// The video system opens once and stays open until the process ends:
// closing it unloads helper libraries (D-Bus) that keep memory of their own,
// and reopening it for every start-up costs time.
bool acquire_video() {
    if (video_open) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    video_open = true;
    return true;
}

void release_video() {}

}  // namespace plat::sdl

namespace plat {

using namespace plat::sdl;

int32_t create_display(BvPlatDisplay **out) {
    if (out == nullptr) return ERR_INVALID;
    *out = nullptr;
    if (!acquire_video()) {
        last_failure = std::string("no video: ") + SDL_GetError();
        return ERR_NO_VIDEO;
    }
    last_failure.clear();
    auto *d = new BvPlatDisplay{};
    current_display = d;
    *out = d;
    return OK;
}

void release_display(BvPlatDisplay *display) {
    if (display == nullptr) return;
    destroy_presenter(display);
    if (display->primary != nullptr) release_surface(display->primary);
    if (display->window != nullptr) {
        if (display->owns_window) {
            free_window(display->window);
        } else if (display->unfullscreen_on_release && display->window->sdl != nullptr) {
            SDL_SetWindowFullscreen(display->window->sdl, 0);
        }
    }
    for (BvPlatSurface *s : live_surfaces) {
        if (s->display == display) s->display = nullptr;
    }
    if (current_display == display) current_display = nullptr;
    delete display;
}

const char *last_error() { return last_failure.c_str(); }

int32_t desktop_depth() {
    if (hooks.desktop_depth != 0) return hooks.desktop_depth;
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return query_desktop_depth();
    if (!acquire_video()) return 32;
    return query_desktop_depth();
}

void set_rgb16_layout(bool rgb555) { hooks.rgb555 = rgb555; }

int32_t set_windowed(BvPlatDisplay *display, BvPlatWindow *window) {
    if (display == nullptr) return ERR_INVALID;
    if (display->window == nullptr) {
        if (window == nullptr) {
            window = make_window("Brivondel", 640, 480, 0);
            if (window == nullptr) return ERR_GENERIC;
            window->made_by_display = true;
            display->owns_window = true;
        }
        display->window = window;
    }
    display->fullscreen = false;
    return OK;
}

int32_t set_fullscreen(BvPlatDisplay *display, BvPlatWindow *window) {
    if (display == nullptr) return ERR_INVALID;
    if (display->window == nullptr) {
        if (window == nullptr) {
            window = make_window("Brivondel", 640, 480, SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
            if (window == nullptr) return ERR_GENERIC;
            window->made_by_display = true;
            display->owns_window = true;
        } else {
            const uint32_t flags = SDL_GetWindowFlags(window->sdl);
            const bool was_fullscreen = (flags & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
            if (!was_fullscreen && SDL_SetWindowFullscreen(window->sdl, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
                return ERR_GENERIC;
            }
            display->unfullscreen_on_release = !was_fullscreen;
        }
        display->window = window;
    }
    display->fullscreen = true;
    return OK;
}

int32_t set_mode(BvPlatDisplay *display, int32_t width, int32_t height, int32_t depth) {
    if (display == nullptr) return ERR_INVALID;
    if (!display->fullscreen) return ERR_NO_EXCLUSIVE_MODE;
    const bool known_depth = depth == 8 || depth == 16 || depth == 24 || depth == 32;
    if (!known_depth || depth == hooks.refused_depth) return ERR_UNSUPPORTED_MODE;
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return ERR_UNSUPPORTED_MODE;
    destroy_presenter(display);
    display->width = width;
    display->height = height;
    display->depth = depth;
    display->mode_set = true;
    return OK;
}

int32_t create_primary(BvPlatDisplay *display, bool flipping, uint32_t /*caps*/, BvPlatSurface **out) {
    if (display == nullptr || out == nullptr) return ERR_INVALID;
    *out = nullptr;
    if (display->primary != nullptr) return ERR_GENERIC;
    BvPlatSurface *primary = nullptr;
    if (!display->fullscreen) {
        if (flipping) return ERR_NO_EXCLUSIVE_MODE;
        primary = make_desktop_surface(display);
    } else {
        if (!display->mode_set) return ERR_WRONG_MODE;
        primary = make_surface(display, display->width, display->height, display->depth);
        if (primary != nullptr && flipping) {
            BvPlatSurface *back = make_surface(display, display->width, display->height, display->depth);
            if (back == nullptr) {
                destroy_surface(primary);
                return ERR_OUT_OF_MEMORY;
            }
            back->front = primary;
            primary->back = back;
        }
    }
    if (primary == nullptr) return ERR_OUT_OF_MEMORY;
    display->primary = primary;
    *out = primary;
    return OK;
}

int32_t back_buffer(BvPlatSurface *primary, BvPlatSurface **out) {
    if (primary == nullptr || out == nullptr) return ERR_INVALID;
    *out = primary->back;
    return primary->back != nullptr ? OK : ERR_NOT_FOUND;
}

int32_t create_clipper(BvPlatDisplay *display, BvPlatWindow *window, void **out) {
    if (display == nullptr || out == nullptr) return ERR_INVALID;
    *out = new Clipper{window != nullptr ? window : display->window};
    return OK;
}

void release_clipper(void *clipper) { delete static_cast<Clipper *>(clipper); }

void *create_memory_context() { return new MemoryContext{}; }

void delete_memory_context(void *context) { delete static_cast<MemoryContext *>(context); }

// The desktop's picture comes back when the display is released; nothing
// is left to do here but say whether the screen was taken.
int32_t flip_to_desktop(BvPlatDisplay *display) {
    if (display == nullptr) return ERR_INVALID;
    return display->fullscreen ? OK : ERR_NO_EXCLUSIVE_MODE;
}

int32_t flip(BvPlatSurface *primary) {
    if (primary == nullptr) return ERR_INVALID_OBJECT;
    BvPlatSurface *back = primary->back;
    if (back == nullptr || primary->display == nullptr) return ERR_NOT_FLIPPABLE;
    if (primary->lost) return ERR_SURFACE_LOST;
    const BvPlatPalette *palette = back->palette != nullptr ? back->palette : primary->palette;
    // A back buffer the 3D device draws into shows the device's picture.
    if (back->lock_count == 0 && gl::draws_into(back)) gl::read_picture(back);
    convert_to_presented(back, palette);
    ++flip_count;
    return show_presented(primary->display) ? OK : ERR_GENERIC;
}

int32_t stock_font_metrics(int32_t stock_object, FontMetrics *out) {
    if (out == nullptr) return ERR_INVALID;
    // Stock objects 10 to 17 are the fonts (15 is the default palette).
    const bool is_font = stock_object >= 10 && stock_object <= 17 && stock_object != 15;
    if (!is_font) return ERR_INVALID;
    // Every stock font is the one fixed 8 x 16 cell font of this backend.
    out->height = 16;
    out->external_leading = 0;
    out->avg_char_width = 8;
    return OK;
}

}  // namespace plat
