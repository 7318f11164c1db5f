// xmgen_main.cpp: writes the show's music module to the path given.
#include "song.h"
#include "xm_file.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output.xm\n", argv[0]);
        return -1;
    }
    XmModule module = song_build();
    std::string problem = xm_check(module);
    if (!problem.empty()) {
        std::fprintf(stderr, "xmgen: %s\n", problem.c_str());
        return -1;
    }
    std::vector<uint8_t> bytes = xm_write(module);
    FILE *f = std::fopen(argv[1], "wb");
    if (!f) {
        std::fprintf(stderr, "xmgen: cannot write %s\n", argv[1]);
        return -1;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "xmgen: cannot write %s\n", argv[1]);
        std::remove(argv[1]);
        return -1;
    }
    return 0;
}
