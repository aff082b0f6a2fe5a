// The graphics cursor and pixel blocks on headless pages of each depth. Byte
// k of page pixel (x, y) follows a pattern that gives every expected byte.
#include <climits>

#include "../image/image_support.h"

using namespace imagetest;

namespace {

uint8_t pattern(int64_t x, int64_t y, int k) { return static_cast<uint8_t>(x * 7 + y * 13 + k * 71 + 1); }

// No range check: the cursor wraps like any 32-bit value; display start-up puts it at 0, 0.
TEST(Blocks, CursorArithmetic) {
    const int steps[][5] = {{1, 0, 63, 0, 63}, {0, 64, 0, 64, 63}, {0, -100, -200, -36, -137},  // to?, a, b: x, y after
                            {1, INT_MAX, INT_MIN, INT_MAX, INT_MIN}, {0, 1, -1, INT_MIN, INT_MAX}};
    for (const auto &[to, a, b, x, y] : steps)
        EXPECT_TRUE((to ? bv_move_to(a, b) : bv_move_by(a, b)) == 0 && bv_cursor.cursor_x == x && bv_cursor.cursor_y == y) << a << "," << b;
    Page page(4, 4, 16);
    EXPECT_TRUE(bv_cursor.cursor_x == 0 && bv_cursor.cursor_y == 0);
}

// bv_get_block copies the rectangle whose lower-left pixel is the cursor, bottom row first, 2 bytes a pixel
// at 16 bits and 3 (blue, green, red) at 24 and 32; pixels off the page keep what the block held.
// bv_flip_block puts the top row first, in rows of 3 bytes a pixel from 24 bits up and 2 below, page or not.
TEST(Blocks, GetAndFlip) {
    const int cases[][7] = {  // depth, row padding, cursor x and y, width, height, page deselected
        {16, 0, 0, 63, 64, 64},   {16, 0, 64, 63, 64, 64},  {24, 0, 10, 70, 64, 64},  {32, 0, 10, 70, 64, 64},
        {16, 12, 3, 40, 20, 30},  {24, 12, 3, 40, 20, 30},  {32, 12, 3, 40, 20, 30},  {16, 0, 5, 9, 7, 1},
        {24, 0, 0, 4, 6, 5},      {8, 0, 0, 10, 3, 3},      {32, 0, 0, 10, 2, 3, 1},  {16, 0, -5, 10, 12, 4},
        {24, 0, 157, 10, 8, 4},   {32, 0, 4, 2, 6, 9},      {16, 0, 4, 83, 6, 9},     {32, 0, -4, 81, 169, 85},
        {16, 0, 160, 10, 4, 4},   {24, 0, -10, 10, 4, 4},   {32, 0, 4, -1, 4, 4},     {16, 0, 4, 100, 4, 4},
        {16, 0, INT_MIN, INT_MIN, 4, 4}, {16, 0, INT_MAX, INT_MAX, 4, 4}, {16, 0, INT_MAX - 1, 3, 4, 4},
        {16, 0, 3, INT_MIN, 4, 4}, {16, 0, 159, 0, 2, 2},   {16, 0, 10, 10, 0, 4},    {16, 0, 10, 10, 4, 0},
        {16, 0, 10, 10, -1, 4},   {16, 0, 10, 10, INT_MIN, INT_MIN}, {32, 0, 5, 9, 1, 3}};
    for (const auto &[depth, pad, x, y, w, h, no_page] : cases) {
        SCOPED_TRACE(testing::Message() << depth << " bits, cursor " << x << "," << y << ", " << w << "x" << h);
        Page page(160, 80, depth, false, pad);
        Bytes memory = page.memory();
        for (int row = 0; row < 80; ++row)
            for (int i = 0; i < 160 * page.bytes; ++i) memory[page.offset(0, row) + i] = pattern(i / page.bytes, row, i % page.bytes);
        page.set_memory(memory);
        if (no_page) bv_deselect_page();
        bv_move_to(x, y);
        const int b = depth >= 24 ? 3 : 2;
        Bytes block(std::max(w, 0) * std::max(h, 0) * b + 128);  // 64 guard bytes each side
        for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 29 + 3);
        const Bytes held = block;
        // Block row r shows rectangle row j = r, or h - 1 - r once flipped: page row y - j.
        auto expected = [&](bool flipped) {
            Bytes want = held;
            for (int r = 0; r < h; ++r)
                for (int i = 0, j = flipped ? h - 1 - r : r; i < w; ++i) {
                    const int64_t px = int64_t{x} + i, py = int64_t{y} - j;
                    const bool copied = !no_page && depth != 8 && px >= 0 && px < 160 && py >= 0 && py < 80;
                    for (int k = 0; k < b; ++k)
                        want[64 + (r * w + i) * b + k] = copied ? pattern(px, py, k) : held[64 + (j * w + i) * b + k];
                }
            return want;
        };
        EXPECT_TRUE(bv_get_block(block.data() + 64, w, h) == 0 && block == expected(false)) << "got";
        EXPECT_TRUE(bv_flip_block(block.data() + 64, w, h) == 0 && block == expected(true) && bv_target.lock_depth == 0) << "flipped";
    }
    EXPECT_EQ(bv_get_block(nullptr, 4, 4) + bv_flip_block(nullptr, 4, 4), 0);
}

}  // namespace
