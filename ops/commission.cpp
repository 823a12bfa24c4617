// Commissioning new controllers one at a time (see commission.h).
#include "ops/commission.h"

#include <map>

#include "net/error_report.h"
#include "ops/answers.h"
#include "ops/audit.h"
#include "ops/names.h"

namespace scout::ops {

NetAddress LastHostOf(NetAddress first, NetAddress mask) {
    return FromHostOrder((HostOrder(first) | ~HostOrder(mask)) - 1);
}

RangeFault CheckRange(const AddressRange& range, NetAddress mask) {
    if (HostOrder(range.last) < HostOrder(range.first))
        return RangeFault::LastBeforeFirst;
    // Every address given lies in the one subnet its mask makes: a range that
    // runs past it would give addresses that no reconfigure gives.
    const std::uint32_t bits = HostOrder(mask);
    if ((HostOrder(range.last) & bits) != (HostOrder(range.first) & bits))
        return RangeFault::OutsideSubnet;
    return RangeFault::None;
}

NetAddress NextFree(const AddressRange& range, NetAddress from, const std::vector<NetAddress>& taken) {
    for (NetAddress candidate = from; candidate != 0; candidate = AddressAfter(range, candidate)) {
        if (HostOrder(candidate) < HostOrder(range.first))
            continue;
        bool used = false;
        for (const NetAddress address : taken)
            used = used || address == candidate;
        if (!used)
            return candidate;
    }
    return 0;
}

NetAddress AddressAfter(const AddressRange& range, NetAddress address) {
    return HostOrder(address) >= HostOrder(range.last) ? 0 : FromHostOrder(HostOrder(address) + 1);
}

AtFactory WhoIsAtFactory(const std::vector<Reply>& rows, NetAddress factory, Reply* one, std::size_t* count) {
    char text[AddressTextCapacity];
    FormatAddress(factory, text, sizeof text);
    const std::vector<BroadcastInterface> where = InterfacesAnswering(rows, text);
    if (where.empty())
        return AtFactory::Nobody;
    if (where.size() > 1)
        return AtFactory::SeveralInterfaces;
    const std::vector<const Reply*> there = AnswersAt(rows, text, where[0]);
    *count = there.size();
    if (there.size() > 1)
        return AtFactory::Several;
    *one = *there[0];
    return AtFactory::One;
}

bool ChooseAddress(const NetPlatform& platform, const AddressRange& range, NetAddress next,
                   std::vector<NetAddress> taken, NetAddress factory, const ReconfigureValues& values,
                   const Looked& looked, CommandRequest* request, Decision* decision) {
    for (const NetAddress address : AnsweringAddresses(looked.rows))
        taken.push_back(address);
    for (NetAddress candidate = NextFree(range, next, taken); candidate != 0;
         candidate = NextFree(range, AddressAfter(range, candidate), taken)) {
        request->kind = CommandKind::Reconfigure;
        request->target = factory;
        request->values = values;
        request->values.address = candidate;
        *decision = DecideCommand(platform, *request, looked);
        if (decision->send)
            return true;
        taken.push_back(candidate);  // this machine's own, or its subnet's edge
    }
    return false;
}

bool RowFits(const ExpectedRow& row, const Reply& newcomer, int prefix) {
    if (NamesInterface(row) ? !OnExpectedInterface(row, newcomer)
                            : prefix >= 0 && !InSubnet(row.address, newcomer.via.address, prefix))
        return false;
    for (const std::string& field : ExpectedDifferences(row, newcomer))
        if (field != "mac")
            return false;
    return true;
}

RowChoice ChooseRow(const ExpectedList& list, const std::vector<bool>& missing, const Reply& newcomer, int prefix) {
    const bool macKnown = newcomer.macSource != MacSource::None;
    bool anyMissing = false;
    for (std::size_t r = 0; r < list.rows.size(); ++r) {
        const ExpectedRow& row = list.rows[r];
        anyMissing = anyMissing || missing[r];
        if (macKnown && row.macGiven && row.mac == newcomer.mac) {
            if (!missing[r])
                return {RowFit::MacRowThere, r};
            return {RowFits(row, newcomer, prefix) ? RowFit::Row : RowFit::MacRowDiffers, r};
        }
    }
    for (std::size_t r = 0; r < list.rows.size(); ++r)
        if (missing[r] && !list.rows[r].macGiven && RowFits(list.rows[r], newcomer, prefix))
            return {RowFit::Row, r};
    return {anyMissing ? RowFit::NoRowFits : RowFit::LineComplete, 0};
}

std::vector<const Reply*> RowReplies(const ExpectedList& list, const std::vector<Reply>& rows) {
    std::map<NetAddress, std::vector<const Reply*>> answering;
    NetAddress address = 0;
    for (const Reply& reply : rows)
        if (ParseDottedAddress(reply.address, &address))
            answering[address].push_back(&reply);
    std::vector<const Reply*> replies(list.rows.size(), nullptr);
    for (std::size_t r = 0; r < list.rows.size(); ++r) {
        const ExpectedRow& row = list.rows[r];
        if (const auto found = answering.find(row.address); found != answering.end())
            for (const Reply* reply : found->second)
                if (replies[r] == nullptr && (!NamesInterface(row) || OnExpectedInterface(row, *reply)))
                    replies[r] = reply;
    }
    return replies;
}

std::vector<bool> MissingRows(const ExpectedList& list, const std::vector<Reply>& rows,
                              const std::vector<bool>& closed) {
    const std::vector<const Reply*> replies = RowReplies(list, rows);
    std::vector<bool> missing(list.rows.size(), false);
    for (std::size_t r = 0; r < list.rows.size(); ++r)
        missing[r] = replies[r] == nullptr && !closed[r];
    return missing;
}

bool RowSettings(const ExpectedRow& row, const RowDefaults& defaults, ReconfigureValues* values, std::string* why) {
    NetAddress mask = row.maskGiven ? row.mask : defaults.mask;
    if (!row.maskGiven && !defaults.maskGiven) {
        if (defaults.interfacePrefix < 1) {
            *why = "no mask: the row gives none, --mask neither, and the interface's subnet is not known";
            return false;
        }
        mask = FromHostOrder(MaskOf(defaults.interfacePrefix));
    }
    const NetAddress gateway = row.gatewayGiven ? row.gateway : defaults.gatewayGiven ? defaults.gateway : 0;
    const std::string maskText = AddressString(mask), gatewayText = AddressString(gateway);
    char message[MessageCapacity];
    if (!CheckReconfigureFields(row.addressText.c_str(), maskText.c_str(), gatewayText.c_str(), values, message,
                                sizeof message)) {
        *why = message;
        return false;
    }
    return true;
}

}  // namespace scout::ops
