// Whether and where a command may go (see command.h).
#include "ops/command.h"

#include "ops/answers.h"
#include "ops/names.h"

namespace scout::ops {
namespace {

bool Own(const Looked& looked, NetAddress address) {
    for (const NetAddress own : looked.ownAddresses)
        if (own == address)
            return true;
    return false;
}

Decision Refused(RefusalKind kind, NetAddress address, Subject subject = Subject::Target) {
    Decision decision;
    decision.refusal.kind = kind;
    decision.refusal.address = address;
    decision.refusal.subject = subject;
    return decision;
}

Decision Edge(NetAddress address, Subject subject, const BroadcastInterface& where, int prefix) {
    Decision decision = Refused(RefusalKind::SubnetEdge, address, subject);
    decision.refusal.where = where;
    decision.refusal.prefix = prefix;
    return decision;
}

// The target no controller can hold on any interface that is looked at: an
// address of this workstation, or its subnet's network or broadcast address.
bool TargetRefused(const NetPlatform& platform, const CommandRequest& request, const Looked& looked,
                   Decision* refused) {
    if (Own(looked, request.target)) {
        *refused = Refused(RefusalKind::OwnAddress, request.target);
        return true;
    }
    for (const BroadcastInterface& entry : looked.searched) {
        const int prefix = PrefixOf(platform, entry);
        if (IsSubnetEdge(request.target, entry.address, prefix)) {
            *refused = Edge(request.target, Subject::Target, entry, prefix);
            return true;
        }
    }
    return false;
}

// A new address no controller on via can hold.
bool NewAddressRefused(const NetPlatform& platform, const CommandRequest& request, const BroadcastInterface& via,
                       const Looked& looked, Decision* refused) {
    if (request.kind != CommandKind::Reconfigure)
        return false;
    const NetAddress wanted = request.values.address;
    if (Own(looked, wanted)) {
        *refused = Refused(RefusalKind::OwnAddress, wanted, Subject::NewAddress);
        return true;
    }
    const int prefix = PrefixOf(platform, via);
    if (IsSubnetEdge(wanted, via.address, prefix)) {
        *refused = Edge(wanted, Subject::NewAddress, via, prefix);
        return true;
    }
    return false;
}

// Sent by the one interface named, as asked: only what needs no search is checked.
Decision Unchecked(const NetPlatform& platform, const CommandRequest& request, const Looked& looked) {
    if (looked.searched.empty())
        return Refused(RefusalKind::NotFound, request.target);
    Decision refused;
    if (NewAddressRefused(platform, request, looked.searched[0], looked, &refused))
        return refused;
    Decision decision;
    decision.send = true;
    decision.via = looked.searched[0];
    decision.note = DecisionNote::Unchecked;
    return decision;
}

}  // namespace

Looked OnlyOn(const Looked& looked, const BroadcastInterface& entry) {
    Looked only;
    only.ownAddresses = looked.ownAddresses;
    only.hostsAsked = looked.hostsAsked;
    only.hosts = looked.hosts;
    only.lookedElsewhere = true;
    only.elsewhere = looked.elsewhere;
    for (std::size_t i = 0; i < looked.searched.size(); ++i) {
        if (!SameInterface(looked.searched[i], entry))
            continue;
        only.searched.push_back(looked.searched[i]);
        only.cutShort.push_back(i < looked.cutShort.size() && looked.cutShort[i]);
    }
    for (const Reply& row : looked.rows)
        (SameInterface(row.via, entry) ? only.rows : only.elsewhere).push_back(row);
    return only;
}

std::vector<NetAddress> OwnAddresses(const InterfaceTable& table) {
    std::vector<NetAddress> own;
    for (std::size_t i = 0; i < table.count; ++i)
        own.push_back(table.entries[i].address);
    for (std::size_t i = 0; i < table.skippedCount; ++i)
        own.push_back(table.skipped[i].entry.address);
    return own;
}

Decision DecideCommand(const NetPlatform& platform, const CommandRequest& request, const Looked& looked) {
    Decision refused;
    if (TargetRefused(platform, request, looked, &refused))
        return refused;
    if (request.noSearch)
        return Unchecked(platform, request, looked);

    char target[AddressTextCapacity];
    FormatAddress(request.target, target, sizeof target);
    // An interface whose window did not finish could list the target too.
    for (std::size_t i = 0; i < looked.searched.size(); ++i) {
        if (i < looked.cutShort.size() && looked.cutShort[i]) {
            Decision cut = Refused(RefusalKind::CutShort, request.target);
            cut.refusal.where = looked.searched[i];
            return cut;
        }
    }
    const std::vector<BroadcastInterface> listing = InterfacesAnswering(looked.rows, target);
    if (listing.empty()) {
        // Bound to one interface, and the others looked at: it may answer there.
        Decision missing = Refused(RefusalKind::NotFound, request.target);
        if (looked.lookedElsewhere && looked.searched.size() == 1) {
            missing.refusal.where = looked.searched[0];
            missing.refusal.interfaces = InterfacesAnswering(looked.elsewhere, target);
        }
        return missing;
    }
    if (listing.size() > 1) {
        Decision several = Refused(RefusalKind::SeveralInterfaces, request.target);
        several.refusal.interfaces = listing;
        return several;
    }
    Decision decision;
    decision.via = listing[0];
    for (const Reply* row : AnswersAt(looked.rows, target, decision.via))
        decision.targetRows.push_back(*row);
    if (NewAddressRefused(platform, request, decision.via, looked, &refused))
        return refused;
    // Several replies: several controllers, or one MAC that answered more
    // than once, which cannot be told from controllers of one batch that
    // share a MAC. Only a reset with "all" goes, to every one of them.
    const std::size_t replies = decision.targetRows.size();
    if (replies > 1) {
        const SharedAnswers shared = WhoShares(AnswersAt(looked.rows, target, decision.via));
        if (request.kind == CommandKind::Reconfigure || !request.all) {
            Decision several = Refused(RefusalKind::SeveralReplies, request.target);
            several.refusal.where = decision.via;
            several.refusal.count = replies;
            several.refusal.who = shared;
            return several;
        }
        decision.note = DecisionNote::SeveralRepliesAll;
        decision.who = shared;
        decision.replies = replies;
    }
    if (request.kind == CommandKind::Reconfigure && request.values.address != request.target &&
        !AnswersAt(looked.rows, request.values.address, decision.via).empty()) {
        Decision taken = Refused(RefusalKind::NewAddressTaken, request.values.address, Subject::NewAddress);
        taken.refusal.where = decision.via;
        return taken;
    }
    if (request.kind == CommandKind::Reconfigure && looked.hostsAsked && request.values.address != request.target) {
        const HostAnswer* host = HostAnswerOn(looked.hosts, request.values.address, decision.via);
        if (host != nullptr &&
            (host->answer == NeighbourAnswer::Holder || host->answer == NeighbourAnswer::SetByHand)) {
            Decision held = Refused(host->answer == NeighbourAnswer::Holder ? RefusalKind::HeldByHost
                                                                             : RefusalKind::SetByHand,
                                    request.values.address, Subject::NewAddress);
            held.refusal.where = decision.via;
            held.refusal.mac = host->mac;
            return held;
        }
        decision.hostsChecked = true;
        decision.hosts = host != nullptr ? *host
                                         : HostAnswer{request.values.address, decision.via,
                                                      NeighbourAnswer::Unsupported, {}, 0, -1};
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

NewAddressFit FitOfNewAddress(const NetPlatform& platform, const BroadcastInterface& via,
                              const std::vector<BroadcastInterface>& interfaces, NetAddress newAddress,
                              NetAddress newMask) {
    NewAddressFit fit;
    fit.viaPrefix = PrefixOf(platform, via);
    fit.known = fit.viaPrefix >= 0;
    if (!fit.known)
        return fit;
    fit.newPrefix = PrefixLengthOf(newMask);
    fit.maskDiffers = fit.newPrefix != fit.viaPrefix;
    fit.outsideVia = !InSubnet(newAddress, via.address, fit.viaPrefix);
    if (!fit.outsideVia)
        return fit;
    fit.subnet = FromHostOrder(HostOrder(newAddress) & HostOrder(newMask));
    bool allKnown = true;  // where a prefix is not known, nothing is said of "every"
    bool inOther = false;
    for (const BroadcastInterface& entry : interfaces) {
        const int prefix = PrefixOf(platform, entry);
        allKnown = allKnown && prefix >= 0;
        if (prefix >= 0 && !inOther && !SameInterface(entry, via) && InSubnet(newAddress, entry.address, prefix)) {
            inOther = true;
            fit.other = entry;
        }
    }
    fit.outsideEvery = allKnown && !inOther;
    return fit;
}

}  // namespace scout::ops
