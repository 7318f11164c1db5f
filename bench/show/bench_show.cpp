// bench_show.cpp: the whole show, load to shutdown, unpaced: the program
// over the display that draws nothing and the virtual clock, run in a
// child process from a folder that links the show's data. The time
// reported is the child's CPU time (user and system).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// Runs the show once in dir with "0" (no sound) as its only answer; the
// child's CPU seconds, or -1 when it did not exit with status 0.
double run_show_once(const std::string &dir)
{
    const std::string answers = dir + "/answers";
    FILE *f = fopen(answers.c_str(), "w");
    if (!f)
        return -1;
    fputs("0\n", f);
    fclose(f);
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        const int in = open(answers.c_str(), O_RDONLY);
        const int out = open("/dev/null", O_WRONLY);
        if (in < 0 || out < 0 || chdir(dir.c_str()) != 0)
            _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        execl(SKARN_UNPACED_PROGRAM, SKARN_UNPACED_PROGRAM, (char *)nullptr);
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    if (wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return (double)(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           (double)(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

void BM_WholeShowUnpaced(benchmark::State &state)
{
    char templ[] = "/tmp/skarn_bench_show_XXXXXX";
    const std::string dir = mkdtemp(templ);
    for (const char *folder : {"grafika", "3d", "music"})
        std::filesystem::create_directory_symlink(std::string(SKARN_DATA_DIR) + "/" + folder, dir + "/" + folder);
    double worst = 0;
    for (auto _ : state) {
        const double cpu = run_show_once(dir);
        if (cpu < 0) {
            state.SkipWithError("the show did not run to its end");
            break;
        }
        state.SetIterationTime(cpu);
        worst = std::max(worst, cpu);
    }
    state.counters["worst_cpu_s"] = worst;
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WholeShowUnpaced)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
