// Whether a key, named by its set-1 scan code, is down now; scan code 0 asks
// whether any key or a mouse button other than the left one is down.
#include "brivondel_linux.h"
#include "platform/platform.h"
#include "state.h"

namespace {

// Virtual-key codes 0 and 1 (none, left button) do not count; a byte counts
// when it says "down" with no other bit than "toggled".
bool any_key_down() {
    plat::keyboard_snapshot(bv::key_states);
    for (int32_t vk = 2; vk < 256; ++vk) {
        if (bv::key_states[vk] == 0x80 || bv::key_states[vk] == 0x81) return true;
    }
    return false;
}

}  // namespace

extern "C" int32_t bv_key_pressed(int32_t scan_code) {
    if (scan_code == 0) return any_key_down() ? 1 : 0;
    return plat::key_down(scan_code) != 0 ? 1 : 0;
}

// A headless run's key script holds these keys in place of the keyboard.
extern "C" void bv_feed_keys(const int32_t *scan_codes, int32_t count) { plat::feed_keys(scan_codes, count); }

extern "C" void bv_release_fed_keys(void) { plat::release_fed_keys(); }
