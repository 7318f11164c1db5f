// module_writer.h: writes tiny ProTracker (M.K.) modules for the music
// tests, so they never depend on the show's own song.
#pragma once

#include <string>

// One pattern played `orders` times; each pass plays `rows` rows (a pattern
// break ends it early) at `speed` ticks per row and the default 125 BPM, so
// the song lasts orders * rows * speed * 20 ms. Channel 0 sounds a looped
// square wave from the first row to the last,
// which is silent, so the sound ends one row before the song does. Returns false when the file cannot be
// written.
bool module_write_mod(const std::string &path, int orders, int rows, int speed);

// The song length of such a module in milliseconds.
constexpr long module_duration_ms(int orders, int rows, int speed)
{
    return (long)orders * rows * speed * 20;
}
