// The 3D view: render flags, depth range, viewport projection, the object
// pose, and sine and cosine of whole tenths of a degree from cos_table.
#include <cstdint>

#include "state.h"

View3DState bv_view = {
    1000.0,
    1.0,
    {{1.0, 0.0, 0.0, 0.0}, {0.0, 1.0, 0.0, 0.0}, {0.0, 0.0, 1.0, 0.0}},
    0.0,
    0.0,
    0,
    0,
    0,
};

namespace {

// Folds any angle into 0..3600 the way repeated +-3600 steps would:
// negative angles land in 0..3599, angles above 3600 in 1..3600, and 3600
// itself stays 3600. Done by remainder so INT32_MIN costs no long loop.
int32_t reduce_tenths(int32_t angle) {
    if (angle < 0) {
        int32_t a = angle % 3600;
        return a < 0 ? a + 3600 : a;
    }
    if (angle > 3600) return (angle - 1) % 3600 + 1;
    return angle;
}

// Rows a and b of the rotation become c*a - s*b and c*b + s*a, both from
// the old values; the translation column stays.
void rotate_rows(double (&t)[3][4], int a, int b, double c, double s) {
    for (int k = 0; k < 3; ++k) {
        const double old_a = t[a][k];
        const double old_b = t[b][k];
        t[a][k] = c * old_a - s * old_b;
        t[b][k] = c * old_b + s * old_a;
    }
}

}  // namespace

int32_t bv_set_3d_flags(int32_t flags) {
    bv_view.flags = flags;
    return 0;
}

int32_t bv_set_3d_depth(double near_z, double far_z) {
    bv_view.near_z = near_z;
    bv_view.far_z = far_z;
    return 0;
}

// Both scales come from the width, so pixels stay square. The sizes are
// formed in 64 bits so that absurd bounds cannot overflow; the centre then
// wraps to 32 bits like any other int result.
int32_t bv_set_3d_viewport(int32_t xmin, int32_t xmax, int32_t ymin, int32_t ymax, double factor) {
    const int64_t w = static_cast<int64_t>(xmax) - xmin + 1;
    const int64_t h = static_cast<int64_t>(ymax) - ymin + 1;
    bv_view.scale_x = factor * static_cast<double>(w);
    bv_view.scale_y = -(factor * static_cast<double>(w));
    bv_view.centre_x = static_cast<int32_t>(xmin + w / 2);
    bv_view.centre_y = static_cast<int32_t>(ymin + h / 2);
    return 0;
}

// R = Rz * Ry * Rx, built by left-multiplying the identity with each turn
// in the order X, Y, Z; a zero angle skips its turn entirely.
int32_t bv_set_3d_pose(double x, double y, double z, int32_t angle_x, int32_t angle_y, int32_t angle_z) {
    double (&t)[3][4] = bv_view.transform;
    const double translation[3] = {x, y, z};
    for (int r = 0; r < 3; ++r) {
        for (int k = 0; k < 3; ++k) t[r][k] = r == k ? 1.0 : 0.0;
        t[r][3] = translation[r];
    }
    double c = 0.0;
    double s = 0.0;
    if (angle_x != 0) {
        bv_sincos(angle_x, &c, &s);
        rotate_rows(t, 1, 2, c, s);
    }
    if (angle_y != 0) {
        // The Y turn is [[c,0,s],[0,1,0],[-s,0,c]]: row 2 plays the first role.
        bv_sincos(angle_y, &c, &s);
        rotate_rows(t, 2, 0, c, s);
    }
    if (angle_z != 0) {
        bv_sincos(angle_z, &c, &s);
        rotate_rows(t, 0, 1, c, s);
    }
    return 0;
}

// Exact table entries or their negatives, by quadrant; a null result
// pointer is skipped.
int32_t bv_sincos(int32_t angle, double *cosine, double *sine) {
    const double *T = bv::cos_table;
    const int32_t a = reduce_tenths(angle);
    double c;
    double s;
    if (a <= 900) {
        c = T[a];
        s = T[900 - a];
    } else if (a <= 1800) {
        c = -T[1800 - a];
        s = T[a - 900];
    } else if (a < 2700) {
        c = -T[a - 1800];
        s = -T[2700 - a];
    } else {
        c = T[3600 - a];
        s = -T[a - 2700];
    }
    if (cosine != nullptr) *cosine = c;
    if (sine != nullptr) *sine = s;
    return 0;
}
