// Dotted text of addresses, and the checks of the reconfigure fields.
#include "net/address.h"

#include "net/error_report.h"

#include <cstdio>
#include <cstring>

namespace scout {
namespace {

constexpr int MinPrefix = 1;
constexpr int MaxPrefix = 30;  // a /31 or /32 leaves no host beside its network and broadcast

// The prefix length of a contiguous mask, or -1 for one with a one after a zero.
int ContiguousPrefix(std::uint32_t mask) {
    const std::uint32_t inverted = ~mask;
    if ((inverted & (inverted + 1)) != 0)
        return -1;  // ones after a zero
    int prefix = 0;
    for (std::uint32_t m = mask; (m & 0x80000000u) != 0; m <<= 1)
        ++prefix;
    return prefix;
}

// Not 0.0.0.0/8 ("this network"), loopback, multicast, reserved or the limited broadcast.
bool UnicastRange(std::uint32_t address) {
    const std::uint32_t first = address >> 24;
    return first != 0 && first != 127 && first < 224;
}

bool HostOfSubnet(std::uint32_t address, std::uint32_t mask) {
    const std::uint32_t host = address & ~mask;
    return host != 0 && host != ~mask;
}

}  // namespace

std::uint32_t HostOrder(NetAddress address) {
    std::uint8_t b[4];
    std::memcpy(b, &address, 4);
    return static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
           static_cast<std::uint32_t>(b[2]) << 8 | b[3];
}

NetAddress FromHostOrder(std::uint32_t value) {
    return MakeAddress(static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
                       static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value));
}

std::uint32_t MaskOf(int prefixLength) {
    return prefixLength <= 0 ? 0 : prefixLength >= 32 ? 0xFFFFFFFFu : 0xFFFFFFFFu << (32 - prefixLength);
}

int PrefixLengthOf(NetAddress mask) {
    return ContiguousPrefix(HostOrder(mask));
}

bool ControllerCanHold(NetAddress address) {
    return UnicastRange(HostOrder(address));
}

bool InSubnet(NetAddress address, NetAddress interfaceAddress, int prefixLength) {
    if (prefixLength < 0)
        return false;
    const std::uint32_t mask = MaskOf(prefixLength);
    return (HostOrder(address) & mask) == (HostOrder(interfaceAddress) & mask);
}

bool IsSubnetEdge(NetAddress address, NetAddress interfaceAddress, int prefixLength) {
    if (prefixLength < 1 || prefixLength > 30)
        return false;
    const std::uint32_t mask = 0xFFFFFFFFu << (32 - prefixLength);
    const std::uint32_t value = HostOrder(address);
    return (value & mask) == (HostOrder(interfaceAddress) & mask) && !HostOfSubnet(value, mask);
}

void FormatAddress(NetAddress address, char* text, std::size_t capacity) {
    std::uint8_t bytes[4];
    std::memcpy(bytes, &address, sizeof bytes);
    std::snprintf(text, capacity, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
}

// A part with a leading zero is refused: inet_aton and ping read 010 as octal 8.
bool ParseDottedAddress(const char* text, NetAddress* address) {
    std::uint8_t bytes[4];
    const char* p = text;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (*p != '.')
                return false;
            ++p;
        }
        unsigned value = 0;
        int digits = 0;
        const char* first = p;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + static_cast<unsigned>(*p - '0');
            if (++digits > 3 || value > 255)
                return false;
            ++p;
        }
        if (digits == 0 || (digits > 1 && *first == '0'))
            return false;
        bytes[part] = static_cast<std::uint8_t>(value);
    }
    if (*p != '\0')
        return false;
    std::memcpy(address, bytes, sizeof bytes);
    return true;
}

bool CheckReconfigureFields(const char* addressText, const char* maskText, const char* gatewayText,
                            ReconfigureValues* values, char* message, std::size_t capacity) {
    ReconfigureValues parsed;
    const struct {
        const char* name;
        const char* text;
        NetAddress* value;
    } fields[] = {{"IP address", addressText, &parsed.address},
                  {"subnet mask", maskText, &parsed.mask},
                  {"gateway", gatewayText, &parsed.gateway}};
    for (const auto& field : fields) {
        if (!ParseDottedAddress(field.text, field.value)) {
            FormatFieldRefusal(FieldRefusal::NotAnAddress, message, capacity, field.name, field.text);
            return false;
        }
    }
    const std::uint32_t address = HostOrder(parsed.address);
    const std::uint32_t mask = HostOrder(parsed.mask);
    const std::uint32_t gateway = HostOrder(parsed.gateway);
    const int prefix = ContiguousPrefix(mask);
    if (prefix < MinPrefix || prefix > MaxPrefix) {
        FormatFieldRefusal(FieldRefusal::MaskRefused, message, capacity, maskText);
        return false;
    }
    if (!UnicastRange(address) || !HostOfSubnet(address, mask)) {
        FormatFieldRefusal(FieldRefusal::AddressRefused, message, capacity, addressText, maskText);
        return false;
    }
    if (gateway != 0 && (!UnicastRange(gateway) || (gateway & mask) != (address & mask) ||
                         !HostOfSubnet(gateway, mask) || gateway == address)) {
        FormatFieldRefusal(FieldRefusal::GatewayRefused, message, capacity, gatewayText, addressText, maskText);
        return false;
    }
    *values = parsed;
    return true;
}

bool AddressAndMaskSwapped(const char* address, const char* mask) {
    NetAddress asMask = 0, asAddress = 0;
    if (!ParseDottedAddress(address, &asMask) || !ParseDottedAddress(mask, &asAddress))
        return false;
    const int prefix = PrefixLengthOf(asMask);
    return prefix >= 1 && prefix <= 30 && PrefixLengthOf(asAddress) < 0;
}

}  // namespace scout
