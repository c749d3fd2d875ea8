// The music synthesizer behind mkmusic: deterministic arithmetic helpers and the whole piece.
#pragma once
#include <cstdint>
#include <vector>

namespace synth {

constexpr int RATE = 44100;
constexpr int SECONDS = 240;
constexpr int FRAMES = RATE * SECONDS;

// Sine and powers of two from plain IEEE arithmetic, so the output does not depend on which
// libm the tool was built against.
double dsin(double x);
double dexp2(double x);

// Renders the piece as interleaved stereo 16-bit samples (FRAMES * 2 values).
std::vector<int16_t> render_music();

// A complete 44-byte-header RIFF/WAVE file holding the given interleaved stereo samples.
std::vector<uint8_t> wav_bytes(const std::vector<int16_t>& samples);

}  // namespace synth
