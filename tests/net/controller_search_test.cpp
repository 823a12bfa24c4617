// The search loop, driven by a fake clock and scripted sockets.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/fakes/fake_platform.h"
#include "net/controller_search.h"
#include "net/error_report.h"
#include "net/interval_timer.h"
#include "net/query_datagram.h"

namespace scout {
namespace {

using test::FakeWorld;
using test::Op;
using test::ReplyBytes;

const NetAddress IfA = MakeAddress(10, 1, 0, 1);
const NetAddress IfB = MakeAddress(10, 2, 0, 1);
const NetAddress Ctl1 = MakeAddress(10, 1, 0, 50);
const NetAddress Ctl2 = MakeAddress(10, 1, 0, 51);
const NetAddress Ctl3 = MakeAddress(10, 2, 0, 60);

// A datagram of a scripted order: its arrival time, and its bytes (null: a reply).
struct ScriptedDatagramAt {
    std::uint32_t ms;
    const std::vector<std::uint8_t>* bytes;
};

SearchOutcome RunSearch(FakeWorld& world) {
    const NetPlatform platform = test::MakeFakePlatform(&world);
    const SearchFrontEnd frontEnd = test::MakeFakeFrontEnd(&world);
    return ControllerSearch(platform, frontEnd);
}

std::size_t IndexOf(const FakeWorld& world, const std::string& prefix, std::size_t from = 0) {
    for (std::size_t i = from; i < world.log.size(); ++i)
        if (world.log[i].rfind(prefix, 0) == 0)
            return i;
    return world.log.size();
}

TEST(IntervalTimer, ExpiresAfterDurationAcrossTheWrap) {
    IntervalTimer timer;
    ArmTimer(timer, 0xFFFFFFFFu - 255u, ReplyWindowMs);  // 256 ms before the wrap
    EXPECT_FALSE(TimerExpired(timer, 0xFFFFFFFFu));
    EXPECT_FALSE(TimerExpired(timer, 753));
    EXPECT_TRUE(TimerExpired(timer, 754));
    ArmTimer(timer, 100, 1010);
    EXPECT_FALSE(TimerExpired(timer, 1109));
    EXPECT_TRUE(TimerExpired(timer, 1110));
}

TEST(ControllerSearch, OneInterfaceRunsTwentyTwoPassesThenCloses) {
    FakeWorld world;
    world.interfaces = {{IfA, 2}};
    const SearchOutcome outcome = RunSearch(world);
    EXPECT_FALSE(outcome.reportedFailure);
    EXPECT_EQ(outcome.rows, 0);

    const std::vector<std::string> opening = {"clear", "load", "begin 10.1.0.1 1/1", "open", "broadcast", "rcvbuf",
                                              "bind 10.1.0.1:65513 if2", "send 255.255.255.255:65515"};
    ASSERT_GE(world.log.size(), opening.size());
    EXPECT_EQ(std::vector<std::string>(world.log.begin(), world.log.begin() + 8), opening);
    // Passes at 0, 50, ..., 1050 ms after the send: 22 reads, 21 sleeps of 50 ms.
    EXPECT_EQ(test::CountLog(world, "waiting"), 22);
    EXPECT_EQ(test::CountLog(world, "sleep 50"), 21);
    EXPECT_EQ(world.log[world.log.size() - 2], "close");
    EXPECT_EQ(world.log.back(), "release");
    ASSERT_EQ(world.sent.size(), 1u);
    QueryDatagram query;
    BuildQuery(query);
    EXPECT_EQ(world.sent[0], std::vector<std::uint8_t>(query.begin(), query.end()));
    EXPECT_EQ(world.openSockets, 0);
}

// Another search holds the tool's port: the front end says how long to wait,
// the bind is tried again every 50 ms meanwhile, and the search goes on once
// the port is free; or the failed bind is reported once.
TEST(ControllerSearch, APortHeldByAnotherSearchIsWaitedForAsTheFrontEndSays) {
    const struct {
        const char* name;
        std::uint32_t frontEndWaitsMs;
        int heldForBinds;     // the first binds that find the port held
        bool listed;
        std::vector<std::string> askedAt;  // the front end's calls
    } cases[] = {
        {"freed while waited for", 1000, 3, true, {"port held 0", "port held 50", "port held 100"}},
        {"not waited for", 0, 1, false, {"port held 0"}},
        {"held past the wait", 100, 10, false, {"port held 0", "port held 50", "port held 100"}},
    };
    for (const auto& c : cases) {
        FakeWorld world;
        world.interfaces = {{IfA, 2}};
        world.waitForPortMs = c.frontEndWaitsMs;
        for (int call = 1; call <= c.heldForBinds; ++call)
            world.failures.push_back({Op::Bind, call, test::AddressInUseError});
        world.datagrams = {{IfA, 20, Ctl1, ReplyBytes(1, "v", "r")}};
        const SearchOutcome outcome = RunSearch(world);
        std::vector<std::string> asked;
        for (const std::string& line : world.log)
            if (line.rfind("port held", 0) == 0)
                asked.push_back(line);
        EXPECT_EQ(asked, c.askedAt) << c.name;
        EXPECT_EQ(outcome.rows, c.listed ? 1 : 0) << c.name;
        EXPECT_EQ(world.reports.size(), c.listed ? 0u : 1u) << c.name;
        EXPECT_EQ(world.openSockets, 0) << c.name;
    }
}

TEST(ControllerSearch, WrapOfTheClockKeepsTheSchedule) {
    FakeWorld world;
    world.clock = 0xFFFFFFFFu - 255u;
    world.interfaces = {{IfA, 2}};
    world.datagrams = {{IfA, 1040, Ctl1, ReplyBytes(1, "v", "r")}};
    RunSearch(world);
    EXPECT_EQ(test::CountLog(world, "sleep 50"), 21);
    EXPECT_EQ(world.rows.size(), 1u);
}

TEST(ControllerSearch, WhatWaitsWhenTheLastPassBeginsIsListedAndNothingLater) {
    FakeWorld world;
    world.interfaces = {{IfA, 2}};
    world.datagrams = {{IfA, 1040, Ctl1, ReplyBytes(0x10, "a", "1")},
                       {IfA, 1050, Ctl2, ReplyBytes(0x11, "b", "2")},
                       {IfA, 1051, Ctl1, ReplyBytes(0x12, "c", "3")}};
    RunSearch(world);
    ASSERT_EQ(world.rows.size(), 2u);
    EXPECT_EQ(world.rows[0].model, "KRV-ETH10");
    EXPECT_EQ(world.rows[1].model, "KRV-ETH11");
    // The socket is not read after the last pass.
    EXPECT_EQ(IndexOf(world, "waiting", IndexOf(world, "close")), world.log.size());
}

TEST(ControllerSearch, EveryWaitingDatagramIsReadInOnePass) {
    FakeWorld world;
    world.interfaces = {{IfA, 2}};
    for (int i = 0; i < 300; ++i)
        world.datagrams.push_back({IfA, 5, MakeAddress(10, 1, static_cast<std::uint8_t>(i / 100),
                                                       static_cast<std::uint8_t>(i % 100)),
                                   ReplyBytes(static_cast<std::uint32_t>(i), "v", "r")});
    const SearchOutcome outcome = RunSearch(world);
    EXPECT_EQ(outcome.rows, 300);
    ASSERT_EQ(world.rows.size(), 300u);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(world.rows[static_cast<std::size_t>(i)].address,
                  "10.1." + std::to_string(i / 100) + "." + std::to_string(i % 100));
    // They all arrived before the second pass, and were all read in it.
    const std::size_t firstSleep = IndexOf(world, "sleep 50");
    const std::size_t secondSleep = IndexOf(world, "sleep 50", firstSleep + 1);
    EXPECT_GT(IndexOf(world, "insert 0"), firstSleep);
    EXPECT_LT(IndexOf(world, "insert 299"), secondSleep);
}

TEST(ControllerSearch, AFloodCannotHoldTheSocketPastItsWindow) {
    FakeWorld world;
    world.stepPerReading = 1;  // every clock reading costs a millisecond
    world.interfaces = {{IfA, 2}};
    for (std::uint32_t t = 0; t < 5000; ++t)
        world.datagrams.push_back({IfA, t / 2, Ctl1, {0x01, 0x02, 0x03}});
    const std::uint32_t start = world.clock;
    RunSearch(world);
    EXPECT_EQ(world.log[world.log.size() - 2], "close");
    const std::uint32_t elapsed = world.clock - start;
    EXPECT_LE(elapsed, ReplyWindowMs + PassReadBudgetMs + 10);
    EXPECT_TRUE(world.reports.empty());
    // While datagrams keep waiting, a pass follows the last without a sleep.
    EXPECT_EQ(test::CountLog(world, "sleep 50"), 0);
}

TEST(ControllerSearch, ALatePassReadsForItsBudgetOnly) {
    // The queue empties just before the window ends, and the flood comes back
    // during the sleep: the last pass reads for its budget, then the socket closes.
    FakeWorld world;
    world.stepPerReading = 1;
    world.interfaces = {{IfA, 2}};
    for (std::uint32_t i = 0; i < 3000; ++i)
        world.datagrams.push_back({IfA, 1040 + i / 10, Ctl1, {0x01, 0x02, 0x03}});
    world.datagrams.push_back({IfA, 5, Ctl2, ReplyBytes(7, "v", "r")});
    const std::uint32_t start = world.clock;
    RunSearch(world);
    EXPECT_LE(world.clock - start, ReplyWindowMs + PassIntervalMs + PassReadBudgetMs + 10);
    ASSERT_EQ(world.rows.size(), 1u);
    EXPECT_EQ(world.rows[0].model, "KRV-ETH7");
}

TEST(ControllerSearch, RowsInArrivalOrderAcrossInterfaces) {
    FakeWorld world;
    world.interfaces = {{IfA, 2}, {IfB, 3}};
    world.datagrams = {{IfA, 300, Ctl2, ReplyBytes(0xB, "2.0", "B")},
                       {IfA, 100, Ctl1, ReplyBytes(0xA, "1.0", "A")},
                       {IfB, 0, Ctl3, ReplyBytes(0xC, "3.0", "C")},
                       {IfB, 0, Ctl1, ReplyBytes(0xA, "1.0", "A")}};
    const SearchOutcome outcome = RunSearch(world);
    EXPECT_EQ(outcome.rows, 4);
    ASSERT_EQ(world.rows.size(), 4u);
    const char* addresses[] = {"10.1.0.50", "10.1.0.51", "10.2.0.60", "10.1.0.50"};
    const NetAddress interfaces[] = {IfA, IfA, IfB, IfB};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(world.rows[i].address, addresses[i]) << i;
        EXPECT_EQ(world.rows[i].interfaceAddress, interfaces[i]) << i;
    }
    EXPECT_EQ(world.rows[2].model, "KRV-ETHC");
    EXPECT_EQ(world.rows[2].version, "3.0");
    EXPECT_EQ(world.rows[2].revision, "C");
    // The second window starts only after the first socket is closed.
    EXPECT_LT(IndexOf(world, "close"), IndexOf(world, "bind 10.2.0.1"));
    EXPECT_EQ(test::CountLog(world, "sleep 50"), 42);
}

// Each row carries the MAC of its own datagram's frame, where the platform read it.
TEST(ControllerSearch, EachRowCarriesTheMacOfItsOwnDatagram) {
    FakeWorld world;
    world.interfaces = {{IfA, 2}};
    world.datagrams = {{IfA, 10, Ctl1, ReplyBytes(0xA, "1.0", "A"), MacSource::Frame, {2, 0, 0, 0, 0, 1}},
                       {IfA, 20, Ctl1, ReplyBytes(0xA, "1.0", "A"), MacSource::Frame, {2, 0, 0, 0, 0, 2}},
                       {IfA, 30, Ctl2, ReplyBytes(0xB, "1.0", "A"), MacSource::Neighbour, {2, 0, 0, 0, 0, 3}},
                       {IfA, 40, Ctl2, ReplyBytes(0xB, "1.0", "A")}};
    RunSearch(world);
    ASSERT_EQ(world.rows.size(), 4u);
    // A neighbour table's MAC is not asked within the window.
    const MacSource sources[] = {MacSource::Frame, MacSource::Frame, MacSource::None, MacSource::None};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(world.rows[i].macSource, sources[i]) << i;
        EXPECT_EQ(world.rows[i].mac[5], sources[i] != MacSource::None ? i + 1 : 0) << i;
    }
}

TEST(ControllerSearch, DatagramsThatAreNoRepliesAreDroppedSilently) {
    FakeWorld world;
    world.interfaces = {{IfA, 2}};
    auto command1 = ReplyBytes(1, "x", "y");
    command1[CommandOffset] = 1;
    auto command2 = ReplyBytes(1, "x", "y");
    command2[CommandOffset] = 2;
    auto badMagic = ReplyBytes(1, "x", "y");
    badMagic[15] ^= 0xFF;
    world.datagrams = {{IfA, 0, Ctl1, command1}, {IfA, 0, Ctl1, badMagic}, {IfA, 0, Ctl1, command2},
                       {IfA, 0, Ctl2, ReplyBytes(7, "ok", "ok")}};
    const SearchOutcome outcome = RunSearch(world);
    EXPECT_EQ(outcome.rows, 1);
    ASSERT_EQ(world.rows.size(), 1u);
    EXPECT_EQ(world.rows[0].address, "10.1.0.51");
    EXPECT_TRUE(world.reports.empty());
    EXPECT_EQ(test::CountLog(world, "recv"), 4);
    EXPECT_EQ(test::CountLog(world, "insert 0"), 1);
}

TEST(ControllerSearch, ShortRepliesShowNoStaleBytes) {
    FakeWorld world;
    world.interfaces = {{IfA, 2}};
    const auto full = ReplyBytes(0x1234, "ABCDEFGH", "IJKLMNOP");
    const std::vector<std::uint8_t> shortReply(full.begin(), full.begin() + 22);  // magic, command, 2 model bytes
    world.datagrams = {{IfA, 0, Ctl1, full}, {IfA, 0, Ctl2, shortReply}};
    RunSearch(world);
    ASSERT_EQ(world.rows.size(), 2u);
    EXPECT_EQ(world.rows[0].version, "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(world.rows[0].revision, "IJKLMNOP");
    EXPECT_EQ(world.rows[1].model, "KRV-ETH1234");
    EXPECT_EQ(world.rows[1].version, "");
    EXPECT_EQ(world.rows[1].revision, "");
}

// An empty datagram is a datagram waiting like any other: read, ignored, and
// the replies around it are listed; it never ends the interface's window.
TEST(ControllerSearch, EmptyDatagramsBeforeBetweenAndAfterRepliesAreIgnored) {
    const std::vector<std::uint8_t> empty;
    const struct {
        const char* name;
        std::vector<ScriptedDatagramAt> order;
    } cases[] = {{"before", {{0, &empty}, {10, nullptr}, {20, nullptr}}},
                 {"between", {{0, nullptr}, {10, &empty}, {20, nullptr}}},
                 {"after", {{0, nullptr}, {10, nullptr}, {20, &empty}}},
                 {"all at once", {{5, &empty}, {5, nullptr}, {5, &empty}, {5, nullptr}, {5, &empty}}}};
    for (const auto& c : cases) {
        FakeWorld world;
        world.interfaces = {{IfA, 2}, {IfB, 3}};
        std::uint32_t model = 0;
        for (const ScriptedDatagramAt& at : c.order)
            world.datagrams.push_back({IfA, at.ms, Ctl1, at.bytes != nullptr ? *at.bytes : ReplyBytes(++model, "v", "r")});
        world.datagrams.push_back({IfB, 0, Ctl3, ReplyBytes(9, "v", "r")});
        const SearchOutcome outcome = RunSearch(world);
        EXPECT_FALSE(outcome.reportedFailure) << c.name;
        ASSERT_EQ(world.rows.size(), 3u) << c.name;
        EXPECT_EQ(world.rows[0].model, "KRV-ETH1") << c.name;
        EXPECT_EQ(world.rows[1].model, "KRV-ETH2") << c.name;
        EXPECT_EQ(world.rows[2].address, "10.2.0.60") << c.name;
        EXPECT_EQ(test::CountLog(world, "recv"), static_cast<int>(c.order.size()) + 1) << c.name;
        EXPECT_EQ(test::CountLog(world, "sleep 50"), 42) << c.name << ": each window runs its full length";
    }
}

TEST(ControllerSearch, EmptyTableGivesNoRowsAndNoMessage) {
    FakeWorld world;
    const SearchOutcome outcome = RunSearch(world);
    EXPECT_EQ(outcome.rows, 0);
    EXPECT_FALSE(outcome.reportedFailure);
    EXPECT_TRUE(world.reports.empty());
    EXPECT_EQ(test::CountLog(world, "open"), 0);
    EXPECT_EQ(world.log, (std::vector<std::string>{"clear", "load", "release"}));
}

TEST(ControllerSearch, ListIsClearedBeforeAnythingElse) {
    FakeWorld world;
    world.rows.push_back({"old", "", "", "", 0, 0});
    world.interfaces = {{IfA, 2}};
    RunSearch(world);
    EXPECT_EQ(world.log.front(), "clear");
    EXPECT_TRUE(world.rows.empty());
}

struct TableFailureCase {
    const char* name;
    TableStatus status;
    int code;
    const char* message;
};

void PrintTo(const TableFailureCase& c, std::ostream* out) {
    *out << c.name;
}

class TableFailure : public ::testing::TestWithParam<TableFailureCase> {};

TEST_P(TableFailure, ReportedAndNothingSearched) {
    FakeWorld world;
    world.interfaces = {{IfA, 2}};
    world.tableStatus = GetParam().status;
    world.tableError = GetParam().code;
    const SearchOutcome outcome = RunSearch(world);
    EXPECT_TRUE(outcome.reportedFailure);
    EXPECT_EQ(world.reports, std::vector<std::string>{GetParam().message});
    EXPECT_EQ(test::CountLog(world, "open"), 0);
    EXPECT_EQ(world.log.back(), "release");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TableFailure,
    ::testing::Values(TableFailureCase{"NoSpace", TableStatus::NoSpace, 0, "Not enough space to load forwarding table."},
                      TableFailureCase{"Failed", TableStatus::Failed, 5,
                                       "Unable to read forwarding table. description of 5."}),
    [](const ::testing::TestParamInfo<TableFailureCase>& p) { return p.param.name; });

struct SocketFailureCase {
    const char* name;
    Op op;
    const char* message;
    bool closesAfterReport;
};

void PrintTo(const SocketFailureCase& c, std::ostream* out) {
    *out << c.name;
}

class SocketFailure : public ::testing::TestWithParam<SocketFailureCase> {};

// Each failure that ends the search: its exact message, the socket closed once
// the report is closed, and the next interface never touched.
TEST_P(SocketFailure, EndsTheSearch) {
    const SocketFailureCase& c = GetParam();
    FakeWorld world;
    world.interfaces = {{IfA, 2}, {IfB, 3}};
    world.datagrams = {{IfA, 0, Ctl1, ReplyBytes(1, "v", "r")}};
    world.failures = {{c.op, 1, 42}};
    const SearchOutcome outcome = RunSearch(world);
    EXPECT_TRUE(outcome.reportedFailure);
    EXPECT_EQ(world.reports, std::vector<std::string>{c.message});
    EXPECT_EQ(test::CountLog(world, "open"), 1);
    EXPECT_EQ(IndexOf(world, "bind 10.2.0.1"), world.log.size());
    const std::size_t report = IndexOf(world, "report ");
    if (c.closesAfterReport) {
        EXPECT_EQ(IndexOf(world, "close"), report + 1);
        EXPECT_EQ(test::CountLog(world, "close"), 1);
    } else {
        EXPECT_EQ(test::CountLog(world, "close"), 0);
    }
    EXPECT_EQ(world.openSockets, 0);
    EXPECT_EQ(world.log.back(), "release");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SocketFailure,
    ::testing::Values(
        SocketFailureCase{"Open", Op::Open, "Unable to create socket. description of 42.", false},
        SocketFailureCase{"Broadcast", Op::Broadcast, "Unable to set socket options. description of 42.", true},
        SocketFailureCase{"Bind", Op::Bind,
                          "Error attempting to bind to socket for address 10.1.0.1. description of 42.", true},
        SocketFailureCase{"Send", Op::Send, "Error sending query broadcast for address 10.1.0.1. description of 42.",
                          true},
        SocketFailureCase{"Waiting", Op::Waiting,
                          "IOCTL error checking socket for data on address 10.1.0.1. description of 42.", true}),
    [](const ::testing::TestParamInfo<SocketFailureCase>& p) { return p.param.name; });

TEST(ControllerSearch, WaitingFailureLaterKeepsTheRowsRead) {
    FakeWorld world;
    world.interfaces = {{IfA, 2}};
    world.datagrams = {{IfA, 0, Ctl1, ReplyBytes(1, "v", "r")}};
    world.failures = {{Op::Waiting, 5, 42}};
    RunSearch(world);
    EXPECT_EQ(world.rows.size(), 1u);
    EXPECT_EQ(world.reports.size(), 1u);
}

TEST(ControllerSearch, ReceiveFailureEndsOnlyThatInterface) {
    FakeWorld world;
    world.interfaces = {{IfA, 2}, {IfB, 3}};
    world.datagrams = {{IfA, 100, Ctl1, ReplyBytes(1, "v", "r")}, {IfA, 100, Ctl2, ReplyBytes(2, "v", "r")},
                       {IfB, 0, Ctl3, ReplyBytes(3, "v", "r")}};
    world.failures = {{Op::Receive, 1, 42}};
    const SearchOutcome outcome = RunSearch(world);
    EXPECT_TRUE(outcome.reportedFailure);
    EXPECT_EQ(world.reports,
              std::vector<std::string>{"Error attempting to receive data for address 10.1.0.1. description of 42."});
    // The interface's socket is closed right after the report, not read again.
    const std::size_t report = IndexOf(world, "report ");
    EXPECT_EQ(world.log[report + 1], "close");
    ASSERT_EQ(world.rows.size(), 1u);
    EXPECT_EQ(world.rows[0].address, "10.2.0.60");
    EXPECT_EQ(world.openSockets, 0);
}

// One datagram too long for a reply hides nothing behind it: it is reported
// once per window, and every reply after it is listed.
TEST(ControllerSearch, OversizedDatagramIsReportedOnceAndTheWindowGoesOn) {
    FakeWorld world;
    world.interfaces = {{IfA, 2}, {IfB, 3}};
    auto oversized = ReplyBytes(1, "v", "r");
    oversized.push_back(0);
    world.datagrams = {{IfA, 0, Ctl1, oversized}, {IfA, 200, Ctl1, ReplyBytes(1, "v", "r")},
                       {IfA, 300, Ctl1, oversized}, {IfA, 400, Ctl2, ReplyBytes(2, "v", "r")},
                       {IfB, 0, Ctl3, ReplyBytes(3, "v", "r")}};
    const SearchOutcome outcome = RunSearch(world);
    EXPECT_TRUE(outcome.reportedFailure);
    EXPECT_EQ(world.reports, std::vector<std::string>{
                                 "Error attempting to receive data for address 10.1.0.1. description of 10040."});
    std::vector<std::string> addresses;
    for (const test::FakeRow& row : world.rows)
        addresses.push_back(row.address);
    EXPECT_EQ(addresses, (std::vector<std::string>{"10.1.0.50", "10.1.0.51", "10.2.0.60"}));
}

// What Windows hands a receive after an ICMP report of an earlier send is no
// datagram: the window goes on without a word.
TEST(ControllerSearch, ConnectionResetIsNoDatagram) {
    FakeWorld world;
    world.interfaces = {{IfA, 2}};
    world.datagrams = {{IfA, 0, Ctl1, ReplyBytes(1, "v", "r")}, {IfA, 500, Ctl2, ReplyBytes(2, "v", "r")}};
    world.failures = {{Op::Receive, 1, test::ConnectionResetError}, {Op::Receive, 2, test::ConnectionResetError}};
    const SearchOutcome outcome = RunSearch(world);
    EXPECT_FALSE(outcome.reportedFailure);
    EXPECT_TRUE(world.reports.empty());
    EXPECT_EQ(world.rows.size(), 2u);
}

// Replies the platform knows were lost are said, once each, and change
// neither the rows nor the outcome.
struct LossCase {
    const char* name;
    std::uint32_t droppedPerSocket;
    std::vector<std::uint64_t> filterReadings;
    ReversePathFilter filter;
    std::vector<std::string> warnings;
};

class SearchLosses : public ::testing::TestWithParam<LossCase> {};

TEST_P(SearchLosses, AreSaidOnce) {
    const LossCase& c = GetParam();
    for (const bool allAtOnce : {false, true}) {
        FakeWorld world;
        world.interfaces = {{IfA, 2}, {IfB, 3}};
        world.datagrams = {{IfA, 0, Ctl1, ReplyBytes(1, "v", "r")}};
        world.droppedPerSocket = c.droppedPerSocket;
        world.filterReadings = c.filterReadings;
        world.filters = {{2, c.filter}};
        const NetPlatform platform = test::MakeFakePlatform(&world);
        const SearchFrontEnd frontEnd = test::MakeFakeFrontEnd(&world);
        const SearchPlan plan{world.interfaces.data(), world.interfaces.size(), ReplyWindowMs, allAtOnce};
        const SearchOutcome outcome = SearchInterfaces(platform, frontEnd, plan);
        EXPECT_FALSE(outcome.reportedFailure);
        EXPECT_EQ(world.rows.size(), 1u);
        EXPECT_EQ(world.warnings, c.warnings) << (allAtOnce ? "all at once" : "one after another");
    }
}

const char* const FilterFix =
    "To list them: a route to the controllers' subnet by that interface, "
    "'sysctl -w net.ipv4.conf.if2.rp_filter=0', or run as root.";

INSTANTIATE_TEST_SUITE_P(
    Cases, SearchLosses,
    ::testing::Values(
        LossCase{"NothingLost", 0, {7, 7}, {2, false, false}, {}},
        LossCase{"BufferFull", 3, {}, {}, {"3 replies on if2 10.1.0.1 were lost: the receive buffer was full. To list "
                                           "every one: 'sysctl -w net.core.rmem_max=4194304', or run as root.",
                                           "3 replies on if3 10.2.0.1 were lost: the receive buffer was full. To list "
                                           "every one: 'sysctl -w net.core.rmem_max=4194304', or run as root."}},
        LossCase{"FilterDropped", 0, {7, 9}, {2, false, false},
                 {std::string("the kernel dropped 2 replies from outside the interface's subnet (rp_filter 2 on "
                              "if2, no route back to the sender). ") + FilterFix}},
        LossCase{"FilterHostWide", 0, {7, 8}, {1, true, false},
                 {"the kernel dropped 1 reply from outside the interface's subnet (rp_filter 1 on if2, no route back "
                  "to the sender). To list them: a route to the controllers' subnet by that interface, 'sysctl -w "
                  "net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.if2.rp_filter=0', or run as root."}},
        LossCase{"FilterReadPast", 0, {7, 9}, {2, false, true}, {}},
        LossCase{"FilterOff", 0, {7, 9}, {0, false, false}, {}},
        LossCase{"CounterUnreadable", 0, {}, {2, false, false}, {}}),
    [](const ::testing::TestParamInfo<LossCase>& p) { return p.param.name; });

// Which windows a failure cut short or kept shut: what they did not hear may
// have been there. A datagram too long for a reply cuts nothing short.
TEST(ControllerSearch, WindowsCutShortAreNamed) {
    const NetAddress IfC = MakeAddress(10, 3, 0, 1);
    auto oversized = ReplyBytes(1, "v", "r");
    oversized.push_back(0);
    for (const bool allAtOnce : {false, true}) {
        FakeWorld world;
        world.interfaces = {{IfA, 2}, {IfB, 3}, {IfC, 4}};
        world.datagrams = {{IfA, 0, Ctl1, oversized}, {IfB, 0, Ctl3, ReplyBytes(3, "v", "r")}};
        world.failures = {{Op::Receive, 2, 42}};  // the reply on IfB
        bool cutShort[3] = {};
        const NetPlatform platform = test::MakeFakePlatform(&world);
        const SearchFrontEnd frontEnd = test::MakeFakeFrontEnd(&world);
        SearchPlan plan{world.interfaces.data(), world.interfaces.size(), ReplyWindowMs, allAtOnce, cutShort};
        SearchInterfaces(platform, frontEnd, plan);
        EXPECT_FALSE(cutShort[0]);
        EXPECT_TRUE(cutShort[1]);
        EXPECT_FALSE(cutShort[2]) << allAtOnce;
    }
    FakeWorld world;
    world.interfaces = {{IfA, 2}, {IfB, 3}, {IfC, 4}};
    world.failures = {{Op::Bind, 2, 42}};  // one after another: the search ends there
    bool cutShort[3] = {};
    const NetPlatform platform = test::MakeFakePlatform(&world);
    SearchInterfaces(platform, test::MakeFakeFrontEnd(&world),
                     SearchPlan{world.interfaces.data(), 3, ReplyWindowMs, false, cutShort});
    EXPECT_FALSE(cutShort[0]);
    EXPECT_TRUE(cutShort[1]);
    EXPECT_TRUE(cutShort[2]) << "never searched";
}

TEST(ControllerSearch, CloseFailureEndsTheSearch) {
    FakeWorld world;
    world.interfaces = {{IfA, 2}, {IfB, 3}};
    world.failures = {{Op::Close, 1, 42}};
    RunSearch(world);
    EXPECT_EQ(world.reports,
              std::vector<std::string>{"Error closing socket for address 10.1.0.1. description of 42."});
    EXPECT_EQ(test::CountLog(world, "open"), 1);
}

TEST(ControllerSearch, NextSearchBindsAgainAfterAFailedSend) {
    FakeWorld world;
    world.interfaces = {{IfA, 2}};
    world.datagrams = {{IfA, 0, Ctl1, ReplyBytes(1, "v", "r")}};
    world.failures = {{Op::Send, 1, 42}};
    RunSearch(world);
    EXPECT_EQ(world.openSockets, 0);
    world.reports.clear();
    const SearchOutcome second = RunSearch(world);
    EXPECT_FALSE(second.reportedFailure);
    EXPECT_EQ(world.rows.size(), 1u);
}

SearchOutcome RunPlan(FakeWorld& world, std::uint32_t windowMs, bool allAtOnce) {
    const NetPlatform platform = test::MakeFakePlatform(&world);
    const SearchFrontEnd frontEnd = test::MakeFakeFrontEnd(&world);
    SearchPlan plan;
    plan.interfaces = world.interfaces.data();
    plan.count = world.interfaces.size();
    plan.windowMs = windowMs;
    plan.allAtOnce = allAtOnce;
    return SearchInterfaces(platform, frontEnd, plan);
}

TEST(ControllerSearch, TheWindowIsTheOneAsked) {
    FakeWorld world;
    world.interfaces = {{IfA, 2}};
    world.datagrams = {{IfA, 240, Ctl1, ReplyBytes(1, "v", "r")}, {IfA, 260, Ctl2, ReplyBytes(2, "v", "r")}};
    RunPlan(world, 220, false);
    // Passes at 0, 50, ..., 250 ms: the reply waiting when the pass at 250 begins is listed, no later one.
    EXPECT_EQ(test::CountLog(world, "sleep 50"), 5);
    ASSERT_EQ(world.rows.size(), 1u);
    EXPECT_EQ(world.rows[0].model, "KRV-ETH1");
}

// All at once: every query out before the one window, whose replies are
// listed interface by interface in search order whatever their arrival.
TEST(ControllerSearch, AllAtOnceSendsEveryQueryThenListensOnce) {
    FakeWorld world;
    const NetAddress IfC = MakeAddress(10, 3, 0, 1);
    world.interfaces = {{IfA, 2}, {IfB, 3}, {IfC, 4}};
    world.datagrams = {{IfB, 10, Ctl3, ReplyBytes(0xB1, "v", "r")}, {IfA, 300, Ctl1, ReplyBytes(0xA1, "v", "r")},
                       {IfC, 20, Ctl2, ReplyBytes(0xC1, "v", "r")}, {IfB, 500, Ctl3, ReplyBytes(0xB2, "v", "r")},
                       {IfA, 900, Ctl2, ReplyBytes(0xA2, "v", "r")}};
    const std::uint32_t start = world.clock;
    const SearchOutcome outcome = RunPlan(world, ReplyWindowMs, true);
    EXPECT_FALSE(outcome.reportedFailure);
    EXPECT_EQ(outcome.rows, 5);
    std::vector<std::string> models;
    for (const test::FakeRow& row : world.rows)
        models.push_back(row.model);
    EXPECT_EQ(models, (std::vector<std::string>{"KRV-ETHA1", "KRV-ETHA2", "KRV-ETHB1", "KRV-ETHB2", "KRV-ETHC1"}));
    EXPECT_EQ(world.sent.size(), 3u);
    EXPECT_LT(IndexOf(world, "send", IndexOf(world, "bind 10.3.0.1")), IndexOf(world, "waiting"))
        << "the last query leaves before the first read";
    EXPECT_EQ(test::CountLog(world, "sleep 50"), 21) << "one window for all";
    EXPECT_LE(world.clock - start, ReplyWindowMs + PassIntervalMs);
    EXPECT_EQ(test::CountLog(world, "close"), 3);
    EXPECT_EQ(world.openSockets, 0);
}

TEST(ControllerSearch, AllAtOnceAFailureEndsOnlyItsInterface) {
    FakeWorld world;
    const NetAddress IfC = MakeAddress(10, 3, 0, 1);
    world.interfaces = {{IfA, 2}, {IfB, 3}, {IfC, 4}};
    auto oversized = ReplyBytes(1, "v", "r");
    oversized.push_back(0);
    world.datagrams = {{IfA, 10, Ctl1, ReplyBytes(0xA1, "v", "r")}, {IfC, 5, Ctl2, oversized},
                       {IfC, 100, Ctl2, ReplyBytes(0xC1, "v", "r")}, {IfA, 200, Ctl1, ReplyBytes(0xA2, "v", "r")}};
    world.failures = {{Op::Bind, 2, 42}, {Op::Receive, 4, 43}};
    const SearchOutcome outcome = RunPlan(world, ReplyWindowMs, true);
    EXPECT_TRUE(outcome.reportedFailure);
    EXPECT_EQ(world.reports,
              (std::vector<std::string>{"Error attempting to bind to socket for address 10.2.0.1. description of 42.",
                                        "Error attempting to receive data for address 10.3.0.1. description of 10040.",
                                        "Error attempting to receive data for address 10.1.0.1. description of 43."}));
    // The oversized datagram hid nothing behind it on 10.3.0.1; the failed
    // receive on 10.1.0.1 ended its window before its second reply.
    std::vector<std::string> models;
    for (const test::FakeRow& row : world.rows)
        models.push_back(row.model);
    EXPECT_EQ(models, (std::vector<std::string>{"KRV-ETHA1", "KRV-ETHC1"}));
    EXPECT_EQ(world.openSockets, 0);
}

// A flood on one interface neither starves another nor holds the window open.
TEST(ControllerSearch, AllAtOnceAFloodOnOneInterfaceStarvesNoOther) {
    FakeWorld world;
    world.stepPerReading = 1;
    world.interfaces = {{IfA, 2}, {IfB, 3}};
    for (std::uint32_t t = 0; t < 5000; ++t)
        world.datagrams.push_back({IfA, t / 3, Ctl1, {0x01, 0x02}});
    world.datagrams.push_back({IfB, 600, Ctl3, ReplyBytes(0xB1, "v", "r")});
    const std::uint32_t start = world.clock;
    RunPlan(world, ReplyWindowMs, true);
    ASSERT_EQ(world.rows.size(), 1u);
    EXPECT_EQ(world.rows[0].model, "KRV-ETHB1");
    EXPECT_LE(world.clock - start, ReplyWindowMs + PassReadBudgetMs + 20);
}

TEST(ErrorReport, MissingDescriptionShowsNull) {
    FakeWorld world;
    world.interfaces = {{IfA, 2}};
    world.failures = {{Op::Bind, 1, test::UndescribedError}};
    RunSearch(world);
    EXPECT_EQ(world.reports,
              std::vector<std::string>{"Error attempting to bind to socket for address 10.1.0.1. (null)."});
}

TEST(ErrorReport, TemplateWithoutConversionAndLongTexts) {
    FakeWorld world;
    const SearchFrontEnd frontEnd = test::MakeFakeFrontEnd(&world);
    ReportError(frontEnd, "Not enough space to load forwarding table.");
    const std::string longText(3000, 'x');
    ReportError(frontEnd, "Unable to create socket. %s.", longText.c_str());
    ASSERT_EQ(world.reports.size(), 2u);
    EXPECT_EQ(world.reports[0], "Not enough space to load forwarding table.");
    EXPECT_EQ(world.reports[1].size(), MessageCapacity - 1);
    EXPECT_EQ(world.reports[1].rfind("Unable to create socket. xxx", 0), 0u);
}

}  // namespace
}  // namespace scout
