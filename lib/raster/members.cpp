// The four scan converters the polygon pipeline dispatches to:
//
//   raster_perspective_depth  perspective-correct, depth-tested, both windings
//   raster_perspective        perspective-correct, clockwise only
//   raster_affine_depth       screen-linear, depth-tested, both windings
//   raster_affine             screen-linear, clockwise only, reads no z
//
// Each hands the polygon to the 3D device while one draws into page 0;
// otherwise it locks the drawing target and scan-converts in software.
// A polygon draws nothing when there is nothing sound to draw it with: no
// usable texture, no depth buffer large enough for the page, a failed
// lock, or values that do not fit the walkers' fixed-point arithmetic.
#include <cmath>
#include <cstdint>

#include "raster/device_path.h"
#include "raster/scan_convert.h"
#include "state.h"

namespace bv {
namespace {

using raster::Frame;
using raster::Polygon;

// Texture coordinates whose 16.16 form fits 32 bits.
constexpr int32_t TEXCOORD_MIN = -32768;
constexpr int32_t TEXCOORD_MAX = 32767;

// Largest usable 1/z: for the depth members its 8.24 form must fit 32
// bits; for the perspective member a bound that keeps every product and
// sum of the walkers finite.
constexpr double DEPTH_LIMIT = 256.0;
constexpr double PERSPECTIVE_LIMIT = 0x1p512;

bool texcoords_fit(const TexCoord *tex, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) {
        if (tex[i].u < TEXCOORD_MIN || tex[i].u > TEXCOORD_MAX) return false;
        if (tex[i].v < TEXCOORD_MIN || tex[i].v > TEXCOORD_MAX) return false;
    }
    return true;
}

// 1/z of every vertex is finite, positive and below `limit`.
bool depths_usable(const Vertex3 *cam, uint32_t n, double limit) {
    for (uint32_t i = 0; i < n; ++i) {
        const double iz = std::fabs(1.0 / cam[i].z);
        if (!(iz > 0.0 && iz < limit)) return false;
    }
    return true;
}

bool polygon_usable(const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, uint32_t n, bool reads_z,
                    double z_limit) {
    if (n < 2 || n > MAX_POLYGON_VERTICES) return false;
    if (pts == nullptr || tex == nullptr) return false;
    if (!texcoords_fit(tex, n)) return false;
    if (reads_z && (cam == nullptr || !depths_usable(cam, n, z_limit))) return false;
    return true;
}

// The current texture, when it is a block of texels of this page's size.
// While a 3D device exists the table holds device texture names, never
// addresses.
bool current_texture(int32_t pixel_bytes, raster::TextureView *out) {
    const TextureState &t = bv_textures;
    if (bv::device_draws_page0()) return false;
    if (t.current_texels == 0 || t.current_width <= 0 || t.current_height <= 0) return false;
    const int32_t texel_bytes = pixel_bytes == 4 ? 3 : pixel_bytes;
    // A texture defined with no page selected recorded no texel size and
    // takes that of the page it is drawn on.
    if (t.current_texel_bytes != 0 && t.current_texel_bytes != texel_bytes) return false;
    out->texels = reinterpret_cast<const uint8_t *>(t.current_texels);
    out->width = t.current_width;
    out->height = t.current_height;
    out->texel_bytes = texel_bytes;
    out->row_bytes = static_cast<int64_t>(t.current_width) * texel_bytes;
    return true;
}

// The depth buffer must hold an entry for every pixel of the page.
bool current_depth_buffer(Frame *f) {
    const DrawTarget &t = bv_target;
    const uint64_t entries = static_cast<uint64_t>(t.width) * static_cast<uint64_t>(t.height);
    if (t.zbuffer == nullptr || t.zbuffer_capacity < entries) return false;
    f->zbuffer = t.zbuffer;
    f->zwidth = t.width;
    f->zstamp = t.zstamp;
    return true;
}

// The clip rectangle, kept inside the page; false when nothing is left.
bool clip_rectangle(Frame *f) {
    const DrawTarget &t = bv_target;
    if (t.width <= 0 || t.height <= 0) return false;
    f->clip_min_x = t.clip_min_x < 0 ? 0 : t.clip_min_x;
    f->clip_min_y = t.clip_min_y < 0 ? 0 : t.clip_min_y;
    f->clip_max_x = t.clip_max_x > t.width - 1 ? t.width - 1 : t.clip_max_x;
    f->clip_max_y = t.clip_max_y > t.height - 1 ? t.height - 1 : t.clip_max_y;
    return f->clip_min_x <= f->clip_max_x && f->clip_min_y <= f->clip_max_y;
}

bool current_frame(int32_t pixel_bytes, bool depth, Frame *f) {
    const DrawTarget &t = bv_target;
    if (t.base == nullptr) return false;
    *f = Frame{};
    f->base = t.base;
    f->pitch = t.pitch;
    f->origin_x = t.origin_x;
    f->origin_y = t.origin_y;
    if (!clip_rectangle(f)) return false;
    if (!current_texture(pixel_bytes, &f->tex)) return false;
    if (depth && !current_depth_buffer(f)) return false;
    return true;
}

// Finds the top and bottom vertices; false when every vertex lies on one
// row.
bool find_top_and_bottom(Polygon *p) {
    uint32_t top = 0, bottom = 0;
    for (uint32_t i = 1; i < p->n; ++i) {
        if (p->pts[i].y < p->pts[top].y) top = i;
        if (p->pts[i].y > p->pts[bottom].y) bottom = i;
    }
    p->top = top;
    p->bottom = bottom;
    return p->pts[top].y != p->pts[bottom].y;
}

template <class Member>
void draw_in_software(const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, uint32_t n, bool reads_z,
                      double z_limit) {
    if (!polygon_usable(pts, tex, cam, n, reads_z, z_limit)) return;
    const int32_t pixel_bytes = target_bytes_per_pixel();
    Frame f;
    if (!current_frame(pixel_bytes, Member::DEPTH, &f)) return;
    Polygon p{pts, tex, cam, n, 0, 0};
    if (!find_top_and_bottom(&p)) return;
    const int64_t y_top = static_cast<int64_t>(pts[p.top].y) + f.origin_y;
    const int64_t y_bottom = static_cast<int64_t>(pts[p.bottom].y) + f.origin_y;
    if (y_top > f.clip_max_y || y_bottom < f.clip_min_y) return;
    raster::scan_convert_at<Member>(pixel_bytes, p, f, y_top);
}

bool device_draws_page() {
    return bv::device_draws_page0() && bv_target.page == 0;
}

template <class Member>
int32_t raster_member(RasterMember member, const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, uint32_t n,
                      bool reads_z, double z_limit) {
    if (device_draws_page()) {
        draw_on_device(member, pts, tex, cam, n);
        return 0;
    }
    if (bv_target.page == -1) return 0;
    lock_target();
    if (target_drawable()) draw_in_software<Member>(pts, tex, cam, n, reads_z, z_limit);
    unlock_target();
    return 0;
}

}  // namespace

int32_t raster_perspective_depth(const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, uint32_t n) {
    return raster_member<raster::Perspective<true>>(RasterMember::PerspectiveDepth, pts, tex, cam, n, true, DEPTH_LIMIT);
}

int32_t raster_perspective(const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, uint32_t n) {
    return raster_member<raster::Perspective<false>>(RasterMember::Perspective, pts, tex, cam, n, true,
                                                     PERSPECTIVE_LIMIT);
}

int32_t raster_affine_depth(const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, uint32_t n) {
    return raster_member<raster::Affine<true>>(RasterMember::AffineDepth, pts, tex, cam, n, true, DEPTH_LIMIT);
}

int32_t raster_affine(const ScreenPoint *pts, const TexCoord *tex, uint32_t n) {
    return raster_member<raster::Affine<false>>(RasterMember::Affine, pts, tex, nullptr, n, false, 0.0);
}

}  // namespace bv
