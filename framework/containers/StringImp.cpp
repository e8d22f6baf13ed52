// StringImp: text storage, appending and shortening, comparison and the 16-bit-counted stream form.
#include "framework/containers/StringImp.h"

#include <cstring>

#include "framework/containers/Stream.h"
#include "framework/core/Allocator.h"

namespace QRV2 {

namespace {
// The largest count the 16-bit prefix can carry: 65534 characters and their NUL.
constexpr std::size_t kMaxStoredCount = 0xFFFF;
}  // namespace

StringImp::StringImp(Core*) {}

std::int32_t StringImp::Dispose() {
    Free(m_text);
    m_text = nullptr;
    delete this;
    return 0;
}

void* StringImp::GetInterface(std::int32_t interfaceId) {
    if (interfaceId == InterfaceCrunch) return static_cast<Crunch*>(this);
    if (interfaceId == InterfaceIO) return static_cast<IO*>(this);
    return nullptr;
}

const char* StringImp::GetString() { return m_text; }

std::int32_t StringImp::SetString(const char* text) {
    if (text == nullptr) text = "";
    std::size_t length = std::strlen(text);
    char* old = m_text;
    m_text = static_cast<char*>(Allocate(length + 1));
    if (m_text == nullptr) {
        Free(old);
        return 1;
    }
    // The source may lie inside the old text, so that is freed only after the copy.
    std::memcpy(m_text, text, length + 1);
    Free(old);
    return 0;
}

std::int32_t StringImp::AppendString(const char* text) {
    if (text == nullptr) text = "";
    std::size_t added = std::strlen(text);
    std::size_t kept = m_text == nullptr ? 0 : std::strlen(m_text);
    char* joined = static_cast<char*>(Allocate(kept + added + 1));
    if (joined == nullptr) return 1;
    if (kept != 0) std::memcpy(joined, m_text, kept);
    std::memcpy(joined + kept, text, added + 1);
    Free(m_text);
    m_text = joined;
    return 0;
}

std::int32_t StringImp::GetLength() {
    return m_text == nullptr ? 0 : static_cast<std::int32_t>(std::strlen(m_text));
}

std::int32_t StringImp::Shorten(std::int32_t length) {
    if (m_text == nullptr || length < 0 || length > GetLength()) return 1;
    m_text[length] = '\0';
    return 0;
}

std::int32_t StringImp::QueryCrunch(void*, std::int32_t code) { return code == 2 ? 0 : 8; }

std::int32_t StringImp::ApplyCrunch(void*, std::int32_t) { return 0; }

std::int32_t StringImp::GetCrunchId() { return m_crunchId; }

void StringImp::SetCrunchId(std::int32_t id) { m_crunchId = id; }

std::int32_t StringImp::CompareContent(Element* other) {
    if (other == nullptr || other->GetTypeId() != TypeString) return 1;
    const char* theirs = static_cast<String*>(other)->GetString();
    if (m_text == nullptr || theirs == nullptr) return 1;
    return std::strcmp(m_text, theirs) == 0 ? 0 : 1;
}

std::int32_t StringImp::ReadFrom(Stream* stream, std::int32_t) {
    if (stream == nullptr) return 1;
    std::uint8_t prefix[2] = {0, 0};
    stream->Read(prefix, 2);
    std::uint32_t count = prefix[0] | (static_cast<std::uint32_t>(prefix[1]) << 8);
    if (count == 0) return 0;
    char* text = static_cast<char*>(Allocate(count));
    Free(m_text);
    m_text = text;
    if (text == nullptr) return 1;
    std::uint32_t got = stream->Read(text, count);
    if (got > count) got = count;
    // Whatever the stream did not deliver is zero, and the text ends within the bytes read
    // even when the stored bytes carry no terminating NUL.
    std::memset(text + got, 0, count - got);
    text[count - 1] = '\0';
    return 0;
}

std::int32_t StringImp::WriteTo(Stream* stream, std::int32_t) {
    if (stream == nullptr) return 1;
    std::size_t count = m_text == nullptr ? 0 : std::strlen(m_text) + 1;
    bool cut = count > kMaxStoredCount;
    if (cut) count = kMaxStoredCount;
    std::uint8_t prefix[2] = {static_cast<std::uint8_t>(count & 0xFF),
                              static_cast<std::uint8_t>((count >> 8) & 0xFF)};
    stream->Write(prefix, 2);
    if (count != 0) {
        stream->Write(m_text, static_cast<std::uint32_t>(count - 1));
        static const char kNul = '\0';
        stream->Write(&kNul, 1);
    }
    std::int32_t error = stream->HasError();
    if (error == 0 && cut) return 1;
    return error;
}

}  // namespace QRV2
