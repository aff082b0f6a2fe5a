// Window events as the platform layer translates them from SDL's.
#include "display_fixture.h"

// The backend reads its events from SDL's queue, so the test puts real SDL events there. Declared by hand (SDL 2's
// stable interface): no SDL headers.
extern "C" { int SDL_PushEvent(void *event); void *SDL_GetWindowFromID(uint32_t id); const char *SDL_GetWindowTitle(void *window); }

using Platform = DisplayTest;

enum : uint8_t { QUIT = 0, HIDDEN = 2, MINIMIZED = 7, RESTORED = 9, FOCUS_GAINED = 12, FOCUS_LOST = 13, CLOSE = 14 };

std::vector<plat::EventKind> poll_after(const std::vector<uint8_t> &window_events, const char *title) {
    uint32_t id = 1;
    while (id < 1000000 && !(SDL_GetWindowFromID(id) && std::string(SDL_GetWindowTitle(SDL_GetWindowFromID(id))) == title)) ++id;
    for (uint8_t e : window_events) {
        // An SDL_Event of 56 bytes: type (0x100 quit, 0x200 window), time, window id, the window event's byte.
        uint32_t sdl[14] = {e == QUIT ? 0x100u : 0x200u, 0, id, e};
        EXPECT_EQ(SDL_PushEvent(sdl), 1);
    }
    std::vector<plat::EventKind> kinds;
    for (plat::Event e{}; plat::poll_event(&e);) kinds.push_back(e.kind);
    return kinds;
}

// Activation follows keyboard focus; minimising or hiding the full-screen display's own window (OWN) deactivates and
// loses its surfaces, and a restored window waits for the focus to come back. SDL refuses windows over 16384 pixels a
// side, and the next window made clears the reason.
TEST_F(Platform, WindowEventsBecomeActivationAndLostSurfaces) {
    using K = plat::EventKind;
    const std::vector<K> gained{K::FocusGained, K::Activate}, gained_lost{K::FocusGained, K::Activate, K::Deactivate};
    const char *OWN = "Brivondel";
    const struct { bool windowed; const char *window; std::vector<uint8_t> in; std::vector<K> out; bool lost; } rows[] = {
        {false, OWN, {FOCUS_GAINED}, gained, false},
        {false, OWN, {FOCUS_GAINED, FOCUS_GAINED}, {K::FocusGained, K::Activate, K::FocusGained}, false},
        {false, OWN, {FOCUS_GAINED, FOCUS_LOST, FOCUS_LOST}, gained_lost, false},
        {false, OWN, {FOCUS_GAINED, MINIMIZED, RESTORED}, gained_lost, true},
        {false, OWN, {MINIMIZED, RESTORED, FOCUS_GAINED}, gained, true}, {false, OWN, {FOCUS_GAINED, HIDDEN}, gained_lost, true},
        {false, "other", {FOCUS_GAINED, MINIMIZED}, gained_lost, false}, {true, OWN, {FOCUS_GAINED, HIDDEN}, gained_lost, false},
        {false, OWN, {CLOSE, QUIT}, {K::Close, K::Quit}, false}};
    for (const auto &r : rows) {
        bvtest::reset_library();
        ASSERT_EQ((bv_config_display(32, 24, r.windowed ? 0 : 16, BV_DISPLAY_FLIP), bv_start_display()), 0);
        // A mode needs the screen taken, a known depth and a sane size; a second primary surface is refused.
        for (auto [w, h, depth] : {std::tuple{0, 8, 16}, {8, 0, 16}, {8, 8, 12}, {16385, 8, 16}, {8, 16385, 16}})
            EXPECT_EQ(plat::set_mode(bv_display.ddraw, w, h, depth), r.windowed ? plat::ERR_NO_EXCLUSIVE_MODE : plat::ERR_UNSUPPORTED_MODE);
        BvPlatSurface *second = nullptr;
        EXPECT_TRUE(plat::create_primary(bv_display.ddraw, false, 0, &second) != plat::OK && second == nullptr);
        EXPECT_EQ(plat::create_window({"huge", "BVtest", 20000, 32, false}), nullptr);
        EXPECT_STREQ(plat::last_error(), "the window could not be made: Window is too large.");
        BvPlatWindow *other = plat::create_window({"other", "BVtest", 32, 24, false});
        EXPECT_STREQ(plat::last_error(), "");
        poll_after({FOCUS_LOST}, r.window);  // inactive to begin with
        EXPECT_EQ(poll_after(r.in, r.window), r.out) << r.window << " " << r.in.size() << " events";
        EXPECT_EQ(plat::fill_surface(bv_display.primary, 0), r.lost ? plat::ERR_SURFACE_LOST : plat::OK);
        plat::destroy_window(other);
    }
}
