// clock.cpp: the part clock, sleep-then-spin frame pacing, random numbers
// and the integer sine and cosine tables. The time source itself is
// clock_ms / clock_sleep_ms in a file of its own (clock_wall.cpp).
#include "skarn.h"

#include <cmath>
#include <cstdlib>
#include <ctime>

int32_t timer_origin_ms = 0;
int32_t sin_table[1024];
int32_t cos_table[1024];

// Millisecond values wrap modulo 2^32; differences are taken in unsigned
// arithmetic and read back as signed, so a wrap costs nothing.
static int32_t ms_diff(int32_t a, int32_t b)
{
    return (int32_t)((uint32_t)a - (uint32_t)b);
}

void timer_start(void)
{
    timer_origin_ms = clock_ms();
}

int32_t timer_elapsed_ms(void)
{
    return ms_diff(clock_ms(), timer_origin_ms);
}

int timer_elapsed_tenths(void)
{
    // The double nearest 0.01 lies just above it, so the product never drops
    // below the exact whole tenths.
    return (int)((double)timer_elapsed_ms() * 0.01);
}

int wait_until_ms(int base_ms, int offset_ms)
{
    const int32_t deadline = (int32_t)((uint32_t)base_ms + (uint32_t)offset_ms);
    int32_t left = ms_diff(deadline, clock_ms());
    int32_t sleep_ms = left / 10 * 10;
    if (sleep_ms > 0)
        clock_sleep_ms(sleep_ms);
    // Spin to the exact millisecond; the signed difference keeps the test
    // right across a wrap of the 32-bit value.
    while (ms_diff(clock_ms(), deadline) < 0) {
    }
    // Every part's frame loop passes here: the place to end the show when
    // a stop signal came during the frame.
    show_check_stop();
    return 0;
}

void random_seed(void)
{
    time_t now = clock_wall_time();
    struct tm fields;
    gmtime_r(&now, &fields);
    srand((unsigned)((fields.tm_min + 1) * fields.tm_sec * (fields.tm_hour + 1)));
}

int random_below(int n)
{
    // rand() x n scaled by the double nearest 1/(2^31 + 1): never reaches n.
    return (int)((double)rand() * (double)n * 4.656612870908988e-10);
}

void trig_build_tables(void)
{
    const double step = 0.006135923151542565;  // the double nearest 2pi/1024
    for (int i = 0; i < 1024; i++) {
        double angle = i * step;
        cos_table[i] = (int32_t)(1023.0 * cos(angle));
        sin_table[i] = (int32_t)(1023.0 * sin(angle));
    }
}
