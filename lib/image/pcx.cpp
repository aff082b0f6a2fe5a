// The PCX reader: one pass over the file, each scan line run-length decoded
// into a line buffer and converted straight into the current page. Only
// the rows that land on the page are decoded; every length taken from the
// file is checked before it sizes a buffer or a loop.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "clip_run.h"
#include "image/pcx.h"
#include "state.h"

namespace {

constexpr int32_t PCX_MANUFACTURER = 10;
constexpr int32_t PCX_PALETTE_VERSION = 5;
constexpr uint32_t PCX_HEADER_SIZE = 128;
constexpr uint32_t PCX_TRAILER_SIZE = 769;
constexpr uint8_t PCX_TRAILER_MARKER = 12;
// A run stores at most 63 bytes, so at most 62 spill past a line's end.
constexpr int32_t RUN_SPILL_BYTES = 1024;

constexpr int32_t RESULT_OK = 0;
constexpr int32_t RESULT_OPEN_FAILED = 1;
constexpr int32_t RESULT_BAD_HEADER = 2;
constexpr int32_t RESULT_BAD_LAYOUT = 3;
constexpr int32_t RESULT_NO_MEMORY = 4;

struct PcxHeader {
    uint8_t manufacturer;
    uint8_t version;
    uint8_t bits_per_pixel;
    uint16_t xmin, ymin, xmax, ymax;
    uint8_t colour_map[48];
    uint8_t planes;
    uint16_t bytes_per_line;
};

uint16_t read_u16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

PcxHeader parse_header(const uint8_t *raw) {
    PcxHeader h{};
    h.manufacturer = raw[0];
    h.version = raw[1];
    h.bits_per_pixel = raw[3];
    h.xmin = read_u16(raw + 4);
    h.ymin = read_u16(raw + 6);
    h.xmax = read_u16(raw + 8);
    h.ymax = read_u16(raw + 10);
    std::memcpy(h.colour_map, raw + 16, sizeof h.colour_map);
    h.planes = raw[65];
    h.bytes_per_line = read_u16(raw + 66);
    return h;
}

// ---- Where the bytes come from ---------------------------------------------

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// File mode refills image_buffer with one read of image_buffer_size bytes
// whenever it runs dry; memory mode reads image_buffer itself.
struct PcxSource {
    std::FILE *file = nullptr;
    const uint8_t *data = nullptr;
    uint32_t pos = 0;
    uint32_t end = 0;
    bool ended = false;

    bool refill() {
        if (ended || file == nullptr || bv_image.image_buffer == nullptr || bv_image.image_buffer_size == 0) {
            ended = true;
            return false;
        }
        const std::size_t got = std::fread(bv_image.image_buffer, 1, bv_image.image_buffer_size, file);
        if (got == 0) {
            ended = true;
            return false;
        }
        data = bv_image.image_buffer;
        pos = 0;
        end = static_cast<uint32_t>(got);
        return true;
    }

    bool next(uint8_t &out) {
        if (pos >= end && !refill()) return false;
        out = data[pos++];
        return true;
    }
};

bool memory_image_usable() {
    return bv_image.image_buffer != nullptr && bv_image.image_buffer_size >= PCX_HEADER_SIZE;
}

PcxSource memory_source() {
    PcxSource s;
    s.data = bv_image.image_buffer;
    s.pos = PCX_HEADER_SIZE;
    s.end = bv_image.image_buffer_size;
    s.ended = true;  // nothing to refill from: the data ends with the buffer
    return s;
}

// The 769-byte trailer goes to the start of work_area; null when the file
// has none (too short, or no marker byte).
const uint8_t *fetch_trailer(const PcxSource &src) {
    static_assert(PCX_TRAILER_SIZE <= bv::WORK_AREA_SIZE);
    uint8_t *copy = bv::work_area;
    bool got = false;
    if (src.file == nullptr) {
        if (bv_image.image_buffer != nullptr && bv_image.image_buffer_size >= PCX_TRAILER_SIZE) {
            std::memmove(copy, bv_image.image_buffer + (bv_image.image_buffer_size - PCX_TRAILER_SIZE),
                         PCX_TRAILER_SIZE);
            got = true;
        }
    } else if (std::fseek(src.file, -static_cast<long>(PCX_TRAILER_SIZE), SEEK_END) == 0) {
        got = std::fread(copy, 1, PCX_TRAILER_SIZE, src.file) == PCX_TRAILER_SIZE;
        // Deep pages decode after this step, from the start of the data.
        std::fseek(src.file, PCX_HEADER_SIZE, SEEK_SET);
    }
    return got && copy[0] == PCX_TRAILER_MARKER ? copy : nullptr;
}

// ---- Layouts and placement ---------------------------------------------------

enum class Layout { Mono, Planar4, Indexed8, Rgb24, None };

Layout layout_of(const PcxHeader &h) {
    if (h.planes == 4) return Layout::Planar4;
    if (h.planes == 3) return Layout::Rgb24;
    if (h.bits_per_pixel == 8) return Layout::Indexed8;
    if (h.bits_per_pixel == 1) return Layout::Mono;
    return Layout::None;
}

// Columns that the decoded line describes; later columns read as value 0.
// A header with no planes decodes nothing at all.
int64_t columns_described(Layout layout, const PcxHeader &h) {
    const int64_t plane_bytes = h.planes == 0 ? 0 : h.bytes_per_line;
    return layout == Layout::Mono || layout == Layout::Planar4 ? plane_bytes * 8 : plane_bytes;
}

// The image's extent on each axis, placed on the page: parts before 0 and
// beyond the page's edge are skipped.
struct Placement {
    bv::ClippedRun rows, columns;
};

Placement place_image(const PcxHeader &h, int32_t flags) {
    const bool at_cursor = (flags & BV_PCX_AT_CURSOR) != 0;
    Placement p;
    p.rows = bv::clip_run(at_cursor ? bv_cursor.cursor_y : h.ymin, int64_t{h.ymax} - h.ymin + 1, bv_target.height);
    if (p.rows.count == 0) return p;
    p.columns = bv::clip_run(at_cursor ? bv_cursor.cursor_x : h.xmin, int64_t{h.xmax} - h.xmin + 1, bv_target.width);
    return p;
}

bool placement_visible(const Placement &p) { return p.rows.count > 0 && p.columns.count > 0; }

// ---- Converters ----------------------------------------------------------------

// Palette entries as pixels of the page, copied once per image.
struct PixelTables {
    uint16_t lut16[256];
    uint32_t lut32[256];  // 0x00RRGGBB
    bool rgb555;
};

void load_pixel_tables(PixelTables &t) {
    for (int i = 0; i < 256; ++i) {
        std::memcpy(&t.lut16[i], &bv_colors.pixel_lut[2 * i], 2);
        const uint8_t *e = &bv_colors.pixel_lut[4 * i];
        t.lut32[i] = (uint32_t{e[1]} << 16) | (uint32_t{e[2]} << 8) | e[3];
    }
    t.rgb555 = bv::rgb16_is_555();
}

template <Layout L>
inline uint32_t source_value(const uint8_t *line, int32_t plane_bytes, int32_t c) {
    if constexpr (L == Layout::Mono) {
        return (line[c >> 3] >> (7 - (c & 7))) & 1u;
    } else if constexpr (L == Layout::Planar4) {
        const int32_t byte = c >> 3;
        const int32_t shift = 7 - (c & 7);
        return ((line[byte] >> shift) & 1u) | (((line[plane_bytes + byte] >> shift) & 1u) << 1) |
               (((line[2 * plane_bytes + byte] >> shift) & 1u) << 2) |
               (((line[3 * plane_bytes + byte] >> shift) & 1u) << 3);
    } else if constexpr (L == Layout::Indexed8) {
        return line[c];
    } else {
        return (uint32_t{line[c]} << 16) | (uint32_t{line[plane_bytes + c]} << 8) | line[2 * plane_bytes + c];
    }
}

inline uint16_t pack_rgb16(uint32_t rgb, bool rgb555) {
    return bv::pack_rgb16((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF, rgb555);
}

// Source value to page pixel. 1- and 4-plane images sit at palette
// entries 10-25 on 8-bit pages, above the system colours.
template <Layout L, int Bytes>
inline uint32_t page_pixel(uint32_t v, const PixelTables &t) {
    if constexpr (Bytes == 1) {
        return L == Layout::Indexed8 ? v : v + 10;
    } else if constexpr (Bytes == 2) {
        return L == Layout::Rgb24 ? pack_rgb16(v, t.rgb555) : t.lut16[v];
    } else {
        return L == Layout::Rgb24 ? v : t.lut32[v];
    }
}

// Little-endian: 24-bit pixels become blue, green, red; 32-bit add a 0.
template <int Bytes>
inline void store_pixel(uint8_t *dst, uint32_t pixel) {
    if constexpr (Bytes == 1) {
        *dst = static_cast<uint8_t>(pixel);
    } else if constexpr (Bytes == 2) {
        const uint16_t word = static_cast<uint16_t>(pixel);
        std::memcpy(dst, &word, 2);
    } else if constexpr (Bytes == 3) {
        dst[0] = static_cast<uint8_t>(pixel);
        dst[1] = static_cast<uint8_t>(pixel >> 8);
        dst[2] = static_cast<uint8_t>(pixel >> 16);
    } else {
        std::memcpy(dst, &pixel, 4);
    }
}

struct RowJob {
    int32_t plane_bytes;
    int32_t first_column;  // image column of the first visible pixel
    int32_t data_pixels;   // visible pixels that the decoded line describes
    int32_t total_pixels;  // visible pixels in all
};

using RowConverter = void (*)(uint8_t *dst, const uint8_t *line, const RowJob &job, const PixelTables &t);

// Pixels first..end-1 of the described ones, one source value at a time.
template <Layout L, int Bytes>
void convert_each(uint8_t *dst, const uint8_t *line, const RowJob &job, const PixelTables &t, int32_t first,
                  int32_t end) {
    for (int32_t i = first; i < end; ++i)
        store_pixel<Bytes>(dst + i * Bytes, page_pixel<L, Bytes>(source_value<L>(line, job.plane_bytes, job.first_column + i), t));
}

// Indexed pixels through the palette table, four to a step so that the
// loads of one step overlap (and, for 32-bit pixels, one store takes all
// four).
template <int Bytes>
int32_t convert_indexed(uint8_t *dst, const uint8_t *src, int32_t n, const PixelTables &t) {
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
#if defined(__SSE2__)
        if constexpr (Bytes == 4) {
            const __m128i four = _mm_setr_epi32(static_cast<int32_t>(t.lut32[src[i]]), static_cast<int32_t>(t.lut32[src[i + 1]]),
                                                static_cast<int32_t>(t.lut32[src[i + 2]]),
                                                static_cast<int32_t>(t.lut32[src[i + 3]]));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i * 4), four);
            continue;
        }
#endif
        for (int32_t k = 0; k < 4; ++k) {
            const uint8_t v = src[i + k];
            if constexpr (Bytes == 4) {
                store_pixel<4>(dst + (i + k) * 4, t.lut32[v]);
            } else {
                store_pixel<2>(dst + (i + k) * 2, t.lut16[v]);
            }
        }
    }
    return i;
}

#if defined(__SSE2__)
// Three planes to 32-bit pixels (blue, green, red, 0), sixteen at a time.
int32_t convert_planes_to_32(uint8_t *dst, const uint8_t *red, const uint8_t *green, const uint8_t *blue, int32_t n) {
    const __m128i zero = _mm_setzero_si128();
    int32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i *>(red + i));
        const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i *>(green + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(blue + i));
        const __m128i bg_low = _mm_unpacklo_epi8(b, g), bg_high = _mm_unpackhi_epi8(b, g);
        const __m128i r0_low = _mm_unpacklo_epi8(r, zero), r0_high = _mm_unpackhi_epi8(r, zero);
        auto *out = reinterpret_cast<__m128i *>(dst + i * 4);
        _mm_storeu_si128(out, _mm_unpacklo_epi16(bg_low, r0_low));
        _mm_storeu_si128(out + 1, _mm_unpackhi_epi16(bg_low, r0_low));
        _mm_storeu_si128(out + 2, _mm_unpacklo_epi16(bg_high, r0_high));
        _mm_storeu_si128(out + 3, _mm_unpackhi_epi16(bg_high, r0_high));
    }
    return i;
}

// Three planes to 16-bit pixels, eight at a time: each channel's top bits
// shifted into place, as pack_rgb16 does.
int32_t convert_planes_to_16(uint8_t *dst, const uint8_t *red, const uint8_t *green, const uint8_t *blue, int32_t n,
                             bool rgb555) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i green_mask = _mm_set1_epi16(rgb555 ? 0x03E0 : 0x07E0);
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i r = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(red + i)), zero);
        const __m128i g = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(green + i)), zero);
        const __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(blue + i)), zero);
        const __m128i red_bits = rgb555 ? _mm_slli_epi16(_mm_srli_epi16(r, 3), 10) : _mm_slli_epi16(_mm_srli_epi16(r, 3), 11);
        const __m128i green_bits = _mm_and_si128(rgb555 ? _mm_slli_epi16(g, 2) : _mm_slli_epi16(g, 3), green_mask);
        const __m128i blue_bits = _mm_srli_epi16(b, 3);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i * 2),
                         _mm_or_si128(_mm_or_si128(red_bits, green_bits), blue_bits));
    }
    return i;
}
#endif

// The pixels the decoded line describes: the common layouts in wide
// steps, the rest (and the steps' leftovers) one at a time.
template <Layout L, int Bytes>
void convert_described(uint8_t *dst, const uint8_t *line, const RowJob &job, const PixelTables &t) {
    int32_t done = 0;
    if constexpr (L == Layout::Indexed8 && Bytes == 1) {
        std::memcpy(dst, line + job.first_column, static_cast<std::size_t>(job.data_pixels));
        done = job.data_pixels;
    } else if constexpr (L == Layout::Indexed8 && (Bytes == 2 || Bytes == 4)) {
        done = convert_indexed<Bytes>(dst, line + job.first_column, job.data_pixels, t);
    }
#if defined(__SSE2__)
    if constexpr (L == Layout::Rgb24 && (Bytes == 2 || Bytes == 4)) {
        const uint8_t *red = line + job.first_column;
        const uint8_t *green = red + job.plane_bytes;
        const uint8_t *blue = green + job.plane_bytes;
        if constexpr (Bytes == 4) {
            done = convert_planes_to_32(dst, red, green, blue, job.data_pixels);
        } else {
            done = convert_planes_to_16(dst, red, green, blue, job.data_pixels, t.rgb555);
        }
    }
#endif
    convert_each<L, Bytes>(dst, line, job, t, done, job.data_pixels);
}

template <Layout L, int Bytes>
void convert_row(uint8_t *dst, const uint8_t *line, const RowJob &job, const PixelTables &t) {
    convert_described<L, Bytes>(dst, line, job, t);
    const uint32_t blank = page_pixel<L, Bytes>(0, t);
    for (int32_t i = job.data_pixels; i < job.total_pixels; ++i) store_pixel<Bytes>(dst + i * Bytes, blank);
}

template <Layout L>
constexpr RowConverter converters_for(int32_t bytes) {
    switch (bytes) {
    case 1: return L == Layout::Rgb24 ? nullptr : &convert_row<L, 1>;
    case 2: return &convert_row<L, 2>;
    case 3: return &convert_row<L, 3>;
    default: return &convert_row<L, 4>;
    }
}

// Null where the layout cannot be shown at that depth.
RowConverter choose_converter(Layout layout, int32_t bytes) {
    switch (layout) {
    case Layout::Mono: return converters_for<Layout::Mono>(bytes);
    case Layout::Planar4: return converters_for<Layout::Planar4>(bytes);
    case Layout::Indexed8: return converters_for<Layout::Indexed8>(bytes);
    case Layout::Rgb24: return converters_for<Layout::Rgb24>(bytes);
    case Layout::None: break;
    }
    return nullptr;
}

// ---- Run-length decoding -----------------------------------------------------------

struct ScanLine {
    uint8_t *bytes = nullptr;  // line_bytes + RUN_SPILL_BYTES, zero-filled
    int32_t line_bytes = 0;    // planes x bytes per line
    int32_t carry = 0;         // bytes of the last run that spilled past the line
};

struct BufferFree {
    void operator()(uint8_t *p) const { std::free(p); }
};
using LineBuffer = std::unique_ptr<uint8_t, BufferFree>;

LineBuffer allocate_line_buffer(int32_t line_bytes) {
    if (bv::failing_pcx_allocations > 0) {
        --bv::failing_pcx_allocations;
        return nullptr;
    }
    return LineBuffer(static_cast<uint8_t *>(std::calloc(static_cast<std::size_t>(line_bytes) + RUN_SPILL_BYTES, 1)));
}

// A run's bytes with a few wide stores, the last one ending exactly at the
// run's end (stores may overlap; none goes past the run, so that a line
// whose data ends early keeps what it held beyond it). Runs are short:
// a call to memset would cost more than the stores.
inline void fill_run(uint8_t *dst, uint8_t value, int32_t count) {
    if (count >= 8) {
        const uint64_t eight = value * 0x0101010101010101ull;
        for (int32_t i = 0; i + 8 < count; i += 8) std::memcpy(dst + i, &eight, 8);
        std::memcpy(dst + count - 8, &eight, 8);
    } else if (count >= 4) {
        const uint32_t four = value * 0x01010101u;
        std::memcpy(dst, &four, 4);
        std::memcpy(dst + count - 4, &four, 4);
    } else if (count > 0) {
        dst[0] = value;
        dst[count / 2] = value;
        dst[count - 1] = value;
    }
}

// Decodes one line behind the bytes carried from the previous one. A run
// may go past the line's end; what spills is the next line's start. When
// the data ends, the line keeps what it held and nothing is carried.
// While two bytes or more are buffered (a whole literal or run), the loop
// reads the buffer directly; the last byte of a chunk goes through next(),
// which refills.
void decode_scan_line(ScanLine &line, PcxSource &src) {
    int32_t pos = line.carry;
    int32_t remaining = line.line_bytes - line.carry;
    if (remaining <= 0) {
        line.carry = -remaining;
        return;
    }
    uint8_t *const out = line.bytes;
    while (remaining > 0) {
        if (src.end - src.pos >= 2) {
            const uint8_t *p = src.data + src.pos;
            const uint8_t *const last = src.data + src.end - 1;  // a byte and its value both fit before it
            while (remaining > 0 && p < last) {
                const uint8_t b = *p++;
                if (b < 0xC0) {
                    out[pos++] = b;
                    --remaining;
                    continue;
                }
                const int32_t count = b - 0xC0;
                fill_run(out + pos, *p++, count);
                pos += count;
                remaining -= count;
            }
            src.pos = static_cast<uint32_t>(p - src.data);
            continue;
        }
        uint8_t b;
        if (!src.next(b)) {
            line.carry = 0;
            return;
        }
        if (b < 0xC0) {
            out[pos++] = b;
            --remaining;
            continue;
        }
        const int32_t count = b - 0xC0;
        uint8_t value;
        if (!src.next(value)) {
            line.carry = 0;
            return;
        }
        fill_run(out + pos, value, count);
        pos += count;
        remaining -= count;
    }
    line.carry = -remaining;
}

void move_carry_to_start(ScanLine &line) {
    if (line.carry > 0) std::memmove(line.bytes, line.bytes + line.line_bytes, static_cast<std::size_t>(line.carry));
}

// ---- The palette step --------------------------------------------------------------

bool is_eight_bit_page() { return bv_target.bits_per_pixel <= 8; }

void apply_image_palette(const PcxHeader &h, Layout layout, int32_t flags, const PcxSource &src) {
    if ((flags & BV_PCX_KEEP_PALETTE) != 0 || layout == Layout::Rgb24) return;
    const uint8_t *trailer = h.version == PCX_PALETTE_VERSION ? fetch_trailer(src) : nullptr;
    if (trailer == nullptr) {
        if (is_eight_bit_page())
            bv_set_palette(10, 16, h.colour_map);
        else
            bv_set_palette(0, 16, h.colour_map);
        return;
    }
    // The colours follow the marker byte; the reduction rewrites them.
    uint8_t *colours = bv::work_area + 1;
    if ((flags & BV_PCX_NO_REDUCE) == 0) bv_reduce_colors(10, 236, colours);
    if (is_eight_bit_page())
        bv_set_palette(10, 236, colours + 3 * 10);
    else
        bv_set_palette(0, 256, colours);
}

// ---- Loading -------------------------------------------------------------------------

struct OpenedImage {
    FileHandle file;
    PcxSource source;
    PcxHeader header{};
};

int32_t open_image(const char *file_name, int32_t flags, OpenedImage &img) {
    uint8_t raw[PCX_HEADER_SIZE];
    if ((flags & BV_PCX_FROM_BUFFER) != 0) {
        if (!memory_image_usable()) return RESULT_BAD_HEADER;
        std::memcpy(raw, bv_image.image_buffer, PCX_HEADER_SIZE);
        img.source = memory_source();
    } else {
        if (file_name == nullptr) return RESULT_OPEN_FAILED;
        img.file.reset(std::fopen(file_name, "rb"));
        if (!img.file) return RESULT_OPEN_FAILED;
        // Reads go straight into image_buffer, a chunk at a time.
        std::setvbuf(img.file.get(), nullptr, _IONBF, 0);
        if (std::fread(raw, 1, PCX_HEADER_SIZE, img.file.get()) != PCX_HEADER_SIZE) return RESULT_BAD_HEADER;
        img.source.file = img.file.get();
    }
    img.header = parse_header(raw);
    return img.header.manufacturer == PCX_MANUFACTURER ? RESULT_OK : RESULT_BAD_HEADER;
}

void draw_rows(const Placement &place, ScanLine &line, PcxSource &src, RowConverter convert, const RowJob &job,
               const PixelTables &tables) {
    const int32_t bytes = bv::target_bytes_per_pixel();
    uint8_t *row = bv_target.base + static_cast<std::ptrdiff_t>(place.rows.first) * bv_target.pitch +
                   static_cast<std::ptrdiff_t>(place.columns.first) * bytes;
    const int32_t rows_to_decode = place.rows.skip + place.rows.count;
    for (int32_t r = 0; r < rows_to_decode; ++r) {
        decode_scan_line(line, src);
        if (r >= place.rows.skip) {
            convert(row, line.bytes, job, tables);
            row += bv_target.pitch;
        }
        move_carry_to_start(line);
    }
}

int32_t load_locked(const char *file_name, int32_t flags) {
    OpenedImage img;
    const int32_t opened = open_image(file_name, flags, img);
    if (opened != RESULT_OK) return opened;
    const PcxHeader &h = img.header;

    const Placement place = place_image(h, flags);
    if (!placement_visible(place)) return RESULT_OK;

    const Layout layout = layout_of(h);
    const int32_t bytes = bv::target_bytes_per_pixel();
    const RowConverter convert = choose_converter(layout, bytes);
    if (convert == nullptr) return RESULT_BAD_LAYOUT;

    ScanLine line;
    line.line_bytes = int32_t{h.planes} * h.bytes_per_line;
    const LineBuffer buffer = allocate_line_buffer(line.line_bytes);
    if (!buffer) return RESULT_NO_MEMORY;
    line.bytes = buffer.get();

    const bool eight_bit = is_eight_bit_page();
    if (!eight_bit) apply_image_palette(h, layout, flags, img.source);

    static PixelTables tables;
    load_pixel_tables(tables);
    const int64_t described = columns_described(layout, h) - place.columns.skip;
    const RowJob job{h.bytes_per_line, place.columns.skip,
                     static_cast<int32_t>(std::clamp<int64_t>(described, 0, place.columns.count)),
                     place.columns.count};
    draw_rows(place, line, img.source, convert, job, tables);

    if (eight_bit) apply_image_palette(h, layout, flags, img.source);
    return RESULT_OK;
}

}  // namespace

int32_t bv_load_pcx(const char *file_name, int32_t flags) {
    if (bv_target.page == -1) return RESULT_OK;
    flags &= 0xFFFF;
    bv::lock_target();
    // A page whose lock failed cannot be drawn on: nothing is read either.
    const int32_t result = bv::target_drawable() ? load_locked(file_name, flags) : RESULT_OK;
    bv::unlock_target();
    return result;
}

int32_t bv_set_image_buffer(uint8_t *buffer, uint32_t size) {
    if (buffer == nullptr || size < PCX_HEADER_SIZE) return -1;
    bv_image.image_buffer = buffer;
    bv_image.image_buffer_size = size;
    return 0;
}

int32_t bv::failing_pcx_allocations = 0;
