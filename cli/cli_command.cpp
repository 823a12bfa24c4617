// The checks of a command before it is sent and after (see cli_command.h).
#include "cli/cli_command.h"

#include <cstdio>
#include <cstring>

#include "cli/cli_render.h"
#include "cli/cli_text.h"

namespace scout::cli {
namespace {

bool SameTexts(const CliRow& a, const CliRow& b) {
    return std::strcmp(a.model, b.model) == 0 && std::strcmp(a.version, b.version) == 0 &&
           std::strcmp(a.revision, b.revision) == 0;
}

bool RowAt(const CliRow& row, const std::string& address, const BroadcastInterface& via) {
    return SameInterface(row.via, via) && address == row.address;
}

std::string Label(InterfaceNames& names, const BroadcastInterface& entry) {
    return InterfaceLabel(InterfaceNameOf(names, entry).c_str(), AddressString(entry.address).c_str());
}

Decision Refuse(int exitCode, const std::string& why) {
    Decision decision;
    decision.exitCode = exitCode;
    decision.refusal = why + "; nothing was sent.";
    return decision;
}

// The texts of the refusals and warnings, each written once.
std::string NotFound(const std::string& target) {
    return "No controller answered at " + target;
}
std::string OnSeveralInterfaces(const std::string& target, std::size_t count, const std::string& labels) {
    return "Controllers answer at " + target + " on " + std::to_string(count) + " interfaces (" + labels +
           "); choose one with --interface";
}
std::string CutShortThere(const std::string& target, const std::string& label) {
    return "the search of " + label + " did not finish (the failure above), and it could list " + target;
}
std::string SeveralReplies(std::size_t count, const std::string& target, const std::string& label) {
    return std::to_string(count) + " replies came from " + target + " on " + label +
           ": several controllers share that address, or one answers twice";
}
std::string NewAddressTaken(const std::string& address) {
    return "A controller already answers at " + address;
}
std::string OwnAddress(const char* what, const std::string& address) {
    return std::string(what) + " " + address + " is an address of this workstation";
}
std::string SubnetEdge(const char* what, const std::string& address, const std::string& label, int prefix) {
    return std::string(what) + " " + address + " is the network or broadcast address of the subnet of " + label + "/" +
           std::to_string(prefix) + "; no controller can hold it";
}

// "KRV-ETH1A2B 2.14 C", the device's texts fit for a terminal.
std::string Described(const CliRow& row) {
    return SafeText(DecodeWindows1252(row.model).c_str()) + " " + SafeText(DecodeWindows1252(row.version).c_str()) +
           " " + SafeText(DecodeWindows1252(row.revision).c_str());
}

int PrefixOf(const NetPlatform& platform, const BroadcastInterface& entry) {
    InterfaceDetails details;
    return platform.describeInterface(platform.context, entry, &details) ? details.prefixLength : -1;
}

bool Own(const Looked& looked, NetAddress address) {
    for (const NetAddress own : looked.ownAddresses)
        if (own == address)
            return true;
    return false;
}

// The target no controller can hold on any interface that is looked at: an
// address of this workstation, or its subnet's network or broadcast address.
bool TargetRefused(const NetPlatform& platform, InterfaceNames& names, const CommandRequest& request,
                   const Looked& looked, Decision* refused) {
    if (Own(looked, request.target)) {
        *refused = Refuse(ExitFailure, OwnAddress("The controller address", AddressString(request.target)));
        return true;
    }
    for (const BroadcastInterface& entry : looked.searched) {
        const int prefix = PrefixOf(platform, entry);
        if (IsSubnetEdge(request.target, entry.address, prefix)) {
            *refused = Refuse(ExitFailure, SubnetEdge("The controller address", AddressString(request.target),
                                                      Label(names, entry), prefix));
            return true;
        }
    }
    return false;
}

// A new address no controller on via can hold.
bool NewAddressRefused(const NetPlatform& platform, InterfaceNames& names, const CommandRequest& request,
                       const BroadcastInterface& via, const Looked& looked, Decision* refused) {
    if (request.kind != CommandKind::Reconfigure)
        return false;
    const NetAddress wanted = request.values.address;
    if (Own(looked, wanted)) {
        *refused = Refuse(ExitFailure, OwnAddress("The new address", AddressString(wanted)));
        return true;
    }
    const int prefix = PrefixOf(platform, via);
    if (IsSubnetEdge(wanted, via.address, prefix)) {
        *refused = Refuse(ExitFailure, SubnetEdge("The new address", AddressString(wanted), Label(names, via), prefix));
        return true;
    }
    return false;
}

}  // namespace

Decision DecideCommand(const NetPlatform& platform, InterfaceNames& names, const CommandRequest& request,
                       const Looked& looked) {
    const std::string target = AddressString(request.target);
    Decision refused;
    if (TargetRefused(platform, names, request, looked, &refused))
        return refused;
    if (request.noSearch) {
        // Sent by the one interface named, as asked; only what needs no search is checked.
        if (looked.searched.empty())
            return Refuse(ExitNoTarget, NotFound(target));
        if (NewAddressRefused(platform, names, request, looked.searched[0], looked, &refused))
            return refused;
        Decision decision;
        decision.send = true;
        decision.via = looked.searched[0];
        decision.warning = "nothing was checked: the command goes without a search (--no-search)";
        return decision;
    }

    // Where the target answered; an interface whose window did not finish could list it too.
    std::vector<BroadcastInterface> listing;
    for (const CliRow& row : looked.rows) {
        if (target != row.address)
            continue;
        bool known = false;
        for (const BroadcastInterface& entry : listing)
            known = known || SameInterface(entry, row.via);
        if (!known)
            listing.push_back(row.via);
    }
    for (std::size_t i = 0; i < looked.searched.size(); ++i) {
        if (i < looked.cutShort.size() && looked.cutShort[i])
            return Refuse(ExitFailure, CutShortThere(target, Label(names, looked.searched[i])));
    }
    if (listing.empty())
        return Refuse(ExitNoTarget, NotFound(target));
    if (listing.size() > 1) {
        std::string labels;
        for (const BroadcastInterface& entry : listing)
            labels += (labels.empty() ? "" : ", ") + Label(names, entry);
        return Refuse(ExitNoTarget, OnSeveralInterfaces(target, listing.size(), labels));
    }
    Decision decision;
    decision.via = listing[0];
    for (const CliRow& row : looked.rows)
        if (RowAt(row, target, decision.via))
            decision.targetRows.push_back(row);
    if (NewAddressRefused(platform, names, request, decision.via, looked, &refused))
        return refused;
    const std::string label = Label(names, decision.via);
    const std::size_t replies = decision.targetRows.size();
    if (replies > 1) {
        const std::string several = SeveralReplies(replies, target, label);
        if (request.kind == CommandKind::Reconfigure)
            return Refuse(ExitNoTarget, several + "; each would get the one new address. Power them up one at a time "
                                                  "and give each its address");
        if (!request.all)
            return Refuse(ExitNoTarget, several + "; --all sends the command to every one of them");
        decision.warning = several + "; with --all, every one of them gets the command.";
    }
    if (request.kind == CommandKind::Reconfigure && request.values.address != request.target) {
        const std::string wanted = AddressString(request.values.address);
        for (const CliRow& row : looked.rows)
            if (RowAt(row, wanted, decision.via))
                return Refuse(ExitFailure, NewAddressTaken(wanted));
    }
    decision.send = true;
    return decision;
}

void BuildDatagram(const CommandRequest& request, QueryDatagram& datagram) {
    if (request.kind == CommandKind::Reconfigure)
        BuildReconfigure(datagram, request.target, request.values.address, request.values.mask,
                         request.values.gateway);
    else
        BuildReset(datagram, request.target, request.kind == CommandKind::FactoryDefaults);
}

Verification VerifyReconfigure(const Decision& decision, NetAddress newAddress, const std::vector<CliRow>& after) {
    const std::string wanted = AddressString(newAddress);
    Verification result;
    std::vector<const CliRow*> there;
    for (const CliRow& row : after) {
        if (!RowAt(row, wanted, decision.via))
            continue;
        there.push_back(&row);
        bool isTarget = decision.targetRows.empty();
        for (const CliRow& seen : decision.targetRows)
            isTarget = isTarget || SameTexts(seen, row);
        result.answering += isTarget ? 1 : 0;
    }
    if (there.size() == 1 && result.answering == 1) {
        result.message = "a controller answers at the new address " + wanted;
        return result;
    }
    result.exitCode = ExitNotAnswered;
    if (there.empty()) {
        result.message = "no controller answered at the new address " + wanted;
    } else if (there.size() > 1) {
        result.message = std::to_string(there.size()) + " controllers answer at the new address " + wanted +
                         ", not one";
    } else {
        result.message = "the controller at the new address " + wanted + " is a " + Described(*there[0]) +
                         ", not the " + Described(decision.targetRows[0]) + " that was sent the command";
    }
    return result;
}

namespace {

std::string After(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

// The target in a look: a row at address on its interface, with its texts
// where the search before saw them.
bool IsTarget(const Decision& decision, const CliRow& row) {
    if (!SameInterface(row.via, decision.via))
        return false;
    bool texts = decision.targetRows.empty();
    for (const CliRow& seen : decision.targetRows)
        texts = texts || SameTexts(seen, row);
    return texts;
}

WaitVerdict Done(const char* outcome, const std::string& message, const std::string& answersAt) {
    return WaitVerdict{true, ExitOk, outcome, message, answersAt};
}

WaitVerdict NotSeen(const char* outcome, const std::string& message, const std::string& answersAt = "") {
    return WaitVerdict{true, ExitNotAnswered, outcome, message, answersAt};
}

}  // namespace

WaitVerdict JudgeLook(const CommandRequest& request, const Decision& decision, Watch& watch,
                      const std::vector<CliRow>& look, double seconds) {
    const std::string target = AddressString(request.target);
    if (request.kind == CommandKind::Reconfigure) {
        const Verification verified = VerifyReconfigure(decision, request.values.address, look);
        const std::string wanted = AddressString(request.values.address);
        if (verified.exitCode == ExitOk)
            return Done("answers", target + " answers at " + wanted + " after " + After(seconds), wanted);
        return WaitVerdict{};
    }
    bool present = false;
    for (const CliRow& row : look)
        present = present || (target == row.address && IsTarget(decision, row));
    if (!watch.goneSeen) {
        watch.goneSeen = !present;
        return WaitVerdict{};
    }
    if (request.kind == CommandKind::Reset)
        return present ? Done("back", target + " is back after " + After(seconds), target) : WaitVerdict{};
    // Factory defaults: its own address, or one that did not answer before.
    for (const CliRow& row : look) {
        if (!IsTarget(decision, row))
            continue;
        bool answeredBefore = false;
        for (const std::string& before : watch.answeredBefore)
            answeredBefore = answeredBefore || before == row.address;
        if (target == row.address || !answeredBefore)
            return Done("back", target + " answers at " + row.address + " after " + After(seconds), row.address);
    }
    return WaitVerdict{};
}

WaitVerdict JudgeEnd(const CommandRequest& request, const Decision& decision, const Watch& watch,
                     const std::vector<CliRow>& last, double seconds) {
    const std::string target = AddressString(request.target);
    const std::string waited = "within " + After(seconds);
    if (request.kind == CommandKind::Reconfigure)
        return NotSeen("not-seen", VerifyReconfigure(decision, request.values.address, last).message + " " + waited);
    const char* what = request.kind == CommandKind::Reset ? "the reset" : "the factory defaults";
    if (!watch.goneSeen)
        return NotSeen("still-answers", target + " still answers; " + what + " may not have taken effect", target);
    return NotSeen("gone", target + " went away and nothing with its model, version and revision answered " +
                               (request.kind == CommandKind::Reset ? "at it again " : "at its address or a new one ") +
                               waited);
}

}  // namespace scout::cli
