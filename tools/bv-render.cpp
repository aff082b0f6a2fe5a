// bv-render: the demo without a screen. It runs zarvel's own start-up
// sequence and UpdateFrame on a headless 640 x 480 display, holding keys
// through the library's key script (bv_feed_keys), and writes the last frame drawn.
//
//   bv-render [--pcx FILE] [--depth 8|16|24|32] [--rgb555] [--flags N]
//             [--display-flags N] [--keys SCRIPT] [--out IMAGE] [--raw FILE]
//             [--show-device]
//
// SCRIPT is a comma-separated list of [shift+]KEY[*COUNT]; each repetition
// is one UpdateFrame call with exactly that key (and Shift) held.
// --show-device prints "device kind K" after start-up (0: the library's own
// scan converters, 1 or 2: a software or hardware 3D device). Usage
// errors exit 64, a display that cannot start exits 1.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "brivondel_linux.h"
#include "command_line.h"
#include "image_writer.h"
#include "scene.h"
#include "shell.h"

namespace {

using namespace bvtools;

constexpr int EXIT_NO_DISPLAY = 1;
constexpr long long MAX_REPEAT = 1000000;

const char *const USAGE =
    "usage: bv-render [--pcx FILE] [--depth 8|16|24|32] [--rgb555] [--flags N] [--display-flags N] "
    "[--keys SCRIPT] [--out IMAGE] [--raw FILE] [--show-device]\n"
    "  SCRIPT: comma-separated [shift+]KEY[*COUNT], KEY one of kp_minus, kp_plus, left, right, up, down, "
    "x, y, z, none";

const char *const HELP =
    "Usage: bv-render [OPTION]...\n"
    "Draw the Zarvel demo's frames on a headless 640x480 display, with the demo's\n"
    "own start-up and frame code, and write the last frame drawn as an image.\n"
    "\n"
    "Options:\n"
    "  --pcx FILE           the texture sheet (default CUBE.PCX in the current folder)\n"
    "  --depth 8|16|24|32   bits per pixel of the display (default 16)\n"
    "  --rgb555             16-bit pages are 5-5-5 instead of 5-6-5\n"
    "  --flags N            render flags (default 13: perspective, depth, clip)\n"
    "  --display-flags N    display flags (default 13; 15 allows an OpenGL device)\n"
    "  --keys SCRIPT        keys held frame by frame: comma-separated\n"
    "                       [shift+]KEY[*COUNT], KEY one of kp_minus, kp_plus, left,\n"
    "                       right, up, down, x, y, z, none\n"
    "  --out IMAGE          write the last frame as IMAGE (.ppm or .png)\n"
    "  --raw FILE           write the last frame's pixels as they are stored\n"
    "  --show-device        print \"device kind K\" (0 the library's scan converters,\n"
    "                       1 or 2 a software or hardware 3D device)\n"
    "  -h, --help           show this help and exit\n"
    "  --version            show the version and exit\n"
    "\n"
    "Exit status: 0 drawn, 1 no display, 64 usage error, 70 no frame, 73 cannot write.\n";

// One step of the key script: `count` calls with `scan_code` (0: none) held.
struct KeyStep {
    int32_t scan_code;
    bool shift;
    int32_t count;
};

struct Options {
    zarvel::StartOptions start;
    std::string pcx = "CUBE.PCX";
    bool rgb555 = false;
    std::vector<KeyStep> steps;
    std::string out, raw;
    bool show_device = false;
};

bool scan_code_of(const std::string &name, int32_t &code) {
    struct Named {
        const char *name;
        int32_t code;
    };
    static const Named keys[] = {
        {"kp_minus", zarvel::SCAN_KP_MINUS}, {"kp_plus", zarvel::SCAN_KP_PLUS}, {"left", zarvel::SCAN_LEFT},
        {"right", zarvel::SCAN_RIGHT},       {"up", zarvel::SCAN_UP},           {"down", zarvel::SCAN_DOWN},
        {"x", zarvel::SCAN_X},               {"y", zarvel::SCAN_Y},             {"z", zarvel::SCAN_Z},
        {"none", 0},
    };
    for (const Named &k : keys) {
        if (name == k.name) {
            code = k.code;
            return true;
        }
    }
    return false;
}

KeyStep parse_step(const std::string &text) {
    KeyStep step{0, false, 1};
    std::string rest = text;
    const std::string shift_prefix = "shift+";
    if (rest.compare(0, shift_prefix.size(), shift_prefix) == 0) {
        step.shift = true;
        rest.erase(0, shift_prefix.size());
    }
    const std::size_t star = rest.find('*');
    if (star != std::string::npos) {
        const std::string count = rest.substr(star + 1);
        if (!parse_int(count.c_str(), 1, MAX_REPEAT, step.count))
            usage_error("in --keys step '" + text + "': COUNT must be a number from 1 to " + std::to_string(MAX_REPEAT));
        rest.erase(star);
    }
    if (!scan_code_of(rest, step.scan_code))
        usage_error("in --keys step '" + text + "': unknown key '" + rest + "'");
    return step;
}

std::vector<KeyStep> parse_script(const std::string &script) {
    std::vector<KeyStep> steps;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t comma = script.find(',', begin);
        const std::string item = script.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
        if (item.empty()) usage_error("--keys has an empty step in '" + script + "'");
        steps.push_back(parse_step(item));
        if (comma == std::string::npos) return steps;
        begin = comma + 1;
    }
}

int32_t flags_value(const char *option, const char *text) {
    int32_t v = 0;
    if (!parse_int(text, INT32_MIN, INT32_MAX, v))
        usage_error(std::string(option) + " must be a number, not '" + text + "'");
    return v;
}

Options parse_options(int argc, char **argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--pcx") {
            o.pcx = option_value(argc, argv, i);
        } else if (arg == "--depth") {
            o.start.depth = depth_option(argc, argv, i);
        } else if (arg == "--rgb555") {
            o.rgb555 = true;
        } else if (arg == "--flags") {
            o.start.render_flags = flags_value("--flags", option_value(argc, argv, i));
        } else if (arg == "--display-flags") {
            o.start.display_flags = flags_value("--display-flags", option_value(argc, argv, i));
        } else if (arg == "--keys") {
            o.steps = parse_script(option_value(argc, argv, i));
        } else if (arg == "--out") {
            o.out = bvtools::image_path_option(argc, argv, i);
        } else if (arg == "--raw") {
            o.raw = option_value(argc, argv, i);
            if (o.raw.empty()) usage_error("--raw needs a file name");
        } else if (arg == "--show-device") {
            o.show_device = true;
        } else {
            usage_error("unknown argument '" + arg + "'");
        }
    }
    if (o.steps.empty()) o.steps.push_back(KeyStep{0, false, 1});
    return o;
}

// The page as it is about to be presented, in its own pixel format.
bvtools::PageCopy last_frame;
bool have_frame = false;

void capture_frame() { have_frame = bvtools::copy_current_page(last_frame); }

void hold(const KeyStep &step) {
    int32_t codes[2];
    int32_t n = 0;
    if (step.shift) codes[n++] = zarvel::SCAN_LEFT_SHIFT;
    if (step.scan_code != 0) codes[n++] = step.scan_code;
    bv_feed_keys(codes, n);
}

// A call draws when it holds a control key, and the very first call draws
// anyway; only the last call that draws has its frame kept, so that the
// frames before it cost no page copy (a read-back from the 3D device).
std::size_t last_drawing_step(const std::vector<KeyStep> &steps) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < steps.size(); ++i)
        if (steps[i].scan_code != 0) last = i;
    return last;
}

void run_script(const std::vector<KeyStep> &steps) {
    const std::size_t keep = last_drawing_step(steps);
    for (std::size_t s = 0; s < steps.size(); ++s) {
        const KeyStep &step = steps[s];
        hold(step);
        for (int32_t i = 0; i < step.count; ++i) {
            const bool keeps_frame = s == keep && (step.scan_code != 0 ? i == step.count - 1 : i == 0);
            zarvel::SetFrameObserver(keeps_frame ? capture_frame : nullptr);
            zarvel::UpdateFrame();
        }
    }
    zarvel::SetFrameObserver(nullptr);
    bv_release_fed_keys();
}

void write_or_fail(const std::string &what, const std::string &path, const std::string &error) {
    if (!error.empty()) fail(EXIT_CANT_WRITE, "cannot write " + what + " '" + path + "': " + error);
}

}  // namespace

int main(int argc, char **argv) {
    set_program("bv-render", USAGE);
    answer_help_and_version(argc, argv, HELP);
    Options o = parse_options(argc, argv);
    o.start.pcx_file = o.pcx.c_str();
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) setenv("SDL_VIDEODRIVER", "offscreen", 1);

    bv_use_rgb555(o.rgb555 ? 1 : 0);
    const zarvel::StartResult started = zarvel::StartUp(nullptr, o.start);
    if (started.device_kind < 0) {
        const std::string why = zarvel::DisplayFailureReason();
        zarvel::ShutDown();
        fail(EXIT_NO_DISPLAY, "cannot start the display (640x480, " + std::to_string(o.start.depth) + " bits): " + why);
    }
    if (o.show_device) {
        std::printf("device kind %d\n", started.device_kind);
        std::fflush(stdout);
    }
    if (started.pcx_result != 0) {
        std::fprintf(stderr, "bv-render: cannot read %s: %s (result %d)%s; the faces stay blank\n", o.pcx.c_str(),
                     zarvel::PcxResultMeaning(started.pcx_result), started.pcx_result, open_failure_clause(o.pcx.c_str()).c_str());
    }

    run_script(o.steps);

    if (!have_frame) {
        zarvel::ShutDown();
        fail(EXIT_SOFTWARE, "no frame to write: the display has no page 0 (display flags " +
                                std::to_string(o.start.display_flags) + ")");
    }
    if (!o.out.empty()) write_or_fail("image", o.out, bvtools::write_image(o.out, last_frame.view));
    if (!o.raw.empty()) write_or_fail("raw pixels", o.raw, bvtools::write_raw(o.raw, last_frame.view));
    zarvel::ShutDown();
    return 0;
}
