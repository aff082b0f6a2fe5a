// The demo's frame drawn through the OpenGL device (display flags 15)
// against the same frame drawn by the software scan converters (flags 9:
// no device allowed, whatever the machine has),
// at several poses: first with the demo's start-up and cube drawn here,
// then with bv-render running the demo's own scene code. Both pictures
// read from page 0 through its lock, as the tools do.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "device_fixture.h"
#include "frame_compare.h"
#include "programs.h"

namespace {

constexpr int32_t W = 640, H = 480;
constexpr uint32_t WHITE16 = 0xFFFF;

// A 384 x 64 texture sheet for six faces: on each face a checkerboard of
// 8-texel squares in two colours of its own, and a 1-texel diagonal line,
// so that texel borders are everywhere. No colour is white.
std::vector<uint8_t> sheet_pcx() {
    constexpr int SW = 384, SH = 64;
    std::vector<uint8_t> out(128, 0);
    out[0] = 10;
    out[1] = 5;
    out[2] = 1;
    out[3] = 8;
    out[8] = (SW - 1) & 0xFF;
    out[9] = (SW - 1) >> 8;
    out[10] = SH - 1;
    out[65] = 1;
    out[66] = SW & 0xFF;
    out[67] = SW >> 8;
    for (int y = 0; y < SH; ++y) {
        for (int x = 0; x < SW; ++x) {
            const int face = x / 64, u = x % 64;
            int index = 1 + 3 * face + (((u / 8) + (y / 8)) & 1);
            if (u == y) index = 1 + 3 * face + 2;
            out.push_back(static_cast<uint8_t>(index));   // below 192: a byte stands for itself
        }
    }
    out.push_back(12);
    std::vector<uint8_t> palette(768, 0);
    for (int face = 0; face < 6; ++face) {
        for (int k = 0; k < 3; ++k) {
            uint8_t *rgb = &palette[3 * (1 + 3 * face + k)];
            rgb[0] = static_cast<uint8_t>(24 + 40 * face);
            rgb[1] = static_cast<uint8_t>(40 + 80 * k);
            rgb[2] = static_cast<uint8_t>(220 - 36 * face - 20 * k);
        }
    }
    out.insert(out.end(), palette.begin(), palette.end());
    return out;
}

std::string sheet_path() {
    static const std::string path = [] {
        const std::string p = testing::TempDir() + "device_frames_" + std::to_string(getpid()) + ".pcx";
        const std::vector<uint8_t> bytes = sheet_pcx();
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
        return p;
    }();
    return path;
}

// The cube: side 40 around its centre, each face showing its whole texture.
const Vertex3 CUBE[6][4] = {
    {{20, -20, -20}, {-20, -20, -20}, {-20, 20, -20}, {20, 20, -20}},
    {{-20, -20, -20}, {-20, -20, 20}, {-20, 20, 20}, {-20, 20, -20}},
    {{20, 20, 20}, {-20, 20, 20}, {-20, -20, 20}, {20, -20, 20}},
    {{20, -20, 20}, {20, -20, -20}, {20, 20, -20}, {20, 20, 20}},
    {{20, -20, 20}, {-20, -20, 20}, {-20, -20, -20}, {20, -20, -20}},
    {{20, 20, -20}, {-20, 20, -20}, {-20, 20, 20}, {20, 20, 20}},
};
const TexCoord FACE_TEX[4] = {{63, 63}, {0, 63}, {0, 0}, {63, 0}};

struct Pose {
    double x, y, z;
    int32_t ax, ay, az;     // tenths of a degree
};
const Pose POSES[] = {
    {0, 0, 100, 0, 0, 0},        {0, 0, 100, 300, 420, 0},   {10, -6, 120, 3240, 600, 900},
    {-15, 9, 85, 1230, 2470, 333}, {0, 0, 70, 450, 450, 450}, {30, 20, 160, 1800, 3300, 2100},
};

uint8_t face_blocks[6][64 * 64 * 3];

// The demo's start-up sequence, with the sheet above.
int32_t start_demo(int32_t display_flags, int32_t render_flags, bv_zbuffer *zbuffer, bv_hpalette *palette) {
    bv_config_display(W, H, 16, display_flags);
    *palette = bv_make_palette();
    bv_use_palette(*palette);
    const int32_t kind = bv_start_display();
    if (kind < 0) return kind;
    bv_set_dib_depth(16);
    bv_select_page(0);
    bv_attach_palette();
    *zbuffer = bv_alloc_zbuffer(W, H);
    bv_open_zbuffer(*zbuffer);
    bv_set_3d_viewport(0, W - 1, 0, H - 1, 0.5);
    bv_set_3d_depth(40.0, 1000.0);
    bv_set_3d_flags(render_flags);
    bv_alloc_textures(6);
    if (bv_load_pcx(sheet_path().c_str(), BV_PCX_AT_CURSOR | BV_PCX_NO_REDUCE) != 0) return -2;
    bv_move_to(0, 63);
    for (int i = 0; i < 6; ++i) {
        bv_get_block(face_blocks[i], 64, 64);
        bv_flip_block(face_blocks[i], 64, 64);
        if (bv_define_texture(face_blocks[i], 64, 64) != i) return -3;
        bv_move_by(64, 0);
    }
    bv_set_color(-1);
    bv_fill_page();
    return kind;
}

void stop_demo(bv_zbuffer zbuffer, bv_hpalette palette) {
    bv_deselect_page();
    bv_free_texture(-1);
    bv_free_zbuffer(zbuffer);
    bv_stop_display();
    bv_delete_palette(palette);
}

Frame draw_frame(const Pose &p) {
    bv_3d_scene(0);
    bv_zbuffer_frame();
    bv_set_color(-1);
    bv_fill_page();
    bv_set_3d_pose(p.x, p.y, p.z, p.ax, p.ay, p.az);
    for (int i = 0; i < 6; ++i) {
        bv_select_texture(i);
        bv_draw_3d_poly(CUBE[i], FACE_TEX, 4);
    }
    bv_3d_scene(1);
    Frame f{W, H, {}};
    bv::lock_target();
    if (bv::target_drawable()) {
        for (int32_t y = 0; y < H; ++y) {
            const uint8_t *row = bv_target.base + static_cast<size_t>(y) * bv_target.pitch;
            for (int32_t x = 0; x < W; ++x) f.pixels.push_back(row[2 * x] | uint32_t{row[2 * x + 1]} << 8);
        }
    }
    bv::unlock_target();
    bv_flip();
    return f;
}

// The frames at every pose; none when the display does not start with a
// device (`device`) or without one.
std::vector<Frame> frames_with(int32_t display_flags, int32_t render_flags, bool device) {
    bv_zbuffer zbuffer = nullptr;
    bv_hpalette palette = nullptr;
    std::vector<Frame> frames;
    const int32_t kind = start_demo(display_flags, render_flags, &zbuffer, &palette);
    EXPECT_EQ(kind > 0, device) << "device kind " << kind;
    if (kind >= 0 && (kind > 0) == device) {
        for (const Pose &p : POSES) frames.push_back(draw_frame(p));
    }
    stop_demo(zbuffer, palette);
    return frames;
}

// What a comparison must show besides the coverage, which must always be
// identical at 99% of the pixels and differ only along the outline.
struct Bounds {
    double colour_missing_max;      // of the cube pixels
    double identical_min;           // of all pixels
};
constexpr Bounds PERSPECTIVE_BOUNDS{0.005, 0.0};
// Affine faces go to the device as a fan of triangles, each screen-linear
// on its own, where the scan converters interpolate along the whole outline:
// inside the faces they may differ by more than a texel.
constexpr Bounds AFFINE_BOUNDS{1.0, 0.0};

void check(const Frame &device, const Frame &software, const std::string &what, Bounds bounds,
           uint32_t background = WHITE16) {
    ASSERT_EQ(device.pixels.size(), software.pixels.size());
    const FrameDifference d = compare_frames(device, software, background);
    const double identical_coverage = 1.0 - static_cast<double>(d.coverage_differs) / static_cast<double>(d.pixels);
    const double identical = static_cast<double>(d.identical) / static_cast<double>(d.pixels);
    const double missing = static_cast<double>(d.colour_missing) / static_cast<double>(std::max<int64_t>(d.cube_pixels, 1));
    std::printf("%s: %lld cube pixels; coverage differs at %lld (%lld off the outline), %.4f%% identical; "
                "%lld device pixels (%.3f%%) lack their colour within two pixels; %.3f%% of all pixels identical\n",
                what.c_str(), static_cast<long long>(d.cube_pixels), static_cast<long long>(d.coverage_differs),
                static_cast<long long>(d.coverage_off_edge), 100.0 * identical_coverage,
                static_cast<long long>(d.colour_missing), 100.0 * missing, 100.0 * identical);
    EXPECT_GT(d.cube_pixels, 1000) << what;
    EXPECT_GE(identical_coverage, 0.99) << what;
    EXPECT_EQ(d.coverage_off_edge, 0) << what;
    EXPECT_LE(missing, bounds.colour_missing_max) << what;
    EXPECT_GE(identical, bounds.identical_min) << what;
}

class FrameCompare : public DeviceTest {};

TEST_F(FrameCompare, TheDevicesFramesMatchTheSoftwareFramesAtEveryPose) {
    for (int32_t render_flags : {RF_PERSPECTIVE | RF_DEPTH | RF_CLIP, RF_DEPTH | RF_CLIP}) {
        const std::vector<Frame> device = frames_with(FLAGS_ANY_DEVICE_Z, render_flags, true);
        const std::vector<Frame> software = frames_with(FLAGS_NO_DEVICE_Z, render_flags, false);
        ASSERT_EQ(device.size(), std::size(POSES));
        ASSERT_EQ(software.size(), std::size(POSES));
        for (size_t i = 0; i < device.size(); ++i) {
            const Bounds bounds = (render_flags & RF_PERSPECTIVE) != 0 ? PERSPECTIVE_BOUNDS : AFFINE_BOUNDS;
            check(device[i], software[i], "render flags " + std::to_string(render_flags) + ", pose " + std::to_string(i),
                  bounds);
        }
    }
}

// ---- The demo itself, through bv-render ------------------------------------------

using bvtest::build_dir;
using bvtest::shell_quoted;

// bv-render's last frame as raw 16-bit pixels; empty when it failed.
Frame render(const std::string &pcx, int32_t display_flags, const std::string &keys) {
    const std::string raw = testing::TempDir() + "device_render_" + std::to_string(getpid()) + ".raw";
    const std::string command = "SDL_VIDEODRIVER=offscreen " + shell_quoted(build_dir() + "/bv-render") + " --pcx " +
                                shell_quoted(pcx) + " --display-flags " + std::to_string(display_flags) + " --keys " +
                                shell_quoted(keys) + " --raw " + shell_quoted(raw) + " 2>&1";
    Frame f{W, H, {}};
    if (std::system(command.c_str()) != 0) return f;
    const std::vector<uint8_t> bytes = bvtest::read_bytes(raw);
    std::remove(raw.c_str());
    if (bytes.size() != static_cast<size_t>(W) * H * 2) return f;
    for (size_t i = 0; i < bytes.size(); i += 2) f.pixels.push_back(bytes[i] | uint32_t{bytes[i + 1]} << 8);
    return f;
}

const char *const KEY_SCRIPTS[] = {"none", "shift+x*5,y*8", "kp_plus*6,left*4,z*11,shift+y*3",
                                   "kp_minus*20,up*5,x*30", "kp_plus*10,shift+x*7,y*8"};

TEST_F(FrameCompare, TheDemosOwnFramesMatchThroughBvRender) {
    if (access((build_dir() + "/bv-render").c_str(), X_OK) != 0) GTEST_SKIP() << "bv-render is not built";
    for (const char *keys : KEY_SCRIPTS) {
        const Frame device = render(sheet_path(), FLAGS_ANY_DEVICE_Z, keys);
        const Frame software = render(sheet_path(), FLAGS_NO_DEVICE_Z, keys);
        ASSERT_FALSE(device.pixels.empty()) << keys;
        ASSERT_FALSE(software.pixels.empty()) << keys;
        check(device, software, std::string("bv-render --keys ") + keys, PERSPECTIVE_BOUNDS);
    }
}

// The demo's own sheet has large faces of one colour: there at least 99% of
// the pixels are identical. Its white pips count as background here.
TEST_F(FrameCompare, TheDemosFramesWithItsOwnSheetAreAlmostIdentical) {
    const std::string cube_pcx = build_dir() + "/CUBE.PCX";
    if (access((build_dir() + "/bv-render").c_str(), X_OK) != 0 || access(cube_pcx.c_str(), R_OK) != 0) {
        GTEST_SKIP() << "bv-render or CUBE.PCX is not built";
    }
    for (const char *keys : KEY_SCRIPTS) {
        const Frame device = render(cube_pcx, FLAGS_ANY_DEVICE_Z, keys);
        const Frame software = render(cube_pcx, FLAGS_NO_DEVICE_Z, keys);
        ASSERT_FALSE(device.pixels.empty()) << keys;
        ASSERT_FALSE(software.pixels.empty()) << keys;
        const FrameDifference d = compare_frames(device, software, WHITE16);
        const double identical = static_cast<double>(d.identical) / static_cast<double>(d.pixels);
        std::printf("CUBE.PCX, bv-render --keys %s: %lld of %lld pixels differ (%.3f%% identical)\n", keys,
                    static_cast<long long>(d.pixels - d.identical), static_cast<long long>(d.pixels), 100.0 * identical);
        EXPECT_GE(identical, 0.99) << keys;
    }
}

}  // namespace
