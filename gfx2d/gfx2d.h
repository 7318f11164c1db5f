// gfx2d.h: the 2D graphics library's chief header. The Image record itself
// is declared in the runtime's chief header; the operations on it are
// grouped by kind below.
#pragma once

#include "../runtime/skarn.h"

#include "blit.h"       // rectangle blits
#include "transform.h"  // scaled blit, rotozoom, rolls, mirror, flip, palette remap
#include "draw.h"       // lines, triangles, quads, rectangles, circles
#include "poly.h"       // convex polygon fillers
#include "blur.h"       // blur and feedback filters
