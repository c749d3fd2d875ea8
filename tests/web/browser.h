// The page in Debian's headless Chromium, served from 127.0.0.1 by the test itself. The test's
// server hands out a folder of pages, puts a probe script into every index.html it serves and
// takes the probe's reports: the show's picture read back at chosen pixels each time it is put on
// the canvas (at the show's full size, whatever the window measures), the page's title and text,
// and what an analyser on the sound output hears. Each page (a visit) ends at a state the probe
// knows; the server then names the next one, so one Chromium start serves several pages. Chromium
// draws headless on SwiftShader, what a machine without a GPU driver gets, or through ANGLE on the
// X display's own GL driver; the server can send its files over a link of a given speed and
// latency.
#pragma once
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
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
// frames and the sound were seen, press Escape and wait for the end), read=0 (read no pixels
// back, which would wait for each frame to be drawn: for timing frames). A visit ends at
// "oruvane: still", "oruvane: end" or "oruvane: error", once the frames (and the sound) were
// seen, or at a script error; "click to start" is clicked as soon as it shows.
inline const char* probe_script() {
    return R"JS((() => {
  'use strict';
  const cfg = Object.fromEntries(new URLSearchParams(location.hash.slice(1)));
  const points = (cfg.points || '960,540').split(';').map((p) => p.split(',').map(Number));
  const frames = Number(cfg.frames || 0), wantSound = cfg.sound === '1', full = cfg.full === '1';
  const escape = cfg.escape === '1', read = cfg.read !== '0';
  let presents = [], played = 0, analyser = null, sound = null, done = false, picture = null, escaped = false;
  let renderer = '';  // the show's WebGL renderer, as the driver names it
  let heardAt = null;  // when the analyser first heard sound (ms)
  // The show puts its picture on the canvas with one blit from its own framebuffer, bound for
  // reading just then: that is where the picture is read back.
  const proto = WebGL2RenderingContext.prototype, blit = proto.blitFramebuffer;
  proto.blitFramebuffer = function (...args) {
    if (!renderer) {
      const info = this.getExtension('WEBGL_debug_renderer_info');
      renderer = String(this.getParameter(info ? info.UNMASKED_RENDERER_WEBGL : this.RENDERER));
    }
    const px = new Uint8Array(4);
    const samples = !read ? [] : points.map(([x, y]) => {
      this.readPixels(x, y, 1, 1, this.RGBA, this.UNSIGNED_BYTE, px);
      return Array.from(px);
    });
    presents.push({t: performance.now(), title: document.title, samples});
    if (document.title === 'oruvane') ++played;
    if (full && read) {
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
  // The page's downloads (the page, its script and .wasm, the show's files): when each was asked
  // for and came in, and its bytes.
  const downloads = () => performance.getEntriesByType('navigation').concat(performance.getEntriesByType('resource'))
      .filter((e) => !/\/(report|picture|probe\.js)$/.test(new URL(e.name).pathname))
      .map((e) => ({name: new URL(e.name).pathname, start: e.startTime, end: e.responseEnd, bytes: e.encodedBodySize || 0}));
  const report = (kind) => fetch('/report', {method: 'POST', body: JSON.stringify({
    kind, visit: location.pathname + location.search, title: document.title,
    text: document.body ? document.body.innerText : '', presents: presents.splice(0), sound,
    replay: !!document.getElementById('replay'), renderer, downloads: downloads(),
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
    std::string renderer;                // the show's WebGL renderer string
    struct Download {
        std::string path;
        double start, end;  // asked for and came in, ms from opening the page
        double bytes;
    };
    std::vector<Download> downloads;     // the page's, the script's, the .wasm's, the show's files'
    // When the last download came in (ms from opening the page), and the bytes of all.
    double downloads_done() const {
        double end = 0;
        for (const Download& d : downloads) end = std::max(end, d.end);
        return end;
    }
    double download_bytes() const {
        double bytes = 0;
        for (const Download& d : downloads) bytes += d.bytes;
        return bytes;
    }
    // The frames put on the canvas while the title was `title`.
    std::vector<Present> presents_titled(const std::string& title) const {
        std::vector<Present> out;
        for (const Present& p : presents)
            if (p.title == title) out.push_back(p);
        return out;
    }
};

// How Chromium draws and how the test's server sends the pages' files.
struct BrowserSetup {
    // false: headless on SwiftShader, what a machine without a GPU driver gets. true: through ANGLE
    // on the X display's own GL driver (Mesa llvmpipe, the driver the desktop show draws with
    // here), full screen in a window on DISPLAY; no fall-back to SwiftShader is allowed.
    bool host_gl = false;
    // The link the files go over: 0 as fast as the machine goes, else megabits a second shared by
    // all answers, each starting `latency_ms` after its request.
    double mbit = 0, latency_ms = 0;
    std::vector<std::string> flags;  // more of Chromium's switches
};

// The test's web server on 127.0.0.1 and the Chromium that visits its pages, in order.
class Browser {
public:
    // Serves the folder `site`; the visits are paths below it, with their probe settings.
    // `flags` are more of Chromium's switches.
    Browser(const std::filesystem::path& site, const std::vector<std::string>& visits, const std::vector<std::string>& flags = {})
        : Browser(site, visits, BrowserSetup{false, 0, 0, flags}) {}
    Browser(const std::filesystem::path& site, const std::vector<std::string>& visits, const BrowserSetup& setup)
        : site_(site), pending_(visits.begin(), visits.end()), count_(visits.size()), setup_(setup) {
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
        // Sound plays without a gesture, as it would after a person's click; nothing reaches out
        // to the net.
        s.args = {"--no-sandbox", "--window-size=1920,1080", "--autoplay-policy=no-user-gesture-required",
                  "--no-first-run", "--no-default-browser-check", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync", "--disable-quic", "--user-data-dir=" + profile_.string()};
        if (!setup_.host_gl) {
            // SwiftShader gives headless Chromium WebGL 2 with float render targets.
            s.args.insert(s.args.end(), {"--headless=new", "--enable-unsafe-swiftshader", "--use-angle=swiftshader"});
        } else {
            // ANGLE on the X server's GL, which Chromium would refuse as a software driver; a
            // window filling the screen, with nothing of the browser around the page.
            s.args.insert(s.args.end(), {"--use-gl=angle", "--use-angle=gl", "--ignore-gpu-blocklist", "--kiosk",
                                         "--window-position=0,0", "--disable-renderer-backgrounding",
                                         "--disable-background-timer-throttling", "--password-store=basic"});
        }
        s.args.insert(s.args.end(), setup_.flags.begin(), setup_.flags.end());
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
    BrowserSetup setup_;
    std::mutex link_m_;
    std::chrono::steady_clock::time_point link_free_{};  // when the link has sent all it was given
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

    static void send_all(int c, const char* bytes, size_t size) {
        for (size_t at = 0; at < size;) {
            ssize_t n = send(c, bytes + at, size - at, MSG_NOSIGNAL);
            if (n <= 0) return;
            at += (size_t)n;
        }
    }
    // Sends `bytes` as the link allows: after its latency, in pieces that each take their turn on
    // the one link all answers share, at its speed.
    void send_over_link(int c, const std::string& bytes) {
        if (setup_.mbit <= 0) return send_all(c, bytes.data(), bytes.size());
        using clock = std::chrono::steady_clock;
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(setup_.latency_ms));
        const size_t piece = 16384;
        for (size_t at = 0; at < bytes.size() && !stop_; at += piece) {
            size_t n = std::min(piece, bytes.size() - at);
            clock::time_point sent;
            {
                std::lock_guard<std::mutex> lock(link_m_);
                link_free_ = std::max(link_free_, clock::now()) +
                             std::chrono::duration_cast<clock::duration>(std::chrono::duration<double>(n * 8 / (setup_.mbit * 1e6)));
                sent = link_free_;
            }
            std::this_thread::sleep_until(sent);
            send_all(c, bytes.data() + at, n);
        }
    }
    void respond(int c, int status, const std::string& type, const std::string& body, bool over_link = false) {
        std::string head = "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Not Found") +
                           "\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(body.size()) +
                           "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n";
        if (over_link) return send_over_link(c, head + body);
        send_all(c, head.data(), head.size());
        send_all(c, body.data(), body.size());
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
                respond(c, 404, "text/plain", "not found", true);
            } else {
                std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
                if (file.filename() == "index.html") {
                    size_t at = bytes.find("</head>");
                    if (at != std::string::npos) bytes.insert(at, "<script src=\"/probe.js\"></script>\n");
                }
                respond(c, 200, type_of(file.string()), bytes, true);
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
        current_.renderer = r.value("renderer", "");
        current_.downloads.clear();
        if (r["downloads"].is_array())
            for (const json& d : r["downloads"])
                current_.downloads.push_back({d.value("name", ""), d.value("start", 0.0), d.value("end", 0.0), d.value("bytes", 0.0)});
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
