// recording_display.h: a display back end for tests and benchmarks. It
// shows nothing; it keeps the last palette and frame, a checksum of every
// frame, and a log of every call in order.
#pragma once

#include "skarn.h"

#include <cstdint>
#include <string>
#include <vector>

struct RecordedCall {
    char op;          // 'o' open, 'p' palette, 'f' frame, 'r' retrace, 'c' close
    uint32_t sum;     // palette or frame checksum (FNV-1a), 0 for the others
    int32_t origin;   // the part clock's start (timer_origin_ms) at the call:
                      // every run of a part starts it, so it tells runs apart
};

extern std::vector<RecordedCall> recording_calls;
extern Palette recording_palette;             // the last palette set
extern std::vector<uint8_t> recording_frame;  // the last frame shown
extern int recording_width, recording_height; // size of the last frame
extern int recording_frame_count;
// When set, every frame and the palette it was shown with are kept.
extern bool recording_keep_frames;
extern std::vector<std::vector<uint8_t>> recording_frames;
extern std::vector<Palette> recording_frame_palettes;

void recording_reset(void);
uint32_t recording_checksum(const uint8_t *data, size_t n);
// The call log as one letter per call ("oprfprfc..."), for order tests.
std::string recording_ops(void);
