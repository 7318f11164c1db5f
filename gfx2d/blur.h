// blur.h: blur and feedback filters over 8-bit buffers (row stride = width).
#pragma once

#include "../runtime/skarn.h"

// In place, one pass in memory order; each new value feeds the next pixel,
// so the filter smears as well as softens. The low byte of fade is taken
// off every new value (not below 0). Heights below 2 leave buf unchanged.
void blur_fade(uint8_t *buf, int width, int height, unsigned fade);
// As blur_fade, with weight 4 on the running value and its two lower
// samples taken offset columns right and left (low bytes of fade and
// offset). An offset larger than the width leaves buf unchanged.
void blur_fade_offset(uint8_t *buf, int width, int height, unsigned fade, unsigned offset);
// Plain five-point blur of src into dst (no overlap); edges and corners use
// their own kernels. Width or height of 1 copies src.
void blur_copy(uint8_t *dst, const uint8_t *src, unsigned width, unsigned height);
