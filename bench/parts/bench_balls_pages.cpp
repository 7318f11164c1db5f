// bench_balls_pages.cpp: frames of parts 4 and 7 unpaced, with the mean
// and the slowest frame of a whole run, and the passes of their frames on
// their own. items/s is frames per second.
#include "common.h"
#include "gfx2d.h"
#include "null_display.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <ctime>

namespace {

// Noise pictures for both parts, written to a temp folder, loaded once and
// removed again: the runs read no files.
struct BallsPagesData {
    Image *frame = nullptr;

    BallsPagesData()
    {
        trig_build_tables();
        srand(11);
        if (!work_image_a) {
            image_create(&work_image_a, 320, 240);
            image_create(&work_image_b, 320, 240);
        }
        image_create(&frame, 320, 240);
        const std::filesystem::path old_dir = std::filesystem::current_path();
        char templ[] = "/tmp/skarn_bench_balls_pages_XXXXXX";
        const std::string dir = mkdtemp(templ);
        std::filesystem::current_path(dir);
        for (const char *folder : {"grafika/3", "grafika/4", "grafika/5"})
            std::filesystem::create_directories(folder);
        for (const char *name : {"grafika/4/news1.pcx", "grafika/3/eger2.pcx", "grafika/3/eger3.pcx",
                                 "grafika/4/3d_bb2.pcx", "grafika/txt-01.pcx", "grafika/txt-02.pcx",
                                 "grafika/txt-03.pcx", "grafika/txt-04.pcx"})
            save_noise(name, 320, 240);
        for (const char *name : {"grafika/5/kkol_ja.pcx", "grafika/5/kkol_jf.pcx", "grafika/5/kkol_ba.pcx",
                                 "grafika/5/kkol_bf.pcx"})
            save_noise(name, 64, 64);
        part4_load("grafika/4/news1.pcx", "grafika/3/eger2.pcx", "grafika/3/eger3.pcx");
        part7_load();
        std::filesystem::current_path(old_dir);
        std::filesystem::remove_all(dir);
    }

    ~BallsPagesData()
    {
        part4_free();
        part7_free();
        image_destroy(&frame);
    }

    static void save_noise(const char *path, int w, int h)
    {
        Palette pal;
        for (int i = 0; i < 256; i++)
            pal.rgb[3 * i] = pal.rgb[3 * i + 1] = pal.rgb[3 * i + 2] = (uint8_t)i;
        Image *img = nullptr;
        image_create(&img, w, h);
        for (int i = 0; i < w * h; i++)
            img->pixels[i] = (uint8_t)(((i % w) * 255 / w) ^ (rand() & 63));
        pcx_save(path, img, &pal);
        image_destroy(&img);
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
