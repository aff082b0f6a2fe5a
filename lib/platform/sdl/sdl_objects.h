// The SDL2 backend's objects behind the opaque platform handles, shared by
// the backend's files only (the 3D device reaches surfaces through
// platform/page_link.h).
// Stands in for DirectDraw's display object, surfaces and palettes and for
// the window system's windows; it has no hardware page flipping: a flip
// converts the back buffer to 32-bit and scales it into the window's own
// framebuffer.
#ifndef BV_PLATFORM_SDL_OBJECTS_H
#define BV_PLATFORM_SDL_OBJECTS_H

#include <SDL2/SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

struct BvPlatPalette {
    PaletteEntry entries[256];
    bool stock;                 // the windows' default palette: never deleted
};

struct BvPlatWindow {
    SDL_Window *sdl;
    BvPlatPalette *palette;     // the window's selected logical palette
    bool made_by_display;       // made for a display whose caller had no window
};

struct BvPlatSurface {
    BvPlatDisplay *display;
    BvPlatSurface *back;        // a flipping primary's back buffer
    BvPlatSurface *front;       // a back buffer's primary surface
    std::unique_ptr<uint8_t[]> pixels;
    int32_t width, height;
    int32_t bits_per_pixel;
    int32_t pitch;
    plat::PixelFormat format;
    BvPlatPalette *palette;     // attached display palette (8-bit surfaces)
    bool lost;
    int32_t lock_count;
};

struct BvPlatDisplay {
    BvPlatWindow *window;       // where pages are shown
    bool owns_window;
    bool fullscreen;            // took the screen (set_fullscreen)
    bool unfullscreen_on_release;  // the caller's window was not full-screen before
    bool mode_set;
    int32_t width, height, depth;
    SDL_Surface *picture;       // the presented picture wrapped for SDL's blit (unusual window formats)
    BvPlatSurface *primary;
};

namespace plat::sdl {

// Faults the test hooks (a test-only target) inject, read across the
// backend; all zero in a program that never links the hooks.
struct Faults {
    int32_t refused_depth = 0;
    int32_t failing_restores = 0;
    bool restores_stay_lost = false;
    int64_t restore_count = 0;
    int32_t failing_locks = 0;
    int32_t pitch_padding = 0;
    int32_t desktop_depth = 0;
};
extern Faults faults;

// 16-bit pages are RGB555 instead of RGB565 (set_rgb16_layout).
extern bool rgb555_pages;

// A keyboard state fed by a key script (feed_keys) or the test hooks;
// while `injected` it replaces SDL's.
struct FedKeyboard {
    bool injected = false;
    bool keys[SDL_NUM_SCANCODES] = {};
    bool left = false, right = false, middle = false;
    bool caps_lock = false, num_lock = false;
};
extern FedKeyboard fed;

// The virtual key a key-down event carries: a modifier by its side-neutral
// code, the keypad by Num Lock, every other key by its position.
int32_t key_message_code(SDL_Scancode sc);

// Why the last display or window could not be made, in one line.
extern std::string last_failure;

// Every live surface, so that losing and palette release can reach them.
extern std::vector<BvPlatSurface *> live_surfaces;
BvPlatSurface *make_surface(BvPlatDisplay *display, int32_t width, int32_t height, int32_t bits_per_pixel);
void destroy_surface(BvPlatSurface *surface);
void lose_all_surfaces();
// Forgets a palette that is about to be deleted, wherever it is attached.
void detach_palette_everywhere(BvPlatPalette *palette);

// Every live window of the application, newest last.
extern std::vector<BvPlatWindow *> live_windows;
BvPlatWindow *make_window(const char *title, int32_t width, int32_t height, uint32_t sdl_flags);
void free_window(BvPlatWindow *window);

// The display that is started now (one at a time), null when none.
extern BvPlatDisplay *current_display;

// Presented pictures, for the test hooks.
extern int64_t flip_count;
extern std::vector<uint32_t> presented;
extern int32_t presented_width, presented_height;

// The 20 static colours of the window system (index 0-9 and 246-255).
void static_color(int32_t index, PaletteEntry *out);

}  // namespace plat::sdl

#endif
