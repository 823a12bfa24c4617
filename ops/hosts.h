// Whether a host that does not answer as a controller (a PLC, an HMI, a
// laptop) holds an address that a command would give: the link of each
// interface the command may leave by is asked while the look before the
// command runs, and read once it ends.
#pragma once

#include <string>
#include <vector>

#include "net/platform.h"

namespace scout::ops {

// How long a front end with no look of its own before a command (the
// dialog, commissioning's next address) gives the link to answer.
constexpr std::uint32_t HostAnswerMs = 500;

struct HostAnswer {
    NetAddress address = 0;
    BroadcastInterface via{};
    NeighbourAnswer answer = NeighbourAnswer::Nobody;
    MacAddress mac{};
    int code = 0;    // Failed, Unsupported: the platform's code (0: none)
    int prefix = -1;  // OffLink: via's prefix length (-1: not known)
};

struct HostAsking {
    std::vector<NeighbourAsking> askings;
    std::vector<HostAnswer> unasked;  // where no asking could begin
};

// Begins asking on each interface for address; never blocks.
HostAsking AskForHosts(const NetPlatform& platform, const std::vector<BroadcastInterface>& interfaces,
                       NetAddress address);
// What each link answered; ends every asking.
std::vector<HostAnswer> HostsAnswered(const NetPlatform& platform, HostAsking& asking);
// The answer for address on via; null where it was not asked.
const HostAnswer* HostAnswerOn(const std::vector<HostAnswer>& answers, NetAddress address,
                               const BroadcastInterface& via);

// "02:00:5e:10:00:01": lowercase, colons.
std::string MacText(const MacAddress& mac);

}  // namespace scout::ops
