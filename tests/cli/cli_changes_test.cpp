// What watch says from one search to the next: each change once, a controller
// gone only after two searches without it, and none for an interface whose
// search failed.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_changes.h"

namespace scout::cli {
namespace {

const BroadcastInterface If2{MakeAddress(10, 1, 0, 1), 2};
const BroadcastInterface If3{MakeAddress(10, 2, 0, 1), 3};

CliRow Row(const char* address, const char* model = "KRV-ETH1", const BroadcastInterface& via = If2) {
    CliRow row;
    std::snprintf(row.address, sizeof row.address, "%s", address);
    std::snprintf(row.model, sizeof row.model, "%s", model);
    row.via = via;
    return row;
}

// The changes of each search as "+10.1.0.5" and the like.
std::vector<std::string> Said(WatchState& state, const std::vector<CliRow>& rows,
                              const std::vector<BroadcastInterface>& failed = {}) {
    std::vector<std::string> said;
    for (const Change& change : CompareSearch(state, rows, failed))
        said.push_back(ChangeSign(change.kind) + std::string(change.row.address) +
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

TEST(WatchChanges, JsonLinesAndTableRows) {
    Change change{ChangeKind::Duplicate, Row("10.1.0.5"), 2};
    const RenderOptions options;
    const std::string json = RenderChange(change, "2026-12-09T12:00:00+00:00", OutputFormat::Json, options);
    EXPECT_EQ(json.find('\n'), json.size() - 1);
    EXPECT_EQ(json.rfind("{\"time\": \"2026-12-09T12:00:00+00:00\", \"event\": \"duplicate\", \"address\": "
                         "\"10.1.0.5\"", 0), 0u);
    EXPECT_NE(json.find("\"count\": 2}"), std::string::npos);
    const std::string table = RenderChange(change, "2026-12-09T12:00:07+00:00", OutputFormat::Table, options);
    EXPECT_EQ(table.rfind("12:00:07  ! 10.1.0.5 ", 0), 0u) << "the time of day first";
    EXPECT_EQ(WatchHeader(OutputFormat::Table, options).find("IP ADDR"), table.find("10.1.0.5"));
    EXPECT_NE(table.find("(2 replies: several controllers share this address, or one answers twice)\n"), std::string::npos);
}

}  // namespace
}  // namespace scout::cli
