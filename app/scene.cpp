// The cube scene: key controls and the per-frame redraw.
#include "scene.h"

namespace zarvel {

const Vertex3 cube_faces[6][4] = {
    {{20, -20, -20}, {-20, -20, -20}, {-20, 20, -20}, {20, 20, -20}},  // z = -20, front at start
    {{-20, -20, -20}, {-20, -20, 20}, {-20, 20, 20}, {-20, 20, -20}},  // x = -20
    {{20, 20, 20}, {-20, 20, 20}, {-20, -20, 20}, {20, -20, 20}},      // z = +20, back
    {{20, -20, 20}, {20, -20, -20}, {20, 20, -20}, {20, 20, 20}},      // x = +20
    {{20, -20, 20}, {-20, -20, 20}, {-20, -20, -20}, {20, -20, -20}},  // y = -20, bottom
    {{20, 20, -20}, {-20, 20, -20}, {-20, 20, 20}, {20, 20, 20}},      // y = +20, top
};

// Vertex 2 takes texel (0, 0): on the front face that is the top-left
// corner, so the texture shows upright and unmirrored.
const TexCoord face_texcoords[4] = {{63, 63}, {0, 63}, {0, 0}, {63, 0}};

double cube_x = 0.0, cube_y = 0.0, cube_z = 100.0;
int32_t angle_x = 0, angle_y = 0, angle_z = 0;
int32_t redraw = 1;
int32_t face_textures[6];

namespace {

int64_t frames_drawn = 0;
void (*frame_observer)() = nullptr;

// Shift turns forward, otherwise backward; the angle stays in 0..359.
void turn(int32_t &angle, bool shift) {
    if (shift) {
        angle += TURN_STEP;
        if (angle >= 360) angle -= 360;
    } else {
        angle -= TURN_STEP;
        if (angle < 0) angle += 360;
    }
}

struct ControlKey {
    int32_t scan_code;
    void (*act)(bool shift);
};

// Tested in this order; only the first key found down acts in a call.
constexpr ControlKey control_keys[] = {
    {SCAN_KP_MINUS, [](bool) { cube_z += MOVE_STEP; }},
    {SCAN_KP_PLUS, [](bool) { cube_z -= MOVE_STEP; }},
    {SCAN_LEFT, [](bool) { cube_x -= MOVE_STEP; }},
    {SCAN_RIGHT, [](bool) { cube_x += MOVE_STEP; }},
    {SCAN_UP, [](bool) { cube_y += MOVE_STEP; }},
    {SCAN_DOWN, [](bool) { cube_y -= MOVE_STEP; }},
    {SCAN_X, [](bool shift) { turn(angle_x, shift); }},
    {SCAN_Y, [](bool shift) { turn(angle_y, shift); }},
    {SCAN_Z, [](bool shift) { turn(angle_z, shift); }},
};

void apply_first_key_down(bool shift) {
    for (const ControlKey &key : control_keys) {
        if (bv_key_pressed(key.scan_code)) {
            key.act(shift);
            redraw = 1;
            return;
        }
    }
}

void draw_frame() {
    bv_3d_scene(0);
    bv_zbuffer_frame();
    bv_set_color(-1);
    bv_fill_page();
    // Whole degrees become the library's tenths of a degree.
    bv_set_3d_pose(cube_x, cube_y, cube_z, 10 * angle_x, 10 * angle_y, 10 * angle_z);
    DrawCube();
    bv_3d_scene(1);
    if (frame_observer != nullptr) frame_observer();
    bv_flip();
    redraw = 0;
    ++frames_drawn;
}

}  // namespace

void UpdateFrame() {
    // Both Shift keys are asked on every call, before any control key.
    const bool left_shift = bv_key_pressed(SCAN_LEFT_SHIFT) != 0;
    const bool right_shift = bv_key_pressed(SCAN_RIGHT_SHIFT) != 0;
    apply_first_key_down(left_shift || right_shift);
    if (redraw == 0) return;
    draw_frame();
}

void DrawCube() {
    for (int i = 0; i < 6; ++i) {
        bv_select_texture(face_textures[i]);
        bv_draw_3d_poly(cube_faces[i], face_texcoords, 4);
    }
}

void ResetScene() {
    cube_x = 0.0;
    cube_y = 0.0;
    cube_z = 100.0;
    angle_x = angle_y = angle_z = 0;
    redraw = 1;
}

int64_t FramesDrawn() { return frames_drawn; }

void SetFrameObserver(void (*observer)()) { frame_observer = observer; }

}  // namespace zarvel
