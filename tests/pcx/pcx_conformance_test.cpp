// Files nobody on the team wrote: Netpbm, ImageMagick and Pillow write PCX
// files in every layout they can; bv-pcx decodes them onto pages of every
// depth, and Netpbm's pcxtoppm decodes them too. Where the two readings of
// the format agree, every pixel must match. The cases where they do not
// are listed at the end with what this reader shows instead.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "programs.h"

namespace {

// ---- Running the tools --------------------------------------------------------

using bvtest::exit_status;
using bvtest::read_bytes;
using bvtest::shell_quoted;

bool have_program(const std::string &name) { return exit_status("command -v " + shell_quoted(name) + " >/dev/null 2>&1") == 0; }

const char *const PYTHON = "/usr/bin/python3";  // Debian's python3-pil lives here

bool have_pillow() { return exit_status(std::string(PYTHON) + " -c 'import PIL' >/dev/null 2>&1") == 0; }

std::string bv_pcx_path() { return bvtest::build_dir() + "/tools/bv-pcx"; }

// ---- Pictures -------------------------------------------------------------------

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    bool operator==(const Picture &o) const = default;
};

// Binary PPM with maxval 255: the header's last whitespace is one byte, and
// the pixels may begin with a byte that looks like whitespace.
bool read_ppm(const std::string &path, Picture &out) {
    const std::vector<uint8_t> bytes = read_bytes(path);
    size_t pos = 0;
    auto skip_space = [&] {
        while (pos < bytes.size() && (std::isspace(bytes[pos]) || bytes[pos] == '#')) {
            if (bytes[pos] == '#')
                while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
            else
                ++pos;
        }
    };
    auto number = [&](int &v) {
        skip_space();
        if (pos >= bytes.size() || !std::isdigit(bytes[pos])) return false;
        v = 0;
        while (pos < bytes.size() && std::isdigit(bytes[pos])) v = v * 10 + (bytes[pos++] - '0');
        return true;
    };
    if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6') return false;
    pos = 2;
    int maxval = 0;
    if (!number(out.width) || !number(out.height) || !number(maxval) || maxval != 255) return false;
    ++pos;  // the single whitespace byte
    const size_t n = static_cast<size_t>(out.width) * out.height * 3;
    if (bytes.size() < pos + n) return false;
    out.rgb.assign(bytes.begin() + static_cast<long>(pos), bytes.begin() + static_cast<long>(pos + n));
    return true;
}

bool write_ppm(const std::string &path, const Picture &p) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << p.width << " " << p.height << "\n255\n";
    out.write(reinterpret_cast<const char *>(p.rgb.data()), static_cast<long>(p.rgb.size()));
    return static_cast<bool>(out);
}

// k colours, all different (their red channels differ), spread over the
// picture in a pattern that has runs and changes.
Picture indexed_picture(int w, int h, int k) {
    Picture p{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int i = ((x / 3) * 7 + y * 13 + (x * y) % 11) % k;
            p.rgb.push_back(static_cast<uint8_t>(k <= 2 ? i * 255 : (i * 251) % 256));
            p.rgb.push_back(static_cast<uint8_t>((i * 97 + 5) & 255));
            p.rgb.push_back(static_cast<uint8_t>((i * 193 + 101) & 255));
        }
    return p;
}

// Many colours (more than 256 on large pictures).
Picture true_colour_picture(int w, int h) {
    Picture p{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            p.rgb.push_back(static_cast<uint8_t>(x * 5 + y * 3));
            p.rgb.push_back(static_cast<uint8_t>(x * y + x / 4));
            p.rgb.push_back(static_cast<uint8_t>((y * 7) ^ x));
        }
    return p;
}

// ---- What a page of each depth makes of a colour --------------------------------

struct Depth {
    int bits;
    bool rgb555;
    std::string name() const { return std::to_string(bits) + (rgb555 ? "-555" : ""); }
};

uint8_t widen5(int v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }
uint8_t widen6(int v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); }

// The colour the page image shows for a file colour: 16-bit pages keep the
// top bits of each channel (the image writer widens them again); 8-bit
// pages show palette entries, which hold the file's colours exactly.
void expected_colour(const uint8_t *in, const Depth &d, uint8_t *out) {
    if (d.bits != 16) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        return;
    }
    out[0] = widen5(in[0] >> 3);
    out[1] = d.rgb555 ? widen5(in[1] >> 3) : widen6(in[1] >> 2);
    out[2] = widen5(in[2] >> 3);
}

Picture as_page_shows(const Picture &ref, const Depth &d) {
    Picture p = ref;
    for (size_t i = 0; i < p.rgb.size(); i += 3) expected_colour(&ref.rgb[i], d, &p.rgb[i]);
    return p;
}

// ---- The cases ----------------------------------------------------------------------

enum class Source { Mono, Pbm, Sixteen, Indexed200, Distinct250, TrueColour };

struct Case {
    std::string name;
    Source source;
    int width, height;
    std::string program;  // what must be installed: "netpbm", "imagemagick", "pillow"
    std::string make;     // shell command; IN and OUT stand for the files
    std::vector<int> depths;
};

const std::vector<int> ALL_DEPTHS = {8, 16, 24, 32};
const std::vector<int> DEEP_DEPTHS = {16, 32};

// Every layout each program writes, at sizes from 1 x 1 to 1000 x 500 with
// odd widths (padded lines).
std::vector<Case> agreeing_cases() {
    std::vector<Case> cases;
    auto add = [&](std::string name, Source s, int w, int h, std::string program, std::string make,
                   std::vector<int> depths = ALL_DEPTHS) {
        cases.push_back(Case{std::move(name), s, w, h, std::move(program), std::move(make), std::move(depths)});
    };
    // Netpbm: colour count picks the layout unless told.
    add("netpbm-mono-13x5", Source::Mono, 13, 5, "netpbm", "ppmtopcx IN > OUT");
    add("netpbm-mono-1x1", Source::Mono, 1, 1, "netpbm", "ppmtopcx IN > OUT");
    add("netpbm-pbm-61x17", Source::Pbm, 61, 17, "netpbm", "ppmtopcx IN > OUT");
    add("netpbm-mono-packed-9x4", Source::Mono, 9, 4, "netpbm", "ppmtopcx -packed IN > OUT");
    add("netpbm-mono-2planes-11x3", Source::Mono, 11, 3, "netpbm", "ppmtopcx -planes=2 IN > OUT");
    add("netpbm-mono-4planes-11x3", Source::Mono, 11, 3, "netpbm", "ppmtopcx -planes=4 IN > OUT");
    add("netpbm-16colour-13x5", Source::Sixteen, 13, 5, "netpbm", "ppmtopcx IN > OUT");
    add("netpbm-16colour-1x1", Source::Sixteen, 1, 1, "netpbm", "ppmtopcx IN > OUT");
    add("netpbm-16colour-333x77", Source::Sixteen, 333, 77, "netpbm", "ppmtopcx IN > OUT");
    add("netpbm-8bit-17x9", Source::Indexed200, 17, 9, "netpbm", "ppmtopcx IN > OUT");
    add("netpbm-8bit-from-16-colours-7x3", Source::Sixteen, 7, 3, "netpbm", "ppmtopcx -8bit IN > OUT");
    add("netpbm-8bit-1000x500", Source::Indexed200, 1000, 500, "netpbm", "ppmtopcx IN > OUT", DEEP_DEPTHS);
    add("netpbm-24bit-101x33", Source::TrueColour, 101, 33, "netpbm", "ppmtopcx -24bit IN > OUT");
    add("netpbm-24bit-1x1", Source::TrueColour, 1, 1, "netpbm", "ppmtopcx -24bit IN > OUT");
    add("netpbm-24bit-999x7", Source::TrueColour, 999, 7, "netpbm", "ppmtopcx -24bit IN > OUT");
    add("netpbm-24bit-1000x500", Source::TrueColour, 1000, 500, "netpbm", "ppmtopcx IN > OUT", DEEP_DEPTHS);
    // ImageMagick writes 24-bit planes, or 8 bits with a trailer for palette images.
    add("imagemagick-24bit-13x5", Source::TrueColour, 13, 5, "imagemagick", "convert IN PCX:OUT");
    add("imagemagick-24bit-from-mono-9x2", Source::Mono, 9, 2, "imagemagick", "convert IN PCX:OUT");
    add("imagemagick-8bit-31x7", Source::Indexed200, 31, 7, "imagemagick", "convert IN -type Palette PCX:OUT");
    add("imagemagick-8bit-16colours-5x5", Source::Sixteen, 5, 5, "imagemagick", "convert IN -type Palette PCX:OUT");
    add("imagemagick-24bit-640x480", Source::TrueColour, 640, 480, "imagemagick", "convert IN PCX:OUT", DEEP_DEPTHS);
    // Pillow pads every line to an even byte count.
    const std::string pil = std::string(PYTHON) +
                            " -c 'import sys; from PIL import Image; "
                            "Image.open(sys.argv[1]).convert(sys.argv[3]).save(sys.argv[2], \"PCX\")' IN OUT ";
    add("pillow-rgb-13x5", Source::TrueColour, 13, 5, "pillow", pil + "RGB");
    add("pillow-rgb-2x1", Source::TrueColour, 2, 1, "pillow", pil + "RGB");
    add("pillow-palette-17x9", Source::Indexed200, 17, 9, "pillow", pil + "P");
    add("pillow-grey-35x11", Source::Indexed200, 35, 11, "pillow", pil + "L");
    add("pillow-rgb-1000x500", Source::TrueColour, 1000, 500, "pillow", pil + "RGB", DEEP_DEPTHS);
    return cases;
}

Picture source_picture(Source s, int w, int h) {
    switch (s) {
    case Source::Mono:
    case Source::Pbm: return indexed_picture(w, h, 2);
    case Source::Sixteen: return indexed_picture(w, h, 16);
    case Source::Indexed200: return indexed_picture(w, h, 200);
    case Source::Distinct250: {
        // Colour i at pixel i: 250 colours on a 16 x 16 picture.
        Picture p{w, h, {}};
        for (int i = 0; i < w * h; ++i) {
            const int c = i % 250;
            p.rgb.insert(p.rgb.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>((c * 97 + 5) & 255),
                                       static_cast<uint8_t>((c * 193 + 101) & 255)});
        }
        return p;
    }
    case Source::TrueColour: return true_colour_picture(w, h);
    }
    return {};
}

bool write_source(const std::string &path, Source s, int w, int h) {
    const Picture p = source_picture(s, w, h);
    if (s != Source::Pbm) return write_ppm(path, p);
    std::ofstream out(path);
    out << "P1\n" << w << " " << h << "\n";
    for (size_t i = 0; i < p.rgb.size(); i += 3) out << (p.rgb[i] == 0 ? "1 " : "0 ");
    return static_cast<bool>(out);
}

std::string replace_all(std::string s, const std::string &from, const std::string &to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
    return s;
}

class Conformance : public testing::Test {
protected:
    void SetUp() override {
        if (!have_program("pcxtoppm")) GTEST_SKIP() << "Netpbm's pcxtoppm is not installed";
        ASSERT_EQ(access(bv_pcx_path().c_str(), X_OK), 0) << "bv-pcx not found at " << bv_pcx_path();
        char pattern[] = "/tmp/bv_pcx_conformance_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        if (!dir.empty()) exit_status("rm -rf " + shell_quoted(dir));
    }

    bool program_present(const std::string &program) {
        if (program == "netpbm") return have_program("ppmtopcx");
        if (program == "imagemagick") return have_program("convert");
        if (program == "pillow") return have_pillow();
        return false;
    }

    // Writes the case's PCX file; empty when the program failed.
    std::string make_pcx(const Case &c) {
        const std::string in = dir + "/" + c.name + (c.source == Source::Pbm ? ".pbm" : ".ppm");
        const std::string out = dir + "/" + c.name + ".pcx";
        if (!write_source(in, c.source, c.width, c.height)) return "";
        const std::string cmd = replace_all(replace_all(c.make, "IN", shell_quoted(in)), "OUT", shell_quoted(out));
        if (exit_status(cmd + " 2>/dev/null") != 0) return "";
        return out;
    }

    bool reference(const std::string &pcx, Picture &out) {
        const std::string ppm = pcx + ".ref.ppm";
        return exit_status("pcxtoppm " + shell_quoted(pcx) + " > " + shell_quoted(ppm) + " 2>/dev/null") == 0 && read_ppm(ppm, out);
    }

    // bv-pcx's picture of the file on a page exactly the image's size.
    int decode(const std::string &pcx, const Depth &d, int w, int h, Picture &out, const std::string &extra = "") {
        const std::string ppm = pcx + "." + d.name() + ".ppm";
        const std::string cmd = shell_quoted(bv_pcx_path()) + " " + shell_quoted(pcx) + " --depth " + std::to_string(d.bits) +
                                (d.rgb555 ? " --rgb555" : "") + " --size " + std::to_string(w) + "x" +
                                std::to_string(h) + " --out " + shell_quoted(ppm) + " " + extra + " >/dev/null";
        const int status = exit_status(cmd);
        if (!read_ppm(ppm, out)) return -1;
        return status;
    }

    std::string dir;
};

size_t count_differences(const Picture &a, const Picture &b) {
    if (a.width != b.width || a.height != b.height) return SIZE_MAX;
    size_t n = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3)
        if (a.rgb[i] != b.rgb[i] || a.rgb[i + 1] != b.rgb[i + 1] || a.rgb[i + 2] != b.rgb[i + 2]) ++n;
    return n;
}

TEST_F(Conformance, AgreesWithPcxtoppmPixelForPixel) {
    int compared = 0;
    for (const Case &c : agreeing_cases()) {
        SCOPED_TRACE(c.name);
        if (!program_present(c.program)) {
            std::printf("[ skipped  ] %s: %s is not installed\n", c.name.c_str(), c.program.c_str());
            continue;
        }
        const std::string pcx = make_pcx(c);
        ASSERT_FALSE(pcx.empty()) << "the program could not write the file";
        Picture ref;
        ASSERT_TRUE(reference(pcx, ref)) << "pcxtoppm cannot read it";
        ASSERT_EQ(ref.width, c.width);
        ASSERT_EQ(ref.height, c.height);
        const std::vector<uint8_t> file = read_bytes(pcx);
        const bool planar24 = file.size() > 65 && file[65] == 3;

        std::vector<Depth> depths;
        for (int bits : c.depths) {
            depths.push_back(Depth{bits, false});
            if (bits == 16) depths.push_back(Depth{16, true});
        }
        for (const Depth &d : depths) {
            SCOPED_TRACE("page depth " + d.name());
            Picture got;
            const int result = decode(pcx, d, c.width, c.height, got);
            if (d.bits == 8 && planar24) {
                EXPECT_EQ(result, 3) << "24-bit planes cannot be shown on an 8-bit page";
                continue;
            }
            ASSERT_EQ(result, 0);
            EXPECT_EQ(count_differences(got, as_page_shows(ref, d)), 0u);
            ++compared;
        }
    }
    std::printf("[ compared ] %d pictures\n", compared);
}

// The raw page of a 32-bit page holds blue, green, red, 0 for each pixel,
// row after row.
TEST_F(Conformance, RawPixelsOfA32BitPage) {
    if (!program_present("netpbm")) GTEST_SKIP() << "ppmtopcx is not installed";
    const Case c{"raw-24bit-15x4", Source::TrueColour, 15, 4, "netpbm", "ppmtopcx -24bit IN > OUT", {}};
    const std::string pcx = make_pcx(c);
    ASSERT_FALSE(pcx.empty());
    Picture ref;
    ASSERT_TRUE(reference(pcx, ref));
    const std::string raw = dir + "/page.raw";
    ASSERT_EQ(exit_status(shell_quoted(bv_pcx_path()) + " " + shell_quoted(pcx) + " --size 15x4 --raw " + shell_quoted(raw) + " >/dev/null"), 0);
    const std::vector<uint8_t> bytes = read_bytes(raw);
    ASSERT_EQ(bytes.size(), 15u * 4 * 4);
    for (size_t i = 0; i < 60; ++i) {
        EXPECT_EQ(bytes[4 * i], ref.rgb[3 * i + 2]) << i;
        EXPECT_EQ(bytes[4 * i + 1], ref.rgb[3 * i + 1]) << i;
        EXPECT_EQ(bytes[4 * i + 2], ref.rgb[3 * i]) << i;
        EXPECT_EQ(bytes[4 * i + 3], 0) << i;
    }
}

// Where pcxtoppm and this reader read the format differently. Each case
// says which reading this reader follows, and checks that one.
TEST_F(Conformance, CasesWhereTheReadingsDiffer) {
    // 1. Single-plane files of 2 or 4 bits per pixel (ppmtopcx -packed with
    //    more than two colours): pcxtoppm decodes them; this reader knows
    //    only 1 and 8 bits per plane and answers 3 on every page.
    if (program_present("netpbm")) {
        for (Source s : {Source::Sixteen}) {
            const Case c{"differs-packed-4bit", s, 13, 5, "netpbm", "ppmtopcx -packed IN > OUT", {}};
            const std::string pcx = make_pcx(c);
            ASSERT_FALSE(pcx.empty());
            Picture ref, got;
            EXPECT_TRUE(reference(pcx, ref));
            for (int bits : ALL_DEPTHS) EXPECT_EQ(decode(pcx, Depth{bits, false}, 13, 5, got), 3) << bits;
        }

        // 2. One bit per plane in three planes (ppmtopcx -planes=3): three
        //    planes always mean 24-bit planes here, so the picture differs
        //    from pcxtoppm's 8-colour reading. The load itself succeeds.
        const Case three{"differs-1bit-3planes", Source::Mono, 13, 5, "netpbm", "ppmtopcx -planes=3 IN > OUT", {}};
        const std::string pcx3 = make_pcx(three);
        ASSERT_FALSE(pcx3.empty());
        Picture ref, got;
        ASSERT_TRUE(reference(pcx3, ref));
        EXPECT_EQ(decode(pcx3, Depth{32, false}, 13, 5, got), 0);
        EXPECT_NE(count_differences(got, ref), 0u);
        EXPECT_EQ(decode(pcx3, Depth{8, false}, 13, 5, got), 3) << "24-bit planes on an 8-bit page";
    }

    // 3. Pillow's 1-bit files leave the header's colour map all zero.
    //    pcxtoppm calls such a map useless and substitutes black and white;
    //    this reader uses the header's colours as they are: all black.
    if (program_present("pillow")) {
        const std::string pil = std::string(PYTHON) +
                                " -c 'import sys; from PIL import Image; "
                                "Image.open(sys.argv[1]).convert(\"1\").save(sys.argv[2], \"PCX\")' IN OUT";
        const Case c{"differs-pillow-1bit", Source::TrueColour, 21, 6, "pillow", pil, {}};
        const std::string pcx = make_pcx(c);
        ASSERT_FALSE(pcx.empty());
        Picture ref, got;
        ASSERT_TRUE(reference(pcx, ref));
        const std::set<std::vector<uint8_t>> ref_colours = [&] {
            std::set<std::vector<uint8_t>> s;
            for (size_t i = 0; i < ref.rgb.size(); i += 3) s.insert({ref.rgb[i], ref.rgb[i + 1], ref.rgb[i + 2]});
            return s;
        }();
        EXPECT_TRUE(ref_colours.count({255, 255, 255}) == 1) << "pcxtoppm shows white pixels";
        for (int bits : ALL_DEPTHS) {
            ASSERT_EQ(decode(pcx, Depth{bits, false}, 21, 6, got), 0) << bits;
            for (uint8_t b : got.rgb) ASSERT_EQ(b, 0) << "page depth " << bits;
        }
    }

    // 4. More than 236 colours on an 8-bit page: the reader merges the
    //    closest colours until 236 remain, so some pixels show a
    //    neighbouring colour; with BV_PCX_NO_REDUCE (8) pixel values stay
    //    and entries 0-9 and 246-255 show the system's colours.
    if (program_present("netpbm")) {
        const Case c{"differs-250-colours-on-8-bit", Source::Distinct250, 16, 16, "netpbm", "ppmtopcx IN > OUT", {}};
        const std::string pcx = make_pcx(c);
        ASSERT_FALSE(pcx.empty());
        Picture ref, got;
        ASSERT_TRUE(reference(pcx, ref));
        ASSERT_EQ(decode(pcx, Depth{8, false}, 16, 16, got), 0);
        std::set<std::vector<uint8_t>> ref_colours, got_colours;
        for (size_t i = 0; i < ref.rgb.size(); i += 3) {
            ref_colours.insert({ref.rgb[i], ref.rgb[i + 1], ref.rgb[i + 2]});
            got_colours.insert({got.rgb[i], got.rgb[i + 1], got.rgb[i + 2]});
        }
        ASSERT_GT(ref_colours.size(), 236u);
        EXPECT_LE(got_colours.size(), 236u);
        for (const auto &colour : got_colours) EXPECT_EQ(ref_colours.count(colour), 1u) << "colours are never mixed";
    }

    // 5. Pillow's RGB files one pixel wide end early: each line holds only
    //    the red and green planes. pcxtoppm rejects them ("unexpected end
    //    of file"); this reader draws what is there, since data that ends
    //    early is not an error, so the first pixel's red and green are
    //    right. Should Pillow write them whole one day, both must agree.
    if (program_present("pillow")) {
        const std::string pil = std::string(PYTHON) +
                                " -c 'import sys; from PIL import Image; "
                                "Image.open(sys.argv[1]).convert(\"RGB\").save(sys.argv[2], \"PCX\")' IN OUT";
        const Case c{"differs-pillow-rgb-1x2", Source::Indexed200, 1, 2, "pillow", pil, {}};
        const std::string pcx = make_pcx(c);
        ASSERT_FALSE(pcx.empty());
        Picture ref, got;
        const bool pcxtoppm_reads_it = reference(pcx, ref);
        ASSERT_EQ(decode(pcx, Depth{32, false}, 1, 2, got), 0);
        const Picture source = source_picture(Source::Indexed200, 1, 2);
        if (pcxtoppm_reads_it) {
            EXPECT_EQ(count_differences(got, ref), 0u);
        } else {
            EXPECT_EQ(got.rgb[0], source.rgb[0]);
            EXPECT_EQ(got.rgb[1], source.rgb[1]);
        }
    }
}

}  // namespace
