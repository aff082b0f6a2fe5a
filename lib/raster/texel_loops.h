// The pixel loops: one run of samples along a row, written straight into
// the page in its own pixel format, with or without the depth test.
//
// Samples inside the texture go through the stepping loop: the texel is
// reached by address steps (a whole step per pixel plus a carry step when
// a 16-bit fraction overflows), integer-only, no calls, no branch on the
// format. A run that leaves the texture anywhere (u and v are linear in a
// run, so its two ends decide) goes through the clamped loop instead,
// which holds every sample to the texture's edge.
#ifndef BV_RASTER_TEXEL_LOOPS_H
#define BV_RASTER_TEXEL_LOOPS_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace bv::raster {

static_assert(std::endian::native == std::endian::little, "pixels are assembled in little-endian order");

// The current texture as the loops read it: rows of `width` texels packed
// one after the other, `texel_bytes` each.
struct TextureView {
    const uint8_t *texels;
    int64_t width;
    int64_t height;
    int64_t texel_bytes;
    int64_t row_bytes;
};

// One run of samples: U and V are 16.16 texel positions of the first
// pixel (the half step and the half texel already added), DU and DV their
// change per pixel; D and DD the same for the depth, as 32-bit patterns.
struct RunSamples {
    int64_t u, du, v, dv;
    uint32_t depth, ddepth;
    int64_t count;
};

// Bytes per texel for each size of page pixel: 32-bit pixels keep only
// the three low bytes of their texel.
template <int PixelBytes>
constexpr int TEXEL_BYTES = PixelBytes == 4 ? 3 : PixelBytes;

// How a 32-bit pixel reads its 3-byte texel: byte by byte, or as four
// bytes with the fourth (the next texel's first) masked off. The wide read
// is used only where it stays inside the texture: on every texel but the
// last one.
enum class TexelRead { Exact, Wide };

template <int PixelBytes, TexelRead Read = TexelRead::Exact>
inline void put_pixel(uint8_t *dst, const uint8_t *texel) {
    if constexpr (PixelBytes == 1) {
        dst[0] = texel[0];
    } else if constexpr (PixelBytes == 2) {
        std::memcpy(dst, texel, 2);
    } else if constexpr (PixelBytes == 3) {
        std::memcpy(dst, texel, 3);
    } else if constexpr (Read == TexelRead::Wide) {
        uint32_t pixel;
        std::memcpy(&pixel, texel, 4);
        pixel &= 0x00FFFFFFu;  // byte 3 stays 0
        std::memcpy(dst, &pixel, 4);
    } else {
        uint16_t low;
        std::memcpy(&low, texel, 2);
        const uint32_t pixel = low | static_cast<uint32_t>(texel[2]) << 16;  // byte 3 stays 0
        std::memcpy(dst, &pixel, 4);
    }
}

// Address stepping along one axis. The fraction sits in the top 16 bits
// of `frac`, so its overflow is the carry out of a 32-bit addition. For a
// negative step the accumulator holds the fraction's complement and
// counts up by the step's fraction: its overflow is then a borrow.
struct AxisStepper {
    uint32_t frac;
    uint32_t add;
    ptrdiff_t whole;
    ptrdiff_t carry;
};

// `position` >= 0 is a 16.16 coordinate, `unit` the bytes of one whole
// step along the axis (a texel, or a texture row).
inline AxisStepper axis_stepper(int64_t position, int64_t step, int64_t unit) {
    const uint32_t fraction = static_cast<uint32_t>(position & 0xFFFF);
    if (step >= 0) {
        return {fraction << 16, static_cast<uint32_t>(step & 0xFFFF) << 16, static_cast<ptrdiff_t>((step >> 16) * unit),
                static_cast<ptrdiff_t>(unit)};
    }
    const int64_t magnitude = -step;
    return {(0xFFFFu - fraction) << 16, static_cast<uint32_t>(magnitude & 0xFFFF) << 16,
            static_cast<ptrdiff_t>(-(magnitude >> 16) * unit), static_cast<ptrdiff_t>(-unit)};
}

// The whole steps of both axes, plus the carry steps that this pixel's
// two fraction overflows call for, indexed by carry_u + 2 * carry_v.
template <int PixelBytes, bool Depth, TexelRead Read = TexelRead::Exact>
void run_stepped(uint8_t *dst, uint32_t *zrow, const TextureView &tex, const RunSamples &s) {
    const uint8_t *const texels = tex.texels;
    ptrdiff_t offset = static_cast<ptrdiff_t>((s.v >> 16) * tex.row_bytes + (s.u >> 16) * tex.texel_bytes);
    const AxisStepper su = axis_stepper(s.u, s.du, tex.texel_bytes);
    const AxisStepper sv = axis_stepper(s.v, s.dv, tex.row_bytes);
    const ptrdiff_t whole = su.whole + sv.whole;
    const ptrdiff_t steps[4] = {whole, whole + su.carry, whole + sv.carry, whole + su.carry + sv.carry};
    const uint32_t add_u = su.add, add_v = sv.add;
    uint32_t frac_u = su.frac, frac_v = sv.frac;
    uint32_t depth = s.depth;
    const uint32_t ddepth = s.ddepth;
    const int64_t count = s.count;
    for (int64_t i = 0; i < count; ++i) {
        if constexpr (Depth) {
            if (depth > zrow[i]) {
                zrow[i] = depth;
                put_pixel<PixelBytes, Read>(dst + i * PixelBytes, texels + offset);
            }
            depth += ddepth;
        } else {
            put_pixel<PixelBytes, Read>(dst + i * PixelBytes, texels + offset);
        }
        frac_u += add_u;
        const unsigned carry_u = frac_u < add_u;
        frac_v += add_v;
        const unsigned carry_v = frac_v < add_v;
        offset += steps[carry_u + 2 * carry_v];
    }
}

inline int64_t held_to(int64_t value, int64_t last) { return value < 0 ? 0 : (value > last ? last : value); }

template <int PixelBytes, bool Depth>
void run_clamped(uint8_t *dst, uint32_t *zrow, const TextureView &tex, const RunSamples &s) {
    int64_t u = s.u, v = s.v;
    uint32_t depth = s.depth;
    for (int64_t i = 0; i < s.count; ++i) {
        const int64_t column = held_to(u >> 16, tex.width - 1);
        const int64_t row = held_to(v >> 16, tex.height - 1);
        const uint8_t *texel = tex.texels + row * tex.row_bytes + column * tex.texel_bytes;
        if constexpr (Depth) {
            if (depth > zrow[i]) {
                zrow[i] = depth;
                put_pixel<PixelBytes>(dst + i * PixelBytes, texel);
            }
            depth += s.ddepth;
        } else {
            put_pixel<PixelBytes>(dst + i * PixelBytes, texel);
        }
        u += s.du;
        v += s.dv;
    }
}

// The texels a run's samples reach along one axis: u and v are linear in
// a run, so its first and last samples bound all the others.
struct AxisReach {
    int64_t low, high;          // lowest and highest whole texel position
};

inline AxisReach axis_reach(int64_t first, int64_t step, int64_t count) {
    const int64_t a = first >> 16;
    const int64_t b = (first + (count - 1) * step) >> 16;
    return a < b ? AxisReach{a, b} : AxisReach{b, a};
}

inline bool reach_inside(const AxisReach &r, int64_t size) { return r.low >= 0 && r.high < size; }

template <int PixelBytes, bool Depth>
inline void draw_run(uint8_t *dst, uint32_t *zrow, const TextureView &tex, const RunSamples &s) {
    const AxisReach u = axis_reach(s.u, s.du, s.count);
    const AxisReach v = axis_reach(s.v, s.dv, s.count);
    if (!reach_inside(u, tex.width) || !reach_inside(v, tex.height)) {
        run_clamped<PixelBytes, Depth>(dst, zrow, tex, s);
        return;
    }
    if constexpr (PixelBytes == 4) {
        // Rows are packed, so only the last texel of all has no byte after it.
        if (u.high < tex.width - 1 || v.high < tex.height - 1) {
            run_stepped<PixelBytes, Depth, TexelRead::Wide>(dst, zrow, tex, s);
            return;
        }
    }
    run_stepped<PixelBytes, Depth>(dst, zrow, tex, s);
}

}  // namespace bv::raster

#endif
