// blit.h: rectangle blits between two images: keyed copy, xor, or, not,
// saturating add and subtract. Every blit is clipped to both images.
#pragma once

#include "../runtime/skarn.h"

// All six copy the w x h rectangle at (sx, sy) of src onto (dx, dy) of dst.
// key: the transparent source colour (low byte). Key rules differ:
// blit_keyed skips key pixels when the low byte of use_key is not 0, the
// three bitwise blits always skip them, the saturating blits only when the
// low byte of use_key is exactly 1.
void blit_keyed(Image *dst, int dx, int dy, const Image *src, int sx, int sy, int w, int h,
                int key, int use_key);
void blit_xor_keyed(Image *dst, int dx, int dy, const Image *src, int sx, int sy, int w, int h,
                    int key);
void blit_or_keyed(Image *dst, int dx, int dy, const Image *src, int sx, int sy, int w, int h,
                   int key);
void blit_not_keyed(Image *dst, int dx, int dy, const Image *src, int sx, int sy, int w, int h,
                    int key);
void blit_add_saturate(Image *dst, int dx, int dy, const Image *src, int sx, int sy, int w, int h,
                       int key, int use_key);
void blit_sub_saturate(Image *dst, int dx, int dy, const Image *src, int sx, int sy, int w, int h,
                       int key, int use_key);
