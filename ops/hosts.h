// Whether a host that does not answer as a controller (a PLC, an HMI, a
// laptop) holds an address that a command would give: the link of each
// interface the command may leave by is asked, given one deadline to answer
// whichever command asks (reconfigure, a plan's rows, commission, the
// dialog), and read once it has passed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "net/platform.h"

namespace scout::ops {

// How long the link has to answer, from the first asking: no command reads
// the answers sooner, so that a host that answers within it is found by
// every command alike (one that answers later may be found by a longer look).
constexpr std::uint32_t LinkAnswerMs = 1000;
// Where this process probes the link itself (an ARP probe, sender 0.0.0.0, as
// RFC 5227 words it, though not at its timers of seconds), a probe goes at
// each of these offsets from the first asking: one lost frame, or a host that
// misses one, is no silent pass. Where only the system can ask, it asks once.
constexpr std::uint32_t ProbeOffsetsMs[] = {0, 300, 600};
constexpr std::size_t ProbeCount = sizeof ProbeOffsetsMs / sizeof ProbeOffsetsMs[0];

struct HostAnswer {
    NetAddress address = 0;
    BroadcastInterface via{};
    NeighbourAnswer answer = NeighbourAnswer::Nobody;
    MacAddress mac{};
    int code = 0;    // Failed, Unsupported: the platform's code (0: none); Busy: the frames lost
    int prefix = -1;  // OffLink: via's prefix length (-1: not known)
};

struct HostAsking {
    std::vector<NeighbourAsking> askings;
    std::vector<int> prefixes;        // per asking: its interface's prefix length
    std::vector<HostAnswer> unasked;  // where no asking could begin
    std::uint32_t since = 0;          // the clock when the first asking began
    std::size_t probesSent = 0;       // of ProbeOffsetsMs
};

// Begins asking on each interface for each address (the first probe goes);
// never blocks.
HostAsking AskForHosts(const NetPlatform& platform, const std::vector<BroadcastInterface>& interfaces,
                       const std::vector<NetAddress>& addresses);
// The probes that are due by now; never blocks. A look calls it between its
// listening passes.
void KeepAsking(const NetPlatform& platform, HostAsking& asking);
// What each link answered, read once the deadline has passed (waited for,
// probing on the way, where it has not yet); ends every asking.
std::vector<HostAnswer> HostsAnswered(const NetPlatform& platform, HostAsking& asking);
// All of it at once, for a front end with no look of its own before a
// command (the dialog, commissioning's next address): blocks for LinkAnswerMs.
std::vector<HostAnswer> AskTheLink(const NetPlatform& platform, const std::vector<BroadcastInterface>& interfaces,
                                   const std::vector<NetAddress>& addresses);
// The answer for address on via; null where it was not asked.
const HostAnswer* HostAnswerOn(const std::vector<HostAnswer>& answers, NetAddress address,
                               const BroadcastInterface& via);

// "02:00:5e:10:00:01": lowercase, colons.
std::string MacText(const MacAddress& mac);

}  // namespace scout::ops
