// The demo's texture sheet, CUBE.PCX, as the build writes it: its header,
// and what the reader draws from it with the demo's flags on a 16-bit page.
#include <set>

#include "pcx_support.h"

using namespace pcxtest;

namespace {

std::string cube_path() { return bvtest::build_dir() + "/CUBE.PCX"; }

std::vector<uint8_t> cube_bytes() { return bvtest::read_bytes(cube_path()); }

TEST(CubeSheet, HeaderSaysVersion5EightBitsOnePlaneRunLength) {
    const std::vector<uint8_t> f = cube_bytes();
    ASSERT_GT(f.size(), 128u + 769u) << cube_path();
    EXPECT_EQ(f[0], 10);
    EXPECT_EQ(f[1], 5);
    EXPECT_EQ(f[2], 1);
    EXPECT_EQ(f[3], 8);
    EXPECT_EQ(f[4] | f[5] << 8, 0);
    EXPECT_EQ(f[6] | f[7] << 8, 0);
    EXPECT_EQ(f[8] | f[9] << 8, 383);
    EXPECT_EQ(f[10] | f[11] << 8, 63);
    EXPECT_EQ(f[65], 1);
    EXPECT_EQ(f[66] | f[67] << 8, 384);
    EXPECT_EQ(f[f.size() - 769], 12) << "the 256-colour trailer";
    EXPECT_LT(f.size(), 128u + 384u * 64u / 4) << "run-length encoded";
}

// Face colours as the sheet's maker lists them, and the common parts.
const Rgb FACES[6] = {{208, 32, 32}, {40, 168, 56}, {48, 80, 216}, {232, 200, 32}, {184, 56, 184}, {32, 184, 192}};
const Rgb BORDER{56, 56, 56}, PIP{248, 248, 248}, MARK{0, 0, 0};

TEST(CubeSheet, DemoFlagsOnA16BitPageShowSixDistinctFaces) {
    PageOptions o;
    o.width = 640;
    o.height = 480;
    o.depth = 16;
    Page page(o);
    ASSERT_TRUE(page.ready());
    page.fill(0);
    bv_move_to(0, 0);
    ASSERT_EQ(bv_load_pcx(cube_path().c_str(), BV_PCX_AT_CURSOR | BV_PCX_NO_REDUCE), 0);

    std::set<uint32_t> face_pixels;
    for (int f = 0; f < 6; ++f) {
        const int x0 = 64 * f;
        SCOPED_TRACE("face " + std::to_string(f + 1));
        EXPECT_EQ(page.pixel(x0 + 40, 24), rgb565(FACES[f])) << "face colour";
        EXPECT_EQ(page.pixel(x0 + 1, 30), rgb565(BORDER));
        EXPECT_EQ(page.pixel(x0 + 30, 62), rgb565(BORDER));
        EXPECT_EQ(page.pixel(x0 + 4, 4), rgb565(MARK)) << "top-left mark";
        EXPECT_EQ(page.pixel(x0 + 59, 4), rgb565(FACES[f])) << "no mark at the top right";
        EXPECT_EQ(page.pixel(x0 + 4, 59), rgb565(FACES[f])) << "no mark at the bottom left";
        // Odd faces have a centre pip; faces two to six a top-left one.
        EXPECT_EQ(page.pixel(x0 + 32, 32), rgb565(f % 2 == 0 ? PIP : FACES[f]));
        EXPECT_EQ(page.pixel(x0 + 16, 16), rgb565(f == 0 ? FACES[f] : PIP));
        face_pixels.insert(page.pixel(x0 + 40, 24));
    }
    EXPECT_EQ(face_pixels.size(), 6u) << "six colours, distinct at 16 bits";
    face_pixels.insert({rgb565(BORDER), rgb565(PIP), rgb565(MARK)});
    EXPECT_EQ(face_pixels.size(), 9u);
    EXPECT_EQ(page.pixel(400, 10), 0u) << "nothing right of the sheet";
    EXPECT_EQ(page.pixel(10, 70), 0u) << "nothing below it";
}

}  // namespace
