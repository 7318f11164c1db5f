// pixel_convert.cpp: channel descriptors, pixel lookup and frame conversion
// for the true-colour back ends (X11 and the framebuffer console).
#include "pixel_convert.h"

#include <cstring>

PixelChannel pixel_channel_from_mask(unsigned long mask)
{
    PixelChannel c = {0, 0};
    if (!mask)
        return c;  // no lowest one bit: a channel of no bits
    while (!(mask & 1)) {
        mask >>= 1;
        c.shift++;
    }
    while (mask & 1) {
        mask >>= 1;
        c.bits++;
    }
    return c;
}

void pixel_build_lookup(uint32_t lookup[256], const Palette *pal, const PixelChannel channel[3],
                      int bytes_per_pixel, bool swap)
{
    for (int i = 0; i < 256; i++) {
        uint32_t value = 0;
        for (int k = 0; k < 3; k++) {
            // (c << bits) >> 8 keeps the component's top `bits` bits.
            const uint32_t c = pal->rgb[i * 3 + k];
            value += (uint32_t)(((uint64_t)c << channel[k].bits) >> 8) << channel[k].shift;
        }
        if (bytes_per_pixel == 1)
            value &= 0xFF;
        else if (bytes_per_pixel == 2)
            value &= 0xFFFF;
        if (swap && bytes_per_pixel == 2)
            value = (uint32_t)__builtin_bswap16((uint16_t)value);
        else if (swap && bytes_per_pixel == 4)
            value = __builtin_bswap32(value);
        lookup[i] = value;
    }
}

// One converter per entry width and per mapping of index to pixel value;
// pixel size 2 writes each value twice side by side (one 2x wide store) and
// then copies the finished row below.
template <typename T, typename Map>
static void convert_rows(uint8_t *dst, int bytes_per_line, const Image *frame, int pixel_size, Map map)
{
    const int w = frame->width, h = frame->height;
    const uint8_t *src = frame->pixels;
    for (int y = 0; y < h; y++, src += w) {
        uint8_t *row = dst + (size_t)y * pixel_size * bytes_per_line;
        T *out = (T *)row;
        if (pixel_size == 1) {
            for (int x = 0; x < w; x++)
                out[x] = (T)map(src[x]);
        } else {
            for (int x = 0; x < w; x++) {
                const T v = (T)map(src[x]);
                out[2 * x] = v;
                out[2 * x + 1] = v;
            }
            memcpy(row + bytes_per_line, row, (size_t)w * 2 * sizeof(T));
        }
    }
}

void pixel_convert_frame(uint8_t *dst, int bytes_per_line, const Image *frame, int pixel_size,
                       int bytes_per_pixel, const uint32_t *lookup)
{
    if (!lookup) {
        if (pixel_size == 1 && bytes_per_line == frame->width) {
            memcpy(dst, frame->pixels, (size_t)frame->width * frame->height);  // one block copy
            return;
        }
        convert_rows<uint8_t>(dst, bytes_per_line, frame, pixel_size, [](uint8_t index) { return index; });
        return;
    }
    const auto via_lookup = [lookup](uint8_t index) { return lookup[index]; };
    if (bytes_per_pixel == 1)
        convert_rows<uint8_t>(dst, bytes_per_line, frame, pixel_size, via_lookup);
    else if (bytes_per_pixel == 2)
        convert_rows<uint16_t>(dst, bytes_per_line, frame, pixel_size, via_lookup);
    else
        convert_rows<uint32_t>(dst, bytes_per_line, frame, pixel_size, via_lookup);
}
