// scout-cli history over a record file: the whole record as the table, CSV
// and JSON render it, read in one streamed pass (two for the table's widths).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_record.h"
#include "tests/fakes/scratch.h"

namespace scout::cli {
namespace {

using test::Scratch;

RecordLine Line(const char* event, const char* target) {
    RecordLine line;
    line.time = "2026-12-09T10:00:00+00:00";
    line.event = event;
    line.target = target;
    return line;
}

struct Collected {
    std::string text;
    std::vector<std::string> skipped;
};

void Collect(void* context, const std::string& text) {
    static_cast<Collected*>(context)->text += text;
}

void Skip(void* context, const std::string& why) {
    static_cast<Collected*>(context)->skipped.push_back(why);
}

TEST(RecordFile, HistoryIsStreamedAsTheWholeRecordWouldBeRendered) {
    Scratch scratch;
    const std::string path = scratch.Path("c.jsonl");
    RecordLine wide = Line("outcome", "10.1.0.200");
    wide.outcome = "answers";
    wide.command = "reconfigure";
    wide.newAddress = "10.1.0.77";
    wide.user = "ann";
    wide.model = "KRV-ETH1";
    wide.version = "2.14";
    wide.revision = "C";
    wide.answersAt = "10.1.0.77";
    wide.seconds = "0.4";
    ASSERT_EQ(AppendRecords(path, {Line("intent", "10.1.0.2"), wide}).fault, FileFault::None);
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out << "garbage\n";
    }
    const struct {
        OutputFormat format;
        const char* expected;
    } cases[] = {
        {OutputFormat::Table,
         "Time                       User  Event    Command      Target      Model     Version  Revision  Interface  "
         "New address  Answers at  Outcome  Seconds\n"
         "2026-12-09T10:00:00+00:00        intent                10.1.0.2\n"
         "2026-12-09T10:00:00+00:00  ann   outcome  reconfigure  10.1.0.200  KRV-ETH1  2.14     C                    "
         "10.1.0.77    10.1.0.77   answers  0.4\n"},
        {OutputFormat::Csv,
         "Time,User,Event,Command,Target,Model,Version,Revision,Interface,New address,Answers at,Outcome,Seconds\n"
         "2026-12-09T10:00:00+00:00,,intent,,10.1.0.2,,,,,,,,\n"
         "2026-12-09T10:00:00+00:00,ann,outcome,reconfigure,10.1.0.200,KRV-ETH1,2.14,C,,10.1.0.77,10.1.0.77,answers,0.4\n"},
        {OutputFormat::Json,
         "[\n  {\"time\": \"2026-12-09T10:00:00+00:00\", \"event\": \"intent\", \"target\": \"10.1.0.2\"},\n"
         "  {\"time\": \"2026-12-09T10:00:00+00:00\", \"event\": \"outcome\", \"user\": \"ann\", "
         "\"command\": \"reconfigure\", \"target\": \"10.1.0.200\", \"new_address\": \"10.1.0.77\", "
         "\"model\": \"KRV-ETH1\", \"version\": \"2.14\", \"revision\": \"C\", \"outcome\": \"answers\", "
         "\"answers_at\": \"10.1.0.77\", \"seconds\": 0.4}\n]\n"},
    };
    for (const auto& c : cases) {
        std::FILE* file = nullptr;
        ASSERT_EQ(OpenRegularFile(path, &file).fault, FileFault::None);
        Collected got;
        RenderOptions options;
        options.lineEnd = "\n";
        int error = 0;
        EXPECT_TRUE(StreamHistory(file, c.format, options, HistoryOutput{&got, Collect, Skip}, &error));
        std::fclose(file);
        EXPECT_EQ(got.text, c.expected);
        EXPECT_EQ(got.skipped, std::vector<std::string>{"line 3: no JSON object"}) << "said once, in one pass";
    }
}

}  // namespace
}  // namespace scout::cli
