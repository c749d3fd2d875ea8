// The synthesizer engine behind mkmusic: oscillators, envelopes, filters, instruments, an echo
// and a reverb, and the mix of a list of notes into 16-bit stereo. The piece itself is in score.h.
#pragma once
#include <cstdint>
#include <vector>

#include "show_sheet.h"
#include "timeline/script.h"

namespace synth {

constexpr int RATE = 44100;
constexpr int SECONDS = SHOW_LENGTH_MS / 1000;  // the music lasts as long as the show
constexpr int FRAMES = RATE * SECONDS;

// Sine and powers of two from plain IEEE arithmetic, so the output does not depend on which
// libm the tool was built against.
double dsin(double x);
double dexp2(double x);

enum Inst { KICK, SNARE, HAT, CRASH, RISER, BASS, ACID, PAD, STAB, ARP, BELL, EPIANO, LEAD, SUB, NINST };

// One note of the score.
struct Note {
    double t, dur;  // start and gate length in seconds
    int inst;
    float midi, vel, pan;
    float p;        // meaning depends on the instrument: cutoff, openness, duck depth...
};

// A repeatable xorshift generator: the noise of the drums and the humanised velocities.
struct Rng {
    uint32_t s;
    explicit Rng(uint32_t seed) : s(seed ? seed : 0x9e3779b9u) {}
    uint32_t next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    float bipolar() { return float(int32_t(next())) * (1.0f / 2147483648.0f); }
    float unit() { return float(next() >> 8) * (1.0f / 16777216.0f); }
};

// Renders `notes` (sorted by start time) as interleaved stereo 16-bit samples (`seconds` * RATE
// * 2 values, FRAMES * 2 by default): the voices ducked by the kick, echo and reverb, a rise out
// of silence over the first `fade_in` seconds, a fade over the last five, and the peak normalised
// to -1.5 dBFS.
std::vector<int16_t> render(const std::vector<Note>& notes, double fade_in, int seconds = SECONDS);

// A complete 44-byte-header RIFF/WAVE file holding the given interleaved stereo samples.
std::vector<uint8_t> wav_bytes(const std::vector<int16_t>& samples);

}  // namespace synth
