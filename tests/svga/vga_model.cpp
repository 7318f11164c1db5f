// vga_model.cpp: the machine of vga_io.h as a VGA card at register level,
// for the tests of the real card. Ports behave as on the hardware (indexed
// registers, the attribute controller's index/data flip-flop reset by a
// status read, the DAC's read and write indices stepping after each third
// component, CRTC registers 0-7 write-protected by bit 7 of register
// 0x11); the window reaches the planes through the map mask, chain-4,
// odd/even, read map select, write mode 0 and the memory map select.
#include "vga_model.h"
#include "vga_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

VgaModel vga_model;

static VgaModel &m = vga_model;

enum : uint16_t { VBE_ID, VBE_XRES, VBE_YRES, VBE_BPP, VBE_ENABLE, VBE_BANK, VBE_VWIDTH, VBE_VHEIGHT, VBE_XOFF, VBE_YOFF };

void vga_model_reset(bool vbe_console)
{
    m.ports_granted = m.present = m.window_maps = true;
    m.vbe_id = 0xB0C5;
    m.vbe_max_width = 1600;
    m.lfb_size = 4u << 20;
    m.console = 7;
    m.console_after_drop = true;

    // Mode 3, 80x25 text, scrolled by one line, the cursor moved.
    static const uint8_t seq[5] = {0x03, 0x00, 0x03, 0x00, 0x02};
    static const uint8_t crtc[25] = {0x5F, 0x4F, 0x50, 0x82, 0x55, 0x81, 0xBF, 0x1F, 0x00, 0x4F, 0x0D, 0x0E, 0x00,
                                     0x50, 0x01, 0x23, 0x9C, 0x8E, 0x8F, 0x28, 0x1F, 0x96, 0xB9, 0xA3, 0xFF};
    static const uint8_t gc[9] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x0E, 0x00, 0xFF};
    static const uint8_t ac[21] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x14, 0x07, 0x38, 0x39, 0x3A,
                                   0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x0C, 0x00, 0x0F, 0x08, 0x00};
    m.misc = 0x67;
    memcpy(m.seq, seq, 5);
    memcpy(m.crtc, crtc, 25);
    memcpy(m.gc, gc, 9);
    memcpy(m.ac, ac, 21);
    m.seq_index = m.crtc_index = m.gc_index = 0;
    m.ac_index = 0x20;
    m.ac_data = false;
    for (int i = 0; i < 256; i++) {
        m.dac[i][0] = (uint8_t)(i * 7 & 63);
        m.dac[i][1] = (uint8_t)((i * 13 + 5) & 63);
        m.dac[i][2] = (uint8_t)((i * 29 + 11) & 63);
    }
    m.dac_mask = 0xFF;
    m.dac_read = m.dac_write = m.dac_sub = m.dac_state = 0;
    memset(m.vbe, 0, sizeof m.vbe);
    m.vbe_index = 0;
    // Characters, attributes, font and the fourth plane, each its own.
    for (int p = 0; p < 4; p++)
        for (int i = 0; i < 65536; i++)
            m.planes[p][i] = (uint8_t)(i * (2 * p + 3) + p * 71 + (i >> 8));
    memset(m.latch, 0, sizeof m.latch);
    m.lfb.assign(m.lfb_size, 0);
    if (vbe_console) {
        // Panned as a console that flips pages does: a screen 1280 wide,
        // shown from (16, 768), with a picture of its own in the memory.
        const uint16_t vbe[10] = {0xB0C5, 1024, 768, 8, 0x41, 0, 1280, (uint16_t)(m.lfb_size / 1280), 16, 768};
        memcpy(m.vbe, vbe, sizeof vbe);
        for (size_t i = 0; i < m.lfb.size(); i++)
            m.lfb[i] = (uint8_t)(i % 1280 * 5 + i / 1280 * 3);
    }
    m.vga_ports = m.vbe_ports = m.window_mapped = m.lfb_mapped = m.console_open = m.console_graphics = false;
    m.port_writes = m.status_reads = 0;
    m.status_retrace = m.retrace_edge = false;
}

// ---------------------------------------------------------------- ports

static void model_check_port(uint16_t port)
{
    const bool vga = port >= 0x3C0 && port < 0x3E0, vbe = port >= 0x1CE && port < 0x1D1;
    if ((vga && !m.vga_ports) || (vbe && !m.vbe_ports) || (!vga && !vbe))
        ADD_FAILURE() << "port 0x" << std::hex << port << " used without access: the program would crash";
}

int vga_port_access(uint16_t first, unsigned count, int on)
{
    if ((first != 0x3C0 || count != 0x20) && (first != 0x1CE || count != 3))
        ADD_FAILURE() << "ports asked for: 0x" << std::hex << first << " count " << count;
    if (on && !m.ports_granted)
        return -1;
    (first == 0x3C0 ? m.vga_ports : m.vbe_ports) = on != 0;
    return 0;
}

uint8_t vga_port_in(uint16_t port)
{
    model_check_port(port);
    if (!m.present)
        return 0xFF;
    switch (port) {
    case 0x3C0:
        return m.ac_index;
    case 0x3C1:
        return (m.ac_index & 0x1F) < 21 ? m.ac[m.ac_index & 0x1F] : 0;
    case 0x3C5:
        return m.seq_index < 5 ? m.seq[m.seq_index] : 0xFF;
    case 0x3C4:
        return m.seq_index;
    case 0x3C6:
        return m.dac_mask;
    case 0x3C7:
        return m.dac_state;
    case 0x3C8:
        return m.dac_write;
    case 0x3C9: {
        const uint8_t v = m.dac[m.dac_read][m.dac_sub];
        if (++m.dac_sub == 3) {
            m.dac_sub = 0;
            m.dac_read++;
        }
        return v;
    }
    case 0x3CC:
        return m.misc;
    case 0x3CE:
        return m.gc_index;
    case 0x3CF:
        return m.gc_index < 9 ? m.gc[m.gc_index] : 0xFF;
    case 0x3D4:
        return m.crtc_index;
    case 0x3D5:
        return m.crtc_index < 25 ? m.crtc[m.crtc_index] : 0xFF;
    case 0x3DA: {
        // The retrace a quarter of the time; bit 0 (display disabled)
        // changes with every read.
        m.ac_data = false;
        const long n = m.status_reads++;
        const bool retrace = n / 16 % 4 == 3;
        m.retrace_edge = retrace && !m.status_retrace;
        m.status_retrace = retrace;
        return (uint8_t)((retrace ? 0x08 : 0) | (n & 1));
    }
    }
    return 0xFF;
}

void vga_port_out(uint16_t port, uint8_t v)
{
    model_check_port(port);
    m.port_writes++;
    if (!m.present)
        return;
    switch (port) {
    case 0x3C0: {
        const int i = m.ac_index & 0x1F;
        // Palette registers 0-15 take no writes while the screen shows them.
        if (!m.ac_data)
            m.ac_index = v & 0x3F;
        else if (i < 21 && !(i < 16 && (m.ac_index & 0x20)))
            m.ac[i] = v;
        m.ac_data = !m.ac_data;
        break;
    }
    case 0x3C2:
        m.misc = v;
        break;
    case 0x3C4:
        m.seq_index = v & 0x07;
        break;
    case 0x3C5:
        if (m.seq_index < 5)
            m.seq[m.seq_index] = v;
        break;
    case 0x3C6:
        m.dac_mask = v;
        break;
    case 0x3C7:
        m.dac_read = v;
        m.dac_sub = 0;
        m.dac_state = 3;
        break;
    case 0x3C8:
        m.dac_write = v;
        m.dac_sub = 0;
        m.dac_state = 0;
        break;
    case 0x3C9:
        // An entry changes once its third component is in; six bits each.
        m.dac_cache[m.dac_sub] = v & 63;
        if (++m.dac_sub == 3) {
            memcpy(m.dac[m.dac_write++], m.dac_cache, 3);
            m.dac_sub = 0;
        }
        break;
    case 0x3CE:
        m.gc_index = v & 0x0F;
        break;
    case 0x3CF:
        if (m.gc_index < 9)
            m.gc[m.gc_index] = v;
        break;
    case 0x3D4:
        m.crtc_index = v & 0x3F;
        break;
    case 0x3D5:
        if (m.crtc_index >= 25)
            break;
        if ((m.crtc[0x11] & 0x80) && m.crtc_index <= 7) {
            if (m.crtc_index == 7)  // line compare bit 8 stays writable
                m.crtc[7] = (uint8_t)((m.crtc[7] & ~0x10) | (v & 0x10));
            break;
        }
        m.crtc[m.crtc_index] = v;
        break;
    }
}

uint16_t vga_port_inw(uint16_t port)
{
    model_check_port(port);
    if (!m.vbe_id || port != 0x1CF)
        return 0xFFFF;
    return m.vbe_index == VBE_ID ? m.vbe_id : m.vbe_index < 10 ? m.vbe[m.vbe_index] : 0;
}

// The lines of the frame buffer at the virtual width.
static long model_vbe_lines(void)
{
    return m.vbe[VBE_VWIDTH] ? (long)(m.lfb.size() / m.vbe[VBE_VWIDTH]) : 0;
}

void vga_port_outw(uint16_t port, uint16_t v)
{
    model_check_port(port);
    m.port_writes++;
    if (!m.vbe_id)
        return;
    if (port == 0x1CE) {
        m.vbe_index = v;
        return;
    }
    if (port != 0x1CF || m.vbe_index >= 10)
        return;
    const bool enabled = m.vbe[VBE_ENABLE] & 1;
    switch (m.vbe_index) {
    case VBE_XRES:
    case VBE_YRES:
    case VBE_BPP:
        // Taken while disabled, and only what the card can show.
        if (!enabled && (m.vbe_index != VBE_XRES || (v <= m.vbe_max_width && v % 8 == 0)) &&
            (m.vbe_index != VBE_YRES || v <= 1200) && (m.vbe_index != VBE_BPP || v == 8 || v == 16 || v == 32))
            m.vbe[m.vbe_index] = v;
        break;
    case VBE_ENABLE:
        if ((v & 1) && !enabled) {
            if ((size_t)m.vbe[VBE_XRES] * m.vbe[VBE_YRES] * (m.vbe[VBE_BPP] / 8) > m.lfb.size() ||
                !m.vbe[VBE_XRES])
                break;
            // Enabling starts at the top of a screen as wide as the mode,
            // and clears the memory unless told not to.
            m.vbe[VBE_VWIDTH] = m.vbe[VBE_XRES];
            m.vbe[VBE_XOFF] = m.vbe[VBE_YOFF] = 0;
            if (!(v & 0x80))
                std::fill(m.lfb.begin(), m.lfb.end(), 0);
        }
        m.vbe[VBE_ENABLE] = v & 0x7F;
        break;
    case VBE_YOFF:
        // Kept where the screen fits the memory.
        m.vbe[VBE_YOFF] = v;
        if (enabled && (long)v + m.vbe[VBE_YRES] > model_vbe_lines())
            m.vbe[VBE_YOFF] = (uint16_t)(model_vbe_lines() - m.vbe[VBE_YRES]);
        break;
    default:
        m.vbe[m.vbe_index] = v;
    }
    m.vbe[VBE_VHEIGHT] = (uint16_t)std::min(model_vbe_lines(), 65535L);
}

// ---------------------------------------------------------------- memory

// Where a window offset lands: the plane address, or -1 when the memory
// map select puts the card elsewhere than 0xA0000.
static long model_address(size_t a)
{
    const int map = m.gc[6] >> 2 & 3;
    if (map >= 2)
        return -1;
    if (m.seq[4] & 0x08)
        return (long)(a & ~(size_t)3);  // chain-4: the low bits chose the plane
    if (!(m.seq[4] & 0x04))
        return (long)(a & ~(size_t)1);  // odd/even: the low bit chose the plane
    return (long)a;
}

static uint8_t model_cpu_read(size_t a)
{
    const long addr = model_address(a);
    if (addr < 0)
        return 0xFF;
    for (int p = 0; p < 4; p++)
        m.latch[p] = m.planes[p][addr];
    if (m.gc[5] & 0x08) {  // read mode 1: colour compare
        uint8_t same = 0xFF;
        for (int p = 0; p < 4; p++)
            if (m.gc[7] >> p & 1)
                same &= (uint8_t) ~(m.latch[p] ^ ((m.gc[2] >> p & 1) ? 0xFF : 0x00));
        return same;
    }
    if (m.seq[4] & 0x08)
        return m.latch[a & 3];
    if (m.gc[5] & 0x10)
        return m.latch[(m.gc[4] & 2) | (a & 1)];
    return m.latch[m.gc[4] & 3];
}

static void model_cpu_write(size_t a, uint8_t v)
{
    const long addr = model_address(a);
    if (addr < 0)
        return;
    if (m.gc[5] & 0x03)
        ADD_FAILURE() << "write mode " << (m.gc[5] & 3) << " is not modelled";
    unsigned planes = m.seq[2] & 0x0F;
    if (m.seq[4] & 0x08)
        planes &= 1u << (a & 3);
    else if (!(m.seq[4] & 0x04))
        planes &= (a & 1) ? 0x0A : 0x05;
    const int turn = m.gc[3] & 7;
    const uint8_t rotated = (uint8_t)(v >> turn | v << ((8 - turn) & 7));
    for (int p = 0; p < 4; p++) {
        if (!(planes >> p & 1))
            continue;
        uint8_t d = (m.gc[1] >> p & 1) ? ((m.gc[0] >> p & 1) ? 0xFF : 0x00) : rotated;
        switch (m.gc[3] >> 3 & 3) {
        case 1: d &= m.latch[p]; break;
        case 2: d |= m.latch[p]; break;
        case 3: d ^= m.latch[p]; break;
        }
        m.planes[p][addr] = (uint8_t)((d & m.gc[8]) | (m.latch[p] & ~m.gc[8]));
    }
}

static void model_check_window(size_t offset, size_t count)
{
    if (!m.window_mapped || offset + 4 * count > 65536)
        ADD_FAILURE() << "window access at " << offset << " for " << count << " words outside the mapping";
}

int vga_map_window(void)
{
    if (!m.window_maps)
        return -1;
    m.window_mapped = true;
    return 0;
}

void vga_unmap_window(void)
{
    m.window_mapped = false;
}

void vga_window_read(size_t offset, uint32_t *words, size_t count)
{
    model_check_window(offset, count);
    for (size_t k = 0; k < count; k++) {
        uint32_t w = 0;
        for (int b = 0; b < 4; b++)
            w |= (uint32_t)model_cpu_read(offset + 4 * k + b) << (8 * b);
        words[k] = w;
    }
}

void vga_window_write(size_t offset, const uint32_t *words, size_t count)
{
    model_check_window(offset, count);
    for (size_t k = 0; k < count; k++)
        for (int b = 0; b < 4; b++)
            model_cpu_write(offset + 4 * k + b, (uint8_t)(words[k] >> (8 * b)));
}

void vga_window_fill(size_t offset, uint32_t word, size_t count)
{
    for (size_t k = 0; k < count; k++)
        vga_window_write(offset + 4 * k, &word, 1);
}

uint8_t *vga_map_lfb(size_t *size)
{
    if (!m.lfb_size)
        return nullptr;
    m.lfb.resize(m.lfb_size);
    m.lfb_mapped = true;
    *size = m.lfb.size();
    return m.lfb.data();
}

void vga_unmap_lfb(uint8_t *lfb, size_t size)
{
    if (!lfb)
        return;
    EXPECT_TRUE(m.lfb_mapped && lfb == m.lfb.data() && size == m.lfb.size());
    m.lfb_mapped = false;
}

// ---------------------------------------------------------------- console

int vga_console_find(void)
{
    m.console_open = m.console >= 0;
    return m.console;
}

int vga_console_usable_after_drop(int console)
{
    EXPECT_TRUE(m.console_open && console == m.console);
    return m.console_after_drop;
}

int vga_console_graphics(int console, int on)
{
    EXPECT_TRUE(m.console_open && console == m.console);
    if (!m.console_after_drop)
        return -1;
    m.console_graphics = on != 0;
    return 0;
}

void vga_console_close(int console)
{
    EXPECT_TRUE(m.console_open && console == m.console);
    m.console_open = false;
}

// ---------------------------------------------------------------- the picture

long vga_model_start(void)
{
    if (m.vbe[VBE_ENABLE] & 1)
        return m.vbe[VBE_YOFF];
    return m.crtc[0x0C] << 8 | m.crtc[0x0D];
}

VgaPicture vga_model_picture(long start)
{
    VgaPicture pic = {false, 0, 0, {}};
    if (start < 0)
        start = vga_model_start();
    if (m.vbe[VBE_ENABLE] & 1) {
        if (m.vbe[VBE_BPP] != 8)
            return pic;
        pic = {true, m.vbe[VBE_XRES], m.vbe[VBE_YRES], {}};
        for (int y = 0; y < pic.height; y++) {
            const size_t row = (size_t)(start + y) * m.vbe[VBE_VWIDTH] + m.vbe[VBE_XOFF];
            pic.pixels.insert(pic.pixels.end(), m.lfb.begin() + (long)row, m.lfb.begin() + (long)row + pic.width);
        }
        return pic;
    }
    // A running sequencer with the screen on, the attribute controller
    // showing 8-bit graphics pixels.
    if ((m.seq[0] & 3) != 3 || (m.seq[1] & 0x20) || !(m.ac_index & 0x20) || !(m.gc[6] & 1) ||
        (m.ac[0x10] & 0x41) != 0x41)
        return pic;
    const uint8_t *c = m.crtc;
    const int lines = (c[0x12] | (c[7] & 0x02) << 7 | (c[7] & 0x40) << 3) + 1;
    const int lines_per_row = ((c[9] & 0x1F) + 1) * ((c[9] & 0x80) ? 2 : 1);
    const int shift = (c[0x14] & 0x40) ? 2 : (c[0x17] & 0x40) ? 0 : 1;  // double words, bytes, words
    pic = {true, (c[1] + 1) * 4, lines / lines_per_row, {}};
    for (int y = 0; y < pic.height; y++)
        for (int x = 0; x < pic.width; x++) {
            const long counter = start + (long)y * c[0x13] * 2 + x / 4;
            pic.pixels.push_back((uint8_t)(m.planes[x & 3][(counter << shift) & 0xFFFF] & m.dac_mask));
        }
    return pic;
}
