// GL entry points: fetched by name, and each checked against what the context really offers,
// since GLX hands out an address for any name at all.
#include "gl_entry.h"

#include <stdio.h>
#include <string.h>

#include "platform/platform.h"

GlEntryTable gl_entry_table;

#define GL_ENTRY_NAME(name, type, major, minor, extension) #name,
const char* const GL_ENTRY_NAMES[GL_ENTRY_COUNT] = {GL_ENTRY_LIST(GL_ENTRY_NAME)};
#undef GL_ENTRY_NAME

// What brings an entry point: a core version (0.0: none does), or an extension (null: none).
struct GlSource {
    int major, minor;
    const char* extension;
};

#define GL_ENTRY_SOURCE(name, type, major, minor, extension) {major, minor, extension},
static const GlSource GL_ENTRY_SOURCES[GL_ENTRY_COUNT] = {GL_ENTRY_LIST(GL_ENTRY_SOURCE)};
#undef GL_ENTRY_SOURCE

static int gl_has_extension(const char* name) {
    const char* all = (const char*)glGetString(GL_EXTENSIONS);
    size_t n = strlen(name);
    for (const char* p = all; p && (p = strstr(p, name)) != nullptr; p += n) {
        if ((p == all || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return 1;
    }
    return 0;
}

static int gl_offers(const GlSource& s, int major, int minor) {
    if (s.major && (major > s.major || (major == s.major && minor >= s.minor))) return 1;
    return s.extension && gl_has_extension(s.extension);
}

int load_gl_entry_points() {
    int major = 0, minor = 0;
    const char* version = (const char*)glGetString(GL_VERSION);
    if (!version || sscanf(version, "%d.%d", &major, &minor) != 2) {
        plat_fail_reason("GL: unreadable version '%s'", version ? version : "");
        return 0;
    }
    for (int i = 0; i < GL_ENTRY_COUNT; ++i) {
        void* address = plat_gl_proc_address(GL_ENTRY_NAMES[i]);
        if (!address || !gl_offers(GL_ENTRY_SOURCES[i], major, minor)) {
            plat_fail_reason("GL %d.%d (%s) lacks %s", major, minor, version, GL_ENTRY_NAMES[i]);
            return 0;
        }
        gl_entry_table.entry[i] = address;
    }
    return 1;
}
