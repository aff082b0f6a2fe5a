// The fuzz cases, reading inputs as the checked-in seeds were written, check beside the sanitizers what holds
// whatever a call draws (exact pixels are the unit suites' job): nothing changes outside what it may touch, row
// padding never; a call that fails or may not draw changes nothing; caller memory and the lock count come back.
#ifndef BV_FUZZ_CASES_H
#define BV_FUZZ_CASES_H

#include <unistd.h>

#include <cstdio>
#include <utility>

#include "fuzz_harness.h"

namespace fuzz {

// The file is handed over in memory with BV_PCX_FROM_BUFFER, else on disk; flag bits 16-23 must be ignored.
inline void run_pcx_input(const uint8_t *data, size_t size) {
    static char path[] = "/tmp/bv-fuzz-pcx-XXXXXX";
    static const bool made = close(mkstemp(path)) == 0 && std::atexit([] { std::remove(path); }) == 0;
    Input in(data, size);
    const PageConfig page = page_config(in.byte());
    const uint8_t options = in.byte(), low = in.byte();
    const int32_t flags = low | in.byte() << 16, cursor_x = in.get<int16_t>(), cursor_y = in.get<int16_t>();
    std::vector<uint8_t> file = in.bytes(size), chunk(std::array{0, 128, 129, 200, 769, 770, 1000, 4097}[options >> 2 & 7]);
    const bool no_page = options & 1, fail_lock = options & 2, memory = flags & BV_PCX_FROM_BUFFER;
    begin_case(page);
    bv_cursor = CursorState{cursor_x, cursor_y};
    std::FILE *f = memory ? nullptr : std::fopen(path, "wb");
    check(memory || (made && f && (file.empty() || std::fwrite(file.data(), file.size(), 1, f) == 1) && !std::fclose(f)), "no file");
    if (memory) bv_set_image_buffer(file.empty() ? nullptr : file.data(), static_cast<uint32_t>(file.size()));  // too short is refused
    else if (!chunk.empty()) bv_set_image_buffer(chunk.data(), static_cast<uint32_t>(chunk.size()));
    const std::pair image(bv_image.image_buffer, bv_image.image_buffer_size);
    const std::vector<uint8_t> file_before = file, before = page_bytes(), palette_before = palette_bytes();
    if (no_page) bv_deselect_page();
    plat::test::fail_locks(fail_lock ? 1 : 0);
    const int32_t r = bv_load_pcx(memory ? nullptr : path, flags);
    plat::test::fail_locks(0);
    if (no_page) bv_select_page(0);
    const std::vector<uint8_t> after = page_bytes();
    const bool palette_kept = palette_bytes() == palette_before, refused = no_page || fail_lock;
    check(r >= 0 && r <= 4 && (refused ? r == 0 : file.size() >= 128 || r == 2), "bv_load_pcx gave " + std::to_string(r));
    check(bv_target.lock_depth == 0 && file == file_before, "the lock was left held or the caller's buffer written");
    check(std::pair(bv_image.image_buffer, bv_image.image_buffer_size) == image, "the image buffer setting changed");
    if (refused || r != 0 || file.size() < 128) {
        check(before == after && palette_kept, "a load that drew nothing changed the page or the palette");
    } else {  // the image lands at the cursor or at (Xmin, Ymin), cut to the page
        const auto at = [&](size_t i) { return int64_t{file[i]} | file[i + 1] << 8; };
        const int64_t x = flags & BV_PCX_AT_CURSOR ? cursor_x : at(4), y = flags & BV_PCX_AT_CURSOR ? cursor_y : at(6);
        const Rect drawn{std::max<int64_t>(x, 0), std::max<int64_t>(y, 0), std::min<int64_t>(x + at(8) - at(4) + 1, page.width),
                         std::min<int64_t>(y + at(10) - at(6) + 1, page.height)};
        const bool on_page = drawn.x1 > drawn.x0 && drawn.y1 > drawn.y0;
        // On 8-bit pages reducing a 256-colour image's colours renumbers the clip rectangle.
        const bool reduces = page.depth == 8 && file[1] == 5 && !(flags & (BV_PCX_KEEP_PALETTE | BV_PCX_NO_REDUCE));
        check(only_inside(before, after, !on_page ? Rect{} : reduces ? clip_on_page() : drawn), "the load drew outside its image");
        check(palette_kept || (on_page && !(flags & BV_PCX_KEEP_PALETTE)), "the palette changed, kept or off the page");
    }
}

// Polygons of up to 399 vertices (past the 320 and 182 capacities), or screen points straight to the scan converters.
// On a device's page (fuzz_device) page and depth-buffer bytes do not matter, locks do not fail, and it clips to the page.
inline void run_poly_input(const uint8_t *data, size_t size, int32_t device_depth = 0) {
    enum { NoBuffer, Open, Freed, OneRowShort, Larger, NotTheLibrarys, NoTexture = 0, OfThePage, OfNoPage, FreedButCurrent };
    Input in(data, size);
    const bool device = device_depth != 0;
    const uint8_t page_byte = in.byte();
    const PageConfig page = !device ? page_config(page_byte) : PageConfig{device_depth, 64, 48, device_depth == 32 ? 3 : 0,
                                      BV_DISPLAY_FLIP | BV_DISPLAY_SOFT_3D | BV_DISPLAY_HARD_3D | BV_DISPLAY_ZBUFFER, false};
    begin_case(page);
    DrawTarget &t = bv_target;
    const int32_t flags = in.byte(), buffer_byte = in.byte() % 6, buffer = device ? Open : buffer_byte;
    static uint32_t foreign[64];
    const int32_t more_w = buffer == Larger ? 5 : 0, more_h = buffer == Larger ? 2 : buffer == OneRowShort ? -1 : 0;
    bv_zbuffer zbuffer = buffer == NoBuffer || buffer == NotTheLibrarys ? nullptr : bv_alloc_zbuffer(page.width + more_w, std::max(page.height + more_h, 1));
    if (buffer == NotTheLibrarys || zbuffer) bv_open_zbuffer(zbuffer ? zbuffer : reinterpret_cast<bv_zbuffer>(foreign));
    if (buffer == Freed && !device) bv_free_zbuffer(std::exchange(zbuffer, nullptr));
    for (int32_t i = 0, frames = in.byte() % (device ? 3 : 256); i < frames; ++i) bv_zbuffer_frame();
    const uint8_t tex = in.byte(), w = in.byte(), h = in.byte(), texture = tex % 4;
    const int32_t tex_w = tex & 0x40 ? -w : 1 + w % 64, tex_h = tex & 0x80 ? -h : 1 + h % 64;
    // Exactly the texels claimed, so the sanitizer sees a read past them; zeros show on the painted page.
    std::vector<uint8_t> texels(static_cast<size_t>(std::max(tex_w, 1) * std::max(tex_h, 1) * std::min(page.depth / 8, 3)));
    if (texture == OfNoPage) bv_deselect_page();
    const int32_t handle = texture == NoTexture ? -1 : (bv_alloc_textures(2), bv_define_texture(texels.data(), tex_w, tex_h));
    bv_select_page(0), bv_select_texture(handle);
    if (texture == FreedButCurrent) bv_free_texture(handle);
    bv_set_3d_flags(flags);
    const uint8_t options = in.byte();
    const bool direct = options & 4, caller_lock = options & 8, fail_lock = !device && (options & 16), no_page = options & 64;
    if (options & 1)
        t.clip_min_x = in.integer(0), t.clip_max_x = in.integer(page.width - 1), t.clip_min_y = in.integer(0), t.clip_max_y = in.integer(page.height - 1);
    if (options & 2) t.origin_x = in.integer(0), t.origin_y = in.integer(0);
    double near_z = 1.0, far_z = 1000.0;
    if (options & 32) {  // near, far, viewport, its factor, pose
        near_z = in.number(1.0, 40.0), far_z = in.number(1000.0, 40.0);
        const std::array<int32_t, 4> v{in.integer(page.width), in.integer(page.width), in.integer(page.width), in.integer(page.width)};
        const std::array<double, 4> f{in.number(0.5, 1.0), in.number(0.0, 100.0), in.number(0.0, 100.0), in.number(0.0, 100.0)};
        const std::array<int32_t, 3> a{in.integer(900), in.integer(900), in.integer(900)};
        bv_set_3d_depth(near_z, far_z), bv_set_3d_viewport(v[0], v[1], v[2], v[3], f[0]), bv_set_3d_pose(f[1], f[2], f[3], a[0], a[1], a[2]);
    }
    // Nothing is drawn without a page or lock, with a texture not positive (one defined with no page takes the
    // page's texel size), or depth-tested without a live depth buffer; a freed device texture is forgotten.
    const bool sized = texture != NoTexture && tex_w > 0 && tex_h > 0;
    const bool live_depth = buffer == Open || buffer == OneRowShort || buffer == Larger;
    const bool may_draw = !no_page && sized && (device ? texture != FreedButCurrent : !(fail_lock && !caller_lock) && (!(flags & RF_DEPTH) || live_depth));
    const Rect clip = may_draw ? clip_on_page() : Rect{};
    const auto depth = [&] { auto *z = reinterpret_cast<uint8_t *>(t.zbuffer); return std::vector<uint8_t>(z, zbuffer && z ? z + 4 * t.zbuffer_capacity : z); };
    const std::vector<uint8_t> before = page_bytes(), depth_before = depth();
    const auto bytes_of = [](const auto &...v) { return (std::string(reinterpret_cast<const char *>(v.data()), v.size() * sizeof *v.data()) + ...); };
    if (no_page) bv_deselect_page();
    if (caller_lock) bv::lock_target();
    const int32_t lock_depth = t.lock_depth;
    for (int32_t polygons = 0; !in.empty() && polygons < 16; ++polygons) {
        const uint8_t sel = in.byte();
        const uint32_t n = sel < 200 ? sel % 12 : in.get<uint16_t>() % 400;
        std::vector<Vertex3> verts(n);
        std::vector<ScreenPoint> screen(direct ? n : 0);
        std::vector<TexCoord> tc(n);
        for (uint32_t i = 0; i < n; ++i) {
            if (direct) screen[i] = {in.integer(page.width), in.integer(page.height)}, verts[i].z = in.number(near_z, far_z);
            else verts[i] = {in.number(near_z, far_z), in.number(near_z, far_z), in.number(near_z, far_z)};
            tc[i] = {in.integer(tex_w), in.integer(tex_h)};
        }
        const std::string arrays = bytes_of(verts, screen, tc);
        plat::test::fail_locks(fail_lock && !caller_lock ? 1 : 0);
        if (!direct) check(bv_draw_3d_poly(verts.data(), tc.data(), n) == 0, "bv_draw_3d_poly did not return 0");
        else if (flags & RF_PERSPECTIVE) (flags & RF_DEPTH ? bv::raster_perspective_depth : bv::raster_perspective)(screen.data(), tc.data(), verts.data(), n);
        else flags & RF_DEPTH ? bv::raster_affine_depth(screen.data(), tc.data(), verts.data(), n) : bv::raster_affine(screen.data(), tc.data(), n);
        plat::test::fail_locks(0);
        check(t.lock_depth == lock_depth && bytes_of(verts, screen, tc) == arrays, "the lock count or the caller's arrays changed");
    }
    if (caller_lock) bv::unlock_target();
    if (no_page) bv_select_page(0);
    check(t.lock_depth == 0 && only_inside(before, page_bytes(), device && may_draw ? whole_page() : clip), "drawing went outside what it may touch");
    check(device || only_inside(depth_before, depth(), clip, page.width * 4, 4), "a depth entry outside the clip changed");
    if (!device) bv_free_zbuffer(zbuffer);  // a device's z-buffer stays with the display
}

// Up to 16 palette operations on a page of the input's pixels.
inline void run_palette_input(const uint8_t *data, size_t size) {
    Input in(data, size);
    const PageConfig page = page_config(in.byte());
    const std::vector<uint8_t> pattern = in.bytes(in.byte() + 1u);
    const auto colours = [&](size_t n) {  // a fixed mixture past the input's end
        std::vector<uint8_t> out = in.bytes(n);
        for (size_t i = out.size(); i < n; ++i) out.push_back(static_cast<uint8_t>(i * 53 + 17));
        return out;
    };
    begin_case(page, pattern);
    bool page_selected = true;
    std::vector<bv_hpalette> made;
    for (int32_t steps = 0; !in.empty() && steps < 16; ++steps) {
        enum { Set, Reduce, Make, Use, TogglePage, SetWindowed };
        const int32_t op = in.byte() % 6, start = op == Set || op == Reduce || op == SetWindowed ? in.integer(10) : 0;
        int32_t count = op == Reduce ? in.integer(236) : op == Set || op == SetWindowed ? in.integer(16) : 0;
        if (op != Reduce && start < -65280 && count > 65536) count = 65536;  // no caller holds such an array
        const int64_t first = std::max(start, 0), end = std::max(first, std::min<int64_t>(int64_t{start} + count, 256));
        if (op == Set || op == SetWindowed) {  // the caller holds the count triples below entry 256
            std::vector<uint8_t> rgb = colours(count <= 0 ? 0 : 3 * std::max<int64_t>(std::min<int64_t>(count, 256 - int64_t{start}), 0));
            rgb.reserve(1);  // an empty array still has an address
            const std::vector<uint8_t> rgb_before = rgb, before = palette_bytes();
            const int32_t depth = std::exchange(bv_display.depth, op == SetWindowed ? 0 : bv_display.depth);
            const int32_t r = bv_set_palette(start, count, rgb.data());
            bv_display.depth = depth;
            check(r == 0 && rgb == rgb_before, "bv_set_palette failed or wrote the colours");
            const std::vector<uint8_t> now = palette_bytes();
            const auto same = [&](int64_t at, int64_t n) { return std::equal(&now[at], &now[at + n], &before[at]); };
            for (int64_t e = 0, k = page.depth == 16 ? 2 : 4; e < 256; ++e)  // outside the run cut to 0-255: entry, bitmap colour, pixel
                check((page_selected && e >= first && e < end) || (same(4 + 4 * e, 4) && same(1028 + 4 * e, 4) && same(2052 + k * e, k)),
                        "bv_set_palette(" + std::to_string(start) + ", " + std::to_string(count) + ") changed another entry");
        } else if (op == Reduce) {  // on 8-bit pages only, and within the clip rectangle
            std::vector<uint8_t> table = colours(768);
            const std::vector<uint8_t> table_before = table, before = page_bytes(), palette_before = palette_bytes();
            const Rect region = page_selected && page.depth == 8 ? clip_on_page() : Rect{};
            check(bv_reduce_colors(start, count, table.data()) == 0 && palette_bytes() == palette_before, "bv_reduce_colors failed or changed the palette");
            check(only_inside(before, page_bytes(), region) && (page.depth == 8 || table == table_before), "bv_reduce_colors changed what it may not");
        } else if (op == Make) {  // as the display has it, or as windowed on a 4-, 8- or 24-bit desktop
            const int32_t desktop = std::array{0, 4, 8, 24}[in.byte() % 4], depth = std::exchange(bv_display.depth, desktop ? 0 : bv_display.depth);
            plat::test::set_desktop_depth(desktop), made.push_back(bv_make_palette()), plat::test::set_desktop_depth(0);
            bv_display.depth = depth;
        } else if (op == Use) {
            check(bv_use_palette(made.empty() ? nullptr : made.back()) == 0, "bv_use_palette did not return 0");
        } else if (op == TogglePage) {
            (page_selected = !page_selected) ? void(bv_select_page(0)) : bv_deselect_page();
        }
        check(bv_target.lock_depth == 0, "the page lock was left held");
    }
    for (bv_hpalette p : made) bv_delete_palette(p);
    check(bv_palette.current_hpal == nullptr, "a deleted palette is still current");
}

// Up to 32 texture table operations; blocks live to the end, as a freed texture stays current.
inline void run_textures_input(const uint8_t *data, size_t size) {
    Input in(data, size);
    const PageConfig page = page_config(in.byte());
    begin_case(page);
    bool page_selected = true;
    int32_t last_width = 8, last_height = 8;  // texture coordinates keep near the last size
    std::vector<std::vector<uint8_t>> blocks;
    for (int32_t steps = 0; !in.empty() && steps < 32; ++steps) {
        enum { Alloc, Define, Select, Free, Draw, TogglePage, BadPage, Cut };
        const int32_t op = in.byte() % 8;
        if (op == Alloc) {  // 2^27 entries overflow 32 bits
            bv_alloc_textures(std::array{0, 1, 2, 6, 16, -1, INT32_MIN, 1 << 27, INT32_MAX}[in.byte() % 9]);
        } else if (op == Define) {  // the block holds exactly the texels claimed (a null one is refused)
            const uint8_t w = in.byte();
            const int32_t width = w % 128 % 68 - 3, height = in.byte() % 68 - 3;
            last_width = width > 0 ? width : last_width, last_height = height > 0 ? height : last_height;
            std::vector<uint8_t> &block = blocks.emplace_back(in.bytes(in.byte()));
            // Defined with no page, a texture takes the texel size of the page it is drawn on.
            block.resize((width > 0 && height > 0 ? width * height : 1) * std::min(page.depth / 8, 3));
            bv_define_texture(w & 0x80 ? nullptr : block.data(), width, height);
        } else if (op == Select || op == Free) {
            op == Select ? bv_select_texture(in.integer(2)) : bv_free_texture(in.integer(2));
        } else if (op == Draw) {
            const uint8_t f = in.byte();
            bv_set_3d_flags((f & 1 ? RF_PERSPECTIVE : 0) | (f & 2 ? RF_CLIP : 0) | (f & 4 ? RF_DEPTH : 0));
            std::vector<Vertex3> verts(3 + in.byte() % 3);
            std::vector<TexCoord> tc(verts.size());
            for (size_t i = 0; i < verts.size(); ++i)
                verts[i] = {in.number(1.0, 50.0), in.number(1.0, 50.0), in.number(50.0, 100.0)},
                tc[i] = {in.integer(last_width - 1), in.integer(last_height - 1)};
            const std::vector<uint8_t> before = page_bytes();
            bv_draw_3d_poly(verts.data(), tc.data(), static_cast<uint32_t>(tc.size()));
            check(only_inside(before, page_bytes(), page_selected ? whole_page() : Rect{}), "drawing wrote the row padding or an unselected page");
        } else if (op == TogglePage) {
            (page_selected = !page_selected) ? void(bv_select_page(0)) : bv_deselect_page();
        } else if (op == BadPage) {  // past the table, or an empty slot
            const uint8_t b = in.byte();
            bv_select_page(b & 0x80 ? 256u + b : 1u + b % 255);
        } else {  // as the demo does: a block of exactly its size cut anywhere, flipped, defined
            const int32_t x = in.integer(0), y = in.integer(63);
            last_width = 1 + in.byte() % 64, last_height = 1 + in.byte() % 64;
            std::vector<uint8_t> &block = blocks.emplace_back(last_width * last_height * (page.depth >= 24 ? 3 : 2));
            const std::vector<uint8_t> before = page_bytes();
            bv_move_to(x, y);
            check(bv_get_block(block.data(), last_width, last_height) == 0 && page_bytes() == before, "bv_get_block changed the page");
            bv_flip_block(block.data(), last_width, last_height);
            bv_define_texture(block.data(), last_width, last_height);
        }
        check(bv_target.lock_depth == 0, "the page lock was left held");
    }
}

}  // namespace fuzz

#endif
