// What the scan converters do where nothing sound could be drawn, or where
// a careless loop would read or write outside its memory or run for ever:
// too many vertices, missing arrays, unusable depths, texture coordinates
// outside the texture or the 16.16 range, no texture, no depth buffer, a
// failed or held lock, no page, a device in charge, absurdly large
// polygons.
#include <chrono>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "raster_support.h"

namespace {

using rt::Page;
using rt::Poly;

Poly square_at(double z = 100) {
    return {{{10, 10}, {50, 10}, {50, 50}, {10, 50}},
            {{0, 0}, {63, 0}, {63, 63}, {0, 63}},
            {{0, 0, z}, {0, 0, z}, {0, 0, z}, {0, 0, z}}};
}

void draw(ref::Member m, const Poly &p) { rt::call_member(m, p.pts.data(), p.tex.data(), p.cam.data(), p.n()); }

class Sound : public ::testing::TestWithParam<ref::Member> {
protected:
    void SetUp() override {
        ASSERT_TRUE(page.start(64, 64, 16, 6));
        ASSERT_TRUE(page.open_depth());
        page.fill(0xFF);
        texels = rt::patterned_texels(64, 64, 2);
        rt::use_texture(texels, 64, 64, 2);
        before = page.pixels();
    }

    ref::Member member() const { return GetParam(); }
    bool reads_z() const { return member() != ref::Member::Affine; }
    bool has_depth() const { return ref::has_depth(member()); }
    int64_t changed() const { return page.changed_since(before); }

    // Draws p with the library and the model and compares the pages.
    ::testing::AssertionResult matches_model(const Poly &p) {
        ref::Image expected = page.image();
        ref::draw(member(), p.pts.data(), p.tex.data(), p.cam.data(), static_cast<int>(p.n()),
                  ref::Texture{texels.data(), 64, 64, 2}, expected);
        draw(member(), p);
        return page.matches(expected, has_depth());
    }

    Page page;
    std::vector<uint8_t> texels;
    std::vector<uint8_t> before;
};

Poly many_vertices(int n) {
    Poly p;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n;
        p.pts.push_back({static_cast<int32_t>(std::lround(32 + 25 * std::cos(a))),
                         static_cast<int32_t>(std::lround(32 + 25 * std::sin(a)))});
        p.tex.push_back({i % 64, (i * 7) % 64});
        p.cam.push_back({0, 0, 100});
    }
    return p;
}

TEST_P(Sound, MoreVerticesThanThePipelineCanHoldDrawNothing) {
    draw(member(), many_vertices(321));
    EXPECT_EQ(changed(), 0);
    draw(member(), many_vertices(320));
    EXPECT_GT(changed(), 1500);
}

TEST_P(Sound, MissingArraysDrawNothing) {
    const Poly p = square_at();
    rt::call_member(member(), nullptr, p.tex.data(), p.cam.data(), 4);
    rt::call_member(member(), p.pts.data(), nullptr, p.cam.data(), 4);
    rt::call_member(member(), p.pts.data(), p.tex.data(), nullptr, 4);
    EXPECT_EQ(changed(), reads_z() ? 0 : 1600);
    EXPECT_EQ(bv_target.lock_depth, 0);
}

TEST_P(Sound, DepthsThatAreNotFiniteDrawNothing) {
    const double bad[] = {std::nan(""), INFINITY, -INFINITY, 0.0, -0.0, 1e-320};
    for (double z : bad) {
        Poly p = square_at();
        p.cam[2].z = z;
        draw(member(), p);
        EXPECT_EQ(changed(), reads_z() ? 0 : 1600) << "z = " << z;
    }
}

// 1/z must fit the depth's 8.24 form: z above 1/256.
TEST_P(Sound, DepthsTooNearForTheDepthFormatDrawNothingWithDepth) {
    Poly p = square_at();
    p.cam[1].z = 1.0 / 256;
    draw(member(), p);
    EXPECT_EQ(changed(), has_depth() ? 0 : 1600);
    p.cam[1].z = 1.0 / 255;
    EXPECT_TRUE(matches_model(p));
    EXPECT_EQ(changed(), 1600);
}

TEST_P(Sound, NegativeDepthsCountByTheirSize) {
    Poly p = square_at();
    p.cam[0].z = -40;
    p.cam[3].z = -300;
    EXPECT_TRUE(matches_model(p));
    EXPECT_EQ(changed(), 1600);
}

TEST_P(Sound, TextureCoordinatesBeyondSixteenBitsDrawNothing) {
    for (TexCoord t : {TexCoord{32768, 0}, TexCoord{0, -32769}, TexCoord{INT32_MAX, 0}, TexCoord{0, INT32_MIN}}) {
        Poly p = square_at();
        p.tex[2] = t;
        draw(member(), p);
        EXPECT_EQ(changed(), 0);
    }
}

// Samples outside the texture are held to its edge, whatever the side.
TEST_P(Sound, TextureCoordinatesOutsideTheTextureAreHeldToItsEdge) {
    Poly p = square_at();
    p.tex = {{-20, -5}, {90, 0}, {80, 70}, {-3, 64}};
    p.cam = {{0, 0, 50}, {0, 0, 90}, {0, 0, 200}, {0, 0, 70}};
    EXPECT_TRUE(matches_model(p));
    EXPECT_EQ(changed(), 1600);
    bv_zbuffer_frame();
    p.tex = {{-32768, 32767}, {32767, 32767}, {32767, -32768}, {-32768, -32768}};
    EXPECT_TRUE(matches_model(p));
    EXPECT_EQ(changed(), 1600);
}

TEST_P(Sound, NoUsableTextureDrawsNothing) {
    const Poly p = square_at();
    rt::clear_texture();
    draw(member(), p);
    rt::use_texture(texels, 0, 64, 2);
    draw(member(), p);
    rt::use_texture(texels, 64, -1, 2);
    draw(member(), p);
    rt::use_texture(texels, 64, 64, 3);  // defined on a page of another pixel size
    draw(member(), p);
    EXPECT_EQ(changed(), 0);
    rt::use_texture(texels, 64, 64, 2);
    draw(member(), p);
    EXPECT_EQ(changed(), 1600);
}

TEST_P(Sound, WithoutADepthBufferTheDepthMembersDrawNothing) {
    const Poly p = square_at();
    const uint32_t capacity = bv_target.zbuffer_capacity;
    bv_target.zbuffer_capacity = 64 * 64 - 1;
    draw(member(), p);
    EXPECT_EQ(changed(), has_depth() ? 0 : 1600);
    bv_target.zbuffer_capacity = capacity;
    uint32_t *const zbuffer = bv_target.zbuffer;
    bv_target.zbuffer = nullptr;
    bv_zbuffer_frame();
    const std::vector<uint8_t> other = rt::patterned_texels(64, 64, 2, 9);
    rt::use_texture(other, 64, 64, 2);
    const std::vector<uint8_t> drawn_once = page.pixels();
    draw(member(), p);
    EXPECT_EQ(page.changed_since(drawn_once), has_depth() ? 0 : 1600);
    bv_target.zbuffer = zbuffer;
}

TEST_P(Sound, AFailedLockDrawsNothingAndStaysBalanced) {
    plat::test::fail_locks(1);
    draw(member(), square_at());
    EXPECT_EQ(bv_target.lock_depth, 0);
    EXPECT_EQ(changed(), 0);
    draw(member(), square_at());
    EXPECT_EQ(changed(), 1600);
}

TEST_P(Sound, AHeldLockIsDrawnThroughAndKept) {
    bv::lock_target();
    draw(member(), square_at());
    EXPECT_EQ(bv_target.lock_depth, 1);
    bv::unlock_target();
    EXPECT_EQ(bv_target.lock_depth, 0);
    EXPECT_EQ(changed(), 1600);
}

TEST_P(Sound, NoPageDrawsNothing) {
    bv_deselect_page();
    draw(member(), square_at());
    EXPECT_EQ(bv_target.lock_depth, 0);
    ASSERT_EQ(bv_select_page(0), 0);
    EXPECT_EQ(changed(), 0);
}

// While a 3D device draws page 0 the polygon goes to the device, never
// through the software loops (whose texture names are not addresses then).
TEST_P(Sound, ADeviceInChargeTakesThePolygonAway) {
    const int32_t kind = bv_display.device_kind;
    bv_display.device_kind = 1;
    draw(member(), square_at());
    bv_display.device_kind = kind;
    EXPECT_EQ(bv_target.lock_depth, 0);
    EXPECT_EQ(changed(), 0);
}

TEST_P(Sound, AnEmptyClipRectangleDrawsNothing) {
    bv_target.clip_min_x = 40;
    bv_target.clip_max_x = 39;
    draw(member(), square_at());
    EXPECT_EQ(changed(), 0);
}

// Other pixel sizes than 16, 24 and 32 bits are drawn as 8-bit.
TEST_P(Sound, AnUnknownPixelSizeDrawsAsEightBits) {
    Page eight;
    page.stop();
    ASSERT_TRUE(eight.start(64, 64, 8));
    ASSERT_TRUE(eight.open_depth());
    eight.fill(0xFF);
    const std::vector<uint8_t> t8 = rt::patterned_texels(64, 64, 1);
    rt::use_texture(t8, 64, 64, 1);
    bv_target.bits_per_pixel = 12;
    ref::Image expected = eight.image();
    const Poly p = square_at();
    ref::draw(member(), p.pts.data(), p.tex.data(), p.cam.data(), 4, ref::Texture{t8.data(), 64, 64, 1}, expected);
    draw(member(), p);
    EXPECT_TRUE(eight.matches(expected, has_depth()));
}

// Rows above the page are walked one by one (up to 2^20 of them) so that
// the rows on the page are exactly those of the polygon drawn whole.
TEST_P(Sound, RowsFarAboveThePageAreWalkedExactly) {
    Poly p;
    p.pts = {{-3000, -200000}, {70, -150000}, {60, 40}, {0, 63}};
    p.tex = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
    p.cam = {{0, 0, 400}, {0, 0, 300}, {0, 0, 50}, {0, 0, 60}};
    EXPECT_TRUE(matches_model(p));
    EXPECT_GT(changed(), 1000);
}

// Coordinates anywhere in the 32-bit range: no loop runs over the rows or
// columns off the page, and nothing overflows.
TEST_P(Sound, PolygonsFarLargerThanThePageFinishQuickly) {
    const auto started = std::chrono::steady_clock::now();
    Poly p;
    p.pts = {{-1000000000, -1000000000}, {1000000000, -1000000000}, {1000000000, 1000000000},
             {-1000000000, 1000000000}};
    p.tex = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
    p.cam = {{0, 0, 50}, {0, 0, 50}, {0, 0, 50}, {0, 0, 50}};
    draw(member(), p);
    EXPECT_EQ(changed(), 64 * 64);

    const int32_t big = std::numeric_limits<int32_t>::max(), small = std::numeric_limits<int32_t>::min();
    bv_zbuffer_frame();
    p.pts = {{small, small}, {big, small + 7}, {big - 3, big}, {small + 11, big - 1}};
    p.cam = {{0, 0, 40}, {0, 0, 4000}, {0, 0, 1e9}, {0, 0, 41}};
    draw(member(), p);
    p.pts = {{big, small}, {big, big}, {small, big}};
    draw(member(), p);
    bv_target.origin_x = big;
    bv_target.origin_y = small;
    draw(member(), p);
    bv_target.origin_x = small;
    bv_target.origin_y = big;
    draw(member(), p);
    p.pts = {{0, small}, {5, big}, {-5, big}};
    draw(member(), p);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_LT(seconds, 5.0);
}

// 1/z falling from 1 to 1e-300 across a row: the run ends divide by values
// near 0, which must neither trap nor read outside the texture.
TEST_P(Sound, ExtremeDepthRatiosStayInsideTheTexture) {
    Poly p = square_at();
    p.cam = {{0, 0, 1.5}, {0, 0, 1e300}, {0, 0, 1e300}, {0, 0, 1.5}};
    draw(member(), p);
    p.cam = {{0, 0, 1e300}, {0, 0, 2}, {0, 0, 1e-100}, {0, 0, 1e300}};
    draw(member(), p);
    EXPECT_EQ(bv_target.lock_depth, 0);
}

INSTANTIATE_TEST_SUITE_P(AllMembers, Sound, ::testing::ValuesIn(rt::ALL_MEMBERS),
                         [](const auto &info) { return std::string(rt::member_name(info.param)); });

}  // namespace
