// What changed from one search to the next (see changes.h).
#include "ops/changes.h"

#include <cstring>
#include <map>
#include <string>
#include <tuple>

#include "ops/answers.h"

namespace scout::ops {
namespace {

// Where a reply came from: its interface and its address.
using Place = std::tuple<std::uint32_t, NetAddress, std::string>;
Place PlaceOf(const Reply& row) {
    return {row.via.index, row.via.address, row.address};
}

bool Failed(const std::vector<BroadcastInterface>& failed, const BroadcastInterface& entry) {
    for (const BroadcastInterface& f : failed)
        if (SameInterface(f, entry))
            return true;
    return false;
}

Change Simple(ChangeKind kind, const Reply& row, int count) {
    Change change;
    change.kind = kind;
    change.row = row;
    change.count = count;
    return change;
}

Change ConflictOf(const Reply& row, int count, ConflictKind kind, const std::vector<MacAddress>& macs) {
    Change change = Simple(ChangeKind::Conflict, row, count);
    change.conflict = kind;
    change.macs = macs;
    return change;
}

}  // namespace

std::vector<Change> CompareSearch(WatchState& state, const std::vector<Reply>& rows,
                                  const std::vector<BroadcastInterface>& failed) {
    std::vector<Change> changes;
    std::vector<bool> seen(state.known.size(), false);
    // Every reply of this search by its place (interface and address), and
    // every controller known so far by its place: a watch of thousands costs
    // no more than a look-up per row.
    std::map<Place, std::vector<const Reply*>> places;
    for (const Reply& row : rows)
        places[PlaceOf(row)].push_back(&row);
    std::map<Place, std::size_t> knownAt;
    for (std::size_t k = 0; k < state.known.size(); ++k)
        knownAt.emplace(PlaceOf(state.known[k].row), k);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto place = places.find(PlaceOf(rows[r]));
        if (place->second.front() != &rows[r])
            continue;  // handled with the first reply of its place
        // Every reply from this address on this interface, this search.
        const std::vector<const Reply*>& here = place->second;
        const int count = static_cast<int>(here.size());
        const auto at = knownAt.find(place->first);
        std::size_t k = at != knownAt.end() ? at->second : state.known.size();
        if (at == knownAt.end())
            knownAt.emplace(place->first, k);
        const SharedAnswers shared = WhoShares(here);
        // A conflict is one address answering from several MACs at once.
        const bool several = shared.macs.size() > 1;
        if (k == state.known.size()) {
            state.known.push_back(KnownController{rows[r], 0, count > 1, several});
            seen.push_back(true);
            changes.push_back(Simple(ChangeKind::Appeared, rows[r], 1));
            if (count > 1)
                changes.push_back(Simple(ChangeKind::Duplicate, rows[r], count));
            if (several)
                changes.push_back(ConflictOf(rows[r], count, ConflictKind::Shared, shared.macs));
            continue;
        }
        KnownController& known = state.known[k];
        seen[k] = true;
        known.misses = 0;
        bool sameTexts = false;
        for (const Reply* row : here)
            sameTexts = sameTexts || SameTexts(*row, known.row);
        // One reply, from another MAC than the one known there: another device holds the address.
        const bool replaced = count == 1 && known.row.macSource != MacSource::None &&
                              rows[r].macSource != MacSource::None && known.row.mac != rows[r].mac;
        const MacAddress before = known.row.mac;
        if (!sameTexts) {
            known.row = rows[r];
            changes.push_back(Simple(ChangeKind::Changed, rows[r], 1));
        }
        if (replaced)
            changes.push_back(ConflictOf(rows[r], 1, ConflictKind::Replaced, {before, rows[r].mac}));
        if (rows[r].macSource != MacSource::None && count == 1)
            known.row = rows[r];
        if (count > 1 && !known.duplicate)
            changes.push_back(Simple(ChangeKind::Duplicate, rows[r], count));
        else if (count == 1 && known.duplicate)
            changes.push_back(Simple(ChangeKind::DuplicateEnded, rows[r], 1));
        known.duplicate = count > 1;
        if (several && !known.conflict)
            changes.push_back(ConflictOf(rows[r], count, ConflictKind::Shared, shared.macs));
        known.conflict = several;
    }
    std::vector<KnownController> kept;
    for (std::size_t k = 0; k < state.known.size(); ++k) {
        KnownController& known = state.known[k];
        if (!seen[k] && !Failed(failed, known.row.via) && ++known.misses >= 2) {
            changes.push_back(Simple(ChangeKind::Gone, known.row, 1));
            continue;
        }
        kept.push_back(known);
    }
    state.known = kept;
    return changes;
}

InterfaceChanges CompareInterfaces(const std::vector<BroadcastInterface>& before,
                                   const std::vector<BroadcastInterface>& now) {
    const auto among = [](const std::vector<BroadcastInterface>& list, const BroadcastInterface& entry) {
        for (const BroadcastInterface& other : list)
            if (SameInterface(other, entry))
                return true;
        return false;
    };
    InterfaceChanges changes;
    for (const BroadcastInterface& entry : now)
        if (!among(before, entry))
            changes.appeared.push_back(entry);
    for (const BroadcastInterface& entry : before)
        if (!among(now, entry))
            changes.gone.push_back(entry);
    return changes;
}

void ForgetInterface(WatchState& state, const BroadcastInterface& via) {
    std::vector<KnownController> kept;
    for (const KnownController& known : state.known)
        if (!SameInterface(known.row.via, via))
            kept.push_back(known);
    state.known = kept;
}

}  // namespace scout::ops
