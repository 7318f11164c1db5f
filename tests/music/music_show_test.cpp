// music_show_test.cpp: the whole program with music written to "music.wav":
// one report line, no line printed twice, a WAV file that sox reads to its
// end, no process left behind.
#include "module_writer.h"
#include "scenario.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mikmod.h>
#include <unistd.h>

TEST(MusicShow, WholeShowWritesAWavFileThatSoxReadsInFull)
{
    if (system("sox --version >/dev/null 2>&1") != 0)
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
    std::ifstream in(dir.file("music.wav"), std::ios::binary);
    std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(b.size(), 44u);
    auto le32 = [&b](size_t at) {
        return (uint32_t)(uint8_t)b[at] | (uint32_t)(uint8_t)b[at + 1] << 8 | (uint32_t)(uint8_t)b[at + 2] << 16 |
               (uint32_t)(uint8_t)b[at + 3] << 24;
    };
    EXPECT_EQ(le32(4), b.size() - 8);
    EXPECT_EQ(le32(40), b.size() - 44);
    std::string command = "sox --i -s '" + dir.file("music.wav") + "' 2>&1";
    FILE *p = popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char line[256] = {0};
    long samples = fgets(line, sizeof line, p) ? strtol(line, nullptr, 10) : -1;
    EXPECT_EQ(pclose(p), 0);
    EXPECT_EQ(samples, (long)(b.size() - 44) / 4);
}
