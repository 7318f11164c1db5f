// Per-frame costs of the X11 back end: converting a 320x240 frame into an
// X image of 1, 2 or 4 bytes per pixel at pixel size 1 and 2 (the indexed
// copy of PseudoColor as bytes 0), and blit_scaled stretching 106x80 over a
// 320x240 frame as the parts do.
#include "transform.h"
#include "pixel_convert.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

static void BM_ConvertFrame(benchmark::State &state)
{
    // bytes 0: the indexed copy, whose entries are one byte.
    const int bytes = (int)state.range(0), size = (int)state.range(1);
    const int entry = bytes ? bytes : 1;
    std::vector<uint8_t> pixels(320 * 240);
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = (uint8_t)(rand() & 0xFF);
    const Image frame = {320, 240, pixels.data()};
    Palette pal;
    for (int i = 0; i < 768; i++)
        pal.rgb[i] = (uint8_t)(i * 7);
    const PixelChannel channel[3] = {{8, 16}, {8, 8}, {8, 0}};
    uint32_t lookup[256];
    pixel_build_lookup(lookup, &pal, channel, entry, false);
    const int bpl = 320 * size * entry;
    std::vector<uint8_t> dst((size_t)bpl * 240 * size);
    for (auto _ : state) {
        pixel_convert_frame(dst.data(), bpl, &frame, size, entry, bytes ? lookup : nullptr);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)dst.size());
}
BENCHMARK(BM_ConvertFrame)
    ->ArgNames({"bytes", "size"})
    ->Args({0, 1})
    ->Args({0, 2})
    ->Args({1, 1})
    ->Args({1, 2})
    ->Args({2, 1})
    ->Args({2, 2})
    ->Args({4, 1})
    ->Args({4, 2})
    ->Unit(benchmark::kMicrosecond);

static void BM_BlitScaled106x80To320x240(benchmark::State &state)
{
    std::vector<uint8_t> src(106 * 80), dst(320 * 240);
    for (size_t i = 0; i < src.size(); i++)
        src[i] = (uint8_t)i;
    const Image s = {106, 80, src.data()};
    Image d = {320, 240, dst.data()};
    for (auto _ : state) {
        blit_scaled(&d, 0, 0, 320, 240, &s, 0, 0, 106, 80, 0, 0);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BlitScaled106x80To320x240)->Unit(benchmark::kMicrosecond);
