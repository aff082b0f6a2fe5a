// The OpenGL device (llvmpipe via SDL's offscreen driver): the search over made-up device lists, the device path's
// calls, device textures, the picture page 0 shares with the device. The scene suite compares whole frames.
#include <link.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "library_state.h"
#include "raster/device_path.h"

namespace {

using namespace plat;

constexpr uint32_t D8 = DDBD_8, D16 = DDBD_16, D24 = DDBD_24, D32 = DDBD_32, ALL = D16 | D24 | D32;
test::MadeUpDevice hw(uint32_t render, uint32_t z) { return {"hw", {1, render, z}, {0, 0, 0}}; }
test::MadeUpDevice sw(uint32_t render, uint32_t z) { return {"sw", {0, 0, 0}, {2, render, z}}; }

int32_t affine(const ScreenPoint *p, const TexCoord *t, const Vertex3 *, uint32_t n) { return bv::raster_affine(p, t, n); }
using Member = int32_t (*)(const ScreenPoint *, const TexCoord *, const Vertex3 *, uint32_t);
const struct { bool perspective, depth; Member draw; } MEMBERS[] = {
    {true, true, bv::raster_perspective_depth}, {true, false, bv::raster_perspective},
    {false, true, bv::raster_affine_depth}, {false, false, affine}};
// A clockwise quadrilateral (y down) and the texture's corners.
const ScreenPoint PTS[4] = {{10, 5}, {50, 7}, {48, 40}, {12, 38}};
const TexCoord TEX[4] = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
const Vertex3 CAM[4] = {{-1, 1, 100}, {1, 1, 125}, {1, -1, 160}, {-1, -1, 200}};

struct Device : testing::Test { void TearDown() override { bv_free_texture(-1), bvtest::reset_library(); } };
// A flipping display with page 0 selected, the hooks at their defaults but for these.
int32_t start(int32_t w, int32_t h, int32_t depth, int32_t flags, bool rgb555 = false, int32_t pad = 0) {
    bvtest::reset_library(), set_rgb16_layout(rgb555), test::pad_pitch(pad), bv_config_display(w, h, depth, flags);
    const int32_t kind = bv_start_display();
    return bv_select_page(0), kind;
}
std::vector<uint32_t> page() {
    std::vector<uint32_t> out(static_cast<size_t>(bv_target.width * bv_target.height));
    bv::lock_target();
    for (int32_t i = 0, bytes = bv::target_bytes_per_pixel(); bv::target_drawable() && i < static_cast<int32_t>(out.size()); ++i)
        std::memcpy(&out[i], bv_target.base + i / bv_target.width * bv_target.pitch + i % bv_target.width * bytes, bytes);
    bv::unlock_target();
    return out;
}
int32_t texture(std::vector<uint16_t> texels, int32_t w, int32_t h) {
    const int32_t handle = bv_define_texture(texels.data(), w, h);
    return bv_select_texture(handle), handle;
}

// Flags 13 take a hardware device only, rendering at the display's depth, with the deepest z-buffer it offers (zbits,
// 0 for none). hook 1: the device cannot be made; 2: there is no 3D interface.
const struct { std::vector<test::MadeUpDevice> list; int32_t depth, flags, hook, kind, zbits, result; } SEARCHES[] = {
    {{sw(ALL, ALL)}, 16, 13, 0, 0, 0, 0},              {{hw(D16, D16 | D24)}, 16, 13, 0, 2, 24, 0},
    {{hw(D16, ALL)}, 16, 13, 0, 2, 32, 0},             {{hw(D16, D8 | D16)}, 16, 13, 0, 2, 16, 0},
    {{hw(D16, D8)}, 16, 13, 0, 2, 8, 0},               {{hw(D16, D24 | D8)}, 16, 13, 0, 2, 24, 0},
    {{hw(ALL, 0)}, 16, 13, 0, 0, 0, 0},                {{hw(D24 | D32, D16)}, 16, 13, 0, 0, 0, 0},
    {{hw(D24, D16)}, 24, 13, 0, 2, 16, 0},             {{hw(D16 | D32, D16)}, 24, 13, 0, 0, 0, 0},
    {{hw(D32, D16)}, 32, 13, 0, 2, 16, 0},             {{hw(D24, D16)}, 32, 13, 0, 0, 0, 0},
    {{hw(D16, D16)}, 8, 13, 0, 0, 0, 0},               {{hw(D8, D16)}, 8, 13, 0, 0, 0, ERR_UNSUPPORTED_MODE},
    // Flags 15: a hardware device that fits ends the search; a later software device replaces an earlier one.
    {{hw(D32, ALL), sw(D16, D16)}, 16, 15, 0, 1, 16, 0}, {{sw(ALL, ALL), hw(D16, D16), hw(D16, D32)}, 16, 15, 0, 2, 16, 0},
    {{sw(D16, D16), sw(D16, D24)}, 16, 15, 0, 1, 24, 0}, {{}, 16, 15, 0, 0, 0, 0},
    {{hw(D16, 0), sw(D32, D16)}, 16, 15, 0, 0, 0, 0},  {{sw(ALL, ALL)}, 16, 15, 1, 0, 0, ERR_GENERIC},
    {{sw(ALL, ALL)}, 16, 15, 2, 0, 0, ERR_GENERIC},
    // Flags 11: software only; a hardware side not taken is no software device. 5: no z-buffer. 12: no flipping.
    {{{"both", {1, ALL, ALL}, {2, ALL, ALL}}}, 16, 11, 0, 0, 0, 0}, {{hw(ALL, ALL)}, 16, 11, 0, 0, 0, 0},
    {{sw(ALL, ALL)}, 16, 11, 0, 1, 32, 0},             {{hw(ALL, 0)}, 16, 5, 0, 2, 0, 0},
    {{hw(ALL, ALL)}, 16, 12, 0, 0, 0, 0},
};

TEST_F(Device, TheSearchTakesTheDeviceAndZBufferTheListAndFlagsAllow) {
    for (const auto &r : SEARCHES) {
        SCOPED_TRACE(testing::Message() << "row " << &r - SEARCHES);
        bvtest::reset_library(), test::set_device_list(r.list.data(), static_cast<int32_t>(r.list.size()));
        test::fail_device_creations(r.hook == 1), test::fail_3d_creations(r.hook == 2);
        bv_config_display(32, 16, r.depth, r.flags);
        EXPECT_EQ(bv_start_display(), r.kind);
        PixelFormat z{};   // of the z-buffer
        EXPECT_TRUE(!bv_display.zsurface || pixel_format(bv_display.zsurface, &z) == OK);
        EXPECT_TRUE(z.bits_per_pixel == r.zbits && test::device_depth_bits() == r.zbits && bv_display.result == r.result);
        // The 3D interface stays after a failed set-up, so that a later start does not search again.
        EXPECT_TRUE((bv_display.device && bv_display.viewport) == (r.kind > 0) && !!bv_display.d3d == (r.flags % 2 && r.hook < 2));
        // The depth buffer handed out is the z-buffer surface, or else a memory block.
        const bv_zbuffer handle = (bv_select_page(0), bv_alloc_zbuffer(32, 16));
        const bool surface = static_cast<void *>(handle) == static_cast<void *>(bv_display.zsurface);
        EXPECT_TRUE(surface == (r.zbits > 0) && bv_open_zbuffer(handle) == 0 && (surface || bv_target.zbuffer_capacity == 512u));
        EXPECT_EQ(bv_free_zbuffer(handle), 0);
    }
}

// The system's enumeration, made up: a device's kind comes from the EGL extensions it lists, never from its
// name. Only the device the search takes gets a context.
const test::SystemDeviceSpec SW = {"llvmpipe", "EGL_EXT_device_drm EGL_MESA_device_software"},
    HW = {"card0", "EGL_EXT_device_drm EGL_EXT_device_drm_render_node"}, DRM = {"llvmpipe", "EGL_EXT_device_drm"},
    ODD = {"card1", "EGL_EXT_device_query EGL_MESA_device_softwares"};
const struct { std::vector<test::SystemDeviceSpec> list; int32_t flags, kind; } SYSTEM_SEARCHES[] = {
    {{HW}, 13, 2}, {{HW}, 11, 0}, {{SW}, 13, 0}, {{SW}, 11, 1}, {{SW, HW}, 15, 2}, {{SW, HW}, 11, 1},
    {{HW, SW}, 11, 1}, {{}, 15, 0}, {{ODD}, 15, 0}, {{DRM}, 13, 2}, {{ODD, SW}, 15, 1},
};

TEST_F(Device, TheSystemsDevicesAreListedByKindAndOnlyTheChosenOneGetsAContext) {
    for (const auto &r : SYSTEM_SEARCHES) {
        SCOPED_TRACE(testing::Message() << "row " << &r - SYSTEM_SEARCHES);
        bvtest::reset_library(), test::set_system_devices(r.list.data(), static_cast<int32_t>(r.list.size()));
        const int64_t contexts = test::contexts_made();
        bv_config_display(32, 16, 16, r.flags);
        EXPECT_EQ(bv_start_display(), r.kind);
        EXPECT_EQ(test::contexts_made() - contexts, r.kind > 0 ? 1 : 0);
        // Dithering would change 16-bit texels; depth is clamped so that nothing beyond the far plane is lost.
        if (r.kind > 0) EXPECT_TRUE(!test::device_dithers() && test::device_clamps_depth());
        test::set_system_devices(nullptr, -1);
    }
}

std::set<std::string> loaded_libraries() {
    std::set<std::string> names;
    dl_iterate_phdr([](dl_phdr_info *info, size_t, void *out) {
        if (info->dlpi_name != nullptr && *info->dlpi_name) static_cast<std::set<std::string> *>(out)->insert(info->dlpi_name);
        return 0;
    }, &names);
    return names;
}

// Mesa's driver, unloaded, would take with it the only pointers to blocks it allocated, and the next start
// would load it (and LLVM) again.
TEST_F(Device, StoppingTheDisplayKeepsTheOpenGLDriverLoaded) {
    const int32_t kind = start(64, 48, 16, 15);
    const std::string renderer = test::device_renderer();
    const bool software = renderer.find("llvmpipe") != renderer.npos || renderer.find("softpipe") != renderer.npos;
    EXPECT_TRUE(kind == (software ? 1 : 2) && test::device_depth_bits() == 32) << renderer;
    const std::set<std::string> with_device = loaded_libraries();
    // A second start keeps the device; stopping releases it.
    void *const d3d = bv_display.d3d, *const device = bv_display.device, *const zsurface = bv_display.zsurface;
    EXPECT_EQ(bv_start_display(), kind);
    EXPECT_TRUE(bv_display.d3d == d3d && bv_display.device == device && bv_display.zsurface == zsurface);
    EXPECT_TRUE(bv_stop_display() == 0 && !bv_display.d3d && !bv_display.device && !bv_display.viewport && !bv_display.zsurface);
    EXPECT_EQ(test::device_depth_bits(), 0);
    const std::set<std::string> after_stop = loaded_libraries();
    for (const std::string &name : with_device) EXPECT_EQ(after_stop.count(name), 1u) << name << " was unloaded";
    ASSERT_GT(start(64, 48, 16, 15), 0);
    EXPECT_EQ(loaded_libraries(), with_device);
}

// The device's calls since the last clear, in short: T texture handle (bare: the selected texture's name),
// P perspective, Z depth test, F depth function, C cull mode, each with its value; D a draw of n vertices;
// K a clear of the depth buffer; B, E the scene.
std::string calls(uint32_t name) {
    const std::map<uint32_t, std::string> states = {
        {RS_TEXTUREHANDLE, "T"}, {RS_TEXTUREPERSPECTIVE, "P"}, {RS_ZENABLE, "Z"}, {RS_ZFUNC, "F"}, {RS_CULLMODE, "C"}};
    std::ostringstream out;
    for (int32_t i = 0; i < test::device_call_count(); ++i) {
        const test::DeviceCall c = test::device_call(i);
        const bool state = c.kind == test::CallKind::RenderState, bare = state && c.state == RS_TEXTUREHANDLE && c.value == name;
        out << (i > 0 ? " " : "") << (state ? states.at(c.state) : std::string(1, "?DBEK"[static_cast<int>(c.kind)]));
        if ((state && !bare) || c.kind == test::CallKind::Draw) out << c.value;
        if (c.kind == test::CallKind::Clear && (c.state != CLEAR_ZBUFFER || c.value != 1)) out << '?';
    }
    return out.str();
}

// The steps run in order, each on the display as the steps before left it. A fan of four vertices carries the
// pixels moved by the origin, z / far and 1 / z as its member uses them, u / 64 and v / 64, and white.
TEST_F(Device, EachStepMakesTheDeviceCallsOfItsMember) {
    ASSERT_EQ(start(64, 48, 16, 15), 1);
    const bv_zbuffer zbuffer = bv_alloc_zbuffer(64, 48);
    bv_set_3d_depth(1.0, 1000.0);
    ASSERT_TRUE(bv_alloc_textures(1) == 0 && texture(std::vector<uint16_t>(64 * 64, 0x5A5A), 64, 64) == 0);
    bv_target.origin_x = 3, bv_target.origin_y = -2;
    const float fan[4][6] = {{13, 3, 0.1f, 0.01f, 0, 0}, {53, 5, 0.125f, 0.008f, 0.984375f, 0},
                             {51, 38, 0.16f, 0.00625f, 0.984375f, 0.984375f}, {15, 36, 0.2f, 0.005f, 0, 0.984375f}};
    auto member = [&](int m, uint32_t n) {
        return [&, m, n] {
            bv::tl_vertices[0] = {}, MEMBERS[m].draw(PTS, TEX, CAM, n);
            for (int i = 0; n == 4 && i < 4; ++i) {
                const TLVertex &v = bv::tl_vertices[i];
                const float sz = MEMBERS[m].depth ? fan[i][2] : 0, rhw = MEMBERS[m].perspective ? fan[i][3] : 1;
                EXPECT_TRUE(v.sx == fan[i][0] && v.sy == fan[i][1] && v.sz == sz && v.rhw == rhw &&
                            v.color == 0x00FFFFFF && v.specular == 0 && v.tu == fan[i][4] && v.tv == fan[i][5]) << m << ", " << i;
            }
            return bv_display.result;
        };
    };
    const std::vector<ScreenPoint> pts(321, ScreenPoint{5, 5});
    const std::vector<TexCoord> tex(321, TexCoord{0, 0});
    const std::vector<Vertex3> cam(321, Vertex3{0, 0, 100});
    const Vertex3 at_zero[4] = {{0, 0, 100}, {0, 0, 0}, {0, 0, 100}, {0, 0, 100}};
    const struct { const char *what; std::function<int32_t()> act; int32_t result; const char *calls; } steps[] = {
        {"open the z-buffer", [&] { return bv_open_zbuffer(zbuffer); }, 0, "Z1 F2 K"},
        {"new depth frame", bv_zbuffer_frame, 0, "K"},
        {"scene", [] { const int32_t r = bv_3d_scene(2); return r | bv_3d_scene(3); }, 0, "B E"},
        {"perspective depth", member(0, 4), 0, "T P1 C1 D4 C3 T0"},
        {"perspective", member(1, 4), 0, "T P1 Z0 D4 T0 Z1"},
        {"affine depth", member(2, 4), 0, "T P0 C1 D4 C3 T0"},
        {"affine", member(3, 4), 0, "T P0 Z0 D4 T0 Z1"},
        {"one vertex or none", [] { for (int m = 0; m < 8; ++m) MEMBERS[m / 2].draw(PTS, TEX, CAM, m % 2); return 0; }, 0, ""},
        {"two vertices", member(3, 2), 0, "T P0 Z0 D2 T0 Z1"},
        {"more than the fan holds", [&] { return MEMBERS[0].draw(pts.data(), tex.data(), cam.data(), 321); }, 0, ""},
        {"as many as it holds", [&] { return bv::raster_affine(pts.data(), tex.data(), 320); }, 0, "T P0 Z0 D320 T0 Z1"},
        {"a vertex at z = 0", [&] { return MEMBERS[0].draw(PTS, TEX, at_zero, 4) | bv_display.result; }, ERR_INVALID,
         "T P1 C1 D4 C3 T0"},
        {"a lost page", [&] { test::lose_surfaces(); return member(1, 4)(); }, ERR_SURFACE_LOST, "T P1 Z0 D4 T0 Z1"},
        {"a lost page's depth frame", bv_zbuffer_frame, ERR_SURFACE_LOST, "K"},
        {"a fill restores the page", [&] { bv_set_color(0); return bv_fill_page() | member(3, 4)(); }, 0, "T P0 Z0 D4 T0 Z1"},
        {"a locked page", [&] { bv::lock_target(); const int32_t r = member(3, 4)(); bv::unlock_target(); return r; },
         ERR_SURFACE_BUSY, "T P0 Z0 D4 T0 Z1"},
        {"free the z-buffer, whatever the handle", [] {
             return bv_free_zbuffer(nullptr) | !!bv_display.zsurface | bv_display.zenabled | test::device_depth_bits(); },
         0, "Z0"},
        {"depth test off", member(3, 4), 0, "T P0 D4 T0"},
        {"freed", [] { return bv_free_texture(0) | MEMBERS[0].draw(PTS, TEX, CAM, 4) | !!bv_textures.current_texels; }, 0, ""},
        {"a freed texture selected again", [&] { bv_select_texture(0); return bv::raster_affine(PTS, TEX, 4); }, 0, ""},
        {"no page", [] { bv_deselect_page(); const int32_t r = bv_3d_scene(0); return r | bv_3d_scene(1); }, 0, ""},
    };
    const auto name = static_cast<uint32_t>(bv_textures.current_texels);
    for (const auto &s : steps) {
        test::clear_device_calls();
        EXPECT_EQ(s.act(), s.result) << s.what;
        EXPECT_EQ(calls(name), s.calls) << s.what;
    }
}

// On a padded page of each format, a lock sees the device's fill, the device shows a pixel written through the
// lock, and a flip presents the device's picture (16-bit channels widened by repeating their top bits).
TEST_F(Device, EveryPageFormatSharesOnePictureWithTheDevice) {
    const struct { int32_t depth; bool rgb555; uint32_t fill, dot, fill_shown, dot_shown; } rows[] = {
        {16, false, 0xA5C3, 0x001F, 0xA5BA18, 0x0000FF}, {16, true, 0x2B6D, 0x03E0, 0x52DE6B, 0x00FF00},
        {24, false, 0x123456, 0x89ABCD, 0x123456, 0x89ABCD}, {32, false, 0x80ABCDEF, 0x13579B, 0xABCDEF, 0x13579B}};
    for (const auto &r : rows) {
        ASSERT_EQ(start(24, 10, r.depth, 15, r.rgb555, 6), 1);
        bv_set_color(static_cast<int32_t>(r.fill));
        EXPECT_TRUE(bv_fill_page() == 0 && page() == std::vector<uint32_t>(240, r.fill)) << r.depth << ", " << r.rgb555;
        bv::lock_target();
        std::memcpy(bv_target.base + 7 * bv_target.pitch + 5 * r.depth / 8, &r.dot, r.depth / 8);
        bv::unlock_target();
        std::vector<uint32_t> shown(240), want(240, r.fill_shown);
        want[7 * 24 + 5] = r.dot_shown;
        ASSERT_TRUE(bv_flip() == 0 && test::last_presented(shown.data(), 24, 10));
        for (uint32_t &p : shown) p &= 0xFFFFFF;
        EXPECT_EQ(shown, want) << r.depth << ", " << r.rgb555;
    }
}

TEST_F(Device, AFailedDeviceTextureLeavesItsSlotFree) {
    ASSERT_TRUE(start(64, 48, 16, 15) == 1 && bv_alloc_textures(2) == 0);
    const std::vector<uint8_t> block(8 * 8 * 2, 0x42);
    const TextureEntry *const slots = bv_textures.texture_table;
    const struct { int hook; int32_t w, h; } rows[] = {   // hook 1: the lock fails; 2: no handle
        {1, 8, 8}, {2, 8, 8}, {0, 0, 4}, {0, 4, 0}, {0, -4, 4}, {0, 4, -1}, {0, 1 << 20, 1}};
    for (const auto &r : rows) {
        bv_display.result = 0, test::fail_locks(r.hook == 1), test::fail_texture_handles(r.hook == 2);
        EXPECT_EQ(bv_define_texture(block.data(), r.w, r.h), -2) << r.hook << ": " << r.w << " x " << r.h;
        EXPECT_TRUE(slots[0].texels == 0 && slots[0].surface == nullptr && (bv_display.result != 0) == (r.hook != 0));
    }
    EXPECT_TRUE(bv_define_texture(block.data(), 8, 8) == 0 && bv_define_texture(block.data(), 8, 8) == 1);
    bv_select_texture(1), bv_free_texture(1);
    EXPECT_TRUE(slots[1].texels == 0 && slots[1].surface == nullptr && bv_textures.current_texels == 0);
    EXPECT_EQ(bv_define_texture(block.data(), 8, 8), 1);
    // Forgotten when the display stops: the software paths never take a texture's name for an address.
    bv_select_texture(0), bv_stop_display();
    EXPECT_TRUE(bv_textures.current_texels == 0 && start(64, 48, 16, 9) == 0 && bv::raster_affine(PTS, TEX, 4) == 0);
}

// A 16 x 15 page covered by a 3 x 3 texture at z = 100: like the scan converters, pixel (x, y) samples at
// u = 3 (x + 1/2) / 16, v = 3 y / 15 and takes the nearest texel, column (6x + 19) / 32 and row (2y + 5) / 10
// (at most 2). A red square over it at z = 50 the members without depth draw only clockwise and without the
// depth test, so that a blue one at z = 75 then hides it; the depth members draw it either way.
TEST_F(Device, PixelsTakeTheNearestTexelAndOnlyDepthMembersTestDepthAndDrawBothWindings) {
    ASSERT_TRUE(start(16, 15, 16, 15) == 1 && bv_open_zbuffer(bv_alloc_zbuffer(16, 15)) == 0 && bv_alloc_textures(3) == 0);
    bv_set_3d_depth(1.0, 1000.0);
    const std::vector<uint16_t> texels = {0x0841, 0x1083, 0x18C5, 0x2107, 0x2949, 0x318B, 0x39CD, 0x420F, 0x4A51};
    const int32_t sheet = texture(texels, 3, 3), red = texture(std::vector<uint16_t>(4, 0xF800), 2, 2),
                  blue = texture(std::vector<uint16_t>(4, 0x1F), 2, 2);
    const ScreenPoint whole[4] = {{0, 0}, {16, 0}, {16, 15}, {0, 15}};
    const ScreenPoint clockwise[4] = {{2, 2}, {12, 2}, {12, 12}, {2, 12}}, counter[4] = {{2, 2}, {2, 12}, {12, 12}, {12, 2}};
    const TexCoord tex[4] = {{0, 0}, {3, 0}, {3, 3}, {0, 3}}, unit[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    auto at = [](double z) { return std::vector<Vertex3>(4, Vertex3{0, 0, z}); };
    for (int i = 0; i < 8; ++i) {
        const bool cw = i % 2 == 0, depth = MEMBERS[i / 2].depth;
        bv_zbuffer_frame(), bv_select_texture(sheet);
        bv::raster_perspective_depth(whole, tex, at(100).data(), 4);
        const std::vector<uint32_t> before = page();
        for (int p = 0; i == 0 && p < 240; ++p) {
            const int x = p % 16, y = p / 16, column = std::min((6 * x + 19) / 32, 2), row = std::min((2 * y + 5) / 10, 2);
            EXPECT_EQ(before.at(p), texels[row * 3 + column]) << x << ", " << y;
        }
        bv_select_texture(red);
        MEMBERS[i / 2].draw(cw ? clockwise : counter, unit, at(50).data(), 4);
        EXPECT_EQ(page().at(7 * 16 + 7), depth || cw ? 0xF800 : before.at(7 * 16 + 7)) << "member " << i / 2 << ", " << cw;
        bv_select_texture(blue);
        bv::raster_affine_depth(clockwise, unit, at(75).data(), 4);
        EXPECT_EQ(page().at(7 * 16 + 7), depth ? 0xF800u : 0x1Fu) << "member " << i / 2 << ", " << cw;
    }
}

}  // namespace
