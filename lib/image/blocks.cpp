// The graphics cursor and pixel blocks: rectangles of page pixels copied
// into caller memory, bottom row first, and flipped in place.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "state.h"

namespace {

// Wrapping add without signed overflow: the cursor has no range.
int32_t wrapping_add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// Bytes per block pixel and per page pixel for the depths that have a
// block form; false for the others (8 bits).
bool block_pixel_sizes(int32_t bits_per_pixel, int32_t *block_bytes, int32_t *page_bytes) {
    switch (bits_per_pixel) {
    case 16: *block_bytes = 2; *page_bytes = 2; return true;
    case 24: *block_bytes = 3; *page_bytes = 3; return true;
    case 32: *block_bytes = 3; *page_bytes = 4; return true;
    default: return false;
    }
}

// One row segment: 16 and 24 bits as they are; 32 bits drop each pixel's
// fourth byte.
void copy_row(uint8_t *dst, const uint8_t *src, int64_t pixels, int32_t page_bytes) {
    if (page_bytes != 4) {
        std::memcpy(dst, src, static_cast<std::size_t>(pixels * page_bytes));
        return;
    }
    for (int64_t i = 0; i < pixels; ++i, dst += 3, src += 4) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
}

// Block row j is page row cursor_y - j. Only the part of the rectangle that
// lies on the page is copied; the rest of the block keeps its bytes.
void copy_block_from_page(uint8_t *block, int32_t width, int32_t height, int32_t block_bytes, int32_t page_bytes) {
    const int64_t cx = bv_cursor.cursor_x;
    const int64_t cy = bv_cursor.cursor_y;
    const int64_t first_col = std::max<int64_t>(cx, 0);
    const int64_t end_col = std::min<int64_t>(cx + width, bv_target.width);
    if (first_col >= end_col) return;
    // Rows on the page: 0 <= cy - j < page height, 0 <= j < height.
    const int64_t first_j = std::max<int64_t>(cy - (static_cast<int64_t>(bv_target.height) - 1), 0);
    const int64_t end_j = std::min<int64_t>(cy + 1, height);
    const int64_t block_row = static_cast<int64_t>(width) * block_bytes;
    const int64_t pixels = end_col - first_col;
    for (int64_t j = first_j; j < end_j; ++j) {
        const uint8_t *src = bv_target.base + (cy - j) * bv_target.pitch + first_col * page_bytes;
        uint8_t *dst = block + j * block_row + (first_col - cx) * block_bytes;
        copy_row(dst, src, pixels, page_bytes);
    }
}

}  // namespace

int32_t bv_move_to(int32_t x, int32_t y) {
    bv_cursor.cursor_x = x;
    bv_cursor.cursor_y = y;
    return 0;
}

int32_t bv_move_by(int32_t dx, int32_t dy) {
    bv_cursor.cursor_x = wrapping_add(bv_cursor.cursor_x, dx);
    bv_cursor.cursor_y = wrapping_add(bv_cursor.cursor_y, dy);
    return 0;
}

// Copies the width x height rectangle whose lower-left pixel is the cursor,
// bottom row first. No clip rectangle or origin applies.
int32_t bv_get_block(void *block, int32_t width, int32_t height) {
    if (bv_target.page == -1) return 0;
    bv::lock_target();
    int32_t block_bytes = 0;
    int32_t page_bytes = 0;
    if (bv::target_drawable() && block != nullptr && width > 0 && height > 0 &&
        block_pixel_sizes(bv_target.bits_per_pixel, &block_bytes, &page_bytes)) {
        copy_block_from_page(static_cast<uint8_t *>(block), width, height, block_bytes, page_bytes);
    }
    bv::unlock_target();
    return 0;
}

// Reverses the row order in place; rows are width x 3 bytes at 24 bits and
// more, width x 2 bytes otherwise. No page is needed.
int32_t bv_flip_block(void *block, int32_t width, int32_t height) {
    if (block == nullptr || width < 1 || height < 1) return 0;
    const int32_t block_bytes = bv_target.bits_per_pixel >= 24 ? 3 : 2;
    const std::size_t row = static_cast<std::size_t>(width) * static_cast<std::size_t>(block_bytes);
    auto *bytes = static_cast<uint8_t *>(block);
    for (int32_t i = 0; i < height / 2; ++i) {
        uint8_t *top = bytes + static_cast<std::size_t>(i) * row;
        uint8_t *bottom = bytes + static_cast<std::size_t>(height - 1 - i) * row;
        std::swap_ranges(top, top + row, bottom);
    }
    return 0;
}
