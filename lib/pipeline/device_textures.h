// The seam between the texture table and the 3D device: the device form of
// a texture (device kinds 1 and 2) copies the caller's block into storage of
// the device's own. The texture table calls these two and nothing else.
#ifndef BV_PIPELINE_DEVICE_TEXTURES_H
#define BV_PIPELINE_DEVICE_TEXTURES_H

#include <cstdint>

#include "brivondel.h"

namespace bv {

// Fills `slot` (texels = the device's texture name, surface, width, height)
// from a block of w x h texels in the current page's block layout. Returns
// 0 on success; -2 on failure, with the slot left free (texels 0, surface
// null).
int32_t define_device_texture(TextureEntry *slot, const void *pixels, int32_t w, int32_t h);

// Releases the device storage of a slot and sets its surface to null.
void release_device_texture(TextureEntry *slot);

}  // namespace bv

#endif
