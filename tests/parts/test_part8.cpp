// test_part8.cpp: part 8, the closing picture fade.
#include "parts_test.h"

#include <cstring>

using Part8Test = PartsTest;

// A picture whose palette entry i is (i, 255 - i, 255) and whose pixels
// run through all indices.
static Palette save_fade_picture(const char *path)
{
    Palette pal;
    for (int i = 0; i < 256; i++) {
        pal.rgb[3 * i] = (uint8_t)i;
        pal.rgb[3 * i + 1] = (uint8_t)(255 - i);
        pal.rgb[3 * i + 2] = 255;
    }
    Image *img = nullptr;
    image_create(&img, 320, 240);
    for (int i = 0; i < 320 * 240; i++)
        img->pixels[i] = (uint8_t)(i % 251);
    parts_test_save(path, img, pal);
    image_destroy(&img);
    return pal;
}

TEST_F(Part8Test, FadeTwentyHoldTwentyShowsSixtyPairs)
{
    const Palette pal = save_fade_picture("grafika/5/grimfall.pcx");
    recording_keep_frames = true;
    part8_run(work_image_b, 20, 20, "grafika/5/grimfall.pcx");
    std::string pairs;
    for (int i = 0; i < 60; i++)
        pairs += "pf";
    EXPECT_EQ(recording_ops(), pairs);
    ASSERT_EQ(recording_frame_palettes.size(), 60u);
    const int step = 65536 / 20;  // 3276
    auto shown = [&](int frame, int entry, int c) { return (int)recording_frame_palettes[frame].rgb[3 * entry + c]; };
    for (int e = 0; e < 256; e += 17)
        for (int c = 0; c < 3; c++) {
            const int v = pal.rgb[3 * e + c];
            for (int k = 0; k < 20; k++)
                ASSERT_EQ(shown(k, e, c), (v * k * step) >> 16) << "fade-in " << k;
            for (int k = 20; k < 40; k++)
                ASSERT_EQ(shown(k, e, c), (v * 19 * step) >> 16) << "hold " << k;
            for (int j = 0; j < 20; j++)
                ASSERT_EQ(shown(40 + j, e, c), (v * (20 - j) * step) >> 16) << "fade-out " << j;
        }
    // Component 255: 0, 12, 25 ... 242 in, 242 held, 254 ... 12 out.
    EXPECT_EQ(shown(0, 0, 2), 0);
    EXPECT_EQ(shown(1, 0, 2), 12);
    EXPECT_EQ(shown(19, 0, 2), 242);
    EXPECT_EQ(shown(39, 0, 2), 242);
    EXPECT_EQ(shown(40, 0, 2), 254);
    EXPECT_EQ(shown(59, 0, 2), 12);
    for (int i = 0; i < 768; i++)
        ASSERT_EQ(recording_frame_palettes[0].rgb[i], 0);
    // The frame is the picture, the same in every frame.
    for (const std::vector<uint8_t> &f : recording_frames)
        ASSERT_EQ(f, recording_frames[0]);
    EXPECT_EQ(recording_frames[0][1000], 1000 % 251);
    EXPECT_EQ(part8_picture, nullptr);
}

TEST_F(Part8Test, HoldZeroShowsTheBrightestPaletteOnce)
{
    save_fade_picture("pic.pcx");
    recording_keep_frames = true;
    part8_run(work_image_b, 4, 0, "pic.pcx");
    ASSERT_EQ(recording_frame_palettes.size(), 8u);
    // Entry 0's blue (255) over the frames: 0, 63, 127, 191, then 255, 191, 127, 63.
    const int want[8] = {0, 63, 127, 191, 255, 191, 127, 63};
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(recording_frame_palettes[i].rgb[2], want[i]) << i;
}

TEST_F(Part8Test, FadeOneShowsBlackThenThePaletteItself)
{
    const Palette pal = save_fade_picture("pic.pcx");
    recording_keep_frames = true;
    part8_run(work_image_b, 1, 2, "pic.pcx");
    ASSERT_EQ(recording_frame_palettes.size(), 4u);
    for (int i = 0; i < 768; i++) {
        ASSERT_EQ(recording_frame_palettes[0].rgb[i], 0);
        ASSERT_EQ(recording_frame_palettes[2].rgb[i], 0);  // held: the last fade-in frame
        ASSERT_EQ(recording_frame_palettes[3].rgb[i], pal.rgb[i]);
    }
}

TEST_F(Part8Test, FadeZeroOnlyHoldsAndDividesByNothing)
{
    save_fade_picture("pic.pcx");
    memset(&current_palette, 0, sizeof current_palette);
    part8_run(work_image_b, 0, 3, "pic.pcx");
    EXPECT_EQ(recording_ops(), "pfpfpf");
    for (int i = 0; i < 768; i++)
        ASSERT_EQ(recording_palette.rgb[i], 0);
    recording_reset();
    part8_run(work_image_b, 0, 0, "pic.pcx");
    EXPECT_EQ(recording_ops(), "");
}

TEST_F(Part8Test, FramesFollowEvery50Ms)
{
    save_fade_picture("pic.pcx");
    virtual_clock_set_ms(1000);
    part8_run(work_image_b, 20, 20, "pic.pcx");
    // 60 frames: the last wait ends 60 x 50 ms after the start.
    EXPECT_GE(virtual_clock_us / 1000, 1000 + 3000);
    EXPECT_LT(virtual_clock_us / 1000, 1000 + 3010);
}

TEST_F(Part8Test, MissingOrMisSizedPictureTakesTheFatalPath)
{
    EXPECT_PART_EXIT(part8_run(work_image_b, 20, 20, "grafika/5/none.pcx"),
                     "Cann't load image grafika/5/none.pcx !");
    parts_test_save_uniform("small.pcx", 32, 24, 3, parts_test_grey_palette());
    EXPECT_PART_EXIT(part8_run(work_image_b, 20, 20, "small.pcx"), "Cann't load image small.pcx !");
}
