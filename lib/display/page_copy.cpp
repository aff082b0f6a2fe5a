// Reading the current page back, for headless programs: the rows as they
// lie in memory, packed, under the drawing target's lock (so a page the 3D
// device draws into hands over the device's picture).
#include <cstring>

#include "brivondel_linux.h"
#include "state.h"

namespace {

BvPageInfo current_page_info() {
    BvPageInfo info{};
    info.width = bv_target.width;
    info.height = bv_target.height;
    info.bits_per_pixel = bv_target.bits_per_pixel;
    info.rgb555 = bv_target.bits_per_pixel == 16 && bv::rgb16_is_555() ? 1 : 0;
    return info;
}

size_t packed_row_bytes() {
    return static_cast<size_t>(bv_target.width) * static_cast<size_t>(bv::target_bytes_per_pixel());
}

void copy_rows(uint8_t *out) {
    const size_t row_bytes = packed_row_bytes();
    for (int32_t y = 0; y < bv_target.height; ++y)
        std::memcpy(out + row_bytes * static_cast<size_t>(y), bv_target.base + static_cast<ptrdiff_t>(y) * bv_target.pitch,
                    row_bytes);
}

}  // namespace

extern "C" int32_t bv_copy_page(void *pixels, size_t size, BvPageInfo *info) {
    if (bv_target.page == -1 || bv_target.width <= 0 || bv_target.height <= 0) return -1;
    if (info != nullptr) *info = current_page_info();
    if (pixels == nullptr) return 0;
    if (size < packed_row_bytes() * static_cast<size_t>(bv_target.height)) return -1;
    bv::lock_target();
    const bool drawable = bv::target_drawable();
    if (drawable) copy_rows(static_cast<uint8_t *>(pixels));
    bv::unlock_target();
    return drawable ? 0 : -1;
}
