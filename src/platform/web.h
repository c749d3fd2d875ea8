// What the browser backend's files share (window_web.cpp, audio_web.cpp).
#pragma once

// Readies the page's sound output to be started by the viewer's click: the click handler calls
// Module.oruvaneAudioStart(). Harmless when repeated.
void audio_web_prepare();
// Nonzero once the page's sound output has pulled sound from the mixer: it runs.
int audio_web_running();
