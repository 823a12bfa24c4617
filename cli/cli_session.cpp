// One run of scout-cli (see cli_session.h).
#include "cli/cli_session.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/cli_command.h"
#include "cli/cli_doctor.h"
#include "cli/cli_text.h"
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
    Status(session, "searching " + Describe(session, entry) + " (" + std::to_string(position) + "/" +
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
            Say("port " + std::to_string(ToolPort) + " on " + Describe(session, entry) + " is held by " +
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

void OnRow(void* observer, const CliRow& row) {
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
    if (g_outputError != EPIPE) {
        std::fprintf(stderr, "scout-cli: cannot write the output: %s\n", std::strerror(g_outputError));
        std::fflush(stderr);
    } else if (g_commandSent) {
        std::fputs("scout-cli: cannot write the output: its reader went away; the command was sent\n", stderr);
        std::fflush(stderr);
    }
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
    std::fputs(("scout-cli: " + line + "\n").c_str(), stderr);
    std::fflush(stderr);
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

std::string Describe(Session& session, const BroadcastInterface& entry) {
    return InterfaceLabel(InterfaceNameOf(session.names, entry).c_str(), AddressString(entry.address).c_str());
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
    BroadcastInterface entry{};
    std::string problem;
    if (!FindInterface(session.names, table, session.options.interfaceChoice, &entry, &problem)) {
        *exitCode = UsageError(problem);
        return false;
    }
    chosen->push_back(entry);
    return true;
}

std::vector<NetAddress> OwnAddresses(const InterfaceTable& table) {
    std::vector<NetAddress> own;
    for (std::size_t i = 0; i < table.count; ++i)
        own.push_back(table.entries[i].address);
    for (std::size_t i = 0; i < table.skippedCount; ++i)
        own.push_back(table.skipped[i].entry.address);
    return own;
}

SearchOutcome Search(Session& session, const SearchFrontEnd& frontEnd, const std::vector<BroadcastInterface>& where,
                     std::vector<bool>* cutShort) {
    std::unique_ptr<bool[]> flags(new bool[where.size() + 1]());
    SearchPlan plan;
    plan.interfaces = where.data();
    plan.count = where.size();
    plan.windowMs = session.options.windowMs;
    plan.allAtOnce = session.options.allAtOnce;
    plan.cutShort = flags.get();
    const SearchOutcome outcome = SearchInterfaces(session.platform, frontEnd, plan);
    if (cutShort != nullptr)
        cutShort->assign(flags.get(), flags.get() + where.size());
    return outcome;
}

void Look(const NetPlatform& platform, const SearchFrontEnd& frontEnd, const std::vector<BroadcastInterface>& where,
          std::uint32_t windowMs) {
    SearchPlan plan;
    plan.interfaces = where.data();
    plan.count = where.size();
    plan.windowMs = windowMs;
    plan.allAtOnce = true;
    SearchInterfaces(platform, frontEnd, plan);
}

std::string Seconds(std::uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", ms / 1000.0);
    return text;
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
    const std::string problem = WriteIntent(recorder);
    if (!problem.empty())
        Say(problem);
    return problem.empty();
}

void RecordAfter(Recorder& recorder, const char* event, const std::string& outcome, const std::string& reason) {
    const std::string problem = WriteAfter(recorder, event, outcome, reason);
    if (!problem.empty())
        Say(problem);
}

}  // namespace scout::cli
