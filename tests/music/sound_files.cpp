// sound_files.cpp: reading back the files of the sound writers.
#include "sound_files.h"
#include "module_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

uint32_t le32(const std::string &b, size_t at)
{
    return (uint32_t)(uint8_t)b[at] | (uint32_t)(uint8_t)b[at + 1] << 8 | (uint32_t)(uint8_t)b[at + 2] << 16 |
           (uint32_t)(uint8_t)b[at + 3] << 24;
}

uint32_t be32(const std::string &b, size_t at)
{
    return (uint32_t)(uint8_t)b[at] << 24 | (uint32_t)(uint8_t)b[at + 1] << 16 | (uint32_t)(uint8_t)b[at + 2] << 8 |
           (uint32_t)(uint8_t)b[at + 3];
}

uint16_t le16(const std::string &b, size_t at)
{
    return (uint16_t)((uint8_t)b[at] | (uint8_t)b[at + 1] << 8);
}


void wav_scan(WavFile &w, size_t start)
{
    const std::string &b = w.bytes;
    const size_t step = w.bits == 16 ? 2 : 1;
    for (size_t i = start; i + step <= b.size(); i += step) {
        int v = w.bits == 16 ? (int16_t)le16(b, i) : (int)(uint8_t)b[i] - 128;
        w.peak = std::max(w.peak, std::abs(v));
        if (std::abs(v) > (w.bits == 16 ? 256 : 1))
            w.last_loud = (long)(i - start);
    }
}

std::string file_bytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

WavFile wav_read(const std::string &path)
{
    WavFile w;
    w.bytes = file_bytes(path);
    const std::string &b = w.bytes;
    if (b.size() < 44)
        return w;
    w.channels = le16(b, 22);
    w.rate = (int)le32(b, 24);
    w.byte_rate = (int)le32(b, 28);
    w.align = le16(b, 32);
    w.bits = le16(b, 34);
    w.data_size = le32(b, 40);
    w.header_ok = b.compare(0, 4, "RIFF") == 0 && le32(b, 4) == b.size() - 8 && b.compare(8, 8, "WAVEfmt ") == 0 &&
                  le32(b, 16) == 16 && le16(b, 20) == 1 && b.compare(36, 4, "data") == 0 &&
                  w.data_size == b.size() - 44;
    wav_scan(w, 44);
    return w;
}

long sox_samples_read(const std::string &path)
{
    std::string command = "sox '" + path + "' -n stat 2>&1";
    FILE *p = popen(command.c_str(), "r");
    if (!p)
        return -1;
    std::string report;
    char buf[256];
    while (fgets(buf, sizeof buf, p))
        report += buf;
    if (pclose(p) != 0 || report.find("WARN") != std::string::npos)
        return -1;
    size_t at = report.find("Samples read:");
    return at == std::string::npos ? -1 : strtol(report.c_str() + at + 13, nullptr, 10);
}

bool sox_available(void)
{
    return system("sox --version >/dev/null 2>&1") == 0;
}

// The sound lasts the song's length less its silent last row, to within
// the rounding of each tick to whole samples; the writer mixes in blocks of
// 32768 bytes, so the file may go on for less than one block after the end.
void check_song_length(const WavFile &w, int orders, int rows, int speed)
{
    const long frame = (long)w.channels * w.bits / 8;
    const long ticks = (long)orders * rows * speed;
    const long end = module_duration_ms(orders, rows, speed) * w.rate / 1000 * frame;
    const long last_row = speed * 20L * w.rate / 1000 * frame;
    EXPECT_NEAR(w.last_loud, end - last_row, (ticks + 32) * frame) << "song of " << end << " bytes";
    EXPECT_GE((long)w.data_size, end - ticks * frame);
    EXPECT_LT((long)w.data_size, end + 32768);
}
