// The 3D view (setters, the cosine table, bv_sincos, the pose), the polygon pipeline's stages
// (transform, near-plane clipping, projection), bv_draw_3d_poly on a 16-bit page, the texture table.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <sstream>
#include <tuple>

#include <gtest/gtest.h>

#include "../raster/page.h"

namespace {

using Verts = std::vector<Vertex3>;
using Texs = std::vector<TexCoord>;
const View3DState at_start = bv_view;  // before any test changes it
uint64_t bits(double d) { return std::bit_cast<uint64_t>(d); }
auto xyz(const Vertex3 &v) { return std::tuple(v.x, v.y, v.z); }
auto uv(const TexCoord &t) { return std::tuple(t.u, t.v); }

TEST(View, StartsAtItsInitialValuesAndTheSettersStoreWhatTheyAreGiven) {
    const View3DState &v = at_start, &now = bv_view;
    EXPECT_EQ(std::tuple(v.far_z, v.near_z, v.scale_x, v.centre_x, v.centre_y, v.flags), std::tuple(1000.0, 1.0, 0.0, 0, 0, 0));
    EXPECT_EQ(bv_set_3d_flags(13) + bv_set_3d_depth(500.0, -3.0), 0);  // no ordering check
    EXPECT_EQ(std::tuple(now.flags, now.near_z, now.far_z), std::tuple(13, 500.0, -3.0));
    const struct { int32_t x0, x1, y0, y1; double factor, scale; int32_t cx, cy; } viewports[] = {
        {0, 639, 0, 479, 0.5, 320, 320, 240}, {0, 638, 0, 479, 0.5, 319.5, 319, 240},  // the demo's: 90 degrees; w 639
        {100, 199, 10, 409, 1.0, 100, 150, 210},          // tall: the height only places the centre
        {INT32_MIN, INT32_MAX, 0, 0, 1.0, 0x1p32, 0, 0},  // w = 2^32 in 64 bits; the centre wraps
        {10, 9, 5, 4, 0.5, 0, 10, 5},                     // empty
    };
    for (const auto &c : viewports) {
        EXPECT_EQ(bv_set_3d_viewport(c.x0, c.x1, c.y0, c.y1, c.factor), 0);
        EXPECT_EQ(std::tuple(now.scale_x, now.scale_y, now.centre_x, now.centre_y), std::tuple(c.scale, -c.scale, c.cx, c.cy));
    }
}

// cos(i tenths of a degree) as a Taylor series in quadruple precision, pi the sum of three doubles;
// past 45 degrees the complement's sine, which keeps the argument small and makes 90 degrees 0.
TEST(View, TheCosineTableHoldsTheNearestDoublesAndSineAndCosineComeFromIt) {
    const __float128 pi = __float128(0x1.921fb54442d18p+1) + 0x1.1a62633145c07p-53 - 0x1.f1976b7ed8fbcp-109;
    for (int i = 0; i <= 900; ++i) {
        const __float128 x = (i > 450 ? 900 - i : i) * pi / 1800;
        __float128 term = i > 450 ? x : 1, exact = term;
        for (int k = i > 450 ? 2 : 1; k < 80; k += 2) term = -term * x * x / (k * (k + 1)), exact += term;
        const double nearest = double(exact), ulp = std::nextafter(nearest, 2.0) - nearest;
        ASSERT_LT(std::fabs(double((exact - nearest) / ulp)), 0.5 - 1e-9) << i;  // far from a tie
        EXPECT_EQ(bits(bv::cos_table[i]), bits(nearest)) << i;
    }
    // bv_sincos gives table entries or their negatives by quadrant.
    const double *T = bv::cos_table;
    const struct { int32_t angle; double c, s; } cases[] = {
        {0, 1, 0}, {900, 0, 1}, {1800, -1, 0}, {2700, 0, -1}, {3600, 1, -0.0}, {7200, 1, -0.0}, {-3600, 1, 0},
        {-900, 0, -1}, {300, T[300], T[600]}, {1200, -T[600], T[300]}, {1801, -T[1], -T[899]}, {2699, -T[899], -T[1]},
        {3000, T[600], -T[300]}, {3599, T[1], -T[899]}, {-6, T[6], -T[894]}, {3594, T[6], -T[894]},
        {3601, T[1], T[899]}, {7199, T[1], -T[899]}, {-7201, T[1], -T[899]}, {INT32_MAX, T[847], T[53]},  // to 847
        {INT32_MIN, T[848], -T[52]}, {INT32_MIN + 1, T[847], -T[53]},  // by +-3600 steps INT32_MIN reaches 2752
    };
    for (const auto &k : cases) {
        double c = 9, s = 9;
        EXPECT_EQ(bv_sincos(k.angle, &c, &s), 0);
        EXPECT_EQ(std::make_tuple(bits(c), bits(s)), std::make_tuple(bits(k.c), bits(k.s))) << k.angle;
    }
}

// Rz Ry Rx with Rx = [[1, 0, 0], [0, c, -s], [0, s, c]], Ry = [[c, 0, s], [0, 1, 0], [-s, 0, c]],
// Rz = [[c, -s, 0], [s, c, 0], [0, 0, 1]], worked out by hand; c and s of 30 degrees are table entries.
// Each pose follows the one before: it is built afresh, not accumulated.
TEST(View, ThePoseTurnsAboutXThenYThenZAndThenMoves) {
    const double c = bv::cos_table[300], s = 0.5, t[3] = {5.5, -6.25, 300};
    const struct { int32_t ax, ay, az; double r[9]; } poses[] = {
        {0, 0, 0, {1, 0, 0, 0, 1, 0, 0, 0, 1}},        {0, 900, 0, {0, 0, 1, 0, 1, 0, -1, 0, 0}},  // +x to -z, +z to +x
        {900, 0, 0, {1, 0, 0, 0, 0, -1, 0, 1, 0}},     {0, 0, 900, {0, -1, 0, 1, 0, 0, 0, 0, 1}},
        {900, 900, 0, {0, 1, 0, 0, 0, -1, -1, 0, 0}},  {900, 900, 900, {0, 0, 1, 0, 1, 0, -1, 0, 0}},  // not Rx Ry Rz
        {300, 0, 0, {1, 0, 0, 0, c, -s, 0, s, c}},     {0, 300, 0, {c, 0, s, 0, 1, 0, -s, 0, c}},
        {0, 0, 300, {c, -s, 0, s, c, 0, 0, 0, 1}},     {300, 900, 0, {0, s, c, 0, c, -s, -1, 0, 0}},
    };
    for (const auto &p : poses) {
        EXPECT_EQ(bv_set_3d_pose(t[0], t[1], t[2], p.ax, p.ay, p.az), 0);
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(bv_view.transform[i / 4][i % 4], i % 4 == 3 ? t[i / 4] : p.r[i / 4 * 3 + i % 4]) << p.ax << p.ay;
    }
}

TEST(Stages, TransformSumsEachRowLeftToRight) {
    // With 1, 2^53 and -2^53 only ((x t0 + y t1) + z t2) + t3 gives 0.
    const struct { double t[3][4]; Vertex3 in, out; } cases[] = {
        {{{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}}, {1, 10, 100}, {325, 773, 1221}},
        {{{1, 1, 1, 0}, {1, 1, 1, 0}, {1, 1, 1, 0}}, {1, 0x1p53, -0x1p53}, {0, 0, 0}}};
    for (const auto &c : cases) {
        Vertex3 out;
        std::memcpy(bv_view.transform, c.t, sizeof c.t);
        EXPECT_EQ(bv::transform_points(&c.in, &out, 1), 0);
        EXPECT_EQ(xyz(out), xyz(c.out));
    }
}

Verts quad(double z0, double z1, double z2, double z3) { return {{0, 0, z0}, {10, 0, z1}, {10, 10, z2}, {0, 10, z3}}; }
const Texs FACE_TEX = {{63, 63}, {0, 63}, {0, 0}, {63, 0}};

// `out` and `tex_out` unchecked when empty.
struct Clip { Verts in; Texs tex; int count; Verts out = {}; Texs tex_out = {}; uint32_t capacity = 64; double near = 40; };

// From P hidden to Q visible: crossing(Q -> P), crossing(P -> Q), Q.
Clip edge(double pz, double qz, TexCoord tp, TexCoord tq, TexCoord crossing) {
    return {{{0, 0, pz}, {0, 0, qz}}, {tp, tq}, 3, {{0, 0, 40}, {0, 0, 40}, {0, 0, qz}}, {crossing, crossing, tq}};
}

// n vertices zigzagging across the near plane of 40: a non-convex outline gains far more than one.
Verts zigzag(int n) {
    Verts v;
    for (int i = 0; i < n; ++i) v.push_back({std::cos(i * 0.0345) * 20, std::sin(i * 0.0345) * 20, i % 2 ? 60.0 : 20.0});
    return v;
}
const Verts ZIGZAG = zigzag(6);

// Near 40 and far 1000 unless a row says otherwise.
const Clip clips[] = {
    // Only V1 hidden: V0, V0-V1, V1-V2, V2, V3. Only V0: V3-V0, V0-V1, V1, V2, V3. V1 on the plane is hidden.
    {quad(60, 20, 60, 60), FACE_TEX, 5, {{0, 0, 60}, {5, 0, 40}, {10, 5, 40}, {10, 10, 60}, {0, 10, 60}},
     {{63, 63}, {32, 63}, {0, 32}, {0, 0}, {63, 0}}},
    {quad(20, 60, 60, 60), FACE_TEX, 5, {{0, 5, 40}, {5, 0, 40}, {10, 0, 60}, {10, 10, 60}, {0, 10, 60}},
     {{63, 32}, {32, 63}, {0, 63}, {0, 0}, {63, 0}}},
    {quad(60, 40, 60, 60), FACE_TEX, 5, {{0, 0, 60}, {10, 0, 40}, {10, 0, 40}, {10, 10, 60}, {0, 10, 60}},
     {{63, 63}, {0, 63}, {0, 63}, {0, 0}, {63, 0}}},
    // Nearest, ties to even: 15.75 to 16 (t = 0.25), 2.5 to 2, 3.5 and 4.5 to 4, -2.5 and -1.5 to -2, 31.5 to 32.
    edge(30, 70, {0, 0}, {63, 0}, {16, 0}), edge(20, 60, {0, 0}, {5, 0}, {2, 0}), edge(20, 60, {0, 0}, {7, 9}, {4, 4}),
    edge(20, 60, {0, 0}, {-5, -3}, {-2, -2}), edge(20, 60, {63, 63}, {0, 63}, {32, 63}),
    {quad(40, 40, 40, 40), FACE_TEX, 0}, {quad(39, 10, -50, 0), FACE_TEX, 0},  // nothing in front
    {quad(1001, 2000, 5000, 1000.5), FACE_TEX, 0},                              // wholly beyond far
    {quad(1001, 2000, 5000, 1000), FACE_TEX, 4, quad(1001, 2000, 5000, 1000)},  // one at far lets all through
    {{}, {}, 0}, {{{0, 0, 60}}, {{1, 1}}, 0}, {{{0, 0, 60}, {1, 1, 70}}, {{1, 2}, {3, 4}}, 2, {}, {{1, 2}, {3, 4}}},
    // Room for the output: 5 need 5; the zigzag grows from 6 to 9.
    {quad(60, 20, 60, 60), FACE_TEX, 0, {}, {}, 4}, {quad(60, 20, 60, 60), FACE_TEX, 5, {}, {}, 5},
    {ZIGZAG, Texs(6), 9, {}, {}, 9}, {ZIGZAG, Texs(6), 0, {}, {}, 8}, {ZIGZAG, Texs(6), 0, {}, {}, 0},
    // near - P.z and Q.z - P.z both overflow: t = inf / inf, no texture coordinate.
    {{{0, 0, -1e308}, {0, 0, 1.5e308}}, {{0, 0}, {INT32_MAX, INT32_MAX}}, 0, {}, {}, 64, 1e308},
};

TEST(Stages, ClippingToTheNearPlane) {
    for (const Clip &c : clips) {
        SCOPED_TRACE(&c - clips);
        Verts out(c.capacity + 1, Vertex3{-1, -1, -1});
        Texs tex(c.capacity + 1, TexCoord{-1, -1});
        bv_set_3d_depth(c.near, 1000.0);
        EXPECT_EQ(bv::clip_to_near_plane(c.in.data(), out.data(), c.tex.data(), tex.data(), c.in.size(), c.capacity),
                  c.count);
        for (size_t i = 0; i < c.out.size(); ++i) EXPECT_EQ(xyz(out[i]), xyz(c.out[i])) << i;
        for (size_t i = 0; i < c.tex_out.size(); ++i) EXPECT_EQ(uv(tex[i]), uv(c.tex_out[i])) << i;
        EXPECT_EQ(xyz(out[c.capacity]), xyz(Vertex3{-1, -1, -1}));  // nothing past the room given
    }
}

TEST(Stages, ProjectionRoundsHalvesToEvenBeforeAddingTheCentreAndFitsIn32Bits) {
    constexpr double MAX = 2147483647.0, h = 0.5 / 320, h3 = 1.5 / 320, h5 = 2.5 / 320;  // h * 320 is exactly 0.5
    constexpr int64_t NO = INT64_MIN;
    const struct { Vertex3 in; double scale; int32_t cx, cy; int64_t x, y = 0; } cases[] = {
        {{20, -20, 80}, 320, 320, 240, 400, 320}, {{123, -456, 7}, 0, 0, 0, 0, 0},  // the demo's view; no viewport yet
        {{h, -h, 1}, 320, 320, 240, 320, 240}, {{h3, -h3, 1}, 320, 320, 240, 322, 242},  // 0.5 to 0, 1.5 to 2
        {{h5, -h5, 1}, 320, 320, 240, 322, 242}, {{-h, h3, 1}, 320, 320, 240, 320, 238},  // 2.5 to 2; y upwards
        {{MAX, MAX, 1}, 1, 0, 0, INT32_MAX, -INT32_MAX}, {{-MAX - 1, -MAX, 1}, 1, 0, 0, INT32_MIN, INT32_MAX},
        {{MAX + 1, 0, 1}, 1, 0, 0, NO}, {{-MAX - 2, 0, 1}, 1, 0, 0, NO}, {{0, -MAX - 1, 1}, 1, 0, 0, NO},
        {{1e10, 0, 1}, 1, 0, 0, NO}, {{MAX, 0, 1}, 1, 1, 0, NO}, {{1, 0, 1}, 1, INT32_MAX, 0, NO},  // with centre
        {{0, 1, 1}, 1, 0, INT32_MIN, NO}, {{0, 0, 1}, 1, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX},
    };
    for (const auto &c : cases) {
        ScreenPoint pt{};
        std::tie(bv_view.scale_x, bv_view.scale_y, bv_view.centre_x, bv_view.centre_y) = std::tuple(c.scale, -c.scale, c.cx, c.cy);
        EXPECT_EQ(bv::project_points(&c.in, &pt, 1), c.x == NO ? -1 : 0) << &c - cases;
        if (c.x != NO) { EXPECT_EQ(std::make_tuple(pt.x, pt.y), std::make_tuple(c.x, c.y)) << &c - cases; }
    }
}

// ---- bv_draw_3d_poly on a 640 x 480 page at 16 bits --------------------------------------

struct Draw : testing::Test {
    Page page;
    void SetUp() override { ASSERT_TRUE(page.start(640, 480, 16, 0)); }
    void frame(int32_t flags, double x, double y, double z) {
        bv_set_3d_viewport(0, 639, 0, 479, 0.5), bv_set_3d_depth(40, 1000), bv_set_3d_flags(flags);
        bv_set_3d_pose(x, y, z, 0, 0, 0), bv_zbuffer_frame(), page.blank();
    }
};

Verts face(size_t n, Vertex3 first = {20, -20, -20}) {  // the demo's front face, its last vertex repeated
    Verts v = {first, {-20, -20, -20}, {-20, 20, -20}, {20, 20, -20}};
    return v.resize(n, v[3]), v;
}

// Flags, the pose's translation, the vertices (empty: no array), the count, and the pixels covered.
const struct { int32_t flags; Vertex3 at; Verts v; uint32_t count; int64_t covered; } draws[] = {
    // Corners (400, 320), (240, 320), (240, 160), (400, 160): columns 240 to 399, rows 160 to 319.
    {13, {0, 0, 100}, face(4), 4, 160 * 160}, {13, {0, 0, 100}, face(4), 1, 0}, {13, {0, 0, 100}, {}, 4, 0},
    {13, {0, 0, 1100}, face(4), 4, 0}, {13, {0, 0, 58}, face(4), 4, 0},  // beyond far; z 38, before near
    // Clipped, 24 bytes a vertex in and 32 out, one more out: 182 fit work_area, 183 do not; unclipped 320.
    {13, {0, 0, 100}, face(182), 182, 160 * 160}, {13, {0, 0, 100}, face(183), 183, 0},
    {5, {0, 0, 100}, face(320), 320, 160 * 160}, {5, {0, 0, 100}, face(321), 321, 0}, {13, {}, zigzag(182), 182, 0},
    // Not finite after the transform, or projected beyond 32 bits (20 / 1e-9 * 320 pixels).
    {13, {1e308, 0, 100}, face(4, {1e308, -20, -20}), 4, 0}, {13, {0, NAN, 100}, face(4), 4, 0},
    {5, {0, 0, 20}, face(4, {20, -20, -20 + 1e-9}), 4, 0},
    // +-1.3e8 / 41 * 320 = +-1.01e9 and +-2.6e8 / 41 * 320 = +-2.03e9, inside 32 bits: the whole page, quickly.
    {5, {0, 0, 0}, {{1.3e8, -1.3e8, 41}, {-1.3e8, -1.3e8, 41}, {-1.3e8, 1.3e8, 41}, {1.3e8, 1.3e8, 41}}, 4, 640 * 480},
    {5, {0, 0, 0}, {{2.6e8, -2.6e8, 41}, {-2.6e8, -2.6e8, 41}, {-2.6e8, 2.6e8, 41}, {2.6e8, 2.6e8, 41}}, 4, 640 * 480},
};

TEST_F(Draw, CoversWhatItShould) {
    for (const auto &c : draws) {
        Texs tex(std::max<size_t>(c.v.size(), 4), FACE_TEX[3]);
        std::copy(FACE_TEX.begin(), FACE_TEX.end(), tex.begin());
        frame(c.flags, c.at.x, c.at.y, c.at.z), std::memset(bv::io_buffer, 0xCD, bv::IO_BUFFER_SIZE);
        EXPECT_EQ(bv_draw_3d_poly(c.v.empty() ? nullptr : c.v.data(), tex.data(), c.count), 0);
        EXPECT_EQ(page.drawn(), c.covered) << &c - draws;
        const auto untouched = std::count(bv::io_buffer, bv::io_buffer + bv::IO_BUFFER_SIZE, 0xCD);
        if (!(c.flags & RF_CLIP)) { EXPECT_EQ(untouched, bv::IO_BUFFER_SIZE) << &c - draws; }  // unclipped: left alone
    }
    frame(13, 0, 0, 100), bv_draw_3d_poly(face(4).data(), nullptr, 4);
    EXPECT_EQ(page.drawn(), 0);
}

// A texture defined while no page is selected records no texel size and takes that of the page it is drawn on.
TEST_F(Draw, ATextureDefinedWithNoPageSelectedDrawsOnThePage) {
    bv_deselect_page(), bv_alloc_textures(1);
    const int32_t handle = bv_define_texture(page.texels.data(), 64, 64);
    bv_select_page(0), bv_select_texture(handle);
    frame(13, 0, 0, 100), bv_draw_3d_poly(face(4).data(), FACE_TEX.data(), 4);
    EXPECT_EQ(page.drawn(), 160 * 160);
}

TEST_F(Draw, TheArraysFollowEachOtherInTheStaticStorage) {
    // Clipped: camera-space vertices, the clipped ones, their screen points at (x / z) 320 + 320,
    // 240 - (y / z) 320; the texture coordinates in io_buffer.
    const Vertex3 clipped[5] = {{0, 0, 60}, {5, 0, 40}, {10, 5, 40}, {10, 10, 60}, {0, 10, 60}};
    const ScreenPoint pts[5] = {{320, 240}, {360, 240}, {400, 200}, {373, 187}, {320, 187}};
    const TexCoord tex[5] = {{63, 63}, {32, 63}, {0, 32}, {0, 0}, {63, 0}};
    const Verts in = quad(60, 20, 60, 60);
    frame(13, 0, 0, 0), std::memset(bv::io_buffer, 0xCD, bv::IO_BUFFER_SIZE);
    bv_draw_3d_poly(in.data(), FACE_TEX.data(), 4);
    EXPECT_EQ(std::memcmp(bv::work_area + 4 * sizeof(Vertex3), clipped, sizeof clipped), 0);
    EXPECT_EQ(std::memcmp(bv::work_area + 9 * sizeof(Vertex3), pts, sizeof pts), 0);
    EXPECT_EQ(std::memcmp(bv::io_buffer, tex, sizeof tex), 0);
    EXPECT_EQ(bv::io_buffer[sizeof tex], 0xCD);
    frame(13, 0, 0, 100), bv_draw_3d_poly(face(4).data(), FACE_TEX.data(), 2);  // two vertices are passed on
    EXPECT_EQ(std::memcmp(bv::io_buffer, FACE_TEX.data(), 2 * sizeof(TexCoord)), 0);
}

TEST_F(Draw, TheFlagsChooseTheMember) {
    // x = -1 at z = 2 and x = 2 at z = 4 land on columns 224 and 288 (scale 64, centre 256). Across
    // row 256 u/z runs from 0 to 15.75 and 1/z from 0.5 to 0.25: the middle pixel starts a run at
    // u = 7.875 / 0.375 = 21, which ends at 63, and samples 21 + 1.3125 / 2 + 0.5 in perspective;
    // affine, DU = 63 * 65536 / 64 and it samples (32.5 * 64512 + 32768) / 65536 = 32.49. The members
    // with depth leave the current frame's stamp in the depth buffer.
    const Vertex3 v[4] = {{-1, 2, 2}, {2, 2, 4}, {2, -2, 4}, {-1, -2, 2}};
    const TexCoord tex[4] = {{0, 0}, {63, 0}, {63, 0}, {0, 0}};
    const int32_t members[][3] = {{0, 32, false}, {RF_PERSPECTIVE, 22, false}, {RF_DEPTH, 32, true},
                                  {RF_PERSPECTIVE | RF_DEPTH, 22, true}, {2, 32, false},
                                  {RF_PERSPECTIVE | RF_DEPTH | 2 | 0x100, 22, true}};  // other bits do nothing
    for (const auto &[flags, u, depth] : members) {
        frame(flags, 0, 0, 0), bv_set_3d_viewport(0, 511, 0, 511, 0.125), bv_draw_3d_poly(v, tex, 4);
        EXPECT_EQ(page.raw()[256 * bv_target.pitch + 256 * 2 + 1], u) << flags;  // byte 1: the texel's column
        EXPECT_EQ(bv_target.zbuffer[256 * 640 + 256] >> 24 == bv_target.zstamp >> 24, depth) << flags;
    }
}


// op arg=want: Alloc count = result; Define block b ((4 + b) x (2 + b); -1 null) = handle; Select handle = the
// block then current; Free handle, Release (the display's stop) = mask of slots in use; device Kind; Page bits
// (0 none), then define and select = texel bytes.
const char *const script =
    "A6=0 D0=0 D1=1 D2=2 D3=3 D4=4 D5=5 D6=-1 "                   // six slots, then none
    "S1=1 S4=4 F2=59 S2=4 S6=4 S-1=4 S-2147483648=4 "             // a freed or invalid handle keeps the last
    "D7=2 S2=7 F2=59 S99=7 "                                      // reused first, resized; freed, still current
    "F6=59 F2147483647=59 F-2147483648=0 D0=0 F-1=0 D1=0 "        // past the table nothing; negative: all
    "A0=-1 A-1=-1 A-2147483648=-1 A2147483647=-1 A134217728=-1 "  // counts that are not positive or 2^32 bytes
    "F9=1 S0=1 A2=0 F9=0 S9=1 D-1=-1 D2=0 D3=1 D4=-1 "            // ...change nothing; a new table is empty
    "R0=0 D5=-1 S0=1 F-1=0 A1=0 D5=0 "                            // the display's stop releases the table
    "K1=0 F-1=0 D0=-2 F9=0 K0=0 D0=0 "                            // a device kind, no device: fails, slot free
    "P0=0 P8=1 P16=2 P24=3 P32=3";                                // texel bytes of the page at definition

TEST(Textures, FollowTheTableRules) {
    bvtest::reset_library();
    static uint8_t blocks[8][300];
    const TextureState &t = bv_textures;
    std::istringstream steps(script);
    char op, eq;
    for (int32_t arg, want; steps >> op >> arg >> eq >> want;) {
        int32_t got = 0;
        if (op == 'A') got = bv_alloc_textures(arg);
        if (op == 'D') got = bv_define_texture(arg < 0 ? nullptr : blocks[arg], 4 + arg, 2 + arg);
        if (op == 'S') got = bv_select_texture(arg) - 1;
        for (int b = 0; op == 'S' && b < 8; ++b) got = t.current_texels == uintptr_t(blocks[b]) ? got + 1 + b : got;
        if (op == 'S' && got >= 0) { EXPECT_EQ(std::tuple(t.current_width, t.current_height), std::tuple(4 + got, 2 + got)); }
        if (op == 'F') bv_free_texture(arg);
        if (op == 'R') bv_stop_display();
        if (op == 'K') bv_display.device_kind = arg;
        if (op == 'P') bv_target.page = arg ? 0 : -1, bv_target.bits_per_pixel = arg, bv_free_texture(-1);
        if (op == 'P') bv_select_texture(bv_define_texture(blocks[0], 4, 2)), got = t.current_texel_bytes;
        for (int i = 0; (op == 'F' || op == 'R') && i < t.texture_count; ++i) got |= !!t.texture_table[i].texels << i;
        EXPECT_EQ(got, want) << op << arg;
    }
}

}  // namespace
