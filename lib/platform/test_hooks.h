// Fault injection and inspection for the tests: what the hardware would
// provoke (a refused depth, lost surfaces, failing restores and locks, a
// padded pitch, made-up device lists, failing device calls) and what a
// test looks at (the presented picture, the calls made on devices). The
// functions are built into a test-only library (brivondel_test_hooks)
// that the tests link; the installed library has none of them.
#ifndef BV_PLATFORM_TEST_HOOKS_H
#define BV_PLATFORM_TEST_HOOKS_H

#include <cstdint>

#include "platform/platform.h"

namespace plat {

// A call made on a 3D device, as the device records it for the tests.
enum class DeviceCallKind { RenderState, Draw, BeginScene, EndScene, Clear };
struct DeviceCall {
    DeviceCallKind kind;
    uint32_t state;     // render state, or the clear's flags
    uint32_t value;     // its value, or the vertex count of a draw
};

}  // namespace plat

namespace plat::test {

// ---- Display backend ---------------------------------------------------------------

// Makes set_mode refuse this depth (0: refuse none).
void refuse_depth(int32_t depth);
// Marks every surface lost until restored.
void lose_surfaces();
// The next n restores fail (and leave the surfaces lost).
void fail_restores(int32_t n);
// Restores report success but leave the surfaces lost (a display that
// keeps losing them); counts the restores made meanwhile.
void keep_surfaces_lost(bool on);
int64_t restores_made();
// The next n surface locks fail.
void fail_locks(int32_t n);
// Pads the pitch of surfaces made from now on by this many bytes.
void pad_pitch(int32_t bytes);
// Feeds mouse buttons and toggled lock keys beside the keys of
// plat::feed_keys; plat::release_fed_keys ends all of it.
void set_mouse_buttons(bool left, bool right, bool middle);
void set_caps_lock_toggled(bool on);
void set_num_lock_toggled(bool on);
// The desktop depth that desktop_depth reports (0: the real one).
void set_desktop_depth(int32_t depth);
// Number of flips presented so far, and a copy of the last presented
// picture as 32-bit 0x00RRGGBB pixels (returns false when none).
int64_t flips_presented();
bool last_presented(uint32_t *pixels, int32_t width, int32_t height);
// The size of the window that flips are shown in (false when none), and
// its picture as 0x00RRGGBB pixels, row after row (false when the size
// differs or there is no window).
bool window_size(int32_t *width, int32_t *height);
// Where the window stands on the desktop and whether it stays on top.
bool window_placement(BvPlatWindow *window, int32_t *x, int32_t *y, bool *on_top);
bool window_picture(uint32_t *pixels, int32_t width, int32_t height);
// Puts every hook back to its default (the RGB565 layout included) and
// brings lost surfaces back.
void reset();

// ---- 3D device -----------------------------------------------------------------------

// Device descriptions that replace the real list (count < 0: the real one
// again). Each made-up device draws with the real renderer.
struct MadeUpDevice {
    const char *name;
    DeviceCaps hardware, software;
};
void set_device_list(const MadeUpDevice *devices, int32_t count);
// Devices that replace the system's own enumeration, each described by the
// EGL device extensions it lists (count < 0: the real enumeration again).
// Each draws with a real device. Contexts made since the process started.
struct SystemDeviceSpec {
    const char *name;
    const char *extensions;
};
void set_system_devices(const SystemDeviceSpec *devices, int32_t count);
int64_t contexts_made();
// Whether the newest 3D interface's context dithers, and clamps depth.
bool device_dithers();
bool device_clamps_depth();
// The next n calls of create_3d, create_device or texture_handle fail.
void fail_3d_creations(int32_t n);
void fail_device_creations(int32_t n);
void fail_texture_handles(int32_t n);

// The calls made on devices, oldest first, from the last clear on.
using CallKind = DeviceCallKind;
using plat::DeviceCall;
void clear_device_calls();
int32_t device_call_count();
DeviceCall device_call(int32_t index);
// The renderer that drew for the device made last ("" before the first).
const char *device_renderer();
// Bits an entry of the depth buffer the device draws with now (0: none).
int32_t device_depth_bits();
// Puts the device hooks back to their defaults.
void reset_device();

}  // namespace plat::test

#endif
