// mkmusic: writes the show's four-minute soundtrack as a 44.1 kHz 16-bit stereo WAV file. The old
// file stays until the new one is complete.
#include <CLI/CLI.hpp>

#include <string>

#include "common/toolkit.h"
#include "score.h"

int main(int argc, char** argv) {
    tool::init("mkmusic");
    CLI::App app{"Writes the " + std::to_string(synth::SECONDS) + "-second soundtrack (" + std::to_string(synth::RATE) +
                 " Hz, 16-bit stereo PCM) into OUT.wav."};
    app.name("mkmusic");
    std::string out;
    app.add_option("OUT", out, "the WAV file to write")->required();
    int status = tool::parse(app, argc, argv);
    if (status >= 0) return status;
    // Checked first, so that a bad path fails before the rendering work.
    std::string why = tool::check_output(out);
    if (!why.empty()) return tool::error(why);
    why = synth::sheet_mismatch();
    if (!why.empty()) return tool::error(why);
    std::vector<uint8_t> wav = synth::wav_bytes(synth::render_music());
    if (!tool::write_file(out, std::string(wav.begin(), wav.end()), why)) return tool::error(why);
    return tool::finish(0);
}
