// Fuzzes the image transforms: pictures of 0..40 pixels a side in exactly
// sized heap blocks (so any stray access trips the address sanitizer), with
// rectangles and offsets anywhere in the 32-bit range, and a check that the
// scaled blit writes only inside its clipped destination rectangle.
#include "gfx2d.h"
#include "../gfx2d/fuzz_input.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Mostly small values near the pictures, sometimes anything.
int32_t coord(FuzzInput &in)
{
    const uint8_t kind = in.u8();
    if (kind < 200)
        return (int32_t)(int8_t)in.u8();
    if (kind < 240) {
        const int high = in.u8();
        return (int32_t)(int16_t)(high << 8 | in.u8());
    }
    return (int32_t)in.u32();
}

Image *make(int w, int h, uint8_t seed)
{
    Image *img = (Image *)malloc(sizeof(Image));
    img->width = w;
    img->height = h;
    img->pixels = (uint8_t *)malloc((size_t)w * h ? (size_t)w * h : 1);
    for (int i = 0; i < w * h; i++)
        img->pixels[i] = (uint8_t)(seed + i * 7);
    return img;
}

void release(Image *img)
{
    free(img->pixels);
    free(img);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in{data, size};
    const int dw0 = in.u8() % 41, dh0 = in.u8() % 41, sw0 = in.u8() % 41, sh0 = in.u8() % 41;
    Image *dst = make(dw0, dh0, 1), *src = make(sw0, sh0, 2);
    const uint8_t op = in.u8() % 6;
    switch (op) {
    case 0: {
        const int dx = coord(in), dy = coord(in), dw = coord(in), dh = coord(in);
        const int sx = coord(in), sy = coord(in), sw = coord(in), sh = coord(in);
        const int key = in.u8(), use_key = in.u8() & 1;
        uint8_t *before = (uint8_t *)malloc((size_t)dw0 * dh0 + 1);
        memcpy(before, dst->pixels, (size_t)dw0 * dh0);
        blit_scaled(dst, dx, dy, dw, dh, src, sx, sy, sw, sh, key, use_key);
        // Nothing may change outside the destination rectangle.
        for (int y = 0; y < dh0; y++)
            for (int x = 0; x < dw0; x++) {
                const bool inside = dw > 0 && dh > 0 && (int64_t)x >= dx && (int64_t)x < (int64_t)dx + dw &&
                                    (int64_t)y >= dy && (int64_t)y < (int64_t)dy + dh;
                if (!inside && dst->pixels[y * dw0 + x] != before[y * dw0 + x])
                    abort();
            }
        free(before);
        break;
    }
    case 1: {
        const int x = coord(in), y = coord(in);
        float scale, angle;
        int32_t a = (int32_t)in.u32(), b = (int32_t)in.u32();
        memcpy(&scale, &a, 4);
        memcpy(&angle, &b, 4);
        if (in.u8() & 1) {  // mostly sensible values
            scale = (float)(a % 4000) / 1000.0f;
            angle = (float)(b % 7000) / 1000.0f;
        }
        blit_rotate_scale(dst, src, x, y, scale, angle, in.u8(), in.u8() & 1);
        break;
    }
    case 2:
        image_roll_horizontal(dst, in.u32());
        break;
    case 3:
        image_roll_vertical(dst, in.u32());
        break;
    case 4:
        image_flip_vertical(dst);
        image_mirror_horizontal(dst);
        break;
    default: {
        Palette a, b;
        for (int i = 0; i < 768; i++) {
            a.rgb[i] = in.u8();
            b.rgb[i] = (uint8_t)(i * 31);
        }
        image_remap_palette(dst, &a, &b);
        break;
    }
    }
    release(dst);
    release(src);
    return 0;
}
