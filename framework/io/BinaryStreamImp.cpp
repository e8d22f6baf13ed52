// BinaryStreamImp: one system call per read, write or seek on one file handle.
#include "framework/io/BinaryStreamImp.h"

#include "framework/containers/String.h"
#include "framework/core/Core.h"

namespace QRV2 {

namespace {
// What Open reports when the operating system refuses the file.
constexpr std::int32_t kOpenRefused = 17;
}  // namespace

BinaryStreamImp::BinaryStreamImp(Core*) {}

std::int32_t BinaryStreamImp::Dispose() {
    Close();
    SetPathName(nullptr);
    delete this;
    return 0;
}

void* BinaryStreamImp::GetInterface(std::int32_t interfaceId) {
    return interfaceId == InterfaceStream ? static_cast<Stream*>(this) : nullptr;
}

const char* BinaryStreamImp::GetPathName() {
    return m_path == nullptr ? nullptr : m_path->GetString();
}

std::int32_t BinaryStreamImp::SetPathName(const char* path) {
    if (path == nullptr) {
        ReleaseElement(m_path);
        return 0;
    }
    if (m_path == nullptr) {
        m_path = CreateElementAs<String>(TypeString);
        if (m_path == nullptr) return 1;
        m_path->AddReference();
    }
    // A text that cannot be stored leaves the String without text, so a later Open fails
    // instead of reaching the previous file.
    return m_path->SetString(path) == 0 ? 0 : 1;
}

std::int32_t BinaryStreamImp::Open() {
    // A second Open would lose the handle it holds.
    const char* path = GetPathName();
    if (m_handle != Platform::NullFile || path == nullptr) return 1;
    Platform::FileAccess access = Platform::FileAccess::ReadWrite;
    Platform::FileDisposition disposition = Platform::FileDisposition::OpenAlways;
    if (m_accessMode == AccessRead) {
        if (!Platform::FileExists(path)) return 1;
        access = Platform::FileAccess::Read;
        // Reading never creates: should the file vanish after the test, the open fails instead.
        disposition = Platform::FileDisposition::OpenExisting;
    } else if (m_accessMode == AccessWrite) {
        access = Platform::FileAccess::Write;
    }
    Platform::FileHint hint =
        m_usage == UsageSequential ? Platform::FileHint::Sequential : Platform::FileHint::Random;
    Platform::FileHandle handle = Platform::NullFile;
    Platform::Error error =
        Platform::FileOpen(path, access, Platform::FileShare::Read, disposition, hint, &handle);
    if (error != Platform::Error::None) return kOpenRefused;
    m_handle = handle;
    return 0;
}

std::int32_t BinaryStreamImp::IsClosed() { return m_handle == Platform::NullFile ? 1 : 0; }

std::int32_t BinaryStreamImp::Close() {
    if (m_handle == Platform::NullFile) {
        // A never-written stream would first have asked the (absent) file for its size.
        if (m_written == 0) m_error = 1;
        return 1;
    }
    std::int32_t result = 0;
    // Only a stream that was written to ends the file where it stands; one that was only read
    // leaves the length alone.
    if (m_written != 0) {
        std::uint32_t position = 0;
        std::uint32_t size = 0;
        if (Platform::FileSeek(m_handle, 0, Platform::SeekOrigin::Current, &position) !=
                Platform::Error::None ||
            Platform::FileGetSize(m_handle, &size) != Platform::Error::None ||
            (position != size && Platform::FileSetEnd(m_handle) != Platform::Error::None)) {
            // An old tail left behind is lost data for the caller: report it.
            m_error = 1;
            result = 1;
        }
    }
    Platform::FileClose(m_handle);
    m_handle = Platform::NullFile;
    return result;
}

std::int32_t BinaryStreamImp::HasError() { return m_error; }

std::int32_t BinaryStreamImp::GetSize(std::uint32_t* size) {
    std::uint32_t value = 0;
    if (Platform::FileGetSize(m_handle, &value) != Platform::Error::None) return 1;
    if (size != nullptr) *size = value;
    return 0;
}

std::int32_t BinaryStreamImp::GetPosition(std::uint32_t* position) {
    std::uint32_t value = 0;
    if (Platform::FileSeek(m_handle, 0, Platform::SeekOrigin::Current, &value) !=
        Platform::Error::None) {
        return 1;
    }
    if (position != nullptr) *position = value;
    return 0;
}

std::int32_t BinaryStreamImp::SetPosition(std::uint32_t position) {
    // One signed 32-bit distance from the start: positions of 2 GiB and more are refused.
    Platform::Error error = Platform::FileSeek(m_handle, static_cast<std::int32_t>(position),
                                               Platform::SeekOrigin::Begin, nullptr);
    m_error = error == Platform::Error::None ? 0 : 1;
    return m_error;
}

std::int32_t BinaryStreamImp::GetAccessMode() { return m_accessMode; }
std::int32_t BinaryStreamImp::GetUsage() { return m_usage; }
std::int32_t BinaryStreamImp::GetAuxMode() { return m_auxMode; }

std::int32_t BinaryStreamImp::SetAuxMode(std::int32_t value) {
    if (IsClosed() != 1) return 1;
    m_auxMode = value;
    return 0;
}

std::int32_t BinaryStreamImp::SetAccessMode(std::int32_t mode) {
    if (IsClosed() != 1) return 1;
    m_accessMode = mode;
    return 0;
}

std::int32_t BinaryStreamImp::SetUsage(std::int32_t usage) {
    if (IsClosed() != 1) return 1;
    m_usage = usage;
    return 0;
}

std::uint32_t BinaryStreamImp::WriteBytes(const void* data, std::uint32_t count) {
    m_written = 1;
    std::uint32_t done = 0;
    if (Platform::FileWrite(m_handle, data, count, &done) != Platform::Error::None) m_error = 1;
    return done;
}

std::uint32_t BinaryStreamImp::Write16(std::uint16_t value) { return WriteBytes(&value, 2); }
std::uint32_t BinaryStreamImp::Write32(std::uint32_t value) { return WriteBytes(&value, 4); }
std::uint32_t BinaryStreamImp::Write32Alt(std::int32_t value) { return WriteBytes(&value, 4); }
std::uint32_t BinaryStreamImp::Write64(std::uint64_t value) { return WriteBytes(&value, 8); }
std::uint32_t BinaryStreamImp::Write(const void* data, std::uint32_t count) {
    return WriteBytes(data, count);
}

std::uint32_t BinaryStreamImp::ReadValue(void* value, std::uint32_t count) {
    std::uint32_t done = 0;
    if (Platform::FileRead(m_handle, value, count, &done) != Platform::Error::None) m_error = 1;
    return done;
}

std::uint32_t BinaryStreamImp::Read16(std::uint16_t* value) { return ReadValue(value, 2); }
std::uint32_t BinaryStreamImp::Read32(std::uint32_t* value) { return ReadValue(value, 4); }
std::uint32_t BinaryStreamImp::Read32Alt(std::int32_t* value) { return ReadValue(value, 4); }
std::uint32_t BinaryStreamImp::Read64(std::uint64_t* value) { return ReadValue(value, 8); }

std::uint32_t BinaryStreamImp::Read(void* data, std::uint32_t count) {
    std::uint32_t done = 0;
    if (Platform::FileRead(m_handle, data, count, &done) != Platform::Error::None || done < count) {
        m_error = 1;
    }
    return done;
}

}  // namespace QRV2
