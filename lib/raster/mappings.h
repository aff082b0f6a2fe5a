// The two texture mappings of the scan converters. Each supplies the
// values its edge walkers carry (begin_edge, step_edge, skip_edge) and the
// filling of one clipped row (draw_row); everything else is shared.
//
// Perspective: u/z, v/z and 1/z in double precision along the edges and
// across the row, with u and v divided out exactly at both ends of every
// run of PERSPECTIVE_RUN pixels and linear within the run.
// Affine: u and v in 16.16 (and 1/z in 8.24 for the depth member) stepped
// linearly on the screen, integer-only, the whole row as one run.
#ifndef BV_RASTER_MAPPINGS_H
#define BV_RASTER_MAPPINGS_H

#include <cmath>
#include <cstdint>

#include "raster/edge_walker.h"
#include "raster/fixed_point.h"
#include "raster/texel_loops.h"

namespace bv {

// Pixels between exact perspective divisions within a row.
constexpr int64_t PERSPECTIVE_RUN = 32;

}  // namespace bv

namespace bv::raster {

// Half a texel: with the half step added, each sample is taken at its
// pixel's centre and rounded to the nearest texel.
constexpr int64_t HALF_TEXEL = 32768;

// Where a row lands and what it samples, after clipping: `w` is the
// unclipped width (the steps come from it), `skip` the columns cut off at
// the left, `count` the pixels to draw.
struct RowTarget {
    int64_t w;
    int64_t skip;
    int64_t count;
    uint8_t *dst;
    uint32_t *zrow;             // null without depth
    const TextureView *tex;
    uint32_t zstamp;
};

// True when all four convert to 16.16 without holding: finite and well
// inside FIX16_HOLD (NaN compares false), so that fix16 is a plain
// truncation of each.
inline bool fixes_plainly(double a, double b, double c, double d) {
    constexpr double plain = FIX16_HOLD / FIX16_ONE;
    return std::fabs(a) < plain && std::fabs(b) < plain && std::fabs(c) < plain && std::fabs(d) < plain;
}

// A run's change per pixel: (end - start) / m. Dividing by a power of two
// is exact, so a full run multiplies by 1/32 and gets the same bits.
inline double per_pixel(double change, int64_t m) {
    static_assert(PERSPECTIVE_RUN == 32);
    return m == PERSPECTIVE_RUN ? change * (1.0 / 32.0) : change / static_cast<double>(m);
}

template <bool Depth>
struct Perspective {
    static constexpr bool DEPTH = Depth;
    struct EdgeValues {
        double uz, vz, iz;
        double duz, dvz, diz;
    };

    static void begin_edge(EdgeValues &v, const Polygon &p, uint32_t s, uint32_t e, int64_t h) {
        const double iz_s = std::fabs(1.0 / p.cam[s].z);
        const double iz_e = std::fabs(1.0 / p.cam[e].z);
        const double u_s = p.tex[s].u, v_s = p.tex[s].v;
        const double u_e = p.tex[e].u, v_e = p.tex[e].v;
        const double rh = 1.0 / static_cast<double>(h);
        v.iz = iz_s;
        v.uz = u_s * iz_s;
        v.vz = v_s * iz_s;
        v.diz = (iz_e - iz_s) * rh;
        v.duz = (u_e * iz_e - u_s * iz_s) * rh;
        v.dvz = (v_e * iz_e - v_s * iz_s) * rh;
    }

    static void step_edge(EdgeValues &v) {
        v.uz += v.duz;
        v.vz += v.dvz;
        v.iz += v.diz;
    }

    static void skip_edge(EdgeValues &v, int64_t k) {
        const double kd = static_cast<double>(k);
        v.uz += kd * v.duz;
        v.vz += kd * v.dvz;
        v.iz += kd * v.diz;
    }

    template <int PixelBytes>
    static void draw_row(const EdgeValues &l, const EdgeValues &r, RowTarget t) {
        const double w = static_cast<double>(t.w);
        const double step_iz = (r.iz - l.iz) / w;
        const double step_uz = (r.uz - l.uz) / w;
        const double step_vz = (r.vz - l.vz) / w;
        double iz = l.iz, uz = l.uz, vz = l.vz;
        if (t.skip > 0) {
            const double k = static_cast<double>(t.skip);
            iz += k * step_iz;
            uz += k * step_uz;
            vz += k * step_vz;
        }
        RowRuns runs{iz, uz, vz, step_iz, step_uz, step_vz, t.count, Depth ? fix24(step_iz) : 0, t.zstamp};
        runs.begin();
        uint8_t *dst = t.dst;
        uint32_t *zrow = t.zrow;
        // The next run's divisions are issued before this run's pixels are
        // drawn, so that they overlap the pixel loop instead of stalling it.
        RunSamples next;
        bool next_usable = runs.next(&next);
        while (next.count > 0) {
            const RunSamples current = next;
            const bool usable = next_usable;
            next_usable = runs.next(&next);
            if (usable) draw_run<PixelBytes, Depth>(dst, zrow, *t.tex, current);
            dst += current.count * PixelBytes;
            if constexpr (Depth) zrow += current.count;
        }
    }

private:
    // The runs of one row, in order: m = PERSPECTIVE_RUN pixels each (the
    // last one what is left), u and v divided out exactly at both ends.
    struct RowRuns {
        double iz, uz, vz;
        const double step_iz, step_uz, step_vz;
        int64_t count;
        const uint32_t ddepth, zstamp;
        double ua = 0, va = 0;

        void begin() {
            ua = uz / iz;
            va = vz / iz;
        }

        // Fills the next run (count 0 when the row is done); false when its
        // ends do not divide out to finite values (only 1/z drifting to 0
        // on an extreme polygon does that), and the run is left out.
        bool next(RunSamples *s) {
            const int64_t m = count > PERSPECTIVE_RUN ? PERSPECTIVE_RUN : count;
            s->count = m;
            if (m == 0) return false;
            count -= m;
            const double md = static_cast<double>(m);
            const double iz_end = iz + md * step_iz;
            const double uz_end = uz + md * step_uz;
            const double vz_end = vz + md * step_vz;
            // Each run starts where the last one ended: its start values are
            // the last run's end values, already divided out.
            const double ub = uz_end / iz_end, vb = vz_end / iz_end;
            const double du = per_pixel(ub - ua, m), dv = per_pixel(vb - va, m);
            bool usable = true;
            if (fixes_plainly(ua, va, du, dv)) {
                // The usual run: four plain truncations, no holding needed.
                s->du = static_cast<int64_t>(du * FIX16_ONE);
                s->dv = static_cast<int64_t>(dv * FIX16_ONE);
                s->u = static_cast<int64_t>(ua * FIX16_ONE) + (s->du >> 1) + HALF_TEXEL;
                s->v = static_cast<int64_t>(va * FIX16_ONE) + (s->dv >> 1) + HALF_TEXEL;
            } else {
                usable = std::isfinite(du) && std::isfinite(dv);
                if (usable) {
                    s->du = fix16(du);
                    s->dv = fix16(dv);
                    s->u = fix16(ua) + (s->du >> 1) + HALF_TEXEL;
                    s->v = fix16(va) + (s->dv >> 1) + HALF_TEXEL;
                }
            }
            if (usable) {
                s->depth = Depth ? fix24(iz) + zstamp : 0;
                s->ddepth = ddepth;
            }
            iz = iz_end;
            uz = uz_end;
            vz = vz_end;
            ua = ub;
            va = vb;
            return usable;
        }
    };
};

template <bool Depth>
struct Affine {
    static constexpr bool DEPTH = Depth;
    // u, v in 16.16; depth in 8.24 (its exact value, held in 64 bits).
    struct EdgeValues {
        int64_t u, v, depth;
        int64_t du, dv, ddepth;
    };

    static void begin_edge(EdgeValues &v, const Polygon &p, uint32_t s, uint32_t e, int64_t h) {
        v.u = static_cast<int64_t>(p.tex[s].u) * 65536;
        v.v = static_cast<int64_t>(p.tex[s].v) * 65536;
        v.du = (static_cast<int64_t>(p.tex[e].u) * 65536 - v.u) / h;
        v.dv = (static_cast<int64_t>(p.tex[e].v) * 65536 - v.v) / h;
        if constexpr (Depth) {
            v.depth = fix24(std::fabs(1.0 / p.cam[s].z));
            v.ddepth = (static_cast<int64_t>(fix24(std::fabs(1.0 / p.cam[e].z))) - v.depth) / h;
        } else {
            v.depth = 0;
            v.ddepth = 0;
        }
    }

    static void step_edge(EdgeValues &v) {
        v.u += v.du;
        v.v += v.dv;
        if constexpr (Depth) v.depth += v.ddepth;
    }

    static void skip_edge(EdgeValues &v, int64_t k) {
        v.u += k * v.du;
        v.v += k * v.dv;
        if constexpr (Depth) v.depth += k * v.ddepth;
    }

    template <int PixelBytes>
    static void draw_row(const EdgeValues &l, const EdgeValues &r, RowTarget t) {
        RunSamples s;
        s.du = (r.u - l.u) / t.w;
        s.dv = (r.v - l.v) / t.w;
        int64_t u = l.u + (s.du >> 1);
        int64_t v = l.v + (s.dv >> 1);
        int64_t ddepth = Depth ? (r.depth - l.depth) / t.w : 0;
        int64_t depth = l.depth;
        if (t.skip > 0) {
            u += t.skip * s.du;
            v += t.skip * s.dv;
            depth += t.skip * ddepth;
        }
        s.u = u + HALF_TEXEL;
        s.v = v + HALF_TEXEL;
        // The depth runs in 32-bit unsigned arithmetic from here on.
        s.depth = static_cast<uint32_t>(static_cast<uint64_t>(depth)) + t.zstamp;
        s.ddepth = static_cast<uint32_t>(static_cast<uint64_t>(ddepth));
        s.count = t.count;
        draw_run<PixelBytes, Depth>(t.dst, t.zrow, *t.tex, s);
    }
};

}  // namespace bv::raster

#endif
