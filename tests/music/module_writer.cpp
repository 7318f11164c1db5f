// module_writer.cpp: the tiny ProTracker module of the music tests.
#include "module_writer.h"

#include <cstdint>
#include <cstdio>
#include <vector>

static void put_be16(std::vector<uint8_t> &out, unsigned v)
{
    out.push_back((uint8_t)(v >> 8));
    out.push_back((uint8_t)v);
}

static void put_cell(std::vector<uint8_t> &out, int sample, unsigned period, int effect, int param)
{
    out.push_back((uint8_t)((sample & 0xf0) | ((period >> 8) & 0x0f)));
    out.push_back((uint8_t)period);
    out.push_back((uint8_t)(((sample & 0x0f) << 4) | (effect & 0x0f)));
    out.push_back((uint8_t)param);
}

bool module_write_mod(const std::string &path, int orders, int rows, int speed)
{
    const int sample_bytes = 64;  // one period of a square wave, looped
    std::vector<uint8_t> out(20, 0);  // title
    for (int s = 0; s < 31; s++) {
        for (int i = 0; i < 22; i++)
            out.push_back(0);  // sample name
        bool used = s == 0;
        put_be16(out, used ? sample_bytes / 2 : 0);  // length in words
        out.push_back(0);                            // finetune
        out.push_back(used ? 64 : 0);                // volume
        put_be16(out, 0);                            // loop start (words)
        put_be16(out, used ? sample_bytes / 2 : 1);  // loop length (words)
    }
    out.push_back((uint8_t)orders);  // song length
    out.push_back(127);              // restart position (unused)
    for (int i = 0; i < 128; i++)
        out.push_back(0);  // every position plays pattern 0
    for (char c : {'M', '.', 'K', '.'})
        out.push_back((uint8_t)c);

    for (int row = 0; row < 64; row++) {
        for (int ch = 0; ch < 4; ch++) {
            if (row == 0 && ch == 0)
                put_cell(out, 1, 428, 0xf, speed);      // C-2 and the speed
            else if (row == rows - 1 && ch == 0)
                put_cell(out, 0, 0, 0xc, 0);            // silence for the last row
            else if (row == rows - 1 && rows < 64 && ch == 3)
                put_cell(out, 0, 0, 0xd, 0);            // break to the next position
            else
                put_cell(out, 0, 0, 0, 0);
        }
    }
    for (int i = 0; i < sample_bytes; i++)
        out.push_back((uint8_t)(i < sample_bytes / 2 ? 100 : -100));

    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(out.data(), 1, out.size(), f) == out.size();
    return fclose(f) == 0 && ok;
}
