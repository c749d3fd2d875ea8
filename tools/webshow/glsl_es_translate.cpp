// GLSL 1.20 to GLSL ES 3.00, token by token over the source, comments and line breaks kept.
#include "glsl_es_translate.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <set>

#include "load/glsl_es_renames.h"

namespace {

const char* const VERTEX_INPUT = "oruvane_Vertex";
const char* const FRAGMENT_OUTPUT = "oruvane_FragColor";
const char* const OWN_PREFIX = "oruvane_";

// Built-in functions whose ES 3.00 names differ.
const std::map<std::string, std::string> FUNCTIONS = {
    {"texture2D", "texture"},          {"texture2DProj", "textureProj"}, {"texture2DLod", "textureLod"},
    {"texture2DProjLod", "textureProjLod"}, {"textureCube", "texture"},   {"textureCubeLod", "textureLod"},
    {"texture3D", "texture"},          {"texture3DProj", "textureProj"}, {"texture3DLod", "textureLod"},
};

// gl_ names that mean the same in ES 3.00.
const std::set<std::string> SAME_BUILTINS = {
    "gl_Position", "gl_PointSize", "gl_FragCoord", "gl_FrontFacing", "gl_PointCoord", "gl_FragDepth",
    "gl_MaxVertexAttribs", "gl_MaxVertexUniformVectors", "gl_MaxFragmentUniformVectors",
    "gl_MaxVertexTextureImageUnits", "gl_MaxCombinedTextureImageUnits", "gl_MaxTextureImageUnits",
    "gl_MaxDrawBuffers", "gl_DepthRange",
};

// Built-ins of GLSL 1.20 that WebGL 2 has nothing like.
const std::set<std::string> NO_COUNTERPART = {
    "sampler1D", "sampler1DShadow", "sampler2DShadow", "texture1D", "texture1DProj", "texture1DLod",
    "texture1DProjLod", "shadow1D", "shadow2D", "shadow1DProj", "shadow2DProj", "shadow1DLod", "shadow2DLod",
    "shadow1DProjLod", "shadow2DProjLod",
};

bool ident_start(char c) { return std::isalpha((unsigned char)c) || c == '_'; }
bool ident_char(char c) { return std::isalnum((unsigned char)c) || c == '_'; }

struct Translator {
    const std::string& src;
    ShaderStage stage;
    GlslEsResult result;
    std::string out;
    size_t i = 0;
    int line = 1;
    bool version_seen = false;
    bool content_seen = false;  // something other than comments and blanks came before

    bool fail(const std::string& why) {
        result.line = line;
        result.reason = why;
        return false;
    }

    // Goes in front of the translated source, whose #version line is left empty: WebGL wants the
    // version on the first line. The #line gives the source's first line its own number again.
    std::string header() const {
        std::string h = "#version 300 es\nprecision highp float;\nprecision highp int;\nprecision highp sampler2D;\n";
        if (stage == ShaderStage::Vertex) h += "layout(location = 0) in vec4 " + std::string(VERTEX_INPUT) + ";\n";
        else h += "out vec4 " + std::string(FRAGMENT_OUTPUT) + ";\n";
        return h + "#line 1\n";
    }

    bool identifier(const std::string& name) {
        bool vertex = stage == ShaderStage::Vertex;
        if (name.compare(0, std::string(OWN_PREFIX).size(), OWN_PREFIX) == 0)
            return fail("'" + name + "': names beginning " + OWN_PREFIX + " are the translation's own");
        if (name == "varying") {
            out += vertex ? "out" : "in";
        } else if (name == "attribute") {
            if (!vertex) return fail("'attribute' in a fragment shader");
            out += "in";
        } else if (name == "gl_Vertex") {
            if (!vertex) return fail("'gl_Vertex' in a fragment shader");
            out += VERTEX_INPUT;
        } else if (name == "gl_FragColor") {
            if (vertex) return fail("'gl_FragColor' in a vertex shader");
            out += FRAGMENT_OUTPUT;
        } else if (name.compare(0, 3, "gl_") == 0) {
            if (!SAME_BUILTINS.count(name)) return fail("'" + name + "' has no GLSL ES 3.00 counterpart this translation knows");
            out += name;
        } else if (FUNCTIONS.count(name)) {
            out += FUNCTIONS.at(name);
        } else if (NO_COUNTERPART.count(name)) {
            return fail("'" + name + "': WebGL 2 has no 1D or shadow texture lookups of this form");
        } else if (name == "ftransform") {
            return fail("'ftransform' needs the fixed-function matrices, which WebGL 2 does not have");
        } else {
            out += glsl_es_name(name.c_str());
        }
        return true;
    }

    // A preprocessor directive starting at i (the '#'); the line is copied unless it is #version.
    bool directive() {
        size_t end = src.find('\n', i);
        if (end == std::string::npos) end = src.size();
        std::string text = src.substr(i, end - i);
        size_t k = 1;
        while (k < text.size() && (text[k] == ' ' || text[k] == '\t')) ++k;
        size_t name_end = k;
        while (name_end < text.size() && ident_char(text[name_end])) ++name_end;
        std::string name = text.substr(k, name_end - k);
        if (name == "version") {
            if (content_seen || version_seen) return fail("#version must come first");
            int number = std::atoi(text.c_str() + name_end);
            if (number != 110 && number != 120) return fail("#version " + std::to_string(number) + ": only GLSL 1.10 and 1.20 are translated");
            version_seen = true;
            i = end;
            return true;
        }
        if (name == "extension") return fail("#extension: extensions are not translated");
        if (name == "line") {
            // GLSL 1.20 numbers the line after "#line N" N + 1; GLSL ES 3.00 numbers it N.
            char* after = nullptr;
            long n = std::strtol(text.c_str() + name_end, &after, 10);
            if (after == text.c_str() + name_end) return fail("#line without a line number");
            content_seen = true;
            out += "#line " + std::to_string(n + 1) + after;
            i = end;
            return true;
        }
        content_seen = true;
        // The rest of the directive is translated like code (a #define may name texture2D).
        out += text.substr(0, name_end);
        i += name_end;
        return code(end);
    }

    // Nothing but blanks since the start of the line: a '#' there begins a directive.
    bool at_line_start() const {
        for (size_t k = i; k > 0 && src[k - 1] != '\n'; --k)
            if (!std::isspace((unsigned char)src[k - 1])) return false;
        return true;
    }

    // Translates tokens up to `end` (the end of a directive line) or to the end of the source.
    bool code(size_t end) {
        while (i < end) {
            char c = src[i];
            if (c == '\n') {
                out += c;
                ++i;
                ++line;
                if (end != src.size()) return true;
                continue;
            }
            if (c == '/' && i + 1 < src.size() && src[i + 1] == '/') {
                size_t e = src.find('\n', i);
                if (e == std::string::npos) e = src.size();
                out.append(src, i, e - i);
                i = e;
                continue;
            }
            if (c == '/' && i + 1 < src.size() && src[i + 1] == '*') {
                size_t e = src.find("*/", i + 2);
                if (e == std::string::npos) return fail("a comment that does not end");
                e += 2;
                for (size_t k = i; k < e; ++k) line += src[k] == '\n';
                out.append(src, i, e - i);
                i = e;
                continue;
            }
            if (c == '#' && end == src.size() && at_line_start()) {
                if (!directive()) return false;
                continue;
            }
            if (!std::isspace((unsigned char)c)) content_seen = true;
            if (ident_start(c)) {
                size_t e = i;
                while (e < src.size() && ident_char(src[e])) ++e;
                if (!identifier(src.substr(i, e - i))) return false;
                i = e;
                continue;
            }
            if (std::isdigit((unsigned char)c) || (c == '.' && i + 1 < src.size() && std::isdigit((unsigned char)src[i + 1]))) {
                size_t e = i;  // a number with its suffix, so 1e5 or 2u is not taken for an identifier
                while (e < src.size() && (ident_char(src[e]) || src[e] == '.' ||
                                          ((src[e] == '+' || src[e] == '-') && (src[e - 1] == 'e' || src[e - 1] == 'E'))))
                    ++e;
                out.append(src, i, e - i);
                i = e;
                continue;
            }
            out += c;
            ++i;
        }
        return true;
    }
};

}  // namespace

GlslEsResult glsl_es_translate(const std::string& source, ShaderStage stage) {
    Translator t{source, stage, {}, {}};
    if (t.code(source.size())) {
        t.result.ok = true;
        t.result.text = t.header() + t.out;
    }
    return t.result;
}
