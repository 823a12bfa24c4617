// The acceptance report (see cli_report.h).
#include "cli/cli_report.h"

#include <algorithm>
#include <cstdio>

#include "cli/cli_audit.h"
#include "cli/cli_render.h"
#include "ops/hosts.h"
#include "ops/text.h"

namespace scout::cli {
namespace {

// Printable on A4 as it stands: the page's margins, a table head repeated on
// each page, no row cut across two, the statuses' colours kept in print.
constexpr const char* Style = R"(
@page { size: A4; margin: 14mm 12mm;
        @bottom-right { content: "page " counter(page) " of " counter(pages); font: 8pt sans-serif; color: #555; } }
@media screen { body { padding: 8mm 4mm; } }
* { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
body { font: 9.5pt/1.35 "DejaVu Sans", Arial, sans-serif; color: #111; margin: 0 auto; max-width: 186mm; }
h1 { font-size: 16pt; margin: 0 0 3mm; }
h2 { font-size: 11.5pt; margin: 6mm 0 2mm; border-bottom: 0.4mm solid #444; }
table { border-collapse: collapse; width: 100%; }
th, td { border: 0.25mm solid #999; padding: 0.8mm 1.4mm; text-align: left; vertical-align: top; }
th { background: #e8e8e8; }
thead { display: table-header-group; }
tr { page-break-inside: avoid; break-inside: avoid; }
table.facts th { width: 38mm; }
.mono { font-family: "DejaVu Sans Mono", Consolas, monospace; font-size: 8.5pt; overflow-wrap: anywhere; }
td.status { font-weight: bold; white-space: nowrap; }
tr.ok td.status { background: #cdebcd; }
tr.mismatch td.status { background: #fbdca8; }
tr.missing td.status, tr.duplicate td.status { background: #f4bcbc; }
tr.unexpected td.status { background: #d3dcf5; }
tr.unverified td.status { background: #f3efb8; }
tr.not.searched td.status { background: #e4e4e4; }
.unread { font-style: italic; color: #444; }
.differs { background: #fbdca8; font-weight: bold; }
.other { font-family: "DejaVu Sans", Arial, sans-serif; color: #444; }
p.summary { font-size: 11pt; font-weight: bold; margin: 1mm 0; }
table.signoff td { height: 14mm; }
table.signoff th { width: 42mm; }
.signature { page-break-inside: avoid; break-inside: avoid; }
p.legend { margin-top: 1.5mm; font-size: 8pt; color: #444; }
)";

void Cell(std::string& out, const std::string& text, const char* attributes = "") {
    out += "<td";
    out += attributes;
    out += ">" + HtmlText(text) + "</td>";
}

void Fact(std::string& out, const char* name, const std::string& value, const char* attributes = "") {
    out += "<tr><th>";
    out += name;
    out += "</th>";
    Cell(out, value, attributes);
    out += "</tr>\n";
}

bool Differs(const AuditResult& result, const char* field) {
    for (const std::string& f : result.fields)
        if (f == field)
            return true;
    return false;
}

// One line of the expected or found side: "model KRV-ETH1A2B", marked where it differs.
void SideLine(std::string& out, const char* field, const std::string& value, bool differs) {
    if (value.empty())
        return;
    out += differs ? "<div class=\"differs\">" : "<div>";
    out += std::string(field) + " " + HtmlText(value) + "</div>";
}

std::string Expectation(const ops::ExpectedText& text) {
    return text.text.empty() ? "" : (text.minimum ? ">=" : "") + text.text;
}

void ResultRow(std::string& out, const AuditResult& result) {
    const char* status = AuditStatusName(result.status);
    out += "<tr class=\"" + std::string(status) + "\">";
    Cell(out, status, " class=\"status\"");
    const ExpectedRow* row = result.expected;
    Cell(out, row != nullptr ? row->name : "");
    Cell(out, row != nullptr ? row->addressText : std::string(result.found.front().address), " class=\"mono\"");
    Cell(out, ResultInterface(result));
    out += "<td class=\"mono\">";
    if (row != nullptr) {
        SideLine(out, "model", row->model, Differs(result, "model"));
        SideLine(out, "version", Expectation(row->version), Differs(result, "version"));
        SideLine(out, "revision", Expectation(row->revision), Differs(result, "revision"));
        SideLine(out, "mac", row->macGiven ? MacText(row->mac) : "", Differs(result, "mac"));
        if (ExpectedSummary(*row) == "any")
            out += "<div>any controller</div>";
        for (const auto& [column, cell] : row->others)
            out += "<div class=\"other\">" + HtmlText(column) + " " + HtmlText(cell) + "</div>";
    } else {
        out += "<div>not in the list</div>";
    }
    out += "</td><td class=\"mono\">";
    if (result.found.empty())
        out += "<div>no answer</div>";
    for (std::size_t i = 0; i < result.found.size(); ++i) {
        const Reply& found = result.found[i];
        if (i > 0)
            out += "<hr>";
        SideLine(out, "model", DeviceText(found.model), Differs(result, "model"));
        SideLine(out, "version", DeviceText(found.version), Differs(result, "version"));
        SideLine(out, "revision", DeviceText(found.revision), Differs(result, "revision"));
        SideLine(out, "mac", RowMacText(found), Differs(result, "mac"));
        for (const std::string& field : result.unread)
            out += "<div class=\"unread\">" + HtmlText(field) + " not read here</div>";
        if (result.oneMac) {
            out += "<div class=\"other\">" + std::to_string(result.found.size()) +
                   " replies with these texts, every one from this MAC: counted as one</div>";
            break;
        }
    }
    out += "</td></tr>\n";
}

void Changes(std::string& out, const std::vector<RecordLine>& changes) {
    out += "<h2>Changes on record for these addresses</h2>\n";
    if (changes.empty()) {
        out += "<p>The record of changes holds none.</p>\n";
        return;
    }
    out += "<table class=\"changes\"><thead><tr><th>Time</th><th>User</th><th>Command</th><th>Address</th>"
           "<th>New address</th><th>Outcome</th><th>Answers at</th></tr></thead><tbody>\n";
    for (const RecordLine& line : changes) {
        out += "<tr>";
        Cell(out, line.time, " class=\"mono\"");
        Cell(out, line.user);
        Cell(out, line.command);
        Cell(out, line.target, " class=\"mono\"");
        Cell(out, line.newAddress, " class=\"mono\"");
        Cell(out, line.outcome.empty() ? line.event : line.outcome);
        Cell(out, line.answersAt, " class=\"mono\"");
        out += "</tr>\n";
    }
    out += "</tbody></table>\n";
}

// The block stands on its own where it is printed on a page of its own.
void SignOff(std::string& out, const ReportFacts& facts) {
    out += "<div class=\"signature\"><h2>Sign-off: " + HtmlText(facts.title) + ", " + HtmlText(facts.time) +
           "</h2>\n<table class=\"signoff\"><thead><tr><th>Role</th><th>Name</th>"
           "<th>Date</th><th>Signature</th></tr></thead><tbody>\n"
           "<tr><th>Commissioning engineer</th><td></td><td></td><td></td></tr>\n"
           "<tr><th>Customer</th><td></td><td></td><td></td></tr>\n"
           "</tbody></table></div>\n";
}

std::string Listed(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : "; ") + item;
    return out.empty() ? "none" : out;
}

}  // namespace

std::string HtmlText(const std::string& text) {
    const std::string safe = SafeText(ValidUtf8(text.c_str()).c_str());
    std::string out;
    for (const char c : safe) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string AuditReportHtml(const ReportFacts& facts) {
    const std::vector<AuditResult>& results = *facts.results;
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                      HtmlText(facts.title) + "</title>\n<style>" + Style + "</style>\n</head>\n<body>\n";
    out += "<h1>" + HtmlText(facts.title) + "</h1>\n<table class=\"facts\"><tbody>\n";
    Fact(out, "Date and time", facts.time);
    Fact(out, "Workstation", facts.host + ", user " + facts.user);
    Fact(out, "Tool", "Ethernet Scout " + facts.version + " (scout-cli audit)");
    Fact(out, "Interfaces searched", Listed(facts.searched));
    Fact(out, "Interfaces skipped", Listed(facts.skipped));
    Fact(out, "Expected list", facts.expectedName + " (" + std::to_string(facts.expected->rows.size()) +
                                   (facts.expected->rows.size() == 1 ? " row)" : " rows)"));
    Fact(out, "SHA-256 of the list", facts.expectedSha256, " class=\"mono\"");
    out += "</tbody></table>\n<h2>Summary</h2>\n<p class=\"summary\">" + HtmlText(AuditSummary(results)) + "</p>\n";
    out += "<h2>Results</h2>\n<table class=\"results\"><thead><tr><th>Status</th><th>Name</th><th>IP address</th>"
           "<th>Interface</th><th>Expected</th><th>Found</th></tr></thead><tbody>\n";
    for (const AuditResult& result : results)
        ResultRow(out, result);
    out += "</tbody></table>\n<p class=\"legend\">Deviations first: mismatch (a field differs, marked), missing "
           "(no answer), duplicate (more than one controller at the address), unexpected (a controller the list does "
           "not name); then unverified (it answers and what could be read matches, but a field the list gives could "
           "not be read here: a MAC is read from each reply's own frame, as root on Linux, or where the system "
           "confirmed it during the search) and not searched (the row's interface was not searched: another was "
           "chosen, or this workstation has none of that name).</p>\n";
    Changes(out, facts.changes);
    SignOff(out, facts);
    return out + "</body>\n</html>\n";
}

std::vector<std::string> ResultAddresses(const std::vector<AuditResult>& results) {
    std::vector<std::string> addresses;
    for (const AuditResult& result : results) {
        if (result.expected != nullptr)
            addresses.push_back(result.expected->addressText);
        for (const Reply& found : result.found)
            addresses.push_back(found.address);
    }
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    return addresses;
}

bool ChangeAbout(const RecordLine& line, const std::vector<std::string>& addresses) {
    if (line.event != "outcome")
        return false;
    for (const std::string* address : {&line.target, &line.newAddress, &line.answersAt})
        if (!address->empty() && std::binary_search(addresses.begin(), addresses.end(), *address))
            return true;
    return false;
}

}  // namespace scout::cli
