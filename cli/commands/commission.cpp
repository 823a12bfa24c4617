// scout-cli commission: waits for one controller at the factory address,
// gives it the next free address of the range, verifies it as a command is
// verified, records it, says so, and waits for the next; until Ctrl-C,
// --count, or the range has no free address left. The range and the lines
// are cli_commission's, the choice of an address ops/commission's.
#include <cstdio>
#include <cstring>

#include "cli/cli_commission.h"
#include "cli/cli_look.h"
#include "cli/cli_path.h"
#include "cli/cli_record.h"
#include "cli/cli_words.h"
#include "cli/commands/commands.h"
#include "cli/console.h"
#include "net/controller_commands.h"
#include "net/error_report.h"
#include "ops/answers.h"
#include "ops/commission.h"
#include "ops/text.h"

namespace scout::cli {
namespace {

constexpr OptionUse CommandOptions[] = {
    {OptionId::First, "the first address it gives"},
    {OptionId::Last, "the last address it gives (default: the end of first's\nsubnet by --mask)"},
    {OptionId::Mask}, {OptionId::Gateway},
    {OptionId::Factory, "where a new controller answers, with its factory\nsettings (default 192.168.1.100)"},
    {OptionId::Count, "how many it commissions, 1 to 10000 (default: until\nCtrl-C or the range is used up)"},
    {OptionId::Interface, "only this interface: a new controller is waited for there"},
    {OptionId::DryRun, "say what each would get, and send nothing"},
    {OptionId::Interval}, {OptionId::Window}, {OptionId::Timeout}, {OptionId::Log}, {OptionId::NoLog},
    {OptionId::Json}, {OptionId::Csv}, {OptionId::NoHeader}, {OptionId::Quiet},
};

// A line of what commission does, on standard error (not with -q).
void Tell(const Session& session, const std::string& line) {
    if (session.options.quiet)
        return;
    std::fputs((line + "\n").c_str(), stderr);
    std::fflush(stderr);
}

struct Commissioning {
    NetAddress factory = 0;
    AddressRange range;
    ReconfigureValues values;  // mask and gateway; the address per controller
    NetAddress next = 0;       // where the search for a free address begins
    std::vector<NetAddress> given;
    std::vector<NetAddress> heldByHosts;  // skipped: a host that is no controller holds it
    std::vector<BroadcastInterface> interfaces;  // every interface searched, for the new address's warnings
    std::vector<Commissioned> done;
    std::string lastSaid;      // of the factory address, said once until it changes
    bool shownDry = false;     // --dry-run: the controller there was shown
};

// The options read: the factory address, the range and the values; false
// with the problem said.
bool ReadCommissioning(const Options& options, Commissioning* c) {
    if (!ParseDottedAddress(options.factory, &c->factory) || !ControllerCanHold(c->factory)) {
        UsageError("--factory takes an address a controller can hold, not '" + QuoteOperand(options.factory) + "'");
        return false;
    }
    char message[MessageCapacity];
    if (!CheckReconfigureFields(options.first, options.mask, options.gateway, &c->values, message, sizeof message)) {
        Say(SafeText(message));
        return false;
    }
    std::string problem;
    if (!ReadRange(options.first, options.last, c->values.mask, &c->range, &problem)) {
        UsageError(problem);
        return false;
    }
    c->next = c->range.first;
    return true;
}

void SayRangeUsedUp(const Commissioning& c) {
    Say("no free address left from " + AddressString(c.range.first) + " to " + AddressString(c.range.last));
}

// Says a text about the factory address once, until another is said.
void SayOnce(Commissioning& c, const std::string& text) {
    if (c.lastSaid == text)
        return;
    c.lastSaid = text;
    Say(text);
}

// Whether any controller answered at the factory address in the last search.
bool AtTheFactoryAddress(const Commissioning& c, const std::vector<Reply>& rows) {
    return !InterfacesAnswering(rows, AddressString(c.factory)).empty();
}

// The controller at the factory address in the last search; false (what
// there is said once) unless exactly one answers there.
bool OneAtTheFactoryAddress(Commissioning& c, const std::vector<Reply>& rows, Reply* one) {
    const std::string factory = AddressString(c.factory);
    std::size_t count = 0;
    switch (WhoIsAtFactory(rows, c.factory, one, &count)) {
    case AtFactory::Nobody:
        c.lastSaid.clear();
        c.shownDry = false;
        return false;
    case AtFactory::SeveralInterfaces:
        SayOnce(c, "controllers answer at " + factory + " on more than one interface; choose one with --interface");
        return false;
    case AtFactory::Several: {
        // One MAC that answered twice cannot be told from a batch of controllers that share it.
        std::vector<const Reply*> there;
        for (const BroadcastInterface& via : InterfacesAnswering(rows, factory))
            there = AnswersAt(rows, factory, via);
        const SharedAnswers who = WhoShares(there);
        SayOnce(c, who.who == WhoAnswers::OneMac
                       ? std::to_string(count) + " replies came from " + factory + ", every one from MAC " +
                             MacText(who.macs[0]) + ": one controller answering twice cannot be told from controllers "
                             "of one batch that share a MAC; power off all but one"
                       : std::to_string(count) + " controllers answer at " + factory + "; power off all but one");
        return false;
    }
    case AtFactory::One:
        break;
    }
    c.lastSaid.clear();
    return true;
}

// The next free address the controller may get, and the decision to send
// it there; false where the range has none left (said).
// The link of the interface is asked for each address first: one that a
// host holds (no controller answers there) is skipped, said once.
bool ChooseAddress(Session& session, Commissioning& c, const Looked& looked, CommandRequest* request,
                   Decision* decision) {
    const NetPlatform& platform = session.platform;
    for (;;) {
        std::vector<NetAddress> taken = c.given;
        taken.insert(taken.end(), c.heldByHosts.begin(), c.heldByHosts.end());
        if (!ChooseAddress(platform, c.range, c.next, taken, c.factory, c.values, looked, request, decision)) {
            SayRangeUsedUp(c);
            return false;
        }
        // The look before the command is the last search: the link of the interface is asked.
        CommandLook look;
        look.plan.interfaces = {decision->via};
        look.own = looked.ownAddresses;
        look.listed = &looked;
        CliList quiet;  // heard by none: the link alone is asked
        *decision = DecideCommand(platform, *request, ops::LookBeforeCommands(platform, MakeCliFrontEnd(&quiet),
                                                                              {*request}, look));
        if (decision->send) {
            if (const std::string unchecked = HostsText(session.names, platform, *decision); !unchecked.empty())
                Say(unchecked);
            for (const std::string& warning :
                 NewAddressWarnings(session.names, platform, decision->via, c.interfaces, request->values))
                Say(warning);
            return true;
        }
        Say("skipping " + AddressString(request->values.address) + ": " +
            RefusalText(session.names, *request, decision->refusal, Reader::Plan));
        c.heldByHosts.push_back(request->values.address);
    }
}

// "waiting for controller 2 of 3 at 192.168.1.100" (no "of" without --count).
std::string WaitingLine(const Session& session, const Commissioning& c) {
    const std::string number = std::to_string(c.done.size() + 1);
    return "waiting for controller " + number +
           (session.options.count != 0 ? " of " + std::to_string(session.options.count) : std::string()) + " at " +
           AddressString(c.factory);
}

// --dry-run with --count: the addresses the controllers after the one shown
// would get, each as the checks of reconfigure allow, until --count or the
// range's end.
void PlanTheRest(Session& session, Commissioning& c, const Looked& looked) {
    while (c.done.size() < session.options.count) {
        CommandRequest request;
        Decision decision;
        std::vector<NetAddress> taken = c.given;
        for (const NetAddress address : AnsweringAddresses(looked.rows))
            taken.push_back(address);
        if (NextFree(c.range, c.next, taken) == 0 || !ChooseAddress(session, c, looked, &request, &decision))
            return;
        Commissioned next;
        next.number = static_cast<int>(c.done.size()) + 1;
        next.newAddress = AddressString(request.values.address);
        next.outcome = "dry-run";
        c.given.push_back(request.values.address);
        c.next = AddressAfter(c.range, request.values.address);
        Tell(session, CommissionedLine(next, session.options.count));
        c.done.push_back(next);
    }
}

// One controller given its address: recorded, sent, awaited, said.
bool Commission(Session& session, Commissioning& c, const CommandRequest& request, const Decision& decision,
                const Looked& looked, CliList& list) {
    Commissioned done;
    done.number = static_cast<int>(c.done.size()) + 1;
    done.before = decision.targetRows[0];
    done.newAddress = AddressString(request.values.address);
    c.given.push_back(request.values.address);
    c.next = AddressAfter(c.range, request.values.address);
    if (session.options.dryRun) {
        done.outcome = "dry-run";
        c.shownDry = true;
        Tell(session, CommissionedLine(done, session.options.count));
        c.done.push_back(done);
        return true;
    }
    std::vector<Outgoing> commands(1);
    commands[0].recorder = MakeRecorder(session.options, session.names, request, decision);
    commands[0].recorder.line.command = "reconfigure";
    commands[0].awaited.request = request;
    commands[0].awaited.decision = decision;
    if (!SendAndAwait(session, list, commands, looked.rows))
        return false;
    const WaitVerdict& verdict = commands[0].awaited.verdict;
    done.outcome = OutcomeName(verdict.kind);
    done.message = VerdictText(commands[0].awaited);
    done.seconds = verdict.seconds;
    done.verified = VerdictExit(verdict) == ExitOk;
    Tell(session, CommissionedLine(done, session.options.count));
    c.done.push_back(done);
    return true;
}

// Whether every address of the range from the next on was given, answers or
// is this workstation's own (said); the controller that did not get one is
// then waiting in vain.
bool RangeUsedUp(Commissioning& c, const Watcher& watcher, const std::vector<NetAddress>& own) {
    std::vector<NetAddress> taken = c.given;
    taken.insert(taken.end(), own.begin(), own.end());
    for (const NetAddress address : AnsweringAddresses(watcher.list.rows))
        taken.push_back(address);
    if (NextFree(c.range, c.next, taken) != 0)
        return false;
    SayRangeUsedUp(c);
    return true;
}

}  // namespace

const CommandHelp CommissionHelp = {
    .usage = "scout-cli commission --first IP [--last IP] --mask MASK --gateway GW\n"
             "                     [--factory ADDRESS] [--count N] [--interface ADDRESS|NAME]\n"
             "                     [--dry-run] [--interval SECONDS] [OPTIONS]",
    .about = "new controllers one at a time, as they are plugged in: waits\n"
             "for one at the factory address (--factory, default\n"
             "192.168.1.100), gives it the next address from --first to\n"
             "--last (default: the end of the subnet) that none answers at,\n"
             "verifies and records it, and waits for the next; with two\n"
             "there at once it sends nothing until one is left. Ends on\n"
             "Ctrl-C, after --count N, or when the range is used up, with a\n"
             "summary; exit 3 when one was not verified, 6 when the range had\n"
             "no free address for one",
    .options = CommandOptions,
    .examples = "scout-cli commission --first 10.1.0.101 --mask 255.255.255.0 --gateway 10.1.0.254 --count 10",
};

int RunCommission(Session& session) {
    Commissioning c;
    if (!ReadCommissioning(session.options, &c))
        return ExitUsage;
    Watcher watcher{session, {}, {}, {}, 0, {}, 0};
    Interfaces interfaces(session.platform);
    int exitCode = ExitOk;
    if (!StartWatcher(watcher, interfaces, &exitCode))
        return exitCode;
    const std::vector<NetAddress> own = OwnAddresses(interfaces.table);
    c.interfaces = AllOf(interfaces.table);
    WatchInterrupts();
    Status(session, WaitingLine(session, c) + "; Ctrl-C ends it");
    bool recordFailed = false;
    bool usedUp = false;   // the range has no free address left
    bool waiting = false;  // and a controller waits at the factory address for one
    do {
        SearchOnce(watcher);
        if (RangeUsedUp(c, watcher, own)) {
            usedUp = true;
            waiting = AtTheFactoryAddress(c, watcher.list.rows);
            break;
        }
        Reply one;
        if ((session.options.dryRun && c.shownDry) || !OneAtTheFactoryAddress(c, watcher.list.rows, &one))
            continue;
        Looked looked;
        looked.searched = {one.via};
        looked.cutShort = {false};
        looked.ownAddresses = own;
        for (const Reply& row : watcher.list.rows)
            if (SameInterface(row.via, one.via))
                looked.rows.push_back(row);
        CommandRequest request;
        Decision decision;
        if (!ChooseAddress(session, c, looked, &request, &decision)) {
            usedUp = waiting = true;
            break;
        }
        if (!Commission(session, c, request, decision, looked, watcher.list)) {
            recordFailed = true;
            break;
        }
        if (session.options.count != 0 && c.done.size() >= session.options.count)
            break;
        // A dry run's controller stays at the factory address: what the
        // others of --count would get is planned from here, and said.
        if (session.options.dryRun && session.options.count != 0) {
            PlanTheRest(session, c, looked);
            break;
        }
        Status(session, WaitingLine(session, c));
    } while (AwaitNextSearch(watcher));
    Print(RenderCommissioned(c.done, session.options.format, session.render));
    if (recordFailed)
        return ExitFailure;
    if (usedUp && (c.done.empty() || waiting))
        return ExitNoAddressLeft;
    for (const Commissioned& done : c.done)
        if (!done.verified && done.outcome != "dry-run")
            return ExitNotAnswered;
    return ExitOk;
}

}  // namespace scout::cli
