// Run-length decoding, placement and the two ways of reading (file in
// chunks, image in memory). 8-bit pages show the decoded bytes as they
// are, so the expectations are the bytes the file describes.
#include "pcx_support.h"

using namespace pcxtest;

namespace {

constexpr uint8_t BACKGROUND = 0xEB;

class Decoding : public testing::Test {
protected:
    void start(int width, int height, int depth = 8) {
        PageOptions o;
        o.width = width;
        o.height = height;
        o.depth = depth;
        page = std::make_unique<Page>(o);
        ASSERT_TRUE(page->ready());
        page->fill(BACKGROUND);
    }
    void TearDown() override { page.reset(); }

    // An indexed image of w x h with no palette trailer (version 2): on an
    // 8-bit page its pixels keep their values.
    static Header indexed(int w, int h, int bytes_per_line = -1) {
        Header hd;
        hd.version = 2;
        hd.xmax = static_cast<uint16_t>(w - 1);
        hd.ymax = static_cast<uint16_t>(h - 1);
        hd.bytes_per_line = static_cast<uint16_t>(bytes_per_line < 0 ? w : bytes_per_line);
        return hd;
    }

    void expect_rows(const std::vector<std::vector<int>> &rows, int x0 = 0, int y0 = 0) {
        for (size_t y = 0; y < rows.size(); ++y)
            for (size_t x = 0; x < rows[y].size(); ++x)
                EXPECT_EQ(page->pixel(x0 + static_cast<int>(x), y0 + static_cast<int>(y)),
                          static_cast<uint32_t>(rows[y][x]))
                    << "x " << x0 + x << " y " << y0 + y;
    }

    std::unique_ptr<Page> page;
};

TEST_F(Decoding, RunCarriesOverToTheNextLine) {
    start(4, 3);
    // Row 0: 1, 2 and a run of five 7s: three of them start row 1.
    const std::vector<uint8_t> data = {1, 2, 0xC5, 7, 8, 0xC4, 9};
    ASSERT_EQ(load_bytes(pcx_file(indexed(4, 3), data)), 0);
    expect_rows({{1, 2, 7, 7}, {7, 7, 7, 8}, {9, 9, 9, 9}});
}

TEST_F(Decoding, RunLongerThanSeveralLinesStaysInStep) {
    start(1, 6);
    // One-byte lines: a run of three 5s fills rows 0-2, then 6 and a run
    // of 63 4s (0xFF) that fills rows 4 and 5 and spills far past them.
    ASSERT_EQ(load_bytes(pcx_file(indexed(1, 6), {0xC3, 5, 6, 0xFF, 4})), 0);
    expect_rows({{5}, {5}, {5}, {6}, {4}, {4}});
}

TEST_F(Decoding, RunByte192StoresNothing) {
    start(4, 1);
    ASSERT_EQ(load_bytes(pcx_file(indexed(4, 1), {0xC0, 0x33, 1, 2, 0xC0, 0xFF, 3, 4})), 0);
    expect_rows({{1, 2, 3, 4}});
}

TEST_F(Decoding, TruncatedDataStillDrawsEveryRow) {
    start(4, 4);
    // Row 1 gets only two bytes; it and row 2 keep what the line held.
    ASSERT_EQ(load_bytes(pcx_file(indexed(4, 3), {1, 2, 3, 4, 5, 6})), 0);
    expect_rows({{1, 2, 3, 4}, {5, 6, 3, 4}, {5, 6, 3, 4}, {BACKGROUND, BACKGROUND, BACKGROUND, BACKGROUND}});
}

TEST_F(Decoding, TruncatedInsideARunDrawsRows) {
    start(2, 2);
    ASSERT_EQ(load_bytes(pcx_file(indexed(2, 2), {9, 8, 0xC2})), 0);
    expect_rows({{9, 8}, {9, 8}});
}

TEST_F(Decoding, ImageBelowAndRightOfThePageIsCut) {
    start(6, 3);
    Header h = indexed(4, 4);
    h.xmin = 3;
    h.ymin = 1;
    h.xmax = 6;
    h.ymax = 4;
    ASSERT_EQ(load_bytes(pcx_file(h, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16})), 0);
    const int B = BACKGROUND;
    expect_rows({{B, B, B, B, B, B}, {B, B, B, 1, 2, 3}, {B, B, B, 5, 6, 7}});
}

TEST_F(Decoding, ImageWhollyOffThePageDrawsNothingAndKeepsThePalette) {
    start(4, 4, 16);
    const std::vector<Rgb> colours(256, Rgb{1, 2, 3});
    for (int which = 0; which < 2; ++which) {
        Header h = indexed(2, 2);
        h.version = 5;
        if (which == 0) {
            h.ymin = 4;  // below
            h.ymax = 5;
        } else {
            h.xmin = 4;  // right
            h.xmax = 5;
        }
        const auto before = palette_snapshot();
        EXPECT_EQ(load_bytes(pcx_file(h, {1, 2, 3, 4}, trailer_bytes(colours))), 0);
        EXPECT_EQ(palette_snapshot(), before);
        for (uint32_t p : page->all_pixels()) EXPECT_EQ(p, uint32_t{BACKGROUND});
    }
}

TEST_F(Decoding, AtCursorPlacesTheCornerThereAndKeepsTheCursor) {
    start(5, 4);
    Header h = indexed(2, 2);
    h.xmin = h.ymin = 100;
    h.xmax = h.ymax = 101;
    bv_move_to(2, 1);
    ASSERT_EQ(load_bytes(pcx_file(h, {1, 2, 3, 4}), BV_PCX_AT_CURSOR), 0);
    const int B = BACKGROUND;
    expect_rows({{B, B, B, B, B}, {B, B, 1, 2, B}, {B, B, 3, 4, B}, {B, B, B, B, B}});
    EXPECT_EQ(bv_cursor.cursor_x, 2);
    EXPECT_EQ(bv_cursor.cursor_y, 1);
}

TEST_F(Decoding, NegativeCursorClipsAtTheLeftAndTop) {
    start(4, 3);
    // 3 x 4 image at (-1, -2): its columns 1-2 of rows 2-3 land at (0,0).
    const std::vector<uint8_t> data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    bv_move_to(-1, -2);
    ASSERT_EQ(load_bytes(pcx_file(indexed(3, 4), data), BV_PCX_AT_CURSOR), 0);
    const int B = BACKGROUND;
    expect_rows({{8, 9, B, B}, {11, 12, B, B}, {B, B, B, B}});
}

TEST_F(Decoding, CursorFarOffThePageDrawsNothing) {
    start(4, 3);
    const std::vector<uint8_t> file = pcx_file(indexed(3, 4), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    const std::pair<int, int> places[] = {{-3, 0}, {0, -4}, {INT32_MIN, INT32_MIN}, {INT32_MAX, 0}, {0, INT32_MAX}};
    for (auto [x, y] : places) {
        bv_move_to(x, y);
        EXPECT_EQ(load_bytes(file, BV_PCX_AT_CURSOR), 0) << x << "," << y;
        for (uint32_t p : page->all_pixels()) EXPECT_EQ(p, BACKGROUND) << x << "," << y;
    }
}

TEST_F(Decoding, NoPageMeansNoFileOpened) {
    start(4, 4);
    const std::string missing = temp_path("does-not-exist.pcx");
    EXPECT_EQ(bv_load_pcx(missing.c_str(), 0), 1) << "with a page, a missing file is result 1";
    bv_deselect_page();
    EXPECT_EQ(bv_load_pcx(missing.c_str(), 0), 0);
    EXPECT_EQ(bv_target.lock_depth, 0);
}

TEST_F(Decoding, FileIsReadInChunksOfTheImageBufferSize) {
    start(40, 30);
    std::vector<uint8_t> data;
    std::vector<std::vector<int>> rows(30, std::vector<int>(40));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const int v = (x * 7 + y * 13) % 190;
            rows[y][x] = v;
            data.push_back(static_cast<uint8_t>(v));
        }
    uint8_t small[128];
    ASSERT_EQ(bv_set_image_buffer(small, sizeof small), 0);
    ASSERT_EQ(load_bytes(pcx_file(indexed(40, 30), data)), 0);
    expect_rows(rows);
    EXPECT_EQ(bv_image.image_buffer, small) << "a load leaves the buffer as it was";
    EXPECT_EQ(bv_image.image_buffer_size, 128u);
}

TEST_F(Decoding, MemoryModeReadsTheWholeImageBuffer) {
    start(4, 2, 32);
    Header h = indexed(4, 2);
    h.version = 5;
    std::vector<Rgb> colours(256, Rgb{0, 0, 0});
    colours[1] = {255, 0, 0};
    colours[2] = {0, 255, 0};
    colours[3] = {0, 0, 255};
    std::vector<uint8_t> file = pcx_file(h, {1, 2, 3, 1, 3, 3, 2, 2}, trailer_bytes(colours));
    ASSERT_EQ(bv_set_image_buffer(file.data(), static_cast<uint32_t>(file.size())), 0);
    ASSERT_EQ(bv_load_pcx(nullptr, BV_PCX_FROM_BUFFER), 0);
    EXPECT_EQ(page->pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(page->pixel(1, 0), 0x00FF00u);
    EXPECT_EQ(page->pixel(2, 0), 0x0000FFu);
    EXPECT_EQ(page->pixel(1, 1), 0x0000FFu);
    EXPECT_EQ(page->pixel(3, 1), 0x00FF00u);
}

TEST_F(Decoding, MemoryModeInTheDefaultBufferTakesItsLast769BytesAsTrailer) {
    start(2, 1, 24);
    Header h = indexed(2, 1);
    h.version = 5;
    std::vector<uint8_t> image = pcx_file(h, {7, 8});
    std::vector<Rgb> colours(256, Rgb{0, 0, 0});
    colours[7] = {10, 20, 30};
    colours[8] = {40, 50, 60};
    const std::vector<uint8_t> trailer = trailer_bytes(colours);
    ASSERT_EQ(bv_image.image_buffer, bv::io_buffer);
    ASSERT_EQ(bv_image.image_buffer_size, 4096u);
    std::memset(bv::io_buffer, 0, 4096);
    std::memcpy(bv::io_buffer, image.data(), image.size());
    std::memcpy(bv::io_buffer + 4096 - 769, trailer.data(), 769);
    ASSERT_EQ(bv_load_pcx("ignored", BV_PCX_FROM_BUFFER), 0);
    EXPECT_EQ(page->pixel(0, 0), 0x0A141Eu);
    EXPECT_EQ(page->pixel(1, 0), 0x28323Cu);
}

}  // namespace
