// x11_display.cpp: the display back end of skarn_x11. One fixed-size X11
// window on the default visual (8-bit PseudoColor with a private colormap,
// or TrueColor of any depth through a pixel lookup), pixel size 1 or 2,
// frames sent through an MIT-SHM shared image when the server has the
// extension and the viewer wants it, else through an ordinary image.
#include "skarn.h"
#include "transform.h"
#include "pixel_convert.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <bit>
#include <csignal>
#include <cstdlib>
#include <cstring>

// ---------------------------------------------------------------- device state

static Display *x11_connection = nullptr;
static int x11_screen = 0;
static Visual *x11_visual = nullptr;
static XVisualInfo x11_visual_info;
static Window x11_window = 0;
static GC x11_gc = nullptr;
static Cursor x11_cursor = 0;
static Colormap x11_colormap = 0;  // 0: none held

static XImage *x11_frame_image = nullptr;
static XShmSegmentInfo *x11_shm_info = nullptr;  // set only while a segment is attached
static uint8_t use_shm = 0;
static uint8_t pixel_size = 1;
static int32_t window_width = 0, window_height = 0;
static int32_t bytes_per_pixel = 1;

static PixelChannel x11_channel[3];    // red, green, blue of a TrueColor visual
static uint32_t x11_lookup[256];     // TrueColor pixel of each palette index
static Palette x11_lookup_palette;   // what the lookup was built from
static bool x11_swap_bytes = false;  // image byte order is not the host's
static XColor x11_colour_table[256];

static bool x11_attach_failed = false;

static const char *const x11_menu =
    "Choose display mode:\n"
    "1. Pixel size 1, Shared Memory Extension ON\n"
    "2. Pixel size 2, Shared Memory Extension ON\n"
    "3. Pixel size 1, Shared Memory Extension OFF\n"
    "4. Pixel size 2, Shared Memory Extension OFF\n"
    "Type corresponding number : ";

int x11_open_window(int argc, char **argv, const char *title, int width, int height, int size);
int x11_create_frame_image(XImage **image, XShmSegmentInfo **shm, int width, int height,
                           Display *display, Visual *visual);

// ---------------------------------------------------------------- error handlers

// A lost server ends the show: nothing can be shown any more, and the music
// process must not outlive us. The shared segment is already marked for
// removal, so it goes with the process.
static int x11_on_io_error(Display *)
{
    fprintf(stderr, "Connection to the X server lost!\n");
    x11_connection = nullptr;
    music_stop();
    sound_shutdown();
    exit(-1);
}

// A request of ours that the server refused: the show cannot go on drawing
// into a window or image that may be gone. Xlib allows no requests from
// here, so the connection is left to close with the process; the music is
// stopped first, since its process shares the connection.
static int x11_on_error(Display *display, XErrorEvent *event)
{
    char text[160];
    XGetErrorText(display, event->error_code, text, sizeof text);
    fprintf(stderr, "X protocol error: %s (request %d)!\n", text, event->request_code);
    x11_connection = nullptr;
    music_stop();
    sound_shutdown();
    exit(-1);
}

// Catches the server's refusal of the shared segment (a remote display, or
// a server that cannot reach the segment) instead of Xlib's default
// handler, which would end the process.
static int x11_on_attach_error(Display *, XErrorEvent *)
{
    x11_attach_failed = true;
    return 0;
}

// ---------------------------------------------------------------- the five operations

int display_open(int argc, char **argv, const char *title, int width, int height)
{
    const int answer = prompt_int(x11_menu, 1, 4);
    const int size = (answer == 2 || answer == 4) ? 2 : 1;
    const bool shm_wanted = answer <= 2;

    if (x11_open_window(argc, argv, title, width, height, size) == -1)
        exit(-1);
    XSetIOErrorHandler(x11_on_io_error);
    XSetErrorHandler(x11_on_error);
    // A write to a server that has gone would end the process by SIGPIPE,
    // past the handler above: ignored, the write fails and Xlib calls it.
    signal(SIGPIPE, SIG_IGN);

    if (shm_wanted)
        use_shm = XShmQueryExtension(x11_connection) ? 1 : 0;

    const int result = x11_create_frame_image(&x11_frame_image, &x11_shm_info, window_width,
                                              window_height, x11_connection, x11_visual);
    // Told only now: a segment that could not be made or attached leaves the
    // extension unused.
    if (shm_wanted)
        printf(use_shm ? "INFO: Shared memory extension in use\n"
                       : "INFO: Shared memory extension not in use\n");
    if (result != 0) {
        printf("Cann't allocate image!\n");
        fflush(stdout);
        display_close();
        exit(-1);
    }

    // The conversion writes 8-, 16- or 32-bit pixels; an index copy needs
    // 8-bit ones. Anything else would garble the picture.
    const int bpp = x11_frame_image->bits_per_pixel;
    const bool indexed = x11_visual_info.c_class == PseudoColor;
    if ((indexed && bpp != 8) || (!indexed && bpp != 8 && bpp != 16 && bpp != 32)) {
        fflush(stdout);
        fprintf(stderr, "Unsupported pixel format: %d bits per pixel!\n", bpp);
        display_close();
        exit(-1);
    }
    bytes_per_pixel = bpp / 8;
    const int host_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    x11_swap_bytes = bytes_per_pixel > 1 && x11_frame_image->byte_order != host_order;
    if (!indexed)
        pixel_build_lookup(x11_lookup, &x11_lookup_palette, x11_channel, bytes_per_pixel, x11_swap_bytes);
    fflush(stdout);
    return 0;
}

void display_set_palette(const Palette *pal)
{
    if (!x11_connection)
        return;
    if (x11_visual_info.c_class == PseudoColor) {
        // X colormaps take 16-bit channels: the component goes to the high byte.
        for (int i = 0; i < 256; i++) {
            x11_colour_table[i].pixel = (unsigned long)i;
            x11_colour_table[i].red = (unsigned short)(pal->rgb[i * 3] << 8);
            x11_colour_table[i].green = (unsigned short)(pal->rgb[i * 3 + 1] << 8);
            x11_colour_table[i].blue = (unsigned short)(pal->rgb[i * 3 + 2] << 8);
            x11_colour_table[i].flags = DoRed | DoGreen | DoBlue;
        }
        XStoreColors(x11_connection, x11_colormap, x11_colour_table, 256);
        XSetWindowColormap(x11_connection, x11_window, x11_colormap);
        return;
    }
    // TrueColor: only the lookup changes; the next frame shows it.
    x11_lookup_palette = *pal;
    pixel_build_lookup(x11_lookup, pal, x11_channel, bytes_per_pixel, x11_swap_bytes);
}

void display_put_frame(const Image *frame)
{
    XImage *img = x11_frame_image;
    if (!x11_connection || !img || !frame)
        return;
    uint8_t *dst = (uint8_t *)img->data;
    const bool indexed = x11_visual_info.c_class == PseudoColor;
    if (pixel_size == 1 || pixel_size == 2) {
        // A frame of another size than the open's would not fit the image.
        if (frame->width * pixel_size != img->width || frame->height * pixel_size != img->height)
            return;
        pixel_convert_frame(dst, img->bytes_per_line, frame, pixel_size, bytes_per_pixel,
                          indexed ? nullptr : x11_lookup);
    } else if (indexed) {
        // Any other pixel size: the frame stretched over the whole image.
        Image view = {img->bytes_per_line, img->height, dst};
        blit_scaled(&view, 0, 0, img->width, img->height, frame, 0, 0, frame->width, frame->height, 0, 0);
    } else {
        return;
    }
    if (x11_shm_info)
        XShmPutImage(x11_connection, x11_window, x11_gc, img, 0, 0, 0, 0, (unsigned)img->width,
                     (unsigned)img->height, False);
    else
        XPutImage(x11_connection, x11_window, x11_gc, img, 0, 0, 0, 0, (unsigned)img->width,
                  (unsigned)img->height);
    XFlush(x11_connection);
}

void display_wait_retrace(void) {}

void display_close(void)
{
    if (x11_frame_image) {
        if (x11_shm_info) {
            if (x11_connection)
                XShmDetach(x11_connection, x11_shm_info);
            shmdt(x11_shm_info->shmaddr);
            free(x11_shm_info);
            x11_shm_info = nullptr;
        } else {
            free(x11_frame_image->data);
        }
        x11_frame_image->data = nullptr;
        XDestroyImage(x11_frame_image);
        x11_frame_image = nullptr;
    }
    if (x11_connection) {
        if (x11_cursor)
            XFreeCursor(x11_connection, x11_cursor);
        if (x11_colormap)
            XFreeColormap(x11_connection, x11_colormap);
        if (x11_gc)
            XFreeGC(x11_connection, x11_gc);
        XCloseDisplay(x11_connection);  // also destroys the window
        x11_connection = nullptr;
    }
    x11_cursor = 0;
    x11_colormap = 0;
    x11_gc = nullptr;
    x11_window = 0;
    use_shm = 0;
}

int display_return_zero(void)
{
    return 0;
}

// ---------------------------------------------------------------- window

int x11_open_window(int argc, char **argv, const char *title, int width, int height, int size)
{
    x11_connection = nullptr;
    x11_visual = nullptr;
    x11_connection = XOpenDisplay("");  // "" means the DISPLAY of the environment
    if (!x11_connection) {
        fprintf(stderr, "%s: cannot connect to X server!\n", argc > 0 && argv && argv[0] ? argv[0] : "skarn");
        return -1;
    }
    Display *dpy = x11_connection;
    x11_screen = DefaultScreen(dpy);

    XVisualInfo templ;
    memset(&templ, 0, sizeof templ);
    templ.visualid = XVisualIDFromVisual(DefaultVisual(dpy, x11_screen));
    int count = 0;
    XVisualInfo *list = XGetVisualInfo(dpy, VisualIDMask, &templ, &count);
    if (!list || count < 1) {
        fprintf(stderr, "Suitable visuals not found!\n");
        exit(-1);
    }
    // The deepest entry; among equal depths the first.
    int kept = -1;
    for (int i = 0; i < count; i++)
        if (kept < 0 || list[i].depth > list[kept].depth)
            kept = i;
    if (kept < 0) {
        fprintf(stderr, "Suitable visuals not found!\n");
        exit(-1);
    }
    x11_visual_info = list[kept];
    x11_visual = x11_visual_info.visual;
    XFree(list);

    const int depth = x11_visual_info.depth;
    const int cls = x11_visual_info.c_class;
    if (!((cls == PseudoColor && depth == 8) || cls == TrueColor)) {
        fprintf(stderr, "This version of the Demo needs TruColor or 8 Bit PseudoColor Display!\n");
        exit(-1);
    }
    bytes_per_pixel = depth <= 8 ? 1 : depth <= 16 ? 2 : 4;
    pixel_size = (uint8_t)size;

    const Window root = RootWindow(dpy, x11_screen);
    x11_colormap = XCreateColormap(dpy, root, x11_visual, AllocNone);
    window_width = width * size;
    window_height = height * size;
    // Centred; a window larger than the screen overlaps both edges equally.
    const int x = (DisplayWidth(dpy, x11_screen) - window_width) / 2;
    const int y = (DisplayHeight(dpy, x11_screen) - window_height) / 2;
    XSetWindowAttributes attributes;
    memset(&attributes, 0, sizeof attributes);
    attributes.colormap = x11_colormap;
    x11_window = XCreateWindow(dpy, root, x, y, (unsigned)window_width, (unsigned)window_height, 0, depth,
                               InputOutput, x11_visual, CWColormap, &attributes);
    if (!x11_window) {
        fprintf(stderr, "Can not create window!\n");
        exit(-1);
    }
    if (cls != TrueColor) {
        XFreeColormap(dpy, x11_colormap);
        x11_colormap = 0;
    }

    if (cls == PseudoColor) {
        // A private colormap that starts with the screen's default colours,
        // which also become the show's current palette.
        x11_colormap = XCreateColormap(dpy, x11_window, x11_visual, AllocAll);
        for (int i = 0; i < 256; i++) {
            x11_colour_table[i].pixel = (unsigned long)i;
            x11_colour_table[i].flags = DoRed | DoGreen | DoBlue;
        }
        XQueryColors(dpy, DefaultColormap(dpy, x11_screen), x11_colour_table, 256);
        for (int i = 0; i < 256; i++) {
            current_palette.rgb[i * 3] = (uint8_t)(x11_colour_table[i].red >> 8);
            current_palette.rgb[i * 3 + 1] = (uint8_t)(x11_colour_table[i].green >> 8);
            current_palette.rgb[i * 3 + 2] = (uint8_t)(x11_colour_table[i].blue >> 8);
        }
        display_set_palette(&current_palette);
    } else {
        x11_channel[0] = pixel_channel_from_mask(x11_visual_info.red_mask);
        x11_channel[1] = pixel_channel_from_mask(x11_visual_info.green_mask);
        x11_channel[2] = pixel_channel_from_mask(x11_visual_info.blue_mask);
        Palette grey;
        for (int i = 0; i < 256; i++)
            grey.rgb[i * 3] = grey.rgb[i * 3 + 1] = grey.rgb[i * 3 + 2] = (uint8_t)i;
        display_set_palette(&grey);
    }

    x11_gc = XCreateGC(dpy, x11_window, 0, nullptr);
    if (!x11_gc) {
        fprintf(stderr, "Can not create GC!\n");
        exit(-1);
    }
    XSetBackground(dpy, x11_gc, WhitePixel(dpy, x11_screen));
    XSetForeground(dpy, x11_gc, BlackPixel(dpy, x11_screen));
    XClearWindow(dpy, x11_window);

    // A window of fixed size.
    XSizeHints hints;
    memset(&hints, 0, sizeof hints);
    hints.flags = PPosition | PSize | PMinSize | PMaxSize;
    hints.x = 0;
    hints.y = 0;
    hints.width = hints.min_width = hints.max_width = window_width;
    hints.height = hints.min_height = hints.max_height = window_height;
    XSetStandardProperties(dpy, x11_window, title, title, None, argv, argc, &hints);

    // An invisible cursor: a pixmap cursor whose mask is all zero.
    XColor screen_colour, exact_colour;
    XAllocNamedColor(dpy, DefaultColormap(dpy, x11_screen), "black", &screen_colour, &exact_colour);
    static const char empty_bits[20] = {0};
    Pixmap bitmap = XCreateBitmapFromData(dpy, x11_window, empty_bits, 10, 10);
    x11_cursor = XCreatePixmapCursor(dpy, bitmap, bitmap, &screen_colour, &screen_colour, 0, 0);
    XDefineCursor(dpy, x11_window, x11_cursor);
    XFreePixmap(dpy, bitmap);

    XSync(dpy, True);
    XMapRaised(dpy, x11_window);
    XFlush(dpy);
    return 0;
}

// ---------------------------------------------------------------- frame image

// The shared-memory image: 0, or a negative code with nothing left behind
// (no segment, no image) so that the caller can fall back to an ordinary one.
static int x11_create_shared_image(XImage **image, XShmSegmentInfo **shm, int width, int height,
                                   Display *display, Visual *visual)
{
    XShmSegmentInfo *info = (XShmSegmentInfo *)calloc(1, sizeof(XShmSegmentInfo));
    if (!info)
        return -3;
    XImage *img = XShmCreateImage(display, visual, (unsigned)x11_visual_info.depth, ZPixmap, nullptr, info,
                                  (unsigned)width, (unsigned)height);
    if (!img) {
        free(info);
        return -1;
    }
    // Sized from the image's own layout, not from the depth.
    const size_t size = (size_t)img->bytes_per_line * (size_t)img->height;
    // For its owner alone: anyone else could attach it by its id and read or
    // change the frames. A server of the same user or root still attaches
    // it; any other server refuses the attach and the ordinary image serves.
    info->shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (info->shmid < 0) {
        XDestroyImage(img);
        free(info);
        return -2;
    }
    info->shmaddr = (char *)shmat(info->shmid, nullptr, 0);
    // Marked for removal at once: the system removes the segment when the
    // last process detaches, however the program ends. Linux still lets
    // the server attach a segment so marked.
    shmctl(info->shmid, IPC_RMID, nullptr);
    if (info->shmaddr == (char *)-1) {
        XDestroyImage(img);
        free(info);
        return -2;
    }
    info->readOnly = False;

    XSync(display, False);
    x11_attach_failed = false;
    XErrorHandler previous = XSetErrorHandler(x11_on_attach_error);
    XShmAttach(display, info);
    XSync(display, False);
    XSetErrorHandler(previous);
    if (x11_attach_failed) {
        shmdt(info->shmaddr);
        XDestroyImage(img);
        free(info);
        return -2;
    }
    img->data = info->shmaddr;
    *image = img;
    *shm = info;
    return 0;
}

int x11_create_frame_image(XImage **image, XShmSegmentInfo **shm, int width, int height,
                           Display *display, Visual *visual)
{
    *image = nullptr;
    if (use_shm && shm) {
        *shm = nullptr;
        if (x11_create_shared_image(image, shm, width, height, display, visual) == 0) {
            memset((*image)->data, 0, (size_t)(*image)->bytes_per_line * (size_t)(*image)->height);
            return 0;
        }
        use_shm = 0;  // no segment: the ordinary image serves
    }
    *image = XCreateImage(display, visual, (unsigned)x11_visual_info.depth, ZPixmap, 0, nullptr,
                          (unsigned)width, (unsigned)height, 32, 0);
    if (!*image)
        return -1;
    const size_t size = (size_t)(*image)->bytes_per_line * (size_t)(*image)->height;
    (*image)->data = (char *)calloc(size ? size : 1, 1);
    if (!(*image)->data) {
        XDestroyImage(*image);
        *image = nullptr;
        return -2;
    }
    return 0;
}
