// Random clipping runs: lines, blits and polygons with coordinates up to
// 40000 away on small images between guard bytes. Nothing outside may be
// written; a line's pixels stay within two pixels of its true segment.
#include "gfx2d_test.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace {

TEST(ClipFuzz, Lines)
{
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> far(-40000, 40000), near(-40, 80);
    double worst = 0;
    for (int i = 0; i < 20000; i++) {
        auto pick = [&] { return rng() % 3 ? far(rng) : near(rng); };
        const int x0 = pick(), y0 = pick(), x1 = pick(), y1 = pick();
        GuardedImage g(1 + i % 37, 1 + i % 23);
        draw_line(g.get(), x0, y0, x1, y1, 1);
        ASSERT_TRUE(g.guards_intact()) << x0 << "," << y0 << " " << x1 << "," << y1;
        for (int y = 0; y < g->height; y++)
            for (int x = 0; x < g->width; x++)
                if (g.at(x, y))
                    worst = std::max(worst, distance_to_segment(x, y, x0, y0, x1, y1));
        ASSERT_LE(worst, 2.0) << x0 << "," << y0 << " " << x1 << "," << y1;
    }
}

TEST(ClipFuzz, Blits)
{
    std::mt19937 rng(77);
    std::uniform_int_distribution<int> far(-40000, 40000), near(-20, 40);
    for (int i = 0; i < 20000; i++) {
        auto pick = [&] { return rng() % 2 ? far(rng) : near(rng); };
        GuardedImage src(1 + i % 29, 1 + i % 13, 9), dst(1 + i % 17, 1 + i % 31, 0);
        const int dx = pick(), dy = pick(), sx = pick(), sy = pick(), w = pick(), h = pick();
        switch (i % 6) {
        case 0: blit_keyed(dst.get(), dx, dy, src.get(), sx, sy, w, h, 0, 1); break;
        case 1: blit_xor_keyed(dst.get(), dx, dy, src.get(), sx, sy, w, h, 0); break;
        case 2: blit_or_keyed(dst.get(), dx, dy, src.get(), sx, sy, w, h, 0); break;
        case 3: blit_not_keyed(dst.get(), dx, dy, src.get(), sx, sy, w, h, 0); break;
        case 4: blit_add_saturate(dst.get(), dx, dy, src.get(), sx, sy, w, h, 0, 0); break;
        default: blit_sub_saturate(dst.get(), dx, dy, src.get(), sx, sy, w, h, 0, 2); break;
        }
        ASSERT_TRUE(dst.guards_intact() && src.guards_intact())
            << dx << "," << dy << " " << sx << "," << sy << " " << w << "x" << h;
    }
}

TEST(ClipFuzz, Polygons)
{
    std::mt19937 rng(4321);
    std::uniform_int_distribution<int> far(-40000, 40000), near(-30, 60), n(3, 6);
    static ShadeTable table;
    GuardedImage tex(64, 64, 1);
    for (int i = 0; i < 20000; i++) {
        const int w = 1 + i % 41, h = 1 + i % 19, k = n(rng);
        GuardedImage dst(w, h);
        std::vector<ScanlineEdge> e1(h), e2(h);
        std::vector<PolygonPoint> p(k), uv(k);
        std::vector<PolygonLight> light(k);
        for (int j = 0; j < k; j++) {
            p[j] = rng() % 2 ? PolygonPoint{far(rng), far(rng)} : PolygonPoint{near(rng), near(rng)};
            uv[j] = {far(rng) / 2, far(rng) / 2};
            light[j] = {(int)(rng() % 300) - 20, 0};
        }
        switch (i % 5) {
        case 0: poly_fill_flat(dst->pixels, w, h, e1.data(), e2.data(), p.data(), k, 5); break;
        case 1:
            poly_fill_textured(dst->pixels, w, h, e1.data(), e2.data(), p.data(), uv.data(), k,
                               tex->pixels, 64, 64);
            break;
        case 2: poly_fill_gouraud(dst->pixels, w, h, e1.data(), e2.data(), p.data(), light.data(), k); break;
        case 3:
            poly_fill_gouraud_shaded(dst->pixels, w, h, e1.data(), e2.data(), p.data(), light.data(),
                                     k, 7, &table);
            break;
        default:
            poly_fill_textured_shaded(dst->pixels, w, h, e1.data(), e2.data(), p.data(), uv.data(),
                                      k, tex->pixels, 64, 64, (int)(rng() % 100) - 10, &table);
            break;
        }
        ASSERT_TRUE(dst.guards_intact());
    }
}

}  // namespace
