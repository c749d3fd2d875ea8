// mkmusic: renders the show's four-minute soundtrack, or with --template the starter project's
// piece laid on its sheet, and writes it as Ogg Vorbis (the show reads a stream by its content,
// whatever the file is named), or with --wav as 16-bit PCM, the exact samples. Both are the same
// bytes on every run. The old file stays until the new one is complete.
#include <CLI/CLI.hpp>

#include <string>

#include "common/ogg_vorbis.h"
#include "common/toolkit.h"
#include "score.h"
#include "template_score.h"

namespace {

// Vorbis quality 0.1, about 77 kbit/s: 2.3 MB for the four minutes, against 42 MB of WAV.
// Decoded back, every second louder than -50 dBFS keeps the rendered level within 0.12 dB, the
// quieter first second within 0.00001 of full scale; every quality from 0 (62 kbit/s) to 0.4
// (123 kbit/s) measured within 0.13 dB. 0.1 rather than 0.3: the page's .wasm is linked without
// binaryen's optimizer (so that an exported page is the build's, byte for byte) and grew by 0.9 MB;
// the music gives that back, and the page is downloaded within 3 s on a 25 Mbit/s line.
const double MUSIC_QUALITY = 0.1;
// Any fixed number: libsndfile would draw one from the clock on each run.
const uint32_t MUSIC_SERIAL = 0x6f72756eu;

}  // namespace

int main(int argc, char** argv) {
    tool::init("mkmusic");
    CLI::App app{"Writes the " + std::to_string(synth::SECONDS) + "-second soundtrack (" + std::to_string(synth::RATE) +
                 " Hz stereo), or with --template the starter project's piece, into OUT as Ogg Vorbis, or with --wav "
                 "as 16-bit PCM WAV."};
    app.name("mkmusic");
    std::string out, starter_sheet;
    bool wav = false;
    app.add_option("OUT", out, "the file to write (a show project names it on its sheet's file music line)")->required();
    app.add_flag("--wav", wav, "write the rendered samples exactly, as a 16-bit PCM WAV file");
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
    std::string bytes;
    if (wav) {
        std::vector<uint8_t> w = synth::wav_bytes(pcm);
        bytes.assign(w.begin(), w.end());
    } else {
        bytes = sound::ogg_vorbis_bytes(pcm.data(), pcm.size() / 2, 2, synth::RATE, MUSIC_QUALITY, MUSIC_SERIAL, why);
        if (bytes.empty()) return tool::error(why);
    }
    if (!tool::write_file(out, bytes, why)) return tool::error(why);
    return tool::finish(0);
}
