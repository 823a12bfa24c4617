// scout-cli's commands end to end on the fake platform: the command line read
// against the table of commands and run over scripted sockets, its output,
// exit status, record and what went out. No real socket is opened here.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "cli/cli_main.h"
#include "cli/cli_session.h"
#include "cli/cli_words.h"
#include "ops/record.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/scratch.h"

namespace scout::cli {
namespace {

constexpr NetAddress IfA = MakeAddress(10, 1, 0, 1);
constexpr NetAddress IfB = MakeAddress(10, 2, 0, 1);

struct FlowCase {
    const char* name;
    std::vector<std::string> words;  // after "scout-cli"; {REC} the record, {FILE} the input file
    const char* file;                // the input file's text (null: none)
    int status;
    int commandsSent;                // datagrams other than queries
    std::vector<std::string> outputHas;
    std::vector<std::string> recordEvents;  // "event outcome" of each record line
};

void PrintTo(const FlowCase& c, std::ostream* out) {
    *out << c.name;
}

// What went out that was no query: a query's command word is 0.
int CommandsSent(const test::FakeWorld& world) {
    int count = 0;
    for (const std::vector<std::uint8_t>& bytes : world.sent)
        if (bytes.size() > 16 && (bytes[16] | bytes[17] | bytes[18] | bytes[19]) != 0)
            ++count;
    return count;
}

// The locks of one sender per segment as a test scripts them: busy for the
// first busyTries tries (held by process 4242, "scout-cli"), or failing.
struct FakeLocks {
    int busyTries = 0;
    bool fails = false;
    int tries = 0, held = 0, released = 0;
};
ops::SegmentLocks LocksOf(FakeLocks* fake) {
    return {
        .context = fake,
        .tryLock = [](void* context, const BroadcastInterface&, ops::SegmentLock* lock, unsigned long* holder,
                      std::string* name, ops::FileError* error) {
            FakeLocks& f = *static_cast<FakeLocks*>(context);
            lock->name = "/run/lock/fake.lock";
            if (f.fails) {
                error->fault = ops::FileFault::Link;
                return ops::LockTry::Failed;
            }
            if (f.tries++ < f.busyTries) {
                *holder = 4242;
                *name = "scout-cli";
                return ops::LockTry::Busy;
            }
            ++f.held;
            lock->handle = 1;
            return ops::LockTry::Held;
        },
        .release = [](void* context, ops::SegmentLock*) { ++static_cast<FakeLocks*>(context)->released; },
    };
}

class Flow : public ::testing::TestWithParam<FlowCase> {};

// One run of words (after "scout-cli") over the fake platform: two
// controllers on the first interface, one on the second, each answering
// every query; its status, what it said, and the commands that went out.
struct Ran {
    int status = -1;
    std::string output;
    int commandsSent = 0;
};
Ran RunWords(const std::vector<std::string>& words, FakeLocks& locks) {
    std::vector<std::string> all = {"scout-cli"};
    all.insert(all.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& word : all)
        argv.push_back(word.data());
    Options options;
    std::string problem;
    Ran ran;
    if (!ParseArguments(static_cast<int>(argv.size()), argv.data(), CommandTable(), &options, &problem)) {
        ran.output = problem;
        return ran;
    }
    test::FakeWorld world;
    world.interfaces = {{IfA, 2}, {IfB, 3}};
    world.datagrams = {{IfA, 20, MakeAddress(10, 1, 0, 20), test::ReplyBytes(0x1A2B, "2.14", "C")},
                       {IfA, 30, MakeAddress(10, 1, 0, 21), test::ReplyBytes(0x3C00, "3.1", "A")},
                       {IfB, 25, MakeAddress(10, 2, 0, 30), test::ReplyBytes(0x2F, "5.1", "D")}};
    const NetPlatform platform = test::MakeFakePlatform(&world);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    // (FinishOutput closes standard output: the run's own end, not the test's.)
    ran.status = RunParsed(platform, options, LocksOf(&locks));
    EXPECT_FALSE(OutputFailed());
    ran.output = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    ran.commandsSent = CommandsSent(world);
    return ran;
}

TEST_P(Flow, StatusOutputRecordAndWhatWentOut) {
    const FlowCase& c = GetParam();
    test::Scratch scratch;
    const std::string record = scratch.Path("commands.jsonl");
    const std::string file = scratch.Path("input.csv");
    if (c.file != nullptr)
        std::ofstream(file, std::ios::binary) << c.file;
    std::vector<std::string> words;
    for (const std::string& word : c.words)
        words.push_back(word == "{REC}" ? record : word == "{FILE}" ? file : word);
    FakeLocks locks;
    const Ran ran = RunWords(words, locks);
    EXPECT_EQ(ran.status, c.status) << ran.output;
    EXPECT_EQ(ran.commandsSent, c.commandsSent) << ran.output;
    for (const std::string& part : c.outputHas)
        EXPECT_NE(ran.output.find(part), std::string::npos) << "no \"" << part << "\" in:\n" << ran.output;
    std::vector<std::string> bad, events;
    for (const ops::RecordLine& line : ops::ReadRecords(test::Contents(record), &bad))
        events.push_back(line.event + " " + line.outcome);
    EXPECT_EQ(events, c.recordEvents) << ran.output;
    EXPECT_TRUE(bad.empty());
    EXPECT_EQ(locks.held, locks.released) << "every lock let go";
}

// One sender per segment: a command waits for the program that holds its
// segment's lock, saying whom for, and goes once it is let go; it gives up
// after its bound, and a lock that cannot be had is one line; neither sends.
TEST(Flow, OneSenderPerSegment) {
    const std::vector<std::string> reset = {"reset", "10.1.0.20", "--no-wait", "--no-log", "--interface", "10.1.0.1"};
    FakeLocks busy{.busyTries = 30};
    Ran ran = RunWords(reset, busy);
    EXPECT_EQ(ran.status, ExitOk) << ran.output;
    EXPECT_EQ(ran.commandsSent, 1);
    EXPECT_NE(ran.output.find("waiting for scout-cli (process 4242), which sends to if2 10.1.0.1, up to 300 s"),
              std::string::npos)
        << ran.output;
    EXPECT_EQ(busy.held, 1);
    EXPECT_EQ(busy.released, 1);
    FakeLocks forever{.busyTries = 1 << 30};
    ran = RunWords(reset, forever);
    EXPECT_EQ(ran.status, ExitFailure);
    EXPECT_EQ(ran.commandsSent, 0);
    EXPECT_NE(ran.output.find("gave up waiting for scout-cli (process 4242) on if2 10.1.0.1; nothing was sent"),
              std::string::npos)
        << ran.output;
    FakeLocks broken{.fails = true};
    ran = RunWords(reset, broken);
    EXPECT_EQ(ran.status, ExitFailure);
    EXPECT_EQ(ran.commandsSent, 0);
    EXPECT_NE(ran.output.find("cannot take the lock of if2 10.1.0.1 (/run/lock/fake.lock)"), std::string::npos)
        << ran.output;
    FakeLocks dry{.busyTries = 1 << 30};
    ran = RunWords({"reset", "10.1.0.20", "--dry-run"}, dry);
    EXPECT_EQ(ran.status, ExitOk) << "a dry run sends nothing, and takes no lock: " << ran.output;
    EXPECT_EQ(dry.tries, 0);
}

const char* const Plan =
    "address,action,new_address,mask,gateway,model,interface\n"
    "10.1.0.21,reset,,,,,\n"
    "10.2.0.30,reconfigure,10.2.0.77,255.255.255.0,10.2.0.254,,\n";

const char* const PlanOfOneAbsent =
    "address,action,new_address,mask,gateway,model,interface\n"
    "10.1.0.21,reset,,,,,\n"
    "10.1.0.99,reset,,,,,\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, Flow,
    ::testing::Values(
        FlowCase{"SearchListsEveryInterface", {"search", "--csv", "--no-header"}, nullptr, ExitOk, 0,
                 {"10.1.0.20,", "10.1.0.21,", "10.2.0.30,"}, {}},
        FlowCase{"ResetSentWithoutWaiting", {"reset", "10.1.0.20", "--no-wait", "--log", "{REC}"}, nullptr, ExitOk, 1,
                 {}, {"intent ", "outcome sent"}},
        FlowCase{"ResetOfNobodyRefusedNothingSent", {"reset", "10.1.0.99", "--log", "{REC}"}, nullptr, ExitNoTarget,
                 0, {"No controller answered at 10.1.0.99; nothing was sent."}, {"refused "}},
        // It answers throughout: the reset was not seen to happen.
        FlowCase{"ResetStillAnswering", {"reset", "10.2.0.30", "--timeout", "2", "--log", "{REC}"}, nullptr,
                 ExitNotAnswered, 1, {"10.2.0.30 still answers"}, {"intent ", "outcome still-answers"}},
        FlowCase{"NoLogSendsWithoutARecord", {"reset", "10.1.0.20", "--no-wait", "--no-log"}, nullptr,
                 ExitOk, 1, {}, {}},
        FlowCase{"ApplyDryRunSendsNothing", {"apply", "{FILE}", "--dry-run", "--log", "{REC}"}, Plan, ExitOk, 0,
                 {"10.1.0.21", "10.2.0.77"}, {}},
        FlowCase{"ApplyWithATargetAbsentSendsNothing", {"apply", "{FILE}", "--log", "{REC}"}, PlanOfOneAbsent,
                 ExitNoTarget, 0, {"line 3: No controller answered at 10.1.0.99", "nothing was sent"}, {}},
        FlowCase{"AuditOfTheLineAsItStands", {"audit", "{FILE}"},
                 "address,model,version\n10.1.0.20,,>=2.0\n10.1.0.21,,\n10.2.0.30,,5.1\n", ExitOk, 0, {"3 ok"}, {}},
        FlowCase{"AuditWithOneMissing", {"audit", "{FILE}"}, "address\n10.1.0.20\n10.1.0.21\n10.2.0.30\n10.2.0.31\n",
                 ExitFailure, 0, {"3 ok, 1 missing"}, {}}),
    [](const ::testing::TestParamInfo<FlowCase>& p) { return p.param.name; });

}  // namespace
}  // namespace scout::cli
