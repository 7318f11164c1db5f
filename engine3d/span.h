// span.h: the span fillers of the textured triangle fillers. Four kinds
// (affine, affine through a shade table, perspective-correct, perspective
// through a shade table), each with one member per texture width: 256, 128,
// 64, 32 and 16 wrap texels by masking, "any" by a remainder. Every member
// is a SpanFiller: it fills one row of the render target from the current
// fields of render_state.
#pragma once

#include "raster.h"

void span_affine_256(int row, int x0, int x1);
void span_affine_128(int row, int x0, int x1);
void span_affine_64(int row, int x0, int x1);
void span_affine_32(int row, int x0, int x1);
void span_affine_16(int row, int x0, int x1);
void span_affine_any(int row, int x0, int x1);

void span_affine_shaded_256(int row, int x0, int x1);
void span_affine_shaded_128(int row, int x0, int x1);
void span_affine_shaded_64(int row, int x0, int x1);
void span_affine_shaded_32(int row, int x0, int x1);
void span_affine_shaded_16(int row, int x0, int x1);
void span_affine_shaded_any(int row, int x0, int x1);

void span_perspective_256(int row, int x0, int x1);
void span_perspective_128(int row, int x0, int x1);
void span_perspective_64(int row, int x0, int x1);
void span_perspective_32(int row, int x0, int x1);
void span_perspective_16(int row, int x0, int x1);
void span_perspective_any(int row, int x0, int x1);

void span_perspective_shaded_256(int row, int x0, int x1);
void span_perspective_shaded_128(int row, int x0, int x1);
void span_perspective_shaded_64(int row, int x0, int x1);
void span_perspective_shaded_32(int row, int x0, int x1);
void span_perspective_shaded_16(int row, int x0, int x1);
void span_perspective_shaded_any(int row, int x0, int x1);

enum SpanKind { SPAN_AFFINE, SPAN_AFFINE_SHADED, SPAN_PERSPECTIVE, SPAN_PERSPECTIVE_SHADED };

// The member of a kind for a texture width: the masked member for 256, 128,
// 64, 32 and 16, the remainder member for every other width.
SpanFiller span_choose(SpanKind kind, int tex_width);
