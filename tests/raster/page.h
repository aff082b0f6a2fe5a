// A headless page for the raster and pipeline tests: a display of w x h at `bits` with `pad` bytes after
// each row, page 0 selected and filled with 0xFF, a depth buffer open and a texture current.
#ifndef BV_TESTS_RASTER_PAGE_H
#define BV_TESTS_RASTER_PAGE_H

#include <algorithm>
#include <cstring>
#include <vector>

#include "library_state.h"

inline int pixel_bytes() { return std::max(bv_target.bits_per_pixel / 8, 1); }

struct Page {
    bv_zbuffer zbuffer = nullptr;
    std::vector<uint8_t> texels;

    bool start(int w, int h, int bits, int pad) {
        bvtest::reset_library(), plat::test::pad_pitch(pad);
        if (bv_config_display(w, h, bits, BV_DISPLAY_FLIP) || bv_start_display() < 0 || bv_select_page(0)) return false;
        use(64, 64, 0), blank();
        return bv_target.bits_per_pixel == bits && bv_open_zbuffer(zbuffer = bv_alloc_zbuffer(w, h)) == 0;
    }
    ~Page() { bv_free_zbuffer(zbuffer), bvtest::reset_library(); }

    uint8_t *lock() const { return bv::lock_target(), bv_target.base; }
    size_t size() const { return size_t(bv_target.pitch) * bv_target.height; }
    void blank() const { std::memset(lock(), 0xFF, size()), bv::unlock_target(); }
    std::vector<uint8_t> raw() const { auto *b = lock(); std::vector<uint8_t> v(b, b + size()); return bv::unlock_target(), v; }
    std::vector<uint32_t> depth() const {  // empty without a depth buffer
        const uint32_t *z = bv_target.zbuffer;
        return {z, z ? z + size_t(bv_target.width) * bv_target.height : z};
    }
    // Byte 0 of texel (c, r) mixes c and r and is never 0xFF, so every pixel drawn differs from the
    // fill; bytes 1 and 2 hold c + salt and r.
    void use(int tw, int th, int salt) {
        const size_t b = std::min(pixel_bytes(), 3);
        texels.resize(tw * th * b);
        for (size_t i = 0; i < texels.size(); ++i) {
            const size_t c = i / b % tw + salt, r = i / b / tw;
            texels[i] = uint8_t(i % b == 0 ? (c * 7 + r * 13 + 1) % 255 : i % b == 1 ? c : r);
        }
        bv_textures.current_texels = reinterpret_cast<uintptr_t>(texels.data());
        bv_textures.current_width = tw, bv_textures.current_height = th, bv_textures.current_texel_bytes = int(b);
    }
    int64_t drawn() const {  // pixels of a blank page drawn since
        const std::vector<uint8_t> px = raw();
        int64_t n = 0, w = bv_target.width;
        for (int64_t i = 0; i < w * bv_target.height; ++i) n += px[i / w * bv_target.pitch + i % w * pixel_bytes()] != 0xFF;
        return n;
    }
};

#endif
