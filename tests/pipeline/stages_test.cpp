// The pipeline's stages on their own: transform, near-plane clipping and
// projection. Expected values are worked out by hand.
#include <cmath>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "brivondel.h"
#include "state.h"

namespace {

class Stages : public testing::Test {
protected:
    void SetUp() override {
        saved_ = bv_view;
        bv_set_3d_depth(40.0, 1000.0);
        bv_set_3d_viewport(0, 639, 0, 479, 0.5);
        bv_set_3d_pose(0, 0, 0, 0, 0, 0);
    }
    void TearDown() override { bv_view = saved_; }

    // Clips with room for `capacity` output vertices; the outputs are
    // resized to what was emitted.
    int32_t clip(const std::vector<Vertex3> &in, const std::vector<TexCoord> &tex, uint32_t capacity = 64) {
        out_.assign(capacity, Vertex3{-1, -1, -1});
        tex_out_.assign(capacity, TexCoord{-1, -1});
        const int32_t n = bv::clip_to_near_plane(in.data(), out_.data(), tex.data(), tex_out_.data(),
                                                 static_cast<uint32_t>(in.size()), capacity);
        out_.resize(static_cast<std::size_t>(n));
        tex_out_.resize(static_cast<std::size_t>(n));
        return n;
    }

    View3DState saved_{};
    std::vector<Vertex3> out_;
    std::vector<TexCoord> tex_out_;
};

const std::vector<TexCoord> demo_tex = {{63, 63}, {0, 63}, {0, 0}, {63, 0}};

void expect_vertex(const Vertex3 &expected, const Vertex3 &actual) {
    EXPECT_EQ(expected.x, actual.x);
    EXPECT_EQ(expected.y, actual.y);
    EXPECT_EQ(expected.z, actual.z);
}

void expect_tex(const TexCoord &expected, const TexCoord &actual) {
    EXPECT_EQ(expected.u, actual.u);
    EXPECT_EQ(expected.v, actual.v);
}

}  // namespace

TEST_F(Stages, TransformMovesTheDemoFrontFaceToZ80) {
    bv_set_3d_pose(0, 0, 100, 0, 0, 0);
    const Vertex3 face[4] = {{20, -20, -20}, {-20, -20, -20}, {-20, 20, -20}, {20, 20, -20}};
    Vertex3 cam[4];
    EXPECT_EQ(0, bv::transform_points(face, cam, 4));
    expect_vertex({20, -20, 80}, cam[0]);
    expect_vertex({-20, -20, 80}, cam[1]);
    expect_vertex({-20, 20, 80}, cam[2]);
    expect_vertex({20, 20, 80}, cam[3]);
}

TEST_F(Stages, TransformSumsTheRowLeftToRight) {
    // ((1 + 2^53) - 2^53) + 0 is 0 in doubles; any other grouping gives 1.
    const double big = 9007199254740992.0;
    for (int r = 0; r < 3; ++r) {
        for (int k = 0; k < 3; ++k) bv_view.transform[r][k] = 1.0;
        bv_view.transform[r][3] = 0.0;
    }
    const Vertex3 in{1.0, big, -big};
    Vertex3 out{};
    bv::transform_points(&in, &out, 1);
    EXPECT_EQ(0.0, out.x);
    EXPECT_EQ(0.0, out.y);
    EXPECT_EQ(0.0, out.z);
}

TEST_F(Stages, TransformUsesTheQuarterTurnAboutY) {
    bv_set_3d_pose(1, 2, 3, 0, 900, 0);
    const Vertex3 in[2] = {{1, 0, 0}, {0, 0, 1}};
    Vertex3 out[2];
    bv::transform_points(in, out, 2);
    expect_vertex({1, 2, 2}, out[0]);  // +x -> -z
    expect_vertex({2, 2, 3}, out[1]);  // +z -> +x
}

TEST_F(Stages, ClipKeepsAWhollyVisiblePolygonAsItIs) {
    const std::vector<Vertex3> quad = {{0, 0, 60}, {10, 0, 60}, {10, 10, 60}, {0, 10, 60}};
    ASSERT_EQ(4, clip(quad, demo_tex));
    for (int i = 0; i < 4; ++i) {
        expect_vertex(quad[i], out_[i]);
        expect_tex(demo_tex[i], tex_out_[i]);
    }
}

TEST_F(Stages, ClipWithOnlyV1HiddenGivesFiveVertices) {
    const std::vector<Vertex3> quad = {{0, 0, 60}, {10, 0, 20}, {10, 10, 60}, {0, 10, 60}};
    ASSERT_EQ(5, clip(quad, demo_tex));
    // V0, crossing(V0->V1), crossing(V1->V2), V2, V3; both crossings at t = 0.5.
    expect_vertex(quad[0], out_[0]);
    expect_vertex({5, 0, 40}, out_[1]);
    expect_vertex({10, 5, 40}, out_[2]);
    expect_vertex(quad[2], out_[3]);
    expect_vertex(quad[3], out_[4]);
    expect_tex({63, 63}, tex_out_[0]);
    expect_tex({32, 63}, tex_out_[1]);  // 31.5 -> 32
    expect_tex({0, 32}, tex_out_[2]);   // 31.5 -> 32
    expect_tex({0, 0}, tex_out_[3]);
    expect_tex({63, 0}, tex_out_[4]);
}

TEST_F(Stages, ClipWithOnlyV0HiddenStartsWithTheCrossingIntoV0) {
    const std::vector<Vertex3> quad = {{0, 0, 20}, {10, 0, 60}, {10, 10, 60}, {0, 10, 60}};
    ASSERT_EQ(5, clip(quad, demo_tex));
    // crossing(V3->V0), crossing(V0->V1), V1, V2, V3.
    expect_vertex({0, 5, 40}, out_[0]);
    expect_vertex({5, 0, 40}, out_[1]);
    expect_vertex(quad[1], out_[2]);
    expect_vertex(quad[2], out_[3]);
    expect_vertex(quad[3], out_[4]);
    expect_tex({63, 32}, tex_out_[0]);  // (63,0) -> (63,63), 31.5 -> 32
    expect_tex({32, 63}, tex_out_[1]);
    expect_tex({0, 63}, tex_out_[2]);
    expect_tex({0, 0}, tex_out_[3]);
    expect_tex({63, 0}, tex_out_[4]);
}

TEST_F(Stages, ClipRoundsTextureCoordinatesToNearestEven) {
    // P hidden, Q visible: out is crossing(Q->P), crossing(P->Q), Q.
    struct Case {
        double pz, qz;
        TexCoord tp, tq;
        TexCoord from_q, from_p;
    } cases[] = {
        {30, 70, {0, 0}, {63, 0}, {16, 0}, {16, 0}},       // t = 0.25 from P: 15.75 -> 16
        {20, 60, {0, 0}, {5, 0}, {2, 0}, {2, 0}},          // 2.5 -> 2
        {20, 60, {0, 0}, {7, 9}, {4, 4}, {4, 4}},          // 3.5 -> 4, 4.5 -> 4
        {20, 60, {0, 0}, {-5, -3}, {-2, -2}, {-2, -2}},    // -2.5 -> -2, -1.5 -> -2
        {20, 60, {63, 63}, {0, 63}, {32, 63}, {32, 63}},   // the demo's 31.5 -> 32
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << k.tq.u << "," << k.tq.v);
        ASSERT_EQ(3, clip({{0, 0, k.pz}, {0, 0, k.qz}}, {k.tp, k.tq}));
        expect_tex(k.from_q, tex_out_[0]);
        expect_tex(k.from_p, tex_out_[1]);
        expect_tex(k.tq, tex_out_[2]);
    }
}

TEST_F(Stages, ClipCrossesAtExactlyNearZ) {
    // An edge from z = 20 to z = 60 crosses z = 40 at t = 0.5.
    ASSERT_EQ(3, clip({{0, 0, 20}, {8, -4, 60}}, {{0, 0}, {0, 0}}));
    expect_vertex({4, -2, 40}, out_[0]);
    expect_vertex({4, -2, 40}, out_[1]);
    // z is set to near, not interpolated: 0.1 + (0.7 - 0.1) * t is not 0.3.
    bv_set_3d_depth(0.3, 1000.0);
    ASSERT_EQ(3, clip({{0, 0, 0.1}, {1, 1, 0.7}}, {{0, 0}, {0, 0}}));
    EXPECT_EQ(0.3, out_[0].z);
    EXPECT_EQ(0.3, out_[1].z);
}

TEST_F(Stages, ClipCountsAVertexOnTheNearPlaneAsHidden) {
    const std::vector<Vertex3> quad = {{0, 0, 60}, {10, 0, 40}, {10, 10, 60}, {0, 10, 60}};
    ASSERT_EQ(5, clip(quad, demo_tex));
    // Both crossings land on V1 itself (t = 1 and t = 0).
    expect_vertex(quad[1], out_[1]);
    expect_vertex(quad[1], out_[2]);
    expect_tex({0, 63}, tex_out_[1]);
    expect_tex({0, 63}, tex_out_[2]);
    // All on the plane: nothing is visible.
    EXPECT_EQ(0, clip({{0, 0, 40}, {1, 0, 40}, {1, 1, 40}}, demo_tex));
}

TEST_F(Stages, ClipDropsPolygonsWhollyBehindTheNearPlane) {
    EXPECT_EQ(0, clip({{0, 0, 39}, {10, 0, 10}, {10, 10, -50}, {0, 10, 0}}, demo_tex));
}

TEST_F(Stages, ClipRejectsOnlyPolygonsWhollyBeyondFar) {
    std::vector<Vertex3> quad = {{0, 0, 1001}, {10, 0, 2000}, {10, 10, 5000}, {0, 10, 1000.5}};
    EXPECT_EQ(0, clip(quad, demo_tex));
    // One vertex at exactly far lets the whole polygon through, far parts too.
    quad[3].z = 1000;
    ASSERT_EQ(4, clip(quad, demo_tex));
    for (int i = 0; i < 4; ++i) expect_vertex(quad[i], out_[i]);
}

TEST_F(Stages, ClipNeedsTwoVertices) {
    EXPECT_EQ(0, clip({}, {}));
    EXPECT_EQ(0, clip({{0, 0, 60}}, {{1, 1}}));
    ASSERT_EQ(2, clip({{0, 0, 60}, {1, 1, 70}}, {{1, 2}, {3, 4}}));
    expect_tex({1, 2}, tex_out_[0]);
    expect_tex({3, 4}, tex_out_[1]);
}

TEST_F(Stages, ClipDropsAPolygonWhoseOutputWouldNotFit) {
    const std::vector<Vertex3> quad = {{0, 0, 60}, {10, 0, 20}, {10, 10, 60}, {0, 10, 60}};
    EXPECT_EQ(0, clip(quad, demo_tex, 4));
    EXPECT_EQ(5, clip(quad, demo_tex, 5));
    // A zigzag in depth grows by more than one vertex: 6 in, 9 out.
    const std::vector<Vertex3> zigzag = {{0, 0, 20}, {1, 0, 60}, {2, 0, 20}, {3, 0, 60}, {4, 0, 20}, {5, 0, 60}};
    const std::vector<TexCoord> tex(6, TexCoord{0, 0});
    EXPECT_EQ(9, clip(zigzag, tex, 9));
    EXPECT_EQ(0, clip(zigzag, tex, 8));
    EXPECT_EQ(0, clip(zigzag, tex, 0));
}

TEST_F(Stages, ClipRefusesCrossingsThatAreNotNumbers) {
    // near - P.z and Q.z - P.z both overflow: t = inf / inf is NaN, and no
    // texture coordinate can be made from it.
    bv_set_3d_depth(1e308, 1000.0);
    const std::vector<Vertex3> edge = {{0, 0, -1e308}, {0, 0, 1.5e308}};
    EXPECT_EQ(0, clip(edge, {{0, 0}, {INT32_MAX, INT32_MAX}}));
}

TEST_F(Stages, ProjectsTheDemoFrontFaceCorners) {
    const Vertex3 cam[4] = {{20, -20, 80}, {-20, -20, 80}, {-20, 20, 80}, {20, 20, 80}};
    ScreenPoint pts[4];
    ASSERT_EQ(0, bv::project_points(cam, pts, 4));
    const ScreenPoint expected[4] = {{400, 320}, {240, 320}, {240, 160}, {400, 160}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(expected[i].x, pts[i].x) << i;
        EXPECT_EQ(expected[i].y, pts[i].y) << i;
    }
}

TEST_F(Stages, ProjectionRoundsHalvesToEvenBeforeTheCentre) {
    // With z = 1 the products are exactly the halves (checked first).
    const double half = 0.5 / 320, one_half = 1.5 / 320, two_half = 2.5 / 320;
    ASSERT_EQ(0.5, (half * 1.0) * 320.0);
    ASSERT_EQ(1.5, (one_half * 1.0) * 320.0);
    ASSERT_EQ(2.5, (two_half * 1.0) * 320.0);
    const Vertex3 cam[4] = {{half, -half, 1}, {one_half, -one_half, 1}, {two_half, -two_half, 1}, {-half, one_half, 1}};
    ScreenPoint pts[4];
    ASSERT_EQ(0, bv::project_points(cam, pts, 4));
    EXPECT_EQ(320, pts[0].x);  // 0.5 -> 0
    EXPECT_EQ(240, pts[0].y);
    EXPECT_EQ(322, pts[1].x);  // 1.5 -> 2
    EXPECT_EQ(242, pts[1].y);
    EXPECT_EQ(322, pts[2].x);  // 2.5 -> 2
    EXPECT_EQ(242, pts[2].y);
    EXPECT_EQ(320, pts[3].x);  // -0.5 -> 0
    EXPECT_EQ(238, pts[3].y);  // y up: -1.5 -> -2
}

TEST_F(Stages, ProjectionWithoutAViewportLandsOnTheOrigin) {
    bv_view.scale_x = 0.0;
    bv_view.scale_y = -0.0;
    bv_view.centre_x = 0;
    bv_view.centre_y = 0;
    const Vertex3 cam{123.0, -456.0, 7.0};
    ScreenPoint pt{9, 9};
    ASSERT_EQ(0, bv::project_points(&cam, &pt, 1));
    EXPECT_EQ(0, pt.x);
    EXPECT_EQ(0, pt.y);
}

TEST_F(Stages, ProjectionKeepsCoordinatesInsideTwoToThe30) {
    bv_view.scale_x = 1.0;
    bv_view.scale_y = -1.0;
    bv_view.centre_x = 0;
    bv_view.centre_y = 0;
    const double limit = 1073741824.0;  // 2^30
    ScreenPoint pt{};
    const Vertex3 inside[2] = {{limit - 1, limit - 1, 1}, {-(limit - 1), -(limit - 1), 1}};
    ASSERT_EQ(0, bv::project_points(inside, &pt, 1));
    EXPECT_EQ(1073741823, pt.x);
    EXPECT_EQ(-1073741823, pt.y);
    ASSERT_EQ(0, bv::project_points(inside + 1, &pt, 1));
    EXPECT_EQ(-1073741823, pt.x);
    EXPECT_EQ(1073741823, pt.y);

    const Vertex3 outside[] = {{limit, 0, 1}, {-limit, 0, 1}, {0, limit, 1}, {0, -limit, 1},
                               {1e300, 0, 1}, {0, 0, 0},      {1, 0, 0},     {-1, 0, -0.0},
                               {NAN, 0, 1},   {0, INFINITY, 1}, {0, 0, NAN}, {1, 1, 5e-324}};
    for (const Vertex3 &v : outside) {
        SCOPED_TRACE(testing::Message() << v.x << " " << v.y << " " << v.z);
        EXPECT_EQ(-1, bv::project_points(&v, &pt, 1));
    }
    // The centre counts too: 2^30 - 1 plus 1 is out.
    bv_view.centre_x = 1;
    EXPECT_EQ(-1, bv::project_points(inside, &pt, 1));
    bv_view.centre_x = INT32_MAX;
    const Vertex3 small{1, 0, 1};
    EXPECT_EQ(-1, bv::project_points(&small, &pt, 1));
    bv_view.centre_x = 0;
    bv_view.centre_y = INT32_MIN;
    EXPECT_EQ(-1, bv::project_points(&small, &pt, 1));
}
