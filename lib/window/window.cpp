// The application's window and its events, for programs that make their
// own window: thin translations of the platform's window operations into
// the public records of brivondel_linux.h.
#include "brivondel_linux.h"
#include "platform/platform.h"

namespace {

int32_t public_event_kind(plat::EventKind kind) {
    switch (kind) {
    case plat::EventKind::None: return BV_EVENT_NONE;
    case plat::EventKind::Activate: return BV_EVENT_ACTIVATE;
    case plat::EventKind::Deactivate: return BV_EVENT_DEACTIVATE;
    case plat::EventKind::FocusGained: return BV_EVENT_FOCUS_GAINED;
    case plat::EventKind::KeyDown: return BV_EVENT_KEY_DOWN;
    case plat::EventKind::Close: return BV_EVENT_CLOSE;
    case plat::EventKind::Quit: return BV_EVENT_QUIT;
    }
    return BV_EVENT_NONE;
}

}  // namespace

extern "C" {

BvPlatWindow *bv_create_window(const BvWindowSpec *spec) {
    if (spec == nullptr) return nullptr;
    const plat::WindowSpec platform_spec{spec->title, spec->class_name, spec->width, spec->height,
                                         spec->fullscreen != 0};
    return plat::create_window(platform_spec);
}

int32_t bv_show_window(BvPlatWindow *window) { return window != nullptr && plat::show_window(window) ? 1 : 0; }

void bv_destroy_window(BvPlatWindow *window) {
    if (window != nullptr) plat::destroy_window(window);
}

int32_t bv_poll_event(BvEvent *out) {
    plat::Event event{};
    if (out == nullptr || !plat::poll_event(&event)) return 0;
    out->kind = public_event_kind(event.kind);
    out->key = event.key;
    return 1;
}

const char *bv_display_error(void) { return plat::last_error(); }

}  // extern "C"
