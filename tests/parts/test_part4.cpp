// test_part4.cpp: part 4, bouncing balls over pictures.
#include "parts_test.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>

// Flat, dug and raised pictures of greys 40, 100 and 200.
class Part4Test : public PartsTest {
protected:
    static void save(void)
    {
        const Palette grey = parts_test_grey_palette();
        parts_test_save_uniform("grafika/4/news1.pcx", 320, 240, 40, grey);
        parts_test_save_uniform("grafika/3/eger2.pcx", 320, 240, 100, grey);
        parts_test_save_uniform("grafika/3/eger3.pcx", 320, 240, 200, grey);
    }
    static void load_saved(void) { part4_load("grafika/4/news1.pcx", "grafika/3/eger2.pcx", "grafika/3/eger3.pcx"); }
    static void load(void)
    {
        save();
        load_saved();
    }
};

TEST_F(Part4Test, SpotIsASmoothBumpAndBallsStartInTheirBox)
{
    load();
    // (row, column, value): 127 held at the centre, d2 = 100, 512, 900, 1024.
    const int spot[][3] = {{32, 32, 127}, {33, 32, 127}, {38, 40, 104}, {48, 48, 32}, {2, 32, 1}, {32, 0, 0}, {0, 0, 0}};
    for (const auto &k : spot)
        EXPECT_EQ(part4_spot[k[0] * 64 + k[1]], k[2]) << k[0] << "," << k[1];
    for (int i = 0; i < 64 * 64; i++)
        ASSERT_EQ(part4_spot[i], part4_spot[(i % 64) * 64 + i / 64]);
    for (const Ball &b : part4_balls)  // speeds -1.01, -0.81 ... 0.79
        EXPECT_TRUE(b.x >= 40 && b.x <= 279 && b.y >= 40 && b.y <= 159 && std::fabs(b.vx + 0.11f) < 0.91f && std::fabs(b.vy + 0.11f) < 0.91f);
    part4_free();
}

TEST_F(Part4Test, BallsBounceByTheDistanceTheyWentPast)
{
    load();
    const Ball cases[][2] = {  // before and after one step of 10
        {{275, 100, 1, 0}, {275, 100, -1, 0}},  {{270, 100, 1, 0}, {280, 100, -1, 0}},
        {{45, 100, -1, 0}, {45, 100, 1, 0}},    {{50, 100, -1, 0}, {40, 100, -1, 0}},
        {{100, 195, 0, 1}, {100, 195, 0, -1}},  {{100, 45, 0, -1}, {100, 45, 0, 1}},
        {{278, 198, .5f, .5f}, {277, 197, -.5f, -.5f}},
    };
    const int n = (int)(sizeof cases / sizeof cases[0]);
    for (int i = 0; i < PART4_BALL_COUNT; i++)
        part4_balls[i] = i < n ? cases[i][0] : Ball{160, 120, 0, 0};
    part4_move_balls(work_image_a->pixels, 10);
    for (int i = 0; i < n; i++) {
        const Ball &b = part4_balls[i], &w = cases[i][1];
        EXPECT_TRUE(b.x == w.x && b.y == w.y && b.vx == w.vx && b.vy == w.vy) << i;
    }
    part4_free();
}

TEST_F(Part4Test, BallsAreLaidInOrderSaturatingAtEachLay)
{
    load();
    // Ball 0 raises and ball 1 digs on one spot; the other 28 far away.
    for (int i = 0; i < PART4_BALL_COUNT; i++)
        part4_balls[i] = i < 2 ? Ball{250, 170, 0, 0} : Ball{50, 50, 0, 0};
    // Field before; after, at the centre and where the spot is 104.
    const int cases[][3] = {{127, 127, 127}, {50, 50, 50}, {200, 128, 151}, {255, 128, 151}, {0, 0, 0}};
    for (const auto &k : cases) {
        memset(work_image_a->pixels, k[0], 320 * 240);
        part4_move_balls(work_image_a->pixels, 7);
        EXPECT_EQ(work_image_a->pixels[170 * 320 + 250], k[1]) << k[0];
        EXPECT_EQ(work_image_a->pixels[176 * 320 + 258], k[2]) << k[0];
        EXPECT_EQ(work_image_a->pixels[170 * 320 + 150], k[0]);
    }
    part4_balls[1] = Ball{150, 100, 0, 0};  // apart: one raises, one digs
    memset(work_image_a->pixels, 127, 320 * 240);
    part4_move_balls(work_image_a->pixels, 7);
    EXPECT_EQ(work_image_a->pixels[170 * 320 + 250], 254);
    EXPECT_EQ(work_image_a->pixels[100 * 320 + 150], 0);
    part4_free();
}

TEST_F(Part4Test, ReliefShiftAndBands)
{
    const int shifts[] = {6, 6, 5, 5, 4, 4, 3, 3, 2, 2, 1, 1, 0, 0};  // frames after the start 0 .. 13
    for (int k = 0; k < 14; k++)
        EXPECT_EQ(part4_relief_shift(100 + k, 100), shifts[k]) << k;
    // (field value, picture, level): dug up to 123, flat 124 .. 130, raised from 131.
    const int bands[][3] = {{0, 1, 41}, {4, 1, 40}, {123, 1, 11}, {124, 0, -1}, {130, 0, -1}, {131, 2, 10}, {255, 2, 41}};
    for (const auto &b : bands) {
        int level = -1;
        EXPECT_EQ(part4_band(b[0], &level), b[1]) << b[0];
        EXPECT_EQ(level, b[2]) << b[0];
    }
}

// Still balls: ball 0 raises at (100, 100), ball 1 digs at (220, 100), the
// other 28 raise and dig in turn at (160, 180), where they cancel out. The
// first 5.4 s (frames 0 .. 91, the last to start before 5.5 s) and the frame
// after show the flat picture under the rings; then the relief grows in and
// each pixel shows (picture, level) by its field value: 254 at the raising
// centre, 0 at the digging one, 131 where the raising spot is 4 (29 pixels
// from the centre), 127 where the balls cancel and where there are none.
TEST_F(Part4Test, FlatPictureUnderTheRingsThenTheReliefGrowsIn)
{
    load();
    for (int i = 0; i < PART4_BALL_COUNT; i++)
        part4_balls[i] = i == 0 ? Ball{100, 100, 0, 0} : (i == 1 ? Ball{220, 100, 0, 0} : Ball{160, 180, 0, 0});
    recording_keep_frames = true;
    part4_run(work_image_b, 165);
    const std::string ops = recording_ops();
    ASSERT_EQ(ops, "p" + std::string(275, 'f'));  // 16.5 s at 60 ms
    const int at[5] = {100 * 320 + 100, 100 * 320 + 220, 100 * 320 + 129, 180 * 320 + 160, 10 * 320 + 10};
    // Per frame from 92 on (the last row holds from 103 on): picture (0 flat
    // at the rings' level, 1 dug, 2 raised) and level at the first three
    // points; the other two stay flat.
    const int relief[12][3][2] = {
        {{0, 0}, {0, 0}, {0, 0}},    {{2, 10}, {0, 0}, {0, 0}},   {{2, 10}, {0, 0}, {0, 0}},
        {{2, 11}, {1, 11}, {0, 0}},  {{2, 11}, {1, 11}, {0, 0}},  {{2, 13}, {1, 13}, {0, 0}},
        {{2, 13}, {1, 13}, {0, 0}},  {{2, 17}, {1, 17}, {0, 0}},  {{2, 17}, {1, 17}, {0, 0}},
        {{2, 25}, {1, 25}, {0, 0}},  {{2, 25}, {1, 25}, {0, 0}},  {{2, 41}, {1, 41}, {2, 10}},
    };
    const int colour[3] = {40, 100, 200};  // flat, dug, raised
    const ShadeTable &t = part4_shade_table;
    Image *field = nullptr, *ring = nullptr;
    image_create(&field, 106, 80);
    image_create(&ring, 320, 240);
    for (int n = 0; n < 275; n++) {
        parts_draw_rings(field, ring, n);
        const std::vector<uint8_t> &shown = recording_frames[(size_t)n];
        if (n == 0 || n == 92) {  // the whole frame
            for (int p = 0; p < 320 * 240; p++)
                ASSERT_EQ(shown[(size_t)p], t.level[ring->pixels[p] >> 3][40]) << n << " " << p;
        }
        for (int k = 0; k < 5; k++) {
            const int *want = n < 92 || k > 2 ? relief[0][0] : relief[std::min(n - 92, 11)][k];
            const int level = want[0] == 0 ? ring->pixels[at[k]] >> 3 : want[1];
            ASSERT_EQ(shown[(size_t)at[k]], t.level[level][colour[want[0]]]) << "frame " << n << " point " << k;
        }
    }
    image_destroy(&field);
    image_destroy(&ring);
    part4_free();
    EXPECT_EQ(part4_spot, nullptr);
    EXPECT_EQ(part4_pictures[2], nullptr);
}

// The three pictures are remapped through the palette of the last one,
// sorted by brightness, whatever their own palettes hold: here greys, greys
// with one entry changed, and reversed greys, which sort into greys and
// turn index p into 255 - p in all three.
TEST_F(Part4Test, PicturesAreRemappedThroughTheLastOnesPalette)
{
    Palette grey = parts_test_grey_palette(), odd = grey, reversed;
    odd.rgb[3 * 21] = 99;
    for (int i = 0; i < 768; i++)
        reversed.rgb[i] = (uint8_t)(255 - i / 3);
    const char *paths[3] = {"grafika/4/news1.pcx", "grafika/3/eger2.pcx", "grafika/3/eger3.pcx"};
    const Palette *palettes[3] = {&grey, &odd, &reversed};
    Image *img = nullptr;
    ASSERT_EQ(image_create(&img, 320, 240), 0);
    for (int k = 0; k < 3; k++) {
        for (int p = 0; p < 320 * 240; p++)
            img->pixels[p] = (uint8_t)(p + 50 * k);
        parts_test_save(paths[k], img, *palettes[k]);
    }
    image_destroy(&img);
    load_saved();
    EXPECT_EQ(0, memcmp(part4_palette.rgb, grey.rgb, 768));
    for (int k = 0; k < 3; k++)
        for (int p = 0; p < 320 * 240; p++)
            ASSERT_EQ(part4_pictures[k]->pixels[p], 255 - (uint8_t)(p + 50 * k)) << k << " " << p;
    part4_free();
}

TEST_F(Part4Test, MissingPicturesOrPicturesOfTheWrongSizeAreRefused)
{
    // (path, width, height): 0 x 0 is a missing file.
    const std::tuple<const char *, int, int> cases[] = {
        {"grafika/4/news1.pcx", 319, 240}, {"grafika/3/eger2.pcx", 320, 241}, {"grafika/3/eger3.pcx", 0, 0}};
    for (const auto &[path, w, h] : cases) {
        save();
        if (w == 0)
            std::remove(path);
        else
            parts_test_save_uniform(path, w, h, 50, parts_test_grey_palette());
        EXPECT_PART_EXIT(load_saved(), std::string("Cann't load image ") + path + " !");
    }
}
