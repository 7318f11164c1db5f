// raster_test.cpp: the render target and the triangle fillers: exact row
// spans of known triangles, clipping at every edge, corner order, the
// attribute walk of the Gouraud fillers and the span-filler choice.
#include "test_target.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>

namespace {

std::array<ScreenTriangle, 6> all_orders(const ScreenTriangle &t)
{
    const int x[3] = {t.xa, t.xb, t.xc}, y[3] = {t.ya, t.yb, t.yc};
    const int perm[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    std::array<ScreenTriangle, 6> out;
    for (int i = 0; i < 6; i++)
        out[i] = screen_tri(x[perm[i][0]], y[perm[i][0]], x[perm[i][1]], y[perm[i][1]],
                            x[perm[i][2]], y[perm[i][2]]);
    return out;
}

void fill_flat(TestTarget &t, ScreenTriangle tri, unsigned colour = 9)
{
    t.clear(0);
    tri_fill_flat(&tri, colour);
}

}  // namespace

TEST(RenderTarget, RowPointersOnlyForRowsThatExist)
{
    TestTarget t;
    EXPECT_EQ(render_state.pixels, t.pixels());
    EXPECT_EQ(render_state.width, 320);
    EXPECT_EQ(render_state.height, 240);
    EXPECT_EQ(render_state.size, 320 * 240);
    EXPECT_EQ(render_state.end, t.pixels() + 320 * 240);
    EXPECT_EQ(render_state.rows[0], t.pixels());
    EXPECT_EQ(render_state.rows[239], t.pixels() + 239 * 320);
    EXPECT_EQ(render_state.rows[240], nullptr);
    EXPECT_EQ(render_state.rows[1023], nullptr);
}

TEST(RenderTarget, ZeroHeightOrTooTallTargetDrawsNothing)
{
    TestTarget t(16, 16);
    ScreenTriangle tri = screen_tri(-5, -5, 30, 0, 0, 30);
    render_set_target(t.pixels(), 16, 0);
    tri_fill_flat(&tri, 7);
    // A row table of 1024 rows cannot address 2000; nothing at all is drawn.
    render_set_target(t.pixels(), 1, 2000);
    tri_fill_flat(&tri, 7);
    render_set_target(t.pixels(), 0, 16);
    tri_fill_flat(&tri, 7);
    EXPECT_EQ(t.count_written(), 0);
    EXPECT_TRUE(t.guards_intact());
}

TEST(TriFillFlat, EmptyTrianglesDrawNothing)
{
    TestTarget t;
    fill_flat(t, screen_tri(10, 10, 50, 10, 90, 10));
    fill_flat(t, screen_tri(20, 20, 20, 20, 20, 20));
    EXPECT_EQ(t.count_written(), 0);
}

TEST(TriFillFlat, FlatTopRows)
{
    TestTarget t;
    fill_flat(t, screen_tri(10, 10, 20, 10, 15, 20));
    EXPECT_EQ(t.span(9), RowSpan(-1, -1));
    EXPECT_EQ(t.span(10), RowSpan(10, 20));
    EXPECT_EQ(t.span(11), RowSpan(10, 20));
    EXPECT_EQ(t.span(12), RowSpan(11, 19));
    EXPECT_EQ(t.span(18), RowSpan(14, 16));
    EXPECT_EQ(t.span(19), RowSpan(14, 16));
    EXPECT_EQ(t.span(20), RowSpan(-1, -1));
}

TEST(TriFillFlat, FlatBottomDrawsItsBottomRow)
{
    TestTarget t;
    fill_flat(t, screen_tri(10, 10, 5, 20, 15, 20));
    EXPECT_EQ(t.span(9), RowSpan(-1, -1));
    EXPECT_EQ(t.span(10), RowSpan(10, 10));
    EXPECT_EQ(t.span(11), RowSpan(9, 11));
    EXPECT_EQ(t.span(19), RowSpan(5, 15));
    EXPECT_EQ(t.span(20), RowSpan(5, 15));
    EXPECT_EQ(t.span(21), RowSpan(-1, -1));
}

TEST(TriFillFlat, GeneralTriangle)
{
    TestTarget t;
    fill_flat(t, screen_tri(10, 10, 12, 15, 20, 20));
    EXPECT_EQ(t.span(10), RowSpan(10, 10));
    EXPECT_EQ(t.span(15), RowSpan(11, 15));
    EXPECT_EQ(t.span(19), RowSpan(18, 19));
    EXPECT_EQ(t.span(20), RowSpan(-1, -1));
}

TEST(TriFillFlat, AllSixCornerOrdersWriteTheSamePixels)
{
    const ScreenTriangle cases[] = {
        screen_tri(10, 10, 20, 10, 15, 20), screen_tri(10, 10, 5, 20, 15, 20),
        screen_tri(10, 10, 12, 15, 20, 20), screen_tri(300, 0, 330, 10, 310, 20),
        screen_tri(-40, -30, 200, 100, 50, 300), screen_tri(0, -5, 10, -2, 5, 0),
    };
    TestTarget t;
    for (const ScreenTriangle &c : cases) {
        fill_flat(t, c);
        const std::vector<uint8_t> first = t.snapshot();
        EXPECT_GT(t.count_written(), 0);
        for (const ScreenTriangle &o : all_orders(c)) {
            fill_flat(t, o);
            EXPECT_EQ(t.snapshot(), first);
        }
    }
}

TEST(TriFillFlat, TopAboveTheScreenBottomOnRowZero)
{
    TestTarget t;
    fill_flat(t, screen_tri(0, -5, 10, -2, 5, 0));
    EXPECT_EQ(t.span(0), RowSpan(5, 5));
    EXPECT_EQ(t.count_written(), 1);
}

TEST(TriFillFlat, ColumnsBeyondTheRightEdgeAreCut)
{
    TestTarget t;
    fill_flat(t, screen_tri(300, 0, 330, 10, 310, 20));
    EXPECT_EQ(t.span(7), RowSpan(303, 319));
    EXPECT_EQ(t.span(16), RowSpan(308, 318));
    EXPECT_TRUE(t.guards_intact());
}

TEST(TriFillFlat, WhollyOutsideDrawsNothing)
{
    TestTarget t;
    fill_flat(t, screen_tri(-10, 0, -3, 10, -1, 5));
    fill_flat(t, screen_tri(320, 0, 400, 10, 330, 50));
    fill_flat(t, screen_tri(0, -50, 100, -1, 50, -20));
    fill_flat(t, screen_tri(0, 240, 100, 300, 50, 260));
    EXPECT_EQ(t.count_written(), 0);
}

TEST(TriFillFlat, RightEdgeBiasAndLeftEdgeFloor)
{
    TestTarget t;
    // Right edge 1/8 pixel per row: on row 1 it stands at 0.125 and reaches column 1.
    fill_flat(t, screen_tri(0, 0, 8, 64, 0, 64));
    EXPECT_EQ(t.span(0), RowSpan(0, 0));
    EXPECT_EQ(t.span(1), RowSpan(0, 1));
    // 1/9 pixel per row stays short of 0.125: row 1 ends at column 0.
    fill_flat(t, screen_tri(0, 0, 1, 9, 0, 9));
    EXPECT_EQ(t.span(1), RowSpan(0, 0));
    // Left edge from (10,0) to (0,20): half a pixel per row; row 1 stands
    // at 9.5 and starts in column 9.
    fill_flat(t, screen_tri(10, 0, 0, 20, 30, 20));
    EXPECT_EQ(t.span(1).first, 9);
    EXPECT_EQ(t.span(2).first, 9);
    EXPECT_EQ(t.span(3).first, 8);
}

TEST(TriFillFlat, MiddleBelowTheTargetDrawsTheTopHalfOnly)
{
    TestTarget t;
    fill_flat(t, screen_tri(100, 200, 150, 300, 120, 400));
    for (int y = 200; y < 240; y++)
        EXPECT_NE(t.span(y).first, -1) << y;
    EXPECT_EQ(t.span(199), RowSpan(-1, -1));
    EXPECT_TRUE(t.guards_intact());
}

TEST(TriFillFlat, LowByteOfColour)
{
    TestTarget t;
    fill_flat(t, screen_tri(10, 10, 20, 10, 15, 20), 0x1FF);
    EXPECT_EQ(t.at(15, 12), 0xFF);
}

// Clipping the top: a triangle from y = -10 draws what the same triangle
// ten rows lower draws from its row 10 on (n-row advance = n single steps).
TEST(TriFillers, TopClipEqualsSingleRowAdvances)
{
    static uint8_t tex[64 * 64];
    for (int i = 0; i < 64 * 64; i++)
        tex[i] = (uint8_t)(1 + (i % 64) + 7 * (i / 64));
    TriangleShading shade{10, 1, 90, 1, 40, 1};
    TexCoords uv{0, 0, 63, 10, 20, 63};
    // The middle corner below row 0, above it, and level with the top.
    const int middles[3] = {5, -3, -10};
    for (int m : middles) {
        ScreenTriangle up = screen_tri(5, -10, 100, m, 40, 20);
        ScreenTriangle low = screen_tri(5, 0, 100, m + 10, 40, 30);
        for (int filler = 0; filler < 3; filler++) {
            std::vector<uint8_t> img[2];
            for (int k = 0; k < 2; k++) {
                TestTarget t;
                const ScreenTriangle *tri = k ? &low : &up;
                if (filler == 0)
                    tri_fill_flat(tri, 7);
                else if (filler == 1)
                    tri_fill_gouraud(tri, &shade);
                else
                    tri_fill_affine(tex, 64, tri, &uv);
                img[k] = t.snapshot();
            }
            for (int y = 0; y < 21; y++)
                for (int x = 0; x < 320; x++)
                    ASSERT_EQ(img[0][y * 320 + x], img[1][(y + 10) * 320 + x])
                        << x << "," << y << " middle " << m << " filler " << filler;
            EXPECT_NE(img[0][10 * 320 + 40], 0);
        }
    }
}

TEST(TriFillGouraud, LeftClipStartsAtTheLevelOfColumnZero)
{
    TestTarget t;
    // Flat top from (-3,0) to (29,0) with levels 0 and 32, one level per
    // pixel: row 0's left end is column -3, so column 0 has level 3.
    ScreenTriangle tri = screen_tri(29, 0, -3, 0, -3, 32);
    TriangleShading shade{32, 1, 0, 1, 0, 1};
    tri_fill_gouraud(&tri, &shade);
    EXPECT_EQ(render_state.dlevel, 65536);
    for (int x = 0; x <= 29; x++)
        EXPECT_EQ(t.at(x, 0), 3 + x) << x;
    EXPECT_EQ(t.at(30, 0), 0);
}

TEST(TriFillGouraud, LevelInterpolatesAcrossTheTriangle)
{
    TestTarget t;
    // 64 rows: the reciprocal 1024 is exact, one level per column along
    // x and constant along y.
    ScreenTriangle tri = screen_tri(0, 0, 64, 0, 0, 64);
    TriangleShading shade{0, 1, 64, 1, 0, 1};
    tri_fill_gouraud(&tri, &shade);
    EXPECT_EQ(render_state.dlevel, 65536);
    EXPECT_EQ(t.at(1, 0), 1);
    EXPECT_EQ(t.at(64, 0), 64);
    EXPECT_EQ(t.at(20, 40), 20);
    EXPECT_EQ(t.at(24, 40), 24);
    EXPECT_EQ(t.at(25, 40), 0);
}

TEST(TriFillGouraud, SliverTakesTheShortEdgeReciprocal)
{
    TestTarget t;
    // Long edge 6552 and short edge 6553 per row apart by 1 <= r = 6553:
    // R = 6553 instead of 2^32 / -1.
    ScreenTriangle tri = screen_tri(0, 0, 1, 10, 2, 20);
    TriangleShading shade{0, 1, 10, 1, 0, 1};
    tri_fill_gouraud(&tri, &shade);
    // Bottom half: (0 - (0 - 10) x 6553) x 6553 >> 16.
    EXPECT_EQ(render_state.dlevel, (int32_t)(((int64_t)65530 * 6553) >> 16));
    EXPECT_TRUE(t.guards_intact());
}

TEST(TriFillGouraudShaded, WritesThroughTheTableAndClampsItsRows)
{
    TestTarget t;
    static ShadeTable table;
    for (int l = 0; l < 64; l++)
        for (int c = 0; c < 256; c++)
            table.level[l][c] = (uint8_t)(l + 1);
    ScreenTriangle tri = screen_tri(0, 0, 200, 0, 0, 10);
    // Levels well beyond 0..63 on both sides read rows 0 and 63 only.
    TriangleShading shade{-100, 1, 300, 1, -100, 1};
    tri_fill_gouraud_shaded(&tri, &shade, 5, &table);
    EXPECT_EQ(render_state.shade_table, &table);
    // Two levels per pixel through the truncated reciprocals: 131067.
    ASSERT_EQ(render_state.dlevel, 131067);
    for (int x = 0; x < 200; x++) {
        int level = (-100 * 65536 + x * 131067) >> 16;
        int row = std::clamp(level, 0, 63);
        ASSERT_EQ(t.at(x, 0), row + 1) << x;
    }
}

TEST(TriFillAffine, SpanChoiceByTextureWidth)
{
    TestTarget t;
    static uint8_t tex[256 * 256];
    ScreenTriangle tri = screen_tri(0, 0, 10, 0, 0, 10);
    TexCoords uv{0, 0, 10, 0, 0, 10};
    tri_fill_affine(tex, 100, &tri, &uv);
    EXPECT_EQ(render_state.span, &span_affine_any);
    EXPECT_EQ(render_state.texture_width, 100);
    tri_fill_affine(tex, 256, &tri, &uv);
    EXPECT_EQ(render_state.span, &span_affine_256);
    EXPECT_EQ(render_state.texture, tex);
    const int widths[6] = {256, 128, 64, 32, 16, 17};
    const SpanFiller shaded[6] = {span_affine_shaded_256, span_affine_shaded_128,
                                  span_affine_shaded_64, span_affine_shaded_32,
                                  span_affine_shaded_16, span_affine_shaded_any};
    const SpanFiller persp[6] = {span_perspective_256, span_perspective_128,
                                 span_perspective_64, span_perspective_32,
                                 span_perspective_16, span_perspective_any};
    const SpanFiller persp_shaded[6] = {
        span_perspective_shaded_256, span_perspective_shaded_128, span_perspective_shaded_64,
        span_perspective_shaded_32, span_perspective_shaded_16, span_perspective_shaded_any};
    TriangleShading shade{0, 100, 0, 100, 0, 100};
    static ShadeTable table;
    for (int i = 0; i < 6; i++) {
        tri_fill_affine_shaded(tex, widths[i], &tri, &uv, &shade, &table);
        EXPECT_EQ(render_state.span, shaded[i]);
        tri_fill_perspective(tex, widths[i], &tri, &uv, &shade);
        EXPECT_EQ(render_state.span, persp[i]);
        tri_fill_perspective_shaded(tex, widths[i], &tri, &uv, &shade, &table);
        EXPECT_EQ(render_state.span, persp_shaded[i]);
    }
    // The choice is made for a triangle on a single row too, not for one
    // wholly below the target.
    ScreenTriangle line = screen_tri(0, 5, 10, 5, 20, 5);
    tri_fill_affine(tex, 64, &line, &uv);
    EXPECT_EQ(render_state.span, &span_affine_64);
    ScreenTriangle below = screen_tri(0, 300, 10, 310, 20, 305);
    tri_fill_affine(tex, 32, &below, &uv);
    EXPECT_EQ(render_state.span, &span_affine_64);
}

TEST(TriFillAffine, MapsTexelsOneToOne)
{
    TestTarget t;
    static uint8_t tex[64 * 64];
    for (int v = 0; v < 64; v++)
        for (int u = 0; u < 64; u++)
            tex[v * 64 + u] = (uint8_t)((u + 7 * v) & 255);
    // Screen (10,20)-(74,20)-(10,84) carries texels (0,0)-(64,0)-(0,64).
    ScreenTriangle tri = screen_tri(10, 20, 74, 20, 10, 84);
    TexCoords uv{0, 0, 64, 0, 0, 64};
    tri_fill_affine(tex, 64, &tri, &uv);
    EXPECT_EQ(render_state.du, 65536);
    EXPECT_EQ(render_state.dv, 0);
    for (int y = 20; y < 50; y++)
        for (int x = 10; x < 40; x++)
            ASSERT_EQ(t.at(x, y), ((x - 10) + 7 * (y - 20)) & 255) << x << "," << y;
}

TEST(TriFillPerspective, CornerAtOrBehindTheEyeDrawsNothing)
{
    TestTarget t;
    static uint8_t tex[16 * 16];
    std::fill(tex, tex + sizeof tex, 3);
    ScreenTriangle tri = screen_tri(0, 0, 100, 0, 0, 100);
    TexCoords uv{0, 0, 15, 0, 0, 15};
    TriangleShading zero{0, 100, 0, 0, 0, 100};
    TriangleShading behind{0, 100, 0, 100, 0, -5};
    static ShadeTable table;
    tri_fill_perspective(tex, 16, &tri, &uv, &zero);
    tri_fill_perspective_shaded(tex, 16, &tri, &uv, &behind, &table);
    EXPECT_EQ(t.count_written(), 0);
    TriangleShading fine{0, 100, 0, 100, 0, 100};
    tri_fill_perspective(tex, 16, &tri, &uv, &fine);
    EXPECT_GT(t.count_written(), 4000);
}

// Every filler but the flat one walks its edges with the same truncated
// reciprocal, so all six cover the same pixels of a triangle.
TEST(TriFillers, ReciprocalFillersCoverTheSamePixels)
{
    static uint8_t tex[256 * 256];
    std::fill(tex, tex + sizeof tex, 1);
    static ShadeTable table;
    std::memset(&table, 1, sizeof table);
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> xs(-60, 380), ys(-60, 300);
    TestTarget t;
    for (int n = 0; n < 300; n++) {
        ScreenTriangle tri = screen_tri(xs(rng), ys(rng), xs(rng), ys(rng), xs(rng), ys(rng));
        TexCoords uv{0, 0, 255, 0, 0, 255};
        TriangleShading shade{10, 300, 10, 500, 10, 700};
        std::vector<uint8_t> cover[6];
        for (int f = 0; f < 6; f++) {
            t.clear(0);
            switch (f) {
            case 0: tri_fill_gouraud(&tri, &shade); break;
            case 1: tri_fill_gouraud_shaded(&tri, &shade, 3, &table); break;
            case 2: tri_fill_affine(tex, 256, &tri, &uv); break;
            case 3: tri_fill_affine_shaded(tex, 256, &tri, &uv, &shade, &table); break;
            case 4: tri_fill_perspective(tex, 256, &tri, &uv, &shade); break;
            case 5: tri_fill_perspective_shaded(tex, 256, &tri, &uv, &shade, &table); break;
            }
            cover[f] = t.snapshot();
            for (uint8_t &p : cover[f])
                p = p != 0;
        }
        for (int f = 1; f < 6; f++)
            ASSERT_EQ(cover[f], cover[0]) << "filler " << f << " triangle " << n;
    }
}

// Eight triangles fanned around a centre share their edges; the 0.875 bias
// on the right side means no pixel inside the octagon is left unwritten.
TEST(TriFillers, OctagonFanLeavesNoGaps)
{
    TestTarget t;
    const int cx = 160, cy = 120;
    int px[8], py[8];
    for (int i = 0; i < 8; i++) {
        double a = i * M_PI / 4 + 0.3;
        px[i] = cx + (int)std::lround(100 * std::cos(a));
        py[i] = cy + (int)std::lround(100 * std::sin(a));
    }
    for (int fill = 0; fill < 2; fill++) {
        t.clear(0);
        for (int i = 0; i < 8; i++) {
            int j = (i + 1) % 8;
            ScreenTriangle tri = screen_tri(cx, cy, px[i], py[i], px[j], py[j]);
            TriangleShading shade{5, 1, 5, 1, 5, 1};
            if (fill == 0)
                tri_fill_flat(&tri, 1 + i);
            else
                tri_fill_gouraud(&tri, &shade);
        }
        // A point at least one pixel inside every edge line is interior.
        for (int y = 0; y < 240; y++)
            for (int x = 0; x < 320; x++) {
                bool inside = true;
                for (int i = 0; i < 8 && inside; i++) {
                    int j = (i + 1) % 8;
                    double ex = px[j] - px[i], ey = py[j] - py[i];
                    double cross = ex * (y - py[i]) - ey * (x - px[i]);
                    double centre = ex * (cy - py[i]) - ey * (cx - px[i]);
                    inside = (centre > 0 ? cross : -cross) / std::hypot(ex, ey) > 1.0;
                }
                if (inside) {
                    ASSERT_NE(t.at(x, y), 0) << "gap at " << x << "," << y << " fill " << fill;
                }
            }
    }
}
