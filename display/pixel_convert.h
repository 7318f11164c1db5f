// pixel_convert.h: turning an 8-bit frame into the pixels of a screen or
// an X image: true-colour channel descriptors, the 256-entry pixel lookup,
// and the frame conversion at pixel size 1 or 2. No device calls: the X11
// and framebuffer back ends, their tests and benchmarks share these.
#pragma once

#include "skarn.h"

#include <cstdint>

// One TrueColor channel: `bits` consecutive one bits of the mask starting
// `shift` bits up.
struct PixelChannel {
    int32_t bits;
    int32_t shift;
};

PixelChannel pixel_channel_from_mask(unsigned long mask);

// lookup[i] = the pixel value of palette entry i, cut to bytes_per_pixel
// bytes and, when swap is set, with those bytes reversed (an image whose
// byte order is not the host's).
void pixel_build_lookup(uint32_t lookup[256], const Palette *pal, const PixelChannel channel[3],
                      int bytes_per_pixel, bool swap);

// Writes frame into dst (rows bytes_per_line apart), every pixel repeated
// pixel_size (1 or 2) times in both directions. With lookup NULL the
// indices are copied as they are (one byte per pixel); otherwise each index
// becomes lookup[index] of bytes_per_pixel (1, 2 or 4) bytes.
void pixel_convert_frame(uint8_t *dst, int bytes_per_line, const Image *frame, int pixel_size,
                       int bytes_per_pixel, const uint32_t *lookup);
