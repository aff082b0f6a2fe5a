// Every member at every pixel depth, every pixel and depth entry checked
// against the reference model: fixed polygons (perspective, clipped at
// the page edges, with origin offsets, a padded pitch, a smaller clip
// rectangle, several polygons over one another) and many random convex
// ones.
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "raster_support.h"

namespace {

using rt::Page;

struct Polygon3 {
    std::vector<ScreenPoint> pts;
    std::vector<TexCoord> tex;
    std::vector<Vertex3> cam;
};

Polygon3 quad(ScreenPoint a, ScreenPoint b, ScreenPoint c, ScreenPoint d, TexCoord ta, TexCoord tb, TexCoord tc,
              TexCoord td, double za, double zb, double zc, double zd) {
    return {{a, b, c, d}, {ta, tb, tc, td}, {{0, 0, za}, {0, 0, zb}, {0, 0, zc}, {0, 0, zd}}};
}

Polygon3 reversed(const Polygon3 &p) {
    Polygon3 r = p;
    std::reverse(r.pts.begin(), r.pts.end());
    std::reverse(r.tex.begin(), r.tex.end());
    std::reverse(r.cam.begin(), r.cam.end());
    return r;
}

class MemberAtDepth : public ::testing::TestWithParam<std::tuple<ref::Member, int>> {
protected:
    ref::Member member() const { return std::get<0>(GetParam()); }
    int bits() const { return std::get<1>(GetParam()); }

    // Draws with the library and with the model from the same page state
    // and compares every pixel (and, for the depth members, every entry).
    // Returns the number of pixels the polygon changed.
    int64_t draw_and_compare(Page &page, const Polygon3 &p, const std::vector<uint8_t> &texels, int tw, int th) {
        const ref::Texture t{texels.data(), tw, th, page.texel_bytes()};
        rt::use_texture(texels, tw, th, page.texel_bytes());
        const std::vector<uint8_t> before = page.pixels();
        const std::vector<uint8_t> raw_before = page.raw();
        ref::Image expected = page.image();
        ref::draw(member(), p.pts.data(), p.tex.data(), p.cam.data(), static_cast<int>(p.pts.size()), t, expected);
        rt::call_member(member(), p.pts.data(), p.tex.data(), p.cam.data(), static_cast<uint32_t>(p.pts.size()));
        EXPECT_EQ(bv_target.lock_depth, 0);
        EXPECT_TRUE(page.matches(expected, ref::has_depth(member())));
        EXPECT_TRUE(page.padding_unchanged(raw_before));
        return page.changed_since(before);
    }

    bool draws_both_windings() const { return ref::has_depth(member()); }
};

TEST_P(MemberAtDepth, PerspectiveQuadsMatchTheModel) {
    Page page;
    ASSERT_TRUE(page.start(160, 120, bits()));
    ASSERT_TRUE(page.open_depth());
    page.fill(0x5A);
    const auto texels = rt::patterned_texels(64, 64, page.texel_bytes());
    // A face leaning away: its right side is farther.
    const Polygon3 leaning = quad({20, 15}, {150, 30}, {140, 110}, {10, 95}, {0, 0}, {63, 0}, {63, 63}, {0, 63}, 50,
                                  120, 140, 60);
    EXPECT_GT(draw_and_compare(page, leaning, texels, 64, 64), 8000);
    // A long thin sliver, crossing most of the page, other texture corner order.
    bv_zbuffer_frame();
    const Polygon3 sliver = quad({3, 40}, {157, 44}, {156, 52}, {2, 47}, {63, 5}, {0, 9}, {2, 60}, {60, 63}, 45, 300,
                                 290, 41);
    EXPECT_GT(draw_and_compare(page, sliver, texels, 64, 64), 800);
}

TEST_P(MemberAtDepth, BothWindingsAndOverlapsMatchTheModel) {
    Page page;
    ASSERT_TRUE(page.start(128, 96, bits(), 12));
    ASSERT_TRUE(page.open_depth());
    page.fill(0xA7);
    const auto texels = rt::patterned_texels(37, 29, page.texel_bytes(), 3);
    const Polygon3 near = quad({10, 8}, {100, 20}, {90, 80}, {14, 70}, {0, 0}, {36, 0}, {36, 28}, {0, 28}, 60, 70, 90,
                               80);
    const Polygon3 far = quad({30, 2}, {120, 30}, {110, 94}, {40, 60}, {5, 3}, {30, 1}, {33, 25}, {2, 27}, 100, 110,
                              95, 105);
    EXPECT_GT(draw_and_compare(page, near, texels, 37, 29), 4000);
    // Counter-clockwise: only the depth members draw it, behind the first.
    const int64_t behind = draw_and_compare(page, reversed(far), texels, 37, 29);
    if (draws_both_windings()) {
        EXPECT_GT(behind, 1000);
    } else {
        EXPECT_EQ(behind, 0);
    }
    draw_and_compare(page, far, texels, 37, 29);
    bv_zbuffer_frame();
    // A new frame: the same place passes the depth test again.
    const auto other = rt::patterned_texels(37, 29, page.texel_bytes(), 101);
    const int64_t again = draw_and_compare(page, reversed(near), other, 37, 29);
    EXPECT_EQ(again > 0, draws_both_windings());
}

TEST_P(MemberAtDepth, ClippingOriginAndPageEdgesMatchTheModel) {
    Page page;
    ASSERT_TRUE(page.start(96, 80, bits(), 5));
    ASSERT_TRUE(page.open_depth());
    page.fill(0xFF);
    const auto texels = rt::patterned_texels(64, 64, page.texel_bytes());
    // Over every page edge, with rows above the top walked first.
    const Polygon3 big = quad({-70, -300}, {200, -20}, {150, 160}, {-40, 120}, {0, 0}, {63, 0}, {63, 63}, {0, 63}, 50,
                              70, 200, 90);
    EXPECT_EQ(draw_and_compare(page, big, texels, 64, 64), 96 * 80);
    // A smaller clip rectangle and origin offsets.
    bv_zbuffer_frame();
    bv_target.clip_min_x = 7;
    bv_target.clip_max_x = 70;
    bv_target.clip_min_y = 11;
    bv_target.clip_max_y = 60;
    bv_target.origin_x = -9;
    bv_target.origin_y = 13;
    const Polygon3 tilted = quad({5, -10}, {80, 0}, {75, 70}, {0, 50}, {63, 63}, {0, 63}, {0, 0}, {63, 0}, 40, 41,
                                 400, 90);
    EXPECT_GT(draw_and_compare(page, tilted, texels, 64, 64), 2000);
    draw_and_compare(page, reversed(tilted), texels, 64, 64);
}

// Random convex polygons: points on an ellipse in angle order (clockwise
// on the screen), sometimes listed the other way round.
TEST_P(MemberAtDepth, RandomConvexPolygonsMatchTheModel) {
    Page page;
    ASSERT_TRUE(page.start(100, 90, bits(), bits() == 24 ? 7 : 0));
    ASSERT_TRUE(page.open_depth());
    page.fill(0x00);
    const auto texels = rt::patterned_texels(50, 40, page.texel_bytes(), 11);
    std::mt19937 rng(1234 + bits() * 10 + static_cast<int>(member()));
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int64_t drawn = 0;
    for (int round = 0; round < 60; ++round) {
        if (round % 8 == 7) bv_zbuffer_frame();
        const int n = 3 + static_cast<int>(unit(rng) * 6);
        const double cx = -20 + unit(rng) * 140, cy = -20 + unit(rng) * 130;
        const double rx = 3 + unit(rng) * 90, ry = 3 + unit(rng) * 90;
        std::vector<double> angles(n);
        for (double &a : angles) a = unit(rng) * 2 * M_PI;
        std::sort(angles.begin(), angles.end());
        Polygon3 p;
        for (int i = 0; i < n; ++i) {
            p.pts.push_back({static_cast<int32_t>(std::lround(cx + rx * std::cos(angles[i]))),
                             static_cast<int32_t>(std::lround(cy + ry * std::sin(angles[i])))});
            p.tex.push_back({static_cast<int32_t>(unit(rng) * 50), static_cast<int32_t>(unit(rng) * 40)});
            p.cam.push_back({0, 0, 40 + unit(rng) * 400});
        }
        SCOPED_TRACE(round);
        drawn += draw_and_compare(page, unit(rng) < 0.3 ? reversed(p) : p, texels, 50, 40);
    }
    EXPECT_GT(drawn, 20000);
}

INSTANTIATE_TEST_SUITE_P(AllMembersAllDepths, MemberAtDepth,
                         ::testing::Combine(::testing::ValuesIn(rt::ALL_MEMBERS), ::testing::ValuesIn(rt::ALL_DEPTHS)),
                         [](const auto &info) {
                             return std::string(rt::member_name(std::get<0>(info.param))) + "_" +
                                    std::to_string(std::get<1>(info.param));
                         });

}  // namespace
