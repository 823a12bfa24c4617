// A plan of commands for apply (see cli_plan.h).
#include "cli/cli_plan.h"

#include <cstdio>
#include <cstring>

#include "cli/cli_args.h"
#include "cli/cli_text.h"
#include "net/address.h"
#include "net/error_report.h"

namespace scout::cli {
namespace {

std::string At(int line, const std::string& why) {
    return "line " + std::to_string(line) + ": " + why;
}

// The fields of one line as RFC 4180 writes them (no line break inside a
// quoted field: a plan is read line by line); false with why.
bool SplitFields(const std::string& line, std::vector<std::string>* fields, std::string* why) {
    fields->assign(1, std::string());
    std::size_t i = 0;
    while (i <= line.size()) {
        std::string& field = fields->back();
        if (i < line.size() && line[i] == '"') {
            for (++i;; ++i) {
                if (i >= line.size()) {
                    *why = "a quoted field does not end on its line";
                    return false;
                }
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i];
            }
            if (i < line.size() && line[i] != ',') {
                *why = "text after the closing quote of field " + std::to_string(fields->size());
                return false;
            }
        } else {
            for (; i < line.size() && line[i] != ','; ++i) {
                if (line[i] == '"') {
                    *why = "a quote inside unquoted field " + std::to_string(fields->size());
                    return false;
                }
                field += line[i];
            }
        }
        if (i >= line.size())
            return true;
        fields->emplace_back();
        ++i;  // the comma
    }
    return true;
}

// What is wrong with a line as bytes; "" where nothing is.
std::string LineFault(const std::string& line) {
    if (line.size() > MaxPlanLineBytes)
        return "longer than " + std::to_string(MaxPlanLineBytes) + " bytes";
    if (line.empty())
        return "an empty line";
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char text[48];
            std::snprintf(text, sizeof text, "a control character (\\x%02X)", byte);
            return text;
        }
    }
    if (ValidUtf8(line.c_str()) != line)
        return "not UTF-8";
    return "";
}

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

std::string Quote(const std::string& text) {
    return "'" + QuoteOperand(text.c_str()) + "'";
}

// A refusal of the one-command checks, said for a plan line: the plan names
// an interface in its column, and says once that nothing was sent.
std::string AsPlanProblem(std::string refusal) {
    const std::string tail = "; nothing was sent.";
    if (refusal.size() >= tail.size() && refusal.compare(refusal.size() - tail.size(), tail.size(), tail) == 0)
        refusal.resize(refusal.size() - tail.size());
    const std::string option = "--interface";
    for (std::size_t at = refusal.find(option); at != std::string::npos; at = refusal.find(option, at))
        refusal.replace(at, option.size(), "the interface column");
    return refusal;
}

// What the search saw, as the one-command checks see it for a row bound to one interface.
Looked OnlyOn(const Looked& looked, const BroadcastInterface& entry) {
    Looked only;
    only.ownAddresses = looked.ownAddresses;
    for (std::size_t i = 0; i < looked.searched.size(); ++i) {
        if (!SameInterface(looked.searched[i], entry))
            continue;
        only.searched.push_back(looked.searched[i]);
        only.cutShort.push_back(i < looked.cutShort.size() && looked.cutShort[i]);
    }
    for (const CliRow& row : looked.rows)
        if (SameInterface(row.via, entry))
            only.rows.push_back(row);
    return only;
}

// Whether step asks what an earlier row asks already: the same target, the
// same new address, or the factory address that a factory-defaults row
// gives its controller on the same interface; "" where it does not.
std::string Clash(const std::vector<PlanStep>& earlier, const PlanStep& step, NetAddress factory) {
    const auto takesFactory = [&](const PlanStep& s) {
        return s.request.kind == CommandKind::FactoryDefaults ||
               (s.request.kind == CommandKind::Reconfigure && s.request.values.address == factory);
    };
    const std::string factoryText = AddressString(factory);
    for (const PlanStep& other : earlier) {
        if (other.request.target == step.request.target)
            return step.row.address + " is the target of line " + std::to_string(other.row.line) + " too";
        if (step.request.kind == CommandKind::Reconfigure && other.request.kind == CommandKind::Reconfigure &&
            other.request.values.address == step.request.values.address)
            return "the new address " + AddressString(step.request.values.address) + " is that of line " +
                   std::to_string(other.row.line) + " too";
        if (!SameInterface(other.decision.via, step.decision.via) || !takesFactory(other) || !takesFactory(step) ||
            (other.request.kind == CommandKind::FactoryDefaults && step.request.kind == CommandKind::FactoryDefaults))
            continue;
        if (step.request.kind == CommandKind::Reconfigure)
            return "the new address " + factoryText + " is the factory address, which the factory-defaults of line " +
                   std::to_string(other.row.line) + " gives its controller";
        return "factory-defaults gives its controller the factory address " + factoryText +
               ", the new address of line " + std::to_string(other.row.line);
    }
    return "";
}

}  // namespace

std::vector<PlanRow> ReadPlan(const std::string& text, std::vector<std::string>* problems) {
    std::vector<PlanRow> rows;
    if (text.size() > MaxPlanBytes) {
        problems->push_back("larger than " + std::to_string(MaxPlanBytes / 1024) + " KiB");
        return rows;
    }
    std::size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // a spreadsheet's byte order mark
    if (start >= text.size()) {
        problems->push_back("empty: a plan starts with the header " + std::string(PlanHeader));
        return rows;
    }
    std::string line;
    for (int number = 1; NextLine(text, &start, &line); ++number) {
        if (const std::string fault = LineFault(line); !fault.empty()) {
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
        if (!SplitFields(line, &fields, &why)) {
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

PlanCheck CheckPlan(const NetPlatform& platform, InterfaceNames& names, const InterfaceTable& table,
                    const std::vector<PlanRow>& rows, const Looked& looked, NetAddress factory) {
    PlanCheck check;
    // A window that did not finish could have listed any row's controller:
    // the plan cannot be checked as a whole, which is said once.
    for (std::size_t i = 0; i < looked.searched.size() && i < looked.cutShort.size(); ++i) {
        if (!looked.cutShort[i])
            continue;
        const BroadcastInterface& entry = looked.searched[i];
        check.problems.push_back("the search of " +
                                 InterfaceLabel(InterfaceNameOf(names, entry).c_str(),
                                                AddressString(entry.address).c_str()) +
                                 " did not finish (the failure above), so no line of the plan could be checked");
        check.exitCode = ExitFailure;
        return check;
    }
    bool notFound = false;
    for (const PlanRow& row : rows) {
        PlanStep step;
        step.row = row;
        std::string problem;
        if (!PlanRequest(row, &step.request, &problem)) {
            check.problems.push_back(problem);
            continue;
        }
        const Looked* where = &looked;
        Looked bound;
        if (!row.interfaceChoice.empty()) {
            BroadcastInterface entry{};
            if (!FindInterface(names, table, row.interfaceChoice.c_str(), &entry, &problem)) {
                check.problems.push_back(At(row.line, AsPlanProblem(problem)));
                continue;
            }
            bound = OnlyOn(looked, entry);
            where = &bound;
        }
        step.decision = DecideCommand(platform, names, step.request, *where);
        if (!step.decision.send) {
            notFound = notFound || step.decision.exitCode == ExitNoTarget;
            check.problems.push_back(At(row.line, AsPlanProblem(step.decision.refusal)));
            continue;
        }
        const std::string seen = DecodeWindows1252(step.decision.targetRows[0].model);
        if (!row.model.empty() && !SameIgnoringCase(seen, row.model)) {
            check.problems.push_back(At(row.line, "the controller at " + row.address + " is a " + SafeText(seen.c_str()) +
                                                      ", not " + Quote(row.model) + " as the plan says"));
            continue;
        }
        if (const std::string clash = Clash(check.steps, step, factory); !clash.empty()) {
            check.problems.push_back(At(row.line, clash));
            continue;
        }
        check.steps.push_back(step);
    }
    if (!check.problems.empty()) {
        check.exitCode = notFound ? ExitNoTarget : ExitFailure;
        check.steps.clear();
    }
    return check;
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
                out += ", \"seconds\": " + SecondsText(r.seconds);
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
                            SecondsText(r.seconds)});
    }
    if (dryRun) {
        const char* headers[] = {"Line", "Target", "Action", "Interface", "New address", "Datagram"};
        return RenderStrings(headers, 6, rows, format, options);
    }
    const char* headers[] = {"Line", "Target", "Action", "Interface", "Outcome", "Answers at", "Seconds"};
    return RenderStrings(headers, 7, rows, format, options);
}

std::vector<std::string> SharedFactoryAddress(InterfaceNames& names, const std::vector<PlanStep>& steps,
                                              const Looked& looked, NetAddress factory) {
    const std::string factoryText = AddressString(factory);
    std::vector<BroadcastInterface> where;
    for (const PlanStep& step : steps) {
        bool known = false;
        for (const BroadcastInterface& entry : where)
            known = known || SameInterface(entry, step.decision.via);
        if (!known && step.request.kind == CommandKind::FactoryDefaults)
            where.push_back(step.decision.via);
    }
    std::vector<std::string> warnings;
    for (const BroadcastInterface& entry : where) {
        std::string lines;
        std::size_t count = 0;
        for (const PlanStep& step : steps) {
            if (step.request.kind != CommandKind::FactoryDefaults || !SameInterface(step.decision.via, entry))
                continue;
            lines += (lines.empty() ? "" : ", ") + std::to_string(step.row.line);
            ++count;
        }
        // Those that answered there before and stay: no reconfigure moves
        // them away, and no factory-defaults row counted them already.
        std::size_t already = 0;
        for (const CliRow& row : looked.rows) {
            if (!SameInterface(row.via, entry) || factoryText != row.address)
                continue;
            bool moved = false;
            for (const PlanStep& step : steps)
                moved = moved || (step.request.target == factory && step.request.kind != CommandKind::Reset &&
                                  SameInterface(step.decision.via, entry));
            already += moved ? 0 : 1;
        }
        if (count + already < 2)
            continue;
        const std::string label =
            InterfaceLabel(InterfaceNameOf(names, entry).c_str(), AddressString(entry.address).c_str());
        warnings.push_back(std::to_string(count + already) + " controllers now share the factory address " +
                           factoryText + " on " + label + " (the factory-defaults of line" +
                           (count == 1 ? " " : "s ") + lines +
                           (already != 0 ? ", and " + std::to_string(already) + " that answered there before" : "") +
                           "): commission them one at a time (scout-cli commission)");
    }
    return warnings;
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
