// The show script: seven scenes with gamma fades around each change, the opening camera glide
// and flash, and the logo at the end. Insertion order matters: the latest begun track wins.
#include "script.h"

#include "cues.h"
#include "params.h"
#include "tracks.h"

ProgramSet program_set;
const char* const PROGRAM_LABELS[PROGRAM_COUNT] = {"pt01", "pt02", "pt03", "pt04", "pt05",
                                                   "pt06", "pt07", "pt08", "pt09", "post"};
int32_t time_offset_ms;

void build_show_script() {
    ShowParams& p = show_params;
    const ProgramSet& pr = program_set;

    time_offset_ms = 0;
    cue_set1(11000, &p.displayLogo, 0);
    set_time_base(0);

    // Which scene runs, and the post effect off for the whole show.
    cue_skip(0, 0);
    cue_effect(0, 0);
    cue_program(0, pr.pt05);
    cue_program(48000, pr.pt04);
    cue_program(72100, pr.pt06);
    cue_program(96000, pr.pt03);
    cue_program(124000, pr.pt08);
    cue_program(160000, pr.pt01);
    cue_program(190000, pr.pt02);

    // Gamma falls to 0.01 exactly as each scene hands over, then rises again.
    cue_set1(0, &p.gamma, 1);
    cue_tween1(46000, 2000, EASE_LINEAR, &p.gamma, 0.01f);
    cue_set1(48000, &p.gamma, 0.01f);
    cue_tween1(48000, 1000, EASE_COSINE, &p.gamma, 1);
    cue_set1(70100, &p.gamma, 1);
    cue_tween1(70100, 2000, EASE_LINEAR, &p.gamma, 0.01f);
    cue_set1(72100, &p.gamma, 0.01f);
    cue_tween1(72100, 2000, EASE_COSINE, &p.gamma, 1);
    cue_set1(94000, &p.gamma, 1);
    cue_tween1(94000, 2000, EASE_LINEAR, &p.gamma, 0.01f);
    cue_set1(96000, &p.gamma, 0.01f);
    cue_tween1(96000, 2000, EASE_COSINE, &p.gamma, 1);
    cue_set1(122000, &p.gamma, 1);
    cue_tween1(122000, 2000, EASE_LINEAR, &p.gamma, 0.01f);
    cue_set1(124000, &p.gamma, 0.01f);
    cue_tween1(124000, 2000, EASE_COSINE, &p.gamma, 1);
    cue_set1(158000, &p.gamma, 1);
    cue_tween1(158000, 2000, EASE_LINEAR, &p.gamma, 0.01f);
    cue_set1(160000, &p.gamma, 0.01f);
    cue_tween1(160000, 2000, EASE_COSINE, &p.gamma, 1);
    cue_set1(188000, &p.gamma, 1);
    cue_tween1(188000, 2000, EASE_LINEAR, &p.gamma, 0.01f);
    cue_set1(190000, &p.gamma, 0.01f);
    cue_tween1(190000, 2000, EASE_COSINE, &p.gamma, 1);
    cue_set1(205000, &p.gamma, 1);
    cue_tween1(205000, 5000, EASE_LINEAR, &p.gamma, 0.5f);

    // The logo fades in over the last scene.
    cue_set1(205000, &p.displayLogo, 1);
    cue_logo_slot(205000, 0);
    cue_set4(205000, p.logoColor, 1, 1, 1, 0);
    cue_tween4(205000, 5000, EASE_COSINE, p.logoColor, 1, 1, 1, 0.95f);

    // A ten-second glide, then the camera jumps and stays.
    cue_set3(0, p.campos, 0, 0, 0);
    cue_set3(0, p.camtar, 0, -0.5f, -2);
    cue_tween3(0, 10000, EASE_LINEAR, p.campos, 0, 0, -6);
    cue_tween3(0, 10000, EASE_LINEAR, p.camtar, 0, -0.5f, -10);
    cue_set3(10000, p.campos, 0, -0.5f, -10);
    cue_set3(10000, p.camtar, 3, -0.5f, -12);

    // The opening rise: the set leaves all four remembered components at 0 for the tween.
    cue_set3(0, p.flashColor, 0, 0, 0);
    cue_tween4(0, 3000, EASE_COSINE, p.flashColor, 1, 1, 1, 1);
}
