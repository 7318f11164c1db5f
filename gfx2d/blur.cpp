// blur.cpp: the in-place fading blurs and the copying blur.
//
// The in-place filters keep the new value of the previous pixel in r (a
// register, never read back from the buffer). The pixel above has already
// been recomputed when it is read; the right and lower samples are still old.
// Fade 0 has its own instantiation without the clamp (f3 and f2 are 0 there):
// it is the common case of the show.
#include "blur.h"

#include <cstring>

namespace {

// The new value from a weighted sum: (sum >> shift) - fade, not below 0.
// The fade is taken off before the shift as fade << shift (exact, as the
// shift drops only bits below it), and callers fold it into the samples that
// do not depend on the running value, so the chain from one pixel to the
// next is only add, clamp and shift.
template <bool fading>
inline int blur_step(int sum, int shift)
{
    if constexpr (fading)
        sum = sum < 0 ? 0 : sum;
    return sum >> shift;
}

template <bool fading>
void blur_fade_pass(uint8_t *buf, int width, int height, int fade)
{
    const int n = width * height;
    const int last_row = n - width;
    const int f3 = fade << 3;
    int r = buf[0];
    int i = 0;
    for (; i < width; i++) {
        r = blur_step<fading>(r + (4 * buf[i] + buf[i + 1] + 2 * buf[i + width] - f3), 3);
        buf[i] = (uint8_t)r;
    }
    for (; i < last_row; i++) {
        r = blur_step<fading>(
            r + (4 * buf[i] + buf[i + 1] + buf[i + width] + buf[i - width] - f3), 3);
        buf[i] = (uint8_t)r;
    }
    // Last row: no row below. With fade the right neighbour still counts;
    // without it the running value takes its weight.
    for (; i < n - 1; i++) {
        if constexpr (fading)
            r = blur_step<true>(r + (4 * buf[i] + buf[i + 1] + 2 * buf[i - width] - f3), 3);
        else
            r = (2 * r + 4 * buf[i] + 2 * buf[i - width]) >> 3;
        buf[i] = (uint8_t)r;
    }
    buf[n - 1] = (uint8_t)r;  // the last pixel repeats its predecessor, unfaded
}

template <bool fading>
void blur_fade_offset_pass(uint8_t *buf, int width, int height, int fade, int o)
{
    const int n = width * height;
    const int last_row = n - width;
    const int below = width - o;  // the lower sample lies o columns left of below
    const int f3 = fade << 3, f2 = fade << 2;
    int r = buf[0];
    int i = 0;
    for (; i < width; i++) {
        r = blur_step<fading>(4 * r + (buf[i] + buf[i + o] + 2 * buf[i + below] - f3), 3);
        buf[i] = (uint8_t)r;
    }
    for (; i < last_row; i++) {
        r = blur_step<fading>(
            4 * r + (buf[i] + buf[i + o] + buf[i + below] + buf[i - width] - f3), 3);
        buf[i] = (uint8_t)r;
    }
    for (; i < n - 1; i++) {
        r = blur_step<fading>(2 * r + (buf[i] + buf[i - width] - f2), 2);
        buf[i] = (uint8_t)r;
    }
    // The last pixel keeps its old value.
}

}  // namespace

void blur_fade(uint8_t *buf, int width, int height, unsigned fade)
{
    // The first and last rows read the row below or above: two rows at least.
    if (width < 1 || height < 2)
        return;
    const int f = (int)(fade & 0xFF);
    if (f)
        blur_fade_pass<true>(buf, width, height, f);
    else
        blur_fade_pass<false>(buf, width, height, 0);
}

void blur_fade_offset(uint8_t *buf, int width, int height, unsigned fade, unsigned offset)
{
    const int o = (int)(offset & 0xFF);
    // The samples at i + o and i + width - o stay inside two rows only when
    // the offset is at most the width.
    if (width < 1 || height < 2 || o > width)
        return;
    const int f = (int)(fade & 0xFF);
    if (f)
        blur_fade_offset_pass<true>(buf, width, height, f, o);
    else
        blur_fade_offset_pass<false>(buf, width, height, 0, o);
}

void blur_copy(uint8_t *dst, const uint8_t *src, unsigned width, unsigned height)
{
    if (width <= 1 || height <= 1) {
        memcpy(dst, src, (size_t)width * height);
        return;
    }
    const size_t w = width;
    const unsigned xl = width - 1, yl = height - 1;
    for (unsigned y = 0; y < height; y++) {
        const uint8_t *s = src + y * w;
        uint8_t *d = dst + y * w;
        if (y == 0 || y == yl) {
            // The top and bottom rows take their one neighbour row.
            const uint8_t *n = y == 0 ? s + w : s - w;
            d[0] = (uint8_t)((s[1] + 2 * s[0] + n[0]) >> 2);
            for (unsigned x = 1; x < xl; x++)
                d[x] = (uint8_t)((s[x - 1] + s[x] + s[x + 1] + n[x]) >> 2);
            d[xl] = (uint8_t)((s[xl - 1] + 2 * s[xl] + n[xl]) >> 2);
        } else {
            const uint8_t *up = s - w, *down = s + w;
            d[0] = (uint8_t)((s[0] + up[0] + down[0] + s[1]) >> 2);
            for (unsigned x = 1; x < xl; x++)
                d[x] = (uint8_t)((s[x - 1] + up[x] + 4 * s[x] + down[x] + s[x + 1]) >> 3);
            d[xl] = (uint8_t)((s[xl] + up[xl] + down[xl] + s[xl - 1]) >> 2);
        }
    }
}
