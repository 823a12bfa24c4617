// A plan checked as a whole against one search: each problem with the lines
// it is about, and the controllers a plan leaves at the factory address.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "ops/plan.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/rows.h"

namespace scout::ops {
namespace {

using test::If2;
using test::If3;
using test::Row;
constexpr NetAddress Factory = MakeAddress(192, 168, 1, 100);


PlanEntry Entry(int line, const char* target, CommandKind kind, const char* newAddress = "0.0.0.0",
                const char* model = "") {
    PlanEntry entry;
    entry.line = line;
    entry.request.kind = kind;
    ParseDottedAddress(target, &entry.request.target);
    ParseDottedAddress(newAddress, &entry.request.values.address);
    entry.request.values.mask = MakeAddress(255, 255, 255, 0);
    entry.model = model;
    return entry;
}

PlanEntry On(PlanEntry entry, const BroadcastInterface& where) {
    entry.bound = true;
    entry.where = where;
    return entry;
}

Looked Line() {
    Looked looked;
    looked.searched = {If2, If3};
    looked.cutShort = {false, false};
    looked.ownAddresses = {If2.address, If3.address};
    looked.rows = {Row("10.1.0.5", If2, "KRV-ETH1"), Row("10.1.0.6", If2, "KRV-ETH2"),
                   Row("10.2.0.5", If3, "KRV-ETH3"), Row("10.9.0.9", If2, "KRV-ETH4"),
                   Row("10.9.0.9", If3, "KRV-ETH4")};
    return looked;
}

struct Found {
    PlanProblemKind kind;
    int line;
    int otherLine;
};

const CommandKind Reset = CommandKind::Reset;
const CommandKind Factory_ = CommandKind::FactoryDefaults;
const CommandKind Reconfigure = CommandKind::Reconfigure;

TEST(CheckPlan, EveryProblemWithItsLines) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    const struct {
        const char* name;
        std::vector<PlanEntry> entries;
        std::vector<Found> problems;
    } cases[] = {
        {"every row may go",
         {Entry(2, "10.1.0.5", Reset, "0.0.0.0", "krv-eth1"), Entry(3, "10.2.0.5", Reconfigure, "10.2.0.77"),
          On(Entry(4, "10.9.0.9", Factory_), If3)},
         {}},
        {"a guard of another model", {Entry(2, "10.1.0.5", Reset, "0.0.0.0", "KRV-ETH2")},
         {{PlanProblemKind::ModelMismatch, 2, 0}}},
        {"a target twice, a new address twice",
         {Entry(2, "10.1.0.5", Reconfigure, "10.1.0.77"), Entry(3, "10.1.0.5", Reset),
          Entry(4, "10.1.0.6", Reconfigure, "10.1.0.77")},
         {{PlanProblemKind::TargetTwice, 3, 2}, {PlanProblemKind::NewAddressTwice, 4, 2}}},
        {"onto the address a factory reset gives",
         {Entry(2, "10.1.0.5", Factory_), Entry(3, "10.1.0.6", Reconfigure, "192.168.1.100")},
         {{PlanProblemKind::FactoryTaken, 3, 2}}},
        {"a factory reset onto a new address",
         {Entry(2, "10.1.0.6", Reconfigure, "192.168.1.100"), Entry(3, "10.1.0.5", Factory_)},
         {{PlanProblemKind::FactoryTaken, 3, 2}}},
        {"the factory address of another segment",
         {Entry(2, "10.2.0.5", Factory_), Entry(3, "10.1.0.6", Reconfigure, "192.168.1.100")}, {}},
        {"a line reset to its factory defaults", {Entry(2, "10.1.0.5", Factory_), Entry(3, "10.1.0.6", Factory_)},
         {}},
        {"refused as a single command",
         {Entry(2, "10.1.0.99", Reset), Entry(3, "10.9.0.9", Reset), On(Entry(4, "10.1.0.5", Reset), If3)},
         {{PlanProblemKind::Refused, 2, 0}, {PlanProblemKind::Refused, 3, 0}, {PlanProblemKind::Refused, 4, 0}}},
    };
    for (const auto& c : cases) {
        const PlanCheck check = CheckPlan(platform, c.entries, Line(), Factory);
        ASSERT_EQ(check.problems.size(), c.problems.size()) << c.name;
        for (std::size_t i = 0; i < c.problems.size(); ++i) {
            EXPECT_EQ(check.problems[i].kind, c.problems[i].kind) << c.name;
            EXPECT_EQ(check.problems[i].line, c.problems[i].line) << c.name;
            EXPECT_EQ(check.problems[i].otherLine, c.problems[i].otherLine) << c.name;
        }
        EXPECT_EQ(check.steps.size(), c.problems.empty() ? c.entries.size() : 0u) << c.name << ": all or none";
    }
}

TEST(CheckPlan, AWindowThatDidNotFinishChecksNoLine) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    Looked looked = Line();
    looked.cutShort = {false, true};
    const PlanCheck check = CheckPlan(platform, {Entry(2, "10.1.0.5", Reset), Entry(3, "10.1.0.6", Reset)}, looked,
                                      Factory);
    ASSERT_EQ(check.problems.size(), 1u);
    EXPECT_EQ(check.problems[0].kind, PlanProblemKind::CutShort);
    EXPECT_EQ(check.problems[0].where.index, If3.index);
    EXPECT_TRUE(check.steps.empty());
}

TEST(SharedFactoryAddress, SeveralLeftThereOnOneInterface) {
    const auto step = [](int line, const char* target, CommandKind kind, const BroadcastInterface& via) {
        PlanStep s;
        s.entry = Entry(line, target, kind);
        s.decision.via = via;
        return s;
    };
    Looked looked;
    looked.rows = {Row("192.168.1.100", If3, "KRV-ETH9")};
    const struct {
        const char* name;
        std::vector<PlanStep> steps;
        std::vector<int> lines;  // of the one interface left shared ({}: none)
        std::size_t already;
    } cases[] = {
        {"one factory reset", {step(2, "10.1.0.5", Factory_, If2)}, {}, 0},
        {"two on one interface",
         {step(2, "10.1.0.5", Factory_, If2), step(3, "10.1.0.6", Reset, If2), step(4, "10.1.0.7", Factory_, If2)},
         {2, 4}, 0},
        {"one beside a controller that answered there before", {step(2, "10.2.0.5", Factory_, If3)}, {2}, 1},
        {"one beside a controller the plan moves away",
         {step(2, "10.2.0.5", Factory_, If3), step(3, "192.168.1.100", Reconfigure, If3)}, {}, 0},
    };
    for (const auto& c : cases) {
        const std::vector<SharedAddress> shared = SharedFactoryAddress(c.steps, looked, Factory);
        ASSERT_EQ(shared.size(), c.lines.empty() ? 0u : 1u) << c.name;
        if (shared.empty())
            continue;
        EXPECT_EQ(shared[0].lines, c.lines) << c.name;
        EXPECT_EQ(shared[0].already, c.already) << c.name;
    }
}

}  // namespace
}  // namespace scout::ops
