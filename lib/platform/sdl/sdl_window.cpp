// The application's window and its events on SDL2, standing in for the
// window class, window and message loop of the window system. Activation
// follows keyboard focus, minimising and hiding; a minimised or hidden
// full-screen display loses its surfaces, as exclusive mode would.
#include <algorithm>
#include <cstdlib>
#include <deque>

#include "platform/page_link.h"
#include "platform/sdl/sdl_objects.h"

namespace plat::sdl {

std::vector<BvPlatWindow *> live_windows;

namespace {

std::deque<Event> pending;
bool active = false;

BvPlatWindow *window_of(uint32_t window_id) {
    SDL_Window *sdl = SDL_GetWindowFromID(window_id);
    for (BvPlatWindow *w : live_windows) {
        if (w->sdl == sdl) return w;
    }
    return nullptr;
}

void set_active(bool now_active) {
    if (active == now_active) return;
    active = now_active;
    pending.push_back(Event{now_active ? EventKind::Activate : EventKind::Deactivate, 0});
}

void window_went_away(BvPlatWindow *window) {
    BvPlatDisplay *d = current_display;
    if (d != nullptr && d->fullscreen && d->window == window) lose_all_surfaces();
    set_active(false);
}

void translate(const SDL_Event &e) {
    switch (e.type) {
    case SDL_QUIT:
        pending.push_back(Event{EventKind::Quit, 0});
        break;
    case SDL_KEYDOWN:
        pending.push_back(Event{EventKind::KeyDown, key_message_code(e.key.keysym.scancode)});
        break;
    case SDL_WINDOWEVENT: {
        BvPlatWindow *w = window_of(e.window.windowID);
        switch (e.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            pending.push_back(Event{EventKind::FocusGained, 0});
            set_active(true);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            set_active(false);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_HIDDEN:
            window_went_away(w);
            break;
        case SDL_WINDOWEVENT_CLOSE:
            pending.push_back(Event{EventKind::Close, 0});
            break;
        default:
            break;
        }
        break;
    }
    default:
        break;
    }
}

}  // namespace

BvPlatWindow *make_window(const char *title, int32_t width, int32_t height, uint32_t sdl_flags) {
    if (!link::acquire_video()) return nullptr;
    // A full-screen window covers the desktop from its origin.
    const int position = (sdl_flags & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP
                             ? 0
                             : static_cast<int>(SDL_WINDOWPOS_UNDEFINED);
    SDL_Window *sdl = SDL_CreateWindow(title != nullptr ? title : "", position, position, std::max(width, 1),
                                       std::max(height, 1), sdl_flags);
    if (sdl == nullptr) {
        last_failure = std::string("the window could not be made: ") + SDL_GetError();
        return nullptr;
    }
    last_failure.clear();
    auto *w = new BvPlatWindow{};
    w->sdl = sdl;
    live_windows.push_back(w);
    return w;
}

void free_window(BvPlatWindow *window) {
    if (window == nullptr) return;
    live_windows.erase(std::remove(live_windows.begin(), live_windows.end(), window), live_windows.end());
    BvPlatDisplay *d = current_display;
    if (d != nullptr && d->window == window) {
        // The display can no longer present anywhere.
        d->window = nullptr;
        d->owns_window = false;
    }
    SDL_DestroyWindow(window->sdl);
    delete window;
    // With no window left nothing of the application is active.
    if (live_windows.empty()) active = false;
}

}  // namespace plat::sdl

namespace plat {

using namespace plat::sdl;

// The window with the keyboard focus, else the application's newest window.
BvPlatWindow *focus_window() {
    if (live_windows.empty()) return nullptr;
    SDL_Window *focus = SDL_GetKeyboardFocus();
    for (BvPlatWindow *w : live_windows) {
        if (w->sdl == focus && !w->made_by_display) return w;
    }
    for (auto it = live_windows.rbegin(); it != live_windows.rend(); ++it) {
        if (!(*it)->made_by_display) return *it;
    }
    return nullptr;
}

// The X11 class name can only be given to SDL through its environment,
// before the video system opens.
BvPlatWindow *create_window(const WindowSpec &spec) {
    if (spec.class_name != nullptr && SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        setenv("SDL_VIDEO_X11_WMCLASS", spec.class_name, 1);
    }
    uint32_t flags = SDL_WINDOW_HIDDEN;
    if (spec.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP;
    return make_window(spec.title, spec.width, spec.height, flags);
}

bool show_window(BvPlatWindow *window) {
    if (window == nullptr) return false;
    SDL_ShowWindow(window->sdl);
    SDL_RaiseWindow(window->sdl);
    // A later focus event finds the application active and queues no
    // second activation.
    const bool activated = !active;
    active = true;
    return activated;
}

void destroy_window(BvPlatWindow *window) { free_window(window); }

bool poll_event(Event *out) {
    if (out == nullptr) return false;
    SDL_Event e;
    while (pending.empty() && SDL_WasInit(SDL_INIT_VIDEO) != 0 && SDL_PollEvent(&e) != 0) translate(e);
    if (pending.empty()) return false;
    *out = pending.front();
    pending.pop_front();
    return true;
}

}  // namespace plat
