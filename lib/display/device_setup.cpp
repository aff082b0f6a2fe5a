// The 3D device's part of the display: the device search and set-up at
// start-up (a z-buffer attached to page 0, the device on page 0 and a
// viewport over the whole display), its release at shutdown, the scene
// bracket and the device's depth buffer. Any failure leaves the display
// without a device (BV_DEVICE_NONE): the library's own rasterizers and the
// memory depth buffer take over.
#include <new>

#include "platform/platform.h"
#include "state.h"

namespace {

// The search record, kept in io_buffer while the devices are listed.
struct DeviceSearch {
    plat::DeviceId hardware_device;     // value 0: none found
    plat::DeviceId software_device;
    uint8_t hardware_depth_bits;        // bits 8-15 of the device's depth mask
    uint8_t software_depth_bits;
    uint8_t wanted_render_depth;        // DDBD_ bit of the display depth, shifted right by 8
    uint8_t options;                    // the low byte of the display flags
};
static_assert(sizeof(DeviceSearch) <= bv::IO_BUFFER_SIZE);

constexpr uint8_t OPTION_SOFTWARE = BV_DISPLAY_SOFT_3D;
constexpr uint8_t OPTION_HARDWARE = BV_DISPLAY_HARD_3D;
constexpr uint8_t OPTION_ZBUFFER = BV_DISPLAY_ZBUFFER;

// DDBD_8, _16, _24 and _32 shifted right by 8, by depth / 8 - 1.
constexpr uint8_t RENDER_DEPTH_BITS[4] = {0x08, 0x04, 0x02, 0x01};

uint8_t wanted_render_depth(int32_t depth) {
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return 0;
    return RENDER_DEPTH_BITS[depth / 8 - 1];
}

// A device is taken when its kind is allowed, it renders at the display's
// depth and, when a z-buffer is asked for, it has one of 8 to 32 bits.
bool device_fits(const plat::DeviceCaps &caps, uint8_t allowed_bit, const DeviceSearch &search) {
    if ((search.options & allowed_bit) == 0) return false;
    if (((caps.render_bit_depth >> 8) & search.wanted_render_depth) == 0) return false;
    if ((search.options & OPTION_ZBUFFER) != 0 && ((caps.zbuffer_bit_depth >> 8) & 0x0F) == 0) return false;
    return true;
}

uint8_t depth_bits_of(const plat::DeviceCaps &caps, const DeviceSearch &search) {
    const uint32_t mask = (search.options & OPTION_ZBUFFER) != 0 ? caps.zbuffer_bit_depth : caps.render_bit_depth;
    return static_cast<uint8_t>(mask >> 8);
}

// A hardware device that fits ends the search; a software device that fits
// replaces any earlier one and the search goes on.
int32_t consider_device(const plat::DeviceId *id, const char * /*name*/, const plat::DeviceCaps *hardware,
                        const plat::DeviceCaps *software, void *context) {
    auto *search = static_cast<DeviceSearch *>(context);
    if (hardware->color_model != 0) {
        if (!device_fits(*hardware, OPTION_HARDWARE, *search)) return plat::ENUM_OK;
        search->hardware_device = *id;
        search->hardware_depth_bits = depth_bits_of(*hardware, *search);
        return plat::ENUM_CANCEL;
    }
    if (software->color_model != 0 && device_fits(*software, OPTION_SOFTWARE, *search)) {
        search->software_device = *id;
        search->software_depth_bits = depth_bits_of(*software, *search);
    }
    return plat::ENUM_OK;
}

// 32, 24, 16 or 8 bits, the deepest the capability byte offers; 0 for none.
int32_t zbuffer_depth_from(uint8_t depth_bits) {
    if ((depth_bits & 0x01) != 0) return 32;
    if ((depth_bits & 0x02) != 0) return 24;
    if ((depth_bits & 0x04) != 0) return 16;
    if ((depth_bits & 0x08) != 0) return 8;
    return 0;
}

plat::Interface3D *interface_3d() { return static_cast<plat::Interface3D *>(bv_display.d3d); }
plat::Viewport *viewport() { return static_cast<plat::Viewport *>(bv_display.viewport); }

struct Choice {
    plat::DeviceId id;
    int32_t kind;
    uint8_t depth_bits;
    uint32_t zbuffer_caps;
};

bool choose_device(const DeviceSearch &search, Choice *out) {
    if (search.hardware_device.value != 0) {
        *out = Choice{search.hardware_device, BV_DEVICE_HARDWARE, search.hardware_depth_bits,
                      plat::CAPS_ZBUFFER | plat::CAPS_VIDEO_MEMORY};
        return true;
    }
    if (search.software_device.value != 0) {
        *out = Choice{search.software_device, BV_DEVICE_SOFTWARE, search.software_depth_bits,
                      plat::CAPS_ZBUFFER | plat::CAPS_SYSTEM_MEMORY};
        return true;
    }
    return false;
}

bool create_attached_zbuffer(const Choice &choice) {
    const int32_t depth = zbuffer_depth_from(choice.depth_bits);
    if (depth == 0) return false;
    BvPlatSurface *zsurface = nullptr;
    if (!bv::combine_result(plat::create_zbuffer(interface_3d(), bv_display.width, bv_display.height, depth,
                                             choice.zbuffer_caps, &zsurface))) {
        return false;
    }
    bv_display.zsurface = zsurface;
    return bv::combine_result(plat::attach_zbuffer(bv_pages.surface[0], zsurface));
}

bool create_device_and_viewport(const Choice &choice) {
    BvPlatDevice *device = nullptr;
    if (!bv::combine_result(plat::create_device(interface_3d(), choice.id, bv_pages.surface[0], &device))) return false;
    bv_display.device = device;
    plat::Viewport *made = nullptr;
    if (!bv::combine_result(plat::create_viewport(interface_3d(), &made))) return false;
    bv_display.viewport = made;
    if (!bv::combine_result(plat::add_viewport(device, made))) return false;
    const auto w = static_cast<float>(bv_display.width);
    const auto h = static_cast<float>(bv_display.height);
    const plat::ViewportRect rect{0, 0, bv_display.width, bv_display.height, 0.0f, 0.0f, w, h, 0.0f, 1.0f};
    if (!bv::combine_result(plat::set_viewport(made, rect))) return false;
    return bv::combine_result(plat::set_current_viewport(device, made));
}

void release_viewport_and_device() {
    bv::release_held(bv_display.viewport, [](void *v) { plat::release_viewport(static_cast<plat::Viewport *>(v)); });
    bv::release_held(bv_display.device, plat::release_device);
}

void release_zsurface() {
    if (bv_display.zsurface == nullptr) return;
    bv_display.zenabled = 0;
    bv::release_held(bv_display.zsurface, plat::release_zbuffer);
}

// A failed set-up leaves nothing that could still draw into page 0: the
// device, its viewport and the z-buffer go at once, and only the 3D
// interface stays, so that a later start-up does not search again.
void fall_back_to_software() {
    release_viewport_and_device();
    release_zsurface();
    bv_display.device_kind = BV_DEVICE_NONE;
}

bool run_setup() {
    plat::Interface3D *d3d = nullptr;
    if (!bv::combine_result(plat::create_3d(bv_display.ddraw, &d3d))) return false;
    bv_display.d3d = d3d;

    auto *search = new (bv::io_buffer) DeviceSearch{};
    search->wanted_render_depth = wanted_render_depth(bv_display.depth);
    search->options = static_cast<uint8_t>(bv_display.flags & 0xFF);
    if (!bv::combine_result(plat::enumerate_devices(d3d, consider_device, search))) return false;

    Choice choice{};
    if (!choose_device(*search, &choice)) return false;
    bv_display.device_kind = choice.kind;
    if ((bv_display.flags & OPTION_ZBUFFER) != 0 && !create_attached_zbuffer(choice)) return false;
    return create_device_and_viewport(choice);
}

}  // namespace

namespace bv {

void setup_direct3d() {
    if (!run_setup()) fall_back_to_software();
}

void release_direct3d() {
    // A device texture's handle is no address the scan converters could read.
    if (bv::device_draws_page0()) {
        bv_textures.current_texels = 0;
        bv_textures.current_width = 0;
        bv_textures.current_height = 0;
        bv_textures.current_texel_bytes = 0;
    }
    release_viewport_and_device();
    // A z-buffer the caller did not free goes with the device.
    release_zsurface();
    bv::release_held(bv_display.d3d, [](void *d3d) { plat::release_3d(static_cast<plat::Interface3D *>(d3d)); });
}

int32_t device_scene(int32_t mode) {
    if (bv_display.device == nullptr) return plat::ERR_INVALID_OBJECT;
    return (mode & 1) == 0 ? plat::begin_scene(bv_display.device) : plat::end_scene(bv_display.device);
}

// The whole display's depth entries back to the farthest value.
int32_t device_clear_zbuffer() {
    if (bv_display.viewport == nullptr) return plat::ERR_INVALID_OBJECT;
    const plat::ClearRect whole{0, 0, bv_display.width, bv_display.height};
    return plat::clear_viewport(viewport(), &whole, 1, plat::CLEAR_ZBUFFER);
}

int32_t device_open_zbuffer() {
    if (bv_display.device == nullptr) return plat::ERR_INVALID_OBJECT;
    plat::set_render_state(bv_display.device, plat::RS_ZENABLE, 1);
    bv_display.zenabled = 1;
    plat::set_render_state(bv_display.device, plat::RS_ZFUNC, plat::CMP_LESS);
    return device_clear_zbuffer();
}

void device_free_zbuffer() {
    bv_display.zenabled = 0;
    if (bv_display.device != nullptr) plat::set_render_state(bv_display.device, plat::RS_ZENABLE, 0);
    bv::release_held(bv_display.zsurface, [](BvPlatSurface *zsurface) {
        if (bv_pages.surface[0] != nullptr) plat::detach_zbuffer(bv_pages.surface[0], zsurface);
        plat::release_zbuffer(zsurface);
    });
}

}  // namespace bv
