// oruvane-webshow on probe shows: what it writes is the show's files in GLSL ES 3.00 that the
// validator takes, line for line; what WebGL 2 cannot run is named as file:line, and then
// nothing is written; a folder it did not make is never replaced.
#include <gtest/gtest.h>

#include "probe_show.h"

namespace fs = std::filesystem;

namespace {

// The text of scene file `path`, as the show reads it.
std::string unpacked(const fs::path& path) {
    std::string bytes = read_file(path.string());
    scene_file_xor(reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size());
    return bytes.substr(0, bytes.size() - 1);
}

class WebShow : public ::testing::Test {
protected:
    ScratchDir dir;
    int pack(const std::string& out = "out") { return run_tool(ORUVANE_WEBSHOW, ". " + out); }
    std::string err() { return read_file("err.txt"); }
};

TEST_F(WebShow, TranslatesEveryShaderLineForLineAndListsTheFiles) {
    write_probe_assets();
    write_sine_wav(0.5);
    // The scene programs' previous-frame sampler is named "texture", the lookup function's name
    // in GLSL ES 3.00; a comment, a macro and a 1.10 shader without #version go through too.
    write_scene_file(3, "// pt02\n#version 120\nuniform sampler2D texture;\n#define LOOK texture2D\nvarying vec2 uv;\n"
                        "void main(){ gl_FragColor = LOOK(texture, uv) * 2.0e-1; }\n");
    write_scene_file(4, "varying vec2 uv;\nvoid main(){ uv = gl_Vertex.xy; gl_Position = gl_Vertex; }\n");
    ASSERT_EQ(pack(), 0) << err();

    std::string pt02 = unpacked("out/3.ck");
    EXPECT_EQ(pt02.substr(0, pt02.find('\n')), "#version 300 es");
    std::string body = pt02.substr(pt02.find("#line 1\n") + 8);
    EXPECT_EQ(body, "// pt02\n\nuniform sampler2D oruvane_texture;\n#define LOOK texture\nin vec2 uv;\n"
                    "void main(){ oruvane_FragColor = LOOK(oruvane_texture, uv) * 2.0e-1; }\n");
    // The slot lines' "#line 1" (in GLSL 1.20 the next line is 2) says the same in GLSL ES 3.00.
    write_scene_file(9, "#version 120\n#define SLOT_START 0.000\n#define SLOT_END 48.000\n#line 1\nvoid main(){}\n");
    ASSERT_EQ(pack("slotted"), 0) << err();
    EXPECT_NE(unpacked("slotted/9.ck").find("#define SLOT_END 48.000\n#line 2\nvoid main(){}\n"), std::string::npos)
        << unpacked("slotted/9.ck");
    std::string pt03 = unpacked("out/4.ck");
    EXPECT_NE(pt03.find("layout(location = 0) in vec4 oruvane_Vertex;\n#line 1\nout vec2 uv;\n"), std::string::npos) << pt03;

    // Every file, with the logo and the music as they were, in the list with its size.
    std::string list = read_file("out/show.json");
    for (int n = 0; n < 20; ++n) {
        std::string name = std::to_string(n) + ".ck";
        EXPECT_NE(list.find("[\"" + name + "\", " + std::to_string(fs::file_size("out/" + name)) + "]"), std::string::npos) << name;
    }
    EXPECT_EQ(read_file("out/bitmap.png"), read_file("bitmap.png"));
    EXPECT_EQ(read_file("out/vae5.wav"), read_file("vae5.wav"));
    EXPECT_NE(list.find("[\"vae5.wav\", " + std::to_string(fs::file_size("vae5.wav")) + "]"), std::string::npos);

    // Packing again replaces its own folder.
    write_scene_file(5, "void main(){ gl_FragColor = vec4(1.0); }\n");
    ASSERT_EQ(pack(), 0) << err();
    EXPECT_NE(unpacked("out/5.ck").find("oruvane_FragColor = vec4(1.0)"), std::string::npos);
}

TEST_F(WebShow, RefusesWhatWebGlCannotRunWithFileAndLineAndWritesNothing) {
    write_probe_assets();
    // Fixed-function input the translation has no counterpart for, on line 3 of 5.ck.
    write_scene_file(5, "#version 120\nvarying vec2 uv;\nvoid main(){ gl_FragColor = gl_TexCoord[0]; }\n");
    // GLSL 1.20 turns an int into a float by itself; GLSL ES 3.00 does not: the validator's error.
    write_scene_file(9, "#version 120\nvarying vec2 uv;\n\nvoid main(){\n  float x = 1;\n  gl_FragColor = vec4(x); }\n");
    // Extensions and later versions are not translated.
    write_scene_file(11, "#version 330\nout vec4 c;\nvoid main(){ c = vec4(1.0); }\n");
    EXPECT_EQ(pack(), 1);
    EXPECT_NE(err().find("./5.ck:3: pt03.fsh: 'gl_TexCoord'"), std::string::npos) << err();
    EXPECT_NE(err().find("./9.ck:5: pt05.fsh: "), std::string::npos) << err();
    EXPECT_NE(err().find("./11.ck:1: pt06.fsh: #version 330"), std::string::npos) << err();
    EXPECT_NE(err().find("3 shaders cannot go to the browser; nothing written"), std::string::npos) << err();
    EXPECT_FALSE(fs::exists("out"));

    // A missing scene file is named too.
    write_probe_assets(12);
    EXPECT_EQ(pack(), 1);
    EXPECT_NE(err().find("./12.ck: pt07.vsh cannot be read"), std::string::npos) << err();
    EXPECT_FALSE(fs::exists("out"));
}

TEST_F(WebShow, LeavesAFolderItDidNotMakeAlone) {
    write_probe_assets();
    fs::create_directory("mine");
    write_file("mine/notes.txt", "keep me");
    EXPECT_EQ(pack("mine"), 1);
    EXPECT_NE(err().find("was not made by oruvane-webshow"), std::string::npos) << err();
    EXPECT_EQ(read_file("mine/notes.txt"), "keep me");
    EXPECT_EQ(run_tool(ORUVANE_WEBSHOW, "--help"), 0);
    EXPECT_NE(run_tool(ORUVANE_WEBSHOW, ". out extra"), 0);
}

}  // namespace
