// bv_config_display, bv_set_dc, bv_screen_depth and the stock font.
#include "display_fixture.h"

namespace {

using Config = DisplayTest;

TEST_F(Config, DemoSettingsGiveFlags13AndTheDeviceCaps) {
    EXPECT_EQ(bv_config_display(640, 480, 16, 13), 0);
    EXPECT_EQ(bv_display.width, 640);
    EXPECT_EQ(bv_display.height, 480);
    EXPECT_EQ(bv_display.depth, 16);
    EXPECT_EQ(bv_display.flags, 13u);
    EXPECT_EQ(bv_display.extra_caps, 0x2000u);
}

TEST_F(Config, NoAltDepthBitSurvivesOnlyFrom24BitsUp) {
    bv_config_display(640, 480, 24, 31);
    EXPECT_EQ(bv_display.flags, 31u);
    bv_config_display(640, 480, 32, 31);
    EXPECT_EQ(bv_display.flags, 31u);
    bv_config_display(640, 480, 16, 31);
    EXPECT_EQ(bv_display.flags, 15u);
    bv_config_display(640, 480, 0, 16);
    EXPECT_EQ(bv_display.flags, 0u);
    // Only the low byte of the depth, read as signed, decides: 0x118 is 24,
    // 0xF0 is -16.
    bv_config_display(640, 480, 0x118, 16);
    EXPECT_EQ(bv_display.flags, 16u);
    bv_config_display(640, 480, 0xF0, 16);
    EXPECT_EQ(bv_display.flags, 0u);
}

TEST_F(Config, FlagsKeepBits0To4AndCapsFollowBits1And2) {
    bv_config_display(640, 480, 32, -1);
    EXPECT_EQ(bv_display.flags, 31u);
    EXPECT_EQ(bv_display.extra_caps, 0x2000u);
    bv_config_display(640, 480, 32, 2);
    EXPECT_EQ(bv_display.extra_caps, 0x2000u);
    bv_config_display(640, 480, 32, 4);
    EXPECT_EQ(bv_display.extra_caps, 0x2000u);
    bv_config_display(640, 480, 32, 1 | 8 | 16 | 32);
    EXPECT_EQ(bv_display.flags, 25u);
    EXPECT_EQ(bv_display.extra_caps, 0u);
}

TEST_F(Config, SetDcRecordsTheWindowForPalettesAndText) {
    auto *window = reinterpret_cast<BvPlatWindow *>(0x1000);
    EXPECT_EQ(bv_set_dc(window), 0);
    EXPECT_EQ(bv_display.dc, window);
    EXPECT_EQ(bv_display.text_dc, window);
    bv_set_dc(nullptr);
}

TEST_F(Config, ScreenDepthReportsFifteenBitsAsSixteen) {
    plat::test::set_desktop_depth(15);
    EXPECT_EQ(bv_screen_depth(), 16);
    plat::test::set_desktop_depth(8);
    EXPECT_EQ(bv_screen_depth(), 8);
    plat::test::set_desktop_depth(24);
    EXPECT_EQ(bv_screen_depth(), 24);
    plat::test::set_desktop_depth(0);
    const int32_t real = bv_screen_depth();
    EXPECT_TRUE(real == 8 || real == 16 || real == 24 || real == 32) << real;
}

TEST_F(Config, StockFontMetricsAreAnEightBySixteenCell) {
    bv_display.font = 0;
    EXPECT_EQ(bv_select_stock_font(10), 0);
    EXPECT_EQ(bv_display.font, 10);
    EXPECT_EQ(bv_display.line_height, 16);
    EXPECT_EQ(bv_display.external_leading, 0);
    EXPECT_EQ(bv_display.avg_char_width, 8);
}

TEST_F(Config, StockObjectThatIsNoFontChangesNothing) {
    bv_select_stock_font(10);
    EXPECT_EQ(bv_select_stock_font(15), 0);
    EXPECT_EQ(bv_select_stock_font(-3), 0);
    EXPECT_EQ(bv_select_stock_font(1000), 0);
    EXPECT_EQ(bv_display.font, 10);
    EXPECT_EQ(bv_display.line_height, 16);
}

}  // namespace
