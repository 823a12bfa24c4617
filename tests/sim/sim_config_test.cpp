// scout-sim's controller lines: what the lab and a trainer write must mean what it says.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "sim/sim_config.h"

namespace scout::sim {
namespace {

TEST(SimConfig, FullLine) {
    Controller c;
    std::string error;
    ASSERT_TRUE(ParseControllerLine(
        "address=10.1.0.50/16 model=0x1A2B version=VERSION8 revision=r\\x00\\x7F reply=broadcast delay=5-900 "
        "twice offline-ms=250 default=192.168.5.100/24 bad-magic command=2 length=41",
        &c, &error))
        << error;
    EXPECT_EQ(c.address, MakeAddress(10, 1, 0, 50));
    EXPECT_EQ(c.mask, MakeAddress(255, 255, 0, 0));
    EXPECT_EQ(c.model, 0x1A2Bu);
    EXPECT_EQ(c.version, (std::array<std::uint8_t, 8>{'V', 'E', 'R', 'S', 'I', 'O', 'N', '8'}));
    EXPECT_EQ(c.revision, (std::array<std::uint8_t, 8>{'r', 0, 0x7F, 0, 0, 0, 0, 0}));
    EXPECT_EQ(c.reply, ReplyMode::Broadcast);
    EXPECT_EQ(c.delayMinMs, 5u);
    EXPECT_EQ(c.delayMaxMs, 900u);
    EXPECT_TRUE(c.answerTwice);
    EXPECT_EQ(c.offlineMs, 250u);
    EXPECT_EQ(c.defaultAddress, MakeAddress(192, 168, 5, 100));
    EXPECT_TRUE(c.wrongMagic);
    EXPECT_EQ(c.replyCommand, 2u);
    EXPECT_EQ(c.replyLength, 41);
}

TEST(SimConfig, DefaultsOfAPlainController) {
    Controller c;
    std::string error;
    ASSERT_TRUE(ParseControllerLine("address=10.1.0.50", &c, &error)) << error;
    EXPECT_EQ(c.reply, ReplyMode::Unicast);
    EXPECT_EQ(c.replyLength, 40);
    EXPECT_FALSE(c.wrongMagic);
    EXPECT_EQ(c.defaultAddress, MakeAddress(192, 168, 1, 100));
    EXPECT_EQ(c.defaultMask, MakeAddress(255, 255, 255, 0));
}

TEST(SimConfig, Refusals) {
    Controller c;
    std::string error;
    for (const char* bad : {"model=1", "address=10.1.0.500", "address=10.1.0.5 colour=red",
                            "address=10.1.0.5 version=123456789", "address=10.1.0.5 delay=9-3",
                            "address=10.1.0.5 reply=multicast", "address=10.1.0.5 revision=\\xZZ"}) {
        EXPECT_FALSE(ParseControllerLine(bad, &c, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

}  // namespace
}  // namespace scout::sim
