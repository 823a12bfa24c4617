// doctor's reading of what the platform and the system report, on the fake
// platform (interfaces if<index>, /24) and a scripted system.
#include <gtest/gtest.h>

#include "ops/doctor.h"
#include "tests/fakes/fake_platform.h"

namespace scout::ops {
namespace {

const BroadcastInterface If2{MakeAddress(10, 1, 0, 1), 2};

bool g_byThis = false;
bool g_any = false;

const DoctorSystem Scripted = {
    .portHolder = [](NetAddress, std::uint16_t) { return std::string("python3 (pid 812)"); },
    .routesBack =
        [](const BroadcastInterface&, bool* byThis, bool* any) {
            *byThis = g_byThis;
            *any = g_any;
        },
    .systemChecks =
        [](const std::vector<LabelledInterface>& searched, std::vector<CheckLine>* lines) {
            for (const LabelledInterface& each : searched)
                lines->push_back({CheckStatus::Unknown, "firewall", each.label, ""});
        },
    .isBridge = [](const BroadcastInterface& entry) { return entry.index == 7; },
    .isWireless = [](const BroadcastInterface& entry) { return entry.index == 5; },
};

std::vector<std::pair<CheckStatus, std::string>> Of(const std::vector<CheckLine>& lines, const char* check) {
    std::vector<std::pair<CheckStatus, std::string>> found;
    for (const CheckLine& line : lines)
        if (line.check == check)
            found.emplace_back(line.status, line.finding);
    return found;
}

struct FilterCase {
    const char* name;
    ReversePathFilter filter;
    bool byThis, any;
    CheckStatus status;
};

class DoctorFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(DoctorFilter, AsTheRoutesLetReplies) {
    const FilterCase& c = GetParam();
    test::FakeWorld world;
    world.filters = {{2, c.filter}};
    g_byThis = c.byThis;
    g_any = c.any;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    InterfaceNames names{&platform, {}};
    const auto lines = CheckBeforeSearch(platform, Scripted, names, DoctorInterfaces{{If2}, {}});
    const auto filters = Of(lines, "rp_filter");
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].first, c.status) << filters[0].second;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DoctorFilter,
    ::testing::Values(FilterCase{"Off", {0, false, false}, false, false, CheckStatus::Ok},
                      FilterCase{"ReadPast", {2, true, true}, false, false, CheckStatus::Ok},
                      FilterCase{"LooseWithADefaultRoute", {2, true, false}, false, true, CheckStatus::Ok},
                      FilterCase{"LooseOffline", {2, true, false}, false, false, CheckStatus::Warning},
                      FilterCase{"StrictByAnotherInterface", {1, false, false}, false, true, CheckStatus::Warning},
                      FilterCase{"StrictByThisInterface", {1, false, false}, true, true, CheckStatus::Ok}),
    [](const ::testing::TestParamInfo<FilterCase>& p) { return p.param.name; });

// Which way a new address is asked of the link, and why; nothing is asked.
TEST(Doctor, SaysHowTheLinkIsAsked) {
    for (const bool probes : {true, false}) {
        test::FakeWorld world;
        world.probes = probes;
        const NetPlatform platform = test::MakeFakePlatform(&world);
        InterfaceNames names{&platform, {}};
        const auto hosts = Of(CheckBeforeSearch(platform, Scripted, names, DoctorInterfaces{{If2}, {}}), "hosts");
        ASSERT_EQ(hosts.size(), 1u);
        EXPECT_EQ(hosts[0].first, probes ? CheckStatus::Ok : CheckStatus::Warning);
        EXPECT_EQ(hosts[0].second,
                  probes ? "a new address is asked of the link by an ARP probe of this workstation's own, in or out of "
                           "an interface's subnet"
                         : "a new address is asked of the link through the system's own resolution, for addresses "
                           "within an interface's subnet (outside it a command says \"not checked\"); an ARP probe "
                           "is not allowed (description of 1)");
        EXPECT_EQ(test::CountLog(world, "ask 10.1.0.1 if2"), 0);
        EXPECT_TRUE(world.sent.empty());
    }
}

TEST(Doctor, APortThatCannotBeBoundIsAProblemWithItsHolder) {
    test::FakeWorld world;
    world.failures = {{test::Op::Bind, 1, 98}};
    const NetPlatform platform = test::MakeFakePlatform(&world);
    InterfaceNames names{&platform, {}};
    const auto lines = CheckBeforeSearch(platform, Scripted, names,
                                         DoctorInterfaces{{If2},
                                                          {SkippedInterface{{MakeAddress(172, 17, 0, 1), 5},
                                                                            SkipReason::NoCarrier},
                                                           SkippedInterface{{MakeAddress(127, 0, 0, 1), 1},
                                                                            SkipReason::Loopback},
                                                           SkippedInterface{{MakeAddress(10, 8, 0, 2), 6},
                                                                            SkipReason::PointToPoint},
                                                           SkippedInterface{{MakeAddress(172, 18, 0, 1), 7},
                                                                            SkipReason::NoCarrier}}});
    EXPECT_EQ(Of(lines, "port"), (std::vector<std::pair<CheckStatus, std::string>>{
                                     {CheckStatus::Problem, "UDP 65513 on if2 10.1.0.1: cannot be bound (description "
                                                            "of 98), held by python3 (pid 812)"}}));
    EXPECT_EQ(Of(lines, "interface"), (std::vector<std::pair<CheckStatus, std::string>>{
                                          {CheckStatus::Ok, "if2 10.1.0.1: searched"},
                                          {CheckStatus::Warning, "if5 172.17.0.1: skipped, no carrier"},
                                          {CheckStatus::Ok, "if1 127.0.0.1: skipped, loopback"},
                                          {CheckStatus::Warning, "if6 10.8.0.2: skipped, point-to-point, no broadcast"},
                                          {CheckStatus::Ok, "if7 172.18.0.1: skipped, no carrier (a bridge with nothing "
                                                            "on it, such as a container bridge)"}}))
        << "the loopback and an empty bridge are no cause of a controller not found";
    EXPECT_EQ(world.openSockets, 0);
    EXPECT_EQ(DoctorExitStatus(lines), 1);
    EXPECT_EQ(Of(lines, "firewall"), (std::vector<std::pair<CheckStatus, std::string>>{
                                         {CheckStatus::Unknown, "if2 10.1.0.1"}}))
        << "the system's own checks follow, told the interfaces searched";
}

TEST(Doctor, TheSearchPerInterfaceAndTheExitStatus) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    InterfaceNames names{&platform, {}};
    const BroadcastInterface If3{MakeAddress(10, 2, 0, 1), 3};
    const BroadcastInterface If4{MakeAddress(10, 3, 0, 1), 4};
    Reply row;
    row.via = If2;
    const BroadcastInterface Wifi{MakeAddress(192, 168, 178, 23), 5};
    const auto lines = CheckSearch(Scripted, names, {If2, If3, If4, Wifi}, {false, false, true, false}, {row});
    EXPECT_EQ(Of(lines, "search"), (std::vector<std::pair<CheckStatus, std::string>>{
                                       {CheckStatus::Ok, "if2 10.1.0.1: 1 reply"},
                                       {CheckStatus::Warning, "if3 10.2.0.1: nothing answered"},
                                       {CheckStatus::Problem, "if4 10.3.0.1: the search failed (said above)"},
                                       {CheckStatus::Ok, "if5 192.168.178.23: nothing answered, as on a Wi-Fi link"}}));
    EXPECT_EQ(lines[3].todo, "controllers are on the wired line: connect an Ethernet port of this workstation to it")
        << "not the controllers' power and cables";
    EXPECT_EQ(DoctorExitStatus(lines), 1);
    EXPECT_EQ(DoctorExitStatus({lines[0], lines[1]}), 0) << "a warning is no problem";
    EXPECT_EQ(lines[1].todo, "check the warnings above, the controllers' power and cables");
}

}  // namespace
}  // namespace scout::ops
