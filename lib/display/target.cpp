// The drawing target's nested surface lock. Only the outermost lock_target
// locks the surface and only the matching unlock_target unlocks it, so a
// routine may call another, or a caller bracket several, with one lock.
// `base` holds an address only while a lock that returned it is held.
#include "platform/platform.h"
#include "state.h"

namespace {

// What the outermost lock holds: the surface and the address it returned.
BvPlatSurface *locked_surface = nullptr;
uint8_t *locked_base = nullptr;

}  // namespace

namespace bv {

void lock_target() {
    if (bv_target.lock_depth == 0) {
        bv_target.lock_failed = 0;
        if (bv_target.page != -1 && bv_target.surface != nullptr) {
            uint8_t *base = nullptr;
            int32_t pitch = 0;
            if (plat::lock_surface(bv_target.surface, &base, &pitch) == plat::OK && base != nullptr) {
                locked_surface = bv_target.surface;
                locked_base = base;
            } else {
                bv_target.lock_failed = 1;
            }
        }
        refresh_target_base();
    }
    ++bv_target.lock_depth;
}

void unlock_target() {
    if (bv_target.lock_depth == 0) return;
    --bv_target.lock_depth;
    if (bv_target.lock_depth != 0) return;
    if (locked_surface != nullptr) plat::unlock_surface(locked_surface);
    locked_surface = nullptr;
    locked_base = nullptr;
    bv_target.lock_failed = 0;
    refresh_target_base();
}

bool target_drawable() {
    return bv_target.lock_depth > 0 && bv_target.lock_failed == 0 && bv_target.page != -1 &&
           bv_target.base != nullptr && locked_surface == bv_target.surface;
}

int32_t target_bytes_per_pixel() {
    switch (bv_target.bits_per_pixel) {
    case 16: return 2;
    case 24: return 3;
    case 32: return 4;
    default: return 1;
    }
}

bool rgb16_is_555() { return ((bv_display.rgb16_format >> 8) & 0xFF) == 5; }

// The address of the current page while the lock on that very surface is
// held; null otherwise (no page, another page selected meanwhile, no lock).
void refresh_target_base() {
    const bool holds_current = locked_surface != nullptr && bv_target.page != -1 && locked_surface == bv_target.surface;
    bv_target.base = holds_current ? locked_base : nullptr;
}

// The locked surface is about to be released: unlock it now and leave the
// nesting count for the callers' unlocks to bring down.
void drop_target_lock() {
    if (locked_surface != nullptr) plat::unlock_surface(locked_surface);
    locked_surface = nullptr;
    locked_base = nullptr;
    if (bv_target.lock_depth > 0) bv_target.lock_failed = 1;
    refresh_target_base();
}

}  // namespace bv
