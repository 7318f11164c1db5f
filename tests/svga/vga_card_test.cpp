// The real card (vga_card.cpp) under the SVGA back end, on a VGA card
// modelled at register level: each mode's registers against the values
// published for it, the picture the card would show after each page flip,
// the DAC, the text console put back as it was found, the modes offered,
// the failures of vga_init, and the wait for the retrace.
#include "skarn.h"
#include "transform.h"
#include "vga.h"
#include "vga_model.h"
#include "../support/child_run.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

VgaModel &m = vga_model;

// The card keeps its state in file statics from vga_init on, so each run
// is a process of its own on a fresh model, with input on standard input;
// a failed check in it comes back in its output and as status 1.
ChildRun card_run(const std::string &input, bool vbe_console, const std::function<void()> &body)
{
    return child_run(input, [&] {
        const struct rlimit no_core = {0, 0};
        setrlimit(RLIMIT_CORE, &no_core);
        vga_model_reset(vbe_console);
        body();
        fflush(stdout);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    });
}

std::string menu_answer(int n)
{
    return std::to_string(n) + "\n";
}

template <size_t N>
std::vector<uint8_t> bytes(const uint8_t (&a)[N])
{
    return std::vector<uint8_t>(a, a + N);
}

// The text console as found: every register, the DAC and the four planes
// (characters, attributes, font); the VBE registers when it was on them.
void expect_text_as_found(const VgaModel &found, bool vbe_console)
{
    EXPECT_EQ(m.misc, found.misc);
    EXPECT_EQ(bytes(m.seq), bytes(found.seq));
    EXPECT_EQ(bytes(m.crtc), bytes(found.crtc));
    EXPECT_EQ(bytes(m.gc), bytes(found.gc));
    EXPECT_EQ(bytes(m.ac), bytes(found.ac));
    EXPECT_EQ(m.ac_index & 0x20, 0x20);  // the screen on
    EXPECT_EQ(m.dac_mask, found.dac_mask);
    EXPECT_EQ(memcmp(m.dac, found.dac, sizeof m.dac), 0);
    for (int p = 0; p < 4; p++)
        EXPECT_EQ(memcmp(m.planes[p], found.planes[p], 65536), 0) << "plane " << p;
    if (vbe_console)
        EXPECT_EQ(std::vector<uint16_t>(m.vbe + 1, m.vbe + 10), std::vector<uint16_t>(found.vbe + 1, found.vbe + 10));
    else
        EXPECT_EQ(m.vbe[4] & 1, 0);
    EXPECT_FALSE(m.console_graphics);
}

// Frame n: a different picture each time.
void fill_frame(Image *f, int n)
{
    for (int y = 0; y < f->height; y++)
        for (int x = 0; x < f->width; x++)
            f->pixels[y * f->width + x] = (uint8_t)(x * 3 + y * 11 + n * 37);
}

}  // namespace

// ---------------------------------------------------------------- registers

TEST(VgaCard, ModesSetThePublishedRegisterValues)
{
    // Mode 13h as the IBM VGA BIOS sets it: 320x200, 256 colours, chain-4.
    const uint8_t misc13 = 0x63;
    const uint8_t seq13[5] = {0x03, 0x01, 0x0F, 0x00, 0x0E};
    const uint8_t crtc13[25] = {0x5F, 0x4F, 0x50, 0x82, 0x54, 0x80, 0xBF, 0x1F, 0x00, 0x41, 0x00, 0x00, 0x00,
                                0x00, 0x00, 0x00, 0x9C, 0x8E, 0x8F, 0x28, 0x40, 0x96, 0xB9, 0xA3, 0xFF};
    const uint8_t gc13[9] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x05, 0x0F, 0xFF};
    const uint8_t ac13[21] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,
                              0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x41, 0x00, 0x0F, 0x00, 0x00};
    // The unchained modes as published, over mode 13h: chain-4 off
    // (sequencer 4 = 0x06), byte addressing (CRTC 0x14 = 0, 0x17 = 0xE3),
    // and their own clock, timing and row changes.
    struct Change {
        int index;
        uint8_t value;
    };
    struct Case {
        int answer;
        const char *mode;
        uint8_t misc, seq4;
        std::vector<Change> crtc;
    };
    const Case cases[] = {
        {1, "mode 13h", misc13, 0x0E, {}},
        // 320x400: mode 13h with each of its 400 lines a row of its own
        // (Abrash, Graphics Programming Black Book, ch. 31).
        {3, "320x400", 0x63, 0x06, {{0x09, 0x40}, {0x14, 0x00}, {0x17, 0xE3}}},
        // Mode X, 320x240: 480 lines doubled at 60 Hz (Black Book, ch. 47).
        {2, "mode X 320x240", 0xE3, 0x06,
         {{0x06, 0x0D}, {0x07, 0x3E}, {0x09, 0x41}, {0x10, 0xEA}, {0x11, 0xAC}, {0x12, 0xDF}, {0x14, 0x00},
          {0x15, 0xE7}, {0x16, 0x06}, {0x17, 0xE3}}},
        // 360x480: the 28 MHz clock, 90 bytes a row (John Bridges' mode
        // set, Black Book, ch. 32).
        {4, "360x480", 0xE7, 0x06,
         {{0x00, 0x6B}, {0x01, 0x59}, {0x02, 0x5A}, {0x03, 0x8E}, {0x04, 0x5E}, {0x05, 0x8A}, {0x06, 0x0D},
          {0x07, 0x3E}, {0x09, 0x40}, {0x10, 0xEA}, {0x11, 0xAC}, {0x12, 0xDF}, {0x13, 0x2D}, {0x14, 0x00},
          {0x15, 0xE7}, {0x16, 0x06}, {0x17, 0xE3}}},
    };
    for (const Case &c : cases) {
        const ChildRun run = card_run(menu_answer(c.answer), false, [&] {
            display_open(0, nullptr, "t", 320, 240);
            std::vector<uint8_t> seq = bytes(seq13), crtc = bytes(crtc13);
            seq[4] = c.seq4;
            for (const Change &ch : c.crtc)
                crtc[ch.index] = ch.value;
            EXPECT_EQ(m.misc, c.misc);
            EXPECT_EQ(bytes(m.seq), seq);
            EXPECT_EQ(bytes(m.crtc), crtc);
            EXPECT_EQ(bytes(m.gc), bytes(gc13));
            EXPECT_EQ(bytes(m.ac), bytes(ac13));
            EXPECT_EQ(m.dac_mask, 0xFF);
            EXPECT_TRUE(m.console_graphics);
            EXPECT_TRUE(vga_model_picture().shown);
        });
        EXPECT_EQ(run.status, 0) << c.mode << "\n" << run.out;
    }
}

// ---------------------------------------------------------------- frames

TEST(VgaCard, FramesShowUnrolledOnTheFlippedPage)
{
    struct Case {
        int answer, width, height, pages;
        size_t lfb_size;
    };
    const Case cases[] = {
        {1, 320, 200, 1, 4u << 20}, {2, 320, 240, 2, 4u << 20}, {3, 320, 400, 2, 4u << 20},
        {4, 360, 480, 1, 4u << 20}, {5, 640, 480, 2, 4u << 20}, {6, 800, 600, 2, 4u << 20},
        {6, 800, 600, 1, 512u << 10},  // one page fits
    };
    for (const Case &c : cases) {
        const ChildRun run = card_run(menu_answer(c.answer), false, [&] {
            m.lfb_size = c.lfb_size;
            display_open(0, nullptr, "t", 320, 240);
            Image *frame = nullptr, *expect = nullptr;
            ASSERT_EQ(image_create(&frame, 320, 240), 0);
            ASSERT_EQ(image_create(&expect, c.width, c.height), 0);
            // What the page shown before the first frame holds: the cleared screen.
            std::vector<uint8_t> before((size_t)c.width * c.height, 0);
            long shown_before = vga_model_start();
            for (int n = 1; n <= 3; n++) {
                fill_frame(frame, n);
                blit_scaled(expect, 0, 0, c.width, c.height, frame, 0, 0, 320, 240, 0, 0);
                display_put_frame(frame);
                const std::vector<uint8_t> now(expect->pixels, expect->pixels + (size_t)c.width * c.height);
                const VgaPicture pic = vga_model_picture();
                ASSERT_TRUE(pic.shown) << n;
                EXPECT_EQ(pic.width, c.width);
                EXPECT_EQ(pic.height, c.height);
                EXPECT_TRUE(pic.pixels == now) << "frame " << n << " at start " << vga_model_start();
                if (c.pages == 2) {
                    // Drawn on the hidden page, then shown: the page shown
                    // before still holds the last picture.
                    EXPECT_NE(vga_model_start(), shown_before) << n;
                    EXPECT_TRUE(vga_model_picture(shown_before).pixels == before) << "frame " << n;
                } else {
                    EXPECT_EQ(vga_model_start(), 0) << n;
                }
                before = now;
                shown_before = vga_model_start();
            }
            image_destroy(&expect);
            image_destroy(&frame);
            display_close();
        });
        EXPECT_EQ(run.status, 0) << c.width << "x" << c.height << "\n" << run.out;
    }
}

TEST(VgaCard, PaletteReachesTheDacAsSixBits)
{
    const ChildRun run = card_run(menu_answer(2), false, [] {
        display_open(0, nullptr, "t", 320, 240);
        Palette pal;
        for (int i = 0; i < 768; i++)
            pal.rgb[i] = (uint8_t)(i * 5 + 3);
        display_set_palette(&pal);
        for (int e = 0; e < 256; e++)
            for (int k = 0; k < 3; k++)
                ASSERT_EQ(m.dac[e][k], pal.rgb[3 * e + k] >> 2) << e << " " << k;
        // Entries past the last are not written: the DAC's index would
        // wrap to entry 0.
        const int six[15] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
        EXPECT_EQ(vga_setpalvec(254, 5, six), 2);
        EXPECT_EQ(m.dac[254][0], 1);
        EXPECT_EQ(m.dac[255][2], 6);
        EXPECT_EQ(m.dac[0][0], pal.rgb[0] >> 2);
        display_close();
    });
    EXPECT_EQ(run.status, 0) << run.out;
}

// ---------------------------------------------------------------- back to text

TEST(VgaCard, TextPutsBackTheRegistersPlanesAndDacFound)
{
    struct Case {
        int answer;
        bool vbe_console;
    };
    const Case cases[] = {{1, false}, {2, false}, {3, false}, {4, false}, {5, false}, {6, false}, {2, true}, {6, true}};
    for (const Case &c : cases) {
        const ChildRun run = card_run(menu_answer(c.answer), c.vbe_console, [&] {
            const VgaModel *found = new VgaModel(m);
            const VgaPicture console = vga_model_picture();
            display_open(0, nullptr, "t", 320, 240);
            Image *frame = nullptr;
            ASSERT_EQ(image_create(&frame, 320, 240), 0);
            Palette pal = {};
            for (int n = 1; n <= 2; n++) {
                fill_frame(frame, n);
                display_set_palette(&pal);
                display_put_frame(frame);
            }
            image_destroy(&frame);
            display_close();
            expect_text_as_found(*found, c.vbe_console);
            // A VBE console shows its own picture again, in its place, when
            // the show's mode was a VGA one and so left its memory alone.
            if (c.vbe_console && c.answer <= 4) {
                const VgaPicture back = vga_model_picture();
                EXPECT_TRUE(back.shown && back.width == 1024 && back.height == 768);
                EXPECT_TRUE(back.pixels == console.pixels);
            }
            delete found;
        });
        EXPECT_EQ(run.status, 0) << "answer " << c.answer << (c.vbe_console ? " on a VBE console\n" : "\n") << run.out;
    }
}

// ---------------------------------------------------------------- what the card offers

TEST(VgaCard, OffersTheModesItCanShow)
{
    struct Case {
        const char *what;
        uint16_t vbe_id, max_width;
        size_t lfb_size;
        std::string offered;
        int set_800x600;
    };
    const Case cases[] = {
        {"VBE", 0xB0C5, 1600, 4u << 20, "5 6 7 8 10 11 ", 0},
        {"no VBE", 0, 1600, 4u << 20, "5 6 7 8 ", -1},
        {"VBE without 8-bit linear modes", 0xB0C1, 1600, 4u << 20, "5 6 7 8 ", -1},
        {"no frame buffer", 0xB0C5, 1600, 0, "5 6 7 8 ", -1},
        {"400000-byte frame buffer", 0xB0C5, 1600, 400000, "5 6 7 8 10 ", -1},
        // Offered by its memory, refused by the card: back to the text found.
        {"VBE up to 640 wide", 0xB0C5, 640, 4u << 20, "5 6 7 8 10 11 ", -1},
    };
    for (const Case &c : cases) {
        const ChildRun run = card_run("", false, [&] {
            m.vbe_id = c.vbe_id;
            m.vbe_max_width = c.max_width;
            m.lfb_size = c.lfb_size;
            const VgaModel *found = new VgaModel(m);
            ASSERT_EQ(vga_init(), 0);
            expect_text_as_found(*found, false);  // the menu stays readable
            for (int mode = 0; mode < 16; mode++)
                if (mode != TEXT && vga_hasmode(mode))
                    printf("%d ", mode);
            printf("| ");
            EXPECT_EQ(vga_setmode(G800x600x256), c.set_800x600);
            EXPECT_EQ(vga_setmode(TEXT), 0);
            expect_text_as_found(*found, false);
            delete found;
        });
        EXPECT_EQ(run.status, 0) << c.what << "\n" << run.out;
        EXPECT_EQ(run.out, c.offered + "| ") << c.what;
    }
}

// ---------------------------------------------------------------- failures

TEST(VgaCard, InitFailuresSayTheMessageAndHoldNothing)
{
    struct Case {
        const char *what;
        std::function<void()> set_up;
        bool touched;  // ports written before the failure
    };
    const Case cases[] = {
        {"no console", [] { m.console = -1; }, false},
        // Set-user-ID root with the console on a standard stream but not
        // the controlling terminal: no graphics mode once the ids are
        // dropped, so no menu either.
        {"console lost with the ids", [] { m.console_after_drop = false; }, false},
        {"not root", [] { m.ports_granted = false; }, false},
        {"no VGA", [] { m.present = false; }, true},
        {"no window", [] { m.window_maps = false; }, true},
    };
    for (const Case &c : cases) {
        const ChildRun run = card_run("2\n", false, [&] {
            c.set_up();
            atexit([] {
                printf("[ports %d %d window %d lfb %d console %d touched %d]", m.vga_ports, m.vbe_ports,
                       m.window_mapped, m.lfb_mapped, m.console_open, m.port_writes > 0);
            });
            display_open(0, nullptr, "t", 320, 240);
        });
        EXPECT_EQ(run.out, std::string("ERROR: Can't init vga\n[ports 0 0 window 0 lfb 0 console 0 touched ") +
                               (c.touched ? "1]" : "0]"))
            << c.what;
        EXPECT_EQ(run.status, 255) << c.what;
    }
}

// ---------------------------------------------------------------- retrace

TEST(VgaCard, RetraceWaitEndsAsARetraceBegins)
{
    const ChildRun run = card_run(menu_answer(2), false, [] {
        display_open(0, nullptr, "t", 320, 240);
        for (int i = 0; i < 3; i++) {
            const long reads = m.status_reads;
            display_wait_retrace();
            EXPECT_TRUE(m.retrace_edge) << i;
            EXPECT_GT(m.status_reads, reads) << i;
        }
        display_close();
    });
    EXPECT_EQ(run.status, 0) << run.out;
}
