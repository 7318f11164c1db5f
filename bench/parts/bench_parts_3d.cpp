// bench_parts_3d.cpp: the metaballs and spinning-objects parts unpaced on
// the show's generated data: whole runs, every frame of a run timed on its
// own (mean and worst, in microseconds), and the metaball surface build
// alone, with its edge-keyed vertex merge and with the linear search.
#include "bench_data.h"
#include "common.h"
#include "engine3d.h"
#include "virtual_clock.h"

#include <benchmark/benchmark.h>

#include <ctime>

namespace {

struct Bench3d {
    Image *frame = nullptr;

    Bench3d()
    {
        frame = bench_parts_setup();
        part5_load();
        part6_load();
    }

    ~Bench3d()
    {
        part5_free();
        part6_free();
        image_destroy(&frame);
    }
};

Bench3d &bench_3d()
{
    static Bench3d data;
    return data;
}

// part6_run frees its objects: load the part again for the next run.
void reload_part6()
{
    part6_free();
    part6_load();
}

void BM_Part5Run(benchmark::State &state)
{
    Bench3d &b = bench_3d();
    for (auto _ : state)
        part5_run(b.frame);
    state.SetItemsProcessed(state.iterations() * (32500 / 70 + 1));
}
BENCHMARK(BM_Part5Run)->Unit(benchmark::kMillisecond);

void BM_Part6Run(benchmark::State &state)
{
    Bench3d &b = bench_3d();
    for (auto _ : state) {
        state.PauseTiming();
        reload_part6();
        state.ResumeTiming();
        part6_run(b.frame, 106);
    }
    state.SetItemsProcessed(state.iterations() * (10600 / 60 + 1));
    reload_part6();
}
BENCHMARK(BM_Part6Run)->Unit(benchmark::kMillisecond);

// CPU time of this thread: a frame's own cost, without the time the
// machine gave to other processes meanwhile.
double thread_cpu_us()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return (double)ts.tv_sec * 1e6 + (double)ts.tv_nsec / 1e3;
}

// Times each of frames frames of draw on its own (CPU time), the tenths
// following the frame period; reports the mean and the worst frame.
void time_frames(benchmark::State &state, void (*draw)(Image *, int, int), int frames, int period_ms)
{
    Bench3d &b = bench_3d();
    double total_us = 0, worst_us = 0;
    long count = 0;
    for (auto _ : state) {
        for (int v = 0; v < frames; v++) {
            const double t = thread_cpu_us();
            draw(b.frame, v * period_ms / 100, v);
            const double us = thread_cpu_us() - t;
            total_us += us;
            worst_us = us > worst_us ? us : worst_us;
            count++;
        }
    }
    state.counters["mean_us"] = total_us / (double)count;
    state.counters["worst_us"] = worst_us;
    state.SetItemsProcessed(count);
}

void BM_Part5FrameTimes(benchmark::State &state)
{
    bench_3d();
    matrix_scaling(&part5_object->matrix, 17, 17, 17);  // as part5_run sets it
    time_frames(state, part5_draw_frame, 32500 / 70 + 1, 70);
}
BENCHMARK(BM_Part5FrameTimes)->Unit(benchmark::kMillisecond);

void BM_Part6FrameTimes(benchmark::State &state)
{
    bench_3d();
    time_frames(state, part6_draw_frame, 10600 / 60 + 1, 60);
}
BENCHMARK(BM_Part6FrameTimes)->Unit(benchmark::kMillisecond);

// The surface build alone on the fields of a run: the balls move and the
// field is sampled outside the timing.
void build_surfaces(benchmark::State &state, void (*build)(Object3D *, uint8_t, uint8_t))
{
    bench_3d();
    long triangles = 0;
    for (auto _ : state) {
        state.PauseTiming();
        part5_move_balls();
        part5_sample_field();
        part5_find_crossings();
        state.ResumeTiming();
        build(part5_object, 0, 64);
        triangles += part5_object->triangle_count;
    }
    state.counters["triangles"] = (double)triangles / (double)state.iterations();
}

void BM_Part5Surface(benchmark::State &state)
{
    build_surfaces(state, part5_build_surface);
}
BENCHMARK(BM_Part5Surface)->Unit(benchmark::kMicrosecond);

void BM_Part5SurfaceLinearMerge(benchmark::State &state)
{
    build_surfaces(state, part5_build_surface_linear);
}
BENCHMARK(BM_Part5SurfaceLinearMerge)->Unit(benchmark::kMicrosecond);

void BM_Part5Field(benchmark::State &state)
{
    bench_3d();
    for (auto _ : state) {
        part5_move_balls();
        part5_sample_field();
        part5_find_crossings();
    }
}
BENCHMARK(BM_Part5Field)->Unit(benchmark::kMicrosecond);

}  // namespace
