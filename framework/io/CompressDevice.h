// CompressDevice: the stateless pair of one-shot zlib calls (type id 19); the only user of zlib.
#pragma once

#include <cstdint>

#include "framework/core/Element.h"

namespace QRV2 {

class CompressDevice : public Element {
public:
    // Compresses sourceLength bytes at level 9 into destination, a complete zlib stream.
    // *destinationLength is the room on entry and the compressed length on success.
    // Results are zlib's: 0 ok, -5 the output did not fit, -4 no memory, -2 bad arguments.
    virtual std::int32_t Compress(void* destination, std::uint32_t* destinationLength,
                                  const void* source, std::uint32_t sourceLength) = 0;
    // Inflates a complete zlib stream. *destinationLength is the room on entry and the
    // produced length on success. Results are zlib's: 0 ok, -5 the output did not fit or the
    // input ended early, -3 corrupt data, -4 no memory, -2 bad arguments.
    virtual std::int32_t Uncompress(void* destination, std::uint32_t* destinationLength,
                                    const void* source, std::uint32_t sourceLength) = 0;
};

// The most bytes Compress can make of sourceLength bytes: a destination of this size never
// runs out of room, so a caller can hold an entry and its compressed form in about twice the
// entry's size (the archive writer's 1.5-times room is never smaller, so both give one result).
std::uint64_t CompressedSizeBound(std::uint32_t sourceLength);

// Inflates one zlib stream piece by piece, for content too large to hold whole. Its working
// memory comes from the framework allocator. Lives beside CompressDevice so that zlib is
// still called from one file only.
class Inflater {
public:
    enum Result : std::int32_t {
        Progress = 0,    // more input or output room is needed
        StreamEnd = 1,   // the stream ended and its Adler-32 matched
        DataError = -3,  // bad deflate data or checksum
        NoMemory = -4,
        NoProgress = -5,  // nothing could be done with what was given
    };
    Inflater() = default;
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Prepares for a new stream. false when no memory.
    bool Begin();
    // Inflates from input (inputCount bytes) into output (room bytes); *consumed and *produced
    // get the bytes taken and given. Call Begin first.
    Result Run(const void* input, std::uint32_t inputCount, std::uint32_t* consumed, void* output,
               std::uint32_t room, std::uint32_t* produced);

private:
    void* m_stream = nullptr;
};

// Deflates one zlib stream piece by piece with the settings of Compress (level 9, 15 window
// bits, memory level 8, default strategy): content fed in pieces and finished gives the bytes
// that Compress gives for the whole content at once (zlib's output does not depend on how its
// input is divided). Its working memory comes from the framework allocator.
class Deflater {
public:
    enum Result : std::int32_t {
        Progress = 0,   // more input or output room is needed
        StreamEnd = 1,  // the stream is complete (only after finish)
        NoMemory = -4,
        Failed = -2,  // a misuse: Begin was not called or failed
    };
    Deflater() = default;
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Prepares for a new stream. false when no memory.
    bool Begin();
    // Deflates from input (inputCount bytes) into output (room bytes); *consumed and *produced
    // get the bytes taken and given. finish: input is the content's last piece; call again
    // with more room until StreamEnd.
    Result Run(const void* input, std::uint32_t inputCount, std::uint32_t* consumed, void* output,
               std::uint32_t room, std::uint32_t* produced, bool finish);

private:
    void* m_stream = nullptr;
};

}  // namespace QRV2
