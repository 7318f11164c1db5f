// part7.cpp: part 7 of the show (not built yet: it shows nothing).
#include "parts.h"

void part7_load(void) {}
void part7_run(Image *) {}
void part7_free(void) {}
