// Commissioning new controllers one at a time: the range of addresses they
// get, the next free one (free of every controller that answers, every one
// given in this run, this workstation's own, and what the checks of
// reconfigure refuse), and whether exactly one new controller waits at the
// factory address.
#pragma once

#include <cstdint>
#include <vector>

#include "ops/command.h"

namespace scout::ops {

// The addresses commission gives, first to last (in HostOrder).
struct AddressRange {
    NetAddress first = 0;
    NetAddress last = 0;
};

// The last host of first's subnet by mask: its broadcast address less one.
NetAddress LastHostOf(NetAddress first, NetAddress mask);

enum class RangeFault {
    None,
    LastBeforeFirst,
    OutsideSubnet,  // last lies outside the subnet first and the mask make
};
RangeFault CheckRange(const AddressRange& range, NetAddress mask);

// The first address from from on (within range) that none of taken is; 0
// where none is left.
NetAddress NextFree(const AddressRange& range, NetAddress from, const std::vector<NetAddress>& taken);
// The address after one (0 after the range's last).
NetAddress AddressAfter(const AddressRange& range, NetAddress address);

// Who answers at the factory address in a search.
enum class AtFactory { Nobody, One, Several, SeveralInterfaces };
AtFactory WhoIsAtFactory(const std::vector<Reply>& rows, NetAddress factory, Reply* one, std::size_t* count);

// The next free address of the range from next on that the controller at the
// factory address may get, with the decision to send it there: the
// reconfigure to candidate, decided as a single command is; false where the
// range has none left.
bool ChooseAddress(const NetPlatform& platform, const AddressRange& range, NetAddress next,
                   std::vector<NetAddress> taken, NetAddress factory, const ReconfigureValues& values,
                   const Looked& looked, CommandRequest* request, Decision* decision);

}  // namespace scout::ops
