// test_part7.cpp: part 7, zooming text pages.
#include "parts_test.h"

#include <algorithm>
#include <cstring>
#include <tuple>

using Part7Test = PartsTest;

// Pages of one index each, 100, 140, 180 and 220 (light 25, 35, 45 and
// 55), but for a last row of 99 (dark); corner pictures of 64 x 48 in colour
// 9 with a transparent 0 border; and a colour picture of stripes.
static void save_part7_pictures(void)
{
    const Palette grey = parts_test_grey_palette();
    Image *img = nullptr, *corner = nullptr;
    image_create(&img, 320, 240);
    for (int i = 1; i <= 4; i++) {
        for (int p = 0; p < 320 * 240; p++)
            img->pixels[p] = p / 320 == 239 ? 99 : (uint8_t)(60 + 40 * i);
        parts_test_save("grafika/txt-0" + std::to_string(i) + ".pcx", img, grey);
    }
    for (int p = 0; p < 320 * 240; p++)
        img->pixels[p] = (uint8_t)(16 + (p % 320) / 2);
    parts_test_save("grafika/4/3d_bb2.pcx", img, grey);
    image_create(&corner, 64, 48);
    image_clear(img, 9);
    blit_keyed(corner, 1, 1, img, 0, 0, 62, 46, 0, 0);
    for (const char *name : {"ja", "jf", "ba", "bf"})
        parts_test_save(std::string("grafika/5/kkol_") + name + ".pcx", corner, grey);
    image_destroy(&img);
    image_destroy(&corner);
}

// The grid's rest positions on the screen and in the texture.
static const int screen_x[10] = {0, 35, 71, 106, 142, 178, 213, 249, 285, 320};
static const int screen_y[8] = {0, 34, 68, 103, 137, 172, 206, 240};
static const int texture_x[10] = {0, 28, 57, 85, 114, 142, 171, 199, 228, 256};
static const int texture_y[8] = {0, 36, 73, 110, 146, 183, 220, 256};

TEST_F(Part7Test, GridRestsOnEvenStepsAndItsInnerPointsSway)
{
    part7_build_grid();
    for (int i = 0; i < 80; i++) {
        const PolygonPoint s = part7_grid_screen[i], t = part7_grid_texture[i];
        EXPECT_TRUE(s.x == screen_x[i % 10] && s.y == screen_y[i / 10]) << i;
        EXPECT_TRUE(t.x == texture_x[i % 10] && t.y == texture_y[i / 10]) << i;
    }
    struct Case {
        int q, dx[8], dy[6];  // columns 1..8, rows 1..6
    };
    const Case cases[] = {
        {0, {9, 18, 25, 30, 31, 30, 25, 18}, {29, 22, 12, 0, -13, -23}},
        {3200, {24, 24, 21, 16, 8, -2, -12, -21}, {-40, -30, -18, -6, 5, 12}},
    };
    for (const Case &k : cases) {
        part7_sway_grid(k.q);
        for (int i = 0; i < 80; i++) {
            const int c = i % 10, r = i / 10;
            const bool outer = r == 0 || r == 7 || c == 0 || c == 9;
            EXPECT_EQ(part7_grid_offset[i].x, outer ? 0 : k.dx[c - 1]) << k.q << " " << c << "," << r;
            EXPECT_EQ(part7_grid_offset[i].y, outer ? 0 : k.dy[r - 1]) << k.q << " " << c << "," << r;
        }
    }
}

// At rest every quad shows its own part of the texture: the screen column
// and row of a grid point show the texture column and row of that point.
// Every pixel of the screen is drawn at every phase the run reaches and
// beyond: the outer ring of points stays put.
TEST_F(Part7Test, GridMapsTheTextureAndCoversTheScreenAtEveryPhase)
{
    part7_build_grid();
    Image *texture = nullptr, *screen = nullptr;
    ASSERT_EQ(image_create(&texture, 256, 256), 0);
    ASSERT_EQ(image_create(&screen, 320, 240), 0);
    for (int axis = 0; axis < 2; axis++) {  // texels of their column, then of their row
        for (int p = 0; p < 256 * 256; p++)
            texture->pixels[p] = (uint8_t)(axis ? p / 256 : p % 256);
        part7_draw_grid(screen, texture);
        for (int c = 0; c < (axis ? 7 : 9); c++) {
            const int at = axis ? screen_y[c] * 320 + 100 : 100 * 320 + screen_x[c];
            EXPECT_EQ(screen->pixels[at], axis ? texture_y[c] : texture_x[c]) << "grid point " << c << " axis " << axis;
        }
    }
    image_clear(texture, 1);
    for (int q = 0; q < 32 * 1024; q += 32) {
        part7_sway_grid(q);
        image_clear(screen, 0);
        part7_draw_grid(screen, texture);
        for (int p = 0; p < 320 * 240; p++)
            ASSERT_NE(screen->pixels[p], 0) << "phase " << q << " pixel " << p % 320 << "," << p / 320;
    }
    // The grid's worst span: at phase 928, row 69 of quad (8, 1) is one
    // pixel wide while v runs 37 texel rows across it; 37 x 65536 x 1024 is
    // past 2^31, so the filler's steps must be wider than 32 bits (the
    // sanitizer build traps an overflow).
    part7_sway_grid(928);
    PolygonPoint pts[4], uv[4];
    const int corner[4] = {18, 19, 29, 28};
    for (int k = 0; k < 4; k++) {
        pts[k] = {part7_grid_screen[corner[k]].x + part7_grid_offset[corner[k]].x,
                  part7_grid_screen[corner[k]].y + part7_grid_offset[corner[k]].y};
        uv[k] = part7_grid_texture[corner[k]];
    }
    ScanlineEdge left[240], right[240];
    poly_fill_textured(screen->pixels, 320, 240, left, right, pts, uv, 4, texture->pixels, 256, 256);
    EXPECT_EQ(std::abs(left[69].x - right[69].x), 1);
    EXPECT_EQ(std::abs(left[69].b - right[69].b), 37 << 16);
    image_destroy(&texture);
    image_destroy(&screen);
}

TEST_F(Part7Test, CornerChangesEveryFiveToTwentyFourFramesNeverToItself)
{
    part7_corner = 0;
    part7_corner_frames = 0;
    int previous = 0, run = 0, shortest = 99, longest = 0, seen[4] = {};
    for (int f = 0; f < 5000; f++) {
        const int c = part7_step_corner();
        if (f > 0 && c == previous) {
            run++;
            continue;
        }
        EXPECT_NE(c, previous) << f;  // the first one too: corner 0 is where it starts
        if (f > 0) {
            shortest = std::min(shortest, run);
            longest = std::max(longest, run);
        }
        seen[c]++;
        previous = c;
        run = 1;
    }
    EXPECT_EQ(shortest, 5);
    EXPECT_EQ(longest, 24);
    for (int c = 0; c < 4; c++)
        EXPECT_GT(seen[c], 40) << c;
}

// Text copied in, smeared with a fade of 2, glowing where it outshines its
// trail, then blurred: exact values around marks on a dark layer.
TEST_F(Part7Test, LightLayerSmearsAndGlows)
{
    static uint8_t light[320 * 240], text[320 * 240];
    memset(light, 0, sizeof light);  // static: the same in every repeat of the test
    memset(text, 0, sizeof text);
    const int at = 120 * 320 + 160;
    // One pixel of text: rows 0 and 1, columns -2 .. 2.
    text[at] = 63;
    part7_light_layer(light, text);
    const int one[2][5] = {{2, 10, 41, 5, 0}, {0, 1, 5, 1, 0}};
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 5; x++)
            EXPECT_EQ(light[at + 320 * y + x - 2], one[y][x]) << x - 2 << "," << y;
    // A small blob glows past the last shade level: 64 at its middle.
    memset(light, 0, sizeof light);
    for (int d : {0, 1, 320, 321, 322, 641})
        text[at + d] = 63;
    part7_light_layer(light, text);
    EXPECT_EQ(light[at + 321], 64);
    // Without text the layer keeps a fading trail.
    memset(light, 40, sizeof light);
    memset(text, 0, sizeof text);
    part7_light_layer(light, text);
    EXPECT_TRUE(light[0] == 37 && light[at] == 34 && light[320 * 240 - 1] == 33);
}

// Each frame clears the texture and scales the page of its tenths d (page
// d / 54) into a box in the texture's middle: 11 pixels wider a tenth, held
// at 220 x 180, then narrower again; a smaller box leaves nothing of the
// larger one before it. Tenths outside the run are held inside it.
TEST_F(Part7Test, EachFrameDrawsItsPageBoxIntoAClearedTexture)
{
    save_part7_pictures();
    part7_load();
    for (int i = 0; i < 4; i++)  // indices above 99 read as light, p >> 2
        EXPECT_TRUE(part7_pages[i]->pixels[0] == 25 + 10 * i && part7_pages[i]->pixels[239 * 320] == 0) << i;
    Image *frame = nullptr;
    ASSERT_EQ(image_create(&frame, 320, 240), 0);
    // (tenths, page, width, height)
    const int cases[][4] = {{0, 0, 0, 0},      {1, 0, 11, 11},    {16, 0, 176, 176}, {17, 0, 187, 180},
                            {20, 0, 220, 180}, {33, 0, 220, 180}, {34, 0, 220, 180}, {35, 0, 209, 180},
                            {38, 0, 176, 176}, {53, 0, 11, 11},   {54, 1, 0, 0},     {128, 2, 220, 180},
                            {215, 3, 11, 11},  {216, 3, 11, 11},  {-4, 0, 0, 0}};
    for (const auto &k : cases) {
        part7_draw_frame(frame, k[0], 0);
        const int x0 = (256 - k[2]) / 2, y0 = (256 - k[3]) / 2, level = 25 + 10 * k[1];
        for (int p = 0; p < 256 * 256; p++) {
            const int x = p % 256, y = p / 256;
            const bool in = x >= x0 && x < x0 + k[2] && y >= y0 && y < y0 + k[3];
            ASSERT_EQ(part7_texture->pixels[p], in ? level : 0) << "tenths " << k[0] << " at " << x << "," << y;
        }
    }
    image_destroy(&frame);
    part7_free();
}

// The run starts from a dark light layer; every frame shows the middle of
// exactly one corner picture, at its corner; the first is not corner 0
// (bottom-right), and each stays 5 to 24 frames and gives way to another.
TEST_F(Part7Test, RunStartsDarkAndShowsOneCornerPictureAtATime)
{
    save_part7_pictures();
    part7_load();
    // Bottom-right, top-right, bottom-left, top-left.
    const int corners[4][2] = {{256, 192}, {256, 0}, {0, 192}, {0, 0}};
    memset(work_image_a->pixels, 200, 320 * 240);  // cleared by the run
    part7_corner = 0;
    part7_corner_frames = 0;
    recording_keep_frames = true;
    Image *frame = nullptr;
    ASSERT_EQ(image_create(&frame, 320, 240), 0);
    part7_run(frame);
    image_destroy(&frame);
    ASSERT_GT(recording_frames.size(), 300u);

    // The first frame: no text yet and the layer cleared, so level 0
    // everywhere but under the corner picture.
    bool level0[256] = {};
    for (int c = 0; c < 256; c++)
        level0[part7_shade_table.level[0][c]] = true;
    EXPECT_GE(std::count_if(recording_frames[0].begin(), recording_frames[0].end(), [&](uint8_t v) { return level0[v]; }),
              320 * 240 - 62 * 46);

    int previous = 0, run = 0;
    for (size_t n = 0; n < recording_frames.size(); n++) {
        int shown = -1, count = 0;
        for (int k = 0; k < 4; k++) {
            bool all = true;
            for (int p = 0; p < 62 * 46; p++)
                all = all && recording_frames[n][(size_t)((corners[k][1] + 1 + p / 62) * 320 + corners[k][0] + 1 + p % 62)] == 9;
            shown = all ? k : shown;
            count += all;
        }
        ASSERT_EQ(count, 1) << "frame " << n;
        if (n > 0 && shown == previous) {
            run++;
            continue;
        }
        ASSERT_NE(shown, previous) << "frame " << n;
        ASSERT_TRUE(n == 0 || (run >= 5 && run <= 24)) << "frame " << n << " after " << run;
        previous = shown;
        run = 1;
    }
    part7_free();
    EXPECT_EQ(part7_texture, nullptr);
    EXPECT_EQ(part7_corners[3], nullptr);
}

TEST_F(Part7Test, MissingOrOversizedPicturesAreRefused)
{
    const Palette grey = parts_test_grey_palette();
    // (path, width, height): 0 x 0 is a missing file.
    const std::tuple<const char *, int, int> cases[] = {
        {"grafika/txt-03.pcx", 0, 0},       {"grafika/5/kkol_jf.pcx", 0, 0},    {"grafika/4/3d_bb2.pcx", 0, 0},
        {"grafika/5/kkol_ba.pcx", 321, 48}, {"grafika/5/kkol_bf.pcx", 64, 241}, {"grafika/4/3d_bb2.pcx", 320, 239}};
    for (const auto &[path, w, h] : cases) {
        save_part7_pictures();
        if (w == 0)
            std::remove(path);
        else
            parts_test_save_uniform(path, w, h, 9, grey);
        EXPECT_PART_EXIT(part7_load(), std::string("Cann't load image ") + path + " !");
    }
    // The largest corner picture still fits.
    save_part7_pictures();
    parts_test_save_uniform("grafika/5/kkol_ja.pcx", 320, 240, 9, grey);
    part7_load();
    EXPECT_EQ(part7_corner_positions[0].x, 0);
    EXPECT_EQ(part7_corner_positions[0].y, 0);
    part7_free();
}
