// A plan of commands for apply (see cli_plan.h).
#include "cli/cli_plan.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cli/cli_args.h"
#include "ops/csv.h"
#include "ops/text.h"
#include "net/address.h"
#include "net/error_report.h"

namespace scout::cli {
namespace {

std::string Quote(const std::string& text) {
    return "'" + QuoteOperand(text.c_str()) + "'";
}

}  // namespace

std::vector<std::string> PlanProblemLines(std::vector<PlanSaid> problems) {
    std::stable_sort(problems.begin(), problems.end(),
                     [](const PlanSaid& a, const PlanSaid& b) { return a.line < b.line; });
    std::vector<std::string> lines;
    for (const PlanSaid& said : problems)
        lines.push_back(said.line != 0 ? "line " + std::to_string(said.line) + ": " + said.why : said.why);
    return lines;
}

std::vector<PlanRow> ReadPlan(const std::string& text, std::vector<PlanSaid>* problems) {
    std::vector<PlanRow> rows;
    const CsvFile file = ReadCsv(text, CsvLimits{MaxPlanBytes, MaxPlanLineBytes, MaxPlanRows});
    const bool lineFault = !file.faults.empty() && file.faults[0].line == 1 &&
                           file.faults[0].kind != CsvFaultKind::QuoteNotEnded &&
                           file.faults[0].kind != CsvFaultKind::TextAfterQuote &&
                           file.faults[0].kind != CsvFaultKind::QuoteInField;
    if (!file.faults.empty() && file.faults[0].kind == CsvFaultKind::TooLarge) {
        problems->push_back({0, "larger than " + std::to_string(MaxPlanBytes / 1024) + " KiB"});
        return rows;
    }
    if (!file.faults.empty() && file.faults[0].kind == CsvFaultKind::NoHeader) {
        problems->push_back({0, "empty: a plan starts with the header " + std::string(PlanHeader)});
        return rows;
    }
    if (lineFault) {
        problems->push_back({1, CsvFaultText(file.faults[0])});
        return rows;
    }
    if (file.headerText != PlanHeader) {
        // A spreadsheet set to a European locale saves "CSV" with semicolons.
        std::string commas = file.headerText;
        for (char& c : commas)
            c = c == ';' ? ',' : c;
        const std::string hint = commas == PlanHeader && commas != file.headerText
                                     ? "; the separator is a comma, not a semicolon (save the sheet as "
                                       "\"CSV UTF-8 (comma delimited)\")"
                                     : "";
        problems->push_back({1, "the header is " + Quote(file.headerText) + ", not " + PlanHeader + hint});
        return rows;
    }
    for (const CsvFault& fault : file.faults)
        problems->push_back({fault.line, CsvFaultText(fault)});
    for (const CsvRow& fields : file.rows) {
        PlanRow row;
        row.line = fields.line;
        row.address = fields.cells[0];
        row.action = fields.cells[1];
        row.newAddress = fields.cells[2];
        row.mask = fields.cells[3];
        row.gateway = fields.cells[4];
        row.model = fields.cells[5];
        row.interfaceChoice = fields.cells[6];
        rows.push_back(row);
    }
    if (rows.empty() && problems->empty())
        problems->push_back({0, "no command: the plan has its header and nothing else"});
    return rows;
}

bool PlanRequest(const PlanRow& row, CommandRequest* request, std::string* why) {
    NetAddress target = 0;
    if (!ParseDottedAddress(row.address.c_str(), &target) || target == AnyAddress || target == BroadcastAddress) {
        *why = "the address " + Quote(row.address) + " is not a dotted-decimal unicast address";
        return false;
    }
    if (!ControllerCanHold(target)) {
        *why = "the address " + Quote(row.address) + " is no address a controller can hold";
        return false;
    }
    request->target = target;
    if (row.action == "reset") {
        request->kind = CommandKind::Reset;
    } else if (row.action == "factory-defaults") {
        request->kind = CommandKind::FactoryDefaults;
    } else if (row.action == "reconfigure") {
        request->kind = CommandKind::Reconfigure;
    } else {
        *why = "the action " + Quote(row.action) + " is none of reset, factory-defaults, reconfigure";
        return false;
    }
    if (request->kind != CommandKind::Reconfigure) {
        if (!row.newAddress.empty() || !row.mask.empty() || !row.gateway.empty()) {
            *why = "new_address, mask and gateway are for reconfigure, not " + row.action;
            return false;
        }
        return true;
    }
    char message[MessageCapacity];
    if (!CheckReconfigureFields(row.newAddress.c_str(), row.mask.c_str(), row.gateway.c_str(), &request->values,
                                message, sizeof message)) {
        *why = SafeText(message);
        return false;
    }
    return true;
}

std::vector<PlanEntry> PlanEntries(const std::vector<PlanRow>& rows, InterfaceNames& names,
                                   const InterfaceTable& table, std::vector<PlanSaid>* problems) {
    std::vector<PlanEntry> entries;
    for (const PlanRow& row : rows) {
        PlanEntry entry;
        entry.line = row.line;
        entry.model = row.model;
        std::string problem;
        if (!PlanRequest(row, &entry.request, &problem)) {
            problems->push_back({row.line, problem});
            continue;
        }
        if (!row.interfaceChoice.empty()) {
            if (!FindInterface(names, table, row.interfaceChoice.c_str(), &entry.where, &problem)) {
                problems->push_back({row.line, problem});
                continue;
            }
            entry.bound = true;
        }
        entries.push_back(entry);
    }
    return entries;
}

PlanSaid PlanProblemText(InterfaceNames& names, const std::vector<PlanEntry>& entries, const PlanProblem& problem,
                         NetAddress factory) {
    const PlanEntry* entry = nullptr;
    for (const PlanEntry& each : entries)
        if (each.line == problem.line)
            entry = &each;
    if (problem.kind == PlanProblemKind::CutShort || entry == nullptr)
        return {0, "the search of " + LabelOf(names, problem.where) +
                       " did not finish (the failure above), so no line of the plan could be checked"};
    const CommandRequest& request = entry->request;
    const std::string other = std::to_string(problem.otherLine);
    switch (problem.kind) {
    case PlanProblemKind::Refused:
        return {problem.line, RefusalText(names, request, problem.refusal, Reader::Plan)};
    case PlanProblemKind::ModelMismatch:
        return {problem.line, "the controller at " + AddressString(request.target) + " is a " +
                                  SafeText(problem.seen.c_str()) + ", not " + Quote(entry->model) +
                                  " as the plan says"};
    case PlanProblemKind::TargetTwice:
        return {problem.line, AddressString(request.target) + " is the target of line " + other + " too"};
    case PlanProblemKind::NewAddressTwice:
        return {problem.line,
                "the new address " + AddressString(request.values.address) + " is that of line " + other + " too"};
    case PlanProblemKind::FactoryTaken:
        if (request.kind == CommandKind::Reconfigure)
            return {problem.line, "the new address " + AddressString(factory) +
                                      " is the factory address, which the factory-defaults of line " + other +
                                      " gives its controller"};
        return {problem.line, "factory-defaults gives its controller the factory address " + AddressString(factory) +
                                  ", the new address of line " + other};
    case PlanProblemKind::CutShort:
        break;
    }
    return {};
}

int PlanRefusalExit(const std::vector<PlanProblem>& problems) {
    for (const PlanProblem& problem : problems)
        if (problem.kind == PlanProblemKind::Refused && RefusalExit(problem.refusal) == ExitNoTarget)
            return ExitNoTarget;
    return ExitFailure;
}

std::string SharedFactoryText(InterfaceNames& names, const SharedAddress& shared, NetAddress factory) {
    std::string lines;
    for (const int line : shared.lines)
        lines += (lines.empty() ? "" : ", ") + std::to_string(line);
    const std::size_t count = shared.lines.size() + shared.already;
    return std::to_string(count) + " controllers now share the factory address " + AddressString(factory) + " on " +
           LabelOf(names, shared.where) + " (the factory-defaults of line" + (shared.lines.size() == 1 ? " " : "s ") +
           lines +
           (shared.already != 0 ? ", and " + std::to_string(shared.already) + " that answered there before" : "") +
           "): commission them one at a time (scout-cli commission)";
}

}  // namespace scout::cli

namespace scout::cli {

std::string RenderPlanResults(const std::vector<PlanResult>& results, bool dryRun, OutputFormat format,
                              const RenderOptions& options) {
    if (format == OutputFormat::Json) {
        std::string out = results.empty() ? "[]\n" : "[\n";
        for (std::size_t i = 0; i < results.size(); ++i) {
            const PlanResult& r = results[i];
            out += "  {\"line\": " + std::to_string(r.line);
            AppendJsonKey(out, "target", r.target);
            AppendJsonKey(out, "action", r.action);
            AppendJsonKey(out, "interface", r.interfaceAddress);
            AppendJsonKey(out, "interface_name", ValidUtf8(r.interfaceName.c_str()));
            if (!r.newAddress.empty())
                AppendJsonKey(out, "new_address", r.newAddress);
            if (dryRun) {
                out += ", \"dry_run\": true";
                AppendJsonKey(out, "datagram", r.datagramHex);
            } else {
                AppendJsonKey(out, "outcome", r.outcome);
                AppendJsonKey(out, "answers_at", r.answersAt);
                out += ", \"seconds\": " + SecondsOf(r.seconds);
            }
            out += i + 1 < results.size() ? "},\n" : "}\n]\n";
        }
        return out;
    }
    std::vector<std::vector<std::string>> rows;
    for (const PlanResult& r : results) {
        const std::string where = InterfaceLabel(r.interfaceName.c_str(), r.interfaceAddress.c_str());
        if (dryRun)
            rows.push_back({std::to_string(r.line), r.target, r.action, where, r.newAddress, r.datagramHex});
        else
            rows.push_back({std::to_string(r.line), r.target, r.action, where, r.outcome, r.answersAt,
                            SecondsOf(r.seconds)});
    }
    if (dryRun) {
        const char* headers[] = {"Line", "Target", "Action", "Interface", "New address", "Datagram"};
        return RenderStrings(headers, 6, rows, format, options);
    }
    const char* headers[] = {"Line", "Target", "Action", "Interface", "Outcome", "Answers at", "Seconds"};
    return RenderStrings(headers, 7, rows, format, options);
}

int PlanExitStatus(const std::vector<int>& rowStatus) {
    int worst = ExitOk;
    for (const int status : rowStatus) {
        const auto rank = [](int s) { return s == ExitOk ? 0 : s == ExitNotAnswered ? 1 : s == ExitFailure ? 2 : 3; };
        if (rank(status) > rank(worst))
            worst = status;
    }
    return worst;
}

}  // namespace scout::cli
