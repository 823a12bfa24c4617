// Whether a host that is no controller holds a reconfigure's new address, as
// the fake link answers: only the link the command leaves by counts, an
// answer in time is found whichever way asks, an entry set by hand refuses
// as a holder does, and what could not be checked is said with its reason.
#include <gtest/gtest.h>

#include <algorithm>

#include "ops/command.h"
#include "ops/look.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/rows.h"

namespace scout::ops {
namespace {

using test::If2;
using test::If3;
using test::Row;

constexpr MacAddress Plc{0x02, 0x00, 0x5e, 0x10, 0x00, 0x01};

struct HostCase {
    const char* name;
    const char* newAddress;
    std::vector<test::FakeWorld::Neighbour> neighbours;
    bool probes;
    bool canAsk;
    RefusalKind refused;     // None where it goes
    NeighbourAnswer beside;  // what the decision carries where it goes
};

Decision DecideWithTheLink(const HostCase& c, test::FakeWorld& world, CommandRequest& request) {
    world.neighbours = c.neighbours;
    world.probes = c.probes;
    NetPlatform platform = test::MakeFakePlatform(&world);
    if (!c.canAsk)
        platform.askNeighbour = nullptr;
    request.kind = CommandKind::Reconfigure;
    request.target = MakeAddress(10, 1, 0, 20);
    EXPECT_TRUE(ParseDottedAddress(c.newAddress, &request.values.address));
    request.values.mask = MakeAddress(255, 255, 255, 0);
    Looked looked;
    looked.searched = {If2, If3};
    looked.cutShort = {false, false};
    looked.rows = {Row("10.1.0.20", If2)};
    looked.hosts = AskTheLink(platform, looked.searched, {request.values.address});
    looked.hostsAsked = true;
    return DecideCommand(platform, request, looked);
}

TEST(HostsOnTheLink, TheAnswerOfTheWayOutDecides) {
    const NetAddress held = MakeAddress(10, 1, 0, 77);
    const NeighbourAnswer Holder = NeighbourAnswer::Holder;
    const NeighbourAnswer Nobody = NeighbourAnswer::Nobody;
    const RefusalKind Goes = RefusalKind::None;
    const HostCase cases[] = {
        {"a holder on the way out", "10.1.0.77", {{2, held, Holder, Plc}}, false, true, RefusalKind::HeldByHost, Holder},
        {"a holder on another interface only", "10.1.0.77", {{3, held, Holder, Plc}}, false, true, Goes, Nobody},
        {"nobody", "10.1.0.77", {}, false, true, Goes, Nobody},
        {"a holder 700 ms late, the system asking", "10.1.0.77", {{2, held, Holder, Plc, 700}}, false, true,
         RefusalKind::HeldByHost, Holder},
        {"a holder 700 ms late, probed", "10.1.0.77", {{2, held, Holder, Plc, 700}}, true, true,
         RefusalKind::HeldByHost, Holder},
        {"a holder past the deadline", "10.1.0.77", {{2, held, Holder, Plc, 1300}}, true, true, Goes, Nobody},
        {"an entry from before", "10.1.0.77", {{2, held, NeighbourAnswer::OlderEntry, Plc}}, false, true, Goes,
         NeighbourAnswer::OlderEntry},
        {"an entry set by hand, the system asking", "10.1.0.77", {{2, held, NeighbourAnswer::SetByHand, Plc}}, false,
         true, RefusalKind::SetByHand, Holder},
        {"an entry set by hand, probed", "10.1.0.77", {{2, held, NeighbourAnswer::SetByHand, Plc}}, true, true,
         RefusalKind::SetByHand, Holder},
        {"a link too busy to be sure", "10.1.0.77", {{2, held, NeighbourAnswer::Busy, {}, 0, 1800}}, true, true, Goes,
         NeighbourAnswer::Busy},
        {"off the subnet, no probe", "192.168.5.6", {}, false, true, Goes, NeighbourAnswer::OffLink},
        {"off the subnet, probed", "192.168.5.6", {{2, MakeAddress(192, 168, 5, 6), Holder, Plc}}, true, true,
         RefusalKind::HeldByHost, Holder},
        {"a platform that cannot ask", "10.1.0.77", {{2, held, Holder, Plc}}, false, false, Goes,
         NeighbourAnswer::Unsupported},
    };
    for (const HostCase& c : cases) {
        test::FakeWorld world;
        CommandRequest request;
        const Decision decision = DecideWithTheLink(c, world, request);
        EXPECT_EQ(decision.refusal.kind, c.refused) << c.name;
        EXPECT_EQ(decision.send, c.refused == Goes) << c.name;
        if (c.refused != Goes) {
            EXPECT_EQ(decision.refusal.address, request.values.address) << c.name;
            EXPECT_EQ(decision.refusal.where.index, If2.index) << c.name;
            EXPECT_EQ(MacText(decision.refusal.mac), "02:00:5e:10:00:01") << c.name;
            continue;
        }
        EXPECT_TRUE(decision.hostsChecked) << c.name;
        EXPECT_EQ(decision.hosts.answer, c.beside) << c.name;
        EXPECT_EQ(decision.hosts.via.index, If2.index) << c.name;
    }
}

// However a front end asks (the dialog and commission at once, a look while
// its search runs), the answers are read only once the deadline has passed;
// where this process probes, the further probes go at their offsets.
TEST(HostsOnTheLink, OneDeadlineAndTheProbesOnTheWay) {
    for (const bool probes : {false, true}) {
        test::FakeWorld world;
        world.probes = probes;
        const NetPlatform platform = test::MakeFakePlatform(&world);
        AskTheLink(platform, {If2}, {MakeAddress(10, 1, 0, 77)});
        const std::vector<std::string> expected =
            probes ? std::vector<std::string>{"ask 10.1.0.77 if2", "probe 10.1.0.77 if2 at 300",
                                              "probe 10.1.0.77 if2 at 600", "read 10.1.0.77 if2 at 1000"}
                   : std::vector<std::string>{"ask 10.1.0.77 if2", "read 10.1.0.77 if2 at 1000"};
        std::vector<std::string> asked;
        std::copy_if(world.log.begin(), world.log.end(), std::back_inserter(asked),
                     [](const std::string& line) { return line.rfind("sleep", 0) != 0; });
        EXPECT_EQ(asked, expected) << (probes ? "probes" : "the system asks once");
    }
}

TEST(HostsOnTheLink, ALookReadsNoSoonerThanTheDeadlineWhateverItsWindow) {
    for (const std::uint32_t window : {300u, 1010u, 3000u}) {
        test::FakeWorld world;
        world.probes = true;
        world.interfaces = {If2};
        const NetPlatform platform = test::MakeFakePlatform(&world);
        test::FakeWorld shown;
        LookPlan plan;
        plan.interfaces = {If2};
        plan.windowMs = window;
        plan.askFor = {MakeAddress(10, 1, 0, 77)};
        const Looked looked = Look(platform, test::MakeFakeFrontEnd(&shown), plan);
        ASSERT_TRUE(looked.hostsAsked);
        const auto read = std::find_if(world.log.begin(), world.log.end(),
                                       [](const std::string& line) { return line.rfind("read 10.1.0.77", 0) == 0; });
        ASSERT_NE(read, world.log.end()) << window;
        const std::uint32_t at = static_cast<std::uint32_t>(std::stoul(read->substr(read->rfind(' ') + 1)));
        EXPECT_GE(at, LinkAnswerMs) << "a window of " << window << " ms";
        EXPECT_LE(at, std::max(window, LinkAnswerMs) + 2 * PassIntervalMs) << "no wait beyond the longer of the two";
        EXPECT_EQ(std::count_if(world.log.begin(), world.log.end(),
                                [](const std::string& line) { return line.rfind("probe ", 0) == 0; }),
                  2)
            << "the probes after the first went inside the look, window " << window;
    }
}

TEST(HostsOnTheLink, NotAskedIsNoCheckAndABoundRowKeepsTheAnswers) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    CommandRequest request;
    request.kind = CommandKind::Reconfigure;
    request.target = MakeAddress(10, 1, 0, 20);
    request.values.address = MakeAddress(10, 1, 0, 77);
    Looked looked;
    looked.searched = {If2, If3};
    looked.cutShort = {false, false};
    looked.rows = {Row("10.1.0.20", If2)};
    EXPECT_FALSE(DecideCommand(platform, request, looked).hostsChecked) << "not asked: nothing to say";
    looked.hostsAsked = true;
    looked.hosts = {HostAnswer{request.values.address, If2, NeighbourAnswer::Holder, Plc, 0, 24}};
    EXPECT_EQ(DecideCommand(platform, request, OnlyOn(looked, If2)).refusal.kind, RefusalKind::HeldByHost);
}

}  // namespace
}  // namespace scout::ops
