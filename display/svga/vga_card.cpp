// vga_card.cpp: the real VGA card, driven from user space (so as root, or
// set-user-ID root). The I/O ports of the VGA and of the Bochs VBE
// interface, the 64 KiB window at 0xA0000 and the display device's linear
// frame buffer (the VBE modes) are reached through vga_io.h. Modes 5 to 8
// are set through the standard VGA registers, 10 and 11 through the VBE
// registers. The text state found at vga_init (registers, DAC, the four
// planes with text and font) is put back when TEXT is set. No exit
// handler: the forked music process would run it too.
#include "vga_card.h"
#include "vga_io.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

// ---------------------------------------------------------------- ports

enum : unsigned short {
    VGA_AC_INDEX = 0x3C0,  // index and data written in turn
    VGA_AC_READ = 0x3C1,
    VGA_MISC_WRITE = 0x3C2,
    VGA_SEQ_INDEX = 0x3C4,
    VGA_DAC_MASK = 0x3C6,
    VGA_DAC_READ_INDEX = 0x3C7,
    VGA_DAC_WRITE_INDEX = 0x3C8,
    VGA_DAC_DATA = 0x3C9,
    VGA_MISC_READ = 0x3CC,
    VGA_GC_INDEX = 0x3CE,
    VGA_CRTC_INDEX = 0x3D4,
    VGA_STATUS = 0x3DA,  // input status 1; reading it also resets the AC's index/data turn
    VBE_INDEX = 0x1CE,
    VBE_DATA = 0x1CF,
};

enum : uint16_t {
    VBE_ID = 0,
    VBE_XRES = 1,
    VBE_YRES = 2,
    VBE_BPP = 3,
    VBE_ENABLE = 4,
    VBE_BANK = 5,
    VBE_VIRT_WIDTH = 6,
    VBE_VIRT_HEIGHT = 7,
    VBE_X_OFFSET = 8,
    VBE_Y_OFFSET = 9,
    VBE_REGISTERS = 10,
};

static const uint16_t vbe_enabled = 0x01, vbe_linear = 0x40, vbe_keep_memory = 0x80;
static const uint8_t vga_status_retrace = 0x08;
static const size_t vga_window_words = 65536 / 4;

// ---------------------------------------------------------------- card state

struct VgaTextState {
    VgaRegisters registers;
    uint8_t dac[768];
    uint8_t dac_mask;
    uint16_t vbe[VBE_REGISTERS];  // when the card has the VBE interface
    uint32_t *planes;             // 4 x 64 KiB, one plane after the other
};

static bool card_initialised = false;
static int card_console = -1;                   // the virtual terminal put into graphics mode
static bool card_window = false;                // the 64 KiB at 0xA0000 mapped
static uint8_t *card_lfb = nullptr;             // linear frame buffer, when found
static size_t card_lfb_size = 0;
static uint16_t card_vbe_id = 0;                // 0: no VBE interface
static bool card_vbe_ports = false;
static int card_mode = TEXT;
static int card_shown = 0;
static VgaTextState card_text;
static VgaModeInfo card_info;
static uint32_t card_words[65536 / 4];  // a page on its way to the window

// ---------------------------------------------------------------- registers

static uint8_t card_read_indexed(unsigned short index_port, uint8_t index)
{
    vga_port_out(index_port, index);
    return vga_port_in(index_port + 1);
}

static void card_write_indexed(unsigned short index_port, uint8_t index, uint8_t value)
{
    vga_port_out(index_port, index);
    vga_port_out(index_port + 1, value);
}

static uint16_t card_vbe_read(uint16_t index)
{
    vga_port_outw(VBE_INDEX, index);
    return vga_port_inw(VBE_DATA);
}

static void card_vbe_write(uint16_t index, uint16_t value)
{
    vga_port_outw(VBE_INDEX, index);
    vga_port_outw(VBE_DATA, value);
}

static void card_read_registers(VgaRegisters *r)
{
    r->misc = vga_port_in(VGA_MISC_READ);
    for (int i = 0; i < 5; i++)
        r->seq[i] = card_read_indexed(VGA_SEQ_INDEX, (uint8_t)i);
    for (int i = 0; i < 25; i++)
        r->crtc[i] = card_read_indexed(VGA_CRTC_INDEX, (uint8_t)i);
    for (int i = 0; i < 9; i++)
        r->gc[i] = card_read_indexed(VGA_GC_INDEX, (uint8_t)i);
    for (int i = 0; i < 21; i++) {
        vga_port_in(VGA_STATUS);
        vga_port_out(VGA_AC_INDEX, (uint8_t)i);
        r->ac[i] = vga_port_in(VGA_AC_READ);
    }
    vga_port_in(VGA_STATUS);
    vga_port_out(VGA_AC_INDEX, 0x20);  // the palette back in use: the screen shows again
}

static void card_write_registers(const VgaRegisters &r)
{
    card_write_indexed(VGA_SEQ_INDEX, 0, 0x01);  // synchronous reset while the clock changes
    vga_port_out(VGA_MISC_WRITE, r.misc);
    for (int i = 1; i < 5; i++)
        card_write_indexed(VGA_SEQ_INDEX, (uint8_t)i, r.seq[i]);
    card_write_indexed(VGA_SEQ_INDEX, 0, r.seq[0]);

    // Bit 7 of CRTC 0x11 write-protects registers 0 to 7: off while they
    // are written, then as the mode wants it.
    card_write_indexed(VGA_CRTC_INDEX, 0x11, card_read_indexed(VGA_CRTC_INDEX, 0x11) & 0x7F);
    for (int i = 0; i < 25; i++)
        card_write_indexed(VGA_CRTC_INDEX, (uint8_t)i, i == 0x11 ? r.crtc[i] & 0x7F : r.crtc[i]);
    card_write_indexed(VGA_CRTC_INDEX, 0x11, r.crtc[0x11]);

    for (int i = 0; i < 9; i++)
        card_write_indexed(VGA_GC_INDEX, (uint8_t)i, r.gc[i]);

    vga_port_in(VGA_STATUS);
    for (int i = 0; i < 21; i++) {
        vga_port_out(VGA_AC_INDEX, (uint8_t)i);
        vga_port_out(VGA_AC_INDEX, r.ac[i]);
    }
    vga_port_in(VGA_STATUS);
    vga_port_out(VGA_AC_INDEX, 0x20);
}

// Plane-by-plane access to the window: writes go to plane only, reads come
// from it, addresses are plain byte offsets in the plane.
static void card_plane_access(int plane)
{
    card_write_indexed(VGA_SEQ_INDEX, 2, (uint8_t)(1 << plane));  // map mask
    card_write_indexed(VGA_SEQ_INDEX, 4, 0x06);                   // no chain-4, no odd/even
    card_write_indexed(VGA_GC_INDEX, 1, 0x00);                    // no set/reset
    card_write_indexed(VGA_GC_INDEX, 3, 0x00);                    // no rotation, no logic
    card_write_indexed(VGA_GC_INDEX, 4, (uint8_t)plane);          // read map
    card_write_indexed(VGA_GC_INDEX, 5, 0x00);                    // read and write mode 0
    card_write_indexed(VGA_GC_INDEX, 6, 0x05);                    // graphics, window at 0xA0000
    card_write_indexed(VGA_GC_INDEX, 8, 0xFF);                    // every bit written
}

static void card_fill_window(size_t offset, uint8_t colour, size_t bytes)
{
    vga_window_fill(offset, colour * 0x01010101u, bytes / 4);
}

// ---------------------------------------------------------------- text state

static void card_save_text(void)
{
    card_read_registers(&card_text.registers);
    card_text.dac_mask = vga_port_in(VGA_DAC_MASK);
    vga_port_out(VGA_DAC_READ_INDEX, 0);
    for (uint8_t &c : card_text.dac)
        c = vga_port_in(VGA_DAC_DATA);
    if (card_vbe_id)
        for (uint16_t i = 1; i < VBE_REGISTERS; i++)
            card_text.vbe[i] = card_vbe_read(i);
    for (int plane = 0; plane < 4; plane++) {
        card_plane_access(plane);
        vga_window_read(0, card_text.planes + (size_t)plane * vga_window_words, vga_window_words);
    }
    card_write_registers(card_text.registers);
}

static void card_restore_text(void)
{
    if (card_vbe_id)
        card_vbe_write(VBE_ENABLE, 0);
    for (int plane = 0; plane < 4; plane++) {
        card_plane_access(plane);
        vga_window_write(0, card_text.planes + (size_t)plane * vga_window_words, vga_window_words);
    }
    card_write_registers(card_text.registers);
    vga_port_out(VGA_DAC_WRITE_INDEX, 0);
    for (uint8_t c : card_text.dac)
        vga_port_out(VGA_DAC_DATA, c);
    vga_port_out(VGA_DAC_MASK, card_text.dac_mask);
    // A console that was itself on the VBE interface gets its mode back,
    // its memory as the console left it. The size goes in while the
    // interface is off; enabling it starts a virtual screen as wide as the
    // mode at offset 0, so the console's own width and panning follow.
    if (card_vbe_id && (card_text.vbe[VBE_ENABLE] & vbe_enabled)) {
        for (uint16_t i = VBE_XRES; i <= VBE_BANK; i++)
            if (i != VBE_ENABLE)
                card_vbe_write(i, card_text.vbe[i]);
        card_vbe_write(VBE_ENABLE, card_text.vbe[VBE_ENABLE] | vbe_keep_memory);
        for (uint16_t i = VBE_VIRT_WIDTH; i < VBE_REGISTERS; i++)
            card_vbe_write(i, card_text.vbe[i]);
    }
    vga_console_graphics(card_console, 0);
    card_mode = TEXT;
    card_shown = 0;
}

// ---------------------------------------------------------------- finding things

// A colour VGA answers at its ports: the graphics controller's index
// register reads back what was written, and the CRTC sits at 0x3D4.
static bool card_probe_vga(void)
{
    const uint8_t saved = vga_port_in(VGA_GC_INDEX);
    vga_port_out(VGA_GC_INDEX, 0x05);
    const bool first = (vga_port_in(VGA_GC_INDEX) & 0x0F) == 0x05;
    vga_port_out(VGA_GC_INDEX, 0x0A);
    const bool second = (vga_port_in(VGA_GC_INDEX) & 0x0F) == 0x0A;
    vga_port_out(VGA_GC_INDEX, saved);
    return first && second && (vga_port_in(VGA_MISC_READ) & 0x01);
}

static void card_release(void)
{
    vga_unmap_lfb(card_lfb, card_lfb_size);
    card_lfb = nullptr;
    card_lfb_size = 0;
    if (card_window)
        vga_unmap_window();
    card_window = false;
    if (card_vbe_ports)
        vga_port_access(VBE_INDEX, 3, 0);
    vga_port_access(VGA_AC_INDEX, 0x20, 0);
    card_vbe_ports = false;
    card_vbe_id = 0;
    if (card_console >= 0)
        vga_console_close(card_console);
    card_console = -1;
    free(card_text.planes);
    card_text.planes = nullptr;
}

// ---------------------------------------------------------------- vga_ calls

int vga_init(void)
{
    if (card_initialised)
        return 0;
    card_console = vga_console_find();
    if (card_console < 0)
        return -1;
    // Started set-user-ID with the console on a standard stream that is not
    // the controlling terminal, the console would refuse graphics mode once
    // the ids are dropped: better to fail before the menu than after it.
    if (!vga_console_usable_after_drop(card_console)) {
        card_release();
        return -1;
    }
    if (vga_port_access(VGA_AC_INDEX, 0x20, 1) != 0 || !card_probe_vga()) {
        card_release();
        return -1;
    }
    card_window = vga_map_window() == 0;
    card_text.planes = (uint32_t *)malloc(4 * vga_window_words * sizeof(uint32_t));
    if (!card_window || !card_text.planes) {
        card_release();
        return -1;
    }

    // The VBE interface is optional: without it modes 10 and 11 are missing.
    card_vbe_ports = vga_port_access(VBE_INDEX, 3, 1) == 0;
    if (card_vbe_ports) {
        const uint16_t id = card_vbe_read(VBE_ID);
        // 0xB0C2 and later have 8-bit pixels and the linear frame buffer.
        if ((id & 0xFFF0) == 0xB0C0 && id >= 0xB0C2 && (card_lfb = vga_map_lfb(&card_lfb_size)) != nullptr)
            card_vbe_id = id;
    }

    card_save_text();
    // Ports and mappings are held; they stay with the process.
    if (vga_drop_privileges() != 0) {
        card_release();
        return -1;
    }
    card_initialised = true;
    return 0;
}

int vga_hasmode(int mode)
{
    if (!card_initialised)
        return 0;
    if (mode == TEXT)
        return 1;
    const VgaMode *m = vga_mode_find(mode);
    if (!m)
        return 0;
    if (m->memory != VGA_LINEAR)
        return 1;
    return card_vbe_id && card_lfb_size >= (size_t)m->info.width * (size_t)m->info.height;
}

static int card_set_vbe(const VgaMode *m)
{
    const uint16_t w = (uint16_t)m->info.width, h = (uint16_t)m->info.height;
    const uint16_t pages = card_lfb_size >= 2 * (size_t)w * h ? 2 : 1;
    card_vbe_write(VBE_ENABLE, 0);
    card_vbe_write(VBE_XRES, w);
    card_vbe_write(VBE_YRES, h);
    card_vbe_write(VBE_BPP, 8);
    card_vbe_write(VBE_BANK, 0);
    card_vbe_write(VBE_VIRT_WIDTH, w);
    card_vbe_write(VBE_VIRT_HEIGHT, (uint16_t)(h * pages));
    card_vbe_write(VBE_X_OFFSET, 0);
    card_vbe_write(VBE_Y_OFFSET, 0);
    card_vbe_write(VBE_ENABLE, vbe_enabled | vbe_linear);  // also clears video memory
    // A card that cannot show the mode keeps other values.
    if (card_vbe_read(VBE_XRES) != w || card_vbe_read(VBE_YRES) != h || card_vbe_read(VBE_BPP) != 8 ||
        !(card_vbe_read(VBE_ENABLE) & vbe_enabled))
        return -1;
    return 0;
}

int vga_setmode(int mode)
{
    if (!card_initialised)
        return -1;
    if (mode == TEXT) {
        if (card_mode != TEXT)
            card_restore_text();
        return 0;
    }
    const VgaMode *m = vga_mode_find(mode);
    if (!m || !vga_hasmode(mode))
        return -1;
    if (card_mode == TEXT && vga_console_graphics(card_console, 1) != 0)
        return -1;
    card_mode = mode;  // the page calls below work in the new mode
    card_shown = 0;
    if (card_vbe_id)
        card_vbe_write(VBE_ENABLE, 0);
    if (m->memory == VGA_LINEAR) {
        if (card_set_vbe(m) != 0) {
            card_restore_text();
            return -1;
        }
    } else {
        card_write_registers(*m->registers);
        for (int page = 0; page < vga_card_pages(); page++)
            vga_card_fill_page(page, 0);
        vga_card_show_page(0);
    }
    vga_port_out(VGA_DAC_MASK, 0xFF);
    return 0;
}

VgaModeInfo *vga_getmodeinfo(int mode)
{
    const VgaMode *m = vga_mode_find(mode);
    if (!m)
        return nullptr;
    card_info = m->info;
    return &card_info;
}

int vga_getcolors(void)
{
    return card_mode == TEXT ? 16 : 256;
}

int vga_setpalvec(int start, int count, const int *pal)
{
    count = vga_palette_span(start, count);
    if (card_mode == TEXT || count == 0)
        return 0;
    vga_port_out(VGA_DAC_WRITE_INDEX, (uint8_t)start);
    for (int i = 0; i < count * 3; i++)
        vga_port_out(VGA_DAC_DATA, (uint8_t)(pal[i] & 63));
    return count;
}

static long card_now_ms(void)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

void vga_waitretrace(void)
{
    if (card_mode == TEXT)
        return;
    // Out of the retrace under way, then into the next one. Bounded, so a
    // card whose status never changes cannot stop the show.
    const long deadline = card_now_ms() + 100;
    while ((vga_port_in(VGA_STATUS) & vga_status_retrace) && card_now_ms() < deadline) {
    }
    while (!(vga_port_in(VGA_STATUS) & vga_status_retrace) && card_now_ms() < deadline) {
    }
}

// ---------------------------------------------------------------- for the gl_ calls

int vga_card_mode(void)
{
    return card_mode;
}

int vga_card_pages(void)
{
    const VgaMode *m = vga_mode_find(card_mode);
    if (!m)
        return 0;
    if (m->memory == VGA_LINEAR)
        return card_lfb_size >= 2 * (size_t)m->info.width * (size_t)m->info.height ? 2 : 1;
    return m->pages;
}

int vga_card_shown_page(void)
{
    return card_shown;
}

// The current mode's row when page is one of its pages, else nullptr.
static const VgaMode *card_page_mode(int page)
{
    const VgaMode *m = vga_mode_find(card_mode);
    return m && page >= 0 && page < vga_card_pages() ? m : nullptr;
}

void vga_card_write_page(int page, const uint8_t *pixels)
{
    const VgaMode *m = card_page_mode(page);
    if (!m)
        return;
    const size_t size = (size_t)m->info.width * (size_t)m->info.height;
    switch (m->memory) {
    case VGA_CHAINED:
        memcpy(card_words, pixels, size);
        vga_window_write(0, card_words, size / 4);
        break;
    case VGA_PLANAR: {
        const int plane_bytes = vga_plane_bytes(m);
        for (int plane = 0; plane < 4; plane++) {
            vga_pack_plane(card_words, pixels, plane_bytes / 4, plane);
            card_write_indexed(VGA_SEQ_INDEX, 2, (uint8_t)(1 << plane));
            vga_window_write((size_t)page * (size_t)plane_bytes, card_words, (size_t)plane_bytes / 4);
        }
        card_write_indexed(VGA_SEQ_INDEX, 2, 0x0F);
        break;
    }
    case VGA_LINEAR:
        memcpy(card_lfb + (size_t)page * size, pixels, size);
        break;
    }
}

void vga_card_fill_page(int page, uint8_t colour)
{
    const VgaMode *m = card_page_mode(page);
    if (!m)
        return;
    const size_t size = (size_t)m->info.width * (size_t)m->info.height;
    switch (m->memory) {
    case VGA_CHAINED:
        card_fill_window(0, colour, size);
        break;
    case VGA_PLANAR: {
        const size_t plane_bytes = (size_t)vga_plane_bytes(m);
        card_write_indexed(VGA_SEQ_INDEX, 2, 0x0F);  // all four planes at once
        card_fill_window((size_t)page * plane_bytes, colour, plane_bytes);
        break;
    }
    case VGA_LINEAR:
        memset(card_lfb + (size_t)page * size, colour, size);
        break;
    }
}

void vga_card_show_page(int page)
{
    const VgaMode *m = card_page_mode(page);
    if (!m)
        return;
    if (m->memory == VGA_PLANAR) {
        // The display start counts bytes of a plane.
        const unsigned start = (unsigned)page * (unsigned)vga_plane_bytes(m);
        card_write_indexed(VGA_CRTC_INDEX, 0x0C, (uint8_t)(start >> 8));
        card_write_indexed(VGA_CRTC_INDEX, 0x0D, (uint8_t)start);
    } else if (m->memory == VGA_LINEAR) {
        card_vbe_write(VBE_Y_OFFSET, (uint16_t)(page * m->info.height));
    }
    card_shown = page;
}
