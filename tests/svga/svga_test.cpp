// The SVGA back end over the emulated card: the mode menu, what each mode
// shows, page flips, the DAC, the retrace wait, the close, every failure
// path with its message and status, the stop signals, and the ids after a
// set-user-ID start. Runs that end the process go through a child.
#include "skarn.h"
#include "transform.h"
#include "vga_emulated.h"
#include "../support/child_run.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const std::string menu_all =
    "Choose a vga mode:\n"
    " 1. 320x200 / 256 colors -> fast but wrong\n"
    " 2. 320x240 / 256 colors -> RECOMMENDED!!!!\n"
    " 3. 320x400 / 256 colors -> slow\n"
    " 4. 360x480 / 256 colors -> slower\n"
    " 5. 640x480 / 256 colors -> the slowest\n"
    " 6. 800x600 / 256 colors -> snail\n";
const std::string ask = "Type the number of the vga mode:";

unsigned bit(int mode)
{
    return 1u << mode;
}

// Runs body in a child on a fresh emulated card that traces its mode sets,
// with input on standard input; what it printed and how it ended.
ChildRun run_child(const std::string &input, const std::function<void()> &body)
{
    return child_run(input, [&] {
        const struct rlimit no_core = {0, 0};
        setrlimit(RLIMIT_CORE, &no_core);
        vga_emulated_reset();
        vga_emulated_trace = 1;
        body();
        fflush(stdout);
    });
}

void open_and_close(void)
{
    display_open(0, nullptr, "t", 320, 240);
    display_close();
}

// display_open in this process with answer on standard input and its
// messages thrown away, on a fresh card.
void open_here(int answer)
{
    vga_emulated_reset();
    char text[16];
    snprintf(text, sizeof text, "%d\n", answer);
    FILE *saved_in = stdin;
    stdin = fmemopen(text, strlen(text), "r");
    fflush(stdout);
    const int saved_out = dup(1);
    FILE *null = fopen("/dev/null", "w");
    dup2(fileno(null), 1);
    display_open(0, nullptr, "t", 320, 240);
    fflush(stdout);
    dup2(saved_out, 1);
    close(saved_out);
    fclose(null);
    fclose(stdin);
    stdin = saved_in;
}

Image *test_frame(void)
{
    Image *f = nullptr;
    EXPECT_EQ(image_create(&f, 320, 240), 0);
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++)
            f->pixels[y * 320 + x] = (uint8_t)(x * 7 + y * 13);
    return f;
}

}  // namespace

// ---------------------------------------------------------------- menu

TEST(SvgaMenu, ListsOfferedModesNumberedWithoutGaps)
{
    struct Case {
        unsigned modes;
        std::string input;
        std::string menu;
        int prompts;
        int mode;
    };
    const Case cases[] = {
        {0u - 1u, "2\n", menu_all, 1, 6},
        {0u - 1u, "6\n", menu_all, 1, 11},
        // Only 320x200 and 640x480: numbers 1 and 2; 3 and 0 are asked again.
        {bit(5) | bit(10), "3\n0\n2\n",
         "Choose a vga mode:\n 1. 320x200 / 256 colors -> fast but wrong\n 2. 640x480 / 256 colors -> the slowest\n", 3,
         10},
        {bit(8) | bit(11), "1\n",
         "Choose a vga mode:\n 1. 360x480 / 256 colors -> slower\n 2. 800x600 / 256 colors -> snail\n", 1, 8},
        {bit(7), "x\n1\n", "Choose a vga mode:\n 1. 320x400 / 256 colors -> slow\n", 2, 7},
    };
    const char *sizes[12] = {};
    sizes[5] = "320  Height: 200";
    sizes[6] = "320  Height: 240";
    sizes[7] = "320  Height: 400";
    sizes[8] = "360  Height: 480";
    sizes[10] = "640  Height: 480";
    sizes[11] = "800  Height: 600";
    for (const Case &c : cases) {
        const ChildRun run = run_child(c.input, [&] {
            vga_emulated_modes = c.modes;
            open_and_close();
        });
        std::string prompts;
        for (int i = 0; i < c.prompts; i++)
            prompts += ask;
        EXPECT_EQ(run.out, c.menu + prompts + "[mode " + std::to_string(c.mode) + "]Width: " + sizes[c.mode] +
                               "  Colors: 256\n[mode 0]")
            << c.input;
        EXPECT_EQ(run.status, 0);
    }
}

// ---------------------------------------------------------------- failures

TEST(SvgaFailures, EachPathPrintsItsMessageAndExitsMinusOne)
{
    struct Case {
        const char *what;
        std::function<void()> set_up;
        std::string input;
        std::string out;
    };
    const std::string menu_and_ask = menu_all + ask;
    const std::string back_to_text = "[mode 6][mode 0]ERROR: Can't init vga\n";
    const Case cases[] = {
        {"init", [] { vga_emulated_fail_init = 1; }, "2\n", "ERROR: Can't init vga\n"},
        {"no mode", [] { vga_emulated_modes = bit(9); }, "2\n", "ERROR: Not valid vga mode avaible!"},
        {"setmode", [] { vga_emulated_fail_setmode = 1; }, "2\n", menu_and_ask + "ERROR: Can't init vga\n"},
        // The mode information is asked for by the physical context, by the
        // virtual context, then by the back end itself.
        {"physical context", [] { vga_emulated_modeinfo_fails_at = 1; }, "2\n", menu_and_ask + back_to_text},
        {"virtual context", [] { vga_emulated_modeinfo_fails_at = 2; }, "2\n", menu_and_ask + back_to_text},
        {"mode information", [] { vga_emulated_modeinfo_fails_at = 3; }, "2\n", menu_and_ask + back_to_text},
        {"no answer", [] {}, "", menu_and_ask + "\nNo answer on standard input, giving up.\n"},
    };
    for (const Case &c : cases) {
        const ChildRun run = run_child(c.input, [&] {
            c.set_up();
            display_open(0, nullptr, "t", 320, 240);
            printf("returned");
        });
        EXPECT_EQ(run.out, c.out) << c.what;
        EXPECT_EQ(run.status, 255) << c.what;
    }
}

TEST(SvgaFailures, FailedSetUpLeavesNoScreenBehind)
{
    const ChildRun run = run_child("2\n", [] {
        vga_emulated_modeinfo_fails_at = 3;
        atexit([] { printf(" held %d", gl_virtual_screens_held()); });
        display_open(0, nullptr, "t", 320, 240);
    });
    EXPECT_TRUE(run.out.ends_with("ERROR: Can't init vga\n held 0")) << run.out;
}

TEST(SvgaFailures, ProgramWithoutAConsoleTouchesNoCard)
{
    // Standard streams on pipes and no controlling terminal: no virtual
    // terminal, so the real card is refused before any port or memory is
    // asked for, even as root.
    const ChildRun run = run_child("0\n", [] {
        dup2(1, 2);
        setsid();
        execl(SKARN_SVGA_PROGRAM, "skarn_svga", (char *)nullptr);
        _exit(127);
    });
    EXPECT_TRUE(run.out.ends_with("Type corresponding number : ERROR: Can't init vga\n")) << run.out;
    EXPECT_EQ(run.status, 255);
}

// ---------------------------------------------------------------- signals

// The show's stop handlers, as main installs them: the next frame wait
// closes the display, which puts text mode back, and the signal ends the
// process; once closed, a second close sets no mode again.
TEST(SvgaSignals, StopSignalRestoresTextThenEnds)
{
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        const ChildRun run = run_child("2\n", [&] {
            show_install_stop_handlers();
            display_open(0, nullptr, "t", 320, 240);
            raise(sig);
            printf("frame ");
            wait_until_ms(clock_ms(), 0);
            printf("survived");
        });
        EXPECT_TRUE(run.out.ends_with("Colors: 256\nframe [mode 0]")) << sig << run.out;
        EXPECT_EQ(run.status, 128 + sig);
    }
    const ChildRun run = run_child("2\n", [] {
        show_install_stop_handlers();
        open_and_close();
        raise(SIGTERM);
        wait_until_ms(clock_ms(), 0);
    });
    EXPECT_TRUE(run.out.ends_with("Colors: 256\n[mode 0]")) << run.out;
    EXPECT_EQ(run.status, 128 + SIGTERM);
}

// ---------------------------------------------------------------- ids

TEST(SvgaIds, InitDropsToTheRealIds)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to make the real ids differ";
    const ChildRun run = run_child("", [] {
        // As a set-user-ID and set-group-ID root program started by 1234:4321.
        if (setresgid(4321, 0, 0) != 0 || setresuid(1234, 0, 0) != 0)
            _exit(2);
        if (vga_init() != 0)
            _exit(3);
        uid_t r, e, s;
        gid_t rg, eg, sg;
        getresuid(&r, &e, &s);
        getresgid(&rg, &eg, &sg);
        printf("%d %d %d %d %d %d", (int)r, (int)e, (int)s, (int)rg, (int)eg, (int)sg);
    });
    EXPECT_EQ(run.out, "1234 1234 1234 4321 4321 4321");
    EXPECT_EQ(run.status, 0);
}

// ---------------------------------------------------------------- frames

TEST(SvgaFrames, EachModeShowsTheFrameCopiedOrScaledAndFlipsWhereTwoPagesFit)
{
    struct Case {
        int answer, mode, width, height, pages;
    };
    const Case cases[] = {
        {1, 5, 320, 200, 1}, {2, 6, 320, 240, 2}, {3, 7, 320, 400, 2},
        {4, 8, 360, 480, 1}, {5, 10, 640, 480, 2}, {6, 11, 800, 600, 2},
    };
    Image *frame = test_frame();
    for (const Case &c : cases) {
        open_here(c.answer);
        ASSERT_EQ(vga_emulated_mode(), c.mode);
        Image *expect = nullptr;
        ASSERT_EQ(image_create(&expect, c.width, c.height), 0);
        for (int n = 1; n <= 3; n++) {
            frame->pixels[0] = (uint8_t)n;  // each frame differs from the last
            blit_scaled(expect, 0, 0, c.width, c.height, frame, 0, 0, 320, 240, 0, 0);
            display_put_frame(frame);
            EXPECT_EQ(memcmp(vga_emulated_shown_page(), expect->pixels, (size_t)c.width * c.height), 0)
                << "mode " << c.mode << " frame " << n;
            EXPECT_EQ(vga_emulated_flips, c.pages == 2 ? n : 0) << c.mode;
        }
        if (c.mode == G320x240x256) {  // no scaling: the frame itself
            EXPECT_EQ(memcmp(vga_emulated_shown_page(), frame->pixels, 320 * 240), 0);
        } else if (c.mode == G800x600x256) {  // stretched over the whole screen
            EXPECT_EQ(vga_emulated_shown_page()[799], frame->pixels[319]);
            EXPECT_EQ(vga_emulated_shown_page()[800 * 600 - 1], frame->pixels[320 * 240 - 1]);
        }
        image_destroy(&expect);
        display_close();
    }
    image_destroy(&frame);
}

TEST(SvgaPalette, DacTakesTheTopSixBitsWhileAGraphicsModeIsSet)
{
    Palette pal;
    const uint8_t components[] = {255, 3, 4, 0, 128, 254, 63, 64};
    for (int i = 0; i < 768; i++)
        pal.rgb[i] = components[i % 8];
    open_here(2);
    display_set_palette(&pal);
    for (int i = 0; i < 768; i++)
        ASSERT_EQ(vga_emulated_dac[i], components[i % 8] >> 2) << i;
    EXPECT_EQ(vga_emulated_dac[0], 63);
    EXPECT_EQ(vga_emulated_dac[1], 0);
    EXPECT_EQ(vga_emulated_dac[2], 1);
    display_close();
    // In text mode (16 colours) the DAC is left alone.
    memset(pal.rgb, 200, sizeof pal.rgb);
    display_set_palette(&pal);
    EXPECT_EQ(vga_emulated_dac[0], 63);
}

TEST(SvgaRetrace, WaitReturnsOnTheNextTick)
{
    open_here(2);
    timespec t0, t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    for (int i = 0; i < 3; i++) {
        const long before = vga_emulated_tick();
        display_wait_retrace();
        EXPECT_GT(vga_emulated_tick(), before);
    }
    clock_gettime(CLOCK_MONOTONIC, &t1);
    const double ms = (t1.tv_sec - t0.tv_sec) * 1e3 + (t1.tv_nsec - t0.tv_nsec) / 1e6;
    EXPECT_GT(ms, 2 * 1000.0 / 70);  // at least two whole ticks
    EXPECT_LT(ms, 500);
    display_close();
}

TEST(SvgaClose, BackToTextWithTheVirtualScreenFreed)
{
    open_here(6);
    EXPECT_EQ(gl_virtual_screens_held(), 1);
    display_close();
    EXPECT_EQ(vga_emulated_mode(), TEXT);
    EXPECT_EQ(gl_virtual_screens_held(), 0);
    display_close();  // a second close does nothing
    Image *frame = test_frame();
    display_put_frame(frame);  // nor does a frame after it
    EXPECT_EQ(vga_emulated_shown_page(), nullptr);
    EXPECT_EQ(vga_emulated_flips, 0);
    image_destroy(&frame);
}

TEST(SvgaClose, PhysicalContextOwnsNoBuffer)
{
    vga_emulated_reset();
    ASSERT_EQ(vga_init(), 0);
    ASSERT_EQ(vga_setmode(G320x240x256), 0);
    ASSERT_EQ(gl_setcontextvga(G320x240x256), 0);
    GraphicsContext physical, virt;
    gl_getcontext(&physical);
    EXPECT_EQ(physical.vbuf, nullptr);
    ASSERT_EQ(gl_setcontextvgavirtual(G320x240x256), 0);
    gl_getcontext(&virt);
    memset(virt.vbuf, 9, 320 * 240);
    gl_copyscreen(&physical);
    gl_freecontext(&physical);  // frees nothing, the screen stays
    EXPECT_EQ(gl_virtual_screens_held(), 1);
    EXPECT_EQ(vga_emulated_shown_page()[320 * 240 - 1], 9);
    gl_freecontext(&virt);
    gl_freecontext(&virt);  // the copy was cleared: no second free
    EXPECT_EQ(gl_virtual_screens_held(), 0);
    gl_copyscreen(&physical);  // no current virtual screen: nothing copied
    EXPECT_EQ(vga_setmode(TEXT), 0);
}
