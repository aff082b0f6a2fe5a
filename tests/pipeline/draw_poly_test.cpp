// bv_draw_3d_poly on a headless 16-bit page: the static storage it uses,
// the dispatch by render flags, and the polygons it refuses.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "brivondel.h"
#include "platform/platform.h"
#include "state.h"

namespace {

constexpr int32_t PAGE_W = 640;
constexpr int32_t PAGE_H = 480;
constexpr uint16_t WHITE = 0xFFFF;

// The demo's front face and its texture coordinates.
const Vertex3 front_face[4] = {{20, -20, -20}, {-20, -20, -20}, {-20, 20, -20}, {20, 20, -20}};
const TexCoord face_tex[4] = {{63, 63}, {0, 63}, {0, 0}, {63, 0}};

class DrawPoly : public testing::Test {
protected:
    void SetUp() override {
        saved_view_ = bv_view;
        plat::test::reset();
        ASSERT_EQ(0, bv_config_display(PAGE_W, PAGE_H, 16, 1));
        ASSERT_GE(bv_start_display(), 0);
        ASSERT_EQ(0, bv_select_page(0));
        zbuffer_ = bv_alloc_zbuffer(PAGE_W, PAGE_H);
        ASSERT_NE(nullptr, zbuffer_);
        bv_open_zbuffer(zbuffer_);
        ASSERT_EQ(0, bv_alloc_textures(6));
        // Texel (u, v) of the 64 x 64 texture is 1 + u + 64 v; of the
        // 128 x 2 one, 1 + u.
        square_.resize(64 * 64);
        for (int v = 0; v < 64; ++v)
            for (int u = 0; u < 64; ++u) square_[v * 64 + u] = static_cast<uint16_t>(1 + u + 64 * v);
        wide_.resize(128 * 2);
        for (int v = 0; v < 2; ++v)
            for (int u = 0; u < 128; ++u) wide_[v * 128 + u] = static_cast<uint16_t>(1 + u);
        square_handle_ = bv_define_texture(square_.data(), 64, 64);
        wide_handle_ = bv_define_texture(wide_.data(), 128, 2);
        ASSERT_GE(square_handle_, 0);
        ASSERT_GE(wide_handle_, 0);
        bv_select_texture(square_handle_);
        use_demo_view();
        clear_frame();
    }
    void TearDown() override {
        bv_free_texture(-1);
        bv_free_zbuffer(zbuffer_);
        bv_stop_display();
        plat::test::reset();
        bv_view = saved_view_;
    }

    static void use_demo_view() {
        bv_set_3d_viewport(0, 639, 0, 479, 0.5);
        bv_set_3d_depth(40.0, 1000.0);
        bv_set_3d_flags(RF_PERSPECTIVE | RF_DEPTH | RF_CLIP);
        bv_set_3d_pose(0, 0, 100, 0, 0, 0);
    }

    void clear_frame() {
        bv_zbuffer_frame();
        bv_set_color(-1);
        bv_fill_page();
    }

    uint16_t pixel(int32_t x, int32_t y) {
        bv::lock_target();
        uint16_t p = 0;
        std::memcpy(&p, bv_target.base + y * bv_target.pitch + x * 2, 2);
        bv::unlock_target();
        return p;
    }

    // Pixels that are not white, and their bounding box.
    struct Coverage {
        int64_t count = 0;
        int32_t min_x = INT32_MAX, max_x = INT32_MIN, min_y = INT32_MAX, max_y = INT32_MIN;
    };
    Coverage coverage() {
        Coverage c;
        bv::lock_target();
        for (int32_t y = 0; y < PAGE_H; ++y)
            for (int32_t x = 0; x < PAGE_W; ++x) {
                uint16_t p;
                std::memcpy(&p, bv_target.base + y * bv_target.pitch + x * 2, 2);
                if (p == WHITE) continue;
                ++c.count;
                c.min_x = std::min(c.min_x, x);
                c.max_x = std::max(c.max_x, x);
                c.min_y = std::min(c.min_y, y);
                c.max_y = std::max(c.max_y, y);
            }
        bv::unlock_target();
        return c;
    }

    View3DState saved_view_{};
    bv_zbuffer zbuffer_ = nullptr;
    std::vector<uint16_t> square_, wide_;
    int32_t square_handle_ = -1, wide_handle_ = -1;
};

template <class T>
const T *area_at(std::size_t offset) {
    return reinterpret_cast<const T *>(bv::work_area + offset);
}

// A polygon of `count` vertices: the front face followed by copies of its
// last vertex (zero-length edges keep it convex).
void padded_face(uint32_t count, std::vector<Vertex3> *verts, std::vector<TexCoord> *tex) {
    verts->assign(front_face, front_face + 4);
    tex->assign(face_tex, face_tex + 4);
    verts->resize(count, front_face[3]);
    tex->resize(count, face_tex[3]);
}

}  // namespace

TEST_F(DrawPoly, TheDemoFrontFaceCoversItsProjectedSquare) {
    EXPECT_EQ(0, bv_draw_3d_poly(front_face, face_tex, 4));
    const Coverage c = coverage();
    // Corners (400, 320), (240, 320), (240, 160), (400, 160): columns 240
    // to 399 and rows 160 to 319.
    EXPECT_EQ(160 * 160, c.count);
    EXPECT_EQ(240, c.min_x);
    EXPECT_EQ(399, c.max_x);
    EXPECT_EQ(160, c.min_y);
    EXPECT_EQ(319, c.max_y);
    EXPECT_EQ(1 + 0 + 64 * 0, pixel(240, 160));    // texel (0, 0) top left
    EXPECT_EQ(1 + 63 + 64 * 63, pixel(399, 319));  // texel (63, 63) bottom right
}

TEST_F(DrawPoly, ClippedArraysFollowEachOtherInTheStaticStorage) {
    // Camera space: V0 (0,0,60), V1 (10,0,20), V2 (10,10,60), V3 (0,10,60).
    bv_set_3d_pose(0, 0, 0, 0, 0, 0);
    const Vertex3 quad[4] = {{0, 0, 60}, {10, 0, 20}, {10, 10, 60}, {0, 10, 60}};
    EXPECT_EQ(0, bv_draw_3d_poly(quad, face_tex, 4));

    const Vertex3 *camera = area_at<Vertex3>(0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(quad[i].x, camera[i].x);
        EXPECT_EQ(quad[i].z, camera[i].z);
    }
    const Vertex3 *clipped = area_at<Vertex3>(4 * sizeof(Vertex3));
    const Vertex3 expected_clip[5] = {{0, 0, 60}, {5, 0, 40}, {10, 5, 40}, {10, 10, 60}, {0, 10, 60}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(expected_clip[i].x, clipped[i].x) << i;
        EXPECT_EQ(expected_clip[i].y, clipped[i].y) << i;
        EXPECT_EQ(expected_clip[i].z, clipped[i].z) << i;
    }
    const TexCoord *tex = reinterpret_cast<const TexCoord *>(bv::io_buffer);
    const TexCoord expected_tex[5] = {{63, 63}, {32, 63}, {0, 32}, {0, 0}, {63, 0}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(expected_tex[i].u, tex[i].u) << i;
        EXPECT_EQ(expected_tex[i].v, tex[i].v) << i;
    }
    // (x / z) * 320 + centre, y upwards: (0,0,60) -> (320, 240),
    // (5,0,40) -> (360, 240), (10,5,40) -> (400, 200), (10,10,60) ->
    // 53.33 -> (373, 187), (0,10,60) -> (320, 187).
    const ScreenPoint *pts = area_at<ScreenPoint>(9 * sizeof(Vertex3));
    const ScreenPoint expected_pts[5] = {{320, 240}, {360, 240}, {400, 200}, {373, 187}, {320, 187}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(expected_pts[i].x, pts[i].x) << i;
        EXPECT_EQ(expected_pts[i].y, pts[i].y) << i;
    }
}

TEST_F(DrawPoly, WithoutClippingTheCallersCoordinatesAreUsedAndTheBufferIsLeft) {
    bv_set_3d_flags(RF_PERSPECTIVE | RF_DEPTH);
    std::memset(bv::io_buffer, 0xCD, bv::IO_BUFFER_SIZE);
    EXPECT_EQ(0, bv_draw_3d_poly(front_face, face_tex, 4));
    for (std::size_t i = 0; i < bv::IO_BUFFER_SIZE; ++i) ASSERT_EQ(0xCD, bv::io_buffer[i]) << i;
    // Screen points directly after the four camera-space vertices.
    const ScreenPoint *pts = area_at<ScreenPoint>(4 * sizeof(Vertex3));
    const ScreenPoint expected[4] = {{400, 320}, {240, 320}, {240, 160}, {400, 160}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(expected[i].x, pts[i].x) << i;
        EXPECT_EQ(expected[i].y, pts[i].y) << i;
    }
    EXPECT_EQ(160 * 160, coverage().count);
}

TEST_F(DrawPoly, ClippingOverwritesTheImageBuffer) {
    std::memset(bv::io_buffer, 0xCD, bv::IO_BUFFER_SIZE);
    bv_draw_3d_poly(front_face, face_tex, 4);
    const TexCoord *tex = reinterpret_cast<const TexCoord *>(bv::io_buffer);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(face_tex[i].u, tex[i].u);
        EXPECT_EQ(face_tex[i].v, tex[i].v);
    }
    EXPECT_EQ(0xCD, bv::io_buffer[4 * sizeof(TexCoord)]);
}

TEST_F(DrawPoly, FewerThanTwoVerticesDrawNothingAndTwoArePassedOn) {
    std::memset(bv::io_buffer, 0xCD, bv::IO_BUFFER_SIZE);
    EXPECT_EQ(0, bv_draw_3d_poly(front_face, face_tex, 0));
    EXPECT_EQ(0, bv_draw_3d_poly(front_face, face_tex, 1));
    EXPECT_EQ(0xCD, bv::io_buffer[0]);
    // Two vertices go through clipping (their coordinates land in the
    // buffer); a two-vertex polygon covers no pixel.
    EXPECT_EQ(0, bv_draw_3d_poly(front_face, face_tex, 2));
    const TexCoord *tex = reinterpret_cast<const TexCoord *>(bv::io_buffer);
    EXPECT_EQ(63, tex[1].v);
    EXPECT_EQ(0, tex[1].u);
    EXPECT_EQ(0, coverage().count);
    EXPECT_EQ(0, bv_draw_3d_poly(nullptr, face_tex, 4));
    EXPECT_EQ(0, bv_draw_3d_poly(front_face, nullptr, 4));
    EXPECT_EQ(0, coverage().count);
}

TEST_F(DrawPoly, FarAndNearRejection) {
    // The cube at z 1100: every vertex beyond far.
    bv_set_3d_pose(0, 0, 1100, 0, 0, 0);
    bv_draw_3d_poly(front_face, face_tex, 4);
    EXPECT_EQ(0, coverage().count);
    // Face at z = 38, wholly on the near side of 40.
    bv_set_3d_pose(0, 0, 58, 0, 0, 0);
    bv_draw_3d_poly(front_face, face_tex, 4);
    EXPECT_EQ(0, coverage().count);
    // Face at z = 41: drawn whole.
    bv_set_3d_pose(0, 0, 61, 0, 0, 0);
    bv_draw_3d_poly(front_face, face_tex, 4);
    EXPECT_GT(coverage().count, 0);
}

TEST_F(DrawPoly, RenderFlagsChooseTheMember) {
    // Camera space: left edge x = -1 at z = 2, right edge x = 2 at z = 4;
    // scale 64 and centre (256, 256) put both edges at columns 224 and 288.
    // On row 256 u runs 0 .. 64 across 64 pixels: the middle pixel samples
    // u = 21.3 with perspective, 32 without.
    bv_set_3d_viewport(0, 511, 0, 511, 0.125);
    bv_set_3d_pose(0, 0, 0, 0, 0, 0);
    bv_select_texture(wide_handle_);
    const Vertex3 clockwise[4] = {{-1, 2, 2}, {2, 2, 4}, {2, -2, 4}, {-1, -2, 2}};
    const TexCoord clockwise_tex[4] = {{0, 0}, {64, 0}, {64, 0}, {0, 0}};
    const Vertex3 counter[4] = {clockwise[3], clockwise[2], clockwise[1], clockwise[0]};
    const TexCoord counter_tex[4] = {clockwise_tex[3], clockwise_tex[2], clockwise_tex[1], clockwise_tex[0]};
    const struct {
        int32_t flags;
        bool perspective, both_windings;
    } members[] = {
        {0, false, false},
        {RF_PERSPECTIVE, true, false},
        {RF_DEPTH, false, true},
        {RF_PERSPECTIVE | RF_DEPTH, true, true},
        {2, false, false},  // bit 2 has no effect
        {RF_PERSPECTIVE | RF_DEPTH | 2 | 0x100, true, true},
    };
    for (const auto &m : members) {
        SCOPED_TRACE(m.flags);
        bv_set_3d_flags(m.flags);
        clear_frame();
        bv_draw_3d_poly(clockwise, clockwise_tex, 4);
        const Coverage cw = coverage();
        EXPECT_GT(cw.count, 0);
        EXPECT_EQ(224, cw.min_x);
        EXPECT_EQ(287, cw.max_x);
        const int u = pixel(256, 256) - 1;
        if (m.perspective) {
            EXPECT_GE(u, 20);
            EXPECT_LE(u, 23);
        } else {
            EXPECT_GE(u, 31);
            EXPECT_LE(u, 33);
        }
        clear_frame();
        bv_draw_3d_poly(counter, counter_tex, 4);
        if (m.both_windings) {
            EXPECT_EQ(cw.count, coverage().count);
        } else {
            EXPECT_EQ(0, coverage().count);
        }
    }
}

TEST_F(DrawPoly, PolygonsBeyondTheStaticStorageDrawNothing) {
    std::vector<Vertex3> verts;
    std::vector<TexCoord> tex;
    // With clipping: 182 vertices fit, 183 do not.
    padded_face(182, &verts, &tex);
    bv_draw_3d_poly(verts.data(), tex.data(), 182);
    EXPECT_EQ(160 * 160, coverage().count);
    clear_frame();
    padded_face(183, &verts, &tex);
    bv_draw_3d_poly(verts.data(), tex.data(), 183);
    EXPECT_EQ(0, coverage().count);
    // Without clipping: 320 fit, 321 do not.
    bv_set_3d_flags(RF_PERSPECTIVE | RF_DEPTH);
    padded_face(320, &verts, &tex);
    bv_draw_3d_poly(verts.data(), tex.data(), 320);
    EXPECT_EQ(160 * 160, coverage().count);
    clear_frame();
    padded_face(321, &verts, &tex);
    bv_draw_3d_poly(verts.data(), tex.data(), 321);
    bv_draw_3d_poly(verts.data(), tex.data(), UINT32_MAX);
    EXPECT_EQ(0, coverage().count);
}

TEST_F(DrawPoly, AClippedOutputThatWouldNotFitDrawsNothing) {
    // 182 vertices whose depths zigzag across the near plane: far more
    // than one vertex is added, and the output does not fit.
    bv_set_3d_pose(0, 0, 0, 0, 0, 0);
    std::vector<Vertex3> verts(182);
    std::vector<TexCoord> tex(182, TexCoord{0, 0});
    for (int i = 0; i < 182; ++i) verts[i] = {std::cos(i * 0.0345) * 20, std::sin(i * 0.0345) * 20, i % 2 ? 60.0 : 20.0};
    bv_draw_3d_poly(verts.data(), tex.data(), 182);
    EXPECT_EQ(0, coverage().count);
}

TEST_F(DrawPoly, ValuesThatAreNotFiniteDrawNothing) {
    const int32_t flag_sets[] = {RF_PERSPECTIVE | RF_DEPTH | RF_CLIP, RF_PERSPECTIVE | RF_DEPTH, 0, RF_CLIP};
    for (int32_t flags : flag_sets) {
        SCOPED_TRACE(flags);
        bv_set_3d_flags(flags);
        const double bad[] = {NAN, INFINITY, -INFINITY};
        for (double b : bad)
            for (int coord = 0; coord < 3; ++coord) {
                Vertex3 verts[4];
                std::memcpy(verts, front_face, sizeof verts);
                (&verts[2].x)[coord] = b;
                bv_draw_3d_poly(verts, face_tex, 4);
                EXPECT_EQ(0, coverage().count) << b << " at " << coord;
            }
        // Finite input that overflows in the transform.
        bv_set_3d_pose(1e308, 0, 100, 0, 0, 0);
        Vertex3 verts[4];
        std::memcpy(verts, front_face, sizeof verts);
        verts[1].x = 1e308;
        bv_draw_3d_poly(verts, face_tex, 4);
        EXPECT_EQ(0, coverage().count);
        // A translation that is not a number.
        bv_set_3d_pose(0, NAN, 100, 0, 0, 0);
        bv_draw_3d_poly(front_face, face_tex, 4);
        EXPECT_EQ(0, coverage().count);
        bv_set_3d_pose(0, 0, 100, 0, 0, 0);
    }
}

TEST_F(DrawPoly, HugeProjectionsDrawNothing) {
    // 1e7 units at z = 1e-3 projects to 3.2e12 pixels: beyond 2^30.
    bv_set_3d_flags(RF_PERSPECTIVE | RF_DEPTH);
    bv_set_3d_pose(0, 0, 0, 0, 0, 0);
    const Vertex3 huge[4] = {{1e7, -1, 1e-3}, {-1, -1, 1}, {-1, 1, 1}, {1, 1, 1}};
    bv_draw_3d_poly(huge, face_tex, 4);
    EXPECT_EQ(0, coverage().count);
    const Vertex3 far_out[4] = {{1e300, -1, 1}, {-1e300, -1, 1}, {-1e300, 1e300, 1}, {1e300, 1e300, 1}};
    bv_draw_3d_poly(far_out, face_tex, 4);
    EXPECT_EQ(0, coverage().count);
    // z = 0 without clipping: the reciprocal is infinite.
    const Vertex3 at_eye[4] = {{1, -1, 0}, {-1, -1, 1}, {-1, 1, 1}, {1, 1, 1}};
    bv_draw_3d_poly(at_eye, face_tex, 4);
    EXPECT_EQ(0, coverage().count);
    const Vertex3 origin_at_eye[4] = {{0, 0, 0}, {-1, -1, 1}, {-1, 1, 1}, {1, 1, 1}};
    bv_draw_3d_poly(origin_at_eye, face_tex, 4);
    EXPECT_EQ(0, coverage().count);
}

TEST_F(DrawPoly, LargeProjectionsInsideTheBoundStillDraw) {
    // A square of +-1.3e8 units at z = 41 projects to about +-1.01e9
    // pixels, just inside 2^30: it covers the whole page, and finishes
    // quickly.
    bv_set_3d_flags(RF_PERSPECTIVE | RF_DEPTH);
    bv_set_3d_pose(0, 0, 0, 0, 0, 0);
    const double s = 1.3e8;
    const Vertex3 big[4] = {{s, -s, 41}, {-s, -s, 41}, {-s, s, 41}, {s, s, 41}};
    bv_draw_3d_poly(big, face_tex, 4);
    EXPECT_EQ(static_cast<int64_t>(PAGE_W) * PAGE_H, coverage().count);
}
