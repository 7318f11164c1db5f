// null_display.cpp: a display back end that shows nothing and costs
// nothing, so the benchmarks measure only the parts' own drawing. It notes
// the process CPU time between frames, so a benchmark can report its
// slowest frame.
#include "null_display.h"

#include <ctime>

int64_t null_display_worst_frame_ns = 0;
static int64_t null_display_last_ns = 0;

static int64_t null_display_cpu_ns(void)
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

void null_display_start_timing(void)
{
    null_display_worst_frame_ns = 0;
    null_display_last_ns = null_display_cpu_ns();
}

int display_open(int, char **, const char *, int, int) { return 0; }
void display_set_palette(const Palette *) {}
void display_put_frame(const Image *)
{
    const int64_t now = null_display_cpu_ns();
    if (now - null_display_last_ns > null_display_worst_frame_ns)
        null_display_worst_frame_ns = now - null_display_last_ns;
    null_display_last_ns = now;
}
void display_wait_retrace(void) {}
void display_close(void) {}
