// Asking the link whether a host holds an address, on Linux (see neighbour.h).
#include "net/posix/neighbour.h"

#include "net/posix/link_tap.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace scout {
namespace {

bool MacOf(int fd, std::uint32_t index, MacAddress* mac) {
    ifreq request{};
    if (::if_indextoname(index, request.ifr_name) == nullptr || ::ioctl(fd, SIOCGIFHWADDR, &request) != 0)
        return false;
    std::memcpy(mac->data(), request.ifr_hwaddr.sa_data, mac->size());
    return true;
}

// An ARP probe by the interface; false (and *code) where this process may not
// send one.
bool SendProbe(const BroadcastInterface& via, NetAddress address, int* code) {
    const int fd = LinkTap(code);
    if (fd < 0)
        return false;
    MacAddress own{};
    if (!MacOf(fd, via.index, &own)) {
        *code = errno;
        return false;
    }
    std::uint8_t packet[ArpPacketSize];
    BuildArpProbe(own, address, packet);
    sockaddr_ll link{};
    link.sll_family = AF_PACKET;
    link.sll_protocol = htons(ETH_P_ARP);
    link.sll_ifindex = static_cast<int>(via.index);
    link.sll_halen = 6;
    std::memset(link.sll_addr, 0xFF, 6);
    if (::sendto(fd, packet, sizeof packet, 0, reinterpret_cast<const sockaddr*>(&link), sizeof link) < 0) {
        *code = errno;
        return false;
    }
    return true;
}

// An empty datagram to the discard port: the kernel resolves the address first.
int SendResolving(const BroadcastInterface& via, NetAddress address) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0)
        return errno;
    char name[IF_NAMESIZE] = {};
    int code = 0;
    if (::if_indextoname(via.index, name) == nullptr ||
        ::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, name, static_cast<socklen_t>(std::strlen(name) + 1)) != 0)
        code = errno;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    to.sin_addr.s_addr = address;
    if (code == 0 && ::sendto(fd, "", 0, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0)
        code = errno;
    ::close(fd);
    return code;
}

// The kernel's entry for the address on the interface, from a dump of its
// neighbour table: its state and MAC, and how long ago the host last
// confirmed it (answered), in milliseconds.
struct Entry {
    bool found = false;
    std::uint16_t state = 0;
    bool hasMac = false;
    MacAddress mac{};
    bool aged = false;
    std::uint32_t confirmedMs = 0;
};

// The kernel gives ages in clock ticks of the process's clock_t.
std::uint32_t TicksToMs(std::uint32_t ticks) {
    static const long perSecond = ::sysconf(_SC_CLK_TCK) > 0 ? ::sysconf(_SC_CLK_TCK) : 100;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ticks) * 1000u / static_cast<std::uint64_t>(perSecond));
}

int GetNeighbour(const NeighbourAsking& asking, Entry* entry);

// Whether the host confirmed the entry since the clock read since: it is
// reachable, confirmed no longer ago than that (the kernel's age counted back
// from now). An entry a host's own ARP request made or changed is only stale,
// and its time of writing is no help: the kernel writes it too when this
// workstation merely uses the entry.
bool ConfirmedSince(const Entry& entry, std::uint32_t since) {
    return entry.aged && (entry.state & NUD_REACHABLE) != 0 && entry.confirmedMs <= TapClock() - since;
}

// What a probe heard: a holder's answer, else what the kernel's own entry
// says where it was set by hand (frames for the address go to its MAC
// whoever answers), else whether frames were lost meanwhile.
NeighbourAnswer ReadProbe(NeighbourAsking* asking, MacAddress* mac) {
    const bool heard = ArpAnswered(asking->via.index, asking->address, mac);
    ForgetArp(asking->via.index, asking->address);
    if (heard)
        return NeighbourAnswer::Holder;
    Entry entry;
    if (GetNeighbour(*asking, &entry) == 0 && entry.found && entry.hasMac && (entry.state & NUD_PERMANENT) != 0) {
        *mac = entry.mac;
        return NeighbourAnswer::SetByHand;
    }
    const std::uint64_t lost = TapFramesLost() - asking->lostBefore;
    if (lost != 0) {
        asking->code = static_cast<int>(lost > 0x7fffffff ? 0x7fffffff : lost);
        return NeighbourAnswer::Busy;
    }
    return NeighbourAnswer::Nobody;
}

void ReadEntry(const nlmsghdr* message, const NeighbourAsking& asking, Entry* entry) {
    const auto* neighbour = static_cast<const ndmsg*>(NLMSG_DATA(message));
    if (neighbour->ndm_family != AF_INET || neighbour->ndm_ifindex != static_cast<int>(asking.via.index))
        return;
    Entry seen;
    bool same = false;
    int left = static_cast<int>(RTM_PAYLOAD(message));
    for (const rtattr* a = RTM_RTA(neighbour); RTA_OK(a, left); a = RTA_NEXT(a, left)) {
        if (a->rta_type == NDA_DST && RTA_PAYLOAD(a) == 4)
            same = std::memcmp(RTA_DATA(a), &asking.address, 4) == 0;
        if (a->rta_type == NDA_LLADDR && RTA_PAYLOAD(a) == 6) {
            seen.hasMac = true;
            std::memcpy(seen.mac.data(), RTA_DATA(a), 6);
        }
        if (a->rta_type == NDA_CACHEINFO && RTA_PAYLOAD(a) >= sizeof(nda_cacheinfo)) {
            nda_cacheinfo info{};
            std::memcpy(&info, RTA_DATA(a), sizeof info);
            seen.aged = true;
            seen.confirmedMs = TicksToMs(info.ndm_confirmed);
        }
    }
    if (!same)
        return;
    seen.found = true;
    seen.state = neighbour->ndm_state;
    *entry = seen;
}

// One request to the kernel's neighbour table and every answer to it, read
// into entry; 0, or the code of what failed (the kernel's own refusal among them).
int Exchange(const void* request, std::size_t length, const NeighbourAsking& asking, Entry* entry) {
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return errno;
    int code = ::send(fd, request, length, 0) < 0 ? errno : 0;
    alignas(nlmsghdr) char buffer[16384];
    for (bool more = code == 0; more;) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            code = got < 0 ? errno : EIO;
            break;
        }
        int left = static_cast<int>(got);
        for (const auto* m = reinterpret_cast<const nlmsghdr*>(buffer); NLMSG_OK(m, left); m = NLMSG_NEXT(m, left)) {
            if (m->nlmsg_type == RTM_NEWNEIGH)
                ReadEntry(m, asking, entry);
            if (m->nlmsg_type == NLMSG_ERROR) {
                const int error = -static_cast<const nlmsgerr*>(NLMSG_DATA(m))->error;
                code = error == ENOENT ? 0 : error;
            }
            // A dump ends with DONE; the answer to one asking is one message.
            more = (m->nlmsg_flags & NLM_F_MULTI) != 0 && m->nlmsg_type != NLMSG_DONE &&
                   m->nlmsg_type != NLMSG_ERROR;
        }
    }
    ::close(fd);
    return code;
}

// The kernel's entry for one address on one interface, asked for alone (a
// dump would cost a search with many replies the whole table for each); the
// whole table where the kernel answers no single asking (before Linux 5.0).
int GetNeighbour(const NeighbourAsking& asking, Entry* entry) {
    struct {
        nlmsghdr header;
        ndmsg body;
        rtattr destination;
        std::uint32_t address;
    } one{};
    one.header.nlmsg_len = sizeof one;
    one.header.nlmsg_type = RTM_GETNEIGH;
    one.header.nlmsg_flags = NLM_F_REQUEST;
    one.body.ndm_family = AF_INET;
    one.body.ndm_ifindex = static_cast<int>(asking.via.index);
    one.destination.rta_len = RTA_LENGTH(4);
    one.destination.rta_type = NDA_DST;
    one.address = asking.address;
    const int code = Exchange(&one, sizeof one, asking, entry);
    if (code != EOPNOTSUPP && code != EINVAL)
        return code;
    struct {
        nlmsghdr header;
        ndmsg body;
    } all{};
    all.header.nlmsg_len = sizeof all;
    all.header.nlmsg_type = RTM_GETNEIGH;
    all.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    all.body.ndm_family = AF_INET;
    return Exchange(&all, sizeof all, asking, entry);
}

NeighbourAnswer ReadSystem(NeighbourAsking* asking, MacAddress* mac) {
    Entry entry;
    const int probeCode = asking->code;  // why this process did not probe
    asking->code = GetNeighbour(*asking, &entry);
    if (asking->code != 0)
        return NeighbourAnswer::Failed;
    asking->code = probeCode;
    if (!entry.found || !entry.hasMac || (entry.state & (NUD_INCOMPLETE | NUD_FAILED | NUD_NOARP)) != 0)
        return NeighbourAnswer::Nobody;
    *mac = entry.mac;
    // Set by hand: the kernel never asks, and sends to that MAC. Reachable:
    // the host confirmed it within the kernel's reachable time (by this
    // asking, or seconds before it). Stale, delay, probe: an entry from
    // before, which the kernel asks about again only after seconds of use,
    // not within the look.
    if ((entry.state & NUD_PERMANENT) != 0)
        return NeighbourAnswer::SetByHand;
    if ((entry.state & NUD_REACHABLE) != 0)
        return NeighbourAnswer::Holder;
    return NeighbourAnswer::OlderEntry;
}

}  // namespace

bool KnownNeighbour(std::uint32_t index, NetAddress address, std::uint32_t since, MacAddress* mac) {
    NeighbourAsking asking;
    asking.via.index = index;
    asking.address = address;
    Entry entry;
    if (GetNeighbour(asking, &entry) != 0 || !entry.found || !entry.hasMac || !ConfirmedSince(entry, since))
        return false;
    *mac = entry.mac;
    return true;
}

void BuildArpProbe(const MacAddress& mac, NetAddress address, std::uint8_t* packet) {
    const std::uint8_t head[8] = {0x00, 0x01, 0x08, 0x00, 6, 4, 0x00, 0x01};  // Ethernet, IPv4, request
    std::memcpy(packet, head, sizeof head);
    std::memcpy(packet + 8, mac.data(), 6);
    std::memset(packet + 14, 0, 4 + 6);  // sender address 0.0.0.0, target MAC unknown
    std::memcpy(packet + 24, &address, 4);
}

bool ArpFrom(const std::uint8_t* packet, std::size_t length, NetAddress address, MacAddress* sender) {
    if (length < ArpPacketSize || packet[0] != 0x00 || packet[1] != 0x01 || packet[2] != 0x08 || packet[3] != 0x00 ||
        packet[4] != 6 || packet[5] != 4 || packet[6] != 0x00 || (packet[7] != 1 && packet[7] != 2))
        return false;
    if (std::memcmp(packet + 14, &address, 4) != 0)
        return false;
    std::memcpy(sender->data(), packet + 8, 6);
    return true;
}

void AskNeighbour(void*, const BroadcastInterface& via, NetAddress address, bool onLink, NeighbourAsking* asking) {
    *asking = NeighbourAsking{};
    asking->via = via;
    asking->address = address;
    asking->since = TapClock();
    int probeCode = 0;
    if (SendProbe(via, address, &probeCode)) {
        asking->way = NeighbourWay::Probe;
        asking->lostBefore = TapFramesLost();
        WatchArp(via.index, address, asking->since);
        return;
    }
    if (!onLink) {
        asking->early = NeighbourAnswer::OffLink;
        asking->code = probeCode;
        return;
    }
    asking->code = SendResolving(via, address);
    if (asking->code != 0) {
        asking->early = NeighbourAnswer::Failed;
        return;
    }
    asking->code = probeCode;
    asking->way = NeighbourWay::System;
}

// A probe where the process's link-layer socket can be had (opening it
// sends nothing), else the kernel's resolution, for addresses of a subnet.
NeighbourWay WayOfAsking(void*, int* code) {
    return LinkTap(code) >= 0 ? NeighbourWay::Probe : NeighbourWay::System;
}

void ProbeNeighbour(void*, NeighbourAsking* asking) {
    DrainTap();
    int code = 0;
    if (asking->way == NeighbourWay::Probe)
        SendProbe(asking->via, asking->address, &code);  // a lost probe is what the others are for
}

NeighbourAnswer ReadNeighbour(void*, NeighbourAsking* asking, MacAddress* mac) {
    switch (asking->way) {
    case NeighbourWay::Probe: return ReadProbe(asking, mac);
    case NeighbourWay::System: return ReadSystem(asking, mac);
    case NeighbourWay::None: break;
    }
    return asking->early;
}

}  // namespace scout
