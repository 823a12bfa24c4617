// The hints where nothing happened; interfaces named and sized by the fake
// platform (if<index>, /24).
#include <gtest/gtest.h>

#include <cstdio>

#include "cli/cli_words.h"
#include "tests/fakes/fake_platform.h"

namespace scout::cli {
namespace {

const BroadcastInterface If2{MakeAddress(10, 1, 0, 1), 2};
const BroadcastInterface If3{MakeAddress(10, 2, 0, 1), 3};

TEST(CliHints, NothingAnsweredIsSaidPerInterfaceUnlessItsWindowFailed) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    InterfaceNames names{&platform, {}};
    Reply row;
    std::snprintf(row.address, sizeof row.address, "10.1.0.20");
    row.via = If2;
    EXPECT_EQ(NothingAnsweredHints(names, {If2, If3}, {false, false}, {row}),
              std::vector<std::string>{
                  "nothing answered on if3 10.2.0.1; `scout-cli doctor --interface if3` looks for the cause"});
    EXPECT_TRUE(NothingAnsweredHints(names, {If2, If3}, {false, true}, {row}).empty()) << "its failure was said";
    EXPECT_EQ(NothingAnsweredHints(names, {If2, If3}, {false, false}, {}).size(), 2u);
}

// The same words beside a reconfigure, each row of a plan and each controller
// commissioned: the wire the controller is on is the interface it answers on.
TEST(CliHints, ANewAddressAndMaskAgainstTheControllersWire) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    InterfaceNames names{&platform, {}};
    const struct {
        const char* address;
        const char* mask;
        std::vector<std::string> says;
    } cases[] = {
        {"10.1.0.77", "255.255.255.0", {}},
        {"10.2.0.77", "255.255.255.0",
         {"warning: 10.2.0.77 lies outside the subnet of if2 10.1.0.1/24, the interface the controller answers on "
          "(it is in the subnet of if3 10.2.0.1, another wire): after the command, hosts on the controller's wire "
          "reach it only with a route to 10.2.0.0/24"}},
        {"192.168.5.5", "255.255.0.0",
         {"warning: 192.168.5.5 lies outside the subnet of every interface of this workstation: after the command it "
          "reaches the controller only with a route to 192.168.0.0/16 or a second address there",
          "warning: the mask 255.255.0.0 (/16) is not the /24 of if2 10.1.0.1, the interface the controller answers "
          "on: it would disagree with its wire about who is on the link"}},
        {"10.1.0.78", "255.255.0.0",
         {"warning: the mask 255.255.0.0 (/16) is not the /24 of if2 10.1.0.1, the interface the controller answers "
          "on: it would disagree with its wire about who is on the link"}},
    };
    for (const auto& c : cases) {
        ReconfigureValues values;
        ParseDottedAddress(c.address, &values.address);
        ParseDottedAddress(c.mask, &values.mask);
        EXPECT_EQ(NewAddressWarnings(names, platform, If2, {If2, If3}, values), c.says) << c.address;
    }
}

}  // namespace
}  // namespace scout::cli
