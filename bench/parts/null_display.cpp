// null_display.cpp: a display back end that shows nothing and costs
// nothing, so the benchmarks measure only the parts' own drawing.
#include "skarn.h"

int display_open(int, char **, const char *, int, int) { return 0; }
void display_set_palette(const Palette *) {}
void display_put_frame(const Image *) {}
void display_wait_retrace(void) {}
void display_close(void) {}
