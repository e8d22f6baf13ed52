// FilePathImp: splitting a path into drive, folder, file name, base name, extension and back.
#include "framework/system/FilePathImp.h"

#include <cstring>

#include "framework/core/Allocator.h"

namespace QRV2 {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A new allocator text holding count bytes of text, or null when storage cannot be obtained.
char* CopyRange(const char* text, std::size_t count) {
    char* copy = static_cast<char*>(Allocate(count + 1));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, text, count);
    copy[count] = '\0';
    return copy;
}

void Drop(char** part) {
    Free(*part);
    *part = nullptr;
}

// text replaces the part; null drops it. false when the copy cannot be made (the part is then
// absent).
bool SetPart(char** part, const char* text) {
    char* copy = text == nullptr ? nullptr : DuplicateText(text);
    Free(*part);
    *part = copy;
    return text == nullptr || copy != nullptr;
}

// The part is created empty when absent, then text (if any) is appended. false when storage
// runs out (an absent part stays absent and a present one keeps its text).
bool AppendPart(char** part, const char* text) {
    const char* old = *part == nullptr ? "" : *part;
    const char* tail = text == nullptr ? "" : text;
    std::size_t oldLength = std::strlen(old);
    std::size_t tailLength = std::strlen(tail);
    char* joined = static_cast<char*>(Allocate(oldLength + tailLength + 1));
    if (joined == nullptr) return false;
    std::memcpy(joined, old, oldLength);
    std::memcpy(joined + oldLength, tail, tailLength + 1);
    Free(*part);
    *part = joined;
    return true;
}

std::size_t LengthOf(const char* text) { return text == nullptr ? 0 : std::strlen(text); }

}  // namespace

FilePathImp::FilePathImp(Core*) {}

std::int32_t FilePathImp::Dispose() {
    Drop(&m_path);
    DropParts();
    delete this;
    return 0;
}

const char* FilePathImp::GetPath() { return m_path; }

std::int32_t FilePathImp::SetPath(const char* text) {
    char* copy = DuplicateText(text == nullptr ? "" : text);
    if (copy == nullptr) return 1;
    Free(m_path);
    m_path = copy;
    Parse();
    return m_partsLost ? 1 : 0;
}

std::int32_t FilePathImp::AppendPath(const char* text) {
    const char* old = m_path == nullptr ? "" : m_path;
    const char* tail = text == nullptr ? "" : text;
    std::size_t oldLength = std::strlen(old);
    std::size_t tailLength = std::strlen(tail);
    char* joined = static_cast<char*>(Allocate(oldLength + tailLength + 1));
    if (joined == nullptr) return 1;
    std::memcpy(joined, old, oldLength);
    std::memcpy(joined + oldLength, tail, tailLength + 1);
    Free(m_path);
    m_path = joined;
    Parse();
    return m_partsLost ? 1 : 0;
}

const char* FilePathImp::GetDrive() { return m_drive; }
const char* FilePathImp::GetFolder() { return m_folder; }
const char* FilePathImp::GetFileName() { return m_fileName; }
const char* FilePathImp::GetBaseName() { return m_baseName; }
const char* FilePathImp::GetExtension() { return m_extension; }

std::int32_t FilePathImp::SetDrive(const char* text) {
    if (!SetPart(&m_drive, text)) m_partsLost = true;
    return Rebuild();
}

std::int32_t FilePathImp::AppendDrive(const char* text) {
    if (!AppendPart(&m_drive, text)) m_partsLost = true;
    return Rebuild();
}

std::int32_t FilePathImp::SetFolder(const char* text) {
    if (!SetPart(&m_folder, text)) m_partsLost = true;
    return Rebuild();
}

std::int32_t FilePathImp::AppendFolder(const char* text) {
    if (!AppendPart(&m_folder, text)) m_partsLost = true;
    return Rebuild();
}

std::int32_t FilePathImp::SetFileName(const char* text) {
    if (!SetPart(&m_fileName, text)) m_partsLost = true;
    SplitFileName();
    return Rebuild();
}

std::int32_t FilePathImp::AppendFileName(const char* text) {
    if (!AppendPart(&m_fileName, text)) m_partsLost = true;
    SplitFileName();
    return Rebuild();
}

std::int32_t FilePathImp::SetBaseName(const char* text) {
    if (!SetPart(&m_baseName, text)) m_partsLost = true;
    ComposeFileName();
    return Rebuild();
}

std::int32_t FilePathImp::AppendBaseName(const char* text) {
    if (!AppendPart(&m_baseName, text)) m_partsLost = true;
    ComposeFileName();
    return Rebuild();
}

std::int32_t FilePathImp::SetExtension(const char* text) {
    if (!SetPart(&m_extension, text)) m_partsLost = true;
    ComposeFileName();
    return Rebuild();
}

std::int32_t FilePathImp::AppendExtension(const char* text) {
    if (!AppendPart(&m_extension, text)) m_partsLost = true;
    ComposeFileName();
    return Rebuild();
}

void FilePathImp::DropParts() {
    Drop(&m_drive);
    Drop(&m_folder);
    Drop(&m_fileName);
    Drop(&m_baseName);
    Drop(&m_extension);
}

// Scans from the end: the last separator ends the folder and starts the file name; the first
// colon before it ends the drive. Without a colon there, drive and folder stay absent (relative,
// network and rooted paths keep only their file name). The path text itself is left as set.
void FilePathImp::Parse() {
    DropParts();
    m_partsLost = false;
    if (m_path == nullptr || m_path[0] == '\0') return;
    std::size_t length = std::strlen(m_path);
    std::size_t separator = length;  // none met yet
    for (std::size_t i = length; i-- > 0;) {
        char c = m_path[i];
        if (separator == length) {
            if (IsSeparator(c)) {
                separator = i;
                m_fileName = Keep(CopyRange(m_path + i + 1, length - i - 1));
                SplitFileName();
            }
        } else if (c == ':') {
            m_folder = Keep(CopyRange(m_path + i + 1, separator - i));
            m_drive = Keep(CopyRange(m_path, i + 1));
            return;
        }
    }
    if (separator == length) {
        m_fileName = Keep(CopyRange(m_path, length));
        SplitFileName();
    }
}

void FilePathImp::SplitFileName() {
    Drop(&m_baseName);
    Drop(&m_extension);
    if (m_fileName == nullptr || m_fileName[0] == '\0') return;
    const char* dot = std::strrchr(m_fileName, '.');
    if (dot == nullptr) {
        m_baseName = Keep(DuplicateText(m_fileName));
        return;
    }
    m_extension = Keep(DuplicateText(dot));
    m_baseName = Keep(CopyRange(m_fileName, static_cast<std::size_t>(dot - m_fileName)));
}

void FilePathImp::ComposeFileName() {
    Drop(&m_fileName);
    std::size_t baseLength = LengthOf(m_baseName);
    std::size_t extensionLength = LengthOf(m_extension);
    char* name = static_cast<char*>(Allocate(baseLength + extensionLength + 1));
    if (name == nullptr) {
        m_partsLost = true;
        return;
    }
    if (baseLength > 0) std::memcpy(name, m_baseName, baseLength);
    if (extensionLength > 0) std::memcpy(name + baseLength, m_extension, extensionLength);
    name[baseLength + extensionLength] = '\0';
    m_fileName = name;
}

char* FilePathImp::Keep(char* copy) {
    if (copy == nullptr) m_partsLost = true;
    return copy;
}

std::int32_t FilePathImp::Rebuild() {
    if (m_partsLost) {
        Free(m_path);
        m_path = nullptr;
        return 1;
    }
    std::size_t drive = LengthOf(m_drive);
    std::size_t folder = LengthOf(m_folder);
    std::size_t file = LengthOf(m_fileName);
    char* path = static_cast<char*>(Allocate(drive + folder + file + 1));
    if (path != nullptr) {
        if (drive > 0) std::memcpy(path, m_drive, drive);
        if (folder > 0) std::memcpy(path + drive, m_folder, folder);
        if (file > 0) std::memcpy(path + drive + folder, m_fileName, file);
        path[drive + folder + file] = '\0';
    }
    Free(m_path);
    m_path = path;
    return path == nullptr ? 1 : 0;
}

}  // namespace QRV2
