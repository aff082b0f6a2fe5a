// What the SDL2 backend's surfaces ask of the OpenGL device: while a device
// draws into a page, the page's memory and the device's picture are one
// picture. No OpenGL type appears here.
#ifndef BV_PLATFORM_GL_PAGE_LINK_H
#define BV_PLATFORM_GL_PAGE_LINK_H

#include <cstdint>

#include "brivondel.h"

namespace plat::gl {

// True while a device draws into this page.
bool draws_into(const BvPlatSurface *page);
// The device's picture into the page's memory (a lock, a flip).
void read_picture(BvPlatSurface *page);
// The page's memory into the device's picture (the last unlock).
void write_picture(BvPlatSurface *page);
// Fills the device's picture with a pixel value of the page's format.
int32_t fill_picture(BvPlatSurface *page, uint32_t color);
// A surface is going away: no device may keep it.
void forget_surface(BvPlatSurface *surface);

}  // namespace plat::gl

#endif
