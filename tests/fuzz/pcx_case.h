// One fuzz case of the PCX reader. The input is an 8-byte prefix that
// picks the page and the call, followed by the PCX file itself:
//
//   byte 0     page configuration (fuzz::page_config)
//   byte 1     bit 0: no page selected; bit 1: the page lock fails;
//              bits 2-4: the image buffer (file mode: its size, the
//              chunk the reader refills by; 0 keeps the library's own)
//   bytes 2-3  flags: byte 2 is the low byte, byte 3 goes to bits 16-23
//              (which the reader must ignore)
//   bytes 4-7  cursor x, cursor y (signed 16-bit)
//
// With BV_PCX_FROM_BUFFER the file is handed over in memory
// (bv_set_image_buffer on an exact-size copy), otherwise through a
// temporary file.
//
// Whatever the file holds, the load must return 0 to 4; results 2, 3 and
// 4, a missing page and a failed lock leave page and palette alone; a
// drawn image changes only its own rectangle on the page (on 8-bit pages
// the colour reduction may renumber the whole clip rectangle); the row
// padding, the caller's buffer and the image buffer setting never change.
#ifndef BV_FUZZ_PCX_CASE_H
#define BV_FUZZ_PCX_CASE_H

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "fuzz_page.h"

namespace fuzz {

constexpr size_t PCX_PREFIX_BYTES = 8;

struct PcxCase {
    PageConfig page;
    bool no_page = false;
    bool fail_lock = false;
    uint32_t buffer_size = 0;  // 0: the library's own io_buffer
    int32_t flags = 0;
    int32_t cursor_x = 0, cursor_y = 0;
    std::vector<uint8_t> file;
};

inline PcxCase decode_pcx_case(const uint8_t *data, size_t size) {
    static constexpr uint32_t buffer_sizes[8] = {0, 128, 129, 200, 769, 770, 1000, 4097};
    Input in(data, size);
    PcxCase c;
    c.page = page_config(in.byte());
    const uint8_t options = in.byte();
    c.no_page = (options & 1) != 0;
    c.fail_lock = (options & 2) != 0;
    c.buffer_size = buffer_sizes[(options >> 2) & 7];
    const uint8_t low = in.byte();
    const uint8_t high = in.byte();
    c.flags = static_cast<int32_t>(low | (uint32_t{high} << 16));
    c.cursor_x = in.i16();
    c.cursor_y = in.i16();
    c.file = in.rest();
    return c;
}

// The file mode's file: one per process, rewritten for every case.
inline const std::string &pcx_temp_path() {
    static const std::string path = [] {
        // Memory-backed where the machine has it: a case writes its file
        // every time.
        const bool shm = access("/dev/shm", W_OK) == 0;
        char name[64];
        std::snprintf(name, sizeof name, "%s/bv-fuzz-pcx-XXXXXX", shm ? "/dev/shm" : "/tmp");
        const int fd = mkstemp(name);
        if (fd < 0) harness_broken("cannot make a temporary file");
        close(fd);
        static std::string keep = name;
        std::atexit([] { std::remove(keep.c_str()); });
        return std::string(name);
    }();
    return path;
}

inline void write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) harness_broken("cannot write the temporary file");
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) harness_broken("short write");
    std::fclose(f);
}

inline uint16_t le16(const std::vector<uint8_t> &f, size_t at) {
    return static_cast<uint16_t>(f[at] | (f[at + 1] << 8));
}

// Where the image may land: its rectangle (at the cursor or at Xmin,
// Ymin), cut to the page. Empty for a file without a full header.
inline Rect image_rect(const PcxCase &c) {
    if (c.file.size() < 128) return Rect{};
    const bool at_cursor = (c.flags & BV_PCX_AT_CURSOR) != 0;
    const int64_t xmin = le16(c.file, 4), ymin = le16(c.file, 6), xmax = le16(c.file, 8), ymax = le16(c.file, 10);
    const int64_t x0 = at_cursor ? c.cursor_x : xmin;
    const int64_t y0 = at_cursor ? c.cursor_y : ymin;
    Rect r;
    r.x0 = x0 < 0 ? 0 : x0;
    r.y0 = y0 < 0 ? 0 : y0;
    r.x1 = x0 + (xmax - xmin + 1);
    r.y1 = y0 + (ymax - ymin + 1);
    if (r.x1 > bv_target.width) r.x1 = bv_target.width;
    if (r.y1 > bv_target.height) r.y1 = bv_target.height;
    if (r.x1 <= r.x0 || r.y1 <= r.y0) return Rect{};
    return r;
}

inline bool may_reduce_colours(const PcxCase &c) {
    const int32_t f = c.flags & 0xFFFF;
    return c.page.depth == 8 && c.file.size() >= 128 && c.file[1] == 5 && (f & BV_PCX_KEEP_PALETTE) == 0 &&
           (f & BV_PCX_NO_REDUCE) == 0;
}

struct PaletteCopy {
    PaletteState palette;
    uint8_t pixel_lut[1024];
};

inline PaletteCopy copy_palette() {
    PaletteCopy p;
    p.palette = bv_palette;
    std::memcpy(p.pixel_lut, bv_colors.pixel_lut, sizeof p.pixel_lut);
    return p;
}

inline bool same_palette(const PaletteCopy &a, const PaletteCopy &b) {
    return same_palette_state(a.palette, b.palette) && std::memcmp(a.pixel_lut, b.pixel_lut, sizeof a.pixel_lut) == 0;
}

// The palette a drawn image leaves, from the file's own bytes: the
// 256-colour trailer (version 5, the last 769 bytes, marker 12) at entries
// 0-255, or at 10-245 on 8-bit pages; otherwise the header's 16 colours at
// 0-15, or at 10-25 on 8-bit pages; nothing for 3-plane images. A trailer
// reduced on an 8-bit page is not predicted. Every other entry stays.
inline std::string check_palette_step(const PcxCase &c, const LogPalette &before) {
    const int32_t flags = c.flags & 0xFFFF;
    const std::vector<uint8_t> &f = c.file;
    if ((flags & BV_PCX_KEEP_PALETTE) != 0 || f[65] == 3) return {};
    const bool eight = c.page.depth == 8;
    const bool trailer = f[1] == 5 && f.size() >= 769 && f[f.size() - 769] == 12;
    if (trailer && eight && (flags & BV_PCX_NO_REDUCE) == 0) return {};
    LogPalette expected = before;
    auto put = [&](int32_t entry, const uint8_t *rgb) { expected.entries[entry] = PaletteEntry{rgb[0], rgb[1], rgb[2], 1}; };
    const uint8_t *colours = trailer ? f.data() + f.size() - 768 : f.data() + 16;
    const int32_t first = eight ? 10 : 0;
    const int32_t count = trailer ? (eight ? 236 : 256) : 16;
    for (int32_t i = 0; i < count; ++i) put(first + i, colours + 3 * (trailer ? first + i : i));
    const LogPalette &now = bv_palette.log_palette;
    for (int32_t e = 0; e < 256; ++e) {
        const PaletteEntry &a = expected.entries[e], &b = now.entries[e];
        if (a.red != b.red || a.green != b.green || a.blue != b.blue || a.flags != b.flags)
            return "palette entry " + std::to_string(e) + " after the load is not the file's (" +
                   (trailer ? "trailer" : "header") + " colours)";
    }
    return {};
}

inline Outcome run_pcx_case(const PcxCase &c) {
    Outcome o;
    begin_case(c.page);
    paint_page({});
    bv_cursor = CursorState{c.cursor_x, c.cursor_y};

    // The caller's buffer: an exact-size copy of the file in memory mode,
    // the chunk buffer in file mode.
    const bool memory_mode = (c.flags & BV_PCX_FROM_BUFFER) != 0;
    std::vector<uint8_t> caller;
    if (memory_mode) {
        caller = c.file;
        const int32_t set = bv_set_image_buffer(caller.empty() ? nullptr : caller.data(), static_cast<uint32_t>(caller.size()));
        const int32_t expected = caller.size() >= 128 ? 0 : -1;
        if (set != expected) note(o, "bv_set_image_buffer returned " + std::to_string(set));
    } else {
        write_file(pcx_temp_path(), c.file);
        if (c.buffer_size != 0) {
            caller.assign(c.buffer_size, 0);
            bv_set_image_buffer(caller.data(), c.buffer_size);
        }
    }
    const ImageBufferState image_before = bv_image;
    const std::vector<uint8_t> caller_before = memory_mode ? caller : std::vector<uint8_t>{};

    static PageImage before;
    read_page(before);
    const PaletteCopy palette_before = copy_palette();
    if (c.no_page) bv_deselect_page();
    if (c.fail_lock) plat::test::fail_locks(1);
    o.result = bv_load_pcx(memory_mode ? nullptr : pcx_temp_path().c_str(), c.flags);
    plat::test::fail_locks(0);
    if (c.no_page) bv_select_page(0);
    static PageImage after;
    read_page(after);

    if (o.result < 0 || o.result > 4) note(o, "bv_load_pcx returned " + std::to_string(o.result));
    if (bv_target.lock_depth != 0) note(o, "the page lock was left held");
    if (bv_image.image_buffer != image_before.image_buffer || bv_image.image_buffer_size != image_before.image_buffer_size)
        note(o, "the image buffer setting changed");
    if (memory_mode && caller != caller_before) note(o, "the caller's image buffer was written");
    if (!c.no_page && !c.fail_lock && c.file.size() < 128 && o.result != 2)
        note(o, "a file shorter than the header gave " + std::to_string(o.result));

    const bool untouched = c.no_page || c.fail_lock || o.result != 0;
    if (untouched) {
        note(o, changes_outside(before, after, Rect{}, "a load that drew nothing"));
        if (!same_palette(palette_before, copy_palette())) note(o, "a load that drew nothing changed the palette");
        if ((c.no_page || c.fail_lock) && o.result != 0) note(o, "no page or no lock gave " + std::to_string(o.result));
    } else {
        const Rect image = image_rect(c);
        const bool off_page = image.x1 == image.x0;
        const Rect allowed = may_reduce_colours(c) && !off_page ? clip_rect_on_page() : image;
        note(o, changes_outside(before, after, allowed, "bv_load_pcx"));
        if ((off_page || (c.flags & BV_PCX_KEEP_PALETTE) != 0) && !same_palette(palette_before, copy_palette()))
            note(o, off_page ? "an image off the page changed the palette" : "BV_PCX_KEEP_PALETTE changed the palette");
        else if (!off_page)
            note(o, check_palette_step(c, palette_before.palette.log_palette));
    }
    bv::reset_image_buffer();
    return o;
}

inline Outcome run_pcx_input(const uint8_t *data, size_t size) { return run_pcx_case(decode_pcx_case(data, size)); }

}  // namespace fuzz

#endif
