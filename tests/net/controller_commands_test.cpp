// The commands on the fake platform, and the checks of the reconfigure fields.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/fake_platform.h"
#include "net/address.h"
#include "net/controller_commands.h"
#include "net/query_datagram.h"

namespace scout {
namespace {

using test::FakeWorld;
using test::Op;

const BroadcastInterface Second{MakeAddress(10, 2, 0, 1), 3};

TEST(ControllerCommands, OneSocketBoundToTheRowsInterfaceOneBroadcastThenClosed) {
    FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    EXPECT_TRUE(SendResetCommand(platform, test::MakeFakeFrontEnd(&world), Second, MakeAddress(192, 168, 1, 50), false));
    EXPECT_EQ(world.log, (std::vector<std::string>{"link 10.2.0.1", "open", "broadcast", "bind 10.2.0.1:65513 if3",
                                                   "send 255.255.255.255:65515", "close"}));
    ASSERT_EQ(world.sent.size(), 1u);
    QueryDatagram expected;
    BuildReset(expected, MakeAddress(192, 168, 1, 50), false);
    EXPECT_EQ(world.sent[0], std::vector<std::uint8_t>(expected.begin(), expected.end()));
    EXPECT_EQ(world.openSockets, 0);
    EXPECT_TRUE(world.reports.empty());
}

// A command needs no reply: where another socket holds the tool's port, it
// goes out from another port of the same interface, and nobody is asked to wait.
TEST(ControllerCommands, APortHeldElsewhereSendsFromAnotherPortOfTheInterface) {
    FakeWorld world;
    world.failures.push_back({Op::Bind, 1, test::AddressInUseError});
    const NetPlatform platform = test::MakeFakePlatform(&world);
    EXPECT_TRUE(SendResetCommand(platform, test::MakeFakeFrontEnd(&world), Second, MakeAddress(192, 168, 1, 50), false));
    EXPECT_EQ(world.log, (std::vector<std::string>{"link 10.2.0.1", "open", "broadcast", "bind 10.2.0.1:65513 if3",
                                                   "bind 10.2.0.1:0 if3", "send 255.255.255.255:65515", "close"}));
    EXPECT_TRUE(world.reports.empty());
    // Any other failure of the bind is still one.
    FakeWorld other;
    other.failures.push_back({Op::Bind, 1, 24});
    const NetPlatform otherPlatform = test::MakeFakePlatform(&other);
    EXPECT_FALSE(SendResetCommand(otherPlatform, test::MakeFakeFrontEnd(&other), Second, MakeAddress(192, 168, 1, 50),
                                  false));
    EXPECT_EQ(other.reports.size(), 1u);
}

TEST(ControllerCommands, ReconfigureAndFactoryDefaultsCarryTheirFields) {
    FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    const SearchFrontEnd reports = test::MakeFakeFrontEnd(&world);
    SendResetCommand(platform, reports, Second, MakeAddress(192, 168, 1, 50), true);
    SendReconfigureCommand(platform, reports, Second, MakeAddress(10, 0, 0, 5), MakeAddress(10, 0, 0, 9),
                           MakeAddress(255, 255, 255, 0), MakeAddress(10, 0, 0, 1));
    ASSERT_EQ(world.sent.size(), 2u);
    EXPECT_EQ(std::vector<std::uint8_t>(world.sent[0].begin() + 24, world.sent[0].begin() + 32),
              (std::vector<std::uint8_t>{0x64, 0x65, 0x66, 0x61, 0x75, 0x6C, 0x74, 0x00}));
    EXPECT_EQ(std::vector<std::uint8_t>(world.sent[1].begin() + 16, world.sent[1].end()),
              (std::vector<std::uint8_t>{0x02, 0, 0, 0, 0x05, 0, 0, 0x0A, 0x09, 0, 0, 0x0A, 0x00, 0xFF, 0xFF, 0xFF,
                                         0x01, 0, 0, 0x0A, 0, 0, 0, 0}));
    // Two commands in a row: each opens, binds and closes its own socket.
    EXPECT_EQ(test::CountLog(world, "bind 10.2.0.1:65513 if3"), 2);
    EXPECT_EQ(test::CountLog(world, "close"), 2);
}

// A command that could not go out says so once, leaves no socket open, and is
// not reported as sent; a failed close after the send changes nothing.
TEST(ControllerCommands, FailuresAreReportedOnceAndNothingIsSent) {
    const struct {
        Op op;
        const char* report;  // null: no report, and sent
    } cases[] = {
        {Op::Open, "Unable to create socket. description of 24."},
        {Op::Broadcast, "Unable to set socket options. description of 24."},
        {Op::Bind, "Error attempting to bind to socket for address 10.2.0.1. description of 24."},
        {Op::Send, "Error sending command for address 10.2.0.1. description of 24."},
        {Op::Close, nullptr},
    };
    for (const auto& c : cases) {
        FakeWorld world;
        world.failures = {{c.op, 1, 24}};
        const bool sent = SendResetCommand(test::MakeFakePlatform(&world), test::MakeFakeFrontEnd(&world), Second,
                                           MakeAddress(10, 2, 0, 30), false);
        EXPECT_EQ(sent, c.report == nullptr) << static_cast<int>(c.op);
        EXPECT_EQ(world.reports, c.report == nullptr ? std::vector<std::string>{} : std::vector<std::string>{c.report})
            << static_cast<int>(c.op);
        EXPECT_EQ(world.sent.size(), c.op == Op::Close ? 1u : 0u) << static_cast<int>(c.op);
        EXPECT_EQ(world.openSockets, 0) << static_cast<int>(c.op);
    }
}

// An interface with no carrier: the send would succeed and reach nobody.
TEST(ControllerCommands, ALinkWithNoCarrierIsASendFailure) {
    FakeWorld world;
    world.linksDown = {Second.address};
    EXPECT_FALSE(SendResetCommand(test::MakeFakePlatform(&world), test::MakeFakeFrontEnd(&world), Second,
                                  MakeAddress(10, 2, 0, 30), false));
    EXPECT_EQ(world.reports, std::vector<std::string>{"Error sending command for address 10.2.0.1. description of " +
                                                      std::to_string(test::NetworkDownError) + "."});
    EXPECT_TRUE(world.sent.empty());
    EXPECT_EQ(test::CountLog(world, "open"), 0);
}

struct FieldCase {
    const char* ip;
    const char* mask;
    const char* gateway;
    const char* message;  // null: accepted
};

void PrintTo(const FieldCase& c, std::ostream* out) {
    *out << c.ip << " / " << c.mask << " / " << c.gateway;
}

class ReconfigureFields : public ::testing::TestWithParam<FieldCase> {};

TEST_P(ReconfigureFields, CheckedBeforeAnythingIsSent) {
    const FieldCase& c = GetParam();
    ReconfigureValues values;
    char message[512] = {};
    const bool accepted = CheckReconfigureFields(c.ip, c.mask, c.gateway, &values, message, sizeof message);
    if (c.message == nullptr) {
        EXPECT_TRUE(accepted) << message;
        NetAddress ip = 0, mask = 0, gateway = 0;
        ParseDottedAddress(c.ip, &ip);
        ParseDottedAddress(c.mask, &mask);
        ParseDottedAddress(c.gateway, &gateway);
        EXPECT_EQ(values.address, ip);
        EXPECT_EQ(values.mask, mask);
        EXPECT_EQ(values.gateway, gateway);
    } else {
        EXPECT_FALSE(accepted);
        EXPECT_STREQ(message, c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReconfigureFields,
    ::testing::Values(
        FieldCase{"10.0.0.9", "255.255.255.0", "10.0.0.1", nullptr},
        FieldCase{"10.0.0.9", "255.255.255.0", "0.0.0.0", nullptr},
        FieldCase{"192.168.1.101", "255.255.255.252", "192.168.1.102", nullptr},
        FieldCase{"10.200.3.4", "255.0.0.0", "10.0.0.1", nullptr},
        FieldCase{"", "255.255.255.0", "10.0.0.1", "The IP address \"\" is not a dotted-decimal IPv4 address."},
        FieldCase{"10.0.0.256", "255.255.255.0", "10.0.0.1",
                  "The IP address \"10.0.0.256\" is not a dotted-decimal IPv4 address."},
        FieldCase{"10.0.0.9", "255.255.255", "10.0.0.1",
                  "The subnet mask \"255.255.255\" is not a dotted-decimal IPv4 address."},
        FieldCase{"10.0.0.9", "255.255.255.0", "gateway",
                  "The gateway \"gateway\" is not a dotted-decimal IPv4 address."},
        FieldCase{"10.0.0.9", "255.0.255.0", "10.0.0.1",
                  "The subnet mask 255.0.255.0 is not a contiguous mask of 1 to 30 bits (128.0.0.0 to 255.255.255.252)."},
        FieldCase{"10.0.0.9", "0.0.0.0", "0.0.0.0",
                  "The subnet mask 0.0.0.0 is not a contiguous mask of 1 to 30 bits (128.0.0.0 to 255.255.255.252)."},
        FieldCase{"10.0.0.9", "255.255.255.254", "0.0.0.0",
                  "The subnet mask 255.255.255.254 is not a contiguous mask of 1 to 30 bits (128.0.0.0 to 255.255.255.252)."},
        FieldCase{"10.0.0.9", "255.255.255.255", "0.0.0.0",
                  "The subnet mask 255.255.255.255 is not a contiguous mask of 1 to 30 bits (128.0.0.0 to 255.255.255.252)."},
        FieldCase{"0.0.0.0", "255.255.255.0", "0.0.0.0",
                  "The IP address 0.0.0.0 is not a usable host address with the subnet mask 255.255.255.0."},
        FieldCase{"255.255.255.255", "255.255.255.0", "0.0.0.0",
                  "The IP address 255.255.255.255 is not a usable host address with the subnet mask 255.255.255.0."},
        FieldCase{"127.0.0.5", "255.255.255.0", "0.0.0.0",
                  "The IP address 127.0.0.5 is not a usable host address with the subnet mask 255.255.255.0."},
        FieldCase{"224.0.0.5", "255.255.255.0", "0.0.0.0",
                  "The IP address 224.0.0.5 is not a usable host address with the subnet mask 255.255.255.0."},
        FieldCase{"240.1.2.3", "255.255.255.0", "0.0.0.0",
                  "The IP address 240.1.2.3 is not a usable host address with the subnet mask 255.255.255.0."},
        FieldCase{"10.0.0.0", "255.255.255.0", "0.0.0.0",
                  "The IP address 10.0.0.0 is not a usable host address with the subnet mask 255.255.255.0."},
        FieldCase{"10.0.0.255", "255.255.255.0", "0.0.0.0",
                  "The IP address 10.0.0.255 is not a usable host address with the subnet mask 255.255.255.0."},
        FieldCase{"10.0.0.9", "255.255.255.0", "10.0.1.1",
                  "The gateway 10.0.1.1 is neither 0.0.0.0 (none) nor another host address in the subnet of "
                  "10.0.0.9 with the mask 255.255.255.0."},
        FieldCase{"10.0.0.9", "255.255.255.0", "10.0.0.9",
                  "The gateway 10.0.0.9 is neither 0.0.0.0 (none) nor another host address in the subnet of "
                  "10.0.0.9 with the mask 255.255.255.0."},
        FieldCase{"10.0.0.9", "255.255.255.0", "10.0.0.255",
                  "The gateway 10.0.0.255 is neither 0.0.0.0 (none) nor another host address in the subnet of "
                  "10.0.0.9 with the mask 255.255.255.0."},
        // A /1 subnet holds loopback, 0.0.0.0/8, multicast and reserved addresses: no gateway of them.
        FieldCase{"10.0.0.9", "128.0.0.0", "10.0.0.1", nullptr},
        FieldCase{"10.0.0.9", "128.0.0.0", "127.0.0.1",
                  "The gateway 127.0.0.1 is neither 0.0.0.0 (none) nor another host address in the subnet of "
                  "10.0.0.9 with the mask 128.0.0.0."},
        FieldCase{"10.0.0.9", "128.0.0.0", "0.1.2.3",
                  "The gateway 0.1.2.3 is neither 0.0.0.0 (none) nor another host address in the subnet of "
                  "10.0.0.9 with the mask 128.0.0.0."},
        FieldCase{"200.1.1.1", "128.0.0.0", "224.0.0.1",
                  "The gateway 224.0.0.1 is neither 0.0.0.0 (none) nor another host address in the subnet of "
                  "200.1.1.1 with the mask 128.0.0.0."},
        FieldCase{"200.1.1.1", "128.0.0.0", "240.0.0.1",
                  "The gateway 240.0.0.1 is neither 0.0.0.0 (none) nor another host address in the subnet of "
                  "200.1.1.1 with the mask 128.0.0.0."},
        FieldCase{"010.0.0.9", "255.255.255.0", "0.0.0.0",
                  "The IP address \"010.0.0.9\" is not a dotted-decimal IPv4 address."}));

}  // namespace
}  // namespace scout
