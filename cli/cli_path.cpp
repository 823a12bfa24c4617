// The commands' one path with scout-cli's looks, words and lines (see cli_path.h).
#include "cli/cli_path.h"

#include "cli/cli_look.h"
#include "cli/cli_words.h"
#include "cli/console.h"
#include "ops/text.h"

#include <algorithm>

namespace scout::cli {

SegmentHold::~SegmentHold() {
    for (SegmentLock& lock : locks)
        seam->release(seam->context, &lock);
}

bool HoldSegments(Session& session, std::vector<BroadcastInterface> where, SegmentHold* hold, std::uint32_t waitMs) {
    const NetPlatform& platform = session.platform;
    std::sort(where.begin(), where.end(), [](const BroadcastInterface& a, const BroadcastInterface& b) {
        return HostOrder(a.address) != HostOrder(b.address) ? HostOrder(a.address) < HostOrder(b.address)
                                                            : a.index < b.index;
    });
    if (session.locks == nullptr)
        return true;
    hold->seam = session.locks;
    const auto letGo = [&] {
        for (SegmentLock& lock : hold->locks)
            session.locks->release(session.locks->context, &lock);
        hold->locks.clear();
    };
    for (const BroadcastInterface& via : where) {
        const std::uint32_t began = platform.now(platform.context);
        bool said = false;
        for (;;) {
            SegmentLock lock;
            unsigned long holder = 0;
            std::string program;
            FileError error;
            const LockTry tried = session.locks->tryLock(session.locks->context, via, &lock, &holder, &program, &error);
            if (tried == LockTry::Held) {
                hold->locks.push_back(lock);
                break;
            }
            const std::string label = LabelOf(session.names, via);
            if (tried == LockTry::Failed) {
                Say("cannot take the lock of " + label + " (" + SafeText(lock.name.c_str()) +
                    "), which keeps two programs from sending there at once: " + FileErrorText(error) +
                    "; nothing was sent");
                letGo();
                return false;
            }
            const std::string who = holder != 0 ? (program.empty() ? std::string("process ")
                                                                   : SafeText(program.c_str(), 32) + " (process ") +
                                                      std::to_string(holder) + (program.empty() ? "" : ")")
                                                : std::string("another program");
            const std::uint32_t waited = platform.now(platform.context) - began;
            if (waitMs == 0) {
                Say(who + " sends to " + label + " now; nothing is sent there before the next search");
                letGo();
                return false;
            }
            if (!said) {
                Say("waiting for " + who + ", which sends to " + label + ", up to " + std::to_string(waitMs / 1000) +
                    " s");
                said = true;
            }
            if (waited >= waitMs || Interrupted() != 0) {
                Say(std::string(Interrupted() != 0 ? "interrupted" : "gave up") + " waiting for " + who + " on " +
                    label + "; nothing was sent");
                letGo();
                return false;
            }
            platform.sleep(platform.context, 100);
        }
    }
    return true;
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

}  // namespace scout::cli
