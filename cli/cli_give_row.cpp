// A new address given at the factory address (see cli_give_row.h).
#include "cli/cli_give_row.h"

#include "cli/cli_look.h"
#include "cli/cli_path.h"
#include "cli/cli_record.h"
#include "cli/cli_words.h"
#include "ops/hosts.h"
#include "ops/text.h"

namespace scout::cli {

Looked LookedOn(const BroadcastInterface& via, const std::vector<Reply>& rows, const std::vector<NetAddress>& own) {
    Looked looked;
    looked.searched = {via};
    looked.cutShort = {false};
    looked.ownAddresses = own;
    for (const Reply& row : rows)
        if (SameInterface(row.via, via))
            looked.rows.push_back(row);
    return looked;
}

AtFactoryNow DecideAtFactory(Session& session, const Reply& one, const std::vector<NetAddress>& own,
                             const std::vector<BroadcastInterface>& all, const CommandRequest& request,
                             Decision* decision, Looked* fresh) {
    const NetPlatform& platform = session.platform;
    CommandLook look;
    look.plan = PlanOfLook(session, {one.via});
    look.all = all;
    look.own = own;
    CliList quiet;  // the rows said by none: the commissioning says what it sees
    quiet.names = &session.names;
    *fresh = ops::LookBeforeCommands(platform, MakeCliFrontEnd(&quiet), {request}, look);
    *decision = DecideCommand(platform, request, *fresh);
    switch (decision->refusal.kind) {
    case RefusalKind::NotFound:
    case RefusalKind::SeveralInterfaces:
    case RefusalKind::CutShort:
    case RefusalKind::SeveralReplies:
        return AtFactoryNow::Moved;
    default:
        break;
    }
    if (!decision->send)
        return AtFactoryNow::Refused;
    const Reply& now = decision->targetRows[0];
    if (one.macSource != MacSource::None && now.macSource != MacSource::None && now.mac != one.mac)
        return AtFactoryNow::Moved;  // unplugged, and another plugged in meanwhile
    if (const std::string unchecked = HostsText(session.names, platform, *decision); !unchecked.empty())
        Say(unchecked);
    for (const std::string& warning : NewAddressWarnings(session.names, platform, decision->via, all, request.values))
        Say(warning);
    return AtFactoryNow::Send;
}

namespace {

Recorder RecorderOf(Session& session, const CommandRequest& request, const Decision& decision,
                    const Replacing& replacing) {
    Recorder recorder = MakeRecorder(session.options, session.names, request, decision);
    recorder.line.command = replacing.command;
    recorder.line.row = replacing.row;
    if (replacing.known)
        recorder.line.replaces = MacText(replacing.mac);
    return recorder;
}

}  // namespace

void RecordRefused(Session& session, const CommandRequest& request, const Decision& decision,
                   const Replacing& replacing, const std::string& why) {
    Recorder recorder = RecorderOf(session, request, decision, replacing);
    RecordAfter(recorder, "refused", "", why);
}

Given SendToFactory(Session& session, CliList& list, const CommandRequest& request, const Decision& decision,
                    const Looked& looked, const Replacing& replacing) {
    Given given;
    std::vector<Outgoing> commands(1);
    commands[0].recorder = RecorderOf(session, request, decision, replacing);
    commands[0].awaited.request = request;
    commands[0].awaited.decision = decision;
    if (!SendAndAwait(session, list, commands, looked.rows)) {
        given.recorded = false;
        return given;
    }
    const WaitVerdict& verdict = commands[0].awaited.verdict;
    given.outcome = OutcomeName(verdict.kind);
    given.message = VerdictText(commands[0].awaited);
    given.seconds = verdict.seconds;
    given.verified = VerdictExit(verdict) == ExitOk;
    return given;
}

AtFactoryNow DecideRow(Session& session, const ExpectedRow& row, const RowDefaults& defaults, NetAddress factory,
                       const Reply& one, const std::vector<NetAddress>& own,
                       const std::vector<BroadcastInterface>& all, CommandRequest* request, Decision* decision,
                       Looked* fresh, std::string* why) {
    request->kind = CommandKind::Reconfigure;
    request->target = factory;
    if (!RowSettings(row, defaults, &request->values, why)) {
        *why = SafeText(why->c_str());
        return AtFactoryNow::Refused;
    }
    const AtFactoryNow now = DecideAtFactory(session, one, own, all, *request, decision, fresh);
    // A controller answers at the row's address after all (a reply the last
    // search lost): the row is not missing, and nothing is decided.
    if (now == AtFactoryNow::Refused && decision->refusal.kind == RefusalKind::NewAddressTaken)
        return AtFactoryNow::Moved;
    if (now == AtFactoryNow::Refused)
        *why = RefusalText(session.names, *request, decision->refusal, Reader::Plan);
    return now;
}

}  // namespace scout::cli
