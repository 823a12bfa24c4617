// Who answers at an address on an interface: the one question the decisions,
// the verification, watch, commission and the dialog ask of a search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "ops/answers.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/rows.h"

namespace scout::ops {
namespace {

using test::If2;
using test::If3;
using test::Row;
const BroadcastInterface If2Again{MakeAddress(10, 1, 0, 1), 7};  // the same address on a second adapter


TEST(AnswersAt, ByAddressAndInterfaceBoth) {
    const std::vector<Reply> rows = {Row("10.9.0.5", If2), Row("10.9.0.50", If2), Row("10.9.0.5", If3),
                                     Row("10.9.0.5", If2, "KRV-ETH2"), Row("10.9.0.5", If2Again), Row("bad", If2)};
    const struct {
        const char* address;
        BroadcastInterface via;
        std::size_t answers;
    } cases[] = {
        {"10.9.0.5", If2, 2}, {"10.9.0.5", If3, 1}, {"10.9.0.5", If2Again, 1},
        {"10.9.0.50", If3, 0}, {"10.9.0", If2, 0}, {"", If2, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AnswersAt(rows, c.address, c.via).size(), c.answers) << c.address << " if" << c.via.index;
    EXPECT_EQ(AnswersAt(rows, MakeAddress(10, 9, 0, 5), If2).size(), 2u);
    const std::vector<BroadcastInterface> where = InterfacesAnswering(rows, "10.9.0.5");
    ASSERT_EQ(where.size(), 3u) << "each interface once, one address on two adapters twice";
    EXPECT_EQ(where[2].index, If2Again.index);
    EXPECT_EQ(AnsweringAddresses(rows, &If2).size(), 3u) << "an address that is no address is none";
    EXPECT_EQ(AnsweringAddresses(rows).size(), 5u);
}

TEST(AnswersAt, TheSameControllerByItsThreeTexts) {
    Reply a = Row("10.9.0.5", If2);
    Reply b = Row("10.9.0.6", If3);
    EXPECT_TRUE(SameTexts(a, b)) << "its address and interface are not its texts";
    std::snprintf(b.revision, sizeof b.revision, "D");
    EXPECT_FALSE(SameTexts(a, b));
}

// After a search, the neighbour table is asked once for each address that one
// reply alone came from and whose frame was not read; never for an address
// several replies share (its entry cannot say which of them is which).
TEST(NeighbourMacs, AskedOnlyWhereTheyTellOneReply) {
    test::FakeWorld world;
    const MacAddress table = {2, 0, 0, 0, 0, 9};
    for (const int host : {5, 6, 7, 8})
        world.neighbours.push_back({If2.index, MakeAddress(10, 9, 0, host), NeighbourAnswer::OlderEntry, table});
    const NetPlatform platform = test::MakeFakePlatform(&world);
    std::vector<Reply> rows = {Row("10.9.0.5", If2), Row("10.9.0.6", If2), Row("10.9.0.6", If2), Row("10.9.0.7", If2),
                               Row("10.9.0.8", If3), Row("10.9.0.99", If2)};
    rows[3].macSource = MacSource::Frame;
    rows[3].mac = {2, 0, 0, 0, 0, 7};
    FillNeighbourMacs(platform, rows);
    const MacSource sources[] = {MacSource::Neighbour, MacSource::None,  MacSource::None,
                                 MacSource::Frame,     MacSource::None,  MacSource::None};
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].macSource, sources[i]) << i;
    EXPECT_EQ(rows[0].mac, table);
    EXPECT_EQ(rows[3].mac[5], 7) << "a frame's MAC stands";
    std::sort(world.log.begin(), world.log.end());
    EXPECT_EQ(world.log, (std::vector<std::string>{"neighbour 10.9.0.5 if2", "neighbour 10.9.0.8 if3",
                                                   "neighbour 10.9.0.99 if2"}))
        << "asked once per lone address, by its own interface";
}

}  // namespace
}  // namespace scout::ops
