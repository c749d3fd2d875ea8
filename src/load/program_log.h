// Shader compilers' logs read line by line, for the tools that report them where an editor can
// jump: the forms of Mesa ("0:12(5): error: ..."), NVIDIA ("0(12) : error C0000: ...") and AMD
// ("ERROR: 0:12: ..."), each turned into a source line, a column and a message.
#pragma once
#include <stddef.h>

struct ProgramLogLine {
    int line;        // the source line the driver names
    int column;      // 0 when the driver gives none
    char kind[16];   // "error", "warning" or "note"; "" when the driver does not say
    int message;     // offset in the log line of the message after the location and kind
};

// Reads one log line (up to its end or a line break). Returns 1 with *out filled when it has one
// of the forms above, else 0 (out untouched).
int program_log_parse(const char* text, ProgramLogLine* out);
// Writes one log line into out[size] as "FILE:LINE:COLUMN: KIND: message" (no column when the
// driver gave none, no kind when it said none), or as "FILE: line" when it names no source line.
// Returns 1 when it named a source line, else 0; out is always terminated (cut when too small).
int program_log_format(const char* text, const char* file, char* out, size_t size);
