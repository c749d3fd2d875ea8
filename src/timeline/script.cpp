// The show script: seven scenes with gamma fades around each change, the opening camera glide
// and flash, and the logo at the end. Insertion order matters: the latest begun track wins.
#include "script.h"

#include "cues.h"
#include "params.h"
#include "tracks.h"

ProgramSet program_set;
#define PROGRAM_LABEL(label, vertex_file, fragment_file) #label,
const char* const PROGRAM_LABELS[PROGRAM_COUNT] = {PROGRAM_LIST(PROGRAM_LABEL)};
#undef PROGRAM_LABEL
#define PROGRAM_ROW(label, vertex_file, fragment_file) \
    {#label, #label ".vsh", #label ".fsh", &ProgramSet::label, {vertex_file, fragment_file}},
const ProgramEntry PROGRAM_TABLE[PROGRAM_COUNT] = {PROGRAM_LIST(PROGRAM_ROW)};
#undef PROGRAM_ROW
int32_t time_offset_ms;

// The moments the scene changes, and the end of the show.
static const int32_t CHANGE_MS[SCENE_SLOT_COUNT + 1] = {0, 48000, 72100, 96000, 124000, 160000, 190000, SHOW_LENGTH_MS};

const SceneSlot scene_slots[SCENE_SLOT_COUNT] = {
    {CHANGE_MS[0], CHANGE_MS[1], "pt05", &ProgramSet::pt05}, {CHANGE_MS[1], CHANGE_MS[2], "pt04", &ProgramSet::pt04},
    {CHANGE_MS[2], CHANGE_MS[3], "pt06", &ProgramSet::pt06}, {CHANGE_MS[3], CHANGE_MS[4], "pt03", &ProgramSet::pt03},
    {CHANGE_MS[4], CHANGE_MS[5], "pt08", &ProgramSet::pt08}, {CHANGE_MS[5], CHANGE_MS[6], "pt01", &ProgramSet::pt01},
    {CHANGE_MS[6], CHANGE_MS[7], "pt02", &ProgramSet::pt02},
};

void build_show_script() {
    ShowParams& p = show_params;
    const ProgramSet& pr = program_set;

    time_offset_ms = 0;
    cue_set1(11000, &p.displayLogo, 0);
    set_time_base(0);

    // Which scene runs, and the post effect off for the whole show.
    cue_skip(0, 0);
    cue_effect(0, 0);
    for (const SceneSlot& slot : scene_slots) cue_program(slot.start_ms, pr.*slot.program);

    // Gamma falls to 0.01 exactly as each scene hands over, then rises again: the first rise takes
    // one second, the others two. The first fall starts from the value set at 0.
    cue_set1(0, &p.gamma, 1);
    for (int i = 1; i < SCENE_SLOT_COUNT; ++i) {
        int32_t change = scene_slots[i].start_ms;
        if (i > 1) cue_set1(change - 2000, &p.gamma, 1);
        cue_tween1(change - 2000, 2000, EASE_LINEAR, &p.gamma, 0.01f);
        cue_set1(change, &p.gamma, 0.01f);
        cue_tween1(change, i == 1 ? 1000 : 2000, EASE_COSINE, &p.gamma, 1);
    }
    cue_set1(LOGO_START_MS, &p.gamma, 1);
    cue_tween1(LOGO_START_MS, 5000, EASE_LINEAR, &p.gamma, 0.5f);

    // The logo fades in over the last scene.
    cue_set1(LOGO_START_MS, &p.displayLogo, 1);
    cue_logo_slot(LOGO_START_MS, 0);
    cue_set4(LOGO_START_MS, p.logoColor, 1, 1, 1, 0);
    cue_tween4(LOGO_START_MS, 5000, EASE_COSINE, p.logoColor, 1, 1, 1, 0.95f);

    // A ten-second glide, then the camera jumps and stays.
    cue_set3(0, p.campos, 0, 0, 0);
    cue_set3(0, p.camtar, 0, -0.5f, -2);
    cue_tween3(0, 10000, EASE_LINEAR, p.campos, 0, 0, -6);
    cue_tween3(0, 10000, EASE_LINEAR, p.camtar, 0, -0.5f, -10);
    cue_set3(10000, p.campos, 0, -0.5f, -10);
    cue_set3(10000, p.camtar, 3, -0.5f, -12);

    // The opening rise: the set leaves all four remembered components at 0 for the tween.
    cue_set3(0, p.flashColor, 0, 0, 0);
    cue_tween4(0, FLASH_RISE_MS, EASE_COSINE, p.flashColor, 1, 1, 1, 1);
}
