// The polygon pipeline: object space to camera space, near-plane clipping,
// perspective projection, and the hand-over to one of the four scan
// converters. Every stage works in the static work_area and io_buffer.
#include <cmath>
#include <cstdint>
#include <new>

#include "state.h"

namespace {

// Vertex limits of the static storage: without clipping 24 + 8 bytes per
// vertex; with clipping 24 per input vertex and 32 per output vertex, and
// a convex polygon gains at most one vertex.
constexpr uint32_t MAX_VERTICES_UNCLIPPED = bv::MAX_POLYGON_VERTICES;
constexpr uint32_t MAX_VERTICES_CLIPPED = 182;
constexpr uint32_t IO_BUFFER_TEXCOORDS = bv::IO_BUFFER_SIZE / sizeof(TexCoord);

// Screen points are 32-bit. The walkers hold columns, rows and their
// differences in 64 bits, so any point that fits draws; a scaled value
// beyond 2^32 cannot fit whatever the centre, and is refused before it is
// converted.
constexpr double SCALED_LIMIT = 4294967296.0;

static_assert(MAX_VERTICES_UNCLIPPED == bv::WORK_AREA_SIZE / (sizeof(Vertex3) + sizeof(ScreenPoint)));
static_assert(MAX_VERTICES_CLIPPED * sizeof(Vertex3) + (MAX_VERTICES_CLIPPED + 1) * (sizeof(Vertex3) + sizeof(ScreenPoint)) <=
              bv::WORK_AREA_SIZE);

template <class T>
T *work_area_at(std::size_t offset) {
    return std::launder(reinterpret_cast<T *>(bv::work_area + offset));
}

bool all_finite(const Vertex3 *v, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) {
        if (!std::isfinite(v[i].x) || !std::isfinite(v[i].y) || !std::isfinite(v[i].z)) return false;
    }
    return true;
}

bool beyond_far(const Vertex3 *v, uint32_t n, double far_z) {
    for (uint32_t i = 0; i < n; ++i) {
        if (!(v[i].z > far_z)) return false;
    }
    return true;
}

// A texture coordinate on a crossing, nearest with ties to even. The
// crossing lies between two integer coordinates, but t from overflowing
// camera values can be NaN: such a value is refused instead of converted.
bool crossing_coordinate(int32_t p, int32_t q, double t, int32_t *out) {
    const double value = std::nearbyint(p + (static_cast<double>(q) - p) * t);
    if (!(value >= INT32_MIN && value <= INT32_MAX)) return false;
    *out = static_cast<int32_t>(value);
    return true;
}

// The point where the edge from p to q meets z = near, t measured from p.
bool crossing(const Vertex3 &p, const Vertex3 &q, const TexCoord &tp, const TexCoord &tq, double near_z, Vertex3 *v,
              TexCoord *tc) {
    const double t = (near_z - p.z) / (q.z - p.z);
    v->x = p.x + (q.x - p.x) * t;
    v->y = p.y + (q.y - p.y) * t;
    v->z = near_z;
    return crossing_coordinate(tp.u, tq.u, t, &tc->u) && crossing_coordinate(tp.v, tq.v, t, &tc->v);
}

// Nearest integer (ties to even) of a projected coordinate plus the centre,
// or false when it is not finite or does not fit in 32 bits.
bool projected_coordinate(double scaled, int32_t centre, int32_t *out) {
    const double nearest = std::nearbyint(scaled);
    if (!(std::fabs(nearest) <= SCALED_LIMIT)) return false;
    const int64_t value = static_cast<int64_t>(nearest) + centre;
    if (value < INT32_MIN || value > INT32_MAX) return false;
    *out = static_cast<int32_t>(value);
    return true;
}

void dispatch(const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, uint32_t n) {
    const int32_t flags = bv_view.flags;
    const bool perspective = (flags & RF_PERSPECTIVE) != 0;
    const bool depth = (flags & RF_DEPTH) != 0;
    if (perspective && depth) {
        bv::raster_perspective_depth(pts, tex, cam, n);
    } else if (perspective) {
        bv::raster_perspective(pts, tex, cam, n);
    } else if (depth) {
        bv::raster_affine_depth(pts, tex, cam, n);
    } else {
        bv::raster_affine(pts, tex, n);
    }
}

}  // namespace

namespace bv {

int32_t transform_points(const Vertex3 *in, Vertex3 *out, uint32_t n) {
    const double (&t)[3][4] = bv_view.transform;
    for (uint32_t i = 0; i < n; ++i) {
        const double x = in[i].x;
        const double y = in[i].y;
        const double z = in[i].z;
        out[i].x = ((x * t[0][0] + y * t[0][1]) + z * t[0][2]) + t[0][3];
        out[i].y = ((x * t[1][0] + y * t[1][1]) + z * t[1][2]) + t[1][3];
        out[i].z = ((x * t[2][0] + y * t[2][1]) + z * t[2][2]) + t[2][3];
    }
    return 0;
}

// Walks the edges from (last, 0) to (n-2, n-1). Every emitted vertex is
// checked against `capacity` first: a non-convex input can grow by more
// than one vertex, and such a polygon is dropped whole.
int32_t clip_to_near_plane(const Vertex3 *in, Vertex3 *out, const TexCoord *tex_in, TexCoord *tex_out, uint32_t n,
                           uint32_t capacity) {
    if (n < 2) return 0;
    if (beyond_far(in, n, bv_view.far_z)) return 0;
    const double near_z = bv_view.near_z;
    uint32_t emitted = 0;
    uint32_t prev = n - 1;
    bool prev_visible = in[prev].z > near_z;
    for (uint32_t cur = 0; cur < n; prev = cur, ++cur) {
        const bool cur_visible = in[cur].z > near_z;
        if (prev_visible != cur_visible) {
            if (emitted >= capacity) return 0;
            if (!crossing(in[prev], in[cur], tex_in[prev], tex_in[cur], near_z, &out[emitted], &tex_out[emitted]))
                return 0;
            ++emitted;
        }
        if (cur_visible) {
            if (emitted >= capacity) return 0;
            out[emitted] = in[cur];
            tex_out[emitted] = tex_in[cur];
            ++emitted;
        }
        prev_visible = cur_visible;
    }
    return static_cast<int32_t>(emitted);
}

// The reciprocal is formed once and the product taken as (x * r) * scale.
// Returns -1, leaving the output partly written, when a point does not
// project to a usable pixel position; 0 otherwise.
int32_t project_points(const Vertex3 *in, ScreenPoint *out, uint32_t n) {
    const double scale_x = bv_view.scale_x;
    const double scale_y = bv_view.scale_y;
    for (uint32_t i = 0; i < n; ++i) {
        const double r = 1.0 / in[i].z;
        if (!projected_coordinate((in[i].x * r) * scale_x, bv_view.centre_x, &out[i].x)) return -1;
        if (!projected_coordinate((in[i].y * r) * scale_y, bv_view.centre_y, &out[i].y)) return -1;
    }
    return 0;
}

}  // namespace bv

// Polygons that do not fit the static storage, whose camera-space values
// are not finite, or that project outside the walkers' range draw nothing.
int32_t bv_draw_3d_poly(const Vertex3 *verts, const TexCoord *tex, uint32_t count) {
    if (count < 2 || verts == nullptr || tex == nullptr) return 0;
    const bool clip = (bv_view.flags & RF_CLIP) != 0;
    if (count > (clip ? MAX_VERTICES_CLIPPED : MAX_VERTICES_UNCLIPPED)) return 0;

    std::size_t offset = 0;
    Vertex3 *camera = work_area_at<Vertex3>(offset);
    offset += count * sizeof(Vertex3);
    bv::transform_points(verts, camera, count);
    if (!all_finite(camera, count)) return 0;

    const Vertex3 *used = camera;
    const TexCoord *used_tex = tex;
    uint32_t n = count;
    if (clip) {
        Vertex3 *clipped = work_area_at<Vertex3>(offset);
        const std::size_t room = (bv::WORK_AREA_SIZE - offset) / (sizeof(Vertex3) + sizeof(ScreenPoint));
        const uint32_t capacity = static_cast<uint32_t>(room < IO_BUFFER_TEXCOORDS ? room : IO_BUFFER_TEXCOORDS);
        TexCoord *clipped_tex = std::launder(reinterpret_cast<TexCoord *>(bv::io_buffer));
        const int32_t emitted = bv::clip_to_near_plane(camera, clipped, tex, clipped_tex, count, capacity);
        if (emitted == 0) return 0;
        n = static_cast<uint32_t>(emitted);
        offset += n * sizeof(Vertex3);
        used = clipped;
        used_tex = clipped_tex;
    }

    ScreenPoint *screen = work_area_at<ScreenPoint>(offset);
    if (bv::project_points(used, screen, n) != 0) return 0;
    dispatch(screen, used_tex, used, n);
    return 0;
}
