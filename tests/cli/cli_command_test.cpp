// The checks of a command before it is sent and after, over what a search
// saw; the interfaces' names and prefixes from the fake platform (if<index>, /24).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "tests/fakes/fake_platform.h"

namespace scout::cli {
namespace {

const BroadcastInterface If2{MakeAddress(10, 1, 0, 1), 2};
const BroadcastInterface If3{MakeAddress(10, 2, 0, 1), 3};

CliRow Row(const char* address, const BroadcastInterface& via, const char* model = "KRV-ETH1A2B") {
    CliRow row;
    std::snprintf(row.address, sizeof row.address, "%s", address);
    std::snprintf(row.model, sizeof row.model, "%s", model);
    std::snprintf(row.version, sizeof row.version, "2.14");
    std::snprintf(row.revision, sizeof row.revision, "C");
    row.via = via;
    return row;
}

CommandRequest Request(CommandKind kind, const char* target, const char* newAddress = "10.1.0.77",
                       const char* mask = "255.255.255.0") {
    CommandRequest request;
    request.kind = kind;
    ParseDottedAddress(target, &request.target);
    char message[256];
    CheckReconfigureFields(newAddress, mask, "0.0.0.0", &request.values, message, sizeof message);
    return request;
}

struct DecisionCase {
    const char* name;
    CommandRequest request;
    std::vector<CliRow> rows;
    std::vector<bool> cutShort;  // of If2, If3
    int exitCode;                // of a refusal; ExitOk: sent
    const char* says;            // the refusal or the warning, "" for none
};

class CommandDecision : public ::testing::TestWithParam<DecisionCase> {};

TEST_P(CommandDecision, AsTheSearchSawIt) {
    const DecisionCase& c = GetParam();
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    InterfaceNames names{&platform, {}};
    Looked looked;
    looked.searched = c.request.noSearch ? std::vector<BroadcastInterface>{If2} : std::vector<BroadcastInterface>{If2, If3};
    looked.cutShort = c.cutShort.empty() ? std::vector<bool>(looked.searched.size(), false) : c.cutShort;
    looked.rows = c.rows;
    looked.ownAddresses = {If2.address, If3.address, MakeAddress(172, 17, 0, 1)};
    const Decision decision = DecideCommand(platform, names, c.request, looked);
    EXPECT_EQ(decision.send, c.exitCode == ExitOk);
    if (decision.send) {
        EXPECT_EQ(decision.warning, c.says);
        EXPECT_EQ(decision.via.address, If2.address);
    } else {
        EXPECT_EQ(decision.exitCode, c.exitCode);
        EXPECT_EQ(decision.refusal, std::string(c.says) + "; nothing was sent.");
    }
}

CommandRequest All(CommandRequest request) {
    request.all = true;
    return request;
}

CommandRequest NoSearch(CommandRequest request) {
    request.noSearch = true;
    return request;
}

const CommandKind Reset = CommandKind::Reset;
const CommandKind Reconfigure = CommandKind::Reconfigure;

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandDecision,
    ::testing::Values(
        DecisionCase{"FoundOnce", Request(Reset, "10.1.0.20"), {Row("10.1.0.20", If2), Row("10.2.0.30", If3)}, {},
                     ExitOk, ""},
        DecisionCase{"NotFound", Request(Reset, "10.1.0.99"), {Row("10.1.0.20", If2)}, {}, ExitNoTarget,
                     "No controller answered at 10.1.0.99"},
        DecisionCase{"OnTwoInterfaces", Request(Reset, "10.9.0.5"), {Row("10.9.0.5", If2), Row("10.9.0.5", If3)}, {},
                     ExitNoTarget,
                     "Controllers answer at 10.9.0.5 on 2 interfaces (if2 10.1.0.1, if3 10.2.0.1); choose one with "
                     "--interface"},
        DecisionCase{"ReconfigureOfSeveral", Request(Reconfigure, "192.168.1.100"),
                     {Row("192.168.1.100", If2), Row("192.168.1.100", If2), Row("192.168.1.100", If2)}, {},
                     ExitNoTarget,
                     "3 replies came from 192.168.1.100 on if2 10.1.0.1: several controllers share that address, or "
                     "one answers twice; each would get the one new address. Power them up one at a time and give "
                     "each its address"},
        DecisionCase{"ResetOfSeveral", Request(Reset, "192.168.1.100"),
                     {Row("192.168.1.100", If2), Row("192.168.1.100", If2)}, {}, ExitNoTarget,
                     "2 replies came from 192.168.1.100 on if2 10.1.0.1: several controllers share that address, or "
                     "one answers twice; --all sends the command to every one of them"},
        DecisionCase{"ResetOfSeveralWithAll", All(Request(Reset, "192.168.1.100")),
                     {Row("192.168.1.100", If2), Row("192.168.1.100", If2)}, {}, ExitOk,
                     "2 replies came from 192.168.1.100 on if2 10.1.0.1: several controllers share that address, or "
                     "one answers twice; with --all, every one of them gets the command."},
        DecisionCase{"NewAddressTaken", Request(Reconfigure, "10.1.0.20", "10.1.0.21"),
                     {Row("10.1.0.20", If2), Row("10.1.0.21", If2)}, {}, ExitFailure,
                     "A controller already answers at 10.1.0.21"},
        DecisionCase{"NewAddressTakenElsewhereOnly", Request(Reconfigure, "10.1.0.20", "10.1.0.21"),
                     {Row("10.1.0.20", If2), Row("10.1.0.21", If3)}, {}, ExitOk, ""},
        DecisionCase{"NewAddressIsTheWorkstations", Request(Reconfigure, "10.1.0.30", "10.1.0.1"),
                     {Row("10.1.0.30", If2)}, {}, ExitFailure,
                     "The new address 10.1.0.1 is an address of this workstation"},
        DecisionCase{"NewAddressIsASkippedInterfaces", Request(Reconfigure, "10.1.0.30", "172.17.0.1", "255.255.0.0"),
                     {Row("10.1.0.30", If2)}, {}, ExitFailure,
                     "The new address 172.17.0.1 is an address of this workstation"},
        DecisionCase{"NewAddressIsTheSubnetsNetwork", Request(Reconfigure, "10.1.0.30", "10.1.0.0", "255.0.0.0"),
                     {Row("10.1.0.30", If2)}, {}, ExitFailure,
                     "The new address 10.1.0.0 is the network or broadcast address of the subnet of if2 10.1.0.1/24; "
                     "no controller can hold it"},
        DecisionCase{"TargetIsTheWorkstation", NoSearch(Request(Reset, "10.1.0.1")), {}, {}, ExitFailure,
                     "The controller address 10.1.0.1 is an address of this workstation"},
        DecisionCase{"TargetIsTheSubnetsBroadcast", NoSearch(Request(Reset, "10.1.0.255")), {}, {}, ExitFailure,
                     "The controller address 10.1.0.255 is the network or broadcast address of the subnet of if2 "
                     "10.1.0.1/24; no controller can hold it"},
        DecisionCase{"AWindowCutShortCouldListIt", Request(Reset, "10.1.0.20"), {Row("10.1.0.20", If2)},
                     {false, true}, ExitFailure,
                     "the search of if3 10.2.0.1 did not finish (the failure above), and it could list 10.1.0.20"},
        DecisionCase{"NoSearchSendsUnchecked", NoSearch(Request(Reset, "10.1.0.99")), {}, {}, ExitOk,
                     "nothing was checked: the command goes without a search (--no-search)"}),
    [](const ::testing::TestParamInfo<DecisionCase>& p) { return p.param.name; });

struct VerifyCase {
    const char* name;
    std::vector<CliRow> before;  // the target as seen before
    std::vector<CliRow> after;
    int exitCode;
    const char* message;
};

class ReconfigureVerified : public ::testing::TestWithParam<VerifyCase> {};

TEST_P(ReconfigureVerified, ExactlyTheTargetAtTheNewAddress) {
    const VerifyCase& c = GetParam();
    Decision decision;
    decision.via = If2;
    decision.targetRows = c.before;
    const Verification result = VerifyReconfigure(decision, MakeAddress(10, 1, 0, 77), c.after);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_EQ(result.message, c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReconfigureVerified,
    ::testing::Values(
        VerifyCase{"Verified", {Row("10.1.0.20", If2)}, {Row("10.1.0.77", If2), Row("10.1.0.77", If3, "KRV-ETH2")},
                   ExitOk, "a controller answers at the new address 10.1.0.77"},
        VerifyCase{"NobodyThere", {Row("10.1.0.20", If2)}, {Row("10.1.0.20", If2)}, ExitNotAnswered,
                   "no controller answered at the new address 10.1.0.77"},
        VerifyCase{"TwoThere", {Row("10.1.0.20", If2)}, {Row("10.1.0.77", If2), Row("10.1.0.77", If2)},
                   ExitNotAnswered, "2 controllers answer at the new address 10.1.0.77, not one"},
        VerifyCase{"AnotherModelThere", {Row("10.1.0.20", If2)}, {Row("10.1.0.77", If2, "KRV-ETH2")}, ExitNotAnswered,
                   "the controller at the new address 10.1.0.77 is a KRV-ETH2 2.14 C, not the KRV-ETH1A2B 2.14 C that "
                   "was sent the command"},
        VerifyCase{"UncheckedAnyModel", {}, {Row("10.1.0.77", If2, "KRV-ETH2")}, ExitOk,
                   "a controller answers at the new address 10.1.0.77"}),
    [](const ::testing::TestParamInfo<VerifyCase>& p) { return p.param.name; });

}  // namespace
}  // namespace scout::cli
