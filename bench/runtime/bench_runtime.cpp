// Runtime benchmarks: PCX decoding of a full frame, shade-table building,
// nearest-colour search.
#include "skarn.h"

#include <benchmark/benchmark.h>

#include <cstring>

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

// A 320x240 picture of runs and single pixels, as PCX bytes in memory:
// as pcx_save writes it (every pixel on its own, as the show's data are)
// or run-length coded, as a paint program writes it.
std::string bench_pcx_bytes(bool runs)
{
    Image *img = nullptr;
    image_create(&img, 320, 240);
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++)
            img->pixels[y * 320 + x] = (uint8_t)(((x / 8) ^ (y / 4)) * 5 + (x * y % 3 == 0 ? 0 : x % 7 == 0));
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
    if (runs) {
        // Same header and palette; rows coded as runs of at most 63.
        std::string coded = bytes.substr(0, 128);
        for (int y = 0; y < 240; y++)
            for (int x = 0; x < 320;) {
                const uint8_t v = img->pixels[y * 320 + x];
                int k = 1;
                while (x + k < 320 && k < 63 && img->pixels[y * 320 + x + k] == v)
                    k++;
                if (k > 1 || v >= 0xC0)
                    coded += (char)(0xC0 | k);
                coded += (char)v;
                x += k;
            }
        bytes = coded + bytes.substr(bytes.size() - 769);
    }
    image_destroy(&img);
    return bytes;
}

void BM_PcxDecode320x240(benchmark::State &state)
{
    const std::string plain = bench_pcx_bytes(false);
    const std::string bytes = state.range(0) != 0 ? bench_pcx_bytes(true) : plain;
    Palette pal;
    {
        // Both codings must give the same picture, or the figures mean nothing.
        uint8_t *a = nullptr, *b = nullptr;
        int w, h;
        pcx_decode("bench", (const uint8_t *)plain.data(), (long)plain.size(), &a, &pal, &w, &h);
        pcx_decode("bench", (const uint8_t *)bytes.data(), (long)bytes.size(), &b, &pal, &w, &h);
        const bool same = a && b && memcmp(a, b, 320 * 240) == 0;
        free(a);
        free(b);
        if (!same) {
            state.SkipWithError("run-length coded picture decodes differently");
            return;
        }
    }
    for (auto _ : state) {
        uint8_t *pixels = nullptr;
        int w, h;
        pcx_decode("bench", (const uint8_t *)bytes.data(), (long)bytes.size(), &pixels, &pal, &w, &h);
        benchmark::DoNotOptimize(pixels);
        free(pixels);
    }
}
BENCHMARK(BM_PcxDecode320x240)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);  // 1: run-length coded

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
