// Driver log lines to file:line:column messages.
#include "load/program_log.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

// The kind word a message starts with ("error", "WARNING", ...), lowered into kind[16]; the offset
// after it and its separator, or 0 when the text starts with none.
static int read_kind(const char* text, char* kind) {
    static const char* const KINDS[] = {"error", "warning", "note", "info"};
    for (const char* k : KINDS) {
        size_t n = strlen(k);
        if (strncasecmp(text, k, n) != 0 || isalpha((unsigned char)text[n])) continue;
        memcpy(kind, k, n + 1);
        int at = (int)n;
        // "error: msg", or NVIDIA's "error C0000: msg", whose code stays part of the message.
        if (text[at] == ':') ++at;
        while (text[at] == ' ') ++at;
        return at;
    }
    kind[0] = '\0';
    return 0;
}

int program_log_parse(const char* text, ProgramLogLine* out) {
    int source = 0, line = 0, column = 0, n = 0;
    ProgramLogLine r;
    memset(&r, 0, sizeof r);
    if (sscanf(text, "%d:%d(%d): %n", &source, &line, &column, &n) == 3 && n > 0) {
        r.column = column;  // Mesa: 0:LINE(COLUMN): kind: message
    } else if ((n = 0, sscanf(text, "%d(%d) : %n", &source, &line, &n) == 2) && n > 0) {
        // NVIDIA: 0(LINE) : kind CODE: message
    } else {
        // AMD: KIND: 0:LINE: message
        char word[16] = "";
        int k = 0;
        if (sscanf(text, "%15[A-Za-z]: %n", word, &k) != 1 || k == 0) return 0;
        n = 0;
        if (sscanf(text + k, "%d:%d: %n", &source, &line, &n) != 2 || n == 0) return 0;
        char kind[16];
        if (read_kind(word, kind) == 0 && kind[0] == '\0') return 0;
        memcpy(r.kind, kind, sizeof kind);
        r.line = line;
        r.message = k + n;
        *out = r;
        return 1;
    }
    r.line = line;
    r.message = n + read_kind(text + n, r.kind);
    *out = r;
    return 1;
}

int program_log_format(const char* text, const char* file, char* out, size_t size) {
    size_t len = strcspn(text, "\r\n");
    ProgramLogLine l;
    if (!program_log_parse(text, &l)) {
        snprintf(out, size, "%s: %.*s", file, (int)len, text);
        return 0;
    }
    int m = l.message < (int)len ? l.message : (int)len;
    char where[64];
    if (l.column > 0) snprintf(where, sizeof where, "%d:%d", l.line, l.column);
    else snprintf(where, sizeof where, "%d", l.line);
    snprintf(out, size, "%s:%s: %s%s%.*s", file, where, l.kind, l.kind[0] ? ": " : "", (int)len - m, text + m);
    return 1;
}
