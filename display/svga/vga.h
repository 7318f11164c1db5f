// vga.h: the VGA layer under the SVGA back end. The vga_ calls set one of
// six 256-colour modes, load the colour DAC and wait for the retrace; the
// gl_ calls keep an off-screen virtual screen and copy it to the card's
// screen, page-flipped where two pages fit. Two cards implement the vga_
// calls, chosen at link time: the real one (vga_card.cpp, ports and video
// memory, for skarn_svga) and an emulated one in memory (vga_emulated.cpp,
// for the tests).
#pragma once

#include <cstdint>

// ---------------------------------------------------------------- modes

enum {
    TEXT = 0,           // the console's text mode
    G320x200x256 = 5,   // chained, one page
    G320x240x256 = 6,   // planar
    G320x400x256 = 7,   // planar
    G360x480x256 = 8,   // planar
    G640x480x256 = 10,  // linear frame buffer through the Bochs VBE registers
    G800x600x256 = 11,  // the same
};

struct VgaModeInfo {
    int width;
    int height;
    int bytes_per_pixel;
    int colors;
    int line_width;  // bytes from one row to the next of a page
};

// ---------------------------------------------------------------- vga_ calls

// Takes the card: 0, or -1 when it cannot be had (not root, no VGA, no
// console). The effective ids are the real ones afterwards.
int vga_init(void);
// 1 when the card offers mode, else 0.
int vga_hasmode(int mode);
// Sets a graphics mode (screen cleared) or TEXT (the console as it was at
// vga_init): 0, or -1 with the card left as it was.
int vga_setmode(int mode);
// The mode's geometry, or nullptr for a mode the layer does not know.
VgaModeInfo *vga_getmodeinfo(int mode);
// Colours of the current mode: 256 in a graphics mode, 16 in TEXT.
int vga_getcolors(void);
// Loads count DAC entries from start on: pal holds red, green, blue
// (0..63) per entry. Returns the number of entries loaded.
int vga_setpalvec(int start, int count, const int *pal);
// Returns once the card's vertical retrace has begun.
void vga_waitretrace(void);

// ---------------------------------------------------------------- gl_ calls

// A screen to draw to: the card's (physical) or one in memory (virtual).
struct GraphicsContext {
    int mode;
    int width;
    int height;
    int is_virtual;     // 1: vbuf is this layer's own buffer, freed by gl_freecontext
    uint8_t *vbuf;      // the virtual screen's pixels, rows of width bytes; nullptr when physical
    int clipping;
    int page_flipping;  // physical only: gl_copyscreen draws the hidden page and shows it
};

// Makes the card's screen in mode the current context: 0, or -1 when mode
// is not the card's current mode.
int gl_setcontextvga(int mode);
// Makes a new zero-filled virtual screen of mode's size the current
// context: 0, or -1 (unknown mode, no memory).
int gl_setcontextvgavirtual(int mode);
void gl_getcontext(GraphicsContext *gc);
// Frees a virtual context's screen; a physical context owns nothing.
void gl_freecontext(GraphicsContext *gc);
void gl_disableclipping(void);
// Fills the current context with colour (every page of the card's screen).
void gl_clearscreen(int colour);
// Asks for page flipping on gc when the card's mode has two pages.
void gl_enablepageflipping(GraphicsContext *gc);
// Copies the current (virtual) context to gc.
void gl_copyscreen(GraphicsContext *gc);
