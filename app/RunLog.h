// RunLog: a run's log file, one line per event in a form scripts can parse, each line written
// to the file as it happens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "platform/File.h"

namespace QRV2 {

enum class LogLevel { Info, Warn, Error };

// One key=value field of a line. The value is a text (null is written as the empty text), a
// signed number, a 32-bit number in hexadecimal ("0x%08X", the form of an HRESULT) or texts
// joined by single spaces.
class LogField {
public:
    LogField(const char* key, const char* text) : m_key(key), m_kind(Kind::Text), m_text(text) {}
    LogField(const char* key, std::int64_t number)
        : m_key(key), m_kind(Kind::Number), m_number(number) {}
    static LogField Hex(const char* key, std::uint32_t value);
    static LogField Joined(const char* key, const char* const* items, std::size_t count);

private:
    friend class RunLog;
    enum class Kind { Text, Number, Hex, Joined };
    LogField(const char* key, Kind kind) : m_key(key), m_kind(kind) {}

    const char* m_key;
    Kind m_kind;
    const char* m_text = nullptr;
    std::int64_t m_number = 0;
    const char* const* m_items = nullptr;
    std::size_t m_count = 0;
};

// The line format (stable; README's "Deploying" section documents it):
//   2026-12-08T21:05:03.123Z 4242 INFO event key=value key="a value" ...
// UTC time with milliseconds, the process id, INFO, WARN or ERROR, an event word, the fields.
// A value is written as it is unless it is empty or holds a space, a double quote or a control
// character; then it stands in double quotes, with \ and " escaped by a backslash and the
// control characters written \n, \r, \t or \xHH. Lines end in a line feed.
//
// Each line reaches the file in one write when it happens, so a run that is killed leaves the
// lines of what it did. The first line that cannot be written whole (no room, no storage for
// it) ends the writing: the file stays a clean record of the run up to there, and Incomplete
// tells the program so at its end.
class RunLog {
public:
    RunLog() = default;
    ~RunLog() { Close(); }
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Creates the file at path, or empties it (append: keeps what it holds and writes after it).
    // False when it cannot be opened for writing (its folder is missing, no rights, a folder of
    // that name); the log stays closed.
    bool Open(const char* path, bool append);
    // Closes the file; lines written afterwards go nowhere and are not counted as lost.
    void Close();
    bool IsOpen() const { return m_file != Platform::NullFile; }

    void Write(LogLevel level, const char* event, std::initializer_list<LogField> fields);
    void Info(const char* event, std::initializer_list<LogField> fields = {}) {
        Write(LogLevel::Info, event, fields);
    }
    void Warn(const char* event, std::initializer_list<LogField> fields = {}) {
        Write(LogLevel::Warn, event, fields);
    }
    void Error(const char* event, std::initializer_list<LogField> fields = {}) {
        Write(LogLevel::Error, event, fields);
    }

    // True when a line since Open could not be written whole (the lines after it were not
    // written either).
    bool Incomplete() const { return m_incomplete; }

private:
    Platform::FileHandle m_file = Platform::NullFile;
    bool m_incomplete = false;
};

}  // namespace QRV2
