// Display tests start and end with no display, no lock held and the platform's test hooks at their defaults.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "library_state.h"

struct DisplayTest : testing::Test {
    void SetUp() override { bvtest::reset_library(); }
    void TearDown() override { bvtest::reset_library(); }
};

// A full-screen flipping display with page 0 selected.
inline void start_page(int32_t width, int32_t height, int32_t depth) {
    bv_config_display(width, height, depth, BV_DISPLAY_FLIP);
    ASSERT_EQ(bv_start_display(), 0);
    ASSERT_EQ(bv_select_page(0), 0);
}

// Pixel (x, y) of the locked page, addressed by hand from base and pitch.
inline uint8_t *pixel_at(int32_t x, int32_t y) { return bv_target.base + y * bv_target.pitch + x * (bv_target.bits_per_pixel / 8); }
