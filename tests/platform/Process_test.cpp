// Process and machine facts: text shapes and buffer rules, the same on both platforms.
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace Platform;

namespace {

TEST(ProcessTest, FoldersAreWindowsShapedAndEndInASeparator) {
    char buffer[300];
    std::uint32_t length = 0;
    ASSERT_EQ(Error::None, GetTempFolderPath(buffer, sizeof buffer, &length));
    EXPECT_EQ(std::strlen(buffer), length);
    EXPECT_EQ(':', buffer[1]);
    EXPECT_EQ('\\', buffer[length - 1]);

    for (SpecialFolder f : {SpecialFolder::Desktop, SpecialFolder::LocalAppData}) {
        ASSERT_EQ(Error::None, GetSpecialFolder(f, buffer, sizeof buffer, &length));
        EXPECT_EQ(':', buffer[1]);
        EXPECT_EQ('\\', buffer[length - 1]);
    }

    ASSERT_EQ(Error::None, GetExecutableFileName(nullptr, buffer, sizeof buffer, &length));
    std::string exe(buffer);
    EXPECT_NE(std::string::npos, exe.find("unit_tests")) << exe;
    EXPECT_EQ(':', buffer[1]);
}

TEST(ProcessTest, TooSmallBufferReportsTheRoomNeededAndWritesNothing) {
    char buffer[300];
    std::uint32_t full = 0;
    ASSERT_EQ(Error::None, GetTempFolderPath(buffer, sizeof buffer, &full));
    char small[4] = {'x', 'x', 'x', 'x'};
    std::uint32_t needed = 0;
    EXPECT_EQ(Error::InsufficientBuffer, GetTempFolderPath(small, sizeof small, &needed));
    EXPECT_EQ(full + 1, needed);
    EXPECT_EQ('x', small[0]);
    EXPECT_EQ(Error::InsufficientBuffer, GetTempFolderPath(buffer, full, &needed));
    EXPECT_EQ(Error::None, GetTempFolderPath(buffer, full + 1, &needed));
}

#ifdef _WIN32
// A name the code page cannot spell comes back from the 8-bit entry points with '?' or a
// look-alike letter: never handed out. A name it can spell, spaces and all, is handed out as is.
TEST(ProcessTest, AFolderNameTheCodePageCannotSpellIsNeverHandedOut) {
    if (GetACP() == CP_UTF8) GTEST_SKIP() << "this process's code page spells every name";
    struct RestoreTmp {
        wchar_t saved[MAX_PATH + 1] = L"";
        bool had = GetEnvironmentVariableW(L"TMP", saved, MAX_PATH + 1) > 0;
        ~RestoreTmp() { SetEnvironmentVariableW(L"TMP", had ? saved : nullptr); }
    } restore;
    char buffer[300] = "untouched";
    std::uint32_t length = 0;
    // A Polish L with stroke has a look-alike in the Western code page; Cyrillic letters do not.
    for (const wchar_t* name :
         {L"C:\\users\\\u0141ukasz\\Temp", L"C:\\users\\\u0416\u0443\u043a\\Temp"}) {
        ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", name));
        EXPECT_EQ(Error::NoUnicodeTranslation, GetTempFolderPath(buffer, sizeof buffer, &length));
        EXPECT_STREQ("untouched", buffer);
    }
    ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", L"C:\\users\\Jean Fran\u00e7ois\\Temp"));
    EXPECT_EQ(Error::None, GetTempFolderPath(buffer, sizeof buffer, &length));
    if (GetACP() == 1252) {
        EXPECT_STREQ("C:\\users\\Jean Fran\xe7ois\\Temp\\", buffer);
    }
}
#endif

TEST(ProcessTest, MachineNameAndVersion) {
    char name[16];
    std::uint32_t length = 0;
    ASSERT_EQ(Error::None, GetMachineName(name, sizeof name, &length));
    EXPECT_GT(length, 0u);
    EXPECT_LE(length, 15u);

    std::int32_t major = -1, minor = -1;
    ASSERT_EQ(Error::None, GetOsVersion(&major, &minor));
    EXPECT_GT(major, 0);
}

}  // namespace
