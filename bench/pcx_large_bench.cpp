// bv_load_pcx on a large picture: 4000 x 3000 pixels, 8-bit indexed with
// its 769-byte palette trailer and 24-bit in three planes, onto a page of
// the same size at 16 and 32 bits, read from a file (4096-byte chunks)
// and from memory. The pictures are made here, the same every run: flat
// patches, stepped gradients and noise in equal parts, so the run-length
// data holds long runs, short runs and escaped literals.
//
//   pcx_large_bench [benchmark options]
//   pcx_large_bench --write-images DIR    writes large-8bit.pcx and
//                                         large-24bit.pcx into DIR and exits
//
// BV_BENCH_OWN_MAIN: the pictures are written once, before the benchmarks.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include "brivondel.h"

namespace {

constexpr int WIDTH = 4000;
constexpr int HEIGHT = 3000;
constexpr int PATCH = 64;

uint32_t mix(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

// One plane's value at (x, y): the 64 x 64 patch decides the kind.
uint8_t sample(int x, int y, int plane) {
    const uint32_t patch = mix(static_cast<uint32_t>((y / PATCH) * 1000 + x / PATCH));
    const uint32_t base = patch >> 8;
    switch (patch % 3) {
    case 0: return static_cast<uint8_t>(base + plane * 85);                          // flat
    case 1: return static_cast<uint8_t>(base + ((x % PATCH) / 6) * 5 + y % 7 + plane);  // stepped
    default: return static_cast<uint8_t>(mix(static_cast<uint32_t>(y * WIDTH + x) * 3 + plane));  // noise
    }
}

void put16(std::vector<uint8_t> &f, size_t at, int v) {
    f[at] = static_cast<uint8_t>(v);
    f[at + 1] = static_cast<uint8_t>(v >> 8);
}

// Runs of up to 63 equal bytes, never across the end of a plane's line;
// a lone byte of 0xC0 or more is written as a run of one.
void encode_line(const uint8_t *line, int n, std::vector<uint8_t> &out) {
    for (int i = 0; i < n;) {
        int run = 1;
        while (i + run < n && run < 63 && line[i + run] == line[i]) ++run;
        if (run > 1 || line[i] >= 0xC0) out.push_back(static_cast<uint8_t>(0xC0 | run));
        out.push_back(line[i]);
        i += run;
    }
}

std::vector<uint8_t> make_pcx(int planes) {
    std::vector<uint8_t> f(128, 0);
    f[0] = 10;  // manufacturer
    f[1] = 5;   // version with a palette trailer
    f[2] = 1;   // run-length encoded
    f[3] = 8;   // bits per pixel and plane
    put16(f, 8, WIDTH - 1);
    put16(f, 10, HEIGHT - 1);
    put16(f, 12, 72);
    put16(f, 14, 72);
    f[65] = static_cast<uint8_t>(planes);
    put16(f, 66, WIDTH);
    put16(f, 68, 1);
    std::vector<uint8_t> line(WIDTH);
    for (int y = 0; y < HEIGHT; ++y) {
        for (int p = 0; p < planes; ++p) {
            for (int x = 0; x < WIDTH; ++x) line[x] = sample(x, y, p);
            encode_line(line.data(), WIDTH, f);
        }
    }
    if (planes == 1) {
        f.push_back(12);
        for (int i = 0; i < 256; ++i) {
            f.push_back(static_cast<uint8_t>(i));
            f.push_back(static_cast<uint8_t>(255 - i));
            f.push_back(static_cast<uint8_t>(i * 7));
        }
    }
    return f;
}

struct Picture {
    std::vector<uint8_t> bytes;
    std::string path;
};

Picture pictures[2];  // 0: 8-bit indexed, 1: 24-bit planes
std::string picture_dir;

// Where the reader's buffer points once a benchmark from memory is done:
// 4096 bytes, as large as the library's own, so that later file reads go
// in chunks of the same size.
uint8_t file_chunks[4096];

const char *picture_name(int layout) { return layout == 0 ? "large-8bit.pcx" : "large-24bit.pcx"; }

bool write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool make_pictures(const std::string &dir) {
    for (int layout = 0; layout < 2; ++layout) {
        pictures[layout].bytes = make_pcx(layout == 0 ? 1 : 3);
        pictures[layout].path = dir + "/" + picture_name(layout);
        if (!write_file(pictures[layout].path, pictures[layout].bytes)) {
            std::fprintf(stderr, "pcx_large_bench: cannot write %s\n", pictures[layout].path.c_str());
            return false;
        }
    }
    return true;
}

struct Display {
    explicit Display(int depth) {
        bv_config_display(WIDTH, HEIGHT, depth, BV_DISPLAY_FLIP);
        palette = bv_make_palette();
        bv_use_palette(palette);
        started = bv_start_display() >= 0 && bv_select_page(0) == 0;
        bv_set_dib_depth(depth);
        bv_attach_palette();
    }
    ~Display() {
        bv_deselect_page();
        bv_stop_display();
        bv_delete_palette(palette);
    }
    bv_hpalette palette;
    bool started = false;
};

void decode(benchmark::State &state) {
    const int layout = static_cast<int>(state.range(0));
    const int bits = static_cast<int>(state.range(1));
    const bool from_memory = state.range(2) != 0;
    state.SetLabel(std::string(layout == 0 ? "8-bit indexed" : "24-bit planes") + (from_memory ? ", memory" : ", file"));
    Display display(bits);
    if (!display.started) {
        state.SkipWithError("no headless display of 4000x3000");
        return;
    }
    Picture &pic = pictures[layout];
    if (from_memory) bv_set_image_buffer(pic.bytes.data(), static_cast<uint32_t>(pic.bytes.size()));
    const int32_t flags = from_memory ? BV_PCX_FROM_BUFFER : 0;
    const char *path = from_memory ? nullptr : pic.path.c_str();
    for (auto _ : state) {
        if (bv_load_pcx(path, flags) != 0) {
            state.SkipWithError("the reader refused the picture");
            break;
        }
        benchmark::ClobberMemory();
    }
    if (from_memory) bv_set_image_buffer(file_chunks, sizeof file_chunks);
    state.counters["Mpixels/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * WIDTH * HEIGHT / 1e6,
                                                     benchmark::Counter::kIsRate);
    state.counters["file_MB"] = static_cast<double>(pic.bytes.size()) / 1e6;
}

BENCHMARK(decode)
    ->ArgNames({"layout", "bits", "memory"})
    ->ArgsProduct({{0, 1}, {16, 32}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-images") == 0) return make_pictures(argv[2]) ? 0 : 1;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bv-pcx-large-" + std::to_string(getpid()));
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    picture_dir = dir.string();
    const bool made = !error && make_pictures(picture_dir);
    if (made) benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(dir, error);
    return made ? 0 : 1;
}
