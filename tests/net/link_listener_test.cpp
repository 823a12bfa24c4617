// Packets read at the link layer are taken only as the stack would take them,
// and the reverse-path filter's counter is read from /proc/net/netstat's text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/posix/link_listener.h"
#include "net/query_datagram.h"

namespace scout {
namespace {

// An IPv4 packet of UDP from 192.168.1.100 port 65515 to 10.1.0.1 port
// ToolPort carrying payload, with both checksums right.
std::vector<std::uint8_t> Packet(const std::vector<std::uint8_t>& payload) {
    const std::size_t udpLength = 8 + payload.size();
    const std::size_t total = 20 + udpLength;
    std::vector<std::uint8_t> p = {0x45, 0, std::uint8_t(total >> 8), std::uint8_t(total), 0x12, 0x34, 0x40, 0,
                                   64, 17, 0, 0, 192, 168, 1, 100, 10, 1, 0, 1,
                                   0xff, 0xeb, std::uint8_t(ToolPort >> 8), std::uint8_t(ToolPort & 0xff),
                                   std::uint8_t(udpLength >> 8), std::uint8_t(udpLength), 0, 0};
    for (const std::uint8_t byte : payload)
        p.push_back(byte);
    auto sum = [&](std::size_t from, std::size_t length, std::uint32_t s) {
        for (std::size_t i = 0; i < length; i += 2)
            s += std::uint32_t(p[from + i] << 8) | (i + 1 < length ? p[from + i + 1] : 0);
        while (s >> 16)
            s = (s & 0xffff) + (s >> 16);
        return std::uint16_t(~s);
    };
    const std::uint16_t ip = sum(0, 20, 0);
    p[10] = std::uint8_t(ip >> 8);
    p[11] = std::uint8_t(ip);
    std::uint32_t pseudo = 17 + std::uint32_t(udpLength);
    for (std::size_t i = 12; i < 20; i += 2)
        pseudo += std::uint32_t(p[i] << 8 | p[i + 1]);
    const std::uint16_t udp = sum(20, udpLength, pseudo);
    p[26] = std::uint8_t(udp >> 8);
    p[27] = std::uint8_t(udp);
    return p;
}

struct PacketCase {
    const char* name;
    void (*spoil)(std::vector<std::uint8_t>&);
    bool taken;
};

class LinkLayerPackets : public ::testing::TestWithParam<PacketCase> {};

TEST_P(LinkLayerPackets, TakenAsTheStackWould) {
    const std::vector<std::uint8_t> payload(40, 0x5a);
    std::vector<std::uint8_t> packet = Packet(payload);
    GetParam().spoil(packet);
    UdpPayload read;
    ASSERT_EQ(ReadUdpPacket(packet.data(), packet.size(), ToolPort, false, &read), GetParam().taken);
    if (GetParam().taken) {
        EXPECT_EQ(std::vector<std::uint8_t>(read.data, read.data + read.length), payload);
        EXPECT_EQ(read.sender, MakeAddress(192, 168, 1, 100));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkLayerPackets,
    ::testing::Values(
        PacketCase{"Whole", [](std::vector<std::uint8_t>&) {}, true},
        PacketCase{"NoUdpChecksum", [](std::vector<std::uint8_t>& p) { p[26] = p[27] = 0; }, true},
        PacketCase{"EthernetPadding", [](std::vector<std::uint8_t>& p) { p.resize(p.size() + 6, 0); }, true},
        PacketCase{"Empty", [](std::vector<std::uint8_t>& p) { p.clear(); }, false},
        PacketCase{"CutShort", [](std::vector<std::uint8_t>& p) { p.resize(p.size() - 1); }, false},
        PacketCase{"HeaderOnly", [](std::vector<std::uint8_t>& p) { p.resize(20); }, false},
        PacketCase{"NotVersion4", [](std::vector<std::uint8_t>& p) { p[0] = 0x65; }, false},
        PacketCase{"HeaderTooShort", [](std::vector<std::uint8_t>& p) { p[0] = 0x44; }, false},
        PacketCase{"IpChecksumWrong", [](std::vector<std::uint8_t>& p) { p[11] ^= 1; }, false},
        PacketCase{"UdpChecksumWrong", [](std::vector<std::uint8_t>& p) { p[27] ^= 1; }, false},
        PacketCase{"PayloadChanged", [](std::vector<std::uint8_t>& p) { p[40] ^= 0xff; }, false},
        PacketCase{"Fragment", [](std::vector<std::uint8_t>& p) { p[6] = 0x20; }, false},
        PacketCase{"OtherPort", [](std::vector<std::uint8_t>& p) { p[23] ^= 1; }, false},
        PacketCase{"NotUdp", [](std::vector<std::uint8_t>& p) { p[9] = 6; }, false},
        PacketCase{"UdpLengthPastPacket", [](std::vector<std::uint8_t>& p) { p[25] = 0xff; }, false},
        PacketCase{"UdpLengthBelowHeader", [](std::vector<std::uint8_t>& p) { p[24] = 0; p[25] = 7; }, false},
        PacketCase{"TotalLengthPastFrame", [](std::vector<std::uint8_t>& p) { p[2] = 0xff; }, false}),
    [](const ::testing::TestParamInfo<PacketCase>& p) { return p.param.name; });

// A checksum the kernel vouched for (or left for the receiver to fill in) is
// not checked again; everything else still is.
TEST(LinkLayerPacket, ChecksumTheKernelVouchedFor) {
    std::vector<std::uint8_t> packet = Packet(std::vector<std::uint8_t>(40, 1));
    packet[27] ^= 1;
    UdpPayload read;
    EXPECT_TRUE(ReadUdpPacket(packet.data(), packet.size(), ToolPort, true, &read));
    packet[11] ^= 1;
    EXPECT_FALSE(ReadUdpPacket(packet.data(), packet.size(), ToolPort, true, &read));
}

TEST(NetstatCounter, FoundByNameInItsGroupOnly) {
    const char* text =
        "TcpExt: SyncookiesSent IPReversePathFilter Other\n"
        "TcpExt: 1 42 7\n"
        "IpExt: InNoRoutes IPReversePathFilter\n"
        "IpExt: 5 9\n";
    std::uint64_t value = 0;
    ASSERT_TRUE(FindNetstatCounter(text, "TcpExt:", "IPReversePathFilter", &value));
    EXPECT_EQ(value, 42u);
    ASSERT_TRUE(FindNetstatCounter(text, "TcpExt:", "Other", &value));
    EXPECT_EQ(value, 7u);
    EXPECT_FALSE(FindNetstatCounter(text, "TcpExt:", "IPReversePath", &value));
    EXPECT_FALSE(FindNetstatCounter("TcpExt: IPReversePathFilter\n", "TcpExt:", "IPReversePathFilter", &value));
    EXPECT_FALSE(FindNetstatCounter("TcpExt: A IPReversePathFilter\nTcpExt: 1\n", "TcpExt:", "IPReversePathFilter",
                                    &value));
    EXPECT_FALSE(FindNetstatCounter("", "TcpExt:", "IPReversePathFilter", &value));
}

}  // namespace
}  // namespace scout
