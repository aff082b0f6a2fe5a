// 3D view set-up: start values, setters, bv_sincos, the cosine table and
// the pose.
#include <cmath>
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "brivondel.h"
#include "state.h"

namespace {

// Captured during static initialisation, before any test changes the view.
const View3DState view_at_start = bv_view;

// pi as the sum of three doubles, summed in quadruple precision.
__float128 quad_pi() {
    return static_cast<__float128>(0x1.921fb54442d18p+1) + static_cast<__float128>(0x1.1a62633145c07p-53) +
           static_cast<__float128>(-0x1.f1976b7ed8fbcp-109);
}

// Taylor series in quadruple precision: sin for odd_terms, cos otherwise.
// The arguments stay below pi/4, so 40 terms are far more than enough.
__float128 quad_series(__float128 x, bool odd_terms) {
    __float128 term = odd_terms ? x : 1;
    __float128 sum = term;
    const __float128 x2 = x * x;
    for (int k = 1; k < 40; ++k) {
        const int a = odd_terms ? 2 * k : 2 * k - 1;
        term = -term * x2 / (a * (a + 1));
        sum += term;
    }
    return sum;
}

// cos(i tenths of a degree): the complement's sine past 45 degrees keeps
// the argument small and makes 90 degrees exactly 0.
__float128 quad_tenths_cosine(int i) {
    const __float128 tenth = quad_pi() / 1800;
    if (i <= 450) return quad_series(i * tenth, false);
    return quad_series((900 - i) * tenth, true);
}

void expect_same_bits(double expected, double actual) {
    EXPECT_EQ(std::signbit(expected), std::signbit(actual)) << expected << " vs " << actual;
    EXPECT_EQ(expected, actual);
}

struct SinCos {
    double c, s;
};

SinCos sincos_of(int32_t angle) {
    SinCos r{99.0, 99.0};
    EXPECT_EQ(0, bv_sincos(angle, &r.c, &r.s));
    return r;
}

// The reduction as a literal loop of +-3600 steps, in 64 bits.
int64_t reduce_by_steps(int64_t a) {
    if (a < 0) {
        while (a < 0) a += 3600;
    } else {
        while (a > 3600) a -= 3600;
    }
    return a;
}

using Matrix = long double[3][3];

void multiply(const Matrix &a, const Matrix &b, Matrix &out) {
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k) {
            long double sum = 0;
            for (int j = 0; j < 3; ++j) sum += a[r][j] * b[j][k];
            out[r][k] = sum;
        }
}

void rotation_x(long double deg, Matrix &m) {
    const long double c = std::cos(deg * M_PIl / 180), s = std::sin(deg * M_PIl / 180);
    const Matrix r = {{1, 0, 0}, {0, c, -s}, {0, s, c}};
    std::memcpy(m, r, sizeof r);
}
void rotation_y(long double deg, Matrix &m) {
    const long double c = std::cos(deg * M_PIl / 180), s = std::sin(deg * M_PIl / 180);
    const Matrix r = {{c, 0, s}, {0, 1, 0}, {-s, 0, c}};
    std::memcpy(m, r, sizeof r);
}
void rotation_z(long double deg, Matrix &m) {
    const long double c = std::cos(deg * M_PIl / 180), s = std::sin(deg * M_PIl / 180);
    const Matrix r = {{c, -s, 0}, {s, c, 0}, {0, 0, 1}};
    std::memcpy(m, r, sizeof r);
}

}  // namespace

TEST(View3DStart, HoldsTheInitialValues) {
    EXPECT_EQ(1000.0, view_at_start.far_z);
    EXPECT_EQ(1.0, view_at_start.near_z);
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 4; ++k) EXPECT_EQ(r == k ? 1.0 : 0.0, view_at_start.transform[r][k]) << r << "," << k;
    EXPECT_EQ(0.0, view_at_start.scale_x);
    EXPECT_EQ(0.0, view_at_start.scale_y);
    EXPECT_EQ(0, view_at_start.centre_x);
    EXPECT_EQ(0, view_at_start.centre_y);
    EXPECT_EQ(0, view_at_start.flags);
}

TEST(View3DSetters, StoreFlagsAndDepthsAsGiven) {
    EXPECT_EQ(0, bv_set_3d_flags(13));
    EXPECT_EQ(13, bv_view.flags);
    EXPECT_EQ(0, bv_set_3d_flags(2));
    EXPECT_EQ(2, bv_view.flags);
    EXPECT_EQ(0, bv_set_3d_depth(40.0, 1000.0));
    EXPECT_EQ(40.0, bv_view.near_z);
    EXPECT_EQ(1000.0, bv_view.far_z);
    // No ordering check: near beyond far is stored as it is.
    EXPECT_EQ(0, bv_set_3d_depth(500.0, -3.0));
    EXPECT_EQ(500.0, bv_view.near_z);
    EXPECT_EQ(-3.0, bv_view.far_z);
}

TEST(View3DSetters, ViewportScalesComeFromTheWidthAndCentresDropTheRemainder) {
    EXPECT_EQ(0, bv_set_3d_viewport(0, 639, 0, 479, 0.5));
    EXPECT_EQ(320.0, bv_view.scale_x);
    EXPECT_EQ(-320.0, bv_view.scale_y);
    EXPECT_EQ(320, bv_view.centre_x);
    EXPECT_EQ(240, bv_view.centre_y);

    bv_set_3d_viewport(0, 638, 0, 479, 0.5);
    EXPECT_EQ(319, bv_view.centre_x);  // w = 639
    EXPECT_EQ(319.5, bv_view.scale_x);

    // A tall viewport: the height only places the centre.
    bv_set_3d_viewport(100, 199, 10, 409, 1.0);
    EXPECT_EQ(100.0, bv_view.scale_x);
    EXPECT_EQ(-100.0, bv_view.scale_y);
    EXPECT_EQ(150, bv_view.centre_x);
    EXPECT_EQ(210, bv_view.centre_y);
}

TEST(View3DSetters, AbsurdViewportBoundsDoNotOverflow) {
    // w = 2^32: formed in 64 bits; the centre wraps to 32 bits.
    EXPECT_EQ(0, bv_set_3d_viewport(INT32_MIN, INT32_MAX, 0, 0, 1.0));
    EXPECT_EQ(4294967296.0, bv_view.scale_x);
    EXPECT_EQ(0, bv_view.centre_x);  // -2^31 + 2^31
    EXPECT_EQ(0, bv_view.centre_y);
    // An empty viewport: w = 0.
    bv_set_3d_viewport(10, 9, 5, 4, 0.5);
    EXPECT_EQ(0.0, bv_view.scale_x);
    EXPECT_EQ(10, bv_view.centre_x);
    EXPECT_EQ(5, bv_view.centre_y);
}

TEST(SinCos, QuarterTurnsAreExact) {
    const struct {
        int32_t angle;
        double c, s;
    } cases[] = {{0, 1.0, 0.0}, {900, 0.0, 1.0}, {1800, -1.0, 0.0}, {2700, 0.0, -1.0}, {3600, 1.0, -0.0}};
    for (const auto &k : cases) {
        SCOPED_TRACE(k.angle);
        const SinCos r = sincos_of(k.angle);
        expect_same_bits(k.c, r.c);
        expect_same_bits(k.s, r.s);
    }
}

TEST(SinCos, TwoFullTurnsReduceTo3600NotZero) {
    const SinCos r = sincos_of(7200);
    expect_same_bits(1.0, r.c);
    expect_same_bits(-0.0, r.s);
    const SinCos z = sincos_of(0);
    expect_same_bits(0.0, z.s);  // 0 itself gives +0
    const SinCos m = sincos_of(-3600);
    expect_same_bits(0.0, m.s);  // -3600 + 3600 = 0
}

TEST(SinCos, MinusSixEquals3594) {
    const SinCos a = sincos_of(-6);
    const SinCos b = sincos_of(3594);
    expect_same_bits(bv::cos_table[6], a.c);
    expect_same_bits(-bv::cos_table[894], a.s);
    expect_same_bits(b.c, a.c);
    expect_same_bits(b.s, a.s);
}

TEST(SinCos, EachQuadrantReadsTheTableAsWritten) {
    const double *T = bv::cos_table;
    struct {
        int32_t angle;
        double c, s;
    } cases[] = {
        {300, T[300], T[600]},           {1200, -T[600], T[300]},   {1801, -T[1], -T[899]},
        {2699, -T[899], -T[1]},          {3000, T[600], -T[300]},   {3599, T[1], -T[899]},
        {-900, T[900], -T[0]},           {3601, T[1], T[899]},      {-1, T[1], -T[899]},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.angle);
        const SinCos r = sincos_of(k.angle);
        expect_same_bits(k.c, r.c);
        expect_same_bits(k.s, r.s);
    }
}

TEST(SinCos, ExtremeAnglesReduceLikeRepeatedSteps) {
    const int32_t angles[] = {INT32_MIN, INT32_MIN + 1, -7201, -7200, -3601, 3601, 7199, 7201, 10800,
                              INT32_MAX, INT32_MAX - 1};
    for (int32_t angle : angles) {
        SCOPED_TRACE(angle);
        const int32_t reduced = static_cast<int32_t>(reduce_by_steps(angle));
        const SinCos a = sincos_of(angle);
        const SinCos b = sincos_of(reduced);
        expect_same_bits(b.c, a.c);
        expect_same_bits(b.s, a.s);
    }
}

TEST(SinCos, NullResultPointersAreSkipped) {
    double c = 7.0;
    EXPECT_EQ(0, bv_sincos(900, &c, nullptr));
    EXPECT_EQ(0.0, c);
    double s = 7.0;
    EXPECT_EQ(0, bv_sincos(900, nullptr, &s));
    EXPECT_EQ(1.0, s);
    EXPECT_EQ(0, bv_sincos(900, nullptr, nullptr));
}

TEST(CosTable, EndsAndSixtyDegreesAreExact) {
    expect_same_bits(1.0, bv::cos_table[0]);
    expect_same_bits(0.0, bv::cos_table[900]);
    expect_same_bits(0.5, bv::cos_table[600]);
}

TEST(CosTable, EveryEntryIsTheNearestDoubleOfAQuadPrecisionSeries) {
    for (int i = 0; i <= 900; ++i) {
        SCOPED_TRACE(i);
        const __float128 exact = quad_tenths_cosine(i);
        const double nearest = static_cast<double>(exact);
        // The reference decides only when it is far from a rounding tie.
        if (nearest != 0.0) {
            const double ulp = std::nextafter(nearest, 2.0) - nearest;
            const __float128 off = (exact - nearest) / ulp;
            const double off_d = static_cast<double>(off < 0 ? -off : off);
            ASSERT_LT(off_d, 0.5 - 1e-9);
        }
        EXPECT_EQ(nearest, bv::cos_table[i]);
        EXPECT_LE(std::fabs(static_cast<double>(exact - bv::cos_table[i])), 3e-16);
    }
}

TEST(Pose, NoAnglesGivesIdentityAndTheTranslation) {
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(0, bv_set_3d_pose(0, 0, 100, 0, 0, 0));
        const double expected[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 100}};
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 4; ++k) EXPECT_EQ(expected[r][k], bv_view.transform[r][k]) << r << "," << k;
    }
}

TEST(Pose, RebuildsFromScratchEachCall) {
    bv_set_3d_pose(1, 2, 3, 123, 456, 789);
    double first[3][4];
    std::memcpy(first, bv_view.transform, sizeof first);
    bv_set_3d_pose(9, 9, 9, 300, 300, 300);
    bv_set_3d_pose(1, 2, 3, 123, 456, 789);
    EXPECT_EQ(0, std::memcmp(first, bv_view.transform, sizeof first));
}

TEST(Pose, QuarterTurnAboutYSendsXToMinusZAndZToX) {
    bv_set_3d_pose(0, 0, 0, 0, 900, 0);
    const double(&t)[3][4] = bv_view.transform;
    // Columns are the images of the object's axes.
    EXPECT_EQ(0.0, t[0][0]);
    EXPECT_EQ(0.0, t[1][0]);
    EXPECT_EQ(-1.0, t[2][0]);
    EXPECT_EQ(1.0, t[0][2]);
    EXPECT_EQ(0.0, t[1][2]);
    EXPECT_EQ(0.0, t[2][2]);
    EXPECT_EQ(1.0, t[1][1]);
}

TEST(Pose, QuarterTurnsAboutXAndZ) {
    bv_set_3d_pose(0, 0, 0, 900, 0, 0);  // +y -> +z
    EXPECT_EQ(0.0, bv_view.transform[1][1]);
    EXPECT_EQ(1.0, bv_view.transform[2][1]);
    bv_set_3d_pose(0, 0, 0, 0, 0, 900);  // +x -> +y
    EXPECT_EQ(0.0, bv_view.transform[0][0]);
    EXPECT_EQ(1.0, bv_view.transform[1][0]);
}

TEST(Pose, ThreeAnglesGiveRzRyRxAndKeepTheTranslation) {
    const struct {
        int32_t ax, ay, az;
    } poses[] = {{300, 450, 600}, {-125, 2000, 3333}, {100, 200, 300}, {900, 900, 900}, {7300, -4000, 1}};
    for (const auto &p : poses) {
        SCOPED_TRACE(testing::Message() << p.ax << " " << p.ay << " " << p.az);
        bv_set_3d_pose(5.5, -6.25, 300, p.ax, p.ay, p.az);
        Matrix rx, ry, rz, zy, zyx, xy, xyz;
        rotation_x(p.ax / 10.0L, rx);
        rotation_y(p.ay / 10.0L, ry);
        rotation_z(p.az / 10.0L, rz);
        multiply(rz, ry, zy);
        multiply(zy, rx, zyx);
        multiply(rx, ry, xy);
        multiply(xy, rz, xyz);
        long double other_order_gap = 0;
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(static_cast<double>(zyx[r][k]), bv_view.transform[r][k], 1e-15) << r << "," << k;
                other_order_gap = std::fmax(other_order_gap, std::fabs(xyz[r][k] - bv_view.transform[r][k]));
            }
        EXPECT_GT(other_order_gap, 0.01L);
        EXPECT_EQ(5.5, bv_view.transform[0][3]);
        EXPECT_EQ(-6.25, bv_view.transform[1][3]);
        EXPECT_EQ(300.0, bv_view.transform[2][3]);
    }
}

TEST(Pose, RowUpdatesUseTheOldRows) {
    // Angle x alone: rows 1 and 2 become (0, c, -s) and (0, s, c) exactly,
    // which only holds when both are formed from the old identity rows.
    bv_set_3d_pose(0, 0, 0, 300, 0, 0);
    const double c = bv::cos_table[300], s = bv::cos_table[600];
    EXPECT_EQ(c, bv_view.transform[1][1]);
    EXPECT_EQ(-s, bv_view.transform[1][2]);
    EXPECT_EQ(s, bv_view.transform[2][1]);
    EXPECT_EQ(c, bv_view.transform[2][2]);
    EXPECT_EQ(1.0, bv_view.transform[0][0]);
}
