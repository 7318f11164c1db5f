// vga_emulated.h: for tests only. The emulated card's switches (which
// modes it offers, which calls fail) and what it shows (the displayed
// page, the DAC, the page flips, the current mode).
#pragma once

#include "vga.h"

extern unsigned vga_emulated_modes;       // bit n set: mode n is offered (all six at reset)
extern int vga_emulated_fail_init;        // 1: vga_init fails
extern int vga_emulated_fail_setmode;     // 1: setting a graphics mode fails
extern int vga_emulated_modeinfo_fails_at; // n > 0: the n-th vga_getmodeinfo call from now returns nullptr
extern int vga_emulated_trace;            // 1: every mode set prints "[mode N]" on standard output
extern int vga_emulated_flips;            // display-start moves since the reset
extern int vga_emulated_dac[768];         // red, green, blue of each entry, 0..63

// Back to a fresh card: not initialised, TEXT, all modes, no failures.
void vga_emulated_reset(void);
int vga_emulated_mode(void);
// The shown page (width x height bytes of the current mode), nullptr in TEXT.
const uint8_t *vga_emulated_shown_page(void);
// The emulated retrace counter: the number of 1/70 s ticks of the
// monotonic clock.
long vga_emulated_tick(void);
// Virtual screens the gl_ calls hold.
int gl_virtual_screens_held(void);
