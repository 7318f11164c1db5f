// x11_probe.cpp: a stand-in for the show that drives the X11 back end
// under a test's X server and reads the window back through a second
// connection. Answers the display-mode question from standard input like
// skarn_x11. With no argument it shows known frames and palettes and checks
// every visible pixel (exact index and colormap on PseudoColor, exact pixel
// value on TrueColor, 2x2 blocks at pixel size 2), then closes; exit 0 when
// all matched. With the argument "loop" it shows frames until it is killed
// or the server goes away; "music" does the same with the music playing;
// "destroy" is "music" whose window is destroyed by another client after a
// few frames, so the back end's next request is refused.
#include "skarn.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

static Display *check;  // the probe's own connection, apart from the back end's

static int fail(const char *what)
{
    fprintf(stderr, "probe: %s\n", what);
    exit(3);
}

// The mapped child of the root that the back end made.
static Window probe_find_window(void)
{
    Window root_ret, parent, *children = nullptr;
    unsigned n = 0;
    Window found = 0;
    XQueryTree(check, DefaultRootWindow(check), &root_ret, &parent, &children, &n);
    for (unsigned i = 0; i < n; i++) {
        XWindowAttributes a;
        if (XGetWindowAttributes(check, children[i], &a) && a.map_state == IsViewable)
            found = children[i];
    }
    if (children)
        XFree(children);
    return found;
}

// The pixel a TrueColor visual must show for an 8-bit colour: each
// component cut or widened to its mask's width and moved to its place.
static unsigned long probe_true_colour(const Visual *v, const uint8_t *rgb)
{
    const unsigned long masks[3] = {v->red_mask, v->green_mask, v->blue_mask};
    unsigned long pixel = 0;
    for (int k = 0; k < 3; k++) {
        int shift = 0, bits = 0;
        unsigned long m = masks[k];
        while (!(m & 1)) {
            m >>= 1;
            shift++;
        }
        while (m & 1) {
            m >>= 1;
            bits++;
        }
        const unsigned long c = rgb[k];
        const unsigned long top = bits >= 8 ? c << (bits - 8) : c >> (8 - bits);
        pixel |= top << shift;
    }
    return pixel;
}

struct Geometry {
    int x, y, w, h, size;
};

// Compares the visible part of the window with frame through pal, retrying
// for a while: the back end does not wait for the server.
static bool probe_compare(Window win, const Geometry &g, const Image *frame, const Palette *pal,
                          char *why, size_t why_len)
{
    const Visual *vis = DefaultVisual(check, DefaultScreen(check));
    const bool indexed = vis->c_class == PseudoColor;
    const int sw = DisplayWidth(check, DefaultScreen(check)), sh = DisplayHeight(check, DefaultScreen(check));
    // Only what lies on the screen can be read back.
    const int x0 = g.x < 0 ? -g.x : 0, y0 = g.y < 0 ? -g.y : 0;
    const int x1 = g.x + g.w > sw ? sw - g.x : g.w, y1 = g.y + g.h > sh ? sh - g.y : g.h;
    for (int attempt = 0; attempt < 60; attempt++) {
        XImage *img = XGetImage(check, win, x0, y0, (unsigned)(x1 - x0), (unsigned)(y1 - y0), AllPlanes, ZPixmap);
        if (!img)
            fail("XGetImage failed");
        bool ok = true;
        for (int y = y0; y < y1 && ok; y++)
            for (int x = x0; x < x1; x++) {
                const uint8_t index = frame->pixels[(y / g.size) * frame->width + x / g.size];
                const unsigned long want = indexed ? index : probe_true_colour(vis, &pal->rgb[index * 3]);
                const unsigned long got = XGetPixel(img, x - x0, y - y0);
                if (got != want) {
                    snprintf(why, why_len, "pixel (%d,%d) index %d: got 0x%lx want 0x%lx", x, y, index, got, want);
                    ok = false;
                    break;
                }
            }
        XDestroyImage(img);
        if (ok && indexed) {
            // The window's private colormap must hold the palette.
            XWindowAttributes a;
            XGetWindowAttributes(check, win, &a);
            XColor colours[256];
            for (int i = 0; i < 256; i++)
                colours[i].pixel = (unsigned long)i;
            XQueryColors(check, a.colormap, colours, 256);
            for (int i = 0; i < 256 && ok; i++)
                // The server keeps 8 significant bits a channel and answers
                // them repeated in the low byte: the high byte must match.
                if (colours[i].red >> 8 != pal->rgb[i * 3] || colours[i].green >> 8 != pal->rgb[i * 3 + 1] ||
                    colours[i].blue >> 8 != pal->rgb[i * 3 + 2]) {
                    snprintf(why, why_len, "colormap entry %d: %04x %04x %04x", i, colours[i].red,
                             colours[i].green, colours[i].blue);
                    ok = false;
                }
        }
        if (ok)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

int main(int argc, char **argv)
{
    // "music": the sound questions first and the module playing in its own
    // process while frames are shown, as in the show.
    const bool destroy = argc > 1 && strcmp(argv[1], "destroy") == 0;
    const bool music = destroy || (argc > 1 && strcmp(argv[1], "music") == 0);
    const bool loop = music || (argc > 1 && strcmp(argv[1], "loop") == 0);
    if (music)
        sound_setup();
    // The screen's default colours, as the back end must find them.
    Palette before_open = current_palette;
    display_open(argc, argv, "probe", 320, 240);
    if (memcmp(&before_open, &current_palette, sizeof before_open) == 0)
        before_open.rgb[0] ^= 1;  // only PseudoColor fills it; checked below

    Image *frame = nullptr;
    if (image_create(&frame, 320, 240) != 0)
        fail("image_create");
    Palette pal;
    for (int i = 0; i < 256; i++) {
        pal.rgb[i * 3] = (uint8_t)i;
        pal.rgb[i * 3 + 1] = (uint8_t)(255 - i);
        pal.rgb[i * 3 + 2] = (uint8_t)(i * 37 + 11);
    }
    if (loop) {
        if (music) {
            if (music_load("music/skarn.xm") != 0)
                fail("music not loaded");
            music_start();
        }
        // On standard error: the music may own standard output.
        fprintf(stderr, "probe: showing\n");
        for (unsigned n = 0;; n++) {
            for (int i = 0; i < 320 * 240; i++)
                frame->pixels[i] = (uint8_t)(i + n);
            display_set_palette(&pal);
            display_put_frame(frame);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (destroy && n == 20) {
                check = XOpenDisplay(nullptr);
                if (!check)
                    fail("second connection refused");
                XDestroyWindow(check, probe_find_window());
                XSync(check, False);
            }
        }
    }

    check = XOpenDisplay(nullptr);
    if (!check)
        fail("second connection refused");
    const int scr = DefaultScreen(check);
    const bool indexed = DefaultVisual(check, scr)->c_class == PseudoColor;
    if (indexed) {
        XColor colours[256];
        for (int i = 0; i < 256; i++)
            colours[i].pixel = (unsigned long)i;
        XQueryColors(check, DefaultColormap(check, scr), colours, 256);
        for (int i = 0; i < 256; i++)
            if (current_palette.rgb[i * 3] != colours[i].red >> 8 ||
                current_palette.rgb[i * 3 + 1] != colours[i].green >> 8 ||
                current_palette.rgb[i * 3 + 2] != colours[i].blue >> 8)
                fail("current_palette does not hold the default colours");
    }

    Window win = 0;
    for (int attempt = 0; attempt < 60 && !win; attempt++) {
        win = probe_find_window();
        if (!win)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!win)
        fail("no window mapped");
    XWindowAttributes a;
    XGetWindowAttributes(check, win, &a);
    Geometry g = {a.x, a.y, a.width, a.height, a.width / 320};
    if ((g.size != 1 && g.size != 2) || a.height != 240 * g.size)
        fail("window of the wrong size");
    if (g.x != (DisplayWidth(check, scr) - g.w) / 2 || g.y != (DisplayHeight(check, scr) - g.h) / 2)
        fail("window not centred");
    printf("probe: window %dx%d at %d,%d depth %d %s\n", g.w, g.h, g.x, g.y, a.depth,
           indexed ? "PseudoColor" : "TrueColor");

    char why[200] = "";
    // 1. Every index, in a pattern that differs between neighbours.
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++)
            frame->pixels[y * 320 + x] = (uint8_t)(x * 3 + y * 7 + (x >> 4));
    display_set_palette(&pal);
    display_put_frame(frame);
    if (!probe_compare(win, g, frame, &pal, why, sizeof why))
        fail(why);

    // 2. The caller changes its palette without setting it: a TrueColor
    // window keeps the colours it was given until the next set.
    Palette shown = pal;
    for (int i = 0; i < 768; i++)
        pal.rgb[i] = (uint8_t)(pal.rgb[i] ^ 0x5A);
    for (int i = 0; i < 320 * 240; i++)
        frame->pixels[i] = (uint8_t)(255 - frame->pixels[i]);
    display_put_frame(frame);
    if (!probe_compare(win, g, frame, &shown, why, sizeof why))
        fail(why);
    display_set_palette(&pal);
    display_put_frame(frame);
    if (!probe_compare(win, g, frame, &pal, why, sizeof why))
        fail(why);

    // 3. blank_screen: black palette, black frame, whatever came before.
    const auto t0 = std::chrono::steady_clock::now();
    blank_screen(frame);
    if (std::chrono::steady_clock::now() - t0 > std::chrono::milliseconds(500))
        fail("blank_screen waited");
    Palette black{};
    if (!probe_compare(win, g, frame, &black, why, sizeof why))
        fail(why);

    display_close();
    // The window goes with the back end's connection.
    bool gone = false;
    for (int attempt = 0; attempt < 60 && !gone; attempt++) {
        gone = probe_find_window() == 0;
        if (!gone)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!gone)
        fail("window left after display_close");
    XCloseDisplay(check);
    image_destroy(&frame);
    printf("probe: all pixels match\n");
    return 0;
}
