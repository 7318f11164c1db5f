// vm_screen.h: what the VM tests see on a throw-away VM's screen. A screen
// is the PPM that qemu's screendump writes; each check says whether it shows
// what a test waits for and gives a line of what it saw. Written for the
// host's side of the VM tests, which judges screens while its guests run:
// one look costs a few milliseconds and starts no process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An RGB picture, 3 bytes a pixel, rows top to bottom.
struct Shot {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
};

// A binary PPM (P6, 8 bits a channel). False for anything else or a cut file.
bool shot_read_ppm(const std::string &path, Shot *out);
bool shot_parse_ppm(const std::string &bytes, Shot *out);
// An 8-bit, one-plane, run-length PCX picture: its pixels through its
// palette, and the palette itself (256 entries, 3 bytes each). Decoded here,
// not by the show's own loader, so the tests keep an expectation of their own.
bool shot_read_pcx(const std::string &path, Shot *picture, std::vector<uint8_t> *palette);
bool shot_parse_pcx(const std::string &bytes, Shot *picture, std::vector<uint8_t> *palette);

// A check of a screen, named by args[0], with its arguments, where pictures
// and palettes are files:
//   size WxH                  the screen is WxH
//   part WxH PALETTE.pcx      a frame of many colours (32 or more), all from
//                             the palette as a 6-bit VGA DAC holds it and qemu
//                             widens it, over the whole WxH screen (8 or more
//                             colours in its bottom right quarter)
//   frame WxH+X+Y TOL PCX...  outside the box one colour; inside, 99% of the
//                             pixels within TOL a channel of a colour of one
//                             of the palettes, and a fifth lit
//   blank WxH+X+Y             the box is one colour
//   text                      grey console text on black: two colours, more
//                             than 100 pixels of (170,170,170)
//   grey N                    more than N pixels of (170,170,170)
//   text-of REF.ppm           12 or more successive text rows (16 pixels
//                             high) just as REF shows them, 8 of them not blank
//   doubled                   each pixel doubled: pixels that differ from
//                             their 2x2 block lie in one screen row at most
// Its files are read once, by check_prepare, for all the looks of a wait.
struct Check {
    std::string name;
    int w = 0, h = 0;              // size, part; the box of frame, blank
    int x = 0, y = 0;              // the box's corner
    long n = 0;                    // frame's tolerance, grey's count
    std::vector<uint32_t> colours; // part: the widened palette, sorted
    std::vector<std::vector<uint8_t>> palettes; // frame
    Shot ref;                      // text-of
};
// False, with WHY, for a check it does not know or a file it cannot read.
bool check_prepare(const std::vector<std::string> &args, Check *c, std::string *why);
// True when SHOT passes C; ACCOUNT gets what was seen.
bool check_judge(const Check &c, const Shot &shot, std::string *account);

// The closing picture of the SVGA show, 320x240, shown doubled at 640x480
// and fading in twenty steps.
struct Closing {
    Shot picture;
    // want[k]: each colour of the picture at fade level k + 1, as the DAC
    // holds it and qemu widens it; fits[k]: the colours of that level.
    std::vector<std::vector<std::pair<uint32_t, uint32_t>>> want;
    std::vector<std::vector<uint32_t>> fits;
};
void closing_prepare(const Shot &picture, Closing *c);
// "in-place": halved, the screen is the picture pixel for pixel (99%) at one
// fade level; "moved": its colours are all those of one level, but its
// pixels are not where the picture has them (a wrong display start);
// "other": anything else (a dark end of the fade, a palette half written).
const char *closing_judge(const Closing &c, const Shot &shot);
