// clock_wall.cpp: the real time source of the programs. A monotonic clock
// in whole milliseconds, wrapping in 32 bits, and a plain sleep. Tests and
// benchmarks link a virtual clock in place of this file.
#include "skarn.h"

#include <ctime>

int32_t clock_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int32_t)((uint32_t)ts.tv_sec * 1000u + (uint32_t)(ts.tv_nsec / 1000000));
}

time_t clock_wall_time(void)
{
    return time(nullptr);
}

void clock_sleep_ms(int ms)
{
    struct timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = (long)(ms % 1000) * 1000000L;
    nanosleep(&ts, nullptr);  // an early wake-up is made up by the spin
}
