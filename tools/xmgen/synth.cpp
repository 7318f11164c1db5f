// synth.cpp: additive and filtered-noise synthesis of the song's drums,
// bass, lead, pad, bell and effect samples.
//
// Looped tones are sums of whole harmonics over a loop that holds a whole
// number of cycles of every partial, so the loop seam is invisible; detuned
// voices are made by giving each voice its own whole cycle count in the loop.
// Partials stop well below the output rate's Nyquist limit because the
// player mixes without interpolation.
#include "synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr double two_pi = 6.283185307179586;

// Small linear congruential generator: the same noise on every machine.
struct Noise {
    uint32_t state;
    float next()
    {
        state = state * 1664525u + 1013904223u;
        return float(int32_t(state) >> 8) / 8388608.0f;  // -1 .. 1
    }
};

// One-pole low-pass; `cut` in Hz.
struct OnePole {
    float a = 0, y = 0;
    explicit OnePole(double cut) : a(float(1.0 - std::exp(-two_pi * cut / synth_rate))) {}
    float low(float x) { return y += a * (x - y); }
    float high(float x) { return x - low(x); }
};

// Band-pass biquad (constant peak gain) whose centre may move per sample.
struct BandPass {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    float run(float x, double centre, double q)
    {
        double w = two_pi * centre / synth_rate;
        double alpha = std::sin(w) / (2 * q);
        double a0 = 1 + alpha;
        double b0 = alpha / a0, b2 = -alpha / a0;
        double a1 = -2 * std::cos(w) / a0, a2 = (1 - alpha) / a0;
        double y = b0 * x + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1; x1 = x;
        y2 = y1; y1 = y;
        return float(y);
    }
};

int frames(double seconds) { return int(seconds * synth_rate); }

// Brings a one-shot's last `seconds` down to zero, so cutting it off at its
// end cannot click.
void fade_tail(std::vector<float> &s, double seconds)
{
    size_t n = std::min(s.size(), size_t(frames(seconds)));
    for (size_t i = 0; i < n; i++)
        s[s.size() - 1 - i] *= float(i) / float(n);
}

// Loop of `length` frames summing `voices` detuned copies of one harmonic
// spectrum. Voice v runs base_cycles + offsets[v] whole cycles in the loop;
// harmonic n has amplitude amp(n) and a random but fixed phase per voice.
template <typename Amp>
std::vector<float> harmonic_loop(int length, int base_cycles, const int *offsets, int voices,
                                 int harmonics, Amp amp, uint32_t seed)
{
    std::vector<float> out(size_t(length), 0.0f);
    Noise rnd{seed};
    for (int v = 0; v < voices; v++) {
        int cycles = base_cycles + offsets[v];
        for (int n = 1; n <= harmonics; n++) {
            double a = amp(n);
            double phase = v == 0 ? 0.0 : (rnd.next() + 1.0) * 3.14159;
            double step = two_pi * double(cycles) * n / length;
            for (int i = 0; i < length; i++)
                out[size_t(i)] += float(a * std::sin(step * i + phase));
        }
    }
    return out;
}

XmInstrument make(const char *name, std::vector<float> signal, float peak, uint8_t volume,
                  uint8_t panning, int octave)
{
    XmInstrument in;
    in.name = name;
    in.sample.name = name;
    in.sample.data = synth_to_pcm(signal, peak);
    in.sample.volume = volume;
    in.sample.panning = panning;
    in.sample.relative_note = int8_t(synth_relative_note(octave));
    return in;
}

void loop_whole(XmInstrument &in)
{
    in.sample.loop = xm_loop_forward;
    in.sample.loop_start = 0;
    in.sample.loop_length = uint32_t(in.sample.data.size());
}

// Kick: a sine whose pitch falls fast from about 155 Hz to 45 Hz, a short
// click on top, gently saturated.
XmInstrument build_kick()
{
    std::vector<float> s(size_t(frames(0.42)));
    Noise rnd{0x4b1c};
    OnePole click_filter(3000);
    double phase = 0;
    for (size_t i = 0; i < s.size(); i++) {
        double t = double(i) / synth_rate;
        double f = 45 + 110 * std::exp(-t / 0.03);
        phase += two_pi * f / synth_rate;
        double body = std::sin(phase) * std::exp(-t / 0.17) * std::min(1.0, t / 0.002);
        double click = click_filter.low(rnd.next()) * std::exp(-t / 0.004);
        s[i] = float(std::tanh(1.6 * (body + 0.6 * click)));
    }
    fade_tail(s, 0.04);
    return make("kick", s, 0.95f, 64, 128, 4);
}

// Snare: two body tones under band-limited noise with a longer tail.
XmInstrument build_snare()
{
    std::vector<float> s(size_t(frames(0.3)));
    Noise rnd{0x5a4e};
    OnePole hp(900), lp(9000);
    for (size_t i = 0; i < s.size(); i++) {
        double t = double(i) / synth_rate;
        double tone = (std::sin(two_pi * 185 * t) + 0.5 * std::sin(two_pi * 330 * t)) * std::exp(-t / 0.05);
        double noise = lp.low(hp.high(rnd.next())) * std::exp(-t / 0.1);
        // Soft clipping thickens the crack without raising the peak.
        s[i] = float(std::tanh(2.5 * (0.6 * tone + 1.2 * noise)) * std::min(1.0, t / 0.001));
    }
    fade_tail(s, 0.04);
    return make("snare", s, 0.9f, 64, 120, 4);
}

// Hi-hat: six detuned square waves (a metallic cluster) plus noise, both
// high-passed; `decay` sets closed or open.
std::vector<float> hat_signal(double length, double decay, uint32_t seed)
{
    static const double partials[6] = {2.0 * 205.3, 2.0 * 304.4, 2.0 * 369.6, 2.0 * 522.7, 2.0 * 540.0, 2.0 * 800.0};
    std::vector<float> s(size_t(frames(length)));
    Noise rnd{seed};
    OnePole hp1(6500), hp2(6500);
    for (size_t i = 0; i < s.size(); i++) {
        double t = double(i) / synth_rate;
        double metal = 0;
        for (double f : partials)
            metal += std::sin(two_pi * f * t) >= 0 ? 1.0 : -1.0;
        double x = 0.12 * metal + 0.8 * rnd.next();
        s[i] = float(hp2.high(hp1.high(float(x))) * std::exp(-t / decay) * std::min(1.0, t / 0.0005));
    }
    fade_tail(s, 0.01);
    return s;
}

XmInstrument build_hat() { return make("hat", hat_signal(0.12, 0.022, 0x4a71), 0.8f, 48, 160, 4); }
XmInstrument build_open_hat() { return make("open hat", hat_signal(0.6, 0.14, 0x0e47), 0.8f, 40, 96, 4); }

// Crash: long bright noise with a slow decay.
XmInstrument build_crash()
{
    std::vector<float> s = hat_signal(2.2, 0.6, 0xc4a5);
    OnePole lp(11000);
    for (float &v : s)
        v = lp.low(v);
    return make("crash", s, 0.8f, 48, 140, 4);
}

// Riser: noise through a resonant band whose centre climbs from 250 Hz to
// 8 kHz over three seconds while the level swells.
XmInstrument build_riser()
{
    std::vector<float> s(size_t(frames(3.0)));
    Noise rnd{0x7153};
    BandPass bp;
    double n = double(s.size());
    for (size_t i = 0; i < s.size(); i++) {
        double p = double(i) / n;
        double centre = 250 * std::pow(32.0, p);
        double level = 0.15 + 0.85 * p * p;
        double fade_out = std::min(1.0, (n - double(i)) / (0.02 * synth_rate));
        s[i] = float(bp.run(rnd.next(), centre, 4.0) * level * fade_out);
    }
    return make("riser", s, 0.85f, 40, 128, 4);
}

// Bass: one cycle of a rounded saw with a strong fundamental, pitched C-2.
XmInstrument build_bass()
{
    const int offsets[1] = {0};
    auto amp = [](int n) {
        double a = 1.0 / n / (1.0 + (n / 7.0) * (n / 7.0));
        return n == 1 ? a * 1.6 : a;
    };
    // 512 frames at synth_rate is one cycle of C-2.
    XmInstrument in = make("bass", harmonic_loop(512, 1, offsets, 1, 40, amp, 0xba55), 0.9f, 64, 128, 2);
    loop_whole(in);
    in.volume_envelope = {{0, 64}, {5, 54}, {30, 42}};
    in.volume_sustain = 2;
    in.fadeout = 2400;
    return in;
}

// Lead: three saw voices a few cents apart, pitched C-5, with an auto
// vibrato that fades in.
std::vector<float> lead_signal()
{
    // 16384 frames hold 256 cycles of C-5; +-1 cycle is about 6.8 cents.
    const int offsets[3] = {0, 1, -1};
    auto amp = [](int n) { return 1.0 / n / (1.0 + (n / 9.0) * (n / 9.0)); };
    return harmonic_loop(16384, 256, offsets, 3, 14, amp, 0x1ead);
}

XmInstrument lead_instrument(const char *name, const std::vector<float> &signal, uint8_t volume,
                             uint8_t panning)
{
    XmInstrument in = make(name, signal, 0.9f, volume, panning, 5);
    loop_whole(in);
    in.volume_envelope = {{0, 40}, {2, 64}, {14, 50}, {60, 44}};
    in.volume_sustain = 3;
    in.fadeout = 1800;
    in.vibrato_type = 0;
    in.vibrato_sweep = 40;
    in.vibrato_depth = 3;
    in.vibrato_rate = 10;
    return in;
}

// Pad: five soft voices spread over about +-14 cents, pitched C-4, with a
// slow swell and a long release.
XmInstrument build_pad()
{
    // 32768 frames hold 256 cycles of C-4; +-1 cycle is about 6.8 cents.
    const int offsets[5] = {0, 1, -1, 2, -2};
    auto amp = [](int n) { return std::pow(double(n), -1.6) / (1.0 + (n / 12.0) * (n / 12.0)); };
    XmInstrument in = make("pad", harmonic_loop(32768, 256, offsets, 5, 22, amp, 0x9ad), 0.9f, 64, 128, 4);
    loop_whole(in);
    in.volume_envelope = {{0, 0}, {18, 52}, {40, 64}};
    in.volume_sustain = 2;
    in.fadeout = 700;
    return in;
}

// Bell: struck inharmonic partials, each dying away at its own rate,
// pitched C-5; plays out without a loop.
XmInstrument build_bell()
{
    static const double ratio[5] = {1.0, 2.0, 2.76, 4.07, 5.43};
    static const double level[5] = {1.0, 0.45, 0.3, 0.16, 0.1};
    static const double decay[5] = {0.9, 0.5, 0.3, 0.18, 0.1};
    const double f0 = synth_rate / 64.0;  // C-5 of this tuning
    std::vector<float> s(size_t(frames(1.6)));
    for (size_t i = 0; i < s.size(); i++) {
        double t = double(i) / synth_rate;
        double v = 0;
        for (int k = 0; k < 5; k++)
            v += level[k] * std::sin(two_pi * f0 * ratio[k] * t) * std::exp(-t / decay[k]);
        double tail = std::min(1.0, double(s.size() - i) / (0.05 * synth_rate));
        s[i] = float(v * std::min(1.0, t / 0.002) * tail);
    }
    return make("bell", s, 0.9f, 64, 80, 5);
}

} // namespace

int synth_relative_note(int octave) { return 24 + 12 * (4 - octave); }

std::vector<int16_t> synth_to_pcm(const std::vector<float> &signal, float peak)
{
    float max = 0;
    for (float v : signal)
        max = std::max(max, std::fabs(v));
    float scale = max > 0 ? peak * 32767.0f / max : 0.0f;
    std::vector<int16_t> out(signal.size());
    for (size_t i = 0; i < signal.size(); i++)
        out[i] = int16_t(std::lround(std::clamp(signal[i] * scale, -32767.0f, 32767.0f)));
    return out;
}

std::vector<XmInstrument> synth_build_all()
{
    std::vector<float> lead = lead_signal();
    std::vector<XmInstrument> all;
    all.push_back(build_kick());
    all.push_back(build_snare());
    all.push_back(build_hat());
    all.push_back(build_open_hat());
    all.push_back(build_bass());
    all.push_back(lead_instrument("lead", lead, 48, 112));
    all.push_back(lead_instrument("lead echo", lead, 30, 176));
    all.push_back(build_pad());
    all.push_back(build_bell());
    all.push_back(build_crash());
    all.push_back(build_riser());
    return all;
}
