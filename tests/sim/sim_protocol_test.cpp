// What the virtual controllers do with each datagram, and the bytes of their
// replies, checked against the protocol's byte examples rather than the tool's code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim_protocol.h"

namespace scout::sim {
namespace {

const char* const Magic = "dbac19a66ab7fe499c87a877398e00c3";

std::vector<std::uint8_t> FromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string ToHex(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (std::uint8_t b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

std::vector<ControllerState> Controllers(std::initializer_list<const char*> lines) {
    std::vector<ControllerState> out;
    for (const char* line : lines) {
        ControllerState state;
        std::string error;
        EXPECT_TRUE(ParseControllerLine(line, &state.config, &error)) << error;
        out.push_back(state);
    }
    return out;
}

Reaction Receive(std::vector<ControllerState>& controllers, const std::string& hex, int interfaceIndex = 2,
                 std::uint64_t now = 1000) {
    const std::vector<std::uint8_t> bytes = FromHex(hex);
    return React(controllers, bytes.data(), bytes.size(), interfaceIndex, now);
}

const std::string Query = std::string(Magic) + std::string(48, '0');

TEST(SimProtocol, AQueryIsAnsweredByEveryOnlineControllerOfItsInterface) {
    auto controllers = Controllers({"address=10.1.0.50", "address=10.1.0.51", "address=10.1.0.52"});
    controllers[1].offlineUntil = 5000;   // still restarting
    controllers[2].interfaceIndex = 3;    // answers on another interface only
    const Reaction reaction = Receive(controllers, Query);
    EXPECT_EQ(reaction.action, Action::Query);
    EXPECT_EQ(reaction.answering, (std::vector<std::size_t>{0}));
    EXPECT_EQ(Receive(controllers, Query, 3, 6000).answering, (std::vector<std::size_t>{0, 1, 2}));
}

TEST(SimProtocol, PluggedInAndSwitchedOffAsTheirTimesSay) {
    auto controllers = Controllers({"address=10.1.0.50", "address=10.1.0.51"});
    controllers[0].offlineUntil = 3000;  // plugged in at 3 s
    controllers[1].switchedOffAt = 3000;  // switched off at 3 s
    EXPECT_EQ(Receive(controllers, Query, 2, 2999).answering, (std::vector<std::size_t>{1}));
    EXPECT_EQ(Receive(controllers, Query, 2, 3000).answering, (std::vector<std::size_t>{0}));
    // A switched-off controller acts on no command either.
    EXPECT_EQ(Receive(controllers, std::string(Magic) + "01000000" + "3301010a" + std::string(32, '0'), 2, 3000)
                  .acting.size(),
              0u);
}

TEST(SimProtocol, CommandsActOnTheControllerTheirTargetNames) {
    auto controllers =
        Controllers({"address=192.168.1.50 offline-ms=250", "address=10.0.0.5 default=10.1.0.100/16"});
    // A reset of 192.168.1.50: magic, 01 00 00 00, 32 01 a8 c0, zeros.
    Reaction reaction = Receive(controllers, std::string(Magic) + "01000000" + "3201a8c0" + std::string(32, '0'));
    EXPECT_EQ(reaction.action, Action::Reset);
    EXPECT_FALSE(reaction.factoryDefaults);
    EXPECT_EQ(controllers[0].offlineUntil, 1250u);
    EXPECT_EQ(Receive(controllers, Query, 2, 1249).answering, (std::vector<std::size_t>{1}));

    // Reconfigure 10.0.0.5 to 10.0.0.9 / 255.255.255.0 / 10.0.0.1.
    reaction = Receive(controllers, std::string(Magic) + "02000000" + "0500000a" + "0900000a" + "00ffffff" +
                                        "0100000a" + "00000000");
    EXPECT_EQ(reaction.action, Action::Reconfigure);
    EXPECT_EQ(reaction.acting, (std::vector<std::size_t>{1}));
    EXPECT_EQ(controllers[1].config.address, MakeAddress(10, 0, 0, 9));
    EXPECT_EQ(controllers[1].config.mask, MakeAddress(255, 255, 255, 0));
    EXPECT_EQ(controllers[1].config.gateway, MakeAddress(10, 0, 0, 1));

    // Factory defaults of 10.0.0.9: the marker "default\0" at offset 24.
    reaction = Receive(controllers, std::string(Magic) + "01000000" + "0900000a" + "64656661756c7400" +
                                        std::string(16, '0'));
    EXPECT_TRUE(reaction.factoryDefaults);
    EXPECT_EQ(controllers[1].config.address, MakeAddress(10, 1, 0, 100));
    EXPECT_EQ(controllers[1].config.mask, MakeAddress(255, 255, 0, 0));
}

// Controllers straight out of the box all sit at one address: each acts.
TEST(SimProtocol, EveryControllerAtTheTargetActs) {
    auto controllers = Controllers({"address=10.1.0.100", "address=10.1.0.100", "address=10.1.0.101"});
    const Reaction reaction = Receive(controllers, std::string(Magic) + "02000000" + "6400010a" + "4d00010a" +
                                                       "00ffffff" + "00000000" + "00000000");
    EXPECT_EQ(reaction.acting, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(controllers[0].config.address, MakeAddress(10, 1, 0, 77));
    EXPECT_EQ(controllers[1].config.address, MakeAddress(10, 1, 0, 77));
    EXPECT_EQ(controllers[2].config.address, MakeAddress(10, 1, 0, 101));
}

TEST(SimProtocol, WhatNoControllerActsOn) {
    const struct {
        std::string hex;
        const char* reason;
    } cases[] = {
        {std::string(Magic) + std::string(46, '0'), "not a 40-byte datagram with the protocol magic"},
        {Query + "00", "not a 40-byte datagram with the protocol magic"},
        {"ff" + Query.substr(2), "not a 40-byte datagram with the protocol magic"},
        {std::string(Magic) + "07000000" + std::string(40, '0'), "unknown command 7"},
        {std::string(Magic) + "01000000" + "3301a8c0" + std::string(32, '0'), "no such controller here"},
        {std::string(Magic) + "01000000" + "3401a8c0" + std::string(32, '0'), "no such controller here"},
    };
    for (const auto& c : cases) {
        auto controllers = Controllers({"address=192.168.1.50", "address=192.168.1.52"});
        controllers[1].offlineUntil = 2000;
        const Reaction reaction = Receive(controllers, c.hex);
        EXPECT_EQ(reaction.action, Action::Ignored) << c.hex;
        EXPECT_EQ(reaction.reason, c.reason) << c.hex;
        EXPECT_EQ(controllers[0].offlineUntil, 0u) << c.hex;
    }
}

TEST(SimProtocol, ReplyBytes) {
    const struct {
        const char* line;
        std::string hex;
    } cases[] = {
        {"address=10.1.0.20 model=1A2B version=2.14 revision=C",
         std::string(Magic) + "00000000" + "2b1a0000" + "322e313400000000" + "4300000000000000"},
        {"address=10.1.0.20 model=0 version=VERSION8 revision=rev",
         std::string(Magic) + "00000000" + "00000000" + "56455253494f4e38" + "7265760000000000"},
        {"address=10.1.0.20 model=1 version=v revision=r length=22", std::string(Magic) + "00000000" + "0100"},
        {"address=10.1.0.20 model=1 version=v revision=r length=41",
         std::string(Magic) + "00000000" + "01000000" + "7600000000000000" + "7200000000000000" + "00"},
        {"address=10.1.0.20 model=1 length=0", ""},
        {"address=10.1.0.20 model=1 command=2 bad-magic",
         "dbac1959" + std::string(Magic).substr(8) + "02000000" + "01000000" + std::string(32, '0')},
    };
    for (const auto& c : cases) {
        ControllerState state;
        std::string error;
        ASSERT_TRUE(ParseControllerLine(c.line, &state.config, &error)) << error;
        EXPECT_EQ(ToHex(EncodeReply(state.config)), c.hex) << c.line;
    }
}

}  // namespace
}  // namespace scout::sim
