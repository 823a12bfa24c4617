// The ARP probe Linux sends for an address, and which ARP packets say that
// a host holds it: a reply from it, or its own request; never the probe
// itself (sender 0.0.0.0), another address, or a packet that is no IPv4 ARP.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "net/posix/link_tap.h"
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

// The answers to this process's askings are kept by the address asked: a
// holder's answer stands whatever else the link carries after it (devices
// asking for the workstation, a host's gratuitous ARP by the thousand); only
// what came on the interface asked, after the asking began, counts.
TEST(ArpAnswers, KeptByTheAddressAskedWhateverElseTheLinkCarries) {
    const NetAddress asked = MakeAddress(10, 1, 0, 77);
    const MacAddress Chatty{0x02, 0x00, 0x5e, 0x99, 0x00, 0x01};
    const struct {
        const char* name;
        std::uint32_t index;
        std::uint32_t readAt;
        bool heard;
    } cases[] = {
        {"an answer on the interface asked", 2, 1100, true},
        {"an answer before the asking began", 2, 900, false},
        {"an answer on another interface", 3, 1100, false},
    };
    for (const auto& c : cases) {
        ArpAnswers answers;
        BeginArpAsking(answers, 2, asked, 1000);
        const std::vector<std::uint8_t> answer = Arp(2, Host, asked, 0);
        KeepArpPacket(answers, c.index, answer.data(), answer.size(), c.readAt);
        for (std::uint32_t n = 0; n < 100000; ++n) {
            const std::vector<std::uint8_t> other =
                Arp(1, Chatty, MakeAddress(10, 2 + static_cast<int>(n / 62500), static_cast<int>(n / 250 % 250),
                                           static_cast<int>(1 + n % 250)),
                    MakeAddress(10, 1, 0, 1));
            KeepArpPacket(answers, 2, other.data(), other.size(), c.readAt + 1 + n / 100);
        }
        const std::vector<std::uint8_t> gratuitous = Arp(1, Chatty, MakeAddress(10, 1, 0, 99), MakeAddress(10, 1, 0, 99));
        KeepArpPacket(answers, 2, gratuitous.data(), gratuitous.size(), 2000);
        MacAddress mac{};
        EXPECT_EQ(ArpHeard(answers, 2, asked, &mac), c.heard) << c.name;
        if (c.heard) {
            EXPECT_EQ(mac, Host) << c.name;
        }
        EXPECT_EQ(answers.asked.size(), 1u) << c.name << ": only what was asked is kept";
    }
}

TEST(ArpAnswers, TwoAskingsOfOneAddressAndTheEnd) {
    const NetAddress asked = MakeAddress(10, 1, 0, 77);
    const std::vector<std::uint8_t> answer = Arp(2, Host, asked, 0);
    ArpAnswers answers;
    BeginArpAsking(answers, 2, asked, 1000);
    BeginArpAsking(answers, 2, asked, 1500);  // a second row of a plan: the first's time stands
    KeepArpPacket(answers, 2, answer.data(), answer.size(), 1200);
    MacAddress mac{};
    EXPECT_TRUE(ArpHeard(answers, 2, asked, &mac));
    EndArpAsking(answers, 2, asked);
    EXPECT_TRUE(ArpHeard(answers, 2, asked, &mac)) << "one asking still open";
    EndArpAsking(answers, 2, asked);
    EXPECT_FALSE(ArpHeard(answers, 2, asked, &mac)) << "ended";
    KeepArpPacket(answers, 2, answer.data(), answer.size(), 1300);
    EXPECT_TRUE(answers.asked.empty()) << "nothing kept for an asking that ended";
}

}  // namespace
}  // namespace scout
