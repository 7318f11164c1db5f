// test_part4.cpp: part 4, bouncing balls over pictures.
#include "parts_test.h"

#include <cmath>
#include <cstring>

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

TEST_F(Part4Test, FlatPictureUnderTheRingsThenTheReliefGrowsIn)
{
    load();
    recording_keep_frames = true;
    part4_run(work_image_b, 165);
    const std::string ops = recording_ops();
    EXPECT_EQ(ops, "p" + std::string(ops.size() - 1, 'f'));
    EXPECT_NEAR((int)recording_frames.size(), 275, 1);  // 16.5 s at 60 ms
    const ShadeTable &t = part4_shade_table;
    // Up to 5.4 s and the first frame after, the flat picture at the ring's
    // level, pixel for pixel: a run of 5.5 s or less shows nothing else.
    Image *field = nullptr, *ring = nullptr;
    image_create(&field, 106, 80);
    image_create(&ring, 320, 240);
    for (int n : {0, 1, 50, 91, 92}) {
        parts_draw_rings(field, ring, n);
        for (int p = 0; p < 320 * 240; p++)
            ASSERT_EQ(recording_frames[(size_t)n][(size_t)p], t.level[ring->pixels[p] >> 3][40]) << n << " " << p;
    }
    image_destroy(&field);
    image_destroy(&ring);
    // From the twelfth frame of the relief on, dug and raised at levels 10 .. 41.
    int dug = 0, raised = 0;
    for (size_t n = 104; n < recording_frames.size(); n += 20)
        for (int p = 0; p < 320 * 240; p += 7)
            for (int l = 10; l <= 41; l++) {
                dug += recording_frames[n][(size_t)p] == t.level[l][100];
                raised += recording_frames[n][(size_t)p] == t.level[l][200];
            }
    EXPECT_GT(dug, 1000);
    EXPECT_GT(raised, 1000);
    part4_free();
    EXPECT_EQ(part4_spot, nullptr);
    EXPECT_EQ(part4_pictures[2], nullptr);
}

TEST_F(Part4Test, PicturesOfTheWrongSizeOrPaletteAreRefused)
{
    Palette other = parts_test_grey_palette();
    other.rgb[21] = 99;
    struct Case {
        const char *path;
        int w, h;  // 0: missing
        bool other_palette;
    };
    const Case cases[] = {{"grafika/4/news1.pcx", 319, 240, false}, {"grafika/3/eger2.pcx", 320, 241, false},
                          {"grafika/4/news1.pcx", 320, 240, true},  {"grafika/3/eger2.pcx", 320, 240, true},
                          {"grafika/3/eger3.pcx", 0, 0, false}};
    for (const Case &k : cases) {
        save();
        if (k.w == 0)
            std::remove(k.path);
        else
            parts_test_save_uniform(k.path, k.w, k.h, 50, k.other_palette ? other : parts_test_grey_palette());
        EXPECT_PART_EXIT(load_saved(), std::string("Cann't load image ") + k.path + " !");
    }
}
