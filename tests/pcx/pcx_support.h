// Helpers of the PCX reader's tests: a headless page, PCX files put
// together byte by byte, and reading the page back.
#ifndef BV_TESTS_PCX_SUPPORT_H
#define BV_TESTS_PCX_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "brivondel.h"
#include "platform/platform.h"
#include "programs.h"
#include "state.h"

namespace pcxtest {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
};

// ---- Expected pixels, from the pixel formats' definitions ----------------

inline uint32_t rgb565(Rgb c) { return ((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3); }
inline uint32_t rgb555(Rgb c) { return ((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3); }
// 24- and 32-bit pages store blue, green, red (and 0): read back as a
// little-endian number that is 0x00RRGGBB.
inline uint32_t rgb888(Rgb c) { return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b; }

inline uint32_t expected_pixel(Rgb c, int depth, bool is555 = false) {
    if (depth == 16) return is555 ? rgb555(c) : rgb565(c);
    return rgb888(c);
}

// ---- A headless display with page 0 selected ------------------------------

struct PageOptions {
    int width = 16, height = 8, depth = 32;
    bool rgb555 = false;
    int pad = 0;  // extra bytes at the end of every row
};

class Page {
public:
    explicit Page(const PageOptions &o) : opts_(o) {
        plat::test::reset();
        plat::set_rgb16_layout(o.rgb555);
        if (o.pad != 0) plat::test::pad_pitch(o.pad);
        bv_config_display(o.width, o.height, o.depth, BV_DISPLAY_FLIP);
        palette_ = bv_make_palette();
        bv_use_palette(palette_);
        started_ = bv_start_display() >= 0;
        bv_set_dib_depth(o.depth);
        selected_ = bv_select_page(0) == 0;
        bv_attach_palette();
        bv::reset_image_buffer();
    }
    ~Page() {
        bv_deselect_page();
        bv_stop_display();
        bv_delete_palette(palette_);
        bv_palette.current_hpal = nullptr;
        bv::reset_image_buffer();
        plat::test::reset();
    }
    Page(const Page &) = delete;
    Page &operator=(const Page &) = delete;

    bool ready() const { return started_ && selected_; }
    int bytes() const { return opts_.depth / 8; }

    static constexpr uint8_t PADDING_BYTE = 0xEE;

    // Fills every pixel of the page with one value and the padding after
    // each row with PADDING_BYTE.
    void fill(uint32_t value) {
        bv::lock_target();
        for (int y = 0; y < opts_.height; ++y) {
            for (int x = 0; x < opts_.width; ++x) std::memcpy(at(x, y), &value, bytes());
            std::memset(at(opts_.width, y), PADDING_BYTE, bv_target.pitch - opts_.width * bytes());
        }
        bv::unlock_target();
    }

    uint32_t pixel(int x, int y) {
        bv::lock_target();
        uint32_t v = 0;
        std::memcpy(&v, at(x, y), bytes());
        bv::unlock_target();
        return v;
    }

    // The padding bytes after row y.
    std::vector<uint8_t> padding(int y) {
        bv::lock_target();
        const uint8_t *p = at(opts_.width, y);
        std::vector<uint8_t> out(p, p + (bv_target.pitch - opts_.width * bytes()));
        bv::unlock_target();
        return out;
    }

    std::vector<uint32_t> all_pixels() {
        std::vector<uint32_t> out;
        for (int y = 0; y < opts_.height; ++y)
            for (int x = 0; x < opts_.width; ++x) out.push_back(pixel(x, y));
        return out;
    }

private:
    uint8_t *at(int x, int y) { return bv_target.base + y * bv_target.pitch + x * bytes(); }

    PageOptions opts_;
    bv_hpalette palette_ = nullptr;
    bool started_ = false, selected_ = false;
};

// ---- PCX files put together by hand ---------------------------------------

struct Header {
    uint8_t manufacturer = 10;
    uint8_t version = 5;
    uint8_t bits_per_pixel = 8;
    uint16_t xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    uint8_t planes = 1;
    uint16_t bytes_per_line = 0;
    std::vector<Rgb> colour_map;  // up to 16 entries
};

inline void put16(std::vector<uint8_t> &v, size_t at, uint16_t x) {
    v[at] = static_cast<uint8_t>(x);
    v[at + 1] = static_cast<uint8_t>(x >> 8);
}

inline std::vector<uint8_t> header_bytes(const Header &h) {
    std::vector<uint8_t> v(128, 0);
    v[0] = h.manufacturer;
    v[1] = h.version;
    v[2] = 1;
    v[3] = h.bits_per_pixel;
    put16(v, 4, h.xmin);
    put16(v, 6, h.ymin);
    put16(v, 8, h.xmax);
    put16(v, 10, h.ymax);
    for (size_t i = 0; i < h.colour_map.size() && i < 16; ++i) {
        v[16 + 3 * i] = h.colour_map[i].r;
        v[17 + 3 * i] = h.colour_map[i].g;
        v[18 + 3 * i] = h.colour_map[i].b;
    }
    v[65] = h.planes;
    put16(v, 66, h.bytes_per_line);
    return v;
}

inline std::vector<uint8_t> trailer_bytes(const std::vector<Rgb> &colours, uint8_t marker = 12) {
    std::vector<uint8_t> v{marker};
    for (int i = 0; i < 256; ++i) {
        const Rgb c = i < static_cast<int>(colours.size()) ? colours[i] : Rgb{0, 0, 0};
        v.push_back(c.r);
        v.push_back(c.g);
        v.push_back(c.b);
    }
    return v;
}

inline std::vector<uint8_t> pcx_file(const Header &h, const std::vector<uint8_t> &data,
                                     const std::vector<uint8_t> &trailer = {}) {
    std::vector<uint8_t> v = header_bytes(h);
    v.insert(v.end(), data.begin(), data.end());
    v.insert(v.end(), trailer.begin(), trailer.end());
    return v;
}

// Literal bytes below 192 stand for themselves; this writes every byte as
// a run of one so any value can be given.
inline std::vector<uint8_t> as_runs_of_one(const std::vector<uint8_t> &bytes) {
    std::vector<uint8_t> out;
    for (uint8_t b : bytes) {
        out.push_back(0xC1);
        out.push_back(b);
    }
    return out;
}

inline std::string temp_path(const std::string &name) {
    return testing::TempDir() + "bv_pcx_" + std::to_string(::getpid()) + "_" + name;
}

inline std::string write_temp(const std::string &name, const std::vector<uint8_t> &bytes) {
    const std::string path = temp_path(name);
    std::FILE *f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr) << path;
    if (f != nullptr) {
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

// Loads bytes as a file (file mode).
inline int32_t load_bytes(const std::vector<uint8_t> &bytes, int32_t flags = 0, const std::string &name = "t.pcx") {
    const std::string path = write_temp(name, bytes);
    const int32_t r = bv_load_pcx(path.c_str(), flags);
    std::remove(path.c_str());
    return r;
}

inline Rgb log_colour(int i) {
    const PaletteEntry &e = bv_palette.log_palette.entries[i];
    return Rgb{e.red, e.green, e.blue};
}

inline std::vector<uint8_t> palette_snapshot() {
    std::vector<uint8_t> v(sizeof bv_palette.log_palette);
    std::memcpy(v.data(), &bv_palette.log_palette, v.size());
    v.insert(v.end(), bv_colors.pixel_lut, bv_colors.pixel_lut + sizeof bv_colors.pixel_lut);
    return v;
}

// Runs the build's bv-pcx with these arguments.
inline bvtest::ProgramRun bv_pcx(const std::string &args) {
    return bvtest::run_program(bvtest::build_dir() + "/tools/bv-pcx " + args);
}

}  // namespace pcxtest

#endif
