// oruvane-check on the real driver: the bundled show passes; a broken shader, a uniform nothing
// sets and a short music are each reported where the author can find them.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <stb_image_write.h>

#include "common/slot_lines.h"
#include "show_files.h"
#include "sound_files.h"

namespace {

int run(const std::string& args) { return run_tool(CHECK_PATH, args); }

const char* SCENE = "#version 120\nvarying vec2 uv;\nvoid main(){ gl_FragColor = vec4(uv, 0.0, 1.0); }\n";
const char* POST =
    "#version 120\nuniform sampler2D renderedTexture;\nvarying vec2 uv;\n"
    "void main(){ gl_FragColor = texture2D(renderedTexture, uv); }\n";

// The probe show in the current folder, with `fragment` as program `index`'s fragment text.
void write_probe(int index = -1, const std::string& fragment = "") {
    std::vector<std::string> f(9, SCENE);
    f.push_back(POST);
    if (index >= 0) f[index] = fragment;
    write_show(f);
    const unsigned char logo[4 * 8] = {};
    stbi_write_png("bitmap.png", 4, 2, 4, logo, 16);
}

TEST(CheckTool, BundledShowBuilds) {
    ScratchDir dir;
    EXPECT_EQ(run(SHOW_DIR), 0) << read_file("out.txt") << read_file("err.txt");
    std::string out = read_file("out.txt");
    EXPECT_NE(out.find("all ten programs build"), std::string::npos) << out;
    EXPECT_NE(out.find("logo  bitmap.png"), std::string::npos) << out;
    EXPECT_EQ(out.find("shorter than"), std::string::npos) << out;
}

TEST(CheckTool, BrokenFragmentShaderNamesFileLabelAndLine) {
    ScratchDir dir;
    // Program 7 (pt07) is files 12 and 13; the fault is on line 3.
    write_probe(6, "#version 120\nvarying vec2 uv;\nvoid main(){ gl_FragColor = vec4(uv, 0.0) }\n");
    EXPECT_EQ(run("."), 1);
    std::string out = read_file("out.txt");
    EXPECT_NE(out.find("pt07  12.ck 13.ck  FAILED"), std::string::npos) << out;
    EXPECT_NE(out.find("13.ck: pt07 fragment shader, line 3:"), std::string::npos) << out;
    EXPECT_NE(out.find("gl_FragColor = vec4(uv, 0.0) }"), std::string::npos) << out;  // the line itself
    EXPECT_NE(out.find("pt01  0.ck 1.ck  OK"), std::string::npos) << out;

    EXPECT_EQ(run(". --json"), 1);
    std::string json = read_file("out.txt");
    EXPECT_NE(json.find("\"ok\":false"), std::string::npos) << json;
    EXPECT_NE(json.find("{\"file\":\"13.ck\",\"stage\":\"fragment\",\"line\":3,"), std::string::npos) << json;
}

// A scheduled scene's file carries its slot lines, as the build packs it: the line the driver names
// is the source file's, and that is the line quoted.
TEST(CheckTool, AScheduledScenesMistakeIsQuotedFromItsOwnSourceLine) {
    ScratchDir dir;
    write_probe();
    const std::string source = "#version 120\nvarying vec2 uv;\nvoid main(){\n  gl_FragColor = vec4(uv, 0.0) }\n";
    write_scene_file(9, slot_lines("pt05.fsh", source, built_in_slots()));
    EXPECT_EQ(run("."), 1);
    std::string out = read_file("out.txt");
    EXPECT_NE(out.find("9.ck: pt05 fragment shader, line 4:"), std::string::npos) << out;
    EXPECT_NE(out.find("    4 |   gl_FragColor = vec4(uv, 0.0) }"), std::string::npos) << out;
}

TEST(CheckTool, JsonStaysValidWhenTheSourceOrTheLogHoldsBytesThatAreNotUtf8) {
    ScratchDir dir;
    write_probe(6, "#version 120\nvarying vec2 uv;\nvoid main(){ gl_FragColor = vec4(uv, 0.0) } // caf\xe9 \xff\xfe\n");
    EXPECT_EQ(run(". --json"), 1);
    nlohmann::json report;
    ASSERT_NO_THROW(report = nlohmann::json::parse(read_file("out.txt"))) << read_file("out.txt");
    const nlohmann::json& error = report["programs"][6]["errors"][0];
    EXPECT_EQ(error["line"], 3);
    std::string source = error["source"];
    EXPECT_NE(source.find("caf\xef\xbf\xbd"), std::string::npos) << "a bad byte becomes U+FFFD: " << source;
    // Standard output that cannot be written fails the run even when every program builds.
    write_probe();
    int status = std::system((std::string(CHECK_PATH) + " . --json >/dev/full 2>err.txt").c_str());
    EXPECT_NE(WEXITSTATUS(status), 0);
}

TEST(CheckTool, WarnsOfUnsetUniformEmptySamplerAndShortMusic) {
    ScratchDir dir;
    write_probe(2, "#version 120\nuniform float gama;\nuniform sampler2D texture3;\nvarying vec2 uv;\n"
                   "void main(){ gl_FragColor = texture2D(texture3, uv) + vec4(pow(uv.x, gama)); }\n");
    write_sound("vae5.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 10.0, [](int, double) { return 0.0; });
    EXPECT_EQ(run("."), 0) << read_file("out.txt");
    std::string out = read_file("out.txt");
    EXPECT_NE(out.find("warning: pt03: uniform \"gama\" is declared but the scene pass never sets it"), std::string::npos) << out;
    EXPECT_NE(out.find("warning: pt03: sampler \"texture3\" reads texture slot 2, which holds no texture"), std::string::npos) << out;
    EXPECT_NE(out.find("vae5.wav: stream, 10.0 s"), std::string::npos) << out;
    EXPECT_NE(out.find("warning: music: the stream is 10.0 s, shorter than the 240.0 s show"), std::string::npos) << out;
    EXPECT_NE(out.find("logo  bitmap.png 4x2"), std::string::npos) << out;
}

TEST(CheckTool, MissingSceneFileFailsAndNoDisplayIsNeeded) {
    ScratchDir dir;
    write_probe();
    std::filesystem::remove("5.ck");
    EXPECT_EQ(run("."), 1);
    EXPECT_NE(read_file("out.txt").find("5.ck: pt03 fragment shader: cannot be read"), std::string::npos) << read_file("out.txt");
    EXPECT_NE(run("no-such-folder"), 0);
    write_probe();
    EXPECT_EQ(std::system((std::string("env -u DISPLAY ") + CHECK_PATH + " . >out.txt 2>err.txt").c_str()) >> 8, 0)
        << read_file("out.txt") << read_file("err.txt");
}

// A project is checked from its sources, packed outside it: a mistake is named by the source file
// and its own line, a music file the sheet names but the folder lacks is said, and nothing is
// written into the project.
TEST(CheckTool, AProjectIsCheckedFromItsSourcesByTheirOwnNamesAndLines) {
    ScratchDir dir;
    std::filesystem::create_directory("proj");
    const char* labels[10] = {"pt01", "pt02", "pt03", "pt04", "pt05", "pt06", "pt07", "pt08", "pt09", "post"};
    for (int i = 0; i < 10; ++i) {
        write_file(std::string("proj/") + labels[i] + ".vsh", probe_vertex());
        write_file(std::string("proj/") + labels[i] + ".fsh", i == 9 ? POST : SCENE);
    }
    write_file("proj/show.cues", "length 20\nmark flash 1\nmark logo 15\nfile music tune.ogg\nscene 0 pt01\nscene 10 pt04\n");
    EXPECT_EQ(run("proj"), 0) << read_file("out.txt") << read_file("err.txt");
    std::string out = read_file("out.txt");
    EXPECT_NE(out.find("proj/tune.ogg"), std::string::npos) << out;
    EXPECT_NE(out.find("runs silent"), std::string::npos) << out;
    EXPECT_NE(out.find("pt04  proj/pt04.vsh proj/pt04.fsh  OK"), std::string::npos) << out;
    // Broken on line 3 of a scheduled program's source, past the slot lines the pack gives it.
    write_file("proj/pt04.fsh", "#version 120\nvarying vec2 uv;\nvoid main(){ gl_FragColor = vec4(1.0) }\n");
    EXPECT_EQ(run("proj"), 1);
    out = read_file("out.txt");
    EXPECT_NE(out.find("proj/pt04.fsh: pt04 fragment shader, line 3:"), std::string::npos) << out;
    EXPECT_NE(out.find("void main(){ gl_FragColor = vec4(1.0) }"), std::string::npos) << out;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("proj"), std::filesystem::directory_iterator()), 21);
}

}  // namespace
