// bench_parts.cpp: frames of parts 1, 2, 3 and 8 unpaced, and the passes
// of a frame on their own. Waits cost nothing on the virtual clock, so a
// run of d tenths measures only drawing; items/s is frames per second.
#include "common.h"
#include "gfx2d.h"
#include "virtual_clock.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// Pictures of noise over a grey ramp, written once into a temp folder in
// which the parts load them; the folder goes when the program ends.
struct BenchData {
    std::string old_dir, dir;
    Image *frame = nullptr;

    BenchData()
    {
        trig_build_tables();
        srand(7);
        if (!work_image_a) {
            image_create(&work_image_a, 320, 240);
            image_create(&work_image_b, 320, 240);
        }
        image_create(&frame, 320, 240);
        old_dir = std::filesystem::current_path().string();
        char templ[] = "/tmp/skarn_bench_parts_XXXXXX";
        dir = mkdtemp(templ);
        std::filesystem::current_path(dir);
        Palette pal;
        for (int i = 0; i < 256; i++)
            pal.rgb[3 * i] = pal.rgb[3 * i + 1] = pal.rgb[3 * i + 2] = (uint8_t)i;
        std::filesystem::create_directories("grafika/1");
        std::filesystem::create_directories("grafika/5");
        const char *names[] = {"grafika/1/none.pcx", "grafika/1/lo.pcx", "grafika/1/skn.pcx",
                               "grafika/1/txt1.pcx", "grafika/1/txt2.pcx", "grafika/1/txt3.pcx",
                               "grafika/1/hatter04.pcx", "grafika/5/grimfall.pcx"};
        for (const char *name : names)
            save_noise(name, 320, 240, pal);
        save_noise("grafika/grp.pcx", 209, 575, pal);
        part1_load();
        part2_load("grafika/1/hatter04.pcx", 1, 1);
        part3_load();
    }

    ~BenchData()
    {
        part1_free();
        part2_free();
        part3_free();
        image_destroy(&frame);
        std::filesystem::current_path(old_dir);
        std::filesystem::remove_all(dir);
    }

    static void save_noise(const char *path, int w, int h, const Palette &pal)
    {
        Image *img = nullptr;
        image_create(&img, w, h);
        for (int i = 0; i < w * h; i++)
            img->pixels[i] = (uint8_t)((i % w) * 255 / w ^ (rand() & 15));
        pcx_save(path, img, &pal);
        image_destroy(&img);
    }
};

BenchData &bench_data()
{
    static BenchData data;
    return data;
}

// Every title strip of part 2 at one light level.
void set_strip_levels(int level)
{
    for (TitleStrip *s = part2_strips; s->dest_x > 0; s++)
        s->level = level;
}

// Frames shown by one run of a part of d tenths at period ms.
int frames_of(int tenths, int period_ms)
{
    return (tenths * 100 + period_ms - 1) / period_ms;
}

void BM_Part1Frames(benchmark::State &state)
{
    BenchData &d = bench_data();
    for (auto _ : state)
        part1_run(d.frame, 217);
    state.SetItemsProcessed(state.iterations() * frames_of(217, 70));
}
BENCHMARK(BM_Part1Frames)->Unit(benchmark::kMillisecond);

void BM_Part2Frames(benchmark::State &state)
{
    BenchData &d = bench_data();
    for (auto _ : state) {
        set_strip_levels(0);
        part2_run(d.frame, 245);
    }
    state.SetItemsProcessed(state.iterations() * frames_of(245, 60));
}
BENCHMARK(BM_Part2Frames)->Unit(benchmark::kMillisecond);

void BM_Part3Frames(benchmark::State &state)
{
    BenchData &d = bench_data();
    current_shade_table = part2_shade_table;
    for (auto _ : state)
        part3_run(d.frame, 27, 0);
    state.SetItemsProcessed(state.iterations() * frames_of(27, 60));
}
BENCHMARK(BM_Part3Frames)->Unit(benchmark::kMillisecond);

void BM_Part8Frames(benchmark::State &state)
{
    BenchData &d = bench_data();
    for (auto _ : state)
        part8_run(d.frame, 20, 20, "grafika/5/grimfall.pcx");
    state.SetItemsProcessed(state.iterations() * 60);
}
BENCHMARK(BM_Part8Frames)->Unit(benchmark::kMillisecond);

// The passes of part 1's frame.
void BM_Part1Rings(benchmark::State &state)
{
    bench_data();
    int t = 0;
    for (auto _ : state)
        part1_draw_rings(t++);
}
BENCHMARK(BM_Part1Rings)->Unit(benchmark::kMicrosecond);

void BM_Part1Spots(benchmark::State &state)
{
    BenchData &d = bench_data();
    for (auto _ : state) {
        image_clear(d.frame, 0);
        part1_move_spots(d.frame);
    }
}
BENCHMARK(BM_Part1Spots)->Unit(benchmark::kMicrosecond);

void BM_Part1Wobble(benchmark::State &state)
{
    bench_data();
    int w = 0;
    for (auto _ : state)
        parts_wobble_rows(work_image_a, w += 8, 13);
}
BENCHMARK(BM_Part1Wobble)->Unit(benchmark::kMicrosecond);

void BM_ComposeShaded(benchmark::State &state)
{
    BenchData &d = bench_data();
    ShadeRows rows;
    for (int l = 0; l < 256; l++)
        rows.row[l] = part1_shade_table.level[l >> 2];
    for (auto _ : state)
        parts_compose_shaded(d.frame->pixels, work_image_b->pixels, work_image_a->pixels, 320 * 240, &rows);
}
BENCHMARK(BM_ComposeShaded)->Unit(benchmark::kMicrosecond);

void BM_Part2Strips(benchmark::State &state)
{
    BenchData &d = bench_data();
    // Seven strips at full light, as in the busiest stretch of the part.
    set_strip_levels(5);
    for (auto _ : state)
        part2_update_strips(d.frame, 50);
    set_strip_levels(0);
}
BENCHMARK(BM_Part2Strips)->Unit(benchmark::kMicrosecond);

void BM_Part3Blur(benchmark::State &state)
{
    bench_data();
    for (auto _ : state)
        blur_fade(work_image_a->pixels, 320, 240, 4);
}
BENCHMARK(BM_Part3Blur)->Unit(benchmark::kMicrosecond);

}  // namespace
