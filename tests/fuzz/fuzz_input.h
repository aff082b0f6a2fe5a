// Reading a fuzz input as a stream of small decisions. Past the end every
// read gives 0, so any byte string is a complete, deterministic case.
// Plain C++: the regression suite replays inputs through the same code.
#ifndef BV_FUZZ_INPUT_H
#define BV_FUZZ_INPUT_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace fuzz {

class Input {
public:
    Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    size_t remaining() const { return pos_ < size_ ? size_ - pos_ : 0; }

    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

    uint16_t u16() {
        const uint16_t lo = byte();
        return static_cast<uint16_t>(lo | (byte() << 8));
    }
    int16_t i16() { return static_cast<int16_t>(u16()); }
    uint32_t u32() {
        const uint32_t lo = u16();
        return lo | (uint32_t{u16()} << 16);
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    uint64_t u64() {
        const uint64_t lo = u32();
        return lo | (uint64_t{u32()} << 32);
    }
    double raw_double() {
        const uint64_t bits = u64();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }

    // Up to n bytes (fewer at the end of the input).
    std::vector<uint8_t> bytes(size_t n) {
        const size_t take = n < remaining() ? n : remaining();
        std::vector<uint8_t> out(data_ + pos_, data_ + pos_ + take);
        pos_ += take;
        return out;
    }
    std::vector<uint8_t> rest() { return bytes(remaining()); }

    // A double that is usually ordinary and often hostile: small and large
    // integers, fractions, NaN, infinities, the extremes, subnormals, powers
    // of two far out either way, and values a few steps around `anchor_a`
    // and `anchor_b` (the near and far planes, say).
    double number(double anchor_a, double anchor_b) {
        const uint8_t sel = byte();
        switch (sel % 16) {
        case 0: return static_cast<int8_t>(byte());
        case 1: return i16();
        case 2: return i16() / 256.0;
        case 3: return stepped(anchor_a, static_cast<int8_t>(byte()) % 5);
        case 4: return stepped(anchor_b, static_cast<int8_t>(byte()) % 5);
        case 5: return std::numeric_limits<double>::quiet_NaN();
        case 6: return (sel & 0x10) ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        case 7: return (sel & 0x10) ? -std::numeric_limits<double>::max() : std::numeric_limits<double>::max();
        case 8: return (sel & 0x10) ? -std::numeric_limits<double>::denorm_min() : std::numeric_limits<double>::min();
        case 9: return (sel & 0x10) ? -0.0 : 0.0;
        case 10: return raw_double();
        case 11: return std::ldexp((sel & 0x10) ? -1.0 : 1.0, static_cast<int8_t>(byte()) * 8);
        case 12: return i16() * std::ldexp(1.0, static_cast<int8_t>(byte()) % 40);
        case 13: return i32();
        case 14: return anchor_a + static_cast<int8_t>(byte()) / 16.0;
        default: return static_cast<int8_t>(byte()) * 4.0 + 100.0;
        }
    }

    // An int32 that is usually small and sometimes at or near the extremes,
    // or a few steps around `anchor` (a texture's width, say).
    int32_t integer(int32_t anchor) {
        const uint8_t sel = byte();
        switch (sel % 8) {
        case 0:
        case 1: return static_cast<int8_t>(byte());
        case 2: return i16();
        case 3: return anchor + static_cast<int8_t>(byte()) % 3;
        case 4: return (sel & 0x10) ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
        case 5: return (sel & 0x10) ? -32768 - (byte() & 3) : 32767 + (byte() & 3);
        case 6: return i32();
        default: return byte();
        }
    }

private:
    static double stepped(double x, int steps) {
        const double toward = steps < 0 ? -std::numeric_limits<double>::infinity()
                                        : std::numeric_limits<double>::infinity();
        for (int i = 0; i < (steps < 0 ? -steps : steps); ++i) x = std::nextafter(x, toward);
        return x;
    }

    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace fuzz

#endif
