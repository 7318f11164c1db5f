// vga_model.h: for the tests of the real card: a VGA card with the Bochs
// VBE interface, modelled at register level behind vga_io.h (sequencer,
// CRT controller, graphics and attribute controllers, DAC, four planes of
// 64 KiB, the VBE registers and a linear frame buffer), the machine around
// it (port grants, mappings, the console), and the picture the card would
// send to the monitor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct VgaModel {
    // The machine, set by a test before vga_init.
    bool ports_granted;           // ioperm works (root)
    bool present;                 // a VGA answers at its ports
    bool window_maps;             // /dev/mem gives the window at 0xA0000
    uint16_t vbe_id;              // 0: no VBE interface
    uint16_t vbe_max_width;       // wider VBE modes are refused
    size_t lfb_size;              // 0: no frame buffer found
    int console;                  // the console's descriptor, -1: none
    bool console_after_drop;      // KDSETMODE still allowed once the ids are dropped

    // Registers.
    uint8_t misc, seq[5], crtc[25], gc[9], ac[21];
    uint8_t seq_index, crtc_index, gc_index;
    uint8_t ac_index;             // index and palette address source (0x20: screen on)
    bool ac_data;                 // the next 0x3C0 write is data
    uint8_t dac[256][3], dac_mask, dac_read, dac_write, dac_sub, dac_cache[3], dac_state;
    uint16_t vbe[10], vbe_index;

    // Memory.
    uint8_t planes[4][65536];
    uint8_t latch[4];
    std::vector<uint8_t> lfb;

    // What the program holds and did.
    bool vga_ports, vbe_ports, window_mapped, lfb_mapped, console_open, console_graphics;
    long port_writes;
    long status_reads;
    bool status_retrace;          // the last status read showed the retrace
    bool retrace_edge;            // ... and the read before it did not
};

extern VgaModel vga_model;

// A fresh card under a text console as the BIOS leaves mode 3 (display
// start and cursor moved, the DAC and all four planes filled with
// patterns), or, with vbe_console, a console on a 1024x768 VBE mode,
// panned on a wider virtual screen, a picture in its memory.
void vga_model_reset(bool vbe_console);

struct VgaPicture {
    bool shown;                   // the card sends a 256-colour picture
    int width, height;
    std::vector<uint8_t> pixels;  // DAC indices, rows of width
};

// What the monitor shows: the VBE mode when enabled, else the standard
// VGA registers decoded; start overrides the display start (CRTC start
// address, or VBE Y offset) when not -1.
VgaPicture vga_model_picture(long start = -1);
// The display start now: CRTC 0x0C/0x0D, or the VBE Y offset.
long vga_model_start(void);
