// The memory depth buffer: sizes, opening, the frame stamp and freeing.
#include <cstring>

#include "display_fixture.h"

namespace {

using ZBuffer = DisplayTest;

void fill_entries(uint32_t value) {
    for (uint32_t i = 0; i < bv_target.zbuffer_capacity; ++i) bv_target.zbuffer[i] = value;
}

uint32_t count_entries(uint32_t value, uint32_t first, uint32_t end) {
    uint32_t n = 0;
    for (uint32_t i = first; i < end; ++i) n += bv_target.zbuffer[i] == value ? 1 : 0;
    return n;
}

TEST_F(ZBuffer, SizeRoundsTheWidthUpToFourPixels) {
    start_page(640, 480, 16);
    bv_zbuffer z = bv_alloc_zbuffer(640, 480);
    ASSERT_NE(z, nullptr);
    ASSERT_EQ(bv_open_zbuffer(z), 0);
    EXPECT_EQ(bv_target.zbuffer_capacity * 4u, 1228800u);
    bv_free_zbuffer(z);

    z = bv_alloc_zbuffer(641, 480);
    ASSERT_EQ(bv_open_zbuffer(z), 0);
    EXPECT_EQ(bv_target.zbuffer_capacity * 4u, 644u * 480u * 4u);
    bv_free_zbuffer(z);

    z = bv_alloc_zbuffer(1, 1);
    ASSERT_EQ(bv_open_zbuffer(z), 0);
    EXPECT_EQ(bv_target.zbuffer_capacity, 4u);
    bv_free_zbuffer(z);
}

TEST_F(ZBuffer, BadSizesGiveNoBuffer) {
    EXPECT_EQ(bv_alloc_zbuffer(0, 480), nullptr);
    EXPECT_EQ(bv_alloc_zbuffer(640, 0), nullptr);
    EXPECT_EQ(bv_alloc_zbuffer(-640, 480), nullptr);
    EXPECT_EQ(bv_alloc_zbuffer(640, -1), nullptr);
    EXPECT_EQ(bv_alloc_zbuffer(INT32_MIN, INT32_MIN), nullptr);
    // Sizes whose byte count does not fit in 32 bits.
    EXPECT_EQ(bv_alloc_zbuffer(65536, 16384), nullptr);
    EXPECT_EQ(bv_alloc_zbuffer(INT32_MAX, 1), nullptr);
    EXPECT_EQ(bv_alloc_zbuffer(0x3FFFFFFE, 1), nullptr);
}

TEST_F(ZBuffer, OpenClearsThePageAndResetsTheStamp) {
    start_page(33, 10, 16);
    bv_zbuffer z = bv_alloc_zbuffer(33, 10);
    ASSERT_EQ(bv_open_zbuffer(z), 0);
    EXPECT_EQ(bv_target.zbuffer_capacity, 36u * 10u);
    fill_entries(0xDEADBEEF);
    bv_target.zstamp = 0x05000000;
    EXPECT_EQ(bv_open_zbuffer(z), 0);
    EXPECT_EQ(bv_target.zstamp, 0u);
    // Rows are addressed 33 entries apart: 330 entries are cleared.
    EXPECT_EQ(count_entries(0, 0, 330), 330u);
    EXPECT_EQ(count_entries(0xDEADBEEF, 330, 360), 30u);
    bv_free_zbuffer(z);
}

TEST_F(ZBuffer, FirstAllocationIsZeroFilled) {
    start_page(16, 16, 16);
    bv_zbuffer z = bv_alloc_zbuffer(16, 16);
    bv_target.width = 0;  // open clears nothing now
    ASSERT_EQ(bv_open_zbuffer(z), 0);
    EXPECT_EQ(count_entries(0, 0, 256), 256u);
    bv_free_zbuffer(z);
}

TEST_F(ZBuffer, StampRisesQuietlyFor255FramesAndClearsOnThe256th) {
    start_page(20, 6, 16);
    bv_zbuffer z = bv_alloc_zbuffer(20, 6);
    ASSERT_EQ(bv_open_zbuffer(z), 0);
    fill_entries(0x00ABCDEF);
    for (uint32_t frame = 1; frame <= 255; ++frame) {
        ASSERT_EQ(bv_zbuffer_frame(), 0);
        ASSERT_EQ(bv_target.zstamp, frame * 0x01000000u);
    }
    EXPECT_EQ(bv_target.zstamp, 0xFF000000u);
    EXPECT_EQ(count_entries(0x00ABCDEF, 0, 120), 120u);
    EXPECT_EQ(bv_zbuffer_frame(), 0);
    EXPECT_EQ(bv_target.zstamp, 0u);
    EXPECT_EQ(count_entries(0, 0, 120), 120u);
    // The cycle starts again.
    EXPECT_EQ(bv_zbuffer_frame(), 0);
    EXPECT_EQ(bv_target.zstamp, 0x01000000u);
    bv_free_zbuffer(z);
}

// A depth below 1.0 plus the new stamp beats anything an earlier frame
// stored, though nothing was cleared.
TEST_F(ZBuffer, NewFrameBeatsEveryEarlierEntry) {
    start_page(4, 1, 16);
    bv_zbuffer z = bv_alloc_zbuffer(4, 1);
    ASSERT_EQ(bv_open_zbuffer(z), 0);
    bv_target.zbuffer[0] = 0x00FFFFFF + bv_target.zstamp;  // nearest point of frame 0
    bv_zbuffer_frame();
    const uint32_t farthest = 1 + bv_target.zstamp;
    EXPECT_GT(farthest, bv_target.zbuffer[0]);
    bv_free_zbuffer(z);
}

TEST_F(ZBuffer, ClearingNeverPassesTheCapacity) {
    start_page(64, 48, 16);
    bv_zbuffer small = bv_alloc_zbuffer(4, 4);
    ASSERT_EQ(bv_open_zbuffer(small), 0);
    EXPECT_EQ(bv_target.zbuffer_capacity, 16u);
    fill_entries(7);
    ASSERT_EQ(bv_open_zbuffer(small), 0);
    EXPECT_EQ(count_entries(0, 0, 16), 16u);
    for (int i = 0; i < 256; ++i) bv_zbuffer_frame();
    EXPECT_EQ(bv_target.zstamp, 0u);
    bv_free_zbuffer(small);
}

TEST_F(ZBuffer, NullOrUnknownHandleLeavesNoDepthBuffer) {
    start_page(8, 8, 16);
    bv_zbuffer z = bv_alloc_zbuffer(8, 8);
    ASSERT_EQ(bv_open_zbuffer(z), 0);
    EXPECT_EQ(bv_open_zbuffer(nullptr), -1);
    EXPECT_EQ(bv_target.zbuffer, nullptr);
    EXPECT_EQ(bv_target.zbuffer_capacity, 0u);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(bv_zbuffer_frame(), 0);

    alignas(16) uint8_t not_a_buffer[64] = {};
    EXPECT_EQ(bv_open_zbuffer(reinterpret_cast<bv_zbuffer>(not_a_buffer)), -1);
    for (uint8_t b : not_a_buffer) EXPECT_EQ(b, 0);
    EXPECT_EQ(bv_target.zbuffer, nullptr);
    EXPECT_EQ(bv_free_zbuffer(reinterpret_cast<bv_zbuffer>(not_a_buffer)), 0);
    EXPECT_EQ(bv_free_zbuffer(nullptr), 0);
    bv_free_zbuffer(z);
}

TEST_F(ZBuffer, FreeLeavesTheTargetWithoutDepthBufferAndASecondFreeDoesNothing) {
    start_page(8, 8, 16);
    bv_zbuffer z = bv_alloc_zbuffer(8, 8);
    ASSERT_EQ(bv_open_zbuffer(z), 0);
    EXPECT_EQ(bv_free_zbuffer(z), 0);
    EXPECT_EQ(bv_target.zbuffer, nullptr);
    EXPECT_EQ(bv_target.zbuffer_capacity, 0u);
    EXPECT_EQ(bv_free_zbuffer(z), 0);
    EXPECT_EQ(bv_open_zbuffer(z), -1);
    for (int i = 0; i < 256; ++i) bv_zbuffer_frame();
}

TEST_F(ZBuffer, FreeingAnotherBufferKeepsTheOpenOne) {
    start_page(8, 8, 16);
    bv_zbuffer open = bv_alloc_zbuffer(8, 8);
    bv_zbuffer other = bv_alloc_zbuffer(8, 8);
    ASSERT_EQ(bv_open_zbuffer(open), 0);
    uint32_t *entries = bv_target.zbuffer;
    bv_free_zbuffer(other);
    EXPECT_EQ(bv_target.zbuffer, entries);
    EXPECT_EQ(bv_target.zbuffer_capacity, 64u);
    bv_free_zbuffer(open);
}

TEST_F(ZBuffer, UsedFrameAfterFrame) {
    start_page(16, 8, 32);
    bv_zbuffer z = bv_alloc_zbuffer(16, 8);
    ASSERT_EQ(bv_open_zbuffer(z), 0);
    for (int frame = 0; frame < 600; ++frame) {
        bv_zbuffer_frame();
        bv_target.zbuffer[frame % 128] = bv_target.zstamp + 1;
    }
    EXPECT_EQ(bv_target.zstamp, static_cast<uint32_t>((600 % 256) << 24));
    bv_free_zbuffer(z);
}

}  // namespace
