// One link-layer socket for the whole process, on every interface: it sees
// each ARP packet (for the probes of net/posix/neighbour) and each UDP packet
// to the tool's port (so that a reply read from a UDP socket is known by the
// MAC of the frame that carried it). Opened at the first need and kept to the
// end: opening, binding and closing one waits for the kernel each time (10 to
// 30 ms, measured). Needs CAP_NET_RAW.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/platform.h"

namespace scout {

// The socket, opened at the first call; -1 (and *code) where this process may
// not open one.
int LinkTap(int* code);

// Whether ARP from address (a reply, or its own request) on the interface
// with that index was read since the clock read since; then its MAC.
bool ArpSeenSince(std::uint32_t index, NetAddress address, std::uint32_t since, MacAddress* mac);

// The MAC of the frame that carried a datagram read from a UDP socket on the
// interface with that index: the oldest one not yet taken with that sender
// and those bytes. False where the tap is not open or saw no such frame.
bool ReplyFrameMac(std::uint32_t index, NetAddress sender, const std::uint8_t* data, std::size_t length,
                   MacAddress* mac);

// The clock the tap's entries are stamped with (milliseconds, monotonic).
std::uint32_t TapClock();

}  // namespace scout
