// The translation of the show's GLSL 1.20 shaders to GLSL ES 3.00 for WebGL 2: mechanical, line
// for line, and refusing what it does not know how to translate.
#pragma once
#include <string>

enum class ShaderStage { Vertex, Fragment };

struct GlslEsResult {
    bool ok = false;
    std::string text;    // the translation, when ok
    int line = 0;        // where the source stops the translation (1 = first line), when not ok
    std::string reason;  // why, when not ok
};

// Translates one shader: "#version 300 es", the precision statements and the declarations of the
// vertex input and the fragment output go in front, then a #line, so that every line keeps its
// number (the #version line is left empty); varying and attribute become in/out, gl_Vertex and
// gl_FragColor those declared variables, texture2D and its kin their ES 3.00 names, and the
// identifiers of GLSL_ES_RENAMES (load/glsl_es_renames.h) their new names. Other gl_ names without an
// ES 3.00 counterpart, extensions and versions past 1.20 are refused with the line.
GlslEsResult glsl_es_translate(const std::string& source, ShaderStage stage);
