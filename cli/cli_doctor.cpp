// scout-cli doctor's lines (see cli_doctor.h).
#include "cli/cli_doctor.h"

#include "ops/text.h"

namespace scout::cli {
namespace {

const char* StatusText(CheckStatus status) {
    switch (status) {
    case CheckStatus::Ok:
        return "ok";
    case CheckStatus::Warning:
        return "warning";
    case CheckStatus::Problem:
        return "problem";
    case CheckStatus::Unknown:
        return "unknown";
    }
    return "";
}

}  // namespace

std::string RenderChecks(const std::vector<CheckLine>& lines, bool json) {
    std::string out;
    if (json) {
        out = lines.empty() ? "[]\n" : "[\n";
        for (std::size_t i = 0; i < lines.size(); ++i) {
            out += "  {";
            AppendJsonKey(out, "check", lines[i].check, true);
            AppendJsonKey(out, "status", StatusText(lines[i].status));
            AppendJsonKey(out, "finding", ValidUtf8(lines[i].finding.c_str()));
            AppendJsonKey(out, "todo", ValidUtf8(lines[i].todo.c_str()));
            out += i + 1 < lines.size() ? "},\n" : "}\n]\n";
        }
        return out;
    }
    for (const CheckLine& line : lines) {
        std::string status = StatusText(line.status);
        std::string check = line.check;
        status.resize(9, ' ');
        check.resize(11, ' ');
        out += status + check + SafeText(line.finding.c_str()) +
               (line.todo.empty() ? "" : "; " + SafeText(line.todo.c_str())) + "\n";
    }
    return out;
}

}  // namespace scout::cli
