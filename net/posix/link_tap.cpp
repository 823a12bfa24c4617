// The process's one link-layer socket (see link_tap.h).
#include "net/posix/link_tap.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <linux/filter.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/posix/link_listener.h"
#include "net/posix/neighbour.h"
#include "net/query_datagram.h"

namespace scout {
namespace {

int g_tap = -1;
int g_tapCode = 0;

// The answers to this process's askings.
ArpAnswers g_arp;
// The frames the tap lost because its buffer was full, counted so far.
std::uint64_t g_lost = 0;

std::uint64_t Key(std::uint32_t index, NetAddress address) {
    return static_cast<std::uint64_t>(index) << 32 | address;
}

// Replies read so far, each until a UDP socket's datagram takes it; the
// newest ReplySeenCapacity are kept, and one not taken within
// ReplyKeptMs (its datagram was lost, or read at the link layer) is passed.
struct ReplySeen {
    std::uint32_t index;
    NetAddress sender;
    std::uint32_t length;
    std::uint64_t digest;
    MacAddress mac;
    std::uint32_t readAt;
    bool taken;
};
constexpr std::size_t ReplySeenCapacity = 8192;
constexpr std::uint32_t ReplyKeptMs = 3000;
ReplySeen g_replySeen[ReplySeenCapacity];
std::size_t g_replySeenCount = 0;  // read so far
std::size_t g_oldestOpen = 0;      // no entry before this one is still to be taken

std::uint64_t Digest(const std::uint8_t* data, std::size_t length) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (std::size_t i = 0; i < length; ++i)
        hash = (hash ^ data[i]) * 1099511628211ull;
    return hash;
}

void KeepArp(const sockaddr_ll& from, const std::uint8_t* packet, std::size_t length) {
    KeepArpPacket(g_arp, static_cast<std::uint32_t>(from.sll_ifindex), packet, length, TapClock());
}

void KeepReply(const sockaddr_ll& from, const std::uint8_t* packet, std::size_t length) {
    UdpPayload payload;
    // The UDP socket that takes the datagram has checked it whole.
    if (from.sll_halen != 6 || !ReadUdpPacket(packet, length, ToolPort, true, &payload))
        return;
    ReplySeen seen{static_cast<std::uint32_t>(from.sll_ifindex), payload.sender,
                   static_cast<std::uint32_t>(payload.length), Digest(payload.data, payload.length), {}, TapClock(),
                   false};
    std::memcpy(seen.mac.data(), from.sll_addr, 6);
    g_replySeen[g_replySeenCount++ % ReplySeenCapacity] = seen;
}

// What the kernel dropped for want of room in the tap's buffer since the
// last asking (reading the count resets it).
void CountLost() {
    tpacket_stats stats{};
    socklen_t length = sizeof stats;
    if (::getsockopt(g_tap, SOL_PACKET, PACKET_STATISTICS, &stats, &length) == 0)
        g_lost += stats.tp_drops;
}

// Everything the tap has queued, into what it keeps.
void Drain() {
    if (g_tap < 0)
        return;
    CountLost();
    std::uint8_t packet[256];
    for (;;) {
        sockaddr_ll from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got = ::recvfrom(g_tap, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from),
                                       &fromLength);
        if (got < 0)
            return;
        const std::size_t length = static_cast<std::size_t>(got) < sizeof packet ? static_cast<std::size_t>(got)
                                                                                  : sizeof packet;
        if (from.sll_pkttype == PACKET_OUTGOING)
            continue;
        if (from.sll_protocol == htons(ETH_P_ARP))
            KeepArp(from, packet, length);
        else if (from.sll_protocol == htons(ETH_P_IP))
            KeepReply(from, packet, length);
    }
}

}  // namespace

std::uint32_t TapClock() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(now.tv_sec * 1000u + now.tv_nsec / 1000000);
}

int LinkTap(int* code) {
    if (g_tap >= 0 || g_tapCode != 0) {
        *code = g_tapCode;
        return g_tap;
    }
    // Opened for no protocol, filtered, then bound once: nothing to let go of,
    // and nothing unfiltered queued meanwhile. ARP, or IPv4 UDP to the tool's
    // port that is no fragment; what this host sends is passed over.
    const sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_B | BPF_ABS, static_cast<std::uint32_t>(SKF_AD_OFF + SKF_AD_PKTTYPE)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, PACKET_OUTGOING, 9, 0),
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, static_cast<std::uint32_t>(SKF_AD_OFF + SKF_AD_PROTOCOL)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ETH_P_ARP, 6, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ETH_P_IP, 0, 6),
        BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 9),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 17, 0, 4),
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 2),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ToolPort, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 256),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    const sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]),
                             const_cast<sock_filter*>(filter)};
    const int fd = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_ll link{};
    link.sll_family = AF_PACKET;
    link.sll_protocol = htons(ETH_P_ALL);
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) != 0 ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&link), sizeof link) != 0) {
        g_tapCode = errno;
        if (fd >= 0)
            ::close(fd);
    } else {
        AskReceiveBuffer(fd, 4 * 1024 * 1024);  // room for a thousand replies at once
        g_tap = fd;
    }
    *code = g_tapCode;
    return g_tap;
}

void BeginArpAsking(ArpAnswers& answers, std::uint32_t index, NetAddress address, std::uint32_t since) {
    ArpAnswers::Asked& asked = answers.asked[Key(index, address)];
    if (asked.open == 0)
        asked = ArpAnswers::Asked{since, 0, false, {}};
    ++asked.open;
}

void KeepArpPacket(ArpAnswers& answers, std::uint32_t index, const std::uint8_t* packet, std::size_t length,
                   std::uint32_t readAt) {
    NetAddress sender = 0;
    if (answers.asked.empty() || length < ArpPacketSize)
        return;
    std::memcpy(&sender, packet + 14, 4);
    const auto found = answers.asked.find(Key(index, sender));
    if (found == answers.asked.end() || found->second.heard ||
        static_cast<std::int32_t>(readAt - found->second.since) < 0)
        return;
    MacAddress mac{};
    if (sender != 0 && ArpFrom(packet, length, sender, &mac)) {
        found->second.heard = true;
        found->second.mac = mac;
    }
}

bool ArpHeard(const ArpAnswers& answers, std::uint32_t index, NetAddress address, MacAddress* mac) {
    const auto found = answers.asked.find(Key(index, address));
    if (found == answers.asked.end() || !found->second.heard)
        return false;
    *mac = found->second.mac;
    return true;
}

void EndArpAsking(ArpAnswers& answers, std::uint32_t index, NetAddress address) {
    const auto found = answers.asked.find(Key(index, address));
    if (found != answers.asked.end() && --found->second.open <= 0)
        answers.asked.erase(found);
}

void WatchArp(std::uint32_t index, NetAddress address, std::uint32_t since) {
    Drain();  // what came before belongs to no asking
    BeginArpAsking(g_arp, index, address, since);
}

bool ArpAnswered(std::uint32_t index, NetAddress address, MacAddress* mac) {
    Drain();
    return ArpHeard(g_arp, index, address, mac);
}

void ForgetArp(std::uint32_t index, NetAddress address) {
    EndArpAsking(g_arp, index, address);
}

std::uint64_t TapFramesLost() {
    if (g_tap >= 0)
        CountLost();
    return g_lost;
}

void DrainTap() {
    Drain();
}

bool ReplyFrameMac(std::uint32_t index, NetAddress sender, const std::uint8_t* data, std::size_t length,
                   MacAddress* mac) {
    if (g_tap < 0)
        return false;
    Drain();
    const std::uint32_t now = TapClock();
    if (g_replySeenCount - g_oldestOpen > ReplySeenCapacity)
        g_oldestOpen = g_replySeenCount - ReplySeenCapacity;
    const std::uint64_t digest = Digest(data, length);
    bool stillOpen = false;  // an entry before the one looked at is still to be taken
    for (std::size_t n = g_oldestOpen; n < g_replySeenCount; ++n) {
        ReplySeen& seen = g_replySeen[n % ReplySeenCapacity];
        const bool passed = seen.taken || now - seen.readAt > ReplyKeptMs;
        if (passed && !stillOpen)
            g_oldestOpen = n + 1;
        if (passed)
            continue;
        if (seen.index == index && seen.sender == sender && seen.length == length && seen.digest == digest) {
            seen.taken = true;
            if (!stillOpen)
                g_oldestOpen = n + 1;
            *mac = seen.mac;
            return true;
        }
        stillOpen = true;
    }
    return false;
}

}  // namespace scout
