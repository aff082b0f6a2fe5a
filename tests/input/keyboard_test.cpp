// bv_key_pressed by set-1 scan code, and the any-key test of scan code 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/test_hooks.h"
#include "state.h"

// Without keys fed through its hook, the backend reads SDL's own keyboard state: writing SDL's array presses a key by
// its USB HID usage. Declared by hand (SDL 2's stable interface): no SDL headers.
extern "C" { const uint8_t *SDL_GetKeyboardState(int *numkeys); void SDL_SetModState(int modstate); }

// Set-1 scan code -> USB HID usage (keyboard page) of the key at that position; 0xE0xx: grey keys sent with the prefix.
constexpr std::pair<int32_t, int32_t> POSITIONS[] = {
    {1, 41}, {2, 30}, {3, 31}, {4, 32}, {5, 33}, {6, 34}, {7, 35}, {8, 36}, {9, 37}, {10, 38}, {11, 39}, {12, 45}, {13, 46}, {14, 42},
    {15, 43}, {16, 20}, {17, 26}, {18, 8}, {19, 21}, {20, 23}, {21, 28}, {22, 24}, {23, 12}, {24, 18}, {25, 19}, {26, 47}, {27, 48},
    {28, 40}, {29, 224}, {30, 4}, {31, 22}, {32, 7}, {33, 9}, {34, 10}, {35, 11}, {36, 13}, {37, 14}, {38, 15}, {39, 51}, {40, 52},
    {41, 53}, {42, 225}, {43, 49}, {44, 29}, {45, 27}, {46, 6}, {47, 25}, {48, 5}, {49, 17}, {50, 16}, {51, 54}, {52, 55}, {53, 56},
    {54, 229}, {55, 85}, {56, 226}, {57, 44}, {58, 57}, {59, 58}, {60, 59}, {61, 60}, {62, 61}, {63, 62}, {64, 63}, {65, 64}, {66, 65},
    {67, 66}, {68, 67}, {69, 83}, {70, 71}, {71, 95}, {72, 96}, {73, 97}, {74, 86}, {75, 92}, {76, 93}, {77, 94}, {78, 87}, {79, 89},
    {80, 90}, {81, 91}, {82, 98}, {83, 99}, {84, 154}, {86, 100}, {87, 68}, {88, 69}, {100, 104}, {101, 105}, {102, 106}, {103, 107},
    {104, 108}, {105, 109}, {106, 110}, {107, 111}, {108, 112}, {109, 113}, {110, 114}, {112, 136}, {115, 135}, {118, 115}, {121, 138},
    {123, 139}, {125, 137}, {0xE01C, 88}, {0xE01D, 228}, {0xE035, 84}, {0xE037, 70}, {0xE038, 230}, {0xE047, 74}, {0xE048, 82},
    {0xE049, 75}, {0xE04B, 80}, {0xE04D, 79}, {0xE04F, 77}, {0xE050, 81}, {0xE051, 78}, {0xE052, 73}, {0xE053, 76}, {0xE05B, 227},
    {0xE05C, 231}, {0xE05D, 101}};

// A code also answers to the key that shares its side-neutral virtual key: the other Enter, Ctrl, Shift and Alt, the
// ISO '#' key, and for the keypad codes the grey navigation keys.
constexpr std::pair<int32_t, int32_t> ALSO[] = {{28, 88}, {29, 228}, {42, 229}, {43, 50}, {54, 225}, {56, 230}, {71, 74},
    {72, 82}, {73, 75}, {75, 80}, {77, 79}, {79, 77}, {80, 81}, {81, 78}, {82, 73}, {83, 76}};

struct Keyboard : testing::Test {
    void TearDown() override { std::memset(keys, 0, 512), SDL_SetModState(0), plat::test::reset(); }
    uint8_t *keys = const_cast<uint8_t *>(SDL_GetKeyboardState(nullptr));
};

// Each key answers to the codes of its position and to no other; with Num Lock on, the keypad's digit keys (usages
// 89-99) leave their positions' codes. The key hook presses the key SDL would: both give the same snapshot.
TEST_F(Keyboard, EachKeyAnswersToTheCodesOfItsPositionOnly) {
    for (const int num_lock : {0, 0x1000}) {  // KMOD_NUM
        SDL_SetModState(num_lock);
        for (auto [pressed, hid] : POSITIONS) {
            uint8_t fed[256], real[256];
            plat::feed_keys(&pressed, 1), plat::test::set_num_lock_toggled(num_lock != 0), plat::keyboard_snapshot(fed);
            plat::release_fed_keys(), keys[hid] = 1, plat::keyboard_snapshot(real);
            EXPECT_EQ(std::memcmp(fed, real, 256), 0) << std::hex << pressed;
            for (int32_t code = 1; code < 128; ++code) {
                const bool position = std::ranges::count(POSITIONS, std::pair{code, hid}) && !(num_lock && hid >= 89 && hid <= 99);
                ASSERT_EQ(bv_key_pressed(code), position || std::ranges::count(ALSO, std::pair{code, hid})) << hid << " " << code;
            }
            // Every key some code reports counts for the any-key test; none sets the left button's code 1.
            EXPECT_TRUE(bv_key_pressed(0) == 1 && bv::key_states[1] == 0) << hid;
            keys[hid] = 0;
        }
    }
    SDL_SetModState(0), std::memset(keys, 1, 512);  // every key down: codes without a key still answer 0
    for (int32_t code = 1; code < 128; ++code)
        EXPECT_EQ(bv_key_pressed(code), std::ranges::count(POSITIONS, code, &std::pair<int32_t, int32_t>::first)) << code;
    for (int32_t code : {-1, -72, 128, 200, 1000, 0xE048, INT32_MIN, INT32_MAX}) EXPECT_EQ(bv_key_pressed(code), 0) << code;
}

// The snapshot by virtual-key code: bit 7 down, bit 0 toggled. The any-key test counts codes 2-255 whose byte is 0x80
// or 0x81: not the left button (code 1), nor a lock key only toggled. A fed key list ends at its first 0.
TEST_F(Keyboard, AnyKeyCountsVirtualKeys2To255) {
    // Rows: keys fed, mouse buttons (1 left, 2 right, 4 middle), locks toggled (1 Caps, 2 Num), any key, snapshot bytes.
    const struct { std::vector<int32_t> codes; int mouse, locks, any; std::vector<std::pair<int, int>> states; } rows[] = {
        {{1, 54, 88, 0xE048, 74}, 0, 0, 1, {{27, 0x80}, {0x10, 0x80}, {0xA1, 0x80}, {0xA0, 0}, {123, 0x80}, {0x26, 0x80}, {0x6D, 0x80}}},
        {{}, 2, 0, 1, {{2, 0x80}}}, {{}, 1, 0, 0, {{1, 0x80}}}, {{}, 4, 0, 1, {{4, 0x80}}}, {{58}, 0, 1, 1, {{0x14, 0x81}}},
        {{}, 0, 0, 0, {}}, {{}, 0, 1, 0, {{0x14, 0x01}}}, {{}, 0, 2, 0, {{0x90, 0x01}}}, {{45, 0, 21}, 0, 0, 1, {{'X', 0x80}, {'Y', 0}}}};
    for (const auto &r : rows) {
        plat::release_fed_keys();  // each hook alone feeds the state
        if (r.mouse) plat::test::set_mouse_buttons(r.mouse & 1, r.mouse & 2, r.mouse & 4);
        if (r.locks & 1) plat::test::set_caps_lock_toggled(true);
        if (r.locks & 2) plat::test::set_num_lock_toggled(true);
        if (!r.codes.empty()) plat::feed_keys(r.codes.data(), int32_t(r.codes.size()));
        for (int call = 0; call < 3; ++call) EXPECT_EQ(bv_key_pressed(0), r.any);
        for (auto [vk, state] : r.states) EXPECT_EQ(bv::key_states[vk], state) << vk;
    }
    EXPECT_EQ((plat::feed_keys(nullptr, 3), bv_key_pressed(45)), 0);
}
