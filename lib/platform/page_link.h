// Where the display's surfaces and the 3D device meet. The surfaces'
// backend (lib/platform/sdl) owns every surface and its memory; the 3D
// device (lib/platform/gl) draws into page 0 and keeps z-buffer and texture
// surfaces. Neither includes the other's internals: each implements its
// half of this file, and a new backend implements the half it replaces.
// No SDL or OpenGL type appears here.
#ifndef BV_PLATFORM_PAGE_LINK_H
#define BV_PLATFORM_PAGE_LINK_H

#include <cstdint>

#include "platform/platform.h"

namespace plat::link {

// ---- Offered by the surfaces' backend to the device -----------------------

// A surface's memory as the device reads and writes it.
struct SurfaceMemory {
    uint8_t *pixels;            // pixel (0, 0)
    int32_t width, height;
    int32_t pitch;              // bytes from one row to the next
    int32_t bits_per_pixel;
    PixelFormat format;
    bool lost;                  // the surface or its flipping chain is lost
    bool locked;                // someone holds a lock on it
};
// False when `surface` is no live surface.
bool surface_memory(const BvPlatSurface *surface, SurfaceMemory *out);
// A surface of plain memory in `format` (8, 16, 24 or 32 bits) for the
// device's own use; null when the size or depth is refused.
BvPlatSurface *make_memory_surface(BvPlatDisplay *display, int32_t width, int32_t height, const PixelFormat &format);
void destroy_memory_surface(BvPlatSurface *surface);
// The video system, opened for as long as a device interface lives (its
// fallback context needs a window of the video system).
bool acquire_video();
void release_video();

// ---- Offered by the device to the surfaces' backend ------------------------

// True while a device draws into this page: the page's memory and the
// device's picture are then one picture.
bool device_draws_into(const BvPlatSurface *page);
// The device's picture into the page's memory (the first lock, a flip).
void read_device_picture(BvPlatSurface *page);
// The page's memory into the device's picture (the last unlock).
void write_device_picture(BvPlatSurface *page);
// Fills the device's picture with a pixel value of the page's format.
int32_t fill_device_picture(BvPlatSurface *page, uint32_t color);
// A surface is going away: no device may keep it.
void forget_surface(BvPlatSurface *surface);

}  // namespace plat::link

#endif
