// The edge walkers on their own: columns by the error term, the affine
// walker's 16.16 steps, and the jump over rows far above the clip top
// landing where row-by-row walking lands.
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "raster/edge_walker.h"
#include "raster/mappings.h"

namespace {

using bv::raster::Affine;
using bv::raster::EdgeWalker;
using bv::raster::Perspective;
using bv::raster::Polygon;

template <class Mapping>
using Walker = EdgeWalker<typename Mapping::EdgeValues>;

Polygon polygon(const std::vector<ScreenPoint> &pts, const std::vector<TexCoord> &tex,
                const std::vector<Vertex3> *cam = nullptr) {
    Polygon p{pts.data(), tex.data(), cam ? cam->data() : nullptr, static_cast<uint32_t>(pts.size()), 0, 0};
    for (uint32_t i = 1; i < p.n; ++i) {
        if (pts[i].y < pts[p.top].y) p.top = i;
        if (pts[i].y > pts[p.bottom].y) p.bottom = i;
    }
    return p;
}

// Columns of walker A (backwards through the list) from the top vertex.
std::vector<int64_t> left_columns(const Polygon &p, int rows) {
    Walker<Affine<false>> a{};
    a.dir = -1;
    std::vector<int64_t> xs;
    if (!bv::raster::edge_begin<Affine<false>>(a, p, p.top)) return xs;
    for (int i = 0; i < rows; ++i) {
        xs.push_back(a.x);
        if (!bv::raster::edge_advance<Affine<false>>(a, p)) break;
    }
    return xs;
}

TEST(EdgeWalker, ColumnsRoundUpInBothDirections) {
    const std::vector<TexCoord> tex(4, TexCoord{0, 0});
    // (0,0) to (5,3) on the left: 0, 2, 4; then the bottom.
    const std::vector<ScreenPoint> right_leaning{{0, 0}, {20, 0}, {20, 3}, {5, 3}};
    EXPECT_EQ(left_columns(polygon(right_leaning, tex), 5), (std::vector<int64_t>{0, 2, 4}));
    // (5,0) to (0,3): 5, 4, 2.
    const std::vector<ScreenPoint> left_leaning{{5, 0}, {20, 0}, {20, 3}, {0, 3}};
    EXPECT_EQ(left_columns(polygon(left_leaning, tex), 5), (std::vector<int64_t>{5, 4, 2}));
}

TEST(EdgeWalker, ColumnsFollowTheCeilingFormulaOnEveryEdge) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-300, 300), height(1, 200);
    for (int round = 0; round < 2000; ++round) {
        const int xs = coord(rng), xe = coord(rng), h = height(rng);
        const std::vector<ScreenPoint> pts{{xs, 0}, {1000, 0}, {1000, h}, {xe, h}};
        const std::vector<TexCoord> tex(4, TexCoord{0, 0});
        const std::vector<int64_t> got = left_columns(polygon(pts, tex), h + 1);
        ASSERT_EQ(got.size(), static_cast<size_t>(h));
        for (int k = 0; k < h; ++k) {
            const int64_t num = static_cast<int64_t>(k) * (xe - xs);
            const int64_t ceil = num >= 0 ? (num + h - 1) / h : -((-num) / h);
            ASSERT_EQ(got[k], xs + ceil) << xs << " -> " << xe << " over " << h << ", row " << k;
        }
    }
}

// An edge of height 3 from u = 0 to u = 1 steps u by 65536 / 3 = 21845
// per row; the next edge starts again at exactly 65536.
TEST(EdgeWalker, AffineStepsAreTruncatedAndEachEdgeStartsExactly) {
    const std::vector<ScreenPoint> pts{{0, 0}, {10, 0}, {10, 6}, {0, 6}, {0, 3}};
    const std::vector<TexCoord> tex{{0, 0}, {10, 0}, {10, 6}, {1, 6}, {1, 3}};
    const Polygon p = polygon(pts, tex);
    Walker<Affine<false>> a{};
    a.dir = -1;
    ASSERT_TRUE(bv::raster::edge_begin<Affine<false>>(a, p, p.top));
    std::vector<int64_t> us;
    do {
        us.push_back(a.values.u);
    } while (bv::raster::edge_advance<Affine<false>>(a, p));
    EXPECT_EQ(us, (std::vector<int64_t>{0, 21845, 43690, 65536, 65536, 65536}));
}

// Skipping k rows lands where k single rows land: same edge, same column,
// same error term, same affine values.
TEST(EdgeWalker, SkippingRowsMatchesWalkingThem) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> coord(-5000, 5000);
    for (int round = 0; round < 300; ++round) {
        // A convex outline: top, right side down, bottom, left side up.
        const int top = coord(rng);
        const std::vector<ScreenPoint> pts{{coord(rng), top},
                                           {coord(rng), top + 1 + (coord(rng) + 5000) / 20},
                                           {coord(rng), top + 600 + (coord(rng) + 5000) / 10},
                                           {coord(rng), top + 300 + (coord(rng) + 5000) / 30}};
        const std::vector<TexCoord> tex{{0, 0}, {63, 5}, {40, 63}, {1, 30}};
        const Polygon p = polygon(pts, tex);
        for (int dir : {-1, +1}) {
            Walker<Affine<false>> walked{}, skipped{};
            walked.dir = skipped.dir = dir;
            ASSERT_TRUE(bv::raster::edge_begin<Affine<false>>(walked, p, p.top));
            ASSERT_TRUE(bv::raster::edge_begin<Affine<false>>(skipped, p, p.top));
            const int k = (coord(rng) + 5000) / 8;
            bool walked_ok = true;
            for (int i = 0; i < k && walked_ok; ++i) walked_ok = bv::raster::edge_advance<Affine<false>>(walked, p);
            const bool skipped_ok = bv::raster::edge_skip<Affine<false>>(skipped, p, k);
            ASSERT_EQ(skipped_ok, walked_ok) << "round " << round << " k " << k;
            if (!walked_ok) continue;
            EXPECT_EQ(skipped.x, walked.x);
            EXPECT_EQ(skipped.err, walked.err);
            EXPECT_EQ(skipped.rows, walked.rows);
            EXPECT_EQ(skipped.end, walked.end);
            EXPECT_EQ(skipped.values.u, walked.values.u);
            EXPECT_EQ(skipped.values.v, walked.values.v);
        }
    }
}

TEST(EdgeWalker, ANonConvexOutlineEndsTheWalkWhereItClimbs) {
    // Down, up, down again along walker B's side.
    const std::vector<ScreenPoint> pts{{0, 0}, {10, 10}, {20, 5}, {30, 20}, {0, 20}};
    const std::vector<TexCoord> tex(5, TexCoord{0, 0});
    const Polygon p = polygon(pts, tex);
    Walker<Affine<false>> b{};
    b.dir = +1;
    ASSERT_TRUE(bv::raster::edge_begin<Affine<false>>(b, p, p.top));
    int rows = 1;
    while (bv::raster::edge_advance<Affine<false>>(b, p)) ++rows;
    EXPECT_EQ(rows, 10);
}

TEST(EdgeWalker, PerspectiveEdgesStartFromTheUpperVertexValues) {
    const std::vector<ScreenPoint> pts{{0, 0}, {10, 0}, {10, 4}, {0, 4}};
    const std::vector<TexCoord> tex{{8, 0}, {10, 0}, {10, 4}, {0, 40}};
    const std::vector<Vertex3> cam{{0, 0, 2}, {0, 0, 2}, {0, 0, 4}, {0, 0, -4}};
    const Polygon p = polygon(pts, tex, &cam);
    Walker<Perspective<true>> a{};
    a.dir = -1;
    ASSERT_TRUE(bv::raster::edge_begin<Perspective<true>>(a, p, p.top));
    EXPECT_EQ(a.values.iz, 0.5);
    EXPECT_EQ(a.values.uz, 4.0);
    EXPECT_EQ(a.values.vz, 0.0);
    // 1/z taken without its sign: 0.25 at the lower vertex.
    EXPECT_EQ(a.values.diz, (0.25 - 0.5) * 0.25);
    EXPECT_EQ(a.values.duz, (0.0 - 4.0) * 0.25);
    EXPECT_EQ(a.values.dvz, (10.0 - 0.0) * 0.25);
}

}  // namespace
