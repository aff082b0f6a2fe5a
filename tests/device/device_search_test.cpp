// The device search and set-up at display start-up, on device lists the
// tests make up (each made-up device draws with the real renderer) and on
// the real list: which device is taken, the z-buffer's depth, and the
// fall-back to the software paths on every failure.
#include <link.h>

#include <set>

#include "device_fixture.h"

namespace {

using plat::DDBD_16;
using plat::DDBD_24;
using plat::DDBD_32;
using plat::DDBD_8;
using plat::test::MadeUpDevice;

constexpr uint32_t ALL_DEPTHS = DDBD_16 | DDBD_24 | DDBD_32;

class DeviceSearch : public DeviceTest {
protected:
    static void list(std::initializer_list<MadeUpDevice> devices) {
        plat::test::set_device_list(devices.begin(), static_cast<int32_t>(devices.size()));
    }
    static int32_t zbuffer_bits() {
        plat::PixelFormat f{};
        if (bv_display.zsurface == nullptr || plat::pixel_format(bv_display.zsurface, &f) != plat::OK) return 0;
        return f.bits_per_pixel;
    }
    // Everything a start-up without a device leaves.
    static void expect_software_paths() {
        EXPECT_EQ(bv_display.device_kind, 0);
        EXPECT_EQ(bv_display.device, nullptr);
        EXPECT_EQ(bv_display.viewport, nullptr);
        EXPECT_EQ(bv_display.zsurface, nullptr);
        EXPECT_NE(bv_display.d3d, nullptr) << "a later start-up must not search again";
        EXPECT_EQ(plat::test::device_depth_bits(), 0);
    }
};

TEST_F(DeviceSearch, FlagsThirteenWithOnlyASoftwareDeviceKeepTheSoftwarePaths) {
    list({software_device("software", ALL_DEPTHS, ALL_DEPTHS)});
    EXPECT_EQ(start(64, 48, 16, FLAGS_HARDWARE_Z), 0);
    expect_software_paths();
    EXPECT_EQ(bv_display.result, 0);
    // The depth buffer is a memory block, not a z-buffer surface.
    zbuffer_ = bv_alloc_zbuffer(64, 48);
    ASSERT_NE(zbuffer_, nullptr);
    EXPECT_NE(static_cast<void *>(zbuffer_), static_cast<void *>(bv_display.zsurface));
    EXPECT_EQ(bv_open_zbuffer(zbuffer_), 0);
    EXPECT_EQ(bv_target.zbuffer_capacity, 64u * 48u);
}

TEST_F(DeviceSearch, AHardwareDeviceOfferingSixteenAndTwentyFourBitsGetsATwentyFourBitZBuffer) {
    list({hardware_device("hardware", DDBD_16, DDBD_16 | DDBD_24)});
    EXPECT_EQ(start(64, 48, 16, FLAGS_HARDWARE_Z), 2);
    EXPECT_EQ(bv_display.device_kind, 2);
    EXPECT_NE(bv_display.device, nullptr);
    EXPECT_NE(bv_display.viewport, nullptr);
    ASSERT_NE(bv_display.zsurface, nullptr);
    EXPECT_EQ(zbuffer_bits(), 24);
    EXPECT_EQ(plat::test::device_depth_bits(), 24);
    EXPECT_EQ(bv_display.result, 0);
    // The depth buffer handed out is the z-buffer surface, whatever the size.
    EXPECT_EQ(static_cast<void *>(bv_alloc_zbuffer(1, 1)), static_cast<void *>(bv_display.zsurface));
}

TEST_F(DeviceSearch, TheDeepestZBufferTheCapabilitiesOfferIsTaken) {
    const struct {
        uint32_t offered;
        int32_t bits;
    } cases[] = {{ALL_DEPTHS, 32}, {DDBD_8 | DDBD_16, 16}, {DDBD_8, 8}, {DDBD_32, 32}, {DDBD_24 | DDBD_8, 24}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bits);
        list({hardware_device("hardware", DDBD_16, c.offered)});
        EXPECT_EQ(start(32, 16, 16, FLAGS_HARDWARE_Z), 2);
        EXPECT_EQ(zbuffer_bits(), c.bits);
        bv_stop_display();
    }
}

TEST_F(DeviceSearch, FlagsFifteenTakeTheSoftwareDeviceWhenTheHardwareOneLacksTheDepth) {
    list({hardware_device("hardware", DDBD_32, ALL_DEPTHS), software_device("software", DDBD_16, DDBD_16)});
    EXPECT_EQ(start(64, 48, 16, FLAGS_ANY_DEVICE_Z), 1);
    EXPECT_NE(bv_display.device, nullptr);
    EXPECT_EQ(zbuffer_bits(), 16);
}

TEST_F(DeviceSearch, AHardwareDeviceListedAfterASoftwareOneWinsAndEndsTheSearch) {
    // Were the search to go on, the last hardware device's 32-bit z-buffer
    // would replace the first one's 16 bits.
    list({software_device("software", ALL_DEPTHS, ALL_DEPTHS), hardware_device("first", DDBD_16, DDBD_16),
          hardware_device("second", DDBD_16, DDBD_32)});
    EXPECT_EQ(start(64, 48, 16, FLAGS_ANY_DEVICE_Z), 2);
    EXPECT_EQ(zbuffer_bits(), 16);
}

TEST_F(DeviceSearch, ALaterSoftwareDeviceReplacesAnEarlierOne) {
    list({software_device("first", DDBD_16, DDBD_16), software_device("second", DDBD_16, DDBD_24)});
    EXPECT_EQ(start(64, 48, 16, FLAGS_ANY_DEVICE_Z), 1);
    EXPECT_EQ(zbuffer_bits(), 24);
}

TEST_F(DeviceSearch, AHardwareDeviceThatIsNotTakenIsNoSoftwareDevice) {
    // Software devices allowed, hardware not: a device whose hardware side
    // is set is never looked at as a software device.
    MadeUpDevice both{"both", {1, ALL_DEPTHS, ALL_DEPTHS}, {2, ALL_DEPTHS, ALL_DEPTHS}};
    list({both});
    EXPECT_EQ(start(64, 48, 16, 11), 0);
    expect_software_paths();
}

TEST_F(DeviceSearch, EachOptionBitIsTested) {
    const MadeUpDevice hw = hardware_device("hardware", ALL_DEPTHS, ALL_DEPTHS);
    const MadeUpDevice sw = software_device("software", ALL_DEPTHS, ALL_DEPTHS);
    const MadeUpDevice hw_without_z = hardware_device("hardware", ALL_DEPTHS, 0);
    const struct {
        MadeUpDevice device;
        int32_t flags;
        int32_t kind;
    } cases[] = {
        {hw, 13, 2}, {hw, 11, 0}, {sw, 11, 1}, {sw, 13, 0}, {hw_without_z, 13, 0}, {hw_without_z, 5, 2},
        {hw, 12, 0},  // no page flipping: no set-up at all
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.flags);
        list({c.device});
        EXPECT_EQ(start(32, 16, 16, c.flags), c.kind);
        bv_stop_display();
    }
}

TEST_F(DeviceSearch, TheDeviceMustRenderAtTheDisplaysDepth) {
    const struct {
        int32_t depth;
        uint32_t render;
        int32_t kind;
    } cases[] = {
        {16, DDBD_16, 2}, {16, DDBD_24 | DDBD_32, 0}, {24, DDBD_24, 2}, {24, DDBD_16 | DDBD_32, 0},
        {32, DDBD_32, 2}, {32, DDBD_24, 0},           {8, DDBD_16, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.depth << " bits, render mask " << c.render);
        list({hardware_device("hardware", c.render, DDBD_16)});
        EXPECT_EQ(start(32, 16, c.depth, FLAGS_HARDWARE_Z), c.kind);
        bv_stop_display();
    }
}

TEST_F(DeviceSearch, AnEightBitDisplayFallsBackWhenTheDeviceCannotDrawPalettePages) {
    // The device's list says 8 bits; the renderer cannot draw palette pages.
    list({hardware_device("hardware", DDBD_8, DDBD_16)});
    EXPECT_EQ(start(32, 16, 8, FLAGS_HARDWARE_Z), 0);
    expect_software_paths();
    EXPECT_NE(bv_display.result, 0);
}

TEST_F(DeviceSearch, WithoutTheZBufferBitNoZBufferIsMadeAndTheMemoryBlockIsFreed) {
    list({hardware_device("hardware", DDBD_16, 0)});
    EXPECT_EQ(start(64, 48, 16, 5), 2);
    EXPECT_EQ(bv_display.zsurface, nullptr);
    zbuffer_ = bv_alloc_zbuffer(64, 48);
    ASSERT_NE(zbuffer_, nullptr);
    EXPECT_EQ(bv_open_zbuffer(zbuffer_), 0);
    EXPECT_EQ(bv_free_zbuffer(zbuffer_), 0);
    // The block went back: it is no depth buffer any more.
    EXPECT_EQ(bv_open_zbuffer(zbuffer_), -1);
    zbuffer_ = nullptr;
}

TEST_F(DeviceSearch, AnEmptyListOrNoFittingDeviceLeavesTheSoftwarePaths) {
    list({});
    EXPECT_EQ(start(32, 16, 16, FLAGS_ANY_DEVICE_Z), 0);
    expect_software_paths();
    bv_stop_display();
    list({hardware_device("hardware", DDBD_16, 0), software_device("software", DDBD_32, DDBD_16)});
    EXPECT_EQ(start(32, 16, 16, FLAGS_ANY_DEVICE_Z), 0);
    expect_software_paths();
}

TEST_F(DeviceSearch, AFailedDeviceCreationFallsBackAndKeepsTheFailureCode) {
    plat::test::fail_device_creations(1);
    EXPECT_EQ(start(64, 48, 16, FLAGS_ANY_DEVICE_Z), 0);
    expect_software_paths();
    EXPECT_EQ(bv_display.result, plat::ERR_GENERIC);
    // Page 0 is the page's own memory again: fill and lock see one picture.
    bv_set_color(0x1234);
    EXPECT_EQ(bv_fill_page(), 0);
    bv::lock_target();
    ASSERT_TRUE(bv::target_drawable());
    EXPECT_EQ(bv_target.base[0] | bv_target.base[1] << 8, 0x1234);
    bv::unlock_target();
}

TEST_F(DeviceSearch, NoThreeDInterfaceFallsBack) {
    plat::test::fail_3d_creations(1);
    EXPECT_EQ(start(64, 48, 16, FLAGS_ANY_DEVICE_Z), 0);
    EXPECT_EQ(bv_display.device_kind, 0);
    EXPECT_EQ(bv_display.d3d, nullptr);
    EXPECT_EQ(bv_display.zsurface, nullptr);
    EXPECT_EQ(bv_display.result, plat::ERR_GENERIC);
}

TEST_F(DeviceSearch, ASecondStartUpKeepsTheDeviceAndStopReleasesIt) {
    list({software_device("software", ALL_DEPTHS, ALL_DEPTHS)});
    ASSERT_EQ(start(64, 48, 16, FLAGS_ANY_DEVICE_Z), 1);
    void *d3d = bv_display.d3d;
    BvPlatDevice *device = bv_display.device;
    BvPlatSurface *zsurface = bv_display.zsurface;
    EXPECT_EQ(bv_start_display(), 1);
    EXPECT_EQ(bv_display.d3d, d3d);
    EXPECT_EQ(bv_display.device, device);
    EXPECT_EQ(bv_display.zsurface, zsurface);
    EXPECT_EQ(bv_stop_display(), 0);
    EXPECT_EQ(bv_display.d3d, nullptr);
    EXPECT_EQ(bv_display.device, nullptr);
    EXPECT_EQ(bv_display.viewport, nullptr);
    EXPECT_EQ(bv_display.zsurface, nullptr);
    EXPECT_EQ(plat::test::device_depth_bits(), 0);
}

TEST_F(DeviceSearch, TheRealListOffersTheRendererAsASoftwareOrAHardwareDevice) {
    // Flags 15 take whichever the renderer is.
    const int32_t kind = start(64, 48, 16, FLAGS_ANY_DEVICE_Z);
    ASSERT_GT(kind, 0) << "OpenGL is reached through the offscreen driver";
    const bool software = renderer_is_software();
    std::printf("renderer: %s (%s device)\n", plat::test::device_renderer(), software ? "software" : "hardware");
    EXPECT_EQ(kind, software ? 1 : 2);
    EXPECT_EQ(zbuffer_bits(), 32);
    bv_stop_display();
    // Flags 13 take only a hardware device: llvmpipe keeps the software paths.
    EXPECT_EQ(start(64, 48, 16, FLAGS_HARDWARE_Z), software ? 0 : 2);
}

// The shared objects mapped into this process, by file name.
std::set<std::string> loaded_libraries() {
    std::set<std::string> names;
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *out) {
            if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0')
                static_cast<std::set<std::string> *>(out)->insert(info->dlpi_name);
            return 0;
        },
        &names);
    return names;
}

// Mesa's driver, unloaded, would take with it the only pointers to blocks
// it allocated, and the next start would load it (and LLVM) again.
TEST_F(DeviceSearch, StoppingTheDisplayKeepsTheOpenGLDriverLoaded) {
    ASSERT_GT(start(64, 48, 16, FLAGS_ANY_DEVICE_Z), 0);
    const std::set<std::string> with_device = loaded_libraries();
    bv_stop_display();
    const std::set<std::string> after_stop = loaded_libraries();
    for (const std::string &name : with_device) EXPECT_EQ(after_stop.count(name), 1u) << name << " was unloaded";
    ASSERT_GT(start(64, 48, 16, FLAGS_ANY_DEVICE_Z), 0);
    EXPECT_EQ(loaded_libraries(), with_device) << "a second start loads nothing new";
}

}  // namespace
