// show-pcx: shows a PCX picture full-screen until a key is pressed.
//
//   show-pcx FILE [--depth 8|16|24|32] [--frames N]
//
// --frames N stops after N frames even when no key is pressed, so that the
// program can run without a screen (SDL_VIDEODRIVER=offscreen).
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "brivondel.h"

namespace {

struct Options {
    const char *file = nullptr;
    int depth = 32;
    long frames = -1;  // -1: until a key is pressed
};

bool parse_options(int argc, char **argv, Options &o) {
    for (int i = 1; i < argc; ++i) {
        const bool has_value = i + 1 < argc;
        if (std::strcmp(argv[i], "--depth") == 0 && has_value) {
            o.depth = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--frames") == 0 && has_value) {
            o.frames = std::atol(argv[++i]);
        } else if (argv[i][0] != '-' && o.file == nullptr) {
            o.file = argv[i];
        } else {
            return false;
        }
    }
    const bool known_depth = o.depth == 8 || o.depth == 16 || o.depth == 24 || o.depth == 32;
    return o.file != nullptr && known_depth && o.frames >= -1;
}

// The reader only says a file would not open; opening it once more gives
// the system's reason.
const char *open_failure(const char *file) {
    std::FILE *f = std::fopen(file, "rb");
    if (f == nullptr) return std::strerror(errno);
    std::fclose(f);
    return "it opens now";
}

// What bv_load_pcx's other results mean.
const char *pcx_failure(int result) {
    switch (result) {
    case 2: return "not a PCX file";
    case 3: return "a layout this display depth cannot show";
    default: return "no memory for it";
    }
}

}  // namespace

int main(int argc, char **argv) {
    Options o;
    if (!parse_options(argc, argv, o)) {
        std::fprintf(stderr, "usage: show-pcx FILE [--depth 8|16|24|32] [--frames N]\n");
        return 64;
    }

    // A full-screen 640 x 480 display with a back buffer (page 0). With no
    // window given (no bv_set_dc), the library opens its own.
    bv_config_display(640, 480, o.depth, BV_DISPLAY_FLIP);
    // The library's palette: an 8-bit display shows its picture through it.
    bv_hpalette palette = bv_make_palette();
    bv_use_palette(palette);
    if (bv_start_display() < 0) {
        std::fprintf(stderr, "show-pcx: cannot start a %d-bit display\n", o.depth);
        bv_delete_palette(palette);
        return 1;
    }
    bv_select_page(0);
    bv_attach_palette();  // 8-bit pages take the display palette
    bv_set_color(0);
    bv_fill_page();

    // Flags 0: the picture goes where its header puts it, and its colours
    // are installed in the palette (on 8-bit displays, entries 10 to 245).
    const int result = bv_load_pcx(o.file, 0);
    if (result == 1) std::fprintf(stderr, "show-pcx: cannot open '%s': %s\n", o.file, open_failure(o.file));
    else if (result != 0) std::fprintf(stderr, "show-pcx: cannot show '%s': %s\n", o.file, pcx_failure(result));

    // Present the page until a key (scan code 0: any key) goes down.
    for (long frame = 0; result == 0 && frame != o.frames; ++frame) {
        bv_flip();
        if (bv_key_pressed(0)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }

    bv_deselect_page();
    bv_stop_display();
    bv_delete_palette(palette);
    return result == 0 ? 0 : 1;
}
