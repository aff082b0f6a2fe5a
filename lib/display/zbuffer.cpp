// The memory depth buffer and its frame stamp. A block is a small header
// recording its capacity in entries, followed by the zero-filled 32-bit
// entries; the handle is the header. Opening, clearing and depth-tested
// drawing never touch an entry beyond the capacity, and only blocks this
// file made and has not freed are ever written through.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "state.h"

struct BvZBuffer {
    uint32_t capacity;          // entries behind the header
    uint32_t reserved[3];       // keeps the entries 16-byte aligned
};

namespace {

constexpr uint32_t STAMP_STEP = 0x01000000u;

std::vector<BvZBuffer *> live_blocks;

bool is_live_block(const BvZBuffer *block) {
    return block != nullptr && std::find(live_blocks.begin(), live_blocks.end(), block) != live_blocks.end();
}

uint32_t *entries_of(BvZBuffer *block) { return reinterpret_cast<uint32_t *>(block + 1); }

// Bytes of a block for this page size: the width rounded up to a multiple
// of 4 pixels, 4 bytes an entry; 0 when it is not positive or does not fit
// in 32 bits.
uint32_t block_bytes(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    const uint64_t padded_width = (static_cast<uint64_t>(width) + 3) & ~uint64_t{3};
    const uint64_t bytes = padded_width * static_cast<uint64_t>(height) * 4;
    return bytes > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(bytes);
}

// Entries of the current page, as many as the open buffer holds.
uint32_t entries_to_clear() {
    const int64_t width = std::max<int32_t>(bv_target.width, 0);
    const int64_t height = std::max<int32_t>(bv_target.height, 0);
    const uint64_t wanted = static_cast<uint64_t>(width * height);
    return static_cast<uint32_t>(std::min<uint64_t>(wanted, bv_target.zbuffer_capacity));
}

void clear_open_buffer() {
    if (bv_target.zbuffer == nullptr) return;
    std::memset(bv_target.zbuffer, 0, static_cast<size_t>(entries_to_clear()) * sizeof(uint32_t));
}

void forget_open_buffer() {
    bv_target.zbuffer = nullptr;
    bv_target.zbuffer_capacity = 0;
}

}  // namespace

extern "C" {

bv_zbuffer bv_alloc_zbuffer(int32_t width, int32_t height) {
    if (bv_display.zsurface != nullptr) return reinterpret_cast<bv_zbuffer>(bv_display.zsurface);
    const uint32_t bytes = block_bytes(width, height);
    if (bytes == 0) return nullptr;
    void *memory = std::calloc(1, sizeof(BvZBuffer) + bytes);
    if (memory == nullptr) return nullptr;
    auto *block = static_cast<BvZBuffer *>(memory);
    block->capacity = bytes / 4;
    live_blocks.push_back(block);
    return block;
}

// A handle that is not a live block leaves the target without a depth
// buffer and reports -1.
int32_t bv_open_zbuffer(bv_zbuffer handle) {
    if (bv_display.zsurface != nullptr) return bv::device_open_zbuffer();
    bv_target.zstamp = 0;
    if (!is_live_block(handle)) {
        forget_open_buffer();
        return -1;
    }
    bv_target.zbuffer = entries_of(handle);
    bv_target.zbuffer_capacity = handle->capacity;
    clear_open_buffer();
    return 0;
}

// The stamp in the top 8 bits rises each frame; when it wraps, after 255
// quiet frames, the buffer is cleared for real.
int32_t bv_zbuffer_frame(void) {
    if (bv_display.zsurface != nullptr) return bv::device_clear_zbuffer();
    bv_target.zstamp += STAMP_STEP;
    if (bv_target.zstamp == 0) clear_open_buffer();
    return 0;
}

int32_t bv_free_zbuffer(bv_zbuffer handle) {
    if (bv::device_draws_page0() && bv_display.zsurface != nullptr) {
        bv::device_free_zbuffer();
        return 0;
    }
    if (!is_live_block(handle)) return 0;
    if (bv_target.zbuffer == entries_of(handle)) forget_open_buffer();
    live_blocks.erase(std::remove(live_blocks.begin(), live_blocks.end(), handle), live_blocks.end());
    std::free(handle);
    return 0;
}

}  // extern "C"
