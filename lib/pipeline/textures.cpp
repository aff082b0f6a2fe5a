// The texture table: small integer handles for pixel blocks. A memory
// texture (no 3D device) points straight at the caller's block; the device
// form goes through pipeline/device_textures.h.
#include <cstdint>
#include <cstdlib>

#include "pipeline/device_textures.h"
#include "state.h"

namespace {

// The table's size in bytes must fit 32 bits, as the block allocator's
// sizes do.
constexpr int64_t MAX_TABLE_BYTES = UINT32_MAX;

// Bytes per texel of the blocks read from the current page; 0 with no page
// selected: such a texture takes the texel size of the page it is drawn on.
int32_t current_page_texel_bytes() {
    if (bv_target.page == -1) return 0;
    switch (bv_target.bits_per_pixel) {
    case 16: return 2;
    case 24:
    case 32: return 3;
    default: return 1;
    }
}

TextureEntry *first_free_slot() {
    for (int32_t i = 0; i < bv_textures.texture_count; ++i) {
        if (bv_textures.texture_table[i].texels == 0) return &bv_textures.texture_table[i];
    }
    return nullptr;
}

// A released device texture must never be drawn: if the current texture
// is the one going away, nothing stays current.
void forget_current_if(const TextureEntry &slot) {
    if (bv_textures.current_texels != slot.texels) return;
    bv_textures.current_texels = 0;
    bv_textures.current_width = 0;
    bv_textures.current_height = 0;
    bv_textures.current_texel_bytes = 0;
}

void free_slot(TextureEntry &slot) {
    if (slot.surface != nullptr) {
        forget_current_if(slot);
        bv::release_device_texture(&slot);
    }
    slot.texels = 0;
}

}  // namespace

// A new table replaces the old one. Nothing can reach the old table's
// memory any more (the current texture is a copy), so it goes back; device
// storage held by its slots is not released.
int32_t bv_alloc_textures(int32_t count) {
    if (count <= 0) return -1;
    const int64_t bytes = static_cast<int64_t>(count) * static_cast<int64_t>(sizeof(TextureEntry));
    if (bytes > MAX_TABLE_BYTES) return -1;
    auto *table = static_cast<TextureEntry *>(std::calloc(static_cast<std::size_t>(count), sizeof(TextureEntry)));
    if (table == nullptr) return -1;
    std::free(bv_textures.texture_table);
    bv_textures.texture_table = table;
    bv_textures.texture_count = count;
    return 0;
}

// Returns the slot index, -1 when no slot is free (or pixels is null: a
// null block would leave the slot looking free), -2 when the device
// texture cannot be made.
int32_t bv_define_texture(const void *pixels, int32_t width, int32_t height) {
    if (pixels == nullptr) return -1;
    TextureEntry *slot = first_free_slot();
    if (slot == nullptr) return -1;
    const int32_t handle = static_cast<int32_t>(slot - bv_textures.texture_table);
    slot->width = width;
    slot->height = height;
    slot->texel_bytes = current_page_texel_bytes();
    if (bv::device_draws_page0()) {
        if (bv::define_device_texture(slot, pixels, width, height) != 0) {
            slot->texels = 0;
            slot->surface = nullptr;
            return -2;
        }
        return handle;
    }
    slot->texels = reinterpret_cast<uintptr_t>(pixels);
    slot->surface = nullptr;
    return handle;
}

int32_t bv_select_texture(int32_t handle) {
    if (bv_textures.texture_table == nullptr) return 0;
    if (static_cast<uint32_t>(handle) >= static_cast<uint32_t>(bv_textures.texture_count)) return 0;
    const TextureEntry &slot = bv_textures.texture_table[handle];
    if (slot.texels == 0) return 0;
    bv_textures.current_texels = slot.texels;
    bv_textures.current_width = slot.width;
    bv_textures.current_height = slot.height;
    bv_textures.current_texel_bytes = slot.texel_bytes;
    return 0;
}

// A negative handle frees every slot; a handle past the table does nothing.
int32_t bv_free_texture(int32_t handle) {
    if (bv_textures.texture_table == nullptr) return 0;
    if (handle < 0) {
        for (int32_t i = 0; i < bv_textures.texture_count; ++i) free_slot(bv_textures.texture_table[i]);
    } else if (handle < bv_textures.texture_count) {
        free_slot(bv_textures.texture_table[handle]);
    }
    return 0;
}
