// The generated module as the show will read it: it is the generator's
// output, it parses, its sections begin when the show's parts change, it
// ends once without looping, and its instruments are sound.
#include "song.h"
#include "synth.h"
#include "xm_file.h"
#include "xm_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

const ReadModule &module()
{
    static ReadModule m;
    static bool done = false;
    if (!done) {
        std::string error;
        std::vector<uint8_t> bytes = read_whole_file(SKARN_MUSIC_FILE);
        EXPECT_FALSE(bytes.empty()) << SKARN_MUSIC_FILE;
        EXPECT_TRUE(xm_read(bytes, &m, &error)) << error;
        done = true;
    }
    return m;
}

// Every row of the song in playing order, with the time it starts.
std::vector<PlayedRow> song_rows() { return xm_played_rows(module()); }

int section_start_row(int section)
{
    int row = 0;
    for (int i = 0; i < section; i++)
        row += song_sections[i].rows;
    return row;
}

int note_ons(const std::vector<PlayedRow> &rows, int channel, int from, int to)
{
    int n = 0;
    for (int r = from; r < to; r++)
        if (rows[size_t(r)].cells[channel].note > 0 && rows[size_t(r)].cells[channel].note < xm_note_off)
            n++;
    return n;
}

} // namespace

TEST(XmSong, BuiltFileIsTheGeneratorsOutputAndRepeatable)
{
    std::vector<uint8_t> first = xm_write(song_build());
    std::vector<uint8_t> second = xm_write(song_build());
    EXPECT_EQ(first, second);
    EXPECT_EQ(read_whole_file(SKARN_MUSIC_FILE), first);
    EXPECT_EQ(xm_check(song_build()), "");
}

TEST(XmSong, HeaderAndCellsAreInRange)
{
    const ReadModule &m = module();
    EXPECT_EQ(m.version, 0x0104);
    EXPECT_EQ(m.channels, song_channels);
    EXPECT_EQ(m.flags, 1);
    EXPECT_EQ(m.speed, 6);
    EXPECT_EQ(int(m.instruments.size()), int(synth_count));
    for (const ReadPattern &p : m.patterns)
        for (const ReadCell &c : p.cells) {
            ASSERT_LE(c.note, xm_note_off);
            ASSERT_LE(c.instrument, int(m.instruments.size()));
            ASSERT_TRUE(c.volume == 0 || (c.volume >= 0x10 && c.volume <= 0x50)) << c.volume;
            // Only tempo and global volume are used as effects.
            ASSERT_TRUE(c.effect == 0 || c.effect == 0x0f || c.effect == 0x10) << c.effect;
            if (c.effect == 0x0f) {
                ASSERT_GE(c.param, 32);
            }
            if (c.effect == 0x10) {
                ASSERT_LE(c.param, 64);
            }
        }
}

TEST(XmSong, PlaysOnceWithoutJumps)
{
    const ReadModule &m = module();
    int jumps = -1;
    std::vector<double> t = xm_order_times(m, &jumps);
    EXPECT_EQ(jumps, 0);
    EXPECT_EQ(m.restart, 0);
    // The show's eight parts last 133.1 s; the song ends with them, not in
    // the middle of its closing chord.
    EXPECT_DOUBLE_EQ(song_end_s, 21.7 + 24.5 + 2.7 + 32.5 + 16.5 + 10.6 + 21.6 + 3.0);
    EXPECT_NEAR(t.back(), song_end_s, 0.1);
}

TEST(XmSong, SectionsBeginWhenThePartsChange)
{
    std::vector<PlayedRow> rows = song_rows();
    int total = 0;
    for (const SongSection &s : song_sections)
        total += s.rows;
    ASSERT_EQ(int(rows.size()), total + 1);
    const double part_changes[song_section_count] = {0, 21.7, 46.2, 48.9, 81.4, 97.9, 108.5, 130.1};
    for (int i = 0; i < song_section_count; i++) {
        EXPECT_DOUBLE_EQ(song_sections[i].start_s, part_changes[i]);
        EXPECT_NEAR(rows[size_t(section_start_row(i))].time, part_changes[i], 0.06) << song_sections[i].name;
    }
    // No section lurches away from the song's pace.
    int bpm[song_section_count];
    song_section_tempos(bpm);
    for (int b : bpm) {
        EXPECT_GE(b, 128);
        EXPECT_LE(b, 138);
    }
    // Section edges fall on pattern starts, where the tempo is set.
    for (int i = 0; i < song_section_count; i++)
        EXPECT_EQ(rows[size_t(section_start_row(i))].cells[0].effect, 0x0f) << i;
}

TEST(XmSong, SectionsAreArrangedDifferently)
{
    std::vector<PlayedRow> rows = song_rows();
    // Note-ons per bar over a section's first (at most) eight bars.
    auto per_bar = [&](int section, int channel) {
        int from = section_start_row(section);
        int length = std::min(song_sections[section].rows, 128);
        return note_ons(rows, channel, from, from + length) * 16.0 / length;
    };
    const int kick = 0, snare = 1, bass = 3, lead = 4;
    // The opening starts with pads alone: no drums, bass or lead for 4 bars.
    for (int ch : {kick, snare, 2, bass, lead})
        EXPECT_EQ(note_ons(rows, ch, 0, 64), 0) << ch;
    EXPECT_GT(note_ons(rows, 6, 0, 64) + note_ons(rows, 9, 0, 64), 0);
    // The melt drops the kick; the soft blobs under the metaballs (part 5,
    // which runs before part 4) go half time; the tunnel, the staccato
    // bounce under the bouncing balls, the objects and the pages drive four
    // to the bar.
    EXPECT_EQ(per_bar(2, kick), 0);
    EXPECT_STREQ(song_sections[3].name, "blobs");
    EXPECT_NEAR(per_bar(3, kick), 2.0, 0.01);
    EXPECT_NEAR(song_sections[4].start_s - song_sections[3].start_s, 32.5, 1e-9);  // part 5
    EXPECT_NEAR(song_sections[5].start_s - song_sections[4].start_s, 16.5, 1e-9);  // part 4
    for (int s : {1, 4, 5, 6})
        EXPECT_GE(per_bar(s, kick), 4.0) << s;
    // The bounce's bass is busier than the blobs'.
    EXPECT_GT(per_bar(4, bass), 2 * per_bar(3, bass));
}

TEST(XmSong, EndsWithAFadeToSilence)
{
    std::vector<PlayedRow> rows = song_rows();
    int close = section_start_row(song_section_count - 1);
    int last_level = 64, silent_from = -1, previous = 64;
    for (int r = close; r + 1 < int(rows.size()); r++) {
        const ReadCell &fx = rows[size_t(r)].cells[13];
        if (fx.effect == 0x10) {
            EXPECT_LE(fx.param, previous) << "the fade only goes down";
            previous = last_level = fx.param;
            if (fx.param == 0 && silent_from < 0)
                silent_from = r;
        }
    }
    EXPECT_EQ(last_level, 0);
    ASSERT_GE(silent_from, 0);
    // The closing picture shows for 3 s: the chord fades over most of it
    // and a moment of silence ends the song with the show.
    double end = rows.back().time;
    EXPECT_GE(end - rows[size_t(silent_from)].time, 0.4);
    EXPECT_LE(end - rows[size_t(silent_from)].time, 0.8);
    EXPECT_GE(rows[size_t(silent_from)].time - rows[size_t(close)].time, 2.0);
    EXPECT_NEAR(end - rows[size_t(close)].time, 3.0, 0.1);
    // The closing chord is struck at once and nothing new starts later.
    for (int r = close + 16; r + 1 < int(rows.size()); r++)
        for (int c = 0; c < song_channels; c++)
            EXPECT_TRUE(rows[size_t(r)].cells[c].note == 0 || rows[size_t(r)].cells[c].note == xm_note_off);
}

TEST(XmSong, NoteNames)
{
    EXPECT_EQ(song_note("C-0"), 1);
    EXPECT_EQ(song_note("C4"), 49);
    EXPECT_EQ(song_note("C#4"), 50);
    EXPECT_EQ(song_note("Bb4"), 59);
    EXPECT_EQ(song_note("a4"), 58);
    EXPECT_EQ(song_note("B7"), 96);
    EXPECT_EQ(song_note("Cb0"), 0);
    EXPECT_EQ(song_note("C8"), 0);
    EXPECT_EQ(song_note("H4"), 0);
    EXPECT_EQ(song_note("C44"), 0);
    EXPECT_EQ(song_note(""), 0);
    EXPECT_EQ(song_note(nullptr), 0);
}

TEST(XmInstruments, SamplesAreLoudCleanAndSeamless)
{
    const ReadModule &m = module();
    for (const ReadInstrument &in : m.instruments) {
        SCOPED_TRACE(in.name);
        EXPECT_FALSE(in.name.empty());
        EXPECT_TRUE(in.sixteen_bit);
        ASSERT_FALSE(in.data.empty());
        int peak = 0, step = 0;
        for (size_t i = 0; i < in.data.size(); i++) {
            peak = std::max(peak, std::abs(int(in.data[i])));
            if (i)
                step = std::max(step, std::abs(int(in.data[i]) - int(in.data[i - 1])));
        }
        EXPECT_GT(peak, 20000);   // normalised, so volumes mean the same everywhere
        EXPECT_LT(peak, 32000);   // with headroom
        if (in.loop_type != 0) {
            ASSERT_GT(in.loop_length, 0u);
            ASSERT_LE(in.loop_start + in.loop_length, in.data.size());
            // Jumping from the loop's end back to its start is no bigger a
            // step than the waveform takes anywhere else.
            int seam = std::abs(int(in.data[in.loop_start]) - int(in.data[in.loop_start + in.loop_length - 1]));
            EXPECT_LE(seam, step);
            EXPECT_GE(in.volume_points, 2);  // looped sounds need an envelope to stop
        } else {
            // One-shots die away to nothing instead of clicking off.
            int tail = 0;
            for (size_t i = in.data.size() - std::min<size_t>(64, in.data.size()); i < in.data.size(); i++)
                tail = std::max(tail, std::abs(int(in.data[i])));
            EXPECT_LT(tail, 1200);
        }
    }
}

TEST(XmInstruments, TonesRepeatAtTheirPitch)
{
    // Period in frames of each pitched loop's C at synth_rate, from the
    // octave its relative note declares: 128 frames is C-4.
    const ReadModule &m = module();
    for (int id : {synth_bass, synth_lead, synth_pad}) {
        const ReadInstrument &in = m.instruments[size_t(id - 1)];
        SCOPED_TRACE(in.name);
        int octave = 4 - (in.relative_note - 24) / 12;
        EXPECT_EQ(in.relative_note, synth_relative_note(octave));
        size_t period = size_t(2048) >> octave;  // 128 frames at octave 4
        ASSERT_NE(in.loop_type, 0);
        ASSERT_EQ(in.loop_length % period, 0u);
        // Correlate around the loop, as the player runs through it.
        auto at = [&](size_t i) { return double(in.data[in.loop_start + i % in.loop_length]); };
        double same = 0, half = 0, energy = 0;
        for (size_t i = 0; i < in.loop_length; i++) {
            energy += at(i) * at(i);
            same += at(i) * at(i + period);
            half += at(i) * at(i + period / 2);
        }
        EXPECT_GT(same / energy, 0.9);
        EXPECT_LT(half / energy, 0.5);
    }
}
