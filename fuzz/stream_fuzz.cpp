// Fuzz target: the elements that read themselves from a stream (Buffer, String, ElementContainer
// with 4- and 2-byte ids, ArchiveEntry). The first input byte picks the reader, the rest is the
// stream. What was read is written out, read back into a fresh element and written again: the
// two writes must be equal, and a well-formed input must come back byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/FrameworkSession.h"
#include "framework/containers/IO.h"
#include "framework/containers/Stream.h"
#include "framework/core/Core.h"
#include "framework/io/MemoryStream.h"

using namespace QRV2;

namespace {

enum Reader { ReadBuffer, ReadString, ReadIds4, ReadIds2, ReadEntry, ReaderCount };

void StartFramework() {
    static FrameworkSession framework;
    if (framework.GetCore() == nullptr) framework.Start();
}

Element* NewReader(int reader) {
    switch (reader) {
        case ReadBuffer: return GetCore()->CreateElement(TypeBuffer, 0);
        case ReadString: return GetCore()->CreateElement(TypeString, 0);
        case ReadIds4: return GetCore()->CreateElement(TypeElementContainer, 0);
        case ReadIds2: return GetCore()->CreateElement(TypeElementContainer, 1);
        default: return GetCore()->CreateElement(TypeArchiveEntry, 0);
    }
}

// Reads the element from bytes; 0 and the position reached, or non-zero.
std::int32_t ReadInto(Element* element, const std::uint8_t* data, std::size_t size) {
    MemoryStream* memory = CreateElementAs<MemoryStream>(TypeMemoryStream);
    if (memory == nullptr) return 1;
    std::int32_t result = 1;
    if (memory->SetData(data, static_cast<std::uint32_t>(size)) == 0) {
        result = InterfaceOf<IO>(element, InterfaceIO)
                     ->ReadFrom(InterfaceOf<Stream>(memory, InterfaceStream), 0);
    }
    ReleaseElement(memory);
    return result;
}

// The element's stream form; false when it could not be written.
bool WriteOut(Element* element, std::vector<std::uint8_t>* bytes) {
    MemoryStream* memory = CreateElementAs<MemoryStream>(TypeMemoryStream);
    if (memory == nullptr) return false;
    Stream* stream = InterfaceOf<Stream>(memory, InterfaceStream);
    bool written = InterfaceOf<IO>(element, InterfaceIO)->WriteTo(stream, 0) == 0;
    std::uint32_t length = 0;
    written = written && stream->GetSize(&length) == 0 && stream->SetPosition(0) == 0;
    if (written) {
        bytes->resize(length);
        written = length == 0 || stream->Read(bytes->data(), length) == length;
    }
    ReleaseElement(memory);
    return written;
}

// A text field (16-bit count, then the text and its NUL) that a String writes back as it is:
// the count covers the text and exactly one NUL, at its end. A count of 0 is kept by a fresh
// String only (an entry's name is then "", written as 01 00 00).
bool TextIsCanonical(const std::uint8_t* data, std::size_t size, bool emptyAllowed) {
    if (size < 2) return false;
    const std::size_t n = data[0] | (static_cast<std::size_t>(data[1]) << 8);
    if (n == 0) return emptyAllowed;
    if (size < 2 + n) return false;
    const void* nul = std::memchr(data + 2, 0, n);
    return nul == data + 2 + n - 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    StartFramework();
    const int reader = data[0] % ReaderCount;
    ++data;
    --size;

    Element* first = NewReader(reader);
    if (first == nullptr) return 0;
    std::vector<std::uint8_t> written;
    if (ReadInto(first, data, size) == 0 && WriteOut(first, &written)) {
        Element* second = NewReader(reader);
        std::vector<std::uint8_t> again;
        if (second != nullptr) {
            // What an element wrote it must read back, and then write the same again.
            if (ReadInto(second, written.data(), written.size()) != 0) __builtin_trap();
            if (!WriteOut(second, &again) || again != written) __builtin_trap();
            ReleaseElement(second);
        }
        // A well-formed input (all its bytes there, texts terminated once at their end) is
        // written back exactly.
        bool canonical = written.size() <= size;
        if (reader == ReadString) canonical = canonical && TextIsCanonical(data, size, true);
        if (reader == ReadEntry) canonical = canonical && TextIsCanonical(data, size, false);
        if (canonical && std::memcmp(written.data(), data, written.size()) != 0) __builtin_trap();
    }
    ReleaseElement(first);
    return 0;
}
