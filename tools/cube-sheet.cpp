// cube-sheet: writes the demo's texture sheet, a 384 x 64 PCX image
// (version 5, 8 bits per pixel, one plane, run-length encoded, 256-colour
// trailer) holding six 64 x 64 faces side by side: dice faces one to six,
// each on its own colour, with a dark border and a black triangle in the
// top-left corner, so that a swapped, mirrored or turned face shows.
//
//   cube-sheet OUTPUT
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command_line.h"

namespace {

constexpr int FACE = 64;
constexpr int FACES = 6;
constexpr int WIDTH = FACE * FACES;
constexpr int HEIGHT = FACE;

// Palette indices; every other entry is black.
enum : uint8_t {
    FIRST_FACE_COLOUR = 16,  // faces one to six: 16..21
    BORDER = 24,
    PIP = 25,
    CORNER_MARK = 26,
};

struct Rgb {
    uint8_t r, g, b;
};

// Far apart at 5-6-5 as well as at 8 bits a channel.
constexpr Rgb FACE_COLOURS[FACES] = {
    {208, 32, 32},   // one: red
    {40, 168, 56},   // two: green
    {48, 80, 216},   // three: blue
    {232, 200, 32},  // four: yellow
    {184, 56, 184},  // five: magenta
    {32, 184, 192},  // six: cyan
};
constexpr Rgb BORDER_COLOUR{56, 56, 56};
constexpr Rgb PIP_COLOUR{248, 248, 248};
constexpr Rgb MARK_COLOUR{0, 0, 0};

constexpr int BORDER_WIDTH = 3;
constexpr int MARK_SIZE = 12;  // legs of the corner triangle, inside the border
constexpr int PIP_RADIUS = 6;

struct Pip {
    int x, y;
};

// Pip centres of dice faces one to six, in face coordinates.
const std::vector<Pip> &pips_of(int face) {
    static const std::vector<Pip> layouts[FACES] = {
        {{32, 32}},
        {{16, 16}, {48, 48}},
        {{16, 16}, {32, 32}, {48, 48}},
        {{16, 16}, {48, 16}, {16, 48}, {48, 48}},
        {{16, 16}, {48, 16}, {32, 32}, {16, 48}, {48, 48}},
        {{16, 16}, {48, 16}, {16, 32}, {48, 32}, {16, 48}, {48, 48}},
    };
    return layouts[face];
}

using Sheet = std::vector<uint8_t>;  // WIDTH x HEIGHT palette indices

void put(Sheet &sheet, int face, int x, int y, uint8_t index) { sheet[y * WIDTH + face * FACE + x] = index; }

bool on_pip(int face, int x, int y) {
    for (const Pip &p : pips_of(face)) {
        const int dx = x - p.x, dy = y - p.y;
        if (dx * dx + dy * dy <= PIP_RADIUS * PIP_RADIUS) return true;
    }
    return false;
}

uint8_t face_pixel(int face, int x, int y) {
    const bool border = x < BORDER_WIDTH || y < BORDER_WIDTH || x >= FACE - BORDER_WIDTH || y >= FACE - BORDER_WIDTH;
    if (border) return BORDER;
    if ((x - BORDER_WIDTH) + (y - BORDER_WIDTH) < MARK_SIZE) return CORNER_MARK;
    if (on_pip(face, x, y)) return PIP;
    return static_cast<uint8_t>(FIRST_FACE_COLOUR + face);
}

Sheet draw_sheet() {
    Sheet sheet(WIDTH * HEIGHT);
    for (int face = 0; face < FACES; ++face)
        for (int y = 0; y < FACE; ++y)
            for (int x = 0; x < FACE; ++x) put(sheet, face, x, y, face_pixel(face, x, y));
    return sheet;
}

std::vector<Rgb> sheet_palette() {
    std::vector<Rgb> palette(256, Rgb{0, 0, 0});
    for (int face = 0; face < FACES; ++face) palette[FIRST_FACE_COLOUR + face] = FACE_COLOURS[face];
    palette[BORDER] = BORDER_COLOUR;
    palette[PIP] = PIP_COLOUR;
    palette[CORNER_MARK] = MARK_COLOUR;
    return palette;
}

// ---- PCX writing ----------------------------------------------------------

void put_u16(std::vector<uint8_t> &out, std::size_t at, int v) {
    out[at] = static_cast<uint8_t>(v & 0xFF);
    out[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

std::vector<uint8_t> pcx_header(const std::vector<Rgb> &palette) {
    std::vector<uint8_t> h(128, 0);
    h[0] = 10;  // manufacturer
    h[1] = 5;   // version: a 256-colour palette follows the data
    h[2] = 1;   // run-length encoding
    h[3] = 8;   // bits per pixel
    put_u16(h, 4, 0);
    put_u16(h, 6, 0);
    put_u16(h, 8, WIDTH - 1);
    put_u16(h, 10, HEIGHT - 1);
    put_u16(h, 12, 72);
    put_u16(h, 14, 72);
    for (int i = 0; i < 16; ++i) {
        h[16 + 3 * i] = palette[i].r;
        h[17 + 3 * i] = palette[i].g;
        h[18 + 3 * i] = palette[i].b;
    }
    h[65] = 1;  // planes
    put_u16(h, 66, WIDTH);  // bytes per line (even, as the format wants)
    put_u16(h, 68, 1);      // colour palette
    return h;
}

// Runs of up to 63 equal bytes within one line; a lone byte of 192 or more
// must be written as a run of one.
void encode_line(const uint8_t *line, int length, std::vector<uint8_t> &out) {
    int i = 0;
    while (i < length) {
        int run = 1;
        while (i + run < length && run < 63 && line[i + run] == line[i]) ++run;
        if (run > 1 || line[i] >= 0xC0) out.push_back(static_cast<uint8_t>(0xC0 | run));
        out.push_back(line[i]);
        i += run;
    }
}

std::vector<uint8_t> encode_pcx(const Sheet &sheet, const std::vector<Rgb> &palette) {
    std::vector<uint8_t> out = pcx_header(palette);
    for (int y = 0; y < HEIGHT; ++y) encode_line(&sheet[y * WIDTH], WIDTH, out);
    out.push_back(12);  // the trailer's marker
    for (const Rgb &c : palette) {
        out.push_back(c.r);
        out.push_back(c.g);
        out.push_back(c.b);
    }
    return out;
}

}  // namespace

int main(int argc, char **argv) {
    bvtools::set_program("cube-sheet");
    if (argc != 2) bvtools::usage_error("usage: cube-sheet OUTPUT");
    const std::vector<Rgb> palette = sheet_palette();
    const std::vector<uint8_t> bytes = encode_pcx(draw_sheet(), palette);
    std::FILE *f = std::fopen(argv[1], "wb");
    if (f == nullptr) bvtools::fail(bvtools::EXIT_CANT_WRITE, std::string("cannot write '") + argv[1] + "': " + std::strerror(errno));
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !written) bvtools::fail(bvtools::EXIT_CANT_WRITE, std::string("cannot write '") + argv[1] + "': " + std::strerror(errno));
    return 0;
}
