// virtual_clock.h: a time source in which sleeping and spinning cost no
// real time, so parts and the whole show run deterministically in CPU time.
#pragma once

#include <cstdint>
#include <ctime>

// Virtual time in microseconds. Every clock_ms() reading advances it by
// virtual_clock_read_cost_us (so a spin ends), every sleep by its length.
extern int64_t virtual_clock_us;
extern int64_t virtual_clock_read_cost_us;
extern int64_t virtual_clock_slept_ms;  // total of all sleeps
extern int virtual_clock_sleeps;        // number of sleeps

void virtual_clock_set_ms(int64_t ms);

// The time of day the virtual clock reports (12:34:56 UTC by default), so a
// whole show seeds its random numbers the same way on every run.
extern time_t virtual_clock_wall_time;
