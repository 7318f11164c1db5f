// part2.cpp: part 2 of the show (not built yet: it shows nothing).
#include "parts.h"

void part2_load(const char *, int, int) {}
void part2_run(Image *, int) {}
void part2_free(void) {}
