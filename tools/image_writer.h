// Writing a page's picture to disk, shared by the tools: PNG (libpng) or
// binary PPM by the file's extension, or the page's raw pixels.
#ifndef BV_TOOLS_IMAGE_WRITER_H
#define BV_TOOLS_IMAGE_WRITER_H

#include <cstdint>
#include <string>
#include <vector>

#include "brivondel.h"

namespace bvtools {

// A page's pixels as they lie in memory, and how to read them as colours.
struct PageView {
    const uint8_t *pixels = nullptr;  // pixel (0, 0)
    int32_t width = 0, height = 0;
    int32_t pitch = 0;                // bytes from one row to the next
    int32_t bits_per_pixel = 0;       // 8, 16, 24 or 32
    bool rgb555 = false;              // 16-bit pixels are 5-5-5, not 5-6-5
    const PaletteEntry *palette = nullptr;  // 256 entries, for 8-bit pages
};

// A copy of the current page (locked while it is read), packed to
// width x bytes-per-pixel bytes a row, with its view. Empty when no page
// is selected or the page cannot be locked.
struct PageCopy {
    std::vector<uint8_t> bytes;
    PageView view;
};
bool copy_current_page(PageCopy &out);

// The picture as 8-bit red, green, blue triples, top row first. 16-bit
// channels widen by bit replication; 8-bit pixels go through the palette.
std::vector<uint8_t> page_to_rgb(const PageView &page);

enum class ImageFormat { Png, Ppm, Unknown };
// By extension, case-insensitive: .png or .ppm.
ImageFormat image_format_for(const std::string &path);
// The value of an --out option (argv[i + 1], advancing i): a file name
// ending in .png or .ppm, or a usage error.
std::string image_path_option(int argc, char **argv, int &i);

// Each returns "" on success, otherwise the reason in a few words.
std::string write_image(const std::string &path, const PageView &page);
std::string write_ppm(const std::string &path, int32_t width, int32_t height, const std::vector<uint8_t> &rgb);
std::string write_png(const std::string &path, int32_t width, int32_t height, const std::vector<uint8_t> &rgb);
// The page's pixels exactly, row after row, width x bytes-per-pixel bytes
// a row with no padding.
std::string write_raw(const std::string &path, const PageView &page);
std::string write_file(const std::string &path, const void *data, std::size_t size);

}  // namespace bvtools

#endif
