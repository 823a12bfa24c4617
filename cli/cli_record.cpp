// scout-cli's side of the record of changes (see cli_record.h).
#include "cli/cli_record.h"

#include <cstring>

#include "ops/answers.h"
#include "ops/host.h"
#include "ops/text.h"

namespace scout::cli {

std::string RecordPath(const Options& options) {
    return options.logPath != nullptr ? options.logPath : DefaultRecordPath();
}

Recorder MakeRecorder(const Options& options, InterfaceNames& names, const CommandRequest& request,
                      const Decision& decision) {
    Recorder recorder;
    recorder.on = !options.noLog && !options.dryRun;
    recorder.path = RecordPath(options);
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
        // The target's MAC where its replies tell one controller (not several with --all).
        std::vector<const Reply*> target;
        for (const Reply& row : decision.targetRows)
            target.push_back(&row);
        if (target.size() == 1 || WhoShares(target).who == WhoAnswers::OneMac)
            line.mac = RowMacText(decision.targetRows[0]);
    }
    return recorder;
}

namespace {

// What a handover needs of each line: who did what to which controller,
// where it answers now, and how long that took.
constexpr const char* HistoryHeaders[] = {"Time",      "User",       "Event",      "Command", "Target",
                                          "Model",     "Version",    "Revision",   "Interface", "New address",
                                          "Answers at", "Outcome",   "Seconds"};
constexpr int HistoryColumns = 13;

std::vector<std::string> HistoryCells(const RecordLine& line) {
    const std::string where = InterfaceLabel(line.interfaceName.c_str(), line.interfaceAddress.c_str());
    return {line.time,   line.user,       line.event,     line.command,   line.target,
            line.model,  line.version,    line.revision,  where,          line.newAddress,
            line.answersAt, line.outcome.empty() ? line.reason : line.outcome, line.seconds};
}

// One pass over the record with a function of the caller's for each record.
template <typename Use>
bool EachRecordDo(std::FILE* file, const HistoryOutput* out, int* error, Use use) {
    struct Pass {
        Use& use;
        const HistoryOutput* out;
    } pass{use, out};
    void (*skipped)(void*, const std::string&) = nullptr;
    if (out != nullptr)
        skipped = [](void* context, const std::string& why) {
            const Pass& p = *static_cast<Pass*>(context);
            p.out->skipped(p.out->context, why);
        };
    return EachRecord(
        file, &pass, [](void* context, const RecordLine& line) { static_cast<Pass*>(context)->use(line); }, skipped,
        error);
}

}  // namespace

std::string EmptyHistory(OutputFormat format, const RenderOptions& options) {
    return format == OutputFormat::Json ? "[]\n" : RenderStrings(HistoryHeaders, HistoryColumns, {}, format, options);
}

bool StreamHistory(std::FILE* file, OutputFormat format, const RenderOptions& options, const HistoryOutput& out,
                   int* error) {
    if (format == OutputFormat::Json) {
        bool first = true;
        const bool read = EachRecordDo(file, &out, error, [&](const RecordLine& line) {
            out.write(out.context, (first ? "[\n  " : ",\n  ") + RecordJson(line));
            first = false;
        });
        out.write(out.context, first ? "[]\n" : "\n]\n");
        return read;
    }
    if (format == OutputFormat::Csv) {
        if (options.header)
            out.write(out.context, CsvStrings(std::vector<std::string>(HistoryHeaders, HistoryHeaders + HistoryColumns),
                                              options.lineEnd));
        return EachRecordDo(file, &out, error,
                          [&](const RecordLine& line) { out.write(out.context, CsvStrings(HistoryCells(line), options.lineEnd)); });
    }
    // The table: its widths over every line first, then the lines.
    ColumnWidths columns;
    if (options.header)
        MeasureHeaders(columns, HistoryHeaders, HistoryColumns);
    if (!EachRecordDo(file, &out, error, [&](const RecordLine& line) { MeasureStrings(columns, HistoryCells(line)); }))
        return false;
    std::rewind(file);
    if (options.header)
        out.write(out.context, AlignedHeaders(columns, HistoryHeaders, HistoryColumns));
    return EachRecordDo(file, nullptr, error,
                      [&](const RecordLine& line) { out.write(out.context, AlignedStrings(columns, HistoryCells(line))); });
}

}  // namespace scout::cli
