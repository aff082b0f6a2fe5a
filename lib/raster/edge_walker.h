// The edge walkers: each follows one side of a convex polygon downwards
// from the top vertex, one row at a time. The column steps by an integer
// error term, so that on the k-th row below an edge's upper vertex it is
// exactly x_s + ceil(k * (x_e - x_s) / h); the texture (and depth) values
// are the mapping's own (Mapping::begin_edge, step_edge, skip_edge).
//
// Integer fields are 64-bit: for coordinates anywhere in the 32-bit range
// the differences still fit, and for the ones real polygons have the
// results are those of 32-bit arithmetic.
#ifndef BV_RASTER_EDGE_WALKER_H
#define BV_RASTER_EDGE_WALKER_H

#include <cstdint>

#include "brivondel.h"

namespace bv::raster {

// The polygon one call draws: n vertices, the last joined to the first.
struct Polygon {
    const ScreenPoint *pts;
    const TexCoord *tex;
    const Vertex3 *cam;         // null for the member that reads no z
    uint32_t n;
    uint32_t top;               // lowest index with the smallest y
    uint32_t bottom;            // lowest index with the largest y
};

template <class Values>
struct EdgeWalker {
    int32_t dir;                // -1 or +1 through the vertex list
    int64_t rows;               // rows left on the current edge
    uint32_t end;               // the current edge's lower vertex
    int64_t x;                  // column on the current row, before the origin offset
    int64_t x_step;             // whole columns per row, truncated toward zero
    int32_t x_extra;            // +1 rightwards or straight down, -1 leftwards
    int64_t err, err_add, err_sub;
    Values values;
};

inline uint32_t next_vertex(uint32_t s, int32_t dir, uint32_t n) {
    if (dir > 0) return s + 1 == n ? 0 : s + 1;
    return s == 0 ? n - 1 : s - 1;
}

template <class Values>
inline void begin_columns(EdgeWalker<Values> &w, int64_t x_s, int64_t x_e, int64_t h) {
    const int64_t d = x_e - x_s;
    const int64_t q = (d < 0 ? -d : d) / h;
    const int64_t r = (d < 0 ? -d : d) % h;
    w.x = x_s;
    if (d >= 0) {
        w.x_step = q;
        w.err = 0;
        w.x_extra = 1;
    } else {
        w.x_step = -q;
        w.err = 1 - h;
        w.x_extra = -1;
    }
    w.err_add = r;
    w.err_sub = h;
}

// Sets the walker on the next edge of non-zero height leaving vertex s;
// false at the bottom vertex. An edge that climbs (only a non-convex
// outline has one) also ends the walk, so every walk ends within n edges.
template <class Mapping>
bool edge_begin(EdgeWalker<typename Mapping::EdgeValues> &w, const Polygon &p, uint32_t s) {
    for (uint32_t visited = 0; visited < p.n; ++visited) {
        if (s == p.bottom) return false;
        const uint32_t e = next_vertex(s, w.dir, p.n);
        const int64_t h = static_cast<int64_t>(p.pts[e].y) - p.pts[s].y;
        if (h == 0) {
            s = e;
            continue;
        }
        if (h < 0) return false;
        w.rows = h;
        w.end = e;
        Mapping::begin_edge(w.values, p, s, e, h);
        begin_columns(w, p.pts[s].x, p.pts[e].x, h);
        return true;
    }
    return false;
}

template <class Mapping>
inline bool edge_advance(EdgeWalker<typename Mapping::EdgeValues> &w, const Polygon &p) {
    if (--w.rows == 0) return edge_begin<Mapping>(w, p, w.end);
    Mapping::step_edge(w.values);
    w.x += w.x_step;
    w.err += w.err_add;
    if (w.err > 0) {
        w.x += w.x_extra;
        w.err -= w.err_sub;
    }
    return true;
}

// Moves the walker down k rows at once, as k calls of edge_advance would,
// except that the mapping's floating-point values move by one
// multiplication. The error term stays in (-h, 0] after every row, so
// after k rows the extra columns taken are ceil((err + k * err_add) / h).
template <class Mapping>
bool edge_skip(EdgeWalker<typename Mapping::EdgeValues> &w, const Polygon &p, int64_t k) {
    while (k >= w.rows) {
        k -= w.rows;
        if (!edge_begin<Mapping>(w, p, w.end)) return false;
    }
    if (k == 0) return true;
    w.rows -= k;
    Mapping::skip_edge(w.values, k);
    const __int128 total = static_cast<__int128>(w.err) + static_cast<__int128>(k) * w.err_add;
    const __int128 h = w.err_sub;
    const __int128 carries = total > 0 ? (total + h - 1) / h : 0;
    w.x += k * w.x_step + static_cast<int64_t>(carries) * w.x_extra;
    w.err = static_cast<int64_t>(total - carries * h);
    return true;
}

}  // namespace bv::raster

#endif
