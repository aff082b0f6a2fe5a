// The shared body of the four scan converters: two edge walkers from the
// top vertex down, one clipped row at a time. `Member` is a mapping
// (Perspective or Affine) with its depth choice: members with depth test
// and write the depth buffer and draw both windings; members without
// draw only rows whose right walker lies right of the left one, that is
// clockwise polygons.
#ifndef BV_RASTER_SCAN_CONVERT_H
#define BV_RASTER_SCAN_CONVERT_H

#include <cstddef>
#include <cstdint>

#include "raster/edge_walker.h"
#include "raster/mappings.h"
#include "raster/texel_loops.h"

namespace bv::raster {

// Everything one polygon draws with, read once from the drawing target
// and the current texture. The clip limits are inclusive and already lie
// inside the page.
struct Frame {
    uint8_t *base;
    ptrdiff_t pitch;
    uint32_t *zbuffer;          // null for the members without depth
    int64_t zwidth;             // entries from one depth row to the next
    uint32_t zstamp;
    int64_t clip_min_x, clip_max_x, clip_min_y, clip_max_y;
    int64_t origin_x, origin_y;
    TextureView tex;
};

// Rows above the clip top are walked one by one, so that a polygon partly
// above the page draws exactly the rows it would draw otherwise; only
// beyond this many does the walk jump.
constexpr int64_t ROWS_WALKED_ABOVE_CLIP = int64_t{1} << 20;

template <class Member>
struct MemberWalkers {
    static inline EdgeWalker<typename Member::EdgeValues> a{}, b{};
};

template <class Member, int PixelBytes>
void fill_span(const EdgeWalker<typename Member::EdgeValues> &a, const EdgeWalker<typename Member::EdgeValues> &b,
               int64_t y, const Frame &f) {
    if (y < f.clip_min_y) return;
    int64_t w = b.x - a.x;
    const auto *l = &a;
    const auto *r = &b;
    if (w == 0) return;
    if (w < 0) {
        if constexpr (!Member::DEPTH) {
            return;
        } else {
            l = &b;
            r = &a;
            w = -w;
        }
    }
    int64_t x_left = l->x + f.origin_x;
    int64_t x_right = x_left + w;  // exclusive
    if (x_right < f.clip_min_x) return;
    if (x_right > f.clip_max_x) x_right = f.clip_max_x + 1;
    if (x_left > f.clip_max_x) return;
    int64_t skip = 0;
    if (x_left < f.clip_min_x) {
        skip = f.clip_min_x - x_left;
        x_left = f.clip_min_x;
    }
    const int64_t count = x_right - x_left;
    if (count <= 0) return;

    RowTarget t;
    t.w = w;
    t.skip = skip;
    t.count = count;
    t.dst = f.base + y * f.pitch + x_left * PixelBytes;
    t.zrow = Member::DEPTH ? f.zbuffer + y * f.zwidth + x_left : nullptr;
    t.tex = &f.tex;
    t.zstamp = f.zstamp;
    Member::template draw_row<PixelBytes>(l->values, r->values, t);
}

// Draws rows y_top downwards until the polygon's last row or the clip
// bottom, whichever comes first; the bottom vertex's row is never drawn.
template <class Member, int PixelBytes>
void scan_convert(const Polygon &p, const Frame &f, int64_t y_top) {
    auto &a = MemberWalkers<Member>::a;
    auto &b = MemberWalkers<Member>::b;
    a.dir = -1;
    b.dir = +1;
    if (!edge_begin<Member>(a, p, p.top) || !edge_begin<Member>(b, p, p.top)) return;
    int64_t y = y_top;
    if (f.clip_min_y - y > ROWS_WALKED_ABOVE_CLIP) {
        const int64_t k = f.clip_min_y - y;
        if (!edge_skip<Member>(a, p, k) || !edge_skip<Member>(b, p, k)) return;
        y = f.clip_min_y;
    }
    for (;;) {
        fill_span<Member, PixelBytes>(a, b, y, f);
        if (!edge_advance<Member>(a, p)) break;
        if (!edge_advance<Member>(b, p)) break;
        if (y >= f.clip_max_y) break;
        ++y;
    }
}

// The pixel loop is chosen once per polygon by the page's pixel size.
template <class Member>
void scan_convert_at(int32_t pixel_bytes, const Polygon &p, const Frame &f, int64_t y_top) {
    switch (pixel_bytes) {
    case 2: scan_convert<Member, 2>(p, f, y_top); break;
    case 3: scan_convert<Member, 3>(p, f, y_top); break;
    case 4: scan_convert<Member, 4>(p, f, y_top); break;
    default: scan_convert<Member, 1>(p, f, y_top); break;
    }
}

}  // namespace bv::raster

#endif
