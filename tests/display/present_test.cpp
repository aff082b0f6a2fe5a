// What a flip shows: the page converted to 0x00RRGGBB (every 16-bit value
// in both layouts, 24- and 32-bit bytes, 8-bit pages through the display
// palette), then scaled into the window with its aspect kept, each window
// pixel showing the page pixel nearest to its centre, black bars around.
#include <cmath>
#include <cstring>
#include <string>
#include <utility>

#include "display_fixture.h"

namespace {

class Presenting : public DisplayTest {
protected:
    // The page's pixels through the lock, one call per pixel.
    template <class Put>
    static void paint(Put put) {
        bv::lock_target();
        ASSERT_TRUE(bv::target_drawable());
        for (int32_t y = 0; y < bv_target.height; ++y)
            for (int32_t x = 0; x < bv_target.width; ++x)
                put(bv_target.base + static_cast<size_t>(y) * bv_target.pitch +
                        static_cast<size_t>(x) * bv::target_bytes_per_pixel(),
                    x, y);
        bv::unlock_target();
    }

    static std::vector<uint32_t> flip_and_read(int32_t width, int32_t height) {
        EXPECT_EQ(bv_flip(), 0);
        std::vector<uint32_t> shown(static_cast<size_t>(width) * height);
        EXPECT_TRUE(plat::test::last_presented(shown.data(), width, height));
        return shown;
    }
};

// Bit replication by hand: a 5-bit channel c shows as 8c + c/4 (floor),
// a 6-bit one as 4c + c/16.
uint32_t five(uint32_t c) { return c * 8 + c / 4; }
uint32_t six(uint32_t c) { return c * 4 + c / 16; }

TEST_F(Presenting, EverySixteenBitValueWidensByBitReplication) {
    for (const bool rgb555 : {false, true}) {
        plat::set_rgb16_layout(rgb555);
        start_page(256, 256, 16);
        paint([](uint8_t *p, int32_t x, int32_t y) {
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
        });
        const std::vector<uint32_t> shown = flip_and_read(256, 256);
        int mismatches = 0;
        for (uint32_t v = 0; v < 65536; ++v) {
            const uint32_t r = rgb555 ? five((v / 1024) % 32) : five(v / 2048);
            const uint32_t g = rgb555 ? five((v / 32) % 32) : six((v / 32) % 64);
            const uint32_t b = five(v % 32);
            const uint32_t expected = r * 65536 + g * 256 + b;
            if (shown[v] != expected && ++mismatches <= 5)
                ADD_FAILURE() << (rgb555 ? "555" : "565") << " value " << v << " shows " << std::hex << shown[v]
                              << ", not " << expected;
        }
        EXPECT_EQ(mismatches, 0);
        bv_stop_display();
    }
}

TEST_F(Presenting, DeepPagesShowTheirBlueGreenRedBytes) {
    for (const int32_t depth : {24, 32}) {
        start_page(37, 3, depth);  // an odd width: no whole number of vector steps
        paint([](uint8_t *p, int32_t x, int32_t y) {
            p[0] = static_cast<uint8_t>(x * 7);
            p[1] = static_cast<uint8_t>(y * 90 + 1);
            p[2] = static_cast<uint8_t>(255 - x);
            if (bv_target.bits_per_pixel == 32) p[3] = 0xAB;  // never shown
        });
        const std::vector<uint32_t> shown = flip_and_read(37, 3);
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 37; ++x)
                ASSERT_EQ(shown[y * 37 + x], (255u - x) * 65536 + ((y * 90 + 1) & 255) * 256 + ((x * 7) & 255))
                    << depth << " bits at " << x << "," << y;
        bv_stop_display();
    }
}

TEST_F(Presenting, EightBitPagesShowThroughTheDisplayPalette) {
    start_page(16, 16, 8);
    PaletteEntry entries[256];
    for (int i = 0; i < 256; ++i) entries[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 77, 0};
    ASSERT_NE(bv_display.palette, nullptr);
    ASSERT_EQ(plat::set_display_palette_entries(bv_display.palette, 0, 256, entries), 0);
    bv_attach_palette();
    paint([](uint8_t *p, int32_t x, int32_t y) { p[0] = static_cast<uint8_t>(y * 16 + x); });
    const std::vector<uint32_t> shown = flip_and_read(16, 16);
    for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(shown[i], i * 65536 + (255 - i) * 256 + 77) << i;
}

// Window pixel (x, y) of a picture placed at (left, top), w x h, shows
// the picture pixel whose cell holds the window pixel's centre.
void expect_scaled(const std::vector<uint32_t> &window, int32_t window_w, int32_t window_h,
                   const std::vector<uint32_t> &picture, int32_t picture_w, int32_t picture_h) {
    const double scale = std::fmin(static_cast<double>(window_w) / picture_w, static_cast<double>(window_h) / picture_h);
    const int32_t w = static_cast<int32_t>(std::floor(picture_w * scale + 1e-9));
    const int32_t h = static_cast<int32_t>(std::floor(picture_h * scale + 1e-9));
    const int32_t left = (window_w - w) / 2, top = (window_h - h) / 2;
    int mismatches = 0;
    for (int32_t y = 0; y < window_h; ++y) {
        for (int32_t x = 0; x < window_w; ++x) {
            uint32_t expected = 0;
            if (x >= left && x < left + w && y >= top && y < top + h) {
                const auto px = static_cast<int32_t>(std::floor((x - left + 0.5) * picture_w / w));
                const auto py = static_cast<int32_t>(std::floor((y - top + 0.5) * picture_h / h));
                expected = picture[static_cast<size_t>(py) * picture_w + px];
            }
            const uint32_t got = window[static_cast<size_t>(y) * window_w + x] & 0xFFFFFFu;
            if (got != expected && ++mismatches <= 5)
                ADD_FAILURE() << "window pixel " << x << "," << y << " shows " << std::hex << got << ", not " << expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

void check_window_shows_picture(int32_t picture_w, int32_t picture_h, const std::vector<uint32_t> &picture) {
    int32_t window_w = 0, window_h = 0;
    ASSERT_TRUE(plat::test::window_size(&window_w, &window_h));
    std::vector<uint32_t> window(static_cast<size_t>(window_w) * window_h);
    ASSERT_TRUE(plat::test::window_picture(window.data(), window_w, window_h));
    expect_scaled(window, window_w, window_h, picture, picture_w, picture_h);
}

TEST_F(Presenting, TheWindowShowsThePageScaledNearestPixelWithItsAspectKept) {
    for (const auto &size : {std::pair{640, 480}, std::pair{640, 400}, std::pair{320, 200}, std::pair{123, 77},
                             std::pair{1000, 200}}) {
        const auto [w, h] = size;
        start_page(w, h, 32);
        // Neighbours always differ, so a pixel off by one shows.
        paint([](uint8_t *p, int32_t x, int32_t y) {
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>((x + y) * 3 + 1);
            p[3] = 0;
        });
        const std::vector<uint32_t> picture = flip_and_read(w, h);
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        check_window_shows_picture(w, h, picture);
        bv_stop_display();
    }
}

// One window of the test's own, kept across two displays: the second
// page's bars cover what the first page showed there.
TEST_F(Presenting, BarsTurnBlackWhereAnEarlierPageWasShown) {
    plat::WindowSpec spec{"present test", "present_test", 640, 480, true};
    BvPlatWindow *window = plat::create_window(spec);
    ASSERT_NE(window, nullptr);
    plat::show_window(window);
    start_page(200, 400, 32);
    paint([](uint8_t *p, int32_t, int32_t) { std::memset(p, 0xFF, 4); });
    flip_and_read(200, 400);
    bv_stop_display();
    start_page(400, 100, 32);
    paint([](uint8_t *p, int32_t x, int32_t) {
        p[0] = static_cast<uint8_t>(x);
        p[1] = 9;
        p[2] = 200;
        p[3] = 0;
    });
    const std::vector<uint32_t> picture = flip_and_read(400, 100);
    check_window_shows_picture(400, 100, picture);
    bv_stop_display();
    plat::destroy_window(window);
}

}  // namespace
