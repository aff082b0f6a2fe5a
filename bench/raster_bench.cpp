// Fill rate of the four scan converters at each pixel depth, drawn the
// way a program draws: bv_draw_3d_poly with the render flags that pick
// each member, clipping on as in the demo. One slanted, foreshortened
// quadrilateral covers the whole 640 x 480 page per iteration, a new depth
// frame before each so that every pixel passes the test. The "half
// hidden" cases leave the left half of every row behind entries no depth
// can pass (as if a nearer polygon covered it), so half the pixels fail
// the test; pixels/s counts the pixels tested. The pipeline's work on the
// polygon's four vertices is small beside its 307,200 pixels.
// BV_BENCH_OWN_MAIN: the display runs headless, so main sets the driver.
#include <cstdlib>
#include <vector>

#include <benchmark/benchmark.h>

#include "brivondel.h"

namespace {

constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;

enum Member { PERSPECTIVE_DEPTH, PERSPECTIVE, AFFINE_DEPTH, AFFINE };

// The render flags that pick each member.
const int32_t kMemberFlags[] = {RF_PERSPECTIVE | RF_DEPTH, RF_PERSPECTIVE, RF_DEPTH, 0};

// The demo's view: scale 320 both ways (y up), centre (320, 240), near
// plane at 40. With the pose at the origin and unturned, these vertices
// are their own camera-space points, and each projects exactly onto a
// corner: x = 320 + 320 X / Z, y = 240 - 320 Y / Z gives (-40, -60),
// (700, -20), (680, 540) and (-60, 500), at z 200, 600, 500 and 150.
const Vertex3 kVertices[] = {
    {-225.0, 187.5, 200.0}, {712.5, 487.5, 600.0}, {562.5, -468.75, 500.0}, {-178.125, -121.875, 150.0}};
const TexCoord kTexCoords[] = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};

void set_view(Member m) {
    bv_set_3d_viewport(0, WIDTH - 1, 0, HEIGHT - 1, 0.5);
    bv_set_3d_depth(40.0, 1000.0);
    bv_set_3d_pose(0.0, 0.0, 0.0, 0, 0, 0);
    bv_set_3d_flags(kMemberFlags[m] | RF_CLIP);
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
    bv_alloc_textures(1);
    bv_select_texture(bv_define_texture(texels.data(), 64, 64));
    set_view(member);
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
        bv_draw_3d_poly(kVertices, kTexCoords, 4);
        benchmark::ClobberMemory();
    }
    state.counters["pixels/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * WIDTH * HEIGHT, benchmark::Counter::kIsRate);

    bv_free_zbuffer(zbuffer);
    bv_free_texture(-1);
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
