// recording_display.cpp: the recording back end. When SKARN_RECORD_LOG names
// a file, display_close writes the call log there (one line per call: the
// call, its checksum and the part clock's origin), so a whole program run in
// a child process can be checked. When
// SKARN_RECORD_FRAME_US is set, each frame also takes that many real
// microseconds, so a process running beside the show (the music) gets
// wall-clock time while the show itself runs on virtual time.
#include "recording_display.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

// The part clock's origin, read weakly: a program that never starts the part
// clock (the music tests) need not link it, and records 0.
extern int32_t timer_origin_ms __attribute__((weak));

static int32_t recording_origin(void)
{
    return &timer_origin_ms ? timer_origin_ms : 0;
}

std::vector<RecordedCall> recording_calls;
Palette recording_palette;
std::vector<uint8_t> recording_frame;
int recording_width = 0, recording_height = 0;
int recording_frame_count = 0;
bool recording_keep_frames = false;
std::vector<std::vector<uint8_t>> recording_frames;
std::vector<Palette> recording_frame_palettes;

uint32_t recording_checksum(const uint8_t *data, size_t n)
{
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; i++)
        h = (h ^ data[i]) * 16777619u;
    return h;
}

void recording_reset(void)
{
    recording_calls.clear();
    memset(&recording_palette, 0, sizeof recording_palette);
    recording_frame.clear();
    recording_width = recording_height = 0;
    recording_frame_count = 0;
    recording_frames.clear();
    recording_frame_palettes.clear();
}

std::string recording_ops(void)
{
    std::string s;
    for (const RecordedCall &c : recording_calls)
        s += c.op;
    return s;
}

int display_open(int, char **, const char *, int, int)
{
    recording_calls.push_back({'o', 0, recording_origin()});
    return 0;
}

void display_set_palette(const Palette *pal)
{
    recording_palette = *pal;
    recording_calls.push_back({'p', recording_checksum(pal->rgb, sizeof pal->rgb), recording_origin()});
}

void display_put_frame(const Image *frame)
{
    size_t n = (size_t)frame->width * (size_t)frame->height;
    recording_frame.assign(frame->pixels, frame->pixels + n);
    recording_width = frame->width;
    recording_height = frame->height;
    recording_frame_count++;
    recording_calls.push_back({'f', recording_checksum(frame->pixels, n), recording_origin()});
    if (recording_keep_frames) {
        recording_frames.push_back(recording_frame);
        recording_frame_palettes.push_back(recording_palette);
    }
    static const long frame_us = [] {
        const char *us = getenv("SKARN_RECORD_FRAME_US");
        return us ? strtol(us, nullptr, 10) : 0L;
    }();
    if (frame_us > 0 && frame_us < 1000000)
        usleep((useconds_t)frame_us);
}

void display_wait_retrace(void)
{
    recording_calls.push_back({'r', 0, recording_origin()});
}

void display_close(void)
{
    recording_calls.push_back({'c', 0, recording_origin()});
    const char *path = getenv("SKARN_RECORD_LOG");
    if (!path)
        return;
    FILE *f = fopen(path, "w");
    if (!f)
        return;
    for (const RecordedCall &c : recording_calls)
        fprintf(f, "%c %08x %d\n", c.op, c.sum, c.origin);
    // The last frame's pixels and palette, so a caller can look at them.
    fprintf(f, "last-frame %d %d %08x\n", recording_width, recording_height,
            recording_checksum(recording_frame.data(), recording_frame.size()));
    fprintf(f, "last-palette %08x\n", recording_checksum(recording_palette.rgb, 768));
    fclose(f);
}
