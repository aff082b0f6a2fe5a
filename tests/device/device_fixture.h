// Shared set-up of the device suites: a stopped display, the platform's
// hooks at their defaults, and helpers to start a display with a 3D device
// on the offscreen driver (OpenGL on Mesa's llvmpipe here).
#ifndef BV_TESTS_DEVICE_FIXTURE_H
#define BV_TESTS_DEVICE_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "brivondel.h"
#include "library_state.h"
#include "platform/platform.h"
#include "state.h"

// Display flags: page flipping, which devices are allowed, a z-buffer wanted.
constexpr int32_t FLAGS_HARDWARE_Z = 13;
constexpr int32_t FLAGS_ANY_DEVICE_Z = 15;
constexpr int32_t FLAGS_ANY_DEVICE = 7;
constexpr int32_t FLAGS_NO_DEVICE_Z = 9;

class DeviceTest : public testing::Test {
protected:
    void SetUp() override { bvtest::reset_library(); }
    void TearDown() override {
        while (bv_target.lock_depth > 0) bv::unlock_target();
        bv_free_texture(-1);
        if (zbuffer_ != nullptr) bv_free_zbuffer(zbuffer_);
        zbuffer_ = nullptr;
        bvtest::reset_library();
    }

    // Starts a full-screen flipping display with these flags and selects
    // page 0; returns the device kind.
    static int32_t start(int32_t width, int32_t height, int32_t depth, int32_t flags) {
        bv_config_display(width, height, depth, flags);
        const int32_t kind = bv_start_display();
        if (kind >= 0) bv_select_page(0);
        return kind;
    }

    // The demo's depth buffer set-up after start-up.
    void open_depth_buffer() {
        zbuffer_ = bv_alloc_zbuffer(bv_display.width, bv_display.height);
        bv_open_zbuffer(zbuffer_);
    }

    // The device's calls since the last clear.
    static std::vector<plat::test::DeviceCall> device_calls() {
        std::vector<plat::test::DeviceCall> calls;
        for (int32_t i = 0; i < plat::test::device_call_count(); ++i) calls.push_back(plat::test::device_call(i));
        return calls;
    }

    // True when the real renderer is one of Mesa's software rasterizers.
    static bool renderer_is_software() {
        const std::string name = plat::test::device_renderer();
        for (const char *soft : {"llvmpipe", "softpipe", "swrast"}) {
            if (name.find(soft) != std::string::npos) return true;
        }
        return false;
    }

    bv_zbuffer zbuffer_ = nullptr;
};

// A made-up device description.
inline plat::test::MadeUpDevice hardware_device(const char *name, uint32_t render, uint32_t zbuffer) {
    return plat::test::MadeUpDevice{name, {1, render, zbuffer}, {0, 0, 0}};
}
inline plat::test::MadeUpDevice software_device(const char *name, uint32_t render, uint32_t zbuffer) {
    return plat::test::MadeUpDevice{name, {0, 0, 0}, {2, render, zbuffer}};
}

#endif
