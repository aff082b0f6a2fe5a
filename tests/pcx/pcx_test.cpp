// The PCX reader: outside writers' files against Netpbm's decoder on every page depth; hand-made files for what
// it refuses, how it decodes and places rows, and its palette step. Then bv-pcx and the demo's texture sheet.
#include <algorithm>
#include <numeric>

#include "../image/image_support.h"

using namespace imagetest;

namespace {

// Every layout Netpbm, ImageMagick and Pillow write, from pictures of k colours (0: many), 1 x 1 to 1000 x 500,
// drawn at cursor (-dx, -dy) on a padded page 2dx columns and 2dy rows smaller, so that rows start inside the scan
// line and stop at the page's edge. Every pixel shows pcxtoppm's colour as the page's depth stores it.
TEST(PcxReader, AgreesWithPcxtoppmOnEveryPageDepth) {
    const std::string pil = "/usr/bin/python3 -c 'import sys; from PIL import Image; "  // Debian's python3-pil lives there
                            "Image.open(sys.argv[1]).convert(sys.argv[3]).save(sys.argv[2], \"PCX\")' IN OUT ";
    if (bvtest::exit_status("(command -v pcxtoppm && command -v ppmtopcx && command -v convert && /usr/bin/python3 -c 'import PIL')"
                            " >/dev/null 2>&1"))
        GTEST_SKIP() << "Netpbm, ImageMagick or Pillow is not installed";
    const struct { std::string make; int k, w, h, result = 0; } cases[] = {  // IN and OUT stand for the files
        {"ppmtopcx IN >OUT", 2, 13, 5}, {"ppmtopcx IN >OUT", 2, 1, 1}, {"ppmtopcx -packed IN >OUT", 2, 9, 4},
        {"ppmtopcx -planes=2 IN >OUT", 2, 61, 3}, {"ppmtopcx -planes=4 IN >OUT", 2, 11, 3}, {"ppmtopcx IN >OUT", 16, 13, 5},
        {"ppmtopcx IN >OUT", 16, 1, 1}, {"ppmtopcx IN >OUT", 16, 333, 77}, {"ppmtopcx IN >OUT", 200, 17, 9},
        {"ppmtopcx -8bit IN >OUT", 16, 7, 3}, {"ppmtopcx IN >OUT", 200, 1000, 500}, {"ppmtopcx -24bit IN >OUT", 0, 101, 33},
        {"ppmtopcx -24bit IN >OUT", 0, 1, 1}, {"ppmtopcx -24bit IN >OUT", 0, 999, 7}, {"ppmtopcx IN >OUT", 0, 1000, 500},
        {"ppmtopcx -packed IN >OUT", 16, 13, 5, 3}, {"convert IN PCX:OUT", 0, 13, 5}, {"convert IN PCX:OUT", 2, 9, 2},
        {"convert IN PCX:OUT", 0, 640, 480}, {"convert IN -type Palette PCX:OUT", 200, 31, 7},
        {"convert IN -type Palette PCX:OUT", 16, 5, 5}, {pil + "RGB", 0, 13, 5}, {pil + "RGB", 0, 2, 1},
        {pil + "RGB", 0, 1000, 500}, {pil + "P", 200, 17, 9}, {pil + "L", 200, 35, 11},
    };
    const std::string in = write_temp("in.ppm"), pcx = write_temp("w.pcx"), ref = write_temp("ref.ppm");
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.make.substr(0, 34) << " " << c.k << " colours " << c.w << "x" << c.h);
        std::string make = "convert -seed 7 -size " + std::to_string(c.w) + "x" + std::to_string(c.h) + " plasma:fractal " +
                           (c.k ? "-colors " + std::to_string(c.k) : "") + " ppm:IN && " + c.make + " && pcxtoppm OUT >" + ref;
        for (size_t at; (at = make.find("IN")) != std::string::npos;) make.replace(at, 2, in);
        for (size_t at; (at = make.find("OUT")) != std::string::npos;) make.replace(at, 3, pcx);
        ASSERT_EQ(bvtest::exit_status("(" + make + ") 2>/dev/null"), 0) << make;
        const std::string picture = bvtest::read_text(ref), head = "P6\n" + std::to_string(c.w) + " " + std::to_string(c.h) + "\n255\n";
        ASSERT_EQ(picture.substr(0, head.size()), head);
        const bool planes24 = bvtest::read_bytes(pcx).at(65) == 3;
        const int dx = c.w > 8 ? 3 : 0, dy = c.h > 2 ? 1 : 0, w = c.w - 2 * dx, h = c.h - 2 * dy;
        for (const auto &[bits, rgb555] : {std::pair{8, false}, {16, false}, {16, true}, {24, false}, {32, false}}) {
            Page page(w, h, bits, rgb555, 5);
            const Bytes before = page.memory(), palette = palette_state();
            const int32_t result = c.result ? c.result : planes24 && bits == 8 ? 3 : 0;
            EXPECT_EQ((bv_move_to(-dx, -dy), bv_load_pcx(pcx.c_str(), BV_PCX_AT_CURSOR)), result) << bits;
            const Bytes m = page.memory();
            EXPECT_TRUE((result == 0 && !planes24) || palette_state() == palette) << "palette changed";
            size_t wrong = result == 0 ? 0 : m != before;  // pixels and row paddings
            for (int y = 0; y < h && result == 0; ++y) {
                for (int x = 0; x < w; ++x) {
                    const auto *p = reinterpret_cast<const uint8_t *>(&picture[head.size() + 3 * ((y + dy) * c.w + x + dx)]);
                    const uint32_t v = page.pixel(x, y, m), shown = bits == 8 ? pixel_of(entry(v), 24) : v;
                    wrong += shown != pixel_of({p[0], p[1], p[2]}, bits == 8 ? 24 : bits, rgb555);
                }
                wrong += std::count(m.data() + page.offset(w, y), m.data() + page.offset(0, y + 1), FILL) != 5;
            }
            EXPECT_EQ(wrong, 0u) << "page depth " << bits << (rgb555 ? " 5-5-5" : "");
        }
    }
    for (const std::string &f : {in, pcx, ref}) std::remove(f.c_str());
}

using Call = std::function<int32_t()>;
constexpr int F = FILL;  // a page pixel nothing wrote
const Bytes GREY = trailer([](int) { return Rgb{5, 5, 5}; });
const Bytes TINY = Pcx{.w = 2, .h = 2, .version = 5, .data = {1, 2, 3, 4}, .trailer = GREY}.bytes();
Rgb ramp(int v) { return {uint8_t(v), uint8_t(v + 85), uint8_t(v + 170)}; }
Rgb grey(int v) { return {uint8_t(v), uint8_t(v), uint8_t(v)}; }

Call file(const Pcx &p, int32_t flags = 0, int cx = 0, int cy = 0) { return [=] { return bv_move_to(cx, cy), load(p.bytes(), flags); }; }
Call memory(const Bytes &image, uint32_t size) {  // memory mode, image_buffer_size bytes of the image
    return [=] {
        static Bytes copy;
        copy = image, copy.resize(std::max<size_t>(size, 128)), bv_set_image_buffer(copy.data(), 128), bv_image.image_buffer_size = size;
        return bv_load_pcx(nullptr, BV_PCX_FROM_BUFFER);
    };
}

// One load on a page with padded rows, and what it leaves: its result, the page's first pixels (none: the page,
// its padding and the palette are as they were) and some palette entries. 8-bit pages show decoded bytes.
TEST(PcxReader, HandMadeFiles) {
    static Bytes values(160), chunk(131);
    for (int i = 0; i < 160; ++i) values[i] = static_cast<uint8_t>(i * 7);
    std::vector<uint32_t> planes4(60, 10), huge(60, 0);
    std::fill_n(planes4.begin(), 24, 11), std::fill_n(planes4.begin() + 30, 24, 11), huge[0] = huge[30] = 7;
    const Pcx wide{.w = 65536, .h = 65536, .bpl = 65535, .planes = 255, .data = {7}};
    const std::vector<Rgb> map{{0, 0, 0}, {10, 20, 30}, {40, 50, 60}};
    Bytes short_trailer = trailer(grey), io = Pcx{.w = 2, .version = 5, .data = {7, 8}}.bytes(), t = trailer(ramp);
    short_trailer.resize(500), io.resize(4096 - 769), io.insert(io.end(), t.begin(), t.end());
    // 237 colours, greys 0..235 over a row of FILL: 0 and 1 are the first closest pair and, counts being equal,
    // 0 goes into 1; the 236 survivors become 10..245 in order.
    Bytes greys(236);
    std::iota(greys.begin(), greys.end(), 0);
    std::vector<uint32_t> reduced(472, 245);
    for (int v = 0; v < 236; ++v) reduced[v] = std::max(v, 1) + 9;
    const struct { const char *name; int depth, width, height; Call call; int32_t result = 0; std::vector<uint32_t> pixels = {};
                   std::vector<std::pair<int, Rgb>> entries = {}; } cases[] = {
        // Refused, empty or not on the page.
        {"empty file", 16, 4, 4, [] { return load({}); }, 2},
        {"127 header bytes", 16, 4, 4, [] { return load(Bytes(TINY.begin(), TINY.begin() + 127)); }, 2},
        {"manufacturer 11", 8, 4, 4, file({.w = 2, .manufacturer = 11, .data = {1, 2}}), 2},
        {"missing file", 8, 4, 4, [] { return bv_load_pcx("/nonexistent/x.pcx", 0); }, 1},
        {"no file name", 8, 4, 4, [] { return bv_load_pcx(nullptr, 0); }, 1},
        {"memory mode, no buffer", 8, 4, 4, [] { return bv_image.image_buffer = nullptr, bv_load_pcx(nullptr, BV_PCX_FROM_BUFFER); }, 2},
        {"memory mode, 127 bytes", 8, 4, 4, memory(TINY, 127), 2},
        {"2 bits, 1 plane", 8, 4, 4, file({.w = 4, .bpl = 1, .bpp = 2, .data = {1, 2}}), 3},
        {"4 bits, 1 plane", 32, 4, 4, file({.w = 2, .bpp = 4, .data = {1, 2}}), 3},
        {"16 bits, 2 planes", 16, 4, 4, file({.w = 1, .bpp = 16, .planes = 2, .data = {1, 2, 3, 4}}), 3},
        {"24-bit planes, 8-bit page", 8, 4, 4, file({.w = 1, .planes = 3, .version = 5, .data = {1, 2, 3}}), 3},
        {"no memory for the scan line", 16, 4, 4, [] { return bv::test::fail_pcx_allocations(1), load(TINY); }, 4},
        {"page lock fails", 16, 4, 4, [] { return plat::test::fail_locks(1), load(TINY); }},
        {"no page: no file opened", 16, 4, 4, [] { return bv_deselect_page(), bv_load_pcx("/nonexistent/x.pcx", 0); }},
        {"below the page", 16, 4, 4, file({.w = 2, .h = 2, .version = 5, .ymin = 4, .data = {1, 2}, .trailer = GREY})},
        {"right of the page", 24, 4, 4, file({.w = 2, .h = 2, .version = 5, .xmin = 4, .data = {1, 2}, .trailer = GREY})},
        {"Xmax < Xmin", 32, 4, 4, file({.w = 0, .h = 4, .xmin = 5, .data = {1, 2}})},
        {"Ymax < Ymin", 32, 4, 4, file({.w = 4, .h = -4, .ymin = 7, .data = {1, 2}})},
        {"cursor at INT32_MIN", 8, 4, 4, file({.w = 3, .data = {1}}, BV_PCX_AT_CURSOR, INT32_MIN, INT32_MIN)},
        {"cursor at INT32_MAX", 8, 4, 4, file({.w = 3, .data = {1}}, BV_PCX_AT_CURSOR, INT32_MAX, 0)},
        // Run-length decoding and placement.
        {"a run carries over to the next line", 8, 4, 3, file({.w = 4, .h = 3, .data = {1, 2, 0xC5, 7, 8, 0xC4, 9}}), 0,
         {1, 2, 7, 7, 7, 7, 7, 8, 9, 9, 9, 9}},
        {"a run over several lines", 8, 1, 6, file({.w = 1, .h = 6, .data = {0xC3, 5, 6, 0xFF, 4}}), 0, {5, 5, 5, 6, 4, 4}},
        {"run byte 192 stores nothing", 8, 4, 1, file({.w = 4, .data = {0xC0, 0x33, 1, 2, 0xC0, 0xFF, 3, 4}}), 0, {1, 2, 3, 4}},
        {"data ends: rows keep the line", 8, 4, 4, file({.w = 4, .h = 3, .data = {1, 2, 3, 4, 5, 6}}), 0,
         {1, 2, 3, 4, 5, 6, 3, 4, 5, 6, 3, 4, F, F, F, F}},
        {"data ends inside a run", 8, 2, 2, file({.w = 2, .h = 2, .data = {9, 8, 0xC2}}), 0, {9, 8, 9, 8}},
        {"no data at all", 8, 4, 2, file({.w = 3, .h = 2}), 0, {0, 0, 0, F, 0, 0, 0, F}},
        {"a run past the last line", 8, 2, 2, file({.w = 2, .h = 2, .data = {1, 2, 3, 0xFF, 9, 0xFF, 8}}), 0, {1, 2, 3, 9}},
        {"cut at the bottom and right", 8, 6, 3, file({.w = 4, .h = 4, .xmin = 3, .ymin = 1, .data = {1, 2, 3, 4, 5, 6, 7, 8}}),
         0, {F, F, F, F, F, F, F, F, F, 1, 2, 3, F, F, F, 5, 6, 7}},
        {"at the cursor, which stays", 8, 5, 3, [] {
             const int32_t r = file({.w = 2, .h = 2, .xmin = 99, .ymin = 99, .data = {1, 2, 3, 4}}, BV_PCX_AT_CURSOR, 2, 1)();
             return bv_cursor.cursor_x == 2 && bv_cursor.cursor_y == 1 ? r : -1; }, 0, {F, F, F, F, F, F, F, 1, 2, F, F, F, 3, 4, F}},
        {"cursor left of and above the page", 8, 4, 3,
         file({.w = 3, .h = 4, .data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}, BV_PCX_AT_CURSOR, -1, -2), 0,
         {8, 9, F, F, 11, 12, F, F, F, F, F, F}},
        {"bytes per line too small", 8, 8, 2, file({.w = 6, .h = 2, .bpl = 2, .data = {1, 2, 3, 4}}), 0,
         {1, 2, 0, 0, 0, 0, F, F, 3, 4, 0, 0, 0, 0, F, F}},
        {"monochrome, one byte a line", 8, 12, 1, file({.w = 12, .bpl = 1, .bpp = 1, .data = {0xC1, 0xFF}}), 0,
         {11, 11, 11, 11, 11, 11, 11, 11, 10, 10, 10, 10}, {{26, {0, 0, 0}}}},  // 16 header colours at 10..25
        // Bit k of each value in plane k; 8 bits a plane still make 16 colours.
        {"4 planes of 8 bits", 8, 8, 1, file({.w = 8, .bpl = 1, .planes = 4, .data = {0xAA, 0x99, 0x69, 0x5A}}), 0,
         {13, 22, 15, 20, 25, 10, 19, 16}},
        {"2 planes of 8 bits: plane 0", 8, 3, 2, file({.w = 3, .h = 2, .planes = 2, .data = {1, 2, 3, 50, 51, 52, 4, 5, 6}}), 0,
         {1, 2, 3, 4, 5, 6}},
        {"no planes", 8, 4, 1, file({.w = 3, .planes = 0, .data = {0xFF, 9, 0xFF, 9}}), 0, {0, 0, 0, F}},
        {"4 planes, no bytes per line", 8, 4, 1, file({.w = 3, .bpl = 0, .planes = 4, .data = {7}}), 0, {10, 10, 10, F}},
        {"4 planes of 65535 bytes", 8, 30, 2, file({.w = 65536, .h = 65536, .bpl = 65535, .planes = 4, .data = {0xC3, 0xFF}}), 0, planes4},
        {"255 planes of 65535 bytes", 8, 30, 2, file(wide), 0, huge},
        {"the same far up and left", 8, 30, 2, file(wide, BV_PCX_AT_CURSOR, -65000, -65000), 0, std::vector<uint32_t>(60, 0)},
        {"read in odd-sized chunks", 8, 16, 10,
         [] { return bv_set_image_buffer(chunk.data(), 131), file({.w = 16, .h = 10, .data = runs_of_one(values)})(); }, 0,
         std::vector<uint32_t>(values.begin(), values.end())},
        {"file mode without an image buffer", 8, 2, 1, [] { return bv_image.image_buffer = nullptr, file({.w = 2, .data = {5, 6}})(); },
         0, {0, 0}},
        {"memory mode", 8, 4, 2, memory(Pcx{.w = 4, .h = 2, .data = {1, 2, 0xC2, 3, 4, 5, 6, 7}}.bytes(), 136), 0,
         {1, 2, 3, 3, 4, 5, 6, 7}},
        // The palette step.
        {"version 3 takes the header colours despite a trailer", 32, 4, 2,
         file({.w = 1, .version = 3, .map = map, .data = {2}, .trailer = trailer(ramp)}), 0, {0x28323C}, {{16, {170, 85, 0}}}},
        {"a trailer without the marker 12", 32, 4, 2,
         file({.w = 2, .version = 5, .map = map, .data = {1, 2}, .trailer = trailer(ramp, 11)}), 0, {0x0A141E, 0x28323C}},
        {"a file too short for a trailer", 32, 4, 2,
         file({.w = 2, .version = 5, .map = map, .data = {1, 2}, .trailer = short_trailer}), 0, {0x0A141E, 0x28323C}},
        {"keep palette: the current pixel_lut", 16, 4, 2,
         file({.w = 2, .version = 5, .data = {38, 30}, .trailer = trailer(ramp)}, BV_PCX_KEEP_PALETTE), 0, {0xF800, 0x001F},
         {{38, {255, 0, 0}}, {30, {0, 0, 255}}}},
        {"keep palette on an 8-bit page", 8, 4, 2, file({.w = 2, .bpl = 1, .bpp = 1, .map = map, .data = {0x40}}, BV_PCX_KEEP_PALETTE), 0,
         {10, 11}, {{10, {0, 0, 0}}, {11, {0, 0, 170}}}},
        {"no reduction: values and system colours stay", 8, 4, 2,
         file({.w = 4, .version = 5, .data = runs_of_one({0, 9, 246, 255}), .trailer = trailer(ramp)}, BV_PCX_NO_REDUCE), 0,
         {0, 9, 246, 255}, {{9, {164, 200, 240}}, {10, ramp(10)}, {245, ramp(245)}, {246, {255, 251, 240}}}},
        {"237 colours on the page reduce to 236", 8, 236, 2,
         file({.w = 236, .version = 5, .data = runs_of_one(greys), .trailer = trailer(grey)}), 0, reduced,
         {{9, {164, 200, 240}}, {10, {1, 1, 1}}, {244, {235, 235, 235}}, {245, {F, F, F}}, {246, {255, 251, 240}}}},
        {"memory mode: the trailer ends io_buffer", 24, 4, 2,
         [&] { return std::memcpy(bv::io_buffer, io.data(), 4096), bv_load_pcx("ignored", BV_PCX_FROM_BUFFER); }, 0,
         {0x075CB1, 0x085DB2}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Page page(c.width, c.height, c.depth, false, 3);
        const Bytes before = page.memory(), palette = palette_state();
        EXPECT_EQ(c.call(), c.result);
        EXPECT_EQ(bv_target.lock_depth, 0);
        if (bv_target.page == -1) bv_select_page(0);
        const Bytes m = page.memory();
        EXPECT_TRUE(!c.pixels.empty() || (m == before && palette_state() == palette)) << "something changed";
        for (size_t i = 0; i < c.pixels.size(); ++i) EXPECT_EQ(page.pixel(i % c.width, i / c.width, m), c.pixels[i]) << i;
        for (auto [i, colour] : c.entries) EXPECT_TRUE(entry(i) == colour) << "entry " << i;
    }
    uint8_t small[128];
    EXPECT_EQ(bv_set_image_buffer(nullptr, 4096) + bv_set_image_buffer(small, 127), -2);
    EXPECT_EQ(bv_image.image_buffer, bv::io_buffer) << "a refused buffer changes nothing";
}

// Usage errors, results, and what --raw, --out and --palette write; two is (255, 0, 16), (8, 130, 255) at 50, 50.
TEST(BvPcx, OutputsAndStatus) {
    const std::string two = write_temp("two.pcx", Pcx{.w = 2, .planes = 3, .xmin = 50, .ymin = 50,
                                                      .data = runs_of_one({255, 8, 0, 130, 16, 255})}.bytes());
    const std::string bad = write_temp("bad.pcx", Pcx{.manufacturer = 7}.bytes()), at = two + " --size 3x2 --at 1,1 --flags 2";
    const std::string mono =
        write_temp("mono.pcx", Pcx{.w = 2, .bpl = 1, .bpp = 1, .map = {{1, 2, 3}, {200, 100, 50}}, .data = {0x40}}.bytes());
    const auto ppm = [](std::string s, const Bytes &pixels) { return s.append(pixels.begin(), pixels.end()), Bytes(s.begin(), s.end()); };
    const std::string gone = "bv-pcx: cannot open '/nonexistent/x.pcx': No such file or directory\n";
    const struct { std::string args; int status; std::string ext = ""; Bytes output = {}; std::string err = ""; } cases[] = {  // output: raw, ppm, png, pal
        {"", 64}, {"a.pcx b.pcx", 64}, {"x.pcx --depth 12", 64}, {"x.pcx --depth", 64}, {"x.pcx --size 0x4", 64}, {"x.pcx --at 3", 64},
        {"x.pcx --flags many", 64}, {"x.pcx --out picture.gif", 64}, {"x.pcx --frobnicate", 64}, {"x.pcx --repeat -1", 64},
        {"x.pcx --repeat 100001", 64}, {"/nonexistent/x.pcx", 1, "", {}, gone},
        {"/nonexistent/x.pcx --repeat 5", 1, "", {}, gone}, {"/nonexistent/x.pcx --repeat 0", 0, "", {}, ""},
        {bad, 2}, {two + " --depth 8", 3}, {two + " --depth 8 --repeat 4", 3}, {two + " --depth 24", 0},
        {at + " --depth 32", 0, "raw", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 255, 0, 255, 130, 8, 0}},
        {at + " --depth 24", 0, "raw", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 255, 255, 130, 8}},
        // 5-6-5: 0xF802 and 0x0C1F; 5-5-5: 0x7C02 and 0x061F.
        {at + " --depth 16", 0, "raw", {0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0xF8, 0x1F, 0x0C}},
        {at + " --depth 16 --rgb555", 0, "raw", {0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0x7C, 0x1F, 0x06}},
        {two + " --size 3x1 --flags 2 --repeat 25", 0, "raw", {16, 0, 255, 0, 255, 130, 8, 0, 0, 0, 0, 0}},
        {two + " --size 3x1 --flags 2 --repeat 0", 0, "raw", Bytes(12, 0)},
        // Red 31 -> 255, green 0, blue 2 -> 16; red 1 -> 8, green 32 -> 130, blue 31 -> 255.
        {at + " --depth 16", 0, "ppm", ppm("P6\n3 2\n255\n", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 16, 8, 130, 255})},
        {two + " --size 3x2", 0, "png", {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 3, 0, 0, 0, 2}},
        {mono + " --depth 8 --size 2x1", 0, "ppm", ppm("P6\n2 1\n255\n", {1, 2, 3, 200, 100, 50})},
        {mono + " --depth 8 --size 2x1", 0, "pal", {0, 0, 0, 128, 0, 0, 0, 128, 0, 128, 128, 0, 0, 0, 128, 128, 0, 128, 0, 128,
                                                    128, 192, 192, 192, 192, 220, 192, 164, 200, 240, 1, 2, 3, 200, 100, 50}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args + " " + c.ext);
        const std::string out = write_temp("o." + c.ext), option = c.ext == "raw" ? " --raw " : c.ext == "pal" ? " --palette " : " --out ";
        const auto r = bvtest::run_program(bvtest::build_dir() + "/bv-pcx " + c.args + (c.ext.empty() ? "" : option + out));
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.status == 64 ? "" : "result " + std::to_string(c.status) + "\n");
        EXPECT_TRUE(c.status != 64 || (r.err.starts_with("bv-pcx: ") && r.err.find('\n') == r.err.size() - 1)) << r.err;
        if (c.status != 64) EXPECT_EQ(r.err, c.err);
        Bytes got = bvtest::read_bytes(out);
        if (c.ext == "png" || c.ext == "pal") got.resize(std::min(got.size(), c.output.size()));
        EXPECT_EQ(got, c.output);
        std::remove(out.c_str());
    }
    for (const std::string &f : {two, bad, mono}) std::remove(f.c_str());
}

// CUBE.PCX, run-length encoded, with the demo's flags on a 16-bit page: six 64 x 64 faces on their own colours
// with a dark border, a black top-left mark and dice pips, and nothing right of or below the sheet.
TEST(CubeSheet, TheDemosLoad) {
    const std::string path = bvtest::build_dir() + "/CUBE.PCX";
    EXPECT_LT(bvtest::read_bytes(path).size(), 128u + 384 * 64 / 4 + 769);
    Page page(640, 480, 16);
    ASSERT_EQ(bv_load_pcx(path.c_str(), BV_PCX_AT_CURSOR | BV_PCX_NO_REDUCE), 0);
    const Bytes m = page.memory();
    const Rgb faces[6] = {{208, 32, 32}, {40, 168, 56}, {48, 80, 216}, {232, 200, 32}, {184, 56, 184}, {32, 184, 192}};
    const uint32_t border = pixel_of({56, 56, 56}, 16), pip = pixel_of({248, 248, 248}, 16);
    const int where[][2] = {{40, 24}, {0, 30}, {63, 30}, {30, 63}, {4, 4}, {59, 4}, {4, 59}, {32, 32}, {16, 16}, {64, 10}, {10, 64}};
    for (int k = 0; k < 6; ++k) {
        const uint32_t face = pixel_of(faces[k], 16), want[] = {face, border, border, border, 0, face, face, k % 2 ? face : pip,
                                                                k ? pip : face, k < 5 ? border : 0xEEEE, 0xEEEE};
        for (int i = 0; i < 11; ++i) EXPECT_EQ(page.pixel(64 * k + where[i][0], where[i][1], m), want[i]) << k << " " << i;
    }
}

}  // namespace
