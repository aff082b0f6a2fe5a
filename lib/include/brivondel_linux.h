/* Brivondel on Linux: what this build offers beside the operations of
 * brivondel.h. An application that wants a window of its own makes it
 * here, shows it, hands it to bv_set_dc and reads its events; a headless
 * program (SDL_VIDEODRIVER=offscreen) can hold keys down from a script and
 * read the page it drew. Everything runs on the thread that started the
 * display.
 */
#ifndef BRIVONDEL_LINUX_H
#define BRIVONDEL_LINUX_H
#include "brivondel.h"
#ifdef __cplusplus
extern "C" {
#endif

/* ---- The application's window ----------------------------------------- */
typedef struct BvWindowSpec {
    const char *title;
    const char *class_name;     /* the window's class, for the window manager */
    int32_t width, height;      /* windowed size; a full-screen window covers the desktop */
    int32_t fullscreen;         /* nonzero: borderless, top-most, over the whole desktop */
} BvWindowSpec;

/* Makes the window, hidden; null when it cannot be made (bv_display_error
 * says why). */
BvPlatWindow *bv_create_window(const BvWindowSpec *spec);
/* Shows it; 1 when that activated the application (it was not active
 * before), else 0. This activation comes as this result, never as an
 * event. */
int32_t bv_show_window(BvPlatWindow *window);
/* Destroys it; stop the display first when the display uses it. */
void bv_destroy_window(BvPlatWindow *window);

/* ---- Window events ----------------------------------------------------- */
enum {
    BV_EVENT_NONE = 0,
    BV_EVENT_ACTIVATE,          /* the application gained activation: redraw */
    BV_EVENT_DEACTIVATE,        /* lost it (focus away, minimised, hidden) */
    BV_EVENT_FOCUS_GAINED,      /* the window got the keyboard focus: select its palette again */
    BV_EVENT_KEY_DOWN,          /* key: a virtual-key code */
    BV_EVENT_CLOSE,             /* the user closed the window */
    BV_EVENT_QUIT
};
#define BV_VK_ESCAPE 27
#define BV_VK_F12 123
typedef struct BvEvent {
    int32_t kind;               /* BV_EVENT_ */
    int32_t key;
} BvEvent;
/* Takes one waiting event without blocking: 1 when one was taken, 0 when
 * none waits (or out is null). */
int32_t bv_poll_event(BvEvent *out);

/* ---- Display set-up ---------------------------------------------------- */
/* Why the last window or display could not be made, in one line; "" when
 * it could. */
const char *bv_display_error(void);
/* 16-bit pages are RGB565 unless this asks for RGB555 (nonzero); takes
 * effect when the next bv_start_display makes the pages (a start without a
 * stop keeps them). */
void bv_use_rgb555(int32_t on);

/* ---- Headless runs ----------------------------------------------------- */
/* Holds these keys down, by set-1 scan code (0 ends the list early; 0xE0nn
 * names the grey extended key nn), in place of the real keyboard until
 * bv_release_fed_keys: no mouse button is down and no lock key is on
 * meanwhile. Each call replaces the previous set; a null list holds none. */
void bv_feed_keys(const int32_t *scan_codes, int32_t count);
void bv_release_fed_keys(void);

/* The current page's pixels as they lie in memory. */
typedef struct BvPageInfo {
    int32_t width, height;
    int32_t bits_per_pixel;     /* 8, 16, 24 or 32 */
    int32_t rgb555;             /* 16-bit pixels are 5-5-5, not 5-6-5 */
} BvPageInfo;
/* Copies the current page, top row first, width x bytes-per-pixel bytes a
 * row with no padding, into `pixels` (`size` bytes; null to learn only the
 * info). 8-bit pixels index bv_palette.log_palette. 0 on success; -1 when
 * no page is current, the page cannot be locked or `size` is too small
 * (no pixel is written then; info is filled whenever a page is current). */
int32_t bv_copy_page(void *pixels, size_t size, BvPageInfo *info);

#ifdef __cplusplus
}
#endif
#endif
