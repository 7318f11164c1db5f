// svga_display.cpp: the display back end of skarn_svga. The viewer picks
// one of six 256-colour VGA modes from those the card offers; each frame
// goes into a virtual screen of the mode's size (copied when the sizes
// match, stretched with blit_scaled otherwise), which is then copied to the
// card's page-flipped screen. Palettes go to the DAC as six-bit values.
// A stop signal reaches display_close through the show's orderly shutdown,
// which puts the console back into text mode.
#include "skarn.h"
#include "transform.h"
#include "vga.h"

#include <cstdlib>
#include <cstring>

struct SvgaModeRow {
    int mode;
    const char *label;
};

static const SvgaModeRow svga_mode_table[6] = {
    {G320x200x256, "320x200 / 256 colors -> fast but wrong"},
    {G320x240x256, "320x240 / 256 colors -> RECOMMENDED!!!!"},
    {G320x400x256, "320x400 / 256 colors -> slow"},
    {G360x480x256, "360x480 / 256 colors -> slower"},
    {G640x480x256, "640x480 / 256 colors -> the slowest"},
    {G800x600x256, "800x600 / 256 colors -> snail"},
};

// ---------------------------------------------------------------- device state

static GraphicsContext svga_physical;
static GraphicsContext svga_virtual;
static uint8_t *svga_virtual_screen = nullptr;  // svga_virtual's pixels while open
static int32_t screen_width = 0, screen_height = 0, screen_size = 0;
static int svga_palette6[768];

static int svga_graphics_on = 0;  // a graphics mode is set

// ---------------------------------------------------------------- open and close

// Set-up failed after the mode was set: back to text, then the message.
[[noreturn]] static void svga_fail_in_graphics(void)
{
    display_close();
    printf("ERROR: Can't init vga\n");
    fflush(stdout);
    exit(-1);
}

int display_open(int, char **, const char *, int, int)
{
    if (vga_init() != 0) {
        printf("ERROR: Can't init vga\n");
        fflush(stdout);
        exit(-1);
    }

    int offered[6];
    int count = 0;
    for (int i = 0; i < 6; i++)
        if (vga_hasmode(svga_mode_table[i].mode))
            offered[count++] = i;
    if (count == 0) {
        printf("ERROR: Not valid vga mode avaible!");
        fflush(stdout);
        exit(-1);
    }
    printf("Choose a vga mode:\n");
    for (int n = 0; n < count; n++)
        printf(" %d. %s\n", n + 1, svga_mode_table[offered[n]].label);
    const int mode = svga_mode_table[offered[prompt_int("Type the number of the vga mode:", 1, count) - 1]].mode;

    if (vga_setmode(mode) != 0) {
        // The layer left the console as it was.
        printf("ERROR: Can't init vga\n");
        fflush(stdout);
        exit(-1);
    }
    svga_graphics_on = 1;

    if (gl_setcontextvga(mode) != 0)
        svga_fail_in_graphics();
    gl_disableclipping();
    gl_getcontext(&svga_physical);
    gl_clearscreen(0);
    gl_enablepageflipping(&svga_physical);
    if (gl_setcontextvgavirtual(mode) != 0)
        svga_fail_in_graphics();
    gl_getcontext(&svga_virtual);
    svga_virtual_screen = svga_virtual.vbuf;

    const VgaModeInfo *info = vga_getmodeinfo(mode);
    if (!info || info->width != svga_virtual.width || info->height != svga_virtual.height)
        svga_fail_in_graphics();
    printf("Width: %d  Height: %d  Colors: %d\n", info->width, info->height, info->colors);
    fflush(stdout);
    screen_width = info->width;
    screen_height = info->height;
    screen_size = screen_width * screen_height;
    return 0;
}

void display_close(void)
{
    if (!svga_graphics_on)
        return;
    gl_freecontext(&svga_virtual);
    gl_freecontext(&svga_physical);
    svga_virtual_screen = nullptr;
    vga_setmode(TEXT);
    svga_graphics_on = 0;
}

// ---------------------------------------------------------------- frames

void display_set_palette(const Palette *pal)
{
    if (vga_getcolors() != 256)
        return;
    // The DAC takes six bits a component: the two low bits are dropped.
    for (int i = 0; i < 768; i++)
        svga_palette6[i] = pal->rgb[i] >> 2;
    vga_setpalvec(0, 256, svga_palette6);
}

void display_put_frame(const Image *frame)
{
    if (!svga_virtual_screen || !frame)
        return;
    if (frame->width == screen_width && frame->height == screen_height) {
        memcpy(svga_virtual_screen, frame->pixels, (size_t)screen_size);
    } else {
        Image screen = {screen_width, screen_height, svga_virtual_screen};
        blit_scaled(&screen, 0, 0, screen_width, screen_height, frame, 0, 0, frame->width, frame->height, 0, 0);
    }
    gl_copyscreen(&svga_physical);
}

void display_wait_retrace(void)
{
    vga_waitretrace();
}
