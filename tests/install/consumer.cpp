// A program outside the project, built against an installed Brivondel: a
// headless 64x48 display, page 0 filled green and read back, one flip.
#include <cstdint>
#include <cstdlib>

#include "brivondel.h"

int main() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    bv_config_display(64, 48, 32, BV_DISPLAY_FLIP);
    if (bv_start_display() < 0 || bv_select_page(0) != 0) return 1;
    bv_set_color(0x00FF00);  // green is the middle byte in either channel order
    bv_fill_page();
    uint8_t pixel[3] = {1, 2, 3};
    bv_move_to(10, 10);
    bv_get_block(pixel, 1, 1);
    const int flipped = bv_flip();
    bv_deselect_page();
    bv_stop_display();
    return pixel[0] == 0 && pixel[1] == 0xFF && pixel[2] == 0 && flipped == 0 ? 0 : 2;
}
