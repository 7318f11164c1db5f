// image.cpp: the Image record: creation and release, single pixels,
// clearing, and the raw picture format of the show's own tools.
#include "gfx2d.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

int image_create(Image **out, int width, int height)
{
    *out = (Image *)malloc(sizeof(Image));
    if (!*out)
        return -1;
    (*out)->pixels = nullptr;
    // Negative sizes have no pixels to hold; calloc checks the product.
    if (width < 0 || height < 0)
        return -2;
    uint8_t *pixels = (uint8_t *)calloc((size_t)width * (size_t)height > 0 ? (size_t)width * (size_t)height : 1, 1);
    if (!pixels)
        return -2;
    (*out)->width = width;
    (*out)->height = height;
    (*out)->pixels = pixels;
    return 0;
}

void image_destroy(Image **img)
{
    if (!*img)
        return;
    free((*img)->pixels);
    free(*img);
}

void image_put_pixel(Image *img, int x, int y, int colour)
{
    if (x >= 0 && x < img->width && y >= 0 && y < img->height)
        img->pixels[(size_t)y * img->width + x] = (uint8_t)colour;
}

void image_add_pixel(Image *img, int x, int y, int colour)
{
    if (x >= 0 && x < img->width && y >= 0 && y < img->height)
        img->pixels[(size_t)y * img->width + x] += (uint8_t)colour;
}

void image_clear(Image *img, int colour)
{
    memset(img->pixels, (uint8_t)colour, (size_t)img->width * (size_t)img->height);
}

// Reads up to len bytes, going on after short reads; the count read.
static long read_full(int fd, uint8_t *buf, long len)
{
    long got = 0;
    while (got < len) {
        ssize_t n = read(fd, buf + got, (size_t)(len - got));
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

int image_load_raw(Image **out, const char *path, Palette *pal)
{
    *out = nullptr;
    int fd = open(path, O_RDONLY);
    if (fd < 0)
        return -1;
    uint8_t header[784];
    if (read_full(fd, header, sizeof header) != (long)sizeof header) {
        close(fd);  // a truncated header is no picture
        return -1;
    }
    int32_t w, h;
    memcpy(&w, header, 4);
    memcpy(&h, header + 4, 4);
    int count = header[8], first = header[9];
    // Non-positive sizes, and sizes whose pixel count overflows, are refused.
    if (w <= 0 || h <= 0 || (int64_t)w * h > 0x7FFFFFFF) {
        close(fd);
        return -1;
    }
    Image *img = nullptr;
    if (image_create(&img, w, h) != 0) {
        if (img)
            image_destroy(&img);
        close(fd);
        return -1;
    }
    // Short pixel data leaves the rest at 0.
    if (read_full(fd, img->pixels, (long)w * h) < 0) {
        image_destroy(&img);
        close(fd);
        return -1;
    }
    close(fd);
    if (first + count > 256)
        count = 256 - first;  // the stored range is cut at the last entry
    for (int i = first; i < first + count; i++) {
        pal->rgb[i * 3 + 0] = header[16 + i];
        pal->rgb[i * 3 + 1] = header[272 + i];
        pal->rgb[i * 3 + 2] = header[528 + i];
    }
    *out = img;
    return 0;
}

void bytes_copy_reversed(uint8_t *out, const uint8_t *in, unsigned n)
{
    for (unsigned i = 0; i < n; i++)
        out[i] = in[n - 1 - i];
}
