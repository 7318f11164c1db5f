// Nearest colours, shade tables and the brightness sort.
#include "skarn.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

void set_entry(Palette &p, int i, int r, int g, int b)
{
    p.rgb[i * 3] = (uint8_t)r;
    p.rgb[i * 3 + 1] = (uint8_t)g;
    p.rgb[i * 3 + 2] = (uint8_t)b;
}

Palette grey_ramp()
{
    Palette p;
    for (int i = 0; i < 256; i++)
        set_entry(p, i, i, i, i);
    return p;
}

int pack(int r, int g, int b)
{
    return r | g << 8 | b << 16;
}

}  // namespace

TEST(Palette, NearestColourTiesKeepTheLowerIndex)
{
    Palette p;
    memset(&p, 0, sizeof p);
    set_entry(p, 10, 100, 50, 25);
    set_entry(p, 20, 100, 50, 25);
    EXPECT_EQ(palette_find_nearest(pack(100, 50, 25), &p), 10);
    EXPECT_EQ(palette_find_nearest(pack(101, 50, 25), &p), 10);
    // All other entries are black: black itself is entry 0.
    EXPECT_EQ(palette_find_nearest(pack(0, 0, 0), &p), 0);
    Palette black;
    memset(&black, 0, sizeof black);
    EXPECT_EQ(palette_find_nearest(pack(255, 255, 255), &black), 0);
    Palette g = grey_ramp();
    EXPECT_EQ(palette_find_nearest(pack(77, 77, 77), &g), 77);
    EXPECT_EQ(palette_find_nearest(pack(77, 78, 79), &g), 78);
    // Only the low 24 bits count.
    EXPECT_EQ(palette_find_nearest(pack(77, 77, 77) | 0x7F000000, &g), 77);
}

TEST(ShadeTable, IdentityRowsTakeTheHigherOfEqualEntries)
{
    Palette p = grey_ramp();
    set_entry(p, 200, 90, 90, 90);  // a second entry of grey 90
    ShadeTable t;
    palette_build_shade_table(&p, &t);
    EXPECT_EQ(t.level[31][90], 200);
    EXPECT_EQ(t.level[32][90], 200);
    EXPECT_EQ(t.level[31][200], 200);
    for (int c = 0; c < 256; c++) {
        if (c == 90 || c == 200)
            continue;
        EXPECT_EQ(t.level[31][c], c);
        EXPECT_EQ(t.level[32][c], c);
    }
}

TEST(ShadeTable, DarkAndBrightRowsOnAGreyRamp)
{
    Palette p = grey_ramp();
    ShadeTable t;
    palette_build_shade_table(&p, &t);
    // Row L darkens by (L + 1) / 32, truncated; rows 32.. brighten by (L - 16) / 16.
    EXPECT_EQ(t.level[0][31], 0);
    EXPECT_EQ(t.level[0][32], 1);
    EXPECT_EQ(t.level[15][200], 100);
    EXPECT_EQ(t.level[33][100], 106);
    EXPECT_EQ(t.level[36][200], 250);
    EXPECT_EQ(t.level[37][200], 255);  // 200 x 21 / 16 = 262, capped
    EXPECT_EQ(t.level[63][255], 255);
    EXPECT_EQ(t.level[63][80], 235);   // 80 x 47 / 16 = 235
}

TEST(ShadeTable, AllBlackPaletteMapsEverythingToTheLastEntry)
{
    Palette p;
    memset(&p, 0, sizeof p);
    ShadeTable t;
    palette_build_shade_table(&p, &t);
    for (int l = 0; l < 64; l++)
        for (int c = 0; c < 256; c++)
            ASSERT_EQ(t.level[l][c], 255);
}

TEST(ShadeTable, MetricIsAbsoluteDifferenceOfSquares)
{
    // D sums |t^2 - C^2| over the components; the other entries are white.
    Palette p;
    memset(&p, 0, sizeof p);
    for (int i = 0; i < 256; i++)
        set_entry(p, i, 255, 255, 255);
    set_entry(p, 0, 10, 0, 0);
    set_entry(p, 1, 0, 7, 7);
    set_entry(p, 2, 14, 0, 0);
    ShadeTable t;
    palette_build_shade_table(&p, &t);
    EXPECT_EQ(t.level[31][0], 0);
    // Row 15 halves (10, 0, 0) to (5, 0, 0): D to entry 0 is 75, to entry 1
    // 25 + 49 + 49 = 123, to entry 2 171: entry 0.
    EXPECT_EQ(t.level[15][0], 0);
    // Row 0 gives (0, 0, 0): D(0) = 100, D(1) = 98, D(2) = 196: entry 1.
    EXPECT_EQ(t.level[0][0], 1);
}

TEST(PaletteSort, StableAscendingAndInPlace)
{
    Palette in;
    for (int i = 0; i < 256; i++) {
        // Keys repeat: several entries of equal brightness in mixed order.
        int v = (i * 37) % 64;
        set_entry(in, i, v, (i % 3 == 0) ? v : 0, (i % 3 == 0) ? 0 : v);
    }
    Palette out;
    palette_sort_by_brightness(&out, &in);
    int last_key = -1;
    for (int i = 0; i < 256; i++) {
        int r = out.rgb[i * 3], g = out.rgb[i * 3 + 1], b = out.rgb[i * 3 + 2];
        int key = r * r + g * g + b * b;
        ASSERT_GE(key, last_key);
        last_key = key;
    }
    // Equal keys keep their input order: check against a hand-made stable pass.
    Palette want;
    int n = 0;
    for (int key = 0; key <= 3 * 64 * 64; key++)
        for (int i = 0; i < 256; i++) {
            int r = in.rgb[i * 3], g = in.rgb[i * 3 + 1], b = in.rgb[i * 3 + 2];
            if (r * r + g * g + b * b == key)
                memcpy(&want.rgb[(n++) * 3], &in.rgb[i * 3], 3);
        }
    ASSERT_EQ(n, 256);
    EXPECT_EQ(memcmp(want.rgb, out.rgb, 768), 0);
    // In place equals out of place.
    Palette same = in;
    palette_sort_by_brightness(&same, &same);
    EXPECT_EQ(memcmp(same.rgb, out.rgb, 768), 0);
    // Sorting again changes nothing.
    Palette again;
    palette_sort_by_brightness(&again, &out);
    EXPECT_EQ(memcmp(again.rgb, out.rgb, 768), 0);
}

TEST(PaletteRotate, TurnsARangeTowardLowerIndices)
{
    Palette p = grey_ramp();
    palette_rotate(&p, 10, 5, 2);
    const int want[] = {12, 13, 14, 10, 11};
    for (int j = 0; j < 5; j++)
        EXPECT_EQ(p.rgb[(10 + j) * 3], want[j]);
    EXPECT_EQ(p.rgb[9 * 3], 9);
    EXPECT_EQ(p.rgb[15 * 3], 15);
    Palette q = grey_ramp(), r = grey_ramp();
    palette_rotate(&q, 0, 256, 0);
    palette_rotate(&q, 0, 256, 256);
    EXPECT_EQ(memcmp(q.rgb, r.rgb, 768), 0);
    // Ranges outside the palette are refused rather than written.
    palette_rotate(&q, 250, 10, 1);
    palette_rotate(&q, -1, 10, 1);
    EXPECT_EQ(memcmp(q.rgb, r.rgb, 768), 0);
}
