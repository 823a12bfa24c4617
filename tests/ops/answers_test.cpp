// Who answers at an address on an interface: the one question the decisions,
// the verification, watch, commission and the dialog ask of a search.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "ops/answers.h"
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

}  // namespace
}  // namespace scout::ops
