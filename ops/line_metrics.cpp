// What a watch keeps of the line for monitoring (see line_metrics.h).
#include "ops/line_metrics.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "net/address.h"
#include "ops/answers.h"
#include "ops/audit.h"

namespace scout::ops {
namespace {

int PositionOf(const LineMetrics& metrics, const BroadcastInterface& via) {
    for (std::size_t i = 0; i < metrics.interfaces.size(); ++i)
        if (SameInterface(metrics.interfaces[i].via, via))
            return static_cast<int>(i);
    return -1;
}

// The interface an expected row belongs to: the one it names, else the one
// whose subnet holds its address.
int ExpectedInterface(const LineMetrics& metrics, const ExpectedRow& row) {
    const bool named = !row.interfaceChoice.empty() || !row.interfaceName.empty();
    for (std::size_t i = 0; i < metrics.interfaces.size(); ++i) {
        const InterfaceMetric& entry = metrics.interfaces[i];
        if (named) {
            Reply there;
            there.via = entry.via;
            std::snprintf(there.interfaceName, sizeof there.interfaceName, "%s", entry.name.c_str());
            if (OnExpectedInterface(row, there))
                return static_cast<int>(i);
        } else if (entry.prefixLength >= 0) {
            const NetAddress mask = FromHostOrder(MaskOf(entry.prefixLength));
            if ((row.address & mask) == (entry.via.address & mask))
                return static_cast<int>(i);
        }
    }
    return -1;
}

bool SameRow(const Reply& a, const Reply& b) {
    return SameTexts(a, b) && a.macSource == b.macSource && (a.macSource == MacSource::None || a.mac == b.mac);
}

// The rows at one place, each that differs from the others once.
std::vector<Reply> Distinct(const std::vector<const Reply*>& here) {
    std::vector<Reply> rows;
    for (const Reply* row : here) {
        bool known = false;
        for (const Reply& kept : rows)
            known = known || SameRow(kept, *row);
        if (!known)
            rows.push_back(*row);
    }
    return rows;
}

ControllerMetric* ControllerAt(LineMetrics& metrics, const BroadcastInterface& via, const char* address) {
    for (ControllerMetric& controller : metrics.controllers)
        if (SameInterface(controller.via, via) && controller.address == address)
            return &controller;
    return nullptr;
}

// What the last search that went through an interface saw there.
void CountAnswers(InterfaceMetric& entry, const std::vector<Reply>& rows) {
    entry.controllers = entry.duplicates = entry.conflicts = 0;
    std::vector<NetAddress> addresses = AnsweringAddresses(rows, &entry.via);
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    for (const NetAddress address : addresses) {
        const std::vector<const Reply*> here = AnswersAt(rows, address, entry.via);
        ++entry.controllers;
        entry.duplicates += here.size() > 1 ? 1 : 0;
        entry.conflicts += WhoShares(here).who == WhoAnswers::SeveralControllers ? 1 : 0;
    }
}

void RecordControllers(LineMetrics& metrics, const SearchSeen& seen) {
    for (const KnownController& known : seen.state->known) {
        const std::vector<const Reply*> here = AnswersAt(*seen.rows, std::string(known.row.address), known.row.via);
        if (here.empty())
            continue;  // missed once: not gone yet
        ControllerMetric* controller = ControllerAt(metrics, known.row.via, known.row.address);
        if (controller == nullptr) {
            metrics.controllers.push_back(ControllerMetric{known.row.via, known.row.address, {}, true});
            controller = &metrics.controllers.back();
        }
        controller->rows = Distinct(here);
        controller->up = true;
    }
    for (const Change& change : *seen.changes) {
        if (change.kind == ChangeKind::Gone)
            if (ControllerMetric* controller = ControllerAt(metrics, change.row.via, change.row.address))
                controller->up = false;
        const int position = PositionOf(metrics, change.row.via);
        if (change.kind == ChangeKind::Conflict && position >= 0)
            ++metrics.interfaces[static_cast<std::size_t>(position)].conflictEvents;
    }
}

// Each expected row answering or missing; one whose interface's window a
// failure cut short stays as it was.
void RecordExpected(LineMetrics& metrics, const SearchSeen& seen) {
    if (metrics.expectedList == nullptr)
        return;
    for (const AuditResult& result : AuditLine(*metrics.expectedList, *seen.rows)) {
        for (ExpectedMetric& expected : metrics.expected) {
            if (expected.row != result.expected)
                continue;
            const int position = expected.interfacePosition;
            if (position < 0 || static_cast<std::size_t>(position) >= seen.cutShort.size() ||
                !seen.cutShort[static_cast<std::size_t>(position)])
                expected.up = result.status != AuditStatus::Missing;
        }
    }
    for (InterfaceMetric& entry : metrics.interfaces)
        entry.expectedMissing = 0;
    for (const ExpectedMetric& expected : metrics.expected)
        if (!expected.up && expected.interfacePosition >= 0)
            ++metrics.interfaces[static_cast<std::size_t>(expected.interfacePosition)].expectedMissing;
}

}  // namespace

void StartLineMetrics(LineMetrics& metrics, const std::vector<InterfaceMetric>& interfaces,
                      const ExpectedList* expected) {
    metrics = LineMetrics{};
    metrics.interfaces = interfaces;
    metrics.expectedList = expected;
    if (expected == nullptr)
        return;
    for (const ExpectedRow& row : expected->rows)
        metrics.expected.push_back(ExpectedMetric{&row, ExpectedInterface(metrics, row), false});
}

void RecordSearch(LineMetrics& metrics, const SearchSeen& seen) {
    ++metrics.searches;
    metrics.filteredReplies += seen.filtered;
    for (std::size_t i = 0; i < metrics.interfaces.size(); ++i) {
        InterfaceMetric& entry = metrics.interfaces[i];
        entry.lastSearchMs = seen.searchMs;
        entry.lastSearchTime = seen.endTime;
        entry.lostReplies += i < seen.lost.size() ? seen.lost[i] : 0;
        if (i < seen.cutShort.size() && seen.cutShort[i]) {
            ++entry.failedSearches;
            continue;
        }
        entry.searched = true;
        CountAnswers(entry, *seen.rows);
    }
    RecordControllers(metrics, seen);
    RecordExpected(metrics, seen);
}

}  // namespace scout::ops
