// The system's OpenGL devices, read from EGL's own device enumeration
// without making a context, so that listing them loads no driver; and a
// context made on the one device the search chose. Where EGL has no device
// enumeration, the caller falls back to one context on the default display.
#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>

#include "platform/gl/gl_objects.h"

namespace plat::gl {

namespace {

bool has_extension(const char *list, const char *name) {
    if (list == nullptr) return false;
    const size_t length = std::strlen(name);
    for (const char *p = list; (p = std::strstr(p, name)) != nullptr; p += length) {
        const bool starts = p == list || p[-1] == ' ';
        const bool ends = p[length] == '\0' || p[length] == ' ';
        if (starts && ends) return true;
    }
    return false;
}

template <class Function>
Function egl_function(const char *name) {
    return reinterpret_cast<Function>(eglGetProcAddress(name));
}

bool enumeration_available() {
    const char *client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    return (has_extension(client, "EGL_EXT_device_enumeration") || has_extension(client, "EGL_EXT_device_base")) &&
           has_extension(client, "EGL_EXT_platform_device");
}

// A readable name: the device's DRM node, or what it says it is.
std::string device_name(EGLDeviceEXT device, SystemDeviceKind kind) {
    auto query = egl_function<PFNEGLQUERYDEVICESTRINGEXTPROC>("eglQueryDeviceStringEXT");
    if (kind == SystemDeviceKind::Hardware) {
        const char *node = query(device, EGL_DRM_RENDER_NODE_FILE_EXT);
        if (node == nullptr) node = query(device, EGL_DRM_DEVICE_FILE_EXT);
        if (node != nullptr) return node;
        eglGetError();
    }
    return kind == SystemDeviceKind::Software ? "software rasterizer" : "OpenGL device";
}

}  // namespace

SystemDeviceKind classify_system_device(const char *extensions) {
    if (has_extension(extensions, "EGL_MESA_device_software")) return SystemDeviceKind::Software;
    if (has_extension(extensions, "EGL_EXT_device_drm_render_node") || has_extension(extensions, "EGL_EXT_device_drm"))
        return SystemDeviceKind::Hardware;
    return SystemDeviceKind::Unknown;
}

bool list_system_devices(std::vector<SystemDevice> *out) {
    out->clear();
    if (!enumeration_available()) return false;
    auto query_devices = egl_function<PFNEGLQUERYDEVICESEXTPROC>("eglQueryDevicesEXT");
    auto query_string = egl_function<PFNEGLQUERYDEVICESTRINGEXTPROC>("eglQueryDeviceStringEXT");
    if (query_devices == nullptr || query_string == nullptr) return false;
    EGLint count = 0;
    if (query_devices(0, nullptr, &count) != EGL_TRUE || count < 0) return false;
    std::vector<EGLDeviceEXT> handles(static_cast<size_t>(count));
    if (count > 0 && query_devices(count, handles.data(), &count) != EGL_TRUE) return false;
    handles.resize(static_cast<size_t>(count));
    for (EGLDeviceEXT handle : handles) {
        const SystemDeviceKind kind = classify_system_device(query_string(handle, EGL_EXTENSIONS));
        // A device that says neither what it is nor where it lives is not offered.
        if (kind == SystemDeviceKind::Unknown) continue;
        out->push_back(SystemDevice{handle, device_name(handle, kind), kind});
    }
    return true;
}

bool open_system_context(void *device, Interface3D *d) {
    auto get_display = egl_function<PFNEGLGETPLATFORMDISPLAYEXTPROC>("eglGetPlatformDisplayEXT");
    if (get_display == nullptr || device == nullptr) return false;
    EGLDisplay display = get_display(EGL_PLATFORM_DEVICE_EXT, device, nullptr);
    if (display == EGL_NO_DISPLAY || eglInitialize(display, nullptr, nullptr) != EGL_TRUE) return false;
    d->egl_display = display;
    // No surface: the device draws into framebuffer objects only.
    const EGLint config_wanted[] = {EGL_SURFACE_TYPE, 0, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE || eglChooseConfig(display, config_wanted, &config, 1, &configs) != EGL_TRUE ||
        configs < 1)
        return false;
    const EGLint context_wanted[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                     EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, context_wanted);
    if (context == EGL_NO_CONTEXT) return false;
    d->egl_context = context;
    return eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context) == EGL_TRUE;
}

bool make_system_context_current(Interface3D *d) {
    if (eglGetCurrentContext() == d->egl_context) return true;
    return eglMakeCurrent(d->egl_display, EGL_NO_SURFACE, EGL_NO_SURFACE, d->egl_context) == EGL_TRUE;
}

void close_system_context(Interface3D *d) {
    if (d->egl_display == nullptr) return;
    if (d->egl_context != nullptr) {
        if (eglGetCurrentContext() == d->egl_context)
            eglMakeCurrent(d->egl_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(d->egl_display, d->egl_context);
    }
    eglTerminate(d->egl_display);
    d->egl_context = nullptr;
    d->egl_display = nullptr;
}

}  // namespace plat::gl
