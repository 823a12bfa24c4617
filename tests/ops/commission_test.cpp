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

ExpectedList Design(const char* text) {
    std::vector<ListFault> faults;
    ExpectedList list = ReadExpected(text, &faults);
    EXPECT_TRUE(faults.empty()) << (faults.empty() ? 0 : faults[0].line);
    return list;
}

Reply Newcomer(const char* model, std::uint8_t mac, const BroadcastInterface& via = If2) {
    Reply reply = Row("192.168.1.100", via, model);
    if (mac != 0) {
        reply.macSource = MacSource::Frame;
        reply.mac = {2, 0, 0x5e, 0x10, 0, mac};
    }
    return reply;
}

// Which row a controller at the factory address takes: by its MAC, else the
// first missing row of its model that names none; never a row meant for another.
TEST(CommissionByList, TheRowOfItsMacElseTheFirstOfItsModel) {
    const ExpectedList list = Design("address,model,mac,interface\n"
                                     "10.1.0.11,KRV-ETH1,02:00:5e:10:00:01,\n"  // 0
                                     "10.1.0.12,KRV-ETH1,,\n"                   // 1
                                     "10.1.0.13,KRV-ETH2,,\n"                   // 2
                                     "10.1.0.14,KRV-ETH1,,\n"                   // 3
                                     "10.1.0.15,KRV-ETH3,02:00:5e:10:00:05,\n"  // 4
                                     "10.2.0.16,KRV-ETH4,,10.2.0.1\n");         // 5
    const std::vector<bool> all(6, true);
    const struct {
        const char* name;
        std::vector<bool> missing;
        Reply newcomer;
        RowFit fit;
        std::size_t row;
    } cases[] = {
        {"its MAC's row, wherever it stands", all, Newcomer("KRV-ETH1", 1), RowFit::Row, 0},
        {"no row names its MAC: the first of its model without one", all, Newcomer("krv-eth1", 9), RowFit::Row, 1},
        {"its MAC not read: the same", all, Newcomer("KRV-ETH1", 0), RowFit::Row, 1},
        {"the first still missing", {true, false, true, true, true, true}, Newcomer("KRV-ETH1", 9), RowFit::Row, 3},
        {"its MAC's row answers already", {false, true, true, true, true, true}, Newcomer("KRV-ETH1", 1),
         RowFit::MacRowThere, 0},
        {"its MAC's row is of another model", all, Newcomer("KRV-ETH2", 5), RowFit::MacRowDiffers, 4},
        {"the only row of its model names another MAC", all, Newcomer("KRV-ETH3", 9), RowFit::NoRowFits, 0},
        {"a MAC not read takes no row that names one", all, Newcomer("KRV-ETH3", 0), RowFit::NoRowFits, 0},
        {"a model no row has", all, Newcomer("KRV-ETH9", 9), RowFit::NoRowFits, 0},
        {"a row on another interface", all, Newcomer("KRV-ETH4", 9), RowFit::NoRowFits, 0},
        {"a row outside its interface's subnet", all, Newcomer("KRV-ETH2", 9, If3), RowFit::NoRowFits, 0},
        {"on its interface", all, Newcomer("KRV-ETH4", 9, If3), RowFit::Row, 5},
        {"the line complete", std::vector<bool>(6, false), Newcomer("KRV-ETH1", 9), RowFit::LineComplete, 0},
    };
    ExpectedList resolved = list;
    ResolveInterfaces(resolved, {{If2, "ws0", 24}, {If3, "ws1", 24}});
    for (const auto& c : cases) {
        const RowChoice choice = ChooseRow(resolved, c.missing, c.newcomer, 24);
        EXPECT_EQ(choice.fit, c.fit) << c.name;
        if (c.fit != RowFit::NoRowFits && c.fit != RowFit::LineComplete) {
            EXPECT_EQ(choice.row, c.row) << c.name;
        }
    }
}

TEST(CommissionByList, MissingUntilItAnswersOnItsInterfaceOrIsClosed) {
    ExpectedList list = Design("address,interface\n10.1.0.11,\n10.1.0.12,ws1\n10.1.0.13,\n10.1.0.14,\n");
    ResolveInterfaces(list, {{If2, "ws0", 24}, {If3, "ws1", 24}});
    const std::vector<Reply> rows = {Row("10.1.0.11"), Row("10.1.0.12"), Row("192.168.1.100")};
    EXPECT_EQ(MissingRows(list, rows, {false, false, true, false}), (std::vector<bool>{false, true, false, true}))
        << "10.1.0.12 answers, but not on ws1; 10.1.0.13 was given in this run";
}

TEST(CommissionByList, TheRowsSettingsElseTheOptionsElseTheInterfaces) {
    const ExpectedList list = Design("address,mask,gateway\n10.1.0.11,255.255.0.0,10.1.0.254\n10.1.0.12,,\n"
                                     "10.1.0.13,,10.1.0.254\n");
    RowDefaults none;
    none.interfacePrefix = 24;
    RowDefaults given = none;
    given.maskGiven = given.gatewayGiven = true;
    given.mask = A("255.255.255.128");
    given.gateway = A("10.1.0.1");
    RowDefaults unknown;
    const struct {
        std::size_t row;
        const RowDefaults& defaults;
        bool ok;
        const char* mask;
        const char* gateway;
    } cases[] = {
        {0, given, true, "255.255.0.0", "10.1.0.254"}, {1, given, true, "255.255.255.128", "10.1.0.1"},
        {1, none, true, "255.255.255.0", "0.0.0.0"},   {1, unknown, false, "", ""},
        {2, given, false, "", ""},  // 10.1.0.254 lies outside 10.1.0.0/25
    };
    for (const auto& c : cases) {
        ReconfigureValues values;
        std::string why;
        EXPECT_EQ(RowSettings(list.rows[c.row], c.defaults, &values, &why), c.ok) << c.row << why;
        if (c.ok) {
            EXPECT_EQ(values.address, list.rows[c.row].address);
            EXPECT_EQ(values.mask, A(c.mask)) << c.row;
            EXPECT_EQ(values.gateway, A(c.gateway)) << c.row;
        } else {
            EXPECT_FALSE(why.empty());
        }
    }
}

}  // namespace
}  // namespace scout::ops
