// The scan converters' edge cases with hand-derived expectations: which
// rows and columns a polygon covers, which texel a pixel shows, runs and
// clipping, the depth test, both windings and byte 3 of 32-bit pixels.
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "raster_support.h"

namespace {

using rt::Page;
using rt::Poly;

// A polygon at one depth z whose texture corners follow its vertices.
Poly flat(std::vector<ScreenPoint> pts, std::vector<TexCoord> tex, double z = 100) {
    Poly p{std::move(pts), std::move(tex), {}};
    for (size_t i = 0; i < p.pts.size(); ++i) p.cam.push_back({0, 0, z});
    return p;
}

Poly reversed(Poly p) {
    std::reverse(p.pts.begin(), p.pts.end());
    std::reverse(p.tex.begin(), p.tex.end());
    std::reverse(p.cam.begin(), p.cam.end());
    return p;
}

void draw(ref::Member m, const Poly &p) { rt::call_member(m, p.pts.data(), p.tex.data(), p.cam.data(), p.n()); }

// Starts a page with a depth buffer and a 64 x 64 texture; the page is
// filled with 0xFF, which no texel has in byte 0.
struct Scene {
    Page page;
    std::vector<uint8_t> texels;

    bool start(int bits, int width = 64, int height = 64, int tw = 64, int th = 64, int pad = 0) {
        if (!page.start(width, height, bits, pad) || !page.open_depth()) return false;
        page.fill(0xFF);
        texels = rt::patterned_texels(tw, th, page.texel_bytes());
        rt::use_texture(texels, tw, th, page.texel_bytes());
        return true;
    }

    // Whether pixel (x, y) was drawn (still 0xFF in every byte or not).
    bool drawn(const std::vector<uint8_t> &pixels, int x, int y) const {
        const int pb = page.pixel_bytes();
        const uint8_t *p = &pixels[(static_cast<size_t>(y) * page.width() + x) * pb];
        return std::any_of(p, p + pb, [](uint8_t b) { return b != 0xFF; });
    }

    int64_t count_drawn() const {
        const std::vector<uint8_t> px = page.pixels();
        int64_t n = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) n += drawn(px, x, y);
        return n;
    }

    // First drawn column of a row, -1 when none.
    int first_drawn(int y) const {
        const std::vector<uint8_t> px = page.pixels();
        for (int x = 0; x < page.width(); ++x)
            if (drawn(px, x, y)) return x;
        return -1;
    }

    // On 24- and 32-bit pages byte 1 of a pixel is its texel's column.
    int column_at(int x, int y) const { return page.pixel(x, y)[1]; }
};

class EachMember : public ::testing::TestWithParam<ref::Member> {
protected:
    ref::Member member() const { return GetParam(); }
    bool both_windings() const { return ref::has_depth(member()); }
};

TEST_P(EachMember, FewerThanThreeVerticesOrOneRowDrawNothingButStillLock) {
    Scene s;
    ASSERT_TRUE(s.start(16));
    const Poly square = flat({{10, 10}, {50, 10}, {50, 50}, {10, 50}}, {{0, 0}, {63, 0}, {63, 63}, {0, 63}});
    for (uint32_t n : {0u, 1u, 2u}) {
        // A failing lock is used up only if the call locks.
        plat::test::fail_locks(1);
        rt::call_member(member(), square.pts.data(), square.tex.data(), square.cam.data(), n);
        EXPECT_EQ(bv_target.lock_depth, 0);
        EXPECT_FALSE(s.page.raw().empty()) << "n = " << n << " did not lock";
    }
    const Poly one_row = flat({{10, 20}, {30, 20}, {50, 20}}, {{0, 0}, {10, 0}, {20, 0}});
    draw(member(), one_row);
    EXPECT_EQ(s.count_drawn(), 0);
}

TEST_P(EachMember, TheSquareFillsFortyRowsOfFortyColumns) {
    Scene s;
    ASSERT_TRUE(s.start(16));
    const Poly square = flat({{10, 10}, {50, 10}, {50, 50}, {10, 50}}, {{0, 0}, {63, 0}, {63, 63}, {0, 63}});
    draw(member(), square);
    EXPECT_EQ(s.count_drawn(), 1600);
    const std::vector<uint8_t> px = s.page.pixels();
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            EXPECT_EQ(s.drawn(px, x, y), x >= 10 && x < 50 && y >= 10 && y < 50) << x << "," << y;
        }
    }
}

TEST_P(EachMember, TheSquareListedCounterClockwiseDrawsOnlyWithDepth) {
    Scene s;
    ASSERT_TRUE(s.start(32));
    const Poly square = flat({{10, 10}, {50, 10}, {50, 50}, {10, 50}}, {{0, 0}, {63, 0}, {63, 63}, {0, 63}});
    draw(member(), reversed(square));
    if (both_windings()) {
        EXPECT_EQ(s.count_drawn(), 1600);
        EXPECT_EQ(s.first_drawn(10), 10);
        EXPECT_EQ(s.first_drawn(49), 10);
        EXPECT_EQ(s.first_drawn(50), -1);
    } else {
        EXPECT_EQ(s.count_drawn(), 0);
    }
}

TEST_P(EachMember, EdgeColumnsRoundUp) {
    Scene s;
    ASSERT_TRUE(s.start(8));
    // Left edge from (0, 0) to (5, 3): columns 0, 2, 4.
    draw(member(), flat({{0, 0}, {20, 0}, {20, 3}, {5, 3}}, {{0, 0}, {20, 0}, {20, 3}, {5, 3}}));
    EXPECT_EQ(s.first_drawn(0), 0);
    EXPECT_EQ(s.first_drawn(1), 2);
    EXPECT_EQ(s.first_drawn(2), 4);
    EXPECT_EQ(s.first_drawn(3), -1);
    // Left edge from (5, 0) to (0, 3): columns 5, 4, 2.
    s.page.fill(0xFF);
    bv_zbuffer_frame();
    draw(member(), flat({{5, 0}, {20, 0}, {20, 3}, {0, 3}}, {{5, 0}, {20, 0}, {20, 3}, {0, 3}}));
    EXPECT_EQ(s.first_drawn(0), 5);
    EXPECT_EQ(s.first_drawn(1), 4);
    EXPECT_EQ(s.first_drawn(2), 2);
}

TEST_P(EachMember, TheTriangleSkipsItsHorizontalTopEdge) {
    Scene s;
    ASSERT_TRUE(s.start(24));
    draw(member(), flat({{0, 0}, {30, 0}, {0, 30}}, {{0, 0}, {30, 0}, {0, 30}}));
    EXPECT_EQ(s.count_drawn(), 465);
    const std::vector<uint8_t> px = s.page.pixels();
    for (int k = 0; k < 31; ++k) {
        for (int x = 0; x < 32; ++x) EXPECT_EQ(s.drawn(px, x, k), k < 30 && x <= 29 - k) << x << "," << k;
    }
}

// u = 0 at the left walker, 63 at the right, one depth: DU = 64512 and
// pixel i shows column floor((i + 0.5) * 63 / 64 + 0.5).
TEST_P(EachMember, ARowOfSixtyFourPixelsSamplesPixelCentresRounded) {
    Scene s;
    ASSERT_TRUE(s.start(32, 80, 8));
    draw(member(), flat({{0, 0}, {64, 0}, {64, 4}, {0, 4}}, {{0, 0}, {63, 0}, {63, 0}, {0, 0}}, 64));
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(s.column_at(i, 0), (126 * i + 127) / 128) << "pixel " << i;
    }
    EXPECT_EQ(s.column_at(0, 0), 0);
    EXPECT_EQ(s.column_at(32, 0), 32);
    EXPECT_EQ(s.column_at(63, 0), 63);
    EXPECT_EQ(s.first_drawn(4), -1);
}

// A row whose left end has u = 0 at z = 1 and whose right end has u = 64
// at z = 2: the middle pixel samples u near 21.3 (rounded to 22 at its
// centre) in perspective and near 32 (33 at its centre) when affine.
TEST_P(EachMember, PerspectiveAgainstAffineInTheMiddleOfARow) {
    Scene s;
    ASSERT_TRUE(s.start(32, 80, 8, 128, 4));
    Poly p = flat({{0, 0}, {64, 0}, {64, 2}, {0, 2}}, {{0, 0}, {64, 0}, {64, 0}, {0, 0}});
    p.cam = {{0, 0, 1}, {0, 0, 2}, {0, 0, 2}, {0, 0, 1}};
    draw(member(), p);
    if (ref::is_perspective(member())) {
        EXPECT_EQ(s.column_at(32, 0), 22);
    } else {
        EXPECT_EQ(s.column_at(32, 0), 33);
    }
}

TEST_P(EachMember, ByteThreeOfThirtyTwoBitPixelsIsZero) {
    Scene s;
    ASSERT_TRUE(s.start(32));
    draw(member(), flat({{3, 2}, {60, 9}, {50, 61}, {1, 40}}, {{0, 0}, {63, 0}, {63, 63}, {0, 63}}));
    const std::vector<uint8_t> px = s.page.pixels();
    int64_t drawn = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            if (!s.drawn(px, x, y)) continue;
            ++drawn;
            EXPECT_EQ(px[(static_cast<size_t>(y) * 64 + x) * 4 + 3], 0) << x << "," << y;
        }
    }
    EXPECT_GT(drawn, 2000);
}

// A row from column -5 to 20 draws columns 0 to 19.
TEST_P(EachMember, RowsAreClippedAtTheLeftEdge) {
    Scene s;
    ASSERT_TRUE(s.start(16));
    draw(member(), flat({{-5, 0}, {20, 0}, {20, 3}, {-5, 3}}, {{0, 0}, {25, 0}, {25, 3}, {0, 3}}));
    const std::vector<uint8_t> px = s.page.pixels();
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 22; ++x) EXPECT_EQ(s.drawn(px, x, y), x < 20) << x << "," << y;
    }
    EXPECT_EQ(s.count_drawn(), 60);
}

INSTANTIATE_TEST_SUITE_P(AllMembers, EachMember, ::testing::ValuesIn(rt::ALL_MEMBERS),
                         [](const auto &info) { return std::string(rt::member_name(info.param)); });

// ---- Runs of exact perspective division ---------------------------------------

class PerspectiveRuns : public ::testing::TestWithParam<ref::Member> {};

// A strongly foreshortened row of 70 pixels.
Poly foreshortened_row(int x0, int x1) {
    Poly p = flat({{x0, 0}, {x1, 0}, {x1, 2}, {x0, 2}}, {{0, 0}, {63, 0}, {63, 0}, {0, 0}});
    p.cam = {{0, 0, 40}, {0, 0, 400}, {0, 0, 400}, {0, 0, 40}};
    return p;
}

TEST_P(PerspectiveRuns, ASeventyPixelRowDividesAtPixelsOneThirtyThreeSixtyFiveAndItsEnd) {
    Scene s;
    ASSERT_TRUE(s.start(32, 80, 4));
    const Poly p = foreshortened_row(0, 70);
    const ref::Texture t{s.texels.data(), 64, 64, 3};
    ref::Image runs_of_32 = s.page.image();
    ref::Image one_run = s.page.image();
    one_run.run = 70;
    ref::Image runs_of_16 = s.page.image();
    runs_of_16.run = 16;
    ref::draw(GetParam(), p.pts.data(), p.tex.data(), p.cam.data(), 4, t, runs_of_32);
    ref::draw(GetParam(), p.pts.data(), p.tex.data(), p.cam.data(), 4, t, one_run);
    ref::draw(GetParam(), p.pts.data(), p.tex.data(), p.cam.data(), 4, t, runs_of_16);
    draw(GetParam(), p);
    EXPECT_TRUE(s.page.matches(runs_of_32, false));
    EXPECT_FALSE(s.page.matches(one_run, false));
    EXPECT_FALSE(s.page.matches(runs_of_16, false));
}

// With clip_min_x = 5 the runs start again at column 5, not at the row's
// unclipped left end.
TEST_P(PerspectiveRuns, LeftClippingRestartsTheRunsAtTheClipEdge) {
    Scene s;
    ASSERT_TRUE(s.start(32, 80, 4));
    bv_target.clip_min_x = 5;
    const Poly p = foreshortened_row(0, 75);
    const ref::Texture t{s.texels.data(), 64, 64, 3};
    ref::Image from_clip_edge = s.page.image();
    ref::Image from_row_start = s.page.image();
    from_row_start.clip_min_x = 0;
    ref::draw(GetParam(), p.pts.data(), p.tex.data(), p.cam.data(), 4, t, from_clip_edge);
    ref::draw(GetParam(), p.pts.data(), p.tex.data(), p.cam.data(), 4, t, from_row_start);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            for (int b = 0; b < 4; ++b) from_row_start.pixels[(y * 80 + x) * 4 + b] = 0xFF;
        }
    }
    draw(GetParam(), p);
    EXPECT_TRUE(s.page.matches(from_clip_edge, false));
    EXPECT_FALSE(s.page.matches(from_row_start, false));
    EXPECT_EQ(s.first_drawn(0), 5);
}

INSTANTIATE_TEST_SUITE_P(PerspectiveMembers, PerspectiveRuns,
                         ::testing::Values(ref::Member::PerspectiveDepth, ref::Member::Perspective),
                         [](const auto &info) { return std::string(rt::member_name(info.param)); });

// ---- The depth test ------------------------------------------------------------

class DepthMembers : public ::testing::TestWithParam<ref::Member> {};

TEST_P(DepthMembers, EqualDepthFailsUntilTheNextFrame) {
    Scene s;
    ASSERT_TRUE(s.start(16));
    const Poly square = flat({{10, 10}, {50, 10}, {50, 50}, {10, 50}}, {{0, 0}, {63, 0}, {63, 63}, {0, 63}}, 100);
    draw(GetParam(), square);
    const std::vector<uint8_t> first = s.page.pixels();
    const std::vector<uint8_t> other = rt::patterned_texels(64, 64, 2, 77);
    rt::use_texture(other, 64, 64, 2);
    draw(GetParam(), square);
    EXPECT_EQ(s.page.changed_since(first), 0);
    // A new frame: entries left from the frame before no longer hide it.
    bv_zbuffer_frame();
    draw(GetParam(), square);
    EXPECT_EQ(s.page.changed_since(first), 1600);
}

TEST_P(DepthMembers, TheNearerOfTwoPolygonsShowsWhicheverIsDrawnFirst) {
    const Poly near = flat({{5, 5}, {40, 5}, {40, 40}, {5, 40}}, {{0, 0}, {63, 0}, {63, 63}, {0, 63}}, 50);
    const Poly far = flat({{20, 20}, {60, 20}, {60, 60}, {20, 60}}, {{0, 0}, {63, 0}, {63, 63}, {0, 63}}, 100);
    std::vector<uint8_t> pictures[2];
    for (int order = 0; order < 2; ++order) {
        Scene s;
        ASSERT_TRUE(s.start(32));
        const std::vector<uint8_t> far_texels = rt::patterned_texels(64, 64, 3, 40);
        for (int i = 0; i < 2; ++i) {
            const bool draw_near = (i == 0) == (order == 0);
            rt::use_texture(draw_near ? s.texels : far_texels, 64, 64, 3);
            draw(GetParam(), draw_near ? near : far);
        }
        pictures[order] = s.page.pixels();
        // Inside the overlap the near texture shows. Pixel (30, 30) is the
        // near square's column 25 and row 25: texel column
        // floor(25.5 * 63 / 35 + 0.5) = 46 (sampled at the pixel's centre),
        // row floor(25 * 63 / 35 + 0.5) = 45 (rows sample their top).
        const auto px = s.page.pixel(30, 30);
        EXPECT_EQ(px[0], (46 * 7 + 45 * 13 + 1) % 255);
        EXPECT_EQ(px[1], 46);
        EXPECT_EQ(px[2], 45);
        // Outside it the far one does: column floor(35.5 * 63 / 40 + 0.5)
        // = 56 (byte 1 carries the salt 40), row floor(35 * 63 / 40 + 0.5) = 55.
        const auto far_px = s.page.pixel(55, 55);
        EXPECT_EQ(far_px[1], 56 + 40);
        EXPECT_EQ(far_px[2], 55);
    }
    EXPECT_EQ(pictures[0], pictures[1]);
}

INSTANTIATE_TEST_SUITE_P(WithDepth, DepthMembers,
                         ::testing::Values(ref::Member::PerspectiveDepth, ref::Member::AffineDepth),
                         [](const auto &info) { return std::string(rt::member_name(info.param)); });

}  // namespace
