// raster.h: the global render target of the triangle fillers.
#pragma once

#include "../runtime/skarn.h"

void render_set_target(uint8_t *pixels, int width, int height);
