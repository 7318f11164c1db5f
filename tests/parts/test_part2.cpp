// test_part2.cpp: part 2, the polar tunnel.
#include "parts_test.h"

#include <algorithm>
#include <cstring>
#include <vector>

using Part2Test = PartsTest;

struct PolarTables {
    std::vector<uint8_t> distance = std::vector<uint8_t>(320 * 120, 0xEE);
    std::vector<uint8_t> angle = std::vector<uint8_t>(320 * 120, 0xEE);
    int d(int row, int col) const { return distance[row * 320 + col]; }
    int a(int row, int col) const { return angle[row * 320 + col]; }
};

TEST_F(Part2Test, PolarTablesOfTheShowHoldThePinnedValues)
{
    PolarTables t;
    part2_build_polar_tables(t.distance.data(), t.angle.data(), 320, 240, 1, 1);
    // Top-left corner: 200 pixels from the centre x 1.275f is 255 only when
    // the product is rounded to single precision (254.99999... in double).
    EXPECT_EQ(t.d(0, 0), 255);
    EXPECT_EQ(t.a(0, 0), 202);
    EXPECT_EQ(t.d(0, 319), 253);
    EXPECT_EQ(t.a(0, 319), 52);
    EXPECT_EQ(t.d(0, 160), 153);  // straight above the centre
    EXPECT_EQ(t.a(0, 160), 126);
    EXPECT_EQ(t.d(119, 160), 1);  // dx = 0 is taken as 1: 45 degrees
    EXPECT_EQ(t.a(119, 160), 63);
    EXPECT_EQ(t.a(119, 161), 63);
    EXPECT_EQ(t.d(119, 159), 1);
    EXPECT_EQ(t.a(119, 159), 191);
    EXPECT_EQ(t.d(60, 80), 127);
    EXPECT_EQ(t.a(60, 80), 202);
    EXPECT_EQ(t.a(60, 240), 52);
    EXPECT_EQ(t.d(100, 0), 205);
    EXPECT_EQ(t.a(100, 0), 244);
}

TEST_F(Part2Test, AnglesNeverIncreaseAlongARowAndDistanceFallsToTheCentre)
{
    PolarTables t;
    part2_build_polar_tables(t.distance.data(), t.angle.data(), 320, 240, 1, 1);
    for (int row = 0; row < 120; row++) {
        for (int col = 1; col < 320; col++)
            ASSERT_LE(t.a(row, col), t.a(row, col - 1)) << row << "," << col;
        EXPECT_GE(t.a(row, 0), 128);   // left of the centre
        EXPECT_LT(t.a(row, 319), 128); // right of it
    }
    for (int row = 1; row < 120; row++)
        EXPECT_LE(t.d(row, 160), t.d(row - 1, 160));
}

TEST_F(Part2Test, DirectionZeroInvertsDistancesAndOtherVariantsTurnAngles)
{
    PolarTables one, inv, two, three;
    part2_build_polar_tables(one.distance.data(), one.angle.data(), 320, 240, 1, 1);
    part2_build_polar_tables(inv.distance.data(), inv.angle.data(), 320, 240, 0, 1);
    part2_build_polar_tables(two.distance.data(), two.angle.data(), 320, 240, 1, 2);
    part2_build_polar_tables(three.distance.data(), three.angle.data(), 320, 240, 1, 3);
    for (int i = 0; i < 320 * 120; i++) {
        ASSERT_EQ(inv.distance[i], 255 - one.distance[i]);
        ASSERT_EQ(inv.angle[i], one.angle[i]);
        ASSERT_EQ(three.angle[i], 255 - one.angle[i]);
    }
    EXPECT_EQ(three.d(0, 0), 128);  // S = 128: half the distance scale
    EXPECT_EQ(two.d(0, 0), 181);    // sqrt(0.5) x 256
    EXPECT_EQ(two.a(119, 160), 255 - 37);  // atan(0.5) with the halved quotient
}

TEST_F(Part2Test, UnknownVariantWritesNothingAndLoadLeavesTablesBlack)
{
    PolarTables t;
    part2_build_polar_tables(t.distance.data(), t.angle.data(), 320, 240, 1, 7);
    for (int i = 0; i < 320 * 120; i++)
        ASSERT_EQ(t.distance[i], 0xEE);

    parts_test_save_show_pictures();
    part2_load("grafika/1/hatter04.pcx", 1, 0);
    for (int i = 0; i < 320 * 120; i++) {
        ASSERT_EQ(part2_distance_table[i], 0);
        ASSERT_EQ(part2_angle_table[i], 0);
    }
    part2_free();
    EXPECT_EQ(part2_distance_table, nullptr);
}

TEST_F(Part2Test, StripTableHas23StripsInsideScreenAndPicture)
{
    int n = 0;
    for (const TitleStrip *s = part2_strips; s->dest_x > 0; s++, n++) {
        const int w = s->src_x1 - s->src_x0, h = s->src_y1 - s->src_y0;
        EXPECT_GT(w, 0);
        EXPECT_GT(h, 0);
        EXPECT_LE(s->dest_x + w, 320) << n;
        EXPECT_LE(s->dest_y + h, 240) << n;
        EXPECT_GE(s->src_x0, 0);
        EXPECT_LE(s->src_x1, 209) << n;
        EXPECT_LE(s->src_y1, 575) << n;
        EXPECT_EQ(s->full, 40);
        if (n > 0) {
            EXPECT_GT(s->start, s[-1].start) << n;
        }
    }
    EXPECT_EQ(n, 23);
    EXPECT_EQ(part2_strips[23].dest_x, -1);
    EXPECT_EQ(part2_strips[0].start, 7);
    EXPECT_EQ(part2_strips[22].start, 182);
}

TEST_F(Part2Test, StripLevelRisesHoldsAndFadesByTheTenths)
{
    parts_test_save_show_pictures();
    part2_load("grafika/1/hatter04.pcx", 1, 1);
    Image *frame = work_image_b;
    // Strip 0 starts at 7 and fades from 47; its level after each tenth.
    std::vector<int> levels;
    for (int e = 0; e < 80; e++) {
        image_clear(frame, 100);
        part2_update_strips(frame, e);
        levels.push_back(part2_strips[0].level);
        // The strip picture is all 255: level 5 lifts grey 100 to row 62.
        if (e >= 27 + 1 && e <= 51) {
            ASSERT_EQ(frame->pixels[20 * 320 + 20], 255) << e;
        }
    }
    const std::vector<int> expect = {
        0, 0, 0, 0, 0, 0, 0,                    // before the start
        0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4,  // 7 .. 26: rising
        5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5,  // 27 .. 46: full
        5, 5, 5, 5, 4, 4, 4, 4, 3, 3, 3, 3, 2, 2, 2, 2, 1, 1, 1, 1,  // 47 .. 66: fading
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(levels, expect);
    // Once dark again the strip leaves the frame alone.
    image_clear(frame, 100);
    part2_update_strips(frame, 79);
    EXPECT_EQ(frame->pixels[20 * 320 + 20], 100);
    part2_free();
    for (TitleStrip *s = part2_strips; s->dest_x > 0; s++)
        s->level = 0;
}

TEST_F(Part2Test, StripPixelsOfZeroLeaveTheFrameAndBrightnessLiftsIt)
{
    const Palette grey = parts_test_grey_palette();
    parts_test_save_show_pictures();
    Image *strips = nullptr;
    ASSERT_EQ(image_create(&strips, 209, 575), 0);
    for (int y = 0; y < 575; y++)
        for (int x = 0; x < 209; x++)
            strips->pixels[y * 209 + x] = (uint8_t)(x & 1 ? 0 : 8 * (x % 32));
    parts_test_save("grafika/grp.pcx", strips, grey);
    image_destroy(&strips);
    part2_load("grafika/1/hatter04.pcx", 1, 1);
    part2_strips[0].level = 5;
    Image *frame = work_image_b;
    image_clear(frame, 64);
    part2_update_strips(frame, 30);
    for (int x = 0; x < 120; x++) {
        const int s = x & 1 ? 0 : 8 * (x % 32);
        // Level 31 + (s >> 3) over grey 64: 64 x (L + 1) / 32 or 64 x (L - 16) / 16.
        const int level = 31 + (s >> 3);
        const int want = s == 0 ? 64 : (level < 32 ? 64 * (level + 1) / 32 : std::min(255, 64 * (level - 16) / 16));
        ASSERT_EQ(frame->pixels[10 * 320 + 10 + x], want) << x;
    }
    EXPECT_EQ(frame->pixels[9 * 320 + 10], 64);    // above the strip
    EXPECT_EQ(frame->pixels[10 * 320 + 130], 64);  // right of it
    part2_free();
    for (TitleStrip *s = part2_strips; s->dest_x > 0; s++)
        s->level = 0;
}

TEST_F(Part2Test, GlowBlockBrightensTheCentreFromItsEdgeColours)
{
    parts_test_save_show_pictures();
    part2_load("grafika/1/hatter04.pcx", 1, 1);
    Image *frame = work_image_b;
    image_clear(frame, 10);
    for (int y = 117; y <= 122; y++) {
        frame->pixels[y * 320 + 157] = 50;
        frame->pixels[y * 320 + 163] = 80;
    }
    part2_draw_glow(frame);
    auto px = [&](int y, int x) { return (int)frame->pixels[y * 320 + x]; };
    EXPECT_EQ(px(120, 160), 80 * 31 / 16);  // 3 x 3 weight: level 47, right base
    EXPECT_EQ(px(120, 159), 50 * 26 / 16);  // 2 x 3: level 42, left base
    EXPECT_EQ(px(119, 158), 50 * 19 / 16);  // 1 x 2: level 35
    EXPECT_EQ(px(118, 161), 80 * 19 / 16);  // 2 x 1
    EXPECT_EQ(px(117, 157), 50);            // weight 0: the colour itself
    EXPECT_EQ(px(117, 162), 80);
    EXPECT_EQ(px(122, 157), 50);            // wy = 1, wx = 0
    EXPECT_EQ(px(121, 160), 80 * 26 / 16);  // 2 x 3 below the centre row
    EXPECT_EQ(px(116, 160), 10);            // outside the block
    EXPECT_EQ(px(120, 163), 80);
    part2_free();
}

TEST_F(Part2Test, TunnelRowsFollowTheDistanceAndHoldOnTheLastRowAtTheCentre)
{
    parts_test_save_show_pictures();
    part2_load("grafika/1/hatter04.pcx", 1, 1);
    // Texture rows told apart by value, columns by 100 + column.
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++)
            part2_texture->pixels[y * 64 + x] = (uint8_t)(x == 0 ? 1 + y : 100 + x);
    memset(part2_angle_table, 0, 320 * 120);
    // Distance d picks row 64 - d / 4: 255 and 252 give row 1, 4 gives 63,
    // and 0 to 3 would give row 64, past the texture, so hold on row 63.
    const int d[] = {255, 252, 251, 128, 8, 7, 4, 3, 0};
    const int row[] = {1, 1, 2, 32, 62, 63, 63, 63, 63};
    for (int i = 0; i < 9; i++)
        part2_distance_table[i] = (uint8_t)d[i];
    part2_angle_table[9] = 4 * 37 + 3;  // column 37
    part2_distance_table[9] = 0;
    Image *frame = work_image_b;
    part2_draw_tunnel(frame);
    for (int i = 0; i < 9; i++) {
        EXPECT_EQ(frame->pixels[i], 1 + row[i]) << "distance " << d[i];
        EXPECT_EQ(frame->pixels[239 * 320 + i], 1 + row[i]) << "mirrored, distance " << d[i];
    }
    EXPECT_EQ(frame->pixels[9], 137);
    part2_free();
}

TEST_F(Part2Test, RunHandsPaletteAndShadeTableOnAndMirrorsTheTunnel)
{
    parts_test_save_show_pictures();
    part2_load("grafika/1/hatter04.pcx", 1, 1);
    memset(&current_shade_table, 0, sizeof current_shade_table);
    memset(&current_palette, 0, sizeof current_palette);
    part2_run(work_image_b, 0);
    EXPECT_EQ(recording_ops(), "p");
    EXPECT_EQ(0, memcmp(&current_palette, &part2_palette, sizeof(Palette)));
    EXPECT_EQ(0, memcmp(&current_shade_table, &part2_shade_table, sizeof(ShadeTable)));

    recording_reset();
    recording_keep_frames = true;
    part2_run(work_image_b, 5);  // 500 ms: 9 frames at 60 ms
    EXPECT_EQ(recording_ops(), std::string("p").append(9, 'f'));
    const std::vector<uint8_t> &f = recording_frames.back();
    // Mirrored everywhere but the glow block, which is not symmetric.
    for (int y = 0; y < 117; y++)
        for (int x = 0; x < 320; x++)
            ASSERT_EQ(f[y * 320 + x], f[(239 - y) * 320 + x]) << x << "," << y;
    // The uniform grey 100 background gives a uniform tunnel.
    EXPECT_EQ(f[0], 100);
    EXPECT_EQ(f[60 * 320 + 200], 100);
    part2_free();
}

TEST_F(Part2Test, MissingOrMisSizedPicturesTakeTheFatalPath)
{
    const Palette grey = parts_test_grey_palette();
    parts_test_save_show_pictures();
    EXPECT_PART_EXIT(part2_load("grafika/1/nothere.pcx", 1, 1), "Cann't load image grafika/1/nothere.pcx !");
    parts_test_save_uniform("grafika/grp.pcx", 208, 575, 1, grey);
    EXPECT_PART_EXIT(part2_load("grafika/1/hatter04.pcx", 1, 1), "Cann't load image grafika/grp.pcx !");
    parts_test_save_uniform("grafika/grp.pcx", 209, 574, 1, grey);
    EXPECT_PART_EXIT(part2_load("grafika/1/hatter04.pcx", 1, 1), "Cann't load image grafika/grp.pcx !");
    parts_test_save_show_pictures();
    parts_test_save_uniform("grafika/1/hatter04.pcx", 64, 64, 1, grey);
    EXPECT_PART_EXIT(part2_load("grafika/1/hatter04.pcx", 1, 1), "Cann't load image grafika/1/hatter04.pcx !");
}
