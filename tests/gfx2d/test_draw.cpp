// Drawing primitives: the worked line cases, direction symmetry, clipping
// against a step-by-step reference walk, triangles, quads, rectangles,
// spans and circles.
#include "gfx2d_test.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <utility>

namespace {

using Pixels = std::set<std::pair<int, int>>;

Pixels drawn(GuardedImage &g)
{
    Pixels p;
    for (int y = 0; y < g->height; y++)
        for (int x = 0; x < g->width; x++)
            if (g.at(x, y))
                p.insert({x, y});
    return p;
}

Pixels line_pixels(int w, int h, int x0, int y0, int x1, int y1)
{
    GuardedImage g(w, h);
    draw_line(g.get(), x0, y0, x1, y1, 1);
    EXPECT_TRUE(g.guards_intact());
    return drawn(g);
}

TEST(DrawLine, WorkedCases)
{
    EXPECT_EQ(line_pixels(16, 16, 5, 5, 5, 5), (Pixels{{5, 5}}));
    EXPECT_EQ(line_pixels(16, 16, 0, 0, 3, 0), (Pixels{{0, 0}, {1, 0}, {2, 0}}));
    EXPECT_EQ(line_pixels(16, 16, 0, 0, 0, -3), (Pixels{{0, 0}}));
    EXPECT_EQ(line_pixels(320, 240, -10, -10, -1, 300), Pixels{});
    EXPECT_EQ(line_pixels(16, 16, 0, 0, 4, 2), (Pixels{{0, 0}, {1, 1}, {2, 1}, {3, 2}}));
    EXPECT_EQ(line_pixels(16, 16, 4, 2, 0, 0), (Pixels{{4, 2}, {3, 2}, {2, 1}, {1, 1}}));
    // A line whose clipped end rounds to a row outside: from (0, 239) the
    // walk heads far left; only the one pixel inside is drawn.
    // Here the row clip throws the start from x = 0 to x = 1087, far past
    // the end at x = 14: the columns beyond the line's own are not drawn.
    EXPECT_EQ(line_pixels(37, 23, -15211, -14, 14, 0), Pixels{});
    EXPECT_EQ(line_pixels(320, 240, -20000, 239, 12000, 240), (Pixels{{0, 239}}));
}

TEST(DrawLine, BothDirectionsDrawTheSamePixelsBetweenTheEnds)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> ux(0, 39), uy(0, 29);
    for (int i = 0; i < 2000; i++) {
        const int x0 = ux(rng), y0 = uy(rng), x1 = ux(rng), y1 = uy(rng);
        if (x0 == x1 && y0 == y1)
            continue;
        Pixels a = line_pixels(40, 30, x0, y0, x1, y1), b = line_pixels(40, 30, x1, y1, x0, y0);
        ASSERT_EQ(a.count({x1, y1}), 0u);
        ASSERT_EQ(b.count({x0, y0}), 0u);
        a.insert({x1, y1});
        b.insert({x0, y0});
        ASSERT_EQ(a, b) << x0 << "," << y0 << " " << x1 << "," << y1;
    }
}

// The plain reading of the line: clip in 16.16 (values here stay inside 32
// bits), then walk every Bresenham step and plot the steps inside the image
// and within the line's own columns.
void reference_line(GuardedImage &g, int64_t x0, int64_t y0, int64_t x1, int64_t y1)
{
    const int64_t W = g->width, H = g->height;
    const int64_t col_min = std::min(x0, x1), col_max = std::max(x0, x1);
    auto outside = [&] {
        return (x0 < 0 && x1 < 0) || (y0 < 0 && y1 < 0) || (x0 >= W && x1 >= W) ||
               (y0 >= H && y1 >= H);
    };
    if (outside())
        return;
    int64_t dx = x1 - x0, dy = y1 - y0;
    if (dy == 0) {
        x0 = std::clamp<int64_t>(x0, 0, W - 1), x1 = std::clamp<int64_t>(x1, 0, W - 1);
    } else if (dx == 0) {
        y0 = std::clamp<int64_t>(y0, 0, H - 1), y1 = std::clamp<int64_t>(y1, 0, H - 1);
    } else {
        const int64_t s = dy * 65536 / dx, is = dx * 65536 / dy;
        for (int64_t *px : {&x0, &x1}) {
            int64_t *py = px == &x0 ? &y0 : &y1;
            if (*px < 0) *py += (-*px * s) >> 16, *px = 0;
            if (*px > W - 1) *py -= ((*px - (W - 1)) * s) >> 16, *px = W - 1;
        }
        for (int64_t *py : {&y0, &y1}) {
            int64_t *px = py == &y0 ? &x0 : &x1;
            if (*py < 0) *px += (-*py * is) >> 16, *py = 0;
            if (*py > H - 1) *px -= ((*py - (H - 1)) * is) >> 16, *py = H - 1;
        }
    }
    if (outside())
        return;
    dx = x1 - x0, dy = y1 - y0;
    auto plot = [&](int64_t x, int64_t y) {
        if (x >= 0 && x < W && y >= 0 && y < H && x >= col_min && x <= col_max)
            g.at((int)x, (int)y) = 1;
    };
    if (dx == 0 && dy == 0)
        return plot(x0, y0);
    const int64_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1, adx = std::abs(dx), ady = std::abs(dy);
    int64_t x = x0, y = y0;
    if (adx > ady) {
        int64_t e = 2 * ady - adx;
        for (int64_t k = 0; k < adx; k++) {
            plot(x, y);
            if (sx > 0 ? e >= 0 : e > 0) y += sy, e -= 2 * adx;
            e += 2 * ady, x += sx;
        }
    } else {
        int64_t e = 2 * adx - ady;
        for (int64_t k = 0; k < ady; k++) {
            plot(x, y);
            if (sy > 0 ? e >= 0 : e > 0) x += sx, e -= 2 * ady;
            e += 2 * adx, y += sy;
        }
    }
}

// Ends anywhere within the 32-bit limits of the clipping (differences below
// 32768): the line writes exactly the inside pixels of the full walk.
TEST(DrawLine, ClippedLinesMatchTheFullWalk)
{
    std::mt19937 rng(11);
    const int sizes[][2] = {{320, 240}, {17, 9}, {1, 1}, {5, 40}};
    for (const auto &sz : sizes) {
        const int count = sz[0] * sz[1] > 10000 ? 300 : 1500;  // fewer on the full frame
        for (int i = 0; i < count; i++) {
            std::uniform_int_distribution<int> near(-60, 380), far(-16000, 16000);
            auto pick = [&] { return (i % 3 == 0) ? far(rng) : near(rng) * sz[0] / 320; };
            const int x0 = pick(), y0 = pick(), x1 = pick(), y1 = pick();
            GuardedImage got(sz[0], sz[1]), want(sz[0], sz[1]);
            draw_line(got.get(), x0, y0, x1, y1, 1);
            reference_line(want, x0, y0, x1, y1);
            ASSERT_TRUE(got.guards_intact());
            ASSERT_TRUE(memcmp(got->pixels, want->pixels, (size_t)sz[0] * sz[1]) == 0)
                << x0 << "," << y0 << " " << x1 << "," << y1 << "\n"
                << got.mask() << "\n" << want.mask();
        }
    }
}

// Steep and far lines whose clipping products overflow 32 bits: nothing is
// written outside and every pixel lies near the true segment.
TEST(DrawLine, FarEndsStayNearTheSegment)
{
    const int cases[][4] = {
        {-200, -30000, 1, 300},   {-200, 0, -199, 300},  {-200, -100, 10, 30000},
        {-40000, 5, 40000, 7},    {5, -40000, 9, 40000}, {-40000, -40000, 40000, 40000},
        {319, 239, -32767, 32767}, {-2147483647, 3, 2147483647, 4},
        {3, -2147483647 - 1, 4, 2147483647}, {-2147483647, -2147483647, 2147483647, 2147483647},
    };
    for (const auto &c : cases) {
        GuardedImage g(64, 48);
        draw_line(g.get(), c[0], c[1], c[2], c[3], 1);
        ASSERT_TRUE(g.guards_intact());
        for (const auto &p : drawn(g))
            EXPECT_LE(distance_to_segment(p.first, p.second, c[0], c[1], c[2], c[3]), 2.0)
                << c[0] << "," << c[1] << " " << c[2] << "," << c[3];
    }
}

TEST(DrawTriangle, OutlineLeavesTheLastCornerOpen)
{
    GuardedImage g(16, 16);
    draw_triangle_outline(g.get(), 0, 0, 10, 0, 0, 10, 3);
    EXPECT_EQ(g.at(0, 10), 0);
    EXPECT_EQ(g.at(0, 9), 3);
    EXPECT_EQ(g.at(9, 0), 3);
    EXPECT_EQ(g.at(10, 0), 3);  // reached by the line from (10, 0) to (0, 10)
}

TEST(DrawTriangle, FilledRowsAndSpans)
{
    GuardedImage g(8, 6);
    draw_triangle_filled(g.get(), 1, 0, 6, 4, 1, 4, 0x107);
    EXPECT_EQ(g.mask(), rows({
                            ".#......",
                            ".##.....",
                            ".###....",
                            ".####...",
                            ".######.",
                            "........",
                        }));
    EXPECT_EQ(g.at(1, 0), 7);
    // All three corners on one row: only the top and lowest corners' pixels.
    GuardedImage flat(8, 2);
    draw_triangle_filled(flat.get(), 5, 1, 2, 1, 0, 1, 1);
    EXPECT_EQ(flat.mask(), rows({"........", "#....#.."}));
}

TEST(DrawTriangle, FilledIsCutToTheImage)
{
    GuardedImage g(10, 8);
    draw_triangle_filled(g.get(), -50, -40, 60, 3, -5, 70, 1);
    EXPECT_TRUE(g.guards_intact());
    EXPECT_GT(g.count_nonzero(), 0);
    GuardedImage h(10, 8);
    draw_triangle_filled(h.get(), -2147483647, -2147483647, 2147483647, 5, 0, 2147483647, 1);
    draw_triangle_filled(h.get(), 20, 20, 30, 20, 25, 40, 1);
    draw_hspan(h.get(), -2147483647, 3, 2147483647, 2);
    draw_hspan(h.get(), 2, -1, 5, 2);
    draw_hspan(h.get(), 2, 8, 5, 2);
    EXPECT_TRUE(h.guards_intact());
    for (int x = 0; x < 10; x++)
        EXPECT_EQ(h.at(x, 3), 2);
}

TEST(DrawQuad, OutlineDrawsTheDiagonalAndFilledCoversTheQuad)
{
    GuardedImage g(8, 8);
    draw_quad(g.get(), 1, 1, 6, 1, 6, 6, 1, 6, 1, 1);
    EXPECT_EQ(g.mask(), rows({
                            "........",
                            ".######.",
                            ".##...#.",
                            ".#.#..#.",
                            ".#..#.#.",
                            ".#...##.",
                            "..#####.",  // (1, 6) ends both lines that reach it
                            "........",
                        }));
    GuardedImage f(8, 8);
    draw_quad(f.get(), -5, -5, 100, -5, 100, 100, -5, 100, 2, 0);
    EXPECT_EQ(f.count_nonzero(), 64);
    // Degenerate triangles (all x or all y equal) are skipped.
    GuardedImage d(8, 8);
    draw_quad(d.get(), 2, 2, 2, 5, 2, 7, 2, 0, 1, 0);
    EXPECT_EQ(d.count_nonzero(), 0);
}

TEST(DrawRect, ClampsToTheImageAndExcludesTheFarCorner)
{
    GuardedImage g(6, 5);
    draw_rect_filled(g.get(), 4, 3, 1, 1, 9);
    EXPECT_EQ(g.mask(), rows({"......", ".###..", ".###..", "......", "......"}));
    GuardedImage e(6, 5);
    draw_rect_filled(e.get(), 3, 0, 3, 5, 9);
    EXPECT_EQ(e.count_nonzero(), 0);
    GuardedImage full(320, 240);
    draw_rect_filled(full.get(), -5, -5, 500, 500, 9);
    EXPECT_EQ(full.count_nonzero(), 320 * 240);
    EXPECT_TRUE(full.guards_intact());
}

TEST(DrawHspan, BothEndsIncludedInEitherOrder)
{
    GuardedImage g(8, 2);
    draw_hspan(g.get(), 5, 1, 2, 4);
    EXPECT_EQ(g.mask(), rows({"........", "..####.."}));
}

TEST(DrawCircle, SmallRadii)
{
    GuardedImage g(5, 5);
    draw_circle(g.get(), 2, 2, 0, 1);
    EXPECT_EQ(g.mask(), rows({".....", ".....", "..#..", ".....", "....."}));
    GuardedImage h(5, 5);
    draw_circle(h.get(), 2, 2, 1, 1);
    EXPECT_EQ(h.mask(), rows({".....", "..#..", ".#.#.", "..#..", "....."}));
    GuardedImage n(5, 5);
    draw_circle(n.get(), 2, 2, -3, 1);
    EXPECT_EQ(n.count_nonzero(), 0);
}

TEST(DrawCircle, AddNeverAddsTwiceAndPartialCirclesAreCut)
{
    for (int r = 0; r < 40; r++) {
        GuardedImage set(100, 100), add(100, 100);
        draw_circle(set.get(), 50, 50, r, 1);
        draw_circle_add(add.get(), 50, 50, r, 0x101);
        ASSERT_EQ(memcmp(set->pixels, add->pixels, 100 * 100), 0) << "radius " << r;
    }
    GuardedImage g(20, 20);
    draw_circle(g.get(), 0, 19, 30, 5);
    draw_circle(g.get(), -2147483647, 5, 2147483647, 5);
    draw_circle_add(g.get(), 10, 10, 2147483647, 5);
    EXPECT_TRUE(g.guards_intact());
    GuardedImage r5(11, 11);
    draw_circle(r5.get(), 5, 5, 5, 1);
    EXPECT_EQ(r5.mask(), rows({
                             "...#####...",
                             "..#.....#..",
                             ".#.......#.",
                             "#.........#",
                             "#.........#",
                             "#.........#",
                             "#.........#",
                             "#.........#",
                             ".#.......#.",
                             "..#.....#..",
                             "...#####...",
                         }));
}

// The plain walk over every step, plotting the points inside.
void reference_circle(GuardedImage &g, int64_t cx, int64_t cy, int64_t r)
{
    auto plot = [&](int64_t px, int64_t py) {
        if (px >= 0 && px < g->width && py >= 0 && py < g->height)
            g.at((int)px, (int)py) += 1;
    };
    int64_t x = 0, y = r, d = 1 - r, dE = 3, dSE = 5 - 2 * r;
    do {
        plot(cx + x, cy + y);
        if (x) plot(cx - x, cy + y);
        if (y) plot(cx + x, cy - y);
        if (x && y) plot(cx - x, cy - y);
        if (x != y) {
            plot(cx + y, cy + x);
            if (x) plot(cx + y, cy - x);
            if (y) plot(cx - y, cy + x);
            if (x && y) plot(cx - y, cy - x);
        }
        if (d < 0) d += dE, dE += 2, dSE += 2;
        else d += dSE, dE += 2, dSE += 4, y -= 1;
        x += 1;
    } while (x <= y);
}

// Circles far larger than the image, centred anywhere: the parts inside
// match the full walk pixel for pixel.
TEST(DrawCircle, LargeCirclesMatchTheFullWalk)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> radius(0, 5000), centre(-5000, 5000);
    for (int i = 0; i < 600; i++) {
        const int r = i < 100 ? i : radius(rng);
        const int cx = i < 100 ? 20 : centre(rng), cy = i < 100 ? 12 : centre(rng);
        GuardedImage got(40, 25), want(40, 25);
        draw_circle_add(got.get(), cx, cy, r, 1);
        reference_circle(want, cx, cy, r);
        ASSERT_TRUE(memcmp(got->pixels, want->pixels, 40 * 25) == 0)
            << cx << "," << cy << " r " << r << "\n" << got.mask() << "\n" << want.mask();
    }
}

}  // namespace
