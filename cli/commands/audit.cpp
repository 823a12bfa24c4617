// scout-cli audit EXPECTED: the line held against what it should be. The
// list read (ops/expected), the report's file checked, one search, the rule
// (ops/audit), the results said (cli_audit) and the report written
// (cli_report).
#include <cerrno>
#include <cstring>
#include <deque>

#include "cli/cli_audit.h"
#include "cli/cli_input.h"
#include "cli/cli_interfaces.h"
#include "cli/cli_look.h"
#include "cli/cli_record.h"
#include "cli/cli_report.h"
#include "cli/cli_words.h"
#include "cli/commands/commands.h"
#include "net/error_report.h"
#include "ops/files.h"
#include "ops/host.h"
#include "ops/record.h"
#include "ops/sha256.h"
#include "ops/text.h"
#include "scout_version.h"

namespace scout::cli {

constexpr const char* DefaultTitle = "Controller acceptance";
// The changes a report shows at most, the newest.
constexpr std::size_t ReportChanges = 500;

namespace {

constexpr OptionUse CommandOptions[] = {
    {OptionId::Report, "write the acceptance report, one HTML page: what was\n"
                       "searched, every result, the list's SHA-256 and the record's\n"
                       "changes of its controllers"},
    {OptionId::Title},
    {OptionId::Interface, "only this interface (a row of another is not searched)"},
    {OptionId::Window},
    {OptionId::Log, "the record of changes whose lines the report shows\n(default: as the commands')"},
    {OptionId::Json}, {OptionId::Csv}, {OptionId::NoHeader}, {OptionId::Quiet},
};

// The record's lines about the results' addresses, the newest ReportChanges.
std::vector<RecordLine> RecordedChanges(const Session& session, const std::vector<AuditResult>& results) {
    const std::string path = RecordPath(session.options);
    std::FILE* file = nullptr;
    const FileError error = OpenRegularFile(path, &file);
    if (error.fault != FileFault::None) {
        if (error.fault != FileFault::Missing || session.options.logPath != nullptr)
            Say("warning: the report holds no changes: cannot read the record of changes " + SafeText(path.c_str()) +
                ": " + FileErrorText(error));
        return {};
    }
    struct Keep {
        std::vector<std::string> addresses;
        std::deque<RecordLine> kept;
    } keep{ResultAddresses(results), {}};
    int code = 0;
    const bool read = EachRecord(
        file, &keep,
        [](void* context, const RecordLine& line) {
            Keep& k = *static_cast<Keep*>(context);
            if (!ChangeAbout(line, k.addresses))
                return;
            k.kept.push_back(line);
            if (k.kept.size() > ReportChanges)
                k.kept.pop_front();
        },
        nullptr, &code);
    std::fclose(file);
    if (!read)
        Say("warning: the report holds the changes read so far: the record of changes " + SafeText(path.c_str()) +
            " could not be read to its end: " + std::strerror(code));
    return std::vector<RecordLine>(keep.kept.begin(), keep.kept.end());
}

}  // namespace

const CommandHelp AuditHelp = {
    .usage = "scout-cli audit EXPECTED [--report FILE] [--title TEXT] [--interface ADDRESS|NAME]\n"
             "                         [--window MS] [--log FILE] [--json|--csv] [--no-header] [-q]",
    .about = "the line against what it should be: EXPECTED is a CSV file\n"
             "(- for standard input) with a header naming its columns:\n"
             "address (or IP ADDR), model, version, revision, interface, mac,\n"
             "name; an empty cell is any, a version may be a minimum (>=2.14);\n"
             "search --csv writes one. One search, then one result per row\n"
             "and per controller no row names: ok, mismatch (the fields\n"
             "named), missing, duplicate, unexpected; exit 0 when all are\n"
             "ok, 1 when not, 2 for a fault of the list (each with its line).\n"
             "--report FILE writes the acceptance report, one HTML page",
    .options = CommandOptions,
    .examples = "scout-cli audit line4.csv --report line4.html --title \"Line 4 acceptance\"",
};

int RunAudit(Session& session) {
    const Options& options = session.options;
    const char* path = options.operands[0];
    std::string text;
    ExpectedList expected;
    if (!ReadDesignList(path, &expected, &text))
        return ExitUsage;
    std::string digest;
    if (options.reportPath != nullptr && !Sha256Hex(text, &digest))
        digest = "(not computed: this system has no SHA-256)";
    // A report that could not be written is known before the line is searched.
    const std::vector<std::string> spared = SparedFiles(options, path);
    if (options.reportPath != nullptr) {
        if (const FileError error = CheckWholeFile(options.reportPath, spared); error.fault != FileFault::None) {
            Say("cannot write the report " + SafeText(options.reportPath) + ": " + FileErrorText(error));
            return ExitSentUnreported;
        }
    }

    Opened run(session);
    int exitCode = ExitOk;
    if (!Open(session, run, &exitCode))
        return exitCode;
    CliList& list = run.list;
    const std::vector<BroadcastInterface>& where = run.where;
    const InterfaceTable& table = run.interfaces.table;
    AuditScope scope{where, {}};
    if (!HoldListHere(session, path, expected, table, &scope.all))
        return ExitUsage;
    Status(session, "looking for the list's " + Count(expected.rows.size(), "controller", "controllers") + " on " +
                        Count(where.size(), "interface", "interfaces"));
    const Looked looked = Search(session, list, PlanOfLook(session, where));
    const std::vector<bool>& cutShort = looked.cutShort;
    const std::vector<AuditResult> results = AuditLine(expected, list.rows, &scope);
    Print(RenderAudit(expected, results, options.format, session.render));
    const std::string hint = UnreadHint(results, ReadsReplyFrames(session.platform));
    if (!hint.empty() && !options.quiet)
        Say(hint);
    if (options.reportPath != nullptr) {
        ReportFacts facts;
        facts.title = options.title != nullptr ? options.title : DefaultTitle;
        facts.time = LocalTimeText();
        facts.host = HostName();
        facts.user = UserName();
        facts.version = SCOUT_VERSION_TEXT;
        for (const BroadcastInterface& entry : where)
            facts.searched.push_back(LabelOf(session.names, entry) +
                                     (cutShort.size() > 0 && cutShort[static_cast<std::size_t>(&entry - where.data())]
                                          ? " (the search failed: said above)"
                                          : ""));
        for (std::size_t i = 0; i < table.skippedCount; ++i)
            facts.skipped.push_back(LabelOf(session.names, table.skipped[i].entry) + ": " +
                                    SkipReasonText(table.skipped[i].reason));
        facts.expectedName = std::strcmp(path, "-") == 0 ? "standard input" : path;
        facts.expectedSha256 = digest;
        facts.expected = &expected;
        facts.results = &results;
        facts.changes = RecordedChanges(session, results);
        if (const FileError error = WriteWholeFile(options.reportPath, AuditReportHtml(facts), spared);
            error.fault != FileFault::None) {
            Say("cannot write the report " + SafeText(options.reportPath) + ": " + FileErrorText(error));
            return ExitSentUnreported;
        }
    }
    if (looked.outcome.reportedFailure)
        return ExitFailure;
    return AuditExit(results);
}

}  // namespace scout::cli
