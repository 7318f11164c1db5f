// bench_gfx2d.cpp: the 2D library's per-frame loads on a 320x240 frame:
// the fading blurs, the show's part 1 spot blits, its part 7 textured grid and
// clipped lines.
#include "gfx2d.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <vector>

namespace {

constexpr int W = 320, H = 240;

std::vector<uint8_t> noise_frame()
{
    std::vector<uint8_t> p(W * H);
    uint32_t s = 12345;
    for (uint8_t &v : p) {
        s = s * 1664525u + 1013904223u;
        v = (uint8_t)(s >> 24);
    }
    return p;
}

void BM_blur_fade_offset(benchmark::State &state)
{
    std::vector<uint8_t> p = noise_frame();
    for (auto _ : state) {
        blur_fade_offset(p.data(), W, H, (unsigned)state.range(0), 1);
        benchmark::DoNotOptimize(p.data());
    }
    state.SetItemsProcessed(state.iterations() * W * H);
}
BENCHMARK(BM_blur_fade_offset)->Arg(0)->Arg(2);

void BM_blur_fade(benchmark::State &state)
{
    std::vector<uint8_t> p = noise_frame();
    for (auto _ : state) {
        blur_fade(p.data(), W, H, (unsigned)state.range(0));
        benchmark::DoNotOptimize(p.data());
    }
    state.SetItemsProcessed(state.iterations() * W * H);
}
BENCHMARK(BM_blur_fade)->Arg(0)->Arg(2);

// The show's part 1 load: 336 spots of 28 x 28 added onto the frame.
void BM_blit_add_saturate_spots(benchmark::State &state)
{
    std::vector<uint8_t> frame = noise_frame(), spot(28 * 28);
    for (int i = 0; i < 28 * 28; i++)
        spot[i] = (uint8_t)(i % 61);
    Image f{W, H, frame.data()}, s{28, 28, spot.data()};
    for (auto _ : state) {
        for (int i = 0; i < 336; i++)
            blit_add_saturate(&f, (i * 37) % (W - 28), (i * 53) % (H - 28), &s, 0, 0, 28, 28, 0, 0);
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_blit_add_saturate_spots);

// The show's part 7 load: a 256 x 256 texture over a 9 x 7 grid of quads covering
// the screen (63 quads).
void BM_poly_fill_textured_screen(benchmark::State &state)
{
    std::vector<uint8_t> frame(W * H), tex(256 * 256);
    for (int i = 0; i < 256 * 256; i++)
        tex[i] = (uint8_t)(i * 31 + (i >> 8));
    std::vector<ScanlineEdge> e1(300), e2(300);
    PolygonPoint grid[8][10];
    for (int r = 0; r < 8; r++)
        for (int c = 0; c < 10; c++)
            grid[r][c] = {c * W / 9 + ((c % 9) ? (r * 7 + c * 3) % 9 - 4 : 0),
                          r * H / 7 + ((r % 7) ? (c * 5 + r) % 7 - 3 : 0)};
    for (auto _ : state) {
        for (int c = 8; c >= 0; c--)
            for (int r = 6; r >= 0; r--) {
                const PolygonPoint p[4] = {grid[r][c], grid[r][c + 1], grid[r + 1][c + 1], grid[r + 1][c]};
                const PolygonPoint uv[4] = {{c * 28, r * 36}, {(c + 1) * 28, r * 36},
                                            {(c + 1) * 28, (r + 1) * 36}, {c * 28, (r + 1) * 36}};
                poly_fill_textured(frame.data(), W, H, e1.data(), e2.data(), p, uv, 4, tex.data(),
                                   256, 256);
            }
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_poly_fill_textured_screen);

// 2000 random lines, most of them reaching outside the frame.
void BM_draw_line_clipped(benchmark::State &state)
{
    std::vector<uint8_t> frame(W * H);
    Image f{W, H, frame.data()};
    std::vector<int> ends(2000 * 4);
    uint32_t s = 99;
    for (int &v : ends) {
        s = s * 1664525u + 1013904223u;
        v = (int)(s >> 22) - 340;  // -340 .. 683
    }
    for (auto _ : state) {
        for (int i = 0; i < 2000; i++)
            draw_line(&f, ends[4 * i], ends[4 * i + 1], ends[4 * i + 2], ends[4 * i + 3], i);
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetItemsProcessed(state.iterations() * 2000);
}
BENCHMARK(BM_draw_line_clipped);

}  // namespace
