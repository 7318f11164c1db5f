// Convex polygon fillers: windings, the never-drawn bottom row and right
// column, exact texture reproduction, wrapping, clipping, the Gouraud and
// shade-table fillers, and textures read only inside.
#include "gfx2d_test.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace {

// A destination buffer with exactly sized edge tables, so a table overrun
// shows under the address sanitizer.
struct PolyTarget {
    GuardedImage img;
    std::vector<ScanlineEdge> e1, e2;
    PolyTarget(int w, int h) : img(w, h), e1(h), e2(h) {}
    uint8_t *px() { return img->pixels; }
    int w() { return img->width; }
    int h() { return img->height; }
};

std::vector<PolygonPoint> reversed(std::vector<PolygonPoint> p)
{
    std::reverse(p.begin(), p.end());
    return p;
}

void flat(PolyTarget &t, const std::vector<PolygonPoint> &p, unsigned colour = 1)
{
    poly_fill_flat(t.px(), t.w(), t.h(), t.e1.data(), t.e2.data(), p.data(), (int)p.size(), colour);
}

void textured(PolyTarget &t, const std::vector<PolygonPoint> &p, const std::vector<PolygonPoint> &uv,
              const uint8_t *tex, int tw, int th)
{
    poly_fill_textured(t.px(), t.w(), t.h(), t.e1.data(), t.e2.data(), p.data(), uv.data(),
                       (int)p.size(), tex, tw, th);
}

TEST(PolyFill, BottomRowAndRightColumnAreNeverDrawn)
{
    PolyTarget t(8, 6);
    flat(t, {{1, 1}, {5, 1}, {5, 4}, {1, 4}}, 0x107);
    EXPECT_EQ(t.img.mask(), rows({
                                "........",
                                ".####...",
                                ".####...",
                                ".####...",
                                "........",
                                "........",
                            }));
    EXPECT_EQ(t.img.at(1, 1), 7);
    PolyTarget tri(8, 6);
    flat(tri, {{0, 0}, {6, 0}, {0, 6}});
    EXPECT_EQ(tri.img.mask(), rows({
                                  "######..",
                                  "#####...",
                                  "####....",
                                  "###.....",
                                  "##......",
                                  "#.......",
                              }));
}

TEST(PolyFill, BothWindingsFillTheSamePixels)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> c(-10, 50);
    std::vector<uint8_t> tex(64 * 64);
    for (int i = 0; i < 64 * 64; i++)
        tex[i] = (uint8_t)(i * 7 + i / 64);
    for (int i = 0; i < 300; i++) {
        // Convex by construction: corners of a random box, clockwise, with
        // one corner optionally dropped to make a triangle.
        const int x0 = c(rng), y0 = c(rng), x1 = x0 + 1 + c(rng) % 30, y1 = y0 + 1 + c(rng) % 30;
        std::vector<PolygonPoint> p = {{x0, y0}, {x1, y0 + (i % 3)}, {x1 - (i % 4), y1}, {x0, y1}};
        std::vector<PolygonPoint> uv = {{0, 0}, {63, 5}, {70, 80}, {-3, 64}};
        if (i % 2) {
            p.pop_back();
            uv.pop_back();
        }
        PolyTarget a(40, 30), b(40, 30), ta(40, 30), tb(40, 30);
        flat(a, p);
        flat(b, reversed(p));
        ASSERT_EQ(a.img.mask(), b.img.mask());
        textured(ta, p, uv, tex.data(), 64, 64);
        textured(tb, reversed(p), reversed(uv), tex.data(), 64, 64);
        ASSERT_EQ(0, memcmp(ta.px(), tb.px(), 40 * 30));
    }
}

TEST(PolyFill, DegenerateAndCutPolygons)
{
    PolyTarget t(10, 10);
    flat(t, {{1, 4}, {8, 4}, {5, 4}});
    flat(t, {{1, 1}, {8, 1}});  // n < 3
    EXPECT_EQ(t.img.count_nonzero(), 0);
    // Above row 0 and below the last row: cut to the buffer; a bottom corner
    // at y = height fills up to the last row.
    PolyTarget c(6, 5);
    flat(c, {{1, -20}, {4, -20}, {4, 5}, {1, 5}});
    EXPECT_EQ(c.img.mask(), rows({".###..", ".###..", ".###..", ".###..", ".###.."}));
    PolyTarget d(6, 5);
    flat(d, {{-9, 2}, {40, 2}, {40, 90}, {-9, 90}});
    EXPECT_EQ(d.img.mask(), rows({"......", "......", "######", "######", "######"}));
}

// The textured quad whose texel positions equal its corners copies the
// texture, wherever the quad sits.
TEST(PolyTextured, AxisAlignedQuadReproducesTheTexture)
{
    std::vector<uint8_t> tex(64 * 64);
    for (int i = 0; i < 64 * 64; i++)
        tex[i] = (uint8_t)((i % 64) * 3 + (i / 64) * 5);
    for (const auto &at : {PolygonPoint{0, 0}, PolygonPoint{100, 70}}) {
        PolyTarget t(320, 240);
        textured(t, {{at.x, at.y}, {at.x + 64, at.y}, {at.x + 64, at.y + 64}, {at.x, at.y + 64}},
                 {{0, 0}, {64, 0}, {64, 64}, {0, 64}}, tex.data(), 64, 64);
        for (int y = 0; y < 64; y++)
            ASSERT_EQ(0, memcmp(&t.img.at(at.x, at.y + y), &tex[y * 64], 64)) << "row " << y;
        EXPECT_EQ(t.img.count_nonzero(), std::count_if(tex.begin(), tex.end(), [](uint8_t v) { return v; }));
    }
}

TEST(PolyTextured, WrapsTexelPositions)
{
    std::vector<uint8_t> tex(64 * 64);
    for (int i = 0; i < 64 * 64; i++)
        tex[i] = (uint8_t)(i % 64 + 1);
    // Texel columns 100 .. 103 and -4 .. -1 of a 64-wide texture.
    PolyTarget t(4, 2);
    textured(t, {{0, 0}, {4, 0}, {4, 1}, {0, 1}}, {{100, 0}, {104, 0}, {104, 1}, {100, 1}},
             tex.data(), 64, 64);
    EXPECT_EQ(t.img.at(0, 0), 100 % 64 + 1);
    EXPECT_EQ(t.img.at(3, 0), 103 % 64 + 1);
    textured(t, {{0, 0}, {4, 0}, {4, 1}, {0, 1}}, {{-4, 0}, {0, 0}, {0, 1}, {-4, 1}},
             tex.data(), 64, 64);
    EXPECT_EQ(t.img.at(0, 0), 61);
    EXPECT_EQ(t.img.at(3, 0), 64);
    // Odd sizes wrap by a modulo that stays non-negative.
    std::vector<uint8_t> odd(5 * 3);
    for (int i = 0; i < 15; i++)
        odd[i] = (uint8_t)(10 + i);
    textured(t, {{0, 0}, {4, 0}, {4, 1}, {0, 1}}, {{-2, -1}, {2, -1}, {2, 0}, {-2, 0}},
             odd.data(), 5, 3);
    EXPECT_EQ(t.img.at(0, 0), 10 + 3 + 5 * 2);  // (-2 mod 5, -1 mod 3) = (3, 2)
    EXPECT_EQ(t.img.at(2, 0), 10 + 0 + 5 * 2);
}

TEST(PolyTextured, SpanSteps)
{
    std::vector<uint8_t> tex(64 * 64);
    for (int i = 0; i < 64 * 64; i++)
        tex[i] = (uint8_t)(i % 64);
    // Wider than 1024 pixels: q = 0, one texel across the whole span.
    PolyTarget wide(1100, 1);
    textured(wide, {{0, 0}, {1100, 0}, {1100, 1}, {0, 1}}, {{5, 0}, {60, 0}, {60, 1}, {5, 1}},
             tex.data(), 64, 64);
    for (int x = 0; x < 1100; x++)
        ASSERT_EQ(wide.img.at(x, 0), 5);
    // A 2-pixel span across 20000 texels: the step (20000 << 16) x 512 >> 10
    // needs more than 32 bits; the second pixel shows texel 10000.
    PolyTarget narrow(2, 1);
    textured(narrow, {{0, 0}, {2, 0}, {2, 1}, {0, 1}}, {{0, 0}, {20000, 0}, {20000, 1}, {0, 1}},
             tex.data(), 64, 64);
    EXPECT_EQ(narrow.img.at(0, 0), 0);
    EXPECT_EQ(narrow.img.at(1, 0), 10000 % 64);
    // A span starting left of the buffer starts its texture further in.
    PolyTarget left(8, 1);
    textured(left, {{-8, 0}, {8, 0}, {8, 1}, {-8, 1}}, {{0, 0}, {16, 0}, {16, 1}, {0, 1}},
             tex.data(), 64, 64);
    for (int x = 0; x < 8; x++)
        EXPECT_EQ(left.img.at(x, 0), x + 8);
    // 12 texels over 12 pixels: q = 1024 / 12 = 85 makes the step 65280, a
    // little short of one texel, so the fourth pixel still shows texel 2.
    PolyTarget short_step(12, 1);
    textured(short_step, {{0, 0}, {12, 0}, {12, 1}, {0, 1}}, {{0, 0}, {12, 0}, {12, 1}, {0, 1}},
             tex.data(), 64, 64);
    EXPECT_EQ(short_step.img.at(3, 0), 2);
    EXPECT_EQ(short_step.img.at(11, 0), 10);
}

// Textures of 256, 64 and odd sizes, corners and texel positions far
// negative and far out: every texel read comes from inside the texture
// (the texture sits between guard bytes no texel equals).
TEST(PolyTextured, ReadsNothingOutsideTheTexture)
{
    // Texels never take the guard value, so a read past the texture shows
    // up as a guard byte in the target; the shade table passes texels on
    // unchanged, so the same holds for the shaded filler.
    ShadeTable identity;
    for (int l = 0; l < 64; l++)
        for (int c = 0; c < 256; c++)
            identity.level[l][c] = (uint8_t)c;
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> pos(-600, 600), tpos(-30000, 30000);
    const int sizes[][2] = {{256, 256}, {64, 64}, {37, 23}, {1, 1}, {64, 32}};
    auto only_texels = [](PolyTarget &t) {
        if (!t.img.guards_intact())
            return false;
        for (int k = 0; k < t.w() * t.h(); k++)
            if (t.px()[k] > 150)  // 0 where nothing is drawn, else a texel of 1..150
                return false;
        return true;
    };
    for (const auto &sz : sizes) {
        GuardedImage tex(sz[0], sz[1]);
        for (int i = 0; i < sz[0] * sz[1]; i++)
            tex->pixels[i] = (uint8_t)(1 + i % 150);
        for (int i = 0; i < 200; i++) {
            const int cx = pos(rng) / 10, cy = pos(rng) / 10, r = 1 + std::abs(pos(rng)) / 4;
            std::vector<PolygonPoint> p = {{cx - r, cy}, {cx, cy - r}, {cx + r, cy}, {cx, cy + r}};
            std::vector<PolygonPoint> uv = {{tpos(rng), tpos(rng)}, {tpos(rng), tpos(rng)},
                                            {tpos(rng), tpos(rng)}, {tpos(rng), tpos(rng)}};
            PolyTarget t(50, 40);
            textured(t, p, uv, tex->pixels, sz[0], sz[1]);
            ASSERT_TRUE(only_texels(t)) << sz[0] << "x" << sz[1] << " case " << i;
            PolyTarget s(50, 40);
            poly_fill_textured_shaded(s.px(), s.w(), s.h(), s.e1.data(), s.e2.data(), p.data(), uv.data(), 4,
                                      tex->pixels, sz[0], sz[1], 31, &identity);
            ASSERT_TRUE(only_texels(s)) << sz[0] << "x" << sz[1] << " case " << i;
        }
    }
}

TEST(PolyGouraud, InterpolatesLevels)
{
    PolyTarget t(6, 6);
    const std::vector<PolygonPoint> p = {{0, 0}, {6, 0}, {0, 6}};
    const PolygonLight same[3] = {{10, 99}, {10, -5}, {10, 0}};
    poly_fill_gouraud(t.px(), 6, 6, t.e1.data(), t.e2.data(), p.data(), same, 3);
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 6 - y; x++)
            ASSERT_EQ(t.img.at(x, y), 10);
    EXPECT_EQ(t.img.at(5, 1), 0);
    // Across a row: levels 0 at the left, 60 at the right corner: step 10.
    PolyTarget g(6, 1);
    const std::vector<PolygonPoint> q = {{0, 0}, {6, 0}, {6, 1}, {0, 1}};
    const PolygonLight ramp[4] = {{0, 0}, {60, 0}, {60, 0}, {0, 0}};
    poly_fill_gouraud(g.px(), 6, 1, g.e1.data(), g.e2.data(), q.data(), ramp, 4);
    for (int x = 0; x < 6; x++)
        EXPECT_EQ(g.img.at(x, 0), 10 * x);
}

TEST(PolyShaded, ShadeRowsAreLookedUpAndClamped)
{
    static ShadeTable table;
    for (int l = 0; l < 64; l++)
        for (int c = 0; c < 256; c++)
            table.level[l][c] = (uint8_t)(l * 3 + (c & 1));
    PolyTarget g(4, 1);
    const std::vector<PolygonPoint> q = {{0, 0}, {4, 0}, {4, 1}, {0, 1}};
    // Levels from -20 to 100 across four pixels: -20, 10, 40, 70 -> rows 0, 10, 40, 63.
    const PolygonLight light[4] = {{-20, 0}, {100, 0}, {100, 0}, {-20, 0}};
    poly_fill_gouraud_shaded(g.px(), 4, 1, g.e1.data(), g.e2.data(), q.data(), light, 4, 0x301,
                             &table);
    EXPECT_EQ(g.img.at(0, 0), 0 * 3 + 1);
    EXPECT_EQ(g.img.at(1, 0), 10 * 3 + 1);
    EXPECT_EQ(g.img.at(2, 0), 40 * 3 + 1);
    EXPECT_EQ(g.img.at(3, 0), 63 * 3 + 1);

    std::vector<uint8_t> tex(64 * 64, 2);
    const std::vector<PolygonPoint> uv = {{0, 0}, {4, 0}, {4, 1}, {0, 1}};
    for (const int level : {-5, 0, 20, 63, 64, 1000}) {
        PolyTarget t(4, 1);
        poly_fill_textured_shaded(t.px(), 4, 1, t.e1.data(), t.e2.data(), q.data(), uv.data(), 4,
                                  tex.data(), 64, 64, level, &table);
        EXPECT_EQ(t.img.at(2, 0), std::clamp(level, 0, 63) * 3) << "level " << level;
    }
}

// Random polygons with corners up to 40000 away: nothing outside the buffer
// or the edge tables is touched.
TEST(PolyFill, FarCornersStayInsideTheBuffer)
{
    std::mt19937 rng(21);
    std::uniform_int_distribution<int> c(-40000, 40000), n(3, 7);
    std::vector<uint8_t> tex(256 * 256, 1);
    for (int i = 0; i < 2000; i++) {
        PolyTarget t(23, 17);
        const int k = n(rng);
        std::vector<PolygonPoint> p(k), uv(k);
        std::vector<PolygonLight> light(k);
        for (int j = 0; j < k; j++) {
            p[j] = {c(rng), c(rng)};
            uv[j] = {c(rng) / 2, c(rng) / 2};
            light[j] = {(int)(rng() % 64), 0};
        }
        flat(t, p, 3);
        textured(t, p, uv, tex.data(), 256, 256);
        poly_fill_gouraud(t.px(), t.w(), t.h(), t.e1.data(), t.e2.data(), p.data(), light.data(), k);
        ASSERT_TRUE(t.img.guards_intact());
    }
}

}  // namespace
