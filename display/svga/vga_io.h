// vga_io.h: everything the real card (vga_card.cpp) asks of the machine:
// I/O ports, video memory and the console. vga_io.cpp implements it with
// ioperm and in/out instructions, /dev/mem and the display device's PCI
// resource, and the console's KD ioctls; the tests link a model of a VGA
// card at register level in its place.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------- ports

// Grants (on = 1) or gives back (on = 0) count ports from first: 0, or -1.
int vga_port_access(uint16_t first, unsigned count, int on);
uint8_t vga_port_in(uint16_t port);
void vga_port_out(uint16_t port, uint8_t value);
uint16_t vga_port_inw(uint16_t port);
void vga_port_outw(uint16_t port, uint16_t value);

// ---------------------------------------------------------------- video memory

// The 64 KiB window at 0xA0000: 0, or -1 when it cannot be mapped.
int vga_map_window(void);
void vga_unmap_window(void);
// 32-bit accesses at byte offset of the window, lowest byte at the lowest
// address; every one is a trip through the card's sequencer and graphics
// controller, which decide the planes it reaches.
void vga_window_read(size_t offset, uint32_t *words, size_t count);
void vga_window_write(size_t offset, const uint32_t *words, size_t count);
void vga_window_fill(size_t offset, uint32_t word, size_t count);

// The linear frame buffer of the VGA-compatible display device (the one
// the firmware booted on first), mapped, with its size; nullptr when there
// is none.
uint8_t *vga_map_lfb(size_t *size);
void vga_unmap_lfb(uint8_t *lfb, size_t size);

// ---------------------------------------------------------------- console

// The virtual terminal the program runs on, in text mode: one of the
// standard streams (duplicated), else the controlling terminal; -1 when
// there is none, as under X or over the network.
int vga_console_find(void);
// 1 when console will still take KDSETMODE once the process has dropped
// to its real ids (it is the controlling terminal, or the real user is
// root and may set it now), else 0.
int vga_console_usable_after_drop(int console);
// Puts console into graphics (1) or text (0) mode: 0, or -1.
int vga_console_graphics(int console, int on);
void vga_console_close(int console);
