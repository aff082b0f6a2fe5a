// Test hooks of the SDL2 backend: they provoke what real hardware would (a
// refused depth, lost surfaces, failing restores and locks, a padded pitch)
// and let tests look at what a flip presented.
#include <algorithm>
#include <cstring>

#include "platform/sdl/sdl_objects.h"
#include "platform/test_hooks.h"

namespace plat::test {

using namespace plat::sdl;

void refuse_depth(int32_t depth) { faults.refused_depth = depth; }

void lose_surfaces() { lose_all_surfaces(); }

void fail_restores(int32_t n) { faults.failing_restores = std::max(n, 0); }

void keep_surfaces_lost(bool on) { faults.restores_stay_lost = on; }

int64_t restores_made() { return faults.restore_count; }

void fail_locks(int32_t n) { faults.failing_locks = std::max(n, 0); }

void pad_pitch(int32_t bytes) { faults.pitch_padding = std::clamp(bytes, 0, 4096); }

void set_desktop_depth(int32_t depth) { faults.desktop_depth = depth; }

int64_t flips_presented() { return flip_count; }

bool last_presented(uint32_t *pixels, int32_t width, int32_t height) {
    if (pixels == nullptr || presented.empty()) return false;
    if (width != presented_width || height != presented_height) return false;
    std::memcpy(pixels, presented.data(), presented.size() * sizeof(uint32_t));
    return true;
}

namespace {

SDL_Surface *shown_window_surface() {
    if (current_display == nullptr || current_display->window == nullptr || current_display->window->sdl == nullptr)
        return nullptr;
    return SDL_GetWindowSurface(current_display->window->sdl);
}

}  // namespace

bool window_size(int32_t *width, int32_t *height) {
    SDL_Surface *s = shown_window_surface();
    if (s == nullptr || width == nullptr || height == nullptr) return false;
    *width = s->w;
    *height = s->h;
    return true;
}

bool window_picture(uint32_t *pixels, int32_t width, int32_t height) {
    SDL_Surface *s = shown_window_surface();
    if (s == nullptr || pixels == nullptr || s->w != width || s->h != height) return false;
    return SDL_ConvertPixels(width, height, s->format->format, s->pixels, s->pitch, SDL_PIXELFORMAT_RGB888, pixels,
                             width * 4) == 0;
}

bool window_placement(BvPlatWindow *window, int32_t *x, int32_t *y, bool *on_top) {
    if (window == nullptr || x == nullptr || y == nullptr || on_top == nullptr) return false;
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(window->sdl, &wx, &wy);
    *x = wx;
    *y = wy;
    *on_top = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_ALWAYS_ON_TOP) != 0;
    return true;
}

void set_mouse_buttons(bool left, bool right, bool middle) {
    fed.injected = true;
    fed.left = left;
    fed.right = right;
    fed.middle = middle;
}

void set_caps_lock_toggled(bool on) {
    fed.injected = true;
    fed.caps_lock = on;
}

void set_num_lock_toggled(bool on) {
    fed.injected = true;
    fed.num_lock = on;
}

void reset() {
    faults = Faults{};
    rgb555_pages = false;
    for (BvPlatSurface *s : live_surfaces) s->lost = false;
    release_fed_keys();
    reset_device();
}

}  // namespace plat::test
