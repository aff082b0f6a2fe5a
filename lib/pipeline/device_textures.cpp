// Device textures: the caller's block is copied into a texture surface of
// the device's own (16 bits in the display's layout, or 32-bit 0x00RRGGBB
// for every other depth), and the slot keeps the surface and the device's
// handle. A step that fails releases what was made and leaves the slot free.
#include <cstring>

#include "pipeline/device_textures.h"
#include "platform/platform.h"
#include "state.h"

namespace {

// The largest side a texture surface may have.
constexpr int32_t MAX_TEXTURE_SIDE = 16384;

plat::PixelFormat texture_format() {
    plat::PixelFormat f{};
    if (bv_display.depth == 16) {
        f.bits_per_pixel = 16;
        f.red_mask = bv_display.red_mask;
        f.green_mask = bv_display.green_mask;
        f.blue_mask = bv_display.blue_mask;
    } else {
        f.bits_per_pixel = 32;
        f.red_mask = 0xFF0000;
        f.green_mask = 0xFF00;
        f.blue_mask = 0xFF;
    }
    return f;
}

uint32_t texture_caps() {
    return plat::CAPS_TEXTURE | (bv_display.device_kind == BV_DEVICE_HARDWARE ? plat::CAPS_VIDEO_MEMORY : plat::CAPS_SYSTEM_MEMORY);
}

// 16-bit rows are copied as they are; every other depth's 3-byte texels
// b0, b1, b2 become the 32-bit value b0 + b1 * 256 + b2 * 65536.
void copy_texels(uint8_t *dest, int32_t pitch, const uint8_t *src, int32_t w, int32_t h) {
    for (int32_t y = 0; y < h; ++y) {
        uint8_t *row = dest + static_cast<size_t>(y) * pitch;
        if (bv_display.depth == 16) {
            std::memcpy(row, src + static_cast<size_t>(y) * w * 2, static_cast<size_t>(w) * 2);
            continue;
        }
        const uint8_t *texel = src + static_cast<size_t>(y) * w * 3;
        for (int32_t x = 0; x < w; ++x, texel += 3) {
            const uint8_t value[4] = {texel[0], texel[1], texel[2], 0};
            std::memcpy(row + static_cast<size_t>(x) * 4, value, 4);
        }
    }
}

bool fill_surface_from(BvPlatSurface *surface, const void *pixels, int32_t w, int32_t h) {
    uint8_t *base = nullptr;
    int32_t pitch = 0;
    if (!bv::combine_result(plat::lock_surface(surface, &base, &pitch)) || base == nullptr) return false;
    copy_texels(base, pitch, static_cast<const uint8_t *>(pixels), w, h);
    return bv::combine_result(plat::unlock_surface(surface));
}

}  // namespace

namespace bv {

int32_t define_device_texture(TextureEntry *slot, const void *pixels, int32_t w, int32_t h) {
    slot->texels = 0;
    slot->surface = nullptr;
    if (bv_display.device == nullptr || pixels == nullptr) return -2;
    if (w <= 0 || h <= 0 || w > MAX_TEXTURE_SIDE || h > MAX_TEXTURE_SIDE) return -2;
    BvPlatSurface *surface = nullptr;
    if (!bv::combine_result(plat::create_texture_surface(bv_display.ddraw, w, h, texture_format(), texture_caps(), &surface))) {
        return -2;
    }
    slot->surface = surface;
    uint32_t handle = 0;
    if (!fill_surface_from(surface, pixels, w, h) ||
        !bv::combine_result(plat::texture_handle(bv_display.device, surface, &handle)) || handle == 0) {
        release_device_texture(slot);
        return -2;
    }
    slot->texels = handle;
    return 0;
}

void release_device_texture(TextureEntry *slot) {
    BvPlatSurface *surface = slot->surface;
    slot->surface = nullptr;
    if (surface != nullptr) plat::release_texture_surface(surface);
}

}  // namespace bv
