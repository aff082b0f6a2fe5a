// The shell: the pixel blocks start-up cuts at every page depth, the
// window events, and a display that will not start.
#include <cstring>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "face_sheet.h"
#include "platform/platform.h"
#include "scene.h"
#include "shell.h"

namespace {

using namespace zarvel;
using face_sheet::Quadrant;

std::string sheet_path() {
    static const std::string path = [] {
        std::string p = testing::TempDir() + "zarvel_shell_faces_" + std::to_string(getpid()) + ".pcx";
        face_sheet::write_pcx(p);
        return face_sheet::ScratchFiles::keep(p);
    }();
    return path;
}

class Shell : public testing::Test {
protected:
    void SetUp() override {
        plat::test::reset();
        plat::test::set_keys(nullptr, 0);
        ResetScene();
        app.active = 0;
    }
    void TearDown() override {
        if (started_) ShutDown();
        plat::test::clear_keys();
        plat::test::reset();
    }
    StartResult start(int32_t depth, const char *pcx = nullptr) {
        StartOptions options;
        const std::string path = sheet_path();
        options.pcx_file = pcx != nullptr ? pcx : path.c_str();
        options.depth = depth;
        started_ = true;
        return StartUp(nullptr, options);
    }
    bool started_ = false;
};

// Texel (u, v) of face i as the block holds it: rows top first.
const uint8_t *texel(int face, int u, int v, int bytes) { return &pixel_blocks[face][(v * 64 + u) * bytes]; }

TEST_F(Shell, SixteenBitBlocksHoldTheirOwnSquaresInTheLowTwoThirds) {
    std::memset(pixel_blocks, 0xAA, sizeof pixel_blocks);
    const StartResult r = start(16);
    ASSERT_GE(r.device_kind, 0);
    ASSERT_EQ(r.pcx_result, 0);
    for (int face = 0; face < 6; ++face) {
        for (int v : {0, 31, 32, 63}) {
            for (int u : {0, 31, 32, 63}) {
                const uint16_t want = face_sheet::rgb565(face_sheet::colour_of(face, face_sheet::quadrant_at(u, v)));
                const uint8_t *t = texel(face, u, v, 2);
                EXPECT_EQ(t[0] | t[1] << 8, want) << "face " << face << " texel " << u << "," << v;
            }
        }
        for (int b = 8192; b < BLOCK_BYTES; ++b) ASSERT_EQ(pixel_blocks[face][b], 0) << "face " << face;
    }
}

TEST_F(Shell, DeepPagesFillWholeTwelveKilobyteBlocks) {
    for (int32_t depth : {24, 32}) {
        SCOPED_TRACE(depth);
        const StartResult r = start(depth);
        ASSERT_GE(r.device_kind, 0);
        ASSERT_EQ(r.pcx_result, 0);
        for (int face = 0; face < 6; ++face) {
            for (int v = 0; v < 64; ++v) {
                for (int u = 0; u < 64; ++u) {
                    const face_sheet::Rgb c = face_sheet::colour_of(face, face_sheet::quadrant_at(u, v));
                    const uint8_t *t = texel(face, u, v, 3);
                    ASSERT_EQ(t[0], c.b) << "face " << face << " texel " << u << "," << v;
                    ASSERT_EQ(t[1], c.g);
                    ASSERT_EQ(t[2], c.r);
                }
            }
        }
        ShutDown();
        started_ = false;
    }
}

TEST_F(Shell, EightBitPagesLeaveTheBlocksZeroEveryRun) {
    std::memset(pixel_blocks, 0xAA, sizeof pixel_blocks);
    const StartResult r = start(8);
    ASSERT_GE(r.device_kind, 0);
    for (int face = 0; face < 6; ++face)
        for (int b = 0; b < BLOCK_BYTES; ++b) ASSERT_EQ(pixel_blocks[face][b], 0) << "face " << face;
}

TEST_F(Shell, StartUpLeavesTheSceneReadyOnAWhitePage) {
    const StartResult r = start(16);
    ASSERT_GE(r.device_kind, 0);
    EXPECT_EQ(app.ready, 1);
    EXPECT_EQ(bv_target.page, 0);
    EXPECT_EQ(bv_view.flags, 13);
    EXPECT_EQ(bv_view.near_z, 40.0);
    EXPECT_EQ(bv_view.far_z, 1000.0);
    EXPECT_EQ(bv_view.centre_x, 320);
    EXPECT_EQ(bv_view.centre_y, 240);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(face_textures[i], i);
    EXPECT_EQ(bv_cursor.cursor_x, 6 * 64);
    EXPECT_EQ(bv_cursor.cursor_y, 63);
    EXPECT_EQ(bv_colors.color, 0xFFFFFFFFu);
}

TEST_F(Shell, AMissingImageIsReportedAndTheDemoStillStarts) {
    const std::string missing = testing::TempDir() + "no-such-dir/CUBE.PCX";
    const StartResult r = start(16, missing.c_str());
    EXPECT_GE(r.device_kind, 0);
    EXPECT_EQ(r.pcx_result, 1);
    EXPECT_EQ(app.ready, 1);
    EXPECT_STREQ(PcxResultMeaning(1), "the file could not be opened");
    const int64_t flips = plat::test::flips_presented();
    UpdateFrame();
    EXPECT_EQ(plat::test::flips_presented(), flips + 1);
}

TEST_F(Shell, ADisplayThatWillNotStartStopsStartUpAndShutsDownCleanly) {
    // 16 bits refused; its retry at 40 bits does not exist either.
    plat::test::refuse_depth(16);
    const StartResult r = start(16);
    EXPECT_EQ(r.device_kind, -1);
    EXPECT_EQ(r.pcx_result, -1);
    EXPECT_EQ(app.ready, 0);
    EXPECT_NE(std::string(DisplayFailureReason()), "");
    ShutDown();
    started_ = false;
    EXPECT_EQ(bv_display.ddraw, nullptr);
    EXPECT_EQ(bv_target.page, -1);
}

TEST_F(Shell, ActivationRedrawsNothingButFlipsOnceReady) {
    const StartResult r = start(16);
    ASSERT_GE(r.device_kind, 0);
    UpdateFrame();
    const int64_t flips = plat::test::flips_presented();
    const int64_t frames = FramesDrawn();

    EXPECT_TRUE(HandleEvent({plat::EventKind::Deactivate, 0}));
    EXPECT_EQ(app.active, 0);
    EXPECT_EQ(plat::test::flips_presented(), flips);

    plat::test::lose_surfaces();
    EXPECT_TRUE(HandleEvent({plat::EventKind::Activate, 0}));
    EXPECT_EQ(app.active, 1);
    EXPECT_EQ(plat::test::flips_presented(), flips + 1);
    EXPECT_EQ(FramesDrawn(), frames);

    // Before start-up has finished activation only records itself.
    app.ready = 0;
    app.active = 0;
    EXPECT_TRUE(HandleEvent({plat::EventKind::Activate, 0}));
    EXPECT_EQ(app.active, 1);
    EXPECT_EQ(plat::test::flips_presented(), flips + 1);
    app.ready = 1;
}

TEST_F(Shell, FocusRealizesTheDemosPalette) {
    const StartResult r = start(16);
    ASSERT_GE(r.device_kind, 0);
    bv_use_palette(nullptr);
    EXPECT_TRUE(HandleEvent({plat::EventKind::FocusGained, 0}));
    EXPECT_EQ(bv_palette.current_hpal, app.palette);
}

TEST_F(Shell, EscapeF12AndClosingEndTheProgramOtherKeysDoNot) {
    EXPECT_FALSE(HandleEvent({plat::EventKind::KeyDown, plat::VK_ESCAPE}));
    EXPECT_FALSE(HandleEvent({plat::EventKind::KeyDown, plat::VK_F12}));
    EXPECT_FALSE(HandleEvent({plat::EventKind::Close, 0}));
    EXPECT_FALSE(HandleEvent({plat::EventKind::Quit, 0}));
    for (int32_t key : {13, 32, 65, 107, 109, 122, 124})
        EXPECT_TRUE(HandleEvent({plat::EventKind::KeyDown, key})) << "virtual key " << key;
}

}  // namespace
