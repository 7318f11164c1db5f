// Whole-file reading and writing, and archive members through tar.
#include "skarn.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>

TEST(Files, ReadAllGivesTheBytesAndATerminatingNul)
{
    TempDir dir;
    std::string path = dir.file("f.bin");
    write_bytes(path, std::string("ab\0cd", 5));
    char *buf = nullptr;
    ASSERT_EQ(file_read_all(path.c_str(), &buf), 5);
    EXPECT_EQ(memcmp(buf, "ab\0cd\0", 6), 0);
    free(buf);

    write_bytes(dir.file("empty"), "");
    ASSERT_EQ(file_read_all(dir.file("empty").c_str(), &buf), 0);
    ASSERT_NE(buf, nullptr);
    EXPECT_EQ(buf[0], 0);
    free(buf);

    std::string out = capture_stdout([&] { EXPECT_EQ(file_read_all(dir.file("nope").c_str(), &buf), -1); });
    EXPECT_EQ(buf, nullptr);
    EXPECT_EQ(out, "");
}

TEST(Files, UnsizableFilesAreReadFailures)
{
    TempDir dir;
    char *buf = (char *)1;
    std::string out = capture_stdout([&] { EXPECT_EQ(file_read_all(dir.path.c_str(), &buf), -2); });
    EXPECT_EQ(out, "File read failure\n");
    EXPECT_EQ(buf, nullptr);
    // A FIFO with a writer that goes away: no size to read.
    std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string cmd = "(sleep 0.2; : > '" + fifo + "') &";
    ASSERT_EQ(system(cmd.c_str()), 0);
    out = capture_stdout([&] { EXPECT_EQ(file_read_all(fifo.c_str(), &buf), -2); });
    EXPECT_EQ(out, "File read failure\n");
}

TEST(Files, WriteAllAndItsMessages)
{
    TempDir dir;
    std::string path = dir.file("w.bin");
    EXPECT_EQ(file_write_all(path.c_str(), "hello", 5), 0);
    char *buf = nullptr;
    EXPECT_EQ(file_read_all(path.c_str(), &buf), 5);
    free(buf);
    EXPECT_EQ(file_exists(path.c_str()), 1);
    EXPECT_EQ(file_exists(dir.file("nope").c_str()), 0);
    std::string bad = dir.file("no/such/dir");
    std::string out = capture_stdout([&] { EXPECT_EQ(file_write_all(bad.c_str(), "x", 1), -1); });
    EXPECT_EQ(out, "Error opening " + bad + ": No such file or directory\n");

    FILE *f = file_open_read(path.c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(file_size(f), 5);
    char five[5];
    EXPECT_EQ(file_read_exact(f, five, 5), 0);
    out = capture_stdout([&] { EXPECT_EQ(file_read_exact(f, five, 1), -1); });
    EXPECT_EQ(out, "File read failure\n");
    fclose(f);
}

TEST(Archive, TokensSplitOnBlanksLineEndsAndCommas)
{
    char line[] = "  ab,cd";
    char *cursor = line;
    EXPECT_STREQ(archive_next_token(&cursor), "ab");
    EXPECT_STREQ(cursor, "cd");
    char tabbed[] = "ab\tc d";
    cursor = tabbed;
    EXPECT_STREQ(archive_next_token(&cursor), "ab\tc");
    EXPECT_STREQ(archive_next_token(&cursor), "d");
    EXPECT_EQ(archive_next_token(&cursor), nullptr);
    char blanks[] = " \t  ";
    cursor = blanks;
    EXPECT_EQ(archive_next_token(&cursor), nullptr);
    EXPECT_EQ(cursor, blanks);
}

TEST(Archive, NamesThatAreNotArchives)
{
    EXPECT_EQ(archive_member_size(".tar", "a"), 0);
    EXPECT_EQ(archive_member_size("data.zip", "a"), 0);
    EXPECT_EQ(archive_member_size(nullptr, "a"), 0);
    char *out = nullptr;
    EXPECT_EQ(archive_read_member("data.zip", "a", &out), 0);
    EXPECT_EQ(out, nullptr);
}

TEST(Archive, MembersOfTarAndTgzWithAwkwardNames)
{
    TempDir dir;
    ASSERT_EQ(system(("mkdir -p '" + dir.path + "/src/grafika/1'").c_str()), 0);
    std::string content(5120, 'x');
    content[17] = 'Q';
    write_bytes(dir.path + "/src/grafika/1/a.pcx", content);
    write_bytes(dir.path + "/src/b.bin", "tiny");
    // Archive names with a blank and a semicolon must be neither broken up
    // nor run as a second command.
    std::string tar = dir.file("my data;touch PWNED.tar");
    std::string tgz = dir.file("my data.tgz");
    std::string cmd = "cd '" + dir.path + "/src' && tar -cf '" + tar + "' grafika b.bin && tar -czf '" + tgz +
                      "' grafika b.bin";
    ASSERT_EQ(system(cmd.c_str()), 0);
    for (const std::string &archive : {tar, tgz}) {
        EXPECT_EQ(archive_member_size(archive.c_str(), "grafika/1/a.pcx"), 5120) << archive;
        EXPECT_EQ(archive_member_size(archive.c_str(), "b.bin"), 4);
        EXPECT_EQ(archive_member_size(archive.c_str(), "missing"), 0);
        char *buf = nullptr;
        ASSERT_EQ(archive_read_member(archive.c_str(), "grafika/1/a.pcx", &buf), 5120);
        EXPECT_EQ(memcmp(buf, content.data(), 5120), 0);
        free(buf);
        buf = nullptr;
        // A member name with quotes and a command in it is just a name.
        EXPECT_EQ(archive_read_member(archive.c_str(), "x'; touch PWNED2; '", &buf), 0);
        EXPECT_EQ(buf, nullptr);
    }
    EXPECT_EQ(file_exists("PWNED"), 0);
    EXPECT_EQ(file_exists((dir.path + "/PWNED").c_str()), 0);
    EXPECT_EQ(file_exists("PWNED2"), 0);
    // A command longer than its 256-byte buffer fails instead of being cut.
    std::string long_name(300, 'm');
    EXPECT_EQ(archive_member_size(tar.c_str(), long_name.c_str()), 0);
    char *buf = nullptr;
    EXPECT_EQ(archive_read_member(tar.c_str(), long_name.c_str(), &buf), 0);
    std::string long_archive = dir.path + "/" + std::string(260, 'a') + ".tar";
    EXPECT_EQ(archive_member_size(long_archive.c_str(), "b.bin"), 0);
}

TEST(Archive, PicturesComeFromTheNamedArchive)
{
    TempDir dir;
    dir.enter();
    Image *img = nullptr;
    ASSERT_EQ(image_create(&img, 4, 3), 0);
    for (int i = 0; i < 12; i++)
        img->pixels[i] = (uint8_t)(i * 20);
    Palette pal;
    memset(&pal, 9, sizeof pal);
    ASSERT_EQ(system("mkdir -p pics"), 0);
    ASSERT_EQ(pcx_save("pics/p.pcx", img, &pal), 5);
    ASSERT_EQ(system("tar -cf d.tar pics && rm -r pics"), 0);
    EXPECT_STREQ(archive_set_name("d.tar"), "d.tar");
    EXPECT_STREQ(archive_get_name(), "d.tar");
    Image *back = nullptr;
    Palette pal2;
    EXPECT_EQ(pcx_load_image("pics/p.pcx", &back, &pal2), 5);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(memcmp(back->pixels, img->pixels, 12), 0);
    // An empty name clears the archive again.
    EXPECT_EQ(archive_set_name(""), nullptr);
    EXPECT_EQ(archive_get_name(), nullptr);
    image_destroy(&img);
    image_destroy(&back);
}
