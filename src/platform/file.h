// Opening the files the show reads: only regular files, and never waiting on one. Needs neither
// SDL nor GL, so the platform-free readers use it too.
#pragma once
#include <stdio.h>

// Opens `path` for binary reading when it is a regular file (or a link to one). Something else
// in its place (a directory, a named pipe, a device, a socket) gives null, as does a missing or
// unreadable file; opening never blocks. Close the result with fclose.
FILE* plat_open_regular(const char* path);
