// blit.cpp: the rectangle blits. One clip and one row walk serve all six;
// the operation and whether the key is tested are template arguments, so
// each pixel loop is a load, at most one compare, the operation and a store.
#include "blit.h"

#include <algorithm>
#include <cstdint>

namespace {

enum BlitOp { BLIT_COPY, BLIT_XOR, BLIT_OR, BLIT_NOT, BLIT_ADD, BLIT_SUB };

// Cuts the rectangle to both images, moving source and destination corners
// together, so that a picture larger than the frame, or placed partly off
// it, only touches pixels inside both buffers. Returns false when nothing
// is left (negative sizes included).
bool blit_clip(const Image *dst, int *dx, int *dy, const Image *src, int *sx, int *sy, int *w,
               int *h)
{
    // 64 bits: corner plus size of hostile callers must not wrap.
    int64_t x0 = *dx, y0 = *dy, u0 = *sx, v0 = *sy, cw = *w, ch = *h;
    if (cw <= 0 || ch <= 0)
        return false;
    int64_t cut = std::max<int64_t>({0, -x0, -u0});
    x0 += cut, u0 += cut, cw -= cut;
    cut = std::max<int64_t>({0, -y0, -v0});
    y0 += cut, v0 += cut, ch -= cut;
    cw = std::min<int64_t>({cw, (int64_t)dst->width - x0, (int64_t)src->width - u0});
    ch = std::min<int64_t>({ch, (int64_t)dst->height - y0, (int64_t)src->height - v0});
    if (cw <= 0 || ch <= 0)
        return false;
    *dx = (int)x0, *dy = (int)y0, *sx = (int)u0, *sy = (int)v0, *w = (int)cw, *h = (int)ch;
    return true;
}

template <BlitOp op, bool keyed>
void blit_walk(Image *dst, int dx, int dy, const Image *src, int sx, int sy, int w, int h,
               int key)
{
    if (!blit_clip(dst, &dx, &dy, src, &sx, &sy, &w, &h))
        return;
    const uint8_t k = (uint8_t)key;
    const uint8_t *s = src->pixels + (size_t)sy * src->width + sx;
    uint8_t *d = dst->pixels + (size_t)dy * dst->width + dx;
    for (int row = 0; row < h; row++) {
        for (int x = 0; x < w; x++) {
            const uint8_t c = s[x];
            if (keyed && c == k)
                continue;
            if constexpr (op == BLIT_COPY) {
                d[x] = c;
            } else if constexpr (op == BLIT_XOR) {
                d[x] ^= c;
            } else if constexpr (op == BLIT_OR) {
                d[x] |= c;
            } else if constexpr (op == BLIT_NOT) {
                d[x] = (uint8_t)~c;
            } else if constexpr (op == BLIT_ADD) {
                const int sum = d[x] + c;  // in int, so the clamp sees the carry
                d[x] = (uint8_t)(sum > 255 ? 255 : sum);
            } else {
                const int diff = d[x] - c;
                d[x] = (uint8_t)(diff < 0 ? 0 : diff);
            }
        }
        // Each image keeps its own stride.
        s += src->width;
        d += dst->width;
    }
}

template <BlitOp op>
void blit_choose(bool keyed, Image *dst, int dx, int dy, const Image *src, int sx, int sy, int w,
                 int h, int key)
{
    if (keyed)
        blit_walk<op, true>(dst, dx, dy, src, sx, sy, w, h, key);
    else
        blit_walk<op, false>(dst, dx, dy, src, sx, sy, w, h, key);
}

}  // namespace

void blit_keyed(Image *dst, int dx, int dy, const Image *src, int sx, int sy, int w, int h,
                int key, int use_key)
{
    blit_choose<BLIT_COPY>((uint8_t)use_key != 0, dst, dx, dy, src, sx, sy, w, h, key);
}

void blit_xor_keyed(Image *dst, int dx, int dy, const Image *src, int sx, int sy, int w, int h,
                    int key)
{
    blit_walk<BLIT_XOR, true>(dst, dx, dy, src, sx, sy, w, h, key);
}

void blit_or_keyed(Image *dst, int dx, int dy, const Image *src, int sx, int sy, int w, int h,
                   int key)
{
    blit_walk<BLIT_OR, true>(dst, dx, dy, src, sx, sy, w, h, key);
}

void blit_not_keyed(Image *dst, int dx, int dy, const Image *src, int sx, int sy, int w, int h,
                    int key)
{
    blit_walk<BLIT_NOT, true>(dst, dx, dy, src, sx, sy, w, h, key);
}

void blit_add_saturate(Image *dst, int dx, int dy, const Image *src, int sx, int sy, int w, int h,
                       int key, int use_key)
{
    blit_choose<BLIT_ADD>((uint8_t)use_key == 1, dst, dx, dy, src, sx, sy, w, h, key);
}

void blit_sub_saturate(Image *dst, int dx, int dy, const Image *src, int sx, int sy, int w, int h,
                       int key, int use_key)
{
    blit_choose<BLIT_SUB>((uint8_t)use_key == 1, dst, dx, dy, src, sx, sy, w, h, key);
}
