// A plan of commands checked as a whole against one search, before anything
// is sent: every row as a single command is decided, its model guard, no two
// rows with one target or one new address, and the factory address a
// factory-defaults row gives its controller taken on its interface. Any
// problem refuses the whole plan. The problems are facts; the front end words
// them with their plan lines.
#pragma once

#include <string>
#include <vector>

#include "ops/command.h"

namespace scout::ops {

// One command of a plan as its file asks it.
struct PlanEntry {
    int line = 0;
    CommandRequest request;
    std::string model;               // the guard: the model it must be ("" for any), as UTF-8
    bool bound = false;              // the row names the interface the target must answer on
    BroadcastInterface where{};      // that interface
};

// A row that may go: where and how.
struct PlanStep {
    PlanEntry entry;
    Decision decision;
};

enum class PlanProblemKind {
    Refused,          // the decision of a single command refuses it: refusal
    ModelMismatch,    // the target is a seen, not the guard's model
    TargetTwice,      // its target is that of otherLine too
    NewAddressTwice,  // its new address is that of otherLine too
    FactoryTaken,     // the factory address is taken on its interface: by otherLine's factory reset (a
                      // reconfigure onto it), or by otherLine's reconfigure onto it (a factory reset)
    CutShort,         // where's window did not finish: no line of the plan could be checked
};
struct PlanProblem {
    PlanProblemKind kind = PlanProblemKind::Refused;
    int line = 0;           // 0: the plan as a whole
    Refusal refusal;        // Refused
    std::string seen;       // ModelMismatch: the model the target answers with, as UTF-8
    int otherLine = 0;
    BroadcastInterface where{};  // CutShort
};

struct PlanCheck {
    std::vector<PlanStep> steps;  // every row, where there is no problem
    std::vector<PlanProblem> problems;
};
PlanCheck CheckPlan(const NetPlatform& platform, const std::vector<PlanEntry>& entries, const Looked& looked,
                    NetAddress factory);

// Where a plan leaves several controllers at the factory address of one
// interface: its factory-defaults rows there (lines), and those that
// answered there before and stay (already).
struct SharedAddress {
    BroadcastInterface where{};
    std::vector<int> lines;
    std::size_t already = 0;
};
std::vector<SharedAddress> SharedFactoryAddress(const std::vector<PlanStep>& steps, const Looked& looked,
                                                NetAddress factory);

}  // namespace scout::ops
