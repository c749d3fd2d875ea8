// ckpack: packs shader sources into numbered scene files (0.ck, 1.ck, ...) and unpacks them back.
// Every input is read and every output checked before anything is written; the outputs are then
// written under temporary names and renamed together, so a failed run leaves no file changed.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/project.h"
#include "common/toolkit.h"
#include "load/scene_file.h"

namespace fs = std::filesystem;

namespace {

struct Job {
    std::string out;    // the file to write
    std::string bytes;  // what goes into it
};

// Writes every job or none: all to temporary files first, renamed only when all are complete.
int write_all(const std::vector<Job>& jobs) {
    std::string why;
    for (const Job& j : jobs) {
        why = tool::check_output(j.out);
        if (!why.empty()) return tool::error(why);
    }
    std::vector<std::unique_ptr<tool::Output>> outs;
    for (const Job& j : jobs) {
        outs.push_back(std::make_unique<tool::Output>());
        if (!outs.back()->open(j.out, why)) return tool::error(why);
        if (!j.bytes.empty() && std::fwrite(j.bytes.data(), 1, j.bytes.size(), outs.back()->file()) != j.bytes.size())
            return tool::error("cannot write " + j.out);
        if (std::fflush(outs.back()->file()) != 0) return tool::error("cannot write " + j.out);
    }
    for (size_t i = 0; i < outs.size(); ++i)
        if (!outs[i]->commit(why)) return tool::error(why);
    return 0;
}

bool read_inputs(const std::vector<std::string>& paths, std::vector<std::string>& texts) {
    for (const std::string& p : paths) {
        std::string text, why;
        if (!tool::read_file(p, text, why)) {
            tool::error(why);
            return false;
        }
        tool::note_input(p);
        texts.push_back(std::move(text));
    }
    return true;
}

std::string out_dir_problem(const std::string& dir) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return "-o " + dir + " is not a folder";
    return "";
}

int pack(const std::string& dir, long first, const std::vector<std::string>& sources) {
    std::vector<std::string> texts;
    if (!read_inputs(sources, texts)) return 1;
    std::vector<Job> jobs;
    for (size_t i = 0; i < texts.size(); ++i) {
        std::string bytes, why;
        if (!project::scene_file_bytes(texts[i], bytes, why)) return tool::error(sources[i] + " " + why);
        jobs.push_back({(fs::path(dir) / (std::to_string(first + (long)i) + ".ck")).string(), bytes});
    }
    return write_all(jobs);
}

int unpack(const std::string& dir, bool to_stdout, const std::vector<std::string>& files) {
    std::vector<std::string> texts;
    if (!read_inputs(files, texts)) return 1;
    std::vector<Job> jobs;
    for (size_t i = 0; i < texts.size(); ++i) {
        std::string& bytes = texts[i];
        scene_file_xor(reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size());
        if (!bytes.empty()) bytes.pop_back();  // the final byte is not part of the text
        if (to_stdout) {
            std::fwrite(bytes.data(), 1, bytes.size(), stdout);
            continue;
        }
        jobs.push_back({(fs::path(dir) / (fs::path(files[i]).stem().string() + ".txt")).string(), bytes});
    }
    return write_all(jobs);
}

}  // namespace

int main(int argc, char** argv) {
    tool::init("ckpack");
    CLI::App app{"Packs shader sources into the show's numbered scene files and unpacks them back.\n"
                 "  ckpack pack [-o DIR] [--first N] SOURCE...\n"
                 "  ckpack unpack [-o DIR] FILE.ck...\n"
                 "The sources are packed as they are, in the order given. To pack a show project (show.cues and its\n"
                 "sources, each given its scene slot) into a folder the show plays, use oruvane-pack."};
    app.name("ckpack");
    app.require_subcommand(1, 1);
    std::string dir = ".";
    long first = 0;
    std::vector<std::string> files;
    CLI::App* pk = app.add_subcommand("pack", "scramble each SOURCE into DIR/N.ck, numbered from N in the order given: the show "
                                              "reads them back in that order, vertex before fragment per program");
    pk->add_option("-o", dir, "output folder")->capture_default_str();
    pk->add_option("--first", first, "number of the first scene file")->check(CLI::Range(0L, 1000000L))->capture_default_str();
    pk->add_option("SOURCE", files, "shader sources")->required();
    CLI::App* up = app.add_subcommand("unpack", "restore the text of each scene file: to standard output when one file is given "
                                                "without -o, otherwise to DIR/<name>.txt");
    auto* up_dir = up->add_option("-o", dir, "output folder")->capture_default_str();
    up->add_option("FILE", files, "scene files")->required();
    int status = tool::parse(app, argc, argv);
    if (status >= 0) return status;

    std::string problem = out_dir_problem(dir);
    if (!problem.empty()) {
        tool::error(problem);
        return 2;
    }
    if (*pk) return tool::finish(pack(dir, first, files));
    return tool::finish(unpack(dir, up_dir->count() == 0 && files.size() == 1, files));
}
