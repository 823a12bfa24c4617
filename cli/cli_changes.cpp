// What watch prints of each change (see cli_changes.h).
#include "cli/cli_changes.h"

#include <cstring>

#include "ops/hosts.h"
#include "ops/text.h"

namespace scout::cli {

const char* ChangeSign(ChangeKind kind) {
    switch (kind) {
    case ChangeKind::Appeared: return "+";
    case ChangeKind::Gone: return "-";
    case ChangeKind::Changed: return "~";
    case ChangeKind::Duplicate:
    case ChangeKind::DuplicateEnded:
    case ChangeKind::Conflict:
    case ChangeKind::Held: return "!";
    case ChangeKind::Readdressed: return ">";
    case ChangeKind::Proposed: return "?";
    }
    return "?";
}

const char* ChangeName(ChangeKind kind) {
    switch (kind) {
    case ChangeKind::Appeared: return "appeared";
    case ChangeKind::Gone: return "gone";
    case ChangeKind::Changed: return "changed";
    case ChangeKind::Duplicate: return "duplicate";
    case ChangeKind::DuplicateEnded: return "duplicate-ended";
    case ChangeKind::Conflict: return "conflict";
    case ChangeKind::Readdressed: return "readdressed";
    case ChangeKind::Held: return "not-readdressed";
    case ChangeKind::Proposed: return "would-readdress";
    }
    return "";
}

std::string ReaddressNote(const Change& change) {
    const std::string replaces =
        change.replacedKnown ? ", in place of MAC " + MacText(change.replaced) : std::string();
    switch (change.kind) {
    case ChangeKind::Readdressed:
        return "readdressed as " + change.rowLabel + " to " + change.newAddress + replaces + "; " + change.detail;
    case ChangeKind::Proposed:
        return "would be readdressed as " + change.rowLabel + " to " + change.newAddress + replaces +
               "; nothing sent (propose)";
    case ChangeKind::Held:
        return "not readdressed: " + change.detail;
    default:
        break;
    }
    return change.detail;
}

std::string ConflictDetail(const Change& change) {
    std::string macs;
    for (const MacAddress& mac : change.macs)
        macs += (macs.empty() ? "" : ", ") + MacText(mac);
    if (change.conflict == ConflictKind::Shared)
        return "MAC " + macs + " answer at this address";
    return "MAC " + MacText(change.macs.front()) + " answered here before, MAC " + MacText(change.macs.back()) +
           " now: another device holds the address";
}

std::string ConflictText(const Change& change) {
    return "address conflict: " + ConflictDetail(change);
}

std::string WatchHeader(OutputFormat format, const RenderOptions& options, bool marked) {
    if (!options.header || format == OutputFormat::Json)
        return "";
    if (format == OutputFormat::Table)
        return "Time        " + StreamHeader();
    std::vector<std::string> headers = {"Event", "Time"};
    for (const std::string& header : CsvRowHeaders())
        headers.push_back(header);
    headers.push_back("Count");
    if (marked)
        headers.push_back("Expected");
    std::string out;
    AppendCsvFields(out, headers, options.lineEnd);
    return out;
}

std::string RenderChange(const Change& change, const std::string& time, OutputFormat format,
                         const RenderOptions& options, const char* expected) {
    switch (format) {
    case OutputFormat::Json: {
        std::string out = "{";
        AppendJsonKey(out, "time", time, true);
        AppendJsonKey(out, "event", ChangeName(change.kind));
        out += ", " + JsonRowKeys(change.row);
        if (change.kind == ChangeKind::Duplicate)
            out += ", \"count\": " + std::to_string(change.count);
        if (change.kind == ChangeKind::Conflict) {
            AppendJsonKey(out, "conflict", change.conflict == ConflictKind::Shared ? "shared" : "replaced");
            out += ", \"macs\": [";
            for (std::size_t i = 0; i < change.macs.size(); ++i)
                out += (i == 0 ? "\"" : ", \"") + MacText(change.macs[i]) + "\"";
            out += "]";
        }
        if (!change.rowLabel.empty())
            AppendJsonKey(out, "row", ValidUtf8(change.rowLabel.c_str()));
        if (!change.newAddress.empty())
            AppendJsonKey(out, "new_address", change.newAddress);
        if (change.replacedKnown)
            AppendJsonKey(out, "replaces", MacText(change.replaced));
        if (!change.detail.empty())
            AppendJsonKey(out, "detail", ValidUtf8(change.detail.c_str()));
        if (expected != nullptr)
            AppendJsonKey(out, "expected", ValidUtf8(expected));
        return out + "}\n";
    }
    case OutputFormat::Csv: {
        std::vector<std::string> fields = {ChangeName(change.kind), time};
        for (const std::string& field : CsvRowFields(change.row))
            fields.push_back(field);
        fields.push_back(std::to_string(change.count));
        if (expected != nullptr)
            fields.push_back(SafeText(expected));
        std::string out;
        AppendCsvFields(out, fields, options.lineEnd);
        return out;
    }
    case OutputFormat::Table:
        break;
    }
    // The time of day of the change (the date is the day's, seen in --json).
    const std::string clock = time.size() >= 19 ? time.substr(11, 8) : std::string(8, ' ');
    std::string line = clock + "  " + ChangeSign(change.kind) + " " + StreamRow(change.row);
    if (expected != nullptr) {
        while (!line.empty() && (line.back() == '\n' || line.back() == ' '))
            line.pop_back();
        line += std::string("  [") + (std::strcmp(expected, "unexpected") == 0 ? "unexpected" : "expected: ") +
                (std::strcmp(expected, "unexpected") == 0 ? std::string() : SafeText(expected)) + "]\n";
    }
    if (change.kind == ChangeKind::Conflict) {
        while (!line.empty() && (line.back() == '\n' || line.back() == ' '))
            line.pop_back();
        return line + "  (" + ConflictText(change) + (change.detail.empty() ? "" : "; " + change.detail) + ")\n";
    }
    if (!ReaddressNote(change).empty()) {
        while (!line.empty() && (line.back() == '\n' || line.back() == ' '))
            line.pop_back();
        return line + "  (" + SafeText(ReaddressNote(change).c_str()) + ")\n";
    }
    if (change.kind == ChangeKind::Duplicate || change.kind == ChangeKind::DuplicateEnded) {
        // The note after the row's columns, on its line.
        while (!line.empty() && (line.back() == '\n' || line.back() == ' '))
            line.pop_back();
        line += change.kind == ChangeKind::Duplicate
                    ? "  (" + std::to_string(change.count) +
                          " replies: several controllers share this address, or one answers twice)\n"
                    : "  (one reply again)\n";
    }
    return line;
}

}  // namespace scout::cli
