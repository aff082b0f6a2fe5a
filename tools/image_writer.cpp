// The tools' image writer. PNG goes through libpng when the build found
// it; PPM is written by hand.
#include "image_writer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "brivondel_linux.h"
#include "command_line.h"

#ifdef BV_HAVE_PNG
#include <png.h>
#endif

namespace bvtools {

namespace {

int32_t bytes_per_pixel(int32_t bits_per_pixel) {
    switch (bits_per_pixel) {
    case 16: return 2;
    case 24: return 3;
    case 32: return 4;
    default: return 1;
    }
}

uint8_t widen5(uint32_t v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }
uint8_t widen6(uint32_t v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); }

void rgb_of_pixel(const PageView &page, const uint8_t *p, uint8_t *out) {
    switch (page.bits_per_pixel) {
    case 16: {
        const uint32_t w = p[0] | (p[1] << 8);
        if (page.rgb555) {
            out[0] = widen5((w >> 10) & 31);
            out[1] = widen5((w >> 5) & 31);
        } else {
            out[0] = widen5((w >> 11) & 31);
            out[1] = widen6((w >> 5) & 63);
        }
        out[2] = widen5(w & 31);
        return;
    }
    case 24:
    case 32:
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
        return;
    default:
        if (page.palette != nullptr) {
            const PaletteEntry &e = page.palette[p[0]];
            out[0] = e.red;
            out[1] = e.green;
            out[2] = e.blue;
        } else {
            out[0] = out[1] = out[2] = p[0];
        }
        return;
    }
}

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string reason_from_errno() { return std::strerror(errno); }

std::string lower_case(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

bool copy_current_page(PageCopy &out) {
    out = PageCopy{};
    BvPageInfo info{};
    if (bv_copy_page(nullptr, 0, &info) != 0) return false;
    const std::size_t row_bytes = static_cast<std::size_t>(info.width) * bytes_per_pixel(info.bits_per_pixel);
    out.bytes.resize(row_bytes * static_cast<std::size_t>(info.height));
    if (bv_copy_page(out.bytes.data(), out.bytes.size(), &info) != 0) return false;
    out.view.pixels = out.bytes.data();
    out.view.width = info.width;
    out.view.height = info.height;
    out.view.pitch = static_cast<int32_t>(row_bytes);
    out.view.bits_per_pixel = info.bits_per_pixel;
    out.view.rgb555 = info.rgb555 != 0;
    out.view.palette = bv_palette.log_palette.entries;
    return true;
}

std::vector<uint8_t> page_to_rgb(const PageView &page) {
    std::vector<uint8_t> rgb(static_cast<std::size_t>(page.width) * page.height * 3);
    const int32_t bpp = bytes_per_pixel(page.bits_per_pixel);
    uint8_t *out = rgb.data();
    for (int32_t y = 0; y < page.height; ++y) {
        const uint8_t *row = page.pixels + static_cast<std::ptrdiff_t>(y) * page.pitch;
        for (int32_t x = 0; x < page.width; ++x, out += 3) rgb_of_pixel(page, row + x * bpp, out);
    }
    return rgb;
}

ImageFormat image_format_for(const std::string &path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return ImageFormat::Unknown;
    const std::string ext = lower_case(path.substr(dot + 1));
    if (ext == "png") return ImageFormat::Png;
    if (ext == "ppm") return ImageFormat::Ppm;
    return ImageFormat::Unknown;
}

std::string image_path_option(int argc, char **argv, int &i) {
    std::string path = option_value(argc, argv, i);
    if (image_format_for(path) == ImageFormat::Unknown)
        usage_error("--out needs a file name ending in .png or .ppm, not '" + path + "'");
    return path;
}

namespace {

// Writes a short head and then the body, without joining them in memory.
std::string write_head_and_body(const std::string &path, const std::string &head, const void *body, std::size_t size) {
    File f(std::fopen(path.c_str(), "wb"));
    if (!f) return reason_from_errno();
    if (!head.empty() && std::fwrite(head.data(), 1, head.size(), f.get()) != head.size()) return reason_from_errno();
    if (size > 0 && std::fwrite(body, 1, size, f.get()) != size) return reason_from_errno();
    if (std::fclose(f.release()) != 0) return reason_from_errno();
    return "";
}

}  // namespace

std::string write_file(const std::string &path, const void *data, std::size_t size) {
    return write_head_and_body(path, "", data, size);
}

std::string write_ppm(const std::string &path, int32_t width, int32_t height, const std::vector<uint8_t> &rgb) {
    const std::string head = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    return write_head_and_body(path, head, rgb.data(), rgb.size());
}

#ifdef BV_HAVE_PNG
std::string write_png(const std::string &path, int32_t width, int32_t height, const std::vector<uint8_t> &rgb) {
    File f(std::fopen(path.c_str(), "wb"));
    if (!f) return reason_from_errno();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return "cannot start the PNG encoder";
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return "cannot start the PNG encoder";
    }
    // libpng reports its errors by longjmp; nothing with a destructor is
    // created between here and the end of the encoding.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return "PNG encoding failed";
    }
    png_init_io(png, f.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(rgb.data() + static_cast<std::size_t>(y) * width * 3));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(f.release()) != 0) return reason_from_errno();
    return "";
}
#else
std::string write_png(const std::string &, int32_t, int32_t, const std::vector<uint8_t> &) {
    return "this build has no PNG support (libpng was not found); write a .ppm instead";
}
#endif

std::string write_image(const std::string &path, const PageView &page) {
    const std::vector<uint8_t> rgb = page_to_rgb(page);
    switch (image_format_for(path)) {
    case ImageFormat::Png: return write_png(path, page.width, page.height, rgb);
    case ImageFormat::Ppm: return write_ppm(path, page.width, page.height, rgb);
    case ImageFormat::Unknown: break;
    }
    return "unknown image type (use .png or .ppm)";
}

std::string write_raw(const std::string &path, const PageView &page) {
    const std::size_t row_bytes = static_cast<std::size_t>(page.width) * bytes_per_pixel(page.bits_per_pixel);
    std::vector<uint8_t> bytes(row_bytes * static_cast<std::size_t>(page.height));
    for (int32_t y = 0; y < page.height; ++y)
        std::memcpy(&bytes[row_bytes * y], page.pixels + static_cast<std::ptrdiff_t>(y) * page.pitch, row_bytes);
    return write_file(path, bytes.data(), bytes.size());
}

}  // namespace bvtools
