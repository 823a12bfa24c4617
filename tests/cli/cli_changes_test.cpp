// How watch words a change: a JSON line, a table row under its header.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_changes.h"
#include "tests/fakes/rows.h"

namespace scout::cli {
namespace {

using test::If2;

// As watch is given them: the model where it changes.
Reply Row(const char* address, const char* model = "KRV-ETH1", const BroadcastInterface& via = If2) {
    return test::Row(address, via, model);
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
