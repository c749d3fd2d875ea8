// The synthesizer engine: a small subtractive/FM synthesizer with noise drums, a delay and a
// reverb, mixing a score's notes into the soundtrack.
#include "synth.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace synth {

namespace {

const double PI = 3.14159265358979323846;
const double LN2 = 0.69314718055994530942;

}  // namespace

// Taylor series after reduction to [-pi/2, pi/2]; error below 1e-13 there. std::floor is exact.
double dsin(double x) {
    const double two_pi = 2 * PI, half_pi = PI / 2;
    double r = x - std::floor(x / two_pi + 0.5) * two_pi;
    if (r > half_pi) r = PI - r;
    else if (r < -half_pi) r = -PI - r;
    double r2 = r * r, term = r, sum = r;
    for (int n = 1; n <= 10; ++n) {
        term *= -r2 / double((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

// 2^x = 2^floor(x) * e^(frac * ln 2); the series converges fast since frac * ln 2 < 0.7,
// and ldexp only changes the exponent.
double dexp2(double x) {
    double i = std::floor(x), y = (x - i) * LN2, term = 1, sum = 1;
    for (int n = 1; n <= 22; ++n) {
        term *= y / n;
        sum += term;
    }
    return std::ldexp(sum, int(i));
}

namespace {

// ---------------------------------------------------------------------------------------------
// Building blocks

const int TAB = 4096;
float SINE[TAB + 1];

void init_tables() {
    for (int i = 0; i <= TAB; ++i) SINE[i] = float(dsin(2 * PI * i / TAB));
}

// Sine of a phase given in cycles, from the table with linear interpolation.
inline float tsin(double cycles) {
    double f = (cycles - std::floor(cycles)) * TAB;
    int i = int(f);
    float t = float(f - i);
    return SINE[i] + (SINE[i + 1] - SINE[i]) * t;
}
inline float tcos(double cycles) { return tsin(cycles + 0.25); }

double dexp(double x) { return dexp2(x / LN2); }
double midi_hz(double m) { return 440.0 * dexp2((m - 69.0) / 12.0); }
// Per-sample multiplier that decays to 1/e in tau seconds.
float decay_mult(double tau) { return float(dexp(-1.0 / (tau * RATE))); }

// Band-limited sawtooth: a naive ramp with the step smoothed by a polynomial residual.
inline float saw(double& ph, double inc) {
    double t = ph, v = 2 * t - 1;
    if (t < inc) {
        t /= inc;
        v -= t + t - t * t - 1;
    } else if (t > 1 - inc) {
        t = (t - 1) / inc;
        v -= t * t + t + t + 1;
    }
    ph += inc;
    if (ph >= 1) ph -= 1;
    return float(v);
}

// Zero-delay-feedback state-variable filter; k = 1/Q (2 = no resonance, towards 0 = ringing).
struct Svf {
    float ic1 = 0, ic2 = 0, lp = 0, bp = 0, hp = 0;
    static float coef(double hz) {
        double c = std::min(hz, 0.45 * RATE) / (2.0 * RATE);
        return tsin(c) / tcos(c);
    }
    void run(float v0, float g, float k) {
        float a1 = 1 / (1 + g * (g + k)), a2 = g * a1, a3 = g * a2;
        float v3 = v0 - ic2, v1 = a1 * ic1 + a2 * v3, v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2 * v1 - ic1;
        ic2 = 2 * v2 - ic2;
        lp = v2;
        bp = v1;
        hp = v0 - k * v1 - v2;
    }
};

inline float softclip(float x) {
    if (x > 1) return 2.0f / 3;
    if (x < -1) return -2.0f / 3;
    return x - x * x * x / 3;
}


// ---------------------------------------------------------------------------------------------
// Instruments and their mix

struct InstMix {
    float gain;
    bool drum;      // drums are not ducked by the kick
    float delay;    // send levels
    float reverb;
    float tail;     // seconds a voice may ring after its gate closes
};
const InstMix MIX[NINST] = {
    {1.00f, true, 0.00f, 0.02f, 0.0f},   // KICK
    {0.50f, true, 0.05f, 0.30f, 0.0f},   // SNARE
    {0.20f, true, 0.10f, 0.05f, 0.0f},   // HAT
    {0.22f, true, 0.00f, 0.30f, 0.0f},   // CRASH
    {0.20f, true, 0.10f, 0.40f, 0.2f},   // RISER
    {0.42f, false, 0.00f, 0.00f, 0.1f},  // BASS
    {0.26f, false, 0.15f, 0.05f, 0.1f},  // ACID
    {0.085f, false, 0.05f, 0.45f, 2.0f}, // PAD
    {0.11f, false, 0.25f, 0.25f, 0.6f},  // STAB
    {0.12f, false, 0.45f, 0.25f, 0.6f},  // ARP
    {0.16f, false, 0.35f, 0.50f, 3.0f},  // BELL
    {0.14f, false, 0.15f, 0.40f, 1.5f},  // EPIANO
    {0.11f, false, 0.35f, 0.35f, 1.2f},  // LEAD
    {0.40f, false, 0.00f, 0.00f, 1.2f},  // SUB
};

// ---------------------------------------------------------------------------------------------
// Voices

struct Voice {
    Note n;
    long start = 0, gate = 0, end = 0, pos = 0;  // frames; pos counts from start
    double ph[4] = {0, 0, 0, 0}, inc[4] = {0, 0, 0, 0};
    Svf f[2];
    Rng rng{1};
    float gl = 0, gr = 0;                          // pan gains
    float env = 0, amul = 1, rmul = 1, fenv = 1, fmul = 1, penv = 1, pmul = 1;
    float g0 = 0;                                  // fixed filter coefficient
};

Voice make_voice(const Note& n, uint32_t seed) {
    Voice v;
    v.n = n;
    v.start = long(std::floor(n.t * RATE + 0.5));
    v.gate = long(std::floor(n.dur * RATE + 0.5));
    v.end = v.gate + long(MIX[n.inst].tail * RATE);
    v.rng = Rng(seed * 2654435761u + 1);
    // Constant-power pan: the angle runs over a quarter cycle from hard left to hard right.
    double angle = (std::clamp(double(n.pan), -1.0, 1.0) + 1) / 8;
    v.gl = tcos(angle);
    v.gr = tsin(angle);
    double hz = n.midi > 0 ? midi_hz(n.midi) : 0;
    static const double detune4[4] = {-0.11, -0.04, 0.04, 0.11};  // semitones
    switch (n.inst) {
    case KICK:
        v.amul = decay_mult(0.28);
        v.pmul = decay_mult(0.035);
        v.env = 1;
        break;
    case SNARE:
        v.amul = decay_mult(0.11);
        v.pmul = decay_mult(0.05);
        v.env = 1;
        v.g0 = Svf::coef(2600);
        break;
    case HAT:
        v.amul = decay_mult(n.p > 0.5f ? 0.14 : 0.035);
        v.env = 1;
        v.g0 = Svf::coef(8500);
        break;
    case CRASH:
        v.amul = decay_mult(0.9);
        v.env = 1;
        v.g0 = Svf::coef(5000);
        break;
    case PAD:
    case STAB:
    case LEAD:
        for (int i = 0; i < 4; ++i) {
            v.inc[i] = midi_hz(n.midi + detune4[i] * (n.inst == LEAD ? 0.5 : 1)) / RATE;
            v.ph[i] = (i * 0.29 + n.midi * 0.013) - std::floor(i * 0.29 + n.midi * 0.013);
        }
        v.rmul = decay_mult(n.inst == PAD ? 0.5 : n.inst == STAB ? 0.08 : 0.15);
        v.fmul = decay_mult(0.12);
        v.g0 = Svf::coef(n.inst == LEAD ? 2800 : 1000);
        break;
    default:
        v.inc[0] = hz / RATE;
        v.inc[1] = hz * (n.inst == BELL ? 3.5 : 1.0) / RATE;  // FM modulator ratio
        v.amul = decay_mult(n.inst == ARP ? 0.2 : n.inst == BELL ? 1.1 : n.inst == EPIANO ? 1.6 : 10.0);
        v.rmul = decay_mult(n.inst == BASS || n.inst == ACID ? 0.015 : n.inst == SUB ? 0.15 : 0.25);
        v.fmul = decay_mult(n.inst == ACID ? 0.11 : n.inst == ARP ? 0.07 : 0.1);
        v.pmul = decay_mult(n.inst == BELL ? 0.45 : 0.35);
        v.env = 1;
        break;
    }
    return v;
}

// Renders frames [from, to) of the block into the dry and send buses; false once finished.
struct Bus {
    float *music[2], *drums[2], *dsend, *rsend;
};

bool render_voice(Voice& v, const Bus& bus, int from, int to) {
    const Note& n = v.n;
    const InstMix& mix = MIX[n.inst];
    const float vel = n.vel * mix.gain;
    float* const* dry = mix.drum ? bus.drums : bus.music;
    for (int i = from; i < to; ++i, ++v.pos) {
        if (v.pos >= v.end) return false;
        const bool on = v.pos < v.gate;
        const double t = double(v.pos) / RATE;
        float l = 0, r = 0;
        switch (n.inst) {
        case KICK: {
            double hz = 46 + 130 * v.penv;
            v.ph[0] += hz / RATE;
            float s = tsin(v.ph[0]) * v.env * 1.4f + v.rng.bipolar() * v.penv * v.penv * 0.25f;
            s = softclip(s);
            v.env *= v.amul;
            v.penv *= v.pmul;
            l = r = s;
            break;
        }
        case SNARE: {
            v.ph[0] += (175 + 60 * v.penv) / RATE;
            float noise = v.rng.bipolar();
            v.f[0].run(noise, v.g0, 1.2f);
            float s = tsin(v.ph[0]) * v.penv * 0.6f + (v.f[0].bp + v.f[0].hp * 0.4f) * v.env;
            v.env *= v.amul;
            v.penv *= v.pmul;
            l = r = s;
            break;
        }
        case HAT:
        case CRASH: {
            v.f[0].run(v.rng.bipolar(), v.g0, 1.4f);
            float s = v.f[0].hp * v.env;
            float attack = std::min(1.0f, float(v.pos) / 40.0f);
            v.env *= v.amul;
            l = r = s * attack;
            if (v.env < 1e-4f) v.end = v.pos;
            break;
        }
        case RISER: {
            // Noise through a band that sweeps up, swelling towards the end.
            double x = std::min(1.0, t / n.dur);
            if ((v.pos & 7) == 0) v.g0 = Svf::coef(250.0 * dexp2(5.0 * x));
            float nl = v.rng.bipolar(), nr = v.rng.bipolar();
            v.f[0].run(nl, v.g0, 0.6f);
            v.f[1].run(nr, v.g0, 0.6f);
            float a = float(x * x) * (on ? 1.0f : 1.0f - float((t - n.dur) / mix.tail));
            l = v.f[0].bp * a;
            r = v.f[1].bp * a;
            break;
        }
        case BASS:
        case ACID: {
            float o = saw(v.ph[0], v.inc[0]);
            float sub = n.inst == BASS ? tsin(v.ph[1]) : 0;
            v.ph[1] += v.inc[0];
            if ((v.pos & 7) == 0)
                v.g0 = Svf::coef(n.inst == BASS ? 120 + 1500 * n.p * v.fenv : 150 + 4200 * n.p * v.fenv + 300 * n.vel);
            v.f[0].run(o, v.g0, n.inst == BASS ? 1.3f : 0.22f);
            float s = n.inst == BASS ? v.f[0].lp * 0.7f + sub * 0.6f : softclip(v.f[0].lp * 1.5f);
            float a = std::min(1.0f, float(v.pos) / 80.0f);
            if (!on) v.env *= v.rmul;
            v.fenv *= v.fmul;
            l = r = s * a * v.env;
            break;
        }
        case PAD:
        case STAB:
        case LEAD: {
            float s[4];
            double vib = n.inst == LEAD ? 1.0 + 0.003 * std::min(1.0, t * 2) * tsin(t * 5.2) : 1.0;
            for (int k = 0; k < 4; ++k) s[k] = saw(v.ph[k], v.inc[k] * vib);
            if (n.inst == STAB && (v.pos & 7) == 0) v.g0 = Svf::coef(300 + 3500 * n.p * v.fenv);
            if (n.inst == PAD && (v.pos & 63) == 0) v.g0 = Svf::coef(n.p * (1.0 + 0.25 * tsin(t * 0.15 + n.midi * 0.07)));
            v.f[0].run(s[0] + s[2] * 0.8f, v.g0, 1.1f);
            v.f[1].run(s[3] + s[1] * 0.8f, v.g0, 1.1f);
            v.fenv *= v.fmul;
            double attack = n.inst == PAD ? 0.6 : n.inst == STAB ? 0.004 : 0.02;
            if (n.inst == PAD && n.t == 0) attack = 2.8;  // the opening swell
            float a = float(std::min(1.0, t / attack));
            if (on) v.env = a;
            else v.env *= v.rmul;
            l = v.f[0].lp * v.env;
            r = v.f[1].lp * v.env;
            break;
        }
        case ARP: {
            float o = saw(v.ph[0], v.inc[0]) + 0.5f * tsin(v.ph[1] * 2);
            v.ph[1] += v.inc[0];
            if ((v.pos & 7) == 0) v.g0 = Svf::coef(250 + 5000 * n.p * v.fenv);
            v.f[0].run(o, v.g0, 0.9f);
            v.fenv *= v.fmul;
            v.env *= on ? v.amul : v.rmul;
            l = r = v.f[0].lp * v.env * std::min(1.0f, float(v.pos) / 40.0f);
            break;
        }
        case BELL:
        case EPIANO:
        case SUB: {
            float s;
            if (n.inst == SUB) {
                s = tsin(v.ph[0]);
            } else {
                float index = n.inst == BELL ? 3.0f * v.penv + 0.2f : 1.4f * v.penv + 0.25f;
                float mod = tsin(v.ph[1]) * index * (1.0f / float(2 * PI));
                s = tsin(v.ph[0] + mod);
                if (n.inst == EPIANO) s += 0.25f * tsin(2 * v.ph[0] + mod) * v.penv;
                v.ph[1] += v.inc[1];
                v.penv *= v.pmul;
            }
            v.ph[0] += v.inc[0];
            float a = std::min(1.0f, float(v.pos) / (n.inst == SUB ? 400.0f : 90.0f));
            if (on) v.env *= v.amul;
            else v.env *= v.rmul;
            l = r = s * a * v.env;
            break;
        }
        }
        // Released voices stop once they are 60 dB down.
        if (!on && v.env < 1e-3f && n.inst != RISER) v.end = v.pos;
        l *= vel * v.gl * 1.41421356f;
        r *= vel * v.gr * 1.41421356f;
        dry[0][i] += l;
        dry[1][i] += r;
        *(bus.dsend + i) += (l + r) * mix.delay;
        *(bus.rsend + i) += (l + r) * mix.reverb;
    }
    return v.pos < v.end;
}

// ---------------------------------------------------------------------------------------------
// Effects

struct Line {
    std::vector<float> buf;
    size_t i = 0;
    explicit Line(size_t n) : buf(n, 0.0f) {}
    float read() const { return buf[i]; }
    void write(float x) {
        buf[i] = x;
        if (++i == buf.size()) i = 0;
    }
};

// Ping-pong echo on a dotted eighth at 120 BPM, darker with every repeat.
struct Echo {
    Line l{size_t(0.375 * RATE)}, r{size_t(0.375 * RATE)};
    float dl = 0, dr = 0;
    void run(float in, float& outl, float& outr) {
        float yl = l.read(), yr = r.read();
        dl += (yl - dl) * 0.35f;
        dr += (yr - dr) * 0.35f;
        l.write(in + dr * 0.45f);
        r.write(dl * 0.45f);
        outl = yl;
        outr = yr;
    }
};

// Parallel damped combs into series allpasses, per channel with slightly different lengths
// so the two sides decorrelate.
struct Reverb {
    struct Comb {
        Line line;
        float z = 0;
        explicit Comb(size_t n) : line(n) {}
        float run(float in) {
            float y = line.read();
            z = y * 0.75f + z * 0.25f;
            line.write(in + z * 0.86f);
            return y;
        }
    };
    struct Allpass {
        Line line;
        explicit Allpass(size_t n) : line(n) {}
        float run(float in) {
            float b = line.read();
            line.write(in + b * 0.5f);
            return b - in;
        }
    };
    std::vector<Comb> combs[2];
    std::vector<Allpass> aps[2];
    Reverb() {
        static const int cl[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
        static const int al[4] = {556, 441, 341, 225};
        for (int c = 0; c < 2; ++c) {
            for (int n : cl) combs[c].emplace_back(size_t(n + 23 * c));
            for (int n : al) aps[c].emplace_back(size_t(n + 23 * c));
        }
    }
    void run(float in, float& outl, float& outr) {
        float o[2];
        for (int c = 0; c < 2; ++c) {
            float s = 0;
            for (Comb& k : combs[c]) s += k.run(in);
            for (Allpass& a : aps[c]) s = a.run(s);
            o[c] = s;
        }
        outl = o[0];
        outr = o[1];
    }
};

}  // namespace

std::vector<int16_t> render(const std::vector<Note>& notes, double fade_in, int seconds) {
    init_tables();
    const long frames = long(seconds) * RATE;

    // Kick onsets drive the ducking of the non-drum instruments, so sustained parts breathe
    // with the beat and the kick stays clear.
    std::vector<std::pair<long, float>> ducks;
    for (const Note& n : notes)
        if (n.inst == KICK) ducks.push_back({long(std::floor(n.t * RATE + 0.5)), n.p});

    const int B = 512;
    std::vector<float> out(size_t(frames) * 2);
    float music[2][B], drums[2][B], dsend[B], rsend[B];
    Bus bus{{music[0], music[1]}, {drums[0], drums[1]}, dsend, rsend};
    std::vector<Voice> active;
    Echo echo;
    Reverb reverb;
    size_t next = 0, next_duck = 0;
    float duck = 0, duck_depth = 0;
    const float duck_mul = decay_mult(0.09);

    for (long b0 = 0; b0 < frames; b0 += B) {
        const int len = int(std::min<long>(B, frames - b0));
        std::fill(&music[0][0], &music[0][0] + 2 * B, 0.0f);
        std::fill(&drums[0][0], &drums[0][0] + 2 * B, 0.0f);
        std::fill(dsend, dsend + B, 0.0f);
        std::fill(rsend, rsend + B, 0.0f);
        while (next < notes.size() && std::floor(notes[next].t * RATE + 0.5) < b0 + len) {
            active.push_back(make_voice(notes[next], uint32_t(next)));
            ++next;
        }
        for (size_t k = 0; k < active.size();) {
            Voice& v = active[k];
            int from = int(std::max<long>(0, v.start - b0));
            if (!render_voice(v, bus, from, len)) {
                active[k] = active.back();
                active.pop_back();
            } else {
                ++k;
            }
        }
        for (int i = 0; i < len; ++i) {
            const long f = b0 + i;
            while (next_duck < ducks.size() && ducks[next_duck].first <= f) {
                duck = 1;
                duck_depth = ducks[next_duck].second;
                ++next_duck;
            }
            const float dg = 1 - duck_depth * duck;
            duck *= duck_mul;
            float el, er, rl, rr;
            echo.run(dsend[i], el, er);
            reverb.run((rsend[i] + (el + er) * 0.2f) * 0.02f, rl, rr);
            float l = drums[0][i] + music[0][i] * dg + (el * 0.5f) * dg + rl * 0.9f;
            float r = drums[1][i] + music[1][i] * dg + (er * 0.5f) * dg + rr * 0.9f;
            out[size_t(f) * 2] = l;
            out[size_t(f) * 2 + 1] = r;
        }
    }

    // Master: the opening rises out of silence and the last five seconds fade to nothing.
    for (long f = 0; f < frames; ++f) {
        double t = double(f) / RATE, g = 1;
        if (t < fade_in) g = (t / fade_in) * (t / fade_in);
        if (t > seconds - 5.0) {
            double x = (seconds - t) / 5.0;
            g = x * x;
        }
        out[size_t(f) * 2] *= float(g);
        out[size_t(f) * 2 + 1] *= float(g);
    }

    // Normalise so the loudest sample sits at -1.5 dBFS.
    float peak = 1e-9f;
    for (float x : out) peak = std::max(peak, std::fabs(x));
    const double gain = 0.84 * 32767.0 / peak;
    std::vector<int16_t> pcm(out.size());
    for (size_t i = 0; i < out.size(); ++i) pcm[i] = int16_t(std::floor(out[i] * gain + 0.5));
    return pcm;
}

std::vector<uint8_t> wav_bytes(const std::vector<int16_t>& samples) {
    const uint32_t data = uint32_t(samples.size() * 2), channels = 2, bits = 16;
    std::vector<uint8_t> w;
    w.reserve(44 + data);
    auto tag = [&](const char* s) {
        for (int i = 0; i < 4; ++i) w.push_back(uint8_t(s[i]));
    };
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) w.push_back(uint8_t(v >> (8 * i)));
    };
    auto u16 = [&](uint32_t v) {
        w.push_back(uint8_t(v));
        w.push_back(uint8_t(v >> 8));
    };
    tag("RIFF");
    u32(36 + data);
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);  // PCM
    u16(channels);
    u32(RATE);
    u32(RATE * channels * bits / 8);
    u16(channels * bits / 8);
    u16(bits);
    tag("data");
    u32(data);
    for (int16_t s : samples) u16(uint16_t(s));
    return w;
}

}  // namespace synth
