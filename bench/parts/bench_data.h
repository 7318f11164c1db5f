// bench_data.h: what the parts' benchmarks share. The show's generated data
// folder becomes the working folder (the parts read their pictures and
// objects by relative path, and part 8 reads its picture when it runs).
#pragma once

#include "skarn.h"

// Once per program, whoever asks first: the sine tables, srand(7), the two
// work images and the working folder. Returns a 320 x 240 frame for the
// caller to draw into (and to free).
Image *bench_parts_setup(void);
