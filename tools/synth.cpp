// The show's music: a small subtractive/FM synthesizer with noise drums, a delay and a reverb,
// driven by a hand-written score whose sections follow the picture's scene changes.
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
// Instruments and the score

enum Inst { KICK, SNARE, HAT, CRASH, RISER, BASS, ACID, PAD, STAB, ARP, BELL, EPIANO, LEAD, SUB, NINST };

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

struct Note {
    double t, dur;  // start and gate length in seconds
    int inst;
    float midi, vel, pan;
    float p;        // meaning depends on the instrument: cutoff, openness, duck depth...
};

// One bar-based tempo grid per section, so every section starts exactly on its scene change
// while keeping whole bars.
struct Grid {
    double t0, bar;
    Grid(double start, double end, int bars) : t0(start), bar((end - start) / bars) {}
    double at(double bars) const { return t0 + bars * bar; }
    double step() const { return bar / 16; }  // a sixteenth note
};

struct Chord {
    int root;  // pitch class of the bass, as MIDI of the low octave (A1 = 33 .. G#2 = 44)
    int n[4];  // pad voicing around middle C
};

// A minor and its neighbours, voiced to move little between chords.
const Chord Am{33, {57, 60, 64, 69}}, F{41, {57, 60, 65, 69}}, C{36, {55, 60, 64, 67}},
    G{43, {55, 59, 62, 67}}, Em{40, {55, 59, 64, 67}}, Dm{38, {57, 62, 65, 69}},
    E{40, {56, 59, 64, 68}}, D{38, {57, 62, 66, 69}}, Dm7{38, {57, 60, 65, 69}},
    G7{43, {55, 59, 65, 67}}, Cmaj7{36, {55, 59, 64, 67}}, Am7{33, {55, 60, 64, 67}},
    Amaj{33, {57, 61, 64, 69}};

struct Score {
    std::vector<Note> notes;
    Rng rng{12345};
    void add(int inst, double t, double dur, float midi, float vel, float pan = 0, float p = 0) {
        notes.push_back({t, dur, inst, midi, vel, pan, p});
    }
    // Slight, repeatable velocity variation so repeated hits do not sound machine-identical.
    float human(float v) { return v * (0.88f + 0.12f * rng.unit()); }

    void kick(double t, float vel, float duck) { add(KICK, t, 0.7, 0, vel, 0, duck); }
    void snare(double t, float vel) { add(SNARE, t, 0.5, 0, human(vel), 0.05f); }
    void hat(double t, float vel, bool open = false, float pan = 0.15f) {
        add(HAT, t, open ? 0.5 : 0.15, 0, human(vel), pan, open ? 1.0f : 0.0f);
    }
    void crash(double t, float vel = 1) { add(CRASH, t, 3.0, 0, vel, -0.2f); }
    void riser(double t, double dur, float vel = 1) { add(RISER, t, dur, 0, vel, 0); }
    void pad(const Chord& c, double t, double dur, float vel, float cutoff, int shift = 0) {
        for (int i = 0; i < 4; ++i) add(PAD, t, dur, float(c.n[i] + shift), vel, -0.6f + 0.4f * i, cutoff);
    }

    // The last bar before a scene change: the beat drops out for a riser and a snare roll
    // that builds into the next section's downbeat (the picture fades to black meanwhile).
    void fill(const Grid& g, int bar, float vel = 0.8f) {
        riser(g.at(bar), g.bar, vel);
        for (int s = 8; s < 16; ++s) snare(g.at(bar) + s * g.step(), vel * (0.3f + 0.7f * (s - 8) / 8.0f));
        for (int s = 12; s < 16; ++s) snare(g.at(bar) + (s + 0.5) * g.step(), vel * 0.6f);
    }
};

// 0-3 s: everything swells out of silence into the first downbeat.
void intro(Score& s) {
    s.riser(0.0, 3.0, 1.2f);
    s.pad(Am, 0.0, 3.2, 1.0f, 900);
    s.add(SUB, 0.5, 2.6, 33, 0.7f);
}

// 3-48 s: opening theme. Pad and arpeggio first, then bass, then the beat comes in.
void section_open(Score& s, double t0, double t1) {
    Grid g(t0, t1, 22);
    const Chord* prog[4] = {&Am, &F, &C, &G};
    s.crash(g.at(0));
    s.kick(g.at(0), 1.0f, 0.3f);
    for (int bar = 0; bar < 22; ++bar) {
        const Chord& c = *prog[(bar / 2) % 4];
        bool last = bar == 21;
        if (bar % 2 == 0) s.pad(c, g.at(bar), 2 * g.bar - 0.05, 0.9f, 700.0f + 60.0f * bar);
        // Arpeggio up and down the chord an octave above the pad.
        static const int order[8] = {0, 1, 2, 3, 2, 1, 2, 3};
        for (int st = 0; st < 16; st += (bar < 4 ? 2 : 1)) {
            int note = c.n[order[st % 8]] + 12;
            float v = (st % 4 == 0 ? 0.9f : 0.6f) * std::min(1.0f, 0.4f + bar * 0.08f);
            s.add(ARP, g.at(bar) + st * g.step(), g.step() * 0.8, float(note), v, (st % 2) ? 0.35f : -0.35f,
                  0.5f + 0.02f * bar);
        }
        if (bar >= 4 && !last)
            for (int e = 0; e < 8; ++e)
                s.add(BASS, g.at(bar) + e * 2 * g.step(), g.step() * 1.6, float(c.root), e % 2 ? 0.7f : 0.9f, 0, 0.3f);
        if (last) {
            s.fill(g, bar);
            continue;
        }
        if (bar >= 8) {
            for (int b = 0; b < 4; ++b) s.kick(g.at(bar) + b * 4 * g.step(), 0.95f, 0.35f);
            for (int b = 0; b < 4; ++b) s.hat(g.at(bar) + (b * 4 + 2) * g.step(), 0.6f);
        }
        if (bar >= 12) {
            s.snare(g.at(bar) + 4 * g.step(), 0.7f);
            s.snare(g.at(bar) + 12 * g.step(), 0.7f);
            for (int b = 0; b < 4; ++b) s.hat(g.at(bar) + (b * 4) * g.step(), 0.25f, false, -0.2f);
        }
    }
}

// 48-72.1 s: the groove. Four-on-the-floor, octave bass, short chord stabs, one chord a bar.
void section_groove(Score& s, double t0, double t1) {
    Grid g(t0, t1, 12);
    const Chord* prog[4] = {&Dm, &Am, &F, &E};
    s.crash(g.at(0));
    for (int bar = 0; bar < 12; ++bar) {
        const Chord& c = *prog[bar % 4];
        if (bar == 11) {
            s.fill(g, bar);
            s.pad(c, g.at(bar), g.bar, 0.7f, 1200);
            continue;
        }
        for (int b = 0; b < 4; ++b) s.kick(g.at(bar) + b * 4 * g.step(), 1.0f, 0.55f);
        s.snare(g.at(bar) + 4 * g.step(), 0.9f);
        s.snare(g.at(bar) + 12 * g.step(), 0.9f);
        for (int st = 0; st < 16; ++st) s.hat(g.at(bar) + st * g.step(), st % 4 == 2 ? 0.7f : 0.35f, st % 8 == 6);
        for (int e = 0; e < 8; ++e)
            s.add(BASS, g.at(bar) + e * 2 * g.step(), g.step() * 1.4, float(c.root + (e % 2 ? 12 : 0)), 0.9f, 0,
                  0.6f);
        for (int st : {2, 6, 10, 13})
            for (int i = 0; i < 3; ++i)
                s.add(STAB, g.at(bar) + st * g.step(), g.step() * 1.5, float(c.n[i + 1] + 12), 0.8f, -0.5f + 0.5f * i,
                      0.7f);
    }
}

// 72.1-96 s: breakdown. No kick; electric piano chords, a bell melody and a sub bass.
void section_break(Score& s, double t0, double t1) {
    Grid g(t0, t1, 12);
    const Chord* prog[4] = {&F, &G, &Em, &Am};
    // Bell phrase over two bars: (sixteenth, length in sixteenths, MIDI note).
    struct Ph { int st, len, note; };
    static const Ph bell[2][5] = {
        {{0, 6, 76}, {6, 2, 79}, {8, 4, 81}, {12, 4, 79}, {0, 0, 0}},
        {{0, 8, 76}, {8, 4, 74}, {12, 2, 72}, {14, 2, 74}, {0, 0, 0}},
    };
    s.crash(g.at(0), 0.7f);
    for (int bar = 0; bar < 12; ++bar) {
        const Chord& c = *prog[(bar / 2) % 4];
        if (bar % 2 == 0) {
            for (int i = 0; i < 4; ++i) s.add(EPIANO, g.at(bar) + i * 0.012, 2 * g.bar - 0.1, float(c.n[i]), 0.8f, -0.4f + 0.27f * i);
            s.add(SUB, g.at(bar), 2 * g.bar - 0.05, float(c.root + 12), 0.8f);
            s.pad(c, g.at(bar), 2 * g.bar, 0.6f, 500);
        }
        if (bar >= 2 && bar < 11)
            for (const Ph& p : bell[bar % 2])
                if (p.len) s.add(BELL, g.at(bar) + p.st * g.step(), p.len * g.step(), float(p.note), 0.8f, 0.3f);
        if (bar >= 4 && bar < 11)
            for (int st = 0; st < 16; ++st) s.hat(g.at(bar) + st * g.step(), st % 2 ? 0.2f : 0.35f, false, 0.4f);
        if (bar >= 8 && bar < 11) {
            s.snare(g.at(bar) + 8 * g.step(), 0.5f);
        }
        if (bar == 11) s.fill(g, bar, 0.9f);
    }
}

// 96-124 s: driving acid section. Resonant sixteenth bassline whose filter opens up, claps,
// open hats on the offbeat, a dorian chord cycle on a quiet high pad.
void section_acid(Score& s, double t0, double t1) {
    Grid g(t0, t1, 14);
    const Chord* prog[4] = {&Am, &C, &D, &F};
    static const int line[16] = {0, 0, 12, 0, -1, 7, 0, 12, 0, -1, 10, 0, 3, 0, 12, 7};
    static const bool accent[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 0, 0, 0};
    s.crash(g.at(0));
    for (int bar = 0; bar < 14; ++bar) {
        const Chord& c = *prog[(bar / 2) % 4];
        if (bar % 2 == 0) s.pad(c, g.at(bar), 2 * g.bar, 0.6f, 1800, 12);
        float open = 0.15f + 0.85f * bar / 13.0f;
        for (int st = 0; st < 16; ++st)
            if (line[st] >= 0)
                s.add(ACID, g.at(bar) + st * g.step(), g.step() * 0.7, float(45 + line[st]),
                      accent[st] ? 1.0f : 0.7f, 0, open * (accent[st] ? 1.0f : 0.6f));
        if (bar == 13) {
            s.fill(g, bar);
            continue;
        }
        for (int b = 0; b < 4; ++b) s.kick(g.at(bar) + b * 4 * g.step(), 1.0f, 0.5f);
        s.snare(g.at(bar) + 4 * g.step(), 0.8f);
        s.snare(g.at(bar) + 12 * g.step(), 0.8f);
        for (int b = 0; b < 4; ++b) s.hat(g.at(bar) + (b * 4 + 2) * g.step(), 0.6f, true);
        s.add(SUB, g.at(bar), g.bar * 0.9, float(c.root), 0.5f);
    }
}

// 124-160 s: the peak. Broken beat, bright wide chords, fast high arpeggio and a lead melody.
void section_peak(Score& s, double t0, double t1) {
    Grid g(t0, t1, 18);
    const Chord* prog[8] = {&F, &G, &Am, &Am, &F, &G, &C, &E};
    struct Ph { int st, len, note; };
    static const Ph lead[8][4] = {
        {{0, 4, 72}, {4, 4, 69}, {8, 4, 72}, {12, 4, 77}}, {{0, 6, 76}, {6, 6, 74}, {12, 4, 71}, {0, 0, 0}},
        {{0, 8, 72}, {8, 8, 76}, {0, 0, 0}, {0, 0, 0}},    {{0, 12, 81}, {12, 4, 79}, {0, 0, 0}, {0, 0, 0}},
        {{0, 4, 77}, {4, 4, 76}, {8, 8, 72}, {0, 0, 0}},   {{0, 6, 74}, {6, 6, 71}, {12, 4, 67}, {0, 0, 0}},
        {{0, 8, 76}, {8, 8, 79}, {0, 0, 0}, {0, 0, 0}},    {{0, 8, 80}, {8, 4, 83}, {12, 4, 76}, {0, 0, 0}},
    };
    static const int kicks[] = {0, 6, 10, 11};
    static const int bass[] = {0, 3, 6, 8, 10, 14};
    s.crash(g.at(0));
    for (int bar = 0; bar < 18; ++bar) {
        const Chord& c = *prog[bar % 8];
        s.pad(c, g.at(bar), g.bar - 0.02, 1.0f, 2600, 12);
        if (bar == 17) {
            s.fill(g, bar);
            continue;
        }
        for (int st : kicks) s.kick(g.at(bar) + st * g.step(), st ? 0.85f : 1.0f, 0.45f);
        s.snare(g.at(bar) + 4 * g.step(), 0.9f);
        s.snare(g.at(bar) + 12 * g.step(), 0.9f);
        s.snare(g.at(bar) + 7 * g.step(), 0.25f);
        s.snare(g.at(bar) + 15 * g.step(), 0.3f);
        for (int st = 0; st < 16; st += 2) s.hat(g.at(bar) + st * g.step(), st % 4 ? 0.6f : 0.35f, st == 14);
        for (int st : bass)
            s.add(BASS, g.at(bar) + st * g.step(), g.step() * 1.6, float(c.root + (st == 10 ? 12 : 0)), 0.95f, 0, 0.8f);
        for (int st = 0; st < 16; ++st)
            s.add(ARP, g.at(bar) + st * g.step(), g.step() * 0.6, float(c.n[(st * 3) % 4] + 24), st % 4 ? 0.45f : 0.7f,
                  (st % 2) ? 0.6f : -0.6f, 0.8f);
        if (bar >= 8)
            for (const Ph& p : lead[bar % 8])
                if (p.len) s.add(LEAD, g.at(bar) + p.st * g.step(), p.len * g.step() * 0.95, float(p.note), 0.9f, 0.1f);
    }
}

// 160-190 s: calm, half-time beat under jazzier electric piano chords and a walking bass.
void section_calm(Score& s, double t0, double t1) {
    Grid g(t0, t1, 15);
    const Chord* prog[4] = {&Dm7, &G7, &Cmaj7, &Am7};
    s.crash(g.at(0), 0.6f);
    for (int bar = 0; bar < 15; ++bar) {
        const Chord& c = *prog[(bar / 2) % 4];
        if (bar % 2 == 0) {
            for (int i = 0; i < 4; ++i) s.add(EPIANO, g.at(bar) + i * 0.015, g.bar * 0.9, float(c.n[i]), 0.7f, -0.4f + 0.27f * i);
            s.pad(c, g.at(bar), 2 * g.bar, 0.5f, 600, -12);
        } else {
            for (int st : {6, 10})
                for (int i = 0; i < 4; ++i) s.add(EPIANO, g.at(bar) + st * g.step(), g.step() * 3, float(c.n[i]), 0.5f, -0.4f + 0.27f * i);
        }
        // Bass walks root, fifth, octave, a step towards the next root.
        static const int walk[4] = {0, 7, 12, 10};
        for (int q = 0; q < 4; ++q)
            s.add(BASS, g.at(bar) + q * 4 * g.step(), g.step() * 3.5, float(c.root + walk[q]), 0.75f, 0, 0.15f);
        if (bar == 14) {
            s.fill(g, bar, 0.7f);
            continue;
        }
        s.kick(g.at(bar), 0.9f, 0.25f);
        s.kick(g.at(bar) + 10 * g.step(), 0.6f, 0.15f);
        s.snare(g.at(bar) + 8 * g.step(), 0.8f);
        for (int st = 0; st < 16; st += 2) s.hat(g.at(bar) + st * g.step(), st % 4 ? 0.3f : 0.45f, false, -0.3f);
        if (bar % 4 == 3) s.add(BELL, g.at(bar) + 8 * g.step(), 8 * g.step(), float(c.n[3] + 12), 0.6f, 0.4f);
    }
}

// 190-205 s: build-up at a faster tempo over a dominant pedal; drums densify bar by bar.
void section_build(Score& s, double t0, double t1) {
    Grid g(t0, t1, 8);
    const Chord* prog[4] = {&F, &G, &E, &E};
    s.crash(g.at(0), 0.8f);
    s.riser(g.at(0), 8 * g.bar, 0.9f);
    for (int bar = 0; bar < 8; ++bar) {
        const Chord& c = *prog[(bar / 2) % 4];
        if (bar % 2 == 0) s.pad(c, g.at(bar), 2 * g.bar, 0.9f, 600.0f + 350.0f * bar);
        for (int st = 0; st < 16; ++st)
            s.add(ARP, g.at(bar) + st * g.step(), g.step() * 0.6, float(c.n[st % 4] + 12 + (st / 8) * 12),
                  0.4f + 0.07f * bar, (st % 2) ? 0.5f : -0.5f, 0.3f + 0.1f * bar);
        for (int e = 0; e < 16; e += 2)
            s.add(BASS, g.at(bar) + e * g.step(), g.step() * 1.5, 40.0f, 0.85f, 0, 0.2f + 0.1f * bar);
        if (bar == 7) {
            s.fill(g, bar, 1.0f);
            continue;
        }
        int every = bar < 2 ? 8 : bar < 4 ? 4 : bar < 6 ? 2 : 1;  // snare roll halves its spacing
        for (int st = 0; st < 16; st += every) s.snare(g.at(bar) + st * g.step(), 0.35f + 0.08f * bar);
        for (int b = 0; b < 4; ++b) s.kick(g.at(bar) + b * 4 * g.step(), 0.9f, 0.4f);
        for (int b = 0; b < 4; ++b) s.hat(g.at(bar) + (b * 4 + 2) * g.step(), 0.5f);
    }
}

// 205-240 s: closing theme under the logo, back to the opening's harmony; thins out and ends
// on a major chord that rings into the fade.
void section_close(Score& s, double t0) {
    Grid g(t0, t0 + 32.0, 16);
    const Chord* prog[4] = {&Am, &F, &C, &G};
    struct Ph { int st, len, note; };
    static const Ph theme[8][4] = {
        {{0, 4, 69}, {4, 4, 72}, {8, 8, 76}, {0, 0, 0}},  {{0, 4, 74}, {4, 4, 72}, {8, 4, 71}, {12, 4, 72}},
        {{0, 8, 69}, {8, 4, 65}, {12, 4, 69}, {0, 0, 0}}, {{0, 12, 72}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
        {{0, 4, 67}, {4, 4, 72}, {8, 8, 76}, {0, 0, 0}},  {{0, 6, 79}, {6, 2, 77}, {8, 8, 76}, {0, 0, 0}},
        {{0, 8, 74}, {8, 4, 71}, {12, 4, 74}, {0, 0, 0}}, {{0, 8, 71}, {8, 8, 74}, {0, 0, 0}, {0, 0, 0}},
    };
    s.crash(g.at(0), 1.0f);
    for (int bar = 0; bar < 16; ++bar) {
        const Chord& c = *prog[(bar / 2) % 4];
        if (bar % 2 == 0) {
            s.pad(c, g.at(bar), 2 * g.bar - 0.05, 1.0f, 1500);
            s.add(SUB, g.at(bar), 2 * g.bar - 0.05, float(c.root + 12), 0.8f);
        }
        for (const Ph& p : theme[bar % 8])
            if (p.len) {
                s.add(BELL, g.at(bar) + p.st * g.step(), p.len * g.step(), float(p.note + 12), 0.7f, 0.25f);
                s.add(LEAD, g.at(bar) + p.st * g.step(), p.len * g.step() * 0.95, float(p.note), 0.8f, -0.1f);
            }
        if (bar < 12) {
            for (int b = 0; b < 4; b += 2) s.kick(g.at(bar) + b * 4 * g.step(), 0.85f, 0.3f);
            s.snare(g.at(bar) + 12 * g.step(), 0.6f);
            for (int b = 0; b < 4; ++b) s.hat(g.at(bar) + (b * 4 + 2) * g.step(), 0.45f);
        }
        for (int st = 0; st < 16; st += 2)
            s.add(ARP, g.at(bar) + st * g.step(), g.step() * 0.8, float(c.n[(st / 2) % 4] + 12),
                  bar < 12 ? 0.5f : 0.35f, (st % 4) ? 0.5f : -0.5f, 0.4f);
    }
    double end = g.at(16);
    s.pad(Amaj, end, SECONDS - end, 1.0f, 1200);
    s.add(SUB, end, SECONDS - end, 33, 0.8f);
    for (int i = 0; i < 4; ++i) s.add(BELL, end + i * 0.06, 2.5, float(Amaj.n[i] + 12), 0.6f, -0.3f + 0.2f * i);
}

Score compose() {
    Score s;
    intro(s);
    section_open(s, 3.0, 48.0);
    section_groove(s, 48.0, 72.1);
    section_break(s, 72.1, 96.0);
    section_acid(s, 96.0, 124.0);
    section_peak(s, 124.0, 160.0);
    section_calm(s, 160.0, 190.0);
    section_build(s, 190.0, 205.0);
    section_close(s, 205.0);
    std::stable_sort(s.notes.begin(), s.notes.end(), [](const Note& a, const Note& b) { return a.t < b.t; });
    return s;
}

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

std::vector<int16_t> render_music() {
    init_tables();
    Score score = compose();

    // Kick onsets drive the ducking of the non-drum instruments, so sustained parts breathe
    // with the beat and the kick stays clear.
    std::vector<std::pair<long, float>> ducks;
    for (const Note& n : score.notes)
        if (n.inst == KICK) ducks.push_back({long(std::floor(n.t * RATE + 0.5)), n.p});

    const int B = 512;
    std::vector<float> out(size_t(FRAMES) * 2);
    float music[2][B], drums[2][B], dsend[B], rsend[B];
    Bus bus{{music[0], music[1]}, {drums[0], drums[1]}, dsend, rsend};
    std::vector<Voice> active;
    Echo echo;
    Reverb reverb;
    size_t next = 0, next_duck = 0;
    float duck = 0, duck_depth = 0;
    const float duck_mul = decay_mult(0.09);

    for (long b0 = 0; b0 < FRAMES; b0 += B) {
        const int len = int(std::min<long>(B, FRAMES - b0));
        std::fill(&music[0][0], &music[0][0] + 2 * B, 0.0f);
        std::fill(&drums[0][0], &drums[0][0] + 2 * B, 0.0f);
        std::fill(dsend, dsend + B, 0.0f);
        std::fill(rsend, rsend + B, 0.0f);
        while (next < score.notes.size() && std::floor(score.notes[next].t * RATE + 0.5) < b0 + len) {
            active.push_back(make_voice(score.notes[next], uint32_t(next)));
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
    for (long f = 0; f < FRAMES; ++f) {
        double t = double(f) / RATE, g = 1;
        if (t < 3.0) g = (t / 3.0) * (t / 3.0);
        if (t > SECONDS - 5.0) {
            double x = (SECONDS - t) / 5.0;
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
