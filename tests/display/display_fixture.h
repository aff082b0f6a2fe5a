// Shared set-up of the display suites: every test starts from a stopped
// display with the platform's test hooks at their defaults.
#ifndef BV_TESTS_DISPLAY_FIXTURE_H
#define BV_TESTS_DISPLAY_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "brivondel.h"
#include "library_state.h"
#include "platform/platform.h"
#include "state.h"

class DisplayTest : public testing::Test {
protected:
    void SetUp() override { bvtest::reset_library(); }
    void TearDown() override { bvtest::reset_library(); }

    // Starts a full-screen flipping display and selects page 0.
    static void start_page(int32_t width, int32_t height, int32_t depth) {
        bv_config_display(width, height, depth, BV_DISPLAY_FLIP);
        ASSERT_EQ(bv_start_display(), 0);
        ASSERT_EQ(bv_select_page(0), 0);
    }

    // The bytes of pixel (x, y) of the locked page.
    static const uint8_t *pixel_at(int32_t x, int32_t y) {
        return bv_target.base + static_cast<size_t>(y) * bv_target.pitch + static_cast<size_t>(x) * bv::target_bytes_per_pixel();
    }
};

#endif
