// An independent model of what the scan converters draw, pixel by pixel from the formulas: each
// side's column as x_s + ceil(k * dx / h), its values stepped row by row from the edge's upper
// vertex, u and v exact at both ends of every run of 32, and each texel found as floor(U / 65536)
// directly, with no address stepping. Samples outside the texture are held to its edge.
#ifndef BV_TESTS_RASTER_REFERENCE_MODEL_H
#define BV_TESTS_RASTER_REFERENCE_MODEL_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "brivondel.h"

namespace ref {

enum Member { PerspectiveDepth, Perspective, AffineDepth, Affine };
inline bool has_depth(int m) { return m == PerspectiveDepth || m == AffineDepth; }

// A page's memory (pitch bytes a row, padding included) and depth entries, the drawing target's
// settings and the current texture.
struct Image {
    std::vector<uint8_t> pixels;
    std::vector<uint32_t> depth;
    int64_t width, pitch, pixel_bytes, zstamp, clip_min_x, clip_max_x, clip_min_y, clip_max_y, origin_x, origin_y;
    const uint8_t *texels;
    int64_t tex_width, tex_height, texel_bytes;
};

inline int64_t floor_div(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
inline int64_t fix(double value, double one) { return static_cast<int64_t>(value * one); }

// One side of the polygon, edge after edge down from the top vertex; `cam` null: no z is read.
struct Side {
    const ScreenPoint *p; const TexCoord *t; const Vertex3 *cam;
    int n, dir, bottom, s = 0, e = 0;
    int64_t h = 0, k = 0, du = 0, dv = 0, d0 = 0, dd = 0;
    double uz = 0, vz = 0, iz = 0, duz = 0, dvz = 0, diz = 0;

    // Onto the next edge of non-zero height from vertex `from`; false at the bottom.
    bool begin(int from) {
        for (s = from; s != bottom; s = e) {
            e = (s + dir + n) % n, h = int64_t{p[e].y} - p[s].y, k = 0;
            if (h < 0) return false;
            if (h == 0) continue;
            du = (int64_t{t[e].u} - t[s].u) * 65536 / h, dv = (int64_t{t[e].v} - t[s].v) * 65536 / h;
            if (cam == nullptr) return true;
            const double is = std::fabs(1 / cam[s].z), ie = std::fabs(1 / cam[e].z), rh = 1.0 / h;
            iz = is, uz = t[s].u * is, vz = t[s].v * is;
            diz = (ie - is) * rh, duz = (t[e].u * ie - t[s].u * is) * rh, dvz = (t[e].v * ie - t[s].v * is) * rh;
            return d0 = fix(is, 16777216.0), dd = (fix(ie, 16777216.0) - d0) / h, true;
        }
        return false;
    }
    bool next() { return ++k == h ? begin(e) : (uz += duz, vz += dvz, iz += diz, true); }
    int64_t x() const { return p[s].x - floor_div(-k * (int64_t{p[e].x} - p[s].x), h); }
    int64_t u() const { return int64_t{t[s].u} * 65536 + k * du; }
    int64_t v() const { return int64_t{t[s].v} * 65536 + k * dv; }
    int64_t depth() const { return d0 + k * dd; }
};

inline void put(int m, Image &img, int64_t x, int64_t y, int64_t U, int64_t V, uint32_t D) {
    if (has_depth(m) && D <= img.depth[y * img.width + x]) return;
    if (has_depth(m)) img.depth[y * img.width + x] = D;
    const int64_t c = std::clamp<int64_t>(floor_div(U, 65536), 0, img.tex_width - 1);
    const int64_t r = std::clamp<int64_t>(floor_div(V, 65536), 0, img.tex_height - 1);
    const uint8_t *texel = img.texels + (r * img.tex_width + c) * img.texel_bytes;
    uint8_t *pixel = &img.pixels[y * img.pitch + x * img.pixel_bytes];
    for (int b = 0; b < img.pixel_bytes; ++b) pixel[b] = b < 3 ? texel[b] : 0;  // 32 bits: byte 3 is 0
}

inline void row(int m, Image &img, int64_t y, const Side &a, const Side &b) {
    const Side *l = &a, *r = &b;
    int64_t w = b.x() - a.x();
    if (w == 0 || (w < 0 && !has_depth(m))) return;
    if (w < 0) std::swap(l, r), w = -w;
    int64_t x = l->x() + img.origin_x;
    const int64_t end = std::min(x + w, img.clip_max_x + 1), k = std::max<int64_t>(0, img.clip_min_x - x);
    x += k;
    if (m == AffineDepth || m == Affine) {
        const int64_t DU = (r->u() - l->u()) / w, DV = (r->v() - l->v()) / w, DD = (r->depth() - l->depth()) / w;
        const int64_t U = l->u() + floor_div(DU, 2) + k * DU + 32768, V = l->v() + floor_div(DV, 2) + k * DV + 32768;
        const uint32_t D = uint32_t(l->depth() + k * DD + img.zstamp);
        for (int64_t i = 0; x + i < end; ++i) put(m, img, x + i, y, U + i * DU, V + i * DV, D + uint32_t(i * DD));
        return;
    }
    const double siz = (r->iz - l->iz) / w, suz = (r->uz - l->uz) / w, svz = (r->vz - l->vz) / w;
    double iz = l->iz + k * siz, uz = l->uz + k * suz, vz = l->vz + k * svz;
    for (int64_t run; x < end; x += run, iz += run * siz, uz += run * suz, vz += run * svz) {
        run = std::min<int64_t>(32, end - x);
        const double iz2 = iz + run * siz, ua = uz / iz, va = vz / iz;
        const double du = ((uz + run * suz) / iz2 - ua) / run, dv = ((vz + run * svz) / iz2 - va) / run;
        const int64_t DU = fix(du, 65536), DV = fix(dv, 65536);
        const int64_t U = fix(ua, 65536) + floor_div(DU, 2) + 32768, V = fix(va, 65536) + floor_div(DV, 2) + 32768;
        const uint32_t D = has_depth(m) ? uint32_t(fix(iz, 16777216.0) + img.zstamp) : 0;
        const uint32_t DD = has_depth(m) ? uint32_t(fix(siz, 16777216.0)) : 0;
        for (int64_t i = 0; i < run; ++i) put(m, img, x + i, y, U + i * DU, V + i * DV, D + uint32_t(i) * DD);
    }
}

// Rows from the top vertex's to the last before the bottom vertex's: walked above the clip top,
// drawn inside it, stopping after its bottom.
inline void draw(int m, const ScreenPoint *p, const TexCoord *t, const Vertex3 *cam, int n, Image &img) {
    int top = 0, bottom = 0;
    for (int i = 1; i < n; ++i) top = p[i].y < p[top].y ? i : top, bottom = p[i].y > p[bottom].y ? i : bottom;
    if (n < 2 || p[top].y == p[bottom].y) return;
    Side a{p, t, m == Affine ? nullptr : cam, n, -1, bottom}, b{p, t, m == Affine ? nullptr : cam, n, +1, bottom};
    if (!a.begin(top) || !b.begin(top)) return;
    for (int64_t y = p[top].y + img.origin_y; y <= img.clip_max_y; ++y) {
        if (y >= img.clip_min_y) row(m, img, y, a, b);
        if (!a.next() || !b.next()) return;
    }
}

}  // namespace ref

#endif
