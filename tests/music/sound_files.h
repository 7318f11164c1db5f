// sound_files.h: reading back what the sound writers leave on disk:
// WAV headers and samples, raw sound, and sox's own count of samples.
#pragma once

#include <cstdint>
#include <string>

struct WavFile {
    std::string bytes;
    bool header_ok = false;  // RIFF/WAVE/fmt /data in place, sizes agree with the length
    int channels = 0, rate = 0, byte_rate = 0, align = 0, bits = 0;
    uint32_t data_size = 0;
    int peak = 0;          // largest distance of a sample from silence
    long last_loud = -1;   // offset into the data of the last loud sample
};

uint32_t le32(const std::string &b, size_t at);
uint16_t le16(const std::string &b, size_t at);
uint32_t be32(const std::string &b, size_t at);
std::string file_bytes(const std::string &path);
// Finds the loudest sample and the last loud one of the sound from byte
// `start` of w.bytes on (signed 16-bit or unsigned 8-bit samples).
void wav_scan(WavFile &w, size_t start);
// Reads a WAV file; header_ok tells whether its sizes agree with its length.
WavFile wav_read(const std::string &path);
// The number of samples sox reads from a sound file, -1 when it fails.
long sox_samples_read(const std::string &path);
bool sox_available(void);

// Checks that the sound in w is one play of a module_write_mod song:
// it lasts the song's length (less its silent last row), and the file ends
// within one mixing block after it.
void check_song_length(const WavFile &w, int orders, int rows, int speed);
