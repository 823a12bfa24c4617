// The record of changes (see cli_record.h).
#include "cli/cli_record.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/cli_text.h"

namespace scout::cli {
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
    {"datagram", &RecordLine::datagram},   {"outcome", &RecordLine::outcome},
    {"seconds", &RecordLine::seconds},     {"reason", &RecordLine::reason},
};

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

// One line as this program writes it: an object of string values.
bool ParseRecord(const std::string& text, RecordLine* line, std::string* why) {
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
        if (at >= text.size() || text[at++] != '"' || !ReadString(text, &at, &value)) {
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

}  // namespace

std::string RecordJson(const RecordLine& line) {
    std::string out = "{";
    bool first = true;
    for (const Field& field : Fields) {
        const std::string& value = line.*field.member;
        if (value.empty() && first == false && std::strcmp(field.key, "event") != 0)
            continue;  // only what the line has
        AppendJsonKey(out, field.key, ValidUtf8(value.c_str()), first);
        first = false;
    }
    return out + "}";
}

int AppendRecord(const std::string& path, const RecordLine& line) {
    if (!MakeParentFolder(path))
        return errno != 0 ? errno : EIO;
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr)
        return errno != 0 ? errno : EIO;
    const std::string text = RecordJson(line) + "\n";
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0;
    const int code = errno;
    if (std::fclose(file) != 0 || !written)
        return code != 0 ? code : errno != 0 ? errno : EIO;
    return 0;
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
        else if (ParseRecord(line, &record, &why)) {
            lines.push_back(record);
            continue;
        }
        bad->push_back("line " + std::to_string(number) + ": " + why);
    }
    return lines;
}

Recorder MakeRecorder(const Options& options, InterfaceNames& names, const CommandRequest& request,
                      const Decision& decision) {
    Recorder recorder;
    recorder.on = !options.noLog && !options.dryRun;
    recorder.path = options.logPath != nullptr ? options.logPath : DefaultRecordPath();
    RecordLine& line = recorder.line;
    line.host = HostName();
    line.user = UserName();
    line.command = options.commandName;
    line.target = AddressString(request.target);
    if (decision.send || decision.via.address != AnyAddress) {
        line.interfaceName = InterfaceNameOf(names, decision.via);
        line.interfaceAddress = AddressString(decision.via.address);
    }
    if (request.kind == CommandKind::Reconfigure) {
        line.newAddress = AddressString(request.values.address);
        line.mask = AddressString(request.values.mask);
        line.gateway = AddressString(request.values.gateway);
    }
    if (!decision.targetRows.empty()) {
        line.model = DecodeWindows1252(decision.targetRows[0].model);
        line.version = DecodeWindows1252(decision.targetRows[0].version);
        line.revision = DecodeWindows1252(decision.targetRows[0].revision);
    }
    return recorder;
}

std::string WriteIntent(Recorder& recorder) {
    if (!recorder.on)
        return "";
    recorder.line.time = LocalTimeText();
    recorder.line.event = "intent";
    if (const int code = AppendRecord(recorder.path, recorder.line); code != 0)
        return "cannot write the record of changes " + SafeText(recorder.path.c_str()) + ": " + std::strerror(code) +
               "; nothing was sent (--log FILE records elsewhere, --no-log sends without a record)";
    return "";
}

std::string WriteAfter(Recorder& recorder, const char* event, const std::string& outcome, const std::string& reason) {
    if (!recorder.on)
        return "";
    recorder.line.time = LocalTimeText();
    recorder.line.event = event;
    recorder.line.outcome = outcome;
    recorder.line.reason = reason;
    if (const int code = AppendRecord(recorder.path, recorder.line); code != 0)
        return "warning: cannot write the record of changes " + SafeText(recorder.path.c_str()) + ": " +
               std::strerror(code);
    return "";
}

bool ReadRecordFile(const std::string& path, std::string* text, std::string* problem) {
    text->clear();
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        if (errno == ENOENT)
            return true;
        *problem = "cannot read the record of changes " + SafeText(path.c_str()) + ": " + std::strerror(errno);
        return false;
    }
    char chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        text->append(chunk, got);
    std::fclose(file);
    return true;
}

std::string RenderHistory(const std::vector<RecordLine>& lines, OutputFormat format, const RenderOptions& options) {
    std::string out;
    if (format == OutputFormat::Json) {
        out = lines.empty() ? "[]\n" : "[\n";
        for (std::size_t i = 0; i < lines.size(); ++i)
            out += "  " + RecordJson(lines[i]) + (i + 1 < lines.size() ? ",\n" : "\n]\n");
        return out;
    }
    const char* headers[] = {"Time", "Event", "Command", "Target", "Interface", "New address", "Outcome"};
    std::vector<std::vector<std::string>> rows;
    for (const RecordLine& line : lines) {
        const std::string where = InterfaceLabel(line.interfaceName.c_str(), line.interfaceAddress.c_str());
        rows.push_back({line.time, line.event, line.command, line.target, where, line.newAddress,
                        line.outcome.empty() ? line.reason : line.outcome});
    }
    return RenderStrings(headers, 7, rows, format, options);
}

}  // namespace scout::cli
