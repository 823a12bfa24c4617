// `scout-cli audit EXPECTED`: the line held against what it should be (ops/audit),
// as a table, JSON or CSV, and the acceptance report (cli_report).
#pragma once

#include <string>
#include <vector>

#include "cli/cli_render.h"
#include "ops/audit.h"

namespace scout::cli {

// A fault of an expected list as said: "line N: why", or why alone for the
// file as a whole ("larger than 4 MiB").
std::string ListFaultText(const ListFault& fault);

// The name an audit status is said by: "ok", "unverified", "not searched", "mismatch", "missing",
// "duplicate", "unexpected".
const char* AuditStatusName(AuditStatus status);

// What the row expects, as one text ("KRV-ETH1A2B >=2.14 C"; "any" where nothing is given).
std::string ExpectedSummary(const ExpectedRow& row);
// What answered, as one text ("KRV-ETH1A2B 2.14 C 02:00:5e:10:00:01"; several joined by "; ").
std::string FoundSummary(const AuditResult& result);
// The interface of a result as said: the one that answered, else the one the row names.
std::string ResultInterface(const AuditResult& result);

// "12 ok, 1 mismatch, 1 missing, 1 unexpected": the statuses that occur, in
// their order; "nothing expected, and nothing answered" where there is none.
std::string AuditSummary(const std::vector<AuditResult>& results);

// The results as the table (status first, deviations first, the summary
// last), one JSON array, or CSV.
std::string RenderAudit(const ExpectedList& expected, const std::vector<AuditResult>& results, OutputFormat format,
                        const RenderOptions& options);

// Exit 0 where every result is ok; 1 where any deviates; else 3 where a
// field could not be read (unverified) or a row's interface was not searched.
int AuditExit(const std::vector<AuditResult>& results);
// Where some given MAC could not be read: how a MAC is read, in one line ("" where all were).
std::string UnreadHint(const std::vector<AuditResult>& results, bool canReadFrames);

}  // namespace scout::cli
