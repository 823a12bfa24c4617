// Fuzzes the reading of an apply plan with hostile bytes: it never crashes;
// every row it keeps has its line number, in order, and fields free of
// control characters, and each problem names its line (or the whole plan);
// the rows written back as RFC 4180 and read again are the same rows.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_plan.h"
#include "ops/text.h"

namespace {

using scout::cli::PlanRow;

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_plan: %s\n", what);
        std::abort();
    }
}

// Every field quoted, and marked as text where a spreadsheet would run it (as
// the tool writes CSV), so that it reads back as it was.
void AppendField(std::string& out, const std::string& field, bool last) {
    out += '"';
    for (const char c : scout::ops::CsvFieldNeedsMark(field) ? "'" + field : field)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    out += last ? "\"\n" : "\",";
}

bool Clean(const std::string& field) {
    for (const char c : field)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<scout::cli::PlanSaid> said;
    const std::vector<PlanRow> rows = scout::cli::ReadPlan(text, &said);
    for (const scout::cli::PlanSaid& problem : said)
        Require(problem.line >= 0 && !problem.why.empty(), "each problem has its words");
    const std::vector<std::string> problems = scout::cli::PlanProblemLines(said);
    Require(rows.size() <= scout::cli::MaxPlanRows, "no more rows than a plan takes");
    int previous = 1;
    std::string again = std::string(scout::cli::PlanHeader) + "\n";
    for (const PlanRow& row : rows) {
        Require(row.line > previous, "rows in line order, after the header");
        previous = row.line;
        const std::string* fields[] = {&row.address, &row.action,  &row.newAddress,     &row.mask,
                                       &row.gateway, &row.model,   &row.interfaceChoice};
        for (std::size_t i = 0; i < 7; ++i) {
            Require(Clean(*fields[i]), "no control character in a field");
            AppendField(again, *fields[i], i == 6);
        }
    }
    for (const std::string& problem : problems)
        Require(problem.compare(0, 5, "line ") == 0 || problem.compare(0, 6, "empty:") == 0 ||
                    problem.compare(0, 12, "larger than ") == 0 || problem.compare(0, 11, "no command:") == 0,
                "each problem names its line, or the whole plan");
    Require(!rows.empty() || !problems.empty(), "a plan without rows is a problem");
    if (rows.empty())
        return 0;
    std::vector<scout::cli::PlanSaid> none;
    const std::vector<PlanRow> reread = scout::cli::ReadPlan(again, &none);
    bool longLine = false;
    for (const scout::cli::PlanSaid& problem : none)
        longLine = longLine || problem.why.find("longer than") != std::string::npos;
    if (longLine)
        return 0;  // quoting made a line longer than a plan line may be
    Require(none.empty() && reread.size() == rows.size(), "the rows written back read again");
    for (std::size_t i = 0; i < rows.size(); ++i)
        Require(reread[i].address == rows[i].address && reread[i].action == rows[i].action &&
                    reread[i].newAddress == rows[i].newAddress && reread[i].mask == rows[i].mask &&
                    reread[i].gateway == rows[i].gateway && reread[i].model == rows[i].model &&
                    reread[i].interfaceChoice == rows[i].interfaceChoice,
                "the same fields");
    return 0;
}
