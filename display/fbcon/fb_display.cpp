// fb_display.cpp: the display back end of skarn_fb. Every frame goes
// straight into the mapped memory of /dev/fb0: indices as they are on an
// 8-bit pseudo-colour screen (the palette is the hardware colour map), or
// pixels from a 256-entry lookup on a 16- or 32-bit true-colour screen;
// centred, centred at double size, or scaled to the whole screen. The back
// end takes part in virtual-terminal switching: the console asks for the
// screen with SIGUSR1 and gives it back with SIGUSR2. The console stays in
// text mode throughout, so that whatever ends the process, the kernel can
// still paint its text; when the show closes, the console is made to
// repaint it at once. Every platform call goes through fb_device.h.
#include "skarn.h"
#include "fb_device.h"
#include "transform.h"
#include "pixel_convert.h"

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

// ---------------------------------------------------------------- device state

enum { FB_ACTIVE = 1, FB_RELEASED = 2, FB_RELEASE_REQUESTED = 3 };

static const char *const fb_device_path = "/dev/fb0";

static int fb_device = -1;
static struct fb_fix_screeninfo fb_fixed;
static struct fb_var_screeninfo fb_variable;
// The whole mapping (smem_len bytes); the acquire handler clears it, so it
// is NULL whenever nothing is mapped.
static uint8_t *volatile fb_memory = nullptr;
static uint8_t *fb_origin = nullptr;  // first visible pixel (after the pan offsets)
static size_t fb_row_bytes = 0;       // from one screen row to the next
static int32_t bytes_per_pixel = 0;
static PixelChannel fb_channel[3];  // red, green, blue of a true-colour screen
static uint32_t fb_lookup[256];   // true-colour pixel of each palette index
static int32_t fb_display_mode = 1;
static Image *fb_full_image = nullptr;  // mode 3 only: the frame at screen size
static int32_t fb_frame_width = 0, fb_frame_height = 0;

// Written by the signal handlers.
static volatile sig_atomic_t fb_console_state = FB_ACTIVE;
static volatile sig_atomic_t fb_palette_lost = 0;   // the console set its own colours meanwhile
static volatile sig_atomic_t fb_vt_owned = 0;       // our VT_PROCESS mode is in force
static bool fb_screen_taken = false;                // frames cover the console's text

static uint16_t fb_work_red[256], fb_work_green[256], fb_work_blue[256], fb_work_transp[256];
static uint16_t fb_saved_red[256], fb_saved_green[256], fb_saved_blue[256], fb_saved_transp[256];
static struct fb_cmap fb_work_cmap = {0, 256, fb_work_red, fb_work_green, fb_work_blue, fb_work_transp};
static struct fb_cmap fb_saved_cmap = {0, 256, fb_saved_red, fb_saved_green, fb_saved_blue, fb_saved_transp};
static bool fb_cmap_saved = false;  // the console's colours were read and are put back at close

static const char *const fb_menu =
    "Choose a display mode:\n"
    " 1. litle window in the midle          -> ideal\n"
    " 2. window (double size) in the midle  -> slow \n"
    " 3. full                               -> snail\n"
    "Type corresponding number : ";

// Visual names by number. Number 6 is a static direct-colour screen here;
// today's headers give that number another name, so it is written as 6.
static const char *const fb_visual_names[7] = {
    "monochr. [1=Black 0=White]", "monochr. [1=White 0=Black]", "true color", "pseudo color (like atari)",
    "direct color", "pseudo color readonly", "direct color readonly"};

void fb_on_console_release(int sig);
void fb_on_console_acquire(int sig);

static bool fb_is_pseudo(void)
{
    return fb_fixed.visual == FB_VISUAL_PSEUDOCOLOR && bytes_per_pixel == 1;
}

static bool fb_is_true(void)
{
    return fb_fixed.visual == FB_VISUAL_TRUECOLOR && (bytes_per_pixel == 2 || bytes_per_pixel == 4);
}

static void fb_put_working_cmap(void)
{
    if (fbdev_put_cmap(fb_device, &fb_work_cmap) == -1)
        printf("ERROR: ioctl(FBIOPUTCMAP) !\n");
}

// ---------------------------------------------------------------- the console

// Gives the console back: switching to the kernel (VT_AUTO), first
// allowing a release the kernel still waits for, so the switch the viewer
// asked for happens; then its text over the last frame. A text-mode console
// repaints only what changes, so it is sent to graphics mode and straight
// back, and its return to text mode repaints the whole screen in the
// console's own colours. The console is never left in graphics mode: after
// a graphics-mode owner dies, the kernel puts the mode back to text but the
// screen stays blank, even on other consoles. Also the exit handler.
static void fb_console_give_back(void)
{
    if (fb_vt_owned) {
        fb_vt_owned = 0;
        if (fb_console_state == FB_RELEASE_REQUESTED)
            fbdev_release_vt(1);
        struct vt_mode mode = {};
        mode.mode = VT_AUTO;
        fbdev_set_vt_mode(&mode);
    }
    if (fb_screen_taken) {
        fb_screen_taken = false;
        fbdev_set_kd_mode(KD_GRAPHICS);
        fbdev_set_kd_mode(KD_TEXT);
    }
}

void fb_on_console_release(int)
{
    fb_console_state = FB_RELEASE_REQUESTED;
}

void fb_on_console_acquire(int)
{
    uint8_t *memory = fb_memory;
    if (memory)
        memset(memory, 0, fb_fixed.smem_len);
    fb_palette_lost = 1;
    fb_console_state = FB_ACTIVE;
}

static void fb_install_handler(int sig, void (*handler)(int), int also_blocked)
{
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    if (also_blocked)
        sigaddset(&action.sa_mask, also_blocked);
    // A switch during the display-mode question must not break its read.
    action.sa_flags = SA_RESTART;
    sigaction(sig, &action, nullptr);
}

// Answers a pending release. The state reads "released" before the kernel
// hears the answer, so an acquire that follows at once leaves it active.
// Both console signals wait meanwhile, so that a refused answer (no switch
// pending: the screen is still ours) cannot overwrite a newer request.
static void fb_answer_release(void)
{
    if (fb_console_state != FB_RELEASE_REQUESTED)
        return;
    sigset_t both, old;
    sigemptyset(&both);
    sigaddset(&both, SIGUSR1);
    sigaddset(&both, SIGUSR2);
    sigprocmask(SIG_BLOCK, &both, &old);
    fb_console_state = FB_RELEASED;
    if (fbdev_release_vt(1) == -1) {
        printf("ERROR: ioctl(VT_RELDISP) !\n");
        fb_console_state = FB_ACTIVE;
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

// ---------------------------------------------------------------- opening

// A failed open after the device was opened: message (if any), the device
// unmapped and closed, exit. The console goes back through the exit handler.
[[noreturn]] static void fb_open_failed(const char *message, int status)
{
    if (message)
        fputs(message, stdout);
    uint8_t *memory = fb_memory;
    fb_memory = nullptr;
    if (memory)
        fbdev_unmap(memory, fb_fixed.smem_len);
    fbdev_close(fb_device);
    fb_device = -1;
    fflush(stdout);
    exit(status);
}

// The display mode for an answer on an xres x yres screen and a w x h frame.
static int fb_fallback_mode(int mode, int64_t xres, int64_t yres, int64_t w, int64_t h)
{
    if (xres < w || yres < h)
        mode = 3;
    if (mode == 2 && (xres < 2 * w || yres < 2 * h))
        mode = 3;
    if (mode == 3 && xres == w && yres == h)
        mode = 1;
    else if (mode == 3 && xres == 2 * w && yres == 2 * h)
        mode = 2;
    return mode;
}

int display_open(int, char **, const char *, int width, int height)
{
    const char *tty = fbdev_tty_name();
    if (!tty || strncmp(tty, "/dev/tty", 8) != 0 || !isdigit((unsigned char)tty[8])) {
        printf("ERROR: Not a console device!\n");
        fflush(stdout);
        exit(-7);
    }

    // Active before the console can ask: a request cannot be overwritten.
    fb_console_state = FB_ACTIVE;
    fb_install_handler(SIGUSR1, fb_on_console_release, SIGUSR2);
    fb_install_handler(SIGUSR2, fb_on_console_acquire, SIGUSR1);
    struct vt_mode mode = {};
    mode.mode = VT_PROCESS;
    mode.waitv = 0;
    mode.relsig = SIGUSR1;
    mode.acqsig = SIGUSR2;
    if (fbdev_set_vt_mode(&mode) == -1) {
        printf("ERROR: ioctl(VT_SETMODE) !\n");
        fflush(stdout);
        exit(-8);
    }
    // From here every way out hands the console back: display_close (the
    // end, the fatal path, a stop signal) or the exit handler (a failed
    // open, no answer to the question).
    fb_vt_owned = 1;
    static bool exit_handler_set = false;
    if (!exit_handler_set)
        exit_handler_set = atexit(fb_console_give_back) == 0;

    fb_device = fbdev_open(fb_device_path);
    if (fb_device < 0) {
        printf("ERROR: can't open the %s device!\n", fb_device_path);
        fflush(stdout);
        exit(-1);
    }
    if (fbdev_get_fixed(fb_device, &fb_fixed) != 0)
        fb_open_failed(nullptr, -2);
    if (fbdev_get_variable(fb_device, &fb_variable) != 0)
        fb_open_failed(nullptr, -3);
    if (fb_fixed.type != FB_TYPE_PACKED_PIXELS)
        fb_open_failed("ERROR: can handle only packed pixel frame buffers!\n", -4);
    fb_memory = (uint8_t *)fbdev_map(fb_device, fb_fixed.smem_len);
    if (!fb_memory)
        fb_open_failed("ERROR: can't exec mmap!\n", -5);

    const struct fb_bitfield *fields[3] = {&fb_variable.red, &fb_variable.green, &fb_variable.blue};
    for (int k = 0; k < 3; k++) {
        fb_channel[k].bits = (int32_t)fields[k]->length;
        fb_channel[k].shift = (int32_t)fields[k]->offset;
    }

    printf("The display is a %.16s ", fb_fixed.id);
    if (fb_fixed.visual < 7)
        printf("%s", fb_visual_names[fb_fixed.visual]);
    else
        printf("ERROR - (%d)", (int)fb_fixed.visual);
    printf(" with %d X %d\n", (int)fb_variable.xres, (int)fb_variable.yres);

    bytes_per_pixel = (int32_t)(fb_variable.bits_per_pixel / 8);
    if (!fb_is_pseudo() && !fb_is_true())
        fb_open_failed("ERROR: can handle only TRUE\240COLOR (16 & 32 bit) or\n"
                       "       PSEUDO COLOR (8 bit) displays!\n",
                       -6);

    // Rows lie line_length bytes apart (wider than the picture on padded
    // screens); the visible area starts at the pan offsets and must lie
    // wholly inside the mapping.
    const uint64_t xres = fb_variable.xres, yres = fb_variable.yres;
    fb_row_bytes = fb_fixed.line_length ? fb_fixed.line_length : (size_t)(xres * bytes_per_pixel);
    const uint64_t start = (uint64_t)fb_variable.yoffset * fb_row_bytes + (uint64_t)fb_variable.xoffset * bytes_per_pixel;
    if (xres == 0 || yres == 0 || fb_row_bytes < xres * bytes_per_pixel ||
        start + (yres - 1) * fb_row_bytes + xres * bytes_per_pixel > fb_fixed.smem_len)
        fb_open_failed("ERROR: the visible screen lies outside the frame buffer memory!\n", -5);
    fb_origin = fb_memory + start;

    fb_frame_width = width;
    fb_frame_height = height;
    fb_display_mode = fb_fallback_mode(prompt_int(fb_menu, 1, 3), (int64_t)xres, (int64_t)yres, width, height);

    if (fb_display_mode == 3 && image_create(&fb_full_image, (int)xres, (int)yres) != 0) {
        image_destroy(&fb_full_image);
        fb_full_image = nullptr;
        fb_open_failed("Cann't allocate image!\n", -6);
    }

    fb_cmap_saved = false;
    if (fb_is_pseudo()) {
        // Black until the show sets its first palette.
        for (uint16_t *channel : {fb_work_red, fb_work_green, fb_work_blue, fb_work_transp})
            memset(channel, 0, 256 * sizeof(uint16_t));
        if (fbdev_get_cmap(fb_device, &fb_saved_cmap) == -1)
            printf("ERROR: ioctl(FBIOGETCMAP) !\n");
        else
            fb_cmap_saved = true;
        fb_put_working_cmap();
    }

    printf("\033[?1c\n");  // hides the console's text cursor
    fflush(stdout);
    fbdev_pause(200000000);
    // From here frames cover the console's text. The console stays in text
    // mode: what reaches it meanwhile (a message, the kernel's) shows over
    // the picture until a frame covers it.
    fb_screen_taken = true;
    memset(fb_memory, 0, fb_fixed.smem_len);
    fb_palette_lost = 0;
    return 0;
}

// ---------------------------------------------------------------- the other operations

void display_set_palette(const Palette *pal)
{
    if (fb_device < 0)
        return;
    if (fb_is_pseudo()) {
        // Colour maps take 16-bit channels: the component goes to the high byte.
        for (int i = 0; i < 256; i++) {
            fb_work_red[i] = (uint16_t)(pal->rgb[i * 3] << 8);
            fb_work_green[i] = (uint16_t)(pal->rgb[i * 3 + 1] << 8);
            fb_work_blue[i] = (uint16_t)(pal->rgb[i * 3 + 2] << 8);
        }
        // Released: the colours wait here until the console comes back.
        if (fb_console_state == FB_ACTIVE) {
            fb_palette_lost = 0;
            fb_put_working_cmap();
        }
    } else if (fb_is_true()) {
        pixel_build_lookup(fb_lookup, pal, fb_channel, bytes_per_pixel, false);
    }
}

void display_put_frame(const Image *frame)
{
    fb_answer_release();
    if (fb_console_state != FB_ACTIVE || !fb_origin || !frame)
        return;
    if (fb_palette_lost) {
        // The console showed its own colours while it was away.
        fb_palette_lost = 0;
        if (fb_is_pseudo())
            fb_put_working_cmap();
    }
    // Placement was chosen for the open's frame size.
    if (frame->width == fb_frame_width && frame->height == fb_frame_height) {
        const int64_t xres = fb_variable.xres, yres = fb_variable.yres;
        const int64_t w = frame->width, h = frame->height;
        const uint32_t *lookup = fb_is_pseudo() ? nullptr : fb_lookup;
        const int B = bytes_per_pixel;
        if (fb_display_mode == 1) {
            uint8_t *at = fb_origin + ((yres - h) / 2) * fb_row_bytes + ((xres - w) / 2) * B;
            pixel_convert_frame(at, (int)fb_row_bytes, frame, 1, B, lookup);
        } else if (fb_display_mode == 2) {
            uint8_t *at = fb_origin + ((yres - 2 * h) / 2) * fb_row_bytes + ((xres - 2 * w) / 2) * B;
            pixel_convert_frame(at, (int)fb_row_bytes, frame, 2, B, lookup);
        } else {
            blit_scaled(fb_full_image, 0, 0, (int)xres, (int)yres, frame, 0, 0, (int)w, (int)h, 0, 0);
            pixel_convert_frame(fb_origin, (int)fb_row_bytes, fb_full_image, 1, B, lookup);
        }
    }
    fb_answer_release();
}

void display_wait_retrace(void) {}

void display_close(void)
{
    if (fb_device < 0) {
        fb_console_give_back();
        return;
    }
    if (fb_full_image) {
        image_destroy(&fb_full_image);
        fb_full_image = nullptr;
    }
    // Only colours that were read can be put back; otherwise the console
    // would be left all black.
    if (fb_is_pseudo() && fb_cmap_saved && fbdev_put_cmap(fb_device, &fb_saved_cmap) == -1)
        printf("ERROR: ioctl(FBIOPUTCMAP) !\n");
    uint8_t *memory = fb_memory;
    fb_memory = nullptr;
    fb_origin = nullptr;
    fbdev_unmap(memory, fb_fixed.smem_len);
    fbdev_close(fb_device);
    fb_device = -1;
    fb_console_give_back();
    printf("\033[?0c\n");  // the text cursor comes back
    fflush(stdout);
}
