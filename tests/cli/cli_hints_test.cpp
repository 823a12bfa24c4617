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

TEST(CliHints, ANewAddressOutsideEveryInterfacesSubnet) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    EXPECT_EQ(UnreachableAfterwardsHint(platform, {If2, If3}, MakeAddress(10, 2, 0, 77), MakeAddress(255, 255, 255, 0)),
              "");
    EXPECT_EQ(UnreachableAfterwardsHint(platform, {If2, If3}, MakeAddress(192, 168, 5, 5),
                                        MakeAddress(255, 255, 0, 0)),
              "warning: 192.168.5.5 lies outside the subnet of every interface of this workstation: after the "
              "command it reaches the controller only with a route to 192.168.0.0/16 or a second address there");
}

}  // namespace
}  // namespace scout::cli
