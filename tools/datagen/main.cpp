// main.cpp: the data generator's entry point. Makes the show's data folder
// (pictures under grafika/ and 3d/, objects under 3d/bb/) in the folder
// given on the command line. Everything is deterministic: fixed seeds and
// no clock, so every build writes the same bytes.
#include "datagen.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

static void datagen_make_dir(const char *path)
{
    if (mkdir(path, 0777) != 0 && errno != EEXIST)
        datagen_fail("cannot make folder %s: %s", path, strerror(errno));
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s <data folder>\n", argv[0]);
        return 2;
    }
    datagen_make_dir(argv[1]);
    if (chdir(argv[1]) != 0)
        datagen_fail("cannot enter %s: %s", argv[1], strerror(errno));
    for (const char *dir : {"grafika", "grafika/1", "grafika/2", "grafika/3", "grafika/4", "grafika/5", "3d",
                            "3d/bb"})
        datagen_make_dir(dir);

    font_open();
    gen_part1_titles();
    gen_part2_tunnel();
    gen_part4_pictures();
    gen_part5_pictures();
    gen_part6_pictures();
    gen_part7_pages();
    gen_part8_closing();
    gen_objects();
    font_close();
    return 0;
}
