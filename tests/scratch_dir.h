// A fresh temporary folder that a test works in as its current directory, removed afterwards.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

struct ScratchDir {
    std::filesystem::path path;
    std::filesystem::path previous;
    ScratchDir() {
        previous = std::filesystem::current_path();
        char tmpl[] = "/tmp/oruvane-test-XXXXXX";
        path = mkdtemp(tmpl);
        std::filesystem::current_path(path);
    }
    ~ScratchDir() {
        std::filesystem::current_path(previous);
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
};

inline void write_file(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string read_file(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs `tool` with `args` in the current directory, its output in out.txt and err.txt there.
// Returns its exit code, or -1 when it did not exit normally.
inline int run_tool(const std::string& tool, const std::string& args) {
    int status = std::system((tool + " " + args + " >out.txt 2>err.txt").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
