// pcx.cpp: 8-bit run-length PCX pictures with the 256-colour palette at the
// end of the file: reading into pixels or an Image, writing, header info.
#include "skarn.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

static const long pcx_header_size = 128;
static const long pcx_palette_size = 768;

static unsigned pcx_u16(const uint8_t *p)
{
    return (unsigned)p[0] | ((unsigned)p[1] << 8);
}

int pcx_decode(const char *path, const uint8_t *data, long size, uint8_t **pixels, Palette *pal,
               int *width, int *height)
{
    if (pixels)
        *pixels = nullptr;
    // A file must hold the header and the palette; anything shorter has no
    // picture in it.
    if (size < pcx_header_size + pcx_palette_size || data[0] != 0x0A || data[1] != 5 || data[2] != 1 ||
        data[3] != 8) {
        printf("ERROR: Bad pcx file %s", path);
        return -2;
    }
    const long w = (long)pcx_u16(data + 8) - (long)pcx_u16(data + 4) + 1;
    const long h = (long)pcx_u16(data + 10) - (long)pcx_u16(data + 6) + 1;
    const long bpl = pcx_u16(data + 66);

    if (pal)
        memcpy(pal->rgb, data + size - pcx_palette_size, sizeof pal->rgb);
    if (width)
        *width = (int)w;
    if (height)
        *height = (int)h;
    // Header sizes that describe no picture: nothing is decoded.
    if (w < 1 || h < 1 || bpl < w) {
        printf("ERROR: Bad pcx file %s", path);
        return -2;
    }
    if (!pixels)
        return 0;

    // At most 65535 x 65536 bytes: fits a size_t on every machine we run on.
    // Two encoded bytes give at most 63 pixels, so a header that promises
    // more than the file can hold is malformed before anything is allocated.
    const size_t total = (size_t)bpl * (size_t)h;
    const size_t most = (size_t)(size - pcx_header_size + 1) / 2 * 63 + 1;
    if (total > most) {
        printf("PCX file %s was malformed", path);
        return -4;
    }
    uint8_t *buf = (uint8_t *)malloc(total);
    if (!buf) {
        printf("ERROR: couldn't allocate");
        return -3;
    }
    // Runs continue across row ends: one contiguous buffer of bpl x h bytes.
    size_t out = 0;
    long in = pcx_header_size;
    while (out < total && in < size) {
        uint8_t b = data[in++];
        if (b < 0xC0) {
            buf[out++] = b;
            continue;
        }
        if (in >= size)
            break;  // the run's value byte is missing
        uint8_t value = data[in++];
        size_t count = b & 0x3F;
        if (count > total - out)
            count = total - out;  // a run that would overfill is cut
        memset(buf + out, value, count);
        out += count;
    }

    if (bpl != w) {
        uint8_t *cropped = (uint8_t *)malloc((size_t)w * (size_t)h);
        if (!cropped) {
            printf("ERROR: couldn't allocate");
            free(buf);
            return -3;
        }
        for (long y = 0; y < h; y++)
            memcpy(cropped + (size_t)y * (size_t)w, buf + (size_t)y * (size_t)bpl, (size_t)w);
        free(buf);
        buf = cropped;
    }
    if (out < total) {
        printf("PCX file %s was malformed", path);
        free(buf);
        return -4;
    }
    *pixels = buf;
    return 0;
}

int pcx_load(const char *path, uint8_t **pixels, Palette *pal, int *width, int *height)
{
    if (pixels)
        *pixels = nullptr;
    char *file = nullptr;
    long size;
    if (archive_get_name())
        size = archive_read_member(archive_get_name(), path, &file);
    else
        size = file_read_all(path, &file);
    if (size <= 0) {
        free(file);
        printf("ERROR: Bad pcx file %s", path);
        return -1;
    }
    int result = pcx_decode(path, (const uint8_t *)file, size, pixels, pal, width, height);
    free(file);
    return result;
}

int pcx_load_image(const char *path, Image **out, Palette *pal)
{
    *out = nullptr;
    uint8_t *pixels = nullptr;
    int w = 0, h = 0;
    if (pcx_load(path, &pixels, pal, &w, &h) < 0)
        return -1;
    Image *img = (Image *)malloc(sizeof(Image));
    if (!img) {
        free(pixels);
        return -1;
    }
    img->width = w;
    img->height = h;
    img->pixels = pixels;
    *out = img;
    return 5;
}

int pcx_load_palette(const char *path, Palette *pal)
{
    int w, h;
    return pcx_load(path, nullptr, pal, &w, &h) < 0 ? -1 : 5;
}

int pcx_print_info(const char *path, int *width, int *height)
{
    *width = 0;
    *height = 0;
    int fd = open(path, O_RDONLY);
    if (fd < 0)
        return -1;
    uint8_t header[128];
    ssize_t got = read(fd, header, sizeof header);
    if (got < (ssize_t)sizeof header || header[0] != 0x0A) {
        close(fd);
        return -1;
    }
    *width = (int)pcx_u16(header + 8) - (int)pcx_u16(header + 4) + 1;
    *height = (int)pcx_u16(header + 10) - (int)pcx_u16(header + 6) + 1;
    printf("%s is a %dx%d PC Paintbrush image", path, *width, *height);
    int result;
    switch (header[1]) {
    case 0: printf(" - Version 2.5\n"); result = 0; break;
    case 2: printf(" - Version 2.8 w/palette information\n"); result = 2; break;
    case 3: printf(" - Version 2.8 w/o palette information\n"); result = 3; break;
    case 5: printf(" - Version 3.0 / 256 colors palette\n"); result = 5; break;
    default: printf(" - Version ERROR\n"); result = -1; break;
    }
    close(fd);
    return result;
}

int pcx_save(const char *path, const Image *img, const Palette *pal)
{
    const long w = img->width, h = img->height;
    // The writer stores 16-bit sizes; larger or empty pictures have no PCX form.
    if (w < 1 || h < 1 || w > 65535 || h > 65535 || 2 * w * h + 1000 > 0x7FFFFFFF)
        return -1;
    const size_t cap = 2 * (size_t)w * (size_t)h + 1000;
    uint8_t *buf = (uint8_t *)malloc(cap);
    if (!buf) {
        printf("ERROR: couldn't allocate");
        return -1;
    }
    memset(buf, 0, pcx_header_size);
    buf[0] = 0x0A;
    buf[1] = 5;
    buf[2] = 1;
    buf[3] = 8;
    auto put16 = [&](int at, long v) {
        buf[at] = (uint8_t)(v & 0xFF);
        buf[at + 1] = (uint8_t)((v >> 8) & 0xFF);
    };
    put16(8, w - 1);
    put16(10, h - 1);
    put16(12, w);
    put16(14, h);
    buf[65] = 1;
    put16(66, w);
    put16(68, 2);
    size_t n = pcx_header_size;
    // Every pixel on its own: values of 0xC0 and up become a run of one.
    const size_t count = (size_t)w * (size_t)h;
    for (size_t i = 0; i < count; i++) {
        uint8_t v = img->pixels[i];
        if (v >= 0xC0)
            buf[n++] = 0xC1;
        buf[n++] = v;
    }
    buf[n++] = 0x0C;
    memcpy(buf + n, pal->rgb, sizeof pal->rgb);
    n += sizeof pal->rgb;
    int result = file_write_all(path, buf, (int)n) != 0 ? -1 : 5;
    free(buf);
    return result;
}
