// part6.cpp: part 6 of the show (not built yet: it shows nothing).
#include "parts.h"

void part6_load(void) {}
void part6_run(Image *, int) {}
void part6_free(void) {}
