// The starter project's piece: D minor at 120 beats a minute, a section for each of its nine
// scenes, each taking up the scene's mood (a dawn, rings, a flight, trails, plasma, a night sky,
// a sphere, stripes, a finale), with a crash on every scene change and a fill before it.
#include "template_score.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/toolkit.h"
#include "score_kit.h"

namespace synth {

namespace {

// The bars each section is written in, in order: the intro, the nine scenes, the close. At the
// starter sheet's timing every bar lasts two seconds.
const int BARS[] = {1, 4, 5, 5, 5, 5, 5, 5, 5, 3, 2};
const size_t SECTION_COUNT = sizeof BARS / sizeof BARS[0];
const size_t SLOTS = SECTION_COUNT - 2;

// D minor and its neighbours.
const Chord Dm{38, {57, 62, 65, 69}}, Bb{34, {58, 62, 65, 70}}, F{41, {57, 60, 65, 69}}, C{36, {55, 60, 64, 67}},
    Gm{43, {55, 58, 62, 67}}, A{33, {57, 61, 64, 69}}, Gm7{43, {58, 62, 65, 67}}, Bbmaj7{34, {57, 62, 65, 70}},
    Dmaj{38, {57, 62, 66, 69}};

// A melody note: its sixteenth in the bar, its length in sixteenths, its MIDI note (0 ends a bar's list).
struct Ph {
    int st, len, note;
};

// Four on the floor with off-beat hats, for the sections with a steady beat.
void beat(Score& s, const Grid& g, int bar, float duck) {
    for (int b = 0; b < 4; ++b) {
        s.kick(g.at(bar) + b * 4 * g.step(), 1.0f, duck);
        s.hat(g.at(bar) + (b * 4 + 2) * g.step(), 0.55f);
    }
}

// Dawn, under the sunrise: a pad and a rising arpeggio; the kick marks each bar's first beat.
void dawn(Score& s, const Grid& g) {
    const Chord* prog[4] = {&Dm, &Bb, &F, &C};
    s.crash(g.at(0), 0.8f);
    for (int bar = 0; bar < 4; ++bar) {
        const Chord& c = *prog[bar];
        s.pad(c, g.at(bar), g.bar - 0.03, 0.9f, 800.0f + 200.0f * bar);
        for (int st = 0; st < 16; st += 2)
            s.add(ARP, g.at(bar) + st * g.step(), g.step() * 1.5, float(c.n[(st / 2) % 4] + 12 + 12 * (st / 8)), 0.55f + 0.1f * bar,
                  (st % 4) ? 0.4f : -0.4f, 0.5f);
        s.kick(g.at(bar), 0.8f, 0.2f);
        s.add(SUB, g.at(bar), g.bar * 0.9, float(c.root + 12), 0.6f);
    }
    s.fill(g, 3, 0.6f);
}

// Rings: the beat comes in with an octave bass, as the rings roll out.
void rings(Score& s, const Grid& g) {
    const Chord* prog[4] = {&Dm, &Bb, &F, &C};
    s.crash(g.at(0));
    for (int bar = 0; bar < 5; ++bar) {
        const Chord& c = *prog[bar % 4];
        s.pad(c, g.at(bar), g.bar - 0.03, 0.7f, 1200);
        if (bar == 4) {
            s.fill(g, bar);
            continue;
        }
        beat(s, g, bar, 0.45f);
        for (int e = 0; e < 8; ++e)
            s.add(BASS, g.at(bar) + e * 2 * g.step(), g.step() * 1.4, float(c.root + (e % 2 ? 12 : 0)), 0.9f, 0, 0.5f);
    }
}

// The flight over the plain: a driving groove with chord stabs and sixteenth hats.
void flight(Score& s, const Grid& g) {
    const Chord* prog[4] = {&Gm, &Dm, &Bb, &A};
    s.crash(g.at(0));
    for (int bar = 0; bar < 5; ++bar) {
        const Chord& c = *prog[bar % 4];
        if (bar == 4) {
            s.fill(g, bar);
            s.pad(c, g.at(bar), g.bar, 0.6f, 1400);
            continue;
        }
        beat(s, g, bar, 0.5f);
        s.snare(g.at(bar) + 4 * g.step(), 0.85f);
        s.snare(g.at(bar) + 12 * g.step(), 0.85f);
        for (int st = 1; st < 16; st += 2) s.hat(g.at(bar) + st * g.step(), 0.3f, false, -0.2f);
        for (int e = 0; e < 8; ++e) s.add(BASS, g.at(bar) + e * 2 * g.step(), g.step() * 1.6, float(c.root), 0.9f, 0, 0.6f);
        for (int st : {2, 7, 10, 14})
            for (int i = 0; i < 3; ++i)
                s.add(STAB, g.at(bar) + st * g.step(), g.step() * 1.5, float(c.n[i + 1] + 12), 0.75f, -0.5f + 0.5f * i, 0.7f);
    }
}

// Trails: the beat stops; electric piano chords, and a bell phrase repeated softer and softer,
// as the sparks leave their echoes.
void trails(Score& s, const Grid& g) {
    const Chord* prog[5] = {&Bbmaj7, &Gm7, &Dm, &C, &A};
    static const Ph bell[4] = {{0, 3, 74}, {3, 3, 77}, {6, 2, 81}, {8, 8, 79}};
    s.crash(g.at(0), 0.6f);
    for (int bar = 0; bar < 5; ++bar) {
        const Chord& c = *prog[bar];
        for (int i = 0; i < 4; ++i) s.add(EPIANO, g.at(bar) + i * 0.014, g.bar - 0.1, float(c.n[i]), 0.75f, -0.4f + 0.27f * i);
        s.add(SUB, g.at(bar), g.bar - 0.05, float(c.root + 12), 0.8f);
        s.pad(c, g.at(bar), g.bar, 0.5f, 600);
        if (bar < 4)
            for (const Ph& p : bell)
                s.add(BELL, g.at(bar) + p.st * g.step(), p.len * g.step(), float(p.note - (bar % 2) * 2), 0.8f - 0.12f * bar,
                      bar % 2 ? -0.4f : 0.4f);
        for (int st = 0; st < 16; st += 2) s.hat(g.at(bar) + st * g.step(), 0.2f + 0.05f * bar, false, 0.35f);
    }
    s.riser(g.at(4), g.bar, 0.9f);
    for (int st = 8; st < 16; ++st) s.snare(g.at(4) + st * g.step(), 0.25f + 0.06f * (st - 8));
}

// Plasma: a resonant sixteenth line whose filter opens bar by bar, with claps and open hats.
void plasma(Score& s, const Grid& g) {
    static const int line[16] = {0, 0, 12, 0, 3, -1, 0, 10, 0, 0, 12, -1, 5, 3, 0, 7};
    const Chord* prog[4] = {&Dm, &Dm, &Bb, &C};
    s.crash(g.at(0));
    for (int bar = 0; bar < 5; ++bar) {
        float open = 0.2f + 0.2f * bar;
        for (int st = 0; st < 16; ++st)
            if (line[st] >= 0)
                s.add(ACID, g.at(bar) + st * g.step(), g.step() * 0.7, float(38 + line[st]), st % 4 == 0 ? 1.0f : 0.7f, 0,
                      open * (st % 4 == 0 ? 1.0f : 0.6f));
        if (bar == 4) {
            s.fill(g, bar);
            continue;
        }
        s.pad(*prog[bar], g.at(bar), g.bar, 0.5f, 1800, 12);
        beat(s, g, bar, 0.5f);
        s.snare(g.at(bar) + 4 * g.step(), 0.8f);
        s.snare(g.at(bar) + 12 * g.step(), 0.8f);
        s.hat(g.at(bar) + 14 * g.step(), 0.5f, true);
    }
}

// The night sky: no beat; a low pad, a sub, and bell notes falling slowly like the stars.
void night(Score& s, const Grid& g) {
    const Chord* prog[5] = {&Dm, &Bbmaj7, &Gm7, &Dm, &A};
    static const int stars[8] = {81, 77, 74, 76, 72, 69, 74, 70};
    s.crash(g.at(0), 0.5f);
    for (int bar = 0; bar < 5; ++bar) {
        const Chord& c = *prog[bar];
        s.pad(c, g.at(bar), g.bar, 0.8f, 500, -12);
        s.add(SUB, g.at(bar), g.bar - 0.05, float(c.root), 0.7f);
        for (int k = 0; k < 2; ++k)
            s.add(BELL, g.at(bar) + (k * 8 + 2 * (bar % 2)) * g.step(), 6 * g.step(), float(stars[(bar * 2 + k) % 8]), 0.6f,
                  k ? 0.5f : -0.5f);
        for (int st = 4; st < 16; st += 8) s.hat(g.at(bar) + st * g.step(), 0.18f, false, -0.3f);
    }
    s.riser(g.at(4), g.bar, 0.8f);
    s.kick(g.at(4) + 12 * g.step(), 0.6f, 0.1f);
}

// The sphere: the peak. A broken beat, a fast arpeggio and the lead melody.
void sphere(Score& s, const Grid& g) {
    const Chord* prog[4] = {&Dm, &Bb, &Gm, &A};
    static const Ph lead[4][4] = {
        {{0, 4, 74}, {4, 4, 77}, {8, 6, 81}, {14, 2, 79}},
        {{0, 6, 77}, {6, 2, 74}, {8, 8, 70}, {0, 0, 0}},
        {{0, 4, 70}, {4, 4, 74}, {8, 4, 79}, {12, 4, 77}},
        {{0, 8, 76}, {8, 4, 73}, {12, 4, 76}, {0, 0, 0}},
    };
    static const int kicks[] = {0, 6, 10};
    s.crash(g.at(0));
    for (int bar = 0; bar < 5; ++bar) {
        const Chord& c = *prog[bar % 4];
        s.pad(c, g.at(bar), g.bar - 0.02, 0.9f, 2400, 12);
        if (bar == 4) {
            s.fill(g, bar);
            continue;
        }
        for (int st : kicks) s.kick(g.at(bar) + st * g.step(), st ? 0.85f : 1.0f, 0.45f);
        s.snare(g.at(bar) + 4 * g.step(), 0.9f);
        s.snare(g.at(bar) + 12 * g.step(), 0.9f);
        for (int st = 0; st < 16; st += 2) s.hat(g.at(bar) + st * g.step(), st % 4 ? 0.55f : 0.3f, st == 14);
        for (int st : {0, 3, 6, 10, 14})
            s.add(BASS, g.at(bar) + st * g.step(), g.step() * 1.6, float(c.root + (st == 10 ? 12 : 0)), 0.95f, 0, 0.7f);
        for (int st = 0; st < 16; ++st)
            s.add(ARP, g.at(bar) + st * g.step(), g.step() * 0.6, float(c.n[(st * 3) % 4] + 24), st % 4 ? 0.4f : 0.65f,
                  (st % 2) ? 0.6f : -0.6f, 0.8f);
        for (const Ph& p : lead[bar])
            if (p.len) s.add(LEAD, g.at(bar) + p.st * g.step(), p.len * g.step() * 0.95, float(p.note), 0.85f, 0.1f);
    }
}

// Stripes: the build. A pedal on A, a snare roll that halves its spacing every bar, a riser.
void stripes(Score& s, const Grid& g) {
    s.crash(g.at(0), 0.8f);
    s.riser(g.at(0), 5 * g.bar, 0.8f);
    for (int bar = 0; bar < 5; ++bar) {
        const Chord& c = bar % 2 ? Gm : A;
        s.pad(c, g.at(bar), g.bar, 0.8f, 700.0f + 400.0f * bar);
        for (int e = 0; e < 16; e += 2) s.add(BASS, g.at(bar) + e * g.step(), g.step() * 1.5, 33.0f, 0.85f, 0, 0.2f + 0.12f * bar);
        if (bar == 4) {
            s.fill(g, bar, 1.0f);
            continue;
        }
        int every = 8 >> bar;  // 8, 4, 2, 1 sixteenths
        for (int st = 0; st < 16; st += every) s.snare(g.at(bar) + st * g.step(), 0.35f + 0.1f * bar);
        beat(s, g, bar, 0.4f);
    }
}

// The finale: the theme on lead and bell over the opening's chords, into the logo.
void finale(Score& s, const Grid& g) {
    const Chord* prog[3] = {&Dm, &Bb, &C};
    static const Ph theme[3][4] = {
        {{0, 4, 69}, {4, 4, 74}, {8, 8, 77}, {0, 0, 0}},
        {{0, 4, 77}, {4, 4, 74}, {8, 4, 70}, {12, 4, 74}},
        {{0, 8, 72}, {8, 4, 76}, {12, 4, 79}, {0, 0, 0}},
    };
    s.crash(g.at(0));
    for (int bar = 0; bar < 3; ++bar) {
        const Chord& c = *prog[bar];
        s.pad(c, g.at(bar), g.bar - 0.03, 1.0f, 1500);
        s.add(SUB, g.at(bar), g.bar - 0.05, float(c.root + 12), 0.8f);
        for (const Ph& p : theme[bar])
            if (p.len) {
                s.add(LEAD, g.at(bar) + p.st * g.step(), p.len * g.step() * 0.95, float(p.note), 0.8f, -0.1f);
                s.add(BELL, g.at(bar) + p.st * g.step(), p.len * g.step(), float(p.note + 12), 0.6f, 0.25f);
            }
        for (int b = 0; b < 4; b += 2) s.kick(g.at(bar) + b * 4 * g.step(), 0.85f, 0.3f);
        s.snare(g.at(bar) + 12 * g.step(), 0.6f);
        for (int b = 0; b < 4; ++b) s.hat(g.at(bar) + (b * 4 + 2) * g.step(), 0.45f);
    }
}

// The close, under the logo: D major rings out, a bell arpeggio over it, into the fade.
void close(Score& s, const Grid& g, double end) {
    s.crash(g.at(0), 0.9f);
    s.kick(g.at(0), 0.9f, 0.2f);
    s.pad(Dmaj, g.at(0), end - g.at(0), 1.0f, 1300);
    s.add(SUB, g.at(0), end - g.at(0), 38, 0.8f);
    for (int i = 0; i < 8; ++i)
        s.add(BELL, g.at(0) + i * 2 * g.step(), 2.5, float(Dmaj.n[i % 4] + 12 * (1 + i / 4)), 0.6f - 0.04f * i, -0.3f + 0.08f * i);
}

// The span of the script's tempo map that `ms` falls in, or null.
const sheet::Tempo* tempo_at(const sheet::Script& script, int32_t ms) {
    for (const sheet::Tempo& t : script.tempo)
        if (ms >= t.start_ms && ms < t.end_ms) return &t;
    return nullptr;
}

}  // namespace

std::vector<Section> template_sections(const sheet::Script& script) {
    if (script.slots.size() != SLOTS) return {};
    auto at = [](int32_t ms) { return ms / 1000.0; };
    static const char* const NAMES[SECTION_COUNT] = {"intro",  "dawn",   "rings",   "flight", "trails", "plasma",
                                                      "night",  "sphere", "stripes", "finale", "close"};
    std::vector<Section> plan{{NAMES[0], 0.0, at(script.flash_ms)}};
    for (size_t i = 0; i < SLOTS; ++i) {
        double start = i == 0 ? at(script.flash_ms) : at(script.slots[i].start_ms);
        double end = i + 1 == SLOTS ? at(script.logo_ms) : at(script.slots[i + 1].start_ms);
        plan.push_back({NAMES[i + 1], start, end});
    }
    plan.push_back({NAMES[SECTION_COUNT - 1], at(script.logo_ms), at(script.length_ms)});
    return plan;
}

std::string template_mismatch(const sheet::Script& script) {
    if (script.slots.size() != SLOTS)
        return "the starter score is written for " + std::to_string(SLOTS) + " scene slots, and this sheet has " +
               std::to_string(script.slots.size());
    if (script.flash_ms <= 0 || script.flash_ms >= script.slots[1].start_ms)
        return "the starter score needs the flash mark inside the first scene";
    if (script.logo_ms <= script.slots[SLOTS - 1].start_ms || script.logo_ms >= script.length_ms)
        return "the starter score needs the logo mark inside the last scene";
    const std::vector<Section> plan = template_sections(script);
    for (size_t i = 0; i < plan.size(); ++i) {
        const double beat = (plan[i].end - plan[i].start) * 1000.0 / (4.0 * BARS[i]);
        const int32_t start = (int32_t)std::lround(plan[i].start * 1000);
        const sheet::Tempo* span = tempo_at(script, start);
        bool fits = false;
        if (span && std::fabs(span->beat_ms() - beat) < 1e-6) {
            double bars = (start - span->start_ms) / (4.0 * beat);
            fits = std::fabs(bars - std::round(bars)) * 4.0 * beat < 0.5;
        }
        if (!fits) {
            char want[128];
            std::snprintf(want, sizeof want, "beats of %.3f ms from %.3f s, on a bar", beat, plan[i].start);
            return std::string("the sheet's beat grid is not the starter score's: its ") + plan[i].name + " section needs " + want;
        }
    }
    return "";
}

std::vector<Note> template_compose(const sheet::Script& script) {
    const std::vector<Section> plan = template_sections(script);
    auto grid = [&](size_t i) { return Grid(plan[i].start, plan[i].end, BARS[i]); };
    Score s;
    s.rng = Rng(90);
    // The intro swells out of silence under the flash into the first downbeat.
    s.riser(0.0, plan[0].end, 1.1f);
    s.pad(Dm, 0.0, plan[0].end + 0.2, 1.0f, 900);
    s.add(SUB, 0.3, plan[0].end - 0.3, 38, 0.7f);
    dawn(s, grid(1));
    rings(s, grid(2));
    flight(s, grid(3));
    trails(s, grid(4));
    plasma(s, grid(5));
    night(s, grid(6));
    sphere(s, grid(7));
    stripes(s, grid(8));
    finale(s, grid(9));
    close(s, grid(10), plan[10].end);
    std::stable_sort(s.notes.begin(), s.notes.end(), [](const Note& a, const Note& b) { return a.t < b.t; });
    return s.notes;
}

bool template_music(const std::string& sheet_path, std::vector<int16_t>& out, std::string& why) {
    // Read as every tool reads its inputs: a FIFO or a folder is refused without waiting on it.
    std::string text;
    sheet::Sheet sheet;
    sheet::Script script;
    if (!tool::read_file(sheet_path, text, why)) return false;
    if (!sheet::parse(sheet_path, text, sheet, why) || !sheet::resolve(sheet, script, why)) return false;
    why = template_mismatch(script);
    if (!why.empty()) {
        why = sheet_path + ": " + why;
        return false;
    }
    int seconds = (script.length_ms + 999) / 1000;
    out = render(template_compose(script), template_sections(script)[0].end, seconds);
    return true;
}

}  // namespace synth
