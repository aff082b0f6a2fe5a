// Page 0 and the device share one picture: colour fill and flip go through
// the device, a lock sees what the device drew, and what is written through
// a lock is what the device shows afterwards. Also the device's own drawing:
// nearest texels, culling by screen winding, the depth test and its
// z-buffer forms, the scene bracket, lost and locked pages.
#include <algorithm>
#include <cstring>

#include "device_fixture.h"

namespace {

using plat::test::CallKind;

// What the screen shows for a page pixel, written from the pixel formats'
// definitions: 16-bit channels widened by repeating their top bits.
uint32_t shown(uint32_t pixel, int32_t depth, bool rgb555) {
    auto widen5 = [](uint32_t c) { return (c << 3) | (c >> 2); };
    auto widen6 = [](uint32_t c) { return (c << 2) | (c >> 4); };
    if (depth == 16 && rgb555) {
        return widen5((pixel >> 10) & 31) << 16 | widen5((pixel >> 5) & 31) << 8 | widen5(pixel & 31);
    }
    if (depth == 16) return widen5(pixel >> 11 & 31) << 16 | widen6(pixel >> 5 & 63) << 8 | widen5(pixel & 31);
    return pixel & 0xFFFFFF;
}

class DevicePicture : public DeviceTest {
protected:
    // Pixel (x, y) of the locked current page as a number.
    static uint32_t pixel(int32_t x, int32_t y) {
        const int32_t bytes = bv::target_bytes_per_pixel();
        const uint8_t *p = bv_target.base + static_cast<size_t>(y) * bv_target.pitch + static_cast<size_t>(x) * bytes;
        uint32_t v = 0;
        for (int32_t i = 0; i < bytes; ++i) v |= uint32_t{p[i]} << (8 * i);
        return v;
    }
    static void put_pixel(int32_t x, int32_t y, uint32_t v) {
        const int32_t bytes = bv::target_bytes_per_pixel();
        uint8_t *p = bv_target.base + static_cast<size_t>(y) * bv_target.pitch + static_cast<size_t>(x) * bytes;
        for (int32_t i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
    // The page's pixels, read through the lock.
    static std::vector<uint32_t> page_pixels() {
        std::vector<uint32_t> out;
        bv::lock_target();
        if (bv::target_drawable()) {
            for (int32_t y = 0; y < bv_target.height; ++y) {
                for (int32_t x = 0; x < bv_target.width; ++x) out.push_back(pixel(x, y));
            }
        }
        bv::unlock_target();
        return out;
    }
    // A texture of 16-bit texels given row by row, selected.
    int32_t texture16(const std::vector<uint16_t> &texels, int32_t w, int32_t h) {
        blocks_.emplace_back(texels.size() * 2);
        std::memcpy(blocks_.back().data(), texels.data(), texels.size() * 2);
        const int32_t handle = bv_define_texture(blocks_.back().data(), w, h);
        bv_select_texture(handle);
        return handle;
    }
    // One colour, 2 x 2 texels.
    int32_t plain_texture(uint16_t colour) { return texture16({colour, colour, colour, colour}, 2, 2); }

    std::vector<std::vector<uint8_t>> blocks_;
};

TEST_F(DevicePicture, FillGoesThroughTheDeviceAndTheLockSeesItAtEveryDepth) {
    const struct {
        int32_t depth;
        bool rgb555;
        uint32_t colour;
    } cases[] = {{16, false, 0xA5C3}, {16, true, 0x2B6D}, {24, false, 0x123456}, {32, false, 0xABCDEF}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.depth << (c.rgb555 ? " 555" : ""));
        plat::set_rgb16_layout(c.rgb555);
        ASSERT_GT(start(24, 10, c.depth, FLAGS_ANY_DEVICE_Z), 0);
        bv_set_color(static_cast<int32_t>(c.colour));
        EXPECT_EQ(bv_fill_page(), 0);
        const std::vector<uint32_t> pixels = page_pixels();
        ASSERT_EQ(pixels.size(), 240u);
        for (uint32_t p : pixels) ASSERT_EQ(p, c.colour);
        // The flip presents the device's picture.
        bv_set_color(static_cast<int32_t>(c.colour ^ 0x0421));
        bv_fill_page();
        EXPECT_EQ(bv_flip(), 0);
        std::vector<uint32_t> presented(240);
        ASSERT_TRUE(plat::test::last_presented(presented.data(), 24, 10));
        for (uint32_t p : presented) ASSERT_EQ(p, shown(c.colour ^ 0x0421, c.depth, c.rgb555));
        bv_stop_display();
        plat::set_rgb16_layout(false);
    }
}

TEST_F(DevicePicture, WhatIsWrittenThroughTheLockIsWhatTheDeviceShows) {
    // A padded pitch: rows do not follow each other directly.
    plat::test::pad_pitch(6);
    ASSERT_GT(start(20, 12, 16, FLAGS_ANY_DEVICE_Z), 0);
    ASSERT_GT(bv_target.pitch, 40);
    bv::lock_target();
    ASSERT_TRUE(bv::target_drawable());
    for (int32_t y = 0; y < 12; ++y) {
        for (int32_t x = 0; x < 20; ++x) put_pixel(x, y, static_cast<uint32_t>(x * 2311 + y * 977) & 0xFFFF);
    }
    bv::unlock_target();
    // The device draws over part of it: the rest stays as written.
    ASSERT_EQ(bv_alloc_textures(1), 0);
    plain_texture(0x07E0);
    const ScreenPoint pts[4] = {{4, 2}, {10, 2}, {10, 8}, {4, 8}};
    const TexCoord tex[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    bv::raster_affine(pts, tex, 4);
    EXPECT_EQ(bv_display.result, 0);
    const std::vector<uint32_t> pixels = page_pixels();
    ASSERT_EQ(pixels.size(), 240u);
    for (int32_t y = 0; y < 12; ++y) {
        for (int32_t x = 0; x < 20; ++x) {
            const bool inside = x >= 4 && x < 10 && y >= 2 && y < 8;
            const uint32_t want = inside ? 0x07E0 : static_cast<uint32_t>(x * 2311 + y * 977) & 0xFFFF;
            ASSERT_EQ(pixels[static_cast<size_t>(y * 20 + x)], want) << x << ", " << y;
        }
    }
    EXPECT_EQ(bv_flip(), 0);
    std::vector<uint32_t> presented(240);
    ASSERT_TRUE(plat::test::last_presented(presented.data(), 20, 12));
    for (size_t i = 0; i < 240; ++i) ASSERT_EQ(presented[i], shown(pixels[i], 16, false)) << i;
}

TEST_F(DevicePicture, TheBlockReaderSeesWhatTheDeviceDrew) {
    ASSERT_GT(start(32, 16, 16, FLAGS_ANY_DEVICE_Z), 0);
    bv_set_color(0x1357);
    bv_fill_page();
    uint16_t block[4 * 4] = {};
    bv_move_to(2, 5);
    EXPECT_EQ(bv_get_block(block, 4, 4), 0);
    for (uint16_t texel : block) EXPECT_EQ(texel, 0x1357);
}

TEST_F(DevicePicture, EachPixelTakesTheTexelNearestItsSample) {
    // A 16 x 15 page covered by a 3 x 3 texture. Like the scan converters,
    // pixel (x, y) samples the point half a pixel right of (x, y), at
    // u = 3 (x + 1/2) / 16 and v = 3 y / 15, and takes the nearest texel:
    // column (6x + 19) / 32 and row (2y + 5) / 10, whole-number division,
    // at most 2. No sample falls on a texel border.
    ASSERT_GT(start(16, 15, 16, FLAGS_ANY_DEVICE), 0);
    ASSERT_EQ(bv_alloc_textures(1), 0);
    std::vector<uint16_t> texels(9);
    for (int i = 0; i < 9; ++i) texels[static_cast<size_t>(i)] = static_cast<uint16_t>(0x0841 * (i + 1) + i);
    texture16(texels, 3, 3);
    const ScreenPoint pts[4] = {{0, 0}, {16, 0}, {16, 15}, {0, 15}};
    const TexCoord tex[4] = {{0, 0}, {3, 0}, {3, 3}, {0, 3}};
    bv::raster_affine(pts, tex, 4);
    const std::vector<uint32_t> pixels = page_pixels();
    ASSERT_EQ(pixels.size(), 240u);
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 16; ++x) {
            const int column = std::min((6 * x + 19) / 32, 2), row = std::min((2 * y + 5) / 10, 2);
            ASSERT_EQ(pixels[static_cast<size_t>(y * 16 + x)], texels[static_cast<size_t>(row * 3 + column)])
                << x << ", " << y;
        }
    }
}

TEST_F(DevicePicture, MembersWithoutDepthDrawOnlyClockwisePolygons) {
    ASSERT_GT(start(16, 16, 16, FLAGS_ANY_DEVICE_Z), 0);
    open_depth_buffer();
    bv_set_3d_depth(1.0, 1000.0);
    ASSERT_EQ(bv_alloc_textures(1), 0);
    plain_texture(0xF800);
    const ScreenPoint clockwise[4] = {{2, 2}, {12, 2}, {12, 12}, {2, 12}};
    const ScreenPoint counter[4] = {{2, 2}, {2, 12}, {12, 12}, {12, 2}};
    const TexCoord tex[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const Vertex3 cam[4] = {{0, 0, 50}, {0, 0, 50}, {0, 0, 50}, {0, 0, 50}};
    const struct {
        const char *name;
        int32_t (*draw)(const ScreenPoint *, const TexCoord *, const Vertex3 *, uint32_t);
        bool both_windings;
    } members[] = {
        {"perspective_depth", bv::raster_perspective_depth, true},
        {"perspective", bv::raster_perspective, false},
        {"affine_depth", bv::raster_affine_depth, true},
        {"affine", [](const ScreenPoint *p, const TexCoord *t, const Vertex3 *, uint32_t n) { return bv::raster_affine(p, t, n); },
         false},
    };
    for (const auto &m : members) {
        for (bool cw : {true, false}) {
            SCOPED_TRACE(testing::Message() << m.name << (cw ? " clockwise" : " counter-clockwise"));
            bv_set_color(0xFFFF);
            bv_fill_page();
            bv_zbuffer_frame();
            m.draw(cw ? clockwise : counter, tex, cam, 4);
            const std::vector<uint32_t> pixels = page_pixels();
            const bool drawn = cw || m.both_windings;
            EXPECT_EQ(pixels[7 * 16 + 7], drawn ? 0xF800u : 0xFFFFu);
            EXPECT_EQ(pixels[0], 0xFFFFu);
        }
    }
}

TEST_F(DevicePicture, TheNearerPolygonWinsWhicheverIsDrawnFirst) {
    ASSERT_GT(start(16, 16, 16, FLAGS_ANY_DEVICE_Z), 0);
    open_depth_buffer();
    bv_set_3d_depth(1.0, 1000.0);
    ASSERT_EQ(bv_alloc_textures(2), 0);
    const int32_t near_texture = plain_texture(0x001F);
    const int32_t far_texture = plain_texture(0xF800);
    const ScreenPoint near_pts[4] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    const ScreenPoint far_pts[4] = {{5, 5}, {16, 5}, {16, 16}, {5, 16}};
    const TexCoord tex[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const Vertex3 near_cam[4] = {{0, 0, 100}, {0, 0, 100}, {0, 0, 100}, {0, 0, 100}};
    const Vertex3 far_cam[4] = {{0, 0, 200}, {0, 0, 200}, {0, 0, 200}, {0, 0, 200}};
    auto draw_near = [&] {
        bv_select_texture(near_texture);
        bv::raster_perspective_depth(near_pts, tex, near_cam, 4);
    };
    auto draw_far = [&] {
        bv_select_texture(far_texture);
        bv::raster_perspective_depth(far_pts, tex, far_cam, 4);
    };
    for (bool near_first : {true, false}) {
        SCOPED_TRACE(near_first);
        bv_3d_scene(0);
        EXPECT_EQ(bv_zbuffer_frame(), 0);
        bv_set_color(0);
        bv_fill_page();
        if (near_first) {
            draw_near();
            draw_far();
        } else {
            draw_far();
            draw_near();
        }
        bv_3d_scene(1);
        const std::vector<uint32_t> pixels = page_pixels();
        EXPECT_EQ(pixels[7 * 16 + 7], 0x001Fu);     // the overlap
        EXPECT_EQ(pixels[12 * 16 + 12], 0xF800u);   // the far one alone
        EXPECT_EQ(pixels[2 * 16 + 2], 0x001Fu);
        EXPECT_EQ(pixels[2 * 16 + 12], 0u);
    }
    // A new depth frame forgets the near polygon's depths.
    bv_zbuffer_frame();
    draw_far();
    EXPECT_EQ(page_pixels()[7 * 16 + 7], 0xF800u);
}

TEST_F(DevicePicture, TheZBufferFormsGoThroughTheDevice) {
    ASSERT_GT(start(16, 16, 16, FLAGS_ANY_DEVICE_Z), 0);
    ASSERT_NE(bv_display.zsurface, nullptr);
    zbuffer_ = bv_alloc_zbuffer(640, 480);
    EXPECT_EQ(static_cast<void *>(zbuffer_), static_cast<void *>(bv_display.zsurface));
    plat::test::clear_device_calls();
    EXPECT_EQ(bv_open_zbuffer(zbuffer_), 0);
    EXPECT_EQ(bv_display.zenabled, 1);
    std::vector<plat::test::DeviceCall> calls = device_calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, CallKind::RenderState);
    EXPECT_EQ(calls[0].state, plat::RS_ZENABLE);
    EXPECT_EQ(calls[0].value, 1u);
    EXPECT_EQ(calls[1].state, plat::RS_ZFUNC);
    EXPECT_EQ(calls[1].value, plat::CMP_LESS);
    EXPECT_EQ(calls[2].kind, CallKind::Clear);
    EXPECT_EQ(calls[2].state, plat::CLEAR_ZBUFFER);

    plat::test::clear_device_calls();
    EXPECT_EQ(bv_zbuffer_frame(), 0);
    calls = device_calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, CallKind::Clear);

    // A lost page: the clear's result comes back as it is.
    plat::test::lose_surfaces();
    EXPECT_EQ(bv_zbuffer_frame(), plat::ERR_SURFACE_LOST);
    plat::test::reset();

    plat::test::clear_device_calls();
    EXPECT_EQ(bv_free_zbuffer(nullptr), 0);   // the handle is not looked at
    EXPECT_EQ(bv_display.zsurface, nullptr);
    EXPECT_EQ(bv_display.zenabled, 0);
    EXPECT_EQ(plat::test::device_depth_bits(), 0);
    calls = device_calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].state, plat::RS_ZENABLE);
    EXPECT_EQ(calls[0].value, 0u);
    zbuffer_ = nullptr;
    // Now the depth buffer is a memory block, freed by bv_free_zbuffer.
    bv_zbuffer block = bv_alloc_zbuffer(16, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(bv_open_zbuffer(block), 0);
    EXPECT_EQ(bv_free_zbuffer(block), 0);
    EXPECT_EQ(bv_open_zbuffer(block), -1);
}

TEST_F(DevicePicture, TheSceneBracketReachesTheDeviceOnlyWhilePageZeroIsCurrent) {
    ASSERT_GT(start(16, 16, 16, FLAGS_ANY_DEVICE_Z), 0);
    plat::test::clear_device_calls();
    EXPECT_EQ(bv_3d_scene(2), 0);
    EXPECT_EQ(bv_3d_scene(3), 0);
    std::vector<plat::test::DeviceCall> calls = device_calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, CallKind::BeginScene);
    EXPECT_EQ(calls[1].kind, CallKind::EndScene);
    bv_deselect_page();
    plat::test::clear_device_calls();
    bv_3d_scene(0);
    bv_3d_scene(1);
    EXPECT_EQ(plat::test::device_call_count(), 0);
}

TEST_F(DevicePicture, ALostPageIsRestoredAndTheDeviceDrawsAgain) {
    ASSERT_GT(start(16, 16, 16, FLAGS_ANY_DEVICE_Z), 0);
    ASSERT_EQ(bv_alloc_textures(1), 0);
    plain_texture(0x07E0);
    plat::test::lose_surfaces();
    const ScreenPoint pts[4] = {{0, 0}, {8, 0}, {8, 8}, {0, 8}};
    const TexCoord tex[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    bv::raster_affine(pts, tex, 4);
    EXPECT_EQ(bv_display.result, plat::ERR_SURFACE_LOST);
    // The fill restores the page and repeats.
    bv_set_color(0x001F);
    EXPECT_EQ(bv_fill_page(), 0);
    bv::raster_affine(pts, tex, 4);
    EXPECT_EQ(bv_display.result, 0);
    const std::vector<uint32_t> pixels = page_pixels();
    EXPECT_EQ(pixels[3 * 16 + 3], 0x07E0u);
    EXPECT_EQ(pixels[12 * 16 + 12], 0x001Fu);
    EXPECT_EQ(bv_flip(), 0);
}

TEST_F(DevicePicture, ALockedPageIsNotDrawnIntoBehindTheLock) {
    ASSERT_GT(start(16, 16, 16, FLAGS_ANY_DEVICE_Z), 0);
    ASSERT_EQ(bv_alloc_textures(1), 0);
    plain_texture(0x07E0);
    bv::lock_target();
    ASSERT_TRUE(bv::target_drawable());
    put_pixel(3, 3, 0x1234);
    const ScreenPoint pts[4] = {{0, 0}, {8, 0}, {8, 8}, {0, 8}};
    const TexCoord tex[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    bv::raster_affine(pts, tex, 4);
    EXPECT_EQ(bv_display.result, plat::ERR_SURFACE_BUSY);
    bv::unlock_target();
    EXPECT_EQ(page_pixels()[3 * 16 + 3], 0x1234u);
}

}  // namespace
