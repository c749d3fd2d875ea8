// The cross-built executable's version resource, which Windows shows in its properties: the fixed
// file information and the version strings carry the project's version.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "scratch_dir.h"

namespace {

std::string utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

uint32_t u32_at(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

TEST(WindowsVersion, TheExecutableCarriesTheProjectVersion) {
    std::string exe = read_file(ORUVANE_EXE);
    ASSERT_GT(exe.size(), 4096u) << ORUVANE_EXE;
    // VS_FIXEDFILEINFO: its signature, the structure's version, then the file and product
    // versions, each as major << 16 | minor and patch << 16 | build.
    const std::string signature("\xbd\x04\xef\xfe", 4);
    size_t at = exe.find(signature);
    ASSERT_NE(at, std::string::npos) << "no version resource";
    EXPECT_EQ(exe.find(signature, at + 1), std::string::npos) << "two version resources";
    const uint32_t ms = ORUVANE_VERSION_MAJOR << 16 | ORUVANE_VERSION_MINOR, ls = ORUVANE_VERSION_PATCH << 16;
    EXPECT_EQ(u32_at(exe, at + 8), ms);
    EXPECT_EQ(u32_at(exe, at + 12), ls);
    EXPECT_EQ(u32_at(exe, at + 16), ms);
    EXPECT_EQ(u32_at(exe, at + 20), ls);
    // The strings: each name, padded to four bytes, is followed by its value.
    for (const char* key : {"FileVersion", "ProductVersion"}) {
        size_t k = exe.find(utf16(key) + std::string(2, '\0'), at);
        ASSERT_NE(k, std::string::npos) << key;
        size_t v = exe.find(utf16(ORUVANE_VERSION) + std::string(2, '\0'), k);
        EXPECT_LE(v - k, utf16(key).size() + 4) << key;
    }
}

}  // namespace
