// null_display.h: the benchmarks' display that shows nothing, and the
// slowest frame it saw: the most process CPU time between two frames since
// null_display_start_timing.
#pragma once

#include "skarn.h"

#include <cstdint>

extern int64_t null_display_worst_frame_ns;
void null_display_start_timing(void);
