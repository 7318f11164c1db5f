// part2.cpp: part 2 of the show, the polar tunnel. A 64 x 64 texture cut
// every frame from a wobbling, scrolling background is wrapped round the
// screen centre by a distance and an angle table; the lower half mirrors
// the upper, a small glow marks the centre and 23 text strips light up and
// fade over it through the shade table.
#include "common.h"
#include "gfx2d.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

constexpr int PART2_WIDTH = 320;
constexpr int PART2_HEIGHT = 240;
constexpr int PART2_HALF_PIXELS = PART2_WIDTH * (PART2_HEIGHT / 2);
constexpr int PART2_TEXTURE_SIZE = 64;
constexpr int PART2_FRAME_MS = 60;
// The strip picture must hold every strip's source rectangle.
constexpr int PART2_STRIP_MIN_WIDTH = 209;
constexpr int PART2_STRIP_MIN_HEIGHT = 575;

uint8_t *part2_distance_table;
uint8_t *part2_angle_table;
Image *part2_texture;
Image *part2_background;
Image *part2_strip_picture;
Palette part2_palette;
ShadeTable part2_shade_table;

TitleStrip part2_strips[] = {
    {10, 10, 0, 6, 120, 30, 7, 40, 0},       {40, 40, 0, 32, 87, 54, 14, 40, 0},
    {70, 70, 0, 54, 173, 79, 21, 40, 0},      {100, 100, 0, 79, 108, 103, 28, 40, 0},
    {130, 130, 0, 106, 94, 128, 35, 40, 0},   {160, 160, 0, 130, 105, 151, 42, 40, 0},
    {190, 190, 0, 151, 82, 176, 49, 40, 0},   {135, 10, 0, 177, 177, 202, 63, 40, 0},
    {120, 40, 0, 205, 135, 229, 70, 40, 0},   {110, 70, 0, 231, 120, 251, 77, 40, 0},
    {100, 100, 0, 251, 84, 276, 84, 40, 0},   {70, 130, 0, 276, 44, 302, 91, 40, 0},
    {40, 160, 0, 305, 64, 326, 98, 40, 0},    {10, 190, 0, 326, 186, 351, 105, 40, 0},
    {10, 10, 0, 354, 150, 376, 119, 40, 0},   {40, 40, 0, 378, 105, 400, 126, 40, 0},
    {60, 70, 0, 400, 99, 425, 133, 40, 0},    {80, 100, 0, 428, 70, 450, 140, 40, 0},
    {100, 130, 0, 453, 150, 474, 147, 40, 0}, {110, 160, 0, 474, 209, 499, 154, 40, 0},
    {140, 190, 0, 499, 70, 524, 161, 40, 0},  {80, 10, 0, 527, 147, 550, 175, 40, 0},
    {100, 40, 0, 552, 88, 575, 182, 40, 0},   {-1, -1, -1, -1, -1, -1, -1, -1, -1},
};

// One table builder for the three variants: 1 plain distance, 2 distance
// over sqrt 2 with a halved angle quotient, 3 a tighter tunnel; 2 and 3
// turn the angle round. The float steps are kept single precision on
// purpose: the corner distance lands on 255 only that way.
static void part2_build_polar_variant(uint8_t *distance, uint8_t *angle, int width, int height,
                                      int direction, int variant)
{
    const int half_h = height / 2;
    const int half_w = width / 2;
    const double scale = variant == 2 ? 256.0 : (variant == 3 ? 128.0 : 255.0);
    const float k = (float)(scale / sqrt((double)(half_h * half_h + half_w * half_w)));

    for (int i = 0; i < half_h; i++) {
        const int dy = half_h - i;
        for (int j = 0; j < width; j++) {
            const int dx = j - half_w;
            const int dxp = dx != 0 ? dx : 1;
            const float r2 = (float)(dy * dy + dx * dx);

            float dist = variant == 2 ? sqrtf(0.5f * r2) * k : sqrtf(r2) * k;
            if (dist < 0.0f)
                dist = 0.0f;
            int dv = (int)dist;
            if (dv > 255)
                dv = 255;
            if (direction == 0)
                dv = 255 - dv;

            const float q = variant == 2 ? (float)((dy * 0.5) / dxp) : (float)dy / (float)dxp;
            float a = (float)atan((double)q);
            if (q < 0.0f)
                a = (float)((double)a + M_PI);
            int av = (int)((double)a * 81.16902097686662);  // 255 / pi
            if (av > 255)
                av = 255;
            if (av < 0)
                av = 0;
            if (variant != 1)
                av = 255 - av;

            distance[i * width + j] = (uint8_t)dv;
            angle[i * width + j] = (uint8_t)av;
        }
    }
}

void part2_build_polar_tables_alt1(uint8_t *distance, uint8_t *angle, int width, int height, int direction)
{
    part2_build_polar_variant(distance, angle, width, height, direction, 1);
}

void part2_build_polar_tables_alt2(uint8_t *distance, uint8_t *angle, int width, int height, int direction)
{
    part2_build_polar_variant(distance, angle, width, height, direction, 2);
}

void part2_build_polar_tables_alt3(uint8_t *distance, uint8_t *angle, int width, int height, int direction)
{
    part2_build_polar_variant(distance, angle, width, height, direction, 3);
}

void part2_build_polar_tables(uint8_t *distance, uint8_t *angle, int width, int height, int direction,
                              int variant)
{
    switch (variant) {
    case 1:
        part2_build_polar_tables_alt1(distance, angle, width, height, direction);
        break;
    case 2:
        part2_build_polar_tables_alt2(distance, angle, width, height, direction);
        break;
    case 3:
        part2_build_polar_tables_alt3(distance, angle, width, height, direction);
        break;
    default:
        break;  // anything else writes nothing
    }
}

void part2_load(const char *background, int direction, int variant)
{
    // Zero-filled, so a variant that writes nothing leaves a black tunnel.
    part2_distance_table = (uint8_t *)calloc(PART2_HALF_PIXELS, 1);
    part2_angle_table = (uint8_t *)calloc(PART2_HALF_PIXELS, 1);
    if (!part2_distance_table || !part2_angle_table)
        show_fatal("Cann't allocate memory !\n", -1);
    part2_build_polar_tables(part2_distance_table, part2_angle_table, PART2_WIDTH, PART2_HEIGHT, direction,
                             variant);

    if (image_create(&part2_texture, PART2_TEXTURE_SIZE, PART2_TEXTURE_SIZE) != 0)
        parts_fatal_alloc_image();

    parts_load_picture("grafika/grp.pcx", &part2_strip_picture, &current_palette, PART2_STRIP_MIN_WIDTH,
                       PART2_STRIP_MIN_HEIGHT, INT_MAX, INT_MAX);
    palette_sort_by_brightness(&part2_palette, &current_palette);
    image_remap_palette(part2_strip_picture, &current_palette, &part2_palette);

    // The strips are expected to share the background's palette, which is
    // the one the part shows.
    parts_load_picture(background, &part2_background, &current_palette, PART2_WIDTH, PART2_HEIGHT,
                       PART2_WIDTH, PART2_HEIGHT);
    palette_sort_by_brightness(&part2_palette, &current_palette);
    image_remap_palette(part2_background, &current_palette, &part2_palette);

    parts_build_shade_table(&part2_palette, &part2_shade_table);
}

void part2_free(void)
{
    free(part2_distance_table);
    free(part2_angle_table);
    part2_distance_table = part2_angle_table = nullptr;
    image_destroy(&part2_texture);
    image_destroy(&part2_background);
    image_destroy(&part2_strip_picture);
    part2_texture = part2_background = part2_strip_picture = nullptr;
}

// Upper half from the tables, lower half its mirror.
void part2_draw_tunnel(Image *frame)
{
    const uint8_t *texture = part2_texture->pixels;
    uint8_t *out = frame->pixels;
    for (int i = 0; i < PART2_HALF_PIXELS; i++) {
        // Near the centre the distance is small and the row 64 - d/4 would
        // be 64, one past the texture: hold it on the last row.
        int row = PART2_TEXTURE_SIZE - (part2_distance_table[i] >> 2);
        if (row > PART2_TEXTURE_SIZE - 1)
            row = PART2_TEXTURE_SIZE - 1;
        // 256 angle values over 64 columns: four values a column.
        const int column = (part2_angle_table[i] >> 2) & (PART2_TEXTURE_SIZE - 1);
        out[i] = texture[row * PART2_TEXTURE_SIZE + column];
    }
    for (int k = 0; k < PART2_HEIGHT / 2; k++)
        memcpy(out + (PART2_HEIGHT - 1 - k) * PART2_WIDTH, out + k * PART2_WIDTH, PART2_WIDTH);
}

void part2_draw_glow(Image *frame)
{
    for (int a = 0; a < 6; a++) {
        uint8_t *row = frame->pixels + (117 + a) * PART2_WIDTH;
        const uint8_t left = row[157];
        const uint8_t right = row[163];
        const int wy = 3 - abs(a - 3);
        for (int b = 0; b < 6; b++) {
            const int wx = 3 - abs(b - 3);
            // 116508 / 65536 is about 16/9: the centre weight 9 adds 15 levels.
            const int level = 32 + ((wx * wy * 116508) >> 16);
            row[157 + b] = part2_shade_table.level[level][b <= 2 ? left : right];
        }
    }
}

// Lights the frame under a strip: brighter strip pixels lift the frame's
// colour more; level 0..5 shifts the strip's brightness in.
static void part2_draw_strip(Image *frame, const TitleStrip *s, int level)
{
    const Image *src = part2_strip_picture;
    for (int y = s->src_y0; y < s->src_y1; y++) {
        const uint8_t *in = src->pixels + (size_t)y * src->width;
        uint8_t *out = frame->pixels + (s->dest_y + y - s->src_y0) * frame->width + s->dest_x - s->src_x0;
        for (int x = s->src_x0; x < s->src_x1; x++) {
            const int v = in[x];
            if (v != 0)
                out[x] = part2_shade_table.level[(v >> (8 - level)) + 31][out[x]];
        }
    }
}

void part2_update_strips(Image *frame, int e)
{
    for (TitleStrip *s = part2_strips; s->dest_x > 0; s++) {
        if (e >= s->start + s->full) {
            if (s->level > 0)
                part2_draw_strip(frame, s, s->level);
            // Fades one level every 4 tenths.
            const int l = 5 - ((e - s->start - s->full) >> 2);
            s->level = l < 0 ? 0 : l;
        } else if (e >= s->start) {
            part2_draw_strip(frame, s, s->level);
            // Rises one level every 4 tenths; the new level shows next frame.
            const int l = (e - s->start) >> 2;
            s->level = l > 5 ? 5 : l;
        }
    }
}

void part2_run(Image *frame, int duration)
{
    timer_start();
    int e = timer_elapsed_tenths();
    int t0 = clock_ms();
    display_set_palette(&part2_palette);
    // Part 3 dissolves this part's last frame through these.
    current_palette = part2_palette;
    current_shade_table = part2_shade_table;

    int f = 0;
    while (e < duration) {
        // The background wobbles and scrolls in place, so the moves add up.
        parts_wobble_rows(part2_background, 8 * f, 16);
        blit_keyed(part2_texture, 0, 0, part2_background, 0, 0, PART2_TEXTURE_SIZE, PART2_TEXTURE_SIZE, 0, 0);
        image_roll_vertical(part2_background, (unsigned)(part2_background->height - 2));
        image_roll_horizontal(part2_background, 1);

        part2_draw_tunnel(frame);
        part2_draw_glow(frame);
        part2_update_strips(frame, e);

        display_put_frame(frame);
        f++;
        wait_until_ms(t0, PART2_FRAME_MS);
        t0 = clock_ms();
        e = timer_elapsed_tenths();
    }
}
