// An independent model of what the scan converters draw, written from the
// algorithm's formulas pixel by pixel: walker columns by the ceiling
// formula, the texture and depth values stepped per row from each edge's
// upper vertex, exact u and v at both ends of each run, and each sample's
// texel taken as floor(U / 65536) directly (no address stepping). Samples
// outside the texture are held to its edge.
#ifndef BV_TESTS_RASTER_REFERENCE_MODEL_H
#define BV_TESTS_RASTER_REFERENCE_MODEL_H

#include <cstdint>
#include <vector>

#include "brivondel.h"

namespace ref {

enum class Member { PerspectiveDepth, Perspective, AffineDepth, Affine };

inline bool has_depth(Member m) { return m == Member::PerspectiveDepth || m == Member::AffineDepth; }
inline bool is_perspective(Member m) { return m == Member::PerspectiveDepth || m == Member::Perspective; }

struct Texture {
    const uint8_t *texels;
    int width, height;
    int texel_bytes;
};

// A page as packed rows of `pixel_bytes` pixels, and its depth entries.
struct Image {
    int width = 0, height = 0, pixel_bytes = 1;
    std::vector<uint8_t> pixels;
    std::vector<uint32_t> depth;
    uint32_t zstamp = 0;
    // Inclusive clip limits and origin offsets.
    int clip_min_x = 0, clip_max_x = 0, clip_min_y = 0, clip_max_y = 0;
    int origin_x = 0, origin_y = 0;
    // Runs of exact perspective division.
    int run = 32;
};

void draw(Member member, const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, int n, const Texture &texture,
          Image &image);

}  // namespace ref

#endif
