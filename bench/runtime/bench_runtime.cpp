// Runtime benchmarks: PCX decoding of a full frame, shade-table building,
// nearest-colour search.
#include "skarn.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

Palette bench_palette()
{
    Palette p;
    for (int i = 0; i < 256; i++) {
        p.rgb[i * 3] = (uint8_t)i;
        p.rgb[i * 3 + 1] = (uint8_t)((i * 7) & 255);
        p.rgb[i * 3 + 2] = (uint8_t)((i * 13 + 40) & 255);
    }
    return p;
}

// A 320x240 picture with runs and single pixels, as PCX bytes in memory.
std::string bench_pcx_bytes()
{
    Image *img = nullptr;
    image_create(&img, 320, 240);
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++)
            img->pixels[y * 320 + x] = (uint8_t)(((x / 8) ^ (y / 4)) * 5 + (x * y % 3));
    Palette pal = bench_palette();
    char path[] = "/tmp/skarn-bench-XXXXXX";
    int fd = mkstemp(path);
    close(fd);
    pcx_save(path, img, &pal);
    char *data = nullptr;
    int n = file_read_all(path, &data);
    std::string bytes(data, (size_t)n);
    free(data);
    unlink(path);
    image_destroy(&img);
    return bytes;
}

void BM_PcxDecode320x240(benchmark::State &state)
{
    std::string bytes = bench_pcx_bytes();
    Palette pal;
    for (auto _ : state) {
        uint8_t *pixels = nullptr;
        int w, h;
        pcx_decode("bench", (const uint8_t *)bytes.data(), (long)bytes.size(), &pixels, &pal, &w, &h);
        benchmark::DoNotOptimize(pixels);
        free(pixels);
    }
}
BENCHMARK(BM_PcxDecode320x240)->Unit(benchmark::kMicrosecond);

void BM_ShadeTableBuild(benchmark::State &state)
{
    Palette pal = bench_palette();
    static ShadeTable table;
    for (auto _ : state) {
        palette_build_shade_table(&pal, &table);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ShadeTableBuild)->Unit(benchmark::kMillisecond);

void BM_FindNearest(benchmark::State &state)
{
    Palette pal = bench_palette();
    int colour = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(palette_find_nearest(colour, &pal));
        colour = (colour + 0x010203) & 0xFFFFFF;
    }
}
BENCHMARK(BM_FindNearest);

}  // namespace
