// One whole frame cycle on a headless display.
#include "display_fixture.h"

namespace {

using Smoke = DisplayTest;

TEST_F(Smoke, StartSelectLockFillFlipDepthBufferStop) {
    start_page(64, 48, 16);
    bv::lock_target();
    ASSERT_TRUE(bv::target_drawable());
    bv::unlock_target();
    bv_set_color(0xF800);
    EXPECT_EQ(bv_fill_page(), 0);
    EXPECT_EQ(bv_flip(), 0);
    std::vector<uint32_t> picture(64 * 48);
    ASSERT_TRUE(plat::test::last_presented(picture.data(), 64, 48));
    EXPECT_EQ(picture[0], 0xFF0000u);
    bv_zbuffer z = bv_alloc_zbuffer(64, 48);
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(bv_open_zbuffer(z), 0);
    for (int i = 0; i < 300; ++i) EXPECT_EQ(bv_zbuffer_frame(), 0);
    EXPECT_EQ(bv_free_zbuffer(z), 0);
    bv_deselect_page();
    EXPECT_EQ(bv_stop_display(), 0);
}

}  // namespace
