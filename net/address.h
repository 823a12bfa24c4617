// IPv4 addresses as the tool holds them: 32-bit values in network byte order
// (the first dotted number in the lowest memory byte), their dotted text, and
// the checks a new address, mask and gateway pass before a reconfigure is sent
// (a controller given an unusable address is lost to the network).
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace scout {

using NetAddress = std::uint32_t;

// a.b.c.d as a network-order value: the memory bytes are a, b, c, d on any host.
constexpr NetAddress MakeAddress(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return std::bit_cast<NetAddress>(std::array<std::uint8_t, 4>{a, b, c, d});
}

constexpr NetAddress AnyAddress = 0;
constexpr NetAddress BroadcastAddress = 0xFFFFFFFFu;  // 255.255.255.255 in any byte order
constexpr NetAddress LoopbackAddress = MakeAddress(127, 0, 0, 1);

constexpr std::size_t AddressTextCapacity = 16;  // "255.255.255.255" and its NUL

// Dotted decimal as inet_ntoa writes it.
void FormatAddress(NetAddress address, char* text, std::size_t capacity);

// Strict dotted-decimal parse (four decimal numbers 0-255, nothing else).
bool ParseDottedAddress(const char* text, NetAddress* address);

// The address as a number, the first dotted number the highest byte (for
// arithmetic and ordering).
std::uint32_t HostOrder(NetAddress address);

// The address of a number of HostOrder's kind.
NetAddress FromHostOrder(std::uint32_t value);

// A prefix length's mask as a HostOrder number (0 for 0 or less, all ones
// for 32 or more); a mask's prefix length where it is contiguous, else -1.
std::uint32_t MaskOf(int prefixLength);
int PrefixLengthOf(NetAddress mask);

// An address a controller can hold: not in 0.0.0.0/8, loopback, multicast or
// 240.0.0.0/4 (the limited broadcast among them).
bool ControllerCanHold(NetAddress address);

// Whether address lies in the subnet of interfaceAddress/prefixLength (false
// where the prefix is not known, -1).
bool InSubnet(NetAddress address, NetAddress interfaceAddress, int prefixLength);

// Whether address is the network or the broadcast address of the subnet of
// interfaceAddress/prefixLength (false where the prefix is not known, -1).
bool IsSubnetEdge(NetAddress address, NetAddress interfaceAddress, int prefixLength);

// Whether the address typed is a mask and the mask typed an address (no
// mask): the two typed in each other's place.
bool AddressAndMaskSwapped(const char* address, const char* mask);

struct ReconfigureValues {
    NetAddress address = 0;
    NetAddress mask = 0;
    NetAddress gateway = 0;
};

// Checks the three texts as typed; on success fills values. On failure writes
// one message that names the field and its value, and returns false.
bool CheckReconfigureFields(const char* addressText, const char* maskText, const char* gatewayText,
                            ReconfigureValues* values, char* message, std::size_t capacity);

}  // namespace scout
