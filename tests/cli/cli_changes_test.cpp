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
    Change change;
    change.kind = ChangeKind::Duplicate;
    change.row = Row("10.1.0.5");
    change.count = 2;
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

TEST(WatchChanges, AConflictNamesTheMacs) {
    Change change;
    change.kind = ChangeKind::Conflict;
    change.row = Row("10.1.0.5");
    change.macs = {{2, 0, 0x5e, 0x10, 0, 1}, {2, 0, 0x5e, 0x10, 0, 2}};
    const RenderOptions options;
    const std::string time = "2026-12-09T12:00:00+00:00";
    EXPECT_NE(RenderChange(change, time, OutputFormat::Json, options)
                  .find("\"event\": \"conflict\", \"address\": \"10.1.0.5\""),
              std::string::npos);
    EXPECT_NE(RenderChange(change, time, OutputFormat::Json, options)
                  .find("\"conflict\": \"shared\", \"macs\": [\"02:00:5e:10:00:01\", \"02:00:5e:10:00:02\"]}\n"),
              std::string::npos);
    EXPECT_NE(RenderChange(change, time, OutputFormat::Table, options)
                  .find("(address conflict: MAC 02:00:5e:10:00:01, 02:00:5e:10:00:02 answer at this address)\n"),
              std::string::npos);
    change.conflict = ConflictKind::Replaced;
    EXPECT_NE(RenderChange(change, time, OutputFormat::Table, options)
                  .find("(address conflict: MAC 02:00:5e:10:00:01 answered here before, MAC 02:00:5e:10:00:02 now: "
                        "another device holds the address)\n"),
              std::string::npos);
    EXPECT_EQ(RenderChange(change, time, OutputFormat::Csv, options).rfind("conflict,", 0), 0u);
}

}  // namespace
}  // namespace scout::cli
