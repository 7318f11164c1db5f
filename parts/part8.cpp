// part8.cpp: part 8 of the show (not built yet: it shows nothing).
#include "parts.h"

void part8_run(Image *, int, int, const char *) {}
