// music_show_test.cpp: the whole program with music written to "music.wav":
// one report line, no line printed twice, a WAV file that sox reads to its
// end, no process left behind.
#include "module_writer.h"
#include "scenario.h"
#include "sound_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mikmod.h>
#include <unistd.h>

TEST(MusicShow, WholeShowWritesAWavFileThatSoxReadsInFull)
{
    if (!sox_available())
        GTEST_SKIP() << "sox is not installed";
    TempDir dir;
    // The driver's number, asked of the library in a child process.
    ScenarioResult lookup = scenario_run(dir.path, "", [] {
        MikMod_RegisterAllDrivers();
        scenario_fact("wav", MikMod_DriverFromAlias("wav"));
    });
    long wav = lookup.fact("wav");
    ASSERT_GT(wav, 0);
    std::filesystem::create_directory(dir.file("music"));
    ASSERT_TRUE(module_write_mod(dir.file("music/skarn.xm"), 2, 8, 6));

    std::string answers = "4\n" + std::to_string(wav) + "\n44100\n";
    ScenarioResult r = scenario_run(
        dir.path, answers,
        [] {
            char *argv[] = {(char *)SKARN_RECORDED_PATH, nullptr};
            execv(argv[0], argv);
            _exit(127);
        },
        240000);
    ASSERT_TRUE(r.finished);
    EXPECT_TRUE(r.group_gone);
    EXPECT_EQ(scenario_count(r.out, "Using Disk writer (wav) for 16 bit normal stereo sound at 44100 Hz\n\n"), 1)
        << r.out;
    EXPECT_EQ(scenario_max_line_repeats(r.out), 1) << r.out;

    // Whether the show ran to its end or stopped at a missing picture, the
    // file's header agrees with its length and sox reads all of it.
    WavFile w = wav_read(dir.file("music.wav"));
    EXPECT_TRUE(w.header_ok);
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.rate, 44100);
    EXPECT_EQ(sox_samples_read(dir.file("music.wav")), (long)w.data_size / 2);
}
