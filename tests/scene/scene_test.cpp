// The cube scene driven through the real keyboard path and the real
// display on the offscreen driver: key order, Shift, angle wrapping, when
// frames are drawn, and what the first frames show.
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "face_sheet.h"
#include "platform/platform.h"
#include "scene.h"
#include "shell.h"

namespace {

using namespace zarvel;
using face_sheet::Quadrant;

constexpr int W = 640;
constexpr int H = 480;
constexpr uint32_t WHITE = 0xFFFFFF;

std::string sheet_path() {
    static const std::string path = [] {
        std::string p = testing::TempDir() + "zarvel_scene_faces_" + std::to_string(getpid()) + ".pcx";
        face_sheet::write_pcx(p);
        return face_sheet::ScratchFiles::keep(p);
    }();
    return path;
}

// The colour a face quadrant shows on the 16-bit RGB565 screen.
uint32_t shown(int face, Quadrant q) { return face_sheet::shown_565(face_sheet::rgb565(face_sheet::colour_of(face, q))); }

class Scene : public testing::Test {
protected:
    void SetUp() override {
        plat::test::reset();
        hold({});
        ResetScene();
        StartOptions options;
        const std::string path = sheet_path();
        options.pcx_file = path.c_str();
        const StartResult started = StartUp(nullptr, options);
        ASSERT_GE(started.device_kind, 0) << plat::last_error();
        ASSERT_EQ(started.pcx_result, 0);
    }
    void TearDown() override {
        ShutDown();
        plat::test::clear_keys();
        plat::test::reset();
    }

    static void hold(std::initializer_list<int32_t> keys) {
        std::vector<int32_t> codes(keys);
        plat::test::set_keys(codes.data(), static_cast<int32_t>(codes.size()));
    }
    static void steps(std::initializer_list<int32_t> keys, int count) {
        hold(keys);
        for (int i = 0; i < count; ++i) UpdateFrame();
        hold({});
    }
    static std::vector<uint32_t> screen() {
        std::vector<uint32_t> pixels(W * H);
        EXPECT_TRUE(plat::test::last_presented(pixels.data(), W, H));
        for (uint32_t &p : pixels) p &= 0xFFFFFF;
        return pixels;
    }
    static uint32_t at(const std::vector<uint32_t> &s, int x, int y) { return s[static_cast<size_t>(y) * W + x]; }
};

struct Pose {
    double x, y, z;
    int32_t ax, ay, az;
};
Pose pose() { return Pose{cube_x, cube_y, cube_z, angle_x, angle_y, angle_z}; }

// ---- Keys ---------------------------------------------------------------------

TEST_F(Scene, ControlKeysActInTableOrderOnePerCall) {
    struct Expect {
        int32_t scan;
        Pose delta;         // change of each field; angles as they end from 0
    };
    const Expect table[] = {
        {74, {0, 0, 3, 0, 0, 0}},   {78, {0, 0, -3, 0, 0, 0}},  {75, {-3, 0, 0, 0, 0, 0}},
        {77, {3, 0, 0, 0, 0, 0}},   {72, {0, 3, 0, 0, 0, 0}},   {80, {0, -3, 0, 0, 0, 0}},
        {45, {0, 0, 0, 354, 0, 0}}, {21, {0, 0, 0, 0, 354, 0}}, {44, {0, 0, 0, 0, 0, 354}},
    };
    const int n = sizeof table / sizeof table[0];
    // Hold key k and every key after it: only key k may act.
    for (int k = 0; k < n; ++k) {
        std::vector<int32_t> codes;
        for (int j = k; j < n; ++j) codes.push_back(table[j].scan);
        plat::test::set_keys(codes.data(), static_cast<int32_t>(codes.size()));
        const Pose before = pose();
        UpdateFrame();
        const Pose after = pose();
        SCOPED_TRACE(testing::Message() << "holding from scan code " << table[k].scan);
        EXPECT_EQ(after.x - before.x, table[k].delta.x);
        EXPECT_EQ(after.y - before.y, table[k].delta.y);
        EXPECT_EQ(after.z - before.z, table[k].delta.z);
        EXPECT_EQ(after.ax - before.ax, table[k].delta.ax);
        EXPECT_EQ(after.ay - before.ay, table[k].delta.ay);
        EXPECT_EQ(after.az - before.az, table[k].delta.az);
    }
}

TEST_F(Scene, KeypadMinusHoldsBackTheArrowUntilReleased) {
    steps({74, 75}, 3);
    EXPECT_EQ(cube_z, 109.0);
    EXPECT_EQ(cube_x, 0.0);
    steps({75}, 1);
    EXPECT_EQ(cube_z, 109.0);
    EXPECT_EQ(cube_x, -3.0);
}

TEST_F(Scene, EitherShiftTurnsForwardWithoutShiftBackward) {
    steps({42, 45}, 1);
    EXPECT_EQ(angle_x, 6);
    steps({54, 45}, 1);
    EXPECT_EQ(angle_x, 12);
    steps({45}, 3);
    EXPECT_EQ(angle_x, 354);
    steps({54, 21}, 2);
    EXPECT_EQ(angle_y, 12);
    steps({44}, 1);
    EXPECT_EQ(angle_z, 354);
}

TEST_F(Scene, AnglesWrapAndReachThePoseInTenths) {
    angle_x = 354;
    steps({42, 45}, 1);
    EXPECT_EQ(angle_x, 0);
    angle_y = 354;
    steps({54, 21}, 1);
    EXPECT_EQ(angle_y, 0);
    angle_z = 354;
    steps({42, 44}, 1);
    EXPECT_EQ(angle_z, 0);

    steps({45}, 1);
    EXPECT_EQ(angle_x, 354);
    // 3540 tenths about X: rows 1 and 2 hold (0, cos 6, sin 6) and
    // (0, -sin 6, cos 6); 60 tenths would flip both signs of the sines.
    const double c = std::cos(6.0 * M_PI / 180.0), s = std::sin(6.0 * M_PI / 180.0);
    EXPECT_NEAR(bv_view.transform[1][1], c, 1e-15);
    EXPECT_NEAR(bv_view.transform[1][2], s, 1e-15);
    EXPECT_NEAR(bv_view.transform[2][1], -s, 1e-15);
    EXPECT_NEAR(bv_view.transform[2][2], c, 1e-15);
    EXPECT_EQ(bv_view.transform[2][3], 100.0);
}

// ---- When frames are drawn ------------------------------------------------------

TEST_F(Scene, DrawsOnTheFirstCallThenOnlyAfterAChange) {
    const int64_t start = plat::test::flips_presented();
    UpdateFrame();
    EXPECT_EQ(plat::test::flips_presented(), start + 1);
    EXPECT_EQ(redraw, 0);
    UpdateFrame();
    UpdateFrame();
    EXPECT_EQ(plat::test::flips_presented(), start + 1);
    steps({74}, 2);
    EXPECT_EQ(plat::test::flips_presented(), start + 3);
    UpdateFrame();
    EXPECT_EQ(plat::test::flips_presented(), start + 3);
}

TEST_F(Scene, ShiftAloneOrAKeyOutsideTheTableDrawsNothingNew) {
    UpdateFrame();
    const int64_t after_first = plat::test::flips_presented();
    const Pose before = pose();
    steps({42}, 2);
    steps({54}, 2);
    steps({42, 54}, 1);
    steps({30}, 2);     // A
    steps({1}, 1);      // Escape: the shell's key, not the scene's
    EXPECT_EQ(plat::test::flips_presented(), after_first);
    const Pose after = pose();
    EXPECT_EQ(after.x, before.x);
    EXPECT_EQ(after.z, before.z);
    EXPECT_EQ(after.ax, before.ax);
}

// ---- What the first frames show ----------------------------------------------------

TEST_F(Scene, StartPoseShowsFaceZeroUprightBetweenItsProjectedCorners) {
    UpdateFrame();
    const std::vector<uint32_t> s = screen();
    // Corners (400, 320), (240, 320), (240, 160), (400, 160): columns
    // 240..399 and rows 160..319 are covered.
    EXPECT_EQ(at(s, 240, 160), shown(0, face_sheet::TOP_LEFT));
    EXPECT_EQ(at(s, 399, 160), shown(0, face_sheet::TOP_RIGHT));
    EXPECT_EQ(at(s, 240, 319), shown(0, face_sheet::BOTTOM_LEFT));
    EXPECT_EQ(at(s, 399, 319), shown(0, face_sheet::BOTTOM_RIGHT));
    EXPECT_EQ(at(s, 239, 160), WHITE);
    EXPECT_EQ(at(s, 400, 160), WHITE);
    EXPECT_EQ(at(s, 240, 159), WHITE);
    EXPECT_EQ(at(s, 240, 320), WHITE);
    EXPECT_EQ(at(s, 399, 320), WHITE);
    EXPECT_EQ(at(s, 0, 0), WHITE);
    EXPECT_EQ(at(s, 639, 479), WHITE);
}

TEST_F(Scene, ThirteenStepsNearerTheFrontFaceIsStillWhole) {
    steps({78}, 13);
    EXPECT_EQ(cube_z, 61.0);
    const std::vector<uint32_t> s = screen();
    // Face 0 at z = 41: 20 * 320 / 41 = 156.1, so columns 164..475, rows 84..395.
    EXPECT_EQ(at(s, 164, 84), shown(0, face_sheet::TOP_LEFT));
    EXPECT_EQ(at(s, 475, 84), shown(0, face_sheet::TOP_RIGHT));
    EXPECT_EQ(at(s, 164, 395), shown(0, face_sheet::BOTTOM_LEFT));
    EXPECT_EQ(at(s, 475, 395), shown(0, face_sheet::BOTTOM_RIGHT));
    EXPECT_EQ(at(s, 320 - 40, 240 - 40), shown(0, face_sheet::TOP_LEFT));
    EXPECT_EQ(at(s, 320 + 40, 240 + 40), shown(0, face_sheet::BOTTOM_RIGHT));
    EXPECT_EQ(at(s, 163, 240), WHITE);
    EXPECT_EQ(at(s, 476, 240), WHITE);
    EXPECT_EQ(at(s, 320, 83), WHITE);
    EXPECT_EQ(at(s, 320, 396), WHITE);
}

TEST_F(Scene, FourteenStepsNearerTheFrontFaceGoesAndTheSidesAreCut) {
    steps({78}, 14);
    EXPECT_EQ(cube_z, 58.0);
    const std::vector<uint32_t> s = screen();
    // The back face at z = 78 (20 * 320 / 78 = 82.05: columns 238..401,
    // rows 158..321), seen from inside: upside down, so its texture's
    // bottom quadrants are at the top of the screen.
    EXPECT_EQ(at(s, 250, 170), shown(2, face_sheet::BOTTOM_LEFT));
    EXPECT_EQ(at(s, 390, 170), shown(2, face_sheet::BOTTOM_RIGHT));
    EXPECT_EQ(at(s, 250, 310), shown(2, face_sheet::TOP_LEFT));
    EXPECT_EQ(at(s, 390, 310), shown(2, face_sheet::TOP_RIGHT));
    // The sides reach out to the cut at z = 40: x = +-20 * 320 / 40 = +-160,
    // so columns 160..479 and rows 80..399.
    // Near the cut the side faces show their texels nearest the front edge.
    EXPECT_EQ(at(s, 159, 300), WHITE);
    EXPECT_EQ(at(s, 160, 300), shown(1, face_sheet::BOTTOM_RIGHT));
    EXPECT_EQ(at(s, 165, 150), shown(1, face_sheet::TOP_RIGHT));
    EXPECT_EQ(at(s, 479, 300), shown(3, face_sheet::BOTTOM_LEFT));
    EXPECT_EQ(at(s, 480, 300), WHITE);
    EXPECT_EQ(at(s, 250, 79), WHITE);
    EXPECT_EQ(at(s, 250, 80), shown(5, face_sheet::BOTTOM_LEFT));
    EXPECT_EQ(at(s, 250, 399), shown(4, face_sheet::TOP_LEFT));
    EXPECT_EQ(at(s, 250, 400), WHITE);
    // Nothing of the front face is left in the middle.
    EXPECT_EQ(at(s, 300, 220), shown(2, face_sheet::BOTTOM_LEFT));
}

}  // namespace
