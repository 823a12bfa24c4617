// A plan of commands for `scout-cli apply`: a CSV file (RFC 4180, a header
// line) of one command per row, read strictly and checked as a whole before
// anything is sent. Pure functions over the plan's text and what the search
// saw, so that every refusal is tested on the fake platform.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cli/cli_words.h"
#include "ops/plan.h"
#include "cli/cli_render.h"
#include "cli/cli_search.h"

namespace scout::cli {

// The header a plan starts with, its columns in this order.
constexpr const char* PlanHeader = "address,action,new_address,mask,gateway,model,interface";
constexpr std::size_t PlanColumns = 7;
constexpr std::size_t MaxPlanBytes = 1024 * 1024;
constexpr std::size_t MaxPlanLineBytes = 1024;
constexpr std::size_t MaxPlanRows = 1000;

// One row as written (its fields unquoted), with its line number.
struct PlanRow {
    int line = 0;
    std::string address, action, newAddress, mask, gateway, model, interfaceChoice;
};

// A problem of a plan as said: its line (0: the plan as a whole) and why.
struct PlanSaid {
    int line = 0;
    std::string why;
};
// Every problem, in the order of the plan's lines (the plan as a whole
// first), as "line N: why" (why alone for the whole).
std::vector<std::string> PlanProblemLines(std::vector<PlanSaid> problems);

// The rows of a plan's text (read by ops/csv's ReadCsv). Each line that
// cannot be read is one problem; an empty plan or a wrong header is one too.
std::vector<PlanRow> ReadPlan(const std::string& text, std::vector<PlanSaid>* problems);

// One row as the command it asks for: false with why where a field is wrong.
bool PlanRequest(const PlanRow& row, CommandRequest* request, std::string* why);

// The rows as the whole-plan check (ops/plan) takes them: each field read,
// the interface column found; what cannot be is a problem of its line.
std::vector<PlanEntry> PlanEntries(const std::vector<PlanRow>& rows, InterfaceNames& names,
                                   const InterfaceTable& table, std::vector<PlanSaid>* problems);

// A problem of the whole-plan check as said (a search cut short: the plan as
// a whole); and the exit status of a refused plan (ExitNoTarget where a
// target was not found or is ambiguous).
PlanSaid PlanProblemText(InterfaceNames& names, const std::vector<PlanEntry>& entries, const PlanProblem& problem,
                         NetAddress factory);
int PlanRefusalExit(const std::vector<PlanProblem>& problems);

// Where a plan leaves several controllers at the factory address of one interface.
std::string SharedFactoryText(InterfaceNames& names, const SharedAddress& shared, NetAddress factory);

// What became of one row, for the table, CSV and JSON of apply.
struct PlanResult {
    int line = 0;
    std::string target, action, interfaceName, interfaceAddress, newAddress;
    std::string outcome;    // "back", "answers", "still-answers", "not-seen", "sent", "send-failed", ...
    std::string answersAt;  // where the controller answers now, as far as was seen
    double seconds = 0;
    std::string datagramHex;  // a dry run: what would be sent
};
std::string RenderPlanResults(const std::vector<PlanResult>& results, bool dryRun, OutputFormat format,
                              const RenderOptions& options);

// The exit status of a plan that went out: the worst of its rows.
int PlanExitStatus(const std::vector<int>& rowStatus);

}  // namespace scout::cli
