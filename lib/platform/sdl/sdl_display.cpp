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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/page_link.h"
#include "platform/sdl/sdl_objects.h"

namespace plat::sdl {

Faults faults;
bool rgb555_pages = false;
std::string last_failure;
BvPlatDisplay *current_display = nullptr;
int64_t flip_count = 0;
std::vector<uint32_t> presented;
int32_t presented_width = 0, presented_height = 0;

namespace {

bool video_open = false;

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
    const bool was_555 = rgb555_pages;
    int32_t bits = depth;
    if (depth <= 8) bits = 8;
    if (depth == 15) {
        bits = 16;
        rgb555_pages = true;
    }
    BvPlatSurface *s = make_surface(display, width, height, bits);
    rgb555_pages = was_555;
    return s;
}

// 16-bit channels widen by bit replication, so 31 and 63 become 255.
constexpr uint32_t widen5(uint32_t c) { return (c << 3) | (c >> 2); }
constexpr uint32_t widen6(uint32_t c) { return (c << 2) | (c >> 4); }

constexpr uint32_t rgb565_to_rgb(uint32_t v) {
    return (widen5((v >> 11) & 31) << 16) | (widen6((v >> 5) & 63) << 8) | widen5(v & 31);
}

constexpr uint32_t rgb555_to_rgb(uint32_t v) {
    return (widen5((v >> 10) & 31) << 16) | (widen5((v >> 5) & 31) << 8) | widen5(v & 31);
}

// Each widened bit comes from one byte of the 16-bit pixel (the bits a
// channel repeats lie in the same byte as the bits they repeat), so a
// pixel widens to the OR of what its low byte and its high byte widen to:
// two table loads a pixel.
struct Widening {
    uint32_t low[256], high[256];
};

template <uint32_t (*Widen)(uint32_t)>
constexpr Widening widening_tables() {
    Widening t{};
    for (uint32_t b = 0; b < 256; ++b) {
        t.low[b] = Widen(b);
        t.high[b] = Widen(b << 8);
    }
    return t;
}

constexpr Widening widen_565 = widening_tables<rgb565_to_rgb>();
constexpr Widening widen_555 = widening_tables<rgb555_to_rgb>();

constexpr bool widens_bytewise(const Widening &t, uint32_t (*widen)(uint32_t)) {
    for (uint32_t v = 0; v < 65536; ++v)
        if ((t.low[v & 0xFF] | t.high[v >> 8]) != widen(v)) return false;
    return true;
}
static_assert(widens_bytewise(widen_565, rgb565_to_rgb) && widens_bytewise(widen_555, rgb555_to_rgb));

void widen_row_bytewise(const uint8_t *row, uint32_t *out, int32_t n, const Widening &t) {
    for (int32_t x = 0; x < n; ++x) out[x] = t.low[row[2 * x]] | t.high[row[2 * x + 1]];
}

#if defined(__SSE2__)
// Eight pixels at a time: the three channels shifted out of each 16-bit
// lane, widened by the same replication, and interleaved into 0x00RRGGBB.
template <bool Rgb555>
void widen_row(const uint8_t *row, uint32_t *out, int32_t n) {
    const __m128i five = _mm_set1_epi16(31);
    const __m128i six = _mm_set1_epi16(63);
    int32_t x = 0;
    for (; x + 8 <= n; x += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + 2 * x));
        const __m128i r = Rgb555 ? _mm_and_si128(_mm_srli_epi16(v, 10), five) : _mm_srli_epi16(v, 11);
        const __m128i g = _mm_and_si128(_mm_srli_epi16(v, 5), Rgb555 ? five : six);
        const __m128i b = _mm_and_si128(v, five);
        const __m128i r8 = _mm_or_si128(_mm_slli_epi16(r, 3), _mm_srli_epi16(r, 2));
        const __m128i g8 = Rgb555 ? _mm_or_si128(_mm_slli_epi16(g, 3), _mm_srli_epi16(g, 2))
                                  : _mm_or_si128(_mm_slli_epi16(g, 2), _mm_srli_epi16(g, 4));
        const __m128i b8 = _mm_or_si128(_mm_slli_epi16(b, 3), _mm_srli_epi16(b, 2));
        const __m128i gb = _mm_or_si128(_mm_slli_epi16(g8, 8), b8);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), _mm_unpacklo_epi16(gb, r8));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x + 4), _mm_unpackhi_epi16(gb, r8));
    }
    widen_row_bytewise(row + 2 * x, out + x, n - x, Rgb555 ? widen_555 : widen_565);
}
#else
template <bool Rgb555>
void widen_row(const uint8_t *row, uint32_t *out, int32_t n) {
    widen_row_bytewise(row, out, n, Rgb555 ? widen_555 : widen_565);
}
#endif

// One row of the page into 0x00RRGGBB pixels, a loop per depth.
void convert_row(const BvPlatSurface *page, const uint8_t *row, uint32_t *out, const uint32_t *palette_rgb) {
    const int32_t n = page->width;
    switch (page->bits_per_pixel) {
    case 8:
        for (int32_t x = 0; x < n; ++x) out[x] = palette_rgb[row[x]];
        break;
    case 16:
        if (is_rgb555(page->format)) {
            widen_row<true>(row, out, n);
        } else {
            widen_row<false>(row, out, n);
        }
        break;
    case 24:
        for (int32_t x = 0; x < n; ++x) {
            const uint8_t *p = row + 3 * x;
            out[x] = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
        }
        break;
    default:
        // Byte 3 of a 32-bit pixel is not shown.
        for (int32_t x = 0; x < n; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, row + 4 * x, 4);
            out[x] = pixel & 0x00FFFFFFu;
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

// ---- Showing the presented picture in the window ----------------------------

// Where the picture lands in the window: scaled up or down as far as it
// fits with its aspect kept, centred; black bars around it.
struct Placement {
    int32_t x, y, width, height;
};

Placement fit_keeping_aspect(int32_t picture_w, int32_t picture_h, int32_t window_w, int32_t window_h) {
    Placement p{};
    if (int64_t{window_w} * picture_h <= int64_t{window_h} * picture_w) {
        p.width = window_w;
        p.height = static_cast<int32_t>(int64_t{picture_h} * window_w / picture_w);
    } else {
        p.height = window_h;
        p.width = static_cast<int32_t>(int64_t{picture_w} * window_h / picture_h);
    }
    p.x = (window_w - p.width) / 2;
    p.y = (window_h - p.height) / 2;
    return p;
}

// The picture's pixel nearest to the centre of window pixel i.
int32_t nearest_source(int32_t i, int32_t source_size, int32_t placed_size) {
    return static_cast<int32_t>((2 * int64_t{i} + 1) * source_size / (2 * int64_t{placed_size}));
}

void clear_bars(SDL_Surface *window, const Placement &p) {
    const SDL_Rect bars[4] = {{0, 0, window->w, p.y},
                              {0, p.y + p.height, window->w, window->h - p.y - p.height},
                              {0, p.y, p.x, p.height},
                              {p.x + p.width, p.y, window->w - p.x - p.width, p.height}};
    for (const SDL_Rect &bar : bars)
        if (bar.w > 0 && bar.h > 0) SDL_FillRect(window, &bar, SDL_MapRGB(window->format, 0, 0, 0));
}

// Window framebuffers in the picture's own layout take it directly.
bool takes_xrgb(const SDL_PixelFormat *f) {
    return f->BytesPerPixel == 4 && f->Rmask == 0xFF0000 && f->Gmask == 0xFF00 && f->Bmask == 0xFF && f->Amask == 0;
}

// Which picture column each placed column shows; recomputed only when the
// picture's or the placement's width changes.
const int32_t *column_map(int32_t source_w, int32_t placed_w) {
    static std::vector<int32_t> columns;
    static int32_t for_source = -1, for_placed = -1;
    if (for_source != source_w || for_placed != placed_w) {
        columns.resize(static_cast<size_t>(placed_w));
        for (int32_t x = 0; x < placed_w; ++x) columns[x] = nearest_source(x, source_w, placed_w);
        for_source = source_w;
        for_placed = placed_w;
    }
    return columns.data();
}

// One window row from one picture row, four pixels to a store.
void expand_row(const uint32_t *in, uint32_t *out, int32_t placed_w, const int32_t *columns) {
    int32_t x = 0;
#if defined(__SSE2__)
    for (; x + 4 <= placed_w; x += 4) {
        const __m128i four = _mm_setr_epi32(static_cast<int32_t>(in[columns[x]]), static_cast<int32_t>(in[columns[x + 1]]),
                                            static_cast<int32_t>(in[columns[x + 2]]),
                                            static_cast<int32_t>(in[columns[x + 3]]));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), four);
    }
#endif
    for (; x < placed_w; ++x) out[x] = in[columns[x]];
}

// Nearest-pixel scaling: each window row that shows the same picture row
// as the one above it is a copy of that row.
void scale_into(SDL_Surface *window, const Placement &p) {
    const int32_t *columns = column_map(presented_width, p.width);
    auto *pixels = static_cast<uint8_t *>(window->pixels);
    const size_t row_bytes = static_cast<size_t>(p.width) * 4;
    const uint32_t *previous = nullptr;
    int32_t previous_source = -1;
    for (int32_t y = 0; y < p.height; ++y) {
        const int32_t source = nearest_source(y, presented_height, p.height);
        auto *out = reinterpret_cast<uint32_t *>(pixels + static_cast<size_t>(p.y + y) * window->pitch) + p.x;
        if (source == previous_source) {
            std::memcpy(out, previous, row_bytes);
        } else {
            const uint32_t *in = presented.data() + static_cast<size_t>(source) * presented_width;
            if (p.width == presented_width) {
                std::memcpy(out, in, row_bytes);
            } else {
                expand_row(in, out, p.width, columns);
            }
        }
        previous = out;
        previous_source = source;
    }
}

// Other framebuffer layouts: SDL converts and scales, from the picture
// wrapped as a surface (wrapped again only when the picture moved).
bool blit_with_sdl(BvPlatDisplay *d, SDL_Surface *window, const Placement &p) {
    SDL_Surface *&picture = d->picture;
    if (picture == nullptr || picture->pixels != presented.data() || picture->w != presented_width ||
        picture->h != presented_height) {
        SDL_FreeSurface(picture);
        picture = SDL_CreateRGBSurfaceWithFormatFrom(presented.data(), presented_width, presented_height, 32,
                                                     presented_width * 4, SDL_PIXELFORMAT_RGB888);
        if (picture == nullptr) return false;
        SDL_SetSurfaceBlendMode(picture, SDL_BLENDMODE_NONE);
    }
    SDL_Rect target{p.x, p.y, p.width, p.height};
    return SDL_BlitScaled(picture, nullptr, window, &target) == 0;
}

void destroy_presenter(BvPlatDisplay *d) {
    SDL_FreeSurface(d->picture);
    d->picture = nullptr;
}

bool show_presented(BvPlatDisplay *d) {
    if (d->window == nullptr || d->window->sdl == nullptr || presented.empty()) return false;
    SDL_Surface *window = SDL_GetWindowSurface(d->window->sdl);
    if (window == nullptr) return false;
    const Placement p = fit_keeping_aspect(presented_width, presented_height, window->w, window->h);
    clear_bars(window, p);
    bool shown = true;
    if (p.width > 0 && p.height > 0) {
        if (takes_xrgb(window->format) && !SDL_MUSTLOCK(window)) {
            scale_into(window, p);
        } else {
            shown = blit_with_sdl(d, window, p);
        }
    }
    return SDL_UpdateWindowSurface(d->window->sdl) == 0 && shown;
}

}  // namespace

}  // namespace plat::sdl

namespace plat::link {

using namespace plat::sdl;

// The video system opens once and stays open until the process ends:
// closing it unloads helper libraries (D-Bus) that keep memory of their own,
// and reopening it for every start-up costs time; release_video only marks
// the end of one use.
bool acquire_video() {
    if (video_open) return true;
    // Flips write the window's own framebuffer, never an OpenGL texture
    // standing in for it: the 3D device keeps OpenGL to itself.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        last_failure = std::string("no video: ") + SDL_GetError();
        return false;
    }
    video_open = true;
    return true;
}

void release_video() {}

}  // namespace plat::link

namespace plat {

using namespace plat::sdl;

int32_t create_display(BvPlatDisplay **out) {
    if (out == nullptr) return ERR_INVALID;
    *out = nullptr;
    if (!link::acquire_video()) return ERR_NO_VIDEO;
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
    if (faults.desktop_depth != 0) return faults.desktop_depth;
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return query_desktop_depth();
    if (!link::acquire_video()) return 32;
    return query_desktop_depth();
}

void set_rgb16_layout(bool rgb555) { rgb555_pages = rgb555; }

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
    if (!known_depth || depth == faults.refused_depth) return ERR_UNSUPPORTED_MODE;
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
    if (back->lock_count == 0 && link::device_draws_into(back)) link::read_device_picture(back);
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
