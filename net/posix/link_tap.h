// One link-layer socket for the whole process, on every interface: it sees
// each ARP packet (for the probes of net/posix/neighbour) and each UDP packet
// to the tool's port (so that a reply read from a UDP socket is known by the
// MAC of the frame that carried it). Opened at the first need and kept to the
// end: opening, binding and closing one waits for the kernel each time (10 to
// 30 ms, measured). Needs CAP_NET_RAW.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "net/platform.h"

namespace scout {

// The socket, opened at the first call; -1 (and *code) where this process may
// not open one.
int LinkTap(int* code);

// The answers to this process's askings, kept by the address asked: ARP from
// that address (a reply, or its own request) on that interface, read since
// the asking began. Whatever else the link carries (a flood of gratuitous
// ARP, hundreds of devices asking for the workstation) pushes none out.
struct ArpAnswers {
    struct Asked {
        std::uint32_t since = 0;  // the earliest open asking of it began
        int open = 0;             // askings of it not yet ended
        bool heard = false;
        MacAddress mac{};         // the first MAC heard
    };
    std::unordered_map<std::uint64_t, Asked> asked;  // by interface index and address
};
void BeginArpAsking(ArpAnswers& answers, std::uint32_t index, NetAddress address, std::uint32_t since);
// One ARP packet (without its Ethernet header) read on the interface at the clock readAt.
void KeepArpPacket(ArpAnswers& answers, std::uint32_t index, const std::uint8_t* packet, std::size_t length,
                   std::uint32_t readAt);
// Whether the address answered on the interface since its asking began; then its MAC.
bool ArpHeard(const ArpAnswers& answers, std::uint32_t index, NetAddress address, MacAddress* mac);
void EndArpAsking(ArpAnswers& answers, std::uint32_t index, NetAddress address);

// The process's own askings, on its tap: begun, read (everything queued on
// the tap is read first), ended.
void WatchArp(std::uint32_t index, NetAddress address, std::uint32_t since);
bool ArpAnswered(std::uint32_t index, NetAddress address, MacAddress* mac);
void ForgetArp(std::uint32_t index, NetAddress address);
// The frames the tap lost so far because its receive buffer was full (the
// link carried more than this process read in time); 0 where it is not open.
std::uint64_t TapFramesLost();
// Everything the tap has queued, read into what it keeps.
void DrainTap();

// The MAC of the frame that carried a datagram read from a UDP socket on the
// interface with that index: the oldest one not yet taken with that sender
// and those bytes. False where the tap is not open or saw no such frame.
bool ReplyFrameMac(std::uint32_t index, NetAddress sender, const std::uint8_t* data, std::size_t length,
                   MacAddress* mac);

// The clock the tap's entries are stamped with (milliseconds, monotonic).
std::uint32_t TapClock();

}  // namespace scout
