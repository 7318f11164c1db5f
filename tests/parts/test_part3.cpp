// test_part3.cpp: part 3, the melting transition.
#include "parts_test.h"

#include <cstring>

using Part3Test = PartsTest;

TEST_F(Part3Test, SpotProfileIs63Minus4R)
{
    part3_load();
    ASSERT_EQ(part3_spot->width, 32);
    const uint8_t *p = part3_spot->pixels;
    for (int r = 0; r <= 15; r++) {
        EXPECT_EQ(p[16 * 32 + 16 + r], 63 - 4 * r) << r;
        EXPECT_EQ(p[(16 - r) * 32 + 16], 63 - 4 * r) << r;
    }
    EXPECT_EQ(p[16 * 32 + 0], 0);  // R = 16
    EXPECT_EQ(p[0], 0);
    for (int y = 1; y < 32; y++)
        for (int x = 1; x < 32; x++)
            ASSERT_EQ(p[y * 32 + x], p[(32 - y) * 32 + (32 - x)]);
    part3_free();
    EXPECT_EQ(part3_spot, nullptr);
}

TEST_F(Part3Test, FadeFollowsTheNumberOfFrames)
{
    EXPECT_EQ(part3_fade_for(27), 4);   // 45 frames: 255 / 45 - 1
    EXPECT_EQ(part3_fade_for(1), 254);  // one frame
    EXPECT_EQ(part3_fade_for(76), 1);   // 126 frames
    EXPECT_EQ(part3_fade_for(77), 0);   // 128 frames and more: only blurred
    EXPECT_EQ(part3_fade_for(1000), 0);
    // No frame to spread over: no division, and nothing would be shown.
    EXPECT_EQ(part3_fade_for(0), 255);
    EXPECT_EQ(part3_fade_for(-5), 255);
}

// A shade table whose row L shows every colour as index L, so the frame
// shows the level each pixel's light selects.
static void level_as_colour_table(void)
{
    for (int l = 0; l < 64; l++)
        memset(current_shade_table.level[l], l, 256);
}

TEST_F(Part3Test, LightFieldSelectsLevelsOneAboveAndClampsAt63)
{
    part3_load();
    // Spots of 255 within their radius: added ones saturate the field at
    // 255, taken ones at 0.
    for (int i = 0; i < 32 * 32; i++)
        if (part3_spot->pixels[i])
            part3_spot->pixels[i] = 255;
    level_as_colour_table();
    image_clear(work_image_b, 77);
    recording_keep_frames = true;
    part3_run(work_image_b, 1, 0);
    ASSERT_EQ(recording_frames.size(), 2u);  // 100 ms at 60 ms
    const std::vector<uint8_t> &f = recording_frames[0];
    int count[256] = {};
    for (uint8_t v : f)
        count[v]++;
    // Field 0 -> level 1, 128 -> 33, 255 -> 63 (not 64, past the table).
    EXPECT_GT(count[1], 0);
    EXPECT_GT(count[33], 0);
    EXPECT_GT(count[63], 0);
    EXPECT_EQ(count[1] + count[33] + count[63], 320 * 240);
    // The outermost pixels are never reached by a spot.
    for (int x = 0; x < 320; x++) {
        EXPECT_EQ(f[x], 1);
        EXPECT_EQ(f[239 * 320 + x], 1);
    }
    for (int y = 0; y < 240; y++) {
        EXPECT_EQ(f[y * 320], 1);
        EXPECT_EQ(f[y * 320 + 319], 1);
    }
    part3_free();
}

TEST_F(Part3Test, FirstFrameIsBuiltFromTheFrameItFindsAndNoPaletteIsSet)
{
    part3_load();
    // An identity shade table: every level shows the colour itself.
    for (int l = 0; l < 64; l++)
        for (int c = 0; c < 256; c++)
            current_shade_table.level[l][c] = (uint8_t)c;
    for (int i = 0; i < 320 * 240; i++)
        work_image_b->pixels[i] = (uint8_t)(i * 7 + i / 320);
    std::vector<uint8_t> before(work_image_b->pixels, work_image_b->pixels + 320 * 240);
    recording_keep_frames = true;
    part3_run(work_image_b, 27, 0);
    EXPECT_EQ(recording_ops(), std::string(45, 'f'));  // 2.7 s at 60 ms, no palette
    EXPECT_EQ(recording_frames[0], before);
    part3_free();
}

TEST_F(Part3Test, PictureSinksToTheSecondDarkestLevel)
{
    part3_load();
    memset(part3_spot->pixels, 0, 32 * 32);  // a flat field of 128
    level_as_colour_table();
    recording_keep_frames = true;
    part3_run(work_image_b, 27, 0);
    ASSERT_EQ(recording_frames.size(), 45u);
    const int centre = 120 * 320 + 160;
    EXPECT_EQ(recording_frames[0][centre], 33);
    // At least one level a frame (fade 4, and the blur truncates), never brighter, held at level 1.
    for (size_t k = 1; k < recording_frames.size(); k++)
        ASSERT_LE(recording_frames[k][centre], recording_frames[k - 1][centre]) << k;
    EXPECT_LE(recording_frames[10][centre], 33 - 8);
    for (uint8_t v : recording_frames[44])
        ASSERT_EQ(v, 1);
    part3_free();
}
