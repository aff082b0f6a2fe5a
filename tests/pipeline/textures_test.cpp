// The texture table in memory form: handles, reuse of freed slots, the
// current texture, and the table's replacement and release.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "brivondel.h"
#include "platform/platform.h"
#include "state.h"

namespace {

class Textures : public testing::Test {
protected:
    void SetUp() override {
        saved_kind_ = bv_display.device_kind;
        saved_page_ = bv_target.page;
        saved_bpp_ = bv_target.bits_per_pixel;
        bv_display.device_kind = 0;
        bv_target.page = -1;
        bv::release_texture_table();
        bv_textures = TextureState{};
        for (auto &b : blocks_) b.assign(64 * 64 * 2, 0);
    }
    void TearDown() override {
        bv::release_texture_table();
        bv_textures = TextureState{};
        bv_display.device_kind = saved_kind_;
        bv_target.page = saved_page_;
        bv_target.bits_per_pixel = saved_bpp_;
    }

    const void *block(int i) const { return blocks_[i].data(); }
    uintptr_t address(int i) const { return reinterpret_cast<uintptr_t>(blocks_[i].data()); }

    std::vector<uint8_t> blocks_[8];
    int32_t saved_kind_ = 0, saved_page_ = -1, saved_bpp_ = 0;
};

}  // namespace

TEST_F(Textures, SixSlotsThenNoneFree) {
    ASSERT_EQ(0, bv_alloc_textures(6));
    EXPECT_EQ(6, bv_textures.texture_count);
    ASSERT_NE(nullptr, bv_textures.texture_table);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(i, bv_define_texture(block(i), 64, 64));
    EXPECT_EQ(-1, bv_define_texture(block(6), 64, 64));
    for (int i = 0; i < 6; ++i) {
        const TextureEntry &e = bv_textures.texture_table[i];
        EXPECT_EQ(address(i), e.texels);
        EXPECT_EQ(nullptr, e.surface);
        EXPECT_EQ(64, e.width);
        EXPECT_EQ(64, e.height);
    }
}

TEST_F(Textures, AFreedSlotIsReusedFirst) {
    ASSERT_EQ(0, bv_alloc_textures(6));
    for (int i = 0; i < 6; ++i) bv_define_texture(block(i), 64, 64);
    EXPECT_EQ(0, bv_free_texture(2));
    EXPECT_EQ(0u, bv_textures.texture_table[2].texels);
    EXPECT_EQ(64, bv_textures.texture_table[2].width);  // size stays
    EXPECT_EQ(2, bv_define_texture(block(6), 32, 16));
    EXPECT_EQ(address(6), bv_textures.texture_table[2].texels);
    EXPECT_EQ(32, bv_textures.texture_table[2].width);
    EXPECT_EQ(16, bv_textures.texture_table[2].height);
}

TEST_F(Textures, FreeingAllThenDefiningGivesZero) {
    ASSERT_EQ(0, bv_alloc_textures(6));
    for (int i = 0; i < 6; ++i) bv_define_texture(block(i), 64, 64);
    EXPECT_EQ(0, bv_free_texture(-1));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(0u, bv_textures.texture_table[i].texels);
    EXPECT_EQ(0, bv_define_texture(block(7), 8, 8));
    // Any negative handle frees everything.
    bv_define_texture(block(1), 8, 8);
    EXPECT_EQ(0, bv_free_texture(INT32_MIN));
    EXPECT_EQ(0u, bv_textures.texture_table[0].texels);
    EXPECT_EQ(0u, bv_textures.texture_table[1].texels);
}

TEST_F(Textures, FreeingPastTheTableDoesNothing) {
    ASSERT_EQ(0, bv_alloc_textures(2));
    bv_define_texture(block(0), 4, 4);
    bv_define_texture(block(1), 4, 4);
    EXPECT_EQ(0, bv_free_texture(2));
    EXPECT_EQ(0, bv_free_texture(INT32_MAX));
    EXPECT_EQ(address(0), bv_textures.texture_table[0].texels);
    EXPECT_EQ(address(1), bv_textures.texture_table[1].texels);
}

TEST_F(Textures, SelectCopiesTheSlotIntoTheCurrentTexture) {
    EXPECT_EQ(0u, bv_textures.current_texels);  // all zero until selected
    ASSERT_EQ(0, bv_alloc_textures(6));
    bv_define_texture(block(0), 64, 32);
    bv_define_texture(block(1), 16, 8);
    EXPECT_EQ(0, bv_select_texture(1));
    EXPECT_EQ(address(1), bv_textures.current_texels);
    EXPECT_EQ(16, bv_textures.current_width);
    EXPECT_EQ(8, bv_textures.current_height);
    EXPECT_EQ(0, bv_select_texture(0));
    EXPECT_EQ(address(0), bv_textures.current_texels);
    EXPECT_EQ(64, bv_textures.current_width);
    EXPECT_EQ(32, bv_textures.current_height);
}

TEST_F(Textures, SelectingAFreedOrInvalidHandleKeepsThePrevious) {
    ASSERT_EQ(0, bv_alloc_textures(6));
    bv_define_texture(block(0), 64, 64);
    bv_define_texture(block(1), 16, 16);
    bv_select_texture(0);
    bv_free_texture(1);
    const int32_t handles[] = {1, 2, 5, 6, -1, INT32_MIN, INT32_MAX};
    for (int32_t h : handles) {
        EXPECT_EQ(0, bv_select_texture(h)) << h;
        EXPECT_EQ(address(0), bv_textures.current_texels) << h;
        EXPECT_EQ(64, bv_textures.current_width) << h;
    }
    // Freeing the current slot leaves it current (a memory texture's block
    // belongs to the caller and is still there).
    bv_free_texture(0);
    EXPECT_EQ(address(0), bv_textures.current_texels);
}

TEST_F(Textures, AllocRejectsCountsThatAreNotPositiveOrTooLarge) {
    ASSERT_EQ(0, bv_alloc_textures(3));
    TextureEntry *table = bv_textures.texture_table;
    bv_define_texture(block(0), 4, 4);
    const int32_t counts[] = {0, -1, INT32_MIN, INT32_MAX, 134217728};  // the last: 2^32 bytes
    for (int32_t c : counts) {
        EXPECT_EQ(-1, bv_alloc_textures(c)) << c;
        EXPECT_EQ(table, bv_textures.texture_table) << c;
        EXPECT_EQ(3, bv_textures.texture_count) << c;
        EXPECT_EQ(address(0), bv_textures.texture_table[0].texels) << c;
    }
}

TEST_F(Textures, ANewTableStartsEmptyAndKeepsTheCurrentTexture) {
    ASSERT_EQ(0, bv_alloc_textures(2));
    bv_define_texture(block(0), 4, 4);
    bv_define_texture(block(1), 4, 4);
    bv_select_texture(1);
    ASSERT_EQ(0, bv_alloc_textures(4));
    EXPECT_EQ(4, bv_textures.texture_count);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(0u, bv_textures.texture_table[i].texels);
    EXPECT_EQ(address(1), bv_textures.current_texels);
    EXPECT_EQ(0, bv_define_texture(block(2), 4, 4));
}

TEST_F(Textures, WithoutATableNothingHappens) {
    EXPECT_EQ(-1, bv_define_texture(block(0), 4, 4));
    EXPECT_EQ(0, bv_select_texture(0));
    EXPECT_EQ(0, bv_free_texture(0));
    EXPECT_EQ(0, bv_free_texture(-1));
    EXPECT_EQ(0u, bv_textures.current_texels);
}

TEST_F(Textures, AfterTheTableIsReleasedItReadsAsEmpty) {
    ASSERT_EQ(0, bv_alloc_textures(6));
    bv_define_texture(block(0), 4, 4);
    bv::release_texture_table();  // what display shutdown does
    EXPECT_EQ(-1, bv_define_texture(block(1), 4, 4));
    EXPECT_EQ(0, bv_select_texture(0));
    EXPECT_EQ(0u, bv_textures.current_texels);
    EXPECT_EQ(0, bv_free_texture(-1));
    EXPECT_EQ(0, bv_free_texture(0));
    ASSERT_EQ(0, bv_alloc_textures(1));
    EXPECT_EQ(0, bv_define_texture(block(1), 4, 4));
}

TEST_F(Textures, ANullBlockIsRefused) {
    ASSERT_EQ(0, bv_alloc_textures(2));
    EXPECT_EQ(-1, bv_define_texture(nullptr, 4, 4));
    EXPECT_EQ(0, bv_define_texture(block(0), 4, 4));  // slot 0 was not taken
}

TEST_F(Textures, RecordsTheBytesPerTexelOfTheCurrentPage) {
    ASSERT_EQ(0, bv_alloc_textures(6));
    // No page selected: no texel layout, never drawn by the software path.
    ASSERT_EQ(0, bv_define_texture(block(0), 4, 4));
    EXPECT_EQ(0, bv_textures.texture_table[0].texel_bytes);
    const struct {
        int32_t bpp, bytes;
    } cases[] = {{8, 1}, {16, 2}, {24, 3}, {32, 3}};
    bv_target.page = 0;
    for (const auto &k : cases) {
        bv_target.bits_per_pixel = k.bpp;
        const int32_t h = bv_define_texture(block(1), 4, 4);
        ASSERT_GE(h, 0);
        EXPECT_EQ(k.bytes, bv_textures.texture_table[h].texel_bytes) << k.bpp;
        bv_select_texture(h);
        EXPECT_EQ(k.bytes, bv_textures.current_texel_bytes) << k.bpp;
    }
}

TEST_F(Textures, AFailedDeviceTextureLeavesTheSlotFree) {
    // A device kind without a working device: the device form fails.
    ASSERT_EQ(0, bv_alloc_textures(2));
    bv_display.device_kind = 1;
    EXPECT_EQ(-2, bv_define_texture(block(0), 4, 4));
    EXPECT_EQ(0u, bv_textures.texture_table[0].texels);
    EXPECT_EQ(nullptr, bv_textures.texture_table[0].surface);
    bv_display.device_kind = 0;
    EXPECT_EQ(0, bv_define_texture(block(1), 4, 4));
}

namespace {

class TexturesOnPages : public testing::Test {
protected:
    void TearDown() override {
        bv_free_texture(-1);
        bv_stop_display();
        plat::test::reset();
        bv_textures = TextureState{};
    }
    void start_page(int32_t depth) {
        plat::test::reset();
        ASSERT_EQ(0, bv_config_display(64, 48, depth, 1));
        ASSERT_GE(bv_start_display(), 0);
        ASSERT_EQ(0, bv_select_page(0));
    }
    std::vector<uint8_t> block_ = std::vector<uint8_t>(64 * 64 * 3);
};

}  // namespace

TEST_F(TexturesOnPages, EachPageDepthGivesItsBytesPerTexel) {
    const struct {
        int32_t depth, bytes;
    } cases[] = {{8, 1}, {16, 2}, {24, 3}, {32, 3}};
    for (const auto &k : cases) {
        SCOPED_TRACE(k.depth);
        start_page(k.depth);
        ASSERT_EQ(0, bv_display.device_kind);
        ASSERT_EQ(0, bv_alloc_textures(6));
        const int32_t h = bv_define_texture(block_.data(), 64, 64);
        ASSERT_EQ(0, h);
        EXPECT_EQ(k.bytes, bv_textures.texture_table[h].texel_bytes);
        bv_select_texture(h);
        EXPECT_EQ(k.bytes, bv_textures.current_texel_bytes);
        bv_stop_display();
    }
}

TEST_F(TexturesOnPages, StoppingTheDisplayLeavesAnEmptyTable) {
    start_page(16);
    ASSERT_EQ(0, bv_alloc_textures(6));
    ASSERT_EQ(0, bv_define_texture(block_.data(), 64, 64));
    bv_stop_display();
    // The table's memory went back: nothing reaches it any more.
    EXPECT_EQ(-1, bv_define_texture(block_.data(), 64, 64));
    EXPECT_EQ(0, bv_select_texture(0));
    EXPECT_EQ(0, bv_free_texture(-1));
    EXPECT_EQ(0, bv_free_texture(0));
    // A new table after a new start works as before.
    start_page(16);
    ASSERT_EQ(0, bv_alloc_textures(2));
    EXPECT_EQ(0, bv_define_texture(block_.data(), 64, 64));
}
