// The record of changes: its lines written and read back, and what is no
// line of it; the file written whole or not at all, and read in bounded
// pieces, on both platforms.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ops/record.h"
#include "tests/fakes/scratch.h"

namespace scout::ops {
namespace {

using test::Contents;
using test::Scratch;

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

TEST(Record, SecondsAreANumberAndRecordsOfEarlierVersionsStillRead) {
    RecordLine line;
    line.time = "t";
    line.event = "outcome";
    line.seconds = "1.5";
    EXPECT_EQ(RecordJson(line), R"({"time": "t", "event": "outcome", "seconds": 1.5})");
    line.seconds = "1.5\", \"event\": \"x";  // no number: written as a text, never as JSON of its own
    EXPECT_EQ(RecordJson(line), R"({"time": "t", "event": "outcome", "seconds": "1.5\", \"event\": \"x"})");
    std::vector<std::string> bad;
    const auto read = ReadRecords(R"({"time": "t", "event": "outcome", "seconds": "2.0"})" "\n"
                                  R"({"time": "t", "event": "outcome", "seconds": 3.5})" "\n", &bad);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].seconds, "2.0");
    EXPECT_EQ(read[1].seconds, "3.5");
    EXPECT_TRUE(bad.empty());
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

RecordLine Line(const char* event, const char* target) {
    RecordLine line;
    line.time = "2026-12-09T10:00:00+00:00";
    line.event = event;
    line.target = target;
    return line;
}

TEST(RecordFile, LinesAreAppendedWholeAfterALineEndOfTheirOwn) {
    Scratch scratch;
    const std::string path = scratch.Path("sub/commands.jsonl");  // its folder is made
    ASSERT_EQ(AppendRecords(path, {Line("intent", "10.1.0.20")}).fault, FileFault::None);
    {
        std::ofstream torn(path, std::ios::binary | std::ios::app);
        torn << "{\"time\": \"cut off";  // a line an earlier program left without its end
    }
    ASSERT_EQ(AppendRecords(path, {Line("intent", "10.1.0.21"), Line("outcome", "10.1.0.21")}).fault,
              FileFault::None);
    std::vector<std::string> bad;
    const auto read = ReadRecords(Contents(path), &bad);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[1].target, "10.1.0.21") << "the new lines start on a line of their own";
    EXPECT_EQ(read[2].event, "outcome");
    EXPECT_EQ(bad, std::vector<std::string>{"line 2: not a record of this program"}) << "only the torn line";
}

TEST(RecordFile, WhatIsNoFileOfItsOwnIsRefusedAndLeftAlone) {
    Scratch scratch;
    std::filesystem::create_directories(scratch.Path("folder"));
    const FileError folder = AppendRecords(scratch.Path("folder"), {Line("intent", "10.1.0.20")});
    EXPECT_EQ(folder.fault, FileFault::Folder);
}

TEST(RecordFile, ReadingTakesRegularFilesOnly) {
    Scratch scratch;
    std::FILE* file = nullptr;
    EXPECT_EQ(OpenRegularFile(scratch.Path("none.jsonl"), &file).fault, FileFault::Missing);
    EXPECT_EQ(OpenRegularFile(scratch.folder.string(), &file).fault, FileFault::Folder);
    EXPECT_EQ(file, nullptr);
    ASSERT_EQ(AppendRecords(scratch.Path("c.jsonl"), {Line("intent", "10.1.0.20")}).fault, FileFault::None);
    ASSERT_EQ(OpenRegularFile(scratch.Path("c.jsonl"), &file).fault, FileFault::None);
    ASSERT_NE(file, nullptr);
    std::fclose(file);
}

TEST(RecordFile, LinesAreReadInBoundedPieces) {
    Scratch scratch;
    const std::string path = scratch.Path("lines.txt");
    {
        std::ofstream out(path, std::ios::binary);
        out << "first\r\n" << std::string(70000, 'x') << "\n\nlast without its end";
    }
    std::FILE* file = nullptr;
    ASSERT_EQ(OpenRegularFile(path, &file).fault, FileFault::None);
    LineReader reader;
    reader.file = file;
    std::vector<std::pair<std::size_t, bool>> seen;
    std::string line;
    bool tooLong = false;
    std::string first, last;
    while (ReadLine(reader, &line, &tooLong)) {
        seen.emplace_back(line.size(), tooLong);
        (first.empty() ? first : last) = line;
    }
    std::fclose(file);
    const std::vector<std::pair<std::size_t, bool>> expected = {
        {5, false}, {MaxRecordLineBytes, true}, {0, false}, {20, false}};
    EXPECT_EQ(seen, expected) << "a CR LF line, one cut at the bound, an empty one, one without its end";
    EXPECT_EQ(first, "first");
    EXPECT_EQ(last, "last without its end");
}

}  // namespace
}  // namespace scout::ops
