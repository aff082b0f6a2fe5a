// The OpenGL device: z-buffers attached to pages, the device drawing into
// page 0 through a framebuffer object, viewports, the scene bracket, render
// states and triangle fans of pre-transformed vertices.
#include <algorithm>
#include <cmath>

#include "platform/gl/gl_objects.h"

namespace plat::gl {

std::vector<BvPlatDevice *> devices;
std::vector<ZBufferRecord> zbuffers;

namespace {

std::vector<Viewport *> viewports;

bool is_live_device(const BvPlatDevice *device) {
    return device != nullptr && std::find(devices.begin(), devices.end(), device) != devices.end();
}

bool is_live_viewport(const Viewport *viewport) {
    return viewport != nullptr && std::find(viewports.begin(), viewports.end(), viewport) != viewports.end();
}

// The formats in which a page's pixels lie in memory, as OpenGL reads and
// writes them exactly. 8-bit pages have none.
bool picture_format_of(const link::SurfaceMemory &page, PictureFormat *out) {
    switch (page.bits_per_pixel) {
    case 16:
        if (is_rgb555(page.format)) {
            *out = PictureFormat{GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2};
        } else {
            *out = PictureFormat{GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2};
        }
        return true;
    case 24: *out = PictureFormat{GL_RGBA8, GL_BGR, GL_UNSIGNED_BYTE, 3}; return true;
    case 32: *out = PictureFormat{GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4}; return true;
    default: return false;
    }
}

GLenum depth_format_of(int32_t bits) {
    switch (bits) {
    case 24: return GL_DEPTH_COMPONENT24;
    case 32: return GL_DEPTH_COMPONENT32F;
    default: return GL_DEPTH_COMPONENT16;   // 16, and 8, which OpenGL lacks
    }
}

bool build_framebuffer(BvPlatDevice *device) {
    glGenTextures(1, &device->colour_texture);
    glBindTexture(GL_TEXTURE_2D, device->colour_texture);
    glTexStorage2D(GL_TEXTURE_2D, 1, device->picture.internal_format, device->page_width, device->page_height);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glGenFramebuffers(1, &device->framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, device->framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, device->colour_texture, 0);
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE && glGetError() == GL_NO_ERROR;
}

void delete_framebuffer(BvPlatDevice *device) {
    if (device->depth_buffer != 0) glDeleteRenderbuffers(1, &device->depth_buffer);
    if (device->colour_texture != 0) glDeleteTextures(1, &device->colour_texture);
    if (device->framebuffer != 0) glDeleteFramebuffers(1, &device->framebuffer);
    device->depth_buffer = device->colour_texture = device->framebuffer = 0;
}

void bind_device(BvPlatDevice *device) {
    glBindFramebuffer(GL_FRAMEBUFFER, device->framebuffer);
    glViewport(0, 0, device->page_width, device->page_height);
}

// The part of the page inside the current viewport, as a scissor box;
// false when nothing of the page is left.
bool viewport_scissor(const BvPlatDevice *device, const ClearRect *limit, GLint box[4]) {
    int64_t x1 = 0, y1 = 0, x2 = device->page_width, y2 = device->page_height;
    const Viewport *v = device->viewport;
    if (v != nullptr && v->rect_set) {
        x1 = std::max<int64_t>(x1, v->rect.x);
        y1 = std::max<int64_t>(y1, v->rect.y);
        x2 = std::min<int64_t>(x2, static_cast<int64_t>(v->rect.x) + v->rect.width);
        y2 = std::min<int64_t>(y2, static_cast<int64_t>(v->rect.y) + v->rect.height);
    }
    if (limit != nullptr) {
        x1 = std::max<int64_t>(x1, limit->x1);
        y1 = std::max<int64_t>(y1, limit->y1);
        x2 = std::min<int64_t>(x2, limit->x2);
        y2 = std::min<int64_t>(y2, limit->y2);
    }
    if (x1 >= x2 || y1 >= y2) return false;
    box[0] = static_cast<GLint>(x1);
    box[1] = static_cast<GLint>(y1);
    box[2] = static_cast<GLint>(x2 - x1);
    box[3] = static_cast<GLint>(y2 - y1);
    return true;
}

// Window coordinates keep the screen's numbers (y down), so a polygon that
// turns clockwise on the screen has a positive area, which OpenGL calls
// counter-clockwise: that is the front.
void apply_cull_mode(uint32_t mode) {
    if (mode == CULL_CW || mode == CULL_CCW) {
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CCW);
        glCullFace(mode == CULL_CCW ? GL_BACK : GL_FRONT);
    } else {
        glDisable(GL_CULL_FACE);
    }
}

void apply_depth_test(const BvPlatDevice *device) {
    if (device->zenable != 0 && device->depth_bits > 0) {
        glEnable(GL_DEPTH_TEST);
        const uint32_t f = device->zfunc >= 1 && device->zfunc <= 8 ? device->zfunc : CMP_LESSEQUAL;
        glDepthFunc(GL_NEVER + (f - 1));
        glDepthMask(GL_TRUE);
    } else {
        glDisable(GL_DEPTH_TEST);
    }
}

void apply_texture(const BvPlatDevice *device) {
    const Interface3D *d = device->d3d;
    const bool textured = device->texture_handle != 0 && is_live_texture(device->d3d, device->texture_handle);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, textured ? device->texture_handle : 0);
    glUniform1i(d->textured_at, textured ? 1 : 0);
    glUniform1i(d->perspective_at, device->perspective != 0 ? 1 : 0);
}

bool vertices_drawable(const TLVertex *v, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        if (!std::isfinite(v[i].sx) || !std::isfinite(v[i].sy) || !std::isfinite(v[i].sz)) return false;
        if (!std::isfinite(v[i].rhw) || !(v[i].rhw > 0.0f)) return false;
        if (!std::isfinite(v[i].tu) || !std::isfinite(v[i].tv)) return false;
    }
    return true;
}

}  // namespace

ZBufferRecord *zbuffer_record(const BvPlatSurface *surface) {
    for (ZBufferRecord &z : zbuffers) {
        if (z.surface == surface) return &z;
    }
    return nullptr;
}

ZBufferRecord *zbuffer_attached_to(const BvPlatSurface *page) {
    for (ZBufferRecord &z : zbuffers) {
        if (page != nullptr && z.page == page) return &z;
    }
    return nullptr;
}

BvPlatDevice *device_of_page(const BvPlatSurface *page) {
    for (BvPlatDevice *device : devices) {
        if (page != nullptr && device->page == page) return device;
    }
    return nullptr;
}

bool attach_depth_buffer(BvPlatDevice *device, int32_t depth_bits) {
    if (!make_current(device->d3d) || device->page == nullptr) return false;
    glBindFramebuffer(GL_FRAMEBUFFER, device->framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, 0);
    if (device->depth_buffer != 0) glDeleteRenderbuffers(1, &device->depth_buffer);
    device->depth_buffer = 0;
    device->depth_bits = 0;
    if (depth_bits > 0) {
        glGenRenderbuffers(1, &device->depth_buffer);
        glBindRenderbuffer(GL_RENDERBUFFER, device->depth_buffer);
        glRenderbufferStorage(GL_RENDERBUFFER, depth_format_of(depth_bits), device->page_width, device->page_height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, device->depth_buffer);
        device->depth_bits = depth_bits;
    }
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE && glGetError() == GL_NO_ERROR;
}

int32_t page_state(const BvPlatSurface *page) {
    link::SurfaceMemory memory{};
    if (!link::surface_memory(page, &memory)) return ERR_INVALID_OBJECT;
    if (memory.lost) return ERR_SURFACE_LOST;
    if (memory.locked) return ERR_SURFACE_BUSY;
    return OK;
}

std::vector<uint8_t> packed_rows(const link::SurfaceMemory &memory, size_t row_bytes) {
    std::vector<uint8_t> packed(row_bytes * static_cast<size_t>(memory.height));
    for (int32_t y = 0; y < memory.height; ++y)
        std::copy_n(memory.pixels + static_cast<size_t>(y) * memory.pitch, row_bytes, packed.data() + y * row_bytes);
    return packed;
}

void unpack_rows(const std::vector<uint8_t> &packed, const link::SurfaceMemory &memory, size_t row_bytes) {
    for (int32_t y = 0; y < memory.height; ++y)
        std::copy_n(packed.data() + y * row_bytes, row_bytes, memory.pixels + static_cast<size_t>(y) * memory.pitch);
}

// ---- The page's picture --------------------------------------------------------

}  // namespace plat::gl

namespace plat::link {

using namespace plat::gl;

bool device_draws_into(const BvPlatSurface *page) { return device_of_page(page) != nullptr; }

void read_device_picture(BvPlatSurface *page) {
    BvPlatDevice *device = device_of_page(page);
    SurfaceMemory memory{};
    if (device == nullptr || !surface_memory(page, &memory) || !make_current(device->d3d)) return;
    const PictureFormat &f = device->picture;
    const size_t row_bytes = static_cast<size_t>(memory.width) * f.bytes_per_pixel;
    std::vector<uint8_t> packed(row_bytes * static_cast<size_t>(memory.height));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, device->framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, memory.width, memory.height, f.format, f.type, packed.data());
    if (glGetError() == GL_NO_ERROR) unpack_rows(packed, memory, row_bytes);
}

void write_device_picture(BvPlatSurface *page) {
    BvPlatDevice *device = device_of_page(page);
    SurfaceMemory memory{};
    if (device == nullptr || !surface_memory(page, &memory) || !make_current(device->d3d)) return;
    const PictureFormat &f = device->picture;
    const std::vector<uint8_t> packed = packed_rows(memory, static_cast<size_t>(memory.width) * f.bytes_per_pixel);
    glBindTexture(GL_TEXTURE_2D, device->colour_texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, memory.width, memory.height, f.format, f.type, packed.data());
}

// The pixel value becomes the colour OpenGL writes back as that very value.
int32_t fill_device_picture(BvPlatSurface *page, uint32_t color) {
    BvPlatDevice *device = device_of_page(page);
    if (device == nullptr || !make_current(device->d3d)) return ERR_INVALID_OBJECT;
    const int32_t bits_per_pixel = device->picture.bytes_per_pixel * 8;
    float r, g, b, a = 0.0f;
    if (bits_per_pixel == 16 && device->picture.internal_format == GL_RGB5_A1) {
        r = static_cast<float>((color >> 10) & 31) / 31.0f;
        g = static_cast<float>((color >> 5) & 31) / 31.0f;
        b = static_cast<float>(color & 31) / 31.0f;
        a = static_cast<float>((color >> 15) & 1);
    } else if (bits_per_pixel == 16) {
        r = static_cast<float>((color >> 11) & 31) / 31.0f;
        g = static_cast<float>((color >> 5) & 63) / 63.0f;
        b = static_cast<float>(color & 31) / 31.0f;
    } else {
        r = static_cast<float>((color >> 16) & 255) / 255.0f;
        g = static_cast<float>((color >> 8) & 255) / 255.0f;
        b = static_cast<float>(color & 255) / 255.0f;
        if (bits_per_pixel == 32) a = static_cast<float>(color >> 24) / 255.0f;
    }
    bind_device(device);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT);
    return glGetError() == GL_NO_ERROR ? OK : ERR_GENERIC;
}

void forget_surface(BvPlatSurface *surface) {
    for (BvPlatDevice *device : devices) {
        if (device->page == surface) device->page = nullptr;
    }
    for (ZBufferRecord &z : zbuffers) {
        if (z.page == surface) z.page = nullptr;
    }
    zbuffers.erase(std::remove_if(zbuffers.begin(), zbuffers.end(), [&](const ZBufferRecord &z) { return z.surface == surface; }),
                   zbuffers.end());
}

}  // namespace plat::link

namespace plat {

using namespace plat::gl;

// ---- Z-buffers ---------------------------------------------------------------------

int32_t create_zbuffer(Interface3D *d3d, int32_t width, int32_t height, int32_t depth, uint32_t caps,
                       BvPlatSurface **out) {
    if (out == nullptr) return ERR_INVALID;
    *out = nullptr;
    if (d3d == nullptr || (caps & CAPS_ZBUFFER) == 0) return ERR_INVALID;
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return ERR_INVALID;
    // Its memory stands for the depth entries; the device keeps its own.
    PixelFormat format{};
    format.bits_per_pixel = depth;
    BvPlatSurface *s = link::make_memory_surface(d3d->display, width, height, format);
    if (s == nullptr) return ERR_OUT_OF_MEMORY;
    zbuffers.push_back(ZBufferRecord{s, depth, nullptr});
    *out = s;
    return OK;
}

int32_t attach_zbuffer(BvPlatSurface *page, BvPlatSurface *zbuffer) {
    ZBufferRecord *z = zbuffer_record(zbuffer);
    if (page == nullptr || z == nullptr) return ERR_INVALID;
    if (z->page != nullptr || zbuffer_attached_to(page) != nullptr) return ERR_GENERIC;
    link::SurfaceMemory page_memory{}, zbuffer_memory{};
    if (!link::surface_memory(page, &page_memory) || !link::surface_memory(zbuffer, &zbuffer_memory)) return ERR_INVALID;
    if (zbuffer_memory.width < page_memory.width || zbuffer_memory.height < page_memory.height) return ERR_INVALID;
    z->page = page;
    BvPlatDevice *device = device_of_page(page);
    if (device != nullptr && !attach_depth_buffer(device, z->depth_bits)) {
        z->page = nullptr;
        attach_depth_buffer(device, 0);
        return ERR_OUT_OF_MEMORY;
    }
    return OK;
}

int32_t detach_zbuffer(BvPlatSurface *page, BvPlatSurface *zbuffer) {
    ZBufferRecord *z = zbuffer_record(zbuffer);
    if (page == nullptr || z == nullptr || z->page != page) return ERR_NOT_FOUND;
    z->page = nullptr;
    BvPlatDevice *device = device_of_page(page);
    if (device != nullptr) attach_depth_buffer(device, 0);
    return OK;
}

void release_zbuffer(BvPlatSurface *zbuffer) {
    ZBufferRecord *z = zbuffer_record(zbuffer);
    if (z == nullptr) return;
    if (z->page != nullptr) detach_zbuffer(z->page, zbuffer);
    link::destroy_memory_surface(zbuffer);
}

// ---- The device --------------------------------------------------------------------

// The picture starts as the page's memory holds it.
int32_t create_device(Interface3D *d3d, DeviceId id, BvPlatSurface *page, BvPlatDevice **out) {
    if (out == nullptr) return ERR_INVALID;
    *out = nullptr;
    link::SurfaceMemory memory{};
    if (d3d == nullptr || !link::surface_memory(page, &memory)) return ERR_INVALID;
    if (id.value == 0 || id.value > listed_device_count(d3d)) return ERR_NOT_FOUND;
    if (device_hooks.failing_devices > 0) {
        --device_hooks.failing_devices;
        return ERR_GENERIC;
    }
    if (device_of_page(page) != nullptr) return ERR_GENERIC;
    PictureFormat picture{};
    if (!picture_format_of(memory, &picture)) return ERR_UNSUPPORTED_MODE;
    // Only the device the search chose gets a context.
    if (!ensure_context(d3d, id) || !make_current(d3d)) return ERR_GENERIC;
    auto *device = new BvPlatDevice{};
    device->d3d = d3d;
    device->page = page;
    device->page_width = memory.width;
    device->page_height = memory.height;
    device->picture = picture;
    device->cull_mode = CULL_CCW;
    device->zfunc = CMP_LESSEQUAL;
    const ZBufferRecord *z = zbuffer_attached_to(page);
    device->zenable = z != nullptr ? 1 : 0;
    if (!build_framebuffer(device) || !attach_depth_buffer(device, z != nullptr ? z->depth_bits : 0)) {
        delete_framebuffer(device);
        delete device;
        return ERR_OUT_OF_MEMORY;
    }
    devices.push_back(device);
    link::write_device_picture(page);
    device_hooks.renderer = d3d->renderer;
    *out = device;
    return OK;
}

// The page keeps the device's last picture.
void release_device(BvPlatDevice *device) {
    if (!is_live_device(device)) return;
    link::SurfaceMemory memory{};
    if (link::surface_memory(device->page, &memory) && !memory.locked) link::read_device_picture(device->page);
    for (Viewport *v : viewports) {
        if (v->device == device) v->device = nullptr;
    }
    if (make_current(device->d3d)) delete_framebuffer(device);
    devices.erase(std::remove(devices.begin(), devices.end(), device), devices.end());
    delete device;
}

// ---- Viewports ------------------------------------------------------------------

int32_t create_viewport(Interface3D *d3d, Viewport **out) {
    if (d3d == nullptr || out == nullptr) return ERR_INVALID;
    *out = new Viewport{d3d, nullptr, ViewportRect{}, false};
    viewports.push_back(*out);
    return OK;
}

void release_viewport(Viewport *viewport) {
    if (!is_live_viewport(viewport)) return;
    for (BvPlatDevice *device : devices) {
        if (device->viewport == viewport) device->viewport = nullptr;
    }
    viewports.erase(std::remove(viewports.begin(), viewports.end(), viewport), viewports.end());
    delete viewport;
}

int32_t add_viewport(BvPlatDevice *device, Viewport *viewport) {
    if (!is_live_device(device) || !is_live_viewport(viewport)) return ERR_INVALID;
    if (viewport->device != nullptr && viewport->device != device) return ERR_GENERIC;
    viewport->device = device;
    return OK;
}

int32_t set_viewport(Viewport *viewport, const ViewportRect &rect) {
    if (!is_live_viewport(viewport)) return ERR_INVALID;
    if (rect.width <= 0 || rect.height <= 0 || rect.x < 0 || rect.y < 0) return ERR_INVALID;
    if (!(rect.min_z >= 0.0f && rect.max_z <= 1.0f && rect.min_z <= rect.max_z)) return ERR_INVALID;
    viewport->rect = rect;
    viewport->rect_set = true;
    return OK;
}

int32_t set_current_viewport(BvPlatDevice *device, Viewport *viewport) {
    if (!is_live_device(device) || !is_live_viewport(viewport)) return ERR_INVALID;
    if (viewport->device != device) return ERR_INVALID;
    device->viewport = viewport;
    return OK;
}

int32_t clear_viewport(Viewport *viewport, const ClearRect *rects, int32_t count, uint32_t what) {
    if (!is_live_viewport(viewport) || (rects == nullptr && count > 0) || count < 0) return ERR_INVALID;
    BvPlatDevice *device = viewport->device;
    if (device == nullptr || device->page == nullptr || !viewport->rect_set) return ERR_INVALID_OBJECT;
    record_call(test::CallKind::Clear, what, static_cast<uint32_t>(count));
    const int32_t state = page_state(device->page);
    if (state != OK) return state;
    if (!make_current(device->d3d)) return ERR_GENERIC;
    GLbitfield mask = 0;
    if ((what & CLEAR_TARGET) != 0) mask |= GL_COLOR_BUFFER_BIT;
    if ((what & CLEAR_ZBUFFER) != 0 && device->depth_bits > 0) mask |= GL_DEPTH_BUFFER_BIT;
    if (mask == 0) return (what & CLEAR_ZBUFFER) != 0 ? ERR_INVALID : OK;
    bind_device(device);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glEnable(GL_SCISSOR_TEST);
    for (int32_t i = 0; i < count; ++i) {
        GLint box[4];
        if (!viewport_scissor(device, &rects[i], box)) continue;
        glScissor(box[0], box[1], box[2], box[3]);
        glClear(mask);
    }
    glDisable(GL_SCISSOR_TEST);
    return glGetError() == GL_NO_ERROR ? OK : ERR_GENERIC;
}

// ---- Drawing -------------------------------------------------------------------

int32_t begin_scene(BvPlatDevice *device) {
    if (!is_live_device(device)) return ERR_INVALID;
    record_call(test::CallKind::BeginScene, 0, 0);
    if (device->in_scene) return ERR_GENERIC;
    device->in_scene = true;
    return OK;
}

int32_t end_scene(BvPlatDevice *device) {
    if (!is_live_device(device)) return ERR_INVALID;
    record_call(test::CallKind::EndScene, 0, 0);
    if (!device->in_scene) return ERR_GENERIC;
    device->in_scene = false;
    if (make_current(device->d3d)) glFlush();
    return OK;
}

int32_t set_render_state(BvPlatDevice *device, uint32_t state, uint32_t value) {
    if (!is_live_device(device)) return ERR_INVALID;
    record_call(test::CallKind::RenderState, state, value);
    switch (state) {
    case RS_TEXTUREHANDLE: device->texture_handle = value; return OK;
    case RS_TEXTUREPERSPECTIVE: device->perspective = value; return OK;
    case RS_ZENABLE: device->zenable = value; return OK;
    case RS_ZFUNC:
        if (value < 1 || value > 8) return ERR_INVALID;
        device->zfunc = value;
        return OK;
    case RS_CULLMODE:
        if (value < CULL_NONE || value > CULL_CCW) return ERR_INVALID;
        device->cull_mode = value;
        return OK;
    default: return ERR_INVALID;
    }
}

// A fan whose vertices are not all finite, with a positive 1/w, draws nothing.
int32_t draw_triangle_fan(BvPlatDevice *device, const TLVertex *vertices, uint32_t count) {
    if (!is_live_device(device) || (vertices == nullptr && count > 0)) return ERR_INVALID;
    record_call(test::CallKind::Draw, 0, count);
    if (device->page == nullptr) return ERR_INVALID_OBJECT;
    const int32_t state = page_state(device->page);
    if (state != OK) return state;
    if (count < 3) return OK;
    if (!vertices_drawable(vertices, count)) return ERR_INVALID;
    if (!make_current(device->d3d)) return ERR_GENERIC;
    Interface3D *d = device->d3d;
    bind_device(device);
    GLint box[4];
    if (!viewport_scissor(device, nullptr, box)) return OK;
    glEnable(GL_SCISSOR_TEST);
    glScissor(box[0], box[1], box[2], box[3]);
    glUseProgram(d->program);
    glUniform2f(d->page_size_at, static_cast<float>(device->page_width), static_cast<float>(device->page_height));
    apply_texture(device);
    apply_cull_mode(device->cull_mode);
    apply_depth_test(device);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glBindVertexArray(d->vertex_array);
    glBindBuffer(GL_ARRAY_BUFFER, d->vertex_buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count * sizeof(TLVertex)), vertices, GL_STREAM_DRAW);
    glDrawArrays(GL_TRIANGLE_FAN, 0, static_cast<GLsizei>(count));
    glDisable(GL_SCISSOR_TEST);
    return glGetError() == GL_NO_ERROR ? OK : ERR_GENERIC;
}

}  // namespace plat
