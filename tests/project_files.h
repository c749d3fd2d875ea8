// A show project turned into the files the show loads, for the tests and benchmarks that play a
// project through the show's own loader: packed by the project module exactly as oruvane-pack packs it.
#pragma once
#include <string>
#include <vector>

#include "common/project.h"
#include "scratch_dir.h"

// Reads the project in `dir` into `script` and writes it packed (the twenty scene files, and the
// logo and music its sheet names) into the current directory. False with `why` set to one line.
inline bool write_project_show(const std::string& dir, sheet::Script& script, std::string& why) {
    project::Project p;
    std::vector<project::PackedFile> files;
    std::vector<std::string> notes;
    if (!project::open(dir, p, why) || !project::pack(p, files, notes, why)) return false;
    for (const project::PackedFile& f : files) write_file(f.name, f.bytes);
    script = p.script;
    return true;
}
