// The device path of the four scan converters: the polygon goes to the 3D
// device as one triangle fan of pre-transformed vertices, framed by the
// render states that make the device draw as the member would: perspective
// correction or not, both windings with the depth test (depth members) or
// clockwise polygons only without it (the others).
#include "raster/device_path.h"

#include "state.h"

namespace bv {

plat::TLVertex tl_vertices[MAX_POLYGON_VERTICES];

namespace {

constexpr uint32_t WHITE = 0x00FFFFFF;

struct MemberTraits {
    bool perspective;
    bool depth;
};

MemberTraits traits_of(RasterMember member) {
    switch (member) {
    case RasterMember::PerspectiveDepth: return {true, true};
    case RasterMember::Perspective: return {true, false};
    case RasterMember::AffineDepth: return {false, true};
    case RasterMember::Affine: return {false, false};
    }
    return {false, false};
}

// The reciprocals are formed once and multiplied in, as the device expects
// texture positions across the texture and depths across the view.
void fill_vertices(MemberTraits m, const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, uint32_t n) {
    const double inv_far = 1.0 / bv_view.far_z;
    const double inv_width = 1.0 / bv_textures.current_width;
    const double inv_height = 1.0 / bv_textures.current_height;
    for (uint32_t i = 0; i < n; ++i) {
        plat::TLVertex &v = tl_vertices[i];
        v.sx = static_cast<float>(static_cast<int64_t>(pts[i].x) + bv_target.origin_x);
        v.sy = static_cast<float>(static_cast<int64_t>(pts[i].y) + bv_target.origin_y);
        v.sz = m.depth ? static_cast<float>(cam[i].z * inv_far) : 0.0f;
        v.rhw = m.perspective ? static_cast<float>(1.0 / cam[i].z) : 1.0f;
        v.color = WHITE;
        v.specular = 0;
        v.tu = static_cast<float>(tex[i].u * inv_width);
        v.tv = static_cast<float>(tex[i].v * inv_height);
    }
}

void draw_with_depth(BvPlatDevice *device, uint32_t n) {
    plat::set_render_state(device, plat::RS_CULLMODE, plat::CULL_NONE);
    bv::store_result(plat::draw_triangle_fan(device, tl_vertices, n));
    plat::set_render_state(device, plat::RS_CULLMODE, plat::CULL_CCW);
    plat::set_render_state(device, plat::RS_TEXTUREHANDLE, 0);
}

// The depth test is off for this draw only, and comes back as `zenabled`
// says.
void draw_without_depth(BvPlatDevice *device, uint32_t n) {
    const int32_t zenabled = bv_display.zenabled;
    if (zenabled != 0) plat::set_render_state(device, plat::RS_ZENABLE, 0);
    bv::store_result(plat::draw_triangle_fan(device, tl_vertices, n));
    plat::set_render_state(device, plat::RS_TEXTUREHANDLE, 0);
    if (zenabled != 0) plat::set_render_state(device, plat::RS_ZENABLE, static_cast<uint32_t>(zenabled));
}

// Nothing is handed over that could not be drawn soundly: fewer than two
// vertices, more than the fan holds, no current texture, or a member that
// reads z without camera-space vertices.
bool polygon_drawable(MemberTraits m, const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, uint32_t n) {
    if (n < 2 || n > MAX_POLYGON_VERTICES) return false;
    if (pts == nullptr || tex == nullptr) return false;
    if ((m.perspective || m.depth) && cam == nullptr) return false;
    if (bv_display.device == nullptr) return false;
    const TextureState &t = bv_textures;
    return t.current_texels != 0 && t.current_width > 0 && t.current_height > 0;
}

}  // namespace

void draw_on_device(RasterMember member, const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, uint32_t n) {
    const MemberTraits m = traits_of(member);
    if (!polygon_drawable(m, pts, tex, cam, n)) return;
    fill_vertices(m, pts, tex, cam, n);
    BvPlatDevice *device = bv_display.device;
    plat::set_render_state(device, plat::RS_TEXTUREHANDLE, static_cast<uint32_t>(bv_textures.current_texels));
    plat::set_render_state(device, plat::RS_TEXTUREPERSPECTIVE, m.perspective ? 1 : 0);
    if (m.depth) {
        draw_with_depth(device, n);
    } else {
        draw_without_depth(device, n);
    }
}

}  // namespace bv
