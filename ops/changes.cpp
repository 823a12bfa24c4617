// What changed from one search to the next (see changes.h).
#include "ops/changes.h"

#include <cstring>
#include <string>

#include "ops/answers.h"

namespace scout::ops {
namespace {

bool SamePlace(const Reply& a, const Reply& b) {
    return SameInterface(a.via, b.via) && std::strcmp(a.address, b.address) == 0;
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

}  // namespace

std::vector<Change> CompareSearch(WatchState& state, const std::vector<Reply>& rows,
                                  const std::vector<BroadcastInterface>& failed) {
    std::vector<Change> changes;
    std::vector<bool> seen(state.known.size(), false);
    std::vector<bool> handled(rows.size(), false);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (handled[r])
            continue;
        // Every reply from this address on this interface, this search.
        const std::vector<const Reply*> here = AnswersAt(rows, std::string(rows[r].address), rows[r].via);
        for (std::size_t o = r; o < rows.size(); ++o)
            handled[o] = handled[o] || SamePlace(rows[r], rows[o]);
        const int count = static_cast<int>(here.size());
        std::size_t k = 0;
        while (k < state.known.size() && !SamePlace(state.known[k].row, rows[r]))
            ++k;
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
                changes.push_back(Change{ChangeKind::Conflict, rows[r], count, ConflictKind::Shared, shared.macs});
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
            changes.push_back(Change{ChangeKind::Conflict, rows[r], 1, ConflictKind::Replaced, {before, rows[r].mac}});
        if (rows[r].macSource != MacSource::None && count == 1)
            known.row = rows[r];
        if (count > 1 && !known.duplicate)
            changes.push_back(Simple(ChangeKind::Duplicate, rows[r], count));
        else if (count == 1 && known.duplicate)
            changes.push_back(Simple(ChangeKind::DuplicateEnded, rows[r], 1));
        known.duplicate = count > 1;
        if (several && !known.conflict)
            changes.push_back(Change{ChangeKind::Conflict, rows[r], count, ConflictKind::Shared, shared.macs});
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

}  // namespace scout::ops
