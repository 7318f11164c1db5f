// bench_parts.cpp: frames of parts 1, 2, 3 and 8 unpaced, and the passes
// of a frame on their own. Waits cost nothing on the virtual clock, so a
// run of d tenths measures only drawing; items/s is frames per second.
#include "bench_data.h"
#include "common.h"
#include "gfx2d.h"
#include "virtual_clock.h"

#include <benchmark/benchmark.h>


namespace {

// Parts 1, 2 and 3 loaded from the show's data.
struct BenchData {
    Image *frame = nullptr;

    BenchData()
    {
        frame = bench_parts_setup();
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
