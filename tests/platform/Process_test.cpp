// Process and machine facts: text shapes and buffer rules, the same on both platforms.
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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
