// Registry service: keys, values, rights and deletion, the same on both platforms.
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/TestRegistry.h"

using namespace Platform;

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_registry.Ok()); }
    QRV2Test::ScopedTestRegistry m_registry;
};

std::string QueryBytes(RegKey key, const char* name, std::uint32_t* type, Error* error) {
    std::uint32_t size = 0;
    *error = RegistryQueryValue(key, name, type, nullptr, &size);
    if (*error != Error::None) return std::string();
    std::string data(size, '\0');
    *error = RegistryQueryValue(key, name, type, size ? &data[0] : nullptr, &size);
    data.resize(size);
    return data;
}

TEST_F(RegistryTest, KeysOpenOnlyOnceCreatedAndNamesIgnoreCase) {
    RegKey key = nullptr;
    EXPECT_EQ(Error::FileNotFound,
              RegistryOpenKey(RootKey(RegRoot::CurrentUser), "Software\\Orvane", KeyRead, &key));
    EXPECT_EQ(nullptr, key);

    bool created = false;
    ASSERT_EQ(Error::None, RegistryCreateKey(RootKey(RegRoot::CurrentUser), "Software\\Orvane\\A",
                                             KeyWrite, &key, &created));
    EXPECT_TRUE(created);
    EXPECT_EQ(Error::None, RegistryCloseKey(key));

    ASSERT_EQ(Error::None, RegistryCreateKey(RootKey(RegRoot::CurrentUser), "SOFTWARE\\orvane\\a",
                                             KeyWrite, &key, &created));
    EXPECT_FALSE(created);
    EXPECT_EQ(Error::None, RegistryCloseKey(key));

    // A trailing separator names the same key.
    ASSERT_EQ(Error::None,
              RegistryOpenKey(RootKey(RegRoot::CurrentUser), "software\\ORVANE\\", KeyRead, &key));
    RegKey sub = nullptr;
    EXPECT_EQ(Error::None, RegistryOpenKey(key, "A", KeyRead, &sub));
    RegistryCloseKey(sub);
    RegistryCloseKey(key);

    // The two roots are separate places.
    EXPECT_EQ(Error::FileNotFound,
              RegistryOpenKey(RootKey(RegRoot::LocalMachine), "Software\\Orvane", KeyRead, &key));
}

TEST_F(RegistryTest, ValuesKeepTheirExactBytesTypeAndSpelling) {
    RegKey key = nullptr;
    ASSERT_EQ(Error::None, RegistryCreateKey(RootKey(RegRoot::CurrentUser), "Software\\T",
                                             KeyAllAccess, &key, nullptr));
    const char text[] = "C:\\Program Files\\\"quoted\" \xe9t\xe9\n[x]=y";
    const char binary[] = {0, 1, '\n', '\r', '"', '\\', 0, static_cast<char>(0xff)};
    const char noTerminator[] = {'a', 'b'};
    std::uint32_t dword = 0x01020304;
    ASSERT_EQ(Error::None, RegistrySetValue(key, "Text", RegSz, text, sizeof text));
    ASSERT_EQ(Error::None, RegistrySetValue(key, "Bin", RegBinary, binary, sizeof binary));
    ASSERT_EQ(Error::None, RegistrySetValue(key, "Raw", RegSz, noTerminator, 2));
    ASSERT_EQ(Error::None, RegistrySetValue(key, "Num", RegDword, &dword, 4));
    ASSERT_EQ(Error::None, RegistrySetValue(key, "Exp", RegExpandSz, "%X%", 4));
    ASSERT_EQ(Error::None, RegistrySetValue(key, "Empty", RegSz, "", 1));
    RegistryCloseKey(key);

    ASSERT_EQ(Error::None,
              RegistryOpenKey(RootKey(RegRoot::CurrentUser), "Software\\T", KeyRead, &key));
    std::uint32_t type = 0;
    Error e;
    EXPECT_EQ(std::string(text, sizeof text), QueryBytes(key, "text", &type, &e));
    EXPECT_EQ(Error::None, e);
    EXPECT_EQ(RegSz, type);
    EXPECT_EQ(std::string(binary, sizeof binary), QueryBytes(key, "Bin", &type, &e));
    EXPECT_EQ(RegBinary, type);
    EXPECT_EQ(std::string("ab"), QueryBytes(key, "Raw", &type, &e));
    EXPECT_EQ(RegSz, type);
    EXPECT_EQ(std::string("\x04\x03\x02\x01", 4), QueryBytes(key, "Num", &type, &e));
    EXPECT_EQ(RegDword, type);
    EXPECT_EQ(std::string("%X%", 4), QueryBytes(key, "Exp", &type, &e));
    EXPECT_EQ(RegExpandSz, type);
    EXPECT_EQ(std::string(1, '\0'), QueryBytes(key, "Empty", &type, &e));

    // Too little room: the length needed comes back.
    char small[4];
    std::uint32_t size = sizeof small;
    EXPECT_EQ(Error::MoreData, RegistryQueryValue(key, "Text", &type, small, &size));
    EXPECT_EQ(sizeof text, size);
    EXPECT_EQ(Error::FileNotFound, RegistryQueryValue(key, "Missing", &type, nullptr, &size));

    // Enumeration reaches every value once with the spelling given when written (in an
    // order of the system's choosing); the longest lengths bound what it hands out.
    std::uint32_t values = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(Error::None, RegistryQueryInfo(key, nullptr, nullptr, &values, &maxName, &maxData));
    EXPECT_EQ(6u, values);
    EXPECT_EQ(5u, maxName);
    EXPECT_GE(maxData, sizeof text);
    char name[16];
    std::uint32_t nameSize = 0;
    char data[80];
    std::uint32_t dataSize = 0;
    std::uint32_t binIndex = values;
    for (std::uint32_t i = 0; i < values; ++i) {
        nameSize = sizeof name;
        dataSize = sizeof data;
        ASSERT_EQ(Error::None, RegistryEnumValue(key, i, name, &nameSize, &type, data, &dataSize));
        EXPECT_EQ(std::strlen(name), nameSize);
        if (std::string(name) == "Bin") {
            binIndex = i;
            EXPECT_EQ(RegBinary, type);
            EXPECT_EQ(std::string(binary, sizeof binary), std::string(data, dataSize));
        }
    }
    ASSERT_LT(binIndex, values);
    nameSize = 3;  // no room for the terminator
    dataSize = sizeof data;
    EXPECT_EQ(Error::MoreData,
              RegistryEnumValue(key, binIndex, name, &nameSize, &type, data, &dataSize));
    nameSize = sizeof name;
    EXPECT_EQ(Error::NoMoreItems,
              RegistryEnumValue(key, 6, name, &nameSize, &type, nullptr, nullptr));
    RegistryCloseKey(key);
}

TEST_F(RegistryTest, ReplacingAValueKeepsOneValue) {
    RegKey key = nullptr;
    ASSERT_EQ(Error::None, RegistryCreateKey(RootKey(RegRoot::LocalMachine), "Software\\T",
                                             KeyAllAccess, &key, nullptr));
    ASSERT_EQ(Error::None, RegistrySetValue(key, "Path", RegSz, "one", 4));
    ASSERT_EQ(Error::None, RegistrySetValue(key, "PATH", RegSz, "two!", 5));
    std::uint32_t values = 0, type = 0;
    ASSERT_EQ(Error::None, RegistryQueryInfo(key, nullptr, nullptr, &values, nullptr, nullptr));
    EXPECT_EQ(1u, values);
    Error e;
    EXPECT_EQ(std::string("two!", 5), QueryBytes(key, "path", &type, &e));
    RegistryCloseKey(key);
}

TEST_F(RegistryTest, DefaultValueOfASubKeyCreatesIt) {
    RegKey key = nullptr;
    ASSERT_EQ(Error::None, RegistryCreateKey(RootKey(RegRoot::CurrentUser), "Software\\P",
                                             KeyAllAccess, &key, nullptr));
    ASSERT_EQ(Error::None, RegistrySetDefaultValue(key, "Suffixes", "x"));
    ASSERT_EQ(Error::None, RegistrySetDefaultValue(key, nullptr, "self"));
    RegKey sub = nullptr;
    ASSERT_EQ(Error::None, RegistryOpenKey(key, "Suffixes", KeyRead, &sub));
    std::uint32_t type = 0;
    Error e;
    EXPECT_EQ(std::string("x", 2), QueryBytes(sub, nullptr, &type, &e));
    EXPECT_EQ(RegSz, type);
    EXPECT_EQ(std::string("x", 2), QueryBytes(sub, "", &type, &e));
    RegistryCloseKey(sub);
    EXPECT_EQ(std::string("self", 5), QueryBytes(key, nullptr, &type, &e));
    RegistryCloseKey(key);
}

TEST_F(RegistryTest, DeleteRemovesALeafKeyWithItsValuesButNotAKeyWithSubKeys) {
    RegKey key = nullptr;
    ASSERT_EQ(Error::None, RegistryCreateKey(RootKey(RegRoot::CurrentUser), "Software\\D\\Leaf",
                                             KeyAllAccess, &key, nullptr));
    ASSERT_EQ(Error::None, RegistrySetValue(key, "v", RegSz, "1", 2));
    RegistryCloseKey(key);
    RegKey parent = nullptr;
    ASSERT_EQ(Error::None,
              RegistryOpenKey(RootKey(RegRoot::CurrentUser), "Software", KeyAllAccess, &parent));
    EXPECT_NE(Error::None, RegistryDeleteKey(parent, "D"));  // still has "Leaf"
    EXPECT_EQ(Error::None, RegistryDeleteKey(parent, "d\\LEAF"));
    EXPECT_EQ(Error::FileNotFound, RegistryDeleteKey(parent, "D\\Leaf"));
    EXPECT_EQ(Error::None, RegistryDeleteKey(parent, "D"));
    EXPECT_EQ(Error::FileNotFound,
              RegistryOpenKey(RootKey(RegRoot::CurrentUser), "Software\\D", KeyRead, &key));
    // Re-created, the key starts without the old values.
    ASSERT_EQ(Error::None, RegistryCreateKey(parent, "D\\Leaf", KeyAllAccess, &key, nullptr));
    std::uint32_t size = 0;
    EXPECT_EQ(Error::FileNotFound, RegistryQueryValue(key, "v", nullptr, nullptr, &size));
    RegistryCloseKey(key);
    RegistryCloseKey(parent);
}

// A handle stands for the key it opened, not for its name: once that key is deleted, every call
// through the handle answers "key deleted", also after a new key of the same name was made.
TEST_F(RegistryTest, AHandleToADeletedKeyNeverReachesANewKeyOfTheSameName) {
    RegKey old = nullptr, child = nullptr, fresh = nullptr;
    ASSERT_EQ(Error::None, RegistryCreateKey(RootKey(RegRoot::CurrentUser), "Software\\Gone",
                                             KeyAllAccess, &old, nullptr));
    ASSERT_EQ(Error::None, RegistryCreateKey(old, "Child", KeyAllAccess, &child, nullptr));
    RegistryCloseKey(child);
    ASSERT_EQ(Error::None, RegistryOpenKey(old, "Child", KeyAllAccess, &child));
    EXPECT_EQ(Error::None,
              RegistryDeleteKey(RootKey(RegRoot::CurrentUser), "Software\\Gone\\Child"));
    EXPECT_EQ(Error::None, RegistryDeleteKey(RootKey(RegRoot::CurrentUser), "Software\\GONE"));
    ASSERT_EQ(Error::None, RegistryCreateKey(RootKey(RegRoot::CurrentUser), "Software\\Gone\\Child",
                                             KeyAllAccess, &fresh, nullptr));
    ASSERT_EQ(Error::None, RegistrySetValue(fresh, "v", RegSz, "new", 4));
    std::uint32_t size = 0;
    EXPECT_EQ(Error::KeyDeleted, RegistryQueryValue(child, "v", nullptr, nullptr, &size));
    EXPECT_EQ(Error::KeyDeleted, RegistrySetValue(child, "v", RegSz, "old", 4));
    EXPECT_EQ(Error::KeyDeleted, RegistrySetValue(old, "w", RegSz, "old", 4));
    Error error = Error::None;
    EXPECT_EQ("new", std::string(QueryBytes(fresh, "v", nullptr, &error).c_str()));
    EXPECT_EQ(Error::None, error);
    RegistryCloseKey(fresh);
    RegistryCloseKey(child);
    RegistryCloseKey(old);
}

// A handle given back is no handle any more: calls through it, and closing it again, are refused
// as invalid, without a look into what it pointed at.
TEST_F(RegistryTest, AClosedHandleIsRefusedAsInvalid) {
    RegKey key = nullptr;
    ASSERT_EQ(Error::None, RegistryCreateKey(RootKey(RegRoot::CurrentUser), "Software\\Closed",
                                             KeyAllAccess, &key, nullptr));
    ASSERT_EQ(Error::None, RegistryCloseKey(key));
    std::uint32_t size = 0;
    EXPECT_EQ(Error::InvalidHandle, RegistryQueryValue(key, "v", nullptr, nullptr, &size));
    EXPECT_EQ(Error::InvalidHandle, RegistrySetValue(key, "v", RegSz, "1", 2));
    EXPECT_EQ(Error::InvalidHandle, RegistryCloseKey(key));
}

TEST_F(RegistryTest, HandlesAreLimitedToTheRightsTheyWereOpenedWith) {
    RegKey key = nullptr;
    ASSERT_EQ(Error::None, RegistryCreateKey(RootKey(RegRoot::CurrentUser), "Software\\R",
                                             KeyAllAccess, &key, nullptr));
    RegistryCloseKey(key);
    RegKey reader = nullptr;
    ASSERT_EQ(Error::None,
              RegistryOpenKey(RootKey(RegRoot::CurrentUser), "Software\\R", KeyRead, &reader));
    EXPECT_EQ(Error::AccessDenied, RegistrySetValue(reader, "v", RegSz, "1", 2));
    RegKey writer = nullptr;
    ASSERT_EQ(Error::None,
              RegistryOpenKey(RootKey(RegRoot::CurrentUser), "Software\\R", KeyWrite, &writer));
    EXPECT_EQ(Error::None, RegistrySetValue(writer, "v", RegSz, "1", 2));
    std::uint32_t size = 0;
    EXPECT_EQ(Error::AccessDenied, RegistryQueryValue(writer, "v", nullptr, nullptr, &size));
    // A reader opened before the write sees it: every handle reads the current state.
    EXPECT_EQ(Error::None, RegistryQueryValue(reader, "v", nullptr, nullptr, &size));
    EXPECT_EQ(2u, size);
    RegistryCloseKey(writer);
    RegistryCloseKey(reader);
}

}  // namespace
