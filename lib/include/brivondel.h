/* Brivondel: a small graphics library.
 *
 * The library is a set of free bv_ operations over a few library-global
 * records. Everything runs on one thread; no operation is reentrant.
 * Operations return 0 on success, small negative codes on failure (the
 * PCX reader returns 1..4), or a handle where they make one. Where an
 * operation passes on a platform result (bv_flip, bv_fill_page, the depth
 * buffer clears of a 3D device), it is one of the BV_ERR_ codes below;
 * bv_display.result holds them too.
 *
 * brivondel_linux.h adds what the Linux build offers beside these: the
 * application's window and its events, and headless use.
 */
#ifndef BRIVONDEL_H
#define BRIVONDEL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Platform objects, opaque outside the platform layer. */
typedef struct BvPlatDisplay BvPlatDisplay;
typedef struct BvPlatSurface BvPlatSurface;
typedef struct BvPlatPalette BvPlatPalette;
typedef struct BvPlatWindow BvPlatWindow;
typedef struct BvPlatDevice BvPlatDevice;

/* A window palette made by bv_make_palette; the caller deletes it with
 * bv_delete_palette. */
typedef BvPlatPalette *bv_hpalette;

/* A depth buffer: a memory block or the device's z-buffer surface. */
typedef struct BvZBuffer *bv_zbuffer;

/* ---- Platform result codes -------------------------------------------- */
#define BV_OK 0
#define BV_ERR_GENERIC ((int32_t)0x80004005u)         /* unspecified failure */
#define BV_ERR_OUT_OF_MEMORY ((int32_t)0x8007000Eu)
#define BV_ERR_INVALID ((int32_t)0x80070057u)         /* an argument the platform refuses */
#define BV_ERR_NO_VIDEO ((int32_t)0x88760078u)        /* no display to open */
#define BV_ERR_INVALID_OBJECT ((int32_t)0x88760082u)  /* the object is gone or was never made */
#define BV_ERR_SURFACE_BUSY ((int32_t)0x887601AEu)    /* page 0 is locked: the device cannot draw */
#define BV_ERR_SURFACE_LOST ((int32_t)0x887601C2u)    /* restore the surface and try again */
#define BV_ERR_NO_EXCLUSIVE_MODE ((int32_t)0x887601E1u)
#define BV_ERR_NOT_FOUND ((int32_t)0x887600FFu)
#define BV_ERR_NOT_FLIPPABLE ((int32_t)0x88760246u)
#define BV_ERR_NOT_LOCKED ((int32_t)0x88760248u)
#define BV_ERR_WRONG_MODE ((int32_t)0x8876024Bu)
#define BV_ERR_UNSUPPORTED_MODE ((int32_t)0x8876024Eu) /* the display refuses this size or depth */

/* ---- Display (library state and start-up) ---------------------------- */

enum {
    BV_DISPLAY_FLIP = 1,        /* page flipping; page 0 is the back buffer */
    BV_DISPLAY_SOFT_3D = 2,     /* a software 3D device may be used */
    BV_DISPLAY_HARD_3D = 4,     /* a hardware 3D device may be used */
    BV_DISPLAY_ZBUFFER = 8,     /* the 3D device must have a z-buffer */
    BV_DISPLAY_NO_ALT_DEPTH = 16 /* no 24 <-> 32 retry */
};

#define BV_CAPS_3DDEVICE 0x2000u
/* bv_display.device_kind, and what bv_start_display returns. */
enum {
    BV_DEVICE_NOT_STARTED = -1, /* not started, start-up failed, or stopped */
    BV_DEVICE_NONE = 0,         /* the library's own rasterizers draw */
    BV_DEVICE_SOFTWARE = 1,     /* a software 3D device draws page 0 */
    BV_DEVICE_HARDWARE = 2      /* a hardware 3D device draws page 0 */
};

typedef struct DisplayState {
    int32_t width, height;
    int32_t depth;              /* 0: windowed on the desktop's mode */
    uint32_t flags;             /* option bits 0..4 */
    uint32_t extra_caps;
    BvPlatDisplay *ddraw;       /* the display object */
    BvPlatSurface *primary;     /* the primary (front) surface */
    BvPlatPalette *palette;     /* display palette, modes of 8 bits or fewer */
    void *clipper;              /* windowed operation only */
    BvPlatWindow *window;       /* the application's window taken at start-up (the focused one,
                                 * else the newest); null when the display made its own */
    void *d3d;                  /* 3D interface: non-null once set-up ran */
    BvPlatDevice *device;       /* the 3D device drawing into page 0 */
    void *viewport;
    BvPlatSurface *zsurface;    /* the device's z-buffer */
    int32_t zenabled;
    int32_t device_kind;        /* BV_DEVICE_ */
    int32_t result;             /* last (first failing) platform result */
    uint32_t red_mask, green_mask, blue_mask, alpha_mask;
    uint32_t rgb16_format;      /* bytes: green shift, green width, green max */
    BvPlatWindow *dc;           /* the window given to bv_set_dc */
    BvPlatWindow *text_dc;
    void *memory_dc;
    int32_t font;               /* stock font selected at start-up */
    int32_t line_height, external_leading, avg_char_width;
} DisplayState;

extern DisplayState bv_display;

int32_t bv_config_display(int32_t width, int32_t height, int32_t depth, int32_t flags);
int32_t bv_set_dc(BvPlatWindow *dc);
int32_t bv_start_display(void);
int32_t bv_stop_display(void);
int32_t bv_screen_depth(void);
int32_t bv_select_stock_font(int32_t stock_object);

/* ---- Pages, colour, fill and flip ------------------------------------ */

#define BV_PAGE_COUNT 256

typedef struct PageTable {
    BvPlatSurface *surface[BV_PAGE_COUNT];  /* null marks an empty slot */
    int32_t bits_per_pixel[BV_PAGE_COUNT];
    int32_t pitch[BV_PAGE_COUNT];
    int32_t width[BV_PAGE_COUNT];
    int32_t height[BV_PAGE_COUNT];
    int32_t clip_min_x[BV_PAGE_COUNT];
    int32_t clip_max_x[BV_PAGE_COUNT];
    int32_t clip_min_y[BV_PAGE_COUNT];
    int32_t clip_max_y[BV_PAGE_COUNT];
} PageTable;

extern PageTable bv_pages;

typedef struct ColorState {
    uint32_t color;             /* current colour, encoded and repeated to 32 bits */
    uint8_t color_map[256];     /* colour number -> palette index on 8-bit pages */
    uint8_t pixel_lut[1024];    /* palette entry -> pixel of the current page's depth */
    int32_t dib_depth;          /* device-independent bitmap settings */
    int32_t dib_header_size;
    int32_t dib_info_size;
    int32_t dib_pal_indices;
} ColorState;

extern ColorState bv_colors;

int32_t bv_select_page(uint32_t page);
void bv_deselect_page(void);
int32_t bv_set_dib_depth(int32_t bits_per_pixel);
int32_t bv_attach_palette(void);
int32_t bv_set_color(int32_t color);
int32_t bv_fill_page(void);
int32_t bv_3d_scene(int32_t mode);
int32_t bv_flip(void);

/* ---- Drawing target and depth buffer --------------------------------- */

typedef struct DrawTarget {
    int32_t page;               /* -1 when no page is current */
    BvPlatSurface *surface;
    uint8_t *base;              /* pixel (0,0), valid while locked */
    int32_t pitch;
    int32_t bits_per_pixel;
    int32_t width, height;
    int32_t clip_min_x, clip_max_x;
    int32_t clip_min_y, clip_max_y;
    int32_t origin_x, origin_y;
    int32_t lock_depth;
    uint32_t *zbuffer;          /* software depth buffer last opened */
    uint32_t zstamp;            /* frame stamp in the top 8 bits */
    uint32_t zbuffer_capacity;  /* entries behind zbuffer; 0 when none */
    int32_t lock_failed;        /* the outermost lock failed: draw nothing */
} DrawTarget;

extern DrawTarget bv_target;

bv_zbuffer bv_alloc_zbuffer(int32_t width, int32_t height);
int32_t bv_open_zbuffer(bv_zbuffer handle);
int32_t bv_zbuffer_frame(void);
int32_t bv_free_zbuffer(bv_zbuffer handle);

/* ---- Palettes --------------------------------------------------------- */

typedef struct PaletteEntry { uint8_t red, green, blue, flags; } PaletteEntry;
typedef struct RgbQuad { uint8_t blue, green, red, reserved; } RgbQuad;

#define BV_PC_RESERVED 1

typedef struct LogPalette {
    uint16_t version;           /* 0x300 */
    uint16_t count;             /* 256 */
    PaletteEntry entries[256];
} LogPalette;

typedef struct PaletteState {
    LogPalette log_palette;
    RgbQuad dib_colors[256];
    bv_hpalette current_hpal;
    bv_hpalette saved_hpal;
} PaletteState;

extern PaletteState bv_palette;
extern const uint8_t default_palette[256][3];

bv_hpalette bv_make_palette(void);
int32_t bv_use_palette(bv_hpalette palette);
int32_t bv_set_palette(int32_t start, int32_t count, const uint8_t *rgb);
int32_t bv_reduce_colors(int32_t start, int32_t count, uint8_t *rgb);
int32_t bv_delete_palette(bv_hpalette palette);

/* ---- PCX reader ------------------------------------------------------- */

enum {
    BV_PCX_KEEP_PALETTE = 1,
    BV_PCX_AT_CURSOR = 2,
    BV_PCX_FROM_BUFFER = 4,
    BV_PCX_NO_REDUCE = 8
};

typedef struct ImageBufferState {
    uint8_t *image_buffer;
    uint32_t image_buffer_size;
} ImageBufferState;

extern ImageBufferState bv_image;

int32_t bv_load_pcx(const char *file_name, int32_t flags);
/* Points the reader's buffer at caller memory (at least 128 bytes): -1 if
 * the pointer is null or the size too small. The memory must stay alive
 * while it is set; file reads go through it. bv_start_display points the
 * buffer back at the library's own 4096 bytes. */
int32_t bv_set_image_buffer(uint8_t *buffer, uint32_t size);

/* ---- Graphics cursor and pixel blocks --------------------------------- */

typedef struct CursorState { int32_t cursor_x, cursor_y; } CursorState;

extern CursorState bv_cursor;

int32_t bv_move_to(int32_t x, int32_t y);
int32_t bv_move_by(int32_t dx, int32_t dy);
int32_t bv_get_block(void *block, int32_t width, int32_t height);
int32_t bv_flip_block(void *block, int32_t width, int32_t height);

/* ---- 3D view ---------------------------------------------------------- */

enum { RF_PERSPECTIVE = 1, RF_DEPTH = 4, RF_CLIP = 8 };

typedef struct View3DState {
    double far_z;
    double near_z;
    double transform[3][4];     /* row-major: rotation | translation */
    double scale_x, scale_y;
    int32_t centre_x, centre_y;
    int32_t flags;
} View3DState;

extern View3DState bv_view;

int32_t bv_set_3d_flags(int32_t flags);
int32_t bv_set_3d_depth(double near_z, double far_z);
int32_t bv_set_3d_viewport(int32_t xmin, int32_t xmax, int32_t ymin, int32_t ymax, double factor);
int32_t bv_set_3d_pose(double x, double y, double z, int32_t angle_x, int32_t angle_y, int32_t angle_z);
int32_t bv_sincos(int32_t angle, double *cosine, double *sine);

/* ---- Polygon pipeline ------------------------------------------------- */

typedef struct Vertex3 { double x, y, z; } Vertex3;
typedef struct ScreenPoint { int32_t x, y; } ScreenPoint;
typedef struct TexCoord { int32_t u, v; } TexCoord;

int32_t bv_draw_3d_poly(const Vertex3 *verts, const TexCoord *tex, uint32_t count);

/* ---- Texture table ---------------------------------------------------- */

typedef struct TextureEntry {
    uintptr_t texels;           /* memory: block address; device: texture name. 0 = free */
    BvPlatSurface *surface;     /* device texture storage; null for memory textures */
    int32_t width, height;
    int32_t texel_bytes;        /* bytes per texel of the page it was defined on; 0 with no
                                 * page: it takes that of the page it is drawn on */
} TextureEntry;

typedef struct TextureState {
    uintptr_t current_texels;
    int32_t texture_count;
    int32_t current_height;
    TextureEntry *texture_table;
    int32_t current_width;
    int32_t current_texel_bytes;
} TextureState;

extern TextureState bv_textures;

int32_t bv_alloc_textures(int32_t count);
int32_t bv_define_texture(const void *pixels, int32_t width, int32_t height);
int32_t bv_select_texture(int32_t handle);
int32_t bv_free_texture(int32_t handle);

/* ---- Keyboard --------------------------------------------------------- */

/* 1 while the key with this set-1 scan code is down; scan code 0 asks
 * whether any key or a mouse button other than the left one is down. */
int32_t bv_key_pressed(int32_t scan_code);

#ifdef __cplusplus
}
#endif

#endif
