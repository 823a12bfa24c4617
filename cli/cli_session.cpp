// One run of scout-cli (see cli_session.h).
#include "cli/cli_session.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/cli_words.h"
#include "ops/command_path.h"
#include "ops/doctor.h"
#include "ops/text.h"
#include "cli/cli_render.h"
#include "cli/console.h"
#include "net/address.h"
#include "net/error_report.h"

namespace scout::cli {
namespace {

// Standard output: every write checked, the first failure kept for the end.
int g_outputError = 0;
// Once a command went out, an output that cannot be written has its own exit
// status, so that a script does not send it twice.
bool g_commandSent = false;
// The reader went away, and the run ends on that with its own status.
bool g_outputGone = false;

void OnInterface(void* observer, const BroadcastInterface& entry, std::size_t position, std::size_t count) {
    auto& session = *static_cast<Session*>(observer);
    Status(session, "searching " + LabelOf(session.names, entry) + " (" + std::to_string(position) + "/" +
                        std::to_string(count) + ")" + (session.options.allAtOnce ? ", all at once" : ""));
}

// The holders of the tool's port other than this process, as doctor names them.
std::vector<std::string> OtherHolders(const BroadcastInterface& entry) {
    std::vector<std::string> others;
    const std::string own = "(pid " + std::to_string(CurrentProcessId()) + ")";
    const std::string holders = SystemDoctor().portHolder(entry.address, ToolPort);
    for (std::size_t start = 0; start < holders.size();) {
        std::size_t end = holders.find(", ", start);
        if (end == std::string::npos)
            end = holders.size();
        const std::string holder = holders.substr(start, end - start);
        // This process's own sockets on other interfaces are none; a holder
        // the system cannot name (pid 0: a socket of the Linux host under
        // Wine) is left unnamed.
        if (holder.find(own) == std::string::npos && holder.find("(pid 0)") == std::string::npos &&
            holder.compare(0, 8, "unknown:") != 0)
            others.push_back(holder);
        start = end + 2;
    }
    return others;
}

// Another scout-cli (a watch between its windows, a command of another
// terminal) holds the port only while it searches: it is waited for, up to
// the bound, said once. Another program is named, and not waited for.
bool OnPortHeld(void* observer, const BroadcastInterface& entry, std::uint32_t waitedMs) {
    auto& session = *static_cast<Session*>(observer);
    if (waitedMs == 0) {
        const std::vector<std::string> others = OtherHolders(entry);
        bool scout = others.empty();  // where none can be named, it may be one
        for (const std::string& holder : others)
            scout = scout || holder.compare(0, 9, "scout-cli") == 0;
        const std::string named = others.empty() ? std::string("a program this user may not name") : others[0];
        if (!scout) {
            Say("port " + std::to_string(ToolPort) + " on " + LabelOf(session.names, entry) + " is held by " +
                SafeText(named.c_str()) + ", another program");
            return false;
        }
        if (!session.saidPortWait) {
            session.saidPortWait = true;
            Say("waiting for port " + std::to_string(ToolPort) + ", held by " + SafeText(named.c_str()));
        }
    }
    return waitedMs < session.options.portWaitMs;
}

void OnRow(void* observer, const Reply& row) {
    if (static_cast<Session*>(observer)->streamRows)
        Print(StreamRow(row));
}

}  // namespace

void Print(const std::string& text) {
    if (g_outputError != 0 || text.empty())
        return;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        g_outputError = errno != 0 ? errno : EIO;
}

// The status after everything was written: a failed write, flush or close of
// standard output is a failure, said once (a reader that went away, as
// `| head -1` does, is not told about).
int FinishOutput(int status) {
    if (g_outputGone)
        return status;
    errno = 0;
    if (g_outputError == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout) != 0))
        g_outputError = errno != 0 ? errno : EIO;
    if (std::fclose(stdout) != 0 && g_outputError == 0)
        g_outputError = errno != 0 ? errno : EIO;
    if (g_outputError == 0)
        return status;
    // A reader that went away after a command went out is said: the command's
    // result is lost, and a script must not send it again.
    if (g_outputError != EPIPE)
        Say(std::string("cannot write the output: ") + std::strerror(g_outputError));
    else if (g_commandSent)
        Say("cannot write the output: its reader went away; the command was sent");
    if (g_commandSent)
        return ExitSentUnreported;
    return ExitFailure;
}

bool OutputFailed() {
    return g_outputError != 0;
}

bool OutputClosed() {
    return g_outputError == EPIPE || g_outputError == EINVAL;
}

void ForgetClosedOutput() {
    g_outputGone = OutputClosed();
}

void NoteCommandSent() {
    g_commandSent = true;
}

void Say(const std::string& line) {
    WriteErrorLine("scout-cli: " + line + "\n");
}

int UsageError(const std::string& problem) {
    Say(problem);
    std::fputs("Try 'scout-cli --help' for more information.\n", stderr);
    return ExitUsage;
}

void Status(const Session& session, const std::string& line) {
    if (!session.status)
        return;
    std::fputs((line + "\n").c_str(), stderr);
    std::fflush(stderr);
}

void Observe(Session& session, CliList* list) {
    list->names = &session.names;
    list->observer = &session;
    list->interfaceBegins = OnInterface;
    list->rowAdded = OnRow;
    list->portHeld = OnPortHeld;
}

bool Interfaces::Load(const SearchFrontEnd& reports) {
    int code = 0;
    const TableStatus status = platform.loadInterfaces(platform.context, &table, &code);
    if (status == TableStatus::Ok)
        return true;
    ReportTableFailure(reports, platform, status, code);
    return false;
}

std::vector<BroadcastInterface> AllOf(const InterfaceTable& table) {
    return std::vector<BroadcastInterface>(table.entries, table.entries + table.count);
}

std::vector<KnownInterface> KnownInterfaces(Session& session, const InterfaceTable& table) {
    std::vector<KnownInterface> known;
    const auto add = [&](const BroadcastInterface& entry) {
        known.push_back(KnownInterface{entry, InterfaceNameOf(session.names, entry), PrefixOf(session.platform, entry)});
    };
    for (std::size_t i = 0; i < table.count; ++i)
        add(table.entries[i]);
    for (std::size_t i = 0; i < table.skippedCount; ++i)
        add(table.skipped[i].entry);
    return known;
}

bool ChooseInterfaces(Session& session, const SearchFrontEnd& reports, Interfaces& interfaces,
                      std::vector<BroadcastInterface>* chosen, int* exitCode) {
    chosen->clear();
    if (!interfaces.Load(reports)) {
        *exitCode = ExitFailure;
        return false;
    }
    const InterfaceTable& table = interfaces.table;
    if (session.options.interfaceChoice == nullptr) {
        chosen->assign(table.entries, table.entries + table.count);
        return true;
    }
    // Each interface once, however often it is named (by its name and its address).
    for (int c = 0; c < session.options.interfaceChoiceCount; ++c) {
        BroadcastInterface entry{};
        std::string problem;
        if (!FindInterface(session.names, table, session.options.interfaceChoices[c], &entry, &problem)) {
            *exitCode = UsageError(problem);
            return false;
        }
        bool named = false;
        for (const BroadcastInterface& earlier : *chosen)
            named = named || SameInterface(earlier, entry);
        if (!named)
            chosen->push_back(entry);
    }
    return true;
}

LookPlan PlanOfLook(Session& session, const std::vector<BroadcastInterface>& where) {
    LookPlan plan;
    plan.interfaces = where;
    plan.windowMs = session.options.windowMs;
    plan.allAtOnce = session.options.allAtOnce;
    plan.names = &session.names;
    return plan;
}

Looked Search(Session& session, CliList& list, const LookPlan& plan) {
    Looked looked = ops::Look(session.platform, MakeCliFrontEnd(&list), plan);
    list.rows = looked.rows;
    return looked;
}

Looked LookBefore(Session& session, CliList& list, const std::vector<CommandRequest>& requests,
                  const CommandLook& look) {
    Looked looked = ops::LookBeforeCommands(session.platform, MakeCliFrontEnd(&list), requests, look);
    list.rows = looked.rows;
    return looked;
}

std::string SecondsSetting(std::uint32_t ms) {
    if (ms % 1000 == 0)
        return std::to_string(ms / 1000) + " s";
    char text[32];
    std::snprintf(text, sizeof text, "%g s", ms / 1000.0);
    return text;
}

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool RecordIntent(Recorder& recorder) {
    std::vector<Recorder> one{recorder};
    std::string path;
    const FileError error = WriteIntents(one, &path);
    recorder = one[0];
    if (error.fault == FileFault::None)
        return true;
    Say(NothingSentWithoutRecord(path, error));
    return false;
}

std::string NothingSentWithoutRecord(const std::string& path, const FileError& error) {
    return CannotWriteRecord(path, error) +
           "; nothing was sent (--log FILE records elsewhere, --no-log sends without a record)";
}

void RecordAfter(Recorder& recorder, const char* event, const std::string& outcome, const std::string& reason) {
    const FileError error = WriteAfter(recorder, event, outcome, reason);
    if (error.fault != FileFault::None)
        Say("warning: " + CannotWriteRecord(recorder.path, error));
}

namespace {

// --- the command path's front end: scout-cli's looks, words and lines ---

struct PathFront {
    Session& session;
    CliList& list;
};

PathFront& F(void* context) {
    return *static_cast<PathFront*>(context);
}

void PathLook(void* context, const std::vector<BroadcastInterface>& where, std::uint32_t windowMs,
              std::vector<Reply>* rows) {
    PathFront& front = F(context);
    LookPlan plan;
    plan.interfaces = where;
    plan.windowMs = windowMs;
    plan.names = &front.session.names;
    *rows = Search(front.session, front.list, plan).rows;
}

int PathInterrupted(void*) {
    return Interrupted();
}

void PathWentAway(void* context, const Awaited& one, std::uint32_t ms) {
    Status(F(context).session, AddressString(one.request.target) + " went away after " + SecondsOf(ms / 1000.0) + " s");
}

void PathSending(void* context, const Outgoing& command) {
    PathFront& front = F(context);
    Status(front.session, "sending " + command.recorder.line.command + " to " +
                              AddressString(command.awaited.request.target) + " by " +
                              LabelOf(front.session.names, command.awaited.decision.via));
}

void PathSent(void*) {
    NoteCommandSent();
}

void PathWaiting(void* context, const std::vector<Awaited>& awaited) {
    PathFront& front = F(context);
    std::string where;
    for (const BroadcastInterface& entry : StillWatched(awaited))
        where += (where.empty() ? "" : ", ") + LabelOf(front.session.names, entry);
    Status(front.session, "sent; watching " + where + " for the effect (up to " +
                              SecondsSetting(front.session.options.waitMs) + ")");
    WatchInterrupts();
    // The looks are one search after another: no status line and no warning
    // for each; a warning is said once at the end.
    front.list.interfaceBegins = nullptr;
    front.list.holdWarnings = true;
    front.list.warnings.clear();
    front.session.streamRows = false;
}

bool PathLostReplies(void* context) {
    PathFront& front = F(context);
    front.list.holdWarnings = false;
    if (front.list.warnings.empty())
        return false;
    Say("warning: " + front.list.warnings.back());
    return true;
}

std::string PathReason(void* context, const Awaited& awaited) {
    const CliList& list = F(context).list;
    return OnItsOwn(VerdictText(awaited, list.warnings.empty() ? "" : list.warnings.back()), list);
}

void PathNotRecorded(void*, const std::string& path, const FileError& error) {
    Say("warning: " + CannotWriteRecord(path, error));
}

}  // namespace

bool SendAndAwait(Session& session, CliList& list, std::vector<Outgoing>& commands, const std::vector<Reply>& before) {
    PathFront front{session, list};
    const SearchFrontEnd reports = MakeCliFrontEnd(&list);
    PathHooks hooks;
    hooks.context = &front;
    hooks.reports = &reports;
    hooks.sending = PathSending;
    hooks.sent = PathSent;
    hooks.waiting = PathWaiting;
    hooks.looks = Looks{&front, PathLook, PathInterrupted, PathWentAway};
    hooks.lostReplies = PathLostReplies;
    hooks.reason = PathReason;
    hooks.notRecorded = PathNotRecorded;
    PathPlan plan;
    plan.wait = !session.options.noWait;
    plan.limitMs = session.options.waitMs;
    plan.before = before;
    // Where the streamed rows and the interfaces' lines were on, they are after.
    const bool streamed = session.streamRows;
    const auto announce = list.interfaceBegins;
    std::vector<Reply> last;
    FileError error;
    std::string path;
    const bool went = RunCommandPath(session.platform, commands, plan, hooks, &last, &error, &path);
    session.streamRows = streamed;
    list.interfaceBegins = announce;
    list.holdWarnings = false;
    if (!went) {
        Say(NothingSentWithoutRecord(path, error));
        return false;
    }
    list.rows = last;
    return true;
}

bool ReadInputFile(const char* path, const char* what, std::size_t limit, std::string* text, std::string* problem) {
    const bool standardInput = std::strcmp(path, "-") == 0;
    std::FILE* file = stdin;
    if (!standardInput) {
        if (const FileError error = OpenRegularFile(path, &file); error.fault != FileFault::None) {
            *problem = "cannot read " + std::string(what) + " " + SafeText(path) + ": " +
                       (error.fault == FileFault::Missing ? std::string(std::strerror(ENOENT)) : FileErrorText(error));
            return false;
        }
    }
    char chunk[65536];
    std::size_t got = 0;
    errno = 0;
    while (text->size() <= limit && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        text->append(chunk, got);
    const bool failed = std::ferror(file) != 0;
    const int code = errno != 0 ? errno : EIO;
    if (!standardInput)
        std::fclose(file);
    if (failed) {
        *problem = "cannot read " + std::string(what) + " " + SafeText(path) + ": " + std::strerror(code);
        return false;
    }
    return true;
}

std::vector<std::string> SparedFiles(const Options& options, const char* listPath) {
    std::vector<std::string> spared{RecordPath(options)};
    if (listPath != nullptr && std::strcmp(listPath, "-") != 0)
        spared.push_back(listPath);
    return spared;
}

std::string InputName(const char* path) {
    return std::strcmp(path, "-") == 0 ? std::string("standard input") : SafeText(path);
}

}  // namespace scout::cli
