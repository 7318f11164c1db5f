// The module through the sound library the show plays it with, rendered to
// "music.wav" by the library's disk writer in a temporary folder, with the
// settings the show uses: it loads, ends with the show, is not silent,
// does not clip, changes section on time, and its sections sound different.
#include "song.h"
#include "xm_reader.h"

#include <mikmod.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int rate = 44100;

struct Render {
    bool loaded = false;
    bool truncated_refused = false;
    std::vector<int16_t> frames;   // interleaved left, right
    std::vector<double> order_at;  // seconds when each order-list entry began
};

// Everything of a render into a fresh temporary folder, removed afterwards.
Render render_module(const std::string &path)
{
    Render out;
    char dir[] = "/tmp/skarn-xm-XXXXXX";
    if (!mkdtemp(dir))
        return out;
    char here[PATH_MAX];
    if (!getcwd(here, sizeof here) || chdir(dir) != 0) {
        rmdir(dir);
        return out;
    }

    MikMod_RegisterAllDrivers();
    MikMod_RegisterAllLoaders();
    md_device = MikMod_DriverFromAlias("wav");
    md_mixfreq = rate;
    md_volume = 96;
    md_musicvolume = 128;
    md_sndfxvolume = 128;
    md_pansep = 128;
    md_reverb = 0;
    md_mode = DMODE_SOFT_MUSIC | DMODE_STEREO | DMODE_16BITS;
    if (md_device > 0 && MikMod_Init("") == 0) {
        // A file cut in half must be refused, not played.
        std::vector<uint8_t> bytes = read_whole_file(path);
        FILE *f = std::fopen("half.xm", "wb");
        if (f) {
            std::fwrite(bytes.data(), 1, bytes.size() / 2, f);
            std::fclose(f);
            MODULE *half = Player_Load("half.xm", 64, 0);
            out.truncated_refused = half == nullptr;
            if (half)
                Player_Free(half);
            std::remove("half.xm");
        }

        MODULE *mod = Player_Load(path.c_str(), 64, 0);
        if (mod) {
            out.loaded = true;
            mod->extspd = 1;
            mod->panflag = 1;
            mod->loop = 0;
            Player_Start(mod);
            int last = -1;
            long bytes_done = 0;
            for (int guard = 0; Player_Active() && guard < 100000; guard++) {
                if (mod->sngpos != last) {
                    last = mod->sngpos;
                    out.order_at.push_back(double(bytes_done) / (rate * 4));
                }
                MikMod_Update();
                // The disk writer mixes a fixed amount per update; the file
                // size tells how far the song has got.
                FILE *w = std::fopen("music.wav", "rb");
                if (w) {
                    std::fseek(w, 0, SEEK_END);
                    bytes_done = std::ftell(w) - 44;
                    std::fclose(w);
                }
            }
            Player_Stop();
            Player_Free(mod);
        }
        MikMod_Exit();

        std::vector<uint8_t> wav = read_whole_file("music.wav");
        // Walk the RIFF chunks to the sample data.
        size_t at = 12;
        while (at + 8 <= wav.size()) {
            uint32_t size = uint32_t(wav[at + 4]) | uint32_t(wav[at + 5]) << 8 | uint32_t(wav[at + 6]) << 16 |
                            uint32_t(wav[at + 7]) << 24;
            if (std::string(wav.begin() + std::ptrdiff_t(at), wav.begin() + std::ptrdiff_t(at) + 4) == "data") {
                size_t end = std::min(wav.size(), at + 8 + size);
                for (size_t i = at + 8; i + 1 < end; i += 2)
                    out.frames.push_back(int16_t(uint16_t(wav[i] | wav[i + 1] << 8)));
                break;
            }
            at += 8 + size;
        }
    }
    std::remove("music.wav");
    if (chdir(here) != 0)
        std::perror("chdir");
    rmdir(dir);
    return out;
}

class XmRender : public ::testing::Test {
protected:
    static void SetUpTestSuite() { result = new Render(render_module(SKARN_MUSIC_FILE)); }
    static void TearDownTestSuite()
    {
        delete result;
        result = nullptr;
    }
    static Render *result;

    // Levels in dB of full scale over [from, to) seconds: the whole signal
    // and three bands split by one-pole filters at 250 Hz and 4 kHz.
    struct Levels {
        double total, low, mid, high;
    };
    static Levels measure(double from, double to)
    {
        const double a_low = 1 - std::exp(-2 * M_PI * 250 / rate);
        const double a_high = 1 - std::exp(-2 * M_PI * 4000 / rate);
        size_t a = size_t(std::max(0.0, from) * rate) * 2;
        size_t b = std::min(result->frames.size(), size_t(to * rate) * 2);
        double low = 0, below_high = 0;
        double sum[4] = {0, 0, 0, 0};
        for (size_t i = a; i + 1 < b; i += 2) {
            double v = (result->frames[i] + result->frames[i + 1]) / 65536.0;
            low += a_low * (v - low);
            below_high += a_high * (v - below_high);
            double band[4] = {v, low, below_high - low, v - below_high};
            for (int k = 0; k < 4; k++)
                sum[k] += band[k] * band[k];
        }
        double n = double(b > a ? (b - a) / 2 : 1);
        auto db = [&](double s) { return 10 * std::log10(s / n + 1e-12); };
        return {db(sum[0]), db(sum[1]), db(sum[2]), db(sum[3])};
    }
};

Render *XmRender::result = nullptr;

} // namespace

TEST_F(XmRender, LoadsAndLastsOnceThrough)
{
    ASSERT_TRUE(result->loaded);
    // Within half a second of the show's last frame.
    double seconds = double(result->frames.size()) / 2 / rate;
    EXPECT_NEAR(seconds, song_end_s, 0.5);
}

TEST_F(XmRender, RefusesATruncatedFile) { EXPECT_TRUE(result->truncated_refused); }

TEST_F(XmRender, LoudButNeverClipped)
{
    ASSERT_FALSE(result->frames.empty());
    int peak = 0;
    long at_limit = 0;
    for (int16_t v : result->frames) {
        peak = std::max(peak, std::abs(int(v)));
        if (v >= 32767 || v <= -32767)
            at_limit++;
    }
    EXPECT_EQ(at_limit, 0);
    EXPECT_LT(peak, 29000);   // about -1 dB of full scale at the loudest
    EXPECT_GT(peak, 13000);   // and not timid
    EXPECT_GT(measure(0, 140).total, -26.0);
}

TEST_F(XmRender, SectionsChangeOnTime)
{
    // Each update of the disk writer mixes about 0.19 s, so a change is seen
    // up to that much late.
    int order = 0;
    for (int i = 0; i < song_section_count; i++) {
        ASSERT_LT(size_t(order), result->order_at.size());
        double t = result->order_at[size_t(order)];
        EXPECT_GE(t, song_sections[i].start_s - 0.1) << song_sections[i].name;
        EXPECT_LE(t, song_sections[i].start_s + 0.3) << song_sections[i].name;
        order += (song_sections[i].rows + 63) / 64;
    }
}

TEST_F(XmRender, SectionsSoundDifferentAndTheEndIsQuiet)
{
    ASSERT_FALSE(result->frames.empty());
    Levels level[song_section_count];
    for (int i = 0; i < song_section_count; i++) {
        double from = song_sections[i].start_s;
        double to = i + 1 < song_section_count ? song_sections[i + 1].start_s : song_end_s;
        level[i] = measure(from + 0.2, to - 0.2);
        EXPECT_GT(level[i].total, -32.0) << song_sections[i].name << " is too quiet";
    }
    // Neighbouring sections differ in loudness or in where their energy lies.
    for (int i = 1; i < song_section_count; i++) {
        const Levels &p = level[i - 1], &q = level[i];
        double change = std::fabs(q.low - p.low) + std::fabs(q.mid - p.mid) + std::fabs(q.high - p.high);
        EXPECT_GT(change, 2.0) << song_sections[i - 1].name << " and " << song_sections[i].name << " sound alike";
    }
    // The quiet opening grows into the first full section.
    EXPECT_GT(measure(22.0, 30.0).total - measure(0.5, 7.0).total, 8.0);
    // The chord fades within the closing picture: the song's last
    // 0.4 s are silence, the second before them already far below the chord.
    double seconds = double(result->frames.size()) / 2 / rate;
    EXPECT_LT(measure(seconds - 0.4, seconds).total, -70.0);
    EXPECT_LT(measure(seconds - 1.4, seconds - 0.4).total, measure(song_end_s - 3.0, song_end_s - 2.4).total - 15.0);
}
