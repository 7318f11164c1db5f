// part4.cpp: part 4 of the show, bouncing balls over pictures. Thirty soft
// balls raise or dig a height field; where it is flat a picture shows under
// part 1's moving rings, where it is dug or raised two other pictures show,
// brighter towards the balls' centres. The relief grows in after 5.4 s.
#include "common.h"
#include "gfx2d.h"

#include <cstdlib>
#include <cstring>

constexpr int PART4_WIDTH = 320;
constexpr int PART4_HEIGHT = 240;
constexpr int PART4_PIXELS = PART4_WIDTH * PART4_HEIGHT;
constexpr int PART4_FRAME_MS = 60;
constexpr int PART4_FLAT_TENTHS = 54;  // the flat picture alone until then
constexpr int PART4_HALF_SPOT = PART4_SPOT_SIZE / 2;

Image *part4_pictures[3];
Palette part4_palette;
ShadeTable part4_shade_table;
uint8_t *part4_spot;
Ball part4_balls[PART4_BALL_COUNT];
Image *part4_ring_field;
Image *part4_ring_image;

void part4_init_balls(void)
{
    for (int r = 0; r < PART4_SPOT_SIZE; r++) {
        for (int c = 0; c < PART4_SPOT_SIZE; c++) {
            const int d2 = (r - 32) * (r - 32) + (c - 32) * (c - 32);
            // A smooth bump: (1024 - d2)^2 scaled by 2^-13 is 128 at the
            // centre (held at 127) and falls to 0 just inside radius 32.
            int v = 0;
            if (d2 < 1024) {
                v = ((1024 - d2) * (1024 - d2)) >> 13;
                if (v > 127)
                    v = 127;
            }
            part4_spot[r * PART4_SPOT_SIZE + c] = (uint8_t)v;
        }
    }
    for (Ball &b : part4_balls) {
        b.x = (float)(random_below(240) + 40);
        b.y = (float)(random_below(120) + 40);
        // Ten speeds from -1.01 to 0.79, never 0: a float 0.1 step, a
        // double offset, stored as float.
        b.vx = (float)(random_below(10) * 2 * 0.1f - 1.01);
        b.vy = (float)(random_below(10) * 2 * 0.1f - 1.01);
    }
}

// Adds (raise) or takes (dig) the spot at (x0, y0), saturating per pixel.
static void part4_lay_spot(uint8_t *field, int x0, int y0, bool raise)
{
    const uint8_t *s = part4_spot;
    for (int r = 0; r < PART4_SPOT_SIZE; r++) {
        uint8_t *f = field + (y0 + r) * PART4_WIDTH + x0;
        for (int c = 0; c < PART4_SPOT_SIZE; c++, s++) {
            const int v = raise ? f[c] + *s : f[c] - *s;
            f[c] = (uint8_t)(v > 255 ? 255 : (v < 0 ? 0 : v));
        }
    }
}

void part4_move_balls(uint8_t *field, int step)
{
    for (int i = 0; i < PART4_BALL_COUNT; i++) {
        Ball &b = part4_balls[i];
        b.x = b.x + b.vx * (float)step;
        b.y = b.y + b.vy * (float)step;
        // Reflected by the distance gone past the edge: 285 becomes 275.
        if (b.x >= 280) {
            b.x = 560 - b.x;
            b.vx = -b.vx;
        }
        if (b.x < 40) {
            b.x = 80 - b.x;
            b.vx = -b.vx;
        }
        if (b.y >= 200) {
            b.y = 400 - b.y;
            b.vy = -b.vy;
        }
        if (b.y < 40) {
            b.y = 80 - b.y;
            b.vy = -b.vy;
        }
        // The bounce keeps the centres in 40..280 x 40..200 for the show's
        // steps; the spot's corner is held inside the field all the same,
        // so a ball set or stepped out of range cannot write past it.
        int x0 = (int)b.x - PART4_HALF_SPOT, y0 = (int)b.y - PART4_HALF_SPOT;
        x0 = x0 < 0 ? 0 : (x0 > PART4_WIDTH - PART4_SPOT_SIZE ? PART4_WIDTH - PART4_SPOT_SIZE : x0);
        y0 = y0 < 0 ? 0 : (y0 > PART4_HEIGHT - PART4_SPOT_SIZE ? PART4_HEIGHT - PART4_SPOT_SIZE : y0);
        part4_lay_spot(field, x0, y0, i % 2 == 0);
    }
}

void part4_draw_rings(int t)
{
    parts_draw_rings(part4_ring_field, part4_ring_image, t);
}

int part4_relief_shift(int n, int d)
{
    const int s = 6 - ((n - d) >> 1);
    return s > 0 ? s : 0;
}

int part4_band(int g, int *level)
{
    if (g <= 123) {
        *level = ((127 - g) >> 2) + 10;
        return 1;
    }
    if (g >= 131) {
        *level = ((g - 128) >> 2) + 10;
        return 2;
    }
    return 0;
}

void part4_load(const char *flat_picture, const char *dug_picture, const char *raised_picture)
{
    part4_spot = (uint8_t *)malloc((size_t)PART4_SPOT_SIZE * PART4_SPOT_SIZE);
    if (!part4_spot)
        show_fatal("Cann't allocate memory!\n", -1);
    part4_init_balls();
    if (image_create(&part4_ring_image, PART4_WIDTH, PART4_HEIGHT) != 0 ||
        image_create(&part4_ring_field, 106, 80) != 0)
        parts_fatal_alloc_image();

    // The run reads 76800 pixels of each picture, so each must be 320 x 240.
    // The three are taken to share one palette: all are remapped through the
    // last one's, which is what current_palette holds after the loads.
    const char *paths[3] = {flat_picture, dug_picture, raised_picture};
    for (int i = 0; i < 3; i++)
        parts_load_picture(paths[i], &part4_pictures[i], &current_palette, PART4_WIDTH, PART4_HEIGHT,
                           PART4_WIDTH, PART4_HEIGHT);

    palette_sort_by_brightness(&part4_palette, &current_palette);
    for (Image *picture : part4_pictures)
        image_remap_palette(picture, &current_palette, &part4_palette);
    parts_build_shade_table(&part4_palette, &part4_shade_table);
}

void part4_free(void)
{
    free(part4_spot);
    part4_spot = nullptr;
    image_destroy(&part4_ring_field);
    image_destroy(&part4_ring_image);
    part4_ring_field = part4_ring_image = nullptr;
    for (Image *&picture : part4_pictures) {
        image_destroy(&picture);
        picture = nullptr;
    }
}

// One frame's picture: each field value h (after the relief shift s) picks
// the flat picture under the rings, or the dug or raised one at a level
// that grows with the depth or height.
static void part4_compose(uint8_t *out, const uint8_t *field, int s, const ShadeRows *ring_rows)
{
    const uint8_t *pictures[3] = {part4_pictures[0]->pixels, part4_pictures[1]->pixels,
                                  part4_pictures[2]->pixels};
    uint8_t which[256];
    const uint8_t *row[256];
    for (int h = 0; h < 256; h++) {
        // The relief fades in by halving the distance from 128 s times.
        const int g = s > 0 ? ((h - 128) >> s) + 128 : h;
        int level = 0;
        which[h] = (uint8_t)part4_band(g, &level);
        row[h] = part4_shade_table.level[level];
    }
    const uint8_t *ring = part4_ring_image->pixels;
    for (int p = 0; p < PART4_PIXELS; p++) {
        const int h = field[p];
        const int k = which[h];
        out[p] = k == 0 ? ring_rows->row[ring[p]][pictures[0][p]] : row[h][pictures[k][p]];
    }
}

void part4_run(Image *frame, int duration)
{
    timer_start();
    int e = timer_elapsed_tenths();
    int t0 = clock_ms();
    display_set_palette(&part4_palette);

    // Ring values 128..255 light the flat picture at levels 16..31.
    static ShadeRows ring_rows;
    for (int v = 0; v < 256; v++)
        ring_rows.row[v] = part4_shade_table.level[v >> 3];

    int n = 0, d = 0;
    while (e < duration) {
        memset(work_image_a->pixels, 127, PART4_PIXELS);
        part4_move_balls(work_image_a->pixels, random_below(5) + 7);
        part4_draw_rings(n);
        if (e <= PART4_FLAT_TENTHS) {
            d = n;
            parts_compose_shaded(frame->pixels, part4_ring_image->pixels, part4_pictures[0]->pixels,
                                 PART4_PIXELS, &ring_rows);
        } else {
            part4_compose(frame->pixels, work_image_a->pixels, part4_relief_shift(n, d), &ring_rows);
        }
        display_put_frame(frame);
        n++;
        wait_until_ms(t0, PART4_FRAME_MS);
        t0 = clock_ms();
        e = timer_elapsed_tenths();
    }
}
