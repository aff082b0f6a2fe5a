// zarvel: the demo. A borderless full-screen window shows the turning cube;
// keypad minus and plus, the arrows and X, Y, Z (Shift reverses a turn)
// move it; Escape or F12 ends the program.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "brivondel_linux.h"
#include "command_line.h"
#include "scene.h"
#include "shell.h"

namespace {

using namespace zarvel;

const char *const HELP =
    "Usage: zarvel [OPTION]...\n"
    "The Brivondel demo: a textured cube, full-screen at 640x480, that you move\n"
    "and turn from the keyboard.\n"
    "\n"
    "Keys: keypad - and + move the cube farther away and nearer; the arrows move it\n"
    "left, right, up and down; X, Y and Z turn it about that axis (with Shift the\n"
    "other way); Escape or F12 quits.\n"
    "\n"
    "The faces come from CUBE.PCX in the current folder: the build writes one into\n"
    "the build folder, and installing puts one in share/brivondel/ under the\n"
    "installation prefix (e.g. /usr/local/share/brivondel/CUBE.PCX); start zarvel\n"
    "in that folder. Without the file the faces stay blank.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "Exit status: 0 after Escape or F12, 1 when no display can start, 64 for a\n"
    "usage error.\n";

// zarvel takes no arguments besides --help and --version.
void parse_arguments(int argc, char **argv) {
    bvtools::set_program("zarvel", "usage: zarvel [--help] [--version]");
    bvtools::answer_help_and_version(argc, argv, HELP);
    if (argc > 1) bvtools::usage_error(std::string("unknown argument '") + argv[1] + "'");
}

// Without any display SDL would try several drivers and warn about each:
// say it once, plainly.
bool display_is_named() {
    const char *driver = std::getenv("SDL_VIDEODRIVER");
    if (driver != nullptr && driver[0] != '\0') return true;
    const char *x11 = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && x11[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}

// Redraw whenever no event waits and the application is active. A call
// that drew nothing, or an inactive application, pauses briefly instead of
// spinning a core: nothing on screen can change before the next event.
void pause_when_idle(bool drew) {
    if (drew) return;
    std::this_thread::sleep_for(app.active != 0 ? std::chrono::milliseconds(1) : std::chrono::milliseconds(10));
}

void run_message_loop() {
    for (;;) {
        BvEvent event{};
        if (bv_poll_event(&event) != 0) {
            if (!HandleEvent(event)) return;
            continue;
        }
        bool drew = false;
        if (app.active != 0) {
            const int64_t before = FramesDrawn();
            UpdateFrame();
            drew = FramesDrawn() != before;
        }
        pause_when_idle(drew);
    }
}

}  // namespace

int main(int argc, char **argv) {
    parse_arguments(argc, argv);
    if (!display_is_named()) {
        std::fprintf(stderr, "zarvel: cannot start the display: no display found (DISPLAY is not set)\n");
        return 1;
    }
    const BvWindowSpec spec{"Zarvel", "BVzarvelx", 640, 480, 1};
    BvPlatWindow *window = bv_create_window(&spec);
    if (window == nullptr) {
        std::fprintf(stderr, "zarvel: cannot start the display: %s\n", DisplayFailureReason());
        return 1;
    }
    const StartResult started = StartUp(window, StartOptions{});
    if (started.device_kind < 0) {
        std::fprintf(stderr, "zarvel: cannot start the display: %s\n", DisplayFailureReason());
        ShutDown();
        bv_destroy_window(window);
        return 1;
    }
    if (started.pcx_result != 0) {
        const char *sheet = StartOptions{}.pcx_file;
        std::fprintf(stderr, "zarvel: cannot read %s: %s (result %d)%s; the faces stay blank\n", sheet,
                     PcxResultMeaning(started.pcx_result), started.pcx_result, bvtools::open_failure_clause(sheet).c_str());
    }

    run_message_loop();

    ShutDown();
    bv_destroy_window(window);
    return 0;
}
