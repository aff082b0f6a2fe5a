// One fuzz case of the palette operations:
//
//   byte 0     page configuration (fuzz::page_config)
//   byte 1     length of the page pattern (1 to 256), then that many
//              bytes: the page's pixels, repeated (on 8-bit pages the
//              colour values the reduction counts)
//
// then operations to the end of the input (at most 16), by value mod 6:
//
//   0  bv_set_palette: start, count, then the colours
//   1  bv_reduce_colors: start, count, then the 768-byte table
//   2  bv_make_palette, as the display's depth has it or, by the next
//      byte, as windowed operation on a 4-, 8- or 24-bit desktop would
//   3  bv_use_palette with the palette made last
//   4  deselect the page, or select it again
//   5  bv_set_palette in windowed operation (the window palette path)
//
// Start and count come from fuzz::Input::integer (small, huge, negative,
// the extremes); the caller's colour array holds count triples, or as
// many as lie below entry 256. Colours past the input's end are a fixed
// mixture.
//
// The results are compared with what the operations are defined to do:
// set_palette writes exactly the entries of its run cut to 0..255, in
// log_palette, dib_colors and (on deeper pages) pixel_lut, and nothing
// without a page; reduce_colors leaves every pixel of the clip rectangle
// in its run, uses at most count values, keeps each pixel's colour when
// nothing had to merge and otherwise gives it a colour the region used,
// blacks out the rest of the table, and changes nothing on deeper pages.
#ifndef BV_FUZZ_PALETTE_CASE_H
#define BV_FUZZ_PALETTE_CASE_H

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "fuzz_page.h"

namespace fuzz {

enum class PaletteOp { Set, Reduce, Make, Use, TogglePage, SetWindowed };

struct PaletteStep {
    PaletteOp op = PaletteOp::Set;
    int32_t start = 0, count = 0;
    int32_t desktop = 0;           // Make: 0 keeps the display's depth
    std::vector<uint8_t> colours;  // Set: the caller's triples; Reduce: 768 bytes
};

struct PaletteCase {
    PageConfig page;
    std::vector<uint8_t> pattern;
    std::vector<PaletteStep> steps;
};

constexpr size_t PALETTE_MAX_STEPS = 16;

// Triples the caller's array must hold: count, but never more than reach
// below entry 256 (an array of 2^31 triples cannot be had). At most 65536.
inline size_t caller_triples(int32_t start, int32_t count) {
    if (count <= 0) return 0;
    const int64_t below_end = 256 - int64_t{start};
    const int64_t n = count < below_end ? count : below_end;
    return n > 0 ? static_cast<size_t>(n) : 0;
}

inline std::vector<uint8_t> colour_bytes(Input &in, size_t n) {
    std::vector<uint8_t> out = in.bytes(n);
    for (size_t i = out.size(); i < n; ++i) out.push_back(static_cast<uint8_t>(i * 53 + 17));
    return out;
}

inline PaletteCase decode_palette_case(const uint8_t *data, size_t size) {
    Input in(data, size);
    PaletteCase c;
    c.page = page_config(in.byte());
    c.pattern = in.bytes(in.byte() + 1u);
    while (!in.empty() && c.steps.size() < PALETTE_MAX_STEPS) {
        PaletteStep s;
        s.op = static_cast<PaletteOp>(in.byte() % 6);
        switch (s.op) {
        case PaletteOp::Set:
        case PaletteOp::SetWindowed:
            s.start = in.integer(10);
            s.count = in.integer(16);
            // Far below entry 0 an honest caller's array could not be had;
            // such a run reaches no entry, whatever the count beyond this.
            if (s.start < -65280 && s.count > 65536) s.count = 65536;
            s.colours = colour_bytes(in, 3 * caller_triples(s.start, s.count));
            break;
        case PaletteOp::Reduce:
            s.start = in.integer(10);
            s.count = in.integer(236);
            s.colours = colour_bytes(in, 768);
            break;
        case PaletteOp::Make: {
            static constexpr int32_t desktops[4] = {0, 4, 8, 24};
            s.desktop = desktops[in.byte() % 4];
            break;
        }
        case PaletteOp::Use:
        case PaletteOp::TogglePage: break;
        }
        c.steps.push_back(std::move(s));
    }
    return c;
}

// ---- Expected effects, from the definitions ----------------------------------------------

struct PaletteSnapshot {
    LogPalette log;
    RgbQuad dib[256];
    uint8_t lut[1024];
};

inline PaletteSnapshot palette_snapshot() {
    PaletteSnapshot s;
    s.log = bv_palette.log_palette;
    std::memcpy(s.dib, bv_palette.dib_colors, sizeof s.dib);
    std::memcpy(s.lut, bv_colors.pixel_lut, sizeof s.lut);
    return s;
}

inline bool same_snapshot(const PaletteSnapshot &a, const PaletteSnapshot &b) {
    return std::memcmp(&a.log, &b.log, sizeof a.log) == 0 && std::memcmp(a.dib, b.dib, sizeof a.dib) == 0 &&
           std::memcmp(a.lut, b.lut, sizeof a.lut) == 0;
}

// What bv_set_palette(start, count, rgb) makes of `s` on the current page.
inline PaletteSnapshot expected_after_set(PaletteSnapshot s, int32_t start, int32_t count, const uint8_t *rgb,
                                          const PageConfig &page, int32_t display_depth) {
    for (int64_t e = 0; e < 256; ++e) {
        const int64_t i = e - start;
        if (i < 0 || i >= count) continue;
        const uint8_t r = rgb[3 * i], g = rgb[3 * i + 1], b = rgb[3 * i + 2];
        s.log.entries[e] = PaletteEntry{r, g, b, 1};
        s.dib[e] = RgbQuad{b, g, r, 0};
        if (display_depth >= 1 && display_depth <= 8) continue;
        if (page.depth == 16) {
            const uint16_t word = page.rgb555 ? static_cast<uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | b >> 3)
                                              : static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
            s.lut[2 * e] = static_cast<uint8_t>(word);
            s.lut[2 * e + 1] = static_cast<uint8_t>(word >> 8);
        } else if (page.depth == 24 || page.depth == 32) {
            s.lut[4 * e] = 0;
            s.lut[4 * e + 1] = r;
            s.lut[4 * e + 2] = g;
            s.lut[4 * e + 3] = b;
        }
    }
    return s;
}

inline std::string check_set(const PaletteStep &st, bool page_selected, const PageConfig &page, int32_t display_depth) {
    const PaletteSnapshot before = palette_snapshot();
    // Exactly the triples the call may read (an empty array still has an
    // address).
    std::vector<uint8_t> caller = st.colours;
    caller.reserve(1);
    const std::vector<uint8_t> caller_before = caller;
    const int32_t r = bv_set_palette(st.start, st.count, caller.data());
    if (r != 0) return "bv_set_palette returned " + std::to_string(r);
    if (caller != caller_before) return "bv_set_palette wrote the caller's colours";
    const PaletteSnapshot expected =
        page_selected ? expected_after_set(before, st.start, st.count, caller.data(), page, display_depth) : before;
    if (!same_snapshot(expected, palette_snapshot()))
        return "bv_set_palette(" + std::to_string(st.start) + ", " + std::to_string(st.count) +
               ") did not change exactly its entries";
    return {};
}

inline std::string check_reduce(const PaletteStep &st, bool page_selected, const PageConfig &page) {
    std::vector<uint8_t> table = st.colours;
    const std::vector<uint8_t> table_before = table;
    const PaletteSnapshot palette_before = palette_snapshot();
    static PageImage before;
    read_page(before);
    const Rect region = clip_rect_on_page();
    const int32_t r = bv_reduce_colors(st.start, st.count, table.data());
    static PageImage after;
    read_page(after);
    if (r != 0) return "bv_reduce_colors returned " + std::to_string(r);
    if (!same_snapshot(palette_before, palette_snapshot())) return "bv_reduce_colors changed the palette";
    const bool acts = page_selected && page.depth == 8;
    std::string outside = changes_outside(before, after, acts ? region : Rect{}, "bv_reduce_colors");
    if (!outside.empty()) return outside;
    if (!acts) return table == table_before ? std::string{} : "bv_reduce_colors changed the table on a deeper page";

    const int64_t first = st.start < 0 ? 0 : st.start;
    const int64_t end = int64_t{st.start} + st.count < 256 ? int64_t{st.start} + st.count : 256;
    if (st.count <= 0 || end <= first) return {};  // nothing to reduce into: any sound effect
    bool used_before[256] = {}, used_after[256] = {};
    for (int64_t y = region.y0; y < region.y1; ++y)
        for (int64_t x = region.x0; x < region.x1; ++x) used_before[before.bytes[y * before.pitch + x]] = true;
    int64_t values_before = 0;
    for (bool u : used_before) values_before += u;
    const bool merged = values_before > end - first;
    // Which colour each new value shows, settled by the first pixel seen.
    for (int64_t y = region.y0; y < region.y1; ++y) {
        for (int64_t x = region.x0; x < region.x1; ++x) {
            const uint8_t p_old = before.bytes[y * before.pitch + x];
            const uint8_t p_new = after.bytes[y * after.pitch + x];
            if (p_new < first || p_new >= end) return "a reduced pixel lies outside the run";
            const uint8_t *now = &table[3 * p_new];
            if (!merged) {
                if (std::memcmp(now, &table_before[3 * p_old], 3) != 0) return "a reduced pixel changed its colour";
            } else if (!used_after[p_new]) {
                bool known = false;
                for (int q = 0; q < 256 && !known; ++q) known = used_before[q] && std::memcmp(now, &table_before[3 * q], 3) == 0;
                if (!known) return "a merged pixel shows a colour the region did not use";
            }
            used_after[p_new] = true;
        }
    }
    int64_t values_after = 0;
    for (bool u : used_after) values_after += u;
    if (values_after > end - first) return "more values survive than the run holds";
    if (first != 0) {
        for (int64_t e = 0; e < 256; ++e) {
            if (e >= first && e < end) continue;
            if (table[3 * e] != 0 || table[3 * e + 1] != 0 || table[3 * e + 2] != 0)
                return "table entry " + std::to_string(e) + " outside the run is not black";
        }
    }
    return {};
}

// Every entry's bitmap colour matches it; the default colours the
// definitions name are where they belong.
inline std::string check_made_palette(bool full_kind) {
    const PaletteEntry *e = bv_palette.log_palette.entries;
    for (int i = 0; i < 256; ++i) {
        const RgbQuad &q = bv_palette.dib_colors[i];
        if (q.red != e[i].red || q.green != e[i].green || q.blue != e[i].blue || q.reserved != 0)
            return "dib_colors entry " + std::to_string(i) + " disagrees with log_palette";
    }
    struct Known {
        int index;
        uint8_t r, g, b;
    };
    static constexpr Known middle[] = {{10, 0, 0, 0}, {25, 255, 255, 255}, {30, 0, 0, 255}, {38, 255, 0, 0}, {245, 44, 48, 64}};
    for (const Known &k : middle) {
        const PaletteEntry &p = e[k.index];
        if (p.red != k.r || p.green != k.g || p.blue != k.b || p.flags != 1)
            return "made palette entry " + std::to_string(k.index) + " is not the default colour";
    }
    if (full_kind && (e[1].red != 128 || e[255].blue != 255 || e[0].flags != 1))
        return "a full palette does not start and end with the default colours";
    return {};
}

inline Outcome run_palette_case(const PaletteCase &c) {
    Outcome o;
    begin_case(c.page);
    paint_page(c.pattern);
    bool page_selected = true;
    std::vector<bv_hpalette> made;
    for (const PaletteStep &st : c.steps) {
        switch (st.op) {
        case PaletteOp::Set: note(o, check_set(st, page_selected, c.page, bv_display.depth)); break;
        case PaletteOp::SetWindowed: {
            const int32_t depth = bv_display.depth;
            bv_display.depth = 0;
            note(o, check_set(st, page_selected, c.page, 0));
            bv_display.depth = depth;
            break;
        }
        case PaletteOp::Reduce: note(o, check_reduce(st, page_selected, c.page)); break;
        case PaletteOp::Make: {
            const int32_t depth = bv_display.depth;
            if (st.desktop != 0) {
                bv_display.depth = 0;
                plat::test::set_desktop_depth(st.desktop);
            }
            made.push_back(bv_make_palette());
            const bool full = st.desktop == 0 ? depth > 8 : st.desktop > 8;
            note(o, check_made_palette(full));
            bv_display.depth = depth;
            plat::test::set_desktop_depth(0);
            break;
        }
        case PaletteOp::Use:
            if (bv_use_palette(made.empty() ? nullptr : made.back()) != 0) note(o, "bv_use_palette did not return 0");
            break;
        case PaletteOp::TogglePage:
            if (page_selected) {
                bv_deselect_page();
            } else if (bv_select_page(0) != 0) {
                note(o, "page 0 cannot be selected again");
            }
            page_selected = !page_selected;
            break;
        }
        if (bv_target.lock_depth != 0) note(o, "the page lock was left held");
        if (!o.violation.empty()) break;
    }
    if (!page_selected) bv_select_page(0);
    bv_palette.current_hpal = nullptr;
    for (bv_hpalette p : made) bv_delete_palette(p);
    return o;
}

inline Outcome run_palette_input(const uint8_t *data, size_t size) {
    return run_palette_case(decode_palette_case(data, size));
}

}  // namespace fuzz

#endif
