// The VGA layer's mode table where a wrong value would only show on a
// screen: the CRT controller timings of each standard VGA mode decoded
// back into the mode's width, height, row length and a line and frame rate
// a VGA monitor takes; the memory layout against the page count; and the
// packing of a page into its planes.
#include "vga_card.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The first count > from whose low bits equal the register's (blanking
// and retrace ends hold only the low bits of the count they end at).
int end_after(int from, int low_bits, int bits)
{
    const int mask = (1 << bits) - 1;
    int v = from + 1;
    while ((v & mask) != low_bits)
        v++;
    return v;
}

}  // namespace

TEST(VgaTables, CrtcTimingsMatchEachModesSize)
{
    int checked = 0;
    for (const VgaMode &m : vga_modes) {
        if (!m.registers)
            continue;
        checked++;
        SCOPED_TRACE(m.number);
        const uint8_t *c = m.registers->crtc;
        const uint8_t misc = m.registers->misc;

        // Horizontal, in character clocks of 8 dots; 4 pixels each in 256 colours.
        const int h_total = c[0] + 5, h_shown = c[1] + 1, h_blank = c[2], h_sync = c[4];
        const int h_blank_end = end_after(h_blank, (c[3] & 0x1F) | (c[5] & 0x80) >> 2, 6);
        const int h_sync_end = end_after(h_sync, c[5] & 0x1F, 5);
        EXPECT_EQ(h_shown * 4, m.info.width);
        EXPECT_LE(h_shown, h_blank);
        EXPECT_LT(h_blank, h_sync);
        EXPECT_LE(h_sync_end, h_blank_end);
        EXPECT_LE(h_blank_end, h_total);

        // Vertical, in lines, with the overflow bits of CRTC 7 and 9.
        const int of = c[7];
        const int v_total = (c[6] | (of & 0x01) << 8 | (of & 0x20) << 4) + 2;
        const int v_shown = (c[0x12] | (of & 0x02) << 7 | (of & 0x40) << 3) + 1;
        const int v_sync = c[0x10] | (of & 0x04) << 6 | (of & 0x80) << 2;
        const int v_blank = c[0x15] | (of & 0x08) << 5 | (c[9] & 0x20) << 4;
        const int v_sync_end = end_after(v_sync, c[0x11] & 0x0F, 4);
        const int v_blank_end = end_after(v_blank, c[0x16], 8);
        const int lines_per_row = ((c[9] & 0x1F) + 1) * ((c[9] & 0x80) ? 2 : 1);
        EXPECT_EQ(v_shown, m.info.height * lines_per_row);
        EXPECT_LE(v_shown, v_blank);
        EXPECT_LT(v_blank, v_sync);
        EXPECT_LT(v_sync_end, v_blank_end);
        EXPECT_LE(v_blank_end, v_total);

        // 25.175 or 28.322 MHz: about 31.5 kHz lines, 60 or 70 Hz frames,
        // sync polarities telling the monitor 400 or 480 lines.
        const double dot_clock = (misc & 0x0C) == 0x04 ? 28.322e6 : 25.175e6;
        const double line_rate = dot_clock / (h_total * 8), frame_rate = line_rate / v_total;
        EXPECT_NEAR(line_rate, 31.5e3, 300);
        EXPECT_TRUE(frame_rate > 59 && frame_rate < 71) << frame_rate;
        EXPECT_EQ(misc & 0xC0, v_shown == 480 ? 0xC0 : 0x40);
        EXPECT_EQ(misc & 0x01, 1);  // CRTC at 0x3D4

        // Row length: double words when chained, bytes of a plane otherwise.
        const bool chained = m.memory == VGA_CHAINED;
        EXPECT_EQ((m.registers->seq[4] & 0x08) != 0, chained);
        EXPECT_EQ((c[0x14] & 0x40) != 0, chained);
        EXPECT_EQ((c[0x17] & 0x40) == 0, chained);
        EXPECT_EQ(chained ? c[0x13] * 8 : c[0x13] * 2, m.info.line_width);
        EXPECT_EQ(m.info.line_width, chained ? m.info.width : m.info.width / 4);
    }
    EXPECT_EQ(checked, 4);
}

TEST(VgaTables, PagesFitTheMemoryOfEachLayout)
{
    for (const VgaMode &m : vga_modes) {
        SCOPED_TRACE(m.number);
        const int size = m.info.width * m.info.height;
        switch (m.memory) {
        case VGA_CHAINED:
            EXPECT_LE(size, 65536);
            EXPECT_EQ(m.pages, 1);  // a second page would not fit the window
            break;
        case VGA_PLANAR:
            // Whole 32-bit stores per plane, and as many pages as fit 64 KiB, at most 2.
            EXPECT_EQ(vga_plane_bytes(&m) % 4, 0);
            EXPECT_LE(m.pages * vga_plane_bytes(&m), 65536);
            EXPECT_TRUE(m.pages == 2 || (m.pages + 1) * vga_plane_bytes(&m) > 65536);
            break;
        case VGA_LINEAR:
            EXPECT_EQ(m.pages, 2);
            EXPECT_EQ(m.registers, nullptr);
            break;
        }
    }
    EXPECT_EQ(vga_mode_find(TEXT), nullptr);
    EXPECT_EQ(vga_mode_find(9), nullptr);
    EXPECT_EQ(vga_mode_find(G360x480x256)->info.width, 360);
}

TEST(VgaTables, PackPlaneTakesEveryFourthPixelLowestFirst)
{
    std::vector<uint8_t> page(64);
    for (int i = 0; i < 64; i++)
        page[i] = (uint8_t)i;
    const uint32_t expect[4][4] = {
        {0x0C080400, 0x1C181410, 0x2C282420, 0x3C383430},
        {0x0D090501, 0x1D191511, 0x2D292521, 0x3D393531},
        {0x0E0A0602, 0x1E1A1612, 0x2E2A2622, 0x3E3A3632},
        {0x0F0B0703, 0x1F1B1713, 0x2F2B2723, 0x3F3B3733},
    };
    for (int plane = 0; plane < 4; plane++) {
        uint32_t got[5] = {0, 0, 0, 0, 0xDEADBEEF};
        vga_pack_plane(got, page.data(), 4, plane);
        for (int k = 0; k < 4; k++)
            EXPECT_EQ(got[k], expect[plane][k]) << plane << " " << k;
        EXPECT_EQ(got[4], 0xDEADBEEF);  // nothing past the words asked for
    }
}
