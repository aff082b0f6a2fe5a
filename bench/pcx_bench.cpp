// PCX decoding speed: a 640 x 480 picture onto a page of the same size, in
// each source layout the demo could meet, onto pages of every depth, read
// from memory and from a file in 4096-byte chunks.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "brivondel.h"

namespace {

constexpr int W = 640, H = 480;

// Where the reader's buffer points once a benchmark from memory is done,
// so that it never keeps the address of a picture that is gone: 4096
// bytes, as large as the library's own.
uint8_t file_chunks[4096];

void put16(std::vector<uint8_t> &v, size_t at, int x) {
    v[at] = static_cast<uint8_t>(x);
    v[at + 1] = static_cast<uint8_t>(x >> 8);
}

// Runs of 1 to 12 equal bytes, as a photograph-like picture compresses.
void encode_line(const std::vector<uint8_t> &line, std::vector<uint8_t> &out) {
    for (size_t i = 0; i < line.size();) {
        size_t run = 1;
        while (i + run < line.size() && run < 63 && line[i + run] == line[i]) ++run;
        if (run > 1 || line[i] >= 0xC0) out.push_back(static_cast<uint8_t>(0xC0 | run));
        out.push_back(line[i]);
        i += run;
    }
}

std::vector<uint8_t> make_pcx(int planes) {
    std::vector<uint8_t> f(128, 0);
    f[0] = 10;
    f[1] = 5;
    f[2] = 1;
    f[3] = 8;
    put16(f, 8, W - 1);
    put16(f, 10, H - 1);
    f[65] = static_cast<uint8_t>(planes);
    put16(f, 66, W);
    std::vector<uint8_t> line(W);
    for (int y = 0; y < H; ++y)
        for (int p = 0; p < planes; ++p) {
            for (int x = 0; x < W; ++x) line[x] = static_cast<uint8_t>(((x / (1 + (x + y) % 12)) * 7 + y + p * 50) & 255);
            encode_line(line, f);
        }
    if (planes == 1) {
        f.push_back(12);
        for (int i = 0; i < 768; ++i) f.push_back(static_cast<uint8_t>(i * 7));
    }
    return f;
}

struct Display {
    explicit Display(int depth) {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        bv_config_display(W, H, depth, BV_DISPLAY_FLIP);
        palette = bv_make_palette();
        bv_use_palette(palette);
        bv_start_display();
        bv_set_dib_depth(depth);
        bv_select_page(0);
        bv_attach_palette();
    }
    ~Display() {
        bv_deselect_page();
        bv_stop_display();
        bv_delete_palette(palette);
        bv_palette.current_hpal = nullptr;
    }
    bv_hpalette palette;
};

void decode(benchmark::State &state, int planes, bool from_file) {
    const int depth = static_cast<int>(state.range(0));
    if (planes == 3 && depth == 8) {
        state.SkipWithError("24-bit planes cannot be shown on 8-bit pages");
        return;
    }
    Display display(depth);
    std::vector<uint8_t> file = make_pcx(planes);
    const std::string path = "/tmp/bv_pcx_bench_" + std::to_string(planes) + ".pcx";
    if (from_file) {
        std::FILE *f = std::fopen(path.c_str(), "wb");
        std::fwrite(file.data(), 1, file.size(), f);
        std::fclose(f);
    } else {
        bv_set_image_buffer(file.data(), static_cast<uint32_t>(file.size()));
    }
    const int32_t flags = BV_PCX_NO_REDUCE | (from_file ? 0 : BV_PCX_FROM_BUFFER);
    for (auto _ : state) benchmark::DoNotOptimize(bv_load_pcx(path.c_str(), flags));
    state.counters["pixels/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * W * H, benchmark::Counter::kIsRate);
    if (!from_file) bv_set_image_buffer(file_chunks, sizeof file_chunks);
    if (from_file) std::remove(path.c_str());
}

void Indexed8FromMemory(benchmark::State &s) { decode(s, 1, false); }
void Indexed8FromFile(benchmark::State &s) { decode(s, 1, true); }
void Planar24FromMemory(benchmark::State &s) { decode(s, 3, false); }

BENCHMARK(Indexed8FromMemory)->Arg(8)->Arg(16)->Arg(24)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(Indexed8FromFile)->Arg(8)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(Planar24FromMemory)->Arg(16)->Arg(24)->Arg(32)->Unit(benchmark::kMillisecond);

}  // namespace
