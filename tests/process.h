// Driving the real executable from tests: spawning it with its own environment and folder,
// waiting for it with a deadline, and the X tools that act as the person in front of the screen.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

struct Spawn {
    std::string cwd = ".";
    std::vector<std::pair<std::string, std::string>> env;  // set these
    std::vector<std::string> unset;                        // and remove these
    std::string out = "/dev/null", err = "/dev/null";
    std::vector<std::string> args;  // arguments after the program's name
};

// Starts `path` with s.args as `s` says, as the leader of a process group of its own (so that
// whatever it forks, such as a message box, can be ended with it); returns its pid.
inline pid_t spawn(const std::string& path, const Spawn& s) {
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        if (chdir(s.cwd.c_str()) != 0) _exit(126);
        for (const auto& kv : s.env) setenv(kv.first.c_str(), kv.second.c_str(), 1);
        for (const auto& name : s.unset) unsetenv(name.c_str());
        int out = open(s.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(s.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const auto& a : s.args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    setpgid(pid, pid);  // also here: the parent may signal the group before the child ran
    return pid;
}

// Kills the whole process group `pid` leads, and reaps `pid` if it is still ours to reap.
inline void kill_group(pid_t pid) {
    kill(-pid, SIGKILL);
    waitpid(pid, nullptr, WNOHANG);
}

// Waits up to `seconds` for `pid`; returns its exit code, or -1 after killing its process group
// on the deadline (or -2 when it died from a signal).
inline int wait_exit(pid_t pid, double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

// True once `pid` has ended, leaving it to be reaped by wait_exit.
inline bool ended(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, (id_t)pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

inline bool alive(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0 && kill(pid, 0) == 0; }

// Runs a shell command with DISPLAY set; returns its standard output.
inline std::string x_run(const std::string& display, const std::string& cmd) {
    std::string full = "DISPLAY=" + display + " " + cmd + " 2>/dev/null";
    std::string out;
    if (FILE* p = popen(full.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// Geometry "WxH+X+Y" of the top-level window titled `title`, or "" when there is none.
inline std::string x_window_geometry(const std::string& display, const std::string& title) {
    std::string tree = x_run(display, "xwininfo -root -tree");
    size_t at = tree.find("\"" + title + "\": (");
    if (at == std::string::npos) return "";
    size_t begin = tree.find_first_not_of(' ', tree.find(')', at) + 1);
    size_t end = tree.find(' ', begin);
    return tree.substr(begin, end - begin);
}

// Waits up to `seconds` for a window titled `title`; returns its geometry, or "".
inline std::string x_wait_window(const std::string& display, const std::string& title, double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        std::string g = x_window_geometry(display, title);
        if (!g.empty()) return g;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return "";
}

// Waits up to `seconds` for no window titled `title` to be left; returns true once none is.
inline bool x_wait_window_gone(const std::string& display, const std::string& title, double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!x_window_geometry(display, title).empty()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// Presses Return on the message box titled "error", with the pointer over it so it has the
// keyboard (there is no window manager to give it focus). Returns false when no box showed.
inline bool x_dismiss_error_box(const std::string& display, double seconds) {
    std::string g = x_wait_window(display, "error", seconds);
    int w = 0, h = 0, x = 0, y = 0;
    if (g.empty() || std::sscanf(g.c_str(), "%dx%d+%d+%d", &w, &h, &x, &y) != 4) return false;
    x_run(display, "xdotool mousemove " + std::to_string(x + w / 2) + " " + std::to_string(y + h / 2) + " key Return");
    return true;
}

// Dismisses the "error" box of `pid` as x_dismiss_error_box does; on a busy machine a box can be
// listed before it takes keys, so Return is pressed again each second, up to ten times, until
// `pid` has ended. Returns false when no box showed.
inline bool x_dismiss_error_box_of(const std::string& display, pid_t pid) {
    if (!x_dismiss_error_box(display, 5)) return false;
    for (int i = 0; i < 10 && !ended(pid); ++i) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (!ended(pid)) x_dismiss_error_box(display, 1);
    }
    return true;
}

// Starts an Xvfb of the given size on a free display; returns its pid and sets `display`.
inline pid_t start_xvfb(const std::string& size, std::string& display) {
    for (int n = 130; n < 160; ++n) {
        std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
        if (access(lock.c_str(), F_OK) == 0) continue;
        display = ":" + std::to_string(n);
        pid_t pid = fork();
        if (pid == 0) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", (size + "x24").c_str(), "-nolisten", "tcp", (char*)nullptr);
            _exit(127);
        }
        for (int i = 0; i < 100; ++i) {
            if (x_run(display, "xdpyinfo").find("dimensions") != std::string::npos) return pid;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    return -1;
}
