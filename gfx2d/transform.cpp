// transform.cpp: the scaled blit, the rotate-and-scale blit, the rolls, the
// flip and mirror, and the palette remap.
#include "gfx2d.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

// Steps are in 1/1024 pixel: 10 fraction bits hold the source position
// exactly enough for any picture the show stretches, and the per-pixel cost
// is one addition and one shift. Sizes are widened to 64 bits so hostile
// arguments cannot overflow; for the sizes the show uses (size x 1024 well
// inside 32 bits) every result is the 32-bit one.
static inline int64_t blit_step(int64_t from, int64_t to)
{
    return from * 1024 / to;
}

void blit_scaled(Image *dst, int dx_in, int dy_in, int dw_in, int dh_in, const Image *src, int sx_in,
                 int sy_in, int sw_in, int sh_in, int key, int use_key)
{
    int64_t dx = dx_in, dy = dy_in, dw = dw_in, dh = dh_in;
    int64_t sx = sx_in, sy = sy_in, sw = sw_in, sh = sh_in;

    // Negative sizes count as empty.
    if (sx < 0 || sy < 0 || sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0)
        return;
    int64_t stepx = blit_step(sw, dw), stepy = blit_step(sh, dh);

    // Cut off what lies left of or above the destination: the visible part
    // shows the matching right-hand (lower) part of the source.
    if (dx < 0) {
        dw += dx;
        dx = 0;
        if (dw <= 0)
            return;  // wholly left of the destination
        int64_t t = (dw * stepx) >> 10;
        sx += sw - t;
        sw = t;
    }
    if (dy < 0) {
        dh += dy;
        dy = 0;
        if (dh <= 0)
            return;  // wholly above the destination
        int64_t t = (dh * stepy) >> 10;
        sy += sh - t;
        sh = t;
    }
    if (sx < 0 || sy < 0 || sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0)
        return;
    stepx = blit_step(sw, dw);
    stepy = blit_step(sh, dh);

    if (dx >= dst->width || dy >= dst->height)
        return;
    if (dx + dw > dst->width) {
        dw = dst->width - dx;
        sw = (dw * stepx) >> 10;
    }
    if (dy + dh > dst->height) {
        dh = dst->height - dy;
        sh = (dh * stepy) >> 10;
    }

    if (sx >= src->width || sy >= src->height)
        return;
    // A source running past its picture: what exists is stretched over the
    // whole destination rectangle.
    if (sx + sw > src->width)
        sw = src->width - sx;
    if (sy + sh > src->height)
        sh = src->height - sy;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0)
        return;
    stepx = blit_step(sw, dw);
    stepy = blit_step(sh, dh);

    const uint8_t keyb = (uint8_t)key;
    const bool keyed = (uint8_t)use_key != 0;
    int64_t fy = 0;
    for (int64_t r = 0; r < dh; r++, fy += stepy) {
        const uint8_t *srow = src->pixels + (size_t)(sy + (fy >> 10)) * (size_t)src->width + sx;
        uint8_t *drow = dst->pixels + (size_t)(dy + r) * (size_t)dst->width + dx;
        int64_t fx = 0;
        if (keyed) {
            for (int64_t c = 0; c < dw; c++, fx += stepx) {
                uint8_t s = srow[fx >> 10];
                if (s != keyb)
                    drow[c] = s;
            }
        } else {
            for (int64_t c = 0; c < dw; c++, fx += stepx)
                drow[c] = srow[fx >> 10];
        }
    }
}

void blit_rotate_scale(Image *dst, const Image *src, int x, int y, float scale, float angle, int key,
                       int use_key)
{
    const int w = src->width, h = src->height;
    if (w <= 0 || h <= 0)
        return;
    const int hw = w / 2, hh = h / 2;

    // 16.16 steps; a step that does not fit in 32 bits (or is not a number)
    // has no sensible picture, so nothing is drawn.
    const double cs = cos((double)angle) * (double)scale * 65536.0;
    const double sn = sin((double)angle) * (double)scale * 65536.0;
    if (!(fabs(cs) < 2147483648.0) || !(fabs(sn) < 2147483648.0))
        return;
    const uint32_t CS = (uint32_t)(int32_t)cs, SN = (uint32_t)(int32_t)sn;

    const uint8_t keyb = (uint8_t)key;
    const bool keyed = (uint8_t)use_key != 0;
    // Positions wrap in 32 bits as two's complement; unsigned arithmetic
    // gives that wrap without overflow.
    uint32_t row_u = (uint32_t)hw * 65536u - CS * (uint32_t)hw + SN * (uint32_t)hh;
    uint32_t row_v = (uint32_t)hh * 65536u - SN * (uint32_t)hw - CS * (uint32_t)hh;
    for (int i = 0; i < h; i++, row_u -= SN, row_v += CS) {
        const int64_t ty = (int64_t)y + i;
        if (ty < 0 || ty >= dst->height)
            continue;
        uint8_t *drow = dst->pixels + (size_t)ty * (size_t)dst->width;
        uint32_t u = row_u, v = row_v;
        for (int j = 0; j < w; j++, u += CS, v += SN) {
            const int64_t tx = (int64_t)x + j;
            const int32_t col = (int32_t)u >> 16, row = (int32_t)v >> 16;
            if (col < 0 || col >= w || row < 0 || row >= h || tx < 0 || tx >= dst->width)
                continue;
            const uint8_t s = src->pixels[(size_t)row * (size_t)w + (size_t)col];
            if (keyed && s == keyb)
                continue;
            drow[tx] = s;
        }
    }
}

// Moves the last s of the n bytes at p to the front (0 < s < n). Only the
// smaller part goes through scratch (at least min(s, n - s) bytes); the
// larger part moves in place.
static void bytes_rotate_right(uint8_t *p, size_t n, size_t s, uint8_t *scratch)
{
    if (s <= n - s) {
        memcpy(scratch, p + n - s, s);
        memmove(p + s, p, n - s);
        memcpy(p, scratch, s);
    } else {
        memcpy(scratch, p, n - s);
        memmove(p, p + n - s, s);
        memcpy(p + s, scratch, n - s);
    }
}

void image_roll_horizontal(Image *img, unsigned n)
{
    if (img->width <= 0 || img->height <= 0)
        return;
    const size_t w = (size_t)img->width;
    const size_t r = n % w;
    if (r == 0)
        return;
    uint8_t *scratch = (uint8_t *)malloc(std::min(r, w - r));
    if (!scratch)
        return;
    for (int y = 0; y < img->height; y++)
        bytes_rotate_right(img->pixels + (size_t)y * w, w, r, scratch);
    free(scratch);
}

void image_roll_vertical(Image *img, unsigned n)
{
    if (img->width <= 0 || img->height <= 0)
        return;
    const size_t w = (size_t)img->width, h = (size_t)img->height;
    const size_t r = n % h;
    if (r == 0)
        return;
    // Rolling the rows turns the whole buffer by r rows of w bytes.
    uint8_t *scratch = (uint8_t *)malloc(std::min(r, h - r) * w);
    if (!scratch)
        return;
    bytes_rotate_right(img->pixels, h * w, r * w, scratch);
    free(scratch);
}

void image_flip_vertical(Image *img)
{
    if (img->width <= 0 || img->height <= 0)
        return;
    const size_t w = (size_t)img->width;
    uint8_t *scratch = (uint8_t *)malloc(w);
    if (!scratch)
        return;
    for (int y = 0, z = img->height - 1; y < img->height / 2; y++, z--) {
        uint8_t *a = img->pixels + (size_t)y * w, *b = img->pixels + (size_t)z * w;
        memcpy(scratch, a, w);
        memcpy(a, b, w);
        memcpy(b, scratch, w);
    }
    free(scratch);
}

void image_mirror_horizontal(Image *img)
{
    if (img->width <= 0 || img->height <= 0)
        return;
    const size_t w = (size_t)img->width;
    for (int y = 0; y < img->height; y++) {
        uint8_t *row = img->pixels + (size_t)y * w;
        std::reverse(row, row + w);
    }
}

// Rebuilt on every call; two remaps must not run at once.
static uint8_t remap_map[256];

int image_remap_palette(Image *img, const Palette *from, const Palette *to)
{
    for (int j = 0; j < 256; j++) {
        const uint8_t *c = &from->rgb[j * 3];
        remap_map[j] = (uint8_t)palette_find_nearest(c[0] | c[1] << 8 | c[2] << 16, to);
    }
    if (img->width <= 0 || img->height <= 0)
        return 0;
    const size_t n = (size_t)img->width * (size_t)img->height;
    for (size_t i = 0; i < n; i++)
        img->pixels[i] = remap_map[img->pixels[i]];
    return 0;
}
