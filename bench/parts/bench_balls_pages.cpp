// bench_balls_pages.cpp: frames of parts 4 and 7 unpaced, with the mean
// and the slowest frame of a whole run, and the passes of their frames on
// their own. items/s is frames per second.
#include "bench_data.h"
#include "common.h"
#include "gfx2d.h"
#include "null_display.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <ctime>

namespace {

// Parts 4 and 7 loaded from the show's data.
struct BallsPagesData {
    Image *frame = nullptr;

    BallsPagesData()
    {
        frame = bench_parts_setup();
        part4_load("grafika/4/news1.pcx", "grafika/3/eger2.pcx", "grafika/3/eger3.pcx");
        part7_load();
    }

    ~BallsPagesData()
    {
        part4_free();
        part7_free();
        image_destroy(&frame);
    }
};

BallsPagesData &balls_pages_data()
{
    static BallsPagesData data;
    return data;
}

int64_t process_cpu_ns(void)
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

// Runs one part whole per iteration and reports its mean and slowest
// frame in milliseconds of CPU time.
template <typename Run>
void run_frames(benchmark::State &state, int frames_per_run, Run run)
{
    int64_t worst = 0, total = 0;
    for (auto _ : state) {
        null_display_start_timing();
        const int64_t start = process_cpu_ns();
        run();
        total += process_cpu_ns() - start;
        worst = std::max(worst, null_display_worst_frame_ns);
    }
    state.SetItemsProcessed(state.iterations() * frames_per_run);
    state.counters["mean_ms"] = (double)total / 1e6 / ((double)state.iterations() * frames_per_run);
    state.counters["worst_ms"] = (double)worst / 1e6;
}

void BM_Part4Frames(benchmark::State &state)
{
    BallsPagesData &d = balls_pages_data();
    run_frames(state, 275, [&] { part4_run(d.frame, 165); });  // 16.5 s at 60 ms
}
BENCHMARK(BM_Part4Frames)->Unit(benchmark::kMillisecond);

void BM_Part7Frames(benchmark::State &state)
{
    BallsPagesData &d = balls_pages_data();
    run_frames(state, 360, [&] { part7_run(d.frame); });  // 21.6 s at 60 ms
}
BENCHMARK(BM_Part7Frames)->Unit(benchmark::kMillisecond);

// The passes of their frames.
void BM_Part4MoveBalls(benchmark::State &state)
{
    balls_pages_data();
    for (auto _ : state) {
        memset(work_image_a->pixels, 127, 320 * 240);
        part4_move_balls(work_image_a->pixels, 9);
    }
}
BENCHMARK(BM_Part4MoveBalls)->Unit(benchmark::kMicrosecond);

void BM_Part7Grid(benchmark::State &state)
{
    balls_pages_data();
    int q = 0;
    for (auto _ : state) {
        part7_sway_grid(q += 32);
        part7_draw_grid(work_image_b, part7_texture);
    }
}
BENCHMARK(BM_Part7Grid)->Unit(benchmark::kMicrosecond);

void BM_Part7LightLayer(benchmark::State &state)
{
    balls_pages_data();
    for (auto _ : state)
        part7_light_layer(work_image_a->pixels, work_image_b->pixels);
}
BENCHMARK(BM_Part7LightLayer)->Unit(benchmark::kMicrosecond);

}  // namespace
