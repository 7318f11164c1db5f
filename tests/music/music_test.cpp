// music_test.cpp: the start-up questions, the MikMod start, the music
// process (play to the end, stop mid-song, missing module, no device) and
// the WAV file the disk writer leaves behind.
#include "../support/process_ended.h"
#include "module_writer.h"
#include "scenario.h"
#include "sound_files.h"
#include "skarn.h"

#include <gtest/gtest.h>
#include <mikmod.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__x86_64__)
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif

namespace {

std::string answers(int mode, const Driver &driver, int frequency)
{
    return std::to_string(mode) + "\n" + std::to_string(driver.number) + "\n" + std::to_string(frequency) + "\n";
}

std::string using_line(const Driver &d, int bits, const char *channels, int frequency)
{
    return "Using " + d.name + " for " + std::to_string(bits) + " bit normal " + channels + " sound at " +
           std::to_string(frequency) + " Hz\n\n";
}

const char *const mode_prompt = "Choose output mode:\n0. NO music\n1. 8 bits, mono\n2. 8 bits, stereo\n"
                                "3. 16 bits, mono\n4. 16 bits, stereo\nType corresponding number : ";

// Waits, in real time, until the SIGCHLD handler has seen the music
// process end; records how long that took.
void wait_for_song_end(long limit_ms)
{
    long start = scenario_now_ms();
    while (music_playing && scenario_now_ms() - start < limit_ms)
        scenario_sleep_ms(5);
    scenario_fact("song_end_wait_ms", scenario_now_ms() - start);
    scenario_fact("playing_after_end", music_playing);
}

// True when pid is neither running nor a zombie of ours.
bool process_gone(int pid)
{
    return pid > 0 && kill(pid, 0) < 0 && errno == ESRCH && waitpid(pid, nullptr, WNOHANG) < 0;
}

} // namespace

// ---------------------------------------------------------------- answer 0

TEST(SoundOff, AnswerZeroAsksOnceAndLeavesEverythingAlone)
{
    TempDir dir;
    ASSERT_TRUE(module_write_mod(dir.file("song.mod"), 1, 8, 6));
    ScenarioResult r = scenario_run(dir.path, "0\n", [] {
        scenario_fact("setup", sound_setup());
        scenario_fact("enabled", sound_enabled);
        // Nothing registered: the library was never touched.
        char *list = MikMod_InfoDriver();
        scenario_fact("driver_list", list != nullptr);
        MikMod_free(list);
        struct sigaction chld;
        sigaction(SIGCHLD, nullptr, &chld);
        scenario_fact("sigchld_default", chld.sa_handler == SIG_DFL);
        scenario_fact("load", music_load("song.mod"));
        music_start();
        scenario_fact("pid", music_pid);
        scenario_fact("playing", music_playing);
        scenario_fact("no_child", waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD);
        music_stop();
        music_stop();
        sound_shutdown();
        sound_shutdown();
    });
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_TRUE(r.group_gone);
    EXPECT_EQ(r.out, mode_prompt);
    EXPECT_EQ(r.fact("setup"), 0);
    EXPECT_EQ(r.fact("enabled"), 0);
    EXPECT_EQ(r.fact("driver_list"), 0);
    EXPECT_EQ(r.fact("sigchld_default"), 1);
    EXPECT_EQ(r.fact("load"), 0);
    EXPECT_EQ(r.fact("pid"), 0);
    EXPECT_EQ(r.fact("playing"), 0);
    EXPECT_EQ(r.fact("no_child"), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("music.wav")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("music.raw")));
}

TEST(SoundOff, LetterAnswerCountsAsZero)
{
    TempDir dir;
    ScenarioResult r = scenario_run(dir.path, "\nx\n", [] { scenario_fact("setup", sound_setup()); });
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.fact("setup"), 0);
    // The empty line is no answer and is asked again; the letter is 0.
    EXPECT_EQ(r.out, std::string(mode_prompt) + mode_prompt);
}

// ---------------------------------------------------------------- questions and report line

class ReportLine : public ::testing::TestWithParam<int> {};

TEST_P(ReportLine, ModeSetsBitsAndChannelsInLineAndHeader)
{
    const int mode = GetParam();
    const int bits = mode >= 3 ? 16 : 8;
    const int channels = mode % 2 == 0 ? 2 : 1;
    Driver wav = driver_lookup("wav");
    ASSERT_GT(wav.number, 0);
    // Shut down as usual, or killed before any music: the header is in the
    // file from the start either way.
    for (bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "killed" : "shut down");
        TempDir dir;
        ScenarioResult r = scenario_run(dir.path, answers(mode, wav, 11025), [killed] {
            scenario_fact("setup", sound_setup());
            scenario_fact("enabled", sound_enabled);
            if (killed)
                raise(SIGKILL);
            sound_shutdown();
        });
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exit_status, killed ? -1 : 0);
        EXPECT_EQ(r.fact("setup"), 0);
        EXPECT_EQ(r.fact("enabled"), 1);
        EXPECT_EQ(scenario_count(r.out, using_line(wav, bits, channels == 2 ? "stereo" : "mono", 11025)), 1) << r.out;
        WavFile w = wav_read(dir.file("music.wav"));
        EXPECT_TRUE(w.header_ok);
        EXPECT_EQ(w.bytes.size(), 44u);
        EXPECT_EQ(w.channels, channels);
        EXPECT_EQ(w.bits, bits);
        EXPECT_EQ(w.rate, 11025);
        EXPECT_EQ(w.align, channels * bits / 8);
        EXPECT_EQ(w.byte_rate, 11025 * channels * bits / 8);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, ReportLine, ::testing::Values(1, 2, 3, 4));

TEST(SoundSetup, DeviceListAndOutOfRangeAnswersAreAskedAgain)
{
    Driver nosound = driver_lookup("nosound");
    ASSERT_GT(nosound.number, 0);
    TempDir dir;
    // Device 0 and a number past the list, then the real one; frequencies
    // one outside each end, then the lowest one allowed.
    std::string in = "3\n0\n999\n" + std::to_string(nosound.number) + "\n7999\n44101\n8000\n";
    ScenarioResult r = scenario_run(dir.path, in, [] {
        scenario_fact("setup", sound_setup());
        scenario_fact("device", md_device);
        scenario_fact("frequency", md_mixfreq);
        sound_shutdown();
    });
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.fact("setup"), 0);
    EXPECT_EQ(r.fact("device"), nosound.number);
    EXPECT_EQ(r.fact("frequency"), 8000);
    EXPECT_EQ(scenario_count(r.out, "Choose sound device :\n"), 1);
    // The list is printed whole, numbered from 1, then a blank line.
    EXPECT_EQ(scenario_count(r.out, " 1 "), 1);
    EXPECT_EQ(scenario_count(r.out, " " + nosound.name), 1);
    EXPECT_EQ(scenario_count(r.out, "Type corresponding number : "), 4);
    EXPECT_EQ(scenario_count(r.out, "Enter mixing frequency (eg. 11025,22050,44100) : "), 3);
    EXPECT_EQ(scenario_count(r.out, using_line(nosound, 16, "mono", 8000)), 1) << r.out;
}

TEST(SoundSetup, MissingDeviceIsADriverErrorAndTheShowGoesOnSilent)
{
    if (access("/dev/dsp", F_OK) == 0)
        GTEST_SKIP() << "this machine has /dev/dsp";
    Driver oss = driver_lookup("oss");
    if (oss.number <= 0)
        GTEST_SKIP() << "the library has no OSS driver";
    TempDir dir;
    ASSERT_TRUE(module_write_mod(dir.file("song.mod"), 1, 8, 6));
    ScenarioResult r = scenario_run(dir.path, answers(4, oss, 44100), [] {
        scenario_fact("setup", sound_setup());
        scenario_fact("enabled", sound_enabled);
        scenario_fact("load", music_load("song.mod"));
        music_start();
        scenario_fact("pid", music_pid);
        scenario_fact("no_child", waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD);
        music_stop();
        sound_shutdown();
        sound_shutdown();
    });
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.fact("setup"), -1);
    EXPECT_EQ(r.fact("enabled"), 0);
    EXPECT_EQ(r.fact("load"), 0);
    EXPECT_EQ(r.fact("pid"), 0);
    EXPECT_EQ(r.fact("no_child"), 1);
    EXPECT_EQ(scenario_count(r.out, "(eg. 11025,22050,44100) : MikMod Driver error!\n"), 1) << r.out;
    EXPECT_EQ(scenario_count(r.out, "Using "), 0);
}

// ---------------------------------------------------------------- the song plays to its end

TEST(MusicWav, SongEndsByItselfAndLeavesAFullWavFile)
{
    Driver wav = driver_lookup("wav");
    ASSERT_GT(wav.number, 0);
    TempDir dir;
    const int orders = 2, rows = 8, speed = 6;  // 1.92 s
    ASSERT_TRUE(module_write_mod(dir.file("song.mod"), orders, rows, speed));
    ScenarioResult r = scenario_run(dir.path, answers(4, wav, 22050), [] {
        scenario_fact("setup", sound_setup());
        scenario_fact("load", music_load("song.mod"));
        // Left in the buffer on purpose: the fork must not print it twice.
        printf("loaded\n");
        // The song may be written whole before this process looks: the
        // SIGCHLD handler waits until the start has been seen.
        sigset_t chld, old;
        sigemptyset(&chld);
        sigaddset(&chld, SIGCHLD);
        sigprocmask(SIG_BLOCK, &chld, &old);
        music_start();
        int pid = music_pid;
        scenario_fact("playing_after_start", music_playing == 1 && pid > 0);
        sigprocmask(SIG_SETMASK, &old, nullptr);
        wait_for_song_end(15000);
        scenario_fact("gone", process_gone(pid));
        // The shutdown finds nothing to stop; a second round is harmless.
        music_stop();
        sound_shutdown();
        music_stop();
        sound_shutdown();
        printf("done\n");
    });
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_TRUE(r.group_gone);
    EXPECT_EQ(r.fact("setup"), 0);
    EXPECT_EQ(r.fact("load"), 0);
    EXPECT_EQ(r.fact("playing_after_start"), 1);
    EXPECT_EQ(r.fact("playing_after_end"), 0);
    EXPECT_EQ(r.fact("gone"), 1);
    EXPECT_EQ(scenario_count(r.out, "Type corresponding number : Enter mixing frequency (eg. 11025,22050,44100) : " +
                                        using_line(wav, 16, "stereo", 22050)),
              1)
        << r.out;
    EXPECT_EQ(scenario_max_line_repeats(r.out), 1) << r.out;
    EXPECT_EQ(scenario_count(r.out, "loaded\n"), 1);

    WavFile w = wav_read(dir.file("music.wav"));
    EXPECT_TRUE(w.header_ok);
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.bits, 16);
    EXPECT_EQ(w.rate, 22050);
    EXPECT_EQ(w.byte_rate, 22050 * 4);
    EXPECT_EQ(w.align, 4);
    EXPECT_GT(w.peak, 1000);
    check_song_length(w, orders, rows, speed);
}

TEST(MusicWav, EightBitMonoAt8000)
{
    Driver wav = driver_lookup("wav");
    ASSERT_GT(wav.number, 0);
    TempDir dir;
    const int orders = 3, rows = 6, speed = 5;  // 1.8 s
    ASSERT_TRUE(module_write_mod(dir.file("song.mod"), orders, rows, speed));
    ScenarioResult r = scenario_run(dir.path, answers(1, wav, 8000), [] {
        sound_setup();
        music_load("song.mod");
        music_start();
        wait_for_song_end(15000);
        sound_shutdown();
    });
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_TRUE(r.group_gone);
    EXPECT_EQ(r.fact("playing_after_end"), 0);
    EXPECT_EQ(scenario_count(r.out, using_line(wav, 8, "mono", 8000)), 1) << r.out;
    WavFile w = wav_read(dir.file("music.wav"));
    EXPECT_TRUE(w.header_ok);
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.bits, 8);
    EXPECT_EQ(w.rate, 8000);
    EXPECT_EQ(w.byte_rate, 8000);
    EXPECT_EQ(w.align, 1);
    EXPECT_GT(w.peak, 16);
    check_song_length(w, orders, rows, speed);
}

// The whole road at full quality, read back by an independent tool.
TEST(MusicWav, FullRateFileIsReadInFullBySox)
{
    if (!sox_available())
        GTEST_SKIP() << "sox is not installed";
    Driver wav = driver_lookup("wav");
    ASSERT_GT(wav.number, 0);
    TempDir dir;
    ASSERT_TRUE(module_write_mod(dir.file("song.mod"), 2, 10, 4));  // 1.6 s
    ScenarioResult r = scenario_run(dir.path, answers(4, wav, 44100), [] {
        sound_setup();
        music_load_and_start("song.mod");
        wait_for_song_end(15000);
        music_stop();
        sound_shutdown();
    });
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.fact("playing_after_end"), 0);
    WavFile w = wav_read(dir.file("music.wav"));
    ASSERT_TRUE(w.header_ok);
    check_song_length(w, 2, 10, 4);
    // sox counts the samples it reads; a short header would make it stop early.
    EXPECT_EQ(sox_samples_read(dir.file("music.wav")), (long)w.data_size / 2);
}

TEST(MusicAiff, HeaderSizesFollowTheFile)
{
    if (!sox_available())
        GTEST_SKIP() << "sox is not installed";
    Driver aiff = driver_lookup("aif");
    ASSERT_GT(aiff.number, 0);
    TempDir dir;
    ASSERT_TRUE(module_write_mod(dir.file("song.mod"), 2, 8, 3));  // 0.96 s
    ScenarioResult r = scenario_run(dir.path, answers(3, aiff, 22050), [] {
        sound_setup();
        music_load("song.mod");
        music_start();
        wait_for_song_end(15000);
        sound_shutdown();
    });
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.fact("playing_after_end"), 0);
    std::string b = file_bytes(dir.file("music.aiff"));
    ASSERT_GE(b.size(), 54u + 2 * 22050 * 96 / 100);
    EXPECT_EQ(b.compare(0, 4, "FORM"), 0);
    EXPECT_EQ(be32(b, 4), b.size() - 8);
    EXPECT_EQ(b.compare(8, 8, "AIFFCOMM"), 0);
    EXPECT_EQ(be32(b, 22), (b.size() - 54) / 2);  // mono 16-bit sample frames
    EXPECT_EQ(b.compare(38, 4, "SSND"), 0);
    EXPECT_EQ(be32(b, 42), b.size() - 46);
    EXPECT_EQ(sox_samples_read(dir.file("music.aiff")), (long)(b.size() - 54) / 2);
}

TEST(MusicRaw, RawWriterLeavesTheBareSound)
{
    Driver raw = driver_lookup("raw");
    ASSERT_GT(raw.number, 0);
    TempDir dir;
    ASSERT_TRUE(module_write_mod(dir.file("song.mod"), 2, 8, 5));  // 1.6 s
    ScenarioResult r = scenario_run(dir.path, answers(2, raw, 11025), [] {
        sound_setup();
        music_load("song.mod");
        music_start();
        wait_for_song_end(15000);
        sound_shutdown();
    });
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.fact("playing_after_end"), 0);
    EXPECT_EQ(scenario_count(r.out, using_line(raw, 8, "stereo", 11025)), 1) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir.file("music.wav")));
    WavFile w;
    w.bytes = file_bytes(dir.file("music.raw"));
    w.channels = 2;
    w.bits = 8;
    w.rate = 11025;
    w.data_size = (uint32_t)w.bytes.size();
    wav_scan(w, 0);
    EXPECT_GT(w.peak, 16);
    check_song_length(w, 2, 8, 5);
}

// ---------------------------------------------------------------- stopping

// Starts and stops the music ten times, each time while the song is in
// full swing; records the slowest stop and whether every process was gone.
// With a file to watch, each stop waits until the music process has
// written more of it, so the signal finds the writer at work.
static void stop_ten_times(long play_ms, const char *growing_file)
{
    long slowest = 0;
    int all_gone = 1, all_clear = 1, all_started = 1, all_grew = 1;
    std::error_code ec;
    for (int i = 0; i < 10; i++) {
        uintmax_t size_before = growing_file ? std::filesystem::file_size(growing_file, ec) : 0;
        music_start();
        int pid = music_pid;
        all_started &= pid > 0 && music_playing == 1;
        if (growing_file) {
            long t0 = scenario_now_ms();
            while (std::filesystem::file_size(growing_file, ec) <= size_before && scenario_now_ms() - t0 < 5000)
                scenario_sleep_ms(1);
            all_grew &= std::filesystem::file_size(growing_file, ec) > size_before;
        }
        scenario_sleep_ms(i == 0 ? 0 : play_ms);  // the first stop comes at once
        long t0 = scenario_now_ms();
        music_stop();
        slowest = std::max(slowest, scenario_now_ms() - t0);
        all_gone &= process_gone(pid);
        all_clear &= music_playing == 0 && music_pid == 0;
    }
    scenario_fact("slowest_stop_ms", slowest);
    scenario_fact("all_started", all_started);
    scenario_fact("all_gone", all_gone);
    scenario_fact("all_clear", all_clear);
    scenario_fact("all_grew", all_grew);
}

static void check_ten_stops(const ScenarioResult &r)
{
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_TRUE(r.group_gone);
    EXPECT_EQ(r.fact("all_started"), 1);
    EXPECT_EQ(r.fact("all_gone"), 1);
    EXPECT_EQ(r.fact("all_clear"), 1);
    EXPECT_GE(r.fact("slowest_stop_ms"), 0);
    // Quicker than the 2 s music_stop grants before it kills: every music
    // process left by itself (a handler that stops the player from inside
    // an update deadlocks and needs the kill).
    EXPECT_LT(r.fact("slowest_stop_ms"), 1900);
}

TEST(MusicStop, TenStopsInTheMiddleOfALongSong)
{
    Driver nosound = driver_lookup("nosound");
    ASSERT_GT(nosound.number, 0);
    TempDir dir;
    ASSERT_TRUE(module_write_mod(dir.file("long.mod"), 100, 64, 31));  // over an hour
    ScenarioResult r = scenario_run(dir.path, answers(4, nosound, 44100), [] {
        sound_setup();
        music_load("long.mod");
        stop_ten_times(30, nullptr);
        sound_shutdown();
    });
    check_ten_stops(r);
}

// The disk writer spends its time inside the library's update, so the stop
// signal lands there: the music process must still leave promptly.
TEST(MusicStop, TenStopsWhileTheWriterMixes)
{
    Driver wav = driver_lookup("wav");
    ASSERT_GT(wav.number, 0);
    TempDir dir;
    ASSERT_TRUE(module_write_mod(dir.file("long.mod"), 100, 64, 31));
    ScenarioResult r = scenario_run(dir.path, answers(1, wav, 8000), [] {
        sound_setup();
        music_load("long.mod");
        stop_ten_times(2, "music.wav");
        sound_shutdown();
    });
    check_ten_stops(r);
    EXPECT_EQ(r.fact("all_grew"), 1);
    WavFile w = wav_read(dir.file("music.wav"));
    EXPECT_TRUE(w.header_ok);
    EXPECT_GT(w.data_size, 0u);
}

// The show's whole process group killed (SIGKILL) while the music process
// writes a long song: neither process can finish the file, yet it is a
// whole sound file whose header is at most one block (32768 bytes) behind
// the sound it holds, in whole sample frames, and sox reads all it declares.
TEST(MusicStop, GroupKilledWhileTheWriterMixesLeavesAWholeFile)
{
    struct Case {
        const char *alias, *file;
        int mode, frame;
    };
    for (const Case &c : {Case{"wav", "music.wav", 4, 4}, Case{"aif", "music.aiff", 3, 2}}) {
        SCOPED_TRACE(c.alias);
        Driver writer = driver_lookup(c.alias);
        ASSERT_GT(writer.number, 0);
        TempDir dir;
        ASSERT_TRUE(module_write_mod(dir.file("long.mod"), 100, 64, 31));  // over an hour
        const char *file = c.file;
        ScenarioResult r = scenario_run(dir.path, answers(c.mode, writer, 44100), [file] {
            sound_setup();
            music_load("long.mod");
            music_start();
            scenario_fact("music_pid", music_pid);
            // Eight blocks written, and the song goes on for an hour.
            std::error_code ec;
            const long t0 = scenario_now_ms();
            while (std::filesystem::file_size(file, ec) < 54 + 8 * 32768 && scenario_now_ms() - t0 < 15000)
                scenario_sleep_ms(1);
            kill(0, SIGKILL);
        });
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exit_status, -1);  // killed
        const long music = r.fact("music_pid");
        ASSERT_GT(music, 0);
        for (long t0 = scenario_now_ms(); !process_ended((int)music) && scenario_now_ms() - t0 < 10000;)
            scenario_sleep_ms(5);
        ASSERT_TRUE(process_ended((int)music));

        const std::string b = file_bytes(dir.file(c.file));
        const bool wav = c.mode == 4;
        const size_t header = wav ? 44 : 54;
        ASSERT_GE(b.size(), header + 8 * 32768);
        const uint32_t sound = wav ? le32(b, 40) : be32(b, 42) - 8;
        if (wav) {
            EXPECT_EQ(b.compare(0, 4, "RIFF"), 0);
            EXPECT_EQ(le32(b, 4), sound + 36);
            EXPECT_EQ(b.compare(36, 4, "data"), 0);
        } else {
            EXPECT_EQ(b.compare(0, 4, "FORM"), 0);
            EXPECT_EQ(be32(b, 4), sound + 46);
            EXPECT_EQ(be32(b, 22), sound / c.frame);  // sample frames
            EXPECT_EQ(b.compare(38, 4, "SSND"), 0);
        }
        EXPECT_EQ(sound % c.frame, 0u);
        EXPECT_LE(sound, b.size() - header);
        EXPECT_LE(b.size() - header - sound, 32768u) << "the header is more than a block behind";
        if (sox_available()) {
            EXPECT_EQ(sox_samples_read(dir.file(c.file)), (long)sound / 2);
        }
        WavFile w;
        w.bytes = b.substr(0, header + sound);
        w.bits = 16;
        if (!wav)  // AIFF samples are big-endian
            for (size_t i = header; i + 1 < w.bytes.size(); i += 2)
                std::swap(w.bytes[i], w.bytes[i + 1]);
        wav_scan(w, header);
        EXPECT_GT(w.peak, 1000) << "no sound in the file";
    }
}

TEST(MusicStop, ShowFatalWhilePlayingEndsTheMusicProcess)
{
    Driver nosound = driver_lookup("nosound");
    ASSERT_GT(nosound.number, 0);
    TempDir dir;
    ASSERT_TRUE(module_write_mod(dir.file("long.mod"), 100, 64, 31));
    ScenarioResult r = scenario_run(dir.path, answers(2, nosound, 22050), [] {
        sound_setup();
        music_load("long.mod");
        music_start();
        scenario_fact("pid", music_pid);
        show_fatal("Cann't allocate image!\n", -1);
    });
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_TRUE(r.group_gone);
    EXPECT_GT(r.fact("pid"), 0);
    EXPECT_EQ(scenario_count(r.out, "Cann't allocate image!\n"), 1);
}

TEST(MusicStop, StopAndShutdownBeforeTheMusicStartsAndTwice)
{
    Driver nosound = driver_lookup("nosound");
    ASSERT_GT(nosound.number, 0);
    TempDir dir;
    ASSERT_TRUE(module_write_mod(dir.file("song.mod"), 1, 8, 6));
    ScenarioResult r = scenario_run(dir.path, answers(4, nosound, 44100), [] {
        // Before the set-up, as a fatal path in display_open would.
        music_stop();
        sound_shutdown();
        sound_setup();
        music_load("song.mod");
        music_stop();
        music_stop();
        scenario_fact("no_child", waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD);
        sound_shutdown();
        scenario_fact("enabled", sound_enabled);
        sound_shutdown();
        // After the shutdown nothing starts.
        music_start();
        scenario_fact("pid", music_pid);
    });
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.fact("no_child"), 1);
    EXPECT_EQ(r.fact("enabled"), 0);
    EXPECT_EQ(r.fact("pid"), 0);
}

#if defined(__x86_64__)
// From here on every way of making a process fails with EAGAIN, as when
// the process table is full (root ignores the process limit, so a limit
// cannot stand in for it).
static bool forbid_new_processes(void)
{
    struct sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone, 4, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone3, 3, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fork, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_vfork, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EAGAIN & SECCOMP_RET_DATA)),
    };
    struct sock_fprog program = {(unsigned short)(sizeof filter / sizeof filter[0]), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// A failed fork leaves no music process and nothing to signal: the stop
// must not send a signal to a pid of 0 or -1 (the whole group or every
// process).
TEST(MusicStart, FailedForkLeavesNothingToStop)
{
    Driver nosound = driver_lookup("nosound");
    ASSERT_GT(nosound.number, 0);
    TempDir dir;
    ASSERT_TRUE(module_write_mod(dir.file("song.mod"), 1, 8, 6));
    ScenarioResult r = scenario_run(dir.path, answers(4, nosound, 44100), [] {
        sound_setup();
        music_load("song.mod");
        // A stray SIGUSR1 (kill of 0 or -1) would count here.
        static volatile sig_atomic_t stray = 0;
        signal(SIGUSR1, [](int) { stray = stray + 1; });
        if (!forbid_new_processes()) {
            scenario_fact("filter", 0);
            return;
        }
        scenario_fact("filter", 1);
        music_start();
        scenario_fact("pid", music_pid);
        scenario_fact("playing", music_playing);
        long t0 = scenario_now_ms();
        music_stop();
        sound_shutdown();
        scenario_fact("stop_ms", scenario_now_ms() - t0);
        scenario_fact("stray", stray);
        fflush(nullptr);
        // The leak checker of a sanitizer build needs a thread of its own,
        // which cannot be made any more.
        _exit(0);
    });
    ASSERT_TRUE(r.finished);
    if (r.fact("filter") != 1)
        GTEST_SKIP() << "no system-call filter here";
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.fact("pid"), 0);
    EXPECT_EQ(r.fact("playing"), 0);
    EXPECT_LT(r.fact("stop_ms"), 100);
    EXPECT_EQ(r.fact("stray"), 0);
}
#endif

// ---------------------------------------------------------------- loading

TEST(MusicLoad, MissingModuleLeavesTheShowSilent)
{
    Driver nosound = driver_lookup("nosound");
    ASSERT_GT(nosound.number, 0);
    TempDir dir;
    ScenarioResult r = scenario_run(dir.path, answers(4, nosound, 44100), [] {
        sound_setup();
        scenario_fact("load", music_load("music/skarn.xm"));
        // The music process still starts, finds no song and ends at once;
        // the SIGCHLD handler clears the flag.
        music_start();
        wait_for_song_end(3000);
        // Once more, reaped here to see its exit status.
        sigset_t chld, old;
        sigemptyset(&chld);
        sigaddset(&chld, SIGCHLD);
        sigprocmask(SIG_BLOCK, &chld, &old);
        music_start();
        int status = -1;
        long t0 = scenario_now_ms();
        scenario_fact("waited", waitpid(music_pid, &status, 0) == music_pid);
        scenario_fact("exit_ms", scenario_now_ms() - t0);
        scenario_fact("exited", WIFEXITED(status));
        scenario_fact("status", WEXITSTATUS(status));
        music_playing = 0;  // what the handler would have done
        music_pid = 0;
        sigprocmask(SIG_SETMASK, &old, nullptr);
        scenario_fact("load_and_start", music_load_and_start("music/skarn.xm"));
        scenario_fact("pid_after", music_pid);
        sound_shutdown();
    });
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_TRUE(r.group_gone);
    EXPECT_EQ(r.fact("load"), -1);
    EXPECT_EQ(r.fact("playing_after_end"), 0);
    EXPECT_LT(r.fact("song_end_wait_ms"), 3000);
    EXPECT_EQ(r.fact("waited"), 1);
    EXPECT_LT(r.fact("exit_ms"), 2000);
    EXPECT_EQ(r.fact("exited"), 1);
    EXPECT_EQ(r.fact("status"), 0);
    EXPECT_EQ(r.fact("load_and_start"), -1);
    EXPECT_EQ(r.fact("pid_after"), 0);
    EXPECT_EQ(scenario_count(r.out, "Hz\n\nMikMod Error\nMikMod Error\n"), 1) << r.out;
}

TEST(MusicLoad, ReloadFreesTheFirstSongAndStillPlays)
{
    Driver wav = driver_lookup("wav");
    ASSERT_GT(wav.number, 0);
    TempDir dir;
    ASSERT_TRUE(module_write_mod(dir.file("a.mod"), 4, 8, 6));
    ASSERT_TRUE(module_write_mod(dir.file("b.mod"), 1, 8, 6));  // 0.96 s
    ScenarioResult r = scenario_run(dir.path, answers(3, wav, 11025), [] {
        sound_setup();
        scenario_fact("first", music_load("a.mod"));
        scenario_fact("second", music_load("b.mod"));
        music_start();
        // While playing, a load does nothing.
        scenario_fact("while_playing", music_load("a.mod"));
        wait_for_song_end(15000);
        sound_shutdown();
    });
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exit_status, 0);  // a leak would fail a sanitizer build here
    EXPECT_EQ(r.fact("first"), 0);
    EXPECT_EQ(r.fact("second"), 0);
    EXPECT_EQ(r.fact("while_playing"), 0);
    EXPECT_EQ(r.fact("playing_after_end"), 0);
    WavFile w = wav_read(dir.file("music.wav"));
    EXPECT_TRUE(w.header_ok);
    check_song_length(w, 1, 8, 6);
}

// ---------------------------------------------------------------- stopping

// A music process that ignores the stop signal is killed after the grace
// period and reaped: the show does not hang, and no process is left.
TEST(MusicStop, KillsAProcessThatIgnoresTheStopSignal)
{
    TempDir dir;
    ScenarioResult r = scenario_run(dir.path, "", [] {
        int ready[2];
        if (pipe(ready) != 0)
            return;
        pid_t pid = fork();
        if (pid == 0) {
            signal(SIGUSR1, SIG_IGN);
            (void)!write(ready[1], "x", 1);
            for (;;)
                pause();
        }
        char c;
        (void)!read(ready[0], &c, 1);
        sound_enabled = 1;
        music_pid = pid;
        music_playing = 1;
        long t0 = scenario_now_ms();
        music_stop();
        scenario_fact("stop_ms", scenario_now_ms() - t0);
        scenario_fact("playing", music_playing);
        scenario_fact("pid", music_pid);
        scenario_fact("reaped", kill(pid, 0) < 0 && errno == ESRCH);
        sound_enabled = 0;
    });
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_TRUE(r.group_gone);
    EXPECT_GE(r.fact("stop_ms"), 1900);
    EXPECT_LT(r.fact("stop_ms"), 4000);
    EXPECT_EQ(r.fact("playing"), 0);
    EXPECT_EQ(r.fact("pid"), 0);
    EXPECT_EQ(r.fact("reaped"), 1);
}

// ---------------------------------------------------------------- the SIGCHLD handler

TEST(MusicHandler, KeepsErrnoAndTheFlagForAStrangerPid)
{
    TempDir dir;
    ScenarioResult r = scenario_run(dir.path, "", [] {
        // Process 1 is nobody's child here: waitpid fails inside the handler.
        music_pid = 1;
        music_playing = 1;
        errno = EDOM;
        music_on_sigchld(SIGCHLD);
        scenario_fact("errno_kept", errno == EDOM);
        scenario_fact("playing", music_playing);
        // A child of ours that has ended is reaped and clears the flag.
        pid_t pid = fork();
        if (pid == 0)
            _exit(0);
        // Wait until it has ended, leaving it for the handler to reap.
        siginfo_t info;
        waitid(P_PID, (id_t)pid, &info, WEXITED | WNOWAIT);
        music_pid = pid;
        errno = EDOM;
        music_on_sigchld(SIGCHLD);
        scenario_fact("errno_kept_2", errno == EDOM);
        scenario_fact("playing_2", music_playing);
        scenario_fact("pid_2", music_pid);
        scenario_fact("gone", kill(pid, 0) < 0 && errno == ESRCH);
    });
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.fact("errno_kept"), 1);
    EXPECT_EQ(r.fact("playing"), 1);
    EXPECT_EQ(r.fact("errno_kept_2"), 1);
    EXPECT_EQ(r.fact("playing_2"), 0);
    EXPECT_EQ(r.fact("pid_2"), 0);
    EXPECT_EQ(r.fact("gone"), 1);
}
