// Display configuration, start-up and shutdown.
#include "display_fixture.h"

namespace {

using StartUp = DisplayTest;

TEST_F(StartUp, FullScreenFlippingRegistersPageZeroAtEveryDepth) {
    for (int32_t depth : {8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        bv_config_display(320, 200, depth, BV_DISPLAY_FLIP);
        EXPECT_EQ(bv_start_display(), 0);
        EXPECT_NE(bv_display.ddraw, nullptr);
        EXPECT_NE(bv_display.primary, nullptr);
        ASSERT_NE(bv_pages.surface[0], nullptr);
        EXPECT_EQ(bv_pages.bits_per_pixel[0], depth);
        EXPECT_GE(bv_pages.pitch[0], 320 * depth / 8);
        EXPECT_EQ(bv_pages.width[0], 320);
        EXPECT_EQ(bv_pages.height[0], 200);
        EXPECT_EQ(bv_pages.clip_min_x[0], 0);
        EXPECT_EQ(bv_pages.clip_max_x[0], 319);
        EXPECT_EQ(bv_pages.clip_min_y[0], 0);
        EXPECT_EQ(bv_pages.clip_max_y[0], 199);
        EXPECT_EQ(bv_select_page(0), 0);
        EXPECT_EQ(bv_target.bits_per_pixel, depth);
        EXPECT_EQ(bv_stop_display(), 0);
    }
}

}  // namespace
