// Surfaces of the SDL2 backend: blocks of memory in the page's own pixel
// format, standing in for DirectDraw surfaces. A surface can be "lost" (the
// full-screen window was minimised or hidden, or a test said so) until it is
// restored; its memory survives, unlike video memory.
#include <algorithm>
#include <cstring>

#include "platform/page_link.h"
#include "platform/sdl/sdl_objects.h"

namespace plat::sdl {

std::vector<BvPlatSurface *> live_surfaces;

namespace {

// Larger pages than this are refused, so every size below fits in 32 bits.
constexpr int32_t MAX_SIDE = 16384;

PixelFormat format_for_depth(int32_t bits_per_pixel) {
    PixelFormat f{};
    f.bits_per_pixel = bits_per_pixel;
    if (bits_per_pixel == 16 && rgb555_pages) {
        f.red_mask = 0x7C00;
        f.green_mask = 0x03E0;
        f.blue_mask = 0x001F;
    } else if (bits_per_pixel == 16) {
        f.red_mask = 0xF800;
        f.green_mask = 0x07E0;
        f.blue_mask = 0x001F;
    } else if (bits_per_pixel == 24 || bits_per_pixel == 32) {
        f.red_mask = 0xFF0000;
        f.green_mask = 0x00FF00;
        f.blue_mask = 0x0000FF;
    }
    return f;
}

// The surface that carries the lost state of a flipping pair: its primary.
template <class Surface>
Surface *chain_head(Surface *surface) {
    return surface->front != nullptr ? surface->front : surface;
}

}  // namespace

BvPlatSurface *make_surface(BvPlatDisplay *display, int32_t width, int32_t height, int32_t bits_per_pixel) {
    if (width <= 0 || height <= 0 || width > MAX_SIDE || height > MAX_SIDE) return nullptr;
    if (bits_per_pixel != 8 && bits_per_pixel != 16 && bits_per_pixel != 24 && bits_per_pixel != 32) return nullptr;
    const int32_t padding = std::clamp(faults.pitch_padding, 0, 4096);
    auto *s = new BvPlatSurface{};
    s->display = display;
    s->width = width;
    s->height = height;
    s->bits_per_pixel = bits_per_pixel;
    s->pitch = width * (bits_per_pixel / 8) + padding;
    s->format = format_for_depth(bits_per_pixel);
    s->pixels = std::make_unique<uint8_t[]>(static_cast<size_t>(s->pitch) * static_cast<size_t>(height));
    live_surfaces.push_back(s);
    return s;
}

void destroy_surface(BvPlatSurface *surface) {
    if (surface == nullptr) return;
    live_surfaces.erase(std::remove(live_surfaces.begin(), live_surfaces.end(), surface), live_surfaces.end());
    link::forget_surface(surface);
    delete surface;
}

void lose_all_surfaces() {
    for (BvPlatSurface *s : live_surfaces) s->lost = true;
}

void detach_palette_everywhere(BvPlatPalette *palette) {
    for (BvPlatSurface *s : live_surfaces) {
        if (s->palette == palette) s->palette = nullptr;
    }
    for (BvPlatWindow *w : live_windows) {
        if (w->palette == palette) w->palette = nullptr;
    }
}

}  // namespace plat::sdl

namespace plat::link {

using namespace plat::sdl;

bool surface_memory(const BvPlatSurface *surface, SurfaceMemory *out) {
    if (surface == nullptr || out == nullptr) return false;
    if (std::find(live_surfaces.begin(), live_surfaces.end(), surface) == live_surfaces.end()) return false;
    *out = SurfaceMemory{surface->pixels.get(), surface->width, surface->height, surface->pitch,
                         surface->bits_per_pixel, surface->format, chain_head(surface)->lost || surface->lost,
                         surface->lock_count > 0};
    return true;
}

BvPlatSurface *make_memory_surface(BvPlatDisplay *display, int32_t width, int32_t height, const PixelFormat &format) {
    BvPlatSurface *s = make_surface(display, width, height, format.bits_per_pixel);
    if (s != nullptr) s->format = format;
    return s;
}

void destroy_memory_surface(BvPlatSurface *surface) { destroy_surface(surface); }

}  // namespace plat::link

namespace plat {

using namespace plat::sdl;

int32_t surface_pitch(BvPlatSurface *surface, int32_t *pitch) {
    if (surface == nullptr || pitch == nullptr) return ERR_INVALID;
    *pitch = surface->pitch;
    return OK;
}

int32_t pixel_format(BvPlatSurface *surface, PixelFormat *out) {
    if (surface == nullptr || out == nullptr) return ERR_INVALID;
    *out = surface->format;
    return OK;
}

int32_t lock_surface(BvPlatSurface *surface, uint8_t **base, int32_t *pitch) {
    if (surface == nullptr || base == nullptr || pitch == nullptr) return ERR_INVALID;
    if (faults.failing_locks > 0) {
        --faults.failing_locks;
        return ERR_GENERIC;
    }
    if (chain_head(surface)->lost) return ERR_SURFACE_LOST;
    ++surface->lock_count;
    // A page the 3D device draws into shows the device's picture.
    if (surface->lock_count == 1 && link::device_draws_into(surface)) link::read_device_picture(surface);
    *base = surface->pixels.get();
    *pitch = surface->pitch;
    return OK;
}

int32_t unlock_surface(BvPlatSurface *surface) {
    if (surface == nullptr) return ERR_INVALID;
    if (surface->lock_count == 0) return ERR_NOT_LOCKED;
    --surface->lock_count;
    if (surface->lock_count == 0 && link::device_draws_into(surface)) link::write_device_picture(surface);
    return OK;
}

int32_t fill_surface(BvPlatSurface *surface, uint32_t color) {
    if (surface == nullptr) return ERR_INVALID;
    if (chain_head(surface)->lost) return ERR_SURFACE_LOST;
    if (surface->lock_count == 0 && link::device_draws_into(surface)) return link::fill_device_picture(surface, color);
    const int32_t bytes = surface->bits_per_pixel / 8;
    uint8_t pixel[4];
    for (int32_t i = 0; i < 4; ++i) pixel[i] = static_cast<uint8_t>(color >> (8 * i));
    // One row is built, then copied; the pitch's padding is left alone.
    uint8_t *first = surface->pixels.get();
    for (int32_t x = 0; x < surface->width; ++x) std::memcpy(first + x * bytes, pixel, bytes);
    const size_t row_bytes = static_cast<size_t>(surface->width) * bytes;
    for (int32_t y = 1; y < surface->height; ++y) {
        std::memcpy(first + static_cast<size_t>(y) * surface->pitch, first, row_bytes);
    }
    return OK;
}

// Restoring any surface of a flipping pair restores the pair.
int32_t restore_surface(BvPlatSurface *surface) {
    if (surface == nullptr) return ERR_INVALID;
    ++faults.restore_count;
    if (faults.failing_restores > 0) {
        --faults.failing_restores;
        return ERR_WRONG_MODE;
    }
    BvPlatSurface *head = chain_head(surface);
    BvPlatDisplay *d = head->display;
    // A full-screen display cannot have its surfaces back while its window
    // is minimised or hidden.
    if (d != nullptr && d->fullscreen && d->window != nullptr && d->window->sdl != nullptr) {
        const uint32_t flags = SDL_GetWindowFlags(d->window->sdl);
        if ((flags & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) != 0) return ERR_NO_EXCLUSIVE_MODE;
    }
    if (faults.restores_stay_lost) return OK;
    head->lost = false;
    if (head->back != nullptr) head->back->lost = false;
    surface->lost = false;
    return OK;
}

void release_surface(BvPlatSurface *surface) {
    if (surface == nullptr) return;
    // A primary takes its back buffer with it.
    if (surface->back != nullptr) destroy_surface(surface->back);
    if (surface->front != nullptr) surface->front->back = nullptr;
    if (surface->display != nullptr && surface->display->primary == surface) surface->display->primary = nullptr;
    destroy_surface(surface);
}

}  // namespace plat
