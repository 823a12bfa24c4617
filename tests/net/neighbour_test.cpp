// The ARP probe Linux sends for an address, and which ARP packets say that
// a host holds it: a reply from it, or its own request; never the probe
// itself (sender 0.0.0.0), another address, or a packet that is no IPv4 ARP.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "net/posix/neighbour.h"

namespace scout {
namespace {

constexpr MacAddress Own{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
constexpr MacAddress Host{0x02, 0x00, 0x5e, 0x10, 0x00, 0x77};

std::vector<std::uint8_t> Arp(int op, const MacAddress& sender, NetAddress senderAddress, NetAddress target) {
    std::vector<std::uint8_t> p(ArpPacketSize);
    BuildArpProbe(sender, target, p.data());
    p[7] = static_cast<std::uint8_t>(op);
    std::memcpy(&p[14], &senderAddress, 4);
    return p;
}

TEST(ArpProbe, AsRfc5227Asks) {
    std::uint8_t p[ArpPacketSize];
    BuildArpProbe(Own, MakeAddress(10, 1, 0, 77), p);
    const std::vector<std::uint8_t> expected = {0, 1, 8, 0, 6, 4, 0, 1, 2, 0, 0, 0, 0, 1, 0,  0, 0, 0,
                                                0, 0, 0, 0, 0, 0, 10, 1, 0, 77};
    EXPECT_EQ(std::vector<std::uint8_t>(p, p + sizeof p), expected);
}

TEST(ArpProbe, WhatSaysAHostHoldsTheAddress) {
    const NetAddress wanted = MakeAddress(10, 1, 0, 77);
    const NetAddress other = MakeAddress(10, 1, 0, 78);
    std::vector<std::uint8_t> notIpv4 = Arp(2, Host, wanted, 0);
    notIpv4[2] = 0x86;
    std::vector<std::uint8_t> longMac = Arp(2, Host, wanted, 0);
    longMac[4] = 8;
    std::vector<std::uint8_t> cut = Arp(2, Host, wanted, 0);
    cut.pop_back();
    const struct {
        const char* name;
        std::vector<std::uint8_t> packet;
        bool holder;
    } cases[] = {
        {"a reply from it", Arp(2, Host, wanted, 0), true},
        {"its own request", Arp(1, Host, wanted, other), true},
        {"the probe itself", Arp(1, Own, 0, wanted), false},
        {"a reply from another address", Arp(2, Host, other, 0), false},
        {"an operation that is neither", Arp(3, Host, wanted, 0), false},
        {"no IPv4 ARP", notIpv4, false},
        {"another MAC length", longMac, false},
        {"cut short", cut, false},
        {"empty", {}, false},
    };
    for (const auto& c : cases) {
        MacAddress sender{};
        EXPECT_EQ(ArpFrom(c.packet.data(), c.packet.size(), wanted, &sender), c.holder) << c.name;
        if (c.holder) {
            EXPECT_EQ(sender, Host) << c.name;
        }
    }
}

}  // namespace
}  // namespace scout
