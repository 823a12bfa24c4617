// Asking the link whether a host holds an address, on Linux: an ARP probe at
// the link layer where this process may (CAP_NET_RAW), else the kernel's own
// resolution, read back from its neighbour table (netlink RTM_GETNEIGH).
#pragma once

#include "net/platform.h"

namespace scout {

void AskNeighbour(void* context, const BroadcastInterface& via, NetAddress address, bool onLink,
                  NeighbourAsking* asking);
void ProbeNeighbour(void* context, NeighbourAsking* asking);
NeighbourAnswer ReadNeighbour(void* context, NeighbourAsking* asking, MacAddress* mac);
NeighbourWay WayOfAsking(void* context, int* code);

// The MAC the kernel's neighbour table holds for address on the interface
// with that index, where the host confirmed it since the clock
// (CLOCK_MONOTONIC, ms) read since.
bool KnownNeighbour(std::uint32_t index, NetAddress address, std::uint32_t since, MacAddress* mac);

// The 28 bytes of an ARP probe for address from mac (sender address 0.0.0.0),
// and whether packet is an ARP packet that address sends (a reply, or its own
// request); then *sender holds its MAC.
constexpr std::size_t ArpPacketSize = 28;
void BuildArpProbe(const MacAddress& mac, NetAddress address, std::uint8_t* packet);
bool ArpFrom(const std::uint8_t* packet, std::size_t length, NetAddress address, MacAddress* sender);

}  // namespace scout
