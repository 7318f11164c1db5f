// song.h: the show's music, composed as data: sections timed to the show's
// part changes, their chords, lines and drum patterns, written into an
// extended module with the instruments of synth.h.
#pragma once

#include "xm_file.h"

// A stretch of the song with its own arrangement. start_s is when the
// section should begin, seconds after the song starts; rows at speed 6.
struct SongSection {
    const char *name;
    double start_s;
    int rows;
};

constexpr int song_section_count = 8;
extern const SongSection song_sections[song_section_count];
// When the song should end: the show's last frame, part 8 being 3 s long.
constexpr double song_end_s = 133.1;

constexpr int song_channels = 16;
constexpr int song_speed = 6;

// Tempo (beats per minute, a tick being 2.5 / bpm seconds) for each section,
// chosen so that each section begins, and the last one ends, as close as
// whole ticks allow to its start_s (song_end_s).
void song_section_tempos(int bpm[song_section_count]);

// XM note number of a name like "C-4", "D5", "F#3" or "Bb4" (C-0 is 1);
// 0 for anything else.
int song_note(const char *name);

// The complete module.
XmModule song_build();
