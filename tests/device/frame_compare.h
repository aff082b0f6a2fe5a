// Comparing a frame the device drew with the same frame drawn by the
// software scan converters. The device samples the nearest texel at its own
// pixel centres while the software path rounds each sample to the nearest
// texel, so pixels may differ along polygon edges and texel borders. Two
// measures:
//   coverage: which pixels are cube and which background; a pixel whose
//     class differs must lie within one pixel of the software frame's
//     outline;
//   colour: every cube pixel of the device frame has its colour somewhere
//     within two pixels in the software frame.
#ifndef BV_TESTS_DEVICE_FRAME_COMPARE_H
#define BV_TESTS_DEVICE_FRAME_COMPARE_H

#include <cstdint>
#include <vector>

struct Frame {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;     // row by row
    uint32_t at(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

struct FrameDifference {
    int64_t pixels = 0;
    int64_t identical = 0;
    int64_t cube_pixels = 0;           // of the software frame
    int64_t coverage_differs = 0;      // pixels whose class differs
    int64_t coverage_off_edge = 0;     // ... and lie off the outline
    int64_t colour_missing = 0;        // device cube pixels without their colour nearby
};

inline FrameDifference compare_frames(const Frame &device, const Frame &software, uint32_t background) {
    FrameDifference d;
    const int32_t w = software.width, h = software.height;
    auto cube = [&](const Frame &f, int32_t x, int32_t y) { return f.at(x, y) != background; };
    // True when some pixel within `r` of (x, y) in the software frame satisfies `test`.
    auto near_software = [&](int32_t x, int32_t y, int32_t r, auto test) {
        for (int32_t dy = -r; dy <= r; ++dy) {
            for (int32_t dx = -r; dx <= r; ++dx) {
                const int32_t nx = x + dx, ny = y + dy;
                if (nx >= 0 && ny >= 0 && nx < w && ny < h && test(nx, ny)) return true;
            }
        }
        return false;
    };
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            ++d.pixels;
            const uint32_t dev = device.at(x, y);
            const bool dev_cube = cube(device, x, y);
            const bool sw_cube = cube(software, x, y);
            if (dev == software.at(x, y)) ++d.identical;
            if (sw_cube) ++d.cube_pixels;
            if (dev_cube != sw_cube) {
                ++d.coverage_differs;
                const bool on_outline = near_software(x, y, 1, [&](int32_t nx, int32_t ny) {
                    return cube(software, nx, ny) != sw_cube;
                });
                if (!on_outline) ++d.coverage_off_edge;
            }
            if (dev_cube && !near_software(x, y, 2, [&](int32_t nx, int32_t ny) { return software.at(nx, ny) == dev; })) {
                ++d.colour_missing;
            }
        }
    }
    return d;
}

#endif
