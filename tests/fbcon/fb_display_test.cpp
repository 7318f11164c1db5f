// The framebuffer back end over the fake device: screen contents byte for
// byte in every mode and depth (padded rows and pan offsets included), the
// display-mode fallbacks, the colour-map order, console release and
// acquire driven by the real signals, and every failed open (in a forked
// child, its output and the device calls in one transcript). Last, the
// real skarn_fb without a console.
#include "fake_fb_device.h"
#include "skarn.h"
#include "transform.h"
#include "../runtime/test_util.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Entry i: red i, green 3i, blue 255 - i; entries 1 and 2 white and red.
Palette test_palette(int variant = 0)
{
    Palette pal;
    for (int i = 0; i < 256; i++) {
        pal.rgb[i * 3] = (uint8_t)(i + variant);
        pal.rgb[i * 3 + 1] = (uint8_t)(i * 3);
        pal.rgb[i * 3 + 2] = (uint8_t)(255 - i);
    }
    const uint8_t white_red[6] = {255, 255, 255, 255, 0, 0};
    memcpy(&pal.rgb[3], white_red, 6);
    return pal;
}

struct TestFrame {
    Image image;
    std::vector<uint8_t> pixels;
    explicit TestFrame(int seed = 0) : pixels(320 * 240)
    {
        for (int y = 0; y < 240; y++)
            for (int x = 0; x < 320; x++)
                pixels[y * 320 + x] = (uint8_t)(x * 7 + y * 13 + seed);
        image = {320, 240, pixels.data()};
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

std::string close_display()
{
    return capture_stdout([] { display_close(); });
}

// The screen pixel of palette entry i as the device stores it.
uint32_t device_pixel(const Palette &pal, int i, int bpp)
{
    const uint32_t r = pal.rgb[i * 3], g = pal.rgb[i * 3 + 1], b = pal.rgb[i * 3 + 2];
    if (bpp == 8)
        return (uint32_t)i;
    if (bpp == 16)
        return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    return (r << 16) | (g << 8) | b;
}

// The whole screen memory expected after a frame in a display mode: zero
// everywhere but the visible area, which holds the frame centred (mode 1),
// doubled (mode 2) or as blit_scaled stretches it over the screen (mode 3).
std::vector<uint8_t> expected_memory(const Image &frame, const Palette &pal, int mode)
{
    const fb_var_screeninfo &v = fake_fb.variable;
    const int X = (int)v.xres, Y = (int)v.yres, bpp = (int)v.bits_per_pixel, B = bpp / 8;
    std::vector<uint8_t> memory(fake_fb.memory.size(), 0);
    std::vector<uint8_t> full((size_t)X * Y);
    Image full_image = {X, Y, full.data()};
    blit_scaled(&full_image, 0, 0, X, Y, &frame, 0, 0, frame.width, frame.height, 0, 0);
    for (int r = 0; r < Y; r++) {
        for (int c = 0; c < X; c++) {
            int index = -1;
            if (mode == 1) {
                const int x = c - (X - 320) / 2, y = r - (Y - 240) / 2;
                if (x >= 0 && x < 320 && y >= 0 && y < 240)
                    index = frame.pixels[y * 320 + x];
            } else if (mode == 2) {
                const int x = c - (X - 640) / 2, y = r - (Y - 480) / 2;
                if (x >= 0 && x < 640 && y >= 0 && y < 480)
                    index = frame.pixels[(y / 2) * 320 + x / 2];
            } else {
                index = full[(size_t)r * X + c];
            }
            if (index < 0)
                continue;
            const uint32_t value = device_pixel(pal, index, bpp);
            const size_t at = (size_t)(v.yoffset + r) * fake_fb.fixed.line_length + (size_t)(v.xoffset + c) * B;
            memcpy(&memory[at], &value, (size_t)B);
        }
    }
    return memory;
}

struct ScreenCase {
    int xres, yres, bpp, pad, xoffset, yoffset;
    const char *reply;
    int mode;  // the mode the reply ends in on this screen
};

TEST(FbDisplay, FramesLandWhereTheModeSaysAtEveryDepth)
{
    const ScreenCase cases[] = {
        {640, 480, 8, 0, 0, 0, "1\n", 1},     // columns 160..479, rows 120..359
        {640, 480, 8, 0, 0, 0, "2\n", 2},
        {640, 480, 8, 0, 0, 0, "3\n", 2},     // exactly twice the frame: doubled, not scaled
        {640, 480, 16, 0, 0, 0, "1\n", 1},
        {640, 480, 32, 0, 0, 0, "2\n", 2},
        {320, 240, 8, 0, 0, 0, "2\n", 1},     // the frame's own size
        {320, 240, 32, 0, 0, 0, "3\n", 1},
        {320, 200, 8, 0, 0, 0, "1\n", 3},     // lower than the frame: always scaled (down)
        {320, 200, 16, 0, 0, 0, "2\n", 3},
        {800, 600, 32, 0, 0, 0, "3\n", 3},
        {800, 600, 16, 0, 0, 0, "2\n", 2},
        {639, 480, 8, 0, 0, 0, "2\n", 3},     // one column short of doubling
        {641, 481, 32, 0, 0, 0, "1\n", 1},    // odd margins round down
        {700, 500, 32, 64, 0, 0, "2\n", 2},   // padded rows
        {656, 490, 8, 16, 8, 10, "1\n", 1},   // padded rows, panned
        {400, 300, 16, 6, 4, 2, "3\n", 3},
        {1024, 768, 8, 0, 0, 0, "x\n\n7\n3\n", 3},  // out-of-range answers asked again
    };
    const Palette pal = test_palette();
    const TestFrame frame;
    for (const ScreenCase &t : cases) {
        SCOPED_TRACE(testing::Message() << t.xres << "x" << t.yres << "x" << t.bpp << " answer " << t.reply);
        fake_fb_reset(t.xres, t.yres, t.bpp, t.pad, t.xoffset, t.yoffset);
        const std::string out = open_display(t.reply);
        const char *visual = t.bpp == 8 ? "pseudo color (like atari)" : "true color";
        EXPECT_NE(out.find("The display is a fake fb " + std::string(visual) + " with " + std::to_string(t.xres) +
                           " X " + std::to_string(t.yres) + "\n"),
                  std::string::npos);
        EXPECT_EQ(fake_fb.memory, std::vector<uint8_t>(fake_fb.memory.size(), 0)) << "cleared at open";
        display_set_palette(&pal);
        display_put_frame(&frame.image);
        EXPECT_TRUE(fake_fb.memory == expected_memory(frame.image, pal, t.mode));
        display_wait_retrace();
        close_display();
    }
}

const std::string menu = "Choose a display mode:\n"
                         " 1. litle window in the midle          -> ideal\n"
                         " 2. window (double size) in the midle  -> slow \n"
                         " 3. full                               -> snail\n"
                         "Type corresponding number : ";

struct ColourMapCase {
    int bpp;
    unsigned failing;
    const char *calls;   // the device calls from open to close
    const char *errors;  // messages besides the report line and the cursor codes
    size_t puts;         // colour maps put
    bool restored;       // the console's own colours came back at close
};

TEST(FbDisplay, ColourMapIsSavedBlackedPaletteAndRestored)
{
    const std::string open8 = "ttyname process open /dev/fb0 fixed variable map 307200 ";
    const std::string open32 = "ttyname process open /dev/fb0 fixed variable map 1228800 ";
    const ColourMapCase cases[] = {
        {8, 0, "getcmap putcmap pause 200000000 putcmap putcmap unmap close auto", "", 3, true},
        // Not read, so not put back: the console would be left black.
        {8, 1u << FAKE_GET_CMAP, "getcmap putcmap pause 200000000 putcmap unmap close auto",
         "ERROR: ioctl(FBIOGETCMAP) !\n", 2, false},
        {8, 1u << FAKE_PUT_CMAP, "getcmap putcmap pause 200000000 putcmap putcmap unmap close auto",
         "ERROR: ioctl(FBIOPUTCMAP) !\nERROR: ioctl(FBIOPUTCMAP) !\nERROR: ioctl(FBIOPUTCMAP) !\n", 0, false},
        {32, 0, "pause 200000000 unmap close auto", "", 0, false},
    };
    const Palette pal = test_palette();
    for (const ColourMapCase &t : cases) {
        SCOPED_TRACE(testing::Message() << t.bpp << " bpp, failing " << t.failing);
        fake_fb_reset(640, 480, t.bpp);
        const FakeColourMap console = fake_fb.cmap;
        fake_fb.failing = t.failing;
        std::string out = open_display();
        out += capture_stdout([&] { display_set_palette(&pal); });
        out += close_display();
        EXPECT_EQ(fake_fb_calls(), (t.bpp == 8 ? open8 : open32) + t.calls);
        const size_t report = out.find(" with 640 X 480\n");
        ASSERT_NE(report, std::string::npos);
        std::string rest = out.substr(report + 16);
        for (const std::string &text : {menu, std::string("\033[?1c\n"), std::string("\033[?0c\n")}) {
            const size_t at = rest.find(text);
            ASSERT_NE(at, std::string::npos);
            rest.erase(at, text.size());
        }
        EXPECT_EQ(rest, t.errors);
        ASSERT_EQ(fake_fb.puts.size(), t.puts);
        if (t.puts >= 2) {
            EXPECT_EQ(fake_fb.puts[0], FakeColourMap{}) << "black at open";
            for (int i = 0; i < 256; i++)
                for (int k = 0; k < 3; k++)
                    ASSERT_EQ(fake_fb.puts[1][k * 256 + i], pal.rgb[i * 3 + k] << 8) << i;
        }
        if (t.restored) {
            EXPECT_EQ(fake_fb.puts.back(), console);
        }
    }
}

// ---------------------------------------------------------------- console switching

bool shows(const Image &frame, const Palette &pal, int mode)
{
    return fake_fb.memory == expected_memory(frame, pal, mode);
}

size_t count(const std::string &calls, const std::string &what)
{
    size_t n = 0;
    for (size_t at = calls.find(what); at != std::string::npos; at = calls.find(what, at + 1))
        n++;
    return n;
}

TEST(FbDisplay, ReleaseDropsFramesAndAcquireStartsFromBlackWithTheColours)
{
    const Palette first = test_palette(), second = test_palette(40);
    const TestFrame one(0), two(99);
    for (int bpp : {8, 32}) {
        SCOPED_TRACE(testing::Message() << bpp << " bpp");
        fake_fb_reset(640, 480, bpp);
        open_display("1\n");
        display_set_palette(&first);
        display_put_frame(&one.image);
        ASSERT_TRUE(shows(one.image, first, 1));
        const size_t puts = fake_fb.puts.size();

        raise(SIGUSR1);  // the console asks for the screen
        display_put_frame(&two.image);
        EXPECT_EQ(count(fake_fb_calls(), "release 1"), 1u);
        EXPECT_TRUE(shows(one.image, first, 1)) << "dropped once released";
        display_set_palette(&second);  // waits while released
        display_put_frame(&two.image);
        EXPECT_EQ(count(fake_fb_calls(), "release 1"), 1u) << "answered once";
        EXPECT_TRUE(shows(one.image, first, 1));
        EXPECT_EQ(fake_fb.puts.size(), puts);

        std::fill(fake_fb.memory.begin(), fake_fb.memory.end(), 0xAB);  // the other console's picture
        raise(SIGUSR2);  // the screen comes back
        EXPECT_EQ(fake_fb.memory, std::vector<uint8_t>(fake_fb.memory.size(), 0));
        display_put_frame(&two.image);
        EXPECT_TRUE(shows(two.image, second, 1));
        if (bpp == 8) {
            ASSERT_EQ(fake_fb.puts.size(), puts + 1) << "colours sent again";
            EXPECT_EQ(fake_fb.puts.back()[0], second.rgb[0] << 8);
        }

        // A release still pending at close is allowed before the console
        // goes back to the kernel.
        raise(SIGUSR1);
        fake_fb.log.clear();
        close_display();
        const std::string calls = fake_fb_calls();
        EXPECT_EQ(calls.substr(calls.size() - 14), "release 1 auto");
    }
}

void raise_acquire(const std::string &entry)
{
    if (entry == "release 1")
        raise(SIGUSR2);
}

void raise_release(const std::string &entry)
{
    if (entry == "putcmap")
        raise(SIGUSR1);
}

TEST(FbDisplay, SwitchesAtAwkwardMomentsLeaveTheShowRunning)
{
    const Palette pal = test_palette();
    const TestFrame one(0), two(5), three(11);

    // Switched back the moment the release is answered: the frames go on.
    fake_fb_reset(640, 480, 8);
    open_display();
    display_set_palette(&pal);
    fake_fb_hook = raise_acquire;
    raise(SIGUSR1);
    display_put_frame(&one.image);
    fake_fb_hook = nullptr;
    display_put_frame(&two.image);
    EXPECT_TRUE(shows(two.image, pal, 1));

    // A request during a frame (here while its colours go out) lets the
    // frame finish and is answered at its end.
    raise(SIGUSR2);
    fake_fb_hook = raise_release;
    fake_fb.log.clear();
    display_put_frame(&three.image);
    fake_fb_hook = nullptr;
    EXPECT_EQ(fake_fb_calls(), "putcmap release 1");
    EXPECT_TRUE(shows(three.image, pal, 1));
    raise(SIGUSR2);

    // A refused answer (no switch pending) keeps the screen.
    fake_fb.failing = 1u << FAKE_RELEASE_VT;
    raise(SIGUSR1);
    const std::string out = capture_stdout([&] { display_put_frame(&one.image); });
    EXPECT_EQ(out, "ERROR: ioctl(VT_RELDISP) !\n");
    EXPECT_TRUE(shows(one.image, pal, 1));
    fake_fb.failing = 0;
    close_display();

    // The screen comes back before it is mapped, and after it is gone.
    fake_fb_reset(640, 480, 32);
    fake_fb_hook = [](const std::string &entry) {
        if (entry == "process")
            raise(SIGUSR2);
    };
    open_display();
    fake_fb_hook = nullptr;
    close_display();
    raise(SIGUSR2);
}

// ---------------------------------------------------------------- failures

struct ChildRun {
    int status;
    std::string out;
};

// Runs fn in a forked child with unbuffered standard output on a pipe and
// the fake echoing its calls there, so messages and calls come in order.
template <typename Fn> ChildRun run_child(Fn fn)
{
    fflush(stdout);
    int p[2];
    if (pipe(p) != 0)
        return {-1, ""};
    const pid_t pid = fork();
    if (pid == 0) {
        close(p[0]);
        dup2(p[1], STDOUT_FILENO);
        close(p[1]);
        setvbuf(stdout, nullptr, _IONBF, 0);
        fake_fb.echo = true;
        fn();
        exit(0);
    }
    close(p[1]);
    ChildRun run = {-1, ""};
    char buf[4096];
    ssize_t n;
    while ((n = read(p[0], buf, sizeof buf)) > 0)
        run.out.append(buf, (size_t)n);
    close(p[0]);
    int st = 0;
    waitpid(pid, &st, 0);
    run.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return run;
}

struct FailureCase {
    const char *name;
    void (*tweak)(void);
    const char *reply;
    std::string out;
    int status;
};

const std::string opened = "[ttyname][process][open /dev/fb0][fixed][variable]";
const std::string mapped = opened + "[map 307200]";
const std::string refused = "ERROR: can handle only TRUE\240COLOR (16 & 32 bit) or\n"
                            "       PSEUDO COLOR (8 bit) displays!\n[unmap][close][auto]";
const std::string not_console = "[ttyname]ERROR: Not a console device!\n";

TEST(FbDisplay, EveryFailedOpenSaysSoAndGivesTheConsoleBack)
{
    const FailureCase cases[] = {
        {"no terminal", [] { fake_fb.tty = ""; }, "1\n", not_console, 249},
        {"serial line", [] { fake_fb.tty = "/dev/ttyS0"; }, "1\n", not_console, 249},
        {"pseudo-terminal", [] { fake_fb.tty = "/dev/pts/0"; }, "1\n", not_console, 249},
        {"controlling terminal", [] { fake_fb.tty = "/dev/tty"; }, "1\n", not_console, 249},
        {"set mode refused", [] { fake_fb.failing = 1u << FAKE_SET_VT_MODE; }, "1\n",
         "[ttyname][process]ERROR: ioctl(VT_SETMODE) !\n", 248},
        {"no device", [] { fake_fb.failing = 1u << FAKE_OPEN; }, "1\n",
         "[ttyname][process][open /dev/fb0]ERROR: can't open the /dev/fb0 device!\n[auto]", 255},
        {"fixed information", [] { fake_fb.failing = 1u << FAKE_GET_FIXED; }, "1\n",
         "[ttyname][process][open /dev/fb0][fixed][close][auto]", 254},
        {"variable information", [] { fake_fb.failing = 1u << FAKE_GET_VARIABLE; }, "1\n",
         opened + "[close][auto]", 253},
        {"planes", [] { fake_fb.fixed.type = FB_TYPE_PLANES; }, "1\n",
         opened + "ERROR: can handle only packed pixel frame buffers!\n[close][auto]", 252},
        {"no mapping", [] { fake_fb.failing = 1u << FAKE_MAP; }, "1\n",
         mapped + "ERROR: can't exec mmap!\n[close][auto]", 251},
        {"24 bits", [] { fake_fb.variable.bits_per_pixel = 24; }, "1\n",
         mapped + "The display is a fake fb pseudo color (like atari) with 640 X 480\n" + refused, 250},
        {"8-bit true colour", [] { fake_fb.fixed.visual = FB_VISUAL_TRUECOLOR; }, "1\n",
         mapped + "The display is a fake fb true color with 640 X 480\n" + refused, 250},
        {"monochrome", [] { fake_fb.fixed.visual = FB_VISUAL_MONO01; }, "1\n",
         mapped + "The display is a fake fb monochr. [1=Black 0=White] with 640 X 480\n" + refused, 250},
        {"direct colour", [] { fake_fb.fixed.visual = FB_VISUAL_DIRECTCOLOR; }, "1\n",
         mapped + "The display is a fake fb direct color with 640 X 480\n" + refused, 250},
        {"visual 6", [] { fake_fb.fixed.visual = 6; }, "1\n",
         mapped + "The display is a fake fb direct color readonly with 640 X 480\n" + refused, 250},
        {"visual 9", [] { fake_fb.fixed.visual = 9; }, "1\n",
         mapped + "The display is a fake fb ERROR - (9) with 640 X 480\n" + refused, 250},
        {"memory one byte short", [] { fake_fb.fixed.smem_len--; fake_fb.memory.pop_back(); }, "1\n",
         opened + "[map 307199]The display is a fake fb pseudo color (like atari) with 640 X 480\n"
                  "ERROR: the visible screen lies outside the frame buffer memory!\n[unmap][close][auto]",
         251},
        {"panned past the memory", [] { fake_fb.variable.yoffset = 1; }, "1\n",
         mapped + "The display is a fake fb pseudo color (like atari) with 640 X 480\n"
                  "ERROR: the visible screen lies outside the frame buffer memory!\n[unmap][close][auto]",
         251},
        {"no answer", [] {}, "",
         mapped + "The display is a fake fb pseudo color (like atari) with 640 X 480\n" + menu +
             "\nNo answer on standard input, giving up.\n[auto]",
         255},
    };
    for (const FailureCase &t : cases) {
        SCOPED_TRACE(t.name);
        fake_fb_reset(640, 480, 8);
        t.tweak();
        answer(t.reply);
        const ChildRun run = run_child([] { display_open(0, nullptr, "skarn", 320, 240); });
        EXPECT_EQ(run.out, t.out);
        EXPECT_EQ(run.status, t.status);
    }
}

TEST(FbDisplay, LostTerminalGivesTheConsoleBackAndEndsTheShow)
{
    fake_fb_reset(640, 480, 8);
    answer("1\n");
    const TestFrame frame;
    const ChildRun run = run_child([&] {
        display_open(0, nullptr, "skarn", 320, 240);
        raise(SIGHUP);
        printf("-");
        display_put_frame(&frame.image);
        printf("not reached\n");
    });
    EXPECT_EQ(run.out.substr(run.out.find("[auto]")), "[auto]-[putcmap][unmap][close]\033[?0c\n");
    EXPECT_EQ(run.status, 255);
}

TEST(FbDisplay, RealProgramWithoutAConsoleStops)
{
    answer("0\n");
    const ChildRun run = run_child([] {
        execl(SKARN_FB_PROGRAM, SKARN_FB_PROGRAM, (char *)nullptr);
        _exit(127);
    });
    const std::string message = "ERROR: Not a console device!\n";
    ASSERT_GE(run.out.size(), message.size());
    EXPECT_EQ(run.out.substr(run.out.size() - message.size()), message);
    EXPECT_EQ(run.status, 249);
}

}  // namespace
