// The searches of scout-cli (see cli_look.h).
#include "cli/cli_look.h"

#include "cli/cli_render.h"
#include "cli/cli_words.h"
#include "cli/console.h"
#include "ops/doctor.h"
#include "ops/text.h"

namespace scout::cli {
namespace {

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

void Observe(Session& session, CliList* list) {
    list->names = &session.names;
    list->observer = &session;
    list->interfaceBegins = OnInterface;
    list->rowAdded = OnRow;
    list->portHeld = OnPortHeld;
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

bool ReadsReplyFrames(const NetPlatform& platform) {
    int code = 0;
    return platform.neighbourWay != nullptr && platform.neighbourWay(platform.context, &code) == NeighbourWay::Probe;
}

bool StartWatcher(Watcher& watcher, Interfaces& interfaces, int* exitCode, bool loadOnly) {
    watcher.list.names = &watcher.session.names;
    watcher.list.sayOnce = true;
    if (!loadOnly)
        return ChooseInterfaces(watcher.session, MakeCliFrontEnd(&watcher.list), interfaces, &watcher.where, exitCode);
    if (interfaces.Load(MakeCliFrontEnd(&watcher.list)))
        return true;
    *exitCode = ExitFailure;
    return false;
}

void SearchOnce(Watcher& watcher) {
    const NetPlatform& platform = watcher.session.platform;
    watcher.startedAt = platform.now(platform.context);
    watcher.last = Search(watcher.session, watcher.list, PlanOfLook(watcher.session, watcher.where));
    watcher.searchMs = platform.now(platform.context) - watcher.startedAt;
    watcher.failed.clear();
    for (std::size_t i = 0; i < watcher.where.size(); ++i)
        if (watcher.last.cutShort[i])
            watcher.failed.push_back(watcher.where[i]);
}

bool AwaitNextSearch(Watcher& watcher) {
    const NetPlatform& platform = watcher.session.platform;
    const std::uint32_t interval = watcher.session.options.intervalMs;
    for (;;) {
        if (Interrupted() != 0 || StandardOutputGone())
            return false;
        const std::uint32_t passed = platform.now(platform.context) - watcher.startedAt;
        if (passed >= interval)
            return true;
        platform.sleep(platform.context, interval - passed < 50 ? interval - passed : 50);
    }
}

}  // namespace scout::cli
