// What a watch keeps of the line for a plant's monitoring: every controller
// seen since the watch started (up, or gone and kept as down), each expected
// controller (with --expect) answering or missing, and per interface what the
// last search saw and what the searches have counted. Facts only; the front
// end writes them out (scout-cli: the Prometheus text format).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ops/changes.h"
#include "ops/expected.h"
#include "ops/reply.h"

namespace scout::ops {

// One controller where it answers (an address on an interface), as it
// answered last: one row, or one per MAC where several controllers that
// their frames tell apart share the address.
struct ControllerMetric {
    BroadcastInterface via{};
    std::string address;
    std::vector<Reply> rows;  // each with other texts or another MAC
    bool up = true;           // false once the watch said it gone, until it answers again
};

struct InterfaceMetric {
    BroadcastInterface via{};
    std::string address;          // dotted
    std::string name;             // "" where the platform has none
    int prefixLength = -1;        // of its subnet, where known
    bool searched = false;        // a search of it went through
    int controllers = 0;          // addresses that answered in its last search that went through
    int duplicates = 0;           // of them, those more than one reply came from
    int conflicts = 0;            // of them, those that several MACs answered at
    int expectedMissing = 0;      // expected controllers of this interface that did not answer
    std::uint64_t conflictEvents = 0;  // address conflicts said since the start
    bool present = true;               // the workstation has it (a watch follows interfaces that come and go)
    std::uint64_t readdressed = 0;     // replacements given their row's address and verified
    std::uint64_t notReaddressed = 0;  // replacements left where they were: a doubt, or not verified
    std::uint64_t failedSearches = 0;  // searches a failure cut short
    std::uint64_t lostReplies = 0;     // replies its full receive buffer lost
    std::uint32_t lastSearchMs = 0;    // how long the last search took
    std::int64_t lastSearchTime = 0;   // when it ended, in seconds since 1970 (UTC)
};

// An expected row: answering in the last search, or missing; the interface
// (a position in interfaces) it belongs to: the one it names, else the one
// whose subnet holds its address; -1 where none does.
struct ExpectedMetric {
    const ExpectedRow* row = nullptr;
    int interfacePosition = -1;
    bool up = false;
};

struct LineMetrics {
    const ExpectedList* expectedList = nullptr;  // --expect, or null
    std::uint64_t searches = 0;                  // recorded so far
    std::vector<ControllerMetric> controllers;  // in the order they first answered
    std::vector<InterfaceMetric> interfaces;    // in the order watched
    std::vector<ExpectedMetric> expected;       // in the list's order
    std::uint64_t filteredReplies = 0;  // replies the reverse-path filter dropped, every interface at once
};

// The interfaces watched (their names and prefixes as the platform gives
// them) and the expected list (null: none), before the first search.
void StartLineMetrics(LineMetrics& metrics, const std::vector<InterfaceMetric>& interfaces,
                      const ExpectedList* expected);

// What one search of the watch saw and what it cost, per interface in the
// order watched.
struct SearchSeen {
    const std::vector<Reply>* rows = nullptr;
    const std::vector<Change>* changes = nullptr;  // CompareSearch's of these rows
    const WatchState* state = nullptr;             // after CompareSearch
    // The interfaces searched, in the order of cutShort and lost (empty: the
    // metrics' own, in their order); an interface of the metrics not among
    // them (gone from the workstation) keeps its series as they were.
    std::vector<BroadcastInterface> searched;
    std::vector<bool> cutShort;                    // a failure cut its window short
    std::vector<std::uint32_t> lost;               // replies its receive buffer lost
    std::uint64_t filtered = 0;
    std::uint32_t searchMs = 0;
    std::int64_t endTime = 0;
};
void RecordSearch(LineMetrics& metrics, const SearchSeen& seen);

// The interfaces a watch searches now: one it did not have before joins the
// metrics (its series from now on); one gone keeps its series, no longer
// present.
void FollowInterfaces(LineMetrics& metrics, const std::vector<InterfaceMetric>& now);

}  // namespace scout::ops
