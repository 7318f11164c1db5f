// part5.cpp: part 5 of the show (not built yet: it shows nothing).
#include "parts.h"

void part5_load(void) {}
void part5_run(Image *) {}
void part5_free(void) {}
