// POSIX registry store: its file, damage, concurrent writers and the machine store's rights.
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "framework/containers/String.h"
#include "framework/core/Core.h"
#include "framework/system/SystemConfImp.h"
#include "platform/Cancel.h"
#include "platform/Registry.h"
#include "platform/testing/CancelSeams.h"
#include "tests/support/TestRegistry.h"

extern char** environ;

using namespace Platform;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string HelperPath(const char* name) {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return name;
    std::string path(self, static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + name;
}

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_registry.Ok()); }
    std::string UserFile() const { return m_registry.Folder() + "/user.reg"; }
    std::string MachineFile() const { return m_registry.Folder() + "/machine.reg"; }
    QRV2Test::ScopedTestRegistry m_registry;
};

TEST_F(RegistryStoreTest, StoreIsAPrivateExportTextThatOtherWritersChangesShowThrough) {
    RegKey key = nullptr;
    ASSERT_EQ(Error::None, RegistryCreateKey(RootKey(RegRoot::CurrentUser), "Software\\Orvane",
                                             KeyAllAccess, &key, nullptr));
    const char main[] = "C:\\a \"b\"";
    ASSERT_EQ(Error::None, RegistrySetValue(key, "QX11Main", RegSz, main, sizeof main));
    std::string text = ReadFile(UserFile());
    EXPECT_EQ(0u, text.find("REGEDIT4\n"));
    EXPECT_NE(std::string::npos, text.find("[HKEY_CURRENT_USER\\Software\\Orvane]\n"
                                           "\"QX11Main\"=\"C:\\\\a \\\"b\\\"\"\n"));
    struct stat st;
    ASSERT_EQ(0, stat(UserFile().c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777);

    // Another writer's replacement, with a hex list continued over two lines, is what the
    // open handle reads next.
    WriteFile(UserFile(),
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvane]\r\n"
              "\"Bin\"=hex:01,02,\\\r\n  03\r\n@=\"dflt\"\r\n");
    char data[8];
    std::uint32_t size = sizeof data, type = 0;
    ASSERT_EQ(Error::None, RegistryQueryValue(key, "Bin", &type, data, &size));
    EXPECT_EQ(RegBinary, type);
    EXPECT_EQ(std::string("\x01\x02\x03"), std::string(data, size));
    size = 0;
    EXPECT_EQ(Error::FileNotFound, RegistryQueryValue(key, "QX11Main", &type, nullptr, &size));
    size = sizeof data;
    ASSERT_EQ(Error::None, RegistryQueryValue(key, nullptr, &type, data, &size));
    EXPECT_STREQ("dflt", data);
    RegistryCloseKey(key);
}

TEST_F(RegistryStoreTest, DamagedStoreGivesAnErrorAndIsNotOverwritten) {
    const char* damaged[] = {
        "not a registry\n",
        "REGEDIT4\n\n\"v\"=\"value outside any key\"\n",
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"unterminated\n",
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:0g\n",
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:01,02,\\\n",
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:123\n",
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\\\A]\n",
    };
    // What Windows refuses is damage too: a key 513 levels deep, a name of 256 characters.
    std::string deep = "REGEDIT4\n\n[HKEY_CURRENT_USER";
    for (int i = 0; i < 513; ++i) deep += "\\k";
    deep += "]\n";
    const std::string longName = "REGEDIT4\n\n[HKEY_CURRENT_USER\\" + std::string(256, 'n') + "]\n";
    std::vector<std::string> texts(std::begin(damaged), std::end(damaged));
    texts.push_back(deep);
    texts.push_back(longName);
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 80));
        WriteFile(UserFile(), text);
        RegKey key = nullptr;
        EXPECT_EQ(Error::BadFormat,
                  RegistryOpenKey(RootKey(RegRoot::CurrentUser), "A", KeyRead, &key));
        EXPECT_EQ(Error::BadFormat, RegistryCreateKey(RootKey(RegRoot::CurrentUser), "B",
                                                      KeyAllAccess, &key, nullptr));
        EXPECT_EQ(Error::BadFormat,
                  RegistrySetDefaultValue(RootKey(RegRoot::CurrentUser), "C", "x"));
        EXPECT_EQ(text, ReadFile(UserFile()));
    }
}

// The next writer removes the temporary files a killed writer left beside the store (only
// names of the writer's own shape), and a wait for the store's lock ends on a stop request.
TEST_F(RegistryStoreTest, LeftoversOfAKilledWriterGoAndALockWaitEndsOnStop) {
    WriteFile(UserFile() + ".Ab12Cd", "half a store");
    WriteFile(UserFile() + ".notours", "kept");
    ASSERT_EQ(Error::None, RegistrySetDefaultValue(RootKey(RegRoot::CurrentUser), "Software", "x"));
    struct stat st;
    EXPECT_NE(0, lstat((UserFile() + ".Ab12Cd").c_str(), &st));
    EXPECT_EQ("kept", ReadFile(UserFile() + ".notours"));

    int holder = open((UserFile() + ".lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(0, flock(holder, LOCK_EX));
    RequestCancel();
    RegKey key = nullptr;
    EXPECT_EQ(Error::Cancelled,
              RegistryOpenKey(RootKey(RegRoot::CurrentUser), "Software", KeyRead, &key));
    EXPECT_EQ(Error::Cancelled, RegistrySetDefaultValue(RootKey(RegRoot::CurrentUser), "S", "y"));
    ResetCancel();
    close(holder);
    EXPECT_EQ(Error::None,
              RegistryOpenKey(RootKey(RegRoot::CurrentUser), "Software", KeyRead, &key));
    RegistryCloseKey(key);
}

// Root writing through a user's store (with the user's HOME) keeps the files the user's: the
// user can still read and change the store afterwards.
TEST_F(RegistryStoreTest, RootWritingAUsersStoreLeavesItTheUsers) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root and a second user";
    const std::string folder = m_registry.Folder();
    ASSERT_EQ(0, chown(folder.c_str(), 65534, 65534));
    WriteFile(UserFile(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\"v\"=\"user\"\n\n");
    ASSERT_EQ(0, chown(UserFile().c_str(), 65534, 65534));
    ASSERT_EQ(0, chmod(UserFile().c_str(), 0640));
    ASSERT_EQ(Error::None,
              RegistrySetDefaultValue(RootKey(RegRoot::CurrentUser), "Software\\Root", "r"));
    struct stat st;
    for (const std::string& path : {UserFile(), UserFile() + ".lock"}) {
        ASSERT_EQ(0, stat(path.c_str(), &st)) << path;
        EXPECT_EQ(65534u, st.st_uid) << path;
    }
    ASSERT_EQ(0, stat(UserFile().c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 0777);

    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(20);
        RegKey key = nullptr;
        if (RegistryOpenKey(RootKey(RegRoot::CurrentUser), "Software\\Root", KeyRead, &key) !=
            Error::None)
            _exit(21);
        RegistryCloseKey(key);
        if (RegistrySetDefaultValue(RootKey(RegRoot::CurrentUser), "Software\\User", "u") !=
            Error::None)
            _exit(22);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
}

TEST_F(RegistryStoreTest, TwoProcessesWritingAtOnceLoseNoValue) {
    const int count = 1000;
    std::string helper = HelperPath("registry_writer");
    std::string countText = std::to_string(count);
    pid_t pids[2];
    const char* prefixes[2] = {"first", "second"};
    for (int i = 0; i < 2; ++i) {
        char* argv[] = {
            const_cast<char*>(helper.c_str()), const_cast<char*>(m_registry.Folder().c_str()),
            const_cast<char*>(prefixes[i]), const_cast<char*>(countText.c_str()), nullptr};
        ASSERT_EQ(0, posix_spawn(&pids[i], helper.c_str(), nullptr, nullptr, argv, environ));
    }
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    RegKey key = nullptr;
    ASSERT_EQ(Error::None,
              RegistryOpenKey(RootKey(RegRoot::CurrentUser), "Software\\Race", KeyRead, &key));
    std::uint32_t values = 0;
    ASSERT_EQ(Error::None, RegistryQueryInfo(key, nullptr, nullptr, &values, nullptr, nullptr));
    EXPECT_EQ(2u * count, values);
    for (const char* prefix : prefixes) {
        for (int i = 0; i < count; i += 97) {
            std::string name = prefix + std::to_string(i);
            char data[64];
            std::uint32_t size = sizeof data;
            ASSERT_EQ(Error::None, RegistryQueryValue(key, name.c_str(), nullptr, data, &size));
            EXPECT_EQ("value " + name, std::string(data));
        }
    }
    RegistryCloseKey(key);
}

// The machine store may be read by everyone but changed only by the administrator. Tests run
// as root here, so the refusal is checked in a child that gives up root first.
TEST_F(RegistryStoreTest, MachineStoreRefusesWritersWhoAreNotAdministrator) {
    RegKey key = nullptr;
    ASSERT_EQ(Error::None, RegistryCreateKey(RootKey(RegRoot::LocalMachine), "Software\\Orvane",
                                             KeyAllAccess, &key, nullptr));
    ASSERT_EQ(Error::None, RegistrySetValue(key, "QX11Main", RegSz, "M", 2));
    RegistryCloseKey(key);
    ASSERT_EQ(0, chmod(m_registry.Folder().c_str(), 0755));
    struct stat st;
    ASSERT_EQ(0, stat(MachineFile().c_str(), &st));
    EXPECT_EQ(0644u, st.st_mode & 0777);

    auto check = []() -> int {
        RegKey k = nullptr;
        if (RegistryOpenKey(RootKey(RegRoot::LocalMachine), "Software\\Orvane", KeyWrite, &k) !=
            Error::AccessDenied)
            return 10;
        if (RegistryCreateKey(RootKey(RegRoot::LocalMachine), "Software\\New", KeyWrite, &k,
                              nullptr) != Error::AccessDenied)
            return 11;
        if (RegistrySetDefaultValue(RootKey(RegRoot::LocalMachine), "Software", "x") !=
            Error::AccessDenied)
            return 12;
        if (RegistryDeleteKey(RootKey(RegRoot::LocalMachine), "Software\\Orvane") !=
            Error::AccessDenied)
            return 13;
        // Reading stays allowed, also through a handle opened with "whatever I may have".
        if (RegistryOpenKey(RootKey(RegRoot::LocalMachine), "Software\\Orvane", KeyRead, &k) !=
            Error::None)
            return 14;
        char data[4];
        std::uint32_t size = sizeof data;
        Error e = RegistryQueryValue(k, "QX11Main", nullptr, data, &size);
        RegistryCloseKey(k);
        if (e != Error::None || std::strcmp(data, "M") != 0) return 15;
        if (RegistryOpenKey(RootKey(RegRoot::LocalMachine), "Software\\Orvane", KeyMaximumAllowed,
                            &k) != Error::None)
            return 16;
        e = RegistrySetValue(k, "QX11Main", RegSz, "N", 2);
        RegistryCloseKey(k);
        if (e != Error::AccessDenied) return 17;
        // The settings element reports the refusal as its access-denied result.
        auto* conf = static_cast<QRV2::SystemConfImp*>(
            QRV2::CreateElementAs<QRV2::SystemConf>(QRV2::TypeSystemConf));
        if (conf == nullptr) return 18;
        conf->SetKeyPath("Software\\Orvane");
        int result = 0;
        if (conf->OpenKey(QRV2::SystemConfImp::RootLocalMachine, 0, 0) != 27) result = 19;
        if (conf->CreateKey(QRV2::SystemConfImp::RootLocalMachine) != 27) result = 20;
        QRV2::String* text = nullptr;
        if (conf->OpenKey(QRV2::SystemConfImp::RootLocalMachine, 1, 0) != 0 ||
            conf->ReadString("QX11Main", &text) != 0 || std::strcmp(text->GetString(), "M") != 0)
            result = 21;
        QRV2::ReleaseElement(text);
        QRV2::ReleaseElement(conf);
        return result;
    };
    if (geteuid() != 0) {
        EXPECT_EQ(0, check());
        return;
    }
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(20);
        _exit(check());
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
    // The child changed nothing.
    EXPECT_NE(std::string::npos, ReadFile(MachineFile()).find("\"QX11Main\"=\"M\""));
}

}  // namespace
