// The fuzz targets' cases, replayed in the normal build: the same decoding
// and checks as tests/fuzz, so that every seed and every finding stays a
// test after its fix.
#ifndef BV_TESTS_FUZZREG_SUPPORT_H
#define BV_TESTS_FUZZREG_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../fuzz/palette_case.h"
#include "../fuzz/pcx_case.h"
#include "../fuzz/poly_case.h"
#include "../fuzz/textures_case.h"
#include "programs.h"

namespace fuzzreg {

// Every file of a target's seed corpus and of its findings. The device
// target has no seeds of its own: it reads the polygon target's.
inline std::vector<std::filesystem::path> inputs_of(const std::string &target) {
    std::vector<std::filesystem::path> files;
    const std::string seeds = target == "device" ? "poly" : target;
    for (const std::string &sub : {"tests/fuzz/corpus/" + seeds, "tests/fuzzreg/inputs/" + target}) {
        const std::filesystem::path dir = std::filesystem::path(bvtest::source_dir()) / sub;
        if (!std::filesystem::is_directory(dir)) continue;
        for (const auto &entry : std::filesystem::directory_iterator(dir))
            if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

inline std::vector<uint8_t> finding(const std::string &target, const std::string &name) {
    const std::filesystem::path path = std::filesystem::path(bvtest::source_dir()) / "tests/fuzzreg/inputs" / target / name;
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
    return bvtest::read_bytes(path.string());
}

// The display the cases draw on goes away with the suite, window and all.
class FuzzReplay : public testing::Test {
protected:
    static void TearDownTestSuite() {
        fuzz::Session &s = fuzz::session();
        while (bv_target.lock_depth > 0) bv::unlock_target();
        if (s.started) bv_stop_display();
        s.started = false;
        if (s.window != nullptr) plat::destroy_window(s.window);
        s.window = nullptr;
        plat::test::reset();
        bv::reset_image_buffer();
    }
};

}  // namespace fuzzreg

#endif
