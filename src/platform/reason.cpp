// Why the last start-up step failed, kept as one line for the runner to write under its message.
#include <stdarg.h>
#include <stdio.h>

#include "platform.h"

static char fail_reason[PLAT_REASON_SIZE];

void plat_fail_reason(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(fail_reason, sizeof fail_reason, format, args);
    va_end(args);
    // One line: a library's message with a line break in it must not become two.
    for (char* p = fail_reason; *p; ++p)
        if (*p == '\n' || *p == '\r') *p = ' ';
}

const char* plat_failure_reason() { return fail_reason; }
