// Choosing the broadcast interfaces from an IPv4 forwarding table laid out as
// Windows returns it (MIB_IPFORWARDTABLE): a 32-bit row count, then rows of
// fourteen 32-bit fields (MIB_IPFORWARDROW). Plain C++ with no Windows header,
// so that its tests and its fuzzer also build and run natively.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/platform.h"

namespace scout {

struct ForwardRow {
    std::uint32_t dest;      // network byte order
    std::uint32_t mask;      // network byte order
    std::uint32_t policy;
    std::uint32_t nextHop;   // network byte order; the interface's own address for a broadcast route
    std::uint32_t ifIndex;
    std::uint32_t type;
    std::uint32_t proto;
    std::uint32_t age;
    std::uint32_t nextHopAS;
    std::uint32_t metric[5];
};
static_assert(sizeof(ForwardRow) == 56);

constexpr std::uint32_t DirectRouteType = 3;  // MIB_IPROUTE_TYPE_DIRECT
constexpr std::size_t ForwardTableHeaderBytes = 4;

// The limited broadcast as a direct route to a non-loopback interface address.
bool IsBroadcastInterface(const ForwardRow& row);

// Rewrites the table in place into BroadcastInterface entries, in table order,
// and returns how many there are; rows beyond bytes are never read. The entries
// start at the buffer's first byte, which must be aligned for BroadcastInterface.
std::size_t CompactBroadcastInterfaces(void* table, std::size_t bytes);

}  // namespace scout
