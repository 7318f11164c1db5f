// draw.h: single-colour drawing into an Image: clipped lines, triangle
// outlines and fills, quads, filled rectangles, horizontal spans, circles.
// Only the low byte of a colour argument is written.
#pragma once

#include "../runtime/skarn.h"

// Bresenham line, clipped to the image; the end point (x1, y1) is not drawn
// unless both ends are the same point.
void draw_line(Image *img, int x0, int y0, int x1, int y1, int colour);
// Lines 0-1, 0-2, 1-2.
void draw_triangle_outline(Image *img, int x0, int y0, int x1, int y1, int x2, int y2, int colour);
// Scan-converted triangle, edges in 9-bit fixed point; rows and spans are
// cut to the image.
void draw_triangle_filled(Image *img, int x0, int y0, int x1, int y1, int x2, int y2, int colour);
// Triangles (0, 1, 2) and (0, 2, 3), filled or (outline low byte not 0) as
// lines; points are first moved onto the image.
void draw_quad(Image *img, int x0, int y0, int x1, int y1, int x2, int y2, int x3, int y3,
               int colour, int outline);
// Fills x0 <= x < x1, y0 <= y < y1 (corners in either order, clamped).
void draw_rect_filled(Image *img, int x0, int y0, int x1, int y1, int colour);
// Fills row y from the smaller to the larger x, both included, cut to the image.
void draw_hspan(Image *img, int x0, int y, int x1, int colour);
// Midpoint circle, every pixel once; points outside the image are skipped.
void draw_circle(Image *img, int cx, int cy, int r, int colour);
// As draw_circle, adding the colour to each pixel modulo 256.
void draw_circle_add(Image *img, int cx, int cy, int r, int colour);
