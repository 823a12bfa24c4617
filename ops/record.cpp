// The record of changes (see record.h).
#include "ops/record.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ops/text.h"
#include "ops/host.h"

namespace scout::ops {
namespace {

// The fields in the order they are written, with their JSON keys.
struct Field {
    const char* key;
    std::string RecordLine::*member;
};
constexpr Field Fields[] = {
    {"time", &RecordLine::time},           {"event", &RecordLine::event},
    {"host", &RecordLine::host},           {"user", &RecordLine::user},
    {"command", &RecordLine::command},     {"target", &RecordLine::target},
    {"interface_name", &RecordLine::interfaceName}, {"interface", &RecordLine::interfaceAddress},
    {"new_address", &RecordLine::newAddress}, {"mask", &RecordLine::mask},
    {"gateway", &RecordLine::gateway},     {"model", &RecordLine::model},
    {"version", &RecordLine::version},     {"revision", &RecordLine::revision},
    {"mac", &RecordLine::mac},
    {"datagram", &RecordLine::datagram},   {"outcome", &RecordLine::outcome},
    {"answers_at", &RecordLine::answersAt}, {"seconds", &RecordLine::seconds},
    {"reason", &RecordLine::reason},       {"row", &RecordLine::row},
    {"replaces", &RecordLine::replaces},
};
// The one key whose value is a number, as in every other output.
constexpr const char* NumberKey = "seconds";

// A JSON string at text[*at] (after its opening quote) up to its closing quote;
// false where it is not one this program writes.
bool ReadString(const std::string& text, std::size_t* at, std::string* value) {
    value->clear();
    while (*at < text.size()) {
        const char c = text[(*at)++];
        if (c == '"')
            return true;
        if (static_cast<unsigned char>(c) < 0x20)
            return false;
        if (c != '\\') {
            *value += c;
            continue;
        }
        if (*at >= text.size())
            return false;
        const char e = text[(*at)++];
        switch (e) {
        case '"': case '\\': case '/': *value += e; break;
        case 'n': *value += '\n'; break;
        case 't': *value += '\t'; break;
        case 'r': *value += '\r'; break;
        case 'b': *value += '\b'; break;
        case 'f': *value += '\f'; break;
        case 'u': {
            if (*at + 4 > text.size())
                return false;
            unsigned code = 0;
            for (int i = 0; i < 4; ++i) {
                const char h = text[(*at)++];
                code = code * 16 + static_cast<unsigned>(h >= '0' && h <= '9' ? h - '0'
                                                         : h >= 'a' && h <= 'f' ? h - 'a' + 10
                                                         : h >= 'A' && h <= 'F' ? h - 'A' + 10 : 99);
                if (code > 0xFFFF)
                    return false;
            }
            *value += code < 0x80 ? std::string(1, static_cast<char>(code)) : std::string("?");
            break;
        }
        default:
            return false;
        }
    }
    return false;
}

void SkipSpace(const std::string& text, std::size_t* at) {
    while (*at < text.size() && (text[*at] == ' ' || text[*at] == '\t'))
        ++*at;
}

// Digits, and a point with digits after it: a number JSON takes as it stands.
bool IsDecimal(const std::string& text) {
    std::size_t i = 0, digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i, ++digits;
    if (digits == 0 || digits > 9)
        return false;
    if (i < text.size() && text[i] == '.') {
        const std::size_t point = ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        if (i == point)
            return false;
    }
    return i == text.size();
}

}  // namespace

// One line as this program writes it: an object of string values.
bool ParseRecordLine(const std::string& text, RecordLine* line, std::string* why) {
    std::size_t at = 0;
    SkipSpace(text, &at);
    if (at >= text.size() || text[at++] != '{') {
        *why = "no JSON object";
        return false;
    }
    for (bool first = true;; first = false) {
        SkipSpace(text, &at);
        if (at < text.size() && text[at] == '}' && first) {
            ++at;
            break;
        }
        if (!first) {
            if (at < text.size() && text[at] == '}') {
                ++at;
                break;
            }
            if (at >= text.size() || text[at++] != ',') {
                *why = "not a record of this program";
                return false;
            }
            SkipSpace(text, &at);
        }
        std::string key, value;
        if (at >= text.size() || text[at++] != '"' || !ReadString(text, &at, &key)) {
            *why = "not a record of this program";
            return false;
        }
        SkipSpace(text, &at);
        if (at >= text.size() || text[at++] != ':') {
            *why = "not a record of this program";
            return false;
        }
        SkipSpace(text, &at);
        if (key == NumberKey && at < text.size() && text[at] >= '0' && text[at] <= '9') {
            // The seconds are a number (a text in records of earlier versions).
            while (at < text.size() && ((text[at] >= '0' && text[at] <= '9') || text[at] == '.'))
                value += text[at++];
        } else if (at >= text.size() || text[at++] != '"' || !ReadString(text, &at, &value)) {
            *why = "not a record of this program";
            return false;
        }
        for (const Field& field : Fields)
            if (key == field.key)
                line->*field.member = value;
    }
    SkipSpace(text, &at);
    if (at != text.size() || line->time.empty() || line->event.empty()) {
        *why = "not a record of this program";
        return false;
    }
    return true;
}

std::string RecordJson(const RecordLine& line) {
    std::string out = "{";
    bool first = true;
    for (const Field& field : Fields) {
        const std::string& value = line.*field.member;
        if (value.empty() && first == false && std::strcmp(field.key, "event") != 0)
            continue;  // only what the line has
        if (std::strcmp(field.key, NumberKey) == 0 && IsDecimal(value)) {
            out += std::string(first ? "" : ", ") + "\"" + NumberKey + "\": " + value;
        } else {
            AppendJsonKey(out, field.key, ValidUtf8(value.c_str()), first);
        }
        first = false;
    }
    return out + "}";
}

FileError AppendRecords(const std::string& path, const std::vector<RecordLine>& lines) {
    std::string text;
    for (const RecordLine& line : lines)
        text += RecordJson(line) + "\n";
    return AppendRecordText(path, text);
}

bool ReadLine(LineReader& reader, std::string* line, bool* tooLong) {
    line->clear();
    *tooLong = false;
    bool any = false;
    for (;;) {
        if (reader.at == reader.buffer.size()) {
            if (reader.ended)
                break;
            reader.buffer.resize(65536);
            errno = 0;
            const std::size_t got = std::fread(&reader.buffer[0], 1, reader.buffer.size(), reader.file);
            reader.buffer.resize(got);
            reader.at = 0;
            if (got == 0) {
                reader.ended = true;
                if (std::ferror(reader.file) != 0)
                    reader.error = errno != 0 ? errno : EIO;
                break;
            }
        }
        any = true;
        const std::size_t end = reader.buffer.find('\n', reader.at);
        const std::size_t stop = end == std::string::npos ? reader.buffer.size() : end;
        const std::size_t room = reader.limit > line->size() ? reader.limit - line->size() : 0;
        line->append(reader.buffer, reader.at, std::min(room, stop - reader.at));
        *tooLong = *tooLong || stop - reader.at > room;
        reader.at = end == std::string::npos ? stop : end + 1;
        if (end != std::string::npos)
            break;
    }
    if (!any)
        return false;
    if (!*tooLong && !line->empty() && line->back() == '\r')
        line->pop_back();
    return true;
}

std::vector<RecordLine> ReadRecords(const std::string& text, std::vector<std::string>* bad) {
    std::vector<RecordLine> lines;
    std::size_t start = 0;
    std::string line;
    for (int number = 1; NextLine(text, &start, &line); ++number) {
        RecordLine record;
        std::string why;
        if (line.empty())
            why = "empty";
        else if (ParseRecordLine(line, &record, &why)) {
            lines.push_back(record);
            continue;
        }
        bad->push_back("line " + std::to_string(number) + ": " + why);
    }
    return lines;
}

FileError WriteIntents(std::vector<Recorder>& recorders, std::string* path) {
    // One write for every record file the recorders name (one, as a rule).
    for (std::size_t i = 0; i < recorders.size(); ++i) {
        if (!recorders[i].on)
            continue;
        bool written = false;
        for (std::size_t j = 0; j < i; ++j)
            written = written || (recorders[j].on && recorders[j].path == recorders[i].path);
        if (written)
            continue;
        std::vector<RecordLine> lines;
        for (Recorder& recorder : recorders) {
            if (!recorder.on || recorder.path != recorders[i].path)
                continue;
            recorder.line.time = LocalTimeText();
            recorder.line.event = "intent";
            lines.push_back(recorder.line);
        }
        if (const FileError error = AppendRecords(recorders[i].path, lines); error.fault != FileFault::None) {
            *path = recorders[i].path;
            return error;
        }
    }
    return FileError{};
}

FileError WriteAfter(Recorder& recorder, const char* event, const std::string& outcome, const std::string& reason) {
    if (!recorder.on)
        return FileError{};
    recorder.line.time = LocalTimeText();
    recorder.line.event = event;
    recorder.line.outcome = outcome;
    recorder.line.reason = reason;
    return AppendRecords(recorder.path, {recorder.line});
}

bool EachRecord(std::FILE* file, void* context, void (*use)(void* context, const RecordLine& line),
                void (*skipped)(void* context, const std::string& why), int* error) {
    LineReader reader;
    reader.file = file;
    std::string text;
    bool tooLong = false;
    for (int number = 1; ReadLine(reader, &text, &tooLong); ++number) {
        RecordLine record;
        std::string why;
        if (tooLong)
            why = "longer than " + std::to_string(MaxRecordLineBytes) + " bytes";
        else if (text.empty())
            why = "empty";
        else if (ParseRecordLine(text, &record, &why)) {
            use(context, record);
            continue;
        }
        if (skipped != nullptr)
            skipped(context, "line " + std::to_string(number) + ": " + why);
    }
    *error = reader.error;
    return reader.error == 0;
}

}  // namespace scout::ops
