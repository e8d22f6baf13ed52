// WriteResourceToFile: embedded resources copied byte for byte, short or missing ones refused.
#include "framework/system/WriteResourceToFile.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/core/Core.h"
#include "tests/support/ScratchFolder.h"

using namespace QRV2;

namespace {

class WriteResourceToFileTest : public ::testing::Test {
protected:
    std::string PathOf(const char* name) const { return m_folder / name; }
    static std::string Contents(const std::string& path) { return QRV2Test::ReadBytes(path); }
    QRV2Test::ScratchFolder m_folder;
};

TEST_F(WriteResourceToFileTest, WritesTheWholeResourceByteForByteOverALongerFile) {
    std::string path = PathOf("pluginwin32.dat");
    QRV2Test::WriteBytes(path, std::string(2000, 'o'));  // an older, longer file is cut
    ASSERT_EQ(0, WriteResourceToFile(GetCore(), path.c_str(), "IDR_ALL_BYTES", "TESTDATA", 16));
    std::string data = Contents(path);
    ASSERT_EQ(512u, data.size());
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(static_cast<char>(i), data[i]);
        ASSERT_EQ(static_cast<char>(255 - i), data[256 + i]);
    }
    ASSERT_EQ(0, WriteResourceToFile(GetCore(), path.c_str(), "#130", "ARCHIVE", 8));
    EXPECT_EQ("bbbbbbbb", Contents(path));
}

TEST_F(WriteResourceToFileTest, RefusesResourcesBelowTheMinimumOrMissing) {
    std::string path = PathOf("short.dat");
    EXPECT_EQ(1, WriteResourceToFile(GetCore(), path.c_str(), "IDR_SHORT", "TESTDATA", 16));
    EXPECT_EQ("", Contents(path));  // opened, nothing written
    EXPECT_EQ(0, WriteResourceToFile(GetCore(), path.c_str(), "IDR_SHORT", "TESTDATA", 15));
    EXPECT_EQ("fifteen bytes!!", Contents(path));
    EXPECT_EQ(1, WriteResourceToFile(GetCore(), path.c_str(), "IDR_ARCHIVE", "ARCHIVE", 16));
    EXPECT_EQ(1, WriteResourceToFile(GetCore(), path.c_str(), "IDR_SHORT", "ARCHIVE", 0));
}

TEST_F(WriteResourceToFileTest, FileThatCannotBeOpenedIsAFailure) {
    std::string path = PathOf("missing-folder/x.dat");
    EXPECT_EQ(1, WriteResourceToFile(GetCore(), path.c_str(), "IDR_ALL_BYTES", "TESTDATA", 16));
    EXPECT_FALSE(QRV2Test::PathPresent(m_folder / "missing-folder"));
    EXPECT_EQ(1, WriteResourceToFile(nullptr, PathOf("x").c_str(), "IDR_ALL_BYTES", "TESTDATA", 0));
}

}  // namespace
