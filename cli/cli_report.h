// The acceptance report of an audit: one self-contained HTML page (nothing
// loaded from elsewhere, no script), printable on A4 as it stands, every text
// of a controller or of the expected list escaped.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_render.h"
#include "ops/audit.h"
#include "ops/record.h"

namespace scout::cli {

struct ReportFacts {
    std::string title;          // --title, or "Controller acceptance"
    std::string time;           // ISO 8601 with its zone
    std::string host, user, version;
    std::vector<std::string> searched;  // "ws0 10.1.0.1"
    std::vector<std::string> skipped;   // "docker0 172.17.0.1: no carrier"
    std::string expectedName, expectedSha256;
    const ExpectedList* expected = nullptr;
    const std::vector<AuditResult>* results = nullptr;
    std::vector<RecordLine> changes;    // of the record, for the addresses of the results
};

// Text as HTML: &, <, >, " and ' as references; control characters as \xNN.
std::string HtmlText(const std::string& text);

std::string AuditReportHtml(const ReportFacts& facts);

// The addresses the results are about (expected and found), each once, sorted.
std::vector<std::string> ResultAddresses(const std::vector<AuditResult>& results);
// Whether a record's line is about one of them: its target, its new address
// or where the controller answered afterwards; its outcome lines only (the
// intent before each is the same command).
bool ChangeAbout(const RecordLine& line, const std::vector<std::string>& addresses);

}  // namespace scout::cli
