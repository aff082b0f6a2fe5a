// Zarvel's scene: a cube of side 40 with six textured faces, moved and
// turned from the keyboard, redrawn only when something changed.
#ifndef ZARVEL_SCENE_H
#define ZARVEL_SCENE_H

#include <cstdint>

#include "brivondel.h"

namespace zarvel {

constexpr double MOVE_STEP = 3.0;   // units per call while a move key is held
constexpr int32_t TURN_STEP = 6;    // degrees per call while a turn key is held

// Set-1 scan codes of the keys the scene reads.
constexpr int32_t SCAN_LEFT_SHIFT = 42;
constexpr int32_t SCAN_RIGHT_SHIFT = 54;
constexpr int32_t SCAN_KP_MINUS = 74;
constexpr int32_t SCAN_KP_PLUS = 78;
constexpr int32_t SCAN_LEFT = 75;
constexpr int32_t SCAN_RIGHT = 77;
constexpr int32_t SCAN_UP = 72;
constexpr int32_t SCAN_DOWN = 80;
constexpr int32_t SCAN_X = 45;
constexpr int32_t SCAN_Y = 21;
constexpr int32_t SCAN_Z = 44;

// The six faces in object space, four corners each, and the texture
// coordinates every face uses: each face shows its whole 64 x 64 texture.
extern const Vertex3 cube_faces[6][4];
extern const TexCoord face_texcoords[4];

// Scene state: the cube's centre in camera space, its angles in whole
// degrees (0..359), and whether a frame is due.
extern double cube_x, cube_y, cube_z;
extern int32_t angle_x, angle_y, angle_z;
extern int32_t redraw;
extern int32_t face_textures[6];

// Applies at most one key action, then draws and flips when something
// changed (or on the first call).
void UpdateFrame();
// Draws the six faces with the current pose and textures.
void DrawCube();

// Puts the cube back at its start pose with a frame due.
void ResetScene();
// Frames drawn by UpdateFrame since the program started.
int64_t FramesDrawn();
// Called after a frame is drawn and the scene closed, just before the flip
// presents it: lets a tool read the finished page. Null for none.
void SetFrameObserver(void (*observer)());

}  // namespace zarvel

#endif
