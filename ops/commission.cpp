// Commissioning new controllers one at a time (see commission.h).
#include "ops/commission.h"

#include "ops/answers.h"

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

}  // namespace scout::ops
