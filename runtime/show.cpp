// show.cpp: what main shares with the parts: the two scratch images, the
// black screen put between loads and runs, and the one fatal-exit path.
#include "skarn.h"

#include <cstdlib>
#include <cstring>

Image *work_image_a = nullptr;
Image *work_image_b = nullptr;

void blank_screen(Image *frame)
{
    memset(current_palette.rgb, 0, sizeof current_palette.rgb);
    display_set_palette(&current_palette);
    memset(frame->pixels, 0, (size_t)frame->width * (size_t)frame->height);
    display_put_frame(frame);
    display_wait_retrace();
}

void show_fatal(const char *message, int status)
{
    fputs(message, stdout);
    fflush(stdout);
    display_close();
    music_stop();
    sound_shutdown();
    exit(status);
}
