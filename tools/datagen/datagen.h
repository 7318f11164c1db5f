// datagen.h: the show's data generator: the shared canvas, palette ramps,
// text and file helpers, and one generator per group of files.
#pragma once

#include "skarn.h"

#include <cstdint>
#include <functional>
#include <string>

constexpr float pi_f = 3.14159265f;

// ---------------------------------------------------------------- canvas
// A picture being painted, in floating-point RGB (0..255 per component).
// It becomes an 8-bit picture only when it is quantized to a palette.
struct Canvas {
    int width;
    int height;
    float *rgb; // width * height * 3
};

// A coverage mask, 0..1 per pixel: text, shapes, glows.
struct Mask {
    int width;
    int height;
    float *cover;
};

Canvas *canvas_create(int width, int height);
void canvas_free(Canvas *c);
// Sets every pixel to the colour computed for it: the backgrounds.
void canvas_shade(Canvas *c, const std::function<void(int, int, float *)> &colour);
// Blends rgb over pixel (x, y) by alpha 0..1; pixels outside are ignored.
void canvas_blend(Canvas *c, int x, int y, const float rgb[3], float alpha);
// Blends rgb over the canvas wherever the mask covers, placed at (x, y).
void canvas_blend_mask(Canvas *c, const Mask *m, int x, int y, const float rgb[3], float opacity);
// Blends a colour computed per canvas pixel wherever the mask covers.
void canvas_paint(Canvas *c, const Mask *m, int x, int y, const std::function<void(int, int, float *)> &colour,
                  float opacity);
// Darkens towards black under m grown by radius (mask_grow): the outline
// that keeps lettering readable over a busy background.
void canvas_outline(Canvas *c, const Mask *m, int radius, float opacity);

Mask *mask_create(int width, int height);
void mask_free(Mask *m);
// Box blur of the given radius, done three times (close to a Gaussian).
void mask_blur(Mask *m, int radius);
// A new mask: m grown by about radius pixels (blurred and sharpened again),
// for outlines and shadows.
Mask *mask_grow(const Mask *m, int radius);
// Raises the coverage of pixel (x, y) to a (clamped to 0..1) where it is
// lower; pixels outside are ignored. Shapes and text draw through it.
void mask_max(Mask *m, int x, int y, float a);
// Antialiased filled shapes drawn into a mask (coverage is the maximum).
void mask_disc(Mask *m, float cx, float cy, float r);
void mask_ring(Mask *m, float cx, float cy, float r_in, float r_out);
// A filled polygon by the even-odd rule, 4 x 4 samples per pixel.
void mask_polygon(Mask *m, const float *xy, int n);

// ---------------------------------------------------------------- palettes
// A ramp runs from black through its hue to a light tint (near white);
// t = 0 is black, t = 1 the lightest entry.
struct Ramp {
    float mid[3];   // the pure hue, reached at t = knee
    float light[3]; // the tint at t = 1
    float knee;
};

void ramp_colour(const Ramp *r, float t, float out[3]);
// Fills count entries from base with the ramp at t = (i + 1) / count, so no
// ramp repeats black (entry 0 of a palette is black where the caller says so).
void palette_put_ramp(Palette *pal, int base, int count, const Ramp *r);
// Black at entry 0, then count ramps sharing the other entries evenly
// (255 / count each: 51 for five ramps, 85 for three): the palette form of
// the colourful pictures.
void palette_even_ramps(Palette *pal, const Ramp *ramps, int count);
// Entry i = (i, i, i): the grey ramp of the light maps and text pages.
void palette_make_grey(Palette *pal);

// Nearest palette entry of every pixel (the same search the show's remap
// uses), into a new Image; a cache keeps it fast on smooth pictures.
Image *canvas_quantize(const Canvas *c, const Palette *pal);

// ---------------------------------------------------------------- text
// Text drawn with FreeType from one of Debian's DejaVu fonts.
enum FontFace { font_bold = 0, font_regular = 1, font_condensed_bold = 2 };

void font_open(void);
void font_close(void);
// Extent of a line of text at a pixel size: advance width, and the ink box
// (top and bottom relative to the baseline, negative above it).
struct TextExtent {
    int advance;
    int ink_left, ink_right; // relative to the pen start
    int ink_top, ink_bottom; // relative to the baseline
};
TextExtent font_measure(FontFace face, int px, const char *text);
// Draws antialiased coverage into m with the pen at x and the baseline at y.
void font_draw(Mask *m, FontFace face, int px, int x, int y, const char *text);
// Width a line takes from where the pen starts: to the ink's right edge,
// and further when ink reaches left of the pen. What must fit a column.
int font_ink_width(const TextExtent &e);
// Draws the line centred across the mask (by its ink); returns its extent.
TextExtent font_draw_centred(Mask *m, FontFace face, int px, int y, const char *text);
// The largest pixel size from max_px down to min_px at which the text's
// advance fits width; 0 when none does.
int font_fit(FontFace face, const char *text, int width, int min_px, int max_px);
// The smallest font_fit of n lines: a size at which every line fits; 0 when
// one of them fits at no size.
int font_fit_lines(FontFace face, const char *const *lines, int n, int width, int min_px, int max_px);
// Cap height (ink height of "H") at a pixel size.
int font_cap_height(FontFace face, int px);

// ---------------------------------------------------------------- noise
// Deterministic value noise and helpers; every picture seeds its own.
uint32_t noise_hash(uint32_t x);
// Smooth noise in 0..1 that tiles with the given periods (in cells).
float noise_periodic(float x, float y, int period_x, int period_y, uint32_t seed);
float clampf(float v, float lo, float hi);
// A field of cells (one seed per cell of size px, jittered) that wraps
// around cols x rows cells: the nearest seed of a point and the distance
// from the point to the border between the two nearest cells.
struct CellField {
    int cols, rows, size;
    float *seed_x, *seed_y; // cols * rows each
};
CellField *cell_field_create(int cols, int rows, int size, uint32_t seed);
void cell_field_free(CellField *f);
// Index of the nearest seed; *edge = distance to the border (about),
// *dx, *dy = offset from the seed to the point.
int cell_field_query(const CellField *f, float x, float y, float *edge, float *dx, float *dy);
// Brightness (about 0..1) of a point of a grain picture: every cell a
// little pyramid lit from the top left (facet contrast), its own base
// brightness, dark seams between cells. *cell = the cell's index.
float cell_field_facet(const CellField *f, float x, float y, float contrast, int *cell);
// Hash of a cell index: the per-grain choices (hue, base brightness).
uint32_t cell_field_hash(int cell);
float smoothstep(float e0, float e1, float x);

// ---------------------------------------------------------------- output
// Writes path (relative to the data folder) with pcx_save; exits on failure.
void datagen_save(const char *path, const Image *img, const Palette *pal);
void datagen_save_canvas(const char *path, const Canvas *c, const Palette *pal);
// Prints "datagen: " and the formatted message, then exits with status 1.
[[noreturn]] void datagen_fail(const char *format, ...) __attribute__((format(printf, 1, 2)));

// The generators, one per part of the show (and the objects).
void gen_part1_titles(void);
void gen_part2_tunnel(void);
void gen_part4_pictures(void);
void gen_part5_pictures(void);
void gen_part6_pictures(void);
void gen_part7_pages(void);
void gen_part8_closing(void);
void gen_objects(void);
