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

// Appeared, Gone, Changed, Duplicate, DuplicateEnded, as the table marks them.
std::string Sign(ChangeKind kind) {
    return std::string(1, "+-~!!"[static_cast<int>(kind)]);
}

// The changes of each search as "+10.1.0.5" and the like.
std::vector<std::string> Said(WatchState& state, const std::vector<Reply>& rows,
                              const std::vector<BroadcastInterface>& failed = {}) {
    std::vector<std::string> said;
    for (const Change& change : CompareSearch(state, rows, failed))
        said.push_back(Sign(change.kind) + std::string(change.row.address) +
                       (change.kind == ChangeKind::Duplicate ? "x" + std::to_string(change.count) : ""));
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

TEST(WatchChanges, NothingGoneBehindAFailedSearch) {
    WatchState state;
    Said(state, {Row("10.1.0.5"), Row("10.2.0.5", "KRV-ETH1", If3)});
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Said(state, {Row("10.1.0.5")}, {If3}), std::vector<std::string>{});
    Said(state, {Row("10.1.0.5")});
    EXPECT_EQ(Said(state, {Row("10.1.0.5")}), std::vector<std::string>{"-10.2.0.5"});
}

}  // namespace
}  // namespace scout::ops
