// A small texture sheet for the scene tests: a 384 x 64 PCX whose six
// 64 x 64 squares are the six faces, each split into four quadrants of its
// own palette colour, so that a picture tells which face shows, which way
// up and whether mirrored. Written here, byte by byte, with no library code.
#ifndef ZARVEL_TEST_FACE_SHEET_H
#define ZARVEL_TEST_FACE_SHEET_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace face_sheet {

enum Quadrant { TOP_LEFT = 0, TOP_RIGHT = 1, BOTTOM_LEFT = 2, BOTTOM_RIGHT = 3 };

struct Rgb {
    uint8_t r, g, b;
};

// Palette index of a face's quadrant: 1..24.
inline int index_of(int face, Quadrant q) { return 1 + 4 * face + q; }

// Distinct in every page format: red steps by 32 per face, green by 48 per
// quadrant, so no two differ only in bits a 5-bit channel drops.
inline Rgb colour_of(int face, Quadrant q) {
    return Rgb{static_cast<uint8_t>(8 + 32 * face), static_cast<uint8_t>(16 + 48 * q),
               static_cast<uint8_t>(200 - 24 * face)};
}

inline Quadrant quadrant_at(int u, int v) {
    return static_cast<Quadrant>((u >= 32 ? 1 : 0) + (v >= 32 ? 2 : 0));
}

// Page pixels of a colour, by the display's packing rules.
inline uint16_t rgb565(Rgb c) { return static_cast<uint16_t>((c.r >> 3) << 11 | (c.g >> 2) << 5 | (c.b >> 3)); }
inline uint16_t rgb555(Rgb c) { return static_cast<uint16_t>((c.r >> 3) << 10 | (c.g >> 3) << 5 | (c.b >> 3)); }

// What the screen shows for a 16-bit RGB565 pixel: channels widened by
// repeating their top bits.
inline uint32_t shown_565(uint16_t p) {
    const uint32_t r5 = p >> 11, g6 = (p >> 5) & 63, b5 = p & 31;
    return (r5 << 3 | r5 >> 2) << 16 | (g6 << 2 | g6 >> 4) << 8 | (b5 << 3 | b5 >> 2);
}

constexpr int WIDTH = 384;
constexpr int HEIGHT = 64;

// The PCX file: version 5, one 8-bit plane, run-length coded, with the
// 256-colour trailer.
inline std::vector<uint8_t> pcx_bytes() {
    std::vector<uint8_t> out(128, 0);
    out[0] = 10;                    // manufacturer
    out[1] = 5;                     // version: trailer may follow
    out[2] = 1;                     // run-length coded
    out[3] = 8;                     // bits per pixel
    out[8] = (WIDTH - 1) & 0xFF;    // Xmax
    out[9] = (WIDTH - 1) >> 8;
    out[10] = HEIGHT - 1;           // Ymax
    out[65] = 1;                    // planes
    out[66] = WIDTH & 0xFF;         // bytes per line
    out[67] = WIDTH >> 8;
    for (int y = 0; y < HEIGHT; ++y) {
        for (int x = 0; x < WIDTH; ++x) {
            const int face = x / 64;
            const auto index = static_cast<uint8_t>(index_of(face, quadrant_at(x % 64, y)));
            // Indices are below 192, so every byte stands for itself.
            out.push_back(index);
        }
    }
    out.push_back(12);
    std::vector<uint8_t> palette(768, 0);
    for (int face = 0; face < 6; ++face) {
        for (int q = 0; q < 4; ++q) {
            const Rgb c = colour_of(face, static_cast<Quadrant>(q));
            const int i = index_of(face, static_cast<Quadrant>(q));
            palette[3 * i] = c.r;
            palette[3 * i + 1] = c.g;
            palette[3 * i + 2] = c.b;
        }
    }
    out.insert(out.end(), palette.begin(), palette.end());
    return out;
}

// Files a test program made, removed when it ends.
class ScratchFiles : public ::testing::Environment {
public:
    static std::string keep(const std::string &path) {
        paths().push_back(path);
        return path;
    }
    void TearDown() override {
        for (const std::string &p : paths()) std::remove(p.c_str());
    }

private:
    static std::vector<std::string> &paths() {
        static std::vector<std::string> list;
        return list;
    }
};

inline bool write_pcx(const std::string &path) {
    const std::vector<uint8_t> bytes = pcx_bytes();
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace face_sheet

#endif
