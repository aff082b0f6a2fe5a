// Display start-up and shutdown: full-screen and windowed operation, the
// 24/32-bit retry, the pixel format record, restarts and failures.
#include "display_fixture.h"

namespace {

using StartUp = DisplayTest;

TEST_F(StartUp, FullScreenFlippingRegistersPageZeroAtEveryDepth) {
    for (int32_t depth : {8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        bv_config_display(320, 200, depth, BV_DISPLAY_FLIP);
        EXPECT_EQ(bv_start_display(), 0);
        EXPECT_EQ(bv_display.device_kind, 0);
        EXPECT_EQ(bv_display.result, 0);
        EXPECT_NE(bv_display.ddraw, nullptr);
        EXPECT_NE(bv_display.primary, nullptr);
        EXPECT_EQ(bv_display.clipper, nullptr);
        EXPECT_NE(bv_display.memory_dc, nullptr);
        EXPECT_EQ(bv_display.d3d, nullptr);
        ASSERT_NE(bv_pages.surface[0], nullptr);
        EXPECT_EQ(bv_pages.bits_per_pixel[0], depth);
        EXPECT_GE(bv_pages.pitch[0], 320 * depth / 8);
        EXPECT_EQ(bv_pages.width[0], 320);
        EXPECT_EQ(bv_pages.height[0], 200);
        EXPECT_EQ(bv_pages.clip_min_x[0], 0);
        EXPECT_EQ(bv_pages.clip_max_x[0], 319);
        EXPECT_EQ(bv_pages.clip_min_y[0], 0);
        EXPECT_EQ(bv_pages.clip_max_y[0], 199);
        EXPECT_EQ(bv_target.page, -1);
        EXPECT_EQ(bv_select_page(0), 0);
        EXPECT_EQ(bv_target.bits_per_pixel, depth);
        EXPECT_EQ(bv_stop_display(), 0);
        EXPECT_EQ(bv_display.ddraw, nullptr);
        EXPECT_EQ(bv_display.primary, nullptr);
        EXPECT_EQ(bv_display.memory_dc, nullptr);
    }
}

TEST_F(StartUp, StartResetsTheDrawingState) {
    bv_colors.color = 0x12345678;
    bv_cursor.cursor_x = 5;
    bv_cursor.cursor_y = 6;
    bv_target.origin_x = 7;
    bv_target.origin_y = 8;
    bv_target.page = 3;
    bv_colors.color_map[7] = 99;
    bv_pages.surface[31] = reinterpret_cast<BvPlatSurface *>(0x10);
    bv_pages.surface[32] = reinterpret_cast<BvPlatSurface *>(0x20);
    bv_image.image_buffer = nullptr;
    bv_config_display(64, 48, 16, BV_DISPLAY_FLIP);
    EXPECT_EQ(bv_start_display(), 0);
    EXPECT_EQ(bv_colors.color, 0u);
    EXPECT_EQ(bv_cursor.cursor_x, 0);
    EXPECT_EQ(bv_cursor.cursor_y, 0);
    EXPECT_EQ(bv_target.origin_x, 0);
    EXPECT_EQ(bv_target.origin_y, 0);
    EXPECT_EQ(bv_target.page, -1);
    EXPECT_EQ(bv_target.lock_depth, 0);
    EXPECT_EQ(bv_colors.color_map[7], 7);
    EXPECT_EQ(bv_pages.surface[31], nullptr);
    // Slots from 32 on are not touched by start-up.
    EXPECT_EQ(bv_pages.surface[32], reinterpret_cast<BvPlatSurface *>(0x20));
    bv_pages.surface[32] = nullptr;
    EXPECT_EQ(bv_image.image_buffer, bv::io_buffer);
    EXPECT_EQ(bv_image.image_buffer_size, 4096u);
    EXPECT_EQ(bv_display.line_height, 16);
}

TEST_F(StartUp, ThirtyTwoBitsRefusedFallsBackToTwentyFour) {
    plat::test::refuse_depth(32);
    bv_config_display(320, 200, 32, BV_DISPLAY_FLIP);
    EXPECT_EQ(bv_start_display(), 0);
    EXPECT_EQ(bv_display.depth, 24);
    EXPECT_EQ(bv_display.flags & BV_DISPLAY_NO_ALT_DEPTH, static_cast<uint32_t>(BV_DISPLAY_NO_ALT_DEPTH));
    // The refused attempt's code is forgotten.
    EXPECT_EQ(bv_display.result, 0);
    EXPECT_EQ(bv_pages.bits_per_pixel[0], 24);
    ASSERT_EQ(bv_select_page(0), 0);
    EXPECT_EQ(bv_target.bits_per_pixel, 24);
    EXPECT_EQ(bv_pages.pitch[0] >= 320 * 3, true);
}

TEST_F(StartUp, TwentyFourBitsRefusedFallsBackToThirtyTwo) {
    plat::test::refuse_depth(24);
    bv_config_display(320, 200, 24, BV_DISPLAY_FLIP);
    EXPECT_EQ(bv_start_display(), 0);
    EXPECT_EQ(bv_display.depth, 32);
    EXPECT_EQ(bv_pages.bits_per_pixel[0], 32);
}

TEST_F(StartUp, NoAltDepthBitMakesARefusedDepthFail) {
    plat::test::refuse_depth(32);
    bv_config_display(320, 200, 32, BV_DISPLAY_FLIP | BV_DISPLAY_NO_ALT_DEPTH);
    EXPECT_EQ(bv_start_display(), -1);
    EXPECT_EQ(bv_display.device_kind, -1);
    EXPECT_EQ(bv_display.result, plat::ERR_UNSUPPORTED_MODE);
    EXPECT_EQ(bv_display.depth, 32);
    EXPECT_EQ(bv_pages.surface[0], nullptr);
    EXPECT_EQ(bv_select_page(0), -2);
}

TEST_F(StartUp, RefusedSixteenBitsTriesFortyAndFailsCleanly) {
    plat::test::refuse_depth(16);
    bv_config_display(320, 200, 16, BV_DISPLAY_FLIP);
    EXPECT_EQ(bv_start_display(), -1);
    EXPECT_EQ(bv_display.depth, 40);
    EXPECT_NE(bv_display.flags & BV_DISPLAY_NO_ALT_DEPTH, 0u);
    EXPECT_EQ(bv_display.result, plat::ERR_UNSUPPORTED_MODE);
    EXPECT_EQ(bv_display.primary, nullptr);
    EXPECT_NE(bv_flip(), 0);
}

TEST_F(StartUp, OnlyEightSixteenTwentyFourAndThirtyTwoBitModesExist) {
    for (int32_t depth : {1, 4, 15, 64, -8}) {
        SCOPED_TRACE(depth);
        bv_config_display(320, 200, depth, BV_DISPLAY_FLIP);
        EXPECT_EQ(bv_start_display(), -1);
        EXPECT_EQ(bv_pages.surface[0], nullptr);
        bv_stop_display();
    }
}

TEST_F(StartUp, SixteenBitLayoutIsRecordedFromTheRedMask) {
    bv_config_display(64, 48, 16, BV_DISPLAY_FLIP);
    ASSERT_EQ(bv_start_display(), 0);
    EXPECT_EQ(bv_display.red_mask, 0xF800u);
    EXPECT_EQ(bv_display.green_mask, 0x07E0u);
    EXPECT_EQ(bv_display.blue_mask, 0x001Fu);
    EXPECT_EQ(bv_display.alpha_mask, 0u);
    EXPECT_EQ(bv_display.rgb16_format, 0x003F0602u);
    EXPECT_FALSE(bv::rgb16_is_555());
    bv_stop_display();

    plat::set_rgb16_layout(true);
    ASSERT_EQ(bv_start_display(), 0);
    EXPECT_EQ(bv_display.red_mask, 0x7C00u);
    EXPECT_EQ(bv_display.green_mask, 0x03E0u);
    EXPECT_EQ(bv_display.rgb16_format, 0x001F0503u);
    EXPECT_TRUE(bv::rgb16_is_555());
}

TEST_F(StartUp, ThirtyTwoBitMasksAreRecordedAndTheLayoutKept) {
    bv_display.rgb16_format = 0x001F0503;
    bv_config_display(64, 48, 32, BV_DISPLAY_FLIP);
    ASSERT_EQ(bv_start_display(), 0);
    EXPECT_EQ(bv_display.red_mask, 0xFF0000u);
    EXPECT_EQ(bv_display.green_mask, 0x00FF00u);
    EXPECT_EQ(bv_display.blue_mask, 0x0000FFu);
    EXPECT_EQ(bv_display.rgb16_format, 0x001F0503u);
}

TEST_F(StartUp, EightBitModeMakesTheDisplayPaletteFromTheLibraryPalette) {
    bv_config_display(64, 48, 8, BV_DISPLAY_FLIP);
    ASSERT_EQ(bv_start_display(), 0);
    EXPECT_NE(bv_display.palette, nullptr);
    EXPECT_EQ(bv_colors.dib_depth, 8);
    bv_stop_display();
    EXPECT_EQ(bv_display.palette, nullptr);
}

TEST_F(StartUp, BitmapSettingsFollowTheModeAndTheDesktop) {
    plat::test::set_desktop_depth(8);
    bv_config_display(64, 48, 16, BV_DISPLAY_FLIP);
    ASSERT_EQ(bv_start_display(), 0);
    EXPECT_EQ(bv_colors.dib_depth, 16);
    EXPECT_EQ(bv_colors.dib_header_size, 108);
    EXPECT_EQ(bv_colors.dib_info_size, 108);
    EXPECT_EQ(bv_colors.dib_pal_indices, 1);
    bv_stop_display();

    plat::test::set_desktop_depth(32);
    bv_config_display(64, 48, 0, 0);
    ASSERT_EQ(bv_start_display(), 0);
    EXPECT_EQ(bv_colors.dib_depth, 8);
    EXPECT_EQ(bv_colors.dib_header_size, 40);
    EXPECT_EQ(bv_colors.dib_info_size, 1064);
    EXPECT_EQ(bv_colors.dib_pal_indices, 0);
}

TEST_F(StartUp, FullScreenWithoutFlippingRegistersNoPage) {
    bv_config_display(64, 48, 16, 0);
    EXPECT_EQ(bv_start_display(), 0);
    EXPECT_NE(bv_display.primary, nullptr);
    EXPECT_EQ(bv_pages.surface[0], nullptr);
    EXPECT_EQ(bv_select_page(0), -2);
    EXPECT_EQ(bv_flip(), plat::ERR_NOT_FLIPPABLE);
}

TEST_F(StartUp, WindowedStartMakesAClipperAndRegistersNoPage) {
    plat::test::set_desktop_depth(32);
    bv_config_display(320, 200, 0, BV_DISPLAY_FLIP);
    EXPECT_EQ(bv_start_display(), 0);
    EXPECT_NE(bv_display.primary, nullptr);
    EXPECT_NE(bv_display.clipper, nullptr);
    EXPECT_EQ(bv_display.palette, nullptr);
    EXPECT_EQ(bv_pages.surface[0], nullptr);
    EXPECT_EQ(bv_select_page(0), -2);
    EXPECT_EQ(bv_target.page, -1);
    EXPECT_EQ(bv_display.red_mask, 0xFF0000u);
    bv_stop_display();
    EXPECT_EQ(bv_display.clipper, nullptr);
}

TEST_F(StartUp, WindowedOnSixteenBitDesktopsRecordsTheirLayout) {
    plat::test::set_desktop_depth(16);
    bv_display.rgb16_format = 0;
    bv_config_display(320, 200, 0, 0);
    ASSERT_EQ(bv_start_display(), 0);
    EXPECT_EQ(bv_display.rgb16_format, 0x003F0602u);
    bv_stop_display();

    plat::test::set_desktop_depth(15);
    ASSERT_EQ(bv_start_display(), 0);
    EXPECT_EQ(bv_display.red_mask, 0x7C00u);
    EXPECT_EQ(bv_display.rgb16_format, 0x001F0503u);
}

TEST_F(StartUp, WindowedOnAnEightBitDesktopRecordsNoMasks) {
    plat::test::set_desktop_depth(8);
    bv_display.red_mask = 0xABCD;
    bv_config_display(320, 200, 0, 0);
    ASSERT_EQ(bv_start_display(), 0);
    EXPECT_EQ(bv_display.red_mask, 0xABCDu);
}

TEST_F(StartUp, SecondStartKeepsPageZeroAndResetsDrawing) {
    bv_config_display(64, 48, 16, BV_DISPLAY_FLIP);
    ASSERT_EQ(bv_start_display(), 0);
    BvPlatSurface *page0 = bv_pages.surface[0];
    void *memory_dc = bv_display.memory_dc;
    ASSERT_EQ(bv_select_page(0), 0);
    bv_set_color(0x1234);
    bv::lock_target();
    EXPECT_EQ(bv_start_display(), 0);
    EXPECT_EQ(bv_display.device_kind, 0);
    EXPECT_EQ(bv_pages.surface[0], page0);
    EXPECT_EQ(bv_display.memory_dc, memory_dc);
    EXPECT_EQ(bv_target.page, -1);
    EXPECT_EQ(bv_target.lock_depth, 0);
    EXPECT_EQ(bv_target.base, nullptr);
    EXPECT_EQ(bv_colors.color, 0u);
    // The lock the restart dropped was given back to the surface.
    uint8_t *base = nullptr;
    int32_t pitch = 0;
    EXPECT_EQ(plat::unlock_surface(page0), plat::ERR_NOT_LOCKED);
    EXPECT_EQ(plat::lock_surface(page0, &base, &pitch), plat::OK);
    EXPECT_EQ(plat::unlock_surface(page0), plat::OK);
    EXPECT_EQ(bv_select_page(0), 0);
    EXPECT_EQ(bv_flip(), 0);
}

TEST_F(StartUp, SecondStartAfterAFailedOneStillReportsTheFailure) {
    plat::test::refuse_depth(16);
    bv_config_display(64, 48, 16, BV_DISPLAY_FLIP);
    ASSERT_EQ(bv_start_display(), -1);
    plat::test::refuse_depth(0);
    EXPECT_EQ(bv_start_display(), -1);
    EXPECT_EQ(bv_select_page(0), -2);
    // Stopping releases what the failed start-up made; then all is well.
    bv_stop_display();
    bv_config_display(64, 48, 16, BV_DISPLAY_FLIP);
    EXPECT_EQ(bv_start_display(), 0);
    EXPECT_EQ(bv_select_page(0), 0);
}

TEST_F(StartUp, StopEmptiesTheReleasedPageAndSelectionFailsUntilRestarted) {
    start_page(64, 48, 16);
    EXPECT_EQ(bv_stop_display(), 0);
    EXPECT_EQ(bv_target.page, -1);
    EXPECT_EQ(bv_target.surface, nullptr);
    EXPECT_EQ(bv_display.device_kind, -1);
    EXPECT_EQ(bv_pages.surface[0], nullptr);
    EXPECT_EQ(bv_select_page(0), -2);
    bv::lock_target();
    EXPECT_FALSE(bv::target_drawable());
    bv::unlock_target();
    EXPECT_EQ(bv_fill_page(), 0);
    EXPECT_NE(bv_flip(), 0);
    // Configuration and pixel format stay; a new start brings page 0 back.
    EXPECT_EQ(bv_display.width, 64);
    EXPECT_EQ(bv_display.rgb16_format, 0x003F0602u);
    EXPECT_EQ(bv_start_display(), 0);
    EXPECT_EQ(bv_select_page(0), 0);
}

TEST_F(StartUp, StopWhileLockedGivesTheLockUpAndStaysBalanced) {
    start_page(64, 48, 32);
    bv::lock_target();
    bv::lock_target();
    ASSERT_TRUE(bv::target_drawable());
    bv_stop_display();
    EXPECT_FALSE(bv::target_drawable());
    EXPECT_EQ(bv_target.base, nullptr);
    bv::unlock_target();
    bv::unlock_target();
    EXPECT_EQ(bv_target.lock_depth, 0);
}

TEST_F(StartUp, StopTwiceAndStopWithoutStartDoNothingMore) {
    EXPECT_EQ(bv_stop_display(), 0);
    start_page(64, 48, 16);
    EXPECT_EQ(bv_stop_display(), 0);
    EXPECT_EQ(bv_stop_display(), 0);
}

TEST_F(StartUp, StopReleasesTheTextureTable) {
    bv_textures.texture_table = static_cast<TextureEntry *>(std::calloc(4, sizeof(TextureEntry)));
    bv_textures.texture_count = 4;
    start_page(64, 48, 16);
    bv_stop_display();
    EXPECT_EQ(bv_textures.texture_table, nullptr);
}

TEST_F(StartUp, UsesTheApplicationWindowAndLeavesItAlive) {
    plat::WindowSpec spec{"Zarvel test", "BVzarvelx", 64, 48, false};
    BvPlatWindow *window = plat::create_window(spec);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(plat::focus_window(), window);
    start_page(64, 48, 16);
    EXPECT_EQ(bv_display.window, window);
    EXPECT_EQ(bv_flip(), 0);
    bv_stop_display();
    EXPECT_EQ(plat::focus_window(), window);
    plat::destroy_window(window);
    EXPECT_EQ(plat::focus_window(), nullptr);
}

TEST_F(StartUp, StopSelectsTheSavedWindowPaletteBack) {
    plat::WindowSpec spec{"Zarvel test", "BVzarvelx", 64, 48, false};
    BvPlatWindow *window = plat::create_window(spec);
    ASSERT_NE(window, nullptr);
    BvPlatPalette *mine = plat::create_window_palette(&bv_palette.log_palette);
    BvPlatPalette *original = plat::use_window_palette(window, mine);
    ASSERT_NE(original, nullptr);
    bv_palette.saved_hpal = original;
    bv_set_dc(window);
    start_page(64, 48, 16);
    bv_stop_display();
    // What the window holds now is the original palette again.
    EXPECT_EQ(plat::use_window_palette(window, mine), original);
    bv_set_dc(nullptr);
    bv_palette.saved_hpal = nullptr;
    plat::destroy_window(window);
    plat::delete_window_palette(mine);
}

}  // namespace
