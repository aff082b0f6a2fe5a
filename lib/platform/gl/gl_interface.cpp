// The OpenGL 3D interface: the list of devices, one context on the device
// the search chose, and the shader that draws pre-transformed fans. The list
// comes from EGL's device enumeration, which needs no context: a device
// with EGL_MESA_device_software is a software device, one with a DRM node a
// hardware device. Where EGL cannot enumerate, the one device listed is the
// renderer of a context on the default display: Mesa's llvmpipe, softpipe
// and swrast are software devices, any other renderer a hardware device.
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "platform/gl/gl_objects.h"

namespace plat::gl {

std::vector<Interface3D *> interfaces;
DeviceHooks device_hooks;

namespace {

// Pixel centres lie on whole coordinates, as the scan converters have them:
// pixel (x, y) is covered when the point (x, y) is inside the polygon. Row
// y of the page is window row y, so pictures keep the page's row order.
// Texture positions travel divided by w, with 1/w beside them, all linear
// across the screen, so that the fragment stage can divide them out at any
// point; the screen-linear positions travel as they are.
const char *const VERTEX_SHADER = R"(#version 330 core
layout(location = 0) in vec4 position;
layout(location = 1) in vec2 texcoord;
uniform vec2 page_size;
noperspective out vec3 uv_over_w;
noperspective out vec2 uv_linear;
void main() {
    float w = 1.0 / position.w;
    vec2 ndc = (position.xy + 0.5) * 2.0 / page_size - 1.0;
    gl_Position = vec4(ndc * w, (position.z * 2.0 - 1.0) * w, w);
    uv_over_w = vec3(texcoord * position.w, position.w);
    uv_linear = texcoord;
}
)";

// Each sample is taken half a pixel to the right of the pixel's point and
// rounded to the nearest texel, as the scan converters take theirs. Texels
// replace the colour (white vertices modulate nothing); alpha is written
// as 0, the top bits of the page's pixels.
const char *const FRAGMENT_SHADER = R"(#version 330 core
noperspective in vec3 uv_over_w;
noperspective in vec2 uv_linear;
uniform bool perspective;
uniform bool textured;
uniform sampler2D texels;
out vec4 colour;
void main() {
    vec2 uv;
    if (perspective) {
        vec3 q = uv_over_w + 0.5 * dFdx(uv_over_w);
        uv = q.xy / q.z;
    } else {
        uv = uv_linear + 0.5 * dFdx(uv_linear);
    }
    uv += 0.5 / vec2(textureSize(texels, 0));
    colour = textured ? vec4(texture(texels, uv).rgb, 0.0) : vec4(1.0, 1.0, 1.0, 0.0);
    // Depth is clamped, not clipped: parts beyond the far plane stay just
    // nearer than the cleared depth, which the "less" test keeps, in 16-,
    // 24- and 32-bit depth buffers alike.
    gl_FragDepth = min(gl_FragCoord.z, 65534.0 / 65535.0);
}
)";

bool is_software_renderer(const std::string &name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const char *soft : {"llvmpipe", "softpipe", "swrast", "software rasterizer"}) {
        if (lower.find(soft) != std::string::npos) return true;
    }
    return false;
}

GLuint compile(GLenum kind, const char *source) {
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

bool build_program(Interface3D *d) {
    const GLuint vs = compile(GL_VERTEX_SHADER, VERTEX_SHADER);
    const GLuint fs = compile(GL_FRAGMENT_SHADER, FRAGMENT_SHADER);
    if (vs == 0 || fs == 0) {
        if (vs != 0) glDeleteShader(vs);
        if (fs != 0) glDeleteShader(fs);
        return false;
    }
    d->program = glCreateProgram();
    glAttachShader(d->program, vs);
    glAttachShader(d->program, fs);
    glLinkProgram(d->program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = GL_FALSE;
    glGetProgramiv(d->program, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) return false;
    d->page_size_at = glGetUniformLocation(d->program, "page_size");
    d->perspective_at = glGetUniformLocation(d->program, "perspective");
    d->textured_at = glGetUniformLocation(d->program, "textured");
    d->texels_at = glGetUniformLocation(d->program, "texels");
    glUseProgram(d->program);
    glUniform1i(d->texels_at, 0);
    return true;
}

// The fan's vertices: position (sx, sy, sz, rhw) and (tu, tv) of TLVertex.
void build_vertex_input(Interface3D *d) {
    glGenVertexArrays(1, &d->vertex_array);
    glBindVertexArray(d->vertex_array);
    glGenBuffers(1, &d->vertex_buffer);
    glBindBuffer(GL_ARRAY_BUFFER, d->vertex_buffer);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(TLVertex), reinterpret_cast<void *>(offsetof(TLVertex, sx)));
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(TLVertex), reinterpret_cast<void *>(offsetof(TLVertex, tu)));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
}

// Once a context exists, every library loaded so far (the OpenGL driver and
// what it brought in, LLVM for llvmpipe) stays loaded for the life of the
// process. Unloading Mesa's driver when the display stops loses the blocks
// only its own globals pointed to, a little more each start and stop, and
// the next start would load it all again.
void keep_loaded_libraries() {
    std::vector<std::string> names;
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *out) {
            if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0')
                static_cast<std::vector<std::string> *>(out)->push_back(info->dlpi_name);
            return 0;
        },
        &names);
    // Outside the iteration, which holds the loader's lock.
    for (const std::string &name : names) dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
}

// A context on the default display, on a hidden window of its own.
bool open_default_context(Interface3D *d) {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    d->window = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 1, 1,
                                 SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (d->window == nullptr) return false;
    d->context = SDL_GL_CreateContext(d->window);
    SDL_GL_ResetAttributes();
    return d->context != nullptr && SDL_GL_MakeCurrent(d->window, d->context) == 0;
}

// With a context current: what draws, and the objects every draw uses.
// Dithering is off (a device may dither 16-bit pictures), and depth is
// clamped, not clipped, so parts beyond the far plane draw as in software.
bool prepare_context(Interface3D *d) {
    ++device_hooks.contexts_made;
    keep_loaded_libraries();
    const auto *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
    d->renderer = renderer != nullptr ? renderer : "";
    d->software = is_software_renderer(d->renderer);
    if (!build_program(d)) return false;
    build_vertex_input(d);
    glDisable(GL_DITHER);
    glEnable(GL_DEPTH_CLAMP);
    return glGetError() == GL_NO_ERROR;
}

void close_context(Interface3D *d) {
    if (has_context(d) && make_current(d)) {
        forget_textures_of(d);
        if (d->vertex_buffer != 0) glDeleteBuffers(1, &d->vertex_buffer);
        if (d->vertex_array != 0) glDeleteVertexArrays(1, &d->vertex_array);
        if (d->program != 0) glDeleteProgram(d->program);
    }
    d->vertex_buffer = d->vertex_array = d->program = 0;
    close_system_context(d);
    if (d->context != nullptr) {
        SDL_GL_MakeCurrent(nullptr, nullptr);
        SDL_GL_DeleteContext(d->context);
    }
    if (d->window != nullptr) SDL_DestroyWindow(d->window);
    d->context = nullptr;
    d->window = nullptr;
}

// The device a made-up device draws with: the first software device, for
// pictures that do not depend on the machine's GPU, else the first listed.
void *drawing_device_for_made_up(const Interface3D *d) {
    for (const SystemDevice &device : d->listed)
        if (device.kind == SystemDeviceKind::Software && device.handle != nullptr) return device.handle;
    return d->listed.empty() ? nullptr : d->listed.front().handle;
}

// Made-up system devices in place of EGL's: each draws with a real device.
void list_made_up_system_devices(Interface3D *d) {
    list_system_devices(&d->listed);
    void *drawing = drawing_device_for_made_up(d);
    d->listed.clear();
    for (SystemDevice device : device_hooks.system_devices) {
        if (device.kind == SystemDeviceKind::Unknown) continue;
        device.handle = drawing;
        d->listed.push_back(device);
    }
    d->enumerated = true;
}

// What the renderer offers: 16-, 24- and 32-bit pages (OpenGL has no
// palette pages) and 16-, 24- and 32-bit depth buffers.
DeviceCaps renderer_caps() {
    return DeviceCaps{2, DDBD_16 | DDBD_24 | DDBD_32, DDBD_16 | DDBD_24 | DDBD_32};
}

}  // namespace

bool ensure_context(Interface3D *d3d, DeviceId id) {
    if (has_context(d3d)) return true;
    if (!d3d->enumerated || id.value == 0) return false;
    void *device = device_hooks.made_up_list ? drawing_device_for_made_up(d3d)
                   : id.value <= d3d->listed.size() ? d3d->listed[id.value - 1].handle
                                                    : nullptr;
    const bool opened = device != nullptr ? open_system_context(device, d3d) : open_default_context(d3d);
    if (opened && prepare_context(d3d)) return true;
    close_context(d3d);
    return false;
}

bool make_current(Interface3D *d3d) {
    if (d3d == nullptr) return false;
    if (d3d->egl_context != nullptr) return make_system_context_current(d3d);
    if (d3d->context == nullptr) return false;
    if (SDL_GL_GetCurrentContext() == d3d->context) return true;
    return SDL_GL_MakeCurrent(d3d->window, d3d->context) == 0;
}

bool has_context(const Interface3D *d3d) { return d3d->context != nullptr || d3d->egl_context != nullptr; }

size_t listed_device_count(const Interface3D *d3d) {
    if (device_hooks.made_up_list) return device_hooks.made_up.size();
    return d3d->enumerated ? d3d->listed.size() : 1u;
}

}  // namespace plat::gl

namespace plat {

using namespace plat::gl;

int32_t create_3d(BvPlatDisplay *display, Interface3D **out) {
    if (display == nullptr || out == nullptr) return ERR_INVALID;
    *out = nullptr;
    if (device_hooks.failing_3d > 0) {
        --device_hooks.failing_3d;
        return ERR_GENERIC;
    }
    if (!link::acquire_video()) return ERR_NO_VIDEO;
    auto *d = new Interface3D{};
    d->display = display;
    if (device_hooks.system_list) {
        list_made_up_system_devices(d);
    } else if (list_system_devices(&d->listed)) {
        d->enumerated = true;
    } else if (!open_default_context(d) || !prepare_context(d)) {
        close_context(d);
        delete d;
        link::release_video();
        return ERR_GENERIC;
    }
    interfaces.push_back(d);
    *out = d;
    return OK;
}

// Devices still made from the interface go with it.
void release_3d(Interface3D *d3d) {
    if (d3d == nullptr) return;
    const auto it = std::find(interfaces.begin(), interfaces.end(), d3d);
    if (it == interfaces.end()) return;
    interfaces.erase(it);
    std::vector<BvPlatDevice *> made;
    for (BvPlatDevice *device : devices) {
        if (device->d3d == d3d) made.push_back(device);
    }
    for (BvPlatDevice *device : made) release_device(device);
    close_context(d3d);
    delete d3d;
    link::release_video();
}

int32_t enumerate_devices(Interface3D *d3d, DeviceCallback callback, void *context) {
    if (d3d == nullptr || callback == nullptr) return ERR_INVALID;
    if (device_hooks.made_up_list) {
        // Copies: the callback may change the list.
        const std::vector<test::MadeUpDevice> list = device_hooks.made_up;
        for (size_t i = 0; i < list.size(); ++i) {
            const DeviceId id{static_cast<uint32_t>(i + 1)};
            const char *name = list[i].name != nullptr ? list[i].name : "";
            if (callback(&id, name, &list[i].hardware, &list[i].software, context) == ENUM_CANCEL) break;
        }
        return OK;
    }
    const DeviceCaps none{0, 0, 0};
    const DeviceCaps offered = renderer_caps();
    if (!d3d->enumerated) {
        const DeviceId id{1};
        callback(&id, d3d->renderer.c_str(), d3d->software ? &none : &offered, d3d->software ? &offered : &none,
                 context);
        return OK;
    }
    // Copies: the callback may not keep the interface's strings.
    const std::vector<SystemDevice> list = d3d->listed;
    for (size_t i = 0; i < list.size(); ++i) {
        const DeviceId id{static_cast<uint32_t>(i + 1)};
        const bool software = list[i].kind == SystemDeviceKind::Software;
        if (callback(&id, list[i].name.c_str(), software ? &none : &offered, software ? &offered : &none, context) ==
            ENUM_CANCEL)
            break;
    }
    return OK;
}

}  // namespace plat
