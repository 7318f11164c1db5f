// vga_common.cpp: what the real and the emulated card share: the six modes
// with their standard VGA register values, the DAC range check, the
// privilege drop after the card is taken, and the packing of a page into
// one plane.
#include "vga_card.h"

#include <unistd.h>

// ---------------------------------------------------------------- register values
// 256 colours in every mode: the attribute controller passes 8-bit
// indices (mode control 0x41), the graphics controller shifts 256-colour
// pixels (mode 0x40) and decodes the 64 KiB window at 0xA0000 (misc 0x05).
// Each character clock shows 4 pixels, so the displayed width is
// (crtc[1] + 1) x 4.

#define VGA_GC_256 {0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x05, 0x0F, 0xFF}
#define VGA_AC_256 {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0x41, 0x00, 0x0F, 0x00, 0x00}

// 320x200: 400 lines at 70 Hz (25.175 MHz, 100 character clocks a line,
// 449 lines), each row shown twice; chain-4 addressing in double-word mode.
static const VgaRegisters vga_regs_320x200 = {
    0x63,
    {0x03, 0x01, 0x0F, 0x00, 0x0E},
    {0x5F, 0x4F, 0x50, 0x82, 0x54, 0x80, 0xBF, 0x1F, 0x00, 0x41, 0x00, 0x00, 0x00,
     0x00, 0x00, 0x00, 0x9C, 0x8E, 0x8F, 0x28, 0x40, 0x96, 0xB9, 0xA3, 0xFF},
    VGA_GC_256,
    VGA_AC_256,
};

// 320x240 ("mode X"): 480 lines at 60 Hz (527 lines, both syncs negative,
// the vertical retrace interrupt off), each row shown twice; planar, byte
// addressing, 80 bytes a row per plane.
static const VgaRegisters vga_regs_320x240 = {
    0xE3,
    {0x03, 0x01, 0x0F, 0x00, 0x06},
    {0x5F, 0x4F, 0x50, 0x82, 0x54, 0x80, 0x0D, 0x3E, 0x00, 0x41, 0x00, 0x00, 0x00,
     0x00, 0x00, 0x00, 0xEA, 0xAC, 0xDF, 0x28, 0x00, 0xE7, 0x06, 0xE3, 0xFF},
    VGA_GC_256,
    VGA_AC_256,
};

// 320x400: the 400-line timing of 320x200 without the doubled rows; planar.
static const VgaRegisters vga_regs_320x400 = {
    0x63,
    {0x03, 0x01, 0x0F, 0x00, 0x06},
    {0x5F, 0x4F, 0x50, 0x82, 0x54, 0x80, 0xBF, 0x1F, 0x00, 0x40, 0x00, 0x00, 0x00,
     0x00, 0x00, 0x00, 0x9C, 0x8E, 0x8F, 0x28, 0x00, 0x96, 0xB9, 0xE3, 0xFF},
    VGA_GC_256,
    VGA_AC_256,
};

// 360x480: the 28.322 MHz clock with 112 character clocks a line keeps the
// 31.5 kHz line rate for 90 displayed characters; the 480 lines of
// 320x240, each shown once; planar, 90 bytes a row per plane.
static const VgaRegisters vga_regs_360x480 = {
    0xE7,
    {0x03, 0x01, 0x0F, 0x00, 0x06},
    {0x6B, 0x59, 0x5A, 0x8E, 0x5E, 0x8A, 0x0D, 0x3E, 0x00, 0x40, 0x00, 0x00, 0x00,
     0x00, 0x00, 0x00, 0xEA, 0xAC, 0xDF, 0x2D, 0x00, 0xE7, 0x06, 0xE3, 0xFF},
    VGA_GC_256,
    VGA_AC_256,
};

const VgaMode vga_modes[6] = {
    {G320x200x256, {320, 200, 1, 256, 320}, VGA_CHAINED, 1, &vga_regs_320x200},
    {G320x240x256, {320, 240, 1, 256, 80}, VGA_PLANAR, 2, &vga_regs_320x240},
    {G320x400x256, {320, 400, 1, 256, 80}, VGA_PLANAR, 2, &vga_regs_320x400},
    {G360x480x256, {360, 480, 1, 256, 90}, VGA_PLANAR, 1, &vga_regs_360x480},
    {G640x480x256, {640, 480, 1, 256, 640}, VGA_LINEAR, 2, nullptr},
    {G800x600x256, {800, 600, 1, 256, 800}, VGA_LINEAR, 2, nullptr},
};

const VgaMode *vga_mode_find(int mode)
{
    for (const VgaMode &m : vga_modes)
        if (m.number == mode)
            return &m;
    return nullptr;
}

int vga_plane_bytes(const VgaMode *m)
{
    return m->info.width * m->info.height / 4;
}

int vga_palette_span(int start, int count)
{
    if (start < 0 || start >= 256 || count <= 0)
        return 0;
    return count < 256 - start ? count : 256 - start;
}

// ---------------------------------------------------------------- privileges

int vga_drop_privileges(void)
{
    // Group first: once the user id is dropped, the group can no longer be.
    const gid_t gid = getgid();
    const uid_t uid = getuid();
    if (setresgid(gid, gid, gid) != 0 || setresuid(uid, uid, uid) != 0)
        return -1;
    return 0;
}

// ---------------------------------------------------------------- planes

void vga_pack_plane(uint32_t *dst, const uint8_t *src, int words, int plane)
{
    const uint8_t *p = src + plane;
    for (int k = 0; k < words; k++, p += 16)
        dst[k] = (uint32_t)p[0] | (uint32_t)p[4] << 8 | (uint32_t)p[8] << 16 | (uint32_t)p[12] << 24;
}
