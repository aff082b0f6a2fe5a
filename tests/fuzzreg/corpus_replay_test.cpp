// Every checked-in fuzz input (the seed corpora and the findings) replayed
// through its target's case: none may break what the case checks.
#include "fuzzreg_support.h"

namespace {

using fuzzreg::FuzzReplay;

template <class Run>
void replay_all(const std::string &target, Run run) {
    const auto files = fuzzreg::inputs_of(target);
    ASSERT_FALSE(files.empty()) << "no inputs for " << target << " under " << bvtest::source_dir();
    for (const auto &path : files) {
        const std::vector<uint8_t> bytes = bvtest::read_bytes(path.string());
        const fuzz::Outcome o = run(bytes.data(), bytes.size());
        EXPECT_EQ(o.violation, "") << path.filename().string();
    }
}

TEST_F(FuzzReplay, PcxInputsKeepTheReadersPromises) { replay_all("pcx", fuzz::run_pcx_input); }

TEST_F(FuzzReplay, PolygonInputsDrawOnlyInsideTheClipRectangle) { replay_all("poly", fuzz::run_poly_input); }

TEST_F(FuzzReplay, DeviceInputsKeepToThePage) {
    for (int32_t depth : {16, 32}) {
        SCOPED_TRACE(depth);
        replay_all("device", [depth](const uint8_t *d, size_t n) { return fuzz::run_device_input(d, n, depth); });
    }
}

TEST_F(FuzzReplay, PaletteInputsChangeExactlyTheirEntries) { replay_all("palette", fuzz::run_palette_input); }

TEST_F(FuzzReplay, TextureTableInputsFollowTheModel) { replay_all("textures", fuzz::run_textures_input); }

}  // namespace
