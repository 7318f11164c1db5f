// common.cpp: what the parts share: the row wobble, the ring interference
// pattern, the soft light spot, composing through a shade table, checked
// picture loads and the fatal messages of the parts.
#include "common.h"
#include "gfx2d.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

const uint8_t parts_black_row[256] = {};

void parts_rotate_row_right(uint8_t *row, int width, int s)
{
    if (s <= 0 || s >= width)
        return;
    // Rows of the show are 320 wide: rotate through a stack copy of the
    // wrapping tail; wider rows fall back to the standard rotation.
    uint8_t tail[512];
    if (s <= (int)sizeof tail) {
        memcpy(tail, row + width - s, (size_t)s);
        memmove(row + s, row, (size_t)(width - s));
        memcpy(row, tail, (size_t)s);
    } else {
        std::rotate(row, row + width - s, row + width);
    }
}

void parts_wobble_rows(Image *img, int phase, int shift)
{
    const int width = img->width;
    for (int r = 0; r < img->height; r++) {
        // sin x width >> 13 spans about -width/8 .. width/8; >> 16 a 64th.
        int s = (sin_table[parts_trig_index((phase + r) * 4)] * width) >> shift;
        if (s < 0)
            s += width;
        parts_rotate_row_right(img->pixels + (size_t)r * width, width, s);
    }
}

void parts_draw_rings(Image *field, Image *ring_image, int t)
{
    // Two centres on Lissajous paths; sin >> 4 swings them by +-63 pixels.
    const int cx1 = (sin_table[parts_trig_index(9 * t + 500)] >> 4) + 11;
    const int cy1 = (cos_table[parts_trig_index(16 * t)] >> 4) + 16;
    const int cx2 = (sin_table[parts_trig_index(13 * t - 300)] >> 4) + 35;
    const int cy2 = (cos_table[parts_trig_index(11 * t + 100)] >> 4) + 40;

    uint8_t *p = field->pixels;
    for (int y = 0; y < field->height; y++) {
        const int ay = (y - cy1) * (y - cy1);
        const int by = (y - cy2) * (y - cy2);
        for (int x = 0; x < field->width; x++) {
            // Squared distances index the sine directly: rings whose spacing
            // shrinks outwards, with no square root per pixel.
            const int d1 = (x - cx1) * (x - cx1) + ay;
            const int d2 = (x - cx2) * (x - cx2) + by;
            const int s = sin_table[(d1 >> 3) & 1023] + sin_table[(d2 >> 2) & 1023];
            // s in -2046..2046, >> 5 gives -64..63; | 128 keeps 128..255.
            *p++ = (uint8_t)(((s >> 5) + 64) | 128);
        }
    }
    blit_scaled(ring_image, 0, 0, ring_image->width, ring_image->height, field, 0, 0, field->width,
                field->height, 0, 0);
    blur_fade_offset(ring_image->pixels, ring_image->width, ring_image->height, 0, 1);
}

void parts_create_spot(Image **out, int radius)
{
    if (image_create(out, 2 * radius, 2 * radius) != 0)
        parts_fatal_alloc_image();
    uint8_t *p = (*out)->pixels;
    for (int y = -radius; y < radius; y++) {
        for (int x = -radius; x < radius; x++) {
            const int r = (int)lround(sqrt((double)(x * x + y * y)));
            // 255 down to 0 over the radius in 8.8 fixed point, then to 0..63.
            const int v = (255 - ((r * 65536 / radius) >> 8)) >> 2;
            *p++ = (uint8_t)(v > 0 ? v : 0);
        }
    }
}

void parts_compose_shaded(uint8_t *out, const uint8_t *light, const uint8_t *colour, int count,
                          const ShadeRows *rows)
{
    for (int i = 0; i < count; i++)
        out[i] = rows->row[light[i]][colour[i]];
}

void parts_shade_rows_direct(ShadeRows *rows, const ShadeTable *table)
{
    for (int l = 0; l < 256; l++)
        rows->row[l] = table->level[l < 63 ? l : 63];
}

void parts_move_window(PartsWindow *win, int step_x, int step_y)
{
    win->x += step_x * win->dir_x;
    if (win->x + win->w > 320) {
        win->x = 320 - win->w;
        win->dir_x = -1;
    } else if (win->x < 0) {
        win->x = 0;
        win->dir_x = 1;
    }
    win->y += step_y * win->dir_y;
    if (win->y + win->h > 240) {
        win->y = 240 - win->h;
        win->dir_y = -1;
    } else if (win->y < 0) {
        win->y = 0;
        win->dir_y = 1;
    }
}

void parts_row_shifts(int32_t *shifts, int phase, int shift)
{
    for (int r = 0; r < 240; r++)
        shifts[r] = (sin_table[(8u * (unsigned)(r + phase)) & 1023] * 320) >> shift;
}

void parts_copy_rows_shifted(Image *dst, const Image *src, const int32_t *shifts)
{
    for (int r = 0; r < 240; r++) {
        int s = shifts[r] % 320;
        if (s < 0)
            s += 320;
        const uint8_t *in = src->pixels + r * 320;
        uint8_t *out = dst->pixels + r * 320;
        // Rotating right by s: the last s source pixels open the row.
        memcpy(out, in + 320 - s, (size_t)s);
        memcpy(out + s, in, (size_t)(320 - s));
    }
}

void parts_make_light_levels(Image *img, int base)
{
    for (int i = 0; i < 320 * 240; i++)
        img->pixels[i] = (uint8_t)((img->pixels[i] >> 3) + base);
}

// The fatal message of a picture that did not load; parts 5 and 6 spell
// the verb "Can't", the other parts "Cann't".
[[noreturn]] static void parts_fatal_picture(const char *verb, const char *path)
{
    char message[1024];
    snprintf(message, sizeof message, "%s load image %s !\n", verb, path);
    show_fatal(message, -1);
}

static void parts_load_checked(const char *verb, const char *path, Image **out, Palette *pal, int min_width,
                               int min_height, int max_width, int max_height)
{
    // Every picture is a step of the load phase: a stop that came during
    // the step before ends the show here, not after the whole load.
    show_check_stop();
    if (pcx_load_image(path, out, pal) != 5)
        parts_fatal_picture(verb, path);
    const Image *img = *out;
    if (img->width < min_width || img->height < min_height || img->width > max_width ||
        img->height > max_height) {
        image_destroy(out);
        *out = nullptr;
        parts_fatal_picture(verb, path);
    }
}

void parts_load_picture_cant(const char *path, Image **out, Palette *pal, int min_width, int min_height,
                             int max_width, int max_height)
{
    parts_load_checked("Can't", path, out, pal, min_width, min_height, max_width, max_height);
}

void parts_build_shade_table(const Palette *pal, ShadeTable *out)
{
    show_check_stop();
    palette_build_shade_table(pal, out);
}

void parts_fatal_alloc_image(void)
{
    show_fatal("Cann't allocate image!\n", -1);
}

void parts_load_picture(const char *path, Image **out, Palette *pal, int min_width, int min_height,
                        int max_width, int max_height)
{
    parts_load_checked("Cann't", path, out, pal, min_width, min_height, max_width, max_height);
}
