// The names the GLSL ES 3.00 translation of the show's GLSL 1.20 scene files changes: identifiers
// that ES 3.00 takes for its own built-ins get a name of the show's own. The tool that packs a
// show for the browser renames them in the sources; the browser's uniform lookup asks for the new
// name, so the passes keep looking up the names the scene files were written with.
#pragma once
#include <string.h>

// X(name in the scene files, name in the translation). "texture" is the previous-frame sampler of
// the scene programs and, in ES 3.00, the texture lookup function.
#define GLSL_ES_RENAMES(X) X("texture", "oruvane_texture")

// The name the translation gives the identifier `name` (`name` itself when it keeps it).
inline const char* glsl_es_name(const char* name) {
#define GLSL_ES_RENAME(from, to) \
    if (strcmp(name, from) == 0) return to;
    GLSL_ES_RENAMES(GLSL_ES_RENAME)
#undef GLSL_ES_RENAME
    return name;
}
