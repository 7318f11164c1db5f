// fake_fb_device.h: a frame-buffer console in memory, linked into the
// back end's tests in place of the Linux calls. It holds the screen
// information, the screen memory, the hardware colour map and every map
// put, logs each call in order, and fails the calls a test picks.
#pragma once

#include "fb_device.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

enum FakeFbCall {
    FAKE_SET_VT_MODE,
    FAKE_RELEASE_VT,
    FAKE_OPEN,
    FAKE_GET_FIXED,
    FAKE_GET_VARIABLE,
    FAKE_GET_CMAP,
    FAKE_PUT_CMAP,
    FAKE_MAP,
};

// red[256], green[256], blue[256] of one colour map.
using FakeColourMap = std::array<uint16_t, 768>;

struct FakeFb {
    std::string tty;  // what ttyname gives; empty: standard output is no terminal
    fb_fix_screeninfo fixed;
    fb_var_screeninfo variable;
    std::vector<uint8_t> memory;       // the screen memory, smem_len bytes
    FakeColourMap cmap;                // the hardware colour map
    std::vector<FakeColourMap> puts;   // every map put, in order
    unsigned failing;                  // bit (1 << FakeFbCall): that call fails
    std::vector<std::string> log;      // one word or two per call
    bool echo;                         // also print each log entry on standard output
};

extern FakeFb fake_fb;
// When set, called after each call is logged, with its log entry: a test
// raises the console's signals from inside a call this way.
extern void (*fake_fb_hook)(const std::string &entry);

// A fresh console on /dev/tty1: xres x yres at 8 bits (pseudo colour), 16
// (red 11/5, green 5/6, blue 0/5) or 32 (red 16/8, green 8/8, blue 0/8),
// rows pad bytes longer than the picture, the visible area at the pan
// offsets xoffset, yoffset, and memory for exactly that. The colour map
// starts with the console's own colours (entry i: i, 255 - i, i ^ 0x5A in
// the high bytes).
void fake_fb_reset(int xres, int yres, int bpp, int pad = 0, int xoffset = 0, int yoffset = 0);
// The log as one line, entries separated by a blank.
std::string fake_fb_calls(void);
