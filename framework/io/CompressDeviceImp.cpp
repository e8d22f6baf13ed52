// CompressDeviceImp: the one place that calls zlib (one-shot compress2 level 9 and uncompress).
#include "framework/io/CompressDeviceImp.h"

#include <zlib.h>

#include "framework/core/Allocator.h"

namespace QRV2 {

std::int32_t CompressDeviceImp::Dispose() {
    delete this;
    return 0;
}

std::int32_t CompressDeviceImp::Compress(void* destination, std::uint32_t* destinationLength,
                                         const void* source, std::uint32_t sourceLength) {
    if (destinationLength == nullptr) return Z_STREAM_ERROR;
    uLongf length = *destinationLength;
    int result = ::compress2(static_cast<Bytef*>(destination), &length,
                             static_cast<const Bytef*>(source), sourceLength, Z_BEST_COMPRESSION);
    if (result == Z_OK) *destinationLength = static_cast<std::uint32_t>(length);
    return result;
}

std::int32_t CompressDeviceImp::Uncompress(void* destination, std::uint32_t* destinationLength,
                                           const void* source, std::uint32_t sourceLength) {
    if (destinationLength == nullptr) return Z_STREAM_ERROR;
    uLongf length = *destinationLength;
    int result = ::uncompress(static_cast<Bytef*>(destination), &length,
                              static_cast<const Bytef*>(source), sourceLength);
    if (result == Z_OK) *destinationLength = static_cast<std::uint32_t>(length);
    return result;
}

std::uint64_t CompressedSizeBound(std::uint32_t sourceLength) {
    // zlib's own bound, computed in 64 bits where its unsigned long is 32 bits wide.
    const std::uint64_t n = sourceLength;
    const std::uint64_t bound = ::compressBound(sourceLength);
    const std::uint64_t wide = n + (n >> 12) + (n >> 14) + (n >> 25) + 13;
    return bound > wide ? bound : wide;
}

namespace {

voidpf ZlibAllocate(voidpf, uInt items, uInt size) {
    std::size_t n = static_cast<std::size_t>(items) * size;
    void* block = Allocate(n == 0 ? 1 : n);
    return block != nullptr ? block : Z_NULL;
}

void ZlibFree(voidpf, voidpf block) { Free(block); }

// A zlib stream whose working memory comes from the framework allocator, set up by init
// (inflateInit or deflateInit); null when no memory.
template <class Init>
z_stream* NewStream(Init init) {
    z_stream* stream = static_cast<z_stream*>(Allocate(sizeof(z_stream)));
    if (stream == nullptr) return nullptr;
    *stream = z_stream{};
    stream->zalloc = ZlibAllocate;
    stream->zfree = ZlibFree;
    if (init(stream) != Z_OK) {
        Free(stream);
        return nullptr;
    }
    return stream;
}

// Places the stream's input and output for one step.
void Point(z_stream* stream, const void* input, std::uint32_t inputCount, void* output,
           std::uint32_t room) {
    stream->next_in = static_cast<Bytef*>(const_cast<void*>(input));
    stream->avail_in = inputCount;
    stream->next_out = static_cast<Bytef*>(output);
    stream->avail_out = room;
}

}  // namespace

Inflater::~Inflater() {
    if (m_stream == nullptr) return;
    ::inflateEnd(static_cast<z_stream*>(m_stream));
    Free(m_stream);
}

bool Inflater::Begin() {
    if (m_stream != nullptr) return ::inflateReset(static_cast<z_stream*>(m_stream)) == Z_OK;
    m_stream = NewStream([](z_stream* stream) { return inflateInit(stream); });
    return m_stream != nullptr;
}

Inflater::Result Inflater::Run(const void* input, std::uint32_t inputCount, std::uint32_t* consumed,
                               void* output, std::uint32_t room, std::uint32_t* produced) {
    *consumed = 0;
    *produced = 0;
    z_stream* stream = static_cast<z_stream*>(m_stream);
    if (stream == nullptr) return NoProgress;
    Point(stream, input, inputCount, output, room);
    int code = ::inflate(stream, Z_NO_FLUSH);
    *consumed = inputCount - stream->avail_in;
    *produced = room - stream->avail_out;
    switch (code) {
        case Z_OK: return Progress;
        case Z_STREAM_END: return StreamEnd;
        case Z_MEM_ERROR: return NoMemory;
        case Z_BUF_ERROR: return NoProgress;
        default: return DataError;  // Z_DATA_ERROR, Z_NEED_DICT, Z_STREAM_ERROR
    }
}

Deflater::~Deflater() {
    if (m_stream == nullptr) return;
    ::deflateEnd(static_cast<z_stream*>(m_stream));
    Free(m_stream);
}

bool Deflater::Begin() {
    if (m_stream != nullptr) return ::deflateReset(static_cast<z_stream*>(m_stream)) == Z_OK;
    // What compress2 asks for at level 9.
    m_stream = NewStream([](z_stream* stream) { return deflateInit(stream, Z_BEST_COMPRESSION); });
    return m_stream != nullptr;
}

Deflater::Result Deflater::Run(const void* input, std::uint32_t inputCount, std::uint32_t* consumed,
                               void* output, std::uint32_t room, std::uint32_t* produced,
                               bool finish) {
    *consumed = 0;
    *produced = 0;
    z_stream* stream = static_cast<z_stream*>(m_stream);
    if (stream == nullptr) return Failed;
    Point(stream, input, inputCount, output, room);
    const int code = ::deflate(stream, finish ? Z_FINISH : Z_NO_FLUSH);
    *consumed = inputCount - stream->avail_in;
    *produced = room - stream->avail_out;
    switch (code) {
        case Z_OK:
        case Z_BUF_ERROR: return Progress;  // no room or nothing to do yet: not an error
        case Z_STREAM_END: return StreamEnd;
        case Z_MEM_ERROR: return NoMemory;
        default: return Failed;
    }
}

}  // namespace QRV2
