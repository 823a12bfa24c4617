// The wait after commands (see cli_wait.h).
#include "cli/cli_wait.h"

#include <string>

#include "cli/cli_render.h"
#include "cli/console.h"

namespace scout::cli {
namespace {

// The interfaces of the commands not yet judged, each once.
std::vector<BroadcastInterface> StillWatched(const std::vector<Awaited>& awaited) {
    std::vector<BroadcastInterface> where;
    for (const Awaited& one : awaited) {
        if (one.verdict.done)
            continue;
        bool known = false;
        for (const BroadcastInterface& entry : where)
            known = known || SameInterface(entry, one.decision.via);
        if (!known)
            where.push_back(one.decision.via);
    }
    return where;
}

std::string Watched(Session& session, const std::vector<BroadcastInterface>& where) {
    std::string text;
    for (const BroadcastInterface& entry : where)
        text += (text.empty() ? "" : ", ") + Describe(session, entry);
    return text;
}

}  // namespace

WaitVerdict NotSent() {
    return WaitVerdict{true, ExitFailure, "send-failed", "it could not be sent", ""};
}

void RecordVerdict(Recorder& recorder, const Awaited& awaited, const CliList& list) {
    recorder.line.seconds = SecondsText(awaited.seconds);
    recorder.line.answersAt = awaited.verdict.answersAt;
    RecordAfter(recorder, "outcome", awaited.verdict.outcome, OnItsOwn(awaited.verdict.message, list));
}

void AwaitEffects(Session& session, std::vector<Awaited>& awaited, const std::vector<CliRow>& before, CliList& list) {
    const NetPlatform& platform = session.platform;
    const SearchFrontEnd frontEnd = MakeCliFrontEnd(&list);
    for (Awaited& one : awaited)
        for (const CliRow& row : before)
            if (SameInterface(row.via, one.decision.via))
                one.watch.answeredBefore.push_back(row.address);
    WatchInterrupts();
    Status(session, "sent; watching " + Watched(session, StillWatched(awaited)) + " for the effect (up to " +
                        SecondsSetting(session.options.waitMs) + ")");
    const std::uint32_t start = platform.now(platform.context);
    const std::uint32_t limit = session.options.waitMs;
    // The looks are one search after another: no status line and no warning
    // for each; a warning is said once at the end.
    const bool streamed = session.streamRows;
    session.streamRows = false;
    const auto announce = list.interfaceBegins;
    list.interfaceBegins = nullptr;
    list.holdWarnings = true;
    list.warnings.clear();
    for (std::vector<BroadcastInterface> where = StillWatched(awaited); !where.empty(); where = StillWatched(awaited)) {
        Look(platform, frontEnd, where, LookWindowMs);
        const std::uint32_t waited = platform.now(platform.context) - start;
        const int interrupted = Interrupted();
        for (Awaited& one : awaited) {
            if (one.verdict.done)
                continue;
            one.seconds = waited / 1000.0;
            if (interrupted != 0) {
                one.verdict = WaitVerdict{true, interrupted, "interrupted",
                                          "the wait was interrupted after " + Seconds(waited) +
                                              "; the command was sent", ""};
                continue;
            }
            const bool goneBefore = one.watch.goneSeen;
            one.verdict = JudgeLook(one.request, one.decision, one.watch, list.rows, one.seconds);
            if (one.watch.goneSeen && !goneBefore)
                Status(session, AddressString(one.request.target) + " went away after " + Seconds(waited));
            if (!one.verdict.done && waited >= limit)
                one.verdict = JudgeEnd(one.request, one.decision, one.watch, list.rows, one.seconds);
        }
    }
    session.streamRows = streamed;
    list.interfaceBegins = announce;
    list.holdWarnings = false;
    if (list.warnings.empty())
        return;
    Say("warning: " + list.warnings.back());
    // The controller's own reply may be among those lost: "not seen" is then
    // no proof (a controller that still answers was seen all the same).
    for (Awaited& one : awaited)
        if (one.verdict.exitCode == ExitNotAnswered && one.verdict.outcome != "still-answers")
            one.verdict.message +=
                "; but replies were lost on the way (the warning above), and the controller's may be among them";
}

}  // namespace scout::cli
