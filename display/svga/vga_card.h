// vga_card.h: inside the VGA layer. The six modes as both cards know them
// (size, memory layout, pages, standard VGA register values), what both
// cards share (the privilege drop, the plane packing), and the few things
// each card provides to the gl_ calls.
#pragma once

#include "vga.h"

// How a mode's pixels lie in video memory.
enum VgaMemory {
    VGA_CHAINED,  // one byte per pixel in the 64 KiB window (chain-4)
    VGA_PLANAR,   // pixel x in plane x & 3, at (row * width + x) / 4 of the window
    VGA_LINEAR,   // one byte per pixel in the linear frame buffer (Bochs VBE)
};

// The standard VGA registers of a mode, in index order.
struct VgaRegisters {
    uint8_t misc;       // miscellaneous output (0x3C2)
    uint8_t seq[5];     // sequencer (0x3C4/0x3C5)
    uint8_t crtc[25];   // CRT controller (0x3D4/0x3D5)
    uint8_t gc[9];      // graphics controller (0x3CE/0x3CF)
    uint8_t ac[21];     // attribute controller (0x3C0)
};

struct VgaMode {
    int number;
    VgaModeInfo info;
    VgaMemory memory;
    int pages;                      // whole pages that fit the mode's memory (at most 2)
    const VgaRegisters *registers;  // nullptr for the VBE modes
};

// The six modes in menu order.
extern const VgaMode vga_modes[6];
// The row of a mode number, or nullptr.
const VgaMode *vga_mode_find(int mode);
// Bytes one page takes in each plane of a planar mode.
int vga_plane_bytes(const VgaMode *m);

// How many of count DAC entries from start exist (0 when none).
int vga_palette_span(int start, int count);

// Sets the effective, real and saved group and user ids to the real ones:
// 0, or -1 when the system refused.
int vga_drop_privileges(void);

// Packs one plane of a planar page: dst word k takes pixels 16k + plane,
// 16k + 4 + plane, 16k + 8 + plane and 16k + 12 + plane of src, lowest
// byte first, ready for 32-bit stores (each store to planar memory is a
// trip through the card).
void vga_pack_plane(uint32_t *dst, const uint8_t *src, int words, int plane);

// ---------------------------------------------------------------- per card
// What the gl_ calls need of the card in its current mode.

int vga_card_mode(void);         // the current mode, TEXT before any
int vga_card_pages(void);        // pages of the current mode
int vga_card_shown_page(void);   // the page the display starts at
// A whole page from a buffer of width x height pixels.
void vga_card_write_page(int page, const uint8_t *pixels);
void vga_card_fill_page(int page, uint8_t colour);
// Moves the display start to page (no wait for the retrace).
void vga_card_show_page(int page);
