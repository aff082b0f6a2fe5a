// Start-up, shutdown and window events of the demo.
#include "shell.h"

#include <cstdio>
#include <cstring>

#include "scene.h"

namespace zarvel {

AppState app = {nullptr, nullptr, 0, nullptr, 0, 0};
uint8_t pixel_blocks[6][BLOCK_BYTES];

namespace {

constexpr int32_t DISPLAY_WIDTH = 640;
constexpr int32_t DISPLAY_HEIGHT = 480;
constexpr int32_t PCX_FLAGS = BV_PCX_AT_CURSOR | BV_PCX_NO_REDUCE;

void set_up_3d_view(int32_t render_flags) {
    bv_set_3d_viewport(0, DISPLAY_WIDTH - 1, 0, DISPLAY_HEIGHT - 1, 0.5);
    bv_set_3d_depth(40.0, 1000.0);
    bv_set_3d_flags(render_flags);
}

// The six 64 x 64 squares of the image's top 64 rows, left to right. The
// blocks start zeroed: an 8-bit page copies nothing into them.
void cut_face_textures() {
    std::memset(pixel_blocks, 0, sizeof pixel_blocks);
    bv_move_to(0, BLOCK_SIZE - 1);
    for (int i = 0; i < 6; ++i) {
        bv_get_block(pixel_blocks[i], BLOCK_SIZE, BLOCK_SIZE);
        bv_flip_block(pixel_blocks[i], BLOCK_SIZE, BLOCK_SIZE);
        face_textures[i] = bv_define_texture(pixel_blocks[i], BLOCK_SIZE, BLOCK_SIZE);
        bv_move_by(BLOCK_SIZE, 0);
    }
}

}  // namespace

StartResult StartUp(BvPlatWindow *window, const StartOptions &options) {
    StartResult result = {-1, -1};
    app.ready = 0;
    // Showing the window comes first: the display takes the focused window
    // for full-screen operation, and the activation that showing brings
    // arrives while ready is 0, so nothing is flipped before the first frame.
    if (window != nullptr && bv_show_window(window) != 0) HandleEvent(BvEvent{BV_EVENT_ACTIVATE, 0});
    bv_config_display(DISPLAY_WIDTH, DISPLAY_HEIGHT, options.depth, options.display_flags);
    app.window_dc = window;
    bv_set_dc(app.window_dc);
    app.palette = bv_make_palette();
    bv_use_palette(app.palette);
    result.device_kind = bv_start_display();
    if (result.device_kind < 0) return result;
    bv_set_dib_depth(16);
    app.page = 0;
    bv_select_page(static_cast<uint32_t>(app.page));
    bv_attach_palette();
    app.zbuffer = bv_alloc_zbuffer(DISPLAY_WIDTH, DISPLAY_HEIGHT);
    bv_open_zbuffer(app.zbuffer);
    set_up_3d_view(options.render_flags);
    bv_alloc_textures(6);
    result.pcx_result = bv_load_pcx(options.pcx_file, PCX_FLAGS);
    cut_face_textures();
    bv_set_color(-1);
    bv_fill_page();
    app.ready = 1;
    return result;
}

void ShutDown() {
    bv_deselect_page();
    bv_free_texture(-1);
    bv_free_zbuffer(app.zbuffer);
    app.zbuffer = nullptr;
    bv_stop_display();
    bv_delete_palette(app.palette);
    app.palette = nullptr;
    app.window_dc = nullptr;
    app.ready = 0;
}

bool HandleEvent(const BvEvent &event) {
    switch (event.kind) {
    case BV_EVENT_ACTIVATE:
        app.active = 1;
        // Shows a frame at once, restoring surfaces lost while away.
        if (app.ready != 0) bv_flip();
        return true;
    case BV_EVENT_DEACTIVATE:
        app.active = 0;
        return true;
    case BV_EVENT_FOCUS_GAINED:
        bv_use_palette(app.palette);
        return true;
    case BV_EVENT_KEY_DOWN:
        // Every other key is swallowed.
        return event.key != BV_VK_ESCAPE && event.key != BV_VK_F12;
    case BV_EVENT_CLOSE:
    case BV_EVENT_QUIT:
        return false;
    default:
        return true;
    }
    return true;
}

const char *DisplayFailureReason() {
    static char reason[160];
    const char *platform_reason = bv_display_error();
    if (platform_reason != nullptr && platform_reason[0] != '\0') return platform_reason;
    std::snprintf(reason, sizeof reason, "the platform refused it (result 0x%08X)",
                  static_cast<unsigned>(bv_display.result));
    return reason;
}

const char *PcxResultMeaning(int32_t result) {
    switch (result) {
    case 0: return "read";
    case 1: return "the file could not be opened";
    case 2: return "not a PCX file (short header or wrong manufacturer byte)";
    case 3: return "its layout cannot be shown on a page of this depth";
    case 4: return "no memory for its scan lines";
    default: return "unknown result";
    }
}

}  // namespace zarvel
