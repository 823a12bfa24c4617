// Windows Defender Firewall's settings as doctor reads them, on recorded
// answers of the registry.
#include <gtest/gtest.h>

#include "ops/firewall_reading.h"

namespace scout::ops {
namespace {

const std::string Program = "C:\\EthernetScout-1.1.0.519-win32\\scout-cli.exe";

struct RuleCase {
    const char* rule;
    bool allows;
};

class FirewallRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(FirewallRule, AllowsTheRepliesOrNot) {
    EXPECT_EQ(RuleAllows(GetParam().rule, Program, 65513), GetParam().allows) << GetParam().rule;
}

INSTANTIATE_TEST_SUITE_P(
    Recorded, FirewallRule,
    ::testing::Values(
        RuleCase{"v2.30|Action=Allow|Active=TRUE|Dir=In|Protocol=17|LPort=65513|App=C:\\EthernetScout-1.1.0.519-"
                 "win32\\scout-cli.exe|Name=Ethernet Scout replies|",
                 true},
        RuleCase{"v2.30|Action=Allow|Active=TRUE|Dir=In|Protocol=17|LPort=65513|Name=any program|", true},
        RuleCase{"v2.30|Action=Allow|Active=TRUE|Dir=In|App=c:\\ethernetscout-1.1.0.519-win32\\SCOUT-CLI.EXE|", true},
        RuleCase{"v2.30|Action=Allow|Active=TRUE|Dir=In|Protocol=17|LPort=65000-65535|App=%SystemDrive%\\x\\scout-cli.exe|",
                 true},
        RuleCase{"v2.30|Action=Allow|Active=TRUE|Dir=In|Protocol=17|LPort=137|LPort=65513|", true},
        RuleCase{"v2.30|Action=Allow|Active=FALSE|Dir=In|Protocol=17|LPort=65513|", false},
        RuleCase{"v2.30|Action=Block|Active=TRUE|Dir=In|Protocol=17|LPort=65513|", false},
        RuleCase{"v2.30|Action=Allow|Active=TRUE|Dir=Out|Protocol=17|RPort=65515|", false},
        RuleCase{"v2.30|Action=Allow|Active=TRUE|Dir=In|Protocol=6|LPort=65513|", false},
        RuleCase{"v2.30|Action=Allow|Active=TRUE|Dir=In|Protocol=17|LPort=65514|", false},
        RuleCase{"v2.30|Action=Allow|Active=TRUE|Dir=In|Protocol=17|App=C:\\Other\\scout-cli.exe|", false},
        RuleCase{"", false}, RuleCase{"||||", false}));

std::vector<std::pair<CheckStatus, std::string>> Read(const FirewallFacts& facts,
                                                      const std::vector<InterfaceNetwork>& networks = {}) {
    std::vector<CheckLine> lines;
    ReadFirewall(facts, Program, networks, &lines);
    std::vector<std::pair<CheckStatus, std::string>> out;
    for (const CheckLine& line : lines)
        out.emplace_back(line.status, line.finding);
    return out;
}

TEST(FirewallProfiles, EachProfileAsItsSettingsAndTheRulesSay) {
    FirewallFacts facts;
    facts.readable = true;
    facts.profiles = {{"Domain", Setting::Off, Setting::Unknown},
                      {"Private", Setting::On, Setting::Off},
                      {"Public", Setting::On, Setting::On}};
    EXPECT_EQ(Read(facts), (std::vector<std::pair<CheckStatus, std::string>>{
                               {CheckStatus::Ok, "Domain profile: the firewall is off"},
                               {CheckStatus::Warning, "Private profile: on, and no inbound rule allows UDP port 65513 "
                                                      "for scout-cli.exe; replies get in only within 3 s of the query"},
                               {CheckStatus::Problem, "Public profile: on, and no inbound rule allows UDP port 65513 "
                                                      "for scout-cli.exe; the policy prohibits unicast replies to a "
                                                      "broadcast, so every reply is dropped"}}));
    facts.rules = {"v2.30|Action=Allow|Active=TRUE|Dir=In|Protocol=17|LPort=65513|"};
    EXPECT_EQ(Read(facts)[2], (std::pair<CheckStatus, std::string>{
                                  CheckStatus::Ok, "Public profile: on; an inbound rule allows UDP port 65513 for "
                                                   "scout-cli.exe"}));
    facts.profiles[2].shielded = Setting::On;
    EXPECT_EQ(Read(facts)[2], (std::pair<CheckStatus, std::string>{
                                  CheckStatus::Problem, "Public profile: on, blocking all incoming connections (the "
                                                        "rules are set aside); the policy prohibits unicast replies to "
                                                        "a broadcast, so every reply is dropped"}))
        << "a rule does not let a reply in past the shield";
    EXPECT_EQ(Read(FirewallFacts{false, true, {}, {}})[0].first, CheckStatus::Unknown);
}

TEST(FirewallProfiles, OnlyTheProfilesOfTheInterfacesNetworksConcernTheSearch) {
    FirewallFacts facts;
    facts.readable = true;
    facts.profiles = {{"Domain", Setting::On, Setting::On}, {"Public", Setting::Off, Setting::Unknown}};
    using Lines = std::vector<std::pair<CheckStatus, std::string>>;
    EXPECT_EQ(Read(facts, {{"Ethernet 10.1.0.1", NetworkCategory::Public}}),
              (Lines{{CheckStatus::Ok, "Ethernet 10.1.0.1: a Public network, so the Public profile applies"},
                     {CheckStatus::Ok, "Domain profile: on, and no inbound rule allows UDP port 65513 for "
                                       "scout-cli.exe; the policy prohibits unicast replies to a broadcast, so every "
                                       "reply is dropped; no interface searched is on a Domain network"},
                     {CheckStatus::Ok, "Public profile: the firewall is off"}}));
    const Lines unknown =
        Read(facts, {{"Ethernet 10.1.0.1", NetworkCategory::Public}, {"Wi-Fi 10.2.0.5", NetworkCategory::Unknown}});
    EXPECT_EQ(unknown[1], (std::pair<CheckStatus, std::string>{
                              CheckStatus::Unknown,
                              "Wi-Fi 10.2.0.5: the profile (Public, Private or Domain) of its network cannot be read"}));
    EXPECT_EQ(unknown[2].first, CheckStatus::Problem) << "it may be a Domain network";
}

}  // namespace
}  // namespace scout::ops
