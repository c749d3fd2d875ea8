// The preview's music on seeks, heard through SDL's disk driver: a seek the music cannot follow
// (its file removed) silences it with one message, the picture's calls all go on, and the first
// seek that can move it again brings it back.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/toolkit.h"
#include "music.h"
#include "scratch_dir.h"
#include "sound_files.h"

namespace {

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Runs of sound in 16-bit stereo `pcm` at 44100 Hz that are apart by at least 0.1 s of silence:
// {first frame, frames}.
std::vector<std::pair<size_t, size_t>> sounding(const std::string& pcm) {
    const int16_t* s = reinterpret_cast<const int16_t*>(pcm.data());
    size_t frames = pcm.size() / 4, gap = 4410;
    std::vector<std::pair<size_t, size_t>> runs;
    size_t last = 0;
    bool in_run = false;
    for (size_t f = 0; f < frames; ++f) {
        if (std::abs(s[2 * f]) < 300 && std::abs(s[2 * f + 1]) < 300) continue;
        if (!in_run || f - last > gap) runs.push_back({f, 0});
        in_run = true;
        last = f;
        runs.back().second = f + 1 - runs.back().first;
    }
    return runs;
}

TEST(PreviewMusicSeek, AMusicFileThatCannotBeOpenedAgainIsSaidOnceAndSilencedUntilASeekCanMoveIt) {
    ScratchDir dir;
    write_sound("vae5.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 10.0,
                [](int, double t) { return 0.5 * std::sin(2.0 * M_PI * 440.0 * t); });
    pid_t pid = fork();
    if (pid == 0) {
        // The preview's calls in a process of its own, whose exit hands over what the driver wrote.
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "out.raw", 1);
        if (!std::freopen("err.txt", "w", stderr)) _exit(9);
        tool::init("oruvane-preview");
        if (!preview_music_start(0)) _exit(10);
        sleep_ms(400);
        std::rename("vae5.wav", "away.wav");
        int first = preview_music_seek(2000);
        sleep_ms(300);
        int second = preview_music_seek(3000);
        preview_music_pause(1);
        preview_music_pause(0);  // a resume does not bring the music back out of step
        sleep_ms(400);
        std::rename("away.wav", "vae5.wav");
        int back = preview_music_seek(1000);
        sleep_ms(500);
        std::exit(first == 0 && second == 0 && back == 1 ? 0 : 11);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the seeks' answers";
    // Said once, for both seeks it could not follow (SDL's notes about its disk driver, and a
    // sanitizer's at the exit, aside).
    std::string err = read_file("err.txt"), said;
    for (size_t at = 0; at < err.size(); at = err.find('\n', at) + 1) {
        std::string line = err.substr(at, err.find('\n', at) - at);
        if (line.rfind("oruvane-preview: ", 0) == 0) said += line + "\n";
        if (err.find('\n', at) == std::string::npos) break;
    }
    EXPECT_EQ(said.rfind("oruvane-preview: the music cannot follow the seek: vae5.wav cannot be opened again", 0), 0u) << err;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << err;
    // Heard: the start, silence while the music cannot follow, then the music again.
    std::vector<std::pair<size_t, size_t>> runs = sounding(read_file("out.raw"));
    ASSERT_EQ(runs.size(), 2u) << "played, silenced, played again";
    EXPECT_NEAR(runs[0].second / 44100.0, 0.4, 0.25);
    EXPECT_GT((runs[1].first - runs[0].first - runs[0].second) / 44100.0, 0.4) << "silent while it cannot follow";
    EXPECT_GT(runs[1].second / 44100.0, 0.2);
}

}  // namespace
