// scout-cli audit's run: the list read, one search, the results said, the
// report written (see cli_audit.h).
#include <cerrno>
#include <cstring>
#include <deque>

#include "cli/cli_audit.h"
#include "cli/cli_report.h"
#include "cli/cli_session.h"
#include "cli/cli_words.h"
#include "net/error_report.h"
#include "ops/record.h"
#include "ops/text.h"
#include "scout_version.h"
#include "ops/host.h"
#include "ops/sha256.h"
#include "ops/files.h"

namespace scout::cli {

constexpr const char* DefaultTitle = "Controller acceptance";
// The changes a report shows at most, the newest.
constexpr std::size_t ReportChanges = 500;

namespace {

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

int RunAudit(Session& session) {
    const Options& options = session.options;
    const char* path = options.operands[0];
    std::string text, problem;
    if (!ReadInputFile(path, "the expected list", MaxExpectedBytes, &text, &problem)) {
        Say(problem);
        return ExitUsage;
    }
    std::vector<ListFault> faults;
    ExpectedList expected = ReadExpected(text, &faults);
    if (!faults.empty()) {
        for (const ListFault& fault : faults)
            Say(InputName(path) + (fault.line != 0 ? ", " : ": ") + ListFaultText(fault));
        return ExitUsage;
    }
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

    CliList list;
    Observe(session, &list);
    const SearchFrontEnd frontEnd = MakeCliFrontEnd(&list);
    Interfaces interfaces(session.platform);
    std::vector<BroadcastInterface> where;
    int exitCode = ExitOk;
    if (!ChooseInterfaces(session, frontEnd, interfaces, &where, &exitCode))
        return exitCode;
    // The list as this workstation knows its interfaces: one interface however it is named.
    AuditScope scope{where, KnownInterfaces(session, interfaces.table)};
    faults = ResolveInterfaces(expected, scope.all);
    for (const ListFault& own : OwnAddressFaults(expected, OwnAddresses(interfaces.table)))
        faults.push_back(own);
    if (!faults.empty()) {
        for (const ListFault& fault : faults)
            Say(InputName(path) + ", " + ListFaultText(fault));
        return ExitUsage;
    }
    Status(session, "looking for the list's " + Count(expected.rows.size(), "controller", "controllers") + " on " +
                        Count(where.size(), "interface", "interfaces"));
    const Looked looked = Search(session, list, PlanOfLook(session, where));
    const std::vector<bool>& cutShort = looked.cutShort;
    const std::vector<AuditResult> results = AuditLine(expected, list.rows, &scope);
    Print(RenderAudit(expected, results, options.format, session.render));
    int code = 0;
    const bool frames = session.platform.neighbourWay != nullptr &&
                        session.platform.neighbourWay(session.platform.context, &code) == NeighbourWay::Probe;
    if (const std::string hint = UnreadHint(results, frames); !hint.empty() && !options.quiet)
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
        for (std::size_t i = 0; i < interfaces.table.skippedCount; ++i)
            facts.skipped.push_back(LabelOf(session.names, interfaces.table.skipped[i].entry) + ": " +
                                    SkipReasonText(interfaces.table.skipped[i].reason));
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
