// vga_gl.cpp: the gl_ calls of the VGA layer: the current graphics context,
// virtual screens in memory, and their copy to the card's screen, onto the
// hidden page and then shown where page flipping is on. The same for both
// cards: everything touching the card goes through vga_card_ calls.
#include "vga_card.h"

#include <cstdlib>
#include <cstring>

static GraphicsContext gl_current;
static int gl_virtual_screens = 0;  // allocated and not yet freed

// Read by the tests through the emulated card's header.
int gl_virtual_screens_held(void)
{
    return gl_virtual_screens;
}

int gl_setcontextvga(int mode)
{
    const VgaModeInfo *info = vga_getmodeinfo(mode);
    if (!info || mode == TEXT || mode != vga_card_mode())
        return -1;
    gl_current = GraphicsContext{mode, info->width, info->height, 0, nullptr, 1, 0};
    return 0;
}

int gl_setcontextvgavirtual(int mode)
{
    const VgaModeInfo *info = vga_getmodeinfo(mode);
    if (!info || mode == TEXT)
        return -1;
    uint8_t *pixels = (uint8_t *)calloc((size_t)info->width * (size_t)info->height, 1);
    if (!pixels)
        return -1;
    gl_virtual_screens++;
    gl_current = GraphicsContext{mode, info->width, info->height, 1, pixels, 1, 0};
    return 0;
}

void gl_getcontext(GraphicsContext *gc)
{
    *gc = gl_current;
}

void gl_freecontext(GraphicsContext *gc)
{
    // Only a virtual screen is this layer's to free; the card's screen is
    // video memory.
    if (!gc->is_virtual || !gc->vbuf)
        return;
    if (gl_current.is_virtual && gl_current.vbuf == gc->vbuf)
        gl_current = GraphicsContext{};
    free(gc->vbuf);
    gc->vbuf = nullptr;
    gl_virtual_screens--;
}

void gl_disableclipping(void)
{
    gl_current.clipping = 0;
}

void gl_clearscreen(int colour)
{
    if (gl_current.is_virtual) {
        if (gl_current.vbuf)
            memset(gl_current.vbuf, colour & 0xFF, (size_t)gl_current.width * (size_t)gl_current.height);
        return;
    }
    if (gl_current.mode == TEXT || gl_current.mode != vga_card_mode())
        return;
    for (int page = 0; page < vga_card_pages(); page++)
        vga_card_fill_page(page, (uint8_t)colour);
}

void gl_enablepageflipping(GraphicsContext *gc)
{
    if (gc->is_virtual || gc->mode != vga_card_mode() || vga_card_pages() < 2)
        return;
    gc->page_flipping = 1;
    if (!gl_current.is_virtual && gl_current.mode == gc->mode)
        gl_current.page_flipping = 1;
}

void gl_copyscreen(GraphicsContext *gc)
{
    const GraphicsContext &from = gl_current;
    if (!from.is_virtual || !from.vbuf || from.width != gc->width || from.height != gc->height)
        return;
    if (gc->is_virtual) {
        if (gc->vbuf && gc->vbuf != from.vbuf)
            memcpy(gc->vbuf, from.vbuf, (size_t)gc->width * (size_t)gc->height);
        return;
    }
    if (gc->mode != vga_card_mode())
        return;  // the card left this mode: nothing of it to draw on
    if (gc->page_flipping && vga_card_pages() >= 2) {
        const int hidden = 1 - vga_card_shown_page();
        vga_card_write_page(hidden, from.vbuf);
        vga_card_show_page(hidden);
    } else {
        vga_card_write_page(vga_card_shown_page(), from.vbuf);
    }
}
