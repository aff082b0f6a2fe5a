// Device textures before the 3D device path exists: defining one fails and
// there is nothing to release.
#include "pipeline/device_textures.h"

namespace bv {

int32_t define_device_texture(TextureEntry *slot, const void *, int32_t, int32_t) {
    slot->texels = 0;
    slot->surface = nullptr;
    return -2;
}

void release_device_texture(TextureEntry *slot) { slot->surface = nullptr; }

}  // namespace bv
