// test_part7.cpp: part 7, zooming text pages.
#include "parts_test.h"

#include <cstring>

using Part7Test = PartsTest;

// Pages of a 255 block (light 63) on 0, corner pictures of 64 x 48 in
// colour 9 with a transparent 0 border, and a colour picture of stripes.
static void save_part7_pictures(void)
{
    const Palette grey = parts_test_grey_palette();
    Image *img = nullptr;
    image_create(&img, 320, 240);
    for (int i = 1; i <= 4; i++) {
        image_clear(img, 0);
        for (int y = 60; y < 180; y++)
            memset(img->pixels + y * 320 + 40 * i, 255, 120);
        parts_test_save("grafika/txt-0" + std::to_string(i) + ".pcx", img, grey);
    }
    for (int i = 0; i < 320 * 240; i++)
        img->pixels[i] = (uint8_t)(16 + (i % 320) / 2);
    parts_test_save("grafika/4/3d_bb2.pcx", img, grey);
    image_destroy(&img);
    image_create(&img, 64, 48);
    for (int y = 1; y < 47; y++)
        memset(img->pixels + y * 64 + 1, 9, 62);
    for (const char *name : {"ja", "jf", "ba", "bf"})
        parts_test_save(std::string("grafika/5/kkol_") + name + ".pcx", img, grey);
    image_destroy(&img);
}

TEST_F(Part7Test, GridRestsOnEvenStepsOfScreenAndTexture)
{
    part7_build_grid();
    const int screen_x[10] = {0, 35, 71, 106, 142, 178, 213, 249, 285, 320};
    const int screen_y[8] = {0, 34, 68, 103, 137, 172, 206, 240};
    const int texture_x[10] = {0, 28, 57, 85, 114, 142, 171, 199, 228, 256};
    const int texture_y[8] = {0, 36, 73, 110, 146, 183, 220, 256};
    for (int r = 0; r < 8; r++)
        for (int c = 0; c < 10; c++) {
            const int i = r * 10 + c;
            EXPECT_EQ(part7_grid_screen[i].x, screen_x[c]) << c;
            EXPECT_EQ(part7_grid_screen[i].y, screen_y[r]) << r;
            EXPECT_EQ(part7_grid_texture[i].x, texture_x[c]) << c;
            EXPECT_EQ(part7_grid_texture[i].y, texture_y[r]) << r;
        }
}

TEST_F(Part7Test, InnerPointsSwayAndTheOuterRingStays)
{
    struct Case {
        int q;
        int dx[8], dy[6];  // columns 1..8, rows 1..6
    };
    const Case cases[] = {
        {0, {9, 18, 25, 30, 31, 30, 25, 18}, {29, 22, 12, 0, -13, -23}},
        {3200, {24, 24, 21, 16, 8, -2, -12, -21}, {-40, -30, -18, -6, 5, 12}},
        {11488, {19, 20, 19, 14, 6, -3, -13, -22}, {-3, 7, 13, 15, 13, 5}},
    };
    for (const Case &k : cases) {
        part7_sway_grid(k.q);
        for (int r = 0; r < 8; r++)
            for (int c = 0; c < 10; c++) {
                const PolygonPoint o = part7_grid_offset[r * 10 + c];
                const bool outer = r == 0 || r == 7 || c == 0 || c == 9;
                EXPECT_EQ(o.x, outer ? 0 : k.dx[c - 1]) << k.q << " " << c << "," << r;
                EXPECT_EQ(o.y, outer ? 0 : k.dy[r - 1]) << k.q << " " << c << "," << r;
            }
    }
}

TEST_F(Part7Test, PageBoxGrowsHoldsAndShrinks)
{
    struct Case {
        int d, page, w, h;
    };
    const Case cases[] = {
        {0, 0, 0, 0},       {1, 0, 11, 11},     {16, 0, 176, 176}, {17, 0, 187, 180},
        {19, 0, 209, 180},  {20, 0, 220, 180},  {33, 0, 220, 180}, {34, 0, 220, 180},
        {35, 0, 209, 180},  {38, 0, 176, 176},  {53, 0, 11, 11},   {54, 1, 0, 0},
        {128, 2, 220, 180}, {215, 3, 11, 11},
        {216, 3, 11, 11},   {-4, 0, 0, 0},  // outside the run: held inside it
    };
    for (const Case &k : cases) {
        int page = -1, w = -1, h = -1;
        part7_page_box(k.d, &page, &w, &h);
        EXPECT_EQ(page, k.page) << k.d;
        EXPECT_EQ(w, k.w) << k.d;
        EXPECT_EQ(h, k.h) << k.d;
    }
}

// Every pixel of the screen is drawn by some quad at every phase the run
// reaches and beyond, and no quad reads texels outside its own cell (a
// 32-bit texture step would overflow on the grid's narrowest spans).
TEST_F(Part7Test, GridCoversTheScreenAndEachQuadReadsItsOwnCell)
{
    part7_build_grid();
    Image *texture = nullptr, *screen = nullptr;
    ASSERT_EQ(image_create(&texture, 256, 256), 0);
    ASSERT_EQ(image_create(&screen, 320, 240), 0);
    // Texel value 1 + cell number: column band c, row band r.
    const int tx[10] = {0, 28, 57, 85, 114, 142, 171, 199, 228, 256};
    const int ty[8] = {0, 36, 73, 110, 146, 183, 220, 256};
    for (int v = 0; v < 256; v++)
        for (int u = 0; u < 256; u++) {
            int c = 0, r = 0;
            while (u >= tx[c + 1])
                c++;
            while (v >= ty[r + 1])
                r++;
            texture->pixels[v * 256 + u] = (uint8_t)(1 + c + 9 * r);
        }
    for (int q = 0; q < 32 * 1024; q += 32) {
        part7_sway_grid(q);
        image_clear(screen, 0);
        part7_draw_grid(screen, texture);
        for (int p = 0; p < 320 * 240; p++)
            ASSERT_NE(screen->pixels[p], 0) << "phase " << q << " pixel " << p % 320 << "," << p / 320;
    }
    // One quad at a time, at the phases of a whole run.
    ScanlineEdge left[240], right[240];
    for (int q = 0; q < 32 * 360; q += 32) {
        part7_sway_grid(q);
        for (int c = 0; c < 9; c++)
            for (int r = 0; r < 7; r++) {
                const int corner[4] = {r * 10 + c, r * 10 + c + 1, (r + 1) * 10 + c + 1, (r + 1) * 10 + c};
                PolygonPoint pts[4], uv[4];
                int x0 = 320, x1 = 0, y0 = 240, y1 = 0;
                for (int k = 0; k < 4; k++) {
                    const int i = corner[k];
                    pts[k] = {part7_grid_screen[i].x + part7_grid_offset[i].x,
                              part7_grid_screen[i].y + part7_grid_offset[i].y};
                    uv[k] = part7_grid_texture[i];
                    x0 = std::max(0, std::min(x0, pts[k].x));
                    x1 = std::min(320, std::max(x1, pts[k].x));
                    y0 = std::max(0, std::min(y0, pts[k].y));
                    y1 = std::min(240, std::max(y1, pts[k].y));
                }
                for (int y = y0; y < y1; y++)
                    memset(screen->pixels + y * 320 + x0, 0, (size_t)std::max(0, x1 - x0));
                poly_fill_textured(screen->pixels, 320, 240, left, right, pts, uv, 4, texture->pixels, 256, 256);
                // The cell itself, or the next one where u or v reaches its far edge.
                for (int y = y0; y < y1; y++)
                    for (int x = x0; x < x1; x++) {
                        const int v = screen->pixels[y * 320 + x];
                        if (v == 0)
                            continue;
                        const int dc = (v - 1) % 9 - c, dr = (v - 1) / 9 - r;
                        ASSERT_TRUE(dc >= 0 && dc <= 1 && dr >= 0 && dr <= 1)
                            << "phase " << q << " quad " << c << "," << r << " read cell " << v - 1;
                    }
            }
    }
    // The grid's worst span: at phase 928, row 69 of quad (8, 1) is one
    // pixel wide while v runs 37 texel rows across it; 37 x 65536 x 1024 is
    // past 2^31, so the filler's step must be wider than 32 bits (the
    // sanitizer build traps an overflow).
    part7_sway_grid(928);
    PolygonPoint pts[4], uv[4];
    const int corner[4] = {18, 19, 29, 28};
    for (int k = 0; k < 4; k++) {
        pts[k] = {part7_grid_screen[corner[k]].x + part7_grid_offset[corner[k]].x,
                  part7_grid_screen[corner[k]].y + part7_grid_offset[corner[k]].y};
        uv[k] = part7_grid_texture[corner[k]];
    }
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
    std::vector<int> shown;
    for (int f = 0; f < 5000; f++)
        shown.push_back(part7_step_corner());
    EXPECT_NE(shown[0], 0);  // the first draw cannot keep corner 0
    std::vector<int> runs;
    int seen[4] = {};
    size_t start = 0;
    for (size_t i = 1; i <= shown.size(); i++) {
        if (i == shown.size() || shown[i] != shown[start]) {
            runs.push_back((int)(i - start));
            seen[shown[start]]++;
            if (i < shown.size()) {
                EXPECT_NE(shown[i], shown[i - 1]);
            }
            start = i;
        }
    }
    runs.pop_back();  // the last run may be cut short
    int shortest = 99, longest = 0;
    for (int r : runs) {
        shortest = std::min(shortest, r);
        longest = std::max(longest, r);
    }
    EXPECT_EQ(shortest, 5);
    EXPECT_EQ(longest, 24);
    for (int c = 0; c < 4; c++)
        EXPECT_GT(seen[c], 40) << c;
}

// Text copied in, smeared with a fade of 2, glowing where it outshines its
// trail, then blurred: exact values around small marks on a dark layer.
TEST_F(Part7Test, LightLayerSmearsAndGlows)
{
    struct Case {
        const char *mark[3];
        int values[4][6];  // rows -1 .. 2, columns -2 .. 3 around the mark's corner
    };
    const Case cases[] = {
        {{"#", "", ""}, {{0, 0, 9, 1, 2, 0}, {2, 10, 41, 5, 0, 0}, {0, 1, 5, 1, 0, 0}, {0, 0, 0, 0, 0, 0}}},
        // A small blob glows past the last shade level, 63.
        {{"##", "###", ".#"},
         {{0, 1, 9, 10, 6, 6}, {4, 15, 57, 54, 23, 12}, {4, 15, 49, 64, 47, 15}, {1, 5, 17, 47, 13, 4}}},
    };
    static uint8_t light[320 * 240], text[320 * 240];
    for (const Case &k : cases) {
        memset(light, 0, sizeof light);
        memset(text, 0, sizeof text);
        for (int y = 0; y < 3; y++)
            for (int x = 0; k.mark[y][x]; x++)
                text[(120 + y) * 320 + 160 + x] = k.mark[y][x] == '#' ? 63 : 0;
        part7_light_layer(light, text);
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 6; x++)
                EXPECT_EQ(light[(119 + y) * 320 + 158 + x], k.values[y][x]) << k.mark[0] << " " << x - 2 << "," << y - 1;
    }
    // Without text the layer keeps a fading trail.
    memset(light, 40, sizeof light);
    memset(text, 0, sizeof text);
    part7_light_layer(light, text);
    EXPECT_EQ(light[0], 37);
    EXPECT_EQ(light[120 * 320 + 160], 34);
    EXPECT_EQ(light[320 * 240 - 1], 33);
}

TEST_F(Part7Test, RunsForItsDurationAndLightsThePictureThroughTheLayer)
{
    save_part7_pictures();
    part7_load();
    EXPECT_EQ(part7_pages[0]->pixels[120 * 320 + 100], 63);  // 255 >> 2
    EXPECT_EQ(part7_pages[0]->pixels[0], 0);
    EXPECT_EQ(part7_corner_positions[0].x, 256);  // bottom-right
    EXPECT_EQ(part7_corner_positions[0].y, 192);
    EXPECT_EQ(part7_corner_positions[1].y, 0);    // top-right
    EXPECT_EQ(part7_corner_positions[2].x, 0);    // bottom-left
    EXPECT_EQ(part7_corner_positions[3].x, 0);    // top-left
    memset(work_image_a->pixels, 200, 320 * 240);  // cleared by the run
    part7_corner = 0;
    part7_corner_frames = 0;
    recording_keep_frames = true;
    Image *frame = nullptr;
    ASSERT_EQ(image_create(&frame, 320, 240), 0);
    part7_run(frame);
    image_destroy(&frame);
    const std::string ops = recording_ops();
    EXPECT_EQ(ops, "p" + std::string(ops.size() - 1, 'f'));
    EXPECT_NEAR((int)recording_frames.size(), 360, 1);  // 21.6 s at 60 ms

    // The first frame: no text yet, the layer cleared: the colour layer at
    // level 0 everywhere but under the corner picture.
    bool level0[256] = {};
    for (int c = 0; c < 256; c++)
        level0[part7_shade_table.level[0][c]] = true;
    const std::vector<uint8_t> &first = recording_frames[0];
    int dark = 0;
    for (uint8_t v : first)
        dark += level0[v];
    EXPECT_GE(dark, 320 * 240 - 62 * 46);

    // The last frame is the last light layer over the last colour layer,
    // levels past 63 shown at 63, with the corner picture on top.
    const uint8_t *light = work_image_a->pixels, *colour = work_image_b->pixels;
    const std::vector<uint8_t> &last = recording_frames.back();
    const PolygonPoint at = part7_corner_positions[part7_corner];
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++) {
            const int p = y * 320 + x;
            const bool corner = x > at.x && x < at.x + 63 && y > at.y && y < at.y + 47;
            const int want = corner ? 9 : part7_shade_table.level[std::min<int>(light[p], 63)][colour[p]];
            ASSERT_EQ(last[(size_t)p], want) << x << "," << y;
        }
    part7_free();
    EXPECT_EQ(part7_texture, nullptr);
    EXPECT_EQ(part7_corners[3], nullptr);
}

TEST_F(Part7Test, MissingOrOversizedPicturesAreRefused)
{
    const Palette grey = parts_test_grey_palette();
    struct Case {
        const char *path;
        int w, h;  // 0: missing
    };
    const Case cases[] = {
        {"grafika/txt-03.pcx", 0, 0},     {"grafika/5/kkol_jf.pcx", 0, 0}, {"grafika/4/3d_bb2.pcx", 0, 0},
        {"grafika/5/kkol_ba.pcx", 321, 48}, {"grafika/5/kkol_bf.pcx", 64, 241},
        {"grafika/4/3d_bb2.pcx", 320, 239},
    };
    for (const Case &k : cases) {
        save_part7_pictures();
        if (k.w == 0) {
            std::remove(k.path);
        } else {
            parts_test_save_uniform(k.path, k.w, k.h, 9, grey);
        }
        EXPECT_PART_EXIT(part7_load(), std::string("Cann't load image ") + k.path + " !");
    }
    // The largest corner picture still fits.
    save_part7_pictures();
    parts_test_save_uniform("grafika/5/kkol_ja.pcx", 320, 240, 9, grey);
    part7_load();
    EXPECT_EQ(part7_corner_positions[0].x, 0);
    EXPECT_EQ(part7_corner_positions[0].y, 0);
    part7_free();
}
