// Shared set-up of the scan converter tests: a headless page at a chosen
// depth (optionally with a padded pitch), a texture with a distinct value
// in every texel, a depth buffer, reading the page back through the lock,
// and the reference model's picture of the same page.
#ifndef BV_TESTS_RASTER_SUPPORT_H
#define BV_TESTS_RASTER_SUPPORT_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "brivondel.h"
#include "platform/platform.h"
#include "reference_model.h"
#include "state.h"

namespace rt {

constexpr ref::Member ALL_MEMBERS[] = {ref::Member::PerspectiveDepth, ref::Member::Perspective,
                                       ref::Member::AffineDepth, ref::Member::Affine};
constexpr int ALL_DEPTHS[] = {8, 16, 24, 32};

inline const char *member_name(ref::Member m) {
    switch (m) {
    case ref::Member::PerspectiveDepth: return "perspective_depth";
    case ref::Member::Perspective: return "perspective";
    case ref::Member::AffineDepth: return "affine_depth";
    default: return "affine";
    }
}

inline int pixel_bytes_of(int bits) { return bits == 16 ? 2 : bits == 24 ? 3 : bits == 32 ? 4 : 1; }
inline int texel_bytes_of(int bits) { return bits == 16 ? 2 : bits == 24 || bits == 32 ? 3 : 1; }

inline void call_member(ref::Member m, const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, uint32_t n) {
    switch (m) {
    case ref::Member::PerspectiveDepth: bv::raster_perspective_depth(pts, tex, cam, n); break;
    case ref::Member::Perspective: bv::raster_perspective(pts, tex, cam, n); break;
    case ref::Member::AffineDepth: bv::raster_affine_depth(pts, tex, cam, n); break;
    case ref::Member::Affine: bv::raster_affine(pts, tex, n); break;
    }
}

// A texture whose neighbouring texels always differ, at every texel size:
// byte 0 mixes column and row (and is never 0xFF, so a page filled with
// 0xFF shows every pixel drawn), bytes 1 and 2 hold them.
inline std::vector<uint8_t> patterned_texels(int width, int height, int texel_bytes, int salt = 0) {
    std::vector<uint8_t> t(static_cast<size_t>(width) * height * texel_bytes);
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            uint8_t *p = &t[(static_cast<size_t>(r) * width + c) * texel_bytes];
            p[0] = static_cast<uint8_t>((c * 7 + r * 13 + 1 + salt) % 255);
            if (texel_bytes > 1) p[1] = static_cast<uint8_t>(c + salt);
            if (texel_bytes > 2) p[2] = static_cast<uint8_t>(r);
        }
    }
    return t;
}

// Makes a block of texels the current texture, as bv_select_texture does.
inline void use_texture(const std::vector<uint8_t> &texels, int width, int height, int texel_bytes) {
    bv_textures.current_texels = reinterpret_cast<uintptr_t>(texels.data());
    bv_textures.current_width = width;
    bv_textures.current_height = height;
    bv_textures.current_texel_bytes = texel_bytes;
}

inline void clear_texture() {
    bv_textures.current_texels = 0;
    bv_textures.current_width = 0;
    bv_textures.current_height = 0;
    bv_textures.current_texel_bytes = 0;
}

// A polygon's screen points, texture coordinates and camera-space points.
struct Poly {
    std::vector<ScreenPoint> pts;
    std::vector<TexCoord> tex;
    std::vector<Vertex3> cam;
    uint32_t n() const { return static_cast<uint32_t>(pts.size()); }
};

// A started display with page 0 selected, and (on request) a depth buffer.
class Page {
public:
    ~Page() { stop(); }

    // Starts a flipping display of width x height at `bits`; `pad` extra
    // bytes per row.
    bool start(int width, int height, int bits, int pad = 0) {
        plat::test::reset();
        plat::test::pad_pitch(pad);
        if (bv_config_display(width, height, bits, BV_DISPLAY_FLIP) != 0) return false;
        if (bv_start_display() < 0) return false;
        started_ = true;
        if (bv_select_page(0) != 0) return false;
        bits_ = bits;
        return bv_target.bits_per_pixel == bits;
    }

    bool open_depth() {
        zbuffer_ = bv_alloc_zbuffer(bv_target.width, bv_target.height);
        if (zbuffer_ == nullptr) return false;
        return bv_open_zbuffer(zbuffer_) == 0;
    }

    void stop() {
        if (zbuffer_ != nullptr) bv_free_zbuffer(zbuffer_);
        zbuffer_ = nullptr;
        if (started_) bv_stop_display();
        started_ = false;
        clear_texture();
        plat::test::reset();
    }

    int bits() const { return bits_; }
    int pixel_bytes() const { return pixel_bytes_of(bits_); }
    int texel_bytes() const { return texel_bytes_of(bits_); }
    int width() const { return bv_target.width; }
    int height() const { return bv_target.height; }

    // Whole rows of the page memory, pitch bytes each (padding included).
    std::vector<uint8_t> raw() const {
        std::vector<uint8_t> out;
        bv::lock_target();
        if (bv::target_drawable()) {
            out.resize(static_cast<size_t>(bv_target.pitch) * bv_target.height);
            std::memcpy(out.data(), bv_target.base, out.size());
        }
        bv::unlock_target();
        return out;
    }

    // The page's pixels, packed.
    std::vector<uint8_t> pixels() const {
        const std::vector<uint8_t> r = raw();
        const size_t row = static_cast<size_t>(width()) * pixel_bytes();
        std::vector<uint8_t> out(row * height());
        for (int y = 0; y < height() && !r.empty(); ++y)
            std::memcpy(&out[y * row], &r[static_cast<size_t>(y) * bv_target.pitch], row);
        return out;
    }

    // Writes every byte of the page, padding included.
    void fill(uint8_t byte) const {
        bv::lock_target();
        if (bv::target_drawable())
            std::memset(bv_target.base, byte, static_cast<size_t>(bv_target.pitch) * bv_target.height);
        bv::unlock_target();
    }

    std::vector<uint32_t> depth() const {
        if (bv_target.zbuffer == nullptr) return {};
        return std::vector<uint32_t>(bv_target.zbuffer,
                                     bv_target.zbuffer + static_cast<size_t>(width()) * height());
    }

    // The reference model's starting point: this page as it is now.
    ref::Image image() const {
        ref::Image img;
        img.width = width();
        img.height = height();
        img.pixel_bytes = pixel_bytes();
        img.pixels = pixels();
        img.depth = depth();
        if (img.depth.empty()) img.depth.assign(static_cast<size_t>(img.width) * img.height, 0);
        img.zstamp = bv_target.zstamp;
        img.clip_min_x = bv_target.clip_min_x;
        img.clip_max_x = bv_target.clip_max_x;
        img.clip_min_y = bv_target.clip_min_y;
        img.clip_max_y = bv_target.clip_max_y;
        img.origin_x = bv_target.origin_x;
        img.origin_y = bv_target.origin_y;
        return img;
    }

    // Pixels that differ from `expected`, with the first few named.
    ::testing::AssertionResult matches(const ref::Image &expected, bool check_depth) const {
        const std::vector<uint8_t> got = pixels();
        const int pb = pixel_bytes();
        int64_t bad = 0;
        std::string first;
        for (int y = 0; y < height(); ++y) {
            for (int x = 0; x < width(); ++x) {
                const size_t at = (static_cast<size_t>(y) * width() + x) * pb;
                if (std::memcmp(&got[at], &expected.pixels[at], pb) != 0) {
                    if (bad < 5) {
                        first += " (" + std::to_string(x) + "," + std::to_string(y) + "): got";
                        for (int b = 0; b < pb; ++b) first += " " + std::to_string(got[at + b]);
                        first += " want";
                        for (int b = 0; b < pb; ++b) first += " " + std::to_string(expected.pixels[at + b]);
                    }
                    ++bad;
                }
            }
        }
        if (check_depth) {
            const std::vector<uint32_t> z = depth();
            for (size_t i = 0; i < z.size(); ++i) {
                if (z[i] != expected.depth[i]) {
                    if (bad < 5) first += " depth entry " + std::to_string(i);
                    ++bad;
                }
            }
        }
        if (bad == 0) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << bad << " pixels differ:" << first;
    }

    // Number of pixels that differ from a packed copy taken earlier.
    int64_t changed_since(const std::vector<uint8_t> &before) const {
        const std::vector<uint8_t> now = pixels();
        const int pb = pixel_bytes();
        int64_t changed = 0;
        for (size_t i = 0; i < now.size(); i += pb)
            if (std::memcmp(&now[i], &before[i], pb) != 0) ++changed;
        return changed;
    }

    // True when no byte past the pixels of a row (the pitch's padding)
    // differs from a copy of raw() taken earlier.
    bool padding_unchanged(const std::vector<uint8_t> &raw_before) const {
        const std::vector<uint8_t> now = raw();
        const size_t row = static_cast<size_t>(width()) * pixel_bytes();
        for (int y = 0; y < height(); ++y) {
            for (size_t i = row; i < static_cast<size_t>(bv_target.pitch); ++i) {
                const size_t at = static_cast<size_t>(y) * bv_target.pitch + i;
                if (now[at] != raw_before[at]) return false;
            }
        }
        return true;
    }

    // One pixel's bytes, read through the lock.
    std::vector<uint8_t> pixel(int x, int y) const {
        const std::vector<uint8_t> all = pixels();
        const size_t at = (static_cast<size_t>(y) * width() + x) * pixel_bytes();
        return std::vector<uint8_t>(all.begin() + at, all.begin() + at + pixel_bytes());
    }

private:
    bool started_ = false;
    int bits_ = 0;
    bv_zbuffer zbuffer_ = nullptr;
};

}  // namespace rt

#endif
