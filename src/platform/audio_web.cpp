// The sound output device in a browser: a Web Audio script node pulls the shared mixer
// (audio_mix.cpp) on the page's own thread, so no lock is needed. The page may start sound only
// from a click: the click (window_web.cpp) starts the output, and everything before it stays
// silent. The output runs at AUDIO_RATE; the browser resamples to the hardware.
#include <emscripten.h>

#include "platform/audio.h"
#include "platform/audio_device.h"
#include "platform/platform.h"
#include "platform/web.h"

enum {
    PULL_FRAMES = 2048,  // ~46 ms per pull: short enough not to lag the picture, long enough for slow frames
};

static int16_t pull_buffer[PULL_FRAMES * 2];

// The node's pull: the next `frames` (at most PULL_FRAMES) stereo frames of the mix, 16-bit
// interleaved, in a buffer the page reads.
extern "C" EMSCRIPTEN_KEEPALIVE int16_t* web_audio_pull(int frames) {
    audio_mix_s16(pull_buffer, frames < PULL_FRAMES ? frames : PULL_FRAMES);
    return pull_buffer;
}

// Installs Module.oruvaneAudioStart, which the click calls (only a click may start a page's
// sound): it makes the audio context and its script node, which from then on pulls the mix
// whenever the context runs, and resumes the context. Later calls only resume it.
EM_JS(void, page_audio_prepare, (int rate, int frames), {
    if (Module.oruvaneAudioStart) return;
    const a = Module.oruvaneAudio = {context: null, node: null, running: false};
    Module.oruvaneAudioStart = () => {
        if (!a.context) {
            const Context = window.AudioContext || window.webkitAudioContext;
            if (!Context) return;
            a.context = new Context({sampleRate: rate});
            a.node = a.context.createScriptProcessor(frames, 0, 2);
            a.node.onaudioprocess = (e) => {
                const n = e.outputBuffer.length;
                const left = e.outputBuffer.getChannelData(0), right = e.outputBuffer.getChannelData(1);
                for (let done = 0; done < n; done += frames) {
                    const count = Math.min(frames, n - done);
                    const at = _web_audio_pull(count) >> 1;
                    for (let i = 0; i < count; ++i) {
                        left[done + i] = HEAP16[at + 2 * i] / 32768;
                        right[done + i] = HEAP16[at + 2 * i + 1] / 32768;
                    }
                }
                a.running = true;
            };
            a.node.connect(a.context.destination);
        }
        if (a.context.state !== 'running') a.context.resume().catch(() => {});
    };
});

// Starts the output as the click does (outside a click the browser may keep it suspended).
// 1 when there is an audio context.
EM_JS(int, page_audio_start, (), {
    Module.oruvaneAudioStart();
    return Module.oruvaneAudio.context ? 1 : 0;
});

EM_JS(int, page_audio_running, (), { return Module.oruvaneAudio && Module.oruvaneAudio.running ? 1 : 0; });

static int device_open_once;

int audio_device_open(int device) {
    if (device_open_once) return 1;
    if (device != -1) return 0;  // a page has the one output
    audio_web_prepare();
    if (!page_audio_start()) {
        plat_fail_reason("audio: this browser has no Web Audio");
        return 0;
    }
    device_open_once = 1;
    return 1;
}

int audio_device_is_open() { return device_open_once; }

void audio_device_lock() {}

void audio_device_unlock() {}

int audio_device_run() {
    if (!device_open_once) return 0;
    page_audio_start();
    return 1;
}

void audio_web_prepare() { page_audio_prepare(AUDIO_RATE, PULL_FRAMES); }

int audio_web_running() { return page_audio_running(); }

// A page cannot wait for its sound: the show starts only once the output runs (the start waits
// for it), so a running output takes the wave at its next pull.
int audio_device_wave_started() {
    if (page_audio_running()) return 1;
    plat_fail_reason("audio: the page's sound output did not start (the browser allows sound only after a click)");
    return 0;
}

int audio_device_reads_wave_data() { return 0; }
