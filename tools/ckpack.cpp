// ckpack: packs shader sources into numbered scene files (0.ck, 1.ck, ...) and unpacks them back.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "load/scene_file.h"

static const char* USAGE =
    "usage: ckpack pack [-o DIR] [--first N] SOURCE...\n"
    "       ckpack unpack [-o DIR] FILE.ck...\n"
    "\n"
    "pack    scrambles each SOURCE into DIR/N.ck, numbering from N (default 0) in the order\n"
    "        given: the show reads them back in that order, vertex before fragment per program.\n"
    "unpack  restores the text of each scene file: to standard output when one file is given\n"
    "        without -o, otherwise to DIR/<name>.txt.\n"
    "-o DIR  output folder (default: the current directory)\n";

static bool read_all(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

static bool write_all(const std::string& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out.flush());
}

static std::string stem(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

static int pack(const std::string& dir, long first, const std::vector<std::string>& sources) {
    long number = first;
    for (const std::string& src : sources) {
        std::string text;
        if (!read_all(src, text)) {
            std::fprintf(stderr, "ckpack: cannot read %s: %s\n", src.c_str(), std::strerror(errno));
            return 1;
        }
        // The show hands the text to the shader compiler as a zero-terminated string.
        if (text.find('\0') != std::string::npos) {
            std::fprintf(stderr, "ckpack: %s contains a zero byte; the show would cut the text there\n", src.c_str());
            return 1;
        }
        std::vector<unsigned char> bytes(text.size() + 1);
        scene_file_scramble(text.data(), text.size(), 0, bytes.data());
        std::string out = dir + "/" + std::to_string(number) + ".ck";
        if (!write_all(out, bytes.data(), bytes.size())) {
            std::fprintf(stderr, "ckpack: cannot write %s: %s\n", out.c_str(), std::strerror(errno));
            return 1;
        }
        ++number;
    }
    return 0;
}

static int unpack(const std::string& dir, bool to_stdout, const std::vector<std::string>& files) {
    for (const std::string& file : files) {
        std::string bytes;
        if (!read_all(file, bytes)) {
            std::fprintf(stderr, "ckpack: cannot read %s: %s\n", file.c_str(), std::strerror(errno));
            return 1;
        }
        scene_file_xor(reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size());
        if (!bytes.empty()) bytes.pop_back();  // the final byte is not part of the text
        if (to_stdout) {
            std::fwrite(bytes.data(), 1, bytes.size(), stdout);
            continue;
        }
        std::string out = dir + "/" + stem(file) + ".txt";
        if (!write_all(out, bytes.data(), bytes.size())) {
            std::fprintf(stderr, "ckpack: cannot write %s: %s\n", out.c_str(), std::strerror(errno));
            return 1;
        }
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(USAGE, stderr);
        return 2;
    }
    std::string command = argv[1];
    if (command == "--help" || command == "-h") {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (command != "pack" && command != "unpack") {
        std::fprintf(stderr, "ckpack: unknown command '%s'\n%s", command.c_str(), USAGE);
        return 2;
    }
    std::string dir = ".";
    bool dir_given = false;
    long first = 0;
    std::vector<std::string> files;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(USAGE, stdout);
            return 0;
        } else if (arg == "-o" && i + 1 < argc) {
            dir = argv[++i];
            dir_given = true;
        } else if (arg == "--first" && i + 1 < argc && command == "pack") {
            char* end = nullptr;
            first = std::strtol(argv[++i], &end, 10);
            if (*argv[i] == '\0' || *end != '\0' || first < 0) {
                std::fprintf(stderr, "ckpack: --first needs a number of 0 or more, not '%s'\n", argv[i]);
                return 2;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "ckpack: unknown option '%s'\n%s", arg.c_str(), USAGE);
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "ckpack: no input files\n%s", USAGE);
        return 2;
    }
    if (command == "pack") return pack(dir, first, files);
    return unpack(dir, !dir_given && files.size() == 1, files);
}
