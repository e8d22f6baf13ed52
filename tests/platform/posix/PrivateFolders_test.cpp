// POSIX folders: the private temporary folder's safety rules and the XDG folder settings.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/Process.h"
#include "platform/Shell.h"

using namespace Platform;
namespace fs = std::filesystem;

namespace {

std::string Windows(std::string path) {
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
}

// Sets an environment variable for one test and puts the old value back afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        const char* old = std::getenv(name);
        m_had = old != nullptr;
        if (m_had) m_old = old;
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (m_had) {
            setenv(m_name.c_str(), m_old.c_str(), 1);
        } else {
            unsetenv(m_name.c_str());
        }
    }

private:
    std::string m_name, m_old;
    bool m_had = false;
};

class PrivateFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qrv2-folders-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        m_base = pattern;  // mkdtemp makes it 0700, as a runtime folder must be
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_base, ec);
    }
    static std::string Temp(Error* e) {
        char buffer[512];
        std::uint32_t length = 0;
        *e = GetTempFolderPath(buffer, sizeof buffer, &length);
        return *e == Error::None ? std::string(buffer) : std::string();
    }
    std::string m_base;
};

TEST_F(PrivateFoldersTest, TempFolderIsAPrivateFolderInTheRuntimeFolder) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", m_base.c_str());
    Error e;
    EXPECT_EQ(Windows("Z:" + m_base + "/qrv2/"), Temp(&e));
    ASSERT_EQ(Error::None, e);
    struct stat st;
    ASSERT_EQ(0, lstat((m_base + "/qrv2").c_str(), &st));
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(0700u, st.st_mode & 0777);

    // A folder left too open is closed up again.
    ASSERT_EQ(0, chmod((m_base + "/qrv2").c_str(), 0777));
    Temp(&e);
    EXPECT_EQ(Error::None, e);
    ASSERT_EQ(0, lstat((m_base + "/qrv2").c_str(), &st));
    EXPECT_EQ(0700u, st.st_mode & 0777);
}

// A folder of our name that is not ours is never used (nor changed); the run gets a fresh
// private folder of its own instead of failing.
TEST_F(PrivateFoldersTest, TempFolderReachedThroughALinkOrOwnedByAnotherIsReplacedByAFreshOne) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", m_base.c_str());
    ScopedEnv tmp("TMPDIR", m_base.c_str());
    ASSERT_EQ(0, mkdir((m_base + "/elsewhere").c_str(), 0700));
    ASSERT_EQ(0, symlink((m_base + "/elsewhere").c_str(), (m_base + "/qrv2").c_str()));
    Error e;
    std::string fallback = Temp(&e);
    ASSERT_EQ(Error::None, e);
    const std::string prefix = Windows("Z:" + m_base + "/qrv2-" + std::to_string(getuid()) + "-");
    ASSERT_EQ(prefix, fallback.substr(0, prefix.size()));
    struct stat st;
    std::string made =
        m_base + "/" + fallback.substr(fallback.rfind('\\', fallback.size() - 2) + 1);
    made.pop_back();  // the trailing separator
    ASSERT_EQ(0, lstat(made.c_str(), &st));
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(0700u, st.st_mode & 0777);
    EXPECT_EQ(getuid(), st.st_uid);

    if (geteuid() == 0) {
        ASSERT_EQ(0, unlink((m_base + "/qrv2").c_str()));
        ASSERT_EQ(0, mkdir((m_base + "/qrv2").c_str(), 0755));
        ASSERT_EQ(0, chown((m_base + "/qrv2").c_str(), 65534, 65534));
        EXPECT_EQ(fallback, Temp(&e));  // one fresh folder per process
        EXPECT_EQ(Error::None, e);
        ASSERT_EQ(0, lstat((m_base + "/qrv2").c_str(), &st));
        EXPECT_EQ(65534u, st.st_uid);
        EXPECT_EQ(0755u, st.st_mode & 0777);  // the other user's folder is left as it was
    }
}

TEST_F(PrivateFoldersTest, RuntimeFolderOpenToOthersIsNotUsed) {
    ASSERT_EQ(0, chmod(m_base.c_str(), 0755));
    ScopedEnv runtime("XDG_RUNTIME_DIR", m_base.c_str());
    Error e;
    std::string t = Temp(&e);
    ASSERT_EQ(Error::None, e);
    EXPECT_EQ("Z:\\tmp\\qrv2-" + std::to_string(getuid()) + "\\", t);
    EXPECT_FALSE(fs::exists(m_base + "/qrv2"));
}

TEST_F(PrivateFoldersTest, DataAndDesktopFoldersFollowTheUsersSettings) {
    ScopedEnv data("XDG_DATA_HOME", (m_base + "/data").c_str());
    ScopedEnv home("HOME", m_base.c_str());
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    char buffer[512];
    std::uint32_t length = 0;
    ASSERT_EQ(Error::None,
              GetSpecialFolder(SpecialFolder::LocalAppData, buffer, sizeof buffer, &length));
    EXPECT_EQ(Windows("Z:" + m_base + "/data/"), buffer);
    ASSERT_EQ(Error::None,
              GetSpecialFolder(SpecialFolder::Desktop, buffer, sizeof buffer, &length));
    EXPECT_EQ(Windows("Z:" + m_base + "/Desktop/"), buffer);

    fs::create_directories(m_base + "/.config");
    {
        FILE* f = std::fopen((m_base + "/.config/user-dirs.dirs").c_str(), "w");
        ASSERT_NE(nullptr, f);
        std::fputs("# written by the desktop\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", f);
        std::fclose(f);
    }
    ASSERT_EQ(Error::None,
              GetSpecialFolder(SpecialFolder::Desktop, buffer, sizeof buffer, &length));
    EXPECT_EQ(Windows("Z:" + m_base + "/Schreibtisch/"), buffer);
}

TEST_F(PrivateFoldersTest, ShellOpensThroughXdgOpenFoundOnThePathWithoutAShell) {
    std::string bin = m_base + "/bin";
    fs::create_directories(bin);
    std::string out = m_base + "/opened";
    {
        FILE* f = std::fopen((bin + "/xdg-open").c_str(), "w");
        ASSERT_NE(nullptr, f);
        std::fprintf(f, "#!/bin/sh\nprintf '%%s|' \"$#\" \"$1\" > '%s.part' && mv '%s.part' '%s'\n",
                     out.c_str(), out.c_str(), out.c_str());
        std::fclose(f);
        ASSERT_EQ(0, chmod((bin + "/xdg-open").c_str(), 0755));
    }
    std::string path = bin + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "");
    ScopedEnv env("PATH", path.c_str());
    // Shell characters reach the opener as one plain argument.
    const char* target = "https://example.org/a b?x=1&y=$(touch /tmp/no)";
    ASSERT_EQ(Error::None, OpenWithShell(target));
    for (int i = 0; i < 500 && !fs::exists(out); ++i) usleep(10000);
    std::FILE* f = std::fopen(out.c_str(), "r");
    ASSERT_NE(nullptr, f);
    char got[256] = {};
    std::fgets(got, sizeof got, f);
    std::fclose(f);
    EXPECT_EQ(std::string("1|") + target + "|", got);
    EXPECT_EQ(Error::InvalidParameter, OpenWithShell(""));
}

}  // namespace
