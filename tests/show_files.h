// Writing a show's scene files into the current directory, for tests that load one.
#pragma once
#include <string>
#include <vector>

#include "load/scene_file.h"
#include "scratch_dir.h"

// Writes `text` scrambled as scene file n in the current directory.
inline void write_scene_file(int n, const std::string& text) {
    std::string bytes(text.size() + 1, '\0');
    scene_file_scramble(text.data(), text.size(), '\n', reinterpret_cast<unsigned char*>(&bytes[0]));
    write_file(std::to_string(n) + ".ck", bytes);
}

// The vertex program every probe uses: the rectangle's corners straight through, with uv.
inline const char* probe_vertex() {
    return "#version 120\nvarying vec2 uv;\nvoid main(){ uv = gl_Vertex.xy * 0.5 + 0.5; gl_Position = gl_Vertex; }\n";
}

// Writes the twenty scene files of a show whose ten programs are `vertex[i]` and `fragment[i]`.
inline void write_show(const std::vector<std::string>& fragment, const std::vector<std::string>& vertex = {}) {
    for (int i = 0; i < 10; ++i) {
        write_scene_file(2 * i, vertex.empty() ? probe_vertex() : vertex[i]);
        write_scene_file(2 * i + 1, fragment[i]);
    }
}

