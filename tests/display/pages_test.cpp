// Colour values, lost surfaces, the drawing target's nested lock and the memory depth buffer.
#include "display_fixture.h"

using Pages = DisplayTest;

// The depth's low byte, read as signed, picks the encoding; colour number 3 maps to palette index 0x40 here.
TEST_F(Pages, SetColorEncodesForTheCurrentDepth) {
    const struct { int32_t depth, color; uint32_t want; } rows[] = {{16, 0x12345678, 0x56785678}, {16, -1, 0xFFFFFFFF},
        {8, 0x1FF, 0xFFFFFFFF}, {8, 0x102, 0x02020202}, {8, 3, 0x40404040}, {0, 0x1FE, 0xFEFEFEFE}, {24, 0x12345678, 0x12345678},
        {32, -1, 0xFFFFFFFF}, {32, 0x123456, 0x123456}, {0x118, 0x123456, 0x123456}, {0x110, 0x123456, 0x34563456},
        {0xF0, 0x123456, 0x56565656}};
    for (int i = 0; i < 256; ++i) bv_colors.color_map[i] = static_cast<uint8_t>(i == 3 ? 0x40 : i);
    for (const auto &r : rows)
        EXPECT_TRUE((bv_target.bits_per_pixel = r.depth, bv_set_color(r.color)) == 0 && bv_colors.color == r.want) << r.depth;
}

// Fill and flip restore a lost surface and repeat, 64 attempts at most; a failing restore ends them with its error.
TEST_F(Pages, FillAndFlipRestoreLostSurfaces) {
    const struct { bool flip; int32_t failing; bool stays; int32_t result, restores; } rows[] = {{false, 0, false, 0, 1},
        {false, 1000, false, plat::ERR_WRONG_MODE, 1}, {false, 0, true, plat::ERR_SURFACE_LOST, 64}, {true, 0, false, 0, 1},
        {true, 1, false, plat::ERR_WRONG_MODE, 1}, {true, 0, true, plat::ERR_SURFACE_LOST, 64}};
    for (const auto &r : rows) {
        bvtest::reset_library();
        start_page(4, 4, 32);
        bv_set_color(0xABCDEF), plat::test::lose_surfaces(), plat::test::fail_restores(r.failing), plat::test::keep_surfaces_lost(r.stays);
        const int64_t flips = plat::test::flips_presented();
        EXPECT_EQ(r.flip ? bv_flip() : bv_fill_page(), r.result) << r.flip;
        EXPECT_EQ(std::pair(plat::test::restores_made(), plat::test::flips_presented() - flips),
                  std::pair(int64_t{r.restores}, int64_t{r.flip && !r.result}));
        uint32_t shown[16];  // what a fill wrote shows at the next flip
        plat::test::fail_restores(0), plat::test::keep_surfaces_lost(false);
        ASSERT_TRUE(bv_flip() == 0 && plat::test::last_presented(shown, 4, 4));
        EXPECT_EQ(shown[15], !r.flip && r.result == 0 ? 0xABCDEFu : 0u);
    }
}

bool draw_routine() {  // as the library's drawing routines do
    bv::lock_target();
    const bool drawable = bv::target_drawable() && (*bv_target.base = 0x5A);
    return bv::unlock_target(), drawable;
}

// Only the outermost lock locks the surface, only its unlock unlocks it, and the address it got belongs to the page
// then selected. A bad page index or an empty slot changes nothing.
TEST_F(Pages, NestedRoutinesLockAndUnlockOnce) {
    start_page(8, 4, 16);
    BvPlatSurface *surface = bv_target.surface;
    uint8_t *base = (bv::lock_target(), bv_target.base);
    const DrawTarget before = bv_target;
    for (auto [page, result] : {std::pair{256u, -1}, {0xFFFFFFFFu, -1}, {1000u, -1}, {5u, -2}, {255u, -2}})
        EXPECT_EQ(bv_select_page(page), result) << page;
    EXPECT_EQ(std::memcmp(&before, &bv_target, sizeof before), 0);
    plat::test::fail_locks(1);  // a second platform lock would fail now
    EXPECT_TRUE(base && draw_routine() && bv_target.lock_depth == 1 && bv_target.base == base);
    bv_deselect_page();
    EXPECT_TRUE(bv_target.page == -1 && bv_target.surface == nullptr && !draw_routine());
    ASSERT_EQ(bv_select_page(0), 0);
    EXPECT_EQ(bv_target.base, base);
    bv::unlock_target(), bv::unlock_target();  // one too many: the count stays at 0
    EXPECT_TRUE(bv_target.lock_depth == 0 && bv_target.base == nullptr && plat::unlock_surface(surface) == plat::ERR_NOT_LOCKED);
    plat::test::fail_locks(1), bv::lock_target();  // a failed outer lock: nested routines draw nothing
    EXPECT_TRUE(bv_target.base == nullptr && bv_target.lock_failed == 1 && !draw_routine());
    bv::unlock_target(), plat::test::lose_surfaces();
    EXPECT_TRUE(plat::unlock_surface(surface) == plat::ERR_NOT_LOCKED && !draw_routine());
    EXPECT_TRUE(bv_fill_page() == 0 && draw_routine());  // the fill restored
    EXPECT_TRUE((bv_deselect_page(), !draw_routine()) && bv_target.lock_depth == 0 && bv_target.base == nullptr);
}

uint32_t entries(uint32_t v, uint32_t i, uint32_t end) { return uint32_t(std::count(bv_target.zbuffer + i, bv_target.zbuffer + end, v)); }

// Capacity: rows 4-pixel multiples wide, zero-filled; sizes not positive or whose bytes do not fit in 32 bits give no
// buffer. Opening clears width x height entries of the current page (rows 33 apart in a 36-wide buffer), never more
// than the buffer holds; the stamp rises for 255 frames without a clear and the 256th clears again.
TEST_F(Pages, DepthBufferCapacityFrameStampAndHandles) {
    const struct { int32_t w, h; uint32_t entries; } rows[] = {
        {640, 480, 1228800 / 4}, {641, 480, 644 * 480}, {1, 1, 4}, {0, 480, 0}, {640, 0, 0}, {-640, 480, 0}, {640, -1, 0},
        {INT32_MIN, INT32_MIN, 0}, {65536, 16384, 0}, {INT32_MAX, 1, 0}, {0x3FFFFFFE, 1, 0}};
    start_page(8, 8, 16);
    bv_target.width = 0;  // opening clears nothing now
    for (const auto &r : rows) {
        bv_zbuffer z = bv_alloc_zbuffer(r.w, r.h);
        ASSERT_EQ(z == nullptr, r.entries == 0) << r.w << "x" << r.h;
        if (z == nullptr) continue;
        ASSERT_EQ(bv_open_zbuffer(z), 0);
        EXPECT_EQ(std::pair(bv_target.zbuffer_capacity, entries(0, 0, r.entries)), std::pair(r.entries, r.entries));
        EXPECT_EQ(bv_free_zbuffer(z), 0);
    }
    for (auto [width, buffer_width, capacity, cleared] : {std::tuple{33, 33, 360u, 330u}, {64, 4, 40u, 40u}}) {
        bvtest::reset_library();
        start_page(width, 10, 16);
        bv_zbuffer z = bv_alloc_zbuffer(buffer_width, 10);
        ASSERT_TRUE(bv_open_zbuffer(z) == 0 && bv_target.zbuffer_capacity == capacity);
        std::fill_n(bv_target.zbuffer, capacity, 0xDEADBEEF), bv_target.zstamp = 0x05000000;
        EXPECT_EQ(bv_open_zbuffer(z), 0);
        EXPECT_EQ(std::pair(bv_target.zstamp, entries(0, 0, cleared) + entries(0xDEADBEEF, cleared, capacity)), std::pair(0u, capacity));
        std::fill_n(bv_target.zbuffer, capacity, 0x00ABCDEF);
        for (uint32_t frame = 1; frame <= 255; ++frame) ASSERT_TRUE(bv_zbuffer_frame() == 0 && bv_target.zstamp == frame << 24);
        EXPECT_TRUE(entries(0x00ABCDEF, 0, capacity) == capacity && bv_zbuffer_frame() == 0);
        EXPECT_EQ(std::pair(bv_target.zstamp, entries(0, 0, cleared) + entries(0x00ABCDEF, cleared, capacity)), std::pair(0u, capacity));
        for (int frame = 0; frame < 300; ++frame) bv_zbuffer_frame();
        EXPECT_EQ((bv_free_zbuffer(z), bv_target.zstamp), 44u << 24);
    }
    // Only live handles from bv_alloc_zbuffer are opened or freed: an unknown or freed one leaves the target without
    // a depth buffer (frames then clear nothing); freeing another keeps the open one; a second free does nothing.
    bvtest::reset_library();
    start_page(8, 8, 16);
    bv_zbuffer open = bv_alloc_zbuffer(8, 8), other = bv_alloc_zbuffer(8, 8);
    ASSERT_EQ(bv_open_zbuffer(open), 0);
    uint32_t *opened = bv_target.zbuffer;
    EXPECT_TRUE(bv_free_zbuffer(other) == 0 && bv_target.zbuffer == opened && bv_target.zbuffer_capacity == 64u);
    alignas(16) uint8_t not_a_buffer[64] = {};
    for (bv_zbuffer bad : {bv_zbuffer{}, reinterpret_cast<bv_zbuffer>(not_a_buffer), other}) {
        EXPECT_TRUE(bv_open_zbuffer(bad) == -1 && bv_target.zbuffer == nullptr && bv_target.zbuffer_capacity == 0u);
        EXPECT_EQ(bv_free_zbuffer(bad), 0);
        for (int i = 0; i < 256; ++i) EXPECT_EQ(bv_zbuffer_frame(), 0);
        ASSERT_EQ(bv_open_zbuffer(open), 0);
    }
    EXPECT_EQ(std::count(std::begin(not_a_buffer), std::end(not_a_buffer), 0), 64);
    EXPECT_TRUE(bv_free_zbuffer(open) == 0 && bv_target.zbuffer == nullptr && bv_target.zbuffer_capacity == 0u);
    EXPECT_EQ(std::pair(bv_free_zbuffer(open), bv_open_zbuffer(open)), std::pair(0, -1));
}

// Page read-back packs the rows (a padded pitch would put other bytes at row 1's start) and reports the layout; no
// page, a lock that fails or a buffer one byte short reads nothing and leaves the buffer as it was. Fills write the
// colour's low bytes first: 0xF81F at 16 bits is 1F F8, 0x123456 at 24 and 32 bits is 56 34 12 (00).
TEST_F(Pages, CopyPageReadsThePackedRowsOrNothing) {
    const struct { int32_t depth; bool rgb555, fail_lock; size_t shortfall; int32_t result; uint8_t row1_first, last; } rows[] = {
        {16, false, false, 0, 0, 0x1F, 0xF8}, {16, true, false, 0, 0, 0x1F, 0xF8}, {24, false, false, 0, 0, 0x56, 0x12},
        {32, false, false, 0, 0, 0x56, 0x00}, {32, false, true, 0, -1, 0xEE, 0xEE}, {16, false, false, 1, -1, 0xEE, 0xEE}};
    uint8_t pixels[3 * 2 * 4];
    for (const auto &r : rows) {
        bvtest::reset_library(), plat::test::pad_pitch(5), bv_use_rgb555(r.rgb555);
        start_page(3, 2, r.depth);
        bv_set_color(r.depth == 16 ? 0xF81F : 0x123456), bv_fill_page();
        plat::test::fail_locks(r.fail_lock ? 1 : 0), std::memset(pixels, 0xEE, sizeof pixels);
        BvPageInfo info{};
        const size_t row_bytes = size_t(3 * r.depth / 8);
        EXPECT_EQ(bv_copy_page(pixels, 2 * row_bytes - r.shortfall, &info), r.result) << r.depth;
        EXPECT_TRUE(info.width == 3 && info.height == 2 && info.bits_per_pixel == r.depth && info.rgb555 == r.rgb555);
        EXPECT_EQ(std::pair(pixels[row_bytes], pixels[2 * row_bytes - 1]), std::pair(r.row1_first, r.last)) << r.depth;
    }
    bv_deselect_page();
    EXPECT_EQ(bv_copy_page(nullptr, 0, nullptr), -1);
}
