// part3.cpp: part 3 of the show, the melting transition. Part 2's last
// frame is shown through a field of light that is roughened once by soft
// spots, then blurred and lowered every frame until the picture sinks into
// darkness.
#include "common.h"
#include "gfx2d.h"

#include <cstring>

constexpr int PART3_WIDTH = 320;
constexpr int PART3_HEIGHT = 240;
constexpr int PART3_PIXELS = PART3_WIDTH * PART3_HEIGHT;
constexpr int PART3_SPOT_SIZE = 32;
constexpr int PART3_FRAME_MS = 60;
constexpr int PART3_BORDER = 4;

Image *part3_spot;

void part3_load(void)
{
    // Radius 16: 63 - 4R, 0 from R = 16 on.
    parts_create_spot(&part3_spot, PART3_SPOT_SIZE / 2);
}

void part3_free(void)
{
    image_destroy(&part3_spot);
    part3_spot = nullptr;
}

int part3_fade_for(int duration)
{
    // The field's 255 is spread over the part's 60 ms frames, one short.
    const int64_t frames = (int64_t)duration * 100 / 60;
    if (frames < 1)
        return 255;  // no whole frame: nothing left to show
    const int64_t fade = 255 / frames - 1;
    return fade > 0 ? (int)fade : 0;
}

// 128 inside a 4-pixel border of 0, then 100 spots taken away and 100 added.
static void part3_build_field(Image *field)
{
    for (int y = 0; y < PART3_HEIGHT; y++) {
        uint8_t *row = field->pixels + y * PART3_WIDTH;
        const bool edge = y < PART3_BORDER || y >= PART3_HEIGHT - PART3_BORDER;
        memset(row, edge ? 0 : 128, PART3_WIDTH);
        memset(row, 0, PART3_BORDER);
        memset(row + PART3_WIDTH - PART3_BORDER, 0, PART3_BORDER);
    }
    for (int n = 0; n < 50; n++) {
        for (int k = 0; k < 4; k++) {
            // x + 31 <= 318 and y + 31 <= 238: every spot lies inside.
            const int x = random_below(288);
            const int y = random_below(208);
            if (k % 2 == 0)
                blit_sub_saturate(field, x, y, part3_spot, 0, 0, PART3_SPOT_SIZE, PART3_SPOT_SIZE, 0, 0);
            else
                blit_add_saturate(field, x, y, part3_spot, 0, 0, PART3_SPOT_SIZE, PART3_SPOT_SIZE, 0, 0);
        }
    }
}

void part3_run(Image *frame, int duration, int)
{
    const int fade = part3_fade_for(duration);
    timer_start();
    int t0 = clock_ms();

    memcpy(work_image_b->pixels, frame->pixels, PART3_PIXELS);
    part3_build_field(work_image_a);

    // Field value v shows at level (v >> 2) + 1: 128 one step brighter than
    // the colour itself, 0 the second-darkest. 252 and more would be level
    // 64, past the table: they stay at the brightest level, 63.
    static ShadeRows rows;
    for (int v = 0; v < 256; v++) {
        const int level = (v >> 2) + 1;
        rows.row[v] = current_shade_table.level[level > 63 ? 63 : level];
    }

    while (timer_elapsed_tenths() < duration) {
        parts_compose_shaded(frame->pixels, work_image_a->pixels, work_image_b->pixels, PART3_PIXELS, &rows);
        blur_fade(work_image_a->pixels, PART3_WIDTH, PART3_HEIGHT, (unsigned)fade);
        display_put_frame(frame);
        wait_until_ms(t0, PART3_FRAME_MS);
        t0 = clock_ms();
    }
}
