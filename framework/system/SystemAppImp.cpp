// SystemAppImp: start-up facts, product and temporary folders, message boxes and the shell.
#include "framework/system/SystemAppImp.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "framework/containers/Iterator.h"
#include "framework/containers/String.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/system/FileFunc.h"
#include "framework/system/FileSystemIterator.h"
#include "framework/system/SystemConfImp.h"
#include "platform/Clock.h"
#include "platform/File.h"
#include "platform/Shell.h"

namespace QRV2 {

namespace {

constexpr std::uint32_t kPathRoom = 260;
constexpr int kTempFolderAttempts = 30;

// Numbers the temporary-folder attempts of the whole process.
std::uint32_t g_tempFolderAttempts = 0;

// The one rule for text fields: text replaces the field's text (the String is made on
// demand and holds one reference); null drops the field. 1 when the text cannot be stored.
std::int32_t SetField(String** field, const char* text) {
    if (text == nullptr) {
        ReleaseElement(*field);
        return 0;
    }
    if (*field == nullptr) {
        *field = CreateElementAs<String>(TypeString);
        if (*field == nullptr) return 1;
        (*field)->AddReference();
    }
    if ((*field)->SetString(text) != 0) {
        ReleaseElement(*field);
        return 1;
    }
    return 0;
}

// Appends to the field (made on demand); null appends nothing.
void AppendField(String** field, const char* text) {
    if (text == nullptr) return;
    if (*field == nullptr) {
        *field = CreateElementAs<String>(TypeString);
        if (*field == nullptr) return;
        (*field)->AddReference();
    }
    (*field)->AppendString(text);
}

const char* TextOf(String* field) { return field != nullptr ? field->GetString() : nullptr; }

// Folder texts end in a separator; an empty text stays empty.
void EndInSeparator(char* text, std::size_t room) {
    std::size_t n = std::strlen(text);
    if (n > 0 && text[n - 1] != '\\' && text[n - 1] != '/' && n + 1 < room) {
        text[n] = '\\';
        text[n + 1] = '\0';
    }
}

}  // namespace

SystemAppImp::SystemAppImp(Core*, Platform::ModuleHandle instance, const char* commandLine,
                           std::int32_t show)
    : m_instance(instance) {
    if (show > 0) SetField(&m_commandLine, commandLine);
}

const char* SystemAppImp::OsNameFor(std::int32_t major) {
    if (major <= 3) return "Before Windows 2000";
    switch (major) {
        case 4: return "Windows 2000";
        case 5: return "Windows XP";
        case 6: return "Windows 7";
        case 7: return nullptr;
        default: return "After Windows 7";
    }
}

std::int32_t SystemAppImp::TempFolderNumber(std::uint32_t attempt, std::uint32_t ticks) {
    std::uint32_t v = attempt * 987654321u + ((ticks + 418816446u) ^ 0x722A8C43u);
    return static_cast<std::int32_t>(v);
}

std::int32_t SystemAppImp::Initialize() {
    std::int32_t result = 0;
    m_fileFunc = CreateElementAs<FileFunc>(TypeFileFunc);
    if (m_fileFunc != nullptr) m_fileFunc->AddReference();

    std::int32_t major = 0, minor = 0;
    if (Platform::GetOsVersion(&major, &minor) == Platform::Error::None) {
        m_osMajor = major;
        m_osMinor = minor;
    }

    DeriveProductFolders();

    char* moduleName = static_cast<char*>(Allocate(kPathRoom));
    if (moduleName == nullptr) {
        result = 1;
    } else {
        std::memset(moduleName, 0, kPathRoom);
        std::uint32_t length = 0;
        if (Platform::GetExecutableFileName(m_instance, moduleName, kPathRoom, &length) ==
            Platform::Error::None) {
            char* cut = std::strrchr(moduleName, '\\');
            if (cut != nullptr) {
                cut[1] = '\0';
                SetField(&m_moduleFolder, moduleName);
            }
        }
    }

    for (int attempt = 0; attempt < kTempFolderAttempts; ++attempt) {
        if (TryCreateTempFolder() == 0) break;
        Platform::Sleep(1);
    }

    char folder[kPathRoom + 1];
    std::uint32_t length = 0;
    if (Platform::GetSpecialFolder(Platform::SpecialFolder::Desktop, folder, kPathRoom, &length) ==
        Platform::Error::None) {
        EndInSeparator(folder, sizeof folder);
        SetField(&m_desktopFolder, folder);
    }

    if (m_osMajor >= 6) {
        if (Platform::GetTempFolderPath(m_scratch, sizeof m_scratch, &length) ==
            Platform::Error::None) {
            SetField(&m_userDataFolder, m_scratch);
        }
    } else if (Platform::GetSpecialFolder(Platform::SpecialFolder::LocalAppData, folder, kPathRoom,
                                          &length) == Platform::Error::None) {
        EndInSeparator(folder, sizeof folder);
        if (SetField(&m_userDataFolder, folder) == 0) AppendField(&m_userDataFolder, "Orvane\\");
    }

    Free(moduleName);

    char name[16];
    if (Platform::GetMachineName(name, sizeof name, &length) == Platform::Error::None) {
        SetField(&m_computerName, name);
    }

    SetField(&m_osName, OsNameFor(m_osMajor));
    return result;
}

std::int32_t SystemAppImp::TryCreateTempFolder() {
    std::uint32_t length = 0;
    // Without the system's temporary path there is nothing to create the folder in; a bare
    // "QRV...\" would land in whatever the current folder happens to be.
    const Platform::Error found = Platform::GetTempFolderPath(m_scratch, sizeof m_scratch, &length);
    m_tempPathUnspellable = found == Platform::Error::NoUnicodeTranslation;
    if (found != Platform::Error::None) {
        SetField(&m_tempFolder, nullptr);
        return 1;
    }
    if (SetField(&m_tempFolder, m_scratch) != 0) return 0;
    std::uint32_t attempt = ++g_tempFolderAttempts;
    std::int32_t number = TempFolderNumber(attempt, Platform::TickMilliseconds());
    std::snprintf(m_scratch, sizeof m_scratch, "QRV%d\\", static_cast<int>(number));
    AppendField(&m_tempFolder, m_scratch);
    const char* temp = TextOf(m_tempFolder);
    std::size_t n = temp == nullptr ? 0 : std::strlen(temp);
    if (m_fileFunc == nullptr || n < 2 || n >= sizeof m_scratch) {
        SetField(&m_tempFolder, nullptr);
        return 1;
    }
    // The run's own folder is made now, never taken over: a name that exists already (another
    // run picked the same number) is passed by, so no two runs share a folder and the first to
    // finish cannot empty the other's. Its parent, the system's temporary path, may be missing.
    std::memcpy(m_scratch, temp, n - 1);
    m_scratch[n - 1] = '\0';
    // A folder this run did not make is never named as its own: its end would empty it.
    if (m_fileFunc->CreateFolders(m_scratch) != 0 ||
        Platform::FolderCreate(m_scratch) != Platform::Error::None) {
        SetField(&m_tempFolder, nullptr);
        return 1;
    }
    return 0;
}

std::int32_t SystemAppImp::Dispose() {
    ClearTempFolder();
    const char* temp = TextOf(m_tempFolder);
    if (m_fileFunc != nullptr && temp != nullptr && temp[0] != '\0') {
        // The folder without its trailing separator; removal only succeeds when it is empty.
        // Cut in a buffer of our own, so that running out of storage at the very end does
        // not leave the folder behind.
        char folder[2 * kPathRoom];
        std::size_t n = std::strlen(temp);
        if (n < sizeof folder) {
            std::memcpy(folder, temp, n - 1);
            folder[n - 1] = '\0';
            m_fileFunc->RemoveFolder(folder);
        }
    }
    String** fields[] = {&m_commandLine,   &m_installFolder,      &m_mainFolder,   &m_mainFolder64,
                         &m_boxFolder,     &m_localProductFolder, &m_moduleFolder, &m_tempFolder,
                         &m_desktopFolder, &m_userDataFolder,     &m_computerName, &m_osName};
    for (String** field : fields) ReleaseElement(*field);
    ReleaseElement(m_fileFunc);
    return 0;
}

std::int32_t SystemAppImp::GetOsMajorVersion() { return m_osMajor; }
std::int32_t SystemAppImp::GetOsMinorVersion() { return m_osMinor; }
Platform::ModuleHandle SystemAppImp::GetInstanceHandle() { return m_instance; }
void SystemAppImp::SetInstanceHandle(Platform::ModuleHandle instance) { m_instance = instance; }

std::int32_t SystemAppImp::ShowError(const char* text, const char* caption) {
    return Platform::ShowMessageBox(text, caption != nullptr ? caption : "Error",
                                    Platform::MessageBoxIconError);
}

std::int32_t SystemAppImp::ShowInfo(const char* text, const char* caption) {
    return Platform::ShowMessageBox(text, caption != nullptr ? caption : "Info",
                                    Platform::MessageBoxOk);
}

std::int32_t SystemAppImp::ClearTempFolder() {
    FileFunc* files = CreateElementAs<FileFunc>(TypeFileFunc);
    String* path = CreateElementAs<String>(TypeString);
    const char* temp = TextOf(m_tempFolder);
    FileSystemIterator* walker = nullptr;
    if (files != nullptr && path != nullptr && temp != nullptr) {
        walker = CreateElementAs<FileSystemIterator>(TypeFileSystemIterator);
    }
    if (walker != nullptr && walker->SetRootFolder(temp) == 0) {
        walker->SetMaxDepth(0);
        walker->SetReportFolders(0);
        walker->SetReportFiles(1);
        walker->SetCollect(1);
        walker->Walk(0);
        if (Iterator* results = walker->GetResults(nullptr)) {
            for (results->First(); !results->IsAtEnd(); results->Next()) {
                auto* relative = static_cast<String*>(results->GetCurrent());
                if (relative != nullptr && path->SetString(temp) == 0 &&
                    path->AppendString(relative->GetString()) == 0) {
                    files->Delete(path->GetString());
                }
            }
            walker->ReleaseResults(&results);
        }
    }
    ReleaseElement(walker);
    ReleaseElement(path);
    ReleaseElement(files);
    return 0;
}

std::int32_t SystemAppImp::OpenWithShell(const char* target) {
    Platform::OpenWithShell(target);
    return 0;
}

std::uint32_t SystemAppImp::WaitForMessages(std::uint32_t ms) {
    return Platform::WaitForMessages(ms);
}

const char* SystemAppImp::GetCommandLineText() { return TextOf(m_commandLine); }
std::int32_t SystemAppImp::SetCommandLineText(const char* text) {
    return SetField(&m_commandLine, text);
}
const char* SystemAppImp::GetModuleFolder() { return TextOf(m_moduleFolder); }
std::int32_t SystemAppImp::SetModuleFolder(const char* text) {
    return SetField(&m_moduleFolder, text);
}
const char* SystemAppImp::GetComputerNameText() { return TextOf(m_computerName); }
std::int32_t SystemAppImp::SetComputerNameText(const char* text) {
    return SetField(&m_computerName, text);
}
const char* SystemAppImp::GetOsName() { return TextOf(m_osName); }
std::int32_t SystemAppImp::SetOsName(const char* text) { return SetField(&m_osName, text); }

void SystemAppImp::LookUp(String** field, std::int32_t root, const char* path, const char* name,
                          bool view64) {
    auto* conf = static_cast<SystemConfImp*>(CreateElementAs<SystemConf>(TypeSystemConf));
    if (conf == nullptr) return;
    conf->SetKeyPath(path);
    if (conf->OpenKey(root, 1, view64 ? 1 : 0) == 0) conf->ReadString(name, field);
    conf->CloseKey();
    ReleaseElement(conf);
}

const char* SystemAppImp::GetInstallFolder(std::int32_t kind) {
    String** field = nullptr;
    switch (kind) {
        case 0: field = &m_installFolder; break;
        case 1: field = &m_mainFolder; break;
        case 2: field = &m_mainFolder64; break;
        default: return nullptr;
    }
    if (*field == nullptr && SetField(field, "") != 0) return nullptr;
    const char* text = (*field)->GetString();
    if (text == nullptr || text[0] == '\0') {
        if (kind == 0) {
            LookUp(field, SystemConfImp::RootLocalMachine,
                   "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\", "ProgramFilesDir", false);
            (*field)->AppendString("\\Orvane\\");
        } else {
            bool view64 = kind == 2;
            LookUp(field, SystemConfImp::RootCurrentUser, "Software\\Orvane", "QX11Main", view64);
            text = (*field)->GetString();
            if (text == nullptr || text[0] == '\0') {
                LookUp(field, SystemConfImp::RootLocalMachine, "Software\\Orvane", "QX11Main",
                       view64);
            }
        }
    }
    return (*field)->GetString();
}

void SystemAppImp::StoreMainFolder(String* field, bool view64) {
    auto* conf = static_cast<SystemConfImp*>(CreateElementAs<SystemConf>(TypeSystemConf));
    if (conf == nullptr) return;
    conf->SetKeyPath("Software\\Orvane");
    for (std::int32_t root : {SystemConfImp::RootCurrentUser, SystemConfImp::RootLocalMachine}) {
        std::uint8_t flag = view64 ? 1 : 0;
        if (conf->OpenKey(root, 0, flag) != 0) {
            conf->CreateKey(root);
            conf->OpenKey(root, 0, flag);
        }
        if (conf->IsOpen()) conf->WriteString("QX11Main", field);
        conf->CloseKey();
    }
    ReleaseElement(conf);
}

std::int32_t SystemAppImp::SetInstallFolder(const char* text, std::int32_t kind) {
    switch (kind) {
        case 0: SetField(&m_installFolder, text); break;
        case 1:
            SetField(&m_mainFolder, text);
            StoreMainFolder(m_mainFolder, false);
            break;
        case 2:
            SetField(&m_mainFolder64, text);
            StoreMainFolder(m_mainFolder64, true);
            break;
        default: break;
    }
    return DeriveProductFolders();
}

const char* SystemAppImp::GetBoxFolder() { return TextOf(m_boxFolder); }
std::int32_t SystemAppImp::SetBoxFolder(const char* text) { return SetField(&m_boxFolder, text); }
const char* SystemAppImp::GetLocalProductFolder() { return TextOf(m_localProductFolder); }
std::int32_t SystemAppImp::SetLocalProductFolder(const char* text) {
    return SetField(&m_localProductFolder, text);
}
const char* SystemAppImp::GetTempFolder() { return TextOf(m_tempFolder); }
std::int32_t SystemAppImp::SetTempFolder(const char* text) { return SetField(&m_tempFolder, text); }
const char* SystemAppImp::GetDesktopFolder() { return TextOf(m_desktopFolder); }
std::int32_t SystemAppImp::SetDesktopFolder(const char* text) {
    return SetField(&m_desktopFolder, text);
}
const char* SystemAppImp::GetUserDataFolder() { return TextOf(m_userDataFolder); }
std::int32_t SystemAppImp::SetUserDataFolder(const char* text) {
    return SetField(&m_userDataFolder, text);
}

std::int32_t SystemAppImp::DeriveProductFolders() {
    SetField(&m_boxFolder, GetInstallFolder(0));
    AppendField(&m_boxFolder, "OrvaneBox2011\\");

    char folder[kPathRoom + 1];
    std::uint32_t length = 0;
    const Platform::Error found = Platform::GetSpecialFolder(Platform::SpecialFolder::LocalAppData,
                                                             folder, kPathRoom, &length);
    // The user's folder exists but cannot be named here: another folder standing in for it
    // would take the user's files where they were never meant to be.
    m_localAppDataUnspellable = found == Platform::Error::NoUnicodeTranslation;
    if (found == Platform::Error::None) {
        EndInSeparator(folder, sizeof folder);
        SetField(&m_localProductFolder, folder);
    } else if (!m_localAppDataUnspellable) {
        SetField(&m_localProductFolder, GetInstallFolder(0));
    } else {
        SetField(&m_localProductFolder, nullptr);
    }
    // Only onto a folder, and only whole: the suffix alone would name a folder below the
    // current one, the folder without it the user's own.
    if (m_localProductFolder != nullptr &&
        m_localProductFolder->AppendString("Orvane2011\\") != 0) {
        SetField(&m_localProductFolder, nullptr);
    }
    return 0;
}

std::int32_t SystemAppImp::CheckUserFolders() {
    return m_localAppDataUnspellable || m_tempPathUnspellable ? 1 : 0;
}

}  // namespace QRV2
