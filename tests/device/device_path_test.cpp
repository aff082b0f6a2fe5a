// The scan converters' device path on the OpenGL device (display flags 15):
// the fan's vertex records, the render-state calls around the one draw per
// polygon for each member, and what is never handed to the device.
#include <cmath>

#include "device_fixture.h"
#include "raster/device_path.h"

namespace {

using plat::test::CallKind;
using plat::test::DeviceCall;

constexpr double FAR_Z = 1000.0;

class DevicePath : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_GT(start(64, 48, 16, FLAGS_ANY_DEVICE_Z), 0);
        open_depth_buffer();
        bv_set_3d_depth(1.0, FAR_Z);
        ASSERT_EQ(bv_alloc_textures(2), 0);
        texels_.assign(64 * 64 * 2, 0x5A);
        handle_ = bv_define_texture(texels_.data(), 64, 64);
        ASSERT_EQ(handle_, 0);
        bv_select_texture(handle_);
        name_ = static_cast<uint32_t>(bv_textures.current_texels);
        ASSERT_NE(name_, 0u);
        plat::test::clear_device_calls();
    }

    static DeviceCall state(uint32_t which, uint32_t value) { return DeviceCall{CallKind::RenderState, which, value}; }
    static DeviceCall draw(uint32_t n) { return DeviceCall{CallKind::Draw, 0, n}; }

    static void expect_calls(const std::vector<DeviceCall> &want) {
        const std::vector<DeviceCall> got = device_calls();
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(got[i].kind, want[i].kind);
            EXPECT_EQ(got[i].state, want[i].state);
            EXPECT_EQ(got[i].value, want[i].value);
        }
    }

    static int32_t render_state_calls() {
        int32_t n = 0;
        for (const DeviceCall &c : device_calls()) n += c.kind == CallKind::RenderState ? 1 : 0;
        return n;
    }

    // A clockwise quadrilateral (y down) with the texture's corners.
    const ScreenPoint pts_[4] = {{10, 5}, {50, 7}, {48, 40}, {12, 38}};
    const TexCoord tex_[4] = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
    const Vertex3 cam_[4] = {{-1, 1, 100}, {1, 1, 125}, {1, -1, 160}, {-1, -1, 200}};
    std::vector<uint8_t> texels_;
    int32_t handle_ = -1;
    uint32_t name_ = 0;
};

TEST_F(DevicePath, DepthMembersMakeFiveRenderStateCallsAndTheDraw) {
    ASSERT_EQ(bv_display.zenabled, 1);
    using namespace plat;
    for (bool perspective : {true, false}) {
        SCOPED_TRACE(perspective);
        plat::test::clear_device_calls();
        if (perspective) {
            EXPECT_EQ(bv::raster_perspective_depth(pts_, tex_, cam_, 4), 0);
        } else {
            EXPECT_EQ(bv::raster_affine_depth(pts_, tex_, cam_, 4), 0);
        }
        expect_calls({state(RS_TEXTUREHANDLE, name_), state(RS_TEXTUREPERSPECTIVE, perspective ? 1 : 0),
                      state(RS_CULLMODE, CULL_NONE), draw(4), state(RS_CULLMODE, CULL_CCW),
                      state(RS_TEXTUREHANDLE, 0)});
        EXPECT_EQ(render_state_calls(), 5);
        EXPECT_EQ(bv_display.result, 0);
    }
}

TEST_F(DevicePath, MembersWithoutDepthSwitchTheDepthTestOffForTheirDrawOnly) {
    using namespace plat;
    for (bool perspective : {true, false}) {
        SCOPED_TRACE(perspective);
        plat::test::clear_device_calls();
        if (perspective) {
            bv::raster_perspective(pts_, tex_, cam_, 4);
        } else {
            bv::raster_affine(pts_, tex_, 4);
        }
        expect_calls({state(RS_TEXTUREHANDLE, name_), state(RS_TEXTUREPERSPECTIVE, perspective ? 1 : 0),
                      state(RS_ZENABLE, 0), draw(4), state(RS_TEXTUREHANDLE, 0), state(RS_ZENABLE, 1)});
        EXPECT_EQ(render_state_calls(), 5);
    }
}

TEST_F(DevicePath, WithTheDepthTestOffTheMembersWithoutDepthMakeThreeCalls) {
    bv_free_zbuffer(zbuffer_);
    zbuffer_ = nullptr;
    ASSERT_EQ(bv_display.zenabled, 0);
    ASSERT_EQ(bv_display.zsurface, nullptr);
    using namespace plat;
    plat::test::clear_device_calls();
    bv::raster_perspective(pts_, tex_, cam_, 4);
    expect_calls({state(RS_TEXTUREHANDLE, name_), state(RS_TEXTUREPERSPECTIVE, 1), draw(4), state(RS_TEXTUREHANDLE, 0)});
    plat::test::clear_device_calls();
    bv::raster_affine(pts_, tex_, 4);
    EXPECT_EQ(render_state_calls(), 3);
    // The depth members still make five.
    plat::test::clear_device_calls();
    bv::raster_affine_depth(pts_, tex_, cam_, 4);
    EXPECT_EQ(render_state_calls(), 5);
}

TEST_F(DevicePath, TheFanHoldsTheTabledValues) {
    bv_target.origin_x = 3;
    bv_target.origin_y = -2;
    bv::raster_perspective_depth(pts_, tex_, cam_, 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const plat::TLVertex &v = bv::tl_vertices[i];
        EXPECT_EQ(v.sx, static_cast<float>(pts_[i].x + 3));
        EXPECT_EQ(v.sy, static_cast<float>(pts_[i].y - 2));
        EXPECT_FLOAT_EQ(v.sz, static_cast<float>(cam_[i].z / FAR_Z));
        EXPECT_FLOAT_EQ(v.rhw, static_cast<float>(1.0 / cam_[i].z));
        EXPECT_EQ(v.color, 0x00FFFFFFu);
        EXPECT_EQ(v.specular, 0u);
    }
    // u = 63 on a 64-texel texture is 63/64, exactly.
    EXPECT_EQ(bv::tl_vertices[1].tu, 0.984375f);
    EXPECT_EQ(bv::tl_vertices[1].tv, 0.0f);
    EXPECT_EQ(bv::tl_vertices[2].tv, 0.984375f);
    EXPECT_EQ(bv::tl_vertices[0].tu, 0.0f);
    bv_target.origin_x = 0;
    bv_target.origin_y = 0;
}

TEST_F(DevicePath, MembersWithoutDepthGiveZeroDepthAndAffineOnesAUnitRhw) {
    bv::raster_perspective(pts_, tex_, cam_, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(bv::tl_vertices[i].sz, 0.0f);
        EXPECT_FLOAT_EQ(bv::tl_vertices[i].rhw, static_cast<float>(1.0 / cam_[i].z));
    }
    bv::raster_affine_depth(pts_, tex_, cam_, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(bv::tl_vertices[i].sz, static_cast<float>(cam_[i].z / FAR_Z));
        EXPECT_EQ(bv::tl_vertices[i].rhw, 1.0f);
    }
    bv::raster_affine(pts_, tex_, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(bv::tl_vertices[i].sz, 0.0f);
        EXPECT_EQ(bv::tl_vertices[i].rhw, 1.0f);
    }
}

TEST_F(DevicePath, FewerThanTwoVerticesReachNoDevice) {
    for (uint32_t n : {0u, 1u}) {
        bv::raster_perspective_depth(pts_, tex_, cam_, n);
        bv::raster_perspective(pts_, tex_, cam_, n);
        bv::raster_affine_depth(pts_, tex_, cam_, n);
        bv::raster_affine(pts_, tex_, n);
    }
    EXPECT_EQ(plat::test::device_call_count(), 0);
    // Two vertices do reach it (a fan of no triangle).
    bv::raster_affine(pts_, tex_, 2);
    EXPECT_EQ(render_state_calls(), 5);
}

TEST_F(DevicePath, MoreVerticesThanTheFanHoldsDrawNothing) {
    std::vector<ScreenPoint> pts(321, ScreenPoint{5, 5});
    std::vector<TexCoord> tex(321, TexCoord{0, 0});
    std::vector<Vertex3> cam(321, Vertex3{0, 0, 100});
    bv::raster_perspective_depth(pts.data(), tex.data(), cam.data(), 321);
    bv::raster_affine(pts.data(), tex.data(), 321);
    EXPECT_EQ(plat::test::device_call_count(), 0);
    // 320 fit.
    bv::raster_affine(pts.data(), tex.data(), 320);
    ASSERT_EQ(plat::test::device_call_count(), 6);
    EXPECT_EQ(plat::test::device_call(3).value, 320u);
}

TEST_F(DevicePath, AReleasedTextureIsNeverHandedToTheDevice) {
    bv_free_texture(handle_);
    EXPECT_EQ(bv_textures.current_texels, 0u);
    bv::raster_perspective_depth(pts_, tex_, cam_, 4);
    EXPECT_EQ(plat::test::device_call_count(), 0);
    // Selecting the freed slot changes nothing.
    bv_select_texture(handle_);
    bv::raster_affine(pts_, tex_, 4);
    EXPECT_EQ(plat::test::device_call_count(), 0);
}

TEST_F(DevicePath, ThePipelineDrawsPageZeroThroughTheDevice) {
    bv_set_3d_viewport(0, 63, 0, 47, 0.5);
    bv_set_3d_flags(RF_PERSPECTIVE | RF_DEPTH);
    bv_set_3d_pose(0, 0, 100, 0, 0, 0);
    const Vertex3 quad[4] = {{10, -10, 0}, {-10, -10, 0}, {-10, 10, 0}, {10, 10, 0}};
    const TexCoord tex[4] = {{63, 63}, {0, 63}, {0, 0}, {63, 0}};
    EXPECT_EQ(bv_draw_3d_poly(quad, tex, 4), 0);
    int32_t draws = 0;
    for (const DeviceCall &c : device_calls()) draws += c.kind == CallKind::Draw ? 1 : 0;
    EXPECT_EQ(draws, 1);
}

TEST_F(DevicePath, TheDrawsResultIsKeptAndTheClosingCallsAreMadeWhateverItIs) {
    plat::test::lose_surfaces();
    bv::raster_perspective(pts_, tex_, cam_, 4);
    EXPECT_EQ(bv_display.result, plat::ERR_SURFACE_LOST);
    EXPECT_EQ(render_state_calls(), 5);
    plat::test::reset();
    bv_flip();
    bv::raster_perspective(pts_, tex_, cam_, 4);
    EXPECT_EQ(bv_display.result, 0);
}

TEST_F(DevicePath, NonFiniteVerticesDrawNothing) {
    const Vertex3 cam[4] = {{0, 0, 100}, {0, 0, 0}, {0, 0, 100}, {0, 0, 100}};
    bv::raster_perspective_depth(pts_, tex_, cam, 4);
    EXPECT_EQ(bv_display.result, plat::ERR_INVALID);
}

}  // namespace
