// The OpenGL 3D device's objects behind the platform's opaque handles,
// shared by the files of lib/platform/gl. Stands in for Direct3D's
// interface, device, viewport, z-buffer and texture objects.
//
// The device draws into a framebuffer object of page 0's size whose colour
// texture has the page's own pixel format (5-6-5, 1-5-5-5 or 8-bit
// channels), so that pictures move between the page's memory and the
// device without any change. Its rows are the page's rows in order: the
// vertex stage maps pixel row y to window row y, so glReadPixels hands the
// rows over top row first.
//
// Limits: one context an interface, made on the chosen EGL device (or, where
// EGL cannot list devices, on a hidden window of its own: SDL cannot add
// OpenGL to the display's window after the fact); 8-bit pages cannot be
// drawn into; an 8-bit z-buffer is drawn with 16 bits.
#ifndef BV_PLATFORM_GL_OBJECTS_H
#define BV_PLATFORM_GL_OBJECTS_H

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL2/SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/page_link.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"

namespace plat::gl {

// What a device of the system's enumeration says it is.
enum class SystemDeviceKind { Software, Hardware, Unknown };
struct SystemDevice {
    void *handle;               // EGL's device; null for one that draws on the default display
    std::string name;
    SystemDeviceKind kind;
};

}  // namespace plat::gl

struct plat::Interface3D {
    BvPlatDisplay *display;
    // The devices offered to the search. From the system's enumeration no
    // context exists until a device is made; without it the one context on
    // the default display is made at once and its renderer is the one device.
    std::vector<plat::gl::SystemDevice> listed;
    bool enumerated;
    // The context: on an EGL device, or on a hidden SDL window (fallback).
    void *egl_display;
    void *egl_context;
    SDL_Window *window;
    SDL_GLContext context;
    std::string renderer;       // GL_RENDERER, once a context exists
    bool software;              // the fallback's renderer is one of Mesa's software rasterizers
    GLuint program;
    GLint page_size_at, perspective_at, textured_at, texels_at;
    GLuint vertex_array, vertex_buffer;
};

struct plat::Viewport {
    Interface3D *d3d;
    BvPlatDevice *device;       // the device it was added to
    ViewportRect rect;
    bool rect_set;
};

// The page's pixel format as OpenGL names it.
struct PictureFormat {
    GLenum internal_format;
    GLenum format, type;
    int32_t bytes_per_pixel;
};

struct BvPlatDevice {
    plat::Interface3D *d3d;
    BvPlatSurface *page;        // null once the page has gone
    int32_t page_width, page_height;
    PictureFormat picture;
    GLuint framebuffer, colour_texture, depth_buffer;
    int32_t depth_bits;         // of the attached z-buffer; 0 for none
    plat::Viewport *viewport;   // the current viewport
    bool in_scene;
    // Render states.
    uint32_t texture_handle;
    uint32_t perspective;
    uint32_t zenable;
    uint32_t zfunc;
    uint32_t cull_mode;
};

namespace plat::gl {

// Every live object of the device, so that release can reach them.
extern std::vector<Interface3D *> interfaces;
extern std::vector<BvPlatDevice *> devices;

struct ZBufferRecord {
    BvPlatSurface *surface;
    int32_t depth_bits;
    BvPlatSurface *page;        // the page it is attached to, if any
};
extern std::vector<ZBufferRecord> zbuffers;
ZBufferRecord *zbuffer_record(const BvPlatSurface *surface);
ZBufferRecord *zbuffer_attached_to(const BvPlatSurface *page);

// Texture names made from texture surfaces.
struct TextureRecord {
    BvPlatSurface *surface;
    Interface3D *d3d;
    GLuint name;
};
extern std::vector<TextureRecord> textures;
bool is_live_texture(Interface3D *d3d, uint32_t name);
// Deletes the texture names made in this interface (it is going away).
void forget_textures_of(Interface3D *d3d);

// The system's devices through EGL's enumeration (false when EGL has
// none), their kinds from the extensions a device lists, and a context on
// one of them.
SystemDeviceKind classify_system_device(const char *extensions);
bool list_system_devices(std::vector<SystemDevice> *out);
bool open_system_context(void *device, Interface3D *d);
bool make_system_context_current(Interface3D *d);
void close_system_context(Interface3D *d);
// Makes a context for device `id` of the list unless one exists.
bool ensure_context(Interface3D *d3d, DeviceId id);
bool has_context(const Interface3D *d3d);
// How many devices enumerate_devices offers (ids 1 to this).
size_t listed_device_count(const Interface3D *d3d);

// A surface's rows packed tightly, `row_bytes` each, as OpenGL reads and
// writes them; and packed rows back into the surface.
std::vector<uint8_t> packed_rows(const link::SurfaceMemory &memory, size_t row_bytes);
void unpack_rows(const std::vector<uint8_t> &packed, const link::SurfaceMemory &memory, size_t row_bytes);

// Makes the interface's context current; false when it cannot be.
bool make_current(Interface3D *d3d);
// The device drawing into this page, or null.
BvPlatDevice *device_of_page(const BvPlatSurface *page);
// (Re)attaches a depth buffer of this many bits (0: none) to the device.
bool attach_depth_buffer(BvPlatDevice *device, int32_t depth_bits);
// A page that is lost, or locked, cannot be drawn into now: the code to
// return, or OK.
int32_t page_state(const BvPlatSurface *page);

// Test hooks' state.
struct DeviceHooks {
    bool made_up_list = false;
    std::vector<test::MadeUpDevice> made_up;
    std::vector<std::string> made_up_names;
    int32_t failing_3d = 0;
    int32_t failing_devices = 0;
    int32_t failing_handles = 0;
    std::vector<test::DeviceCall> calls;
    std::string renderer;       // of the device made last
    bool system_list = false;   // made-up system devices replace EGL's
    std::vector<SystemDevice> system_devices;
    int64_t contexts_made = 0;
};
extern DeviceHooks device_hooks;
// The calls made on devices, for the tests; a bound keeps a program that
// never clears them from growing without end.
inline void record_call(test::CallKind kind, uint32_t state, uint32_t value) {
    if (device_hooks.calls.size() >= 100000) device_hooks.calls.clear();
    device_hooks.calls.push_back(test::DeviceCall{kind, state, value});
}

}  // namespace plat::gl

#endif
