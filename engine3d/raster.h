// raster.h: the global render target and the seven triangle fillers of the
// 3D engine (flat, Gouraud, shade-table Gouraud, affine and perspective
// texture, each texture kind also through a shade table). The fillers share
// one scan-conversion skeleton in 16.16 fixed point; the textured ones hand
// every row to a span filler (span.h).
#pragma once

#include "../runtime/skarn.h"
#include "object.h"  // TexCoords

// Rows the render target can have: the size of the row pointer table.
constexpr int RENDER_MAX_ROWS = 1024;

// Fills row `row` from column x0 to column x1 inclusive out of render_state.
typedef void (*SpanFiller)(int row, int x0, int x1);

// The render target and the parameter block of the current filler call.
struct RenderState {
    uint8_t *end;            // one past the target's last pixel
    uint8_t *pixels;         // the target's first pixel
    int32_t width;           // row stride and clip width
    int32_t height;          // clip height
    int32_t size;            // width x height
    uint8_t *rows[RENDER_MAX_ROWS];  // rows[i] = pixels + i x width, for rows that exist
    const uint8_t *texture;  // current texture: texture_width rows of texture_width bytes
    int32_t texture_width;
    SpanFiller span;         // span filler chosen for the current texture width
    float uz, vz, iz;        // u/z, v/z, 1/z at the left end of the current row
    float duz, dvz, diz;     // their change per pixel
    float duz16, dvz16, diz16;  // their change per 16 pixels
    int32_t level;           // 16.16 light level at the left end of the row
    int32_t dlevel;          // its change per pixel
    int32_t u, du;           // 16.16 texel column at the left end, change per pixel
    int32_t v, dv;           // 16.16 texel row at the left end, change per pixel
    const ShadeTable *shade_table;
};

// Screen corners a, b, c in whole pixels (y downward, row 0 at the top).
struct ScreenTriangle {
    int32_t xa, ya;
    int32_t xb, yb;
    int32_t xc, yc;
};

// Per corner: a light level (plain integer) and the view depth (> 0).
struct TriangleShading {
    int32_t level_a, depth_a;
    int32_t level_b, depth_b;
    int32_t level_c, depth_c;
};

extern RenderState render_state;

// Points the fillers at a width x height picture. A target with no rows,
// no columns or more rows than RENDER_MAX_ROWS gets no row pointers and the
// fillers draw nothing into it.
void render_set_target(uint8_t *pixels, int width, int height);

void tri_fill_flat(const ScreenTriangle *xy, unsigned colour);
void tri_fill_gouraud(const ScreenTriangle *xy, const TriangleShading *shade);
void tri_fill_gouraud_shaded(const ScreenTriangle *xy, const TriangleShading *shade,
                             unsigned colour, const ShadeTable *table);
void tri_fill_affine(const uint8_t *tex, int tex_width, const ScreenTriangle *xy,
                     const TexCoords *uv);
void tri_fill_affine_shaded(const uint8_t *tex, int tex_width, const ScreenTriangle *xy,
                            const TexCoords *uv, const TriangleShading *shade,
                            const ShadeTable *table);
void tri_fill_perspective(const uint8_t *tex, int tex_width, const ScreenTriangle *xy,
                          const TexCoords *uv, const TriangleShading *shade);
void tri_fill_perspective_shaded(const uint8_t *tex, int tex_width, const ScreenTriangle *xy,
                                 const TexCoords *uv, const TriangleShading *shade,
                                 const ShadeTable *table);

// Shade-table row of a 16.16 light level, held to the table's 64 rows.
inline int raster_shade_row(int32_t level)
{
    int row = level >> 16;
    return row < 0 ? 0 : (row > 63 ? 63 : row);
}
