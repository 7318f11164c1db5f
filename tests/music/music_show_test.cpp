// music_show_test.cpp: the whole program with music written to "music.wav":
// one report line, no line printed twice, the whole song in a WAV file that
// sox reads to its end, no process left behind.
#include "module_writer.h"
#include "scenario.h"
#include "sound_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

TEST(MusicShow, WholeShowWritesAWavFileThatSoxReadsInFull)
{
    if (!sox_available())
        GTEST_SKIP() << "sox is not installed";
    const Driver wav = driver_lookup("wav");
    ASSERT_GT(wav.number, 0);
    TempDir dir;
    // The show's own pictures and objects, and a short song of our own
    // (1.9 s) that ends by itself while the show still runs.
    for (const char *folder : {"grafika", "3d"})
        ASSERT_EQ(symlink((std::string(SKARN_DATA_DIR) + "/" + folder).c_str(), dir.file(folder).c_str()), 0);
    std::filesystem::create_directory(dir.file("music"));
    const int orders = 2, rows = 8, speed = 6;
    ASSERT_TRUE(module_write_mod(dir.file("music/skarn.xm"), orders, rows, speed));

    std::string answers = "4\n" + std::to_string(wav.number) + "\n44100\n";
    ScenarioResult r = scenario_run(
        dir.path, answers,
        [] {
            // The show runs on virtual time; 3 ms of real time a frame
            // (some 800 frames) gives the music process time to finish.
            setenv("SKARN_RECORD_FRAME_US", "3000", 1);
            char *argv[] = {(char *)SKARN_RECORDED_PATH, nullptr};
            execv(argv[0], argv);
            _exit(127);
        },
        240000);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exit_status, 0) << r.out;
    EXPECT_TRUE(r.group_gone);
    EXPECT_EQ(scenario_count(r.out, "Using Disk writer (wav) for 16 bit normal stereo sound at 44100 Hz\n\n"), 1)
        << r.out;
    EXPECT_EQ(scenario_count(r.out, "- Grimfall - '99 - On The CONTEST - Hungary -\n"), 1) << r.out;
    EXPECT_EQ(scenario_max_line_repeats(r.out), 1) << r.out;

    // The file's header agrees with its length, it holds the whole song
    // once, and sox reads all of it.
    WavFile w = wav_read(dir.file("music.wav"));
    EXPECT_TRUE(w.header_ok);
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.rate, 44100);
    EXPECT_GT(w.peak, 1000);
    check_song_length(w, orders, rows, speed);
    EXPECT_EQ(sox_samples_read(dir.file("music.wav")), (long)w.data_size / 2);
}
