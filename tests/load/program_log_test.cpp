// Driver logs of the three usual forms, each turned into file:line:column, and lines of other
// forms passed on whole.
#include <gtest/gtest.h>

#include <string>

#include "load/program_log.h"

namespace {

struct LogCase {
    const char* driver;
    const char* text;
    const char* formatted;  // as "f.fsh"
};

const LogCase CASES[] = {
    {"Mesa", "0:12(5): error: syntax error, unexpected '}'", "f.fsh:12:5: error: syntax error, unexpected '}'"},
    {"Mesa", "0:3(1): warning: `x' used uninitialized", "f.fsh:3:1: warning: `x' used uninitialized"},
    {"NVIDIA", "0(12) : error C0000: syntax error, unexpected '}'", "f.fsh:12: error: C0000: syntax error, unexpected '}'"},
    {"NVIDIA", "0(7) : warning C7022: unrecognized profile specifier", "f.fsh:7: warning: C7022: unrecognized profile specifier"},
    {"AMD", "ERROR: 0:12: 'foo' : undeclared identifier", "f.fsh:12: error: 'foo' : undeclared identifier"},
    {"AMD", "WARNING: 0:4: extension not supported\r", "f.fsh:4: warning: extension not supported"},
    {"any", "error: fragment shader lacks `main'", "f.fsh: error: fragment shader lacks `main'"},
    {"any", "ERROR: 2 compilation errors.  No code generated.", "f.fsh: ERROR: 2 compilation errors.  No code generated."},
    {"any", "Fragment info\n-------------", "f.fsh: Fragment info"},
};

TEST(ProgramLog, EachDriversFormNamesItsLineAndColumn) {
    for (const LogCase& c : CASES) {
        SCOPED_TRACE(std::string(c.driver) + ": " + c.text);
        char out[256];
        int located = program_log_format(c.text, "f.fsh", out, sizeof out);
        EXPECT_STREQ(out, c.formatted);
        ProgramLogLine l{};
        EXPECT_EQ(program_log_parse(c.text, &l), located);
        EXPECT_EQ(located, std::string(c.driver) != "any");
    }
}

TEST(ProgramLog, ParsedFieldsAndCutOutput) {
    ProgramLogLine l{};
    ASSERT_EQ(program_log_parse("0:40(17): error: syntax error", &l), 1);
    EXPECT_EQ(l.line, 40);
    EXPECT_EQ(l.column, 17);
    EXPECT_STREQ(l.kind, "error");
    EXPECT_STREQ("0:40(17): error: syntax error" + l.message, "syntax error");
    ASSERT_EQ(program_log_parse("ERROR: 0:9: bad", &l), 1);
    EXPECT_EQ(l.line, 9);
    EXPECT_EQ(l.column, 0);
    // A buffer too small still ends in a terminated, cut line.
    char small[8];
    program_log_format("0:12(5): error: syntax error", "f.fsh", small, sizeof small);
    EXPECT_STREQ(small, "f.fsh:1");
}

}  // namespace
