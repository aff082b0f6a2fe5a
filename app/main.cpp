// zarvel: the demo. A borderless full-screen window shows the turning cube;
// keypad minus and plus, the arrows and X, Y, Z (Shift reverses a turn)
// move it; Escape or F12 ends the program.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "brivondel_linux.h"
#include "scene.h"
#include "shell.h"

namespace {

using namespace zarvel;

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

int main() {
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
        std::fprintf(stderr, "zarvel: cannot read %s: %s (result %d); the faces stay blank\n",
                     StartOptions{}.pcx_file, PcxResultMeaning(started.pcx_result), started.pcx_result);
    }

    run_message_loop();

    ShutDown();
    bv_destroy_window(window);
    return 0;
}
