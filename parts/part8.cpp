// part8.cpp: part 8 of the show, the closing picture fade. One picture is
// written to the frame once; it fades in from black, holds and fades out
// again by palette changes alone. The part loads and frees its picture
// inside its run.
#include "common.h"

#include <cstring>

constexpr int PART8_WIDTH = 320;
constexpr int PART8_HEIGHT = 240;
constexpr int PART8_FRAME_MS = 50;

Palette part8_palette;
Image *part8_picture;
int32_t part8_fade_steps[256][3];
int32_t part8_fade_levels[256][3];

void empty_stub_a(void) {}
void empty_stub_b(void) {}

// Shows the integer part of every level, then moves the levels by dir steps.
static void part8_show_levels(int dir)
{
    for (int i = 0; i < 256; i++) {
        for (int c = 0; c < 3; c++) {
            current_palette.rgb[3 * i + c] = (uint8_t)(part8_fade_levels[i][c] >> 16);
            part8_fade_levels[i][c] += dir * part8_fade_steps[i][c];
        }
    }
}

void part8_run(Image *frame, int fade, int hold, const char *path)
{
    // Negative counts mean no frames of that kind.
    if (fade < 0)
        fade = 0;
    if (hold < 0)
        hold = 0;

    timer_start();
    int t0 = clock_ms();
    parts_load_picture(path, &part8_picture, &part8_palette, PART8_WIDTH, PART8_HEIGHT, PART8_WIDTH,
                       PART8_HEIGHT);

    // 16.16 levels: one 1/fade of each component per frame, truncated, so
    // the brightest frame stays just under the picture's own palette. With
    // no fade frames the step is never used.
    const int32_t step = fade > 0 ? 65536 / fade : 0;
    for (int i = 0; i < 256; i++) {
        for (int c = 0; c < 3; c++) {
            part8_fade_steps[i][c] = part8_palette.rgb[3 * i + c] * step;
            part8_fade_levels[i][c] = 0;
        }
    }

    memcpy(frame->pixels, part8_picture->pixels, (size_t)PART8_WIDTH * PART8_HEIGHT);

    // Fade in, hold (the palette stays as it is), fade out.
    for (int n = 0; n < 2 * fade + hold; n++) {
        if (n < fade)
            part8_show_levels(+1);
        else if (n >= fade + hold)
            part8_show_levels(-1);

        display_set_palette(&current_palette);
        display_put_frame(frame);
        wait_until_ms(t0, PART8_FRAME_MS);
        t0 = clock_ms();
    }

    image_destroy(&part8_picture);
    part8_picture = nullptr;
}
