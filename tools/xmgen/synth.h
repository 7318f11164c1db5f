// synth.h: the song's instruments, made by code. Every sample is computed at
// one rate, synth_rate, with a fixed random seed, so the bytes never change.
#pragma once

#include "xm_file.h"

// 4 x 8363 Hz: the rate a sample plays at on C-4 with relative note 24, so
// every sample here is written at that rate and tuned by its relative note.
constexpr int synth_rate = 8363 * 4;

// Relative note that makes a sample whose pitch is C of octave `octave`
// sound as that C when played on the note C of the same octave.
int synth_relative_note(int octave);

// The instruments, in the order the song numbers them (instrument 1 first).
enum SynthInstrument {
    synth_kick = 1,
    synth_snare,
    synth_hat,
    synth_open_hat,
    synth_bass,
    synth_lead,
    synth_echo,      // the lead's sound again, softer and panned aside
    synth_pad,
    synth_bell,
    synth_crash,
    synth_riser,
    synth_count = synth_riser
};

// Builds every instrument of the list above.
std::vector<XmInstrument> synth_build_all();

// Peak-normalises a float signal to `peak` (0..1 of full scale) as 16-bit.
std::vector<int16_t> synth_to_pcm(const std::vector<float> &signal, float peak);
