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

// Who sent several replies from one address: texts that differ are different
// controllers whatever their MAC, frames from different MACs too; the same
// texts from one MAC cannot be told from a batch that shares it; and where a
// MAC was not read from each frame, the same texts tell nothing.
TEST(WhoShares, TheTextsAndTheFramesTellControllersApart) {
    const MacAddress one = {2, 0, 0, 0, 0, 1};
    const MacAddress two = {2, 0, 0, 0, 0, 2};
    const auto framed = [](Reply row, const MacAddress& mac, MacSource source = MacSource::Frame) {
        row.mac = mac;
        row.macSource = source;
        return row;
    };
    const Reply a = Row("192.168.1.100", If2, "KRV-ETH1A2B");
    const Reply b = Row("192.168.1.100", If2, "KRV-ETH3C00");
    const struct {
        const char* name;
        std::vector<Reply> replies;
        WhoAnswers who;
        std::size_t macs;
        bool textsDiffer;
    } cases[] = {
        {"one MAC, the same texts", {framed(a, one), framed(a, one)}, WhoAnswers::OneMac, 1, false},
        {"one MAC, other texts: a clone", {framed(a, one), framed(b, one)}, WhoAnswers::SeveralControllers, 1, true},
        {"two MACs", {framed(a, one), framed(a, two)}, WhoAnswers::SeveralControllers, 2, false},
        {"no frames, the same texts", {a, a}, WhoAnswers::Unknown, 0, false},
        {"no frames, other texts", {a, b}, WhoAnswers::SeveralControllers, 0, true},
        {"one frame of two", {framed(a, one), a}, WhoAnswers::Unknown, 1, false},
        {"the table's MAC is no frame's", {framed(a, one, MacSource::Neighbour), framed(a, one, MacSource::Neighbour)},
         WhoAnswers::Unknown, 0, false},
        {"three, one of them other", {framed(a, one), framed(a, one), framed(b, one)}, WhoAnswers::SeveralControllers,
         1, true},
    };
    for (const auto& c : cases) {
        std::vector<const Reply*> replies;
        for (const Reply& reply : c.replies)
            replies.push_back(&reply);
        const SharedAnswers shared = WhoShares(replies);
        EXPECT_EQ(shared.who, c.who) << c.name;
        EXPECT_EQ(shared.macs.size(), c.macs) << c.name;
        EXPECT_EQ(shared.textsDiffer, c.textsDiffer) << c.name;
    }
}

// After a search, the neighbour table is asked once for each address that one
// reply alone came from and whose frame was not read; never for an address
// several replies share (its entry cannot say which of them is which). Only a
// MAC the system learned or confirmed during the search counts: an entry from
// before, or one set by hand, says nothing of who answers now.
TEST(FinishRows, NeighbourMacsOnlyWhereTheyTellOneReplyAndAreFresh) {
    test::FakeWorld world;
    const MacAddress table = {2, 0, 0, 0, 0, 9};
    for (const int host : {5, 6, 7, 8})
        world.neighbours.push_back({If2.index, MakeAddress(10, 9, 0, host), NeighbourAnswer::Holder, table});
    world.neighbours.push_back({If2.index, MakeAddress(10, 9, 0, 20), NeighbourAnswer::OlderEntry, table});
    world.neighbours.push_back({If2.index, MakeAddress(10, 9, 0, 21), NeighbourAnswer::SetByHand, table});
    const NetPlatform platform = test::MakeFakePlatform(&world);
    std::vector<Reply> rows = {Row("10.9.0.5", If2),  Row("10.9.0.6", If2),  Row("10.9.0.6", If2),
                               Row("10.9.0.7", If2),  Row("10.9.0.8", If3),  Row("10.9.0.99", If2),
                               Row("10.9.0.20", If2), Row("10.9.0.21", If2)};
    rows[3].macSource = MacSource::Frame;
    rows[3].mac = {2, 0, 0, 0, 0, 7};
    FinishRows(platform, rows, world.clock);
    const MacSource sources[] = {MacSource::Neighbour, MacSource::None, MacSource::None, MacSource::Frame,
                                 MacSource::None,      MacSource::None, MacSource::None, MacSource::None};
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].macSource, sources[i]) << rows[i].address;
    EXPECT_EQ(rows[0].mac, table);
    EXPECT_EQ(rows[3].mac[5], 7) << "a frame's MAC stands";
    EXPECT_EQ(rows[6].mac, MacAddress{}) << "a stale entry's MAC is no row's";
    std::sort(world.log.begin(), world.log.end());
    EXPECT_EQ(world.log, (std::vector<std::string>{"neighbour 10.9.0.20 if2", "neighbour 10.9.0.21 if2",
                                                   "neighbour 10.9.0.5 if2", "neighbour 10.9.0.8 if3",
                                                   "neighbour 10.9.0.99 if2"}))
        << "asked once per lone address, by its own interface";
}

}  // namespace
}  // namespace scout::ops
