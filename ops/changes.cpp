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
        if (k == state.known.size()) {
            state.known.push_back(KnownController{rows[r], 0, count > 1});
            seen.push_back(true);
            changes.push_back(Change{ChangeKind::Appeared, rows[r], 1});
            if (count > 1)
                changes.push_back(Change{ChangeKind::Duplicate, rows[r], count});
            continue;
        }
        KnownController& known = state.known[k];
        seen[k] = true;
        known.misses = 0;
        bool sameTexts = false;
        for (const Reply* row : here)
            sameTexts = sameTexts || SameTexts(*row, known.row);
        if (!sameTexts) {
            known.row = rows[r];
            changes.push_back(Change{ChangeKind::Changed, rows[r], 1});
        }
        if (count > 1 && !known.duplicate)
            changes.push_back(Change{ChangeKind::Duplicate, rows[r], count});
        else if (count == 1 && known.duplicate)
            changes.push_back(Change{ChangeKind::DuplicateEnded, rows[r], 1});
        known.duplicate = count > 1;
    }
    std::vector<KnownController> kept;
    for (std::size_t k = 0; k < state.known.size(); ++k) {
        KnownController& known = state.known[k];
        if (!seen[k] && !Failed(failed, known.row.via) && ++known.misses >= 2) {
            changes.push_back(Change{ChangeKind::Gone, known.row, 1});
            continue;
        }
        kept.push_back(known);
    }
    state.known = kept;
    return changes;
}

}  // namespace scout::ops
