// RegistryKey and RegistryValue: the open/create pattern, "^" values, default values, deletion.
#include "framework/system/RegistryKey.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/core/Allocator.h"
#include "framework/core/testing/AllocatorHook.h"
#include "tests/support/TestRegistry.h"

using namespace QRV2;
using Platform::RegRoot;
using Platform::RootKey;

namespace {

using QRV2Test::GetValue;
using QRV2Test::KeyExists;

class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_registry.Ok()); }

    QRV2Test::ScopedTestRegistry m_registry;
};

TEST_F(RegistryKeyTest, RootIsLocalMachineAndCanOnlyChangeWhileNothingIsHeld) {
    RegistryKey key;
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(0, key.Create("Software\\M"));  // under the local machine
    EXPECT_TRUE(KeyExists(RegRoot::LocalMachine, "Software\\M"));
    EXPECT_FALSE(KeyExists(RegRoot::CurrentUser, "Software\\M"));

    ASSERT_EQ(0, key.Open("Software\\M"));
    EXPECT_TRUE(key.IsOpen());
    EXPECT_FALSE(key.SetRoot(RootKey(RegRoot::CurrentUser)));
    EXPECT_EQ(0, key.Open("Software"));  // still the machine root
    EXPECT_EQ(0, key.Close());
    EXPECT_EQ(0, key.Close());  // nothing held: still 0
    EXPECT_TRUE(key.SetRoot(RootKey(RegRoot::CurrentUser)));
    EXPECT_EQ(1, key.Open("Software\\M"));
}

TEST_F(RegistryKeyTest, MissingKeyOpensAfterCreateWithItsParents) {
    RegistryKey key;
    ASSERT_TRUE(key.SetRoot(RootKey(RegRoot::CurrentUser)));
    const char* path =
        "Software\\MozillaPlugins\\@orvane.example/Orvane2011\\MimeTypes\\"
        "application/x-qx2011";
    EXPECT_EQ(1, key.Open(path));
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(0, key.Create(path));
    EXPECT_FALSE(key.IsOpen());  // the created key is not held
    EXPECT_EQ(0, key.Open(path));
    // Create relative to the held key.
    EXPECT_EQ(0, key.Create("Deeper\\Still"));
    EXPECT_TRUE(KeyExists(RegRoot::CurrentUser,
                          "Software\\MozillaPlugins\\@orvane.example/Orvane2011\\MimeTypes\\"
                          "application/x-qx2011\\Deeper\\Still"));
}

TEST_F(RegistryKeyTest, CaretNamesWriteValuesOtherNamesWriteOrDeleteSubKeys) {
    RegistryKey key;
    ASSERT_TRUE(key.SetRoot(RootKey(RegRoot::CurrentUser)));
    ASSERT_EQ(0, key.Create("Software\\P"));
    ASSERT_EQ(0, key.Open("Software\\P"));

    EXPECT_EQ(0, key.WriteValue("^Version", "abc"));
    std::uint32_t type = 0;
    EXPECT_EQ(std::string("abc", 4),
              GetValue(RegRoot::CurrentUser, "Software\\P", "Version", &type));
    EXPECT_EQ(Platform::RegSz, type);
    EXPECT_EQ(0, key.WriteValue("^qrv", ""));
    EXPECT_EQ(std::string(1, '\0'), GetValue(RegRoot::CurrentUser, "Software\\P", "qrv"));
    EXPECT_EQ(-1, key.WriteValue("^Nothing", nullptr));
    EXPECT_EQ("<missing>", GetValue(RegRoot::CurrentUser, "Software\\P", "Nothing"));

    EXPECT_EQ(0, key.WriteValue("Suffixes", "x"));
    EXPECT_EQ(std::string("x", 2),
              GetValue(RegRoot::CurrentUser, "Software\\P\\Suffixes", nullptr));
    EXPECT_EQ(0, key.WriteValue(nullptr, "own default"));
    EXPECT_EQ(std::string("own default", 12), GetValue(RegRoot::CurrentUser, "Software\\P", ""));

    EXPECT_EQ(0, key.WriteValue("Suffixes", nullptr));
    EXPECT_FALSE(KeyExists(RegRoot::CurrentUser, "Software\\P\\Suffixes"));
    EXPECT_EQ(-1, key.WriteValue("Suffixes", nullptr));  // already gone

    EXPECT_EQ(0, key.Close());
    EXPECT_EQ(-1, key.WriteValue("^Version", "abc"));  // nothing held
}

TEST_F(RegistryKeyTest, RegistryValueWritesOnlyWhenAssigned) {
    RegistryKey key;
    ASSERT_TRUE(key.SetRoot(RootKey(RegRoot::CurrentUser)));
    ASSERT_EQ(0, key.Create("Software\\V\\Sub"));
    ASSERT_EQ(0, key.Open("Software\\V"));

    RegistryValue untouched("^Never");
    EXPECT_EQ(0, untouched.WriteTo(key));
    EXPECT_EQ("<missing>", GetValue(RegRoot::CurrentUser, "Software\\V", "Never"));

    char name[] = "^Path";
    RegistryValue path(name);
    const char* copy = path.Assign("first");
    ASSERT_NE(nullptr, copy);
    EXPECT_STREQ("first", copy);
    path.Assign("C:\\Users\\me\\npqx2011.dll");
    EXPECT_EQ(0, path.WriteTo(key));
    EXPECT_EQ(std::string("C:\\Users\\me\\npqx2011.dll", 25),
              GetValue(RegRoot::CurrentUser, "Software\\V", "Path"));

    // A null text assigned to a sub-key name deletes the sub-key.
    RegistryValue drop("Sub");
    EXPECT_EQ(nullptr, drop.Assign(nullptr));
    EXPECT_EQ(0, drop.WriteTo(key));
    EXPECT_FALSE(KeyExists(RegRoot::CurrentUser, "Software\\V\\Sub"));
}

// Running out of memory while copying a text must not turn the write into a deletion.
TEST_F(RegistryKeyTest, FailedCopyDoesNotDeleteTheSubKey) {
    RegistryKey key;
    ASSERT_TRUE(key.SetRoot(RootKey(RegRoot::CurrentUser)));
    ASSERT_EQ(0, key.Create("Software\\F\\Suffixes"));
    ASSERT_EQ(0, key.Open("Software\\F"));
    RegistryValue value("Suffixes");
    AllocatorHook::FailNth(1);
    const char* copy = value.Assign("qrv");
    AllocatorHook::Disarm();
    EXPECT_EQ(nullptr, copy);
    EXPECT_EQ(-1, value.WriteTo(key));
    EXPECT_TRUE(KeyExists(RegRoot::CurrentUser, "Software\\F\\Suffixes"));
}

}  // namespace
