// The show's sequence: main run as a child process over the recording back
// end and the virtual clock, its call log and its output checked.
#include "parts.h"
#include "recording_display.h"
#include "skarn.h"
#include "test_util.h"

#include <gtest/gtest.h>
#include <mikmod.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <vector>

namespace {

struct ShowRun {
    int status = -1;
    std::string out;
    std::vector<std::pair<char, uint32_t>> calls;
    std::vector<int32_t> origins;  // the part clock's origin at each call
    std::string tail;
};

// Reads the recording back end's log into run: one "op checksum origin"
// line per call, then the lines about the last frame and palette.
void read_call_log(const std::string &path, ShowRun *run)
{
    std::ifstream log(path);
    std::string op, sum;
    int32_t origin = 0;
    while (log >> op) {
        if (op.size() == 1) {
            log >> sum >> origin;
            run->calls.push_back({op[0], (uint32_t)strtoul(sum.c_str(), nullptr, 16)});
            run->origins.push_back(origin);
        } else {
            std::string rest;
            std::getline(log, rest);
            run->tail += op + rest + "\n";
        }
    }
}

// Runs a program in an empty temporary folder with answers on stdin.
ShowRun run_show(const char *program, const std::string &answers, const std::string &env = "")
{
    TempDir dir;
    write_bytes(dir.file("answers"), answers);
    // The show reads its pictures, objects and music by relative path.
    for (const char *folder : {"grafika", "3d", "music"})
        (void)!symlink((std::string(SKARN_DATA_DIR) + "/" + folder).c_str(), dir.file(folder).c_str());
    std::string cmd = "cd '" + dir.path + "' && SKARN_RECORD_LOG=log " + env + " '" + program +
                      "' < answers > out 2>&1";
    ShowRun run;
    int rc = system(cmd.c_str());
    run.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    std::ifstream out(dir.file("out"));
    std::stringstream ss;
    ss << out.rdbuf();
    run.out = ss.str();
    read_call_log(dir.file("log"), &run);
    return run;
}

uint32_t black_palette_sum()
{
    Palette p;
    memset(&p, 0, sizeof p);
    return recording_checksum(p.rgb, sizeof p.rgb);
}

uint32_t black_frame_sum()
{
    std::vector<uint8_t> f(320 * 240, 0);
    return recording_checksum(f.data(), f.size());
}

}  // namespace

TEST(Show, RunsItsWholeSequenceAndEndsBlack)
{
    ShowRun run = run_show(SKARN_RECORDED_PROGRAM, "0\n");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out.rfind("*** skarn for LINUX by velk *** \n", 0), 0u) << run.out;
    const char *closing = "------------------- Skarn ------------------\n";
    size_t at = run.out.find(closing);
    ASSERT_NE(at, std::string::npos);
    // Three closing lines, the last followed by an empty line, then nothing.
    std::string tail = run.out.substr(at);
    EXPECT_EQ(std::count(tail.begin(), tail.end(), '\n'), 4);
    EXPECT_EQ(tail.substr(tail.size() - 3), "-\n\n");
    EXPECT_NE(tail.find("- Grimfall - '99 - On The CONTEST - "), std::string::npos);

    ASSERT_FALSE(run.calls.empty());
    EXPECT_EQ(run.calls.front().first, 'o');
    EXPECT_EQ(run.calls.back().first, 'c');
    for (size_t i = 1; i + 1 < run.calls.size(); i++)
        EXPECT_NE(run.calls[i].first, 'o') << "display opened twice";

    // Every blank screen: black palette, black frame, retrace wait. The
    // show has 15 of them: 7 in the load phase, 7 before runs, 1 at the end.
    int blanks = 0;
    for (size_t i = 0; i < run.calls.size(); i++) {
        if (run.calls[i].first != 'r')
            continue;
        blanks++;
        ASSERT_GE(i, 2u);
        EXPECT_EQ(run.calls[i - 2].first, 'p');
        EXPECT_EQ(run.calls[i - 2].second, black_palette_sum());
        EXPECT_EQ(run.calls[i - 1].first, 'f');
        EXPECT_EQ(run.calls[i - 1].second, black_frame_sum());
    }
    EXPECT_EQ(blanks, 15);
    // The last thing shown before display_close is the final blank screen.
    size_t n = run.calls.size();
    EXPECT_EQ(run.calls[n - 2].first, 'r');
    EXPECT_NE(run.tail.find("last-frame 320 240"), std::string::npos) << run.tail;
}

namespace {

// The call log as blank screens ('B') and runs of frames ('F'), each run
// with the part clock's origin and its frame count.
struct ShowStep {
    char kind;
    int32_t origin;
    int frames;
};

std::vector<ShowStep> show_steps(const ShowRun &run)
{
    std::vector<ShowStep> steps;
    for (size_t i = 0; i < run.calls.size(); i++) {
        if (i + 2 < run.calls.size() && run.calls[i] == std::make_pair('p', black_palette_sum()) &&
            run.calls[i + 1] == std::make_pair('f', black_frame_sum()) && run.calls[i + 2].first == 'r') {
            steps.push_back({'B', 0, 0});
            i += 2;
        } else if (run.calls[i].first == 'f') {
            if (steps.back().kind != 'F' || steps.back().origin != run.origins[i])
                steps.push_back({'F', run.origins[i], 0});
            steps.back().frames++;
        }
    }
    return steps;
}

}  // namespace

// Which part draws each frame: every run starts the part clock, so the
// frames of one run share its origin. After the seven blank screens of the
// load phase, the runs come in the show's order with a blank screen before
// each but part 3, each with the frames of its duration, each starting
// when the one before has had its time (within a frame period).
TEST(Show, PartsRunInTheShowsOrderForTheirDurations)
{
    ShowRun run = run_show(SKARN_RECORDED_PROGRAM, "0\n");
    ASSERT_EQ(run.status, 0) << run.out;
    struct Part {
        int number, tenths, period_ms;
        bool blank_before;
    };
    const Part parts[] = {
        {1, 217, 70, true}, {2, 245, 60, true}, {3, 27, 60, false}, {5, 325, 70, true},
        {4, 165, 60, true}, {6, 106, 60, true}, {7, 216, 60, true}, {8, 30, 50, true},
    };
    std::string want = "BBBBBBB", got;
    std::vector<const Part *> shown;
    for (const Part &p : parts) {
        want += std::string(p.blank_before ? "B" : "") + "F";
        shown.push_back(&p);
    }
    std::vector<ShowStep> runs;
    for (const ShowStep &s : show_steps(run)) {
        got += s.kind;
        if (s.kind == 'F')
            runs.push_back(s);
    }
    ASSERT_EQ(got, want + "B");
    for (size_t i = 0; i < runs.size(); i++) {
        const Part &p = *shown[i];
        // The virtual clock charges 50 us a reading: a long part may lose a frame or two.
        EXPECT_NEAR(runs[i].frames, (p.tenths * 100 + p.period_ms - 1) / p.period_ms, 3) << "part " << p.number;
        if (i > 0) {
            const int took = runs[i].origin - runs[i - 1].origin, due = shown[i - 1]->tenths * 100;
            EXPECT_TRUE(took >= due && took <= due + shown[i - 1]->period_ms + 10) << "part " << p.number << " " << took;
        }
    }
    EXPECT_EQ(run.calls.back().first, 'c');
}

// On the virtual clock, with its fixed time of day for the random seed, the
// show is the same frame for frame on every run.
TEST(Show, TwoRunsShowTheSameFrames)
{
    ShowRun first = run_show(SKARN_RECORDED_PROGRAM, "0\n");
    ShowRun second = run_show(SKARN_RECORDED_PROGRAM, "0\n");
    ASSERT_EQ(first.status, 0) << first.out;
    ASSERT_EQ(second.status, 0) << second.out;
    EXPECT_GT(first.calls.size(), 500u);
    EXPECT_TRUE(first.calls == second.calls);
    EXPECT_EQ(first.tail, second.tail);
}

TEST(Show, FailedImageAllocationIsFatal)
{
    for (int which = 1; which <= 3; which++) {
        ShowRun run = run_show(SKARN_ALLOC_FAIL_PROGRAM, "0\n", "SKARN_FAIL_CREATE=" + std::to_string(which));
        EXPECT_EQ(run.status, 255) << "failing image " << which;
        EXPECT_NE(run.out.find("Cann't allocate image!\n"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("------------------- Skarn"), std::string::npos);
        // Display opened, then closed on the fatal path; nothing shown.
        ASSERT_EQ(run.calls.size(), 2u);
        EXPECT_EQ(run.calls[0].first, 'o');
        EXPECT_EQ(run.calls[1].first, 'c');
    }
}

TEST(Show, BlankScreenIsBlackPaletteBlackFrameRetrace)
{
    recording_reset();
    Image *frame = nullptr;
    ASSERT_EQ(image_create(&frame, 320, 240), 0);
    memset(frame->pixels, 7, 320 * 240);
    memset(current_palette.rgb, 200, sizeof current_palette.rgb);
    blank_screen(frame);
    EXPECT_EQ(recording_ops(), "pfr");
    for (int i = 0; i < 768; i++)
        ASSERT_EQ(current_palette.rgb[i], 0);
    for (int i = 0; i < 320 * 240; i++)
        ASSERT_EQ(frame->pixels[i], 0);
    EXPECT_EQ(recording_calls[0].sum, black_palette_sum());
    EXPECT_EQ(recording_calls[1].sum, black_frame_sum());
    image_destroy(&frame);
}

TEST(ShowDeathTest, FatalPathClosesDisplayAndExitsWithStatus)
{
    EXPECT_EXIT(show_fatal("Cann't load image x !\n", -1), testing::ExitedWithCode(255),
                "");
}

// A stop signal only raises a flag; the next frame wait, black screen or
// question closes the display and ends the process by that signal.
TEST(ShowDeathTest, StopSignalEndsByItselfAfterClosingTheDisplay)
{
    TempDir dir;
    const std::string log = dir.file("log");
    struct Place {
        const char *name;
        void (*reach)(void);
    };
    const Place places[] = {
        {"frame wait", [] { wait_until_ms(clock_ms(), 0); }},
        {"black screen",
         [] {
             static Image *frame = nullptr;
             image_create(&frame, 320, 240);
             blank_screen(frame);
         }},
        {"question", [] { prompt_int("? ", 1, 2); }},
    };
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        for (const Place &place : places) {
            SCOPED_TRACE(std::string(place.name) + " " + strsignal(sig));
            unlink(log.c_str());
            EXPECT_EXIT(
                {
                    setenv("SKARN_RECORD_LOG", log.c_str(), 1);
                    recording_reset();
                    show_install_stop_handlers();
                    raise(sig);  // taken by the handler: the process goes on
                    fputs("still here\n", stderr);
                    place.reach();
                    _exit(0);
                },
                testing::KilledBySignal(sig), "still here");
            ShowRun run;
            read_call_log(log, &run);
            ASSERT_FALSE(run.calls.empty());
            EXPECT_EQ(run.calls.back().first, 'c') << "the display was not closed last";
        }
    }
}

// Every fopen of this test program passes here. Inside a death test's child
// it logs the paths opened and, opening stop_at_path, raises a stop signal:
// the viewer's Ctrl-C arrives while that step of the load reads its file.
static int open_log_fd = -1;
static const char *stop_at_path = nullptr;
static int stop_at_signal = 0;

extern "C" FILE *fopen(const char *path, const char *mode)
{
    using Real = FILE *(*)(const char *, const char *);
    static const Real real = (Real)dlsym(RTLD_NEXT, "fopen");
    if (open_log_fd >= 0)
        dprintf(open_log_fd, "%s\n", path);
    if (stop_at_path && strcmp(path, stop_at_path) == 0)
        raise(stop_at_signal);
    return real(path, mode);
}

namespace {

// In a death test's child: the sound library on its silent driver and a
// stand-in music process that writes "stopped" into marker when asked to
// stop (SIGUSR1), and is killed with its parent otherwise.
void start_stand_in_music(const std::string &marker)
{
    MikMod_RegisterDriver(&drv_nos);
    MikMod_Init("");
    int ready[2];
    if (pipe(ready) != 0)
        _exit(90);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGUSR1);
    sigprocmask(SIG_BLOCK, &stop, nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        (void)!write(ready[1], "x", 1);
        int sig = 0;
        sigwait(&stop, &sig);
        write_bytes(marker, "stopped");
        _exit(0);
    }
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    char c;
    if (read(ready[0], &c, 1) != 1)
        _exit(91);
    sound_enabled = 1;
    music_pid = pid;
    music_playing = 1;
}

}  // namespace

// A stop signal that comes while a load step reads its file ends the show
// at the next step: the files of later steps are never opened (a picture),
// or the load never returns (the shade table after the last picture). The
// display is closed, the music stopped, and the process ends by the signal.
TEST(ShowDeathTest, StopDuringALoadEndsBeforeTheNextStep)
{
    struct Case {
        const char *name;
        void (*load)(void);
        const char *stop_at, *never;
        int sig;
    };
    const Case cases[] = {
        {"part 1, second picture", part1_load, "grafika/1/lo.pcx", "grafika/1/skn.pcx", SIGINT},
        {"part 1, last picture", part1_load, "grafika/1/txt3.pcx", nullptr, SIGTERM},
        {"part 2, strips", [] { part2_load("grafika/1/hatter04.pcx", 1, 1); }, "grafika/grp.pcx",
         "grafika/1/hatter04.pcx", SIGHUP},
        {"part 6, first texture", part6_load, "3d/none.pcx", "3d/3d_bb1.pcx", SIGTERM},
    };
    TempDir dir;
    const std::string log = dir.file("log"), opened = dir.file("opened"), marker = dir.file("music");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        unlink(log.c_str());
        unlink(marker.c_str());
        EXPECT_EXIT(
            {
                setenv("SKARN_RECORD_LOG", log.c_str(), 1);
                recording_reset();
                show_install_stop_handlers();
                start_stand_in_music(marker);
                if (chdir(SKARN_DATA_DIR) != 0)
                    _exit(92);
                open_log_fd = open(opened.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                stop_at_path = c.stop_at;
                stop_at_signal = c.sig;
                c.load();
                fputs("the load went on to its end\n", stderr);
                _exit(0);
            },
            testing::KilledBySignal(c.sig), "");
        std::stringstream all;
        all << std::ifstream(opened).rdbuf();
        const std::string paths = all.str();
        EXPECT_NE(paths.find(std::string(c.stop_at) + "\n"), std::string::npos) << paths;
        if (c.never) {
            EXPECT_EQ(paths.find(c.never), std::string::npos) << paths;
        }
        ShowRun run;
        read_call_log(log, &run);
        ASSERT_FALSE(run.calls.empty());
        EXPECT_EQ(run.calls.back().first, 'c') << "the display was not closed";
        std::stringstream music;
        music << std::ifstream(marker).rdbuf();
        EXPECT_EQ(music.str(), "stopped");
    }
}
