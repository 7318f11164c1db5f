// Tests of the VM tests' screen checks on made-up screens: each check passes
// the screen it waits for and fails the slips the VM tests are there to
// catch (a frame drawn off its place, a foreign colour, a doubled screen
// shifted by a column, a picture shown from a wrong display start).
#include "vm_screen.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

std::string tmp_file(const std::string &name, const std::string &bytes)
{
    const std::string path = testing::TempDir() + "vm_screen_" + std::to_string(getpid()) + "_" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// An 8-bit PCX of W x H with pixel (x, y) = at(x, y) and colour i = (i, 255 - i, i / 2).
std::string pcx(int w, int h, const std::function<int(int, int)> &at)
{
    std::string b(128, '\0');
    b[0] = 0x0a, b[1] = 5, b[2] = 1, b[3] = 8, b[65] = 1;
    auto put16 = [&](int where, int v) { b[where] = char(v & 255), b[where + 1] = char(v >> 8); };
    put16(8, w - 1), put16(10, h - 1), put16(66, w);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const int v = at(x, y);
            if (v >= 0xc0)
                b += char(0xc1);
            b += char(v);
        }
    b += char(0x0c);
    for (int i = 0; i < 256; i++)
        b += char(i), b += char(255 - i), b += char(i / 2);
    return b;
}

Shot screen(int w, int h, const std::function<uint32_t(int, int)> &at)
{
    Shot s;
    s.w = w, s.h = h;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const uint32_t c = at(x, y);
            s.rgb.push_back(c >> 16), s.rgb.push_back(c >> 8), s.rgb.push_back(c);
        }
    return s;
}

uint32_t palette_colour(int i) { return uint32_t(i) << 16 | uint32_t(255 - i) << 8 | uint32_t(i / 2); }
uint32_t widened(int i)
{
    auto w = [](int c) { return (c / 4) * 4 + (c / 4 % 2) * 3; };
    return uint32_t(w(i)) << 16 | w(255 - i) << 8 | w(i / 2);
}

} // namespace

TEST(VmScreen, ReadsPpmAndPcx)
{
    Shot s;
    EXPECT_TRUE(shot_parse_ppm("P6\n# qemu\n2 1\n255\n\x01\x02\x03\x04\x05\x06", &s));
    EXPECT_EQ(s.w, 2);
    EXPECT_EQ(s.rgb[5], 6);
    EXPECT_FALSE(shot_parse_ppm("P6\n2 1\n255\n\x01\x02\x03\x04\x05", &s)); // cut
    EXPECT_FALSE(shot_parse_ppm("P6\n2 1\n65535\n", &s));
    EXPECT_FALSE(shot_parse_ppm("P5\n1 1\n255\n\x01", &s));

    std::vector<uint8_t> pal;
    const std::string p = pcx(3, 2, [](int x, int y) { return x == 2 ? 0xc8 : y; });
    ASSERT_TRUE(shot_parse_pcx(p, &s, &pal));
    EXPECT_EQ(s.w * s.h, 6);
    EXPECT_EQ(s.rgb[3 * 2], 0xc8);         // a run of one
    EXPECT_EQ(s.rgb[3 * 3 + 1], 255 - 1);  // row 1, colour 1
    EXPECT_EQ(pal[3 * 0xc8 + 2], 0xc8 / 2);
    EXPECT_FALSE(shot_parse_pcx(p.substr(0, p.size() - 770), &s, &pal)); // no palette
    EXPECT_FALSE(shot_parse_pcx(p.substr(0, 128) + p.substr(p.size() - 769), &s, &pal)); // no pixels
}

TEST(VmScreen, ChecksPassWhatTheyWaitForAndFailTheSlips)
{
    const std::string pal = tmp_file("pal.pcx", pcx(1, 1, [](int, int) { return 0; }));
    // A frame of part colours in a 320x240 box at (160,120) of 640x480.
    auto frame = [](int dx, uint32_t off) {
        return screen(640, 480, [=](int x, int y) -> uint32_t {
            x -= dx;
            return x < 160 || x >= 480 || y < 120 || y >= 360 ? 0 : palette_colour(64 + (x + y) % 128) + off;
        });
    };
    // Tiles of palette colours; the bottom right quarter CORNER where given,
    // pixel (10, 10) ODD where given.
    auto tiles = [](int w, int h, uint32_t corner, uint32_t odd = 0) {
        return screen(w, h, [=](int x, int y) {
            if (odd && x == 10 && y == 10)
                return odd;
            return x >= w - w / 4 && y >= h - h / 4 && corner ? corner : widened((x / 16 + y / 16 * 7) % 200);
        });
    };
    auto doubled = [](int shift, int split) {
        return screen(640, 480, [=](int x, int y) {
            x = std::max(0, x - shift);
            return y == split ? palette_colour((x / 2 + y / 2 + 1) % 256) : palette_colour((x / 2 + y / 2) % 256);
        });
    };
    // Ten rows of text over fifteen blank ones.
    const Shot ref = screen(720, 400, [](int x, int y) { return y < 160 && (x + y / 16) % 9 == 0 ? 0xaaaaaa : 0; });
    const std::string ref_file = tmp_file("ref.ppm", "P6 720 400 255\n" + std::string(ref.rgb.begin(), ref.rgb.end()));
    const std::string ref_pcx = tmp_file("ref.pcx", pcx(1, 1, [](int, int) { return 0; }).substr(0, 128 + 1) +
                                                         std::string(1, 0x0c) + std::string(768, 7));
    const Shot scrolled = screen(720, 400, [](int x, int y) {
        return y >= 48 && y - 48 < 160 && (x + (y - 48) / 16) % 9 == 0 ? 0xaaaaaa : 0;
    });
    struct Case {
        const char *what;
        Shot shot;
        std::vector<std::string> check;
        bool pass;
    } cases[] = {
        {"frame in place", frame(0, 0), {"frame", "320x240+160+120", "4", pal}, true},
        {"frame a column off", frame(1, 0), {"frame", "320x240+160+120", "4", pal}, false},
        {"frame 8 off the palette, within 8", frame(0, 0x080808), {"frame", "320x240+160+120", "8", pal}, true},
        {"frame 8 off the palette, not within 4", frame(0, 0x080808), {"frame", "320x240+160+120", "4", pal}, false},
        {"frame, a second palette fits", frame(0, 0x080808), {"frame", "320x240+160+120", "4", ref_pcx, pal}, false},
        {"blank box", frame(0, 0), {"blank", "100x100+0+0"}, true},
        {"drawn in the box", frame(0, 0), {"blank", "320x240+160+120"}, false},
        {"part at its size", tiles(640, 480, 0), {"part", "640x480", pal}, true},
        {"part at another size", tiles(640, 480, 0), {"part", "800x600", pal}, false},
        {"part with one pixel of a foreign colour", tiles(640, 480, 0, 0x123456), {"part", "640x480", pal}, false},
        {"part with its corner one colour", tiles(640, 480, widened(3)), {"part", "640x480", pal}, false},
        {"doubled", doubled(0, -1), {"doubled"}, true},
        {"doubled, one row of a block from the last frame", doubled(0, 100), {"doubled"}, true},
        {"doubled, shifted a column", doubled(1, -1), {"doubled"}, false},
        {"text as the reference", ref, {"text-of", ref_file}, true},
        {"text scrolled by three rows", scrolled, {"text-of", ref_file}, true},
        {"blank rows alike only", screen(720, 400, [](int, int) { return 0; }), {"text-of", ref_file}, false},
        {"grey text", ref, {"text"}, true},
        {"grey text in a third colour", scrolled, {"grey", "100000"}, false},
        {"size", ref, {"size", "720x400"}, true},
    };
    for (const Case &c : cases) {
        Check check;
        std::string account;
        ASSERT_TRUE(check_prepare(c.check, &check, &account)) << c.what << ": " << account;
        EXPECT_EQ(check_judge(check, c.shot, &account), c.pass) << c.what << ": " << account;
    }
    // A check it does not know, or a palette it cannot read, is the test's own fault.
    Check check;
    std::string why;
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"frame", "320x240+160+120", "4", ref_file}, {"frame", "320x240", "4", pal}, {"colours"}})
        EXPECT_FALSE(check_prepare(args, &check, &why)) << args[0];
}

TEST(VmScreen, ClosingPictureInPlaceMovedOrOther)
{
    Shot pic;
    ASSERT_TRUE(shot_parse_pcx(pcx(320, 240, [](int x, int y) { return (x * 3 + y * 5) % 240 + 8; }), &pic, nullptr));
    Closing c;
    closing_prepare(pic, &c);
    // The picture at fade level K, doubled, its display start DY rows on.
    auto shown = [&](int k, int dy) {
        return screen(640, 480, [&](int x, int y) {
            const int px = x / 2, py = (y / 2 + dy) % 240;
            auto level = [&](int v) { return ((v * k * 3276 >> 16) >> 2) * 4 + (((v * k * 3276 >> 16) >> 2) % 2) * 3; };
            const uint8_t *p = &pic.rgb[3 * (py * 320 + px)];
            return uint32_t(level(p[0])) << 16 | level(p[1]) << 8 | level(p[2]);
        });
    };
    EXPECT_STREQ(closing_judge(c, shown(20, 0)), "in-place");
    EXPECT_STREQ(closing_judge(c, shown(13, 0)), "in-place");
    EXPECT_STREQ(closing_judge(c, shown(20, 1)), "moved"); // a page start 80 bytes, one row of planes, on
    EXPECT_STREQ(closing_judge(c, shown(1, 0)), "other");   // too dark for 32 colours
    EXPECT_STREQ(closing_judge(c, screen(320, 240, [](int x, int) { return x; })), "other");
}
