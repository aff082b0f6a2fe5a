// The demo in-process: each control key by its set-1 scan code, start-up, window events. Then bv-render, the
// demo without a screen: frames worked out from a face sheet, device frames against software ones, its command line.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>

#include "programs.h"
#include "scene.h"
#include "shell.h"
#include "platform/test_hooks.h"
#include "state.h"

namespace {

using namespace zarvel;
using bvtest::shell_quoted;
constexpr int W = 640, H = 480;

// The face sheet: each face's square in quadrants of their own colours tells which face shows, which way up and
// whether mirrored; the checkered sheet alternates them with a second colour in 8-texel squares and a diagonal.
// Red steps by 32 a face, green by 48 a quadrant: no two colours differ only in bits a 5-bit channel drops.
enum Quadrant { TL, TR, BL, BR }; struct Rgb { uint8_t r, g, b; };
Rgb colour(int f, int q, bool second = false) {
    return {uint8_t(8 + 32 * f), uint8_t(16 + 48 * q), uint8_t(second ? 40 + 24 * f : 200 - 24 * f)};
}
uint16_t rgb565(Rgb c) { return static_cast<uint16_t>((c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3); }
uint16_t rgb555(Rgb c) { return static_cast<uint16_t>((c.r >> 3) << 10 | (c.g >> 3) << 5 | c.b >> 3); }

// A file of this test process's own, removed when the process ends.
std::string scratch(const std::string &name) {
    static struct Files {
        std::vector<std::string> paths;
        ~Files() { for (const std::string &p : paths) std::remove(p.c_str()); }
    } files;
    return files.paths.emplace_back(testing::TempDir() + "zarvel_" + std::to_string(getpid()) + "_" + name);
}

// A 384 x 64 PCX file: version 5, one 8-bit plane, bytes below 192 (each stands for itself), 256-colour trailer.
std::string path(bool checkered = false) {
    std::vector<uint8_t> b(128, 0);
    for (auto [at, value] : {std::pair{0, 10}, {1, 5}, {2, 1}, {3, 8}, {8, 127}, {9, 1}, {10, 63}, {65, 1}, {66, 128}, {67, 1}})
        b[at] = static_cast<uint8_t>(value);   // Xmax 383, Ymax 63, one plane of 384 bytes a line
    for (int i = 0, u = 0, v = 0; i < 384 * 64; ++i, u = i % 64, v = i / 384) {
        const bool second = checkered && (((u / 8 + v / 8) & 1) != 0 || u == v);
        b.push_back(static_cast<uint8_t>(1 + 4 * (i % 384 / 64) + (u >= 32) + 2 * (v >= 32) + 24 * second));
    }
    b.push_back(12);
    for (int i = 0; i < 256; ++i) {
        const Rgb c = i >= 1 && i <= 48 ? colour((i - 1) % 24 / 4, (i - 1) % 4, i > 24) : Rgb{0, 0, 0};
        b.insert(b.end(), {c.r, c.g, c.b});
    }
    const std::string p = scratch(checkered ? "checkered.pcx" : "sheet.pcx");
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char *>(b.data()), static_cast<std::streamsize>(b.size()));
    return p;
}


// Set-1 scan codes from the published table, not from the demo's own.
enum : int32_t { ESC = 1, Y = 21, A = 30, LSHIFT = 42, Z = 44, X = 45, RSHIFT = 54 };
enum : int32_t { UP = 72, KP_MINUS = 74, LEFT = 75, RIGHT = 77, KP_PLUS = 78, DOWN = 80, F12 = 88 };

struct Demo : testing::Test {
    void SetUp() override { plat::test::reset(), ResetScene(), app.active = 0; }
    void TearDown() override { ShutDown(), plat::test::reset(); }
};
StartResult start(int32_t depth, const std::string &pcx = path()) { return StartUp(nullptr, {pcx.c_str(), depth, 13, 13}); }

// The first nine rows hold a key and every key tested after it: only the first acts. Moves are 3
// units; turns 6 degrees, backwards without Shift. Each row starts from the first frame at (0, 0, 100).
const struct { std::vector<int32_t> held; int calls; double x, y, z; int32_t ax, ay, az, frames; } KEYS[] = {
    {{KP_MINUS, KP_PLUS, LEFT, RIGHT, UP, DOWN, X, Y, Z}, 1, 0, 0, 103, 0, 0, 0, 1},
    {{KP_PLUS, LEFT, RIGHT, UP, DOWN, X, Y, Z}, 1, 0, 0, 97, 0, 0, 0, 1},
    {{LEFT, RIGHT, UP, DOWN, X, Y, Z}, 1, -3, 0, 100, 0, 0, 0, 1},
    {{RIGHT, UP, DOWN, X, Y, Z}, 1, 3, 0, 100, 0, 0, 0, 1},
    {{UP, DOWN, X, Y, Z}, 1, 0, 3, 100, 0, 0, 0, 1},
    {{DOWN, X, Y, Z}, 1, 0, -3, 100, 0, 0, 0, 1},
    {{X, Y, Z}, 1, 0, 0, 100, 354, 0, 0, 1},
    {{Y, Z}, 1, 0, 0, 100, 0, 354, 0, 1},
    {{Z}, 1, 0, 0, 100, 0, 0, 354, 1},
    {{KP_MINUS, LEFT}, 3, 0, 0, 109, 0, 0, 0, 3},       // the arrow waits for keypad minus to be released
    {{LSHIFT, X}, 2, 0, 0, 100, 12, 0, 0, 2},           // either Shift turns forward
    {{X}, 60, 0, 0, 100, 0, 0, 0, 60},                  // sixty turns come round to 0 either way
    {{RSHIFT, X}, 60, 0, 0, 100, 0, 0, 0, 60},
    {{LSHIFT, RSHIFT, A, ESC, F12}, 2, 0, 0, 100, 0, 0, 0, 0},   // no control key: nothing new is drawn
};

TEST_F(Demo, EachControlKeyMovesOrTurnsTheCubeOneStepACall) {
    ASSERT_GE(start(16).device_kind, 0);
    for (const auto &r : KEYS) {
        ResetScene(), plat::feed_keys(nullptr, 0);
        const int64_t first = FramesDrawn();
        UpdateFrame();
        plat::feed_keys(r.held.data(), static_cast<int32_t>(r.held.size()));
        for (int i = 0; i < r.calls; ++i) UpdateFrame();
        EXPECT_EQ(FramesDrawn() - first, 1 + r.frames) << "row " << &r - KEYS;
        EXPECT_TRUE(cube_x == r.x && cube_y == r.y && cube_z == r.z && angle_x == r.ax && angle_y == r.ay && angle_z == r.az)
            << &r - KEYS << ' ' << cube_x << ',' << cube_y << ',' << cube_z << ' ' << angle_x << ',' << angle_y << ',' << angle_z;
        // The pose drawn, in whole degrees: an X turn to 354 puts sin 6 degrees where 6 would put -sin 6.
        const auto &t = bv_view.transform;
        EXPECT_TRUE(t[0][3] == r.x && t[1][3] == r.y && t[2][3] == r.z && (r.ax != 354 || std::abs(t[1][2] - .10452846) < 1e-8));
    }
}

// The blocks start zeroed in every run: a 16-bit page fills two thirds of each (what with, bv-render's frames
// show). A missing image is reported, and the demo draws; a display that will not start stops start-up.
TEST_F(Demo, StartUpLeavesTheSceneReadyOnAWhitePageOrStopsWhereItMust) {
    std::memset(pixel_blocks, 0xAA, sizeof pixel_blocks);
    ASSERT_TRUE(start(16).device_kind >= 0 && app.ready == 1);
    for (int face = 0; face < 6; ++face) {
        EXPECT_EQ(std::count(pixel_blocks[face] + 8192, pixel_blocks[face] + BLOCK_BYTES, uint8_t{0}), BLOCK_BYTES - 8192);
        EXPECT_EQ(face_textures[face], face);
    }
    EXPECT_TRUE(bv_target.page == 0 && bv_view.flags == 13 && bv_view.near_z == 40.0 && bv_view.far_z == 1000.0);
    EXPECT_TRUE(bv_view.centre_x == 320 && bv_view.centre_y == 240 && bv_cursor.cursor_x == 384 && bv_cursor.cursor_y == 63);
    // The image is hidden: every bit set where it lay.
    bv::lock_target();
    EXPECT_TRUE(bv_colors.color == 0xFFFFFFFF && bv_target.base[10 * bv_target.pitch + 20] == 0xFF && bv_target.base[21] == 0xFF);
    bv::unlock_target();
    ShutDown();
    StartResult r = start(16, testing::TempDir() + "no-such-dir/CUBE.PCX");
    EXPECT_TRUE(r.device_kind >= 0 && r.pcx_result == 1 && app.ready == 1);
    EXPECT_STREQ(PcxResultMeaning(1), "the file could not be opened");
    const int64_t flips = plat::test::flips_presented();
    EXPECT_EQ((UpdateFrame(), plat::test::flips_presented()), flips + 1);
    ShutDown(), plat::test::refuse_depth(16);   // and its retry at 40 bits does not exist either
    r = start(16);
    EXPECT_TRUE(r.device_kind == -1 && r.pcx_result == -1 && app.ready == 0 && DisplayFailureReason()[0] != '\0');
    ShutDown();
    EXPECT_TRUE(bv_display.ddraw == nullptr && bv_target.page == -1);
}

// Showing the window activates the demo during start-up, while nothing may be flipped: the first picture on the
// screen is the first frame, not the white page, with or without a focus event. The window is top-most at (0, 0).
TEST_F(Demo, ShowingTheWindowActivatesItBeforeTheFirstFlip) {
    BvPlatWindow *window = plat::create_window({"Zarvel", "BVzarvelx", 640, 480, true});
    const int64_t flips = plat::test::flips_presented();
    ASSERT_GE(StartUp(window, {path().c_str(), 16, 13, 13}).device_kind, 0);
    int32_t x = -1, y = -1;
    bool on_top = false;
    EXPECT_TRUE(app.active == 1 && app.ready == 1 && plat::test::flips_presented() == flips);
    EXPECT_TRUE(plat::test::window_placement(window, &x, &y, &on_top) && x == 0 && y == 0 && on_top);
    UpdateFrame();
    EXPECT_EQ(plat::test::flips_presented(), flips + 1);
    ShutDown(), plat::destroy_window(window);
}

TEST_F(Demo, ActivationFlipsOnceStartUpHasFinishedAndRedrawsNothing) {
    const int64_t before = plat::test::flips_presented();   // start-up has not finished: no flip
    EXPECT_TRUE(HandleEvent({BV_EVENT_ACTIVATE, 0}) && app.active == 1 && plat::test::flips_presented() == before);
    ASSERT_GE(start(16).device_kind, 0);
    UpdateFrame();
    const int64_t flips = plat::test::flips_presented(), frames = FramesDrawn();
    EXPECT_TRUE(HandleEvent({BV_EVENT_DEACTIVATE, 0}) && app.active == 0);
    plat::test::lose_surfaces();
    EXPECT_TRUE(HandleEvent({BV_EVENT_ACTIVATE, 0}) && app.active == 1 && plat::test::flips_presented() == flips + 1);
    EXPECT_EQ(FramesDrawn(), frames);
    bv_use_palette(nullptr);
    EXPECT_TRUE(HandleEvent({BV_EVENT_FOCUS_GAINED, 0}) && bv_palette.current_hpal == app.palette);
    // Escape, F12 and closing end the program; other keys are swallowed.
    for (int32_t kind : {BV_EVENT_CLOSE, BV_EVENT_QUIT}) EXPECT_FALSE(HandleEvent({kind, 0}));
    for (int32_t key : {27, 123}) EXPECT_FALSE(HandleEvent({BV_EVENT_KEY_DOWN, key}));
    for (int32_t key : {13, 32, 65, 107, 109, 122, 124}) EXPECT_TRUE(HandleEvent({BV_EVENT_KEY_DOWN, key})) << key;
    EXPECT_TRUE(HandleEvent({BV_EVENT_NONE, 0}));
}


auto run(const std::string &args, const std::string &env = "") {
    return bvtest::run_program(env + " " + shell_quoted(bvtest::build_dir() + "/bv-render") + " " + args);
}
std::vector<uint8_t> frame(const std::string &args, bool checkered = false) {
    const std::string raw = scratch("frame.raw");
    std::remove(raw.c_str());
    const auto r = run("--pcx " + shell_quoted(path(checkered)) + " --raw " + shell_quoted(raw) + " " + args);
    EXPECT_EQ(r.status, 0) << args << ": " << r.err;
    return bvtest::read_bytes(raw);
}

// The cube facing the viewer at z = 80 covers columns 240..399, rows 160..319 of a page with every bit set;
// `shown`: the face's quadrant in each quarter (top left, top right, bottom left, bottom right). Left out: pixels
// within one of the quarters' borders, and the outermost ring, where the side faces meet it at the same depth.
const std::array<int, 4> UPRIGHT = {TL, TR, BL, BR}, HALF = {BR, BL, TR, TL};
// Quarter turns about Y bring face 3 (+x) or 1 (-x) to the front, about X face 4 (bottom) or 5 (top); a half
// turn shows face 2 turned round, not mirrored; a quarter turn about Z with Shift turns face 0 counter-clockwise.
const struct { const char *args; int format, face; std::array<int, 4> shown; } FACING[] = {
    {"", 565, 0, UPRIGHT}, {"--keys shift+y*15", 565, 3, UPRIGHT}, {"--keys y*15", 565, 1, UPRIGHT},
    {"--keys shift+x*15", 565, 4, UPRIGHT}, {"--keys x*15", 565, 5, UPRIGHT}, {"--keys y*30", 565, 2, HALF},
    {"--keys shift+z*15", 565, 0, {TR, BR, TL, BL}}, {"--depth 24", 24, 0, UPRIGHT}, {"--depth 32 --keys x*15", 32, 5, UPRIGHT},
    {"--rgb555", 555, 0, UPRIGHT}, {"--flags 12", 565, 0, UPRIGHT}, {"--display-flags 15 --depth 24 --keys y*15", 24, 1, UPRIGHT},
    {"--display-flags 15 --depth 32 --keys y*30", 32, 2, HALF}, {"--display-flags 15 --rgb555 --keys x*15", 555, 5, UPRIGHT},
};

TEST(BvRender, FramesFacingTheViewerShowTheFaceTheKeysTurnedThere) {
    for (const auto &r : FACING) {
        const int bytes = r.format >= 555 ? 2 : r.format / 8;
        const std::vector<uint8_t> raw = frame(r.args);
        ASSERT_EQ(raw.size(), static_cast<size_t>(W * H * bytes)) << r.args;
        int wrong = 0;
        for (int i = 0; i < W * H; ++i) {
            const int x = i % W, y = i / W;
            const bool outside = x < 240 || x > 399 || y < 160 || y > 319;
            if (!outside && (x == 240 || x == 399 || y == 160 || y == 319 || std::abs(x - 320) <= 1 || std::abs(y - 240) <= 1))
                continue;
            const uint8_t *got = &raw[i * bytes];
            const Rgb c = colour(r.face, r.shown[(x >= 320) + 2 * (y >= 240)]);
            const uint16_t p = r.format == 555 ? rgb555(c) : rgb565(c);
            const uint8_t want[4] = {r.format < 555 ? c.b : uint8_t(p), r.format < 555 ? c.g : uint8_t(p >> 8), c.r, 0};
            const bool ok = outside ? std::count(got, got + bytes, 255) == bytes : std::equal(got, got + bytes, want);
            if (!ok && ++wrong <= 3) ADD_FAILURE() << r.args << ": pixel " << x << ", " << y;
        }
    }
}

// Only the last frame drawn is written: steps that draw nothing, before or after the keys, leave it as the
// keys alone make it. An 8-bit page cuts no blocks: the faces show palette index 0 on index 255.
TEST(BvRender, StepsThatDrawNothingKeepTheLastFrame) {
    const struct { const char *a, *b; bool same; } pairs[] = {
        {"--keys none*5,shift+none*2", "", true},
        {"--keys none,shift+y*7,none*2,shift+none", "--keys shift+y*7", true},
        {"--keys shift+y*7,y", "--keys shift+y*7", false},
        {"--display-flags 15 --keys none*2,x*3,left*2,none*3", "--display-flags 15 --keys x*3,left*2", true},
        {"--display-flags 15 --keys x*3,left", "--display-flags 15 --keys x*3,left*2", false},
    };
    for (const auto &p : pairs) EXPECT_EQ(frame(p.a) == frame(p.b), p.same) << p.a << " against " << p.b;
    const std::vector<uint8_t> raw = frame("--depth 8 --keys shift+y*3");
    EXPECT_TRUE(raw.size() == W * H && raw[0] == 255 && raw[240 * W + 320] == 0);
}

// The device samples where the scan converters do but interpolates per triangle in its own precision: against
// the software frame (display flags 9) coverage differs only within a pixel of the outline, and each cube pixel
// of a perspective frame has its colour within two pixels there. Affine fans may differ more inside faces.
TEST(BvRender, TheDevicesFramesMatchTheSoftwareFrames) {
    const std::string own = " --pcx " + shell_quoted(bvtest::build_dir() + "/CUBE.PCX");
    // The last pose puts most of the cube beyond the far plane: the device clamps depth and draws it all.
    for (const char *keys : {"shift+x*5,y*8", "kp_plus*6,left*4,z*11,shift+y*3", "kp_minus*20,up*5,x*30",
                             "kp_plus*10,shift+x*7,y*8", "y*7,x*5,kp_minus*305"}) {
        // So far away a pixel spans many texels, and only the coverage must agree.
        const bool far = std::strstr(keys, "305") != nullptr;
        const int least = far ? 200 : 1000;
        for (const std::string opts : {" --flags 13", " --flags 12", " --flags 9", own.c_str()}) {
            const std::string args = " --keys " + std::string(keys) + opts;
            const auto dev = frame("--display-flags 15" + args, true), sw = frame("--display-flags 9" + args, true);
            ASSERT_TRUE(dev.size() == W * H * 2 && sw.size() == W * H * 2);
            auto at = [](const auto &f, int x, int y) { return f[(y * W + x) * 2] | f[(y * W + x) * 2 + 1] << 8; };
            auto near_sw = [&](int x, int y, int r, auto test) {
                for (int ny = std::max(y - r, 0); ny <= std::min(y + r, H - 1); ++ny)
                    for (int nx = std::max(x - r, 0); nx <= std::min(x + r, W - 1); ++nx)
                        if (test(at(sw, nx, ny))) return true;
                return false;
            };
            int cube = 0, coverage = 0, off_outline = 0, missing = 0, identical = 0;
            for (int i = 0; i < W * H; ++i) {
                const int x = i % W, y = i / W, d = at(dev, x, y), s = at(sw, x, y);
                const bool differs = (d != 0xFFFF) != (s != 0xFFFF);
                identical += d == s, cube += s != 0xFFFF, coverage += differs;
                off_outline += differs && !near_sw(x, y, 1, [&](int p) { return (p != 0xFFFF) != (s != 0xFFFF); });
                missing += d != 0xFFFF && !near_sw(x, y, 2, [&](int p) { return p == d; });
            }
            // The demo's own sheet has large faces of one colour: there 99% of the pixels are identical.
            const bool colours = opts == " --flags 12" || far || missing <= cube / 200, alike = opts != own || identical >= W * H / 100 * 99;
            EXPECT_TRUE(cube > least && coverage <= W * H / 100 && !off_outline && colours && alike)
                << keys << opts << ": " << cube << " cube pixels, coverage differs at " << coverage << " (" << off_outline
                << " off the outline), " << missing << " lack their colour, " << identical << " identical";
        }
    }
}

TEST(BvRender, ItsImagesItsCommandLineAndItsFailures) {
    const std::string ppm = scratch("frame.ppm"), png = scratch("frame.png"), back = scratch("back.ppm"), raw = scratch("raw");
    const std::string sheet = "--pcx " + shell_quoted(path());
    ASSERT_TRUE(run(sheet + " --out " + shell_quoted(ppm)).status == 0 && run(sheet + " --out " + shell_quoted(png)).status == 0);
    ASSERT_EQ(bvtest::exit_status("pngtopnm " + shell_quoted(png) + " >" + shell_quoted(back)), 0);
    const std::vector<uint8_t> image = bvtest::read_bytes(ppm), decoded = bvtest::read_bytes(back);
    ASSERT_TRUE(image.size() == 15 + W * H * 3 && decoded.size() >= W * H * 3);
    EXPECT_TRUE(std::equal(image.end() - W * H * 3, image.end(), decoded.end() - W * H * 3)) << "the PNG is not the PPM";
    for (const char *args : {"--bogus", "--depth 15", "--depth", "--depth x", "--keys q", "--keys x*0", "--keys x*", "--keys ''",
                             "--keys shift+", "--keys x,,y", "--keys 'x*2 '", "--keys X", "--keys kp_plus*-1", "--flags abc",
                             "--display-flags", "--out frame.bmp", "--raw", "stray"}) {
        const auto r = run(args);
        EXPECT_TRUE(r.status == 64 && r.err.find("bv-render: ") == 0 && r.err.find("\nusage: bv-render") != r.err.npos) << args;
    }
    auto r = run(sheet, "SDL_VIDEODRIVER=no-such-driver");
    EXPECT_TRUE(r.status == 1 && r.err.find("bv-render: cannot start the display") == 0) << r.err;
    r = run("--pcx " + shell_quoted(png + ".missing") + " --raw " + shell_quoted(raw));
    EXPECT_TRUE(r.status == 0 && r.err.find("read " + png + ".missing: the file could not be opened (result 1)") != r.err.npos &&
                bvtest::read_bytes(raw).size() == W * H * 2) << r.err;
    // The device that drew: the scan converters under the demo's flags, the OpenGL device when flags 15 allow it.
    const std::string device = run(sheet + " --keys x*2 --show-device --display-flags 15").out;
    EXPECT_TRUE(device == "device kind 1\n" || device == "device kind 2\n") << device;
    EXPECT_TRUE(run(sheet + " --keys x*2 --show-device").out == "device kind 0\n" && run(sheet + " --keys x*2").out == "");
}

}  // namespace
