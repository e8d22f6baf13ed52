// SystemConf: open/create by root code, string values in and out, loose "^" lookup, errors.
#include "framework/system/SystemConfImp.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/core/testing/AllocatorHook.h"
#include "tests/support/AllocationWalk.h"
#include "tests/support/TestRegistry.h"

using namespace QRV2;
using Platform::RegRoot;
using Platform::RootKey;

namespace {

using QRV2Test::PutText;
using QRV2Test::PutValue;

class SystemConfTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_registry.Ok());
        m_conf = static_cast<SystemConfImp*>(CreateElementAs<SystemConf>(TypeSystemConf));
        ASSERT_NE(nullptr, m_conf);
    }
    void TearDown() override {
        ReleaseElement(m_text);
        ReleaseElement(m_conf);
    }

    const char* Text() const { return m_text != nullptr ? m_text->GetString() : nullptr; }

    QRV2Test::ScopedTestRegistry m_registry;
    SystemConfImp* m_conf = nullptr;
    String* m_text = nullptr;
};

TEST_F(SystemConfTest, WrittenTextReadsBackAndRootCodesChooseTheRoot) {
    m_conf->SetKeyPath("Software\\Orvane");
    EXPECT_EQ(15, m_conf->OpenKey(SystemConfImp::RootCurrentUser, 0, 0));
    EXPECT_EQ(0, m_conf->IsOpen());
    ASSERT_EQ(0, m_conf->CreateKey(SystemConfImp::RootCurrentUser));
    EXPECT_EQ(1, m_conf->IsOpen());
    m_text = CreateElementAs<String>(TypeString);
    m_text->AddReference();
    m_text->SetString("C:\\Orvane Main\\");
    EXPECT_EQ(0, m_conf->WriteString("QX11Main", m_text));
    EXPECT_EQ(1, m_conf->WriteString("QX11Main", nullptr));
    EXPECT_EQ(0, m_conf->CloseKey());

    // Root code 9 is not a root: it means the current user.
    ASSERT_EQ(0, m_conf->OpenKey(9, 1, 0));
    String* read = nullptr;
    ASSERT_EQ(0, m_conf->ReadString("QX11Main", &read));
    ASSERT_NE(nullptr, read);
    EXPECT_STREQ("C:\\Orvane Main\\", read->GetString());
    ReleaseElement(read);
    // The 64-bit view flag opens the same key here.
    EXPECT_EQ(0, m_conf->OpenKey(SystemConfImp::RootCurrentUser, 1, 1));
    // Not under the machine root.
    EXPECT_EQ(15, m_conf->OpenKey(SystemConfImp::RootLocalMachine, 1, 0));

    // Without a key path nothing can be opened.
    m_conf->SetKeyPath(nullptr);
    EXPECT_EQ(1, m_conf->OpenKey(SystemConfImp::RootCurrentUser, 1, 0));
    EXPECT_EQ(1, m_conf->CreateKey(SystemConfImp::RootCurrentUser));
}

TEST_F(SystemConfTest, OnlyNonEmptyStringValuesAreRead) {
    const char path[] = "Software\\Kinds";
    PutText(RegRoot::CurrentUser, path, "Text", "value");
    PutValue(RegRoot::CurrentUser, path, "Expand", Platform::RegExpandSz, "%TEMP%", 7);
    std::uint32_t number = 5;
    PutValue(RegRoot::CurrentUser, path, "Number", Platform::RegDword, &number, 4);
    PutText(RegRoot::CurrentUser, path, "Empty", "");
    // Stored without a terminating NUL, or with one inside: the text ends where either ends.
    PutValue(RegRoot::CurrentUser, path, "Bare", Platform::RegSz, "abc", 3);
    PutValue(RegRoot::CurrentUser, path, "Inner", Platform::RegSz, "ab\0cd", 6);

    m_conf->SetKeyPath(path);
    ASSERT_EQ(0, m_conf->OpenKey(SystemConfImp::RootCurrentUser, 1, 0));
    ASSERT_EQ(0, m_conf->ReadString("Text", &m_text));
    m_text->AddReference();
    EXPECT_STREQ("value", Text());
    for (const char* name : {"Expand", "Number", "Empty", "Missing"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(1, m_conf->ReadString(name, &m_text));
        EXPECT_STREQ("value", Text());  // unchanged by a failed read
    }
    EXPECT_EQ(0, m_conf->ReadString("Bare", &m_text));
    EXPECT_STREQ("abc", Text());
    EXPECT_EQ(0, m_conf->ReadString("Inner", &m_text));
    EXPECT_STREQ("ab", Text());
}

TEST_F(SystemConfTest, CaretNamesMatchLooselyPlainNamesExactly) {
    const char path[] = "Software\\Loose";
    std::uint32_t number = 1;
    PutValue(RegRoot::CurrentUser, path, "qx11 main", Platform::RegDword, &number, 4);
    PutText(RegRoot::CurrentUser, path, "Other", "no");
    PutText(RegRoot::CurrentUser, path, "QX11Main", "found");
    PutText(RegRoot::CurrentUser, path, "^Literal", "caret");
    m_conf->SetKeyPath(path);
    ASSERT_EQ(0, m_conf->OpenKey(SystemConfImp::RootCurrentUser, 1, 0));
    m_text = CreateElementAs<String>(TypeString);
    m_text->AddReference();

    // The first string value whose name matches ignoring case, spaces and quotes; the
    // numeric value of a matching name is passed over.
    EXPECT_EQ(0, m_conf->ReadString("^\"qx11main\"", &m_text));
    EXPECT_STREQ("found", Text());
    // Without a loose match the plain lookup runs with the caret kept.
    EXPECT_EQ(0, m_conf->ReadString("^Literal", &m_text));
    EXPECT_STREQ("caret", Text());
    EXPECT_EQ(1, m_conf->ReadString("^Absent", &m_text));
    // A plain name has no loose matching.
    m_text->SetString("");
    EXPECT_EQ(1, m_conf->ReadString("qx11 main", &m_text));
    EXPECT_EQ(0, m_conf->ReadString("qx11main", &m_text));  // plain names ignore case
    EXPECT_STREQ("found", Text());
}

TEST_F(SystemConfTest, ReadingOrWritingWithoutAnOpenKeyFails) {
    m_conf->SetKeyPath("Software\\Missing");
    EXPECT_EQ(15, m_conf->OpenKey(SystemConfImp::RootCurrentUser, 0, 0));
    EXPECT_EQ(1, m_conf->ReadString("x", &m_text));
    EXPECT_EQ(1, m_conf->ReadString("^x", &m_text));
    ASSERT_NE(nullptr, m_text);  // created for the read even so
    m_text->AddReference();
    m_text->SetString("v");
    EXPECT_EQ(1, m_conf->WriteString("x", m_text));
}

TEST_F(SystemConfTest, ReadOnlyKeyRefusesWritesWithAccessDenied) {
    PutText(RegRoot::LocalMachine, "Software\\Orvane", "QX11Main", "m");
    m_conf->SetKeyPath("Software\\Orvane");
    ASSERT_EQ(0, m_conf->OpenKey(SystemConfImp::RootLocalMachine, 1, 0));
    m_text = CreateElementAs<String>(TypeString);
    m_text->AddReference();
    m_text->SetString("new");
    EXPECT_EQ(27, m_conf->WriteString("QX11Main", m_text));
    ASSERT_EQ(0, m_conf->OpenKey(SystemConfImp::RootLocalMachine, 0, 0));
    EXPECT_EQ(27, m_conf->ReadString("QX11Main", &m_text));  // write-only handle
    EXPECT_EQ(27, m_conf->ReadString("^QX11Main", &m_text));
}

TEST_F(SystemConfTest, RunningOutOfStorageNeverCrashesOrLeaks) {
    PutText(RegRoot::CurrentUser, "Software\\Walk", "Name", "text");
    std::int64_t before = AllocatorHook::LiveBlocks();
    int reached = QRV2Test::WalkAllocationFailures([](int) {
        SystemConf* conf = CreateElementAs<SystemConf>(TypeSystemConf);
        if (conf == nullptr) return;
        auto* imp = static_cast<SystemConfImp*>(conf);
        imp->SetKeyPath("Software\\Walk");
        String* text = nullptr;
        if (imp->OpenKey(SystemConfImp::RootCurrentUser, 1, 0) == 0) {
            std::int32_t r = imp->ReadString("^name", &text);
            if (r == 0) {
                EXPECT_STREQ("text", text->GetString());
            }
        }
        ReleaseElement(text);
        ReleaseElement(conf);
    });
    EXPECT_GT(reached, 3);
    EXPECT_EQ(before, AllocatorHook::LiveBlocks());
}

}  // namespace
