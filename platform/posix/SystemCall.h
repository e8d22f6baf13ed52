// System calls as the POSIX layer makes them: repeated when a signal interrupts them, reads and
// writes that move every byte asked for, and a descriptor that closes itself.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace Platform {

// Makes call (a system call answering -1 with errno on failure) again for as long as a signal
// interrupts it. Its last result, with errno as that call left it.
template <typename Call>
auto RetryInterrupted(Call call) -> decltype(call()) {
    for (;;) {
        auto result = call();
        if (result != -1 || errno != EINTR) return result;
    }
}

// Calls transfer(moved, left) (one read or write of at most left bytes, at moved bytes into the
// request) until size bytes have moved. 0, or the errno of the call that failed; a call that
// moves nothing ends it with whenNothing (0 for a read at the end of the file). *done (may be
// null) counts the bytes that moved.
template <typename Transfer>
int TransferWhole(std::size_t size, std::size_t* done, int whenNothing, Transfer transfer) {
    std::size_t moved = 0;
    int error = 0;
    while (moved < size) {
        const ssize_t n = RetryInterrupted([&] { return transfer(moved, size - moved); });
        if (n <= 0) {
            error = n < 0 ? errno : whenNothing;
            break;
        }
        moved += static_cast<std::size_t>(n);
    }
    if (done != nullptr) *done = moved;
    return error;
}

// Writes all size bytes of data. 0 or the errno of the failure (ENOSPC where the system takes
// nothing more); *done (may be null) counts what was written.
inline int WriteWhole(int fd, const void* data, std::size_t size, std::size_t* done = nullptr) {
    const char* bytes = static_cast<const char*>(data);
    return TransferWhole(size, done, ENOSPC, [&](std::size_t at, std::size_t left) {
        return ::write(fd, bytes + at, left);
    });
}

// Reads until size bytes arrived or the file ended (then *done tells how many did). 0 or the
// errno of the failure.
inline int ReadWhole(int fd, void* data, std::size_t size, std::size_t* done) {
    char* bytes = static_cast<char*>(data);
    return TransferWhole(size, done, 0, [&](std::size_t at, std::size_t left) {
        return ::read(fd, bytes + at, left);
    });
}

// ReadWhole from position offset of the file, leaving the file position alone.
inline int ReadWholeAt(int fd, std::uint64_t offset, void* data, std::size_t size,
                       std::size_t* done) {
    char* bytes = static_cast<char*>(data);
    return TransferWhole(size, done, 0, [&](std::size_t at, std::size_t left) {
        return ::pread(fd, bytes + at, left, static_cast<off_t>(offset + at));
    });
}

// Owns one open descriptor and closes it when it goes, keeping errno as it was, so an early
// return may still report the errno of the call that failed.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : m_fd(other.Release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            Reset();
            m_fd = other.Release();
        }
        return *this;
    }
    ~Descriptor() { Reset(); }

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    // Hands the descriptor over to the caller, who closes it from now on.
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Closes it now: 0, or the errno of a failed close. The descriptor is gone either way (a
    // failed close still releases it on Linux), so a close is never repeated.
    int Close() {
        if (m_fd < 0) return 0;
        const int result = ::close(Release());
        return result == 0 ? 0 : errno;
    }

private:
    void Reset() {
        const int saved = errno;
        Close();
        errno = saved;
    }

    int m_fd = -1;
};

}  // namespace Platform
