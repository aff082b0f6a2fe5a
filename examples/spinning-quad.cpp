// spinning-quad: one textured square turning in perspective, drawn with
// the depth buffer, until a key is pressed.
//
//   spinning-quad [--frames N]
//
// --frames N stops after N frames, so that the program can run without a
// screen (SDL_VIDEODRIVER=offscreen).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "brivondel.h"

namespace {

constexpr int WIDTH = 640, HEIGHT = 480;
constexpr int SIDE = 64;  // texels along each edge of the texture

// The texture stays in our memory while the library draws from it. On
// 24- and 32-bit pages a texel is 3 bytes: the pixel's low three bytes.
uint8_t checkerboard[SIDE * SIDE * 3];

// The low 3 bytes of a 32-bit pixel value, in memory (little-endian) order.
void store_texel(uint8_t *texel, uint32_t pixel) {
    texel[0] = pixel & 0xFF;
    texel[1] = (pixel >> 8) & 0xFF;
    texel[2] = (pixel >> 16) & 0xFF;
}

// Eight by eight squares, yellow and dark blue, in the display's format.
void make_checkerboard() {
    const uint32_t yellow = bv_display.red_mask | bv_display.green_mask;
    const uint32_t dark_blue = bv_display.blue_mask & 0x808080;
    for (int v = 0; v < SIDE; ++v)
        for (int u = 0; u < SIDE; ++u)
            store_texel(&checkerboard[(v * SIDE + u) * 3], ((u / 8 + v / 8) % 2) != 0 ? yellow : dark_blue);
}

// A square 60 units wide about the origin, and the texture corners its
// corners take.
const Vertex3 square[4] = {{30, -30, 0}, {-30, -30, 0}, {-30, 30, 0}, {30, 30, 0}};
const TexCoord corners[4] = {{SIDE - 1, SIDE - 1}, {0, SIDE - 1}, {0, 0}, {SIDE - 1, 0}};

void draw_frame(int angle) {
    bv_zbuffer_frame();  // a new frame: every depth in the buffer is stale
    bv_set_color(0);
    bv_fill_page();
    // 150 units in front of the eye, turned about Y (tenths of a degree)
    // and a little about X so that the perspective shows.
    bv_set_3d_pose(0, 0, 150, 200, angle, 0);
    bv_draw_3d_poly(square, corners, 4);
    bv_flip();
}

}  // namespace

int main(int argc, char **argv) {
    long frames = -1;  // -1: until a key is pressed
    if (argc == 3 && std::strcmp(argv[1], "--frames") == 0) frames = std::atol(argv[2]);
    if (argc != 1 && (argc != 3 || frames < 0)) {
        std::fprintf(stderr, "usage: spinning-quad [--frames N]\n");
        return 64;
    }

    bv_config_display(WIDTH, HEIGHT, 32, BV_DISPLAY_FLIP);
    if (bv_start_display() < 0) {
        std::fprintf(stderr, "spinning-quad: cannot start a 32-bit display\n");
        return 1;
    }
    bv_select_page(0);

    // The depth buffer: one entry a pixel, opened for the drawing below.
    bv_zbuffer depth = bv_alloc_zbuffer(WIDTH, HEIGHT);
    bv_open_zbuffer(depth);
    // The view: the whole page, near and far planes, and the render flags:
    // perspective-correct texturing, the depth test, near-plane clipping.
    bv_set_3d_viewport(0, WIDTH - 1, 0, HEIGHT - 1, 1.0);
    bv_set_3d_depth(10.0, 1000.0);
    bv_set_3d_flags(RF_PERSPECTIVE | RF_DEPTH | RF_CLIP);

    make_checkerboard();
    bv_alloc_textures(1);
    bv_select_texture(bv_define_texture(checkerboard, SIDE, SIDE));

    for (long frame = 0; frame != frames && !bv_key_pressed(0); ++frame) {
        draw_frame(static_cast<int>(frame * 20 % 3600));  // 2 degrees a frame
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }

    bv_deselect_page();
    bv_free_texture(-1);
    bv_free_zbuffer(depth);
    bv_stop_display();
    return 0;
}
