// The one path of every command that goes out (see command_path.h).
#include "ops/command_path.h"

#include "net/controller_commands.h"
#include "ops/text.h"

namespace scout::ops {

bool RunCommandPath(const NetPlatform& platform, std::vector<Outgoing>& commands, const PathPlan& plan,
                    const PathHooks& hooks, std::vector<Reply>* last, FileError* error, std::string* path) {
    // Nothing goes out that the record does not hold first, byte for byte.
    std::vector<Recorder> recorders;
    std::vector<QueryDatagram> datagrams(commands.size());
    for (std::size_t i = 0; i < commands.size(); ++i) {
        BuildDatagram(commands[i].awaited.request, datagrams[i]);
        commands[i].recorder.line.datagram = HexText(datagrams[i].data(), datagrams[i].size());
        recorders.push_back(commands[i].recorder);
    }
    *error = WriteIntents(recorders, path);
    if (error->fault != FileFault::None)
        return false;
    for (std::size_t i = 0; i < commands.size(); ++i)
        commands[i].recorder = recorders[i];

    std::vector<Awaited> awaited;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        Outgoing& command = commands[i];
        if (hooks.sending != nullptr)
            hooks.sending(hooks.context, command);
        const bool sent = SendCommand(platform, *hooks.reports, command.awaited.decision.via, datagrams[i]);
        if (sent && hooks.sent != nullptr)
            hooks.sent(hooks.context);
        if (!sent)
            command.awaited.verdict.kind = OutcomeKind::SendFailed;
        else if (!plan.wait)
            command.awaited.verdict.kind = OutcomeKind::Sent;
        awaited.push_back(command.awaited);
    }
    *last = plan.before;
    if (!StillWatched(awaited).empty()) {
        if (hooks.waiting != nullptr)
            hooks.waiting(hooks.context, awaited);
        AwaitEffects(platform, awaited, plan.before, plan.limitMs, hooks.looks, last);
        if (hooks.lostReplies != nullptr && hooks.lostReplies(hooks.context))
            MarkLostReplies(awaited);
    }
    for (std::size_t i = 0; i < commands.size(); ++i) {
        Outgoing& command = commands[i];
        command.awaited = awaited[i];
        const WaitVerdict& verdict = command.awaited.verdict;
        if (verdict.kind != OutcomeKind::Sent && verdict.kind != OutcomeKind::SendFailed)
            command.recorder.line.seconds = SecondsOf(verdict.seconds);
        command.recorder.line.answersAt = verdict.answersAt;
        const std::string reason = hooks.reason != nullptr ? hooks.reason(hooks.context, command.awaited) : "";
        const FileError failed = WriteAfter(command.recorder, "outcome", OutcomeName(verdict.kind), reason);
        if (failed.fault != FileFault::None && hooks.notRecorded != nullptr)
            hooks.notRecorded(hooks.context, command.recorder.path, failed);
    }
    return true;
}

}  // namespace scout::ops
