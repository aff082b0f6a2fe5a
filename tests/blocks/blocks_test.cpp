// The graphics cursor and pixel blocks on a headless page of each depth.
// Page pixels are set from a known pattern, so every expected block byte
// comes from the pattern, not from the code under test.
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "brivondel.h"
#include "platform/platform.h"
#include "state.h"

namespace {

constexpr int32_t PAGE_W = 160;
constexpr int32_t PAGE_H = 80;
constexpr uint8_t GUARD = 0xA5;
constexpr std::size_t GUARD_BYTES = 64;

// Byte k of page pixel (x, y); never the guard value.
uint8_t pattern(int32_t x, int32_t y, int32_t k) {
    const uint8_t b = static_cast<uint8_t>(x * 7 + y * 13 + k * 71 + 1);
    return b == GUARD ? 0x5A : b;
}

int32_t page_bytes_for(int32_t depth) { return depth == 8 ? 1 : depth == 16 ? 2 : depth == 24 ? 3 : 4; }

// A block with guard bytes on both sides.
struct GuardedBlock {
    explicit GuardedBlock(std::size_t size) : bytes(size + 2 * GUARD_BYTES, GUARD), size(size) {}
    uint8_t *data() { return bytes.data() + GUARD_BYTES; }
    uint8_t at(std::size_t i) const { return bytes[GUARD_BYTES + i]; }
    bool guards_intact() const {
        for (std::size_t i = 0; i < GUARD_BYTES; ++i)
            if (bytes[i] != GUARD || bytes[GUARD_BYTES + size + i] != GUARD) return false;
        return true;
    }
    bool untouched() const {
        for (uint8_t b : bytes)
            if (b != GUARD) return false;
        return true;
    }
    std::vector<uint8_t> bytes;
    std::size_t size;
};

class Blocks : public testing::Test {
protected:
    void TearDown() override {
        bv_stop_display();
        plat::test::reset();
    }

    void start_page(int32_t depth, int32_t pad = 0) {
        plat::test::reset();
        if (pad != 0) plat::test::pad_pitch(pad);
        ASSERT_EQ(0, bv_config_display(PAGE_W, PAGE_H, depth, 1));
        ASSERT_GE(bv_start_display(), 0);
        ASSERT_EQ(0, bv_select_page(0));
        ASSERT_EQ(depth, bv_target.bits_per_pixel);
        depth_ = depth;
        paint_pattern();
    }

    void paint_pattern() {
        const int32_t p = page_bytes_for(depth_);
        bv::lock_target();
        ASSERT_TRUE(bv::target_drawable());
        for (int32_t y = 0; y < PAGE_H; ++y)
            for (int32_t x = 0; x < PAGE_W; ++x)
                for (int32_t k = 0; k < p; ++k) bv_target.base[y * bv_target.pitch + x * p + k] = pattern(x, y, k);
        bv::unlock_target();
    }

    // Block pixel (i, j) should be page pixel (x, y): B bytes each.
    void expect_block_pixel(const GuardedBlock &block, int32_t width, int32_t i, int32_t j, int32_t x, int32_t y) {
        const int32_t b = depth_ == 16 ? 2 : 3;
        for (int32_t k = 0; k < b; ++k) {
            const std::size_t at = (static_cast<std::size_t>(j) * width + i) * b + k;
            ASSERT_EQ(pattern(x, y, k), block.at(at)) << "pixel " << i << "," << j << " byte " << k;
        }
    }

    int32_t depth_ = 0;
};

}  // namespace

TEST_F(Blocks, MovingTheCursor) {
    EXPECT_EQ(0, bv_move_to(0, 63));
    EXPECT_EQ(0, bv_cursor.cursor_x);
    EXPECT_EQ(63, bv_cursor.cursor_y);
    EXPECT_EQ(0, bv_move_by(64, 0));
    EXPECT_EQ(64, bv_cursor.cursor_x);
    EXPECT_EQ(63, bv_cursor.cursor_y);
    EXPECT_EQ(0, bv_move_by(-100, -200));
    EXPECT_EQ(-36, bv_cursor.cursor_x);
    EXPECT_EQ(-137, bv_cursor.cursor_y);
    // No range: the cursor wraps like any 32-bit value.
    bv_move_to(INT32_MAX, INT32_MIN);
    bv_move_by(1, -1);
    EXPECT_EQ(INT32_MIN, bv_cursor.cursor_x);
    EXPECT_EQ(INT32_MAX, bv_cursor.cursor_y);
}

TEST_F(Blocks, StartUpResetsTheCursor) {
    bv_move_to(17, -3);
    start_page(16);
    EXPECT_EQ(0, bv_cursor.cursor_x);
    EXPECT_EQ(0, bv_cursor.cursor_y);
}

TEST_F(Blocks, TheDemoCutsTopRowFirstBlocksAcrossTheImage) {
    start_page(16);
    bv_move_to(0, 63);
    GuardedBlock first(64 * 64 * 2);
    EXPECT_EQ(0, bv_get_block(first.data(), 64, 64));
    EXPECT_TRUE(first.guards_intact());
    // Bottom row first: block row j is page row 63 - j.
    for (int32_t j = 0; j < 64; ++j)
        for (int32_t i = 0; i < 64; ++i) expect_block_pixel(first, 64, i, j, i, 63 - j);
    EXPECT_EQ(0, bv_flip_block(first.data(), 64, 64));
    EXPECT_TRUE(first.guards_intact());
    for (int32_t j = 0; j < 64; ++j)
        for (int32_t i = 0; i < 64; ++i) expect_block_pixel(first, 64, i, j, i, j);

    bv_move_by(64, 0);
    EXPECT_EQ(64, bv_cursor.cursor_x);
    EXPECT_EQ(63, bv_cursor.cursor_y);
    GuardedBlock second(64 * 64 * 2);
    bv_get_block(second.data(), 64, 64);
    bv_flip_block(second.data(), 64, 64);
    for (int32_t j = 0; j < 64; ++j)
        for (int32_t i = 0; i < 64; ++i) expect_block_pixel(second, 64, i, j, 64 + i, j);
    EXPECT_TRUE(second.guards_intact());
}

TEST_F(Blocks, DeepPagesGiveThreeBytesPerPixel) {
    for (int32_t depth : {24, 32}) {
        SCOPED_TRACE(depth);
        start_page(depth);
        bv_move_to(10, 70);
        GuardedBlock block(12288);  // 64 x 64 x 3
        EXPECT_EQ(0, bv_get_block(block.data(), 64, 64));
        EXPECT_TRUE(block.guards_intact());
        for (int32_t j = 0; j < 64; ++j)
            for (int32_t i = 0; i < 64; ++i) expect_block_pixel(block, 64, i, j, 10 + i, 70 - j);
        bv_stop_display();
    }
}

TEST_F(Blocks, PaddedPitchIsFollowed) {
    for (int32_t depth : {16, 24, 32}) {
        SCOPED_TRACE(depth);
        start_page(depth, 12);
        ASSERT_GT(bv_target.pitch, PAGE_W * page_bytes_for(depth));
        bv_move_to(3, 40);
        const int32_t b = depth == 16 ? 2 : 3;
        GuardedBlock block(static_cast<std::size_t>(20 * 30 * b));
        bv_get_block(block.data(), 20, 30);
        EXPECT_TRUE(block.guards_intact());
        for (int32_t j = 0; j < 30; ++j)
            for (int32_t i = 0; i < 20; ++i) expect_block_pixel(block, 20, i, j, 3 + i, 40 - j);
        bv_stop_display();
    }
}

TEST_F(Blocks, HeightOneIsTheCursorRowAndFlipsToItself) {
    start_page(16);
    bv_move_to(5, 9);
    GuardedBlock block(7 * 2);
    bv_get_block(block.data(), 7, 1);
    for (int32_t i = 0; i < 7; ++i) expect_block_pixel(block, 7, i, 0, 5 + i, 9);
    const std::vector<uint8_t> before = block.bytes;
    bv_flip_block(block.data(), 7, 1);
    EXPECT_EQ(before, block.bytes);
}

TEST_F(Blocks, FlipKeepsTheMiddleRowAndTwiceRestores) {
    start_page(24);
    bv_move_to(0, 4);
    GuardedBlock block(6 * 5 * 3);
    bv_get_block(block.data(), 6, 5);
    const std::vector<uint8_t> before = block.bytes;
    bv_flip_block(block.data(), 6, 5);
    for (int32_t j = 0; j < 5; ++j)
        for (int32_t i = 0; i < 6; ++i) expect_block_pixel(block, 6, i, j, i, j);  // row 2 stayed
    EXPECT_TRUE(block.guards_intact());
    bv_flip_block(block.data(), 6, 5);
    EXPECT_EQ(before, block.bytes);
}

TEST_F(Blocks, EightBitPagesCopyNothingButFlipInTwoByteRows) {
    start_page(8);
    bv_move_to(0, 10);
    GuardedBlock block(8 * 8 * 2);
    EXPECT_EQ(0, bv_get_block(block.data(), 8, 8));
    EXPECT_TRUE(block.untouched());
    // Rows of width x 2 bytes: a 3 x 3 block swaps rows 0 and 2 of 6 bytes.
    uint8_t rows[18];
    for (int i = 0; i < 18; ++i) rows[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(0, bv_flip_block(rows, 3, 3));
    const uint8_t expected[18] = {12, 13, 14, 15, 16, 17, 6, 7, 8, 9, 10, 11, 0, 1, 2, 3, 4, 5};
    EXPECT_EQ(0, std::memcmp(expected, rows, 18));
}

TEST_F(Blocks, NoPageLeavesTheBlockAlone) {
    start_page(16);
    bv_deselect_page();
    ASSERT_EQ(-1, bv_target.page);
    bv_move_to(0, 10);
    GuardedBlock block(8 * 8 * 2);
    EXPECT_EQ(0, bv_get_block(block.data(), 8, 8));
    EXPECT_TRUE(block.untouched());
    EXPECT_EQ(0, bv_target.lock_depth);
}

TEST_F(Blocks, FlipNeedsNoPage) {
    start_page(32);
    bv_deselect_page();
    // B follows bits_per_pixel alone: 3 at 32 bits.
    uint8_t rows[12];
    for (int i = 0; i < 12; ++i) rows[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(0, bv_flip_block(rows, 2, 2));
    const uint8_t expected[12] = {6, 7, 8, 9, 10, 11, 0, 1, 2, 3, 4, 5};
    EXPECT_EQ(0, std::memcmp(expected, rows, 12));
}

TEST_F(Blocks, EmptySizesDoNothing) {
    start_page(16);
    bv_move_to(10, 10);
    GuardedBlock block(64);
    const int32_t sizes[][2] = {{0, 4}, {4, 0}, {-1, 4}, {4, -1}, {INT32_MIN, INT32_MIN}, {0, 0}};
    for (const auto &s : sizes) {
        EXPECT_EQ(0, bv_get_block(block.data(), s[0], s[1]));
        EXPECT_EQ(0, bv_flip_block(block.data(), s[0], s[1]));
        EXPECT_TRUE(block.untouched()) << s[0] << "x" << s[1];
    }
    EXPECT_EQ(0, bv_get_block(nullptr, 4, 4));
    EXPECT_EQ(0, bv_flip_block(nullptr, 4, 4));
    EXPECT_EQ(0, bv_target.lock_depth);
}

TEST_F(Blocks, PartlyOffThePageCopiesOnlyTheOnPagePart) {
    for (int32_t depth : {16, 24, 32}) {
        SCOPED_TRACE(depth);
        start_page(depth);
        const int32_t b = depth == 16 ? 2 : 3;
        // Cursor (x, y), block w x h: each reaches off one or more edges.
        const struct {
            int32_t x, y, w, h;
        } cases[] = {
            {-5, 10, 12, 4},                  // left
            {PAGE_W - 3, 10, 8, 4},           // right
            {4, 2, 6, 9},                     // above the top (rows 2 .. -6)
            {4, PAGE_H + 3, 6, 9},            // below the bottom
            {-4, PAGE_H + 1, PAGE_W + 9, PAGE_H + 5},  // all four sides
            {PAGE_W, 10, 4, 4},               // wholly right
            {-10, 10, 4, 4},                  // wholly left
            {4, -1, 4, 4},                    // wholly above
            {4, PAGE_H + 20, 4, 4},           // wholly below
        };
        for (const auto &k : cases) {
            SCOPED_TRACE(testing::Message() << k.x << "," << k.y << " " << k.w << "x" << k.h);
            GuardedBlock block(static_cast<std::size_t>(k.w) * k.h * b);
            bv_move_to(k.x, k.y);
            EXPECT_EQ(0, bv_get_block(block.data(), k.w, k.h));
            EXPECT_TRUE(block.guards_intact());
            for (int32_t j = 0; j < k.h; ++j)
                for (int32_t i = 0; i < k.w; ++i) {
                    const int32_t x = k.x + i, y = k.y - j;
                    if (x >= 0 && x < PAGE_W && y >= 0 && y < PAGE_H) {
                        expect_block_pixel(block, k.w, i, j, x, y);
                    } else {
                        for (int32_t c = 0; c < b; ++c)
                            ASSERT_EQ(GUARD, block.at((static_cast<std::size_t>(j) * k.w + i) * b + c))
                                << "off-page pixel " << i << "," << j;
                    }
                }
        }
        EXPECT_EQ(0, bv_target.lock_depth);
        bv_stop_display();
    }
}

TEST_F(Blocks, FarAwayCursorsFinishAndTouchNothing) {
    start_page(16);
    GuardedBlock block(4 * 4 * 2);
    const int32_t spots[][2] = {{INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}, {INT32_MAX - 1, 3}, {3, INT32_MIN}};
    for (const auto &s : spots) {
        bv_move_to(s[0], s[1]);
        EXPECT_EQ(0, bv_get_block(block.data(), 4, 4));
        EXPECT_TRUE(block.untouched());
    }
    // The page's last column and first row: one pixel of the 2 x 2 block.
    bv_move_to(PAGE_W - 1, 0);
    GuardedBlock wide(2 * 2 * 2);
    EXPECT_EQ(0, bv_get_block(wide.data(), 2, 2));
    expect_block_pixel(wide, 2, 0, 0, PAGE_W - 1, 0);
    for (std::size_t i = 2; i < 8; ++i) EXPECT_EQ(GUARD, wide.at(i)) << i;
    EXPECT_TRUE(wide.guards_intact());
}
