// scout-cli commission: waits for one controller at the factory address,
// gives it the next free address of the range, verifies it as a command is
// verified, records it, says so, and waits for the next; until Ctrl-C,
// --count, or the range has no free address left. The range and the lines
// are cli_commission's, the choice of an address ops/commission's.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cli/cli_audit.h"
#include "cli/cli_commission.h"
#include "cli/cli_give_row.h"
#include "cli/cli_look.h"
#include "cli/cli_path.h"
#include "cli/cli_record.h"
#include "cli/cli_words.h"
#include "cli/commands/commands.h"
#include "cli/console.h"
#include "net/controller_commands.h"
#include "net/error_report.h"
#include "ops/answers.h"
#include "cli/cli_input.h"
#include "cli/cli_interfaces.h"
#include "ops/commission.h"
#include "ops/hosts.h"
#include "ops/text.h"

namespace scout::cli {
namespace {

constexpr OptionUse CommandOptions[] = {
    {OptionId::Expect, "the line's design list: each new controller gets the\naddress of the row that names its MAC, else of the first\nmissing row of its model (no --first or --last then)"},
    {OptionId::First, "the first address it gives"},
    {OptionId::Last, "the last address it gives (default: the end of first's\nsubnet by --mask)"},
    {OptionId::Mask, "the subnet mask each controller gets (with --expect: where\nits row gives none; default the interface's)"},
    {OptionId::Gateway, "the gateway each controller gets, 0.0.0.0 for none (with\n--expect: where its row gives none; default none)"},
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
bool ReadFactory(const Options& options, Commissioning* c) {
    if (ParseDottedAddress(options.factory, &c->factory) && ControllerCanHold(c->factory))
        return true;
    UsageError("--factory takes an address a controller can hold, not '" + QuoteOperand(options.factory) + "'");
    return false;
}

bool ReadCommissioning(const Options& options, Commissioning* c) {
    if (!ReadFactory(options, c))
        return false;
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

// The controllers of replies, each by its model and (where read) MAC.
std::string WhoText(const std::vector<const Reply*>& there) {
    std::string text;
    for (const Reply* reply : there)
        text += (text.empty() ? "" : ", ") + DecodeWindows1252(reply->model) +
                (reply->macSource != MacSource::None ? " MAC " + MacText(reply->mac) : std::string());
    return text;
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
                       : std::to_string(count) + " controllers answer at " + factory + " (" + WhoText(there) +
                             "); power off all but one");
        return false;
    }
    case AtFactory::One:
        break;
    }
    c.lastSaid.clear();
    return true;
}

// The next free address the controller at the factory address (one) may
// get, and the decision to send it there over a fresh look (fresh); false
// where the range has none left (said), or where the factory address is no
// longer as it was (*moved: nothing is sent, the next search looks again).
// The link of the interface is asked for each address first: one that a
// host holds (no controller answers there) is skipped, said once.
bool ChooseAddress(Session& session, Commissioning& c, const Reply& one, const Looked& looked,
                   CommandRequest* request, Decision* decision, Looked* fresh, bool* moved) {
    const NetPlatform& platform = session.platform;
    *moved = false;
    for (;;) {
        std::vector<NetAddress> taken = c.given;
        taken.insert(taken.end(), c.heldByHosts.begin(), c.heldByHosts.end());
        if (!ChooseAddress(platform, c.range, c.next, taken, c.factory, c.values, looked, request, decision)) {
            SayRangeUsedUp(c);
            return false;
        }
        switch (DecideAtFactory(session, one, looked.ownAddresses, c.interfaces, *request, decision, fresh)) {
        case AtFactoryNow::Send:
            return true;
        case AtFactoryNow::Moved:
            *moved = true;
            return false;
        case AtFactoryNow::Refused:
            break;
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
void PlanTheRest(Session& session, Commissioning& c, const Reply& one, const Looked& looked) {
    while (c.done.size() < session.options.count) {
        CommandRequest request;
        Decision decision;
        Looked fresh;
        bool moved = false;
        std::vector<NetAddress> taken = c.given;
        for (const NetAddress address : AnsweringAddresses(looked.rows))
            taken.push_back(address);
        if (NextFree(c.range, c.next, taken) == 0 ||
            !ChooseAddress(session, c, one, looked, &request, &decision, &fresh, &moved))
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
                const Looked& looked, CliList& list, const ExpectedRow* row = nullptr) {
    Commissioned done;
    if (row != nullptr)
        done.row = RowLabel(*row);
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
    const Given given = SendToFactory(session, list, request, decision, looked, Replacing{done.row, false, {}, "reconfigure"});
    if (!given.recorded)
        return false;
    done.outcome = given.outcome;
    done.message = given.message;
    done.seconds = given.seconds;
    done.verified = given.verified;
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

// The searches of a commissioning started: the interfaces chosen, this
// workstation's addresses (own), every interface for the warnings.
bool StartCommissioning(Watcher& watcher, Interfaces& interfaces, Commissioning& c, std::vector<NetAddress>* own,
                        int* exitCode) {
    if (!StartWatcher(watcher, interfaces, exitCode))
        return false;
    *own = OwnAddresses(interfaces.table);
    c.interfaces = AllOf(interfaces.table);
    return true;
}

// The end of a run cut short by Ctrl-C before --count: said, and its exit status.
int CutShort(const Session& session, std::size_t done) {
    const int interrupted = Interrupted();
    if (interrupted == 0 || session.options.count == 0 || done >= session.options.count)
        return ExitOk;
    Say("stopped at " + std::to_string(done) + " of " + std::to_string(session.options.count));
    return interrupted;
}

// commission --expect: the line's design list, what a row's controller gets
// where the row does not say, and what became of each row.
struct ByList {
    ExpectedList list;
    RowDefaults defaults;
    std::vector<KnownInterface> known;
    std::vector<bool> closed;  // given, refused or tried in this run: never offered again
    std::vector<RowOutcome> outcomes;
    std::vector<MacAddress> unseen;  // controllers given a row and not seen at its address: left after
    bool stopped = false;            // one whose MAC was not read was not seen: nothing more is given
};

bool ReadByList(const Options& options, Commissioning* c, ByList* b) {
    if (!ReadFactory(options, c))
        return false;
    const struct {
        const char* option;
        const char* text;
        bool* given;
        NetAddress* value;
        bool mask;
    } fields[] = {{"--mask", options.mask, &b->defaults.maskGiven, &b->defaults.mask, true},
                  {"--gateway", options.gateway, &b->defaults.gatewayGiven, &b->defaults.gateway, false}};
    for (const auto& field : fields) {
        if (field.text == nullptr)
            continue;
        if (!ParseDottedAddress(field.text, field.value) || (field.mask && PrefixLengthOf(*field.value) < 0)) {
            UsageError(std::string(field.option) + " takes " + (field.mask ? "a subnet mask" : "an IPv4 address") +
                       ", not '" + QuoteOperand(field.text) + "'");
            return false;
        }
        *field.given = true;
    }
    std::string text;
    if (!ReadDesignList(options.expectPath, &b->list, &text))
        return false;
    b->closed.assign(b->list.rows.size(), false);
    b->outcomes.assign(b->list.rows.size(), RowOutcome{});
    return true;
}

// Why the controller at the factory address takes no row.
std::string LeftText(const Commissioning& c, const ByList& b, const Reply& one, const RowChoice& choice) {
    const std::string who = DeviceTexts(one) +
                            (one.macSource != MacSource::None ? " MAC " + MacText(one.mac) : std::string(" (MAC not read)"));
    const std::string left = "leaving " + who + " at " + AddressString(c.factory) + ": ";
    switch (choice.fit) {
    case RowFit::Row: break;
    case RowFit::MacRowThere:
        return left + "its MAC is " + RowLabel(b.list.rows[choice.row]) + "'s, which answers or was given already";
    case RowFit::MacRowDiffers:
        return left + "its MAC is " + RowLabel(b.list.rows[choice.row]) + "'s, which expects " +
               ExpectedSummary(b.list.rows[choice.row]) +
               (NamesInterface(b.list.rows[choice.row]) ? " on another interface" : "");
    case RowFit::NoRowFits:
        return left + "no missing row fits it (another model, or rows that name other MACs)";
    case RowFit::LineComplete:
        return left + "every row of the list answers";
    }
    return left;
}

// The controller at the factory address given the row: its settings
// checked, the link asked, then sent and awaited as commission sends; a row
// that cannot be given is refused (said, recorded) and not offered again.
// False where the record could not be written.
bool GiveRow(Session& session, Commissioning& c, ByList& b, std::size_t r, const Reply& one, int prefix,
             const Looked& looked, CliList& list) {
    const ExpectedRow& row = b.list.rows[r];
    RowDefaults defaults = b.defaults;
    defaults.interfacePrefix = prefix;
    CommandRequest request;
    Decision decision;
    std::string why;
    Looked fresh;
    const AtFactoryNow now = DecideRow(session, row, defaults, c.factory, one, looked.ownAddresses, c.interfaces,
                                       &request, &decision, &fresh, &why);
    if (now == AtFactoryNow::Moved)
        return true;  // nothing decided: the next search looks again
    b.closed[r] = true;
    b.outcomes[r].controller = one;
    if (now == AtFactoryNow::Send) {
        if (!Commission(session, c, request, decision, fresh, list, &row))
            return false;
        const Commissioned& done = c.done.back();
        b.outcomes[r].status = done.outcome == "dry-run" ? RowStatus::DryRun
                               : done.verified          ? RowStatus::Commissioned
                                                        : RowStatus::NotVerified;
        b.outcomes[r].why = done.verified ? std::string() : done.message;
        // Tried once: a controller not seen at its row's address gets no second row.
        if (b.outcomes[r].status == RowStatus::NotVerified && one.macSource != MacSource::None)
            b.unseen.push_back(one.mac);
        else if (b.outcomes[r].status == RowStatus::NotVerified)
            b.stopped = true;
        return true;
    }
    b.outcomes[r].status = RowStatus::Refused;
    b.outcomes[r].why = why;
    Say(RowLabel(row) + " not given to " + DeviceTexts(one) + ": " + why);
    RecordRefused(session, request, decision, Replacing{RowLabel(row), false, {}, "reconfigure"}, why);
    return true;
}

// What became of the rows not given in this run, by the last search.
void SettleOutcomes(ByList& b, const std::vector<Reply>& rows) {
    const std::vector<const Reply*> replies = RowReplies(b.list, rows);
    for (std::size_t r = 0; r < b.list.rows.size(); ++r) {
        if (b.closed[r])
            continue;
        b.outcomes[r].status = replies[r] == nullptr ? RowStatus::Missing : RowStatus::Answers;
        if (replies[r] != nullptr)
            b.outcomes[r].controller = *replies[r];
    }
}

int ByListExit(const ByList& b, const Session& session, bool failed) {
    if (failed)
        return ExitFailure;
    std::size_t missing = 0;
    bool unverified = false;
    for (const RowOutcome& outcome : b.outcomes) {
        missing += outcome.status == RowStatus::Missing || outcome.status == RowStatus::Refused ? 1 : 0;
        unverified = unverified || outcome.status == RowStatus::NotVerified;
    }
    if (unverified)
        return ExitNotAnswered;
    if (missing != 0 && !session.options.dryRun) {
        Say(Count(missing, "row", "rows") + " of the list still missing");
        return ExitNoAddressLeft;
    }
    return ExitOk;
}

// Where a new controller's MAC cannot be read, and the list names some: said once.
void SayMacsUnread(const Session& session, const ExpectedList& list) {
    bool namesMacs = false;
    for (const ExpectedRow& row : list.rows)
        namesMacs = namesMacs || row.macGiven;
    if (namesMacs && !ReadsReplyFrames(session.platform))
        Say("a new controller's MAC cannot be read here (scout-cli reads it from the reply's own frame, as root on "
            "Linux): the rows that name a MAC wait for a run that can; the others are given by model, in the list's "
            "order");
}

int RunCommissionByList(Session& session) {
    Commissioning c;
    ByList b;
    if (!ReadByList(session.options, &c, &b))
        return ExitUsage;
    Watcher watcher{session, {}, {}, {}, 0, {}, 0};
    Interfaces interfaces(session.platform);
    std::vector<NetAddress> own;
    int exitCode = ExitOk;
    if (!StartCommissioning(watcher, interfaces, c, &own, &exitCode))
        return exitCode;
    if (!HoldListHere(session, session.options.expectPath, b.list, interfaces.table, &b.known))
        return ExitUsage;
    SayMacsUnread(session, b.list);
    WatchInterrupts();
    Status(session, WaitingLine(session, c) + "; Ctrl-C ends it");
    bool failed = false;
    do {
        SearchOnce(watcher);
        const std::vector<bool> missing = MissingRows(b.list, watcher.list.rows, b.closed);
        if (std::find(missing.begin(), missing.end(), true) == missing.end())
            break;
        Reply one;
        if ((session.options.dryRun && c.shownDry) || !OneAtTheFactoryAddress(c, watcher.list.rows, &one))
            continue;
        if (std::find(b.unseen.begin(), b.unseen.end(), one.mac) != b.unseen.end() &&
            one.macSource != MacSource::None) {
            SayOnce(c, "leaving " + DeviceTexts(one) + " MAC " + MacText(one.mac) + " at " + AddressString(c.factory) +
                           ": it was given a row and not seen at its address; power it off and on, then run again");
            continue;
        }
        int prefix = -1;
        for (const KnownInterface& known : b.known)
            prefix = SameInterface(known.via, one.via) ? known.prefix : prefix;
        const RowChoice choice = ChooseRow(b.list, missing, one, prefix);
        if (choice.fit != RowFit::Row) {
            SayOnce(c, LeftText(c, b, one, choice));
            continue;
        }
        SegmentHold hold;
        if (!session.options.dryRun && !HoldSegments(session, {one.via}, &hold)) {
            failed = true;
            break;
        }
        if (!GiveRow(session, c, b, choice.row, one, prefix, LookedOn(one.via, watcher.list.rows, own),
                     watcher.list)) {
            failed = true;
            break;
        }
        if (b.stopped) {
            Say("stopping: a controller whose MAC is not read here was not seen at its row's address, and "
                "could not be told from the next one at " + AddressString(c.factory));
            break;
        }
        if (session.options.count != 0 && c.done.size() >= session.options.count)
            break;
        Status(session, WaitingLine(session, c));
    } while (AwaitNextSearch(watcher));
    SettleOutcomes(b, watcher.list.rows);
    Print(RenderRowOutcomes(b.list, b.outcomes, session.options.format, session.render));
    const int cut = CutShort(session, c.done.size());
    const int code2 = ByListExit(b, session, failed);
    return code2 != ExitOk ? code2 : cut;
}

}  // namespace

const CommandHelp CommissionHelp = {
    .usage = "scout-cli commission --first IP [--last IP] --mask MASK --gateway GW\n"
             "                     [--factory ADDRESS] [--count N] [--interface ADDRESS|NAME]\n"
             "                     [--dry-run] [--interval SECONDS] [OPTIONS]\n"
             "       scout-cli commission --expect LIST [--mask MASK] [--gateway GW] [...]",
    .about = "new controllers one at a time, as they are plugged in: waits\n"
             "for one at the factory address (--factory, default\n"
             "192.168.1.100), gives it the next address from --first to\n"
             "--last (default: the end of the subnet) that none answers at,\n"
             "verifies and records it, and waits for the next; with two\n"
             "there at once it sends nothing until one is left. Ends on\n"
             "Ctrl-C, after --count N, or when the range is used up, with a\n"
             "summary; exit 3 when one was not verified, 6 when the range had\n"
             "no free address for one. With --expect LIST, in any order: a\n"
             "controller gets its row's address (the row naming its MAC,\n"
             "else the first missing row of its model); one no missing row\n"
             "fits is left where it is. Ends when every row answers (exit 0);\n"
             "the summary is the list, exit 6 while rows are missing",
    .options = CommandOptions,
    .examples = "scout-cli commission --first 10.1.0.101 --mask 255.255.255.0 --gateway 10.1.0.254 --count 10\n"
                "scout-cli commission --expect line4.csv --gateway 10.1.0.254",
};

int RunCommission(Session& session) {
    if (session.options.expectPath != nullptr)
        return RunCommissionByList(session);
    Commissioning c;
    if (!ReadCommissioning(session.options, &c))
        return ExitUsage;
    Watcher watcher{session, {}, {}, {}, 0, {}, 0};
    Interfaces interfaces(session.platform);
    std::vector<NetAddress> own;
    int exitCode = ExitOk;
    if (!StartCommissioning(watcher, interfaces, c, &own, &exitCode))
        return exitCode;
    WatchInterrupts();
    Status(session, WaitingLine(session, c) + "; Ctrl-C ends it");
    bool failed = false;
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
        const Looked looked = LookedOn(one.via, watcher.list.rows, own);
        CommandRequest request;
        Decision decision;
        SegmentHold hold;
        if (!session.options.dryRun && !HoldSegments(session, {one.via}, &hold)) {
            failed = true;
            break;
        }
        Looked fresh;
        bool moved = false;
        if (!ChooseAddress(session, c, one, looked, &request, &decision, &fresh, &moved)) {
            if (moved)
                continue;  // another one came, or it went: the next search says so
            usedUp = waiting = true;
            break;
        }
        if (!Commission(session, c, request, decision, fresh, watcher.list)) {
            failed = true;
            break;
        }
        if (session.options.count != 0 && c.done.size() >= session.options.count)
            break;
        // A dry run's controller stays at the factory address: what the
        // others of --count would get is planned from here, and said.
        if (session.options.dryRun && session.options.count != 0) {
            PlanTheRest(session, c, one, looked);
            break;
        }
        Status(session, WaitingLine(session, c));
    } while (AwaitNextSearch(watcher));
    Print(RenderCommissioned(c.done, session.options.format, session.render));
    const int cut = CutShort(session, c.done.size());
    if (failed)
        return ExitFailure;
    if (usedUp && (c.done.empty() || waiting))
        return ExitNoAddressLeft;
    for (const Commissioned& done : c.done)
        if (!done.verified && done.outcome != "dry-run")
            return ExitNotAnswered;
    return cut;
}

}  // namespace scout::cli
