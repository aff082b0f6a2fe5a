// One fuzz case of the texture table: any sequence of allocate, define,
// select, free and draw, checked step by step against a small model of
// the table (which slots are in use, with what) and of the current
// texture.
//
//   byte 0   page configuration (fuzz::page_config)
//
// then operations to the end of the input (at most 32), by value mod 8:
//
//   0  bv_alloc_textures: count from {0, 1, 2, 6, 16, -1, INT32_MIN,
//      2^27 (whose table size overflows 32 bits), INT32_MAX}
//   1  bv_define_texture: width and height from -3 to 64, and a new block
//      of exactly width x height texels of the page's size, its bytes from
//      the input (none, a null pointer, when the width byte has its top
//      bit set)
//   2  bv_select_texture: any handle
//   3  bv_free_texture: any handle (negative frees all)
//   4  draw a polygon through bv_draw_3d_poly with the current texture
//      (a flags byte: bit 0 perspective, 1 clipping, 2 depth; then 3 to 5
//      vertices)
//   5  deselect the page, or select it again
//   6  select a page that does not exist (by the next byte: 256 and up,
//      or an empty slot)
//   7  cut a block as the demo does: bv_move_to a cursor anywhere,
//      bv_get_block of width x height (1 to 64) into a block of exactly that
//      size, bv_flip_block, then bv_define_texture from it. The page must
//      not change, and every block pixel whose page pixel exists must be
//      that pixel (blue, green, red: a 32-bit pixel's fourth byte dropped)
//
// Blocks stay alive to the end of the case, so a freed texture that stays
// current (memory textures do) still points at live memory.
#ifndef BV_FUZZ_TEXTURES_CASE_H
#define BV_FUZZ_TEXTURES_CASE_H

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "fuzz_page.h"

namespace fuzz {

enum class TextureOp { Alloc, Define, Select, Free, Draw, TogglePage, BadPage, Cut };

struct TextureStep {
    TextureOp op = TextureOp::Alloc;
    int32_t value = 0;             // Alloc: count; Select, Free: handle; BadPage: page
    int32_t width = 0, height = 0;  // Define
    bool null_block = false;       // Define
    std::vector<uint8_t> texels;   // Define: the block's first bytes
    int32_t cursor_x = 0, cursor_y = 0;  // Cut
    int32_t flags = 0;             // Draw
    std::vector<Vertex3> verts;    // Draw
    std::vector<TexCoord> tex;     // Draw
};

struct TexturesCase {
    PageConfig page;
    std::vector<TextureStep> steps;
};

constexpr size_t TEXTURES_MAX_STEPS = 32;

inline int32_t small_size(uint8_t b) { return static_cast<int32_t>(b % 68) - 3; }

inline TexturesCase decode_textures_case(const uint8_t *data, size_t size) {
    static constexpr int32_t counts[9] = {0, 1, 2, 6, 16, -1, std::numeric_limits<int32_t>::min(), 1 << 27,
                                          std::numeric_limits<int32_t>::max()};
    Input in(data, size);
    TexturesCase c;
    c.page = page_config(in.byte());
    int32_t last_width = 8, last_height = 8;
    while (!in.empty() && c.steps.size() < TEXTURES_MAX_STEPS) {
        TextureStep s;
        s.op = static_cast<TextureOp>(in.byte() % 8);
        switch (s.op) {
        case TextureOp::Alloc: s.value = counts[in.byte() % 9]; break;
        case TextureOp::Define:
        {
            const uint8_t w = in.byte();
            s.null_block = (w & 0x80) != 0;
            s.width = small_size(w & 0x7F);
            s.height = small_size(in.byte());
            if (s.width > 0) last_width = s.width;
            if (s.height > 0) last_height = s.height;
            s.texels = in.bytes(in.byte());
            break;
        }
        case TextureOp::Cut:
            s.cursor_x = in.integer(0);
            s.cursor_y = in.integer(63);
            s.width = 1 + in.byte() % 64;
            s.height = 1 + in.byte() % 64;
            last_width = s.width;
            last_height = s.height;
            break;
        case TextureOp::Select:
        case TextureOp::Free: s.value = in.integer(2); break;
        case TextureOp::Draw: {
            const uint8_t f = in.byte();
            s.flags = (f & 1 ? RF_PERSPECTIVE : 0) | (f & 2 ? RF_CLIP : 0) | (f & 4 ? RF_DEPTH : 0);
            const uint32_t n = 3 + in.byte() % 3;
            for (uint32_t i = 0; i < n; ++i) {
                const double x = in.number(1.0, 50.0), y = in.number(1.0, 50.0), z = in.number(50.0, 100.0);
                s.verts.push_back(Vertex3{x, y, z});
                const int32_t u = in.integer(last_width - 1), v = in.integer(last_height - 1);
                s.tex.push_back(TexCoord{u, v});
            }
            break;
        }
        case TextureOp::TogglePage: break;
        case TextureOp::BadPage: {
            const uint8_t b = in.byte();
            s.value = (b & 0x80) ? 256 + b : 1 + b % 255;
            break;
        }
        }
        c.steps.push_back(std::move(s));
    }
    return c;
}

// ---- The model ------------------------------------------------------------------------------

struct ModelSlot {
    const void *texels = nullptr;  // null: free
    int32_t width = 0, height = 0, texel_bytes = 0;
};

struct TableModel {
    bool has_table = false;
    std::vector<ModelSlot> slots;
    ModelSlot current;  // all zero until something is selected
};

inline std::string compare_with_model(const TableModel &m) {
    const TextureState &t = bv_textures;
    if (t.current_texels != reinterpret_cast<uintptr_t>(m.current.texels) || t.current_width != m.current.width ||
        t.current_height != m.current.height || t.current_texel_bytes != m.current.texel_bytes)
        return "the current texture is not the one last selected";
    if (!m.has_table) return {};
    if (t.texture_table == nullptr || t.texture_count != static_cast<int32_t>(m.slots.size()))
        return "the table is not the one last allocated";
    for (size_t i = 0; i < m.slots.size(); ++i) {
        const TextureEntry &e = t.texture_table[i];
        const ModelSlot &s = m.slots[i];
        if (e.texels != reinterpret_cast<uintptr_t>(s.texels)) return "slot " + std::to_string(i) + " holds the wrong block";
        if (s.texels != nullptr && (e.width != s.width || e.height != s.height || e.texel_bytes != s.texel_bytes))
            return "slot " + std::to_string(i) + " holds the wrong size";
    }
    return {};
}

inline int32_t page_texel_bytes(const PageConfig &p, bool selected) {
    if (!selected) return 0;
    return p.depth == 8 ? 1 : p.depth == 16 ? 2 : 3;
}

// Cuts a block at the step's cursor into a new block (kept in `blocks`)
// and checks it against the page, which must not change.
inline std::string cut_block(const TextureStep &s, const PageConfig &page, bool page_selected,
                             std::vector<std::unique_ptr<uint8_t[]>> &blocks) {
    const int64_t block_bytes = page.depth >= 24 ? 3 : 2;
    const int64_t size = int64_t{s.width} * s.height * block_bytes;
    const uint8_t FILL = 0x5C;
    blocks.push_back(std::make_unique<uint8_t[]>(static_cast<size_t>(size)));
    uint8_t *block = blocks.back().get();
    std::memset(block, FILL, static_cast<size_t>(size));
    static PageImage before, after;
    read_page(before);
    bv_move_to(s.cursor_x, s.cursor_y);
    if (bv_get_block(block, s.width, s.height) != 0) return "bv_get_block did not return 0";
    read_page(after);
    std::string changed = changes_outside(before, after, Rect{}, "bv_get_block");
    if (!changed.empty()) return changed;
    // Block row j, pixel i is page pixel (cursor x + i, cursor y - j).
    const bool copies = page_selected && page.depth != 8;
    for (int64_t j = 0; j < s.height; ++j) {
        for (int64_t i = 0; i < s.width; ++i) {
            const uint8_t *got = block + (j * s.width + i) * block_bytes;
            const int64_t x = int64_t{s.cursor_x} + i, y = int64_t{s.cursor_y} - j;
            const bool on_page = x >= 0 && x < before.width && y >= 0 && y < before.height;
            for (int64_t k = 0; k < block_bytes; ++k) {
                const uint8_t want = copies && on_page ? before.bytes[y * before.pitch + x * before.pixel_bytes + k] : got[k];
                if (got[k] != want) return "block pixel " + std::to_string(i) + ", " + std::to_string(j) + " is not its page pixel";
                if (!copies && got[k] != FILL) return "bv_get_block wrote a block it should not";
            }
        }
    }
    const std::vector<uint8_t> unflipped(block, block + size);
    bv_flip_block(block, s.width, s.height);
    const int64_t row = s.width * block_bytes;
    for (int64_t j = 0; j < s.height; ++j)
        if (std::memcmp(block + j * row, unflipped.data() + (s.height - 1 - j) * row, static_cast<size_t>(row)) != 0)
            return "bv_flip_block did not reverse the rows";
    return {};
}

inline Outcome run_textures_case(const TexturesCase &c) {
    Outcome o;
    begin_case(c.page);
    paint_page({});
    bv_set_3d_viewport(0, c.page.width - 1, 0, c.page.height - 1, 0.5);
    bv_set_3d_depth(1.0, 1000.0);
    TableModel m;
    bool page_selected = true;
    std::vector<std::unique_ptr<uint8_t[]>> blocks;

    for (const TextureStep &s : c.steps) {
        switch (s.op) {
        case TextureOp::Alloc: {
            const int64_t bytes = int64_t{s.value} * static_cast<int64_t>(sizeof(TextureEntry));
            const int32_t expected = s.value > 0 && bytes <= 0xFFFFFFFFll ? 0 : -1;
            const int32_t r = bv_alloc_textures(s.value);
            if (r != expected) note(o, "bv_alloc_textures(" + std::to_string(s.value) + ") returned " + std::to_string(r));
            if (r == 0) {
                m.has_table = true;
                m.slots.assign(static_cast<size_t>(s.value), ModelSlot{});
            }
            break;
        }
        case TextureOp::Define: {
            const int32_t bytes = page_texel_bytes(c.page, page_selected);
            const int64_t texels = s.width > 0 && s.height > 0 ? int64_t{s.width} * s.height : 1;
            uint8_t *block = nullptr;
            if (!s.null_block) {
                blocks.push_back(std::make_unique<uint8_t[]>(static_cast<size_t>(texels * (bytes > 0 ? bytes : 1))));
                block = blocks.back().get();
                for (int64_t i = 0; i < texels * (bytes > 0 ? bytes : 1); ++i)
                    block[i] = static_cast<size_t>(i) < s.texels.size() ? s.texels[static_cast<size_t>(i)]
                                                                        : static_cast<uint8_t>(i * 7 + blocks.size());
            }
            int32_t expected = -1;
            if (block != nullptr) {
                for (size_t i = 0; i < m.slots.size() && expected < 0; ++i)
                    if (m.slots[i].texels == nullptr) expected = static_cast<int32_t>(i);
            }
            const int32_t r = bv_define_texture(block, s.width, s.height);
            if (r != expected) note(o, "bv_define_texture returned " + std::to_string(r) + ", not " + std::to_string(expected));
            if (r >= 0 && r == expected) m.slots[static_cast<size_t>(r)] = ModelSlot{block, s.width, s.height, bytes};
            break;
        }
        case TextureOp::Select: {
            if (bv_select_texture(s.value) != 0) note(o, "bv_select_texture did not return 0");
            if (s.value >= 0 && static_cast<size_t>(s.value) < m.slots.size() && m.slots[static_cast<size_t>(s.value)].texels != nullptr)
                m.current = m.slots[static_cast<size_t>(s.value)];
            break;
        }
        case TextureOp::Free: {
            if (bv_free_texture(s.value) != 0) note(o, "bv_free_texture did not return 0");
            if (s.value < 0) {
                for (ModelSlot &slot : m.slots) slot.texels = nullptr;
            } else if (static_cast<size_t>(s.value) < m.slots.size()) {
                m.slots[static_cast<size_t>(s.value)].texels = nullptr;
            }
            break;
        }
        case TextureOp::Draw: {
            bv_set_3d_flags(s.flags);
            static PageImage before;
            read_page(before);
            const std::vector<Vertex3> verts = s.verts;
            const std::vector<TexCoord> tex = s.tex;
            bv_draw_3d_poly(verts.data(), tex.data(), static_cast<uint32_t>(tex.size()));
            static PageImage after;
            read_page(after);
            const bool drawable = page_selected && m.current.texels != nullptr && m.current.width > 0 &&
                                  m.current.height > 0 && m.current.texel_bytes == page_texel_bytes(c.page, true) &&
                                  (s.flags & RF_DEPTH) == 0;
            note(o, changes_outside(before, after, drawable ? whole_page() : Rect{},
                                    drawable ? "drawing" : "drawing with no usable texture or depth buffer"));
            break;
        }
        case TextureOp::TogglePage:
            if (page_selected) {
                bv_deselect_page();
            } else if (bv_select_page(0) != 0) {
                note(o, "page 0 cannot be selected again");
            }
            page_selected = !page_selected;
            break;
        case TextureOp::Cut: {
            note(o, cut_block(s, c.page, page_selected, blocks));
            const int32_t bytes = page_texel_bytes(c.page, page_selected);
            int32_t expected = -1;
            for (size_t i = 0; i < m.slots.size() && expected < 0; ++i)
                if (m.slots[i].texels == nullptr) expected = static_cast<int32_t>(i);
            const int32_t r = bv_define_texture(blocks.back().get(), s.width, s.height);
            if (r != expected) note(o, "bv_define_texture returned " + std::to_string(r) + ", not " + std::to_string(expected));
            if (r >= 0 && r == expected) m.slots[static_cast<size_t>(r)] = ModelSlot{blocks.back().get(), s.width, s.height, bytes};
            break;
        }
        case TextureOp::BadPage: {
            const DrawTarget target = bv_target;
            const int32_t r = bv_select_page(static_cast<uint32_t>(s.value));
            const int32_t expected = s.value >= BV_PAGE_COUNT ? -1 : -2;
            if (r != expected) note(o, "bv_select_page(" + std::to_string(s.value) + ") returned " + std::to_string(r));
            const DrawTarget &now = bv_target;
            if (now.page != target.page || now.surface != target.surface || now.base != target.base ||
                now.width != target.width || now.height != target.height || now.pitch != target.pitch ||
                now.bits_per_pixel != target.bits_per_pixel || now.clip_min_x != target.clip_min_x ||
                now.clip_max_x != target.clip_max_x || now.clip_min_y != target.clip_min_y ||
                now.clip_max_y != target.clip_max_y)
                note(o, "a failed page selection changed the target");
            break;
        }
        }
        if (bv_target.lock_depth != 0) note(o, "the page lock was left held");
        note(o, compare_with_model(m));
        if (!o.violation.empty()) break;
    }
    if (!page_selected) bv_select_page(0);
    bv::release_texture_table();
    bv_textures = TextureState{};
    return o;
}

inline Outcome run_textures_input(const uint8_t *data, size_t size) {
    return run_textures_case(decode_textures_case(data, size));
}

}  // namespace fuzz

#endif
