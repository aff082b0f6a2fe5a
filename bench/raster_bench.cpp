// Fill rate of the four scan converters at each pixel depth: one slanted,
// foreshortened polygon covering the whole 640 x 480 page per iteration,
// a new depth frame before each so that every pixel passes the test. The
// "half hidden" cases leave the left half of every row behind entries no
// depth can pass (as if a nearer polygon covered it), so half the pixels
// fail the test; pixels/s counts the pixels tested.
// BV_BENCH_OWN_MAIN: the display runs headless, so main sets the driver.
#include <cstdlib>
#include <vector>

#include <benchmark/benchmark.h>

#include "brivondel.h"
#include "state.h"

namespace {

constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;

enum Member { PERSPECTIVE_DEPTH, PERSPECTIVE, AFFINE_DEPTH, AFFINE };

const ScreenPoint kCorners[] = {{-40, -60}, {700, -20}, {680, 540}, {-60, 500}};
const TexCoord kTexCoords[] = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
const Vertex3 kCamera[] = {{0, 0, 200}, {0, 0, 600}, {0, 0, 500}, {0, 0, 150}};

void draw(Member m) {
    switch (m) {
    case PERSPECTIVE_DEPTH: bv::raster_perspective_depth(kCorners, kTexCoords, kCamera, 4); break;
    case PERSPECTIVE: bv::raster_perspective(kCorners, kTexCoords, kCamera, 4); break;
    case AFFINE_DEPTH: bv::raster_affine_depth(kCorners, kTexCoords, kCamera, 4); break;
    case AFFINE: bv::raster_affine(kCorners, kTexCoords, 4); break;
    }
}

// The left half of every row behind an entry that nothing passes: the
// tested value is at most 0xFFFFFFFF, and an equal value fails.
void hide_left_half() {
    uint32_t *entries = bv_target.zbuffer;
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < WIDTH / 2; ++x) entries[y * WIDTH + x] = 0xFFFFFFFFu;
}

void fill_rate(benchmark::State &state) {
    const Member member = static_cast<Member>(state.range(0));
    const int bits = static_cast<int>(state.range(1));
    const bool half_hidden = state.range(2) != 0;
    if (half_hidden && (member == PERSPECTIVE || member == AFFINE)) {
        state.SkipWithError("this member has no depth test");
        return;
    }
    if (bv_config_display(WIDTH, HEIGHT, bits, BV_DISPLAY_FLIP) != 0 || bv_start_display() < 0 ||
        bv_select_page(0) != 0) {
        state.SkipWithError("no headless display");
        return;
    }
    const int texel_bytes = bits == 8 ? 1 : bits == 16 ? 2 : 3;
    std::vector<uint8_t> texels(64 * 64 * texel_bytes);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<uint8_t>(i * 31 + 7);
    bv_textures.current_texels = reinterpret_cast<uintptr_t>(texels.data());
    bv_textures.current_width = 64;
    bv_textures.current_height = 64;
    bv_textures.current_texel_bytes = texel_bytes;
    bv_zbuffer zbuffer = bv_alloc_zbuffer(WIDTH, HEIGHT);
    bv_open_zbuffer(zbuffer);
    if (half_hidden) hide_left_half();

    for (auto _ : state) {
        bv_zbuffer_frame();
        if (half_hidden && bv_target.zstamp == 0) {
            // Every 256th frame clears the buffer for real.
            state.PauseTiming();
            hide_left_half();
            state.ResumeTiming();
        }
        draw(member);
        benchmark::ClobberMemory();
    }
    state.counters["pixels/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * WIDTH * HEIGHT, benchmark::Counter::kIsRate);

    bv_free_zbuffer(zbuffer);
    bv_textures = TextureState{};
    bv_stop_display();
}

void members_and_depths(benchmark::internal::Benchmark *b) {
    b->ArgNames({"member", "bits", "half_hidden"});
    for (int m : {PERSPECTIVE_DEPTH, PERSPECTIVE, AFFINE_DEPTH, AFFINE})
        for (int bits : {8, 16, 24, 32}) b->Args({m, bits, 0});
    for (int m : {PERSPECTIVE_DEPTH, AFFINE_DEPTH})
        for (int bits : {8, 16, 24, 32}) b->Args({m, bits, 1});
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(fill_rate)->Apply(members_and_depths);

}  // namespace

int main(int argc, char **argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
