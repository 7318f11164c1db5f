// parts.h: the eight parts of the show, each a load / run / free triple
// (part 8 loads and frees inside its run). Durations are in tenths of a
// second.
#pragma once

#include "../runtime/skarn.h"

void part1_load(void);
void part1_run(Image *frame, int duration);
void part1_free(void);

void part2_load(const char *background, int direction, int variant);
void part2_run(Image *frame, int duration);
void part2_free(void);

void part3_load(void);
void part3_run(Image *frame, int duration, int ignored);
void part3_free(void);

void part4_load(const char *flat_picture, const char *dug_picture, const char *raised_picture);
void part4_run(Image *frame, int duration);
void part4_free(void);

void part5_load(void);
void part5_run(Image *frame);
void part5_free(void);

void part6_load(void);
void part6_run(Image *frame, int tenths);
void part6_free(void);

void part7_load(void);
void part7_run(Image *frame);
void part7_free(void);

void part8_run(Image *frame, int fade, int hold, const char *path);
