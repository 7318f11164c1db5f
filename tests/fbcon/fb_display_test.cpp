// The framebuffer back end over a fake device (defined here, linked in
// place of the Linux calls): the screen memory byte for byte in every mode
// and depth, the mode fallbacks, the colour-map order and count, the
// console's repaint at every close, console release and acquire driven by
// the real signals, and every failed open (and an exit without a close) in
// a forked child, whose messages and device calls come out as one
// transcript.
#include "fb_device.h"
#include "skarn.h"
#include "transform.h"
#include "../runtime/test_util.h"
#include "../support/child_run.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstring>
#include <sys/wait.h>

using ColourMap = std::array<uint16_t, 768>;  // red[256], green[256], blue[256]

static struct {
    std::string tty;
    fb_fix_screeninfo fixed;
    fb_var_screeninfo variable;
    std::vector<uint8_t> memory;
    ColourMap cmap;
    std::vector<ColourMap> puts;          // every colour map put, in order
    std::string failing;                  // the calls that fail: "open map ..."
    std::string log;                      // every call, in order
    bool echo;                            // calls also written to standard output
    void (*hook)(const std::string &call);  // runs inside each call
} fake;

// A console on /dev/tty1: 8 bits pseudo colour, 16 (5-6-5) or 32 (8-8-8)
// true colour, rows pad bytes longer than needed, the visible area panned
// to (xoff, yoff), memory for exactly that, the console's own colours.
static void fake_reset(int xres, int yres, int bpp, int pad = 0, int xoff = 0, int yoff = 0)
{
    fake = {};
    fake.tty = "/dev/tty1";
    strcpy(fake.fixed.id, "fake fb");
    fake.fixed.visual = bpp == 8 ? FB_VISUAL_PSEUDOCOLOR : FB_VISUAL_TRUECOLOR;
    fake.fixed.line_length = (uint32_t)((xoff + xres) * bpp / 8 + pad);
    fake.fixed.smem_len = fake.fixed.line_length * (uint32_t)(yoff + yres);
    fake.variable.xres = (uint32_t)xres;
    fake.variable.yres = (uint32_t)yres;
    fake.variable.xoffset = (uint32_t)xoff;
    fake.variable.yoffset = (uint32_t)yoff;
    fake.variable.bits_per_pixel = (uint32_t)bpp;
    if (bpp > 8) {
        const bool b16 = bpp == 16;
        fake.variable.red = {b16 ? 11u : 16u, b16 ? 5u : 8u, 0};
        fake.variable.green = {b16 ? 5u : 8u, b16 ? 6u : 8u, 0};
        fake.variable.blue = {0, b16 ? 5u : 8u, 0};
    }
    fake.memory.assign(fake.fixed.smem_len, 0xEE);
    for (int i = 0; i < 768; i++)
        fake.cmap[i] = (uint16_t)((i * 37) << 4);
}

// Logs a call; true when the test makes it fail.
static bool fake_call(const std::string &call, const char *name = "")
{
    fake.log += (fake.log.empty() ? "" : " ") + call;
    if (fake.echo)
        (void)!write(STDOUT_FILENO, ("[" + call + "]").data(), call.size() + 2);
    if (fake.hook)
        fake.hook(call);
    return *name && (" " + fake.failing + " ").find(std::string(" ") + name + " ") != std::string::npos;
}

// The device calls, each logged and failing when the test says so.
const char *fbdev_tty_name(void) { return fake_call("ttyname"), fake.tty.empty() ? nullptr : fake.tty.c_str(); }
int fbdev_set_vt_mode(const struct vt_mode *m)
{
    const bool ours = m->mode == VT_PROCESS && m->relsig == SIGUSR1 && m->acqsig == SIGUSR2 && !m->waitv;
    return fake_call(ours ? "process" : m->mode == VT_AUTO ? "auto" : "mode?", "vtmode") ? -1 : 0;
}
int fbdev_release_vt(int answer) { return fake_call("release " + std::to_string(answer), "release") ? -1 : 0; }
int fbdev_set_kd_mode(int mode) { return fake_call(mode == KD_GRAPHICS ? "graphics" : mode == KD_TEXT ? "text" : "kd?", "kd") ? -1 : 0; }
int fbdev_open(const char *path) { return fake_call(std::string("open ") + path, "open") ? -1 : 7; }
int fbdev_get_fixed(int, struct fb_fix_screeninfo *fix) { return fake_call("fixed", "fixed") ? -1 : (*fix = fake.fixed, 0); }
int fbdev_get_variable(int, struct fb_var_screeninfo *var)
{
    return fake_call("variable", "variable") ? -1 : (*var = fake.variable, 0);
}
int fbdev_get_cmap(int, struct fb_cmap *c)
{
    if (fake_call("getcmap", "getcmap") || c->start != 0 || c->len != 256)
        return -1;
    for (int k = 0; k < 3; k++)
        memcpy((&c->red)[k], &fake.cmap[k * 256], 512);
    return 0;
}
int fbdev_put_cmap(int, struct fb_cmap *c)
{
    if (fake_call("putcmap", "putcmap") || c->start != 0 || c->len != 256)
        return -1;
    for (int k = 0; k < 3; k++)
        memcpy(&fake.cmap[k * 256], (&c->red)[k], 512);
    fake.puts.push_back(fake.cmap);
    return 0;
}
void *fbdev_map(int, size_t len)
{
    return fake_call("map " + std::to_string(len), "map") || len != fake.memory.size() ? nullptr : fake.memory.data();
}
void fbdev_unmap(void *at, size_t len) { fake_call(at == fake.memory.data() && len == fake.memory.size() ? "unmap" : "unmap?"); }
void fbdev_close(int fd) { fake_call(fd == 7 ? "close" : "close?"); }
void fbdev_pause(long nanoseconds) { fake_call("pause " + std::to_string(nanoseconds)); }

namespace {

// Entry i: red i + shift, green 3i, blue 255 - i; entries 1 and 2 white and red.
Palette test_palette(int shift = 0)
{
    Palette pal;
    for (int i = 0; i < 256; i++) {
        const uint8_t rgb[3] = {(uint8_t)(i + shift), (uint8_t)(i * 3), (uint8_t)(255 - i)};
        memcpy(&pal.rgb[i * 3], rgb, 3);
    }
    const uint8_t white_red[6] = {255, 255, 255, 255, 0, 0};
    memcpy(&pal.rgb[3], white_red, 6);
    return pal;
}

struct TestFrame {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(320 * 240);
    Image image = {320, 240, pixels.data()};
    explicit TestFrame(int seed = 0)
    {
        for (int i = 0; i < 320 * 240; i++)
            pixels[i] = (uint8_t)(i % 320 * 7 + i / 320 * 13 + seed);
    }
};

// The replies on standard input: a pipe holding them, behind a fresh stdin.
void answer(const char *text)
{
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    ASSERT_EQ(write(p[1], text, strlen(text)), (ssize_t)strlen(text));
    close(p[1]);
    ASSERT_TRUE(freopen("/dev/null", "r", stdin));
    dup2(p[0], STDIN_FILENO);
    close(p[0]);
}

std::string open_display(const char *reply = "1\n")
{
    answer(reply);
    return capture_stdout([] { display_open(0, nullptr, "skarn", 320, 240); });
}

// The whole screen memory expected after a frame: zero but for the visible
// area, which holds the frame centred (mode 1), doubled (mode 2) or as
// blit_scaled stretches it over the screen (mode 3), as device pixels.
bool shows(const Image &frame, const Palette &pal, int mode)
{
    const fb_var_screeninfo &v = fake.variable;
    const int X = (int)v.xres, Y = (int)v.yres, bpp = (int)v.bits_per_pixel;
    std::vector<uint8_t> memory(fake.memory.size(), 0), full((size_t)X * Y);
    Image full_image = {X, Y, full.data()};
    blit_scaled(&full_image, 0, 0, X, Y, &frame, 0, 0, 320, 240, 0, 0);
    const int size = mode == 2 ? 2 : 1, x0 = (X - 320 * size) / 2, y0 = (Y - 240 * size) / 2;
    for (int r = 0; r < Y; r++) {
        for (int c = 0; c < X; c++) {
            const int x = (c - x0) / size, y = (r - y0) / size;
            const bool inside = c >= x0 && r >= y0 && x < 320 && y < 240;
            if (mode != 3 && !inside)
                continue;
            const int i = mode == 3 ? full[(size_t)r * X + c] : frame.pixels[y * 320 + x];
            const uint32_t red = pal.rgb[i * 3], green = pal.rgb[i * 3 + 1], blue = pal.rgb[i * 3 + 2];
            const uint32_t value = bpp == 8    ? (uint32_t)i
                                   : bpp == 16 ? (red >> 3) << 11 | (green >> 2) << 5 | blue >> 3
                                               : red << 16 | green << 8 | blue;
            memcpy(&memory[(v.yoffset + r) * fake.fixed.line_length + (v.xoffset + c) * (bpp / 8)], &value,
                   (size_t)bpp / 8);
        }
    }
    return memory == fake.memory;
}

TEST(FbDisplay, FramesLandWhereTheModeSaysAtEveryDepth)
{
    struct {
        int xres, yres, bpp, pad, xoff, yoff;
        const char *reply;
        int mode;  // what the reply becomes on this screen
    } const cases[] = {
        {640, 480, 8, 0, 0, 0, "1\n", 1},  {640, 480, 8, 0, 0, 0, "3\n", 2},  // exactly doubled: no scaling
        {640, 480, 16, 0, 0, 0, "2\n", 2}, {320, 240, 8, 0, 0, 0, "2\n", 1},  // the frame's own size
        {320, 240, 32, 0, 0, 0, "3\n", 1}, {320, 200, 8, 0, 0, 0, "1\n", 3},  // too low: scaled down
        {320, 200, 16, 0, 0, 0, "2\n", 3}, {800, 600, 32, 0, 0, 0, "3\n", 3},
        {639, 480, 32, 0, 0, 0, "2\n", 3}, {641, 481, 32, 0, 0, 0, "1\n", 1},  // odd margins round down
        {643, 483, 8, 0, 0, 0, "2\n", 2},  {641, 485, 16, 0, 0, 0, "2\n", 2},  // doubled, odd margins
        {645, 481, 32, 0, 0, 0, "2\n", 2},
        {700, 500, 32, 64, 0, 0, "2\n", 2}, {656, 490, 8, 16, 8, 10, "1\n", 1},  // padded, panned
        {400, 300, 16, 6, 4, 2, "x\n\n7\n3\n", 3},  // asked again until in range
    };
    const Palette pal = test_palette(), next = test_palette(40);
    const TestFrame frame, later(99);
    for (const auto &t : cases) {
        SCOPED_TRACE(testing::Message() << t.xres << "x" << t.yres << "x" << t.bpp << " answer " << t.reply);
        fake_reset(t.xres, t.yres, t.bpp, t.pad, t.xoff, t.yoff);
        open_display(t.reply);
        EXPECT_EQ(fake.memory, std::vector<uint8_t>(fake.memory.size(), 0)) << "cleared at open";
        // The colour map goes out once per palette on 8 bits, never per frame.
        const size_t puts = fake.puts.size(), per_palette = t.bpp == 8;
        display_set_palette(&pal);
        display_put_frame(&frame.image);
        display_wait_retrace();
        display_put_frame(&frame.image);
        EXPECT_TRUE(shows(frame.image, pal, t.mode));
        EXPECT_EQ(fake.puts.size(), puts + per_palette);
        display_set_palette(&next);
        display_put_frame(&later.image);
        display_put_frame(&later.image);
        EXPECT_TRUE(shows(later.image, next, t.mode));
        EXPECT_EQ(fake.puts.size(), puts + 2 * per_palette);
        capture_stdout(display_close);
    }
}

const std::string menu = "Choose a display mode:\n"
                         " 1. litle window in the midle          -> ideal\n"
                         " 2. window (double size) in the midle  -> slow \n"
                         " 3. full                               -> snail\n"
                         "Type corresponding number : ";

TEST(FbDisplay, ColourMapIsSavedBlackedPaletteAndRestored)
{
    const std::string put_failed = "ERROR: ioctl(FBIOPUTCMAP) !\n";
    struct {
        int bpp;
        const char *failing, *calls;
        std::string at_open, later;  // messages before and after the cursor is hidden
        size_t puts;
    } const cases[] = {
        // Text mode until the close, which repaints the console's text.
        {8, "", "getcmap putcmap pause 200000000 putcmap putcmap unmap close auto graphics text", "", "", 3},
        // Not read, so not put back: the console would be left black.
        {8, "getcmap", "getcmap putcmap pause 200000000 putcmap unmap close auto graphics text",
         "ERROR: ioctl(FBIOGETCMAP) !\n", "", 2},
        {8, "putcmap", "getcmap putcmap pause 200000000 putcmap putcmap unmap close auto graphics text", put_failed,
         put_failed + put_failed, 0},
        {32, "", "pause 200000000 unmap close auto graphics text", "", "", 0},
    };
    const Palette pal = test_palette();
    for (const auto &t : cases) {
        SCOPED_TRACE(testing::Message() << t.bpp << " bpp, failing " << t.failing);
        fake_reset(640, 480, t.bpp);
        const ColourMap console = fake.cmap;
        fake.failing = t.failing;
        std::string out = open_display();
        out += capture_stdout([&] {
            display_set_palette(&pal);
            display_close();
        });
        EXPECT_EQ(fake.log, "ttyname process open /dev/fb0 fixed variable map " +
                                std::to_string(640 * 480 * t.bpp / 8) + " " + t.calls);
        EXPECT_EQ(out, std::string("The display is a fake fb ") +
                           (t.bpp == 8 ? "pseudo color (like atari)" : "true color") + " with 640 X 480\n" + menu +
                           t.at_open + "\033[?1c\n" + t.later + "\033[?0c\n");
        ASSERT_EQ(fake.puts.size(), t.puts);
        if (t.puts >= 2) {
            EXPECT_EQ(fake.puts[0], ColourMap{}) << "black at open";
            for (int i = 0; i < 768; i++)
                ASSERT_EQ(fake.puts[1][i % 3 * 256 + i / 3], pal.rgb[i] << 8) << i;
        }
        if (t.puts == 3) {
            EXPECT_EQ(fake.puts[2], console) << "restored at close";
        }
    }
}

TEST(FbDisplay, ReleaseDropsFramesAndAcquireStartsFromBlackWithTheColours)
{
    const Palette first = test_palette(), second = test_palette(40);
    const TestFrame one(0), two(99);
    for (int bpp : {8, 32}) {
        SCOPED_TRACE(testing::Message() << bpp << " bpp");
        fake_reset(640, 480, bpp);
        open_display();
        display_set_palette(&first);
        display_put_frame(&one.image);
        const size_t puts = fake.puts.size();
        fake.log = "";
        raise(SIGUSR1);  // the console asks for the screen
        display_put_frame(&two.image);
        display_set_palette(&second);  // kept until the console is back
        display_put_frame(&two.image);
        EXPECT_EQ(fake.log, "release 1") << "answered once, then frames dropped";
        EXPECT_TRUE(shows(one.image, first, 1));
        std::fill(fake.memory.begin(), fake.memory.end(), 0xAB);  // the other console's picture
        raise(SIGUSR2);                                           // the screen comes back
        EXPECT_EQ(fake.memory, std::vector<uint8_t>(fake.memory.size(), 0));
        display_put_frame(&two.image);
        EXPECT_TRUE(shows(two.image, second, 1));
        display_put_frame(&one.image);
        EXPECT_TRUE(shows(one.image, second, 1));
        EXPECT_EQ(fake.puts.size(), puts + (bpp == 8)) << "colours sent again on 8 bits, once, not per frame";
        // Back with new colours before its first frame: they go out once.
        raise(SIGUSR1);
        display_put_frame(&two.image);
        raise(SIGUSR2);
        display_set_palette(&first);
        display_put_frame(&two.image);
        display_put_frame(&one.image);
        EXPECT_TRUE(shows(one.image, first, 1));
        EXPECT_EQ(fake.puts.size(), puts + 2 * (bpp == 8)) << "new colours after a switch sent once";
        // A release still pending at close is allowed before the console
        // goes back to the kernel.
        raise(SIGUSR1);
        fake.log = "";
        capture_stdout(display_close);
        EXPECT_EQ(fake.log, (bpp == 8 ? "putcmap " : "") + std::string("unmap close release 1 auto graphics text"));
    }
}

TEST(FbDisplay, SwitchesAtAwkwardMomentsLeaveTheShowRunning)
{
    const Palette pal = test_palette();
    const TestFrame one(0), two(5);
    fake_reset(640, 480, 8);
    open_display();
    display_set_palette(&pal);

    // Switched back the moment the release is answered: frames go on.
    fake.hook = [](const std::string &call) {
        if (call == "release 1")
            raise(SIGUSR2);
    };
    raise(SIGUSR1);
    display_put_frame(&one.image);
    display_put_frame(&two.image);
    EXPECT_TRUE(shows(two.image, pal, 1));

    // Asked while a frame goes out (here its colours, sent again after a
    // switch): the frame finishes and the answer comes at its end.
    raise(SIGUSR2);
    fake.hook = [](const std::string &call) {
        if (call == "putcmap")
            raise(SIGUSR1);
    };
    fake.log = "";
    display_put_frame(&one.image);
    EXPECT_EQ(fake.log, "putcmap release 1");
    EXPECT_TRUE(shows(one.image, pal, 1));

    // A refused answer (no switch pending) keeps the screen.
    fake.hook = nullptr;
    raise(SIGUSR2);
    fake.failing = "release";
    raise(SIGUSR1);
    EXPECT_EQ(capture_stdout([&] { display_put_frame(&two.image); }), "ERROR: ioctl(VT_RELDISP) !\n");
    EXPECT_TRUE(shows(two.image, pal, 1));
    capture_stdout(display_close);

    // The screen comes back before it is mapped, and after it is gone.
    fake_reset(640, 480, 32);
    fake.hook = [](const std::string &call) {
        if (call == "process")
            raise(SIGUSR2);
    };
    open_display();
    capture_stdout(display_close);
    raise(SIGUSR2);
}

// Runs fn in a forked child with input on standard input and the fake
// echoing its calls on standard output; the output and the exit status.
template <typename Fn> std::pair<std::string, int> run_child(const std::string &input, Fn fn)
{
    const ChildRun run = child_run(input, [&] {
        fake.echo = true;
        fn();
    });
    return {run.out, run.status};
}

TEST(FbDisplay, EveryExitAfterTheStartSaysWhyAndGivesTheConsoleBack)
{
    const std::string opened = "[ttyname][process][open /dev/fb0][fixed][variable]";
    const std::string mapped = opened + "[map 307200]The display is a fake fb ";
    const std::string refused = " with 640 X 480\nERROR: can handle only TRUE\240COLOR (16 & 32 bit) or\n"
                                "       PSEUDO COLOR (8 bit) displays!\n[unmap][close][auto]";
    const std::string outside = "pseudo color (like atari) with 640 X 480\n"
                                "ERROR: the visible screen lies outside the frame buffer memory!\n[unmap][close][auto]";
    const std::string no_console = "[ttyname]ERROR: Not a console device!\n";
    struct {
        const char *name;
        void (*tweak)(void);
        std::string out;
        int status;
        const char *input = "1\n";
    } const cases[] = {
        {"no terminal", [] { fake.tty = ""; }, no_console, 249},
        {"serial line", [] { fake.tty = "/dev/ttyS0"; }, no_console, 249},
        {"pseudo-terminal", [] { fake.tty = "/dev/pts/0"; }, no_console, 249},
        {"mode refused", [] { fake.failing = "vtmode"; }, "[ttyname][process]ERROR: ioctl(VT_SETMODE) !\n", 248},
        {"no device", [] { fake.failing = "open"; },
         "[ttyname][process][open /dev/fb0]ERROR: can't open the /dev/fb0 device!\n[auto]", 255},
        {"fixed", [] { fake.failing = "fixed"; }, "[ttyname][process][open /dev/fb0][fixed][close][auto]", 254},
        {"variable", [] { fake.failing = "variable"; }, opened + "[close][auto]", 253},
        {"planes", [] { fake.fixed.type = FB_TYPE_PLANES; },
         opened + "ERROR: can handle only packed pixel frame buffers!\n[close][auto]", 252},
        {"no mapping", [] { fake.failing = "map"; }, opened + "[map 307200]ERROR: can't exec mmap!\n[close][auto]", 251},
        {"24 bits", [] { fake.variable.bits_per_pixel = 24; }, mapped + "pseudo color (like atari)" + refused, 250},
        {"8-bit true colour", [] { fake.fixed.visual = FB_VISUAL_TRUECOLOR; }, mapped + "true color" + refused, 250},
        {"visual 6", [] { fake.fixed.visual = 6; }, mapped + "direct color readonly" + refused, 250},
        {"visual 9", [] { fake.fixed.visual = 9; }, mapped + "ERROR - (9)" + refused, 250},
        {"panned past the memory", [] { fake.variable.yoffset = 1; }, mapped + outside, 251},
        {"rows past the memory", [] { fake.fixed.line_length = 639; }, mapped + outside, 251},
        {"no answer", [] {}, mapped + "pseudo color (like atari) with 640 X 480\n" + menu +
                                   "\nNo answer on standard input, giving up.\n[auto]", 255, ""},
        // Opened and never closed: the exit handler repaints the console's text.
        {"exit without a close", [] {}, mapped + "pseudo color (like atari) with 640 X 480\n" + menu +
                                            "[getcmap][putcmap]\033[?1c\n[pause 200000000][auto][graphics][text]", 0},
    };
    for (const auto &t : cases) {
        SCOPED_TRACE(t.name);
        fake_reset(640, 480, 8);
        t.tweak();
        const auto [out, status] = run_child(t.input, [] { display_open(0, nullptr, "skarn", 320, 240); });
        EXPECT_EQ(out, t.out);
        EXPECT_EQ(status, t.status);
    }
}

}  // namespace
