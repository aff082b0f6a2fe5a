// The demo's frame on the software path at 16 bits: a new depth frame, the
// white fill, the pose and DrawCube's six faces, at three poses, without
// presenting and with bv_flip presenting to a headless window. Beside it
// the polygon pipeline without the pixels: DrawCube's six faces where
// none of them can be seen, and bv_draw_3d_poly with no page, in polygons
// per second. Every benchmark reports the heap allocations its loop made
// per frame or per polygon, from any library in the process.
// BV_BENCH_OWN_MAIN: zarvel's start-up runs once, around all benchmarks.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <benchmark/benchmark.h>

#include "allocation_counter.h"
#include "brivondel.h"
#include "brivondel_linux.h"
#include "scene.h"
#include "shell.h"

namespace {

constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;

struct Pose {
    const char *name;
    double x, y, z;
    int32_t ax, ay, az;         // whole degrees, as the scene keeps them
};

// Facing: the start frame, one face. Turned: three faces at the start
// distance. Near: three large faces, the nearest corner in front of the
// near plane, so the clipper cuts them.
const Pose kPoses[] = {
    {"facing", 0, 0, 100, 0, 0, 0},
    {"turned", 0, 0, 100, 30, 45, 0},
    {"near", 4, -3, 52, 24, 36, 12},
};

void set_pose(const Pose &p) {
    bv_set_3d_pose(p.x, p.y, p.z, 10 * p.ax, 10 * p.ay, 10 * p.az);
}

// UpdateFrame's drawing, step for step; `present` adds its flip.
void draw_frame(const Pose &p, bool present) {
    bv_3d_scene(0);
    bv_zbuffer_frame();
    bv_set_color(-1);
    bv_fill_page();
    set_pose(p);
    zarvel::DrawCube();
    bv_3d_scene(1);
    if (present) bv_flip();
}

// Pixels of the page that are not the white background, from a copy of
// the 16-bit page.
int64_t cube_pixels() {
    std::vector<uint16_t> page(static_cast<size_t>(WIDTH) * HEIGHT);
    BvPageInfo info{};
    if (bv_copy_page(page.data(), page.size() * sizeof(uint16_t), &info) != 0 || info.bits_per_pixel != 16) return -1;
    int64_t n = 0;
    for (uint16_t pixel : page) n += pixel != 0xFFFF;
    return n;
}

void per_iteration(benchmark::State &state, const char *name, int64_t total) {
    state.counters[name] = benchmark::Counter(static_cast<double>(total) / static_cast<double>(state.iterations()));
}

void frame(benchmark::State &state) {
    const Pose &pose = kPoses[state.range(0)];
    const bool present = state.range(1) != 0;
    state.SetLabel(pose.name);
    draw_frame(pose, present);  // warm: textures and page touched once
    const int64_t before = benchalloc::count();
    for (auto _ : state) {
        draw_frame(pose, present);
        benchmark::ClobberMemory();
    }
    per_iteration(state, "allocs/frame", benchalloc::count() - before);
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["cube_pixels"] = static_cast<double>(cube_pixels());
}

BENCHMARK(frame)
    ->ArgNames({"pose", "present"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// DrawCube at each pose moved 400 units up: the near-plane clipper sees
// the same depths and cuts the same faces, but every face projects above
// the page. Each polygon goes through the whole pipeline (transform,
// finiteness check, clip, projection, dispatch) and into its scan
// converter, which locks the page, checks the texture and the depth
// buffer, finds the polygon's top and bottom and draws no row.
void draw_cube_out_of_sight(benchmark::State &state) {
    const Pose &pose = kPoses[state.range(0)];
    state.SetLabel(pose.name);
    Pose above = pose;
    above.y += 400;
    bv_zbuffer_frame();
    bv_set_color(-1);
    bv_fill_page();
    set_pose(above);
    zarvel::DrawCube();
    if (cube_pixels() != 0) {
        state.SkipWithError("a face of the cube moved out of sight still reaches the page");
        return;
    }
    const int64_t before = benchalloc::count();
    for (auto _ : state) {
        zarvel::DrawCube();
        benchmark::ClobberMemory();
    }
    per_iteration(state, "allocs/polygon", (benchalloc::count() - before) / 6);
    state.counters["polygons/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 6, benchmark::Counter::kIsRate);
}

BENCHMARK(draw_cube_out_of_sight)->ArgName("pose")->DenseRange(0, 2);

// bv_draw_3d_poly whole, with no page selected: transform, finiteness
// check, clip, projection and the dispatch, and a scan converter that
// returns at once.
void draw_poly_without_page(benchmark::State &state) {
    const Pose &pose = kPoses[state.range(0)];
    state.SetLabel(pose.name);
    set_pose(pose);
    bv_deselect_page();
    const int64_t before = benchalloc::count();
    for (auto _ : state) {
        for (const auto &face : zarvel::cube_faces) bv_draw_3d_poly(face, zarvel::face_texcoords, 4);
        benchmark::ClobberMemory();
    }
    per_iteration(state, "allocs/polygon", (benchalloc::count() - before) / 6);
    state.counters["polygons/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 6, benchmark::Counter::kIsRate);
    bv_select_page(0);
}

BENCHMARK(draw_poly_without_page)->ArgName("pose")->DenseRange(0, 2);

}  // namespace

int main(int argc, char **argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    zarvel::StartOptions options;
    options.pcx_file = BV_CUBE_PCX;
    const zarvel::StartResult started = zarvel::StartUp(nullptr, options);
    if (started.device_kind != 0 || started.pcx_result != 0) {
        std::fprintf(stderr, "frame_bench: no software-path display (device kind %d, %s: result %d)\n",
                     started.device_kind, BV_CUBE_PCX, started.pcx_result);
        zarvel::ShutDown();
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    zarvel::ShutDown();
    return 0;
}
