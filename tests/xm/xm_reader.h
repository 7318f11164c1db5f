// xm_reader.h: an independent reader of extended modules for the tests. It
// follows the file layout from the bytes (declared header sizes, packed
// pattern sizes), so a writer fault shows up as a parse error or a wrong
// value rather than being mirrored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ReadCell {
    int note = 0, instrument = 0, volume = 0, effect = 0, param = 0;
};

struct ReadPattern {
    int rows = 0;
    std::vector<ReadCell> cells;  // row after row
};

struct ReadInstrument {
    std::string name;
    int samples = 0;
    int volume_points = 0;
    int volume_sustain = 0;
    int volume_type = 0;
    int fadeout = 0;
    int vibrato_depth = 0;
    int relative_note = 0;
    int finetune = 0;
    int sample_volume = 0;
    int panning = 0;
    int loop_type = 0;
    bool sixteen_bit = false;
    uint32_t loop_start = 0, loop_length = 0;  // frames
    std::vector<int16_t> data;                  // decoded frames
};

struct ReadModule {
    std::string id, name, tracker;
    int version = 0, channels = 0, speed = 0, bpm = 0, restart = 0, flags = 0;
    std::vector<int> orders;
    std::vector<ReadPattern> patterns;
    std::vector<ReadInstrument> instruments;
};

// Parses the bytes; on a malformed file returns false with *error set.
bool xm_read(const std::vector<uint8_t> &bytes, ReadModule *module, std::string *error);

// One row as the song plays it: its cells (channels of them) and the
// second it starts; the extra last row has no cells and marks the end.
struct PlayedRow {
    const ReadCell *cells;
    double time;
};

// Every row in playing order when the song is played through once with the
// tempo effects it carries (F: below 32 speed, else beats per minute; a row
// lasts speed x 2.5 / bpm seconds, with its own tempo effect applied).
std::vector<PlayedRow> xm_played_rows(const ReadModule &module);

// Seconds from the start of each order-list entry, the same walk as
// xm_played_rows; the extra last entry is the song's end. Jumps and breaks
// (B, D effects) are reported in *jumps.
std::vector<double> xm_order_times(const ReadModule &module, int *jumps);

std::vector<uint8_t> read_whole_file(const std::string &path);
