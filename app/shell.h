// Zarvel's shell: the start-up and shutdown sequences around the scene,
// and what the program does with each window event. zarvel and bv-render
// both run this code; only the window and the event loop differ.
#ifndef ZARVEL_SHELL_H
#define ZARVEL_SHELL_H

#include <cstdint>

#include "brivondel.h"
#include "brivondel_linux.h"

namespace zarvel {

// A 64 x 64 block at 3 bytes a pixel: what 24- and 32-bit pages store
// (16-bit pages use two thirds of it).
constexpr int32_t BLOCK_SIZE = 64;
constexpr int32_t BLOCK_BYTES = BLOCK_SIZE * BLOCK_SIZE * 3;

// What start-up is given; the defaults are the demo's own.
struct StartOptions {
    const char *pcx_file = "CUBE.PCX";
    int32_t depth = 16;
    int32_t display_flags = 13;
    int32_t render_flags = 13;
};

struct StartResult {
    int32_t device_kind;    // bv_start_display's result: -1 when the display failed
    int32_t pcx_result;     // bv_load_pcx's result; -1 when it was never reached
};

// The application's state across start-up, the loop and shutdown.
struct AppState {
    BvPlatWindow *window_dc;
    bv_hpalette palette;
    int32_t page;
    bv_zbuffer zbuffer;
    int32_t active;         // the last activation: nonzero lets the loop redraw
    int32_t ready;          // 1 once start-up has finished
};

extern AppState app;
// The texel storage of the six memory textures: must outlive them.
extern uint8_t pixel_blocks[6][BLOCK_BYTES];

// The start-up sequence, for the window given (null: no window of our
// own). Stops right after a display start that failed.
StartResult StartUp(BvPlatWindow *window, const StartOptions &options);
// The shutdown sequence, in reverse order; safe after a failed start-up.
void ShutDown();

// The window procedure: returns false when the program is to end.
bool HandleEvent(const BvEvent &event);

// One line saying why the display did not start.
const char *DisplayFailureReason();
// What a bv_load_pcx result means, for a message.
const char *PcxResultMeaning(int32_t result);

}  // namespace zarvel

#endif
