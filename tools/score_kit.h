// What the pieces for the synthesizer are written with: a bar grid fitted to a stretch of the
// show, chords, and a list of notes with the drum hits, pads and fills every section uses.
#pragma once
#include <vector>

#include "synth.h"

namespace synth {

// One bar-based tempo grid per section, so every section starts exactly on its scene change
// while keeping whole bars.
struct Grid {
    double t0, bar;
    Grid(double start, double end, int bars) : t0(start), bar((end - start) / bars) {}
    double at(double bars) const { return t0 + bars * bar; }
    double step() const { return bar / 16; }  // a sixteenth note
};

// A chord: its bass note and a four-voice pad voicing.
struct Chord {
    int root;  // pitch class of the bass, as MIDI of the low octave (A1 = 33 .. G#2 = 44)
    int n[4];  // pad voicing around middle C
};

// A piece being written: its notes, in the order they were added.
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

}  // namespace synth
