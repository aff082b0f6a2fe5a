// Helpers of the palette, PCX and block tests (tests/image, tests/pcx, tests/blocks): a headless page whose
// every byte, row padding included, starts as FILL, and PCX files put together byte by byte.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "image/pcx.h"
#include "library_state.h"
#include "programs.h"

namespace imagetest {

using Bytes = std::vector<uint8_t>;
constexpr uint8_t FILL = 0xEE;

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb &) const = default;
};

// The page pixel of a colour: 16-bit pages keep the top 5 bits of each
// channel (6 of green in 5-6-5); 24- and 32-bit pixels read as 0x00RRGGBB.
inline uint32_t pixel_of(Rgb c, int depth, bool rgb555 = false) {
    if (depth != 16) return c.r * 65536u + c.g * 256u + c.b;
    return rgb555 ? c.r / 8 * 1024u + c.g / 8 * 32u + c.b / 8 : c.r / 8 * 2048u + c.g / 4 * 32u + c.b / 8;
}

// Page 0 of a flipping display, selected, with the palette made for it.
struct Page {
    int height, bytes;
    Page(int w, int h, int depth, bool rgb555 = false, int pad = 0) : height(h), bytes(depth / 8) {
        bvtest::reset_library();
        plat::set_rgb16_layout(rgb555), plat::test::pad_pitch(pad);
        bv_config_display(w, h, depth, BV_DISPLAY_FLIP);
        bv_delete_palette(bv_make_palette());  // only its entries are wanted
        EXPECT_TRUE(bv_start_display() >= 0 && bv_select_page(0) == 0);
        set_memory(Bytes(static_cast<size_t>(bv_target.pitch) * h, FILL));
    }
    ~Page() { bv::test::fail_pcx_allocations(0), bv::reset_image_buffer(), bvtest::reset_library(); }
    // Every byte of the page, rows with their padding.
    Bytes memory() const {
        bv::lock_target();
        Bytes m(bv_target.base, bv_target.base + static_cast<size_t>(bv_target.pitch) * height);
        return bv::unlock_target(), m;
    }
    void set_memory(const Bytes &m) const { bv::lock_target(), std::memcpy(bv_target.base, m.data(), m.size()), bv::unlock_target(); }
    size_t offset(int x, int y) const { return static_cast<size_t>(y) * bv_target.pitch + x * bytes; }
    uint32_t pixel(int x, int y, const Bytes &m) const {
        uint32_t v = 0;
        return std::memcpy(&v, m.data() + offset(x, y), bytes), v;
    }
};

struct Pcx {  // a 128-byte header (Xmax = xmin + w - 1, Ymax likewise), then data and trailer as given
    int w = 1, h = 1, bpl = -1;  // bytes per line; -1: w
    int bpp = 8, planes = 1, version = 2, xmin = 0, ymin = 0, manufacturer = 10;
    std::vector<Rgb> map{};  // header colours
    Bytes data{}, trailer{};
    Bytes bytes() const {
        Bytes v(128, 0);
        const int fields[][2] = {{0, manufacturer}, {1, version}, {2, 1}, {3, bpp}, {4, xmin}, {6, ymin}, {8, xmin + w - 1},
                                 {10, ymin + h - 1}, {65, planes}, {66, bpl < 0 ? w : bpl}};
        for (auto [at, x] : fields) {
            v[at] = uint8_t(x);
            if (at >= 4 && at != 65) v[at + 1] = uint8_t(x >> 8);  // the 16-bit fields
        }
        for (size_t i = 0; i < map.size() && i < 16; ++i) std::memcpy(&v[16 + 3 * i], &map[i], 3);
        v.insert(v.end(), data.begin(), data.end());
        return v.insert(v.end(), trailer.begin(), trailer.end()), v;
    }
};

inline Bytes trailer(const std::function<Rgb(int)> &colour, uint8_t marker = 12) {
    Bytes t{marker};
    for (int i = 0; i < 256; ++i) t.insert(t.end(), {colour(i).r, colour(i).g, colour(i).b});
    return t;
}

inline Bytes runs_of_one(const Bytes &values) {  // any byte value, written as a run of one
    Bytes out;
    for (uint8_t b : values) out.insert(out.end(), {0xC1, b});
    return out;
}

inline std::string write_temp(const std::string &name, const Bytes &bytes = {}) {  // one per process: ctest runs cases side by side
    const std::string path = testing::TempDir() + "bv_image_" + std::to_string(getpid()) + "_" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), std::ssize(bytes));
    return path;
}

inline int32_t load(const Bytes &file, int32_t flags = 0) {
    const std::string path = write_temp("t.pcx", file);
    const int32_t r = bv_load_pcx(path.c_str(), flags);
    return std::remove(path.c_str()), r;
}

inline Rgb entry(int i) { const auto &e = bv_palette.log_palette.entries[i]; return {e.red, e.green, e.blue}; }

inline Bytes palette_state() {  // every copy of the palette: entries, bitmap colours, pixel_lut
    const auto *p = reinterpret_cast<const uint8_t *>(&bv_palette);
    Bytes v(p, p + offsetof(PaletteState, current_hpal));
    return v.insert(v.end(), bv_colors.pixel_lut, std::end(bv_colors.pixel_lut)), v;
}

}  // namespace imagetest
