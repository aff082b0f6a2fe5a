// The four scan converters at every pixel depth: against the reference model, byte for byte (row padding
// included) and depth entry for entry; against values worked out by hand; where nothing sound can be drawn.
#include <chrono>
#include <tuple>

#include <gtest/gtest.h>

#include "page.h"
#include "reference_model.h"

namespace {

struct Poly { std::vector<ScreenPoint> pts; std::vector<TexCoord> tex; std::vector<Vertex3> cam; };

Poly poly(std::vector<ScreenPoint> pts, std::vector<TexCoord> tex, std::vector<double> z) {
    Poly p{std::move(pts), std::move(tex), {}};
    for (double d : z) p.cam.push_back({0, 0, d});
    return p;
}

const std::vector<TexCoord> CORNERS = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
const std::vector<ScreenPoint> SQUARE = {{10, 10}, {50, 10}, {50, 50}, {10, 50}};  // clockwise on the screen

void draw(int m, const Poly &p) {
    auto or_null = [](const auto &v) { return v.empty() ? nullptr : v.data(); };
    const auto n = uint32_t(p.pts.empty() ? p.tex.size() : p.pts.size());
    if (m == ref::Affine) return void(bv::raster_affine(or_null(p.pts), or_null(p.tex), n));
    auto *member = m == ref::PerspectiveDepth ? bv::raster_perspective_depth
                   : m == ref::Perspective    ? bv::raster_perspective : bv::raster_affine_depth;
    member(or_null(p.pts), or_null(p.tex), or_null(p.cam), n);
}

// Draws with the member and with the model from the same page state and compares the pages and
// the depth buffers.
void expect_model(Page &page, int m, const Poly &p) {
    const DrawTarget &t = bv_target;
    const int32_t held = t.lock_depth;
    ref::Image want{page.raw(), page.depth(), t.width, t.pitch, pixel_bytes(), t.zstamp, t.clip_min_x, t.clip_max_x,
                    t.clip_min_y, t.clip_max_y, t.origin_x, t.origin_y, page.texels.data(),
                    bv_textures.current_width, bv_textures.current_height, bv_textures.current_texel_bytes};
    ref::draw(m, p.pts.data(), p.tex.data(), p.cam.data(), int(p.pts.size()), want);
    draw(m, p);
    EXPECT_EQ(t.lock_depth, held);
    EXPECT_TRUE(page.raw() == want.pixels);
    EXPECT_TRUE(page.depth() == want.depth);
}

// ---- By hand and against the model, every member at every depth ----------------------------

constexpr int M21 = 1 << 21;  // 2^21
constexpr int T(int column, int row) { return column << 8 | row; }
const Poly SQ = poly(SQUARE, CORNERS, {9, 9, 9, 9});
const Poly NEAR = poly({{5, 5}, {40, 5}, {40, 40}, {5, 40}}, CORNERS, {5, 5, 5, 5});
const Poly FAR = poly({{20, 20}, {60, 20}, {60, 60}, {20, 60}}, CORNERS, {10, 10, 10, 10});

// `drawn`: pixels, on a blank page (none if `ccw` and the member has no depth; -1 unchecked). `spot`: x, y and for
// each member the texel there, T(column, row), at 24 and 32 bits. `frame`: clip limits and origin, as held.
struct Scene { Poly p; bool new_frame = true; int drawn = -1, tw = 64, th = 64, salt = 0, ccw = 0, spot[6] = {-1},
               frame[6] = {0, 95, 0, 79, 0, 0}; };
const std::vector<TexCoord> MIRRORED = {{63, 63}, {0, 63}, {0, 0}, {63, 0}}, ODD = {{0, 0}, {36, 0}, {36, 28}, {0, 28}};
const std::vector<TexCoord> ROW = {{0, 0}, {63, 0}, {63, 0}, {0, 0}};

// On a 96 x 80 page, one after the other: the depth buffer carries over.
const Scene scenes[] = {
    // The square fills rows and columns 10 to 49, listed either way.
    {SQ, true, 1600}, {poly({{10, 50}, {50, 50}, {50, 10}, {10, 10}}, CORNERS, {9, 9, 9, 9}), true, 1600, 64, 64, 0, 1},
    // Left edges from (0,0) to (5,3) at columns 0, 2, 4; from (5,0) to (0,3) at 5, 4, 2.
    {poly({{0, 0}, {20, 0}, {20, 3}, {5, 3}}, CORNERS, {9, 9, 9, 9}), true, 20 + 18 + 16},
    {poly({{5, 0}, {20, 0}, {20, 3}, {0, 3}}, CORNERS, {9, 9, 9, 9}), true, 15 + 16 + 18},
    // Row k of the triangle from column 0 to 29 - k (the top edge is no line); two vertices draw nothing.
    {poly({{0, 0}, {30, 0}, {0, 30}}, CORNERS, {9, 9, 9}), true, 465}, {poly({{0, 0}, {9, 9}}, CORNERS, {9, 9}), 1, 0},
    {poly({{-5, 0}, {20, 0}, {20, 3}, {-5, 3}}, MIRRORED, {9, 9, 9, 9}), true, 60},  // cut at column 0; u falls 2.5 a pixel
    {poly({{95, 10}, {120, 10}, {120, 20}, {95, 20}}, CORNERS, {9, 9, 9, 9}), true, 10},  // from the last column
    // u from 0 to 63 over 64 pixels: DU = 64512, pixel 63 shows column floor(63.5 * 63/64 + 0.5) = 63.
    {poly({{0, 0}, {64, 0}, {64, 4}, {0, 4}}, ROW, {64, 64, 64, 64}), 1, 256, 64, 64, 0, 0, {63, 0, T(63, 0), T(63, 0),
     T(63, 0), T(63, 0)}},
    // u 0 at z 1 to 64 at z 2: the middle pixel samples 21.3 + 1.3 / 2 + 0.5 in perspective, 32 + 0.5 + 0.5 affine.
    {poly({{0, 0}, {64, 0}, {64, 2}, {0, 2}}, {{0, 0}, {64, 0}, {64, 0}, {0, 0}}, {1, 2, 2, 1}), true, 128, 128, 64, 0,
     0, {32, 0, T(22, 0), T(22, 0), T(33, 0), T(33, 0)}},
    // (30, 30) is the near square's column and row 25: texel column floor(25.5 * 63/35 + 0.5) = 46 (the
    // pixel's centre), row floor(25 * 63/35 + 0.5) = 45; the far one's 10: 17 and 16 (+ salt 40).
    {NEAR, true, 35 * 35}, {FAR, false, -1, 64, 64, 40, 0, {30, 30, T(46, 45), T(57, 16), T(46, 45), T(57, 16)}},
    {FAR, true, 1600}, {NEAR, false, -1, 64, 64, 40, 0, {30, 30, T(86, 45), T(86, 45), T(86, 45), T(86, 45)}},
    // Equal depths fail. (25, 25) is the square's column and row 15: 24 and 24.
    {SQ, true, 1600}, {SQ, false, -1, 64, 64, 40, 0, {25, 25, T(24, 24), T(64, 24), T(24, 24), T(64, 24)}},
    // Against the model only: over every page edge; rows of 90 down to 11 wide; u and v falling with a
    // smaller clip rectangle and an origin; out to the last texel; beyond the texture's edges.
    {poly({{-70, -300}, {200, -20}, {150, 160}, {-40, 120}}, CORNERS, {50, 70, 200, 90}), true, 96 * 80},
    {poly({{0, 0}, {90, 0}, {0, 90}}, {{0, 0}, {63, 0}, {0, 63}}, {40, 300, 41})},
    {poly({{5, -10}, {80, 0}, {75, 70}, {0, 50}}, MIRRORED, {40, 41, 400, 90}), 1, -1, 64, 64, 0, 0, {-1},
     {7, 70, 11, 60, -9, 13}},
    {poly({{30, 5}, {94, 30}, {70, 79}, {10, 50}}, ODD, {60, 60, 60, 60}), 1, -1, 37, 29},
    {poly({{20, 20}, {70, 25}, {60, 70}, {15, 60}}, {{-20, -5}, {50, 0}, {45, 35}, {-3, 29}}, {50, 90, 200, 70}), 1, -1,
     37, 29},
    // 2^21 rows above the clip top, jumped: edges in part (going right, down, left), whole, all but a row. Each step
    // is exact (u/z, v/z, 1/z in 2^-24; u, v, depth in whole units), so the jump lands where walking does.
    {poly({{-30, -M21}, {60, -M21}, {60, 0}, {51, M21}}, {{0, 0}, {63, 0}, {20, 40}, {127, 127}}, {2, 2, 2, 2})},
    {poly({{10, -M21}, {100, -M21}, {20, M21}, {10, M21}}, {{0, 0}, {127, 0}, {0, 127}, {0, 127}}, {2, 2, 4, 4})},
    {poly({{0, -M21}, {60, -M21}, {60, -1}, {20, 40}, {0, 40}}, {{0, 0}, {63, 0}, {63, 0}, {0, 40}, {0, 0}}, {2, 2, 2, 2, 2})},
    // Rows of 75 cut to 70 from column 5: runs of 32, 32 and 6 counted from the clip edge.
    {poly({{0, 60}, {75, 60}, {75, 64}, {0, 64}}, ROW, {40, 400, 400, 40}), 1, 4 * 70, 64, 64, 0, 0, {-1},
     {5, 95, 0, 79, 0, 0}},
};

class EveryDepth : public testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(EveryDepth, DrawsWhatTheHandAndTheModelDraw) {
    const auto [m, bits] = GetParam();
    Page page;
    ASSERT_TRUE(page.start(96, 80, bits, 5));
    for (const Scene &s : scenes) {
        SCOPED_TRACE(&s - scenes);
        page.use(s.tw, s.th, s.salt);
        std::memcpy(&bv_target.clip_min_x, s.frame, sizeof s.frame);
        if (s.new_frame) bv_zbuffer_frame();
        if (s.drawn >= 0) page.blank();
        expect_model(page, m, s.p);
        if (s.drawn >= 0) { EXPECT_EQ(page.drawn(), s.ccw && !ref::has_depth(m) ? 0 : s.drawn); }
        const size_t at = std::max(s.spot[1], 0) * bv_target.pitch + std::max(s.spot[0], 0) * pixel_bytes() + 1;
        if (s.spot[0] >= 0 && bits >= 24) { EXPECT_EQ(T(page.raw()[at], page.raw()[at + 1]), s.spot[2 + m]); }
    }
}

INSTANTIATE_TEST_SUITE_P(Members, EveryDepth, testing::Combine(testing::Range(0, 4), testing::Values(8, 16, 24, 32)));

// ---- Where nothing sound could be drawn ------------------------------------------------------

constexpr int32_t BIG = INT32_MAX, SMALL = INT32_MIN;
constexpr const char *NONE = "----", *SAME = "MMMM", *NO_Z = "---M", *NO_DEPTH = "-M-M";

// Each changes the square at z = 100, or the page. What each member (perspective with depth, perspective, affine
// with depth, affine) draws: - nothing, M what the model draws, W the whole page, ? anything (sanitizers watch).
const std::pair<void (*)(Poly &), const char *> unsound_cases[] = {
    // 320 vertices (the last repeated) are what the pipeline holds, 321 more.
    {[](Poly &p) { p.pts.resize(320, SQUARE[3]), p.tex.resize(320, {0, 63}), p.cam.resize(320, {0, 0, 100}); }, SAME},
    {[](Poly &p) { p.pts.resize(321, SQUARE[3]), p.tex.resize(321, {0, 63}), p.cam.resize(321, {0, 0, 100}); }, NONE},
    {[](Poly &p) { p.pts.clear(); }, NONE}, {[](Poly &p) { p.tex.clear(); }, NONE}, {[](Poly &p) { p.cam.clear(); }, NO_Z},
    {[](Poly &p) { p.pts = {{10, 20}, {30, 20}, {50, 20}, {60, 20}}; }, NONE},  // all on one row
    // Non-convex: the walk ends where an edge climbs.
    {[](Poly &p) { p = poly({{0, 0}, {9, 9}, {19, 4}, {29, 19}, {0, 19}}, {{0, 0}, {9, 9}, {19, 4}, {29, 19}, {0, 19}},
                            {50, 60, 70, 80, 90}); }, SAME},
    // 1/z not finite, 0, or beyond 8.24 for the members with depth; z < 0 counts by its size.
    {[](Poly &p) { p.cam[0].z = NAN; }, NO_Z}, {[](Poly &p) { p.cam[2].z = -INFINITY; }, NO_Z},
    {[](Poly &p) { p.cam[2].z = -0.0; }, NO_Z}, {[](Poly &p) { p.cam[2].z = 1.0 / 256; }, NO_DEPTH},
    {[](Poly &p) { p.cam[2].z = 1.0 / 255; }, SAME}, {[](Poly &p) { p.cam[0].z = -40, p.cam[3].z = -300; }, SAME},
    // Texture coordinates beyond 16.16, at its limits, and beyond the texture (held to its edge).
    {[](Poly &p) { p.tex[0] = {32768, 0}; }, NONE}, {[](Poly &p) { p.tex[2] = {0, -32769}; }, NONE},
    {[](Poly &p) { p.tex = {{-32768, 32767}, {32767, 32767}, {32767, -32768}, {-32768, -32768}}; }, SAME},
    {[](Poly &p) { p = poly(SQUARE, {{-20, -5}, {90, 0}, {80, 70}, {-3, 64}}, {50, 90, 200, 70}); }, SAME},
    // No texture, an empty one, one defined on a page of another pixel size.
    {[](Poly &) { bv_textures.current_texels = 0; }, NONE}, {[](Poly &) { bv_textures.current_width = 0; }, NONE},
    {[](Poly &) { bv_textures.current_height = -1; }, NONE}, {[](Poly &) { bv_textures.current_texel_bytes = 3; }, NONE},
    {[](Poly &) { bv_target.zbuffer_capacity = 4095; }, NO_DEPTH}, {[](Poly &) { bv_target.zbuffer = {}; }, NO_DEPTH},
    {[](Poly &) { plat::test::fail_locks(1); }, NONE}, {[](Poly &) { bv::lock_target(); }, SAME},  // drawn through
    {[](Poly &) { bv_deselect_page(); }, NONE}, {[](Poly &) { bv_display.device_kind = 1; }, NONE},
    {[](Poly &) { bv_target.clip_min_x = 40, bv_target.clip_max_x = 39; }, NONE},
    {[](Poly &) { bv_target.bits_per_pixel = 12, bv_textures.current_texel_bytes = 1; }, SAME},  // drawn as 8 bits
    {[](Poly &p) { p = poly({{-3000, -200000}, {70, -150000}, {60, 40}, {0, 63}}, CORNERS, {400, 300, 50, 60}); }, SAME},
    {[](Poly &p) { p.pts = {{-1 << 30, -1 << 30}, {1 << 30, -1 << 30}, {1 << 30, 1 << 30}, {-1 << 30, 1 << 30}}; }, "WWWW"},
    // Anywhere in the 32-bit range; the origin at its end; 1/z from 1e-300 to 1e100: no overflow, no long walk.
    {[](Poly &p) { p.pts = {{SMALL, SMALL}, {BIG, SMALL + 7}, {BIG - 3, BIG}, {SMALL + 11, BIG - 1}}; }, "????"},
    {[](Poly &p) { p.pts = {{BIG, SMALL}, {BIG, BIG}, {SMALL, BIG}, {SMALL, BIG}}, bv_target.origin_x = BIG; }, "????"},
    {[](Poly &p) { p = poly(SQUARE, CORNERS, {1e300, 2, 1e-100, 1e300}); }, "????"},
};

class EachMember : public testing::TestWithParam<int> {};

TEST_P(EachMember, DrawsNothingUnsound) {
    const int m = GetParam();
    for (const auto &c : unsound_cases) {
        const auto &[change, want] = c;
        SCOPED_TRACE(&c - unsound_cases);
        Page page;
        ASSERT_TRUE(page.start(64, 64, 16, 6));
        const std::vector<uint8_t> before = page.raw();
        Poly p = poly(SQUARE, CORNERS, {100, 100, 100, 100});
        change(p);
        const int32_t held = bv_target.lock_depth;
        const auto started = std::chrono::steady_clock::now();
        want[m] == 'M' ? expect_model(page, m, p) : draw(m, p);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 1.0);
        EXPECT_EQ(bv_target.lock_depth, held);
        while (bv_target.lock_depth > 0) bv::unlock_target();
        bv_display.device_kind = 0;
        if (bv_target.page < 0) bv_select_page(0);
        if (want[m] == '-') { EXPECT_TRUE(page.raw() == before); }
        if (want[m] == 'W') { EXPECT_EQ(page.drawn(), 64 * 64); }
    }
}

const char *const MEMBER[] = {"perspective_depth", "perspective", "affine_depth", "affine"};
INSTANTIATE_TEST_SUITE_P(Members, EachMember, testing::Range(0, 4), [](const auto &i) { return MEMBER[i.param]; });

}  // namespace
