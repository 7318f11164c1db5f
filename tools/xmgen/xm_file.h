// xm_file.h: the records of an extended tracker module (format 1.04) and the
// writer that turns them into the file's bytes. The generator fills these
// records; nothing here knows about the song itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int xm_note_off = 97;     // the note value that releases a key
constexpr int xm_max_rows = 256;    // rows per pattern
constexpr int xm_max_channels = 32;

// One cell of a pattern. Zero in a field means "nothing there".
struct XmCell {
    uint8_t note = 0;        // 1 = C-0 .. 96 = B-7, 97 = key off
    uint8_t instrument = 0;  // 1-based
    uint8_t volume = 0;      // volume column: 0x10..0x50 sets volume 0..64
    uint8_t effect = 0;
    uint8_t param = 0;
    bool operator==(const XmCell &) const = default;
};

// Cells are stored row after row: cells[row * channels + channel].
struct XmPattern {
    int rows = 64;
    std::vector<XmCell> cells;
};

// One envelope point: x in ticks, y in 0..64.
struct XmEnvelopePoint {
    uint16_t x;
    uint16_t y;
};

enum XmLoop : uint8_t { xm_loop_none = 0, xm_loop_forward = 1, xm_loop_pingpong = 2 };

// A 16-bit mono sample; loop bounds in sample frames.
struct XmSample {
    std::string name;
    std::vector<int16_t> data;
    uint32_t loop_start = 0;
    uint32_t loop_length = 0;
    XmLoop loop = xm_loop_none;
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t panning = 128;
    int8_t relative_note = 0;
};

// An instrument with exactly one sample mapped over the whole keyboard.
struct XmInstrument {
    std::string name;
    XmSample sample;
    std::vector<XmEnvelopePoint> volume_envelope;  // empty: envelope off
    int volume_sustain = -1;                       // point index, -1: none
    uint8_t vibrato_type = 0;
    uint8_t vibrato_sweep = 0;
    uint8_t vibrato_depth = 0;
    uint8_t vibrato_rate = 0;
    uint16_t fadeout = 0;
};

struct XmModule {
    std::string name;
    int channels = 8;
    int speed = 6;     // ticks per row at the start
    int bpm = 125;     // at the start; a tick lasts 2.5 / bpm seconds
    int restart = 0;
    std::vector<uint8_t> orders;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// Empty pattern of the given size.
XmPattern xm_pattern_make(int rows, int channels);

// Pattern data in the packed form: a cell with all five fields is written
// whole, any other cell as a flag byte (0x80 | which fields follow) and the
// fields present.
std::vector<uint8_t> xm_pack_pattern(const XmPattern &pattern, int channels);

// Sample data as stored: each value minus the one before it, little-endian.
std::vector<uint8_t> xm_delta_encode16(const std::vector<int16_t> &data);

// Checks the module's counts and ranges; returns an empty string when it can
// be written, otherwise what is wrong.
std::string xm_check(const XmModule &module);

// The whole file. The module must pass xm_check.
std::vector<uint8_t> xm_write(const XmModule &module);
