// The drawing target's nested lock.
#include "display_fixture.h"

namespace {

using Target = DisplayTest;

// A drawing routine as the library writes them.
bool draw_routine(int32_t *drawn) {
    bv::lock_target();
    const bool drawable = bv::target_drawable();
    if (drawable) {
        bv_target.base[0] = 0x5A;
        ++*drawn;
    }
    bv::unlock_target();
    return drawable;
}

TEST_F(Target, NestedRoutinesLockOnceAndUnlockOnce) {
    start_page(8, 4, 8);
    BvPlatSurface *surface = bv_target.surface;
    bv::lock_target();
    ASSERT_TRUE(bv::target_drawable());
    uint8_t *outer_base = bv_target.base;
    EXPECT_EQ(bv_target.lock_depth, 1);
    // A second platform lock would fail now: the inner routine takes none.
    plat::test::fail_locks(1);
    int32_t drawn = 0;
    EXPECT_TRUE(draw_routine(&drawn));
    EXPECT_EQ(drawn, 1);
    EXPECT_EQ(bv_target.lock_depth, 1);
    EXPECT_EQ(bv_target.base, outer_base);
    bv::unlock_target();
    EXPECT_EQ(bv_target.lock_depth, 0);
    EXPECT_EQ(bv_target.base, nullptr);
    // The surface was unlocked exactly once.
    EXPECT_EQ(plat::unlock_surface(surface), plat::ERR_NOT_LOCKED);
}

TEST_F(Target, InnerUnlockOnlyLowersTheCount) {
    start_page(8, 4, 16);
    bv::lock_target();
    bv::lock_target();
    EXPECT_EQ(bv_target.lock_depth, 2);
    bv::unlock_target();
    EXPECT_EQ(bv_target.lock_depth, 1);
    EXPECT_TRUE(bv::target_drawable());
    bv::unlock_target();
    EXPECT_FALSE(bv::target_drawable());
    bv::unlock_target();  // one too many: the count stays at 0
    EXPECT_EQ(bv_target.lock_depth, 0);
}

TEST_F(Target, LockedAddressAndPitchAddressEveryPixel) {
    plat::test::pad_pitch(7);
    start_page(5, 3, 32);
    bv_set_color(0x00102030);
    bv_fill_page();
    bv::lock_target();
    ASSERT_TRUE(bv::target_drawable());
    EXPECT_EQ(bv_target.pitch, 27);
    EXPECT_EQ(bv::target_bytes_per_pixel(), 4);
    const uint8_t *last = pixel_at(4, 2);
    EXPECT_EQ(last[0], 0x30);
    EXPECT_EQ(last[1], 0x20);
    EXPECT_EQ(last[2], 0x10);
    EXPECT_EQ(last[3], 0x00);
    bv::unlock_target();
}

TEST_F(Target, WithoutAPageNothingIsLockedOrDrawn) {
    start_page(8, 4, 8);
    bv_deselect_page();
    int32_t drawn = 0;
    EXPECT_FALSE(draw_routine(&drawn));
    EXPECT_EQ(drawn, 0);
    EXPECT_EQ(bv_target.lock_depth, 0);
    EXPECT_EQ(bv_target.base, nullptr);
}

TEST_F(Target, FailedLockDrawsNothingAndStaysBalanced) {
    start_page(8, 4, 8);
    BvPlatSurface *surface = bv_target.surface;
    plat::test::fail_locks(1);
    bv::lock_target();
    EXPECT_FALSE(bv::target_drawable());
    EXPECT_EQ(bv_target.base, nullptr);
    EXPECT_EQ(bv_target.lock_failed, 1);
    EXPECT_EQ(bv_target.lock_depth, 1);
    // Nested routines under the failed lock draw nothing either.
    int32_t drawn = 0;
    EXPECT_FALSE(draw_routine(&drawn));
    EXPECT_EQ(drawn, 0);
    bv::unlock_target();
    EXPECT_EQ(bv_target.lock_depth, 0);
    EXPECT_EQ(plat::unlock_surface(surface), plat::ERR_NOT_LOCKED);
    // The next outermost lock works again.
    EXPECT_TRUE(draw_routine(&drawn));
    EXPECT_EQ(drawn, 1);
}

TEST_F(Target, LostSurfaceCannotBeLocked) {
    start_page(8, 4, 16);
    plat::test::lose_surfaces();
    int32_t drawn = 0;
    EXPECT_FALSE(draw_routine(&drawn));
    EXPECT_EQ(bv_target.lock_depth, 0);
    EXPECT_EQ(bv_fill_page(), 0);  // restores
    EXPECT_TRUE(draw_routine(&drawn));
}

TEST_F(Target, SelectionWhileLockedKeepsTheAddressOfTheSamePageOnly) {
    start_page(8, 4, 16);
    bv::lock_target();
    uint8_t *base = bv_target.base;
    ASSERT_NE(base, nullptr);
    bv_deselect_page();
    EXPECT_FALSE(bv::target_drawable());
    EXPECT_EQ(bv_target.base, nullptr);
    ASSERT_EQ(bv_select_page(0), 0);
    EXPECT_TRUE(bv::target_drawable());
    EXPECT_EQ(bv_target.base, base);
    bv::unlock_target();
}

TEST_F(Target, BytesPerPixelFollowTheDepth) {
    for (auto [depth, bytes] : {std::pair{8, 1}, {16, 2}, {24, 3}, {32, 4}, {0, 1}, {12, 1}}) {
        bv_target.bits_per_pixel = depth;
        EXPECT_EQ(bv::target_bytes_per_pixel(), bytes) << depth;
    }
    bv_target.bits_per_pixel = 0;
}

}  // namespace
