// transform.h: whole-picture and stretched operations on Image records:
// the clipping scaled blit (also the display back ends' scaler), the
// rotate-and-scale blit, row and column rolls, flip, mirror and the
// palette remap.
#pragma once

#include "../runtime/skarn.h"

// Stretches the source rectangle (sx, sy, sw x sh) onto the destination
// rectangle (dx, dy, dw x dh), nearest neighbour in 1/1024-pixel steps,
// clipped to both images. Source pixels equal to the low byte of key are
// skipped when the low byte of use_key is set.
void blit_scaled(Image *dst, int dx, int dy, int dw, int dh, const Image *src, int sx, int sy, int sw,
                 int sh, int key, int use_key);

// Fills the src-sized area of dst at (x, y) with src turned by angle
// (radians) about its centre, scale source pixels per destination pixel.
// Destination pixels outside dst, and those whose source position falls
// outside src, are left alone.
void blit_rotate_scale(Image *dst, const Image *src, int x, int y, float scale, float angle, int key,
                       int use_key);

// Pixel x moves to (x + n) mod width in every row.
void image_roll_horizontal(Image *img, unsigned n);
// Row y moves to (y + n) mod height.
void image_roll_vertical(Image *img, unsigned n);
// Row y and row height-1-y change places.
void image_flip_vertical(Image *img);
// Pixel x and pixel width-1-x change places in every row.
void image_mirror_horizontal(Image *img);

// Every pixel p becomes the index of the `to` colour nearest to colour p of
// `from`. Returns 0. Uses one static map: not re-entrant.
int image_remap_palette(Image *img, const Palette *from, const Palette *to);
