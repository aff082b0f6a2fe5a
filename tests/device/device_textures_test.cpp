// Device textures: the caller's block copied into a texture surface in the
// display's 16-bit layout or as 32-bit values, the device's handle in the
// slot, and every failing step leaving the slot free.
#include <cstring>

#include "device_fixture.h"

namespace {

class DeviceTextures : public DeviceTest {
protected:
    // The surface's bytes, row by row, without the pitch's padding.
    static std::vector<uint8_t> surface_bytes(BvPlatSurface *surface, int32_t row_bytes, int32_t rows) {
        uint8_t *base = nullptr;
        int32_t pitch = 0;
        std::vector<uint8_t> out;
        if (plat::lock_surface(surface, &base, &pitch) != plat::OK) return out;
        for (int32_t y = 0; y < rows; ++y) out.insert(out.end(), base + y * pitch, base + y * pitch + row_bytes);
        plat::unlock_surface(surface);
        return out;
    }
    static std::vector<uint8_t> numbered_block(size_t bytes) {
        std::vector<uint8_t> block(bytes);
        for (size_t i = 0; i < bytes; ++i) block[i] = static_cast<uint8_t>(i * 7 + 3);
        return block;
    }
};

TEST_F(DeviceTextures, SixteenBitTexelsArriveUnchangedInTheDisplaysLayout) {
    for (bool rgb555 : {false, true}) {
        SCOPED_TRACE(rgb555);
        plat::set_rgb16_layout(rgb555);
        ASSERT_GT(start(64, 48, 16, FLAGS_ANY_DEVICE_Z), 0);
        ASSERT_EQ(bv_alloc_textures(6), 0);
        const std::vector<uint8_t> block = numbered_block(64 * 64 * 2);
        ASSERT_EQ(bv_define_texture(block.data(), 64, 64), 0);
        const TextureEntry &slot = bv_textures.texture_table[0];
        EXPECT_NE(slot.texels, 0u);
        ASSERT_NE(slot.surface, nullptr);
        EXPECT_EQ(slot.width, 64);
        EXPECT_EQ(slot.height, 64);
        plat::PixelFormat f{};
        ASSERT_EQ(plat::pixel_format(slot.surface, &f), plat::OK);
        EXPECT_EQ(f.bits_per_pixel, 16);
        EXPECT_EQ(f.green_mask, rgb555 ? 0x03E0u : 0x07E0u);
        EXPECT_EQ(f.red_mask, rgb555 ? 0x7C00u : 0xF800u);
        EXPECT_EQ(surface_bytes(slot.surface, 128, 64), block);
        bv_free_texture(-1);
        bv_stop_display();
        plat::set_rgb16_layout(false);
    }
}

TEST_F(DeviceTextures, OtherDepthsGetThirtyTwoBitTexelsWithAZeroTopByte) {
    for (int32_t depth : {24, 32}) {
        SCOPED_TRACE(depth);
        ASSERT_GT(start(64, 48, depth, FLAGS_ANY_DEVICE_Z), 0);
        ASSERT_EQ(bv_alloc_textures(6), 0);
        // 64 x 64 texels of 3 bytes: 12288 source bytes.
        const std::vector<uint8_t> block = numbered_block(12288);
        ASSERT_EQ(bv_define_texture(block.data(), 64, 64), 0);
        const TextureEntry &slot = bv_textures.texture_table[0];
        plat::PixelFormat f{};
        ASSERT_EQ(plat::pixel_format(slot.surface, &f), plat::OK);
        EXPECT_EQ(f.bits_per_pixel, 32);
        EXPECT_EQ(f.red_mask, 0xFF0000u);
        EXPECT_EQ(f.green_mask, 0xFF00u);
        EXPECT_EQ(f.blue_mask, 0xFFu);
        const std::vector<uint8_t> got = surface_bytes(slot.surface, 256, 64);
        ASSERT_EQ(got.size(), 16384u);
        for (size_t t = 0; t < 4096; ++t) {
            const uint8_t want[4] = {block[3 * t], block[3 * t + 1], block[3 * t + 2], 0};
            ASSERT_EQ(std::memcmp(&got[4 * t], want, 4), 0) << "texel " << t;
        }
        bv_free_texture(-1);
        bv_stop_display();
    }
}

TEST_F(DeviceTextures, AFailedLockReleasesTheSurfaceAndLeavesTheSlotFree) {
    ASSERT_GT(start(64, 48, 16, FLAGS_ANY_DEVICE_Z), 0);
    ASSERT_EQ(bv_alloc_textures(2), 0);
    const std::vector<uint8_t> block = numbered_block(8 * 8 * 2);
    plat::test::fail_locks(1);
    EXPECT_EQ(bv_define_texture(block.data(), 8, 8), -2);
    EXPECT_EQ(bv_textures.texture_table[0].texels, 0u);
    EXPECT_EQ(bv_textures.texture_table[0].surface, nullptr);
    EXPECT_NE(bv_display.result, 0);
    EXPECT_EQ(bv_define_texture(block.data(), 8, 8), 0);
}

TEST_F(DeviceTextures, AFailedHandleReleasesTheSurfaceAndLeavesTheSlotFree) {
    ASSERT_GT(start(64, 48, 16, FLAGS_ANY_DEVICE_Z), 0);
    ASSERT_EQ(bv_alloc_textures(2), 0);
    const std::vector<uint8_t> block = numbered_block(8 * 8 * 2);
    plat::test::fail_texture_handles(1);
    EXPECT_EQ(bv_define_texture(block.data(), 8, 8), -2);
    EXPECT_EQ(bv_textures.texture_table[0].texels, 0u);
    EXPECT_EQ(bv_textures.texture_table[0].surface, nullptr);
    EXPECT_EQ(bv_define_texture(block.data(), 8, 8), 0);
    EXPECT_EQ(bv_define_texture(block.data(), 8, 8), 1);
    EXPECT_EQ(bv_define_texture(block.data(), 8, 8), -1);
}

TEST_F(DeviceTextures, SizesThatAreNotPositiveOrTooLargeFail) {
    ASSERT_GT(start(64, 48, 16, FLAGS_ANY_DEVICE_Z), 0);
    ASSERT_EQ(bv_alloc_textures(2), 0);
    const std::vector<uint8_t> block = numbered_block(64);
    for (auto [w, h] : {std::pair{0, 4}, {4, 0}, {-4, 4}, {4, -1}, {1 << 20, 1}}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        EXPECT_EQ(bv_define_texture(block.data(), w, h), -2);
        EXPECT_EQ(bv_textures.texture_table[0].texels, 0u);
        EXPECT_EQ(bv_textures.texture_table[0].surface, nullptr);
    }
}

TEST_F(DeviceTextures, FreeingReleasesTheSurfaceAndForgetsTheCurrentTexture) {
    ASSERT_GT(start(64, 48, 16, FLAGS_ANY_DEVICE_Z), 0);
    ASSERT_EQ(bv_alloc_textures(2), 0);
    const std::vector<uint8_t> block = numbered_block(8 * 8 * 2);
    ASSERT_EQ(bv_define_texture(block.data(), 8, 8), 0);
    ASSERT_EQ(bv_define_texture(block.data(), 8, 8), 1);
    EXPECT_NE(bv_textures.texture_table[0].texels, bv_textures.texture_table[1].texels);
    bv_select_texture(1);
    bv_free_texture(1);
    EXPECT_EQ(bv_textures.texture_table[1].texels, 0u);
    EXPECT_EQ(bv_textures.texture_table[1].surface, nullptr);
    EXPECT_EQ(bv_textures.current_texels, 0u);
    // The freed slot is reused.
    EXPECT_EQ(bv_define_texture(block.data(), 8, 8), 1);
}

TEST_F(DeviceTextures, StoppingTheDisplayForgetsADeviceTextureStillCurrent) {
    ASSERT_GT(start(64, 48, 16, FLAGS_ANY_DEVICE_Z), 0);
    ASSERT_EQ(bv_alloc_textures(2), 0);
    const std::vector<uint8_t> block = numbered_block(8 * 8 * 2);
    ASSERT_EQ(bv_define_texture(block.data(), 8, 8), 0);
    bv_select_texture(0);
    bv_stop_display();
    EXPECT_EQ(bv_textures.current_texels, 0u);
    // The software paths never take the handle for an address.
    ASSERT_EQ(start(64, 48, 16, FLAGS_NO_DEVICE_Z), 0);
    const ScreenPoint pts[4] = {{0, 0}, {8, 0}, {8, 8}, {0, 8}};
    const TexCoord tex[4] = {{0, 0}, {7, 0}, {7, 7}, {0, 7}};
    EXPECT_EQ(bv::raster_affine(pts, tex, 4), 0);
}

}  // namespace
