// palette-cycle: an 8-bit page of diagonal colour bands that flow, with
// no pixel redrawn: each frame only rotates the palette entries the bands
// use, with bv_set_palette.
//
//   palette-cycle [--frames N]
//
// --frames N stops after N frames, so that the program can run without a
// screen (SDL_VIDEODRIVER=offscreen); otherwise any key stops it.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <thread>

#include "brivondel.h"

namespace {

constexpr int WIDTH = 640, HEIGHT = 480;
// Entries 10 to 245 are free for the program; the rest stay the system's.
constexpr int FIRST = 10, COUNT = 236;
constexpr int SIDE = 64;

uint8_t bands[SIDE * SIDE];  // an 8-bit texture: one palette index a texel
uint8_t ramp[COUNT * 3];     // the colours of entries FIRST.. FIRST+COUNT-1

// Each texel names an entry by its diagonal, so every entry is a band.
void make_bands() {
    for (int v = 0; v < SIDE; ++v)
        for (int u = 0; u < SIDE; ++u) bands[v * SIDE + u] = static_cast<uint8_t>(FIRST + (u + v) * (COUNT - 1) / (2 * SIDE - 2));
}

// A smooth loop of hues, so that rotating it never shows a seam.
void make_ramp() {
    for (int i = 0; i < COUNT; ++i)
        for (int c = 0; c < 3; ++c)
            ramp[3 * i + c] = static_cast<uint8_t>(127.5 + 127.5 * std::sin(2 * std::numbers::pi * (i / double(COUNT) + c / 3.0)));
}

// Draws the texture over the whole page: with the viewport's factor 0.5 a
// point at depth z lands on the page's edge when |x| = z.
void draw_bands() {
    const double z = 100.0, x = z, y = z * HEIGHT / WIDTH;
    const Vertex3 page[4] = {{x, -y, z}, {-x, -y, z}, {-x, y, z}, {x, y, z}};
    const TexCoord corners[4] = {{SIDE - 1, SIDE - 1}, {0, SIDE - 1}, {0, 0}, {SIDE - 1, 0}};
    bv_set_3d_viewport(0, WIDTH - 1, 0, HEIGHT - 1, 0.5);
    bv_set_3d_depth(1.0, 1000.0);
    bv_set_3d_flags(0);
    bv_set_3d_pose(0, 0, 0, 0, 0, 0);
    bv_alloc_textures(1);
    bv_select_texture(bv_define_texture(bands, SIDE, SIDE));
    bv_draw_3d_poly(page, corners, 4);
}

// Entry FIRST + i shows ramp colour (i + shift) mod COUNT.
void rotate_palette(int shift) {
    uint8_t rotated[COUNT * 3];
    for (int i = 0; i < COUNT; ++i) std::memcpy(&rotated[3 * i], &ramp[3 * ((i + shift) % COUNT)], 3);
    bv_set_palette(FIRST, COUNT, rotated);
}

}  // namespace

int main(int argc, char **argv) {
    long frames = -1;  // -1: until a key is pressed
    if (argc == 3 && std::strcmp(argv[1], "--frames") == 0) frames = std::atol(argv[2]);
    if (argc != 1 && (argc != 3 || frames < 0)) {
        std::fprintf(stderr, "usage: palette-cycle [--frames N]\n");
        return 64;
    }

    bv_config_display(WIDTH, HEIGHT, 8, BV_DISPLAY_FLIP);
    bv_hpalette palette = bv_make_palette();
    bv_use_palette(palette);
    if (bv_start_display() < 0) {
        std::fprintf(stderr, "palette-cycle: cannot start an 8-bit display\n");
        bv_delete_palette(palette);
        return 1;
    }
    bv_select_page(0);
    bv_attach_palette();  // the page shows through the display palette
    make_bands();
    make_ramp();
    draw_bands();

    for (long frame = 0; frame != frames && !bv_key_pressed(0); ++frame) {
        rotate_palette(static_cast<int>(frame % COUNT));
        bv_flip();  // presents the same pixels with the new colours
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }

    bv_deselect_page();
    bv_free_texture(-1);
    bv_stop_display();
    bv_delete_palette(palette);
    return 0;
}
