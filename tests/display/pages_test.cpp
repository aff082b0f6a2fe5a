// Page selection, the colour tables, colour values, fill, the scene bracket
// and the page flip, with lost surfaces.
#include <cstring>

#include "display_fixture.h"

namespace {

using Pages = DisplayTest;

uint16_t lut_word(int32_t index) {
    return static_cast<uint16_t>(bv_colors.pixel_lut[2 * index] | (bv_colors.pixel_lut[2 * index + 1] << 8));
}

void set_palette_entry(int32_t index, uint8_t r, uint8_t g, uint8_t b) {
    bv_palette.log_palette.entries[index] = PaletteEntry{r, g, b, 0};
}

void put_pixel(int32_t x, int32_t y, const std::vector<uint8_t> &bytes) {
    uint8_t *p = bv_target.base + static_cast<size_t>(y) * bv_target.pitch + x * bytes.size();
    std::memcpy(p, bytes.data(), bytes.size());
}

TEST_F(Pages, BadIndexGivesMinusOneAndEmptySlotMinusTwoChangingNothing) {
    start_page(64, 48, 16);
    const DrawTarget before = bv_target;
    for (uint32_t page : {256u, 0xFFFFFFFFu, 1000u}) {
        EXPECT_EQ(bv_select_page(page), -1) << page;
    }
    EXPECT_EQ(bv_select_page(static_cast<uint32_t>(-1)), -1);
    EXPECT_EQ(bv_select_page(5), -2);
    EXPECT_EQ(bv_select_page(255), -2);
    EXPECT_EQ(std::memcmp(&before, &bv_target, sizeof before), 0);
}

TEST_F(Pages, SelectionCopiesTheSlotButNoAddress) {
    plat::test::pad_pitch(12);
    start_page(100, 60, 24);
    EXPECT_EQ(bv_target.page, 0);
    EXPECT_EQ(bv_target.surface, bv_pages.surface[0]);
    EXPECT_EQ(bv_target.base, nullptr);
    EXPECT_EQ(bv_target.pitch, 312);
    EXPECT_EQ(bv_target.width, 100);
    EXPECT_EQ(bv_target.height, 60);
    EXPECT_EQ(bv_target.clip_min_x, 0);
    EXPECT_EQ(bv_target.clip_max_x, 99);
    EXPECT_EQ(bv_target.clip_min_y, 0);
    EXPECT_EQ(bv_target.clip_max_y, 59);
    bv_deselect_page();
    EXPECT_EQ(bv_target.page, -1);
    EXPECT_EQ(bv_target.surface, nullptr);
}

TEST_F(Pages, PixelLutOfRgb565Pages) {
    set_palette_entry(0, 255, 255, 255);
    set_palette_entry(1, 255, 0, 0);
    set_palette_entry(2, 12, 34, 56);
    set_palette_entry(255, 0, 255, 0);
    start_page(64, 48, 16);
    EXPECT_EQ(lut_word(0), 0xFFFF);
    EXPECT_EQ(lut_word(1), 0xF800);
    // 12 >> 3 = 1 at bit 11, 34 >> 2 = 8 at bit 5, 56 >> 3 = 7.
    EXPECT_EQ(lut_word(2), 0x0907);
    EXPECT_EQ(lut_word(255), 0x07E0);
    EXPECT_EQ(lut_word(3), 0x0000);
}

TEST_F(Pages, PixelLutOfRgb555Pages) {
    set_palette_entry(0, 255, 255, 255);
    set_palette_entry(1, 255, 0, 0);
    set_palette_entry(2, 12, 34, 56);
    set_palette_entry(255, 0, 255, 0);
    plat::set_rgb16_layout(true);
    start_page(64, 48, 16);
    EXPECT_EQ(lut_word(0), 0x7FFF);
    EXPECT_EQ(lut_word(1), 0x7C00);
    // 12 & 0xF8 = 8 shifted by 7, 34 >> 3 = 4 at bit 5, 56 >> 3 = 7.
    EXPECT_EQ(lut_word(2), 0x0487);
    EXPECT_EQ(lut_word(255), 0x03E0);
}

TEST_F(Pages, PixelLutOfTwentyFourAndThirtyTwoBitPagesHoldsZeroRedGreenBlue) {
    set_palette_entry(0, 255, 255, 255);
    set_palette_entry(1, 255, 0, 0);
    set_palette_entry(7, 0x12, 0x34, 0x56);
    for (int32_t depth : {24, 32}) {
        SCOPED_TRACE(depth);
        std::memset(bv_colors.pixel_lut, 0xEE, sizeof bv_colors.pixel_lut);
        start_page(64, 48, depth);
        const uint8_t *e7 = bv_colors.pixel_lut + 4 * 7;
        EXPECT_EQ(e7[0], 0x00);
        EXPECT_EQ(e7[1], 0x12);
        EXPECT_EQ(e7[2], 0x34);
        EXPECT_EQ(e7[3], 0x56);
        const uint8_t *e1 = bv_colors.pixel_lut + 4;
        EXPECT_EQ(e1[0], 0);
        EXPECT_EQ(e1[1], 255);
        EXPECT_EQ(e1[2], 0);
        EXPECT_EQ(e1[3], 0);
        // Read little-endian and byte-reversed, an entry is 0x00RRGGBB.
        const uint32_t le = e7[0] | (e7[1] << 8) | (e7[2] << 16) | (uint32_t{e7[3]} << 24);
        EXPECT_EQ(__builtin_bswap32(le), 0x00123456u);
        bv_stop_display();
    }
}

TEST_F(Pages, EightBitPagesLeaveThePixelLutAlone) {
    std::memset(bv_colors.pixel_lut, 0xEE, sizeof bv_colors.pixel_lut);
    start_page(64, 48, 8);
    for (uint8_t b : bv_colors.pixel_lut) ASSERT_EQ(b, 0xEE);
}

TEST_F(Pages, EightBitPageBitmapSettingsFollowTheDesktop) {
    plat::test::set_desktop_depth(8);
    start_page(64, 48, 8);
    EXPECT_EQ(bv_colors.dib_header_size, 40);
    EXPECT_EQ(bv_colors.dib_info_size, 552);
    EXPECT_EQ(bv_colors.dib_pal_indices, 1);
    plat::test::set_desktop_depth(32);
    ASSERT_EQ(bv_select_page(0), 0);
    EXPECT_EQ(bv_colors.dib_info_size, 1064);
    EXPECT_EQ(bv_colors.dib_pal_indices, 0);
}

TEST_F(Pages, SetDibDepthRecordsSizesAndKeepsTheIndexFlag) {
    bv_colors.dib_pal_indices = 1;
    plat::test::set_desktop_depth(32);
    bv_set_dib_depth(16);
    EXPECT_EQ(bv_colors.dib_depth, 16);
    EXPECT_EQ(bv_colors.dib_header_size, 108);
    EXPECT_EQ(bv_colors.dib_info_size, 108);
    bv_set_dib_depth(32);
    EXPECT_EQ(bv_colors.dib_header_size, 108);
    EXPECT_EQ(bv_colors.dib_info_size, 108);
    bv_set_dib_depth(24);
    EXPECT_EQ(bv_colors.dib_header_size, 40);
    EXPECT_EQ(bv_colors.dib_info_size, 40);
    bv_set_dib_depth(8);
    EXPECT_EQ(bv_colors.dib_header_size, 40);
    EXPECT_EQ(bv_colors.dib_info_size, 1064);
    plat::test::set_desktop_depth(8);
    bv_set_dib_depth(8);
    EXPECT_EQ(bv_colors.dib_info_size, 552);
    EXPECT_EQ(bv_colors.dib_pal_indices, 1);
}

TEST_F(Pages, SetColorEncodesForEachDepth) {
    start_page(64, 48, 16);
    bv_set_color(0x12345678);
    EXPECT_EQ(bv_colors.color, 0x56785678u);
    bv_set_color(-1);
    EXPECT_EQ(bv_colors.color, 0xFFFFFFFFu);
    bv_stop_display();

    start_page(64, 48, 8);
    bv_set_color(0x1FF);
    EXPECT_EQ(bv_colors.color, 0xFFFFFFFFu);
    bv_set_color(0x102);
    EXPECT_EQ(bv_colors.color, 0x02020202u);
    bv_colors.color_map[3] = 0x40;
    bv_set_color(3);
    EXPECT_EQ(bv_colors.color, 0x40404040u);
    bv_colors.color_map[3] = 3;
    bv_stop_display();

    for (int32_t depth : {24, 32}) {
        start_page(64, 48, depth);
        bv_set_color(0x12345678);
        EXPECT_EQ(bv_colors.color, 0x12345678u);
        bv_set_color(-1);
        EXPECT_EQ(bv_colors.color, 0xFFFFFFFFu);
        bv_stop_display();
    }
}

TEST_F(Pages, SetColorReadsTheDepthsLowByteAsSigned) {
    for (int i = 0; i < 256; ++i) bv_colors.color_map[i] = static_cast<uint8_t>(i);
    bv_target.bits_per_pixel = 0;
    bv_set_color(0x1FE);
    EXPECT_EQ(bv_colors.color, 0xFEFEFEFEu);
    bv_target.bits_per_pixel = 0x118;
    bv_set_color(0x123456);
    EXPECT_EQ(bv_colors.color, 0x123456u);
    bv_target.bits_per_pixel = 0x110;
    bv_set_color(0x123456);
    EXPECT_EQ(bv_colors.color, 0x34563456u);
    bv_target.bits_per_pixel = 0xF0;
    bv_set_color(0x123456);
    EXPECT_EQ(bv_colors.color, 0x56565656u);
    bv_target.bits_per_pixel = 0;
}

TEST_F(Pages, ColourIsNotReencodedWhenAnotherDepthIsSelected) {
    start_page(64, 48, 16);
    bv_set_color(0xF800);
    bv_stop_display();
    start_page(64, 48, 32);
    EXPECT_EQ(bv_colors.color, 0u);  // start-up reset it
    bv_set_color(0xABCDEF);
    ASSERT_EQ(bv_select_page(0), 0);
    EXPECT_EQ(bv_colors.color, 0xABCDEFu);
}

// Every pixel of a padded page gets the colour's low bytes; the padding
// at the end of each row is left alone.
TEST_F(Pages, FillWritesEveryPixelAtEachDepthAndNotThePadding) {
    struct Case {
        int32_t depth;
        int32_t color;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {8, 0x1FF, {0xFF}},
        {16, 0x1234, {0x34, 0x12}},
        {24, 0x112233, {0x33, 0x22, 0x11}},
        {32, 0x112233, {0x33, 0x22, 0x11, 0x00}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.depth);
        plat::test::pad_pitch(5);
        start_page(37, 11, c.depth);
        const int32_t bytes = c.depth / 8;
        ASSERT_EQ(bv_target.pitch, 37 * bytes + 5);
        bv_set_color(c.color);
        EXPECT_EQ(bv_fill_page(), 0);
        bv::lock_target();
        ASSERT_TRUE(bv::target_drawable());
        int32_t wrong = 0;
        for (int32_t y = 0; y < 11; ++y) {
            const uint8_t *row = bv_target.base + static_cast<size_t>(y) * bv_target.pitch;
            for (int32_t x = 0; x < 37; ++x) {
                if (std::memcmp(row + x * bytes, c.bytes.data(), bytes) != 0) ++wrong;
            }
            for (int32_t i = 37 * bytes; i < bv_target.pitch; ++i) {
                if (row[i] != 0) ++wrong;
            }
        }
        EXPECT_EQ(wrong, 0);
        bv::unlock_target();
        bv_stop_display();
    }
}

TEST_F(Pages, FillWithoutPageDoesNothing) {
    start_page(16, 8, 16);
    bv_deselect_page();
    bv_set_color(0x1234);
    EXPECT_EQ(bv_fill_page(), 0);
    ASSERT_EQ(bv_select_page(0), 0);
    bv::lock_target();
    EXPECT_EQ(bv_target.base[0], 0);
    bv::unlock_target();
}

TEST_F(Pages, FillRestoresALostSurfaceAndRepeats) {
    start_page(16, 8, 32);
    bv_set_color(0x00ABCDEF);
    plat::test::lose_surfaces();
    EXPECT_EQ(bv_fill_page(), 0);
    EXPECT_EQ(plat::test::restores_made(), 1);
    bv::lock_target();
    ASSERT_TRUE(bv::target_drawable());
    EXPECT_EQ(pixel_at(15, 7)[0], 0xEF);
    EXPECT_EQ(pixel_at(15, 7)[2], 0xAB);
    bv::unlock_target();
}

TEST_F(Pages, FillEndsWithTheErrorWhenTheRestoreFails) {
    start_page(16, 8, 16);
    bv_set_color(0x1234);
    plat::test::lose_surfaces();
    plat::test::fail_restores(1000);
    EXPECT_EQ(bv_fill_page(), plat::ERR_WRONG_MODE);
    EXPECT_EQ(plat::test::restores_made(), 1);
}

TEST_F(Pages, FillAndFlipGiveUpOnASurfaceThatStaysLost) {
    start_page(16, 8, 16);
    const int64_t flips = plat::test::flips_presented();
    plat::test::lose_surfaces();
    plat::test::keep_surfaces_lost(true);
    EXPECT_EQ(bv_fill_page(), plat::ERR_SURFACE_LOST);
    EXPECT_EQ(plat::test::restores_made(), 64);
    EXPECT_EQ(bv_flip(), plat::ERR_SURFACE_LOST);
    EXPECT_EQ(plat::test::restores_made(), 128);
    EXPECT_EQ(plat::test::flips_presented(), flips);
}

TEST_F(Pages, SceneBracketWithoutADeviceDoesNothing) {
    start_page(16, 8, 16);
    EXPECT_EQ(bv_3d_scene(2), 0);
    EXPECT_EQ(bv_3d_scene(3), 0);
    EXPECT_EQ(bv_display.device_kind, 0);
}

TEST_F(Pages, FlipWithoutPrimarySurfaceCallsNothing) {
    const int64_t flips = plat::test::flips_presented();
    EXPECT_NE(bv_flip(), 0);
    EXPECT_EQ(plat::test::flips_presented(), flips);
}

TEST_F(Pages, FlipPresentsSixteenBitRgb565ByBitReplication) {
    start_page(4, 2, 16);
    bv::lock_target();
    ASSERT_TRUE(bv::target_drawable());
    put_pixel(0, 0, {0xFF, 0xFF});  // white
    put_pixel(1, 0, {0x41, 0x08});  // r 1, g 2, b 1
    put_pixel(2, 0, {0xE0, 0x07});  // green 63
    put_pixel(3, 0, {0x00, 0x80});  // red 16
    put_pixel(0, 1, {0x00, 0x04});  // green 32
    put_pixel(1, 1, {0x1F, 0x00});  // blue 31
    put_pixel(2, 1, {0x00, 0x00});
    put_pixel(3, 1, {0x10, 0x84});  // r 16, g 32, b 16
    bv::unlock_target();
    const int64_t flips = plat::test::flips_presented();
    EXPECT_EQ(bv_flip(), 0);
    EXPECT_EQ(plat::test::flips_presented(), flips + 1);
    uint32_t picture[8];
    ASSERT_TRUE(plat::test::last_presented(picture, 4, 2));
    EXPECT_EQ(picture[0], 0xFFFFFFu);
    EXPECT_EQ(picture[1], 0x080808u);  // 1<<3|1>>2 = 8, 2<<2|2>>4 = 8
    EXPECT_EQ(picture[2], 0x00FF00u);
    EXPECT_EQ(picture[3], 0x840000u);  // 16<<3|16>>2 = 132
    EXPECT_EQ(picture[4], 0x008200u);  // 32<<2|32>>4 = 130
    EXPECT_EQ(picture[5], 0x0000FFu);
    EXPECT_EQ(picture[6], 0x000000u);
    EXPECT_EQ(picture[7], 0x848284u);
    EXPECT_FALSE(plat::test::last_presented(picture, 2, 4));
}

TEST_F(Pages, FlipPresentsSixteenBitRgb555) {
    plat::set_rgb16_layout(true);
    start_page(3, 1, 16);
    bv::lock_target();
    put_pixel(0, 0, {0xFF, 0x7F});  // white
    put_pixel(1, 0, {0x10, 0x42});  // 16, 16, 16
    put_pixel(2, 0, {0x00, 0x7C});  // red 31
    bv::unlock_target();
    EXPECT_EQ(bv_flip(), 0);
    uint32_t picture[3];
    ASSERT_TRUE(plat::test::last_presented(picture, 3, 1));
    EXPECT_EQ(picture[0], 0xFFFFFFu);
    EXPECT_EQ(picture[1], 0x848484u);
    EXPECT_EQ(picture[2], 0xFF0000u);
}

TEST_F(Pages, FlipPresentsTwentyFourAndThirtyTwoBitPixels) {
    for (int32_t depth : {24, 32}) {
        SCOPED_TRACE(depth);
        plat::test::pad_pitch(3);
        start_page(2, 2, depth);
        bv::lock_target();
        const std::vector<uint8_t> tail(depth == 32 ? 1 : 0, 0);
        std::vector<uint8_t> a{0x01, 0x02, 0x03}, b{0xFF, 0x00, 0x80};
        a.insert(a.end(), tail.begin(), tail.end());
        b.insert(b.end(), tail.begin(), tail.end());
        put_pixel(0, 0, a);
        put_pixel(1, 1, b);
        bv::unlock_target();
        EXPECT_EQ(bv_flip(), 0);
        uint32_t picture[4];
        ASSERT_TRUE(plat::test::last_presented(picture, 2, 2));
        EXPECT_EQ(picture[0], 0x030201u);
        EXPECT_EQ(picture[1], 0u);
        EXPECT_EQ(picture[3], 0x8000FFu);
        bv_stop_display();
    }
}

TEST_F(Pages, FlipPresentsEightBitPagesThroughTheDisplayPalette) {
    set_palette_entry(0, 1, 2, 3);
    set_palette_entry(200, 250, 128, 7);
    start_page(2, 1, 8);
    bv::lock_target();
    bv_target.base[1] = 200;
    bv::unlock_target();
    EXPECT_EQ(bv_flip(), 0);
    uint32_t picture[2];
    ASSERT_TRUE(plat::test::last_presented(picture, 2, 1));
    EXPECT_EQ(picture[0], 0x010203u);
    EXPECT_EQ(picture[1], 0xFA8007u);
    // A change of the display palette shows at the next flip.
    const PaletteEntry green{0, 255, 0, 0};
    EXPECT_EQ(plat::set_display_palette_entries(bv_display.palette, 200, 1, &green), 0);
    EXPECT_EQ(bv_flip(), 0);
    ASSERT_TRUE(plat::test::last_presented(picture, 2, 1));
    EXPECT_EQ(picture[1], 0x00FF00u);
}

TEST_F(Pages, FlipRestoresLostSurfacesAndPresents) {
    start_page(4, 4, 16);
    bv_set_color(0xFFFF);
    bv_fill_page();
    plat::test::lose_surfaces();
    const int64_t flips = plat::test::flips_presented();
    EXPECT_EQ(bv_flip(), 0);
    EXPECT_EQ(plat::test::flips_presented(), flips + 1);
    EXPECT_EQ(plat::test::restores_made(), 1);
    uint32_t picture[16];
    ASSERT_TRUE(plat::test::last_presented(picture, 4, 4));
    EXPECT_EQ(picture[15], 0xFFFFFFu);
}

TEST_F(Pages, FlipReturnsTheRestoreErrorAndPresentsNothing) {
    start_page(4, 4, 16);
    plat::test::lose_surfaces();
    plat::test::fail_restores(1);
    const int64_t flips = plat::test::flips_presented();
    EXPECT_EQ(bv_flip(), plat::ERR_WRONG_MODE);
    EXPECT_EQ(plat::test::flips_presented(), flips);
    // The next flip restores and presents.
    EXPECT_EQ(bv_flip(), 0);
    EXPECT_EQ(plat::test::flips_presented(), flips + 1);
}

}  // namespace
