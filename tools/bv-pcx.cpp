// bv-pcx: shows what the library's PCX reader does to a file. It starts a
// headless display, loads the file onto page 0 and can write the page as
// an image, as raw pixels, and the library palette.
//
//   bv-pcx FILE [--depth 8|16|24|32] [--rgb555] [--size WxH] [--flags N]
//               [--at X,Y] [--repeat N] [--out IMAGE] [--raw FILE]
//               [--palette FILE]
//
// Prints "result R" and exits with status R, the reader's result; usage
// errors exit 64. --repeat N loads the file N times (0 to 100000), so that
// timing the process measures the decoder rather than the start-up; the
// result is that of the last load, or the first that failed, and 0 when
// the file was never loaded.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "brivondel.h"
#include "brivondel_linux.h"
#include "command_line.h"
#include "image_writer.h"

namespace {

using namespace bvtools;

const char *const USAGE =
    "usage: bv-pcx FILE [--depth 8|16|24|32] [--rgb555] [--size WxH] [--flags N] [--at X,Y] "
    "[--repeat N] [--out IMAGE] [--raw FILE] [--palette FILE]";

const char *const HELP =
    "Usage: bv-pcx FILE [OPTION]...\n"
    "Load a PCX picture with the Brivondel library's reader onto page 0 of a\n"
    "headless display and print \"result R\", the reader's result (0 read, 1 cannot\n"
    "open, 2 not a PCX file, 3 a layout the page cannot show, 4 no memory); the\n"
    "exit status is R, or 64 for a usage error.\n"
    "\n"
    "Options:\n"
    "  --depth 8|16|24|32  bits per pixel of the page (default 32)\n"
    "  --rgb555            16-bit pages are 5-5-5 instead of 5-6-5\n"
    "  --size WxH          page size (default 640x480)\n"
    "  --flags N           the reader's flags: 1 keep the palette, 2 load at the\n"
    "                      cursor, 8 no colour reduction\n"
    "  --at X,Y            the cursor before loading (with --flags 2)\n"
    "  --repeat N          load N times (0 to 100000), to time the decoder\n"
    "  --out IMAGE         write the page as IMAGE (.ppm or .png)\n"
    "  --raw FILE          write the page's pixels as they are stored\n"
    "  --palette FILE      write the library palette, 256 RGB triples\n"
    "  -h, --help          show this help and exit\n"
    "  --version           show the version and exit\n";

struct Options {
    std::string file;
    int32_t depth = 32;
    bool rgb555 = false;
    int32_t width = 640, height = 480;
    int32_t flags = 0;
    int32_t at_x = 0, at_y = 0;
    int32_t repeat = 1;
    std::string out, raw, palette;
};

Options parse_options(int argc, char **argv) {
    if (argc < 2) usage_error(USAGE);
    Options o;
    bool have_file = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--depth") {
            o.depth = depth_option(argc, argv, i);
        } else if (arg == "--rgb555") {
            o.rgb555 = true;
        } else if (arg == "--size") {
            const char *v = option_value(argc, argv, i);
            if (!parse_pair(v, 'x', 1, 16384, o.width, o.height))
                usage_error(std::string("--size must be WxH with both from 1 to 16384, not '") + v + "'");
        } else if (arg == "--flags") {
            const char *v = option_value(argc, argv, i);
            if (!parse_int(v, INT32_MIN, INT32_MAX, o.flags))
                usage_error(std::string("--flags must be a number, not '") + v + "'");
        } else if (arg == "--at") {
            const char *v = option_value(argc, argv, i);
            if (!parse_pair(v, ',', INT32_MIN, INT32_MAX, o.at_x, o.at_y))
                usage_error(std::string("--at must be X,Y, not '") + v + "'");
        } else if (arg == "--repeat") {
            const char *v = option_value(argc, argv, i);
            if (!parse_int(v, 0, 100000, o.repeat))
                usage_error(std::string("--repeat must be a number from 0 to 100000, not '") + v + "'");
        } else if (arg == "--out") {
            o.out = bvtools::image_path_option(argc, argv, i);
        } else if (arg == "--raw") {
            o.raw = option_value(argc, argv, i);
        } else if (arg == "--palette") {
            o.palette = option_value(argc, argv, i);
        } else if (arg.size() > 1 && arg[0] == '-') {
            usage_error("unknown option '" + arg + "'");
        } else if (have_file) {
            usage_error("only one FILE may be given ('" + o.file + "' and '" + arg + "')");
        } else {
            o.file = arg;
            have_file = true;
        }
    }
    if (!have_file) usage_error("no FILE given");
    return o;
}

void write_or_fail(const std::string &what, const std::string &path, const std::string &error) {
    if (!error.empty()) fail(EXIT_CANT_WRITE, "cannot write " + what + " '" + path + "': " + error);
}

void write_outputs(const Options &o) {
    if (o.out.empty() && o.raw.empty() && o.palette.empty()) return;
    bvtools::PageCopy page;
    if ((!o.out.empty() || !o.raw.empty()) && !bvtools::copy_current_page(page))
        fail(EXIT_SOFTWARE, "cannot read page 0");
    if (!o.out.empty()) write_or_fail("image", o.out, bvtools::write_image(o.out, page.view));
    if (!o.raw.empty()) write_or_fail("raw pixels", o.raw, bvtools::write_raw(o.raw, page.view));
    if (!o.palette.empty()) {
        uint8_t rgb[256 * 3];
        for (int i = 0; i < 256; ++i) {
            const PaletteEntry &e = bv_palette.log_palette.entries[i];
            rgb[3 * i] = e.red;
            rgb[3 * i + 1] = e.green;
            rgb[3 * i + 2] = e.blue;
        }
        write_or_fail("palette", o.palette, bvtools::write_file(o.palette, rgb, sizeof rgb));
    }
}

// The reader's result 1 says only that the file did not open: say why,
// on standard error, and leave the result line as it is.
void report_unopenable_file(const Options &o) {
    if (o.repeat == 0 || (o.flags & BV_PCX_FROM_BUFFER) != 0) return;
    const std::string why = open_failure(o.file.c_str());
    if (!why.empty()) std::fprintf(stderr, "bv-pcx: cannot open '%s': %s\n", o.file.c_str(), why.c_str());
}

}  // namespace

int main(int argc, char **argv) {
    set_program("bv-pcx");
    answer_help_and_version(argc, argv, HELP);
    const Options o = parse_options(argc, argv);
    report_unopenable_file(o);
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) setenv("SDL_VIDEODRIVER", "offscreen", 1);

    bv_use_rgb555(o.rgb555 ? 1 : 0);
    bv_config_display(o.width, o.height, o.depth, BV_DISPLAY_FLIP);
    const bv_hpalette palette = bv_make_palette();
    bv_use_palette(palette);
    if (bv_start_display() < 0) {
        const std::string why = bv_display_error();
        fail(EXIT_SOFTWARE, "cannot start a " + std::to_string(o.width) + "x" + std::to_string(o.height) + " display at " +
                                std::to_string(o.depth) + " bits" + (why.empty() ? "" : ": " + why));
    }
    bv_set_dib_depth(o.depth);
    if (bv_select_page(0) != 0) fail(EXIT_SOFTWARE, "the display registered no page 0");
    bv_attach_palette();
    bv_set_color(0);
    bv_fill_page();
    bv_move_to(o.at_x, o.at_y);
    int32_t result = 0;
    for (int32_t i = 0; i < o.repeat && result == 0; ++i) result = bv_load_pcx(o.file.c_str(), o.flags);
    std::printf("result %d\n", result);
    std::fflush(stdout);

    write_outputs(o);
    bv_deselect_page();
    bv_stop_display();
    bv_delete_palette(palette);
    return result;
}
