// part3.cpp: part 3 of the show (not built yet: it shows nothing).
#include "parts.h"

void part3_load(void) {}
void part3_run(Image *, int, int) {}
void part3_free(void) {}
