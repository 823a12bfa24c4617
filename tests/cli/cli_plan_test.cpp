// A plan of commands: its text read strictly, its rows checked as a whole
// against what one search saw (names and prefixes from the fake platform:
// if<index>, /24), and the exit status of the rows' results.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_plan.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/rows.h"

namespace scout::cli {
namespace {

using test::If2;
using test::If3;
using test::Row;
const std::string Header = std::string(PlanHeader) + "\n";

// The problems of a plan's text as apply says them.
std::vector<std::string> Read(const std::string& text, std::vector<PlanRow>* rows = nullptr) {
    std::vector<PlanSaid> problems;
    const std::vector<PlanRow> read = ReadPlan(text, &problems);
    if (rows != nullptr)
        *rows = read;
    return PlanProblemLines(problems);
}

TEST(ReadPlan, FieldsAsRfc4180QuotesThem) {
    std::vector<PlanSaid> problems;
    const std::vector<PlanRow> rows = ReadPlan(
        "\xEF\xBB\xBF" + Header + "\"10.1.0.5\",reconfigure,10.1.0.6,255.255.255.0,0.0.0.0,\"KRV \"\"A\"\"\",if2\r\n"
                                  "10.1.0.7,reset,,,,,\n",
        &problems);
    ASSERT_TRUE(problems.empty()) << problems[0].why;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].line, 2);
    EXPECT_EQ(rows[0].address, "10.1.0.5");
    EXPECT_EQ(rows[0].model, "KRV \"A\"");
    EXPECT_EQ(rows[0].interfaceChoice, "if2");
    EXPECT_EQ(rows[1].line, 3);
    EXPECT_EQ(rows[1].action, "reset");
}

TEST(ReadPlan, AHeaderOfSemicolonsIsToldItsSeparator) {
    const struct {
        const char* header;
        const char* problem;
    } cases[] = {
        {"address;action;new_address;mask;gateway;model;interface",
         "line 1: the header is 'address;action;new_address;mask;gateway;model;interface', not "
         "address,action,new_address,mask,gateway,model,interface; the separator is a comma, not a semicolon (save "
         "the sheet as \"CSV UTF-8 (comma delimited)\")"},
        {"address,action", "line 1: the header is 'address,action', not "
                           "address,action,new_address,mask,gateway,model,interface"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read(std::string(c.header) + "\n10.1.0.7;reset;;;;;\n"), std::vector<std::string>{c.problem});
    }
}

TEST(ReadPlan, EveryBadLineNamedAndTheGoodOnesKept) {
    std::vector<PlanRow> rows;
    const std::vector<std::string> problems =
        Read(Header + "a,b\n10.1.0.7,reset,,,,,\n\"x\"y,,,,,,\nx,\"y,,,,,\n", &rows);
    EXPECT_EQ(rows.size(), 1u);
    EXPECT_EQ(problems, (std::vector<std::string>{"line 2: 2 columns, not 7",
                                                  "line 4: text after the closing quote of field 1",
                                                  "line 5: a quoted field does not end on its line"}));
}

TEST(ReadPlan, NoMoreRowsThanItTakes) {
    std::string text = Header;
    for (std::size_t i = 0; i <= MaxPlanRows; ++i)
        text += "10.1.0.7,reset,,,,,\n";
    std::vector<PlanRow> rows;
    EXPECT_EQ(Read(text, &rows), std::vector<std::string>{"line 1002: more than 1000 rows"});
    EXPECT_EQ(rows.size(), MaxPlanRows);
}

PlanRow Row(int line, const char* address, const char* action, const char* newAddress = "",
            const char* model = "", const char* where = "") {
    PlanRow row;
    row.line = line;
    row.address = address;
    row.action = action;
    row.newAddress = newAddress;
    if (newAddress[0] != '\0') {
        row.mask = "255.255.255.0";
        row.gateway = "0.0.0.0";
    }
    row.model = model;
    row.interfaceChoice = where;
    return row;
}


constexpr NetAddress Factory = MakeAddress(192, 168, 1, 100);

struct PlanCase {
    const char* name;
    std::vector<PlanRow> rows;
    int exitCode;
    std::vector<std::string> problems;
};

// The plan's rows read (PlanEntries), checked as a whole (ops::CheckPlan)
// and said, as apply does: every problem's line, in the order of the lines.
struct Said {
    std::vector<std::string> problems;
    int exitCode = ExitOk;
    std::size_t steps = 0;
};
Said CheckedAndSaid(const NetPlatform& platform, InterfaceNames& names, const InterfaceTable& table,
                    const std::vector<PlanRow>& rows, const Looked& looked) {
    Said said;
    std::vector<PlanSaid> problems;
    const std::vector<PlanEntry> entries = PlanEntries(rows, names, table, &problems);
    const PlanCheck check = CheckPlan(platform, entries, looked, Factory);
    for (const PlanProblem& problem : check.problems)
        problems.push_back(PlanProblemText(names, entries, problem, Factory));
    said.problems = PlanProblemLines(problems);
    if (!said.problems.empty())
        said.exitCode = PlanRefusalExit(check.problems);
    said.steps = check.steps.size();
    return said;
}

class WholePlan : public ::testing::TestWithParam<PlanCase> {};

TEST_P(WholePlan, CheckedAgainstOneSearch) {
    const PlanCase& c = GetParam();
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    InterfaceNames names{&platform, {}};
    const BroadcastInterface entries[] = {If2, If3};
    InterfaceTable table;
    table.entries = entries;
    table.count = 2;
    Looked looked;
    looked.searched = {If2, If3};
    looked.cutShort = {false, false};
    looked.ownAddresses = {If2.address, If3.address};
    looked.rows = {Row("10.1.0.5", If2, "KRV-ETH1"), Row("10.1.0.6", If2, "KRV-ETH2"),
                   Row("10.2.0.5", If3, "KRV-ETH3"), Row("10.9.0.9", If2, "KRV-ETH4"),
                   Row("10.9.0.9", If3, "KRV-ETH4")};
    const Said said = CheckedAndSaid(platform, names, table, c.rows, looked);
    EXPECT_EQ(said.exitCode, c.exitCode);
    EXPECT_EQ(said.problems, c.problems);
    EXPECT_EQ(said.steps, c.problems.empty() ? c.rows.size() : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Plans, WholePlan,
    ::testing::Values(
        PlanCase{"every_row_may_go",
                 {Row(2, "10.1.0.5", "reset", "", "krv-eth1"), Row(3, "10.2.0.5", "reconfigure", "10.2.0.77"),
                  Row(4, "10.9.0.9", "factory-defaults", "", "", "if3")},
                 ExitOk, {}},
        PlanCase{"a_model_guard_that_does_not_match",
                 {Row(2, "10.1.0.5", "reset", "", "KRV-ETH2")}, ExitFailure,
                 {"line 2: the controller at 10.1.0.5 is a KRV-ETH1, not 'KRV-ETH2' as the plan says"}},
        PlanCase{"a_target_twice_and_a_new_address_twice",
                 {Row(2, "10.1.0.5", "reconfigure", "10.1.0.77"), Row(3, "10.1.0.5", "reset"),
                  Row(4, "10.1.0.6", "reconfigure", "10.1.0.77")},
                 ExitFailure,
                 {"line 3: 10.1.0.5 is the target of line 2 too",
                  "line 4: the new address 10.1.0.77 is that of line 2 too"}},
        PlanCase{"a_reconfigure_onto_the_address_a_factory_reset_gives",
                 {Row(2, "10.1.0.5", "factory-defaults"), Row(3, "10.1.0.6", "reconfigure", "192.168.1.100")},
                 ExitFailure,
                 {"line 3: the new address 192.168.1.100 is the factory address, which the factory-defaults of line 2 "
                  "gives its controller"}},
        PlanCase{"a_factory_reset_onto_the_new_address_of_a_reconfigure",
                 {Row(2, "10.1.0.6", "reconfigure", "192.168.1.100"), Row(3, "10.1.0.5", "factory-defaults")},
                 ExitFailure,
                 {"line 3: factory-defaults gives its controller the factory address 192.168.1.100, the new address "
                  "of line 2"}},
        PlanCase{"a_new_address_that_answers", {Row(2, "10.1.0.5", "reconfigure", "10.1.0.6")}, ExitFailure,
                 {"line 2: A controller already answers at 10.1.0.6"}},
        PlanCase{"not_found_and_ambiguous_exit_4",
                 {Row(2, "10.1.0.99", "reset"), Row(3, "10.9.0.9", "reset"), Row(4, "10.1.0.5", "reboot")},
                 ExitNoTarget,
                 {"line 2: No controller answered at 10.1.0.99",
                  "line 3: Controllers answer at 10.9.0.9 on 2 interfaces (if2 10.1.0.1, if3 10.2.0.1); choose one "
                  "with the interface column",
                  "line 4: the action 'reboot' is none of reset, factory-defaults, reconfigure"}},
        PlanCase{"bound_to_an_interface_that_does_not_list_it",
                 {Row(2, "10.1.0.5", "reset", "", "", "10.2.0.1"), Row(3, "10.1.0.6", "reset", "", "", "if7")},
                 ExitNoTarget,
                 {"line 2: No controller answered at 10.1.0.5 on if3 10.2.0.1; it answers on if2 10.1.0.1 (choose it with the "
                  "interface column)",
                  "line 3: no broadcast interface has the address or name 'if7' (scout-cli interfaces lists them)"}},
        PlanCase{"fields_checked_as_the_command_line_checks_them",
                 {Row(2, "10.1.0.255x", "reset"), Row(3, "127.0.0.1", "reset"), Row(4, "10.1.0.5", "reset", "10.1.0.9"),
                  Row(5, "10.1.0.6", "reconfigure", "300.1.0.9")},
                 ExitFailure,
                 {"line 2: the address '10.1.0.255x' is not a dotted-decimal unicast address",
                  "line 3: the address '127.0.0.1' is no address a controller can hold",
                  "line 4: new_address, mask and gateway are for reconfigure, not reset",
                  "line 5: The IP address \"300.1.0.9\" is not a dotted-decimal IPv4 address."}}),
    [](const ::testing::TestParamInfo<PlanCase>& p) { return p.param.name; });

TEST(WholePlan, AWindowThatDidNotFinishIsSaidOnceForThePlan) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    InterfaceNames names{&platform, {}};
    const BroadcastInterface entries[] = {If2, If3};
    InterfaceTable table;
    table.entries = entries;
    table.count = 2;
    Looked looked;
    looked.searched = {If2, If3};
    looked.cutShort = {false, true};
    const Said said = CheckedAndSaid(platform, names, table,
                                     {Row(2, "10.1.0.5", "reset"), Row(3, "10.1.0.6", "reset"),
                                      Row(4, "10.2.0.5", "reset")},
                                     looked);
    EXPECT_EQ(said.exitCode, ExitFailure);
    EXPECT_EQ(said.problems, std::vector<std::string>{"the search of if3 10.2.0.1 did not finish (the failure "
                                                      "above), so no line of the plan could be checked"});
    EXPECT_EQ(said.steps, 0u);
}

TEST(WholePlan, ControllersLeftAtTheFactoryAddressAreSaidPerInterface) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    InterfaceNames names{&platform, {}};
    EXPECT_EQ(SharedFactoryText(names, SharedAddress{If2, {2, 4}, 0}, Factory),
              "2 controllers now share the factory address 192.168.1.100 on if2 10.1.0.1 (the factory-defaults of "
              "lines 2, 4): commission them one at a time (scout-cli commission)");
    EXPECT_EQ(SharedFactoryText(names, SharedAddress{If3, {2}, 1}, Factory),
              "2 controllers now share the factory address 192.168.1.100 on if3 10.2.0.1 (the factory-defaults of "
              "line 2, and 1 that answered there before): commission them one at a time (scout-cli commission)");
}

TEST(PlanExitStatus, TheWorstRowDecides) {
    EXPECT_EQ(PlanExitStatus({ExitOk, ExitOk}), ExitOk);
    EXPECT_EQ(PlanExitStatus({ExitOk, ExitNotAnswered}), ExitNotAnswered);
    EXPECT_EQ(PlanExitStatus({ExitNotAnswered, ExitFailure, ExitOk}), ExitFailure);
    EXPECT_EQ(PlanExitStatus({ExitFailure, 130, ExitNotAnswered}), 130);
}

}  // namespace
}  // namespace scout::cli
