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

// What a test bench may write that must not be taken as something else: each
// line refused with the reason, none half-read.
TEST(SimConfig, Refusals) {
    const struct {
        std::string line;
        const char* error;
    } cases[] = {
        {"model=1", "a controller needs an address"},
        {"", "a controller needs an address"},
        {"address=10.1.0.500", "bad value '10.1.0.500' for address"},
        {"address=010.1.0.5", "bad value '010.1.0.5' for address"},
        {"address=10.1.0.5/33", "bad value '10.1.0.5/33' for address"},
        {"address=10.1.0.5 colour=red", "unknown key 'colour'"},
        {"address=10.1.0.5 version=123456789", "bad value '123456789' for version"},
        {"address=10.1.0.5 revision=\\xZZ", "bad value '\\xZZ' for revision"},
        {"address=10.1.0.5 reply=multicast", "bad value 'multicast' for reply"},
        {"address=10.1.0.5 delay=9-3", "bad value '9-3' for delay (MS or MIN-MAX, 0 to 60000, MIN not above MAX)"},
        {"address=10.1.0.5 delay=0-4294967295",
         "bad value '0-4294967295' for delay (MS or MIN-MAX, 0 to 60000, MIN not above MAX)"},
        {"address=10.1.0.5 delay=-5", "bad value '-5' for delay (MS or MIN-MAX, 0 to 60000, MIN not above MAX)"},
        {"address=10.1.0.5 delay= 5", "bad value '' for delay (MS or MIN-MAX, 0 to 60000, MIN not above MAX)"},
        {"address=10.1.0.5 offline-ms=3600001", "bad value '3600001' for offline-ms"},
        {"address=10.1.0.5 off-ms=0", "bad value '0' for off-ms"},
        {"address=10.1.0.5 online-ms=3600001", "bad value '3600001' for online-ms"},
        {"address=10.1.0.5 length=1401", "bad value '1401' for length"},
        {"address=10.1.0.5 model=100000000", "bad value '100000000' for model"},
        {"address=10.1.0.5 command=+1", "bad value '+1' for command"},
        {"address=10.1.0.5 twice=2", "bad value '2' for twice"},
        {"address=10.1.0.5 bad-magic=maybe", "bad value 'maybe' for bad-magic"},
        {"address=10.1.0.5 interface=", "bad value '' for interface"},
        {"address=10.1.0.5 mac=01:00:5e:00:00:01", "bad value '01:00:5e:00:00:01' for mac"},
        {"address=10.1.0.5 mac=02:00:5e:10:00", "bad value '02:00:5e:10:00' for mac"},
        {"address=10.1.0.5 mac=02-00-5e-10-00-01", "bad value '02-00-5e-10-00-01' for mac"},
        {"address=10.1.0.5 mac=02:00:5e:10:00:0g", "bad value '02:00:5e:10:00:0g' for mac"},
        {"host", "a host line needs an address: host A [mac=M]"},
        {"host mac=02:00:5e:10:00:01", "a host line needs an address: host A [mac=M]"},
        {"host 10.1.0.500", "bad value '10.1.0.500' for address"},
        {"host 10.1.0.77 answer-ms=60001", "bad value '60001' for answer-ms"},
        {"host 10.1.0.77 model=1A2B", "'model' is no key of a host line (address, mac, answer-ms, chatter)"},
        {"host 10.1.0.77 twice", "'twice' is no key of a host line (address, mac, answer-ms, chatter)"},
        {"address=10.1.0.5 online-ms=5000 off-ms=3000",
         "off-ms 3000 is not after online-ms 5000: the controller would never answer"},
        {"address=10.1.0.5 online-ms=3000 off-ms=3000",
         "off-ms 3000 is not after online-ms 3000: the controller would never answer"},
        {"host 10.1.0.77 answer-ms=-1", "bad value '-1' for answer-ms"},
        {"host 10.1.0.77 chatter=100001", "bad value '100001' for chatter"},
        {"host 10.1.0.77 chatter=1e3", "bad value '1e3' for chatter"},
        {std::string("address=10.1.0.5 ver\0sion=1", 28), "a NUL byte in the line"},
    };
    for (const auto& c : cases) {
        Controller controller;
        std::string error;
        EXPECT_FALSE(ParseControllerLine(c.line, &controller, &error)) << c.line;
        EXPECT_EQ(error, c.error) << c.line;
    }
}

TEST(SimConfig, AHostOfTheLineAndMacs) {
    Controller c;
    std::string error;
    ASSERT_TRUE(ParseControllerLine("host 10.1.0.77 mac=02:aa:bb:cc:dd:ee", &c, &error)) << error;
    EXPECT_TRUE(c.hostOnly);
    EXPECT_EQ(c.address, MakeAddress(10, 1, 0, 77));
    EXPECT_TRUE(c.macGiven);
    EXPECT_EQ(c.mac, (std::array<std::uint8_t, 6>{0x02, 0xaa, 0xbb, 0xcc, 0xdd, 0xee}));
    ASSERT_TRUE(ParseControllerLine("host 10.1.0.78", &c, &error)) << error;
    EXPECT_FALSE(c.macGiven);
    EXPECT_EQ(c.answerMs, 0u);
    ASSERT_TRUE(ParseControllerLine("host 10.1.0.79 answer-ms=700 chatter=3000", &c, &error)) << error;
    EXPECT_EQ(c.answerMs, 700u) << "a busy stack";
    EXPECT_EQ(c.chatter, 3000u) << "a chatty host";
    ASSERT_TRUE(ParseControllerLine("address=10.1.0.5 model=1 host=yes", &c, &error) == false);
    ASSERT_TRUE(ParseControllerLine("address=10.1.0.5 online-ms=3000 off-ms=3001", &c, &error)) << error;
}

TEST(SimConfig, FlagsAndComments) {
    Controller c;
    std::string error;
    ASSERT_TRUE(ParseControllerLine("address=10.1.0.5 twice=no bad-magic=yes # a comment with=words", &c, &error))
        << error;
    EXPECT_FALSE(c.answerTwice);
    EXPECT_TRUE(c.wrongMagic);
    ASSERT_TRUE(ParseControllerLine("address=10.1.0.5#no space before the comment", &c, &error)) << error;
    EXPECT_EQ(c.address, MakeAddress(10, 1, 0, 5));
}

}  // namespace
}  // namespace scout::sim
