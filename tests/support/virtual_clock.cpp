// virtual_clock.cpp: the virtual time source linked into tests and
// benchmarks in place of the wall clock.
#include "virtual_clock.h"
#include "skarn.h"

int64_t virtual_clock_us = 0;
int64_t virtual_clock_read_cost_us = 50;
int64_t virtual_clock_slept_ms = 0;
int virtual_clock_sleeps = 0;
time_t virtual_clock_wall_time = 12 * 3600 + 34 * 60 + 56;

time_t clock_wall_time(void)
{
    return virtual_clock_wall_time;
}

void virtual_clock_set_ms(int64_t ms)
{
    virtual_clock_us = ms * 1000;
    virtual_clock_slept_ms = 0;
    virtual_clock_sleeps = 0;
}

int32_t clock_ms(void)
{
    int32_t now = (int32_t)(uint32_t)(uint64_t)(virtual_clock_us / 1000);
    virtual_clock_us += virtual_clock_read_cost_us;
    return now;
}

void clock_sleep_ms(int ms)
{
    virtual_clock_us += (int64_t)ms * 1000;
    virtual_clock_slept_ms += ms;
    virtual_clock_sleeps++;
}
