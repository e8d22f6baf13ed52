// RunLog: a run's log file, one line per event, each written as it happens.
#include "app/RunLog.h"

#include <cstdio>
#include <cstring>

#include "app/InstallState.h"
#include "app/RunSettings.h"
#include "framework/core/Allocator.h"
#include "platform/Clock.h"
#include "platform/Process.h"

namespace QRV2 {

namespace {

// Collects a line's characters: the first pass only counts them (no buffer), the second fills
// the buffer the count asked for.
class LineBuilder {
public:
    explicit LineBuilder(char* buffer) : m_buffer(buffer) {}
    void Put(char c) {
        if (m_buffer != nullptr) m_buffer[m_length] = c;
        ++m_length;
    }
    void Put(const char* text) {
        for (; *text != '\0'; ++text) Put(*text);
    }
    std::size_t Length() const { return m_length; }

private:
    char* m_buffer;
    std::size_t m_length = 0;
};

bool NeedsQuotes(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return c == ' ' || c == '"' || byte < 0x20 || byte == 0x7F;
}

bool NeedsQuotes(const char* text) {
    if (text[0] == '\0') return true;
    for (; *text != '\0'; ++text) {
        if (NeedsQuotes(*text)) return true;
    }
    return false;
}

// One character inside double quotes.
void PutQuoted(LineBuilder& line, char c) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
        case '\\': line.Put("\\\\"); return;
        case '"': line.Put("\\\""); return;
        case '\n': line.Put("\\n"); return;
        case '\r': line.Put("\\r"); return;
        case '\t': line.Put("\\t"); return;
        default: break;
    }
    if (byte < 0x20 || byte == 0x7F) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
        line.Put(escaped);
        return;
    }
    line.Put(c);
}

// The texts as one value, joined by single spaces: bare when it is one text that needs no
// quotes.
void PutTexts(LineBuilder& line, const char* const* texts, std::size_t count) {
    auto text = [&](std::size_t i) { return texts[i] != nullptr ? texts[i] : ""; };
    const bool quoted = count != 1 || NeedsQuotes(text(0));
    if (quoted) line.Put('"');
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) line.Put(' ');
        for (const char* c = text(i); *c != '\0'; ++c) {
            if (quoted) {
                PutQuoted(line, *c);
            } else {
                line.Put(*c);
            }
        }
    }
    if (quoted) line.Put('"');
}

const char* LevelWord(LogLevel level) {
    switch (level) {
        case LogLevel::Info: return "INFO";
        case LogLevel::Warn: return "WARN";
        case LogLevel::Error: return "ERROR";
    }
    return "INFO";
}

}  // namespace

LogField LogField::Hex(const char* key, std::uint32_t value) {
    LogField field(key, Kind::Hex);
    field.m_number = value;
    return field;
}

LogField LogField::Joined(const char* key, const char* const* items, std::size_t count) {
    LogField field(key, Kind::Joined);
    field.m_items = items;
    field.m_count = items != nullptr ? count : 0;
    return field;
}

RunLog& LogOf(const RunSettings& settings) {
    static RunLog closed;  // never opened: every line written to it goes nowhere
    return settings.log != nullptr ? *settings.log : closed;
}

RunLog& LogOf(const InstallState* state) {
    static const RunSettings none;
    return LogOf(state != nullptr ? state->settings : none);
}

bool RunLog::Open(const char* path, bool append) {
    Close();
    m_incomplete = false;
    if (path == nullptr || path[0] == '\0') return false;
    // Others may read the log while the run writes it (an administrator following it).
    Platform::FileHandle file = Platform::NullFile;
    if (Platform::FileOpen(path, Platform::FileAccess::Write, Platform::FileShare::Read,
                           append ? Platform::FileDisposition::OpenAlways
                                  : Platform::FileDisposition::CreateAlways,
                           Platform::FileHint::Sequential, &file) != Platform::Error::None) {
        return false;
    }
    std::uint32_t size = 0;
    if (append &&
        (Platform::FileGetSize(file, &size) != Platform::Error::None ||
         Platform::FileSeek(file, static_cast<std::int32_t>(size), Platform::SeekOrigin::Begin,
                            nullptr) != Platform::Error::None)) {
        Platform::FileClose(file);
        return false;
    }
    m_file = file;
    return true;
}

void RunLog::Close() {
    if (m_file == Platform::NullFile) return;
    Platform::FileClose(m_file);
    m_file = Platform::NullFile;
}

void RunLog::Write(LogLevel level, const char* event, std::initializer_list<LogField> fields) {
    if (m_file == Platform::NullFile || m_incomplete) return;
    Platform::UtcTime now{};
    Platform::GetUtcTime(&now);
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ %lu %s ",
                  unsigned{now.year}, unsigned{now.month}, unsigned{now.day}, unsigned{now.hour},
                  unsigned{now.minute}, unsigned{now.second}, unsigned{now.millisecond},
                  static_cast<unsigned long>(Platform::CurrentProcessId()), LevelWord(level));
    auto compose = [&](LineBuilder& line) {
        line.Put(prefix);
        line.Put(event);
        for (const LogField& field : fields) {
            line.Put(' ');
            line.Put(field.m_key);
            line.Put('=');
            char number[32];
            switch (field.m_kind) {
                case LogField::Kind::Text: PutTexts(line, &field.m_text, 1); break;
                case LogField::Kind::Joined: PutTexts(line, field.m_items, field.m_count); break;
                case LogField::Kind::Number:
                    std::snprintf(number, sizeof number, "%lld",
                                  static_cast<long long>(field.m_number));
                    line.Put(number);
                    break;
                case LogField::Kind::Hex:
                    std::snprintf(number, sizeof number, "0x%08lX",
                                  static_cast<unsigned long>(field.m_number & 0xFFFFFFFFu));
                    line.Put(number);
                    break;
            }
        }
        line.Put('\n');
    };
    LineBuilder counter(nullptr);
    compose(counter);
    auto* buffer = static_cast<char*>(Allocate(counter.Length()));
    std::uint32_t written = 0;
    if (buffer != nullptr) {
        LineBuilder line(buffer);
        compose(line);
        const auto length = static_cast<std::uint32_t>(line.Length());
        if (Platform::FileWrite(m_file, buffer, length, &written) == Platform::Error::None &&
            written == length) {
            Free(buffer);
            return;
        }
    }
    // What part of the line did get in is cut off again, so the file ends with a whole line.
    m_incomplete = true;
    if (written > 0 &&
        Platform::FileSeek(m_file, -static_cast<std::int32_t>(written),
                           Platform::SeekOrigin::Current, nullptr) == Platform::Error::None) {
        Platform::FileSetEnd(m_file);
    }
    Free(buffer);
}

}  // namespace QRV2
