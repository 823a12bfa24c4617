// Whether a host that is no controller holds a reconfigure's new address, as
// the fake link answers: only the link the command leaves by counts, and an
// answer that is not "nobody" is a refusal (a holder) or a fact to say.
#include <gtest/gtest.h>

#include "ops/command.h"
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
    bool refused;            // HeldByHost, with the MAC
    NeighbourAnswer beside;  // what the decision carries where it goes
    std::vector<std::string> asked;
};

TEST(HostsOnTheLink, AskedWhileTheLookRunsAndReadAfter) {
    const NetAddress held = MakeAddress(10, 1, 0, 77);
    const NeighbourAnswer Holder = NeighbourAnswer::Holder;
    const HostCase cases[] = {
        {"a holder on the way out", "10.1.0.77", {{2, held, Holder, Plc}}, false, true, true, Holder,
         {"ask 10.1.0.77 if2", "ask 10.1.0.77 if3"}},
        {"a holder on another interface only", "10.1.0.77", {{3, held, Holder, Plc}}, false, true, false,
         NeighbourAnswer::Nobody, {"ask 10.1.0.77 if2", "ask 10.1.0.77 if3"}},
        {"nobody", "10.1.0.77", {}, false, true, false, NeighbourAnswer::Nobody,
         {"ask 10.1.0.77 if2", "ask 10.1.0.77 if3"}},
        {"an entry from before", "10.1.0.77", {{2, held, NeighbourAnswer::OlderEntry, Plc}}, false, true, false,
         NeighbourAnswer::OlderEntry, {"ask 10.1.0.77 if2", "ask 10.1.0.77 if3"}},
        {"off the subnet, no probe", "192.168.5.6", {}, false, true, false, NeighbourAnswer::OffLink,
         {"ask 192.168.5.6 if2", "ask 192.168.5.6 if3"}},
        {"off the subnet, probed", "192.168.5.6", {{2, MakeAddress(192, 168, 5, 6), Holder, Plc}}, true, true, true,
         Holder, {"ask 192.168.5.6 if2", "ask 192.168.5.6 if3"}},
        {"a platform that cannot ask", "10.1.0.77", {{2, held, Holder, Plc}}, false, false, false,
         NeighbourAnswer::Unsupported, {}},
        {"the target's own address", "10.1.0.20", {{2, MakeAddress(10, 1, 0, 20), Holder, Plc}}, false, true, false,
         Holder, {"ask 10.1.0.20 if2", "ask 10.1.0.20 if3"}},
    };
    for (const HostCase& c : cases) {
        test::FakeWorld world;
        world.neighbours = c.neighbours;
        world.probes = c.probes;
        NetPlatform platform = test::MakeFakePlatform(&world);
        if (!c.canAsk)
            platform.askNeighbour = nullptr;
        CommandRequest request;
        request.kind = CommandKind::Reconfigure;
        request.target = MakeAddress(10, 1, 0, 20);
        ASSERT_TRUE(ParseDottedAddress(c.newAddress, &request.values.address));
        request.values.mask = MakeAddress(255, 255, 255, 0);
        Looked looked;
        looked.searched = {If2, If3};
        looked.cutShort = {false, false};
        looked.rows = {Row("10.1.0.20", If2)};
        HostAsking asking = AskForHosts(platform, looked.searched, request.values.address);
        EXPECT_EQ(world.log, c.asked) << c.name;
        looked.hosts = HostsAnswered(platform, asking);
        looked.hostsAsked = true;
        const Decision decision = DecideCommand(platform, request, looked);
        EXPECT_EQ(!decision.send, c.refused) << c.name;
        if (c.refused) {
            EXPECT_EQ(decision.refusal.kind, RefusalKind::HeldByHost) << c.name;
            EXPECT_EQ(decision.refusal.address, request.values.address) << c.name;
            EXPECT_EQ(decision.refusal.where.index, If2.index) << c.name;
            EXPECT_EQ(MacText(decision.refusal.mac), "02:00:5e:10:00:01") << c.name;
        } else if (request.values.address == request.target) {
            EXPECT_FALSE(decision.hostsChecked) << c.name << ": the target keeps its own address";
        } else {
            EXPECT_TRUE(decision.hostsChecked) << c.name;
            EXPECT_EQ(decision.hosts.answer, c.beside) << c.name;
            EXPECT_EQ(decision.hosts.via.index, If2.index) << c.name;
        }
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
