// bench_gfx2d.cpp: the 2D library's per-frame loads on a 320x240 frame:
// the fading blurs, part 1's spot blits, and more as they are built.
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

// Part 1's load: 336 spots of 28 x 28 added onto the frame.
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

}  // namespace
