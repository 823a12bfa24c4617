// What a watch keeps of the line for monitoring (see line_metrics.h).
#include "ops/line_metrics.h"

#include <cstdio>
#include <map>
#include <utility>

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
        } else if (InSubnet(row.address, entry.via.address, entry.prefixLength)) {
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

// Where a controller answers: its interface and its address.
using Place = std::pair<std::pair<NetAddress, std::uint32_t>, std::string>;

Place PlaceOf(const BroadcastInterface& via, const char* address) {
    return {{via.address, via.index}, address};
}

// The rows of one search by place, each place's in the order listed.
using Places = std::map<Place, std::vector<const Reply*>>;

Places RowsByPlace(const std::vector<Reply>& rows) {
    Places places;
    for (const Reply& row : rows)
        places[PlaceOf(row.via, row.address)].push_back(&row);
    return places;
}

// What the last search that went through an interface saw there.
void CountAnswers(InterfaceMetric& entry, const Places& places) {
    entry.controllers = entry.duplicates = entry.conflicts = 0;
    for (const auto& [place, here] : places) {
        if (!SameInterface(here.front()->via, entry.via))
            continue;
        ++entry.controllers;
        entry.duplicates += here.size() > 1 ? 1 : 0;
        entry.conflicts += WhoShares(here).macs.size() > 1 ? 1 : 0;
    }
}

void RecordControllers(LineMetrics& metrics, const SearchSeen& seen, const Places& places) {
    std::map<Place, std::size_t> shown;  // each controller's position in metrics.controllers
    for (std::size_t c = 0; c < metrics.controllers.size(); ++c)
        shown[PlaceOf(metrics.controllers[c].via, metrics.controllers[c].address.c_str())] = c;
    for (const KnownController& known : seen.state->known) {
        const Place place = PlaceOf(known.row.via, known.row.address);
        const auto here = places.find(place);
        if (here == places.end())
            continue;  // missed once: not gone yet
        auto at = shown.find(place);
        if (at == shown.end()) {
            metrics.controllers.push_back(ControllerMetric{known.row.via, known.row.address, {}, true});
            at = shown.emplace(place, metrics.controllers.size() - 1).first;
        }
        ControllerMetric& controller = metrics.controllers[at->second];
        controller.rows = Distinct(here->second);
        controller.up = true;
    }
    for (const Change& change : *seen.changes) {
        if (change.kind == ChangeKind::Gone)
            if (const auto at = shown.find(PlaceOf(change.row.via, change.row.address)); at != shown.end())
                metrics.controllers[at->second].up = false;
        const int position = PositionOf(metrics, change.row.via);
        if (position < 0)
            continue;
        InterfaceMetric& metric = metrics.interfaces[static_cast<std::size_t>(position)];
        metric.conflictEvents += change.kind == ChangeKind::Conflict ? 1 : 0;
        metric.readdressed += change.kind == ChangeKind::Readdressed ? 1 : 0;
        metric.notReaddressed += change.kind == ChangeKind::Held ? 1 : 0;
    }
}

// Each expected row answering or missing; one whose interface's window a
// failure cut short stays as it was.
void RecordExpected(LineMetrics& metrics, const SearchSeen& seen, const std::vector<bool>& cut) {
    if (metrics.expectedList == nullptr)
        return;
    const ExpectedRow* first = metrics.expectedList->rows.data();
    for (const AuditResult& result : AuditLine(*metrics.expectedList, *seen.rows)) {
        if (result.expected == nullptr)
            continue;  // a controller the list does not name
        ExpectedMetric& expected = metrics.expected[static_cast<std::size_t>(result.expected - first)];
        const int position = expected.interfacePosition;
        if (position < 0 || !cut[static_cast<std::size_t>(position)])
            expected.up = result.status != AuditStatus::Missing;
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
    const Places places = RowsByPlace(*seen.rows);
    // Each interface of the metrics where this search has it; one it did not
    // search counts as cut short (its rows stay as they were).
    std::vector<bool> cut(metrics.interfaces.size(), false);
    for (std::size_t i = 0; i < metrics.interfaces.size(); ++i) {
        InterfaceMetric& entry = metrics.interfaces[i];
        std::size_t at = i;
        if (!seen.searched.empty()) {
            at = seen.searched.size();
            for (std::size_t s = 0; s < seen.searched.size(); ++s)
                at = SameInterface(seen.searched[s], entry.via) ? s : at;
        }
        if (at >= seen.cutShort.size() && !seen.searched.empty()) {
            cut[i] = true;
            continue;
        }
        entry.lastSearchMs = seen.searchMs;
        entry.lastSearchTime = seen.endTime;
        entry.lostReplies += at < seen.lost.size() ? seen.lost[at] : 0;
        if (at < seen.cutShort.size() && seen.cutShort[at]) {
            ++entry.failedSearches;
            cut[i] = true;
            continue;
        }
        entry.searched = true;
        CountAnswers(entry, places);
    }
    RecordControllers(metrics, seen, places);
    RecordExpected(metrics, seen, cut);
}

void FollowInterfaces(LineMetrics& metrics, const std::vector<InterfaceMetric>& now) {
    // One series per name and address: an adapter plugged in again comes
    // back with another index (Linux numbers it anew), as the same series.
    const auto same = [](const InterfaceMetric& a, const InterfaceMetric& b) {
        return SameInterface(a.via, b.via) || (a.via.address == b.via.address && a.name == b.name);
    };
    for (InterfaceMetric& entry : metrics.interfaces)
        entry.present = false;
    for (const InterfaceMetric& there : now) {
        InterfaceMetric* known = nullptr;
        for (InterfaceMetric& entry : metrics.interfaces)
            if (known == nullptr && same(entry, there))
                known = &entry;
        if (known == nullptr) {
            metrics.interfaces.push_back(there);
            continue;
        }
        known->via = there.via;
        known->prefixLength = there.prefixLength;
        known->present = true;
    }
    for (ExpectedMetric& expected : metrics.expected)
        if (expected.interfacePosition < 0)
            expected.interfacePosition = ExpectedInterface(metrics, *expected.row);
}

}  // namespace scout::ops
