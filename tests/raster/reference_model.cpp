#include "reference_model.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ref {
namespace {

// ceil(a / b) for b > 0, and floor(a / b).
int64_t ceil_div(int64_t a, int64_t b) { return a >= 0 ? (a + b - 1) / b : -((-a) / b); }
int64_t floor_div(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// What one side of the polygon carries on one row.
struct SideRow {
    int64_t x;
    double uz, vz, iz;          // perspective
    int64_t u, v, depth;        // affine, 16.16 and 8.24
};

// Every row of one side, top row first, following edges of non-zero
// height from the top vertex in direction dir until the bottom vertex.
std::vector<SideRow> side_rows(const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, int n, int top,
                               int bottom, int dir) {
    std::vector<SideRow> rows;
    int s = top;
    while (s != bottom) {
        const int e = ((s + dir) % n + n) % n;
        const int64_t h = static_cast<int64_t>(pts[e].y) - pts[s].y;
        if (h > 0) {
            const int64_t dx = static_cast<int64_t>(pts[e].x) - pts[s].x;
            double uz = 0, vz = 0, iz = 0, duz = 0, dvz = 0, diz = 0;
            if (cam != nullptr) {
                const double izs = std::fabs(1.0 / cam[s].z), ize = std::fabs(1.0 / cam[e].z);
                const double rh = 1.0 / static_cast<double>(h);
                iz = izs;
                uz = tex[s].u * izs;
                vz = tex[s].v * izs;
                diz = (ize - izs) * rh;
                duz = (tex[e].u * ize - tex[s].u * izs) * rh;
                dvz = (tex[e].v * ize - tex[s].v * izs) * rh;
            }
            const int64_t u0 = int64_t{tex[s].u} * 65536, v0 = int64_t{tex[s].v} * 65536;
            const int64_t du = (int64_t{tex[e].u} * 65536 - u0) / h;
            const int64_t dv = (int64_t{tex[e].v} * 65536 - v0) / h;
            int64_t d0 = 0, dd = 0;
            if (cam != nullptr) {
                d0 = static_cast<int64_t>(std::fabs(1.0 / cam[s].z) * 16777216.0);
                dd = (static_cast<int64_t>(std::fabs(1.0 / cam[e].z) * 16777216.0) - d0) / h;
            }
            for (int64_t k = 0; k < h; ++k) {
                SideRow r;
                r.x = pts[s].x + ceil_div(k * dx, h);
                r.uz = uz;
                r.vz = vz;
                r.iz = iz;
                r.u = u0 + k * du;
                r.v = v0 + k * dv;
                r.depth = d0 + k * dd;
                rows.push_back(r);
                uz += duz;
                vz += dvz;
                iz += diz;
            }
        } else if (h < 0) {
            break;
        }
        s = e;
    }
    return rows;
}

void put_sample(Image &img, const Texture &t, int64_t x, int64_t y, int64_t U, int64_t V) {
    const int64_t col = std::clamp<int64_t>(floor_div(U, 65536), 0, t.width - 1);
    const int64_t row = std::clamp<int64_t>(floor_div(V, 65536), 0, t.height - 1);
    const uint8_t *texel = t.texels + (row * t.width + col) * t.texel_bytes;
    uint8_t *px = &img.pixels[(y * img.width + x) * img.pixel_bytes];
    for (int b = 0; b < img.pixel_bytes; ++b) px[b] = b < t.texel_bytes ? texel[b] : 0;
}

// The depth test: passes when the new value is greater (unsigned); then
// the entry takes it.
bool depth_passes(Image &img, int64_t x, int64_t y, uint32_t value) {
    uint32_t &entry = img.depth[y * img.width + x];
    if (!(value > entry)) return false;
    entry = value;
    return true;
}

void perspective_row(Member m, Image &img, const Texture &t, int64_t y, const SideRow &l, const SideRow &r, int64_t w,
                     int64_t x_left, int64_t k, int64_t count) {
    const double siz = (r.iz - l.iz) / w, suz = (r.uz - l.uz) / w, svz = (r.vz - l.vz) / w;
    double iz = l.iz, uz = l.uz, vz = l.vz;
    if (k > 0) {
        iz += k * siz;
        uz += k * suz;
        vz += k * svz;
    }
    int64_t x = x_left;
    while (count > 0) {
        const int64_t run = count > img.run ? img.run : count;
        count -= run;
        const double iz2 = iz + run * siz, uz2 = uz + run * suz, vz2 = vz + run * svz;
        const double ua = uz / iz, ub = uz2 / iz2, va = vz / iz, vb = vz2 / iz2;
        const double du = (ub - ua) / run, dv = (vb - va) / run;
        const int64_t DU = static_cast<int64_t>(du * 65536.0), DV = static_cast<int64_t>(dv * 65536.0);
        const int64_t U = static_cast<int64_t>(ua * 65536.0) + floor_div(DU, 2) + 32768;
        const int64_t V = static_cast<int64_t>(va * 65536.0) + floor_div(DV, 2) + 32768;
        const uint32_t D = static_cast<uint32_t>(static_cast<int64_t>(iz * 16777216.0)) + img.zstamp;
        const uint32_t DD = static_cast<uint32_t>(static_cast<int64_t>(siz * 16777216.0));
        for (int64_t i = 0; i < run; ++i, ++x) {
            if (has_depth(m) && !depth_passes(img, x, y, D + static_cast<uint32_t>(i) * DD)) continue;
            put_sample(img, t, x, y, U + i * DU, V + i * DV);
        }
        iz = iz2;
        uz = uz2;
        vz = vz2;
    }
}

void affine_row(Member m, Image &img, const Texture &t, int64_t y, const SideRow &l, const SideRow &r, int64_t w,
                int64_t x_left, int64_t k, int64_t count) {
    const int64_t DU = (r.u - l.u) / w, DV = (r.v - l.v) / w, DD = (r.depth - l.depth) / w;
    const int64_t U = l.u + floor_div(DU, 2) + k * DU + 32768;
    const int64_t V = l.v + floor_div(DV, 2) + k * DV + 32768;
    const int64_t D = l.depth + k * DD + img.zstamp;
    for (int64_t i = 0; i < count; ++i) {
        const uint32_t d = static_cast<uint32_t>(static_cast<uint64_t>(D + i * DD));
        if (has_depth(m) && !depth_passes(img, x_left + i, y, d)) continue;
        put_sample(img, t, x_left + i, y, U + i * DU, V + i * DV);
    }
}

}  // namespace

void draw(Member member, const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, int n, const Texture &texture,
          Image &img) {
    if (n < 2) return;
    int top = 0, bottom = 0;
    for (int i = 0; i < n; ++i) {
        if (pts[i].y < pts[top].y) top = i;
        if (pts[i].y > pts[bottom].y) bottom = i;
    }
    if (pts[top].y == pts[bottom].y) return;
    const Vertex3 *z = member == Member::Affine ? nullptr : cam;
    const std::vector<SideRow> a = side_rows(pts, tex, z, n, top, bottom, -1);
    const std::vector<SideRow> b = side_rows(pts, tex, z, n, top, bottom, +1);
    const size_t rows = std::min(a.size(), b.size());
    for (size_t i = 0; i < rows; ++i) {
        const int64_t y = static_cast<int64_t>(pts[top].y) + img.origin_y + static_cast<int64_t>(i);
        if (y > img.clip_max_y) break;
        if (y < img.clip_min_y) continue;
        int64_t w = b[i].x - a[i].x;
        const SideRow *l = &a[i], *r = &b[i];
        if (w == 0) continue;
        if (w < 0) {
            if (!has_depth(member)) continue;
            std::swap(l, r);
            w = -w;
        }
        int64_t x_left = l->x + img.origin_x;
        int64_t x_right = std::min<int64_t>(x_left + w, int64_t{img.clip_max_x} + 1);
        int64_t k = 0;
        if (x_left < img.clip_min_x) {
            k = img.clip_min_x - x_left;
            x_left = img.clip_min_x;
        }
        const int64_t count = x_right - x_left;
        if (count <= 0) continue;
        if (is_perspective(member)) {
            perspective_row(member, img, texture, y, *l, *r, w, x_left, k, count);
        } else {
            affine_row(member, img, texture, y, *l, *r, w, x_left, k, count);
        }
    }
}

}  // namespace ref
