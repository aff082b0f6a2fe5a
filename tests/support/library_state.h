// Where every suite's tests start and end: no display, no lock held, the
// platform's test hooks at their defaults, and the palette, display and
// current-texture records as a fresh process has them.
#ifndef BV_TESTS_LIBRARY_STATE_H
#define BV_TESTS_LIBRARY_STATE_H

#include "brivondel_linux.h"
#include "platform/test_hooks.h"
#include "state.h"

namespace bvtest {

inline void reset_library() {
    while (bv_target.lock_depth > 0) bv::unlock_target();
    bv_stop_display();
    plat::test::reset();
    bv_palette.log_palette = LogPalette{0x300, 256, {}};
    bv_palette.saved_hpal = nullptr;
    bv_display.result = 0;
    bv_display.d3d = nullptr;
    bv_display.zsurface = nullptr;
    bv_textures.current_texels = 0;
    bv_textures.current_width = bv_textures.current_height = bv_textures.current_texel_bytes = 0;
}

}  // namespace bvtest

#endif
