// Blur and feedback filters: worked 3x3 cases, the row rules of the two
// in-place filters, fades, the copying blur's kernels, and calls outside the
// filters' range that must leave the buffer alone.
#include "gfx2d_test.h"

#include <array>
#include <gtest/gtest.h>

namespace {

using Pix9 = std::array<uint8_t, 9>;
constexpr Pix9 ramp = {10, 20, 30, 40, 50, 60, 70, 80, 90};

Pix9 fade3x3(Pix9 p, unsigned fade)
{
    blur_fade(p.data(), 3, 3, fade);
    return p;
}

Pix9 offset3x3(Pix9 p, unsigned fade, unsigned offset)
{
    blur_fade_offset(p.data(), 3, 3, fade, offset);
    return p;
}

TEST(BlurFade, Worked3x3)
{
    // Pixel 0: (10 + 4*10 + 20 + 2*40) >> 3 = 18. Pixel 2's right neighbour
    // is pixel 3, the first of the next row. Last row without fade:
    // (2*61 + 4*70 + 2*42) >> 3 = 60; the last pixel repeats 67.
    EXPECT_EQ(fade3x3(ramp, 0), (Pix9{18, 28, 38, 42, 51, 61, 60, 67, 67}));
    // With fade the last row takes its right neighbour: (57 + 280 + 80 + 76) >> 3
    // = 61, minus 3 = 58. The last pixel is not faded again.
    EXPECT_EQ(fade3x3(ramp, 3), (Pix9{15, 25, 35, 38, 47, 57, 58, 67, 67}));
    EXPECT_EQ(fade3x3(ramp, 0x103), fade3x3(ramp, 3));  // low byte only
}

TEST(BlurFadeOffset, Worked3x3)
{
    // Pixel 0 with offset 1: (10 + 4*10 + 20 + 2*30) >> 3 = 16; the last
    // row is (c + 2R + above) >> 2; the last pixel keeps its 90.
    EXPECT_EQ(offset3x3(ramp, 0, 1), (Pix9{16, 24, 33, 37, 44, 52, 52, 57, 90}));
    EXPECT_EQ(offset3x3(ramp, 5, 1), (Pix9{11, 16, 24, 27, 33, 40, 39, 42, 90}));
    EXPECT_EQ(offset3x3(ramp, 0, 0), (Pix9{17, 26, 35, 38, 44, 52, 53, 57, 90}));
    // Offset equal to the width: samples at i + 3 and straight at i + 0.
    EXPECT_EQ(offset3x3(ramp, 0, 3), (Pix9{13, 20, 28, 34, 42, 50, 51, 56, 90}));
    EXPECT_EQ(offset3x3(ramp, 0, 0x201), offset3x3(ramp, 0, 1));
}

TEST(BlurFilters, UniformStaysUniformWithoutFade)
{
    std::vector<uint8_t> a(320 * 240, 100), b(320 * 240, 100), c(320 * 240), src(320 * 240, 100);
    blur_fade(a.data(), 320, 240, 0);
    blur_fade_offset(b.data(), 320, 240, 0, 1);
    blur_copy(c.data(), src.data(), 320, 240);
    for (size_t i = 0; i < a.size(); i++) {
        ASSERT_EQ(a[i], 100);
        ASSERT_EQ(b[i], 100);
        ASSERT_EQ(c[i], 100);
    }
    std::vector<uint8_t> d(320 * 240, 100);
    blur_fade(d.data(), 320, 240, 4);
    EXPECT_EQ(d[0], 96);
    std::vector<uint8_t> e(320 * 240, 200);
    blur_fade(e.data(), 320, 240, 255);
    for (uint8_t v : e)
        ASSERT_EQ(v, 0);
}

TEST(BlurFade, SinglePixelSpreadsUpLeftAndAlongItsRow)
{
    const int w = 16, h = 8;
    std::vector<uint8_t> p(w * h, 0);
    p[4 * w + 8] = 255;
    blur_fade(p.data(), w, h, 0);
    EXPECT_GT(p[3 * w + 8], 0);  // the row above sees it as its lower neighbour
    EXPECT_GT(p[4 * w + 7], 0);  // the left neighbour as its right one
    EXPECT_GT(p[4 * w + 8], 0);
    EXPECT_GT(p[4 * w + 9], 0);  // the running value carries it on
    EXPECT_LT(p[4 * w + 9], p[4 * w + 8]);
    EXPECT_EQ(p[4 * w + 14], 0);  // decreasing quickly to 0
    EXPECT_EQ(p[2 * w + 8], 0);
}

TEST(BlurFilters, LastPixelRules)
{
    std::vector<uint8_t> a(5 * 4), b(5 * 4);
    for (int i = 0; i < 20; i++)
        a[i] = b[i] = (uint8_t)(i * 13);
    blur_fade(a.data(), 5, 4, 0);
    EXPECT_EQ(a[19], a[18]);
    blur_fade_offset(b.data(), 5, 4, 0, 1);
    EXPECT_EQ(b[19], 19 * 13);
    // Width 1: the last pixel takes the value just stored above it.
    std::array<uint8_t, 3> col = {30, 60, 90};
    blur_fade(col.data(), 1, 3, 0);
    // (30 + 120 + 60 + 120) >> 3 = 41; (41 + 240 + 90 + 90 + 41) >> 3 = 62.
    EXPECT_EQ(col, (std::array<uint8_t, 3>{41, 62, 62}));
}

// Heights below 2 and offsets beyond the width have no rows to read; the
// buffer, sized exactly, must come back untouched.
TEST(BlurFilters, OutOfRangeCallsLeaveTheBufferAlone)
{
    std::vector<uint8_t> one(7);
    for (int i = 0; i < 7; i++)
        one[i] = (uint8_t)(i * 30);
    const std::vector<uint8_t> keep = one;
    blur_fade(one.data(), 7, 1, 0);
    blur_fade(one.data(), 7, 1, 9);
    blur_fade_offset(one.data(), 7, 1, 0, 1);
    blur_fade(one.data(), 7, 0, 0);
    blur_fade(one.data(), 0, 7, 0);
    blur_fade(one.data(), -7, -1, 0);
    blur_fade_offset(one.data(), -1, -7, 0, 1);
    EXPECT_EQ(one, keep);
    std::vector<uint8_t> two(2 * 3, 50);
    two[0] = 1;
    const std::vector<uint8_t> keep2 = two;
    blur_fade_offset(two.data(), 2, 3, 0, 3);
    blur_fade_offset(two.data(), 2, 3, 4, 255);
    EXPECT_EQ(two, keep2);
}

TEST(BlurCopy, EdgeAndCornerKernels)
{
    // 4 x 3 source with values chosen so each kernel gives its own result.
    const uint8_t src[12] = {
        8, 16, 24, 32,
        40, 48, 56, 64,
        72, 80, 88, 96,
    };
    uint8_t dst[12];
    blur_copy(dst, src, 4, 3);
    const uint8_t want[12] = {
        (16 + 2 * 8 + 40) >> 2,  (8 + 16 + 24 + 48) >> 2, (16 + 24 + 32 + 56) >> 2, (24 + 2 * 32 + 64) >> 2,
        (40 + 8 + 72 + 48) >> 2, (40 + 16 + 4 * 48 + 80 + 56) >> 3,
        (48 + 24 + 4 * 56 + 88 + 64) >> 3, (64 + 32 + 96 + 56) >> 2,
        (80 + 2 * 72 + 40) >> 2, (72 + 80 + 88 + 48) >> 2, (80 + 88 + 96 + 56) >> 2, (88 + 2 * 96 + 64) >> 2,
    };
    for (int i = 0; i < 12; i++)
        EXPECT_EQ(dst[i], want[i]) << "pixel " << i;
}

TEST(BlurCopy, TwoByTwoUsesOnlyCornersAndThinPicturesAreCopied)
{
    const uint8_t src[4] = {0, 100, 200, 40};
    uint8_t dst[4];
    blur_copy(dst, src, 2, 2);
    EXPECT_EQ(dst[0], (100 + 0 + 200) >> 2);
    EXPECT_EQ(dst[1], (0 + 200 + 40) >> 2);
    EXPECT_EQ(dst[2], (40 + 400 + 0) >> 2);
    EXPECT_EQ(dst[3], (200 + 80 + 100) >> 2);

    const uint8_t row[5] = {1, 200, 3, 40, 5};
    uint8_t out[5] = {};
    blur_copy(out, row, 5, 1);
    EXPECT_EQ(0, memcmp(out, row, 5));
    blur_copy(out, row, 1, 5);
    EXPECT_EQ(0, memcmp(out, row, 5));
}

}  // namespace
