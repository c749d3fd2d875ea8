// The cross-built executable's version resource, which Windows shows in its properties: its fixed
// file information carries the project's version.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "scratch_dir.h"

TEST(WindowsVersion, TheExecutableCarriesTheProjectVersion) {
    std::string exe = read_file(ORUVANE_EXE);
    // VS_FIXEDFILEINFO: its signature, the structure's version, then the file and the product
    // version, each as major << 16 | minor and patch << 16 | build.
    const std::string signature("\xbd\x04\xef\xfe", 4);
    size_t at = exe.find(signature);
    ASSERT_NE(at, std::string::npos) << "no version resource in " << ORUVANE_EXE;
    EXPECT_EQ(exe.find(signature, at + 1), std::string::npos) << "two version resources";
    uint32_t versions[4];
    std::memcpy(versions, exe.data() + at + 8, sizeof versions);
    const uint32_t ms = ORUVANE_VERSION_MAJOR << 16 | ORUVANE_VERSION_MINOR, ls = ORUVANE_VERSION_PATCH << 16;
    EXPECT_EQ(versions[0], ms);
    EXPECT_EQ(versions[1], ls);
    EXPECT_EQ(versions[2], ms);
    EXPECT_EQ(versions[3], ls);
}
