// Library-internal state and steps shared between the subsystems. Tests
// include it too; applications use the public headers in lib/include alone.
#ifndef BV_STATE_H
#define BV_STATE_H

#include <cstddef>
#include <cstdint>

#include "brivondel.h"

namespace bv {

// ---- Scratch storage --------------------------------------------------------

// Shared scratch: the polygon pipeline's vertex arrays, the PCX reader's
// palette trailer, the font-metrics query. One user at a time.
constexpr std::size_t WORK_AREA_SIZE = 10240;
alignas(16) extern uint8_t work_area[WORK_AREA_SIZE];

// The most vertices a polygon may have on its way to a rasterizer or the
// device: what work_area holds unclipped, a camera point and a screen
// point (24 + 8 bytes) each.
constexpr uint32_t MAX_POLYGON_VERTICES = 320;

// The PCX reader's default image buffer, start-up scratch, and the
// pipeline's clipped texture coordinates: clipping overwrites it.
constexpr std::size_t IO_BUFFER_SIZE = 4096;
alignas(16) extern uint8_t io_buffer[IO_BUFFER_SIZE];

// ---- Drawing target ---------------------------------------------------------

// The nested surface lock. After lock_target, bv_target.base is usable only
// when target_drawable() is true: a failed outermost lock leaves nothing to
// draw through, and unlock_target keeps lock_depth balanced either way.
void lock_target();
void unlock_target();
bool target_drawable();

// Bytes per pixel of the current page: 1, 2, 3 or 4 (other depths draw as 8).
int32_t target_bytes_per_pixel();

// True when the current page is 16-bit RGB555 rather than RGB565.
bool rgb16_is_555();

// A 16-bit pixel from 8-bit channels: the top 5 (or 6 for RGB565's green)
// bits of each, shifted into place.
constexpr uint16_t pack_rgb16(uint32_t r, uint32_t g, uint32_t b, bool rgb555) {
    if (rgb555) return static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// Entry `index` of bv_colors.pixel_lut from the logical palette, in the
// current page's depth: a 16-bit word on 16-bit pages, the bytes 0, red,
// green, blue on 24- and 32-bit pages; 8-bit pages do not use it.
void write_pixel_lut_entry(int32_t index);

// ---- 3D view ------------------------------------------------------------------

// cos(i tenths of a degree), correctly rounded; entry 0 is 1.0, 900 is 0.0.
extern const double cos_table[901];

// ---- Rasterizers (entry points the pipeline dispatches to) -------------------

int32_t raster_perspective_depth(const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, uint32_t n);
int32_t raster_perspective(const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, uint32_t n);
int32_t raster_affine_depth(const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, uint32_t n);
int32_t raster_affine(const ScreenPoint *pts, const TexCoord *tex, uint32_t n);

// ---- Pipeline stages ------------------------------------------------------------

int32_t transform_points(const Vertex3 *in, Vertex3 *out, uint32_t n);
// Returns the number of vertices emitted, 0 when rejected, wholly clipped
// or when the output would not fit in `capacity` vertices.
int32_t clip_to_near_plane(const Vertex3 *in, Vertex3 *out, const TexCoord *tex_in, TexCoord *tex_out,
                           uint32_t n, uint32_t capacity);
int32_t project_points(const Vertex3 *in, ScreenPoint *out, uint32_t n);

// ---- Keyboard ---------------------------------------------------------------------

extern uint8_t key_states[256];

// ---- Display internals ---------------------------------------------------------------

// Empties a record's holder before releasing what it held, so that nothing
// reachable from the records points at a released object meanwhile.
template <typename Held, typename Release>
void release_held(Held *&holder, Release release) {
    if (holder == nullptr) return;
    Held *held = holder;
    holder = nullptr;
    release(held);
}

// True when start-up found a 3D device (software or hardware) that draws
// page 0: polygons, depth clears and textures go to it.
bool device_draws_page0();

// Platform results in bv_display.result. Set-up steps and texture
// definition combine theirs (bitwise OR: the first failure's code stays
// until the next start-up); the device's drawing calls store their last.
// combine_result is true when the step succeeded.
bool combine_result(int32_t platform_result);
void store_result(int32_t platform_result);

// The 3D device's part of start-up, shutdown, the scene bracket and the
// device depth buffer (lib/display/device_setup.cpp). setup_direct3d runs
// only when `d3d` is null and option bit 1 or 2 is set; the others only
// while a device draws page 0 or `zsurface` is non-null.
void setup_direct3d();
void release_direct3d();            // shutdown: viewport, device, d3d
int32_t device_scene(int32_t mode); // even: begin, odd: end
int32_t device_open_zbuffer();      // depth test on, z-buffer cleared
int32_t device_clear_zbuffer();
void device_free_zbuffer();         // depth test off, z-buffer released

// The surface lock's bookkeeping (lib/display/target.cpp): base follows the
// page selection, and a surface about to be released gives up its lock.
void refresh_target_base();
void drop_target_lock();

// Start-up and shutdown steps owned by other subsystems.
void reset_image_buffer();          // image_buffer = io_buffer, size 4096
void release_texture_table();       // shutdown: the table's memory goes back

}  // namespace bv

#endif
