// How an audit is said: the table with its summary, JSON, CSV, and the report,
// whose every text of a controller or of the list is escaped.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_audit.h"
#include "cli/cli_report.h"
#include "tests/fakes/rows.h"

namespace scout::cli {
namespace {

ExpectedList List(const std::string& text) {
    std::vector<std::string> faults;
    ExpectedList list = ReadExpected(text, &faults);
    EXPECT_TRUE(faults.empty());
    return list;
}

Reply Found(const char* address, const char* version) {
    Reply row = test::Row(address, test::If2, "KRV-ETH1A2B");
    std::snprintf(row.version, sizeof row.version, "%s", version);
    FormatAddress(row.via.address, row.interfaceAddress, sizeof row.interfaceAddress);
    std::snprintf(row.interfaceName, sizeof row.interfaceName, "ws0");
    return row;
}

const ExpectedList Expected = List("address,model,version,name,Cabinet\n"
                                   "10.1.0.20,KRV-ETH1A2B,>=2.14,Axis 1,A1\n"
                                   "10.1.0.21,,2.14,<b>Axis 2</b>,A1\n"
                                   "10.1.0.22,,,Axis 3,A2\n");
const std::vector<Reply> Rows = {Found("10.1.0.20", "2.20"), Found("10.1.0.21", "<i>\x1B[2J"),
                                 Found("10.1.0.30", "1.0")};

TEST(AuditWords, TheTableThenTheSummary) {
    const std::vector<AuditResult> results = AuditLine(Expected, Rows);
    const std::string table = RenderAudit(Expected, results, OutputFormat::Table, RenderOptions{});
    EXPECT_EQ(table.substr(0, table.find('\n')).find("Status"), 0u);
    EXPECT_NE(table.find("mismatch    <b>Axis 2</b>  10.1.0.21"), std::string::npos) << table;
    EXPECT_NE(table.find("\\x1B[2J"), std::string::npos) << "a device's control bytes escaped";
    EXPECT_LT(table.find("mismatch"), table.find("missing"));
    EXPECT_LT(table.find("unexpected"), table.find("ok  "));
    EXPECT_EQ(table.substr(table.rfind('\n', table.size() - 2) + 1), "1 ok, 1 mismatch, 1 missing, 1 unexpected\n");
    EXPECT_EQ(AuditExit(results), 1);
    EXPECT_EQ(AuditExit(AuditLine(List("address\n10.1.0.20\n"), {Found("10.1.0.20", "1")})), 0);
}

TEST(AuditWords, JsonAndCsv) {
    const std::vector<AuditResult> results = AuditLine(Expected, Rows);
    const std::string json = RenderAudit(Expected, results, OutputFormat::Json, RenderOptions{});
    EXPECT_NE(json.find("{\"status\": \"mismatch\", \"name\": \"<b>Axis 2</b>\", \"address\": \"10.1.0.21\", "
                        "\"interface\": \"10.1.0.1\", \"interface_name\": \"ws0\", \"expected\": {\"address\": "
                        "\"10.1.0.21\", \"model\": \"\", \"version\": \"2.14\", \"name\": \"<b>Axis 2</b>\", "
                        "\"Cabinet\": \"A1\"}, \"found\": {\"address\": \"10.1.0.21\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"status\": \"missing\", \"name\": \"Axis 3\", \"address\": \"10.1.0.22\", \"interface\": \"\", "
                        "\"interface_name\": \"\", \"expected\": {"),
              std::string::npos);
    EXPECT_NE(json.find("\"found\": null, \"answers\": [], \"fields\": [], \"unread\": []}"), std::string::npos);
    EXPECT_NE(json.find("\"status\": \"unexpected\", \"name\": \"\", \"address\": \"10.1.0.30\""), std::string::npos);
    const std::string csv = RenderAudit(Expected, results, OutputFormat::Csv, RenderOptions{});
    EXPECT_EQ(csv.substr(0, csv.find('\n')),
              "Status,Name,Address,Interface,Interface Name,Fields,Expected Model,Expected Version,Expected Revision,"
              "Expected MAC,Found Model,Found Version,Found Revision,Found MAC,Answers");
    EXPECT_NE(csv.find("\nmismatch,<b>Axis 2</b>,10.1.0.21,10.1.0.1,ws0,version,,2.14,,,KRV-ETH1A2B,<i>\\x1B[2J,"),
              std::string::npos)
        << csv;
}

TEST(AuditReport, EveryTextEscapedAndNothingFromElsewhere) {
    const std::vector<AuditResult> results = AuditLine(Expected, Rows);
    ReportFacts facts;
    facts.title = "Line 4 <acceptance>";
    facts.time = "2026-12-10T10:00:00+01:00";
    facts.host = "line4-pc";
    facts.user = "eng\"ineer";
    facts.version = "1.0";
    facts.searched = {"ws0 10.1.0.1"};
    facts.expectedName = "line4.csv";
    facts.expectedSha256 = std::string(64, 'a');
    facts.expected = &Expected;
    facts.results = &results;
    RecordLine change;
    change.event = "outcome";
    change.time = "2026-12-09T09:00:00+01:00";
    change.command = "reconfigure";
    change.target = "192.168.1.100";
    change.newAddress = "10.1.0.21";
    change.outcome = "answers";
    facts.changes = {change};
    const std::string html = AuditReportHtml(facts);
    EXPECT_EQ(html.find("<i>"), std::string::npos) << "a controller's bytes are no markup";
    EXPECT_EQ(html.find("<b>"), std::string::npos) << "a list's cell is no markup";
    EXPECT_NE(html.find("&lt;i&gt;\\x1B[2J"), std::string::npos);
    EXPECT_NE(html.find("&lt;b&gt;Axis 2&lt;/b&gt;"), std::string::npos);
    EXPECT_NE(html.find("<title>Line 4 &lt;acceptance&gt;</title>"), std::string::npos);
    EXPECT_NE(html.find("eng&quot;ineer"), std::string::npos);
    for (const char* external : {"http:", "https:", "src=", "<script", "@import", "url("})
        EXPECT_EQ(html.find(external), std::string::npos) << external;
    EXPECT_NE(html.find("1 ok, 1 mismatch, 1 missing, 1 unexpected"), std::string::npos);
    EXPECT_NE(html.find("<td class=\"mono\">192.168.1.100</td>"), std::string::npos) << "the change on record";
    EXPECT_NE(html.find("Commissioning engineer"), std::string::npos);
    EXPECT_NE(html.find("<div class=\"other\">Cabinet A2</div>"), std::string::npos) << "the list's own columns";
    EXPECT_NE(html.find("size: A4"), std::string::npos);
    EXPECT_TRUE(ChangeAbout(change, ResultAddresses(results)));
    change.event = "intent";
    EXPECT_FALSE(ChangeAbout(change, ResultAddresses(results))) << "a command once, by its outcome";
}

}  // namespace
}  // namespace scout::cli
