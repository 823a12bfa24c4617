// What a watch keeps for monitoring, search after search: a controller is
// down only once the watch says it gone and is kept so; a failed search
// counts as one and leaves what the interface last showed; expected rows
// belong to the interface they name or whose subnet holds them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ops/line_metrics.h"
#include "tests/fakes/rows.h"

namespace scout::ops {
namespace {

using test::If2;
using test::If3;

Reply Row(const char* address, const BroadcastInterface& via = If2, const char* version = "2.14") {
    Reply row = test::Row(address, via);
    std::snprintf(row.version, sizeof row.version, "%s", version);
    std::snprintf(row.interfaceAddress, sizeof row.interfaceAddress, "%s", via.address == If2.address ? "10.1.0.1" : "10.2.0.1");
    std::snprintf(row.interfaceName, sizeof row.interfaceName, "%s", via.address == If2.address ? "ws0" : "ws1");
    return row;
}

Reply From(Reply row, std::uint8_t last) {
    row.macSource = MacSource::Frame;
    row.mac = {2, 0, 0, 0, 0, last};
    return row;
}

// A watch's metrics over the two interfaces (ws0 10.1.0.1/24, ws1 10.2.0.1/24).
struct Watch {
    WatchState state;
    LineMetrics metrics;

    explicit Watch(const ExpectedList* expected = nullptr) {
        InterfaceMetric ws0, ws1;
        ws0.via = If2;
        ws0.address = "10.1.0.1";
        ws0.name = "ws0";
        ws0.prefixLength = 24;
        ws1.via = If3;
        ws1.address = "10.2.0.1";
        ws1.name = "ws1";
        ws1.prefixLength = 24;
        StartLineMetrics(metrics, {ws0, ws1}, expected);
    }

    void Search(const std::vector<Reply>& rows, std::vector<bool> cutShort = {false, false},
                std::vector<std::uint32_t> lost = {0, 0}, std::uint64_t filtered = 0) {
        std::vector<BroadcastInterface> failed;
        if (cutShort[0])
            failed.push_back(If2);
        if (cutShort[1])
            failed.push_back(If3);
        const std::vector<Change> changes = CompareSearch(state, rows, failed);
        SearchSeen seen;
        seen.rows = &rows;
        seen.changes = &changes;
        seen.state = &state;
        seen.cutShort = cutShort;
        seen.lost = lost;
        seen.filtered = filtered;
        seen.searchMs = 1012;
        seen.endTime = 1765360000 + static_cast<std::int64_t>(metrics.searches);
        RecordSearch(metrics, seen);
    }

    // "10.1.0.5 up 2.14" for each controller's row, in order.
    std::vector<std::string> Controllers() const {
        std::vector<std::string> out;
        for (const ControllerMetric& controller : metrics.controllers)
            for (const Reply& row : controller.rows)
                out.push_back(controller.address + (controller.up ? " up " : " down ") + row.version +
                              (row.macSource == MacSource::None ? "" : " mac" + std::to_string(row.mac[5])));
        return out;
    }
};

TEST(LineMetrics, AControllerIsDownOnlyOnceGoneAndIsKeptSo) {
    Watch watch;
    watch.Search({Row("10.1.0.5"), Row("10.1.0.6"), Row("10.2.0.9", If3)});
    EXPECT_EQ(watch.Controllers(), (std::vector<std::string>{"10.1.0.5 up 2.14", "10.1.0.6 up 2.14", "10.2.0.9 up 2.14"}));
    watch.Search({Row("10.1.0.6"), Row("10.2.0.9", If3)});
    EXPECT_EQ(watch.Controllers()[0], "10.1.0.5 up 2.14") << "one search without it is no gone";
    watch.Search({Row("10.1.0.6"), Row("10.2.0.9", If3)});
    EXPECT_EQ(watch.Controllers()[0], "10.1.0.5 down 2.14") << "two in a row are";
    watch.Search({Row("10.1.0.6"), Row("10.2.0.9", If3)});
    EXPECT_EQ(watch.Controllers().size(), 3u) << "kept while the watch runs";
    watch.Search({Row("10.1.0.5", If2, "2.20"), Row("10.1.0.6"), Row("10.2.0.9", If3)});
    EXPECT_EQ(watch.Controllers()[0], "10.1.0.5 up 2.20") << "back, as it answers now: no series left behind";
    EXPECT_EQ(watch.metrics.interfaces[0].controllers, 2);
    EXPECT_EQ(watch.metrics.interfaces[1].controllers, 1);
}

TEST(LineMetrics, DuplicatesAndConflictsPerInterface) {
    Watch watch;
    watch.Search({From(Row("10.1.0.7"), 1), From(Row("10.1.0.7"), 2), Row("10.1.0.8"), Row("10.1.0.8")});
    const InterfaceMetric& ws0 = watch.metrics.interfaces[0];
    EXPECT_EQ(ws0.controllers, 2);
    EXPECT_EQ(ws0.duplicates, 2);
    EXPECT_EQ(ws0.conflicts, 1) << "several MACs at 10.1.0.7; 10.1.0.8 may be one controller answering twice";
    EXPECT_EQ(ws0.conflictEvents, 1u);
    EXPECT_EQ(watch.Controllers(),
              (std::vector<std::string>{"10.1.0.7 up 2.14 mac1", "10.1.0.7 up 2.14 mac2", "10.1.0.8 up 2.14"}))
        << "one row per MAC; the same texts without MACs once";
    watch.Search({From(Row("10.1.0.7"), 2), Row("10.1.0.8")});
    EXPECT_EQ(ws0.duplicates, 0);
    EXPECT_EQ(ws0.conflicts, 0);
    EXPECT_EQ(watch.Controllers(), (std::vector<std::string>{"10.1.0.7 up 2.14 mac2", "10.1.0.8 up 2.14"}));
    EXPECT_EQ(ws0.conflictEvents, 2u) << "the one left is not the one first known there: watch says so too";
    watch.Search({From(Row("10.1.0.7"), 3), Row("10.1.0.8")});
    EXPECT_EQ(ws0.conflictEvents, 3u) << "another MAC at a known address";
    EXPECT_EQ(watch.metrics.interfaces[1].conflictEvents, 0u);
}

TEST(LineMetrics, AFailedSearchCountsAndLeavesWhatTheInterfaceShowed) {
    Watch watch;
    watch.Search({Row("10.1.0.5"), Row("10.2.0.9", If3)}, {false, false}, {0, 3}, 2);
    watch.Search({Row("10.2.0.9", If3)}, {true, false}, {0, 4}, 1);
    watch.Search({Row("10.2.0.9", If3)}, {true, false});
    const InterfaceMetric& ws0 = watch.metrics.interfaces[0];
    EXPECT_EQ(ws0.failedSearches, 2u);
    EXPECT_EQ(ws0.controllers, 1) << "as its last search that went through";
    EXPECT_EQ(watch.Controllers()[0], "10.1.0.5 up 2.14") << "not gone for a search that failed";
    EXPECT_EQ(watch.metrics.interfaces[1].lostReplies, 7u);
    EXPECT_EQ(watch.metrics.filteredReplies, 3u);
    EXPECT_EQ(ws0.lastSearchMs, 1012u);
    EXPECT_EQ(ws0.lastSearchTime, 1765360002);
    EXPECT_EQ(watch.metrics.searches, 3u);
}

// An interface that goes keeps its series, not present, and what it showed;
// back under another index (an adapter plugged in again), it is the same
// series; a new one joins them. The searched list maps each by identity.
TEST(LineMetrics, InterfacesThatComeAndGoKeepOneSeriesEach) {
    Watch watch;
    watch.Search({Row("10.1.0.5"), Row("10.2.0.9", If3)});
    InterfaceMetric ws0 = watch.metrics.interfaces[0], ws1 = watch.metrics.interfaces[1], ws2;
    ws2.via = BroadcastInterface{MakeAddress(10, 3, 0, 1), 9};
    ws2.address = "10.3.0.1";
    ws2.name = "ws2";
    FollowInterfaces(watch.metrics, {ws0});
    ASSERT_EQ(watch.metrics.interfaces.size(), 2u);
    EXPECT_FALSE(watch.metrics.interfaces[1].present);
    SearchSeen seen;
    const std::vector<Reply> rows = {Row("10.1.0.5")};
    const std::vector<Change> none;
    seen.rows = &rows;
    seen.changes = &none;
    seen.state = &watch.state;
    seen.searched = {If2};
    seen.cutShort = {false};
    seen.lost = {0};
    RecordSearch(watch.metrics, seen);
    EXPECT_EQ(watch.metrics.interfaces[1].controllers, 1) << "what it showed last, kept";
    ws1.via.index = 12;
    FollowInterfaces(watch.metrics, {ws2, ws1, ws0});
    ASSERT_EQ(watch.metrics.interfaces.size(), 3u) << "ws1 again, under another index: its own series";
    EXPECT_TRUE(watch.metrics.interfaces[1].present);
    EXPECT_EQ(watch.metrics.interfaces[1].via.index, 12u);
    EXPECT_EQ(watch.metrics.interfaces[2].name, "ws2");
    seen.searched = {ws2.via, ws1.via, If2};
    seen.cutShort = {false, true, false};
    seen.lost = {0, 5, 0};
    RecordSearch(watch.metrics, seen);
    EXPECT_EQ(watch.metrics.interfaces[1].failedSearches, 1u) << "each by its place in the search";
    EXPECT_EQ(watch.metrics.interfaces[1].lostReplies, 5u);
    EXPECT_EQ(watch.metrics.interfaces[0].failedSearches, 0u);
}

TEST(LineMetrics, ExpectedRowsAnswerOrAreMissingOnTheirInterface) {
    std::vector<ListFault> faults;
    const ExpectedList list = ReadExpected("name,address,interface\n"
                                           "Axis 1,10.1.0.5,\n"      // ws0's subnet holds it
                                           "Axis 2,10.1.0.6,ws1\n"   // named: on ws1, whatever its address
                                           "Press,10.9.0.1,\n"       // no interface's subnet holds it
                                           "Infeed,10.2.0.9,10.2.0.1\n",
                                           &faults);
    ASSERT_TRUE(faults.empty());
    Watch watch(&list);
    const auto positions = [&] {
        std::vector<int> out;
        for (const ExpectedMetric& expected : watch.metrics.expected)
            out.push_back(expected.interfacePosition);
        return out;
    };
    EXPECT_EQ(positions(), (std::vector<int>{0, 1, -1, 1}));
    const auto up = [&] {
        std::string out;
        for (const ExpectedMetric& expected : watch.metrics.expected)
            out += expected.up ? '1' : '0';
        return out;
    };
    watch.Search({Row("10.1.0.5"), Row("10.1.0.6"), Row("10.2.0.9", If3)});
    EXPECT_EQ(up(), "1001") << "10.1.0.6 answers on ws0, not on ws1 as the list says";
    EXPECT_EQ(watch.metrics.interfaces[0].expectedMissing, 0);
    EXPECT_EQ(watch.metrics.interfaces[1].expectedMissing, 1);
    watch.Search({Row("10.1.0.6", If3)}, {false, true});
    EXPECT_EQ(up(), "0001") << "ws1's search failed: its rows stay as they were";
    EXPECT_EQ(watch.metrics.interfaces[0].expectedMissing, 1);
    EXPECT_EQ(watch.metrics.interfaces[1].expectedMissing, 1);
}

}  // namespace
}  // namespace scout::ops
