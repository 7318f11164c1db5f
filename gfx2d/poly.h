// poly.h: scan-line fillers for convex polygons of any number of corners
// (flat, affine textured, Gouraud, Gouraud through a shade table, textured
// through a shade-table row), over two caller-owned edge tables.
#pragma once

#include "../runtime/skarn.h"

// A polygon corner in pixels, or a corner's texel position (x = u, y = v).
struct PolygonPoint {
    int32_t x;
    int32_t y;
};

// One row of an edge table: the boundary column in whole pixels and two
// attributes in 16.16 (texture u and v, or the light level in a).
struct ScanlineEdge {
    int32_t x;
    int32_t a;
    int32_t b;
};

// A corner's light for the Gouraud fillers: a palette index or a shade row
// (0..63); the second value is not read.
struct PolygonLight {
    int32_t level;
    int32_t unused;
};

// Common arguments: dst pixels (stride = width), width, height, two edge
// tables of at least height entries each, the n corners in order around the
// polygon (either direction). Rows are drawn from the top corner down to,
// not including, the bottom corner; each span from its left boundary up to,
// not including, its right one; everything cut to the buffer. n < 3 draws
// nothing. Textures are tw x th bytes (stride tw) and repeat both ways.
void poly_fill_flat(uint8_t *dst, int width, int height, ScanlineEdge *edges1,
                    ScanlineEdge *edges2, const PolygonPoint *points, int n, unsigned colour);
void poly_fill_textured(uint8_t *dst, int width, int height, ScanlineEdge *edges1,
                        ScanlineEdge *edges2, const PolygonPoint *points, const PolygonPoint *uv,
                        int n, const uint8_t *tex, int tw, int th);
void poly_fill_gouraud(uint8_t *dst, int width, int height, ScanlineEdge *edges1,
                       ScanlineEdge *edges2, const PolygonPoint *points, const PolygonLight *light,
                       int n);
void poly_fill_gouraud_shaded(uint8_t *dst, int width, int height, ScanlineEdge *edges1,
                              ScanlineEdge *edges2, const PolygonPoint *points,
                              const PolygonLight *light, int n, unsigned colour,
                              const ShadeTable *table);
void poly_fill_textured_shaded(uint8_t *dst, int width, int height, ScanlineEdge *edges1,
                               ScanlineEdge *edges2, const PolygonPoint *points,
                               const PolygonPoint *uv, int n, const uint8_t *tex, int tw, int th,
                               int level, const ShadeTable *table);
