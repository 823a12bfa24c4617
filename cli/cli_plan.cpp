// A plan of commands for apply (see cli_plan.h).
#include "cli/cli_plan.h"

#include <cstdio>
#include <cstring>

#include "cli/cli_args.h"
#include "ops/csv.h"
#include "ops/text.h"
#include "net/address.h"
#include "net/error_report.h"

namespace scout::cli {
namespace {

std::string At(int line, const std::string& why) {
    return "line " + std::to_string(line) + ": " + why;
}

std::string Quote(const std::string& text) {
    return "'" + QuoteOperand(text.c_str()) + "'";
}

}  // namespace

std::vector<PlanRow> ReadPlan(const std::string& text, std::vector<std::string>* problems) {
    std::vector<PlanRow> rows;
    if (text.size() > MaxPlanBytes) {
        problems->push_back("larger than " + std::to_string(MaxPlanBytes / 1024) + " KiB");
        return rows;
    }
    std::size_t start = CsvStart(text);
    if (start >= text.size()) {
        problems->push_back("empty: a plan starts with the header " + std::string(PlanHeader));
        return rows;
    }
    std::string line;
    for (int number = 1; NextLine(text, &start, &line); ++number) {
        if (const std::string fault = CsvLineFault(line, MaxPlanLineBytes); !fault.empty()) {
            problems->push_back(At(number, fault));
            continue;
        }
        if (number == 1) {
            if (line != PlanHeader) {
                // A spreadsheet set to a European locale saves "CSV" with semicolons.
                std::string commas = line;
                for (char& c : commas)
                    c = c == ';' ? ',' : c;
                const std::string hint = commas == PlanHeader && commas != line
                                             ? "; the separator is a comma, not a semicolon (save the sheet as "
                                               "\"CSV UTF-8 (comma delimited)\")"
                                             : "";
                problems->push_back(At(1, "the header is " + Quote(line) + ", not " + PlanHeader + hint));
                return rows;
            }
            continue;
        }
        std::vector<std::string> fields;
        std::string why;
        if (!SplitCsvFields(line, &fields, &why)) {
            problems->push_back(At(number, why));
            continue;
        }
        if (fields.size() != PlanColumns) {
            problems->push_back(At(number, std::to_string(fields.size()) + (fields.size() == 1 ? " column" : " columns") +
                                               ", not " + std::to_string(PlanColumns)));
            continue;
        }
        if (rows.size() == MaxPlanRows) {
            problems->push_back(At(number, "more than " + std::to_string(MaxPlanRows) + " rows"));
            return rows;
        }
        PlanRow row;
        row.line = number;
        row.address = fields[0];
        row.action = fields[1];
        row.newAddress = fields[2];
        row.mask = fields[3];
        row.gateway = fields[4];
        row.model = fields[5];
        row.interfaceChoice = fields[6];
        rows.push_back(row);
    }
    if (rows.empty() && problems->empty())
        problems->push_back("no command: the plan has its header and nothing else");
    return rows;
}

bool PlanRequest(const PlanRow& row, CommandRequest* request, std::string* problem) {
    NetAddress target = 0;
    if (!ParseDottedAddress(row.address.c_str(), &target) || target == AnyAddress || target == BroadcastAddress) {
        *problem = At(row.line, "the address " + Quote(row.address) + " is not a dotted-decimal unicast address");
        return false;
    }
    if (!ControllerCanHold(target)) {
        *problem = At(row.line, "the address " + Quote(row.address) + " is no address a controller can hold");
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
        *problem = At(row.line, "the action " + Quote(row.action) + " is none of reset, factory-defaults, reconfigure");
        return false;
    }
    if (request->kind != CommandKind::Reconfigure) {
        if (!row.newAddress.empty() || !row.mask.empty() || !row.gateway.empty()) {
            *problem = At(row.line, "new_address, mask and gateway are for reconfigure, not " + row.action);
            return false;
        }
        return true;
    }
    char message[MessageCapacity];
    if (!CheckReconfigureFields(row.newAddress.c_str(), row.mask.c_str(), row.gateway.c_str(), &request->values,
                                message, sizeof message)) {
        *problem = At(row.line, SafeText(message));
        return false;
    }
    return true;
}

std::vector<PlanEntry> PlanEntries(const std::vector<PlanRow>& rows, InterfaceNames& names,
                                   const InterfaceTable& table, std::vector<std::string>* problems) {
    std::vector<PlanEntry> entries;
    for (const PlanRow& row : rows) {
        PlanEntry entry;
        entry.line = row.line;
        entry.model = row.model;
        std::string problem;
        if (!PlanRequest(row, &entry.request, &problem)) {
            problems->push_back(problem);
            continue;
        }
        if (!row.interfaceChoice.empty()) {
            if (!FindInterface(names, table, row.interfaceChoice.c_str(), &entry.where, &problem)) {
                problems->push_back(At(row.line, problem));
                continue;
            }
            entry.bound = true;
        }
        entries.push_back(entry);
    }
    return entries;
}

std::string PlanProblemText(InterfaceNames& names, const std::vector<PlanEntry>& entries, const PlanProblem& problem,
                            NetAddress factory) {
    const PlanEntry* entry = nullptr;
    for (const PlanEntry& each : entries)
        if (each.line == problem.line)
            entry = &each;
    if (problem.kind == PlanProblemKind::CutShort || entry == nullptr)
        return "the search of " + LabelOf(names, problem.where) +
               " did not finish (the failure above), so no line of the plan could be checked";
    const CommandRequest& request = entry->request;
    const std::string other = std::to_string(problem.otherLine);
    switch (problem.kind) {
    case PlanProblemKind::Refused:
        return At(problem.line, RefusalText(names, request, problem.refusal, Reader::Plan));
    case PlanProblemKind::ModelMismatch:
        return At(problem.line, "the controller at " + AddressString(request.target) + " is a " +
                                    SafeText(problem.seen.c_str()) + ", not " + Quote(entry->model) +
                                    " as the plan says");
    case PlanProblemKind::TargetTwice:
        return At(problem.line, AddressString(request.target) + " is the target of line " + other + " too");
    case PlanProblemKind::NewAddressTwice:
        return At(problem.line, "the new address " + AddressString(request.values.address) + " is that of line " +
                                    other + " too");
    case PlanProblemKind::FactoryTaken:
        if (request.kind == CommandKind::Reconfigure)
            return At(problem.line, "the new address " + AddressString(factory) +
                                        " is the factory address, which the factory-defaults of line " + other +
                                        " gives its controller");
        return At(problem.line, "factory-defaults gives its controller the factory address " + AddressString(factory) +
                                    ", the new address of line " + other);
    case PlanProblemKind::CutShort:
        break;
    }
    return "";
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
