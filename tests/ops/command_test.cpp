// Whether and where a command may go, over what a search saw: the facts of
// each decision (the interfaces' prefixes from the fake platform: /24).
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "ops/command.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/rows.h"

namespace scout::ops {
namespace {

using test::If2;
using test::If3;
using test::Row;


CommandRequest Request(CommandKind kind, NetAddress target, NetAddress newAddress = MakeAddress(10, 1, 0, 77),
                       NetAddress mask = MakeAddress(255, 255, 255, 0)) {
    CommandRequest request;
    request.kind = kind;
    request.target = target;
    request.values.address = newAddress;
    request.values.mask = mask;
    return request;
}

CommandRequest With(CommandRequest request, bool all, bool noSearch) {
    request.all = all;
    request.noSearch = noSearch;
    return request;
}

// A row whose frame came from MAC 02:00:00:00:00:<last>, or whose MAC the
// neighbour table gave.
Reply Framed(Reply row, std::uint8_t last, MacSource source = MacSource::Frame) {
    row.macSource = source;
    row.mac = {2, 0, 0, 0, 0, last};
    return row;
}

struct Expected {
    RefusalKind kind;       // None: it goes
    Subject subject;
    NetAddress address;     // the refusal's
    std::size_t count;      // replies (several replies), interfaces (several interfaces)
    DecisionNote note;
    std::size_t macs = 0;   // several replies: the MACs that tell them apart
    WhoAnswers who = WhoAnswers::Unknown;  // several replies: who sent them
};

struct DecisionCase {
    const char* name;
    CommandRequest request;
    std::vector<Reply> rows;
    std::vector<bool> cutShort;  // of If2, If3
    Expected expected;
};

class CommandDecision : public ::testing::TestWithParam<DecisionCase> {};

TEST_P(CommandDecision, AsTheSearchSawIt) {
    const DecisionCase& c = GetParam();
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    Looked looked;
    looked.searched = c.request.noSearch ? std::vector<BroadcastInterface>{If2} : std::vector<BroadcastInterface>{If2, If3};
    looked.cutShort = c.cutShort.empty() ? std::vector<bool>(looked.searched.size(), false) : c.cutShort;
    looked.rows = c.rows;
    looked.ownAddresses = {If2.address, If3.address, MakeAddress(172, 17, 0, 1)};
    const Decision decision = DecideCommand(platform, c.request, looked);
    const Expected& e = c.expected;
    EXPECT_EQ(decision.send, e.kind == RefusalKind::None);
    EXPECT_EQ(decision.refusal.kind, e.kind);
    if (decision.send) {
        EXPECT_EQ(decision.via.address, If2.address);
        EXPECT_EQ(decision.note, e.note);
        EXPECT_EQ(decision.replies, e.count);
        EXPECT_EQ(decision.who.macs.size(), e.macs);
        EXPECT_EQ(decision.who.who, e.who);
        return;
    }
    EXPECT_EQ(decision.refusal.subject, e.subject);
    EXPECT_EQ(decision.refusal.address, e.address);
    const std::size_t count = e.kind == RefusalKind::SeveralInterfaces ? decision.refusal.interfaces.size()
                              : e.kind == RefusalKind::SeveralReplies  ? decision.refusal.count
                                                                       : 0;
    EXPECT_EQ(count, e.count);
    EXPECT_EQ(decision.refusal.who.macs.size(), e.macs);
    EXPECT_EQ(decision.refusal.who.who, e.who);
    EXPECT_EQ(decision.refusal.prefix, e.kind == RefusalKind::SubnetEdge ? 24 : -1);
}

const CommandKind Reset = CommandKind::Reset;
const CommandKind Reconfigure = CommandKind::Reconfigure;
const Subject Target = Subject::Target;
const Subject NewAddress = Subject::NewAddress;
constexpr NetAddress A(int a, int b, int c, int d) { return MakeAddress(a, b, c, d); }

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandDecision,
    ::testing::Values(
        DecisionCase{"FoundOnce", Request(Reset, A(10, 1, 0, 20)), {Row("10.1.0.20", If2), Row("10.2.0.30", If3)}, {},
                     {RefusalKind::None, Target, 0, 0, DecisionNote::None}},
        DecisionCase{"NotFound", Request(Reset, A(10, 1, 0, 99)), {Row("10.1.0.20", If2)}, {},
                     {RefusalKind::NotFound, Target, A(10, 1, 0, 99), 0, {}}},
        DecisionCase{"OnTwoInterfaces", Request(Reset, A(10, 9, 0, 5)), {Row("10.9.0.5", If2), Row("10.9.0.5", If3)},
                     {}, {RefusalKind::SeveralInterfaces, Target, A(10, 9, 0, 5), 2, {}}},
        DecisionCase{"ReconfigureOfSeveralEvenWithAll", With(Request(Reconfigure, A(192, 168, 1, 100)), true, false),
                     {Row("192.168.1.100", If2), Row("192.168.1.100", If2), Row("192.168.1.100", If2)}, {},
                     {RefusalKind::SeveralReplies, Target, A(192, 168, 1, 100), 3, {}}},
        DecisionCase{"ResetOfSeveral", Request(Reset, A(192, 168, 1, 100)),
                     {Row("192.168.1.100", If2), Row("192.168.1.100", If2)}, {},
                     {RefusalKind::SeveralReplies, Target, A(192, 168, 1, 100), 2, {}}},
        DecisionCase{"ResetOfSeveralWithAll", With(Request(Reset, A(192, 168, 1, 100)), true, false),
                     {Row("192.168.1.100", If2), Row("192.168.1.100", If2)}, {},
                     {RefusalKind::None, Target, 0, 2, DecisionNote::SeveralRepliesAll}},
        // One MAC with the same texts may be a batch that shares it: several, refused.
        DecisionCase{"ReconfigureOfOneMacThatAnsweredTwice", Request(Reconfigure, A(192, 168, 1, 100)),
                     {Framed(Row("192.168.1.100", If2), 7), Framed(Row("192.168.1.100", If2), 7)}, {},
                     {RefusalKind::SeveralReplies, Target, A(192, 168, 1, 100), 2, {}, 1, WhoAnswers::OneMac}},
        DecisionCase{"ResetOfOneMacTwiceWithAll", With(Request(Reset, A(192, 168, 1, 100)), true, false),
                     {Framed(Row("192.168.1.100", If2), 7), Framed(Row("192.168.1.100", If2), 7)}, {},
                     {RefusalKind::None, Target, 0, 2, DecisionNote::SeveralRepliesAll, 1, WhoAnswers::OneMac}},
        // One MAC, two models: two controllers, a cloned MAC.
        DecisionCase{"ReconfigureOfOneMacTwoModels", Request(Reconfigure, A(192, 168, 1, 100)),
                     {Framed(Row("192.168.1.100", If2, "KRV-ETH1A2B"), 7),
                      Framed(Row("192.168.1.100", If2, "KRV-ETH3C00"), 7)},
                     {},
                     {RefusalKind::SeveralReplies, Target, A(192, 168, 1, 100), 2, {}, 1,
                      WhoAnswers::SeveralControllers}},
        DecisionCase{"ResetOfTwoTellApart", Request(Reset, A(192, 168, 1, 100)),
                     {Framed(Row("192.168.1.100", If2), 7), Framed(Row("192.168.1.100", If2), 8),
                      Framed(Row("192.168.1.100", If2), 7)},
                     {},
                     {RefusalKind::SeveralReplies, Target, A(192, 168, 1, 100), 3, {}, 2,
                      WhoAnswers::SeveralControllers}},
        DecisionCase{"OneFrameAndOneUnknownTellNothing", Request(Reconfigure, A(192, 168, 1, 100)),
                     {Framed(Row("192.168.1.100", If2), 7), Row("192.168.1.100", If2)}, {},
                     {RefusalKind::SeveralReplies, Target, A(192, 168, 1, 100), 2, {}, 1}},
        DecisionCase{"OneTableMacTellsNothing", Request(Reconfigure, A(192, 168, 1, 100)),
                     {Framed(Row("192.168.1.100", If2), 7, MacSource::Neighbour),
                      Framed(Row("192.168.1.100", If2), 7, MacSource::Neighbour)},
                     {},
                     {RefusalKind::SeveralReplies, Target, A(192, 168, 1, 100), 2, {}, 0}},
        DecisionCase{"ResetOfTwoTellApartWithAll", With(Request(Reset, A(192, 168, 1, 100)), true, false),
                     {Framed(Row("192.168.1.100", If2), 7), Framed(Row("192.168.1.100", If2), 8)}, {},
                     {RefusalKind::None, Target, 0, 2, DecisionNote::SeveralRepliesAll, 2,
                      WhoAnswers::SeveralControllers}},
        DecisionCase{"NewAddressTaken", Request(Reconfigure, A(10, 1, 0, 20), A(10, 1, 0, 21)),
                     {Row("10.1.0.20", If2), Row("10.1.0.21", If2)}, {},
                     {RefusalKind::NewAddressTaken, NewAddress, A(10, 1, 0, 21), 0, {}}},
        DecisionCase{"NewAddressTakenElsewhereOnly", Request(Reconfigure, A(10, 1, 0, 20), A(10, 1, 0, 21)),
                     {Row("10.1.0.20", If2), Row("10.1.0.21", If3)}, {},
                     {RefusalKind::None, Target, 0, 0, DecisionNote::None}},
        DecisionCase{"NewAddressIsASkippedInterfaces",
                     Request(Reconfigure, A(10, 1, 0, 30), A(172, 17, 0, 1), A(255, 255, 0, 0)),
                     {Row("10.1.0.30", If2)}, {}, {RefusalKind::OwnAddress, NewAddress, A(172, 17, 0, 1), 0, {}}},
        DecisionCase{"NewAddressIsTheSubnetsNetwork",
                     Request(Reconfigure, A(10, 1, 0, 30), A(10, 1, 0, 0), A(255, 0, 0, 0)), {Row("10.1.0.30", If2)},
                     {}, {RefusalKind::SubnetEdge, NewAddress, A(10, 1, 0, 0), 0, {}}},
        DecisionCase{"NewAddressIsTheSubnetsBroadcastWithoutSearch",
                     With(Request(Reconfigure, A(10, 1, 0, 30), A(10, 1, 0, 255)), false, true), {}, {},
                     {RefusalKind::SubnetEdge, NewAddress, A(10, 1, 0, 255), 0, {}}},
        DecisionCase{"TargetIsTheWorkstation", Request(Reset, A(10, 2, 0, 1)), {Row("10.2.0.1", If3)}, {},
                     {RefusalKind::OwnAddress, Target, A(10, 2, 0, 1), 0, {}}},
        DecisionCase{"TargetIsTheSubnetsBroadcast", With(Request(Reset, A(10, 1, 0, 255)), false, true), {}, {},
                     {RefusalKind::SubnetEdge, Target, A(10, 1, 0, 255), 0, {}}},
        DecisionCase{"AWindowCutShortCouldListIt", Request(Reset, A(10, 1, 0, 20)), {Row("10.1.0.20", If2)},
                     {false, true}, {RefusalKind::CutShort, Target, A(10, 1, 0, 20), 0, {}}},
        DecisionCase{"NoSearchSendsUnchecked", With(Request(Reset, A(10, 1, 0, 99)), false, true), {}, {},
                     {RefusalKind::None, Target, 0, 0, DecisionNote::Unchecked}}),
    [](const ::testing::TestParamInfo<DecisionCase>& p) { return p.param.name; });

// Bound to one interface (--interface, a plan's column), a target found only
// elsewhere is refused there, naming where it does answer.
TEST(CommandDecision, NotFoundWhereBoundSaysWhereItAnswers) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    Looked looked;
    looked.searched = {If2, If3};
    looked.cutShort = {false, false};
    looked.rows = {Row("10.1.0.21", If2)};
    for (const bool elsewhere : {true, false}) {
        const Decision decision =
            DecideCommand(platform, Request(Reset, A(10, 1, 0, elsewhere ? 21 : 99)), OnlyOn(looked, If3));
        ASSERT_EQ(decision.refusal.kind, RefusalKind::NotFound);
        EXPECT_EQ(decision.refusal.where.index, If3.index);
        ASSERT_EQ(decision.refusal.interfaces.size(), elsewhere ? 1u : 0u);
        if (elsewhere) {
            EXPECT_EQ(decision.refusal.interfaces[0].index, If2.index);
        }
    }
    EXPECT_EQ(DecideCommand(platform, Request(Reset, A(10, 1, 0, 99)), looked).refusal.where.address, 0u)
        << "a look of every interface names none";
}

// How a reconfigure's new values fit the wire the controller is on.
TEST(CommandDecision, TheNewAddressOnItsWire) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    const struct {
        const char* name;
        NetAddress address, mask;
        bool outsideVia, outsideEvery, inOther, maskDiffers;
    } cases[] = {
        {"its own subnet", A(10, 1, 0, 77), A(255, 255, 255, 0), false, false, false, false},
        {"another wire's subnet", A(10, 2, 0, 77), A(255, 255, 255, 0), true, false, true, false},
        {"no interface's subnet", A(192, 168, 5, 6), A(255, 255, 255, 0), true, true, false, false},
        {"a /16 on a /24 wire", A(10, 1, 0, 78), A(255, 255, 0, 0), false, false, false, true},
    };
    for (const auto& c : cases) {
        const NewAddressFit fit = FitOfNewAddress(platform, If2, {If2, If3}, c.address, c.mask);
        EXPECT_TRUE(fit.known) << c.name;
        EXPECT_EQ(fit.outsideVia, c.outsideVia) << c.name;
        EXPECT_EQ(fit.outsideEvery, c.outsideEvery) << c.name;
        EXPECT_EQ(fit.other.index == If3.index, c.inOther) << c.name;
        EXPECT_EQ(fit.maskDiffers, c.maskDiffers) << c.name;
    }
}

TEST(CommandDecision, BoundToOneInterfaceSeesOnlyIt) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    Looked looked;
    looked.searched = {If2, If3};
    looked.cutShort = {true, false};
    looked.rows = {Row("10.9.0.5", If2), Row("10.9.0.5", If3)};
    const Looked onIf3 = OnlyOn(looked, If3);
    ASSERT_EQ(onIf3.searched.size(), 1u);
    EXPECT_EQ(onIf3.cutShort, std::vector<bool>{false}) << "the other window's failure is not its";
    ASSERT_EQ(onIf3.rows.size(), 1u);
    const Decision decision = DecideCommand(platform, Request(Reset, A(10, 9, 0, 5)), onIf3);
    EXPECT_TRUE(decision.send);
    EXPECT_EQ(decision.via.index, If3.index);
    EXPECT_EQ(decision.targetRows.size(), 1u);
}

}  // namespace
}  // namespace scout::ops
