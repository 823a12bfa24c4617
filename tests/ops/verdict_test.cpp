// Whether a command did what was asked: the verification of a reconfigure,
// the judgement of each look after a reset or factory defaults, and the wait
// over several commands at once on the fake clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ops/await.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/rows.h"

namespace scout::ops {
namespace {

using test::If2;
using test::If3;
using test::Row;


Awaited Command(CommandKind kind, const char* target, const BroadcastInterface& via = If2,
                const char* model = "KRV-ETH1A2B", const char* newAddress = "10.1.0.77") {
    Awaited one;
    one.request.kind = kind;
    ParseDottedAddress(target, &one.request.target);
    ParseDottedAddress(newAddress, &one.request.values.address);
    one.decision.send = true;
    one.decision.via = via;
    one.decision.targetRows = {Row(target, via, model)};
    return one;
}

struct VerifyCase {
    const char* name;
    std::vector<Reply> before;  // the target as seen before ({}: not looked at)
    std::vector<Reply> after;
    AtNewAddress seen;
    std::size_t count;
};

class ReconfigureVerified : public ::testing::TestWithParam<VerifyCase> {};

TEST_P(ReconfigureVerified, ExactlyTheTargetAtTheNewAddressOnItsInterface) {
    const VerifyCase& c = GetParam();
    Decision decision;
    decision.via = If2;
    decision.targetRows = c.before;
    const Verification result = VerifyReconfigure(decision, MakeAddress(10, 1, 0, 77), c.after);
    EXPECT_EQ(result.seen, c.seen);
    EXPECT_EQ(result.count, c.count);
    if (c.seen == AtNewAddress::Another) {
        EXPECT_STREQ(result.found.model, "KRV-ETH2");
        EXPECT_STREQ(result.expected.model, "KRV-ETH1A2B");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReconfigureVerified,
    ::testing::Values(
        VerifyCase{"Verified", {Row("10.1.0.20")}, {Row("10.1.0.77"), Row("10.1.0.77", If3, "KRV-ETH2")},
                   AtNewAddress::TheTarget, 1},
        VerifyCase{"NobodyThere", {Row("10.1.0.20")}, {Row("10.1.0.20"), Row("10.1.0.77", If3)}, AtNewAddress::Nobody,
                   0},
        VerifyCase{"TwoThere", {Row("10.1.0.20")}, {Row("10.1.0.77"), Row("10.1.0.77")}, AtNewAddress::Several, 2},
        VerifyCase{"AnotherModelThere", {Row("10.1.0.20")}, {Row("10.1.0.77", If2, "KRV-ETH2")},
                   AtNewAddress::Another, 1},
        VerifyCase{"UncheckedAnyModel", {}, {Row("10.1.0.77", If2, "KRV-ETH2")}, AtNewAddress::TheTarget, 1}),
    [](const ::testing::TestParamInfo<VerifyCase>& p) { return p.param.name; });

// A reset and factory defaults judged look by look: the looks' rows in
// order, then the end of the wait where no look judged it.
struct LooksCase {
    const char* name;
    Awaited command;
    std::vector<std::string> answeredBefore;  // on its interface, before the command
    std::vector<std::vector<Reply>> looks;
    OutcomeKind outcome;
    int judgedAtLook;       // 1-based; 0: at the end of the wait
    const char* answersAt;  // where it answers now ("" nowhere)
};

class LookByLook : public ::testing::TestWithParam<LooksCase> {};

TEST_P(LookByLook, GoneThenBack) {
    const LooksCase& c = GetParam();
    Watch watch;
    watch.answeredBefore = c.answeredBefore;
    WaitVerdict verdict;
    int look = 0;
    while (!Done(verdict) && look < static_cast<int>(c.looks.size())) {
        verdict = JudgeLook(c.command.request, c.command.decision, watch, c.looks[look], look * 0.2);
        ++look;
    }
    if (!Done(verdict)) {
        verdict = JudgeEnd(c.command.request, c.command.decision, watch, c.looks.back(), 30);
        look = 0;
    }
    EXPECT_EQ(verdict.kind, c.outcome);
    EXPECT_EQ(look, c.judgedAtLook);
    EXPECT_EQ(verdict.answersAt, c.answersAt);
}

const CommandKind Reset = CommandKind::Reset;
const CommandKind Factory = CommandKind::FactoryDefaults;

INSTANTIATE_TEST_SUITE_P(
    Cases, LookByLook,
    ::testing::Values(
        LooksCase{"ResetBack", Command(Reset, "10.1.0.20"), {"10.1.0.20"},
                  {{Row("10.1.0.20")}, {}, {}, {Row("10.1.0.20")}}, OutcomeKind::Back, 4, "10.1.0.20"},
        LooksCase{"ResetStillAnswers", Command(Reset, "10.1.0.20"), {"10.1.0.20"},
                  {{Row("10.1.0.20")}, {Row("10.1.0.20")}}, OutcomeKind::StillAnswers, 0, "10.1.0.20"},
        LooksCase{"ResetGone", Command(Reset, "10.1.0.20"), {"10.1.0.20"}, {{}, {}}, OutcomeKind::Gone, 0, ""},
        LooksCase{"ResetAnotherModelBackIsNotIt", Command(Reset, "10.1.0.20"), {"10.1.0.20"},
                  {{}, {Row("10.1.0.20", If2, "KRV-ETH2")}}, OutcomeKind::Gone, 0, ""},
        LooksCase{"ResetBackOnAnotherInterfaceIsNotIt", Command(Reset, "10.1.0.20"), {"10.1.0.20"},
                  {{}, {Row("10.1.0.20", If3)}}, OutcomeKind::Gone, 0, ""},
        LooksCase{"FactoryBackAtItsAddress", Command(Factory, "10.1.0.20"), {"10.1.0.20"},
                  {{}, {Row("10.1.0.20")}}, OutcomeKind::Back, 2, "10.1.0.20"},
        LooksCase{"FactoryBackAtTheFactoryAddress", Command(Factory, "10.1.0.20"), {"10.1.0.20", "10.1.0.21"},
                  {{Row("10.1.0.21")}, {Row("10.1.0.21"), Row("192.168.1.100")}}, OutcomeKind::Back, 2,
                  "192.168.1.100"},
        LooksCase{"FactoryATwinThatAnsweredBeforeIsNotIt", Command(Factory, "10.1.0.20"), {"10.1.0.20", "10.1.0.21"},
                  {{Row("10.1.0.21")}, {Row("10.1.0.21")}}, OutcomeKind::Gone, 0, ""}),
    [](const ::testing::TestParamInfo<LooksCase>& p) { return p.param.name; });

// The wait's world: the rows of each look in turn (the last one again when
// they run out), each look 200 ms of the fake clock; an interrupt after some looks.
struct Scripted {
    test::FakeWorld* world = nullptr;
    std::vector<std::vector<Reply>> looks;
    std::vector<std::vector<BroadcastInterface>> lookedAt;
    int interruptAfter = 0;  // 0: never
    std::vector<std::string> wentAway;
};

void Look(void* context, const std::vector<BroadcastInterface>& where, std::uint32_t windowMs,
          std::vector<Reply>* rows) {
    Scripted& s = *static_cast<Scripted*>(context);
    s.world->clock += windowMs;
    const std::size_t i = s.lookedAt.size() < s.looks.size() ? s.lookedAt.size() : s.looks.size() - 1;
    s.lookedAt.push_back(where);
    for (const Reply& row : s.looks[i])
        for (const BroadcastInterface& entry : where)
            if (SameInterface(entry, row.via))
                rows->push_back(row);
}

int Interrupted(void* context) {
    const Scripted& s = *static_cast<const Scripted*>(context);
    return s.interruptAfter != 0 && static_cast<int>(s.lookedAt.size()) >= s.interruptAfter ? 130 : 0;
}

void WentAway(void* context, const Awaited& one, std::uint32_t ms) {
    char text[AddressTextCapacity];
    FormatAddress(one.request.target, text, sizeof text);
    static_cast<Scripted*>(context)->wentAway.push_back(std::string(text) + " " + std::to_string(ms));
}

TEST(AwaitEffects, EveryCommandJudgedOnItsOwnInterfaceInOneWait) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    Scripted s;
    s.world = &world;
    s.looks = {{Row("10.1.0.20"), Row("10.2.0.6", If3)}, {Row("10.2.0.6", If3)},
               {Row("10.1.0.20"), Row("10.2.0.6", If3)}};
    std::vector<Awaited> awaited = {Command(Reset, "10.1.0.20"), Command(Factory, "10.2.0.5", If3)};
    std::vector<Reply> last;
    const std::vector<Reply> before = {Row("10.1.0.20"), Row("10.2.0.5", If3), Row("10.2.0.6", If3)};
    AwaitEffects(platform, awaited, before, 1000, Looks{&s, Look, Interrupted, WentAway}, &last);
    EXPECT_EQ(awaited[0].verdict.kind, OutcomeKind::Back);
    EXPECT_DOUBLE_EQ(awaited[0].verdict.seconds, 0.6);
    EXPECT_EQ(awaited[1].verdict.kind, OutcomeKind::Gone) << "its twin answered before: not it back";
    EXPECT_DOUBLE_EQ(awaited[1].verdict.seconds, 1.0);
    EXPECT_EQ(s.wentAway, (std::vector<std::string>{"10.2.0.5 200", "10.1.0.20 400"}));
    ASSERT_EQ(s.lookedAt.size(), 5u);
    EXPECT_EQ(s.lookedAt[0].size(), 2u) << "both interfaces at once";
    EXPECT_EQ(s.lookedAt[3].size(), 1u) << "only the one still awaited";
    EXPECT_EQ(s.lookedAt[3][0].index, If3.index);
}

TEST(AwaitEffects, AnInterruptEndsTheWaitNotTheVerdictsDone) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    Scripted s;
    s.world = &world;
    s.looks = {{}, {Row("10.1.0.20")}, {}};
    s.interruptAfter = 3;
    std::vector<Awaited> awaited = {Command(Reset, "10.1.0.20"), Command(Reset, "10.1.0.21")};
    std::vector<Reply> last;
    AwaitEffects(platform, awaited, {}, 30000, Looks{&s, Look, Interrupted, nullptr}, &last);
    EXPECT_EQ(awaited[0].verdict.kind, OutcomeKind::Back);
    EXPECT_EQ(awaited[1].verdict.kind, OutcomeKind::Interrupted);
    EXPECT_EQ(awaited[1].verdict.interruptedBy, 130);
    EXPECT_EQ(s.lookedAt.size(), 3u);
    MarkLostReplies(awaited);
    EXPECT_FALSE(awaited[0].verdict.repliesLost) << "seen back: nothing lost matters";
}

}  // namespace
}  // namespace scout::ops
