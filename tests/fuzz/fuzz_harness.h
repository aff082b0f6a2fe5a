// What the fuzz cases stand on: the input as a stream of small decisions, the
// headless page, page and palette as bytes. Plain C++: tests/fuzzreg replays it.
#ifndef BV_FUZZ_HARNESS_H
#define BV_FUZZ_HARNESS_H

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "brivondel.h"
#include "platform/test_hooks.h"
#include "state.h"

namespace fuzz {

// Past the end every read gives 0: any byte string is a whole case. The mixtures fix what the seeds mean.
class Input {
public:
    Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    template <class T = int8_t>  // little-endian
    T get() { uint64_t v = 0; for (size_t i = 0; i < sizeof(T); ++i) v |= uint64_t{byte()} << 8 * i; return static_cast<T>(v); }
    std::vector<uint8_t> bytes(size_t n) { const size_t from = pos_; pos_ += std::min(n, size_ - pos_); return {data_ + from, data_ + pos_}; }
    // NaN, infinities, extremes, subnormals, far powers of two, a few ulps around two anchors (the near and far planes).
    double number(double a, double b) {
        using L = std::numeric_limits<double>;
        const uint8_t sel = byte();
        const double sign = sel & 0x10 ? -1.0 : 1.0;
        switch (sel % 16) {
        case 0: return get();
        case 1: return get<int16_t>();
        case 2: return get<int16_t>() / 256.0;
        case 3: return stepped(a, get() % 5);
        case 4: return stepped(b, get() % 5);
        case 5: case 6: case 7: case 8: case 9:
            return std::array{L::quiet_NaN(), sign * L::infinity(), sign * L::max(), sel & 0x10 ? -L::denorm_min() : L::min(), sign * 0.0}[sel % 16 - 5];
        case 10: return std::bit_cast<double>(get<uint64_t>());
        case 11: return std::ldexp(sign, get() * 8);
        case 12: { const int16_t m = get<int16_t>(); return m * std::ldexp(1.0, get() % 40); }
        case 13: return get<int32_t>();
        case 14: return a + get() / 16.0;
        default: return get() * 4.0 + 100.0;
        }
    }
    // Usually small; sometimes the extremes, next to the 16-bit limits, or a step from `anchor` (a texture's width).
    int32_t integer(int32_t anchor) {
        const uint8_t sel = byte();
        switch (sel % 8) {
        case 0: case 1: return get();
        case 2: return get<int16_t>();
        case 3: return anchor + get() % 3;
        case 4: return sel & 0x10 ? INT32_MIN : INT32_MAX;
        case 5: return sel & 0x10 ? -32768 - (byte() & 3) : 32767 + (byte() & 3);
        case 6: return get<int32_t>();
        default: return byte();
        }
    }

private:
    static double stepped(double x, int n) { for (int i = 0; i < std::abs(n); ++i) x = std::nextafter(x, n * INFINITY); return x; }
    const uint8_t *data_;
    size_t size_, pos_ = 0;
};

// A broken promise ends the case: an uncaught exception is the fuzzer's finding, the replay suite's failure.
inline void check(bool ok, const std::string &what) { if (!ok) throw std::logic_error(what); }


struct PageConfig { int32_t depth, width, height, padding, display_flags; bool rgb555; bool operator==(const PageConfig &) const = default; };

// Depths 8, 16 (RGB565, RGB555), 24, 32 x 64x48, 17x9, 200x150, 1x1 pixels x row padding 0, 3, 64 bytes.
inline PageConfig page_config(uint8_t b) {
    static constexpr int32_t depths[5] = {8, 16, 16, 24, 32}, sizes[4][2] = {{64, 48}, {17, 9}, {200, 150}, {1, 1}};
    return {depths[b % 5], sizes[b / 5 % 4][0], sizes[b / 5 % 4][1], std::array{0, 3, 64}[b / 20 % 3], BV_DISPLAY_FLIP, b % 5 == 2};
}

// The display lasts across cases (a start costs far more than a case), restarting only when the page changes.
struct Session { BvPlatWindow *window = nullptr; PageConfig config{}; };
inline Session &session() { static Session s; return s; }

// Page 0's bytes through the platform's lock, not the target's; first painted with `pattern` if given (repeated;
// seven values when empty; row padding 0xA5).
inline std::vector<uint8_t> page_bytes(const std::vector<uint8_t> *pattern = nullptr) {
    uint8_t *base = nullptr;
    int32_t pitch = 0;
    check(plat::lock_surface(bv_pages.surface[0], &base, &pitch) == plat::OK, "page 0 cannot be locked");
    std::vector<uint8_t> bytes(base, base + int64_t{pitch} * bv_pages.height[0]);
    for (int64_t i = 0, k = 0; pattern != nullptr && i < std::ssize(bytes); ++i)
        bytes[i] = i % pitch >= bv_pages.width[0] * (bv_pages.bits_per_pixel[0] / 8) ? 0xA5
                   : pattern->empty() ? static_cast<uint8_t>((i / pitch + i % pitch) % 7 * 37 + 3) : (*pattern)[k++ % pattern->size()];
    if (pattern != nullptr) std::memcpy(base, bytes.data(), bytes.size());
    plat::unlock_surface(bv_pages.surface[0]);
    return bytes;
}

// Page 0 selected and painted, and all state a case may change as a fresh start has it: a case depends on its bytes only.
inline void begin_case(const PageConfig &c, const std::vector<uint8_t> &pattern = {}) {
    Session &s = session();
    while (bv_target.lock_depth > 0) bv::unlock_target();  // left held by a case that failed
    if (!(s.config == c)) {
        if (s.window == nullptr) s.window = plat::create_window(plat::WindowSpec{"fuzz", nullptr, 64, 48, true});
        if (s.config.depth != 0) bv_stop_display();
        plat::test::reset();
        plat::set_rgb16_layout(c.rgb555);
        plat::test::pad_pitch(c.padding);
        bv_config_display(c.width, c.height, c.depth, c.display_flags);
        const int32_t kind = bv_start_display();
        check(s.window != nullptr && kind >= 0 && (c.display_flags == BV_DISPLAY_FLIP) == (kind == 0), "no display as asked");
        s.config = c;
    }
    check(bv_select_page(0) == 0, "page 0 cannot be selected");
    bv_target.origin_x = bv_target.origin_y = bv_target.zstamp = 0;
    bv::reset_image_buffer();
    std::memset(bv::io_buffer, 0, bv::IO_BUFFER_SIZE);
    std::memset(bv::work_area, 0, bv::WORK_AREA_SIZE);
    if (bv_display.zsurface == nullptr) bv_open_zbuffer(nullptr);  // a device keeps its own
    bv_free_texture(-1);  // device textures give their storage back
    bv::release_texture_table();
    bv_textures = TextureState{};
    bv_set_3d_flags(0);
    bv_set_3d_depth(1.0, 1000.0);
    bv_set_3d_viewport(0, c.width - 1, 0, c.height - 1, 0.5);
    bv_set_3d_pose(0.0, 0.0, 0.0, 0, 0, 0);
    page_bytes(&pattern);
}

struct Rect { int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0; };  // half open; empty by default

inline Rect whole_page() { return Rect{0, 0, bv_pages.width[0], bv_pages.height[0]}; }

inline Rect clip_on_page(const DrawTarget &t = bv_target) {
    const Rect r{std::max(t.clip_min_x, 0), std::max(t.clip_min_y, 0), std::min<int64_t>(t.clip_max_x + 1ll, t.width),
                 std::min<int64_t>(t.clip_max_y + 1ll, t.height)};
    return r.x1 > r.x0 && r.y1 > r.y0 ? r : Rect{};
}

// No byte changed outside the pixels of `r` (`pixel` bytes each, rows `pitch` apart): never the row padding.
inline bool only_inside(const std::vector<uint8_t> &before, const std::vector<uint8_t> &after, const Rect &r,
                        int64_t pitch = bv_pages.pitch[0], int64_t pixel = bv_pages.bits_per_pixel[0] / 8) {
    for (int64_t i = 0, differ = before != after; differ && i < std::ssize(before) && before.size() == after.size(); ++i) {
        const int64_t y = i / pitch, x = i % pitch / pixel;
        if (before[i] != after[i] && !(y >= r.y0 && y < r.y1 && x >= r.x0 && x < std::min(r.x1, whole_page().x1))) return false;
    }
    return before.size() == after.size();
}

// The palette's entries (at 4), bitmap colours (at 1028), and the entries' pixels at the page's depth (at 2052).
inline std::vector<uint8_t> palette_bytes() {
    std::vector<uint8_t> b(3076);
    std::memcpy(&b[0], &bv_palette.log_palette, 1028), std::memcpy(&b[1028], bv_palette.dib_colors, 1024), std::memcpy(&b[2052], bv_colors.pixel_lut, 1024);
    return b;
}

}  // namespace fuzz

#endif
