// Test hooks of the OpenGL device: made-up device lists, failures on
// demand, and the record of the calls made on devices.
#include <algorithm>

#include "platform/gl/gl_objects.h"
#include "platform/test_hooks.h"

namespace plat::test {

using namespace plat::gl;

// The names are copied: the caller's strings need not outlive the call.
void set_device_list(const MadeUpDevice *list, int32_t count) {
    device_hooks.made_up.clear();
    device_hooks.made_up_names.clear();
    device_hooks.made_up_list = count >= 0;
    if (count <= 0 || list == nullptr) return;
    device_hooks.made_up_names.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) device_hooks.made_up_names.emplace_back(list[i].name != nullptr ? list[i].name : "");
    for (int32_t i = 0; i < count; ++i) {
        MadeUpDevice d = list[i];
        d.name = device_hooks.made_up_names[static_cast<size_t>(i)].c_str();
        device_hooks.made_up.push_back(d);
    }
}

// Made-up devices of the system's enumeration, each a name and the EGL
// extensions it lists (count < 0: EGL's own list again).
void set_system_devices(const SystemDeviceSpec *list, int32_t count) {
    device_hooks.system_list = count >= 0;
    device_hooks.system_devices.clear();
    for (int32_t i = 0; list != nullptr && i < count; ++i) {
        const char *name = list[i].name != nullptr ? list[i].name : "";
        device_hooks.system_devices.push_back(SystemDevice{nullptr, name, classify_system_device(list[i].extensions)});
    }
}

int64_t contexts_made() { return device_hooks.contexts_made; }

bool device_dithers() { return !interfaces.empty() && make_current(interfaces.back()) && glIsEnabled(GL_DITHER); }

bool device_clamps_depth() { return !interfaces.empty() && make_current(interfaces.back()) && glIsEnabled(GL_DEPTH_CLAMP); }

void fail_3d_creations(int32_t n) { device_hooks.failing_3d = std::max(n, 0); }

void fail_device_creations(int32_t n) { device_hooks.failing_devices = std::max(n, 0); }

void fail_texture_handles(int32_t n) { device_hooks.failing_handles = std::max(n, 0); }

void clear_device_calls() { device_hooks.calls.clear(); }

int32_t device_call_count() { return static_cast<int32_t>(device_hooks.calls.size()); }

DeviceCall device_call(int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= device_hooks.calls.size()) return DeviceCall{CallKind::Draw, 0, 0};
    return device_hooks.calls[static_cast<size_t>(index)];
}

// Kept past the device's release, so that a test can name the renderer.
const char *device_renderer() { return device_hooks.renderer.c_str(); }

int32_t device_depth_bits() { return devices.empty() ? 0 : devices.back()->depth_bits; }

void reset_device() {
    const std::string renderer = device_hooks.renderer;
    const int64_t contexts = device_hooks.contexts_made;
    device_hooks = DeviceHooks{};
    device_hooks.renderer = renderer;
    device_hooks.contexts_made = contexts;
}

}  // namespace plat::test
