// The record of changes: its lines written and read back, and what is no
// line of it.
#include <gtest/gtest.h>

#include "cli/cli_record.h"

namespace scout::cli {
namespace {

TEST(Record, ALineReadsBackAsItWasWritten) {
    RecordLine line;
    line.time = "2026-12-09T10:49:22+01:00";
    line.event = "intent";
    line.command = "reconfigure";
    line.target = "192.168.1.100";
    line.version = "caf\xc3\xa9 \"q\" \\ \x01";
    line.newAddress = "10.1.0.77";
    const std::string json = RecordJson(line);
    EXPECT_EQ(json.find('\n'), std::string::npos) << "one line";
    std::vector<std::string> bad;
    const auto read = ReadRecords(json + "\n" + json + "\r\n", &bad);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_TRUE(bad.empty());
    EXPECT_EQ(read[1].target, "192.168.1.100");
    EXPECT_EQ(read[1].newAddress, "10.1.0.77");
    EXPECT_EQ(read[1].version, line.version) << "UTF-8 kept, escapes undone";
}

TEST(Record, WhatIsNoLineIsNamedAndSkipped) {
    const std::string good = R"({"time": "t", "event": "intent"})";
    const struct {
        std::string line;
        const char* why;
    } cases[] = {
        {"", "empty"},
        {"not json", "no JSON object"},
        {R"({"time": "t"})", "not a record of this program"},
        {R"({"time": "t", "event": "intent")", "not a record of this program"},
        {R"({"time": "t", "event": 5})", "not a record of this program"},
        {"{\"time\": \"t\x01\", \"event\": \"e\"}", "not a record of this program"},
        {R"({"time": "t", "event": "e"} trailing)", "not a record of this program"},
        {R"({"time": "t", "event": "e\u12"})", "not a record of this program"},
        {"{\"time\": \"" + std::string(100000, 'x'), "not a record of this program"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> bad;
        const auto read = ReadRecords(good + "\n" + c.line + "\n" + good + "\n", &bad);
        EXPECT_EQ(read.size(), 2u) << c.line.substr(0, 40);
        EXPECT_EQ(bad, std::vector<std::string>{std::string("line 2: ") + c.why}) << c.line.substr(0, 40);
    }
}

}  // namespace
}  // namespace scout::cli
