// The platform contract: everything the library's logic needs from the
// operating system, in the library's own words. The logic in lib/display,
// lib/image, lib/pipeline, lib/raster, lib/input and lib/window calls only
// the operations declared here; no SDL or OpenGL type appears.
//
// Who implements what:
//   - the display backend (lib/platform/sdl: SDL2) implements every section
//     but the last: display, surfaces, palettes, font, keyboard, window;
//   - the 3D device (lib/platform/gl: OpenGL through EGL) implements the
//     section "3D device";
//   - the two meet only through platform/page_link.h, where each implements
//     its half (surface memory for the device; the device's picture of page
//     0 for lock, unlock, fill and flip).
// A new backend supplies every operation of its sections, each doing what
// its comment says and returning what it says; a backend without a 3D
// device makes create_3d fail and the library draws by itself.
// Fault injection for tests lives in platform/test_hooks.h, implemented
// beside each backend in files linked only into the tests.
//
// Every operation that can fail returns an int32_t result: OK (0) on
// success, otherwise one of the codes below (the public BV_ERR_ values).
#ifndef BV_PLATFORM_H
#define BV_PLATFORM_H

#include <cstdint>

#include "brivondel.h"

namespace plat {

// ---- Result codes ---------------------------------------------------------

constexpr int32_t OK = BV_OK;
constexpr int32_t ERR_GENERIC = BV_ERR_GENERIC;
constexpr int32_t ERR_SURFACE_LOST = BV_ERR_SURFACE_LOST;
constexpr int32_t ERR_UNSUPPORTED_MODE = BV_ERR_UNSUPPORTED_MODE;
constexpr int32_t ERR_OUT_OF_MEMORY = BV_ERR_OUT_OF_MEMORY;
constexpr int32_t ERR_NO_VIDEO = BV_ERR_NO_VIDEO;
constexpr int32_t ERR_NOT_FOUND = BV_ERR_NOT_FOUND;
constexpr int32_t ERR_INVALID = BV_ERR_INVALID;
constexpr int32_t ERR_NOT_FLIPPABLE = BV_ERR_NOT_FLIPPABLE;
constexpr int32_t ERR_WRONG_MODE = BV_ERR_WRONG_MODE;
constexpr int32_t ERR_NO_EXCLUSIVE_MODE = BV_ERR_NO_EXCLUSIVE_MODE;
constexpr int32_t ERR_INVALID_OBJECT = BV_ERR_INVALID_OBJECT;
constexpr int32_t ERR_NOT_LOCKED = BV_ERR_NOT_LOCKED;
constexpr int32_t ERR_SURFACE_BUSY = BV_ERR_SURFACE_BUSY;

// ---- Display ----------------------------------------------------------------

// Opens the video system and makes the display object. Fails with
// ERR_NO_VIDEO (and a reason in last_error()) when there is no display.
int32_t create_display(BvPlatDisplay **out);
void release_display(BvPlatDisplay *display);

// Why the last create_display or create_window failed, in one line; ""
// when it did not.
const char *last_error();

// Bits per pixel of the desktop.
int32_t desktop_depth();

// The window that has the keyboard focus (or the application's window);
// null when the application has made none: the display then shows its
// pages in a window of its own.
BvPlatWindow *focus_window();

// Shares the desktop in a window (windowed operation).
int32_t set_windowed(BvPlatDisplay *display, BvPlatWindow *window);
// Takes the screen for full-screen operation in this window.
int32_t set_fullscreen(BvPlatDisplay *display, BvPlatWindow *window);
// Sets the full-screen mode; only depths 8, 16, 24 and 32 exist.
int32_t set_mode(BvPlatDisplay *display, int32_t width, int32_t height, int32_t depth);

// Makes the primary surface; with flipping it gets one back buffer.
int32_t create_primary(BvPlatDisplay *display, bool flipping, uint32_t caps, BvPlatSurface **out);
// The back buffer of a flipping primary surface.
int32_t back_buffer(BvPlatSurface *primary, BvPlatSurface **out);
// Row pitch in bytes of a surface (may exceed width x bytes per pixel).
int32_t surface_pitch(BvPlatSurface *surface, int32_t *pitch);

struct PixelFormat {
    uint32_t red_mask, green_mask, blue_mask, alpha_mask;
    int32_t bits_per_pixel;
};
// The surface's channel masks and depth.
int32_t pixel_format(BvPlatSurface *surface, PixelFormat *out);

// The clipper of windowed operation: keeps drawing inside the window.
int32_t create_clipper(BvPlatDisplay *display, BvPlatWindow *window, void **out);
void release_clipper(void *clipper);

// 16-bit pages are RGB565 unless the backend is told to use RGB555; tools
// call this before start-up (the display reports the layout in its masks).
void set_rgb16_layout(bool rgb555);
// The two 16-bit layouts, told apart by their green mask.
constexpr uint32_t RGB565_GREEN_MASK = 0x07E0;
constexpr uint32_t RGB555_GREEN_MASK = 0x03E0;
constexpr bool is_rgb565(const PixelFormat &f) { return f.bits_per_pixel == 16 && f.green_mask == RGB565_GREEN_MASK; }
constexpr bool is_rgb555(const PixelFormat &f) { return f.bits_per_pixel == 16 && f.green_mask == RGB555_GREEN_MASK; }

// A memory drawing context compatible with the screen; nothing draws in it.
void *create_memory_context();
void delete_memory_context(void *context);

// Gives the screen back to the desktop's own picture.
int32_t flip_to_desktop(BvPlatDisplay *display);
void release_surface(BvPlatSurface *surface);

// ---- Surfaces -----------------------------------------------------------------

// Lock hands out the address of pixel (0,0) and the pitch.
int32_t lock_surface(BvPlatSurface *surface, uint8_t **base, int32_t *pitch);
int32_t unlock_surface(BvPlatSurface *surface);
// Writes the colour value over the whole surface (low bytes first).
int32_t fill_surface(BvPlatSurface *surface, uint32_t color);
int32_t restore_surface(BvPlatSurface *surface);
// Presents the back buffer of a flipping primary surface.
int32_t flip(BvPlatSurface *primary);

// ---- Palettes -----------------------------------------------------------------

// The display palette of 8-bit modes: decides the colours the screen shows.
int32_t create_display_palette(BvPlatDisplay *display, const PaletteEntry entries[256], BvPlatPalette **out);
int32_t set_surface_palette(BvPlatSurface *surface, BvPlatPalette *palette);
int32_t set_display_palette_entries(BvPlatPalette *palette, int32_t start, int32_t count, const PaletteEntry *entries);
void release_display_palette(BvPlatPalette *palette);

// The system's static colours (entries 0-9 and 246-255 on an 8-bit
// desktop, 0-15 on a 16-colour one).
void system_palette_entries(int32_t start, int32_t count, PaletteEntry *out);
// Window (logical) palettes.
BvPlatPalette *create_window_palette(const LogPalette *log);
// Selects the palette into the window as its foreground palette and
// realizes it; returns the palette the window held before.
BvPlatPalette *use_window_palette(BvPlatWindow *window, BvPlatPalette *palette);
void animate_window_palette(BvPlatPalette *palette, int32_t start, int32_t count, const PaletteEntry *entries);
void delete_window_palette(BvPlatPalette *palette);

// ---- Font -------------------------------------------------------------------

struct FontMetrics {
    int32_t height, external_leading, avg_char_width;
};
// Metrics of a stock fixed font; no text is ever drawn.
int32_t stock_font_metrics(int32_t stock_object, FontMetrics *out);

// ---- Keyboard ---------------------------------------------------------------

// 1 while the key at this set-1 scan code's position is down (42 and 54
// both report either Shift), else 0.
int32_t key_down(int32_t scan_code);
// The keyboard state by virtual-key code: bit 7 down, bit 0 toggled.
void keyboard_snapshot(uint8_t states[256]);
// A key script for headless runs: these keys, by set-1 scan code (0 ends
// the list; 0xE0nn names the grey extended key nn), are down and no other,
// in place of the real keyboard until release_fed_keys.
void feed_keys(const int32_t *scan_codes, int32_t count);
void release_fed_keys();

// ---- The application's window -------------------------------------------------

struct WindowSpec {
    const char *title;
    const char *class_name;
    int32_t width, height;
    bool fullscreen;            // borderless, top-most, over the whole desktop from (0, 0)
};
// Makes the window, hidden; null when it cannot be (last_error says why).
BvPlatWindow *create_window(const WindowSpec &spec);
// Shows the window and activates the application at once, as the window
// system does while it shows a window: true when the application was not
// active before. This activation is told by the result, never queued.
bool show_window(BvPlatWindow *window);
void destroy_window(BvPlatWindow *window);

enum class EventKind {
    None,
    Activate,       // the application gained activation
    Deactivate,     // lost it (focus away, minimised, hidden)
    FocusGained,
    KeyDown,        // key: virtual-key code
    Close,          // the user closed the window
    Quit
};
struct Event {
    EventKind kind;
    int32_t key;
};
// Takes one waiting event without blocking; false when none is waiting.
bool poll_event(Event *out);

// ---- 3D device ------------------------------------------------------------------
//
// A 3D device draws triangle fans of pre-transformed vertices into page 0,
// tests depth against a z-buffer attached to that page, and samples
// textures made from texture surfaces. While a device draws into page 0
// the two share one picture: locking the page reads what the device drew,
// unlocking hands what was written back to the device, and colour fill and
// flip go through the device. The OpenGL device lives in lib/platform/gl.

// The 3D interface (the object that lists and makes devices) and viewports.
struct Interface3D;
struct Viewport;

// Bit depths as bits of a depth mask: render depths and z-buffer depths.
constexpr uint32_t DDBD_8 = 0x800;
constexpr uint32_t DDBD_16 = 0x400;
constexpr uint32_t DDBD_24 = 0x200;
constexpr uint32_t DDBD_32 = 0x100;

// Surface capabilities of z-buffers and textures: where their memory is.
constexpr uint32_t CAPS_TEXTURE = 0x1000;
constexpr uint32_t CAPS_SYSTEM_MEMORY = 0x800;
constexpr uint32_t CAPS_VIDEO_MEMORY = 0x4000;
constexpr uint32_t CAPS_ZBUFFER = 0x20000;

// One side of a device's description: a non-zero colour model says that
// the device is of this kind (hardware or software).
struct DeviceCaps {
    uint32_t color_model;
    uint32_t render_bit_depth;      // DDBD_ bits
    uint32_t zbuffer_bit_depth;     // DDBD_ bits; 0 when it has no z-buffer
};

// Names a listed device; 0 names none. Stays valid until the interface is
// released.
struct DeviceId {
    uint32_t value;
};

constexpr int32_t ENUM_CANCEL = 0;  // stop listing
constexpr int32_t ENUM_OK = 1;      // go on

// Called once per device with its hardware and its software description.
using DeviceCallback = int32_t (*)(const DeviceId *id, const char *name, const DeviceCaps *hardware,
                                   const DeviceCaps *software, void *context);

// The 3D interface of a display. Fails where the video system has no 3D
// rendering (SDL's dummy driver, for one).
int32_t create_3d(BvPlatDisplay *display, Interface3D **out);
void release_3d(Interface3D *d3d);
int32_t enumerate_devices(Interface3D *d3d, DeviceCallback callback, void *context);

// A z-buffer surface of width x height with `depth` bits an entry (8, 16,
// 24 or 32); attached to a page, it is the depth buffer of the device that
// draws into that page.
int32_t create_zbuffer(Interface3D *d3d, int32_t width, int32_t height, int32_t depth, uint32_t caps,
                       BvPlatSurface **out);
int32_t attach_zbuffer(BvPlatSurface *page, BvPlatSurface *zbuffer);
int32_t detach_zbuffer(BvPlatSurface *page, BvPlatSurface *zbuffer);
void release_zbuffer(BvPlatSurface *zbuffer);

// The device `id` drawing into `page` (a flipping pair's back buffer).
int32_t create_device(Interface3D *d3d, DeviceId id, BvPlatSurface *page, BvPlatDevice **out);
void release_device(BvPlatDevice *device);

struct ViewportRect {
    int32_t x, y, width, height;                        // pixels of the page
    float clip_x, clip_y, clip_width, clip_height;
    float min_z, max_z;
};
struct ClearRect {
    int32_t x1, y1, x2, y2;                             // x2 and y2 exclusive
};
constexpr uint32_t CLEAR_TARGET = 1;
constexpr uint32_t CLEAR_ZBUFFER = 2;

// A viewport: made, added to a device, given its rectangle, made current.
int32_t create_viewport(Interface3D *d3d, Viewport **out);
void release_viewport(Viewport *viewport);
int32_t add_viewport(BvPlatDevice *device, Viewport *viewport);
int32_t set_viewport(Viewport *viewport, const ViewportRect &rect);
int32_t set_current_viewport(BvPlatDevice *device, Viewport *viewport);
// Clears the parts of the rectangles inside the viewport.
int32_t clear_viewport(Viewport *viewport, const ClearRect *rects, int32_t count, uint32_t what);

// The scene bracket around a frame's drawing.
int32_t begin_scene(BvPlatDevice *device);
int32_t end_scene(BvPlatDevice *device);

// Render states and their values.
constexpr uint32_t RS_TEXTUREHANDLE = 1;        // a texture handle, 0 for none
constexpr uint32_t RS_TEXTUREPERSPECTIVE = 4;   // 1: perspective-correct texturing
constexpr uint32_t RS_ZENABLE = 7;              // 1: depth test on
constexpr uint32_t RS_CULLMODE = 22;
constexpr uint32_t RS_ZFUNC = 23;
constexpr uint32_t CULL_NONE = 1;
constexpr uint32_t CULL_CW = 2;                 // clockwise on the screen, y down
constexpr uint32_t CULL_CCW = 3;
constexpr uint32_t CMP_LESS = 2;
constexpr uint32_t CMP_LESSEQUAL = 4;
constexpr uint32_t CMP_ALWAYS = 8;

// Sets one render state (RS_) to a value; unknown states are refused.
int32_t set_render_state(BvPlatDevice *device, uint32_t state, uint32_t value);

// A transformed and lit vertex: pixel position (y down), depth 0..1,
// 1/w, colours 0xAARRGGBB, texture position 0..1 across the texture.
struct TLVertex {
    float sx, sy, sz, rhw;
    uint32_t color, specular;
    float tu, tv;
};
// Draws vertices 0..count-1 as one triangle fan.
int32_t draw_triangle_fan(BvPlatDevice *device, const TLVertex *vertices, uint32_t count);

// A texture surface: width x height texels in `format` (16 bits with the
// display's masks, or 32 bits 0x00RRGGBB), written through lock_surface.
int32_t create_texture_surface(BvPlatDisplay *display, int32_t width, int32_t height, const PixelFormat &format,
                               uint32_t caps, BvPlatSurface **out);
// The device's handle of the texture made from the surface's texels
// (never 0).
int32_t texture_handle(BvPlatDevice *device, BvPlatSurface *texture, uint32_t *handle);
// Releases the surface and every device texture made from it.
void release_texture_surface(BvPlatSurface *texture);

}  // namespace plat

#endif
