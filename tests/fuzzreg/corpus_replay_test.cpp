// Every checked-in fuzz input (the seeds, and findings kept under tests/fuzzreg/inputs/<target>/) replayed
// through its case in the normal build, plain and sanitized: none may break what its case checks.
#include <gtest/gtest.h>

#include <filesystem>

#include "../fuzz/fuzz_cases.h"
#include "programs.h"

TEST(FuzzReplay, EveryInputKeepsToWhatItsCaseChecks) {
    namespace fs = std::filesystem;
    const struct { const char *name, *seeds; void (*run)(const uint8_t *, size_t); } targets[] = {
        {"pcx", "pcx", fuzz::run_pcx_input},
        {"poly", "poly", [](const uint8_t *d, size_t n) { fuzz::run_poly_input(d, n); }},
        {"device", "poly", [](const uint8_t *d, size_t n) { fuzz::run_poly_input(d, n, 16); }},
        {"device", "poly", [](const uint8_t *d, size_t n) { fuzz::run_poly_input(d, n, 32); }},
        {"palette", "palette", fuzz::run_palette_input},
        {"textures", "textures", fuzz::run_textures_input}};
    for (const auto &t : targets) {
        std::vector<fs::path> files;
        std::error_code absent;  // a folder that is not there holds nothing
        for (const std::string &dir : {std::string("tests/fuzz/corpus/") + t.seeds, std::string("tests/fuzzreg/inputs/") + t.name})
            for (const auto &entry : fs::directory_iterator(fs::path(bvtest::source_dir()) / dir, absent)) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        EXPECT_FALSE(files.empty()) << "no inputs for " << t.name;
        for (const fs::path &file : files) {
            const std::vector<uint8_t> bytes = bvtest::read_bytes(file.string());
            EXPECT_NO_THROW(t.run(bytes.data(), bytes.size())) << t.name << ": " << file.filename().string();
        }
    }
    bv_stop_display();  // the display goes with the suite, window and all
    plat::destroy_window(fuzz::session().window);
    fuzz::session() = {};
}
