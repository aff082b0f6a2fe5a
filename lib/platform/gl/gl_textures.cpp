// Texture surfaces and the OpenGL textures made from them: a texture
// surface is a block of memory in the texture's format, written through
// lock_surface; its handle is an OpenGL texture name holding a copy of its
// texels, sampled at the nearest texel.
#include <algorithm>

#include "platform/gl/gl_objects.h"

namespace plat::gl {

std::vector<TextureRecord> textures;

namespace {

struct TexelFormat {
    GLenum internal_format, format, type;
    int32_t bytes;
};

bool texel_format_of(const PixelFormat &f, TexelFormat *out) {
    if (is_rgb565(f)) {
        *out = TexelFormat{GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2};
    } else if (is_rgb555(f)) {
        *out = TexelFormat{GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2};
    } else if (f.bits_per_pixel == 32 && f.red_mask == 0xFF0000 && f.blue_mask == 0xFF) {
        *out = TexelFormat{GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4};
    } else {
        return false;
    }
    return true;
}

// Surfaces made by create_texture_surface that have no name yet.
std::vector<BvPlatSurface *> texture_surfaces;

bool is_known_surface(const BvPlatSurface *s) {
    return std::find(texture_surfaces.begin(), texture_surfaces.end(), s) != texture_surfaces.end();
}

GLuint upload(const link::SurfaceMemory &s, const TexelFormat &f) {
    const std::vector<uint8_t> packed = packed_rows(s, static_cast<size_t>(s.width) * f.bytes);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(f.internal_format), s.width, s.height, 0, f.format, f.type,
                 packed.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &name);
        return 0;
    }
    return name;
}

}  // namespace

bool is_live_texture(Interface3D *d3d, uint32_t name) {
    return std::find_if(textures.begin(), textures.end(), [&](const TextureRecord &t) {
               return t.d3d == d3d && t.name == name;
           }) != textures.end();
}

// Their surfaces go too: nothing can draw them without the interface.
void forget_textures_of(Interface3D *d3d) {
    std::vector<BvPlatSurface *> surfaces;
    for (const TextureRecord &t : textures) {
        if (t.d3d != d3d) continue;
        glDeleteTextures(1, &t.name);
        surfaces.push_back(t.surface);
    }
    textures.erase(std::remove_if(textures.begin(), textures.end(), [&](const TextureRecord &t) { return t.d3d == d3d; }),
                   textures.end());
    for (BvPlatSurface *s : surfaces) {
        if (!is_known_surface(s)) continue;
        texture_surfaces.erase(std::remove(texture_surfaces.begin(), texture_surfaces.end(), s), texture_surfaces.end());
        release_surface(s);
    }
}

}  // namespace plat::gl

namespace plat {

using namespace plat::gl;

int32_t create_texture_surface(BvPlatDisplay *display, int32_t width, int32_t height, const PixelFormat &format,
                               uint32_t caps, BvPlatSurface **out) {
    if (out == nullptr) return ERR_INVALID;
    *out = nullptr;
    if ((caps & CAPS_TEXTURE) == 0) return ERR_INVALID;
    TexelFormat f{};
    if (!texel_format_of(format, &f)) return ERR_INVALID;
    BvPlatSurface *s = link::make_memory_surface(display, width, height, format);
    if (s == nullptr) return width > 0 && height > 0 ? ERR_OUT_OF_MEMORY : ERR_INVALID;
    texture_surfaces.push_back(s);
    *out = s;
    return OK;
}

int32_t texture_handle(BvPlatDevice *device, BvPlatSurface *texture, uint32_t *handle) {
    if (handle == nullptr) return ERR_INVALID;
    *handle = 0;
    if (device == nullptr || std::find(devices.begin(), devices.end(), device) == devices.end()) return ERR_INVALID;
    if (texture == nullptr || !is_known_surface(texture)) return ERR_INVALID;
    if (device_hooks.failing_handles > 0) {
        --device_hooks.failing_handles;
        return ERR_GENERIC;
    }
    TexelFormat f{};
    link::SurfaceMemory memory{};
    if (!link::surface_memory(texture, &memory) || !texel_format_of(memory.format, &f) || !make_current(device->d3d))
        return ERR_GENERIC;
    const GLuint name = upload(memory, f);
    if (name == 0) return ERR_OUT_OF_MEMORY;
    textures.push_back(TextureRecord{texture, device->d3d, name});
    *handle = name;
    return OK;
}

void release_texture_surface(BvPlatSurface *texture) {
    if (texture == nullptr || !is_known_surface(texture)) return;
    for (const TextureRecord &t : textures) {
        if (t.surface == texture && make_current(t.d3d)) glDeleteTextures(1, &t.name);
    }
    textures.erase(std::remove_if(textures.begin(), textures.end(), [&](const TextureRecord &t) { return t.surface == texture; }),
                   textures.end());
    texture_surfaces.erase(std::remove(texture_surfaces.begin(), texture_surfaces.end(), texture), texture_surfaces.end());
    link::destroy_memory_surface(texture);
}

}  // namespace plat
