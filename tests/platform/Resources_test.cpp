// Executable resources: lookup by text and number, case rules, exact bytes.
#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <string>

using namespace Platform;

namespace {

std::string Find(const char* name, const char* type, Error* error) {
    const void* data = nullptr;
    std::uint32_t size = 0;
    *error = FindExecutableResource(name, type, &data, &size);
    if (*error != Error::None) return std::string();
    return std::string(static_cast<const char*>(data), size);
}

TEST(ResourcesTest, FindsTextAndNumberNamesIgnoringCaseWithExactBytes) {
    Error e;
    std::string all = Find("IDR_ALL_BYTES", "TESTDATA", &e);
    ASSERT_EQ(Error::None, e);
    ASSERT_EQ(512u, all.size());
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(static_cast<char>(i), all[i]);
        EXPECT_EQ(static_cast<char>(255 - i), all[256 + i]);
    }
    EXPECT_EQ(all, Find("idr_all_bytes", "TestData", &e));
    EXPECT_EQ("fifteen bytes!!", Find("IDR_SHORT", "TESTDATA", &e));
    EXPECT_EQ("bbbbbbbb", Find("#130", "ARCHIVE", &e));
    EXPECT_EQ(Error::None, e);
}

TEST(ResourcesTest, MissingResourcesAndBadArgumentsAreErrors) {
    Error e;
    Find("IDR_SHORT", "ARCHIVE", &e);  // right name, wrong type
    EXPECT_EQ(Error::FileNotFound, e);
    Find("#131", "ARCHIVE", &e);
    EXPECT_EQ(Error::FileNotFound, e);
    Find("130", "ARCHIVE", &e);  // a text name, not the number
    EXPECT_EQ(Error::FileNotFound, e);
    Find("IDR_ARCHIVE", "ARCHIVE", &e);
    EXPECT_EQ(Error::FileNotFound, e);
    std::uint32_t size = 0;
    EXPECT_EQ(Error::InvalidParameter, FindExecutableResource(nullptr, "ARCHIVE", nullptr, &size));
}

}  // namespace
