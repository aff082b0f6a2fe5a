// The keyboard on SDL2, standing in for the key state queries of the window
// system. Keys are found by position: a set-1 scan code names a physical key,
// and SDL's scancodes (USB HID usages) name the same positions. Like the
// window system's virtual keys, one code may answer to two keys: both Shifts,
// both Ctrls, both Alts, both Enters, and the keypad's navigation keys with
// the grey keys of the same meaning while Num Lock is off.
#include <cstring>

#include "platform/sdl/sdl_objects.h"

namespace plat::sdl {

FedKeyboard fed;

namespace {

struct ScanKey {
    SDL_Scancode position;      // the key at this set-1 code's position
    SDL_Scancode twin;          // another key that answers to the same code
    bool needs_num_lock_off;    // the position key counts only without Num Lock
};

constexpr SDL_Scancode NONE = SDL_SCANCODE_UNKNOWN;

// Set-1 scan codes 0-127 without the extended prefix.
constexpr ScanKey SCAN_KEYS[128] = {
    /*  0 */ {NONE, NONE, false},
    /*  1 */ {SDL_SCANCODE_ESCAPE, NONE, false},
    /*  2 */ {SDL_SCANCODE_1, NONE, false},
    /*  3 */ {SDL_SCANCODE_2, NONE, false},
    /*  4 */ {SDL_SCANCODE_3, NONE, false},
    /*  5 */ {SDL_SCANCODE_4, NONE, false},
    /*  6 */ {SDL_SCANCODE_5, NONE, false},
    /*  7 */ {SDL_SCANCODE_6, NONE, false},
    /*  8 */ {SDL_SCANCODE_7, NONE, false},
    /*  9 */ {SDL_SCANCODE_8, NONE, false},
    /* 10 */ {SDL_SCANCODE_9, NONE, false},
    /* 11 */ {SDL_SCANCODE_0, NONE, false},
    /* 12 */ {SDL_SCANCODE_MINUS, NONE, false},
    /* 13 */ {SDL_SCANCODE_EQUALS, NONE, false},
    /* 14 */ {SDL_SCANCODE_BACKSPACE, NONE, false},
    /* 15 */ {SDL_SCANCODE_TAB, NONE, false},
    /* 16 */ {SDL_SCANCODE_Q, NONE, false},
    /* 17 */ {SDL_SCANCODE_W, NONE, false},
    /* 18 */ {SDL_SCANCODE_E, NONE, false},
    /* 19 */ {SDL_SCANCODE_R, NONE, false},
    /* 20 */ {SDL_SCANCODE_T, NONE, false},
    /* 21 */ {SDL_SCANCODE_Y, NONE, false},
    /* 22 */ {SDL_SCANCODE_U, NONE, false},
    /* 23 */ {SDL_SCANCODE_I, NONE, false},
    /* 24 */ {SDL_SCANCODE_O, NONE, false},
    /* 25 */ {SDL_SCANCODE_P, NONE, false},
    /* 26 */ {SDL_SCANCODE_LEFTBRACKET, NONE, false},
    /* 27 */ {SDL_SCANCODE_RIGHTBRACKET, NONE, false},
    /* 28 */ {SDL_SCANCODE_RETURN, SDL_SCANCODE_KP_ENTER, false},
    /* 29 */ {SDL_SCANCODE_LCTRL, SDL_SCANCODE_RCTRL, false},
    /* 30 */ {SDL_SCANCODE_A, NONE, false},
    /* 31 */ {SDL_SCANCODE_S, NONE, false},
    /* 32 */ {SDL_SCANCODE_D, NONE, false},
    /* 33 */ {SDL_SCANCODE_F, NONE, false},
    /* 34 */ {SDL_SCANCODE_G, NONE, false},
    /* 35 */ {SDL_SCANCODE_H, NONE, false},
    /* 36 */ {SDL_SCANCODE_J, NONE, false},
    /* 37 */ {SDL_SCANCODE_K, NONE, false},
    /* 38 */ {SDL_SCANCODE_L, NONE, false},
    /* 39 */ {SDL_SCANCODE_SEMICOLON, NONE, false},
    /* 40 */ {SDL_SCANCODE_APOSTROPHE, NONE, false},
    /* 41 */ {SDL_SCANCODE_GRAVE, NONE, false},
    /* 42 */ {SDL_SCANCODE_LSHIFT, SDL_SCANCODE_RSHIFT, false},
    /* 43 */ {SDL_SCANCODE_BACKSLASH, SDL_SCANCODE_NONUSHASH, false},
    /* 44 */ {SDL_SCANCODE_Z, NONE, false},
    /* 45 */ {SDL_SCANCODE_X, NONE, false},
    /* 46 */ {SDL_SCANCODE_C, NONE, false},
    /* 47 */ {SDL_SCANCODE_V, NONE, false},
    /* 48 */ {SDL_SCANCODE_B, NONE, false},
    /* 49 */ {SDL_SCANCODE_N, NONE, false},
    /* 50 */ {SDL_SCANCODE_M, NONE, false},
    /* 51 */ {SDL_SCANCODE_COMMA, NONE, false},
    /* 52 */ {SDL_SCANCODE_PERIOD, NONE, false},
    /* 53 */ {SDL_SCANCODE_SLASH, NONE, false},
    /* 54 */ {SDL_SCANCODE_RSHIFT, SDL_SCANCODE_LSHIFT, false},
    /* 55 */ {SDL_SCANCODE_KP_MULTIPLY, NONE, false},
    /* 56 */ {SDL_SCANCODE_LALT, SDL_SCANCODE_RALT, false},
    /* 57 */ {SDL_SCANCODE_SPACE, NONE, false},
    /* 58 */ {SDL_SCANCODE_CAPSLOCK, NONE, false},
    /* 59 */ {SDL_SCANCODE_F1, NONE, false},
    /* 60 */ {SDL_SCANCODE_F2, NONE, false},
    /* 61 */ {SDL_SCANCODE_F3, NONE, false},
    /* 62 */ {SDL_SCANCODE_F4, NONE, false},
    /* 63 */ {SDL_SCANCODE_F5, NONE, false},
    /* 64 */ {SDL_SCANCODE_F6, NONE, false},
    /* 65 */ {SDL_SCANCODE_F7, NONE, false},
    /* 66 */ {SDL_SCANCODE_F8, NONE, false},
    /* 67 */ {SDL_SCANCODE_F9, NONE, false},
    /* 68 */ {SDL_SCANCODE_F10, NONE, false},
    /* 69 */ {SDL_SCANCODE_NUMLOCKCLEAR, NONE, false},
    /* 70 */ {SDL_SCANCODE_SCROLLLOCK, NONE, false},
    /* 71 */ {SDL_SCANCODE_KP_7, SDL_SCANCODE_HOME, true},
    /* 72 */ {SDL_SCANCODE_KP_8, SDL_SCANCODE_UP, true},
    /* 73 */ {SDL_SCANCODE_KP_9, SDL_SCANCODE_PAGEUP, true},
    /* 74 */ {SDL_SCANCODE_KP_MINUS, NONE, false},
    /* 75 */ {SDL_SCANCODE_KP_4, SDL_SCANCODE_LEFT, true},
    /* 76 */ {SDL_SCANCODE_KP_5, NONE, true},
    /* 77 */ {SDL_SCANCODE_KP_6, SDL_SCANCODE_RIGHT, true},
    /* 78 */ {SDL_SCANCODE_KP_PLUS, NONE, false},
    /* 79 */ {SDL_SCANCODE_KP_1, SDL_SCANCODE_END, true},
    /* 80 */ {SDL_SCANCODE_KP_2, SDL_SCANCODE_DOWN, true},
    /* 81 */ {SDL_SCANCODE_KP_3, SDL_SCANCODE_PAGEDOWN, true},
    /* 82 */ {SDL_SCANCODE_KP_0, SDL_SCANCODE_INSERT, true},
    /* 83 */ {SDL_SCANCODE_KP_PERIOD, SDL_SCANCODE_DELETE, true},
    /* 84 */ {SDL_SCANCODE_SYSREQ, NONE, false},
    /* 85 */ {NONE, NONE, false},
    /* 86 */ {SDL_SCANCODE_NONUSBACKSLASH, NONE, false},
    /* 87 */ {SDL_SCANCODE_F11, NONE, false},
    /* 88 */ {SDL_SCANCODE_F12, NONE, false},
    /* 89 */ {NONE, NONE, false},
    /* 90 */ {NONE, NONE, false},
    /* 91 */ {NONE, NONE, false},
    /* 92 */ {NONE, NONE, false},
    /* 93 */ {NONE, NONE, false},
    /* 94 */ {NONE, NONE, false},
    /* 95 */ {NONE, NONE, false},
    /* 96 */ {NONE, NONE, false},
    /* 97 */ {NONE, NONE, false},
    /* 98 */ {NONE, NONE, false},
    /* 99 */ {NONE, NONE, false},
    /* 100 */ {SDL_SCANCODE_F13, NONE, false},
    /* 101 */ {SDL_SCANCODE_F14, NONE, false},
    /* 102 */ {SDL_SCANCODE_F15, NONE, false},
    /* 103 */ {SDL_SCANCODE_F16, NONE, false},
    /* 104 */ {SDL_SCANCODE_F17, NONE, false},
    /* 105 */ {SDL_SCANCODE_F18, NONE, false},
    /* 106 */ {SDL_SCANCODE_F19, NONE, false},
    /* 107 */ {SDL_SCANCODE_F20, NONE, false},
    /* 108 */ {SDL_SCANCODE_F21, NONE, false},
    /* 109 */ {SDL_SCANCODE_F22, NONE, false},
    /* 110 */ {SDL_SCANCODE_F23, NONE, false},
    /* 111 */ {NONE, NONE, false},
    /* 112 */ {SDL_SCANCODE_INTERNATIONAL2, NONE, false},
    /* 113 */ {NONE, NONE, false},
    /* 114 */ {NONE, NONE, false},
    /* 115 */ {SDL_SCANCODE_INTERNATIONAL1, NONE, false},
    /* 116 */ {NONE, NONE, false},
    /* 117 */ {NONE, NONE, false},
    /* 118 */ {SDL_SCANCODE_F24, NONE, false},
    /* 119 */ {NONE, NONE, false},
    /* 120 */ {NONE, NONE, false},
    /* 121 */ {SDL_SCANCODE_INTERNATIONAL4, NONE, false},
    /* 122 */ {NONE, NONE, false},
    /* 123 */ {SDL_SCANCODE_INTERNATIONAL5, NONE, false},
    /* 124 */ {NONE, NONE, false},
    /* 125 */ {SDL_SCANCODE_INTERNATIONAL3, NONE, false},
    /* 126 */ {NONE, NONE, false},
    /* 127 */ {NONE, NONE, false},
};

// The grey keys that set 1 sends with the 0xE0 prefix.
SDL_Scancode extended_key(int32_t code) {
    switch (code) {
    case 0x1C: return SDL_SCANCODE_KP_ENTER;
    case 0x1D: return SDL_SCANCODE_RCTRL;
    case 0x35: return SDL_SCANCODE_KP_DIVIDE;
    case 0x37: return SDL_SCANCODE_PRINTSCREEN;
    case 0x38: return SDL_SCANCODE_RALT;
    case 0x47: return SDL_SCANCODE_HOME;
    case 0x48: return SDL_SCANCODE_UP;
    case 0x49: return SDL_SCANCODE_PAGEUP;
    case 0x4B: return SDL_SCANCODE_LEFT;
    case 0x4D: return SDL_SCANCODE_RIGHT;
    case 0x4F: return SDL_SCANCODE_END;
    case 0x50: return SDL_SCANCODE_DOWN;
    case 0x51: return SDL_SCANCODE_PAGEDOWN;
    case 0x52: return SDL_SCANCODE_INSERT;
    case 0x53: return SDL_SCANCODE_DELETE;
    case 0x5B: return SDL_SCANCODE_LGUI;
    case 0x5C: return SDL_SCANCODE_RGUI;
    case 0x5D: return SDL_SCANCODE_APPLICATION;
    default: return NONE;
    }
}

// Virtual-key codes of the window system, for the keyboard snapshot.
namespace vk {
constexpr uint8_t LBUTTON = 0x01, RBUTTON = 0x02, MBUTTON = 0x04, XBUTTON1 = 0x05, XBUTTON2 = 0x06;
constexpr uint8_t SHIFT = 0x10, CONTROL = 0x11, MENU = 0x12, CAPITAL = 0x14;
constexpr uint8_t NUMLOCK = 0x90, SCROLL = 0x91;
}  // namespace vk

// The keypad's keys 1-9, 0 and the decimal point, by Num Lock.
uint8_t keypad_virtual_key(SDL_Scancode sc, bool num_lock) {
    static constexpr uint8_t with_num_lock[11] = {0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x60, 0x6E};
    static constexpr uint8_t without[11] = {0x23, 0x28, 0x22, 0x25, 0x0C, 0x27, 0x24, 0x26, 0x21, 0x2D, 0x2E};
    const int32_t i = sc - SDL_SCANCODE_KP_1;
    return num_lock ? with_num_lock[i] : without[i];
}

uint8_t virtual_key(SDL_Scancode sc, bool num_lock) {
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return static_cast<uint8_t>('A' + (sc - SDL_SCANCODE_A));
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return static_cast<uint8_t>('1' + (sc - SDL_SCANCODE_1));
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return static_cast<uint8_t>(0x70 + (sc - SDL_SCANCODE_F1));
    if (sc >= SDL_SCANCODE_F13 && sc <= SDL_SCANCODE_F24) return static_cast<uint8_t>(0x7C + (sc - SDL_SCANCODE_F13));
    if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_PERIOD) return keypad_virtual_key(sc, num_lock);
    switch (sc) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_RETURN: return 0x0D;
    case SDL_SCANCODE_ESCAPE: return 0x1B;
    case SDL_SCANCODE_BACKSPACE: return 0x08;
    case SDL_SCANCODE_TAB: return 0x09;
    case SDL_SCANCODE_SPACE: return 0x20;
    case SDL_SCANCODE_MINUS: return 0xBD;
    case SDL_SCANCODE_EQUALS: return 0xBB;
    case SDL_SCANCODE_LEFTBRACKET: return 0xDB;
    case SDL_SCANCODE_RIGHTBRACKET: return 0xDD;
    case SDL_SCANCODE_BACKSLASH: return 0xDC;
    case SDL_SCANCODE_NONUSHASH: return 0xDC;
    case SDL_SCANCODE_SEMICOLON: return 0xBA;
    case SDL_SCANCODE_APOSTROPHE: return 0xDE;
    case SDL_SCANCODE_GRAVE: return 0xC0;
    case SDL_SCANCODE_COMMA: return 0xBC;
    case SDL_SCANCODE_PERIOD: return 0xBE;
    case SDL_SCANCODE_SLASH: return 0xBF;
    case SDL_SCANCODE_CAPSLOCK: return vk::CAPITAL;
    case SDL_SCANCODE_PRINTSCREEN: return 0x2C;
    case SDL_SCANCODE_SCROLLLOCK: return vk::SCROLL;
    case SDL_SCANCODE_PAUSE: return 0x13;
    case SDL_SCANCODE_INSERT: return 0x2D;
    case SDL_SCANCODE_HOME: return 0x24;
    case SDL_SCANCODE_PAGEUP: return 0x21;
    case SDL_SCANCODE_DELETE: return 0x2E;
    case SDL_SCANCODE_END: return 0x23;
    case SDL_SCANCODE_PAGEDOWN: return 0x22;
    case SDL_SCANCODE_RIGHT: return 0x27;
    case SDL_SCANCODE_LEFT: return 0x25;
    case SDL_SCANCODE_DOWN: return 0x28;
    case SDL_SCANCODE_UP: return 0x26;
    case SDL_SCANCODE_NUMLOCKCLEAR: return vk::NUMLOCK;
    case SDL_SCANCODE_KP_DIVIDE: return 0x6F;
    case SDL_SCANCODE_KP_MULTIPLY: return 0x6A;
    case SDL_SCANCODE_KP_MINUS: return 0x6D;
    case SDL_SCANCODE_KP_PLUS: return 0x6B;
    case SDL_SCANCODE_KP_ENTER: return 0x0D;
    case SDL_SCANCODE_NONUSBACKSLASH: return 0xE2;
    // The Japanese and Brazilian keys at set-1 codes 112-125.
    case SDL_SCANCODE_INTERNATIONAL1: return 0xC1;
    case SDL_SCANCODE_INTERNATIONAL2: return 0x15;
    case SDL_SCANCODE_INTERNATIONAL3: return 0xDC;
    case SDL_SCANCODE_INTERNATIONAL4: return 0x1C;
    case SDL_SCANCODE_INTERNATIONAL5: return 0x1D;
    case SDL_SCANCODE_APPLICATION: return 0x5D;
    case SDL_SCANCODE_SYSREQ: return 0x2C;
    case SDL_SCANCODE_LCTRL: return 0xA2;
    case SDL_SCANCODE_LSHIFT: return 0xA0;
    case SDL_SCANCODE_LALT: return 0xA4;
    case SDL_SCANCODE_LGUI: return 0x5B;
    case SDL_SCANCODE_RCTRL: return 0xA3;
    case SDL_SCANCODE_RSHIFT: return 0xA1;
    case SDL_SCANCODE_RALT: return 0xA5;
    case SDL_SCANCODE_RGUI: return 0x5C;
    default: return 0;
    }
}

// The side-neutral virtual key that a left or right modifier also sets.
uint8_t neutral_virtual_key(SDL_Scancode sc) {
    switch (sc) {
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return vk::SHIFT;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return vk::CONTROL;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return vk::MENU;
    default: return 0;
    }
}

struct KeyboardView {
    const uint8_t *keys;
    int32_t key_count;
    uint32_t mouse_buttons;
    bool caps_lock, num_lock, scroll_lock;
};

KeyboardView current_view() {
    static uint8_t fed_keys[SDL_NUM_SCANCODES];
    KeyboardView v{};
    if (fed.injected) {
        for (int32_t i = 0; i < SDL_NUM_SCANCODES; ++i) fed_keys[i] = fed.keys[i] ? 1 : 0;
        v.keys = fed_keys;
        v.key_count = SDL_NUM_SCANCODES;
        v.mouse_buttons = (fed.left ? SDL_BUTTON_LMASK : 0u) | (fed.right ? SDL_BUTTON_RMASK : 0u) |
                          (fed.middle ? SDL_BUTTON_MMASK : 0u);
        v.caps_lock = fed.caps_lock;
        v.num_lock = fed.num_lock;
        return v;
    }
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_PumpEvents();
    int count = 0;
    v.keys = SDL_GetKeyboardState(&count);
    v.key_count = count;
    v.mouse_buttons = SDL_GetMouseState(nullptr, nullptr);
    const SDL_Keymod mods = SDL_GetModState();
    v.caps_lock = (mods & KMOD_CAPS) != 0;
    v.num_lock = (mods & KMOD_NUM) != 0;
    v.scroll_lock = (mods & KMOD_SCROLL) != 0;
    return v;
}

bool is_down(const KeyboardView &v, SDL_Scancode sc) {
    return sc != NONE && sc < v.key_count && v.keys[sc] != 0;
}

}  // namespace

int32_t key_message_code(SDL_Scancode sc) {
    const uint8_t neutral = neutral_virtual_key(sc);
    if (neutral != 0) return neutral;
    return virtual_key(sc, (SDL_GetModState() & KMOD_NUM) != 0);
}

}  // namespace plat::sdl

namespace plat {

using namespace plat::sdl;

int32_t key_down(int32_t scan_code) {
    if (scan_code <= 0 || scan_code >= 128) return 0;
    const ScanKey &k = SCAN_KEYS[scan_code];
    if (k.position == NONE) return 0;
    const KeyboardView v = current_view();
    const bool position_counts = !k.needs_num_lock_off || !v.num_lock;
    return ((position_counts && is_down(v, k.position)) || is_down(v, k.twin)) ? 1 : 0;
}

void keyboard_snapshot(uint8_t states[256]) {
    if (states == nullptr) return;
    std::memset(states, 0, 256);
    const KeyboardView v = current_view();
    for (int32_t sc = 0; sc < v.key_count; ++sc) {
        if (v.keys[sc] == 0) continue;
        const auto code = static_cast<SDL_Scancode>(sc);
        const uint8_t key = virtual_key(code, v.num_lock);
        if (key != 0) states[key] |= 0x80;
        const uint8_t neutral = neutral_virtual_key(code);
        if (neutral != 0) states[neutral] |= 0x80;
    }
    if ((v.mouse_buttons & SDL_BUTTON_LMASK) != 0) states[vk::LBUTTON] |= 0x80;
    if ((v.mouse_buttons & SDL_BUTTON_RMASK) != 0) states[vk::RBUTTON] |= 0x80;
    if ((v.mouse_buttons & SDL_BUTTON_MMASK) != 0) states[vk::MBUTTON] |= 0x80;
    if ((v.mouse_buttons & SDL_BUTTON_X1MASK) != 0) states[vk::XBUTTON1] |= 0x80;
    if ((v.mouse_buttons & SDL_BUTTON_X2MASK) != 0) states[vk::XBUTTON2] |= 0x80;
    if (v.caps_lock) states[vk::CAPITAL] |= 0x01;
    if (v.num_lock) states[vk::NUMLOCK] |= 0x01;
    if (v.scroll_lock) states[vk::SCROLL] |= 0x01;
}

void feed_keys(const int32_t *scan_codes, int32_t count) {
    fed.injected = true;
    std::memset(fed.keys, 0, sizeof fed.keys);
    if (scan_codes == nullptr) return;
    for (int32_t i = 0; i < count && scan_codes[i] != 0; ++i) {
        const int32_t code = scan_codes[i];
        SDL_Scancode sc = NONE;
        if ((code & ~0xFF) == 0xE000) sc = extended_key(code & 0xFF);
        else if (code > 0 && code < 128) sc = SCAN_KEYS[code].position;
        if (sc != NONE) fed.keys[sc] = true;
    }
}

void release_fed_keys() { fed = FedKeyboard{}; }

}  // namespace plat
