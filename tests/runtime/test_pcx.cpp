// PCX pictures: exact decoding of known byte sequences, the writer's round
// trip, a picture from an independent encoder, and hostile files.
#include "skarn.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A PCX header for a w x h picture with bytes-per-line bpl.
std::string header(int w, int h, int bpl, int version = 5)
{
    std::string s(128, '\0');
    s[0] = 0x0A;
    s[1] = (char)version;
    s[2] = 1;
    s[3] = 8;
    auto put = [&](int at, int v) {
        s[at] = (char)(v & 0xFF);
        s[at + 1] = (char)((v >> 8) & 0xFF);
    };
    put(8, w - 1);
    put(10, h - 1);
    put(66, bpl);
    return s;
}

std::string palette_block(Palette *pal = nullptr)
{
    std::string s(1, '\x0C');
    for (int i = 0; i < 768; i++) {
        uint8_t v = (uint8_t)(i * 7 + 3);
        if (pal)
            pal->rgb[i] = v;
        s += (char)v;
    }
    return s;
}

struct Loaded {
    int result;
    std::vector<uint8_t> pixels;
    bool have_pixels;
    int w = -1, h = -1;
    Palette pal;
    std::string out;
};

Loaded load(const std::string &path)
{
    Loaded l;
    uint8_t *px = nullptr;
    l.out = capture_stdout([&] { l.result = pcx_load(path.c_str(), &px, &l.pal, &l.w, &l.h); });
    l.have_pixels = px != nullptr;
    if (px && l.w > 0 && l.h > 0)
        l.pixels.assign(px, px + (size_t)l.w * l.h);
    free(px);
    return l;
}

}  // namespace

TEST(Pcx, RunsCrossRowEndsAndZeroRunsWriteNothing)
{
    TempDir dir;
    // 3 x 2: a run of 4 x 9 crosses the end of row 0; 0xC0 writes nothing.
    std::string body = "\xC4\x09" "\xC0\x55" "\x01\x02";
    Palette pal;
    write_bytes(dir.file("a.pcx"), header(3, 2, 3) + body + palette_block(&pal));
    Loaded l = load(dir.file("a.pcx"));
    ASSERT_EQ(l.result, 0) << l.out;
    EXPECT_EQ(l.w, 3);
    EXPECT_EQ(l.h, 2);
    EXPECT_EQ(l.pixels, (std::vector<uint8_t>{9, 9, 9, 9, 1, 2}));
    EXPECT_EQ(memcmp(l.pal.rgb, pal.rgb, 768), 0);
    EXPECT_EQ(l.out, "");
}

TEST(Pcx, RunsAreCutAtTheEndOfTheBuffer)
{
    TempDir dir;
    // A run of 63 into a 2 x 2 picture fills it and stops.
    write_bytes(dir.file("a.pcx"), header(2, 2, 2) + "\xFF\x07" + palette_block());
    Loaded l = load(dir.file("a.pcx"));
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.pixels, (std::vector<uint8_t>{7, 7, 7, 7}));
}

TEST(Pcx, BytesPerLineLongerThanTheWidthIsCropped)
{
    TempDir dir;
    // 3 wide stored with 4 bytes per line: the fourth column is dropped.
    std::string body = "\x01\x02\x03\x63" "\x04\x05\x06\x64";
    write_bytes(dir.file("a.pcx"), header(3, 2, 4) + body + palette_block());
    Loaded l = load(dir.file("a.pcx"));
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.pixels, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST(Pcx, TruncatedDataIsMalformed)
{
    TempDir dir;
    // 40 x 40 needs 1600 pixels; the file has 128 + 10 + 769 bytes, of which
    // the decoder may also read the palette bytes as data: still too few.
    std::string body(10, '\x01');
    Palette pal;
    for (int i = 0; i < 768; i++)
        pal.rgb[i] = (uint8_t)(i % 0xC0);  // no run bytes among the palette
    std::string path = dir.file("short.pcx");
    write_bytes(path, header(40, 40, 40) + body + "\x0C" + std::string((const char *)pal.rgb, 768));
    Loaded l = load(path);
    EXPECT_EQ(l.result, -4);
    EXPECT_EQ(l.out, "PCX file " + path + " was malformed");
    EXPECT_FALSE(l.have_pixels);
    // Palette and size were written before decoding.
    EXPECT_EQ(l.w, 40);
    EXPECT_EQ(l.h, 40);
    EXPECT_EQ(memcmp(l.pal.rgb, pal.rgb, 768), 0);

    Image *img = (Image *)1;
    std::string out = capture_stdout([&] { EXPECT_EQ(pcx_load_image(path.c_str(), &img, &pal), -1); });
    EXPECT_EQ(img, nullptr);
}

TEST(Pcx, HostileFilesFailCleanly)
{
    TempDir dir;
    struct Case {
        std::string name, bytes, message;
        int result;
    } cases[] = {
        {"empty", "", "ERROR: Bad pcx file ", -1},
        {"tiny", header(2, 2, 2).substr(0, 100), "ERROR: Bad pcx file ", -2},
        {"no-palette", header(2, 2, 2) + "\x01\x02\x03\x04", "ERROR: Bad pcx file ", -2},
        {"version3", header(2, 2, 2, 3) + "\x01\x02\x03\x04" + palette_block(), "ERROR: Bad pcx file ", -2},
        {"narrow-lines", header(8, 2, 4) + std::string(16, '\x01') + palette_block(), "ERROR: Bad pcx file ", -2},
        {"xmax-below-xmin",
         [] {
             std::string h = header(2, 2, 2);
             h[4] = 9;  // X min 9, X max 1
             return h + std::string(4, '\x01') + palette_block();
         }(),
         "ERROR: Bad pcx file ", -2},
        {"huge", header(65535, 65535, 65535) + std::string(64, '\xFF') + palette_block(),
         "PCX file ", -4},
    };
    for (const Case &c : cases) {
        std::string path = dir.file(c.name);
        write_bytes(path, c.bytes);
        Loaded l = load(path);
        EXPECT_EQ(l.result, c.result) << c.name;
        EXPECT_EQ(l.out.rfind(c.message, 0), 0u) << c.name << ": " << l.out;
        EXPECT_FALSE(l.have_pixels) << c.name;
    }
    Loaded missing = load(dir.file("missing.pcx"));
    EXPECT_EQ(missing.result, -1);
    // A directory cannot be read as a picture either.
    EXPECT_EQ(load(dir.path).result, -1);
}

TEST(Pcx, SaveThenLoadGivesTheSamePicture)
{
    TempDir dir;
    Image *img = nullptr;
    ASSERT_EQ(image_create(&img, 19, 7), 0);
    int high = 0;
    for (int i = 0; i < 19 * 7; i++) {
        img->pixels[i] = (uint8_t)(i * 13);
        high += img->pixels[i] >= 0xC0;
    }
    Palette pal;
    for (int i = 0; i < 768; i++)
        pal.rgb[i] = (uint8_t)(255 - i);
    std::string path = dir.file("rt.pcx");
    ASSERT_EQ(pcx_save(path.c_str(), img, &pal), 5);
    char *file = nullptr;
    int size = file_read_all(path.c_str(), &file);
    // Header, one byte per pixel plus one per pixel of 0xC0 and up, marker, palette.
    EXPECT_EQ(size, 128 + 19 * 7 + high + 1 + 768);
    free(file);

    Image *back = nullptr;
    Palette pal2;
    ASSERT_EQ(pcx_load_image(path.c_str(), &back, &pal2), 5);
    EXPECT_EQ(back->width, 19);
    EXPECT_EQ(back->height, 7);
    EXPECT_EQ(memcmp(back->pixels, img->pixels, 19 * 7), 0);
    EXPECT_EQ(memcmp(pal.rgb, pal2.rgb, 768), 0);
    Palette pal3;
    EXPECT_EQ(pcx_load_palette(path.c_str(), &pal3), 5);
    EXPECT_EQ(memcmp(pal.rgb, pal3.rgb, 768), 0);

    int w = 0, h = 0;
    std::string info = capture_stdout([&] { EXPECT_EQ(pcx_print_info(path.c_str(), &w, &h), 5); });
    EXPECT_EQ(info, path + " is a 19x7 PC Paintbrush image - Version 3.0 / 256 colors palette\n");
    EXPECT_EQ(w, 19);
    EXPECT_EQ(h, 7);
    image_destroy(&img);
    image_destroy(&back);
}

TEST(Pcx, DecodesAPictureWrittenByImageMagick)
{
    if (system("command -v convert >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    TempDir dir;
    std::string pcx = dir.file("im.pcx"), rgb = dir.file("im.rgb");
    // An odd width (so rows are padded to an even byte count) and long runs.
    std::string cmd = "convert -size 61x37 plasma:fractal -seed 7 -colors 150 -type Palette PCX:'" + pcx +
                      "' && convert '" + pcx + "' -depth 8 RGB:'" + rgb + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
    Image *img = nullptr;
    Palette pal;
    std::string out = capture_stdout([&] { ASSERT_EQ(pcx_load_image(pcx.c_str(), &img, &pal), 5); });
    ASSERT_EQ(img->width, 61);
    ASSERT_EQ(img->height, 37);
    char *ref = nullptr;
    ASSERT_EQ(file_read_all(rgb.c_str(), &ref), 61 * 37 * 3);
    int wrong = 0;
    for (int i = 0; i < 61 * 37; i++)
        for (int k = 0; k < 3; k++)
            wrong += pal.rgb[img->pixels[i] * 3 + k] != (uint8_t)ref[i * 3 + k];
    EXPECT_EQ(wrong, 0);
    free(ref);
    image_destroy(&img);
}
