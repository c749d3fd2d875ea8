// Loaded into the show with LD_PRELOAD: a sound output that opens as asked but never asks the
// program for sound. The device is SDL's own, opened with a callback of this library's that only
// writes silence, so the program's callback never runs.
#include <SDL.h>
#include <dlfcn.h>
#include <string.h>

static void SDLCALL silence(void*, Uint8* stream, int len) { memset(stream, 0, (size_t)len); }

extern "C" SDL_AudioDeviceID SDL_OpenAudioDevice(const char* device, int iscapture, const SDL_AudioSpec* desired,
                                                 SDL_AudioSpec* obtained, int allowed_changes) {
    typedef SDL_AudioDeviceID (*Open)(const char*, int, const SDL_AudioSpec*, SDL_AudioSpec*, int);
    static Open open_device = (Open)dlsym(RTLD_NEXT, "SDL_OpenAudioDevice");
    SDL_AudioSpec spec = *desired;
    spec.callback = silence;
    return open_device(device, iscapture, &spec, obtained, allowed_changes);
}
