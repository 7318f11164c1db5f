// test_part1.cpp: part 1, light spots and melting titles.
#include "parts_test.h"

#include <cstring>

using Part1Test = PartsTest;

TEST_F(Part1Test, SpotProfileFallsFrom63AtTheCentreAndIsSymmetric)
{
    parts_test_save_show_pictures();
    part1_load();
    ASSERT_EQ(part1_spot->width, 28);
    ASSERT_EQ(part1_spot->height, 28);
    const uint8_t *p = part1_spot->pixels;
    const int by_radius[15] = {63, 59, 54, 50, 45, 41, 36, 31, 27, 22, 18, 13, 9, 4, 0};
    for (int r = 0; r <= 14; r++) {
        EXPECT_EQ(p[14 * 28 + 14 + r], by_radius[r]) << "R " << r;
        EXPECT_EQ(p[(14 - r) * 28 + 14], by_radius[r]) << "R " << r;
    }
    for (int y = 1; y < 28; y++)
        for (int x = 1; x < 28; x++) {
            EXPECT_EQ(p[y * 28 + x], p[x * 28 + y]);
            EXPECT_EQ(p[y * 28 + x], p[(28 - y) * 28 + (28 - x)]);
        }
    // The outer row and column (x or y = -14) are at radius 14 or more.
    for (int i = 0; i < 28; i++) {
        EXPECT_EQ(p[i], 0);
        EXPECT_EQ(p[i * 28], 0);
    }
    part1_free();
}

TEST_F(Part1Test, MeltShiftFollowsTheTentBetweenChanges)
{
    // h over the 34 tenths between two changes.
    const int table[34] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 4, 4, 4, 4, 4,
                           4, 4, 4, 4, 4, 4, 4, 4, 3, 3, 2, 2, 1, 1, 0, 0, 0};
    for (int c = 34; c <= 170; c += 34)
        for (int s = 0; s < 34; s++)
            EXPECT_EQ(part1_melt_shift(c / 34, c + s, c), table[s]) << "s " << s;
    // The first picture is shown whole during the first second.
    for (int e = 0; e <= 10; e++)
        EXPECT_EQ(part1_melt_shift(0, e, 0), 4);
    for (int s = 11; s < 34; s++)
        EXPECT_EQ(part1_melt_shift(0, s, 0), table[s]);
    // After the last change, back on picture 0, the tent applies again.
    EXPECT_EQ(part1_melt_shift(0, 204, 204), 0);
}

TEST_F(Part1Test, SpotsAreDrawnOnlyInsideTheFrameOver10000Frames)
{
    parts_test_save_show_pictures();
    part1_load();
    int drawn = 0, wrapped = 0;
    for (int frame = 0; frame < 10000; frame++) {
        for (LightSpot &s : part1_light_spots) {
            if (part1_step_spot(&s)) {
                const int x = s.x >> 16, y = s.y >> 16;
                ASSERT_GE(x, 1);
                ASSERT_LE(x, 292);
                ASSERT_GE(y, 1);
                ASSERT_LE(y, 212);
                drawn++;
            } else {
                wrapped++;
            }
        }
    }
    EXPECT_GT(drawn, 30 * wrapped);  // most spots are on screen most of the time
    EXPECT_GT(wrapped, 0);
    part1_free();
}

TEST_F(Part1Test, SpotsStartOnTheGridWithBoundedSpeeds)
{
    parts_test_save_show_pictures();
    part1_load();
    EXPECT_EQ(part1_light_spots[0].x, 15 << 16);
    EXPECT_EQ(part1_light_spots[0].y, 15 << 16);
    EXPECT_EQ(part1_light_spots[335].x, 315 << 16);
    EXPECT_EQ(part1_light_spots[335].y, 240 << 16);
    EXPECT_EQ(part1_light_spots[22].x, 30 << 16);  // row 1, column 1
    for (const LightSpot &s : part1_light_spots) {
        EXPECT_GE(s.vx, -262144);
        EXPECT_LT(s.vx, 262144);
        EXPECT_GE(s.vy, 0);
        EXPECT_LT(s.vy, 262144);
    }
    part1_free();
}

TEST_F(Part1Test, RingPatternStaysIn128To255)
{
    parts_test_save_show_pictures();
    part1_load();
    for (int t : {0, 1, 23, 24, 100, 517, 4000}) {
        part1_draw_rings(t);
        for (int i = 0; i < 320 * 240; i++) {
            ASSERT_GE(part1_ring_image->pixels[i], 128) << "t " << t << " i " << i;
        }
        for (int i = 0; i < 106 * 80; i++)
            ASSERT_GE(part1_ring_field->pixels[i], 128);
    }
    part1_free();
}

TEST_F(Part1Test, RingCentresReadNegativeIndicesOneStepBelowModulo)
{
    parts_test_save_show_pictures();
    part1_load();
    part1_draw_rings(0);
    // At t = 0 centre 2 reads sin_table[-300], which is entry 723.
    const int cx1 = (sin_table[500] >> 4) + 11, cy1 = (cos_table[0] >> 4) + 16;
    const int cx2 = (sin_table[723] >> 4) + 35, cy2 = (cos_table[100] >> 4) + 40;
    for (int y : {0, 40, 79})
        for (int x : {0, 53, 105}) {
            const int d1 = (x - cx1) * (x - cx1) + (y - cy1) * (y - cy1);
            const int d2 = (x - cx2) * (x - cx2) + (y - cy2) * (y - cy2);
            const int s = sin_table[(d1 >> 3) & 1023] + sin_table[(d2 >> 2) & 1023];
            EXPECT_EQ(part1_ring_field->pixels[y * 106 + x], ((s >> 5) + 64) | 128) << x << "," << y;
        }
    part1_free();
}

TEST_F(Part1Test, MeltShiftsAlongRowsAndHoldsAtThePictureEnds)
{
    parts_test_save_show_pictures();
    part1_load();
    Image *picture = work_image_b;
    for (int i = 0; i < 320 * 240; i++)
        picture->pixels[i] = (uint8_t)(i * 13 + i / 251);
    const uint8_t *src = picture->pixels;
    // Ring 128 is a displacement of -64: the first 64 pixels hold at pixel 0.
    image_clear(part1_ring_image, 128);
    part1_melt(picture, 0);
    EXPECT_EQ(part1_ring_image->pixels[0], src[0]);
    EXPECT_EQ(part1_ring_image->pixels[63], src[0]);
    EXPECT_EQ(part1_ring_image->pixels[64], src[0]);
    EXPECT_EQ(part1_ring_image->pixels[65], src[1]);
    EXPECT_EQ(part1_ring_image->pixels[1000], src[936]);  // across a row end
    // Ring 255 is +63: the last 63 pixels hold at the last one.
    image_clear(part1_ring_image, 255);
    part1_melt(picture, 0);
    EXPECT_EQ(part1_ring_image->pixels[76799], src[76799]);
    EXPECT_EQ(part1_ring_image->pixels[76736], src[76799]);
    EXPECT_EQ(part1_ring_image->pixels[76735], src[76798]);
    // h = 3 divides the displacement by 8 (rounding down).
    image_clear(part1_ring_image, 128);
    part1_melt(picture, 3);
    EXPECT_EQ(part1_ring_image->pixels[5000], src[4992]);
    image_clear(part1_ring_image, 200);
    part1_melt(picture, 2);
    EXPECT_EQ(part1_ring_image->pixels[5000], src[5002]);
    part1_free();
}

// Puts spot i at pixel (x, y), still.
static void park_spot(int i, int x, int y)
{
    part1_light_spots[i] = {x << 16, y << 16, 0, 0};
}

TEST_F(Part1Test, LightPicksTheShadeLevelAndNoLightIsBlack)
{
    parts_test_save_show_pictures();
    part1_load();
    for (int i = 0; i < PART1_SPOT_COUNT; i++)
        park_spot(i, 250, 30);
    for (int i = 0; i < 5; i++)
        park_spot(i, 100, 100);  // 5 x 63 saturates at 255
    park_spot(5, 200, 150);      // one spot alone
    recording_keep_frames = true;
    part1_run(work_image_b, 1);
    ASSERT_GE(recording_frames.size(), 1u);
    const std::vector<uint8_t> &f = recording_frames[0];
    // Picture 0 is grey 40 everywhere; in the grey palette row L shows
    // colour c as c x (L + 1) / 32 (darker rows) or c x (L - 16) / 16.
    EXPECT_EQ(f[114 * 320 + 114], 40 * 47 / 16);  // L = 255: row 63
    EXPECT_EQ(f[164 * 320 + 214], 40 * 16 / 32);  // L = 63: row 15
    EXPECT_EQ(f[164 * 320 + 227], 40 * 2 / 32);   // L = 4 at radius 13: row 1
    EXPECT_EQ(f[10 * 320 + 10], 0);               // no light
    EXPECT_EQ(f[239 * 320 + 319], 0);
    // The frame holds only lit picture or black; nothing outside the spots.
    for (int y = 0; y < 240; y++) {
        for (int x = 0; x < 320; x++) {
            const bool lit = (x > 100 && x < 128 && y > 100 && y < 128) ||
                             (x > 200 && x < 228 && y > 150 && y < 178) || (x > 250 && x < 278 && y > 30 && y < 58);
            if (!lit) {
                ASSERT_EQ(f[y * 320 + x], 0) << x << "," << y;
            }
        }
    }
    part1_free();
}

TEST_F(Part1Test, PictureChangesEvery34TenthsAndWrapsAfterSix)
{
    parts_test_save_show_pictures();
    part1_load();
    for (int i = 0; i < PART1_SPOT_COUNT; i++)
        park_spot(i, 250, 200);
    park_spot(0, 100, 100);
    recording_keep_frames = true;
    part1_run(work_image_b, 217);
    // 21.7 s at one frame every 70 ms.
    ASSERT_EQ(recording_frames.size(), 310u);
    EXPECT_EQ(recording_ops(), std::string("p").append(310, 'f'));
    for (size_t k = 0; k < recording_frames.size(); k++) {
        const int ms = 70 * (int)k;
        if (ms % 3400 < 100 || ms % 3400 > 3300)
            continue;  // too near a change to pin the frame
        const int p = (ms / 100 / 34) % 6;
        // Light 63 at the spot's centre shows the picture at row 15: half.
        EXPECT_EQ(recording_frames[k][114 * 320 + 114], (40 + 30 * p) / 2) << "frame " << k;
    }
    part1_free();
}

TEST_F(Part1Test, ZeroDurationSetsThePaletteAndShowsNothing)
{
    parts_test_save_show_pictures();
    part1_load();
    part1_run(work_image_b, 0);
    EXPECT_EQ(recording_ops(), "p");
    EXPECT_EQ(0, memcmp(recording_palette.rgb, part1_palette.rgb, 768));
    part1_free();
}

TEST_F(Part1Test, PaletteIsSortedAndPicturesRemapped)
{
    // Pictures in a palette of descending greys: sorting reverses it, so a
    // file index c (grey 255 - c) becomes index 255 - c, and the shade
    // table follows the sorted palette.
    Palette down;
    for (int i = 0; i < 256; i++)
        down.rgb[3 * i] = down.rgb[3 * i + 1] = down.rgb[3 * i + 2] = (uint8_t)(255 - i);
    const char *names[6] = {"none", "lo", "skn", "txt1", "txt2", "txt3"};
    for (int i = 0; i < 6; i++)
        parts_test_save_uniform(std::string("grafika/1/") + names[i] + ".pcx", 320, 240, 10 + i, down);
    part1_load();
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(part1_palette.rgb[3 * i], i);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(part1_pictures[i]->pixels[1234], 255 - (10 + i));
    EXPECT_EQ(part1_shade_table.level[15][200], 100);
    part1_free();
}

TEST_F(Part1Test, MissingOrMisSizedPictureTakesTheFatalPath)
{
    const Palette grey = parts_test_grey_palette();
    parts_test_save_show_pictures();
    std::remove("grafika/1/skn.pcx");
    EXPECT_PART_EXIT(part1_load(), "Cann't load image grafika/1/skn.pcx !");

    parts_test_save_show_pictures();
    parts_test_save_uniform("grafika/1/txt2.pcx", 320, 239, 5, grey);
    EXPECT_PART_EXIT(part1_load(), "Cann't load image grafika/1/txt2.pcx !");
    parts_test_save_uniform("grafika/1/txt2.pcx", 321, 240, 5, grey);
    EXPECT_PART_EXIT(part1_load(), "Cann't load image grafika/1/txt2.pcx !");
}
