// A command's one path on the fake platform: every intent in the record
// before anything goes (the bytes recorded the bytes sent), nothing sent
// where the record cannot be written, a failed send judged as one while the
// others go on, and one outcome line per command.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ops/command_path.h"
#include "ops/text.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/rows.h"
#include "tests/fakes/scratch.h"

namespace scout::ops {
namespace {

using test::If2;
using test::If3;
using test::Row;

Outgoing Command(CommandKind kind, const char* target, const BroadcastInterface& via, const std::string& record) {
    Outgoing one;
    one.awaited.request.kind = kind;
    ParseDottedAddress(target, &one.awaited.request.target);
    one.awaited.decision.send = true;
    one.awaited.decision.via = via;
    one.awaited.decision.targetRows = {Row(target, via)};
    one.recorder.on = !record.empty();
    one.recorder.path = record;
    one.recorder.line.command = kind == CommandKind::Reset ? "reset" : "factory-defaults";
    one.recorder.line.target = target;
    return one;
}

// What the path saw of its world: the record as it stood at each send, and
// each look (every one answers as the search before saw it).
struct Seen {
    test::FakeWorld* world = nullptr;
    std::string record;
    std::vector<std::string> atEachSend;
    int looks = 0;
    std::vector<Reply> answering;  // from the second look on (the first finds them gone)
};

void AtSend(void* context, const Outgoing&) {
    Seen& seen = *static_cast<Seen*>(context);
    seen.atEachSend.push_back(test::Contents(seen.record));
}

void Look(void* context, const std::vector<BroadcastInterface>&, std::uint32_t windowMs, std::vector<Reply>* rows) {
    Seen& seen = *static_cast<Seen*>(context);
    seen.world->clock += windowMs;
    if (++seen.looks > 1)
        *rows = seen.answering;
}

int NeverInterrupted(void*) {
    return 0;
}

std::vector<RecordLine> Lines(const std::string& path) {
    std::vector<std::string> bad;
    std::vector<RecordLine> lines = ReadRecords(test::Contents(path), &bad);
    EXPECT_TRUE(bad.empty()) << bad.front();
    return lines;
}

struct PathCase {
    const char* name;
    bool wait;
    int failSendOnCall;      // 0: every send goes
    bool recordUnwritable;   // the record's path is a folder
    bool went;
    std::vector<OutcomeKind> verdicts;
    std::vector<const char*> outcomes;  // the record's outcome lines, in order
    int looks;
};

void PrintTo(const PathCase& c, std::ostream* out) {
    *out << c.name;
}

class CommandPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(CommandPath, IntentsFirstThenEachCommandThenOneOutcomeEach) {
    const PathCase& c = GetParam();
    test::Scratch scratch;
    test::FakeWorld world;
    world.interfaces = {If2, If3};
    if (c.failSendOnCall != 0)
        world.failures.push_back({test::Op::Send, c.failSendOnCall, test::NetworkDownError});
    const NetPlatform platform = test::MakeFakePlatform(&world);
    const SearchFrontEnd reports = test::MakeFakeFrontEnd(&world);
    Seen seen;
    seen.world = &world;
    seen.record = scratch.Path("commands.jsonl");
    if (c.recordUnwritable)
        std::filesystem::create_directory(seen.record);
    seen.answering = {Row("10.1.0.20"), Row("10.2.0.5", If3)};
    std::vector<Outgoing> commands = {Command(CommandKind::Reset, "10.1.0.20", If2, seen.record),
                                      Command(CommandKind::FactoryDefaults, "10.2.0.5", If3, seen.record)};
    PathHooks hooks;
    hooks.context = &seen;
    hooks.reports = &reports;
    hooks.sending = AtSend;
    hooks.looks = Looks{&seen, Look, NeverInterrupted, nullptr};
    PathPlan plan;
    plan.wait = c.wait;
    plan.limitMs = 2000;
    plan.before = seen.answering;
    std::vector<Reply> last;
    FileError error;
    std::string path;
    const bool went = RunCommandPath(platform, commands, plan, hooks, &last, &error, &path);

    ASSERT_EQ(went, c.went);
    if (!went) {
        EXPECT_EQ(path, seen.record);
        EXPECT_NE(error.fault, FileFault::None);
        EXPECT_TRUE(world.sent.empty()) << "nothing goes that the record does not hold";
        EXPECT_TRUE(seen.atEachSend.empty());
        return;
    }
    // Before the first send the record holds both intents, and what each
    // intent says the datagram is, is what went out.
    ASSERT_EQ(seen.atEachSend.size(), 2u);
    std::vector<std::string> bad;
    const std::vector<RecordLine> before = ReadRecords(seen.atEachSend[0], &bad);
    ASSERT_EQ(before.size(), 2u);
    EXPECT_EQ(before[0].event, "intent");
    EXPECT_EQ(before[1].event, "intent");
    const std::size_t sentCount = c.failSendOnCall != 0 ? 1 : 2;
    ASSERT_EQ(world.sent.size(), sentCount);
    const std::size_t firstSent = c.failSendOnCall == 1 ? 1 : 0;
    EXPECT_EQ(before[firstSent].datagram, HexText(world.sent[0].data(), world.sent[0].size()));

    ASSERT_EQ(commands.size(), c.verdicts.size());
    for (std::size_t i = 0; i < commands.size(); ++i)
        EXPECT_EQ(commands[i].awaited.verdict.kind, c.verdicts[i]) << i;
    const std::vector<RecordLine> lines = Lines(seen.record);
    ASSERT_EQ(lines.size(), 2 + c.outcomes.size());
    for (std::size_t i = 0; i < c.outcomes.size(); ++i) {
        EXPECT_EQ(lines[2 + i].event, "outcome");
        EXPECT_EQ(lines[2 + i].outcome, c.outcomes[i]);
        EXPECT_EQ(lines[2 + i].target, commands[i].recorder.line.target);
    }
    EXPECT_EQ(seen.looks, c.looks);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandPath,
    ::testing::Values(
        // Both gone in the first look after, and back in the second.
        PathCase{"BothAwaited", true, 0, false, true, {OutcomeKind::Back, OutcomeKind::Back}, {"back", "back"}, 2},
        PathCase{"NoWait", false, 0, false, true, {OutcomeKind::Sent, OutcomeKind::Sent}, {"sent", "sent"}, 0},
        PathCase{"FirstSendFails", true, 1, false, true, {OutcomeKind::SendFailed, OutcomeKind::Back},
                 {"send-failed", "back"}, 2},
        PathCase{"RecordUnwritableNothingSent", true, 0, true, false, {}, {}, 0}),
    [](const ::testing::TestParamInfo<PathCase>& p) { return p.param.name; });

}  // namespace
}  // namespace scout::ops
