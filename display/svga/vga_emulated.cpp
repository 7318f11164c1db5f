// vga_emulated.cpp: the VGA card emulated in memory, linked into the tests
// in place of vga_card.cpp. The six modes with their page counts, a DAC of
// 256 x 3 six-bit values, a retrace on a 70 Hz tick of the monotonic
// clock; switches to take modes away and to make calls fail.
#include "vga_card.h"
#include "vga_emulated.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

static constexpr unsigned emu_all_modes = 1u << G320x200x256 | 1u << G320x240x256 | 1u << G320x400x256 |
                                          1u << G360x480x256 | 1u << G640x480x256 | 1u << G800x600x256;

unsigned vga_emulated_modes = emu_all_modes;
int vga_emulated_fail_init = 0;
int vga_emulated_fail_setmode = 0;
int vga_emulated_modeinfo_fails_at = 0;
int vga_emulated_trace = 0;
int vga_emulated_flips = 0;
int vga_emulated_dac[768];

static bool emu_initialised = false;
static int emu_mode = TEXT;
static int emu_shown = 0;
static uint8_t emu_memory[2][800 * 600];  // two pages of the largest mode
static VgaModeInfo emu_info;

void vga_emulated_reset(void)
{
    vga_emulated_modes = emu_all_modes;
    vga_emulated_fail_init = 0;
    vga_emulated_fail_setmode = 0;
    vga_emulated_modeinfo_fails_at = 0;
    vga_emulated_trace = 0;
    vga_emulated_flips = 0;
    memset(vga_emulated_dac, 0, sizeof vga_emulated_dac);
    memset(emu_memory, 0, sizeof emu_memory);
    emu_initialised = false;
    emu_mode = TEXT;
    emu_shown = 0;
}

int vga_emulated_mode(void)
{
    return emu_mode;
}

const uint8_t *vga_emulated_shown_page(void)
{
    return emu_mode == TEXT ? nullptr : emu_memory[emu_shown];
}

// ---------------------------------------------------------------- vga_ calls

int vga_init(void)
{
    if (emu_initialised)
        return 0;
    if (vga_emulated_fail_init || vga_drop_privileges() != 0)
        return -1;
    emu_initialised = true;
    return 0;
}

int vga_hasmode(int mode)
{
    if (!emu_initialised)
        return 0;
    if (mode == TEXT)
        return 1;
    return vga_mode_find(mode) && (vga_emulated_modes >> mode & 1) ? 1 : 0;
}

int vga_setmode(int mode)
{
    if (!emu_initialised)
        return -1;
    if (mode != TEXT && (!vga_hasmode(mode) || vga_emulated_fail_setmode))
        return -1;
    emu_mode = mode;
    emu_shown = 0;
    if (mode != TEXT)
        memset(emu_memory, 0, sizeof emu_memory);
    if (vga_emulated_trace) {
        printf("[mode %d]", mode);
        fflush(stdout);
    }
    return 0;
}

VgaModeInfo *vga_getmodeinfo(int mode)
{
    if (vga_emulated_modeinfo_fails_at > 0 && --vga_emulated_modeinfo_fails_at == 0)
        return nullptr;
    const VgaMode *m = vga_mode_find(mode);
    if (!m)
        return nullptr;
    emu_info = m->info;
    return &emu_info;
}

int vga_getcolors(void)
{
    return emu_mode == TEXT ? 16 : 256;
}

int vga_setpalvec(int start, int count, const int *pal)
{
    count = vga_palette_span(start, count);
    for (int i = 0; i < count * 3; i++)
        vga_emulated_dac[start * 3 + i] = pal[i] & 63;  // the DAC keeps six bits
    return count;
}

static const int64_t emu_ns_per_s = 1000000000;

static int64_t emu_now_ns(void)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * emu_ns_per_s + now.tv_nsec;
}

long vga_emulated_tick(void)
{
    return (long)(emu_now_ns() * 70 / emu_ns_per_s);
}

void vga_waitretrace(void)
{
    // Sleeps to the first nanosecond of the next tick (rounded up, so the
    // tick has surely changed on waking).
    const long tick = vga_emulated_tick();
    const int64_t next = ((int64_t)(tick + 1) * emu_ns_per_s + 69) / 70;
    const timespec at = {(time_t)(next / emu_ns_per_s), (long)(next % emu_ns_per_s)};
    while (vga_emulated_tick() == tick) {
        const int r = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
        if (r != 0 && r != EINTR)
            break;
    }
}

// ---------------------------------------------------------------- for the gl_ calls

int vga_card_mode(void)
{
    return emu_mode;
}

int vga_card_pages(void)
{
    const VgaMode *m = vga_mode_find(emu_mode);
    return m ? m->pages : 0;
}

int vga_card_shown_page(void)
{
    return emu_shown;
}

void vga_card_write_page(int page, const uint8_t *pixels)
{
    const VgaMode *m = vga_mode_find(emu_mode);
    if (m && page >= 0 && page < m->pages)
        memcpy(emu_memory[page], pixels, (size_t)m->info.width * (size_t)m->info.height);
}

void vga_card_fill_page(int page, uint8_t colour)
{
    const VgaMode *m = vga_mode_find(emu_mode);
    if (m && page >= 0 && page < m->pages)
        memset(emu_memory[page], colour, (size_t)m->info.width * (size_t)m->info.height);
}

void vga_card_show_page(int page)
{
    if (page >= 0 && page < vga_card_pages()) {
        emu_shown = page;
        vga_emulated_flips++;
    }
}
