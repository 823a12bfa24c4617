// What changed from one search to the next (see cli_changes.h).
#include "cli/cli_changes.h"

#include <cstring>

#include "cli/cli_text.h"

namespace scout::cli {
namespace {

bool SameTexts(const CliRow& a, const CliRow& b) {
    return std::strcmp(a.model, b.model) == 0 && std::strcmp(a.version, b.version) == 0 &&
           std::strcmp(a.revision, b.revision) == 0;
}

bool SamePlace(const CliRow& a, const CliRow& b) {
    return SameInterface(a.via, b.via) && std::strcmp(a.address, b.address) == 0;
}

bool Failed(const std::vector<BroadcastInterface>& failed, const BroadcastInterface& entry) {
    for (const BroadcastInterface& f : failed)
        if (SameInterface(f, entry))
            return true;
    return false;
}

}  // namespace

std::vector<Change> CompareSearch(WatchState& state, const std::vector<CliRow>& rows,
                                  const std::vector<BroadcastInterface>& failed) {
    std::vector<Change> changes;
    std::vector<bool> seen(state.known.size(), false);
    std::vector<bool> handled(rows.size(), false);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (handled[r])
            continue;
        // Every reply from this address on this interface, this search.
        std::vector<const CliRow*> here;
        for (std::size_t o = r; o < rows.size(); ++o) {
            if (!handled[o] && SamePlace(rows[r], rows[o])) {
                handled[o] = true;
                here.push_back(&rows[o]);
            }
        }
        const int count = static_cast<int>(here.size());
        std::size_t k = 0;
        while (k < state.known.size() && !SamePlace(state.known[k].row, rows[r]))
            ++k;
        if (k == state.known.size()) {
            state.known.push_back(KnownController{rows[r], 0, count > 1});
            seen.push_back(true);
            changes.push_back(Change{ChangeKind::Appeared, rows[r], 1});
            if (count > 1)
                changes.push_back(Change{ChangeKind::Duplicate, rows[r], count});
            continue;
        }
        KnownController& known = state.known[k];
        seen[k] = true;
        known.misses = 0;
        bool sameTexts = false;
        for (const CliRow* row : here)
            sameTexts = sameTexts || SameTexts(*row, known.row);
        if (!sameTexts) {
            known.row = rows[r];
            changes.push_back(Change{ChangeKind::Changed, rows[r], 1});
        }
        if (count > 1 && !known.duplicate)
            changes.push_back(Change{ChangeKind::Duplicate, rows[r], count});
        else if (count == 1 && known.duplicate)
            changes.push_back(Change{ChangeKind::DuplicateEnded, rows[r], 1});
        known.duplicate = count > 1;
    }
    std::vector<KnownController> kept;
    for (std::size_t k = 0; k < state.known.size(); ++k) {
        KnownController& known = state.known[k];
        if (!seen[k] && !Failed(failed, known.row.via) && ++known.misses >= 2) {
            changes.push_back(Change{ChangeKind::Gone, known.row, 1});
            continue;
        }
        kept.push_back(known);
    }
    state.known = kept;
    return changes;
}

const char* ChangeSign(ChangeKind kind) {
    switch (kind) {
    case ChangeKind::Appeared: return "+";
    case ChangeKind::Gone: return "-";
    case ChangeKind::Changed: return "~";
    case ChangeKind::Duplicate:
    case ChangeKind::DuplicateEnded: return "!";
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
    }
    return "";
}

std::string WatchHeader(OutputFormat format, const RenderOptions& options) {
    if (!options.header || format == OutputFormat::Json)
        return "";
    if (format == OutputFormat::Table)
        return "Time        " + StreamHeader();
    std::vector<std::string> headers = {"Event", "Time"};
    for (const std::string& header : CsvRowHeaders())
        headers.push_back(header);
    headers.push_back("Count");
    std::string out;
    AppendCsvFields(out, headers, options.lineEnd);
    return out;
}

std::string RenderChange(const Change& change, const std::string& time, OutputFormat format,
                         const RenderOptions& options) {
    switch (format) {
    case OutputFormat::Json: {
        std::string out = "{";
        AppendJsonKey(out, "time", time, true);
        AppendJsonKey(out, "event", ChangeName(change.kind));
        out += ", " + JsonRowKeys(change.row);
        if (change.kind == ChangeKind::Duplicate)
            out += ", \"count\": " + std::to_string(change.count);
        return out + "}\n";
    }
    case OutputFormat::Csv: {
        std::vector<std::string> fields = {ChangeName(change.kind), time};
        for (const std::string& field : CsvRowFields(change.row))
            fields.push_back(field);
        fields.push_back(std::to_string(change.count));
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
