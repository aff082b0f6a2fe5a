// One fuzz case of the polygon pipeline and its scan converters:
//
//   byte 0   page configuration (fuzz::page_config)
//   byte 1   render flags, the whole byte (bits other than 1, 4, 8 must not
//            matter)
//   byte 2   depth buffer, by value mod 6: never allocated; page-sized and
//            open; opened then freed; one entry short of the page; larger
//            than the page; a handle the library never made
//   byte 3   depth frames started before drawing (the stamp)
//   byte 4   texture, by value mod 4: none selected; a block of the page's
//            texel size; one defined with no page selected (so of no page's
//            size); selected then freed (it stays current). Bit 6 makes the
//            width and bit 7 the height not positive
//   byte 5-6 texture width and height (1 to 64, or 0 and below)
//   byte 7   bit 0: a clip rectangle follows (four numbers, anywhere);
//            bit 1: an origin follows (two numbers); bit 2: the polygons go
//            to the scan converter directly, as screen points; bit 3: the
//            caller holds the page lock; bit 4: the lock fails; bit 5: a
//            view follows (near, far, viewport, factor, pose); bit 6: no
//            page is selected
//
// then polygons to the end of the input, each a vertex count (mostly
// small, sometimes up to 400, past the capacities 320 and 182) and per
// vertex x, y, z (or screen x, y and camera z) and u, v, from fuzz::Input's
// number and integer mixtures (NaN, infinities, extremes, the near and far
// planes and their neighbours, the texture's edges).
//
// fuzz_device runs the same cases on a page the 3D device draws (see
// decode_poly_case): the device path gets the polygons instead.
//
// Every drawing must keep its writes inside the clip rectangle cut to the
// page (the whole page on the device path, which clips to its viewport) (nothing at all without a page, with a failed lock, without a
// depth buffer for depth-tested drawing, or with a texture that is of
// another page's size or not positive), leave the caller's arrays and the
// depth entries outside the clip rectangle alone, and leave the lock count
// where it was.
#ifndef BV_FUZZ_POLY_CASE_H
#define BV_FUZZ_POLY_CASE_H

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "fuzz_page.h"

namespace fuzz {

enum class DepthBuffer { None, Open, Freed, TooSmall, Larger, Foreign };
enum class TextureMode { None, Selected, NoPageSize, FreedCurrent };

struct Polygon3 {
    std::vector<Vertex3> verts;
    std::vector<ScreenPoint> screen;  // direct mode
    std::vector<TexCoord> tex;
};

struct PolyCase {
    PageConfig page;
    bool device = false;  // page 0 drawn by the 3D device
    int32_t flags = 0;
    DepthBuffer depth = DepthBuffer::None;
    int32_t frames = 0;
    TextureMode texture = TextureMode::None;
    int32_t tex_width = 1, tex_height = 1;
    bool custom_clip = false, custom_origin = false, direct = false, caller_lock = false, fail_lock = false,
         custom_view = false, no_page = false;
    int32_t clip[4] = {0, 0, 0, 0};  // min x, max x, min y, max y
    int32_t origin[2] = {0, 0};
    double near_z = 1.0, far_z = 1000.0;
    int32_t viewport[4] = {0, 0, 0, 0};
    double factor = 0.5;
    double pose[3] = {0, 0, 0};
    int32_t angles[3] = {0, 0, 0};
    std::vector<Polygon3> polygons;
};

constexpr size_t POLY_MAX_POLYGONS = 16;

// With a device depth (16 or 32), page 0 belongs to the 3D device: the
// page is fuzz::device_page_config's (the page byte does not matter), the
// device's z-buffer is the depth buffer (nor does the depth byte) and the
// lock never fails (the device path takes no lock).
inline PolyCase decode_poly_case(const uint8_t *data, size_t size, int32_t device_depth = 0) {
    Input in(data, size);
    PolyCase c;
    const bool device = device_depth != 0;
    c.device = device;
    const uint8_t page = in.byte();
    c.page = device ? device_page_config(device_depth) : page_config(page);
    c.flags = in.byte();
    c.depth = static_cast<DepthBuffer>(in.byte() % 6);
    c.frames = in.byte();
    const uint8_t tex = in.byte();
    c.texture = static_cast<TextureMode>(tex % 4);
    const uint8_t w = in.byte(), h = in.byte();
    c.tex_width = (tex & 0x40) ? -static_cast<int32_t>(w) : 1 + w % 64;
    c.tex_height = (tex & 0x80) ? -static_cast<int32_t>(h) : 1 + h % 64;
    const uint8_t options = in.byte();
    c.custom_clip = options & 1;
    c.custom_origin = options & 2;
    c.direct = options & 4;
    c.caller_lock = options & 8;
    c.fail_lock = options & 16;
    c.custom_view = options & 32;
    c.no_page = options & 64;
    if (device) {
        c.depth = DepthBuffer::Open;
        c.frames %= 3;
        c.fail_lock = false;
    }
    c.viewport[1] = c.page.width - 1;
    c.viewport[3] = c.page.height - 1;
    if (c.custom_clip) {
        c.clip[0] = in.integer(0);
        c.clip[1] = in.integer(c.page.width - 1);
        c.clip[2] = in.integer(0);
        c.clip[3] = in.integer(c.page.height - 1);
    }
    if (c.custom_origin) {
        c.origin[0] = in.integer(0);
        c.origin[1] = in.integer(0);
    }
    if (c.custom_view) {
        c.near_z = in.number(1.0, 40.0);
        c.far_z = in.number(1000.0, 40.0);
        for (int32_t &v : c.viewport) v = in.integer(c.page.width);
        c.factor = in.number(0.5, 1.0);
        for (double &p : c.pose) p = in.number(0.0, 100.0);
        for (int32_t &a : c.angles) a = in.integer(900);
    }
    while (!in.empty() && c.polygons.size() < POLY_MAX_POLYGONS) {
        const uint8_t sel = in.byte();
        const uint32_t count = sel < 200 ? sel % 12 : in.u16() % 400;
        Polygon3 p;
        for (uint32_t i = 0; i < count; ++i) {
            if (c.direct) {
                const int32_t x = in.integer(c.page.width);
                const int32_t y = in.integer(c.page.height);
                p.screen.push_back(ScreenPoint{x, y});
                p.verts.push_back(Vertex3{0.0, 0.0, in.number(c.near_z, c.far_z)});
            } else {
                const double x = in.number(c.near_z, c.far_z);
                const double y = in.number(c.near_z, c.far_z);
                const double z = in.number(c.near_z, c.far_z);
                p.verts.push_back(Vertex3{x, y, z});
            }
            const int32_t u = in.integer(c.tex_width);
            const int32_t v = in.integer(c.tex_height);
            p.tex.push_back(TexCoord{u, v});
        }
        c.polygons.push_back(std::move(p));
    }
    return c;
}

// What the case set up beside the page, released at its end.
struct PolyScene {
    bv_zbuffer zbuffer = nullptr;
    std::vector<uint8_t> texels;
    bool texture_drawable = false;
    bool depth_drawable = false;
};

inline int32_t texel_bytes_of(int32_t depth) { return depth == 8 ? 1 : depth == 16 ? 2 : 3; }

inline void set_up_depth_buffer(const PolyCase &c, PolyScene &s) {
    const int32_t w = c.page.width, h = c.page.height;
    static uint32_t foreign[64];
    switch (c.depth) {
    case DepthBuffer::None: break;
    case DepthBuffer::Open:
    case DepthBuffer::Freed: s.zbuffer = bv_alloc_zbuffer(w, h); break;
    case DepthBuffer::TooSmall: s.zbuffer = bv_alloc_zbuffer(w, h - 1 > 0 ? h - 1 : 1); break;
    case DepthBuffer::Larger: s.zbuffer = bv_alloc_zbuffer(w + 5, h + 2); break;
    case DepthBuffer::Foreign: bv_open_zbuffer(reinterpret_cast<bv_zbuffer>(foreign)); break;
    }
    if (s.zbuffer != nullptr) bv_open_zbuffer(s.zbuffer);
    if (c.depth == DepthBuffer::Freed && !c.device) {
        bv_free_zbuffer(s.zbuffer);
        s.zbuffer = nullptr;
    }
    for (int32_t i = 0; i < c.frames; ++i) bv_zbuffer_frame();
    // Without a live buffer open (never allocated, freed, or a handle the
    // library did not make) depth-tested drawing has nothing to test against.
    s.depth_drawable = c.depth == DepthBuffer::Open || c.depth == DepthBuffer::Larger || c.depth == DepthBuffer::TooSmall;
}

inline void set_up_texture(const PolyCase &c, PolyScene &s) {
    if (c.texture == TextureMode::None) return;
    const int32_t bytes = texel_bytes_of(c.page.depth);
    const int64_t w = c.tex_width > 0 ? c.tex_width : 1, h = c.tex_height > 0 ? c.tex_height : 1;
    // Exactly the texels the texture claims: a read past them is a finding.
    s.texels.resize(static_cast<size_t>(w * h * bytes));
    for (size_t i = 0; i < s.texels.size(); ++i) s.texels[i] = static_cast<uint8_t>(i * 29 + 3);
    bv_alloc_textures(2);
    if (c.texture == TextureMode::NoPageSize) bv_deselect_page();
    const int32_t handle = bv_define_texture(s.texels.data(), c.tex_width, c.tex_height);
    if (c.texture == TextureMode::NoPageSize) bv_select_page(0);
    bv_select_texture(handle);
    if (c.texture == TextureMode::FreedCurrent) bv_free_texture(handle);
    // A device texture is a copy in the display's own format: the page
    // current at its definition does not matter to it.
    s.texture_drawable = (c.device || c.texture != TextureMode::NoPageSize) && c.tex_width > 0 && c.tex_height > 0;
}

inline void set_up_view(const PolyCase &c) {
    bv_set_3d_flags(c.flags);
    if (!c.custom_view) return;
    bv_set_3d_depth(c.near_z, c.far_z);
    bv_set_3d_viewport(c.viewport[0], c.viewport[1], c.viewport[2], c.viewport[3], c.factor);
    bv_set_3d_pose(c.pose[0], c.pose[1], c.pose[2], c.angles[0], c.angles[1], c.angles[2]);
}

inline void draw_directly(int32_t flags, const Polygon3 &p) {
    const auto n = static_cast<uint32_t>(p.tex.size());
    const bool perspective = (flags & RF_PERSPECTIVE) != 0, depth = (flags & RF_DEPTH) != 0;
    if (perspective && depth) {
        bv::raster_perspective_depth(p.screen.data(), p.tex.data(), p.verts.data(), n);
    } else if (perspective) {
        bv::raster_perspective(p.screen.data(), p.tex.data(), p.verts.data(), n);
    } else if (depth) {
        bv::raster_affine_depth(p.screen.data(), p.tex.data(), p.verts.data(), n);
    } else {
        bv::raster_affine(p.screen.data(), p.tex.data(), n);
    }
}

inline std::vector<uint32_t> depth_entries(const PolyScene &s) {
    if (s.zbuffer == nullptr || bv_target.zbuffer == nullptr) return {};
    return std::vector<uint32_t>(bv_target.zbuffer, bv_target.zbuffer + bv_target.zbuffer_capacity);
}

// Depth entries of pixels outside `allowed` that changed.
inline std::string depth_changes_outside(const std::vector<uint32_t> &before, const std::vector<uint32_t> &after,
                                         const Rect &allowed) {
    if (before.size() != after.size()) return "the depth buffer changed size";
    const int64_t w = bv_target.width;
    for (size_t i = 0; i < before.size(); ++i) {
        if (before[i] == after[i]) continue;
        const int64_t x = static_cast<int64_t>(i) % w, y = static_cast<int64_t>(i) / w;
        if (x >= allowed.x0 && x < allowed.x1 && y >= allowed.y0 && y < allowed.y1) continue;
        return "depth entry " + std::to_string(i) + " outside the clip rectangle changed";
    }
    return {};
}

// Every pixel the scan converters changed shows a texel of the current
// texture, unchanged (on 32-bit pages its three bytes, and with the depth
// test a fourth byte of 0): nothing is read from outside the texture, even
// where reading there would not fault.
inline std::string drawn_pixels_are_texels(const PageImage &before, const PageImage &after, const PolyScene &s,
                                           const PolyCase &c) {
    if (before.bytes == after.bytes) return {};
    const int64_t texel_bytes = texel_bytes_of(c.page.depth);
    static std::vector<uint32_t> texels;
    texels.clear();
    for (size_t i = 0; i + texel_bytes <= s.texels.size(); i += static_cast<size_t>(texel_bytes)) {
        uint32_t v = 0;
        for (int64_t k = 0; k < texel_bytes; ++k) v |= uint32_t{s.texels[i + k]} << (8 * k);
        texels.push_back(v);
    }
    std::sort(texels.begin(), texels.end());
    const int64_t pb = before.pixel_bytes;
    for (int64_t y = 0; y < before.height; ++y) {
        for (int64_t x = 0; x < before.width; ++x) {
            const size_t at = static_cast<size_t>(y * before.pitch + x * pb);
            if (std::memcmp(&before.bytes[at], &after.bytes[at], static_cast<size_t>(pb)) == 0) continue;
            uint32_t v = 0;
            for (int64_t k = 0; k < texel_bytes; ++k) v |= uint32_t{after.bytes[at + k]} << (8 * k);
            if (!std::binary_search(texels.begin(), texels.end(), v))
                return "pixel " + std::to_string(x) + ", " + std::to_string(y) + " shows no texel of the texture";
            if (pb == 4 && (c.flags & RF_DEPTH) != 0 && after.bytes[at + 3] != 0)
                return "pixel " + std::to_string(x) + ", " + std::to_string(y) + " has a fourth byte that is not 0";
        }
    }
    return {};
}

template <class T>
bool same_bytes(const std::vector<T> &a, const std::vector<T> &b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

inline Outcome run_poly_case(const PolyCase &c) {
    Outcome o;
    begin_case(c.page);
    paint_page({});
    PolyScene scene;
    set_up_depth_buffer(c, scene);
    set_up_texture(c, scene);
    set_up_view(c);
    if (c.custom_clip) {
        bv_target.clip_min_x = c.clip[0];
        bv_target.clip_max_x = c.clip[1];
        bv_target.clip_min_y = c.clip[2];
        bv_target.clip_max_y = c.clip[3];
    }
    if (c.custom_origin) {
        bv_target.origin_x = c.origin[0];
        bv_target.origin_y = c.origin[1];
    }
    const Rect clip = clip_rect_on_page();
    static PageImage before;
    read_page(before);
    const std::vector<uint32_t> depth_before = depth_entries(scene);

    const bool depth_tested = (c.flags & RF_DEPTH) != 0;
    bool may_draw =
        !c.no_page && !(c.fail_lock && !c.caller_lock) && scene.texture_drawable && (!depth_tested || scene.depth_drawable);
    // The device clips to its viewport, the whole page, not to the clip
    // rectangle; a freed device texture is forgotten, never drawn.
    if (c.device) may_draw = !c.no_page && scene.texture_drawable && c.texture != TextureMode::FreedCurrent;
    const Rect allowed = c.device ? whole_page() : clip;

    if (c.no_page) bv_deselect_page();
    if (c.caller_lock) bv::lock_target();
    const int32_t lock_depth = bv_target.lock_depth;
    for (const Polygon3 &p : c.polygons) {
        const Polygon3 copy = p;
        if (c.fail_lock && !c.caller_lock) plat::test::fail_locks(1);
        if (c.direct) {
            draw_directly(c.flags, p);
        } else {
            o.result = bv_draw_3d_poly(p.verts.data(), p.tex.data(), static_cast<uint32_t>(p.tex.size()));
            if (o.result != 0) note(o, "bv_draw_3d_poly returned " + std::to_string(o.result));
        }
        plat::test::fail_locks(0);
        if (bv_target.lock_depth != lock_depth) note(o, "the lock count changed across a polygon");
        if (!same_bytes(copy.verts, p.verts) || !same_bytes(copy.tex, p.tex) || !same_bytes(copy.screen, p.screen))
            note(o, "the caller's arrays were written");
    }
    if (c.caller_lock) bv::unlock_target();
    if (c.no_page) bv_select_page(0);
    if (bv_target.lock_depth != 0) note(o, "the page lock was left held");

    static PageImage after;
    read_page(after);
    note(o, changes_outside(before, after, may_draw ? allowed : Rect{}, may_draw ? "drawing" : "drawing that may not draw"));
    if (!c.device) note(o, depth_changes_outside(depth_before, depth_entries(scene), may_draw ? clip : Rect{}));
    if (!c.device && may_draw) note(o, drawn_pixels_are_texels(before, after, scene, c));

    if (!c.device) bv_free_zbuffer(scene.zbuffer);  // a device's z-buffer stays with the display
    bv_free_texture(-1);
    bv::release_texture_table();
    bv_textures = TextureState{};
    return o;
}

inline Outcome run_poly_input(const uint8_t *data, size_t size) { return run_poly_case(decode_poly_case(data, size)); }

inline Outcome run_device_input(const uint8_t *data, size_t size, int32_t depth) {
    return run_poly_case(decode_poly_case(data, size, depth));
}

}  // namespace fuzz

#endif
