// The 3D device's part of the display. This build has no 3D device: the
// set-up finds none, `device_kind` stays 0 and every drawing operation uses
// the library's own rasterizers and memory depth buffer.
#include "platform/platform.h"
#include "state.h"

namespace bv {

void setup_direct3d() {}

void release_direct3d() {
    bv_display.viewport = nullptr;
    bv_display.device = nullptr;
    bv_display.d3d = nullptr;
}

int32_t device_scene(int32_t /*mode*/) { return plat::OK; }

int32_t device_open_zbuffer() { return plat::ERR_INVALID_OBJECT; }

int32_t device_clear_zbuffer() { return plat::ERR_INVALID_OBJECT; }

void device_free_zbuffer() { bv_display.zsurface = nullptr; }

}  // namespace bv
