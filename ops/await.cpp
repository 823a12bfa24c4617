// The wait after commands (see await.h).
#include "ops/await.h"

#include "ops/answers.h"

namespace scout::ops {

std::vector<BroadcastInterface> StillWatched(const std::vector<Awaited>& awaited) {
    std::vector<BroadcastInterface> where;
    for (const Awaited& one : awaited) {
        if (Done(one.verdict))
            continue;
        bool known = false;
        for (const BroadcastInterface& entry : where)
            known = known || SameInterface(entry, one.decision.via);
        if (!known)
            where.push_back(one.decision.via);
    }
    return where;
}

void AwaitEffects(const NetPlatform& platform, std::vector<Awaited>& awaited, const std::vector<Reply>& before,
                  std::uint32_t limitMs, const Looks& looks, std::vector<Reply>* last) {
    for (Awaited& one : awaited)
        for (const Reply& row : before)
            if (SameInterface(row.via, one.decision.via))
                one.watch.answeredBefore.push_back(row.address);
    const std::uint32_t start = platform.now(platform.context);
    for (std::vector<BroadcastInterface> where = StillWatched(awaited); !where.empty(); where = StillWatched(awaited)) {
        last->clear();
        looks.look(looks.context, where, LookWindowMs, last);
        const std::uint32_t waited = platform.now(platform.context) - start;
        const int interrupted = looks.interrupted != nullptr ? looks.interrupted(looks.context) : 0;
        const double seconds = waited / 1000.0;
        for (Awaited& one : awaited) {
            if (Done(one.verdict))
                continue;
            if (interrupted != 0) {
                one.verdict.kind = OutcomeKind::Interrupted;
                one.verdict.seconds = seconds;
                one.verdict.interruptedBy = interrupted;
                if (one.request.kind == CommandKind::Reconfigure)
                    one.verdict.verification = VerifyReconfigure(one.decision, one.request.values.address, *last);
                continue;
            }
            const bool goneBefore = one.watch.goneSeen;
            one.verdict = JudgeLook(one.request, one.decision, one.watch, *last, seconds);
            if (one.watch.goneSeen && !goneBefore && looks.wentAway != nullptr)
                looks.wentAway(looks.context, one, waited);
            if (!Done(one.verdict) && waited >= limitMs)
                one.verdict = JudgeEnd(one.request, one.decision, one.watch, *last, seconds);
        }
    }
}

void MarkLostReplies(std::vector<Awaited>& awaited) {
    for (Awaited& one : awaited)
        if (one.verdict.kind == OutcomeKind::Gone || one.verdict.kind == OutcomeKind::NotSeen)
            one.verdict.repliesLost = true;
}

}  // namespace scout::ops
