// A plan checked as a whole (see plan.h).
#include "ops/plan.h"

#include "ops/answers.h"
#include "ops/text.h"

namespace scout::ops {
namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

PlanProblem Problem(PlanProblemKind kind, int line, int otherLine = 0) {
    PlanProblem problem;
    problem.kind = kind;
    problem.line = line;
    problem.otherLine = otherLine;
    return problem;
}

bool TakesFactory(const PlanStep& step, NetAddress factory) {
    return step.entry.request.kind == CommandKind::FactoryDefaults ||
           (step.entry.request.kind == CommandKind::Reconfigure && step.entry.request.values.address == factory);
}

// Whether step asks what an earlier row asks already: the same target, the
// same new address, or the factory address that a factory-defaults row
// gives its controller on the same interface.
bool Clash(const std::vector<PlanStep>& earlier, const PlanStep& step, NetAddress factory, PlanProblem* problem) {
    const CommandRequest& request = step.entry.request;
    for (const PlanStep& other : earlier) {
        const CommandRequest& asked = other.entry.request;
        if (asked.target == request.target) {
            *problem = Problem(PlanProblemKind::TargetTwice, step.entry.line, other.entry.line);
            return true;
        }
        if (request.kind == CommandKind::Reconfigure && asked.kind == CommandKind::Reconfigure &&
            asked.values.address == request.values.address) {
            *problem = Problem(PlanProblemKind::NewAddressTwice, step.entry.line, other.entry.line);
            return true;
        }
        if (!SameInterface(other.decision.via, step.decision.via) || !TakesFactory(other, factory) ||
            !TakesFactory(step, factory) ||
            (asked.kind == CommandKind::FactoryDefaults && request.kind == CommandKind::FactoryDefaults))
            continue;
        *problem = Problem(PlanProblemKind::FactoryTaken, step.entry.line, other.entry.line);
        return true;
    }
    return false;
}

}  // namespace

PlanCheck CheckPlan(const NetPlatform& platform, const std::vector<PlanEntry>& entries, const Looked& looked,
                    NetAddress factory) {
    PlanCheck check;
    // A window that did not finish could have listed any row's controller:
    // the plan cannot be checked as a whole, which is one problem.
    for (std::size_t i = 0; i < looked.searched.size() && i < looked.cutShort.size(); ++i) {
        if (!looked.cutShort[i])
            continue;
        PlanProblem cut = Problem(PlanProblemKind::CutShort, 0);
        cut.where = looked.searched[i];
        check.problems.push_back(cut);
        return check;
    }
    for (const PlanEntry& entry : entries) {
        PlanStep step;
        step.entry = entry;
        step.decision = DecideCommand(platform, entry.request, entry.bound ? OnlyOn(looked, entry.where) : looked);
        if (!step.decision.send) {
            PlanProblem refused = Problem(PlanProblemKind::Refused, entry.line);
            refused.refusal = step.decision.refusal;
            check.problems.push_back(refused);
            continue;
        }
        const std::string seen = DecodeWindows1252(step.decision.targetRows[0].model);
        if (!entry.model.empty() && !SameIgnoringCase(seen, entry.model)) {
            PlanProblem mismatch = Problem(PlanProblemKind::ModelMismatch, entry.line);
            mismatch.seen = seen;
            check.problems.push_back(mismatch);
            continue;
        }
        PlanProblem clash;
        if (Clash(check.steps, step, factory, &clash)) {
            check.problems.push_back(clash);
            continue;
        }
        check.steps.push_back(step);
    }
    if (!check.problems.empty())
        check.steps.clear();
    return check;
}

std::vector<SharedAddress> SharedFactoryAddress(const std::vector<PlanStep>& steps, const Looked& looked,
                                                NetAddress factory) {
    std::vector<SharedAddress> shared;
    for (const PlanStep& step : steps) {
        if (step.entry.request.kind != CommandKind::FactoryDefaults)
            continue;
        bool known = false;
        for (SharedAddress& each : shared) {
            if (SameInterface(each.where, step.decision.via)) {
                each.lines.push_back(step.entry.line);
                known = true;
            }
        }
        if (!known)
            shared.push_back(SharedAddress{step.decision.via, {step.entry.line}, 0});
    }
    std::vector<SharedAddress> several;
    for (SharedAddress& each : shared) {
        // Those that answered there before and stay: no reconfigure moves
        // them away, and no factory-defaults row counted them already.
        for (std::size_t i = 0; i < AnswersAt(looked.rows, factory, each.where).size(); ++i) {
            bool moved = false;
            for (const PlanStep& step : steps)
                moved = moved || (step.entry.request.target == factory &&
                                  step.entry.request.kind != CommandKind::Reset &&
                                  SameInterface(step.decision.via, each.where));
            each.already += moved ? 0 : 1;
        }
        if (each.lines.size() + each.already >= 2)
            several.push_back(each);
    }
    return several;
}

}  // namespace scout::ops
