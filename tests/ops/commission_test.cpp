// commission's rules: its range, the next free address, who waits at the
// factory address, and the address chosen for it as a reconfigure is decided.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "ops/commission.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/rows.h"

namespace scout::ops {
namespace {

using test::If2;
using test::If3;
using test::Row;
constexpr NetAddress Factory = MakeAddress(192, 168, 1, 100);

NetAddress A(const char* text) {
    NetAddress address = 0;
    EXPECT_TRUE(ParseDottedAddress(text, &address)) << text;
    return address;
}


TEST(CommissionRange, InsideTheOneSubnetItsMaskMakes) {
    EXPECT_EQ(LastHostOf(A("10.1.0.101"), A("255.255.255.0")), A("10.1.0.254"));
    EXPECT_EQ(LastHostOf(A("10.1.0.250"), A("255.255.0.0")), A("10.1.255.254"));
    const struct {
        const char* first;
        const char* last;
        RangeFault fault;
    } cases[] = {
        {"10.1.0.9", "10.1.0.9", RangeFault::None},
        {"10.1.0.9", "10.1.0.8", RangeFault::LastBeforeFirst},
        {"10.1.0.254", "10.1.1.1", RangeFault::OutsideSubnet},
        {"10.1.0.9", "11.1.0.9", RangeFault::OutsideSubnet},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckRange(AddressRange{A(c.first), A(c.last)}, A("255.255.255.0")), c.fault) << c.first << "-" << c.last;
}

TEST(CommissionRange, TheNextAddressNoneHasTaken) {
    const AddressRange range{A("10.1.0.101"), A("10.1.0.104")};
    EXPECT_EQ(NextFree(range, A("10.1.0.101"), {}), A("10.1.0.101"));
    EXPECT_EQ(NextFree(range, A("10.1.0.101"), {A("10.1.0.101"), A("10.1.0.102")}), A("10.1.0.103"));
    EXPECT_EQ(NextFree(range, A("10.1.0.104"), {A("10.1.0.104")}), 0u);
    EXPECT_EQ(AddressAfter(range, A("10.1.0.104")), 0u);
    const AddressRange edge{A("10.1.0.255"), A("10.1.1.0")};
    EXPECT_EQ(AddressAfter(edge, A("10.1.0.255")), A("10.1.1.0"));
}

TEST(CommissionFactory, ExactlyOneWaitingThere) {
    const struct {
        const char* name;
        std::vector<Reply> rows;
        AtFactory who;
        std::size_t count;
    } cases[] = {
        {"nobody", {Row("10.1.0.5")}, AtFactory::Nobody, 0},
        {"one", {Row("10.1.0.5"), Row("192.168.1.100")}, AtFactory::One, 1},
        {"two on one interface", {Row("192.168.1.100"), Row("192.168.1.100")}, AtFactory::Several, 2},
        {"one on each of two", {Row("192.168.1.100"), Row("192.168.1.100", If3)}, AtFactory::SeveralInterfaces, 0},
    };
    for (const auto& c : cases) {
        Reply one;
        std::size_t count = 0;
        EXPECT_EQ(WhoIsAtFactory(c.rows, Factory, &one, &count), c.who) << c.name;
        EXPECT_EQ(count, c.count) << c.name;
        if (c.who == AtFactory::One) {
            EXPECT_STREQ(one.address, "192.168.1.100") << c.name;
        }
    }
}

TEST(CommissionFactory, AnAddressNoReconfigureRefuses) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    Looked looked;
    looked.searched = {If2};
    looked.cutShort = {false};
    looked.rows = {Row("192.168.1.100"), Row("10.1.0.253")};
    looked.ownAddresses = {If2.address, A("10.1.0.252")};
    ReconfigureValues values;
    values.mask = A("255.255.255.0");
    CommandRequest request;
    Decision decision;
    // From 10.1.0.251: given in this run, this workstation's, a controller's, the subnet's broadcast.
    const AddressRange range{A("10.1.0.250"), A("10.1.0.255")};
    ASSERT_TRUE(ChooseAddress(platform, range, A("10.1.0.251"), {A("10.1.0.251")}, Factory, values, looked, &request,
                              &decision));
    EXPECT_EQ(request.values.address, A("10.1.0.254"));
    EXPECT_EQ(request.target, Factory);
    EXPECT_EQ(decision.via.index, If2.index);
    EXPECT_FALSE(ChooseAddress(platform, range, A("10.1.0.255"), {}, Factory, values, looked, &request, &decision))
        << "the broadcast address is no controller's";
}

}  // namespace
}  // namespace scout::ops
