// part1.cpp: part 1 of the show (not built yet: it shows nothing).
#include "parts.h"

void part1_load(void) {}
void part1_run(Image *, int) {}
void part1_free(void) {}
