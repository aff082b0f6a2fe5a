// headless-frame: draws one frame with no screen and writes it as a binary
// PPM picture. This is how a server, a batch job or a test uses the
// library: SDL's offscreen video driver gives the display its pages, and
// the program reads the pixels back instead of looking at them.
//
//   headless-frame OUT.ppm
//
// The frame: a 320 x 240 page filled dark blue (0, 0, 128), with a red
// square (255, 0, 0) 64 pixels wide over its centre, a little above it.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "brivondel.h"
#include "brivondel_linux.h"

namespace {

constexpr int WIDTH = 320, HEIGHT = 240;

// The byte of a 32-bit pixel that holds the colour with this mask.
int byte_of(uint32_t mask) { return mask == 0xFF ? 0 : mask == 0xFF00 ? 1 : mask == 0xFF0000 ? 2 : 3; }

// A colour as a pixel value of the display's 32-bit format.
uint32_t pixel(uint8_t red, uint8_t green, uint8_t blue) {
    return uint32_t(red) << 8 * byte_of(bv_display.red_mask) | uint32_t(green) << 8 * byte_of(bv_display.green_mask) |
           uint32_t(blue) << 8 * byte_of(bv_display.blue_mask);
}

// A one-colour 4 x 4 texture: 3 bytes a texel on 32-bit pages, the pixel's
// low three bytes in memory order.
uint8_t red_texels[4 * 4 * 3];

void draw_frame() {
    bv_set_color(static_cast<int32_t>(pixel(0, 0, 128)));
    bv_fill_page();
    for (int i = 0; i < 16; ++i)
        for (int b = 0; b < 3; ++b) red_texels[3 * i + b] = pixel(255, 0, 0) >> 8 * b & 0xFF;
    bv_alloc_textures(1);
    bv_select_texture(bv_define_texture(red_texels, 4, 4));
    // A 40-unit square 100 units away, 10 up; the viewport maps (x, y) to
    // (160 + 160 * x/z, 120 - 160 * y/z): columns 128 to 192, rows 72 to 136.
    bv_set_3d_viewport(0, WIDTH - 1, 0, HEIGHT - 1, 0.5);
    bv_set_3d_depth(1.0, 1000.0);
    bv_set_3d_pose(0, 10, 100, 0, 0, 0);
    const Vertex3 square[4] = {{20, -20, 0}, {-20, -20, 0}, {-20, 20, 0}, {20, 20, 0}};
    const TexCoord corners[4] = {{3, 3}, {0, 3}, {0, 0}, {3, 0}};
    bv_draw_3d_poly(square, corners, 4);
}

// bv_copy_page hands over the page's rows top row first, 4 bytes a pixel
// at 32 bits; a PPM wants red, green, blue.
bool write_ppm(const char *path, const std::vector<uint8_t> &page) {
    const int r = byte_of(bv_display.red_mask), g = byte_of(bv_display.green_mask), b = byte_of(bv_display.blue_mask);
    std::FILE *out = std::fopen(path, "wb");
    if (out == nullptr) return false;
    std::fprintf(out, "P6\n%d %d\n255\n", WIDTH, HEIGHT);
    for (int i = 0; i < WIDTH * HEIGHT; ++i) {
        const uint8_t *p = &page[4 * i];
        const uint8_t rgb[3] = {p[r], p[g], p[b]};
        std::fwrite(rgb, 1, 3, out);
    }
    return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: headless-frame OUT.ppm\n");
        return 64;
    }
    // No screen wanted: unless told otherwise, SDL draws into memory.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);

    bv_config_display(WIDTH, HEIGHT, 32, BV_DISPLAY_FLIP);
    if (bv_start_display() < 0) {
        std::fprintf(stderr, "headless-frame: cannot start a 32-bit display\n");
        return 1;
    }
    bv_select_page(0);
    draw_frame();
    std::vector<uint8_t> page(WIDTH * HEIGHT * 4);
    const bool read = bv_copy_page(page.data(), page.size(), nullptr) == 0;
    if (!read) std::fprintf(stderr, "headless-frame: cannot read page 0\n");
    const bool written = read && write_ppm(argv[1], page);
    if (read && !written) std::fprintf(stderr, "headless-frame: cannot write '%s': %s\n", argv[1], std::strerror(errno));
    bv_deselect_page();
    bv_free_texture(-1);
    bv_stop_display();
    return written ? 0 : 1;
}
