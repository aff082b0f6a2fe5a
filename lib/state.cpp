// Library-global records shared by several subsystems, and the start-up
// and shutdown steps that reset them.
#include <cstdlib>

#include "state.h"

DisplayState bv_display = [] {
    DisplayState d{};
    d.device_kind = BV_DEVICE_NOT_STARTED;
    return d;
}();
PageTable bv_pages{};
ColorState bv_colors{};
DrawTarget bv_target = [] {
    DrawTarget t{};
    t.page = -1;
    return t;
}();
PaletteState bv_palette = [] {
    PaletteState p{};
    p.log_palette.version = 0x300;
    p.log_palette.count = 256;
    return p;
}();
ImageBufferState bv_image{};
CursorState bv_cursor{};
TextureState bv_textures{};

namespace bv {

alignas(16) uint8_t work_area[WORK_AREA_SIZE];
alignas(16) uint8_t io_buffer[IO_BUFFER_SIZE];
uint8_t key_states[256];

bool device_draws_page0() {
    return bv_display.device_kind == BV_DEVICE_SOFTWARE || bv_display.device_kind == BV_DEVICE_HARDWARE;
}

bool combine_result(int32_t platform_result) {
    bv_display.result |= platform_result;
    return platform_result == BV_OK;
}

void store_result(int32_t platform_result) { bv_display.result = platform_result; }

void reset_image_buffer() {
    bv_image.image_buffer = io_buffer;
    bv_image.image_buffer_size = IO_BUFFER_SIZE;
}

// The table's memory goes back and its address and count are cleared, so
// that nothing reaches the freed slots: the table reads as empty.
void release_texture_table() {
    if (bv_textures.texture_table == nullptr) return;
    std::free(bv_textures.texture_table);
    bv_textures.texture_table = nullptr;
    bv_textures.texture_count = 0;
}

}  // namespace bv
