// test_part4.cpp: part 4, bouncing balls over pictures.
#include "parts_test.h"

#include <cstring>

using Part4Test = PartsTest;

// Flat, dug and raised pictures of one grey each.
static void save_part4_pictures(int flat, int dug, int raised)
{
    const Palette grey = parts_test_grey_palette();
    parts_test_save_uniform("grafika/4/news1.pcx", 320, 240, flat, grey);
    parts_test_save_uniform("grafika/3/eger2.pcx", 320, 240, dug, grey);
    parts_test_save_uniform("grafika/3/eger3.pcx", 320, 240, raised, grey);
}

static void load_part4(void)
{
    part4_load("grafika/4/news1.pcx", "grafika/3/eger2.pcx", "grafika/3/eger3.pcx");
}

TEST_F(Part4Test, SpotProfileIsASmoothBumpHeldAt127)
{
    save_part4_pictures(40, 100, 200);
    load_part4();
    struct Case {
        int r, c, value;
    };
    const Case cases[] = {
        {32, 32, 127},  // 1024^2 >> 13 = 128, held
        {33, 32, 127},  // d2 = 1: 127.75
        {38, 40, 104},  // d2 = 100
        {48, 48, 32},   // d2 = 512
        {2, 32, 1},     // d2 = 900
        {54, 53, 1},    // d2 = 925
        {32, 0, 0},     // d2 = 1024
        {0, 0, 0},
        {63, 63, 0},
    };
    for (const Case &k : cases)
        EXPECT_EQ(part4_spot[k.r * 64 + k.c], k.value) << k.r << "," << k.c;
    for (int r = 1; r < 64; r++)
        for (int c = 1; c < 64; c++) {
            ASSERT_EQ(part4_spot[r * 64 + c], part4_spot[c * 64 + r]);
            ASSERT_EQ(part4_spot[r * 64 + c], part4_spot[(64 - r) * 64 + (64 - c)]);
        }
    part4_free();
}

TEST_F(Part4Test, BallsStartInsideTheirBoxWithTenSpeeds)
{
    save_part4_pictures(40, 100, 200);
    load_part4();
    float speeds[10];
    for (int k = 0; k < 10; k++)
        speeds[k] = (float)(k * 2 * 0.1f - 1.01);
    EXPECT_FLOAT_EQ(speeds[0], -1.01f);
    EXPECT_FLOAT_EQ(speeds[9], 0.79f);
    auto is_speed = [&](float v) {
        for (float s : speeds)
            if (v == s)
                return true;
        return false;
    };
    for (const Ball &b : part4_balls) {
        EXPECT_GE(b.x, 40);
        EXPECT_LE(b.x, 279);
        EXPECT_GE(b.y, 40);
        EXPECT_LE(b.y, 159);
        EXPECT_EQ(b.x, (float)(int)b.x);
        EXPECT_TRUE(is_speed(b.vx)) << b.vx;
        EXPECT_TRUE(is_speed(b.vy)) << b.vy;
    }
    part4_free();
}

TEST_F(Part4Test, BallsBounceByTheDistanceTheyWentPast)
{
    save_part4_pictures(40, 100, 200);
    load_part4();
    struct Case {
        Ball from;
        Ball to;
    };
    // One step of 10 time units.
    const Case cases[] = {
        {{275, 100, 1, 0}, {275, 100, -1, 0}},     // 285 -> 275
        {{270, 100, 1, 0}, {280, 100, -1, 0}},     // exactly 280 turns and stays
        {{45, 100, -1, 0}, {45, 100, 1, 0}},       // 35 -> 45
        {{50, 100, -1, 0}, {40, 100, -1, 0}},      // exactly 40 does not turn
        {{100, 195, 0, 1}, {100, 195, 0, -1}},     // 205 -> 195
        {{100, 190, 0, 1}, {100, 200, 0, -1}},
        {{100, 45, 0, -1}, {100, 45, 0, 1}},       // 35 -> 45
        {{278, 198, 0.5f, 0.5f}, {277, 197, -0.5f, -0.5f}},  // a corner: both turn
        {{100, 100, 0, 0}, {100, 100, 0, 0}},
    };
    const int n = (int)(sizeof cases / sizeof cases[0]);
    for (int i = 0; i < PART4_BALL_COUNT; i++)
        part4_balls[i] = i < n ? cases[i].from : Ball{160, 120, 0, 0};
    part4_move_balls(work_image_a->pixels, 10);
    for (int i = 0; i < n; i++) {
        const Ball &b = part4_balls[i], &w = cases[i].to;
        EXPECT_FLOAT_EQ(b.x, w.x) << i;
        EXPECT_FLOAT_EQ(b.y, w.y) << i;
        EXPECT_FLOAT_EQ(b.vx, w.vx) << i;
        EXPECT_FLOAT_EQ(b.vy, w.vy) << i;
    }
    part4_free();
}

TEST_F(Part4Test, BallsAreLaidInOrderSaturatingAtEachLay)
{
    save_part4_pictures(40, 100, 200);
    load_part4();
    // Balls 0 (raises) and 1 (digs) on one spot; the other 28 far away.
    for (int i = 0; i < PART4_BALL_COUNT; i++)
        part4_balls[i] = i < 2 ? Ball{250, 170, 0, 0} : Ball{50, 50, 0, 0};
    struct Case {
        int field, centre, at_d2_100;  // field before, after at the centre and 10 pixels off
    };
    const Case cases[] = {
        {127, 127, 127},  // equal strength: flat again
        {50, 50, 50},
        {200, 128, 151},  // +127 saturates at 255 before -127; +104 -> 255 - 104
        {255, 128, 151},
        {0, 0, 0},
        {20, 20, 20},
    };
    for (const Case &k : cases) {
        memset(work_image_a->pixels, k.field, 320 * 240);
        part4_move_balls(work_image_a->pixels, 7);
        EXPECT_EQ(work_image_a->pixels[170 * 320 + 250], k.centre) << k.field;
        EXPECT_EQ(work_image_a->pixels[176 * 320 + 258], k.at_d2_100) << k.field;
        EXPECT_EQ(work_image_a->pixels[170 * 320 + 150], k.field);  // outside every spot
    }
    // A raising ball alone: the spot added, 127 + 127 = 254 at the centre.
    part4_balls[1] = Ball{150, 100, 0, 0};
    memset(work_image_a->pixels, 127, 320 * 240);
    part4_move_balls(work_image_a->pixels, 7);
    EXPECT_EQ(work_image_a->pixels[170 * 320 + 250], 254);
    EXPECT_EQ(work_image_a->pixels[100 * 320 + 150], 0);  // and digging alone
    part4_free();
}

TEST_F(Part4Test, ReliefShiftAndBands)
{
    const int shifts[] = {6, 6, 5, 5, 4, 4, 3, 3, 2, 2, 1, 1, 0, 0};  // n - d = 0 .. 13
    for (int k = 0; k < 14; k++)
        EXPECT_EQ(part4_relief_shift(100 + k, 100), shifts[k]) << k;
    EXPECT_EQ(part4_relief_shift(5000, 91), 0);

    struct Band {
        int g, picture, level;
    };
    const Band bands[] = {
        {0, 1, 41}, {3, 1, 41}, {4, 1, 40}, {119, 1, 12}, {123, 1, 11}, {124, 0, -1}, {127, 0, -1},
        {130, 0, -1}, {131, 2, 10}, {132, 2, 11}, {255, 2, 41},
    };
    for (const Band &b : bands) {
        int level = -1;
        EXPECT_EQ(part4_band(b.g, &level), b.picture) << b.g;
        EXPECT_EQ(level, b.level) << b.g;
    }
}

// The rings of frame n at screen size, as the part draws them.
static std::vector<uint8_t> rings_of(int n)
{
    Image *field = nullptr, *ring = nullptr;
    image_create(&field, 106, 80);
    image_create(&ring, 320, 240);
    parts_draw_rings(field, ring, n);
    std::vector<uint8_t> out(ring->pixels, ring->pixels + 320 * 240);
    image_destroy(&field);
    image_destroy(&ring);
    return out;
}

TEST_F(Part4Test, FlatPictureUnderTheRingsThenTheReliefGrowsIn)
{
    save_part4_pictures(40, 100, 200);
    load_part4();
    recording_keep_frames = true;
    part4_run(work_image_b, 165);
    const std::string ops = recording_ops();
    ASSERT_EQ(ops[0], 'p');
    EXPECT_EQ(ops.find('p', 1), std::string::npos);
    EXPECT_NEAR((int)recording_frames.size(), 275, 1);  // 16.5 s at 60 ms
    const ShadeTable &t = part4_shade_table;
    // 5.5 s: the frames up to 5.4 s and the first one after are the flat
    // picture at the ring's level, pixel for pixel.
    const int flat_frames = 5500 / 60 + 1;
    for (int n : {0, 1, 50, flat_frames - 1, flat_frames}) {
        const std::vector<uint8_t> ring = rings_of(n);
        const std::vector<uint8_t> &f = recording_frames[(size_t)n];
        for (int p = 0; p < 320 * 240; p++)
            ASSERT_EQ(f[(size_t)p], t.level[ring[(size_t)p] >> 3][40]) << "frame " << n << " pixel " << p;
    }
    // From the twelfth frame of the relief on, dug and raised pictures show
    // at their levels 10 .. 41.
    int dug = 0, raised = 0;
    for (size_t n = (size_t)flat_frames + 12; n < recording_frames.size(); n += 20)
        for (int p = 0; p < 320 * 240; p += 7) {
            const uint8_t v = recording_frames[n][(size_t)p];
            for (int l = 10; l <= 41; l++) {
                dug += v == t.level[l][100];
                raised += v == t.level[l][200];
            }
        }
    EXPECT_GT(dug, 1000);
    EXPECT_GT(raised, 1000);
    part4_free();
    EXPECT_EQ(part4_spot, nullptr);
    EXPECT_EQ(part4_pictures[2], nullptr);
}

TEST_F(Part4Test, ShortRunShowsOnlyTheFlatPicture)
{
    save_part4_pictures(40, 100, 200);
    load_part4();
    recording_keep_frames = true;
    part4_run(work_image_b, 55);
    ASSERT_EQ(recording_frames.size(), 92u);  // 5.5 s at 60 ms and a little
    for (size_t n = 0; n < recording_frames.size(); n += 13) {
        const std::vector<uint8_t> ring = rings_of((int)n);
        for (int p = 0; p < 320 * 240; p += 3)
            ASSERT_EQ(recording_frames[n][(size_t)p], part4_shade_table.level[ring[(size_t)p] >> 3][40]);
    }
    part4_free();
}

TEST_F(Part4Test, PicturesOfTheWrongSizeOrPaletteAreRefused)
{
    const Palette grey = parts_test_grey_palette();
    Palette other = grey;
    other.rgb[3 * 7] = 99;
    struct Case {
        const char *path;
        int w, h;
        bool other_palette;
    };
    const Case cases[] = {
        {"grafika/4/news1.pcx", 319, 240, false}, {"grafika/3/eger2.pcx", 320, 241, false},
        {"grafika/3/eger3.pcx", 640, 480, false}, {"grafika/4/news1.pcx", 320, 240, true},
        {"grafika/3/eger2.pcx", 320, 240, true},
    };
    for (const Case &k : cases) {
        save_part4_pictures(40, 100, 200);
        parts_test_save_uniform(k.path, k.w, k.h, 50, k.other_palette ? other : grey);
        EXPECT_PART_EXIT(load_part4(), std::string("Cann't load image ") + k.path + " !");
    }
    save_part4_pictures(40, 100, 200);
    remove("grafika/3/eger3.pcx");
    EXPECT_PART_EXIT(load_part4(), "Cann't load image grafika/3/eger3.pcx !");
}
