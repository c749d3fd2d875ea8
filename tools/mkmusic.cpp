// mkmusic: writes the show's four-minute soundtrack as a 44.1 kHz 16-bit stereo WAV file, or with
// --template the starter project's piece laid on its sheet. The old file stays until the new one
// is complete.
#include <CLI/CLI.hpp>

#include <string>

#include "common/toolkit.h"
#include "score.h"
#include "template_score.h"

int main(int argc, char** argv) {
    tool::init("mkmusic");
    CLI::App app{"Writes the " + std::to_string(synth::SECONDS) + "-second soundtrack (" + std::to_string(synth::RATE) +
                 " Hz, 16-bit stereo PCM) into OUT.wav."};
    app.name("mkmusic");
    std::string out, starter_sheet;
    app.add_option("OUT", out, "the WAV file to write")->required();
    app.add_option("--template", starter_sheet, "render the starter project's piece instead, laid on this cue sheet (its show.cues)");
    int status = tool::parse(app, argc, argv);
    if (status >= 0) return status;
    if (!starter_sheet.empty()) tool::note_input(starter_sheet);
    // Checked first, so that a bad path fails before the rendering work.
    std::string why = tool::check_output(out);
    if (!why.empty()) return tool::error(why);
    std::vector<int16_t> pcm;
    if (!starter_sheet.empty()) {
        if (!synth::template_music(starter_sheet, pcm, why)) return tool::error(why);
    } else {
        why = synth::sheet_mismatch();
        if (!why.empty()) return tool::error(why);
        pcm = synth::render_music();
    }
    std::vector<uint8_t> wav = synth::wav_bytes(pcm);
    if (!tool::write_file(out, std::string(wav.begin(), wav.end()), why)) return tool::error(why);
    return tool::finish(0);
}
