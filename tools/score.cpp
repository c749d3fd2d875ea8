// The show's piece: chords, drum patterns, melodies and the section plan, written as notes for
// the synthesizer engine. The sections follow the picture: they change where the show script's
// scene slots change, and the last one starts with the logo.
#include "show_sheet.h"
#include "score.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "score_kit.h"

namespace synth {

namespace {

// Each section's grid: the bars the section is written in, fitted between its start and end; the
// closing theme's 16 bars take 32 s from the logo, running on into the final chord.
Grid section_grid(const std::vector<Section>& plan, size_t i) {
    static const int BARS[] = {0, 22, 12, 12, 14, 18, 15, 8};
    if (i + 1 == plan.size()) return Grid(plan[i].start, plan[i].start + 32.0, 16);
    return Grid(plan[i].start, plan[i].end, BARS[i]);
}

// A minor and its neighbours, voiced to move little between chords.
const Chord Am{33, {57, 60, 64, 69}}, F{41, {57, 60, 65, 69}}, C{36, {55, 60, 64, 67}},
    G{43, {55, 59, 62, 67}}, Em{40, {55, 59, 64, 67}}, Dm{38, {57, 62, 65, 69}},
    E{40, {56, 59, 64, 68}}, D{38, {57, 62, 66, 69}}, Dm7{38, {57, 60, 65, 69}},
    G7{43, {55, 59, 65, 67}}, Cmaj7{36, {55, 59, 64, 67}}, Am7{33, {55, 60, 64, 67}},
    Amaj{33, {57, 61, 64, 69}};

// Intro, under the opening flash: everything swells out of silence into the first downbeat.
void intro(Score& s, double t1) {
    s.riser(0.0, t1, 1.2f);
    s.pad(Am, 0.0, 3.2, 1.0f, 900);
    s.add(SUB, 0.5, 2.6, 33, 0.7f);
}

// Opening theme, to the first scene change. Pad and arpeggio first, then bass, then the beat comes in.
void section_open(Score& s, const Grid& g) {
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

// The groove, over the second scene. Four-on-the-floor, octave bass, short chord stabs, one chord a bar.
void section_groove(Score& s, const Grid& g) {
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

// Breakdown, over the third scene. No kick; electric piano chords, a bell melody and a sub bass.
void section_break(Score& s, const Grid& g) {
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

// Driving acid section, over the fourth scene. Resonant sixteenth bassline whose filter opens up, claps,
// open hats on the offbeat, a dorian chord cycle on a quiet high pad.
void section_acid(Score& s, const Grid& g) {
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

// The peak, over the fifth scene. Broken beat, bright wide chords, fast high arpeggio and a lead melody.
void section_peak(Score& s, const Grid& g) {
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

// Calm, over the sixth scene: half-time beat under jazzier electric piano chords and a walking bass.
void section_calm(Score& s, const Grid& g) {
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

// Build-up from the last scene change to the logo, at a faster tempo over a dominant pedal; drums densify bar by bar.
void section_build(Score& s, const Grid& g) {
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

// Closing theme under the logo, back to the opening's harmony; thins out and ends
// on a major chord that rings into the fade.
void section_close(Score& s, const Grid& g) {
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


}  // namespace

std::vector<Section> sections() {
    auto at = [](int32_t ms) { return ms / 1000.0; };
    const SceneSlot* s = scene_slots;
    return {
        {"intro", 0.0, at(FLASH_RISE_MS)},
        {"open", at(FLASH_RISE_MS), at(s[1].start_ms)},
        {"groove", at(s[1].start_ms), at(s[2].start_ms)},
        {"break", at(s[2].start_ms), at(s[3].start_ms)},
        {"acid", at(s[3].start_ms), at(s[4].start_ms)},
        {"peak", at(s[4].start_ms), at(s[5].start_ms)},
        {"calm", at(s[5].start_ms), at(s[6].start_ms)},
        {"build", at(s[6].start_ms), at(LOGO_START_MS)},
        {"close", at(LOGO_START_MS), at(SHOW_LENGTH_MS)},
    };
}

std::vector<Note> compose() {
    const std::vector<Section> plan = sections();
    Score s;
    intro(s, plan[0].end);
    section_open(s, section_grid(plan, 1));
    section_groove(s, section_grid(plan, 2));
    section_break(s, section_grid(plan, 3));
    section_acid(s, section_grid(plan, 4));
    section_peak(s, section_grid(plan, 5));
    section_calm(s, section_grid(plan, 6));
    section_build(s, section_grid(plan, 7));
    section_close(s, section_grid(plan, 8));
    std::stable_sort(s.notes.begin(), s.notes.end(), [](const Note& a, const Note& b) { return a.t < b.t; });
    return s.notes;
}

std::vector<int16_t> render_music() { return render(compose(), sections()[0].end); }

std::string sheet_mismatch() {
    if (SCENE_SLOT_COUNT != 7)
        return "the bundled score is written for the bundled sheet's 7 scene slots, and this sheet has " +
               std::to_string(SCENE_SLOT_COUNT) + ": give the show music of its own (vae5.wav)";
    const std::vector<Section> plan = sections();
    for (size_t i = 1; i < plan.size(); ++i) {
        Grid g = section_grid(plan, i);
        int32_t at = (int32_t)std::lround(g.t0 * 1000);
        const TempoSpan* span = nullptr;
        for (int k = 0; k < SHOW_TEMPO_COUNT; ++k)
            if (show_tempo[k].start_ms == at) span = &show_tempo[k];
        double beat = span ? (span->bars > 0 ? (span->end_ms - span->start_ms) / (4.0 * span->bars) : 60000.0 / span->bpm) : 0;
        if (!span || std::fabs(beat - g.bar * 250.0) > 1e-6) {
            char want[96];
            std::snprintf(want, sizeof want, "a tempo line at %.3f with beats of %.6f ms", at / 1000.0, g.bar * 250.0);
            return std::string("the sheet's beat grid is not the score's: its ") + plan[i].name + " section needs " + want;
        }
    }
    return "";
}

}  // namespace synth
