// part1.cpp: part 1 of the show, light spots and melting titles. Six title
// pictures show only where 336 drifting soft spots light them; around each
// change of picture a ring interference pattern melts it along the rows.
#include "common.h"
#include "gfx2d.h"

#include <cstdlib>
#include <cstring>

constexpr int PART1_WIDTH = 320;
constexpr int PART1_HEIGHT = 240;
constexpr int PART1_PIXELS = PART1_WIDTH * PART1_HEIGHT;
constexpr int PART1_SPOT_SIZE = 28;
// Spots wrap to stay wholly inside the frame: X + 27 <= 319, Y + 27 <= 239.
constexpr int PART1_SPOT_MAX_X = 292;
constexpr int PART1_SPOT_MAX_Y = 212;
constexpr int PART1_CHANGE_TENTHS = 34;
constexpr int PART1_FRAME_MS = 70;

static const char *const part1_picture_paths[6] = {
    "grafika/1/none.pcx", "grafika/1/lo.pcx",   "grafika/1/skn.pcx",
    "grafika/1/txt1.pcx", "grafika/1/txt2.pcx", "grafika/1/txt3.pcx",
};

Image *part1_pictures[6];
Palette part1_palette;
ShadeTable part1_shade_table;
Image *part1_spot;
LightSpot part1_light_spots[PART1_SPOT_COUNT];
Image *part1_ring_field;
Image *part1_ring_image;

void part1_load(void)
{
    for (int i = 0; i < 6; i++)
        parts_load_picture(part1_picture_paths[i], &part1_pictures[i], &current_palette, PART1_WIDTH,
                           PART1_HEIGHT, PART1_WIDTH, PART1_HEIGHT);
    // The pictures share one palette; the last one loaded stands for all.
    palette_sort_by_brightness(&part1_palette, &current_palette);
    for (int i = 0; i < 6; i++)
        image_remap_palette(part1_pictures[i], &current_palette, &part1_palette);
    parts_build_shade_table(&part1_palette, &part1_shade_table);

    parts_create_spot(&part1_spot, PART1_SPOT_SIZE / 2);

    for (int j = 0; j < PART1_SPOT_ROWS; j++) {
        for (int k = 0; k < PART1_SPOT_COLUMNS; k++) {
            LightSpot *s = &part1_light_spots[j * PART1_SPOT_COLUMNS + k];
            s->x = (15 * (k + 1)) << 16;
            s->y = (15 * (j + 1)) << 16;
            s->vx = random_below(524288) - 262144;  // -4 .. just under +4 pixels
            s->vy = random_below(262144);           // 0 .. just under 4 pixels
        }
    }

    if (image_create(&part1_ring_image, PART1_WIDTH, PART1_HEIGHT) != 0 ||
        image_create(&part1_ring_field, 106, 80) != 0)
        parts_fatal_alloc_image();
}

void part1_free(void)
{
    for (Image *&picture : part1_pictures) {
        image_destroy(&picture);
        picture = nullptr;
    }
    image_destroy(&part1_spot);
    image_destroy(&part1_ring_field);
    image_destroy(&part1_ring_image);
    part1_spot = part1_ring_field = part1_ring_image = nullptr;
}

void part1_draw_rings(int t)
{
    parts_draw_rings(part1_ring_field, part1_ring_image, t);
}

int part1_melt_shift(int p, int e, int c)
{
    if (p == 0 && e <= 10)
        return 4;
    // A tent over the 34 tenths between changes: 0 at both ends, 4 mid-way.
    int h = ((17 - abs(e - c - 17)) >> 1) - 1;
    return h < 0 ? 0 : (h > 4 ? 4 : h);
}

// The picture p melted by the ring pattern: each pixel is taken from up to
// 64 >> h pixels along the rows; the first and last rows are held inside.
void part1_melt(const Image *picture, int h)
{
    uint8_t *ring = part1_ring_image->pixels;
    const uint8_t *src = picture->pixels;
    for (int i = 0; i < PART1_PIXELS; i++) {
        int j = i + ((ring[i] - 192) >> h);
        if (j < 0)
            j = 0;
        if (j > PART1_PIXELS - 1)
            j = PART1_PIXELS - 1;
        ring[i] = src[j];
    }
}

bool part1_step_spot(LightSpot *s)
{
    s->x += s->vx;
    s->y += s->vy;
    const int x = s->x >> 16;
    const int y = s->y >> 16;
    // A spot leaving the screen comes back on the far side and skips this
    // frame; one coordinate is corrected per frame.
    if (x <= 0)
        s->x = PART1_SPOT_MAX_X << 16;
    else if (y <= 0)
        s->y = PART1_SPOT_MAX_Y << 16;
    else if (x > PART1_SPOT_MAX_X)
        s->x = 1 << 16;
    else if (y > PART1_SPOT_MAX_Y)
        s->y = 1 << 16;
    else
        return true;
    return false;
}

void part1_move_spots(Image *frame)
{
    for (LightSpot &s : part1_light_spots)
        if (part1_step_spot(&s))
            blit_add_saturate(frame, s.x >> 16, s.y >> 16, part1_spot, 0, 0, PART1_SPOT_SIZE, PART1_SPOT_SIZE, 0,
                              0);
}

void part1_run(Image *frame, int duration)
{
    timer_start();
    int e = timer_elapsed_tenths();
    int t0 = clock_ms();
    display_set_palette(&part1_palette);

    // Summed light L: 0 stays black, otherwise shade level L >> 2.
    static ShadeRows rows;
    rows.row[0] = parts_black_row;
    for (int l = 1; l < 256; l++)
        rows.row[l] = part1_shade_table.level[l >> 2];

    int p = 0, c = 0, t = 0, w = 0;
    // Signed: a negative duration shows nothing rather than running for years.
    while (e < duration) {
        if (e >= c + PART1_CHANGE_TENTHS) {
            p++;
            c += PART1_CHANGE_TENTHS;
        }
        const int h = part1_melt_shift(p, e, c);
        if (p > 5)
            p = 0;

        if (h == 4) {
            memcpy(work_image_a->pixels, part1_pictures[p]->pixels, PART1_PIXELS);
        } else {
            part1_draw_rings(t);
            part1_melt(part1_pictures[p], h);
            memcpy(work_image_a->pixels, part1_ring_image->pixels, PART1_PIXELS);
        }
        parts_wobble_rows(work_image_a, w, 13);

        memset(frame->pixels, 0, PART1_PIXELS);
        part1_move_spots(frame);
        parts_compose_shaded(frame->pixels, frame->pixels, work_image_a->pixels, PART1_PIXELS, &rows);

        display_put_frame(frame);
        w += 8;
        t++;
        wait_until_ms(t0, PART1_FRAME_MS);
        t0 = clock_ms();
        e = timer_elapsed_tenths();
    }
}
