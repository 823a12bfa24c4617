// What a watch (and commission's wait) learns from one search to the next:
// each change once, a controller gone only after two searches without it, and
// none for an interface whose search failed.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ops/changes.h"
#include "tests/fakes/rows.h"

namespace scout::ops {
namespace {

using test::If2;
using test::If3;

// As watch is given them: the model where it changes.
Reply Row(const char* address, const char* model = "KRV-ETH1", const BroadcastInterface& via = If2) {
    return test::Row(address, via, model);
}

// Appeared, Gone, Changed, Duplicate, DuplicateEnded, Conflict, as the table marks them ("#" for the last).
std::string Sign(ChangeKind kind) {
    return std::string(1, "+-~!!#"[static_cast<int>(kind)]);
}

// A row whose frame (or the neighbour table) says MAC 02:00:00:00:00:<last>.
Reply From(Reply row, std::uint8_t last, MacSource source = MacSource::Frame) {
    row.macSource = source;
    row.mac = {2, 0, 0, 0, 0, last};
    return row;
}

// The changes of each search as "+10.1.0.5" and the like.
std::vector<std::string> Said(WatchState& state, const std::vector<Reply>& rows,
                              const std::vector<BroadcastInterface>& failed = {}) {
    std::vector<std::string> said;
    for (const Change& change : CompareSearch(state, rows, failed))
        said.push_back(Sign(change.kind) + std::string(change.row.address) +
                       (change.kind == ChangeKind::Duplicate ? "x" + std::to_string(change.count) : "") +
                       (change.kind == ChangeKind::Conflict
                            ? std::string(change.conflict == ConflictKind::Shared ? " shared" : " replaced") +
                                  [&] {
                                      std::string macs;
                                      for (const MacAddress& mac : change.macs)
                                          macs += " " + std::to_string(mac[5]);
                                      return macs;
                                  }()
                            : ""));
    return said;
}

TEST(WatchChanges, EachChangeOnceAsItHappens) {
    WatchState state;
    EXPECT_EQ(Said(state, {Row("10.1.0.5"), Row("10.1.0.6"), Row("10.1.0.5", "KRV-ETH1", If3)}),
              (std::vector<std::string>{"+10.1.0.5", "+10.1.0.6", "+10.1.0.5"}));
    EXPECT_EQ(Said(state, {Row("10.1.0.5"), Row("10.1.0.6"), Row("10.1.0.5", "KRV-ETH1", If3)}),
              std::vector<std::string>{});
    // Missing once is no change; missing twice is gone.
    EXPECT_EQ(Said(state, {Row("10.1.0.5"), Row("10.1.0.5", "KRV-ETH1", If3)}), std::vector<std::string>{});
    EXPECT_EQ(Said(state, {Row("10.1.0.5"), Row("10.1.0.5", "KRV-ETH1", If3)}),
              std::vector<std::string>{"-10.1.0.6"});
    // Another model at a known address; then two answer there, then one again.
    EXPECT_EQ(Said(state, {Row("10.1.0.5", "KRV-ETH2"), Row("10.1.0.5", "KRV-ETH1", If3)}),
              std::vector<std::string>{"~10.1.0.5"});
    EXPECT_EQ(Said(state, {Row("10.1.0.5", "KRV-ETH2"), Row("10.1.0.5", "KRV-ETH7"),
                           Row("10.1.0.5", "KRV-ETH1", If3)}),
              std::vector<std::string>{"!10.1.0.5x2"});
    EXPECT_EQ(Said(state, {Row("10.1.0.5", "KRV-ETH2"), Row("10.1.0.5", "KRV-ETH1", If3)}),
              std::vector<std::string>{"!10.1.0.5"});
}

TEST(WatchChanges, AnAddressConflictOnceAsItHappens) {
    struct Step {
        std::vector<Reply> rows;
        std::vector<std::string> said;
    };
    const Step steps[] = {
        {{From(Row("10.1.0.5"), 1)}, {"+10.1.0.5"}},
        {{From(Row("10.1.0.5"), 1)}, {}},
        // Another device at the address: the MAC is not the one before.
        {{From(Row("10.1.0.5"), 2)}, {"#10.1.0.5 replaced 1 2"}},
        {{From(Row("10.1.0.5"), 2)}, {}},
        // Where the MAC is not known this time, nothing is said of it.
        {{Row("10.1.0.5")}, {}},
        // Two MACs at once: a duplicate and a conflict; said once while it lasts.
        {{From(Row("10.1.0.5"), 2), From(Row("10.1.0.5"), 3)}, {"!10.1.0.5x2", "#10.1.0.5 shared 2 3"}},
        {{From(Row("10.1.0.5"), 2), From(Row("10.1.0.5"), 3)}, {}},
        {{From(Row("10.1.0.5"), 2)}, {"!10.1.0.5"}},
        // One controller that answers twice is a duplicate, no conflict.
        {{From(Row("10.1.0.5"), 2), From(Row("10.1.0.5"), 2)}, {"!10.1.0.5x2"}},
        // A neighbour table's MAC that changes is a conflict too.
        {{From(Row("10.1.0.6"), 7, MacSource::Neighbour)}, {"+10.1.0.6"}},
        {{From(Row("10.1.0.6"), 8, MacSource::Neighbour)}, {"#10.1.0.6 replaced 7 8", "-10.1.0.5"}},
    };
    WatchState state;
    for (std::size_t n = 0; n < std::size(steps); ++n)
        EXPECT_EQ(Said(state, steps[n].rows), steps[n].said) << "step " << n;
}

TEST(WatchChanges, NothingGoneBehindAFailedSearch) {
    WatchState state;
    Said(state, {Row("10.1.0.5"), Row("10.2.0.5", "KRV-ETH1", If3)});
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Said(state, {Row("10.1.0.5")}, {If3}), std::vector<std::string>{});
    Said(state, {Row("10.1.0.5")});
    EXPECT_EQ(Said(state, {Row("10.1.0.5")}), std::vector<std::string>{"-10.2.0.5"});
}

// An interface that goes is said once, not each controller behind it; one
// that comes back finds its controllers new again.
TEST(WatchChanges, InterfacesThatComeAndGo) {
    const BroadcastInterface moved{If3.address, 7};  // the same address, another adapter
    const InterfaceChanges changes = CompareInterfaces({If2, If3}, {If2, moved});
    ASSERT_EQ(changes.appeared.size(), 1u);
    EXPECT_TRUE(SameInterface(changes.appeared[0], moved));
    ASSERT_EQ(changes.gone.size(), 1u);
    EXPECT_TRUE(SameInterface(changes.gone[0], If3));
    EXPECT_TRUE(CompareInterfaces({If2}, {If2}).appeared.empty() && CompareInterfaces({If2}, {If2}).gone.empty());

    WatchState state;
    Said(state, {Row("10.1.0.5"), Row("10.2.0.5", "KRV-ETH1", If3), Row("10.2.0.6", "KRV-ETH1", If3)});
    ForgetInterface(state, If3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Said(state, {Row("10.1.0.5")}), std::vector<std::string>{}) << "none of its controllers gone";
    EXPECT_EQ(Said(state, {Row("10.1.0.5"), Row("10.2.0.5", "KRV-ETH1", If3)}), std::vector<std::string>{"+10.2.0.5"})
        << "back: new again";
}

}  // namespace
}  // namespace scout::ops
