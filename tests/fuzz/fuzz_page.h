// The headless page every fuzz case draws on, and the checks that every
// case must pass whatever the library decides to draw: no byte outside the
// region a call may touch changes (the row padding of a padded pitch
// included), and the surface lock comes back to where it was.
//
// A display start costs far more than one case, so the page's
// configuration (depth, size, padding) is taken from one input byte from a
// small set, and the display is restarted only when it changes.
#ifndef BV_FUZZ_PAGE_H
#define BV_FUZZ_PAGE_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "brivondel.h"
#include "platform/platform.h"
#include "state.h"

namespace fuzz {

// What one case found wrong; empty when nothing.
struct Outcome {
    int32_t result = 0;
    std::string violation;
};

inline void note(Outcome &o, const std::string &what) {
    if (o.violation.empty()) o.violation = what;
}

// ---- Page configurations ---------------------------------------------------------

struct PageConfig {
    int32_t depth = 16;
    bool rgb555 = false;
    int32_t width = 64, height = 48;
    int32_t padding = 0;  // bytes after each row
    int32_t display_flags = BV_DISPLAY_FLIP;
    bool operator==(const PageConfig &o) const {
        return depth == o.depth && rgb555 == o.rgb555 && width == o.width && height == o.height &&
               padding == o.padding && display_flags == o.display_flags;
    }
};

// Five depths (16 bits twice: RGB565 and RGB555) x four sizes x three
// paddings, from one byte.
inline PageConfig page_config(uint8_t b) {
    static constexpr int32_t depths[5] = {8, 16, 16, 24, 32};
    static constexpr int32_t sizes[4][2] = {{64, 48}, {17, 9}, {200, 150}, {1, 1}};
    static constexpr int32_t paddings[3] = {0, 3, 64};
    PageConfig c;
    c.depth = depths[b % 5];
    c.rgb555 = b % 5 == 2;
    c.width = sizes[(b / 5) % 4][0];
    c.height = sizes[(b / 5) % 4][1];
    c.padding = paddings[(b / 20) % 3];
    return c;
}

// The page the 3D device draws on (display flags 15: a software or hardware
// device with a z-buffer, as llvmpipe is one): 64 x 48, 16-bit RGB565, or
// 32-bit with a padded pitch. A device start costs tens of milliseconds,
// twenty times a case, so a process keeps to one of the two: the depth
// comes from BV_FUZZ_DEVICE_DEPTH (16, the default, or 32), not from the
// input.
inline PageConfig device_page_config(int32_t depth) {
    PageConfig c;
    c.depth = depth == 32 ? 32 : 16;
    c.padding = depth == 32 ? 3 : 0;
    c.display_flags = BV_DISPLAY_FLIP | BV_DISPLAY_SOFT_3D | BV_DISPLAY_HARD_3D | BV_DISPLAY_ZBUFFER;
    return c;
}

inline int32_t device_depth_from_environment() {
    const char *depth = std::getenv("BV_FUZZ_DEVICE_DEPTH");
    return depth != nullptr && std::strcmp(depth, "32") == 0 ? 32 : 16;
}

inline std::string describe(const PageConfig &c) {
    char text[96];
    std::snprintf(text, sizeof text, "%dx%d %d-bit%s pad %d", c.width, c.height, c.depth,
                  c.depth == 16 ? (c.rgb555 ? " RGB555" : " RGB565") : "", c.padding);
    return text;
}

// ---- The display, kept across cases --------------------------------------------------

struct Session {
    BvPlatWindow *window = nullptr;
    bool started = false;
    PageConfig config;
    LogPalette initial_palette{};
    RgbQuad initial_dib[256]{};
};

inline Session &session() {
    static Session s;
    return s;
}

[[noreturn]] inline void harness_broken(const char *what) {
    std::fprintf(stderr, "fuzz harness: %s\n", what);
    std::abort();
}

// The palette every case starts from: the one bv_make_palette builds for
// this display.
inline void record_initial_palette(Session &s) {
    const bv_hpalette made = bv_make_palette();
    bv_delete_palette(made);
    s.initial_palette = bv_palette.log_palette;
    std::memcpy(s.initial_dib, bv_palette.dib_colors, sizeof s.initial_dib);
}

inline void start_display(const PageConfig &c) {
    Session &s = session();
    if (s.window == nullptr) {
        // One window for the process: every display start takes it over
        // instead of making a window of its own.
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        s.window = plat::create_window(plat::WindowSpec{"fuzz", nullptr, 64, 48, true});
        if (s.window == nullptr) harness_broken("no window (is SDL_VIDEODRIVER=offscreen usable?)");
    }
    if (s.started) bv_stop_display();
    s.started = false;
    plat::test::reset();
    plat::set_rgb16_layout(c.rgb555);
    plat::test::pad_pitch(c.padding);
    bv_config_display(c.width, c.height, c.depth, c.display_flags);
    const int32_t kind = bv_start_display();
    if (kind < 0 || (c.display_flags == BV_DISPLAY_FLIP) != (kind == 0)) harness_broken("the display did not start as asked");
    if (bv_select_page(0) != 0) harness_broken("page 0 cannot be selected");
    s.started = true;
    s.config = c;
    record_initial_palette(s);
}

inline void reset_view(const PageConfig &c) {
    bv_set_3d_flags(0);
    bv_set_3d_depth(1.0, 1000.0);
    bv_set_3d_viewport(0, c.width - 1, 0, c.height - 1, 0.5);
    bv_set_3d_pose(0.0, 0.0, 0.0, 0, 0, 0);
}

// The display in configuration `c` with page 0 selected, and every piece
// of library state a case may change put back to where a fresh start has
// it, so that each case depends on its own bytes only.
inline void begin_case(const PageConfig &c) {
    Session &s = session();
    while (bv_target.lock_depth > 0) bv::unlock_target();
    plat::test::fail_locks(0);
    if (!s.started || !(s.config == c)) start_display(c);
    bv_palette.log_palette = s.initial_palette;
    std::memcpy(bv_palette.dib_colors, s.initial_dib, sizeof s.initial_dib);
    bv_palette.current_hpal = nullptr;
    if (bv_select_page(0) != 0) harness_broken("page 0 cannot be selected");
    bv_target.origin_x = 0;
    bv_target.origin_y = 0;
    bv_cursor = CursorState{0, 0};
    bv::reset_image_buffer();
    std::memset(bv::io_buffer, 0, bv::IO_BUFFER_SIZE);
    std::memset(bv::work_area, 0, bv::WORK_AREA_SIZE);
    // No memory depth buffer open (a device keeps its own z-buffer).
    if (bv_display.zsurface == nullptr) bv_open_zbuffer(nullptr);
    bv_target.zstamp = 0;
    bv_free_texture(-1);  // device textures give their storage back
    bv::release_texture_table();
    bv_textures = TextureState{};
    reset_view(c);
}

// ---- The page's bytes ---------------------------------------------------------------

constexpr uint8_t PADDING_BYTE = 0xA5;

struct PageImage {
    std::vector<uint8_t> bytes;  // pitch x height, padding included
    int64_t pitch = 0, width = 0, height = 0, pixel_bytes = 1;
};

// Runs `f(base)` on page 0's surface, locked through the platform so that
// neither the drawing target nor its lock count is involved (the page may
// be deselected); false when it cannot be locked.
template <class F>
bool with_page(F f) {
    BvPlatSurface *surface = bv_pages.surface[0];
    uint8_t *base = nullptr;
    int32_t pitch = 0;
    if (surface == nullptr || plat::lock_surface(surface, &base, &pitch) != plat::OK) return false;
    f(base);
    plat::unlock_surface(surface);
    return true;
}

inline int64_t page_pixel_bytes() { return bv_pages.bits_per_pixel[0] / 8; }

// Copies page 0 into `img`, whose storage is reused from call to call.
inline void read_page(PageImage &img) {
    img.pitch = bv_pages.pitch[0];
    img.width = bv_pages.width[0];
    img.height = bv_pages.height[0];
    img.pixel_bytes = page_pixel_bytes();
    img.bytes.resize(static_cast<size_t>(img.pitch * img.height));
    if (!with_page([&](const uint8_t *base) { std::memcpy(img.bytes.data(), base, img.bytes.size()); }))
        harness_broken("page 0 cannot be locked");
}

// Pixels from `pattern` (repeated; a fixed mixture when empty), the row
// padding set to PADDING_BYTE. The picture is built aside and copied in
// one piece; the fixed one is built once per page layout.
inline void paint_page(const std::vector<uint8_t> &pattern) {
    const int64_t pitch = bv_pages.pitch[0], height = bv_pages.height[0];
    const int64_t row_bytes = bv_pages.width[0] * page_pixel_bytes();
    static std::vector<uint8_t> picture;
    // The fixed picture of each page layout, built once.
    struct Fixed {
        int64_t pitch, height, row_bytes;
        std::vector<uint8_t> bytes;
    };
    static std::vector<Fixed> fixed;
    const std::vector<uint8_t> *source = &picture;
    if (pattern.empty()) {
        const Fixed *found = nullptr;
        for (const Fixed &f : fixed)
            if (f.pitch == pitch && f.height == height && f.row_bytes == row_bytes) found = &f;
        if (found == nullptr) {
            Fixed f{pitch, height, row_bytes, std::vector<uint8_t>(static_cast<size_t>(pitch * height), PADDING_BYTE)};
            // Seven values: on 8-bit pages the colour reduction, which
            // counts the whole page, then has little of its own to merge.
            for (int64_t y = 0; y < height; ++y)
                for (int64_t i = 0; i < row_bytes; ++i) f.bytes[y * pitch + i] = static_cast<uint8_t>((y + i) % 7 * 37 + 3);
            fixed.push_back(std::move(f));
            found = &fixed.back();
        }
        source = &found->bytes;
    } else {
        picture.assign(static_cast<size_t>(pitch * height), PADDING_BYTE);
        size_t k = 0;
        for (int64_t y = 0; y < height; ++y) {
            for (int64_t i = 0; i < row_bytes; ++i) {
                picture[y * pitch + i] = pattern[k];
                if (++k == pattern.size()) k = 0;
            }
        }
    }
    with_page([&](uint8_t *base) { std::memcpy(base, source->data(), source->size()); });
}

// A half-open rectangle of page pixels.
struct Rect {
    int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

inline Rect whole_page() { return Rect{0, 0, bv_pages.width[0], bv_pages.height[0]}; }

// The first byte that changed outside `allowed` (the row padding is always
// outside), as a message; empty when none did.
inline std::string changes_outside(const PageImage &before, const PageImage &after, const Rect &allowed,
                                   const char *what) {
    if (before.bytes.size() != after.bytes.size()) return std::string(what) + ": the page changed size";
    if (before.bytes == after.bytes) return {};
    const int64_t row_bytes = before.width * before.pixel_bytes;
    const bool empty = allowed.x1 <= allowed.x0 || allowed.y1 <= allowed.y0;
    for (int64_t y = 0; y < before.height; ++y) {
        const uint8_t *a = before.bytes.data() + y * before.pitch;
        const uint8_t *b = after.bytes.data() + y * before.pitch;
        // Bytes [lo, hi) of this row may change.
        int64_t lo = 0, hi = 0;
        if (!empty && y >= allowed.y0 && y < allowed.y1) {
            lo = allowed.x0 * before.pixel_bytes;
            hi = allowed.x1 * before.pixel_bytes;
            if (hi > row_bytes) hi = row_bytes;
            if (lo > hi) lo = hi;
        }
        if (std::memcmp(a, b, static_cast<size_t>(lo)) == 0 &&
            std::memcmp(a + hi, b + hi, static_cast<size_t>(before.pitch - hi)) == 0)
            continue;
        for (int64_t i = 0; i < before.pitch; ++i) {
            if (a[i] == b[i] || (i >= lo && i < hi)) continue;
            char text[160];
            std::snprintf(text, sizeof text, "%s: byte %lld of row %lld changed (%s; allowed x %lld..%lld, y %lld..%lld)",
                          what, static_cast<long long>(i), static_cast<long long>(y),
                          i < row_bytes ? "pixel" : "row padding", static_cast<long long>(allowed.x0),
                          static_cast<long long>(allowed.x1 - 1), static_cast<long long>(allowed.y0),
                          static_cast<long long>(allowed.y1 - 1));
            return text;
        }
    }
    return {};
}

// The drawing target's clip rectangle as drawing may use it: inside page 0.
inline Rect clip_rect_on_page() {
    const int64_t width = bv_pages.width[0], height = bv_pages.height[0];
    Rect r;
    r.x0 = bv_target.clip_min_x < 0 ? 0 : bv_target.clip_min_x;
    r.y0 = bv_target.clip_min_y < 0 ? 0 : bv_target.clip_min_y;
    r.x1 = (bv_target.clip_max_x < width - 1 ? bv_target.clip_max_x : width - 1) + 1;
    r.y1 = (bv_target.clip_max_y < height - 1 ? bv_target.clip_max_y : height - 1) + 1;
    if (r.x1 < r.x0) r.x1 = r.x0;
    if (r.y1 < r.y0) r.y1 = r.y0;
    return r;
}

inline bool same_palette_state(const PaletteState &a, const PaletteState &b) {
    return std::memcmp(&a.log_palette, &b.log_palette, sizeof a.log_palette) == 0 &&
           std::memcmp(a.dib_colors, b.dib_colors, sizeof a.dib_colors) == 0;
}

// Reports the outcome of a case: the fuzz targets stop on a violation.
inline void stop_on_violation(const Outcome &o) {
    if (o.violation.empty()) return;
    std::fprintf(stderr, "fuzz finding: %s\n", o.violation.c_str());
    std::abort();
}

}  // namespace fuzz

#endif
