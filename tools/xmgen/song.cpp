// song.cpp: the composition. D minor, about 133 beats a minute, 16 rows a
// bar. The whole song is first written into one long grid of rows, then cut
// into patterns at section edges (at most 64 rows each) and listed once in
// order, so the song plays through a single time and stops.
#include "song.h"

#include "synth.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>

const SongSection song_sections[song_section_count] = {
    {"opening", 0.0, 192},   // 12 bars: pad, bells, then bass and beat come in
    {"tunnel", 21.7, 216},   // 13.5 bars: full groove, main theme
    {"melt", 46.2, 24},      // 1.5 bars: drums drop, a falling line over a rising sweep
    {"blobs", 48.9, 288},    // 18 bars: half time, soft and wide, under the metaballs
    {"bounce", 81.4, 144},   // 9 bars: second theme, staccato, under the bouncing balls
    {"objects", 97.9, 96},   // 6 bars: driving riff that builds
    {"pages", 108.5, 192},   // 12 bars: the theme at its fullest
    {"close", 130.1, 26},    // the last chord, faded out within the closing picture
};

void song_section_tempos(int bpm[song_section_count])
{
    double t = 0;
    for (int i = 0; i < song_section_count; i++) {
        // A section of `rows` rows lasts rows * speed * 2.5 / bpm seconds;
        // pick the whole bpm that lands its end nearest the next start (the
        // song's end for the last), counting from where the previous
        // sections really ended.
        const double end = i + 1 < song_section_count ? song_sections[i + 1].start_s : song_end_s;
        double wanted = end - t;
        double ticks = double(song_sections[i].rows) * song_speed;
        int b = int(std::lround(ticks * 2.5 / wanted));
        bpm[i] = b < 32 ? 32 : b > 255 ? 255 : b;
        t += ticks * 2.5 / bpm[i];
    }
}

int song_note(const char *name)
{
    static const int semitone[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (!name || !name[0])
        return 0;
    char letter = char(std::toupper(uint8_t(name[0])));
    if (letter < 'A' || letter > 'G')
        return 0;
    int s = semitone[letter - 'A'];
    const char *p = name + 1;
    if (*p == '#') {
        s++;
        p++;
    } else if (*p == 'b') {
        s--;
        p++;
    } else if (*p == '-') {
        p++;
    }
    if (*p < '0' || *p > '7' || p[1] != 0)
        return 0;
    int n = 12 * (*p - '0') + s + 1;
    return n >= 1 && n <= 96 ? n : 0;
}

namespace {

// Channels of the grid.
enum Channel {
    ch_kick, ch_snare, ch_hat, ch_bass, ch_lead, ch_echo,
    ch_pad_a, ch_pad_a2, ch_pad_a3, ch_pad_b, ch_pad_b2, ch_pad_b3,
    ch_bell, ch_fx, ch_bell2, ch_open_hat
};

constexpr int bar = 16;

struct Grid {
    int rows = 0;
    std::vector<XmCell> cells;
};

Grid grid;

XmCell &cell(int row, int ch) { return grid.cells[size_t(row) * song_channels + size_t(ch)]; }

// The mixing desk: a gain per channel applied to every volume written, so
// the arrangement below can speak of loud and soft in its own terms.
constexpr double channel_gain[song_channels] = {
    1.0,  1.3,  1.5,  0.85, 1.35, 1.0,  // kick, snare, hat, bass, lead, echo
    1.0,  1.0,  1.0,  1.0,  1.0,  1.0,  // the two pad groups
    1.1,  1.3,  1.1,  1.3,              // bell, effects, second bell, open hat
};

void put(int row, int ch, int note, int instrument, int volume)
{
    XmCell &c = cell(row, ch);
    c.note = uint8_t(note);
    c.instrument = uint8_t(instrument);
    int v = int(std::lround(volume * channel_gain[ch]));
    c.volume = uint8_t(0x10 + (v > 64 ? 64 : v < 0 ? 0 : v));
}

void key_off(int row, int ch)
{
    XmCell &c = cell(row, ch);
    if (!c.note)
        c.note = xm_note_off;
}

// ---------------------------------------------------------------- harmony

enum Quality { major, minor, maj7, min7, sus4, dom7 };

struct Chord {
    int root;  // pitch class, C = 0
    Quality quality;
};

constexpr int C = 0, D = 2, E = 4, F = 5, G = 7, A = 9, Bb = 10;

// The chord's tones as pitch classes, root first; count in *n.
void chord_tones(Chord c, int tones[4], int *n)
{
    static const int shape[6][4] = {{0, 4, 7, -1}, {0, 3, 7, -1}, {0, 4, 7, 11},
                                    {0, 3, 7, 10}, {0, 5, 7, -1}, {0, 4, 7, 10}};
    *n = 0;
    for (int i = 0; i < 4; i++)
        if (shape[c.quality][i] >= 0)
            tones[(*n)++] = (c.root + shape[c.quality][i]) % 12;
}

// The pitch class placed at or above XM note `low` (within one octave).
int place(int pitch_class, int low)
{
    int n = low;
    while ((n - 1) % 12 != pitch_class)
        n++;
    return n;
}

// Three pad notes in the octave from A-3: triads whole, seventh chords
// without their root (the bass plays it). Keeping every voice inside one
// octave keeps the voices moving by small steps from chord to chord.
void pad_voicing(Chord c, int out[3])
{
    int tones[4], n;
    chord_tones(c, tones, &n);
    const int *use = n == 4 ? tones + 1 : tones;
    for (int i = 0; i < 3; i++)
        out[i] = place(use[i], song_note("A3"));
    for (int i = 0; i < 3; i++)  // sort upwards
        for (int j = i + 1; j < 3; j++)
            if (out[j] < out[i])
                std::swap(out[i], out[j]);
}

int bass_root(Chord c) { return place(c.root, song_note("C2")); }

// ---------------------------------------------------------------- writers

// Pads: each chord on one group of three channels while the group before
// releases, so chord changes cross-fade instead of cutting.
int pad_group = 0;

void pads(int row, const Chord *chords, int count, int bars_each, int volume)
{
    for (int i = 0; i < count; i++) {
        int r = row + i * bars_each * bar;
        int first = pad_group ? ch_pad_b : ch_pad_a;
        int other = pad_group ? ch_pad_a : ch_pad_b;
        int notes[3];
        pad_voicing(chords[i], notes);
        for (int v = 0; v < 3; v++) {
            key_off(r, other + v);
            put(r, first + v, notes[v], synth_pad, volume);
        }
        pad_group ^= 1;
    }
}

void pads_release(int row)
{
    for (int v = 0; v < 3; v++) {
        key_off(row, ch_pad_a + v);
        key_off(row, ch_pad_b + v);
    }
}

// A line written like a tracker column, one token a row: a note name
// starts a note, "-" releases it, "." leaves the row alone.
void line(int row, int ch, int instrument, int volume, const char *text, int transpose = 0)
{
    std::istringstream in(text);
    std::string token;
    for (int r = row; in >> token; r++) {
        if (token == ".")
            continue;
        if (token == "-") {
            key_off(r, ch);
            continue;
        }
        int n = song_note(token.c_str());
        if (n)
            put(r, ch, n + transpose, instrument, volume);
    }
}

// Drums: one character a row. X, x, o and g are hits from loud to ghost.
void drums(int row, int ch, int instrument, int scale, const char *pattern, int bars = 1)
{
    int len = int(std::strlen(pattern));
    for (int b = 0; b < bars; b++)
        for (int i = 0; i < len; i++) {
            int level = 0;
            switch (pattern[i]) {
            case 'X': level = 64; break;
            case 'x': level = 50; break;
            case 'o': level = 36; break;
            case 'g': level = 22; break;
            default: continue;
            }
            put(row + b * len + i, ch, song_note("C4"), instrument, level * scale / 64);
        }
}

// Bass over a chord list, one chord per bar: R root, O octave up, 5 fifth,
// "-" release, "." hold.
void bass(int row, const Chord *chords, int count, int volume, const char *rhythm)
{
    for (int i = 0; i < count; i++) {
        int root = bass_root(chords[i]);
        const char *p = rhythm;
        for (int r = 0; *p; r++, p++) {
            int at = row + i * bar + r;
            switch (*p) {
            case 'R': put(at, ch_bass, root, synth_bass, volume); break;
            case 'O': put(at, ch_bass, root + 12, synth_bass, volume - 6); break;
            case '5': put(at, ch_bass, root + 7, synth_bass, volume - 4); break;
            case '-': key_off(at, ch_bass); break;
            default: break;
            }
        }
    }
}

// Bell arpeggio over a chord list: each step picks a chord tone by index
// (0 root, 1 third, ...; indices past the chord go up an octave), one step
// every `step` rows from C-5 up.
void arpeggio(int row, int ch, const Chord *chords, int count, int step, const char *order, int volume)
{
    int len = int(std::strlen(order));
    for (int i = 0; i < count; i++) {
        int tones[4], n;
        chord_tones(chords[i], tones, &n);
        int k = 0;
        for (int r = 0; r < bar; r += step, k++) {
            int idx = order[k % len] - '0';
            int note = place(tones[idx % n], song_note("C5")) + 12 * (idx / n);
            put(row + i * bar + r, ch, note, synth_bell, volume);
        }
    }
}

// The lead's echo: the lead channel's notes again `delay` rows later on the
// softer, panned echo instrument.
void echo(int from_row, int to_row, int delay)
{
    for (int r = to_row - 1; r >= from_row; r--) {
        const XmCell &src = cell(r, ch_lead);
        if (!src.note || r + delay >= grid.rows)
            continue;
        XmCell &dst = cell(r + delay, ch_echo);
        dst.note = src.note;
        dst.instrument = src.note == xm_note_off ? 0 : uint8_t(synth_echo);
        dst.volume = src.volume ? uint8_t(0x10 + ((src.volume - 0x10) * 5) / 8) : 0;
    }
}

// A rising row of snare hits, loudest at the end.
void snare_roll(int row, int rows, int step, int from, int to)
{
    for (int r = 0; r < rows; r += step)
        put(row + r, ch_snare, song_note("C4"), synth_snare, from + (to - from) * r / rows);
}

void crash(int row, int volume) { put(row, ch_fx, song_note("C4"), synth_crash, volume); }

// ---------------------------------------------------------------- sections

const Chord prog_main[4] = {{D, minor}, {Bb, major}, {F, major}, {C, major}};
const Chord prog_bounce[4] = {{G, minor}, {D, minor}, {Bb, major}, {A, major}};
const Chord prog_blobs[4] = {{Bb, maj7}, {A, min7}, {G, min7}, {A, sus4}};
const Chord prog_drive[6] = {{D, minor}, {C, major}, {Bb, major}, {A, major}, {Bb, major}, {C, major}};
const Chord prog_pages[12] = {{D, minor}, {Bb, major}, {F, major}, {C, major}, {G, minor}, {Bb, major},
                              {C, major}, {A, dom7}, {D, minor}, {Bb, major}, {F, major}, {C, major}};

const char *theme_a[8] = {
    "D5 . . . F5 . A5 . . . G5 . F5 . E5 .",
    "D5 . . . . . . . Bb4 . C5 . D5 . F5 .",
    "C5 . . . A4 . . . C5 . F5 . . . E5 .",
    "E5 . . . . . . . G5 . . . E5 . C5 .",
    "D5 . . . F5 . A5 . . . D6 . C6 . A5 .",
    "Bb5 . . . A5 . G5 . . . F5 . D5 . . .",
    "F5 . . . E5 . F5 . A5 . . . G5 . F5 .",
    "E5 . . . . . . . C5 . D5 . E5 . G5 .",
};

const char *theme_high[4] = {
    "A5 . . . . . D6 . . . C6 . A5 . . .",
    "Bb5 . . . . . . . A5 . G5 . F5 . G5 .",
    "A5 . . . . . C6 . . . A5 . F5 . . .",
    "G5 . . . . . E5 . . . G5 . C6 . . .",
};

const char *theme_b[8] = {
    "Bb5 . - . D6 . - . G5 . - . Bb5 . A5 .",
    "F5 . - . A5 . - . D5 . - . F5 . E5 .",
    "D5 . - . F5 . - . Bb5 . . . A5 . F5 .",
    "E5 . . . . . C#5 . E5 . A5 . . . - .",
    "Bb5 . - . D6 . - . G6 . - . F6 . D6 .",
    "F6 . - . E6 . D6 . A5 . . . F5 . A5 .",
    "Bb5 . . . A5 . Bb5 . D6 . . . C6 . Bb5 .",
    "A5 . . . . . . . C#6 . . . E6 . . .",
};

const char *theme_slow[8] = {
    "F5 . . . . . . . . . . . A5 . . .",
    "G5 . . . . . . . E5 . . . . . . .",
    "F5 . . . . . . . D5 . . . F5 . . .",
    "E5 . . . . . . . . . . . D5 . . .",
    "D6 . . . . . . . C6 . . . A5 . . .",
    "C6 . . . . . . . G5 . . . E5 . . .",
    "Bb5 . . . . . . . A5 . . . F5 . . .",
    "E5 . . . . . . . . . . . . . . -",
};

const char *theme_pages_b[4] = {
    "D6 . . . Bb5 . G5 . . . Bb5 . D6 . G6 .",
    "F6 . . . . . D6 . . . F6 . D6 . Bb5 .",
    "C6 . . . E6 . G6 . . . E6 . C6 . G5 .",
    "A5 . . . . . C#6 . E6 . . . . . . .",
};

const char *riff[6] = {
    "D5 - D5 - A5 - D5 - F5 - D5 - A5 - G5 -",
    "C5 - C5 - G5 - C5 - E5 - C5 - G5 - F5 -",
    "Bb4 - Bb4 - F5 - Bb4 - D5 - Bb4 - F5 - D5 -",
    "A4 - A4 - E5 - A4 - C#5 - A4 - E5 - D5 -",
    "Bb4 - Bb4 - F5 - Bb4 - D5 - Bb4 - F5 - D5 -",
    "C5 - C5 - G5 - C5 - E5 - G5 - C6 - E6 -",
};

const char *const four_floor = "X...X...X...X...";
const char *const back_beat = "....X.......X...";
const char *const hats_8 = "..x...x...x...x.";
const char *const hats_16 = "gox.gox.gox.goxo";

void section_opening(int at)
{
    // Bars 0-3 pad alone, 4-7 bells and a held bass, 8-11 the beat arrives.
    pads(at, prog_main, 4, 1, 14);
    pads(at + 4 * bar, prog_main, 4, 1, 18);
    pads(at + 8 * bar, prog_main, 4, 1, 20);
    arpeggio(at + 2 * bar, ch_bell, prog_main + 2, 2, 4, "0124", 14);
    arpeggio(at + 4 * bar, ch_bell, prog_main, 4, 2, "01243421", 16);
    arpeggio(at + 8 * bar, ch_bell, prog_main, 4, 2, "01243421", 18);
    bass(at + 4 * bar, prog_main, 4, 36, "R...............");
    bass(at + 8 * bar, prog_main, 4, 40, "R.......R...O...");
    drums(at + 8 * bar, ch_hat, synth_hat, 40, hats_8, 4);
    drums(at + 8 * bar, ch_kick, synth_kick, 56, "X.......X.......", 3);
    drums(at + 11 * bar, ch_kick, synth_kick, 56, "X...X...X...X.X.");
    line(at + 8 * bar, ch_lead, synth_lead, 26, theme_a[0]);
    line(at + 9 * bar, ch_lead, synth_lead, 28, theme_a[1]);
    line(at + 10 * bar, ch_lead, synth_lead, 30, theme_a[2]);
    line(at + 11 * bar, ch_lead, synth_lead, 32, "E5 . . . . . . . - . . . . . . .");
    echo(at + 8 * bar, at + 12 * bar, 3);
    snare_roll(at + 11 * bar + 8, 8, 1, 12, 48);
}

void section_tunnel(int at)
{
    crash(at, 44);
    pads(at, prog_main, 4, 1, 18);
    pads(at + 4 * bar, prog_main, 4, 1, 18);
    pads(at + 8 * bar, prog_main, 4, 1, 20);
    pads(at + 12 * bar, prog_main, 2, 1, 20);
    drums(at, ch_kick, synth_kick, 60, four_floor, 13);
    drums(at, ch_snare, synth_snare, 48, back_beat, 13);
    drums(at, ch_hat, synth_hat, 36, hats_16, 13);
    drums(at, ch_open_hat, synth_open_hat, 30, "..X...X...X...X.", 8);
    bass(at, prog_main, 4, 44, "R..R..R.R..R.OR.");
    bass(at + 4 * bar, prog_main, 4, 44, "R..R..R.R..R.OR.");
    bass(at + 8 * bar, prog_main, 4, 44, "R.RO.RR.R.RO.R5O");
    bass(at + 12 * bar, prog_main, 1, 44, "R..R..R.R..R.OR.");
    bass(at + 13 * bar, prog_main + 1, 1, 44, "R.R.R.R.");
    for (int b = 0; b < 8; b++)
        line(at + b * bar, ch_lead, synth_lead, 40, theme_a[b]);
    for (int b = 0; b < 4; b++)
        line(at + (8 + b) * bar, ch_lead, synth_lead, 42, theme_high[b]);
    line(at + 12 * bar, ch_lead, synth_lead, 42, "D6 . . . . . . . . . . . A5 . . .");
    line(at + 13 * bar, ch_lead, synth_lead, 42, "Bb5 . . . . . . -");
    echo(at, at + 216, 3);
    arpeggio(at + 8 * bar, ch_bell, prog_main, 4, 2, "02132413", 14);
    // Half-bar fill into the melt.
    drums(at + 13 * bar, ch_kick, synth_kick, 60, "X..X..X.");
    snare_roll(at + 13 * bar, 8, 1, 24, 56);
    crash(at + 13 * bar + 7, 30);
}

void section_melt(int at)
{
    const Chord d7 = {D, dom7};
    pads(at, &d7, 1, 1, 22);
    put(at, ch_fx, song_note("C4"), synth_riser, 40);
    put(at, ch_bass, song_note("D2"), synth_bass, 40);
    key_off(at + 20, ch_bass);
    line(at, ch_lead, synth_lead, 40,
         "A5 . . G5 . . F#5 . . E5 . . D5 . . C5 . . A4 . . F#4 . .");
    echo(at, at + 24, 3);
    // The bells fall through the chord twice as fast as the lead.
    static const char *fall = "A6 . F#6 . D6 . C6 . A5 . F#5 . D5 . C5 . A4 . F#4 . D4 .";
    line(at, ch_bell, synth_bell, 18, fall);
    snare_roll(at + 16, 8, 1, 16, 50);
}

void section_blobs(int at)
{
    // Half time, soft and wide: the slow theme twice, the second time with
    // the bells higher and the hats busier, then two bars resting on D minor.
    crash(at, 30);
    pads(at, prog_blobs, 4, 1, 22);
    pads(at + 4 * bar, prog_blobs, 4, 1, 24);
    pads(at + 8 * bar, prog_blobs, 4, 1, 24);
    pads(at + 12 * bar, prog_blobs, 4, 1, 26);
    const Chord rest = {D, minor};
    pads(at + 16 * bar, &rest, 1, 2, 22);
    // Kick on one, snare on three.
    drums(at, ch_kick, synth_kick, 52, "X.........X.....", 16);
    drums(at, ch_snare, synth_snare, 36, "........X.......", 16);
    drums(at, ch_hat, synth_hat, 22, "x.g.o.g.x.g.o.gg", 8);
    drums(at + 8 * bar, ch_hat, synth_hat, 24, "x.gox.g.x.gox.gg", 8);
    drums(at + 16 * bar, ch_kick, synth_kick, 48, "X...............", 2);
    drums(at + 16 * bar, ch_hat, synth_hat, 22, "x.g.o.g.x.g.o.g.", 2);
    bass(at, prog_blobs, 4, 40, "R.......-...R...");
    bass(at + 4 * bar, prog_blobs, 4, 40, "R.......-...R.O.");
    bass(at + 8 * bar, prog_blobs, 4, 40, "R.......-...R...");
    bass(at + 12 * bar, prog_blobs, 4, 40, "R.......-...R.O.");
    bass(at + 16 * bar, &rest, 1, 38, "R...............");
    for (int b = 0; b < 8; b++) {
        line(at + b * bar, ch_lead, synth_lead, 34, theme_slow[b]);
        line(at + (8 + b) * bar, ch_lead, synth_lead, 36, theme_slow[b]);
    }
    echo(at, at + 17 * bar, 6);
    arpeggio(at, ch_bell, prog_blobs, 4, 2, "01232123", 16);
    arpeggio(at + 4 * bar, ch_bell, prog_blobs, 4, 2, "13243121", 16);
    arpeggio(at + 8 * bar, ch_bell, prog_blobs, 4, 2, "24353242", 15);
    arpeggio(at + 12 * bar, ch_bell, prog_blobs, 4, 2, "13243121", 16);
    for (int pass = 0; pass < 4; pass++)
        arpeggio(at + pass * 4 * bar, ch_bell2, prog_blobs, 4, 4, "4534", 10);
    arpeggio(at + 16 * bar, ch_bell, &rest, 1, 2, "01240124", 15);
    arpeggio(at + 17 * bar, ch_bell, &rest, 1, 1, "0124012401240124", 15);
    snare_roll(at + 17 * bar + 8, 8, 1, 10, 40);
}

void section_bounce(int at)
{
    // Staccato and bouncing: the second theme once over two passes of its
    // chords, then a bar of bells and drums turning towards the riff.
    crash(at, 44);
    pads(at, prog_bounce, 4, 1, 16);
    pads(at + 4 * bar, prog_bounce, 4, 1, 19);
    const Chord turn = {A, major};
    pads(at + 8 * bar, &turn, 1, 1, 20);

    // Lighter on its feet than the riff that follows: a softer kick and
    // bass, bright hats and bells throughout.
    drums(at, ch_kick, synth_kick, 50, "X...X...X...X..x", 8);
    drums(at, ch_snare, synth_snare, 46, "....X.......X.g.", 8);
    drums(at, ch_hat, synth_hat, 40, "x.gox.gox.gox.go", 8);
    drums(at, ch_open_hat, synth_open_hat, 30, "......X.......X.", 8);
    for (int pass = 0; pass < 2; pass++)
        bass(at + pass * 4 * bar, prog_bounce, 4, 36, "R-O-R-O-R-O-5-O-");
    bass(at + 8 * bar, &turn, 1, 36, "R.......R...R...");

    for (int b = 0; b < 8; b++)
        line(at + b * bar, ch_lead, synth_lead, 38, theme_b[b]);
    echo(at, at + 8 * bar, 3);
    arpeggio(at, ch_bell, prog_bounce, 4, 2, "02140214", 15);
    arpeggio(at + 4 * bar, ch_bell, prog_bounce, 4, 1, "0124210342101243", 14);
    // The break: bells alone over the turn, and a fill.
    arpeggio(at + 8 * bar, ch_bell, &turn, 1, 1, "0124210342101243", 18);
    drums(at + 8 * bar, ch_kick, synth_kick, 56, "X.......X.X.X.X.");
    snare_roll(at + 8 * bar, 16, 2, 16, 40);
    snare_roll(at + 8 * bar + 1, 15, 2, 12, 36);
    key_off(at + 8 * bar, ch_lead);
}

void section_objects(int at)
{
    // Dark, dry and mechanical: the riff sits an octave low and the pads
    // hold back until the last two bars.
    crash(at, 40);
    pads_release(at);
    pads(at + 4 * bar, prog_drive + 4, 2, 1, 20);
    drums(at, ch_kick, synth_kick, 50, four_floor, 5);
    drums(at, ch_snare, synth_snare, 30, "....g.......g...", 2);
    drums(at + 2 * bar, ch_snare, synth_snare, 44, back_beat, 3);
    drums(at, ch_hat, synth_hat, 30, "x.g.x.g.x.g.x.gg", 6);
    bass(at, prog_drive, 6, 42, "RRORRRORRRORR5OR");
    for (int b = 0; b < 6; b++)
        line(at + b * bar, ch_lead, synth_lead, 44, riff[b], -12);
    echo(at, at + 6 * bar, 2);
    arpeggio(at, ch_bell, prog_drive, 6, 1, "0120120120120121", 12);
    // The last bar builds: kick doubles, snare rolls, the sweep climbs.
    drums(at + 5 * bar, ch_kick, synth_kick, 60, "X.X.X.X.X.X.X.X.");
    snare_roll(at + 5 * bar, 16, 1, 14, 58);
    put(at + 4 * bar + 6, ch_fx, song_note("C4"), synth_riser, 36);
}

void section_pages(int at)
{
    crash(at, 48);
    crash(at + 8 * bar, 44);
    pads(at, prog_pages, 12, 1, 24);
    drums(at, ch_kick, synth_kick, 62, four_floor, 10);
    drums(at, ch_snare, synth_snare, 50, "....X.......X..g", 10);
    drums(at, ch_hat, synth_hat, 38, hats_16, 12);
    drums(at, ch_open_hat, synth_open_hat, 32, "..X...X...X...X.", 10);
    bass(at, prog_pages, 8, 46, "R..R..R.R..R.OR.");
    bass(at + 8 * bar, prog_pages + 8, 2, 46, "R.RO.RR.R.RO.R5O");
    bass(at + 10 * bar, prog_pages + 10, 2, 42, "R.......R...R...");
    for (int b = 0; b < 4; b++)
        line(at + b * bar, ch_lead, synth_lead, 44, theme_a[b], 12);
    for (int b = 0; b < 4; b++)
        line(at + (4 + b) * bar, ch_lead, synth_lead, 44, theme_pages_b[b]);
    for (int b = 0; b < 3; b++)
        line(at + (8 + b) * bar, ch_lead, synth_lead, 42, theme_high[b]);
    line(at + 11 * bar, ch_lead, synth_lead, 38, "G5 . . . . . E5 . . . . . C5 . E5 .");
    echo(at, at + 12 * bar, 3);
    // The bells double the theme an octave below, then arpeggiate.
    for (int b = 0; b < 4; b++)
        line(at + b * bar, ch_bell, synth_bell, 16, theme_a[b]);
    arpeggio(at + 4 * bar, ch_bell, prog_pages + 4, 8, 1, "0124210342101243", 13);
    // The beat thins out over the last two bars.
    drums(at + 10 * bar, ch_kick, synth_kick, 56, "X.......X.......");
    drums(at + 11 * bar, ch_kick, synth_kick, 50, "X...............");
    drums(at + 10 * bar, ch_snare, synth_snare, 40, "........X.......");
    drums(at + 11 * bar, ch_snare, synth_snare, 30, "............X.g.");
}

void section_close(int at, int rows)
{
    crash(at, 44);
    drums(at, ch_kick, synth_kick, 60, "X");
    const Chord last = {D, minor};
    pads(at, &last, 1, 1, 24);
    put(at, ch_pad_a + (pad_group ? 0 : 3), song_note("E5"), synth_pad, 16);  // the added ninth
    put(at, ch_bass, song_note("D2"), synth_bass, 44);
    put(at, ch_lead, song_note("D5"), synth_lead, 38);
    echo(at, at + 8, 3);
    put(at, ch_bell, song_note("D5"), synth_bell, 22);
    put(at + 4, ch_bell2, song_note("A5"), synth_bell, 16);
    put(at + 8, ch_bell, song_note("F5"), synth_bell, 14);
    put(at + 12, ch_bell2, song_note("E6"), synth_bell, 10);
    // The chord rings for two rows, then the global volume falls along a
    // curve to silence while the closing picture fades in, holds and
    // fades out; the last four rows are quiet.
    const int fade_from = 2, fade_rows = rows - fade_from - 4;
    for (int r = 0; r < fade_rows; r++) {
        double level = 64.0 * std::pow(1.0 - double(r + 1) / fade_rows, 1.7);
        XmCell &c = cell(at + fade_from + r, ch_fx);
        c.effect = 0x10;  // G: set global volume
        c.param = uint8_t(std::lround(level));
    }
    int end = at + fade_from + fade_rows;
    pads_release(end);
    key_off(end, ch_bass);
    key_off(end, ch_lead);
    key_off(end, ch_echo);
}

} // namespace

XmModule song_build()
{
    int bpm[song_section_count];
    song_section_tempos(bpm);

    int start[song_section_count + 1];
    start[0] = 0;
    for (int i = 0; i < song_section_count; i++)
        start[i + 1] = start[i] + song_sections[i].rows;

    grid.rows = start[song_section_count];
    grid.cells.assign(size_t(grid.rows) * song_channels, XmCell{});
    pad_group = 0;

    section_opening(start[0]);
    section_tunnel(start[1]);
    section_melt(start[2]);
    section_blobs(start[3]);
    section_bounce(start[4]);
    section_objects(start[5]);
    section_pages(start[6]);
    section_close(start[7], song_sections[7].rows);

    // Each section opens with its tempo; the kick channel's effect column
    // carries it (F with a value of 32 or more sets beats per minute).
    for (int i = 0; i < song_section_count; i++) {
        XmCell &c = cell(start[i], ch_kick);
        c.effect = 0x0f;
        c.param = uint8_t(bpm[i]);
    }

    XmModule m;
    m.name = "skarn";
    m.channels = song_channels;
    m.speed = song_speed;
    m.bpm = bpm[0];
    m.instruments = synth_build_all();

    // Cut each section into patterns of at most 64 rows; a pattern equal to
    // one already made is listed again instead of stored twice.
    for (int i = 0; i < song_section_count; i++) {
        for (int r = start[i]; r < start[i + 1]; r += 64) {
            int rows = std::min(64, start[i + 1] - r);
            XmPattern p = xm_pattern_make(rows, song_channels);
            std::copy(grid.cells.begin() + std::ptrdiff_t(r) * song_channels,
                      grid.cells.begin() + std::ptrdiff_t(r + rows) * song_channels, p.cells.begin());
            // Same cells means same rows too: every pattern has song_channels.
            auto same = std::find_if(m.patterns.begin(), m.patterns.end(),
                                     [&](const XmPattern &q) { return q.cells == p.cells; });
            const size_t index = size_t(same - m.patterns.begin());
            if (same == m.patterns.end())
                m.patterns.push_back(std::move(p));
            m.orders.push_back(uint8_t(index));
        }
    }
    return m;
}
