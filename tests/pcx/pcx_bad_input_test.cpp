// Files that lie, end early or describe what the reader cannot show: each
// gets its result and nothing outside the page, the palette tables and the
// reader's own buffers is touched (the sanitizer build watches the rest).
#include <array>
#include <random>

#include "image/pcx.h"
#include "pcx_support.h"

using namespace pcxtest;

namespace {

constexpr uint8_t BACKGROUND = 0xEB;

class BadInput : public testing::Test {
protected:
    void start(int width, int height, int depth, int pad = 0) {
        PageOptions o;
        o.width = width;
        o.height = height;
        o.depth = depth;
        o.pad = pad;
        page = std::make_unique<Page>(o);
        ASSERT_TRUE(page->ready());
        page->fill(BACKGROUND);
        before_pixels = page->all_pixels();
        before_palette = palette_snapshot();
    }
    void TearDown() override {
        bv::test::fail_pcx_allocations(0);
        page.reset();
    }

    void expect_nothing_changed() {
        EXPECT_EQ(page->all_pixels(), before_pixels);
        EXPECT_EQ(palette_snapshot(), before_palette);
        EXPECT_EQ(bv_target.lock_depth, 0);
    }

    static Header indexed(int w, int h) {
        Header hd;
        hd.version = 2;
        hd.xmax = static_cast<uint16_t>(w - 1);
        hd.ymax = static_cast<uint16_t>(h - 1);
        hd.bytes_per_line = static_cast<uint16_t>(w);
        return hd;
    }

    std::unique_ptr<Page> page;
    std::vector<uint32_t> before_pixels;
    std::vector<uint8_t> before_palette;
};

TEST_F(BadInput, HeaderShorterThan128BytesIsResult2) {
    start(4, 4, 16);
    const std::vector<uint8_t> full = header_bytes(indexed(2, 2));
    for (size_t size : {size_t{0}, size_t{1}, size_t{64}, size_t{127}}) {
        EXPECT_EQ(load_bytes(std::vector<uint8_t>(full.begin(), full.begin() + size)), 2) << size;
        expect_nothing_changed();
    }
}

TEST_F(BadInput, WrongManufacturerIsResult2) {
    start(4, 4, 8);
    for (uint8_t m : {0, 5, 11, 255}) {
        Header h = indexed(2, 2);
        h.manufacturer = m;
        EXPECT_EQ(load_bytes(pcx_file(h, {1, 2, 3, 4})), 2) << int(m);
        expect_nothing_changed();
    }
}

TEST_F(BadInput, LayoutsThatCannotBeShownAreResult3) {
    start(4, 4, 8);
    struct Case {
        uint8_t bpp, planes;
    };
    for (Case c : {Case{2, 1}, Case{4, 1}, Case{0, 1}, Case{24, 1}, Case{16, 2}, Case{8, 3}}) {
        Header h = indexed(2, 2);
        h.bits_per_pixel = c.bpp;
        h.planes = c.planes;
        EXPECT_EQ(load_bytes(pcx_file(h, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12})), 3)
            << int(c.bpp) << " bits, " << int(c.planes) << " planes";
        expect_nothing_changed();
    }
}

TEST_F(BadInput, MissingFileIsResult1) {
    start(4, 4, 8);
    EXPECT_EQ(bv_load_pcx(temp_path("missing.pcx").c_str(), 0), 1);
    EXPECT_EQ(bv_load_pcx(nullptr, 0), 1);
    expect_nothing_changed();
}

TEST_F(BadInput, HeaderWithoutDataDrawsZeroRows) {
    start(4, 3, 16);
    Header h = indexed(3, 2);
    h.colour_map = {{255, 255, 255}};
    ASSERT_EQ(load_bytes(header_bytes(h)), 0);
    // Value 0 everywhere in the image: the header's first colour.
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(page->pixel(x, y), x < 3 && y < 2 ? 0xFFFFu : uint32_t{BACKGROUND}) << x << "," << y;
}

// Xmax < Xmin or Ymax < Ymin: an empty image. Result 0, nothing drawn,
// the palette left alone.
TEST_F(BadInput, NegativeExtentsDrawNothing) {
    start(8, 8, 32);
    struct Box {
        uint16_t xmin, xmax, ymin, ymax;
    };
    for (Box b : {Box{5, 4, 0, 3}, Box{0, 3, 7, 2}, Box{65535, 0, 65535, 0}, Box{1, 0, 0, 0}}) {
        Header h = indexed(2, 2);
        h.version = 5;
        h.xmin = b.xmin;
        h.xmax = b.xmax;
        h.ymin = b.ymin;
        h.ymax = b.ymax;
        EXPECT_EQ(load_bytes(pcx_file(h, {1, 2, 3, 4}, trailer_bytes(std::vector<Rgb>(256, Rgb{1, 1, 1})))), 0);
        expect_nothing_changed();
    }
}

// Bytes per line too small for the width: the columns the line does not
// describe read as value 0.
TEST_F(BadInput, BytesPerLineTooSmallReadsZerosBeyondTheLine) {
    start(12, 2, 8);
    Header h = indexed(6, 2);
    h.bytes_per_line = 2;
    ASSERT_EQ(load_bytes(pcx_file(h, {1, 2, 3, 4})), 0);
    const uint32_t B = BACKGROUND;
    const std::vector<uint32_t> row0 = {1, 2, 0, 0, 0, 0, B, B, B, B, B, B};
    const std::vector<uint32_t> row1 = {3, 4, 0, 0, 0, 0, B, B, B, B, B, B};
    for (int x = 0; x < 12; ++x) {
        EXPECT_EQ(page->pixel(x, 0), row0[x]) << x;
        EXPECT_EQ(page->pixel(x, 1), row1[x]) << x;
    }

    // Monochrome: one byte describes 8 columns; columns 8-11 are value 0,
    // shown as palette entry 10.
    page->fill(BACKGROUND);
    Header m;
    m.version = 2;
    m.bits_per_pixel = 1;
    m.xmax = 11;
    m.bytes_per_line = 1;
    ASSERT_EQ(load_bytes(pcx_file(m, {0xC1, 0xFF})), 0);
    for (int x = 0; x < 12; ++x) EXPECT_EQ(page->pixel(x, 0), x < 8 ? 11u : 10u) << x;
}

TEST_F(BadInput, BytesPerLineTooSmallOnDeepPagesAndPlanes) {
    start(4, 1, 32);
    Header rgb;
    rgb.planes = 3;
    rgb.xmax = 2;
    rgb.bytes_per_line = 1;
    ASSERT_EQ(load_bytes(pcx_file(rgb, {10, 20, 30})), 0);
    EXPECT_EQ(page->pixel(0, 0), 0x0A141Eu);
    EXPECT_EQ(page->pixel(1, 0), 0u);
    EXPECT_EQ(page->pixel(2, 0), 0u);
    EXPECT_EQ(page->pixel(3, 0), uint32_t{BACKGROUND});

    // No bytes per line at all, and no planes at all.
    for (auto [planes, bpl] : {std::pair<uint8_t, uint16_t>{4, 0}, {0, 40}, {1, 0}}) {
        page->fill(BACKGROUND);
        Header h = indexed(3, 1);
        h.planes = planes;
        h.bytes_per_line = bpl;
        h.colour_map = {{1, 2, 3}};
        ASSERT_EQ(load_bytes(pcx_file(h, {0xFF, 9, 0xFF, 9})), 0) << int(planes) << " " << bpl;
        for (int x = 0; x < 3; ++x) EXPECT_EQ(page->pixel(x, 0), 0x010203u) << x;
    }
}

TEST_F(BadInput, HugeExtentsInATinyFile) {
    start(64, 48, 16, 2);
    Header h;
    h.version = 5;  // no room for a trailer: the header's colours
    h.planes = 4;
    h.xmax = h.ymax = 65535;
    h.bytes_per_line = 65535;
    h.colour_map = {{255, 0, 0}};
    ASSERT_EQ(load_bytes(pcx_file(h, {0xC3, 0xFF})), 0);
    // Three bytes of plane 0 are set: columns 0-23 are value 1 (header
    // colour 1, black), the rest value 0 (red). The data ends there, so
    // every later row repeats the line.
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) ASSERT_EQ(page->pixel(x, y), x < 24 ? 0u : 0xF800u) << x << "," << y;
    for (int y = 0; y < 48; ++y)
        for (uint8_t b : page->padding(y)) EXPECT_EQ(b, Page::PADDING_BYTE);

    // The same with 255 planes of 8 bits, and placed far up and left.
    h.planes = 255;
    h.bits_per_pixel = 8;
    bv_move_to(-65000, -65000);
    EXPECT_EQ(load_bytes(pcx_file(h, {7})), 0);
    EXPECT_EQ(load_bytes(pcx_file(h, {7}), BV_PCX_AT_CURSOR), 0);
}

TEST_F(BadInput, RunOverrunningTheLastLine) {
    start(2, 2, 8);
    ASSERT_EQ(load_bytes(pcx_file(indexed(2, 2), {1, 2, 3, 0xFF, 9, 0xFF, 8, 0xFF, 7})), 0);
    EXPECT_EQ(page->pixel(0, 0), 1u);
    EXPECT_EQ(page->pixel(1, 0), 2u);
    EXPECT_EQ(page->pixel(0, 1), 3u);
    EXPECT_EQ(page->pixel(1, 1), 9u);

    // Every line one byte long, every byte a run of 63.
    page->fill(BACKGROUND);
    std::vector<uint8_t> runs;
    for (int i = 0; i < 100; ++i) {
        runs.push_back(0xFF);
        runs.push_back(static_cast<uint8_t>(i));
    }
    ASSERT_EQ(load_bytes(pcx_file(indexed(1, 2), runs)), 0);
    EXPECT_EQ(page->pixel(0, 0), 0u);
    EXPECT_EQ(page->pixel(0, 1), 0u);
}

// A version 5 file whose trailer is cut short or lacks the marker byte 12
// shows the header's 16 colours.
TEST_F(BadInput, Version5WithShortOrWrongTrailerUsesTheHeaderColours) {
    start(2, 1, 32);
    Header h;
    h.xmax = 1;
    h.bytes_per_line = 2;
    h.colour_map = {{0, 0, 0}, {10, 20, 30}, {40, 50, 60}};
    const std::vector<Rgb> colours(256, Rgb{200, 200, 200});
    std::vector<uint8_t> wrong_marker = trailer_bytes(colours, 11);
    std::vector<uint8_t> short_trailer = trailer_bytes(colours);
    short_trailer.resize(500);  // the whole file stays under 769 bytes
    for (const auto &trailer : {wrong_marker, short_trailer}) {
        ASSERT_EQ(load_bytes(pcx_file(h, {1, 2}, trailer)), 0);
        EXPECT_EQ(page->pixel(0, 0), 0x0A141Eu);
        EXPECT_EQ(page->pixel(1, 0), 0x28323Cu);
        EXPECT_EQ(log_colour(2), (Rgb{40, 50, 60}));
        EXPECT_EQ(log_colour(16), (Rgb{default_palette[16][0], default_palette[16][1], default_palette[16][2]}));
    }
}

TEST_F(BadInput, Version5WithShortTrailerOnAn8BitPage) {
    start(2, 1, 8);
    Header h;
    h.xmax = 1;
    h.bytes_per_line = 2;
    h.colour_map = {{0, 0, 0}, {10, 20, 30}};
    ASSERT_EQ(load_bytes(pcx_file(h, {1, 1}, {12, 1, 2, 3})), 0);
    EXPECT_EQ(page->pixel(0, 0), 1u) << "indexed pixels keep their values";
    EXPECT_EQ(log_colour(11), (Rgb{10, 20, 30})) << "header colours at entries 10-25";
}

TEST_F(BadInput, MemoryModeWithoutAUsableBuffer) {
    start(2, 2, 8);
    uint8_t small[200] = {};
    EXPECT_EQ(bv_set_image_buffer(nullptr, 4096), -1);
    EXPECT_EQ(bv_set_image_buffer(small, 127), -1);
    EXPECT_EQ(bv_image.image_buffer, bv::io_buffer) << "a refused buffer changes nothing";
    EXPECT_EQ(bv_image.image_buffer_size, 4096u);

    bv_image.image_buffer = nullptr;
    EXPECT_EQ(bv_load_pcx(nullptr, BV_PCX_FROM_BUFFER), 2);
    bv_image.image_buffer = small;
    bv_image.image_buffer_size = 100;
    EXPECT_EQ(bv_load_pcx(nullptr, BV_PCX_FROM_BUFFER), 2);
    expect_nothing_changed();

    // A 200-byte image in memory, version 5: too short for a trailer.
    Header h = indexed(2, 2);
    h.version = 5;
    h.colour_map = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1, 2, 3}};
    const std::vector<uint8_t> file = pcx_file(h, {3, 3, 3, 3});
    std::memcpy(small, file.data(), file.size());
    ASSERT_EQ(bv_set_image_buffer(small, sizeof small), 0);
    EXPECT_EQ(bv_load_pcx(nullptr, BV_PCX_FROM_BUFFER), 0);
    EXPECT_EQ(page->pixel(1, 1), 3u);
    EXPECT_EQ(log_colour(13), (Rgb{1, 2, 3}));
}

TEST_F(BadInput, FileModeWithoutAnImageBufferReadsNoData) {
    start(2, 1, 8);
    bv_image.image_buffer = nullptr;
    bv_image.image_buffer_size = 0;
    ASSERT_EQ(load_bytes(pcx_file(indexed(2, 1), {5, 6})), 0);
    EXPECT_EQ(page->pixel(0, 0), 0u);
    EXPECT_EQ(page->pixel(1, 0), 0u);
}

TEST_F(BadInput, FailedAllocationIsResult4AndChangesNothing) {
    start(4, 4, 16);
    Header h = indexed(2, 2);
    h.version = 5;
    bv::test::fail_pcx_allocations(1);
    EXPECT_EQ(load_bytes(pcx_file(h, {1, 2, 3, 4}, trailer_bytes(std::vector<Rgb>(256, Rgb{5, 5, 5})))), 4);
    expect_nothing_changed();
}

TEST_F(BadInput, FailedPageLockDrawsNothing) {
    start(4, 4, 16);
    plat::test::fail_locks(1);
    EXPECT_EQ(load_bytes(pcx_file(indexed(2, 2), {1, 2, 3, 4})), 0);
    expect_nothing_changed();
}

// Random headers and bytes: every result is one of the reader's, and the
// page's padding and everything else stays whole.
TEST_F(BadInput, RandomFilesNeverWriteOutsideThePage) {
    start(24, 16, 16, 3);
    std::mt19937 rng(20261207);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 400; ++round) {
        std::vector<uint8_t> file(static_cast<size_t>(pick(0, 1500)));
        for (auto &b : file) b = static_cast<uint8_t>(pick(0, 255));
        if (file.size() >= 128) {
            file[0] = 10;
            file[1] = static_cast<uint8_t>(pick(0, 1) ? 5 : pick(0, 6));
            file[3] = static_cast<uint8_t>(std::array<int, 4>{1, 8, 2, 8}[pick(0, 3)]);
            file[65] = static_cast<uint8_t>(pick(0, 5));
            for (int at : {4, 6, 8, 10, 66}) {
                const int v = pick(0, 3) == 0 ? pick(0, 65535) : pick(0, 40);
                file[at] = static_cast<uint8_t>(v);
                file[at + 1] = static_cast<uint8_t>(v >> 8);
            }
        }
        const int32_t flags = pick(0, 15) & ~BV_PCX_FROM_BUFFER;
        bv_move_to(pick(-40, 40), pick(-40, 40));
        const int32_t r = load_bytes(file, flags, "random.pcx");
        EXPECT_TRUE(r == 0 || r == 2 || r == 3) << "round " << round << " result " << r;
        if (file.size() >= 128) {
            ASSERT_EQ(bv_set_image_buffer(file.data(), static_cast<uint32_t>(file.size())), 0);
            const int32_t m = bv_load_pcx(nullptr, flags | BV_PCX_FROM_BUFFER);
            EXPECT_EQ(m, r) << "memory mode reads as file mode, round " << round;
            bv::reset_image_buffer();
        }
    }
    for (int y = 0; y < 16; ++y)
        for (uint8_t b : page->padding(y)) ASSERT_EQ(b, Page::PADDING_BYTE) << y;
    EXPECT_EQ(bv_target.lock_depth, 0);
}

}  // namespace
