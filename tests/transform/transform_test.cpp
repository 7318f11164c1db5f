// Scaled blit clipping and sampling, rotate-and-scale, rolls, flip, mirror
// and palette remap on small pictures with known pixels.
#include "gfx2d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A malloc'ed picture freed on scope exit.
struct Pic {
    Image *img = nullptr;
    Pic(int w, int h, int fill = 0)
    {
        EXPECT_EQ(image_create(&img, w, h), 0);
        memset(img->pixels, fill, (size_t)w * h);
    }
    ~Pic() { image_destroy(&img); }
    uint8_t &at(int x, int y) { return img->pixels[y * img->width + x]; }
    std::vector<uint8_t> bytes() const
    {
        return std::vector<uint8_t>(img->pixels, img->pixels + (size_t)img->width * img->height);
    }
};

// Pixel (x, y) = x + 16 * y: every pixel of a picture up to 16 wide tells
// where it came from.
void fill_coords(Pic &p)
{
    for (int y = 0; y < p.img->height; y++)
        for (int x = 0; x < p.img->width; x++)
            p.at(x, y) = (uint8_t)(x + 16 * y);
}

void fill_sequence(Pic &p)
{
    for (int i = 0; i < p.img->width * p.img->height; i++)
        p.img->pixels[i] = (uint8_t)i;
}

}  // namespace

// ---------------------------------------------------------------- blit_scaled

TEST(BlitScaled, DoublesEveryPixel160x120To320x240)
{
    Pic src(160, 120), dst(320, 240);
    for (int y = 0; y < 120; y++)
        for (int x = 0; x < 160; x++)
            src.at(x, y) = (uint8_t)(x * 7 + y * 13);
    blit_scaled(dst.img, 0, 0, 320, 240, src.img, 0, 0, 160, 120, 0, 0);
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++)
            ASSERT_EQ(dst.at(x, y), src.at(x / 2, y / 2)) << x << "," << y;
}

TEST(BlitScaled, LeftClipShowsRightHandPartOfSource)
{
    // dx = -10, dw = 40, sw = 20: the visible 30 columns show source
    // columns 5..19 (plus sx), each twice.
    Pic src(32, 1), dst(64, 1, 0xEE);
    for (int x = 0; x < 32; x++)
        src.at(x, 0) = (uint8_t)(100 + x);
    blit_scaled(dst.img, -10, 0, 40, 1, src.img, 3, 0, 20, 1, 0, 0);
    for (int c = 0; c < 30; c++)
        EXPECT_EQ(dst.at(c, 0), 100 + 3 + 5 + c / 2) << c;
    for (int c = 30; c < 64; c++)
        EXPECT_EQ(dst.at(c, 0), 0xEE) << c;
}

TEST(BlitScaled, TopClipShowsLowerPartOfSource)
{
    Pic src(1, 32), dst(1, 64, 0xEE);
    for (int y = 0; y < 32; y++)
        src.at(0, y) = (uint8_t)(100 + y);
    blit_scaled(dst.img, 0, -10, 1, 40, src.img, 0, 0, 1, 20, 0, 0);
    for (int r = 0; r < 30; r++)
        EXPECT_EQ(dst.at(0, r), 100 + 5 + r / 2) << r;
    EXPECT_EQ(dst.at(0, 30), 0xEE);
}

TEST(BlitScaled, RightAndBottomClipKeepScale)
{
    // A 2x stretch placed so that half of it hangs past the right and the
    // bottom edge: the visible part keeps the doubling.
    Pic src(8, 8), dst(10, 10, 0xEE);
    fill_coords(src);
    blit_scaled(dst.img, 6, 6, 16, 16, src.img, 0, 0, 8, 8, 0, 0);
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++) {
            const int want = (x >= 6 && y >= 6) ? (x - 6) / 2 + 16 * ((y - 6) / 2) : 0xEE;
            EXPECT_EQ(dst.at(x, y), want) << x << "," << y;
        }
}

TEST(BlitScaled, SourcePastItsEdgeIsStretchedOverWholeDestination)
{
    // sx + sw = 12 > 8: only columns 4..7 exist, stretched over all 8
    // destination columns (step 4 * 1024 / 8 = 512).
    Pic src(8, 1), dst(8, 1, 0xEE);
    fill_coords(src);
    blit_scaled(dst.img, 0, 0, 8, 1, src.img, 4, 0, 8, 1, 0, 0);
    const uint8_t want[8] = {4, 4, 5, 5, 6, 6, 7, 7};
    for (int c = 0; c < 8; c++)
        EXPECT_EQ(dst.at(c, 0), want[c]) << c;
}

TEST(BlitScaled, TruncatingStepsShrinkThreeToTwo)
{
    // stepx = 3 * 1024 / 2 = 1536: columns 0 and 1 read source 0 and 1.
    // 7 onto 3: step 2389, columns read 0, 2 (2389 >> 10), 4 (4778 >> 10).
    Pic src(8, 1), dst(4, 1, 0xEE);
    fill_coords(src);
    blit_scaled(dst.img, 0, 0, 2, 1, src.img, 0, 0, 3, 1, 0, 0);
    EXPECT_EQ(dst.at(0, 0), 0);
    EXPECT_EQ(dst.at(1, 0), 1);
    EXPECT_EQ(dst.at(2, 0), 0xEE);
    blit_scaled(dst.img, 0, 0, 3, 1, src.img, 0, 0, 7, 1, 0, 0);
    EXPECT_EQ(dst.at(0, 0), 0);
    EXPECT_EQ(dst.at(1, 0), 2);
    EXPECT_EQ(dst.at(2, 0), 4);
}

TEST(BlitScaled, DrawsNothingForEmptyNegativeOrOutsideRectangles)
{
    Pic src(8, 8, 7), dst(8, 8, 0xEE);
    const std::vector<uint8_t> before = dst.bytes();
    struct Case {
        int dx, dy, dw, dh, sx, sy, sw, sh;
    } cases[] = {
        {0, 0, 0, 8, 0, 0, 8, 8},      // dw = 0
        {0, 0, 8, 0, 0, 0, 8, 8},      // dh = 0
        {0, 0, 8, 8, 0, 0, 0, 8},      // sw = 0
        {0, 0, 8, 8, 0, 0, 8, 0},      // sh = 0
        {0, 0, 8, 8, -1, 0, 8, 8},     // negative sx
        {0, 0, 8, 8, 0, -1, 8, 8},     // negative sy
        {0, 0, -8, 8, 0, 0, 8, 8},     // negative sizes count as empty
        {0, 0, 8, -8, 0, 0, 8, 8},
        {0, 0, 8, 8, 0, 0, -8, 8},
        {0, 0, 8, 8, 0, 0, 8, -8},
        {8, 0, 4, 4, 0, 0, 4, 4},      // wholly right of the destination
        {0, 8, 4, 4, 0, 0, 4, 4},      // wholly below it
        {-4, 0, 4, 4, 0, 0, 4, 4},     // wholly left of it
        {0, -4, 4, 4, 0, 0, 4, 4},     // wholly above it
        {-100, 0, 4, 4, 0, 0, 4, 4},
        // Far outside with huge steps: nothing to compute, nothing drawn.
        {-2000000000, 0, 5, 4, 0, 0, 2000000000, 4},
        {0, -2000000000, 4, 5, 0, 0, 4, 2000000000},
        {0, 0, 4, 4, 8, 0, 4, 4},      // source starts right of the source
        {0, 0, 4, 4, 0, 8, 4, 4},      // source starts below it
        {0, 0, 4, 4, 0, 0, 1, 4},      // 1 onto 4 then nothing cut: draws (control below)
    };
    for (size_t i = 0; i + 1 < sizeof cases / sizeof cases[0]; i++) {
        const Case &c = cases[i];
        blit_scaled(dst.img, c.dx, c.dy, c.dw, c.dh, src.img, c.sx, c.sy, c.sw, c.sh, 0, 0);
        EXPECT_EQ(dst.bytes(), before) << "case " << i;
    }
    const Case &c = cases[sizeof cases / sizeof cases[0] - 1];
    blit_scaled(dst.img, c.dx, c.dy, c.dw, c.dh, src.img, c.sx, c.sy, c.sw, c.sh, 0, 0);
    EXPECT_EQ(dst.at(3, 3), 7);
}

TEST(BlitScaled, LeftClipToLessThanOneSourcePixelDrawsNothing)
{
    // 4 source columns over 400 destination columns, 399 of them cut off:
    // t = (1 * 10) >> 10 = 0 source columns remain.
    Pic src(4, 1, 9), dst(8, 1, 0xEE);
    blit_scaled(dst.img, -399, 0, 400, 1, src.img, 0, 0, 4, 1, 0, 0);
    EXPECT_EQ(dst.at(0, 0), 0xEE);
}

TEST(BlitScaled, ColourKeyUsesLowBytes)
{
    Pic src(4, 1), dst(4, 1, 0xEE);
    src.at(0, 0) = 1;
    src.at(1, 0) = 5;
    src.at(2, 0) = 5;
    src.at(3, 0) = 0;
    // key 0x105 and use_key 0x100: the low byte of use_key is 0, no key.
    blit_scaled(dst.img, 0, 0, 4, 1, src.img, 0, 0, 4, 1, 0x105, 0x100);
    EXPECT_EQ(dst.bytes(), std::vector<uint8_t>({1, 5, 5, 0}));
    memset(dst.img->pixels, 0xEE, 4);
    blit_scaled(dst.img, 0, 0, 4, 1, src.img, 0, 0, 4, 1, 0x105, 0x101);
    EXPECT_EQ(dst.bytes(), std::vector<uint8_t>({1, 0xEE, 0xEE, 0}));
}

TEST(BlitScaled, ScalesWholeFrameOntoOddWindow)
{
    // The back ends' scaled case: a 320x240 frame onto 480x360 (1.5x).
    Pic src(320, 240), dst(480, 360);
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++)
            src.at(x, y) = (uint8_t)(x ^ y);
    blit_scaled(dst.img, 0, 0, 480, 360, src.img, 0, 0, 320, 240, 0, 0);
    const int stepx = 320 * 1024 / 480, stepy = 240 * 1024 / 360;
    for (int y = 0; y < 360; y++)
        for (int x = 0; x < 480; x++)
            ASSERT_EQ(dst.at(x, y), src.at((x * stepx) >> 10, (y * stepy) >> 10));
}

// ---------------------------------------------------------------- blit_rotate_scale

TEST(BlitRotateScale, AngleZeroScaleOneCopies)
{
    Pic src(6, 5), dst(10, 9, 0xEE);
    fill_coords(src);
    blit_rotate_scale(dst.img, src.img, 2, 3, 1.0f, 0.0f, 0, 0);
    for (int y = 0; y < 9; y++)
        for (int x = 0; x < 10; x++) {
            const bool in = x >= 2 && x < 8 && y >= 3 && y < 8;
            EXPECT_EQ(dst.at(x, y), in ? src.at(x - 2, y - 3) : 0xEE) << x << "," << y;
        }
}

// The source position of destination (j, i) written as the products, with
// the 32-bit wrap, to check the incremental walk against.
static int rotate_reference(const Image *src, int j, int i, float scale, float angle)
{
    const int w = src->width, h = src->height, hw = w / 2, hh = h / 2;
    const int32_t CS = (int32_t)(cos((double)angle) * scale * 65536.0);
    const int32_t SN = (int32_t)(sin((double)angle) * scale * 65536.0);
    const int32_t u = (int32_t)(uint32_t)((int64_t)hw * 65536 + (int64_t)CS * (j - hw) - (int64_t)SN * (i - hh));
    const int32_t v = (int32_t)(uint32_t)((int64_t)hh * 65536 + (int64_t)SN * (j - hw) + (int64_t)CS * (i - hh));
    const int col = u >> 16, row = v >> 16;
    if (col < 0 || col >= w || row < 0 || row >= h)
        return -1;
    return src->pixels[row * w + col];
}

TEST(BlitRotateScale, QuarterTurnOfSquare)
{
    // The float nearest pi/2 lies just above it: CS truncates to 0 and SN
    // to 65535, so the turn is a quarter turn but for the last bit of the
    // step. Corner samples falling outside keep their old values.
    Pic src(4, 4), dst(4, 4, 0xEE);
    fill_coords(src);
    const float angle = (float)(M_PI / 2);
    blit_rotate_scale(dst.img, src.img, 0, 0, 1.0f, angle, 0, 0);
    EXPECT_EQ(dst.at(0, 0), 3);     // column 3 (262142 >> 16), row 0
    EXPECT_EQ(dst.at(3, 3), 1 + 16 * 2);  // u = 65537, v = 196607
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            const int want = rotate_reference(src.img, j, i, 1.0f, angle);
            EXPECT_EQ(dst.at(j, i), want < 0 ? 0xEE : want) << j << "," << i;
        }
}

TEST(BlitRotateScale, IncrementalWalkMatchesProducts)
{
    for (float angle : {0.3f, 1.0f, 2.5f, -0.8f, 4.0f})
        for (float scale : {0.5f, 1.0f, 1.7f}) {
            Pic src(13, 9), dst(13, 9, 0xEE);
            fill_coords(src);
            blit_rotate_scale(dst.img, src.img, 0, 0, scale, angle, 0, 0);
            for (int i = 0; i < 9; i++)
                for (int j = 0; j < 13; j++) {
                    const int want = rotate_reference(src.img, j, i, scale, angle);
                    ASSERT_EQ(dst.at(j, i), want < 0 ? 0xEE : want) << angle << " " << scale;
                }
        }
}

TEST(BlitRotateScale, ScaleTwoShowsSmallerPicture)
{
    Pic src(8, 8), dst(8, 8, 0xEE);
    fill_coords(src);
    blit_rotate_scale(dst.img, src.img, 0, 0, 2.0f, 0.0f, 0, 0);
    // u = 4 + 2 (j - 4): columns 0, 2, 4, 6 at j = 2..5, outside elsewhere.
    for (int i = 0; i < 8; i++)
        for (int j = 0; j < 8; j++) {
            const int col = 4 + 2 * (j - 4), row = 4 + 2 * (i - 4);
            const bool in = col >= 0 && col < 8 && row >= 0 && row < 8;
            EXPECT_EQ(dst.at(j, i), in ? src.at(col, row) : 0xEE) << j << "," << i;
        }
}

TEST(BlitRotateScale, ClipsDestinationAndHonoursKey)
{
    // Placed half outside every edge of a small destination (with guard
    // bytes round it): only the inside changes, keyed pixels stay.
    Pic src(6, 6);
    fill_coords(src);
    src.at(4, 4) = 0x55;
    std::vector<uint8_t> store(4 * 4 + 64, 0xAB);
    Image dst = {4, 4, store.data() + 32};
    memset(dst.pixels, 0xEE, 16);
    blit_rotate_scale(&dst, src.img, 1, 1, 1.0f, 0.0f, 0x55, 1);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) {
            const int want = (x >= 1 && y >= 1) ? src.at(x - 1, y - 1) : 0xEE;
            EXPECT_EQ(dst.pixels[y * 4 + x], want) << x << "," << y;
        }
    blit_rotate_scale(&dst, src.img, -3, -3, 1.0f, 0.0f, 0x55, 1);
    EXPECT_EQ(dst.pixels[0], src.at(3, 3));
    EXPECT_EQ(dst.pixels[1 * 4 + 1], src.at(0, 0));  // source (4, 4) is the key: unchanged
    blit_rotate_scale(&dst, src.img, -100, 50, 1.0f, 0.7f, 0, 0);
    blit_rotate_scale(&dst, src.img, 0, 0, 1e30f, 0.3f, 0, 0);  // step out of range: nothing
    blit_rotate_scale(&dst, src.img, 0, 0, NAN, 0.3f, 0, 0);
    for (int i = 0; i < 32; i++) {
        EXPECT_EQ(store[i], 0xAB);
        EXPECT_EQ(store[32 + 16 + i], 0xAB);
    }
}

// ---------------------------------------------------------------- rolls, flip, mirror

TEST(Roll, HorizontalMovesPixelXToXPlusNModWidth)
{
    Pic p(5, 3);
    fill_coords(p);
    Pic orig(5, 3);
    fill_coords(orig);
    image_roll_horizontal(p.img, 2);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 5; x++)
            EXPECT_EQ(p.at((x + 2) % 5, y), orig.at(x, y));
    image_roll_horizontal(p.img, 5 * 1000 + 3);  // 2 + 3 = a full turn
    EXPECT_EQ(p.bytes(), orig.bytes());
    image_roll_horizontal(p.img, 5);
    EXPECT_EQ(p.bytes(), orig.bytes());
    image_roll_horizontal(p.img, 6);  // width + 1: one pixel
    EXPECT_EQ(p.at(1, 0), orig.at(0, 0));
    EXPECT_EQ(p.at(0, 2), orig.at(4, 2));
    image_roll_horizontal(p.img, 0xFFFFFFFFu);  // 4294967295 mod 5 = 0
    EXPECT_EQ(p.at(1, 0), orig.at(0, 0));
}

TEST(Roll, VerticalBothScratchSidesAndFullTurns)
{
    for (int h : {1, 2, 5, 6, 7}) {
        for (unsigned n = 0; n < 16; n++) {
            Pic p(3, h), orig(3, h);
            fill_coords(p);
            fill_coords(orig);
            image_roll_vertical(p.img, n);
            for (int y = 0; y < h; y++)
                for (int x = 0; x < 3; x++)
                    ASSERT_EQ(p.at(x, (y + n) % h), orig.at(x, y)) << "h " << h << " n " << n;
        }
    }
    Pic p(3, 4), orig(3, 4);
    fill_coords(p);
    fill_coords(orig);
    image_roll_vertical(p.img, 8);
    EXPECT_EQ(p.bytes(), orig.bytes());
}

TEST(Roll, EmptyPictureIsLeftAlone)
{
    Image empty = {0, 0, nullptr};
    image_roll_horizontal(&empty, 3);
    image_roll_vertical(&empty, 3);
    image_flip_vertical(&empty);
    image_mirror_horizontal(&empty);
}

TEST(FlipMirror, FlipReversesRowOrder)
{
    for (int h : {4, 5}) {
        Pic p(2, h);
        fill_coords(p);
        image_flip_vertical(p.img);
        for (int y = 0; y < h; y++)
            EXPECT_EQ(p.at(1, y), 1 + 16 * (h - 1 - y));
    }
}

TEST(FlipMirror, MirrorReversesEveryRow)
{
    Pic p(5, 2);
    fill_coords(p);
    image_mirror_horizontal(p.img);
    EXPECT_EQ(p.bytes(), std::vector<uint8_t>({4, 3, 2, 1, 0, 20, 19, 18, 17, 16}));
}

// ---------------------------------------------------------------- palette remap

TEST(Remap, SamePaletteGoesToLowestIndexOfEachColour)
{
    Palette pal{};
    for (int i = 0; i < 256; i++) {
        pal.rgb[i * 3] = (uint8_t)(i / 4 * 4);  // four equal entries per colour
        pal.rgb[i * 3 + 1] = 10;
        pal.rgb[i * 3 + 2] = 20;
    }
    Pic p(16, 16);
    fill_sequence(p);
    EXPECT_EQ(image_remap_palette(p.img, &pal, &pal), 0);
    for (int i = 0; i < 256; i++)
        EXPECT_EQ(p.img->pixels[i], i / 4 * 4) << i;
}

TEST(Remap, NearestColourAndTieToLowerIndex)
{
    Palette from{}, to{};
    from.rgb[1 * 3] = 100;                 // colour 1: (100, 0, 0)
    from.rgb[2 * 3 + 2] = 250;             // colour 2: (0, 0, 250)
    from.rgb[3 * 3] = 50;                  // colour 3: (50, 0, 0), halfway
    for (int i = 0; i < 256; i++)
        to.rgb[i * 3 + 1] = 255;           // all green...
    to.rgb[7 * 3] = 0, to.rgb[7 * 3 + 1] = 0, to.rgb[7 * 3 + 2] = 0;        // black
    to.rgb[9 * 3] = 100, to.rgb[9 * 3 + 1] = 0, to.rgb[9 * 3 + 2] = 0;      // red 100
    to.rgb[200 * 3] = 0, to.rgb[200 * 3 + 1] = 0, to.rgb[200 * 3 + 2] = 255;  // blue
    Pic p(4, 1);
    p.img->pixels[0] = 0;
    p.img->pixels[1] = 1;
    p.img->pixels[2] = 2;
    p.img->pixels[3] = 3;
    image_remap_palette(p.img, &from, &to);
    // (50,0,0) is 2500 from black (7) and from red 100 (9): the lower wins.
    EXPECT_EQ(p.bytes(), std::vector<uint8_t>({7, 9, 200, 7}));
}
