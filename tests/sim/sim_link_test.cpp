// scout-sim's frames, read back as the workstation's own code reads them.
#include <gtest/gtest.h>

#include <cstring>

#include "net/posix/link_listener.h"
#include "net/posix/neighbour.h"
#include "sim/sim_link.h"

namespace scout::sim {
namespace {

const Mac Controller = {0x02, 0x00, 0x5e, 0x10, 0x00, 0x07};
const Mac Workstation = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};

TEST(SimLink, AReplyFrameIsADatagramTheStackTakes) {
    for (const std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{39}, std::size_t{40}}) {
        std::uint8_t payload[40];
        for (std::size_t i = 0; i < sizeof payload; ++i)
            payload[i] = static_cast<std::uint8_t>(0xF0 + i);
        std::uint8_t frame[128];
        const std::size_t size = BuildUdpFrame(Controller, Workstation, MakeAddress(10, 1, 0, 20), 65515,
                                               MakeAddress(10, 1, 0, 1), 65513, payload, length, frame, sizeof frame);
        ASSERT_EQ(size, 14 + 28 + length);
        EXPECT_EQ(std::memcmp(frame, Workstation.data(), 6), 0);
        EXPECT_EQ(std::memcmp(frame + 6, Controller.data(), 6), 0);
        UdpPayload read;
        // Both checksums checked, as for a frame from another host.
        ASSERT_TRUE(ReadUdpPacket(frame + 14, size - 14, 65513, false, &read)) << length;
        EXPECT_EQ(read.sender, MakeAddress(10, 1, 0, 20));
        ASSERT_EQ(read.length, length);
        EXPECT_EQ(std::memcmp(read.data, payload, length), 0);
        if (length != 0) {
            frame[14 + 28] ^= 1;
            EXPECT_FALSE(ReadUdpPacket(frame + 14, size - 14, 65513, false, &read)) << "a changed byte is seen";
        }
    }
    std::uint8_t small[40];
    EXPECT_EQ(BuildUdpFrame(Controller, Workstation, 1, 1, 2, 2, small, 40, small, sizeof small), 0u);
}

TEST(SimLink, ArpAsTheWorkstationReadsIt) {
    std::uint8_t frame[ArpFrameSize];
    // The answer to a probe (its sender address 0.0.0.0) for a host's address.
    BuildArpFrame(2, Controller, MakeAddress(10, 1, 0, 77), Workstation, 0, frame);
    MacAddress sender{};
    ASSERT_TRUE(ArpFrom(frame + 14, sizeof frame - 14, MakeAddress(10, 1, 0, 77), &sender));
    EXPECT_EQ(std::memcmp(sender.data(), Controller.data(), 6), 0);
    EXPECT_FALSE(ArpFrom(frame + 14, sizeof frame - 14, MakeAddress(10, 1, 0, 78), &sender));
    // A controller asking for the workstation: to every MAC.
    BuildArpFrame(1, Controller, MakeAddress(10, 1, 0, 20), Mac{}, MakeAddress(10, 1, 0, 1), frame);
    const Mac everyone = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    EXPECT_EQ(std::memcmp(frame, everyone.data(), 6), 0);
    FrameSeen seen;
    ASSERT_TRUE(ReadFrame(frame, sizeof frame, &seen));
    EXPECT_TRUE(seen.arpRequest);
    EXPECT_EQ(seen.sender, MakeAddress(10, 1, 0, 20));
    EXPECT_EQ(seen.target, MakeAddress(10, 1, 0, 1));
    EXPECT_EQ(seen.senderMac, Controller);
    EXPECT_FALSE(ReadFrame(frame, 13, &seen));
    frame[14 + 7] = 3;  // no ARP operation
    EXPECT_FALSE(ReadFrame(frame, sizeof frame, &seen));
}

}  // namespace
}  // namespace scout::sim
