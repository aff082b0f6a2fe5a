// Fixed-point forms of the scan converters: texture coordinates in signed
// 16.16 (value x 2^16), depth in unsigned 8.24 (value x 2^24), both
// converted from double by truncation toward zero.
#ifndef BV_RASTER_FIXED_POINT_H
#define BV_RASTER_FIXED_POINT_H

#include <cmath>
#include <cstdint>

namespace bv::raster {

constexpr double FIX16_ONE = 65536.0;
constexpr double FIX24_ONE = 16777216.0;

// Samples are held this far out at most: far outside every texture, yet
// small enough that a run's worth of steps never overflows 64 bits.
constexpr double FIX16_HOLD = 0x1p46;
// Depth values are held here before they wrap to 32 bits.
constexpr double FIX24_HOLD = 0x1p62;

// Truncation toward zero, held to +-limit; NaN gives 0. Exact for every
// value inside the limit.
inline int64_t truncate_held(double value, double limit) {
    if (std::isnan(value)) return 0;
    if (value >= limit) return static_cast<int64_t>(limit);
    if (value <= -limit) return -static_cast<int64_t>(limit);
    return static_cast<int64_t>(value);
}

inline int64_t fix16(double value) { return truncate_held(value * FIX16_ONE, FIX16_HOLD); }

// 8.24 depth as the 32-bit pattern the depth buffer compares: values in
// [0, 256) convert exactly, anything else wraps modulo 2^32 as unsigned
// arithmetic does.
inline uint32_t fix24(double value) {
    return static_cast<uint32_t>(static_cast<uint64_t>(truncate_held(value * FIX24_ONE, FIX24_HOLD)));
}

}  // namespace bv::raster

#endif
