// bv-render run as a program: whole frames checked pixel by pixel against
// pictures worked out by hand from the face sheet's design and the cube's
// projection, at every page depth, and its command line.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "face_sheet.h"
#include "programs.h"

namespace {

using bvtest::ProgramRun;
using bvtest::read_bytes;
using bvtest::shell_quoted;

using face_sheet::Quadrant;
using face_sheet::Rgb;

constexpr int W = 640;
constexpr int H = 480;

std::string tool() { return bvtest::build_dir() + "/bv-render"; }
// ctest runs the cases as parallel processes: each keeps its own files.
std::string scratch(const std::string &name) {
    return face_sheet::ScratchFiles::keep(testing::TempDir() + "bv_render_test_" + std::to_string(getpid()) + "_" + name);
}

testing::Environment *const scratch_files = testing::AddGlobalTestEnvironment(new face_sheet::ScratchFiles);

std::string sheet_path() {
    static const std::string path = [] {
        const std::string p = scratch("faces.pcx");
        face_sheet::write_pcx(p);
        return p;
    }();
    return path;
}

// Runs bv-render with these arguments (and an optional environment prefix).
ProgramRun run(const std::string &args, const std::string &env = "") {
    return bvtest::run_program(env + " " + shell_quoted(tool()) + " " + args);
}

// Renders with the face sheet and returns the raw page bytes.
std::vector<uint8_t> render_raw(const std::string &args) {
    const std::string raw = scratch("frame.raw");
    std::remove(raw.c_str());
    const ProgramRun r = run("--pcx " + shell_quoted(sheet_path()) + " --raw " + shell_quoted(raw) + " " + args);
    EXPECT_EQ(r.status, 0) << r.err;
    return read_bytes(raw);
}

// What a pixel of the picture should be: the background, a face quadrant,
// or either of two quadrants (one pixel either side of a texel boundary).
struct Expect {
    bool background;
    int face;
    Quadrant q, q_alt;
};

// The cube squarely facing the viewer at z = 80 covers columns 240..399 and
// rows 160..319; the texture's halves meet at column 320 and row 240.
// `shown[screen quadrant]` names the texture quadrant each screen quadrant
// shows.
Expect facing_square(int x, int y, int face, const Quadrant shown[4]) {
    if (x < 240 || x > 399 || y < 160 || y > 319) return Expect{true, 0, {}, {}};
    const bool right = x >= 320, lower = y >= 240;
    const Quadrant here = shown[(right ? 1 : 0) + (lower ? 2 : 0)];
    Quadrant alt = here;
    if (x >= 319 && x <= 321) alt = shown[(right ? 0 : 1) + (lower ? 2 : 0)];
    if (y >= 239 && y <= 241) alt = shown[(right ? 1 : 0) + (lower ? 0 : 2)];
    return Expect{false, face, here, alt};
}

// Where both boundaries meet, any quadrant of the face will do.
bool near_both_boundaries(int x, int y) { return x >= 319 && x <= 321 && y >= 239 && y <= 241; }

// The square's outermost pixels: a side face that meets the square there
// starts at exactly the same depth, and equal depth goes to the face drawn
// first, so the ring may show any face.
bool on_ring(int x, int y) { return x == 240 || x == 399 || y == 160 || y == 319; }

// Reads pixel (x, y) of a raw page and tells whether it is what `e` says,
// given how the page encodes a colour and the background.
using Encode = std::function<std::vector<uint8_t>(Rgb)>;

void check_frame(const std::vector<uint8_t> &raw, int bytes_per_pixel, const Encode &encode,
                 const std::vector<uint8_t> &background, const std::function<Expect(int, int)> &expect) {
    ASSERT_EQ(raw.size(), static_cast<size_t>(W) * H * bytes_per_pixel);
    int wrong = 0;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const uint8_t *p = &raw[(static_cast<size_t>(y) * W + x) * bytes_per_pixel];
            const std::vector<uint8_t> got(p, p + bytes_per_pixel);
            const Expect e = expect(x, y);
            bool ok;
            if (e.background) {
                ok = got == background;
            } else if (on_ring(x, y)) {
                ok = false;
                for (int f = 0; f < 6; ++f)
                    for (int q = 0; q < 4; ++q)
                        ok = ok || got == encode(face_sheet::colour_of(f, static_cast<Quadrant>(q)));
            } else if (near_both_boundaries(x, y)) {
                ok = false;
                for (int q = 0; q < 4; ++q)
                    ok = ok || got == encode(face_sheet::colour_of(e.face, static_cast<Quadrant>(q)));
            } else {
                ok = got == encode(face_sheet::colour_of(e.face, e.q)) || got == encode(face_sheet::colour_of(e.face, e.q_alt));
            }
            if (!ok && ++wrong <= 5) ADD_FAILURE() << "pixel " << x << "," << y << " is wrong";
        }
    }
    EXPECT_EQ(wrong, 0);
}

std::vector<uint8_t> le16(uint16_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }
const Encode as_565 = [](Rgb c) { return le16(face_sheet::rgb565(c)); };
const Encode as_555 = [](Rgb c) { return le16(face_sheet::rgb555(c)); };
const Encode as_24 = [](Rgb c) { return std::vector<uint8_t>{c.b, c.g, c.r}; };
const Encode as_32 = [](Rgb c) { return std::vector<uint8_t>{c.b, c.g, c.r, 0}; };
const std::vector<uint8_t> white16 = {0xFF, 0xFF};

constexpr Quadrant TL = face_sheet::TOP_LEFT, TR = face_sheet::TOP_RIGHT, BL = face_sheet::BOTTOM_LEFT,
                   BR = face_sheet::BOTTOM_RIGHT;
const Quadrant UPRIGHT[4] = {TL, TR, BL, BR};

std::function<Expect(int, int)> facing(int face, const Quadrant shown[4]) {
    return [face, shown](int x, int y) { return facing_square(x, y, face, shown); };
}

// ---- Frames ---------------------------------------------------------------------

TEST(RenderTool, FirstFrameIsFaceZeroUprightOnWhite) {
    check_frame(render_raw(""), 2, as_565, white16, facing(0, UPRIGHT));
}

TEST(RenderTool, NoKeyScriptIsOneCallWithNoKeyDown) {
    EXPECT_EQ(render_raw("--keys none"), render_raw(""));
}

// A quarter turn about Y with Shift brings the +x face (3) to the front,
// without Shift the -x face (1); both upright and unmirrored.
TEST(RenderTool, QuarterTurnsAboutYShowTheSideFacesUpright) {
    check_frame(render_raw("--keys shift+y*15"), 2, as_565, white16, facing(3, UPRIGHT));
    check_frame(render_raw("--keys y*15"), 2, as_565, white16, facing(1, UPRIGHT));
}

// About X the bottom face (4) comes up with Shift, the top face (5) without.
TEST(RenderTool, QuarterTurnsAboutXShowTheBottomAndTopFacesUpright) {
    check_frame(render_raw("--keys shift+x*15"), 2, as_565, white16, facing(4, UPRIGHT));
    check_frame(render_raw("--keys x*15"), 2, as_565, white16, facing(5, UPRIGHT));
}

// A half turn about Y shows the back face (2) turned half round: its
// bottom-right quadrant at the top left. Turned, not mirrored.
TEST(RenderTool, HalfTurnShowsTheBackFaceTurnedRound) {
    const Quadrant half_round[4] = {BR, BL, TR, TL};
    check_frame(render_raw("--keys y*30"), 2, as_565, white16, facing(2, half_round));
}

// A quarter turn about Z with Shift (90 degrees) turns face 0 a quarter
// round counter-clockwise: its top-right quadrant comes to the top left.
TEST(RenderTool, QuarterTurnAboutZTurnsFaceZeroCounterClockwise) {
    const Quadrant quarter[4] = {TR, BR, TL, BL};
    check_frame(render_raw("--keys shift+z*15"), 2, as_565, white16, facing(0, quarter));
}

// The last frame drawn is written: Shift alone draws nothing new.
TEST(RenderTool, StepsThatDrawNothingKeepTheLastFrame) {
    const std::vector<uint8_t> turned = render_raw("--keys shift+y*15");
    EXPECT_EQ(render_raw("--keys shift+y*15,shift+none*4,none*2"), turned);
    EXPECT_NE(render_raw("--keys shift+y*15,y"), turned);
}

TEST(RenderTool, ThirteenAndFourteenStepsNearer) {
    // cube_z 61: face 0 at z = 41, columns 164..475, rows 84..395.
    const std::vector<uint8_t> near13 = render_raw("--keys kp_plus*13");
    const auto px = [](const std::vector<uint8_t> &raw, int x, int y) {
        const size_t i = (static_cast<size_t>(y) * W + x) * 2;
        return static_cast<uint16_t>(raw[i] | raw[i + 1] << 8);
    };
    const auto c = [](int face, Quadrant q) { return face_sheet::rgb565(face_sheet::colour_of(face, q)); };
    ASSERT_EQ(near13.size(), static_cast<size_t>(W * H * 2));
    EXPECT_EQ(px(near13, 164, 84), c(0, TL));
    EXPECT_EQ(px(near13, 475, 395), c(0, BR));
    EXPECT_EQ(px(near13, 300, 220), c(0, TL));
    EXPECT_EQ(px(near13, 163, 84), 0xFFFF);
    EXPECT_EQ(px(near13, 476, 395), 0xFFFF);
    // cube_z 58: face 0 is gone; the back face shows through, upside down.
    const std::vector<uint8_t> near14 = render_raw("--keys kp_plus*14");
    ASSERT_EQ(near14.size(), static_cast<size_t>(W * H * 2));
    EXPECT_EQ(px(near14, 300, 220), c(2, BL));
    EXPECT_EQ(px(near14, 159, 300), 0xFFFF);
    EXPECT_EQ(px(near14, 160, 300), c(1, BR));
}

// ---- Page depths ------------------------------------------------------------------

TEST(RenderTool, DeepPagesShowTheSameFacesInTheirOwnBytes) {
    check_frame(render_raw("--depth 24"), 3, as_24, {0xFF, 0xFF, 0xFF}, facing(0, UPRIGHT));
    check_frame(render_raw("--depth 32"), 4, as_32, {0xFF, 0xFF, 0xFF, 0xFF}, facing(0, UPRIGHT));
    // The last block, face 5, holds its own square at 3 bytes a pixel.
    check_frame(render_raw("--depth 32 --keys x*15"), 4, as_32, {0xFF, 0xFF, 0xFF, 0xFF}, facing(5, UPRIGHT));
    check_frame(render_raw("--depth 24 --keys shift+y*15"), 3, as_24, {0xFF, 0xFF, 0xFF}, facing(3, UPRIGHT));
}

TEST(RenderTool, Rgb555PagesPackFiveBitsOfGreen) {
    check_frame(render_raw("--rgb555"), 2, as_555, white16, facing(0, UPRIGHT));
}

// An 8-bit page gives no blocks: the faces show texel 0 (palette index 0)
// on a background of index 255.
TEST(RenderTool, EightBitPagesDrawTheZeroedBlocks) {
    const std::vector<uint8_t> raw = render_raw("--depth 8 --keys shift+y*3");
    ASSERT_EQ(raw.size(), static_cast<size_t>(W * H));
    EXPECT_EQ(raw[0], 255);
    EXPECT_EQ(raw[240 * W + 320], 0);
    EXPECT_EQ(render_raw("--depth 8 --keys shift+y*3"), raw);
}

TEST(RenderTool, AffineRenderFlagsDrawTheFacingSquareAlike) {
    check_frame(render_raw("--flags 12"), 2, as_565, white16, facing(0, UPRIGHT));
    check_frame(render_raw("--display-flags 1"), 2, as_565, white16, facing(0, UPRIGHT));
}

// ---- Images ---------------------------------------------------------------------------

TEST(RenderTool, PpmImageWidensTheSixteenBitPixels) {
    const std::string ppm = scratch("frame.ppm");
    std::remove(ppm.c_str());
    const ProgramRun r = run("--pcx " + shell_quoted(sheet_path()) + " --out " + shell_quoted(ppm));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<uint8_t> img = read_bytes(ppm);
    const std::string header = "P6\n640 480\n255\n";
    ASSERT_EQ(img.size(), header.size() + W * H * 3);
    ASSERT_EQ(std::string(img.begin(), img.begin() + header.size()), header);
    const auto rgb = [&](int x, int y) {
        const size_t i = header.size() + (static_cast<size_t>(y) * W + x) * 3;
        return static_cast<uint32_t>(img[i] << 16 | img[i + 1] << 8 | img[i + 2]);
    };
    EXPECT_EQ(rgb(0, 0), 0xFFFFFFu);
    EXPECT_EQ(rgb(250, 170), face_sheet::shown_565(face_sheet::rgb565(face_sheet::colour_of(0, TL))));
    EXPECT_EQ(rgb(390, 310), face_sheet::shown_565(face_sheet::rgb565(face_sheet::colour_of(0, BR))));
}

TEST(RenderTool, PngImageDecodesToThePpmPicture) {
    if (std::system("command -v pngtopnm >/dev/null 2>&1") != 0) GTEST_SKIP() << "pngtopnm (netpbm) is not installed";
    const std::string png = scratch("frame.png"), ppm = scratch("frame2.ppm"), back = scratch("decoded.ppm");
    const std::string args = "--pcx " + shell_quoted(sheet_path()) + " --keys shift+y*4,x*2";
    ASSERT_EQ(run(args + " --out " + shell_quoted(png)).status, 0);
    ASSERT_EQ(run(args + " --out " + shell_quoted(ppm)).status, 0);
    ASSERT_EQ(std::system(("pngtopnm " + shell_quoted(png) + " >" + shell_quoted(back) + " 2>/dev/null").c_str()), 0);
    const std::vector<uint8_t> a = read_bytes(ppm), b = read_bytes(back);
    ASSERT_GT(a.size(), 15u);
    // Compare the pixels; the two headers may space their fields apart differently.
    ASSERT_GE(b.size(), static_cast<size_t>(W * H * 3));
    EXPECT_TRUE(std::equal(a.end() - W * H * 3, a.end(), b.end() - W * H * 3));
}

// ---- Command line and failures ---------------------------------------------------------

TEST(RenderTool, UsageErrorsExit64WithAMessage) {
    const char *bad[] = {
        "--bogus",          "--depth 15",        "--depth",          "--depth x",         "--keys q",
        "--keys x*0",       "--keys x*",         "--keys ''",        "--keys shift+",     "--keys x,,y",
        "--keys 'x*2 '",    "--keys X",          "--keys kp_plus*-1", "--flags abc",      "--display-flags",
        "--out frame.bmp",  "--raw",             "stray",
    };
    for (const char *args : bad) {
        const ProgramRun r = run(args);
        EXPECT_EQ(r.status, 64) << args;
        EXPECT_NE(r.err.find("bv-render: "), std::string::npos) << args;
        EXPECT_NE(r.err.find("usage: bv-render"), std::string::npos) << args;
    }
}

TEST(RenderTool, ADisplayThatCannotStartExits1) {
    const ProgramRun r = run("--pcx " + shell_quoted(sheet_path()), "SDL_VIDEODRIVER=no-such-driver");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bv-render: cannot start the display"), std::string::npos) << r.err;
}

TEST(RenderTool, AMissingImageIsNamedAndTheFrameStillWritten) {
    const std::string missing = scratch("no-such.pcx");
    const std::string raw = scratch("blank.raw");
    std::remove(raw.c_str());
    const ProgramRun r = run("--pcx " + shell_quoted(missing) + " --raw " + shell_quoted(raw));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("cannot read " + missing), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("result 1"), std::string::npos) << r.err;
    EXPECT_EQ(read_bytes(raw).size(), static_cast<size_t>(W * H * 2));
}

}  // namespace
