// The page in Debian's headless Chromium, served from 127.0.0.1 by the test itself. The test's
// server hands out a folder of pages, puts a probe script into every index.html it serves and
// takes the probe's reports: the show's picture read back at chosen pixels each time it is put on
// the canvas (at the show's full size, whatever the window measures), the page's title and text,
// and what an analyser on the sound output hears. Each page (a visit) ends at a state the probe
// knows; the server then names the next one, so one Chromium start serves several pages.
#pragma once
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "process.h"
#include "scratch_dir.h"

using nlohmann::json;

// The probe, run in each page before the show's script. Its settings come from the address's
// fragment, which the page ignores: points=x,y;x,y (pixels from the bottom left of the show's
// 1920x1080 picture), frames=N (played frames to see before the visit ends), sound=1 (also wait
// for the analyser to hear sound, then listen on for two of its windows, so that the loudest
// moment is one whose window lies wholly in the sound, not partly in the silence before it),
// full=1 (send the whole picture of the last frame put on the canvas), escape=1 (once the
// frames and the sound were seen, press Escape and wait for the end). A visit ends at
// "oruvane: still", "oruvane: end" or "oruvane: error", once the frames (and the sound) were
// seen, or at a script error; "click to start" is clicked as soon as it shows.
inline const char* probe_script() {
    return R"JS((() => {
  'use strict';
  const cfg = Object.fromEntries(new URLSearchParams(location.hash.slice(1)));
  const points = (cfg.points || '960,540').split(';').map((p) => p.split(',').map(Number));
  const frames = Number(cfg.frames || 0), wantSound = cfg.sound === '1', full = cfg.full === '1';
  const escape = cfg.escape === '1';
  let presents = [], played = 0, analyser = null, sound = null, done = false, picture = null, escaped = false;
  let heardAt = null;  // when the analyser first heard sound (ms)
  // The show puts its picture on the canvas with one blit from its own framebuffer, bound for
  // reading just then: that is where the picture is read back.
  const proto = WebGL2RenderingContext.prototype, blit = proto.blitFramebuffer;
  proto.blitFramebuffer = function (...args) {
    const px = new Uint8Array(4);
    const samples = points.map(([x, y]) => {
      this.readPixels(x, y, 1, 1, this.RGBA, this.UNSIGNED_BYTE, px);
      return Array.from(px);
    });
    presents.push({t: performance.now(), title: document.title, samples});
    if (document.title === 'oruvane') ++played;
    if (full) {
      picture = new Uint8Array(args[2] * args[3] * 4);
      this.readPixels(0, 0, args[2], args[3], this.RGBA, this.UNSIGNED_BYTE, picture);
    }
    return blit.apply(this, args);
  };
  // Whatever is connected to the output is heard by an analyser too.
  const connect = AudioNode.prototype.connect;
  AudioNode.prototype.connect = function (target, ...rest) {
    if (target instanceof AudioDestinationNode && !analyser) {
      analyser = this.context.createAnalyser();
      analyser.fftSize = 4096;
      connect.call(this, analyser);
    }
    return connect.call(this, target, ...rest);
  };
  const listen = () => {
    if (!analyser) return;
    const wave = new Float32Array(analyser.fftSize), spectrum = new Float32Array(analyser.frequencyBinCount);
    analyser.getFloatTimeDomainData(wave);
    analyser.getFloatFrequencyData(spectrum);
    const rms = Math.sqrt(wave.reduce((s, v) => s + v * v, 0) / wave.length);
    let peak = 0;
    for (let i = 1; i < spectrum.length; ++i) if (spectrum[i] > spectrum[peak]) peak = i;
    if (!sound || rms > sound.rms) sound = {rms, hz: peak * analyser.context.sampleRate / analyser.fftSize};
    if (rms > 0.01 && heardAt === null) heardAt = performance.now();
  };
  const report = (kind) => fetch('/report', {method: 'POST', body: JSON.stringify({
    kind, visit: location.pathname + location.search, title: document.title,
    text: document.body ? document.body.innerText : '', presents: presents.splice(0), sound,
    replay: !!document.getElementById('replay'),
  })}).then((r) => r.text());
  const finish = () => {
    if (done) return;
    done = true;
    const sent = picture ? fetch('/picture', {method: 'POST', body: picture}) : Promise.resolve();
    sent.then(() => report('done')).then((next) => { if (next) location.href = next; });
  };
  const onTitle = () => {
    const t = document.title;
    if (t === 'oruvane: click to start') report('loaded').then(() => document.body.click());
    if (t === 'oruvane: still' || t === 'oruvane: end' || t === 'oruvane: error') finish();
  };
  // A script error ends the visit at once, with the error as its text.
  const broke = (e) => {
    if (done) return;
    done = true;
    fetch('/report', {method: 'POST', body: JSON.stringify({kind: 'done', visit: location.pathname + location.search,
      title: 'script error', text: String(e.message || e.reason || e), presents: [], sound: null, replay: false})});
  };
  window.addEventListener('error', broke);
  window.addEventListener('unhandledrejection', broke);
  document.addEventListener('DOMContentLoaded', () => {
    new MutationObserver(onTitle).observe(document.querySelector('title'), {childList: true, characterData: true, subtree: true});
  });
  const poll = () => {
    if (done) return;
    listen();
    const heardLongEnough = heardAt !== null &&
        performance.now() - heardAt >= 2000 * analyser.fftSize / analyser.context.sampleRate;
    if (frames && played >= frames && (!wantSound || heardLongEnough) && !escaped) {
      if (!escape) finish();
      else window.dispatchEvent(new KeyboardEvent('keydown', {key: 'Escape', keyCode: 27, bubbles: true}));
      escaped = escape;
    }
    requestAnimationFrame(poll);
  };
  requestAnimationFrame(poll);
})();
)JS";
}

// What a page reported: its title and text when it ended, every frame put on the canvas with the
// probe's pixels (RGBA, 0-255), and the loudest moment the analyser heard.
struct Visit {
    std::string path;
    std::string title, text;
    bool replay = false;
    struct Present {
        double t;
        std::string title;
        std::vector<std::array<int, 4>> samples;
    };
    std::vector<Present> presents;
    double rms = 0, hz = 0;
    std::vector<unsigned char> picture;  // RGBA rows from the bottom, when full=1
    // The frames put on the canvas while the title was `title`.
    std::vector<Present> presents_titled(const std::string& title) const {
        std::vector<Present> out;
        for (const Present& p : presents)
            if (p.title == title) out.push_back(p);
        return out;
    }
};

// The test's web server on 127.0.0.1 and the Chromium that visits its pages, in order.
class Browser {
public:
    // Serves the folder `site`; the visits are paths below it, with their probe settings.
    // `flags` are more of Chromium's switches.
    Browser(const std::filesystem::path& site, const std::vector<std::string>& visits, const std::vector<std::string>& flags = {})
        : site_(site), pending_(visits.begin(), visits.end()), count_(visits.size()), flags_(flags) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        socklen_t len = sizeof a;
        if (bind(fd_, (sockaddr*)&a, sizeof a) != 0 || listen(fd_, 64) != 0 || getsockname(fd_, (sockaddr*)&a, &len) != 0) {
            ADD_FAILURE() << "the test's server cannot listen on 127.0.0.1";
            return;
        }
        port_ = ntohs(a.sin_port);
        server_ = std::thread([this] { serve(); });
    }
    ~Browser() {
        if (chromium_ > 0) kill_group(chromium_);
        stop_ = true;
        shutdown(fd_, SHUT_RDWR);
        close(fd_);
        if (server_.joinable()) server_.join();
        // Answers still being sent end quickly once Chromium is gone; they use this object.
        for (int i = 0; i < 500 && active_ > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::error_code ec;
        std::filesystem::remove_all(profile_, ec);
    }

    // Starts Chromium on the first visit and waits up to `seconds` for every visit to end.
    // Returns the visits that ended, in order.
    std::vector<Visit> run(double seconds) {
        char tmpl[] = "/tmp/oruvane-chromium-XXXXXX";
        profile_ = mkdtemp(tmpl);
        std::string first = next_visit();
        Spawn s;
        s.err = (profile_ / "chromium.log").string();
        // SwiftShader gives headless Chromium WebGL 2 with float render targets; sound plays
        // without a gesture, as it would after a person's click; nothing reaches out to the net.
        s.args = {"--headless=new", "--no-sandbox", "--enable-unsafe-swiftshader", "--use-angle=swiftshader",
                  "--window-size=1920,1080", "--autoplay-policy=no-user-gesture-required", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync", "--disable-quic",
                  "--user-data-dir=" + profile_.string()};
        s.args.insert(s.args.end(), flags_.begin(), flags_.end());
        s.args.push_back(url(first));
        chromium_ = spawn("/usr/bin/chromium", s);
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return ended_.size() == count_; });
        return ended_;
    }
    std::string chromium_log() const { return read_file((profile_ / "chromium.log").string()); }

private:
    std::filesystem::path site_, profile_;
    std::deque<std::string> pending_;
    size_t count_;
    std::vector<std::string> flags_;
    int fd_ = -1, port_ = 0;
    pid_t chromium_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<int> active_{0};  // connections being answered
    std::thread server_;
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<Visit> ended_;
    Visit current_;
    std::vector<unsigned char> picture_;

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    std::string next_visit() {
        if (pending_.empty()) return "";
        std::string v = pending_.front();
        pending_.pop_front();
        return v;
    }

    void serve() {
        while (!stop_) {
            int c = accept(fd_, nullptr, nullptr);
            if (c < 0) continue;
            ++active_;
            std::thread([this, c] {
                answer(c);
                --active_;
            }).detach();
        }
    }

    static void send_all(int c, const std::string& bytes) {
        for (size_t at = 0; at < bytes.size();) {
            ssize_t n = send(c, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n <= 0) return;
            at += (size_t)n;
        }
    }
    static void respond(int c, int status, const std::string& type, const std::string& body) {
        send_all(c, "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Not Found") +
                        "\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(body.size()) +
                        "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body);
    }
    static std::string type_of(const std::string& path) {
        auto ends = [&](const char* e) { return path.size() >= strlen(e) && path.compare(path.size() - strlen(e), std::string::npos, e) == 0; };
        if (ends(".html")) return "text/html";
        if (ends(".js")) return "text/javascript";
        if (ends(".wasm")) return "application/wasm";
        if (ends(".json")) return "application/json";
        return "application/octet-stream";
    }

    void answer(int c) {
        std::string request;
        char buf[65536];
        size_t head_end = std::string::npos;
        while (head_end == std::string::npos) {
            ssize_t n = recv(c, buf, sizeof buf, 0);
            if (n <= 0) return (void)close(c);
            request.append(buf, (size_t)n);
            head_end = request.find("\r\n\r\n");
        }
        std::string method = request.substr(0, request.find(' '));
        std::string path = request.substr(method.size() + 1, request.find(' ', method.size() + 1) - method.size() - 1);
        path = path.substr(0, path.find_first_of("?#"));
        size_t length = 0;
        size_t cl = request.find("Content-Length: ");
        if (cl != std::string::npos && cl < head_end) length = std::stoul(request.substr(cl + 16));
        std::string body = request.substr(head_end + 4);
        while (body.size() < length) {
            ssize_t n = recv(c, buf, sizeof buf, 0);
            if (n <= 0) break;
            body.append(buf, (size_t)n);
        }
        if (method == "POST" && path == "/picture") {
            std::lock_guard<std::mutex> lock(m_);
            picture_.assign(body.begin(), body.end());
            respond(c, 200, "text/plain", "");
        } else if (method == "POST" && path == "/report") {
            respond(c, 200, "text/plain", take_report(body));
        } else if (path == "/probe.js") {
            respond(c, 200, "text/javascript", probe_script());
        } else {
            std::filesystem::path file = site_ / path.substr(1);
            if (path.find("..") != std::string::npos || std::filesystem::is_directory(file)) file /= "index.html";
            std::ifstream in(file, std::ios::binary);
            if (!in || path.find("..") != std::string::npos) {
                respond(c, 404, "text/plain", "not found");
            } else {
                std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
                if (file.filename() == "index.html") {
                    size_t at = bytes.find("</head>");
                    if (at != std::string::npos) bytes.insert(at, "<script src=\"/probe.js\"></script>\n");
                }
                respond(c, 200, type_of(file.string()), bytes);
            }
        }
        close(c);
    }

    // Adds a report to the current visit; when it ends the visit, returns the next one's address.
    std::string take_report(const std::string& body) {
        json r = json::parse(body, nullptr, false);
        std::lock_guard<std::mutex> lock(m_);
        if (r.is_discarded()) return "";
        current_.path = r.value("visit", "");
        current_.title = r.value("title", "");
        current_.text = r.value("text", "");
        current_.replay = r.value("replay", false);
        for (const json& p : r["presents"]) {
            Visit::Present present{p.value("t", 0.0), p.value("title", ""), {}};
            for (const json& s : p["samples"]) present.samples.push_back({s[0], s[1], s[2], s[3]});
            current_.presents.push_back(present);
        }
        if (r["sound"].is_object()) {
            current_.rms = r["sound"].value("rms", 0.0);
            current_.hz = r["sound"].value("hz", 0.0);
        }
        if (r.value("kind", "") != "done") return "";
        current_.picture.swap(picture_);
        picture_.clear();
        ended_.push_back(current_);
        current_ = Visit{};
        cv_.notify_all();
        std::string next = next_visit();
        return next.empty() ? "" : url(next);
    }
};

// The channel value a shader's float `v` is written as in an 8-bit framebuffer.
inline int unorm8(double v) { return (int)std::lround(std::min(std::max(v, 0.0), 1.0) * 255.0); }
