// bv_key_pressed by set-1 scan code, and the any-key test of scan code 0.
#include <gtest/gtest.h>

#include <vector>

#include "brivondel.h"
#include "platform/platform.h"
#include "state.h"

namespace {

class Keyboard : public testing::Test {
protected:
    void SetUp() override { plat::test::reset(); }
    void TearDown() override { plat::test::reset(); }

    static void hold(std::vector<int32_t> codes) {
        plat::test::set_keys(codes.data(), static_cast<int32_t>(codes.size()));
    }
};

// Keypad minus and plus, the arrows, X, Y, Z, both Shifts, Escape, F12.
const int32_t CONTROL_KEYS[] = {74, 78, 75, 77, 72, 80, 45, 21, 44, 42, 54, 1, 88};

TEST_F(Keyboard, EachControlKeyAnswersAloneToItsCode) {
    for (int32_t key : CONTROL_KEYS) {
        hold({key});
        for (int32_t other : CONTROL_KEYS) {
            const bool shift_pair = (key == 42 || key == 54) && (other == 42 || other == 54);
            const int32_t want = other == key || shift_pair ? 1 : 0;
            EXPECT_EQ(bv_key_pressed(other), want) << "holding " << key << ", asking " << other;
        }
    }
}

TEST_F(Keyboard, EitherShiftAnswersToBothShiftCodes) {
    hold({54});
    EXPECT_EQ(bv_key_pressed(42), 1);
    EXPECT_EQ(bv_key_pressed(54), 1);
    hold({42});
    EXPECT_EQ(bv_key_pressed(42), 1);
    EXPECT_EQ(bv_key_pressed(54), 1);
    hold({});
    EXPECT_EQ(bv_key_pressed(42), 0);
    EXPECT_EQ(bv_key_pressed(54), 0);
}

TEST_F(Keyboard, ArrowCodesAnswerToGreyArrowsAlways) {
    plat::test::set_num_lock_toggled(true);
    const std::pair<int32_t, int32_t> arrows[] = {{72, 0xE048}, {75, 0xE04B}, {77, 0xE04D}, {80, 0xE050}};
    for (auto [code, grey] : arrows) {
        hold({grey});
        EXPECT_EQ(bv_key_pressed(code), 1) << code;
    }
    plat::test::set_num_lock_toggled(false);
    for (auto [code, grey] : arrows) {
        hold({grey});
        EXPECT_EQ(bv_key_pressed(code), 1) << code;
    }
}

TEST_F(Keyboard, ArrowCodesAnswerToTheKeypadOnlyWithoutNumLock) {
    for (int32_t code : {72, 75, 77, 80}) {
        hold({code});
        plat::test::set_num_lock_toggled(false);
        EXPECT_EQ(bv_key_pressed(code), 1) << code;
        plat::test::set_num_lock_toggled(true);
        EXPECT_EQ(bv_key_pressed(code), 0) << code;
    }
}

TEST_F(Keyboard, KeypadPlusAndMinusAreNotTheMainRowKeys) {
    hold({12, 13});  // main row minus and equals
    EXPECT_EQ(bv_key_pressed(74), 0);
    EXPECT_EQ(bv_key_pressed(78), 0);
    EXPECT_EQ(bv_key_pressed(12), 1);
    EXPECT_EQ(bv_key_pressed(13), 1);
}

TEST_F(Keyboard, BothEntersBothCtrlsAndBothAltsShareTheirCodes) {
    hold({0xE01C});
    EXPECT_EQ(bv_key_pressed(28), 1);
    hold({0xE01D});
    EXPECT_EQ(bv_key_pressed(29), 1);
    hold({0xE038});
    EXPECT_EQ(bv_key_pressed(56), 1);
    hold({0xE035});  // keypad divide is not the slash key
    EXPECT_EQ(bv_key_pressed(53), 0);
}

TEST_F(Keyboard, AHeldKeyAnswersOnEveryCall) {
    hold({45});
    for (int i = 0; i < 100; ++i) ASSERT_EQ(bv_key_pressed(45), 1);
}

TEST_F(Keyboard, CodesWithoutAKeyAreNeverDown) {
    std::vector<int32_t> every;
    for (int32_t c = 1; c < 128; ++c) every.push_back(c);
    hold(every);
    for (int32_t code : {-1, -72, 85, 89, 128, 200, 1000, 0xE048, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(bv_key_pressed(code), 0) << code;
    }
}

TEST_F(Keyboard, AnyKeyCountsTheRightButtonButNotTheLeft) {
    plat::test::set_mouse_buttons(false, true, false);
    EXPECT_EQ(bv_key_pressed(0), 1);
    EXPECT_EQ(bv::key_states[2], 0x80);
    plat::test::set_mouse_buttons(true, false, false);
    EXPECT_EQ(bv_key_pressed(0), 0);
    EXPECT_EQ(bv::key_states[1], 0x80);
    plat::test::set_mouse_buttons(false, false, true);
    EXPECT_EQ(bv_key_pressed(0), 1);
}

TEST_F(Keyboard, AnyKeyIgnoresALockKeyThatIsOnlyToggled) {
    plat::test::set_caps_lock_toggled(true);
    EXPECT_EQ(bv_key_pressed(0), 0);
    EXPECT_EQ(bv::key_states[0x14], 0x01);
    plat::test::set_num_lock_toggled(true);
    EXPECT_EQ(bv_key_pressed(0), 0);
    // Held and toggled (0x81) counts.
    hold({58});
    EXPECT_EQ(bv_key_pressed(0), 1);
    EXPECT_EQ(bv::key_states[0x14], 0x81);
}

TEST_F(Keyboard, AnyKeySeesEveryKeyAndNothingWhenNoneIsDown) {
    hold({});
    EXPECT_EQ(bv_key_pressed(0), 0);
    for (int32_t code : CONTROL_KEYS) {
        hold({code});
        EXPECT_EQ(bv_key_pressed(0), 1) << code;
    }
    hold({30});
    EXPECT_EQ(bv_key_pressed(0), 1);
    EXPECT_EQ(bv::key_states['A'], 0x80);
}

TEST_F(Keyboard, SnapshotUsesVirtualKeyCodes) {
    hold({1, 54, 88, 0xE048, 74});
    bv_key_pressed(0);
    EXPECT_EQ(bv::key_states[27], 0x80);    // Escape
    EXPECT_EQ(bv::key_states[0x10], 0x80);  // Shift
    EXPECT_EQ(bv::key_states[0xA1], 0x80);  // right Shift
    EXPECT_EQ(bv::key_states[0xA0], 0x00);
    EXPECT_EQ(bv::key_states[123], 0x80);   // F12
    EXPECT_EQ(bv::key_states[0x26], 0x80);  // up
    EXPECT_EQ(bv::key_states[0x6D], 0x80);  // keypad minus
}

TEST_F(Keyboard, ListEndsAtTheFirstZero) {
    hold({45, 0, 21});
    EXPECT_EQ(bv_key_pressed(45), 1);
    EXPECT_EQ(bv_key_pressed(21), 0);
    plat::test::set_keys(nullptr, 3);
    EXPECT_EQ(bv_key_pressed(45), 0);
}

TEST_F(Keyboard, RealStateWithoutDisplayHasNoKeyDown) {
    plat::test::clear_keys();
    for (int32_t code : CONTROL_KEYS) EXPECT_EQ(bv_key_pressed(code), 0) << code;
    EXPECT_EQ(bv_key_pressed(0), 0);
}

}  // namespace
