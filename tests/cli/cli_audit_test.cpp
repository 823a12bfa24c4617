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
    std::vector<ListFault> faults;
    ExpectedList list = ReadExpected(text, &faults);
    EXPECT_TRUE(faults.empty());
    return list;
}

std::vector<std::string> Words(const std::vector<ListFault>& faults) {
    std::vector<std::string> said;
    for (const ListFault& fault : faults)
        said.push_back(ListFaultText(fault));
    return said;
}

// A list's text read, and its faults as audit and watch say them.
std::vector<std::string> Said(const std::string& text) {
    std::vector<ListFault> faults;
    ReadExpected(text, &faults);
    return Words(faults);
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

// Every hostile list named with its line (the file as a whole: alone), nothing taken from it.
TEST(ListFaults, EveryFaultWithItsLine) {
    const std::string header = "address,model,version,interface\n";
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> faults;
    };
    const Case cases[] = {
        {"empty", "", {"empty: an expected list starts with a header (address,model,version,revision,...)"}},
        {"no address column", "model,version\nKRV-ETH1,1\n",
         {"line 1: no address column: the header needs 'address' (or 'IP ADDR')"}},
        {"two address columns", "address,IP ADDR\n10.1.0.20,10.1.0.21\n",
         {"line 1: two columns for address ('address' and 'IP ADDR')"}},
        {"bad addresses", header + "10.1.0.500,,,\n010.1.0.5,,,\n,,,\nten,,,\n",
         {"line 2: the address '10.1.0.500' is no IPv4 address", "line 3: the address '010.1.0.5' is no IPv4 address",
          "line 4: no address", "line 5: the address 'ten' is no IPv4 address"}},
        {"addresses no controller holds", header + "0.0.0.0,,,\n255.255.255.255,,,\n127.0.0.1,,,\n224.0.0.1,,,\n",
         {"line 2: the address '0.0.0.0' is no address a controller can hold (0.0.0.0/8, loopback, multicast or "
          "reserved)",
          "line 3: the address '255.255.255.255' is no address a controller can hold (0.0.0.0/8, loopback, multicast "
          "or reserved)",
          "line 4: the address '127.0.0.1' is no address a controller can hold (0.0.0.0/8, loopback, multicast or "
          "reserved)",
          "line 5: the address '224.0.0.1' is no address a controller can hold (0.0.0.0/8, loopback, multicast or "
          "reserved)"}},
        {"a name only, beside the same name", "address,Interface Name\n10.1.0.20,ws0\n10.1.0.20,ws1\n10.1.0.20,WS0\n",
         {"line 4: a second row for 10.1.0.20 (line 2): give each row its own interface"}},
        {"a row repeated", header + "10.1.0.20,M,1,ws0\n10.1.0.21,M,1,ws0\n10.1.0.20,M,1,ws0\n",
         {"line 4: the same row as line 2"}},
        {"one address and interface twice", header + "10.1.0.20,M,1,ws0\n10.1.0.20,N,2,WS0\n10.1.0.20,N,2,ws1\n",
         {"line 3: a second row for 10.1.0.20 on WS0 (line 2): give each row its own interface"}},
        {"any interface beside one", header + "10.1.0.20,M,1,\n10.1.0.20,N,2,ws1\n",
         {"line 3: a second row for 10.1.0.20 on ws1 (line 2): give each row its own interface"}},
        {"a line too long", header + "10.1.0.20," + std::string(1100, 'x') + ",,\n",
         {"line 2: longer than 1024 bytes"}},
        {"a control character", header + "10.1.0.20,M\x1B[2J,1,\n", {"line 2: a control character (\\x1B)"}},
        {"a NUL", header + std::string("10.1.0.20,M\0,1,\n", 16), {"line 2: a control character (\\x00)"}},
        {"not UTF-8", header + "10.1.0.20,M\xFF,1,\n", {"line 2: not UTF-8"}},
        {"columns short", header + "10.1.0.20,M\n", {"line 2: 2 columns, not 4 as the header"}},
        {"a quote open", header + "10.1.0.20,\"M,1,\n", {"line 2: a quoted field does not end on its line"}},
        {"a bad minimum", header + "10.1.0.20,M,>=,\n10.1.0.21,M,>=x2,\n",
         {"line 2: the version '>=' is no minimum: '>=' is followed by a number (>=2.14)",
          "line 3: the version '>=x2' is no minimum: '>=' is followed by a number (>=2.14)"}},
        {"a bad MAC", "address,mac\n10.1.0.20,02:00:5e:10:00\n10.1.0.21,02-00:5e-10-00-01\n10.1.0.22,0200.5e10.00:1\n",
         {"line 2: the MAC '02:00:5e:10:00' is no MAC (02:00:5e:10:00:01, 02-00-5E-10-00-01 or 0200.5e10.0001)",
          "line 3: the MAC '02-00:5e-10-00-01' is no MAC (02:00:5e:10:00:01, 02-00-5E-10-00-01 or 0200.5e10.0001)",
          "line 4: the MAC '0200.5e10.00:1' is no MAC (02:00:5e:10:00:01, 02-00-5E-10-00-01 or 0200.5e10.0001)"}},
        {"one MAC on two rows, spelt two ways", "address,mac\n10.1.0.20,02:00:5e:10:00:01\n10.1.0.21,0200.5E10.0001\n",
         {"line 3: the MAC 02:00:5e:10:00:01 is line 2's too: a MAC names one controller"}},
        {"a bad mask or gateway", "address,mask,gateway\n10.1.0.20,255.0.255.0,\n10.1.0.21,,10.1.0.x\n",
         {"line 2: the mask '255.0.255.0' is no subnet mask (255.255.255.0)",
          "line 3: the gateway '10.1.0.x' is no IPv4 address"}},
        {"settings reconfigure refuses", "address,mask,gateway\n10.1.0.255,255.255.255.0,\n"
                                         "10.1.0.20,255.255.255.0,10.2.0.1\n",
         {"line 2: The IP address 10.1.0.255 is not a usable host address with the subnet mask 255.255.255.0.",
          "line 3: The gateway 10.2.0.1 is neither 0.0.0.0 (none) nor another host address in the subnet of "
          "10.1.0.20 with the mask 255.255.255.0."}},
        {"an empty line", header + "10.1.0.20,M,1,\n\n", {"line 3: an empty line"}},
        {"larger than 4 MiB", header + std::string(4 * 1024 * 1024, ' '), {"larger than 4 MiB"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Said(c.text), c.faults) << c.name;
}

TEST(ListFaults, RowsOfTheWorkstationsOwnAddresses) {
    const ExpectedList list = List("address\n10.1.0.20\n10.1.0.1\n10.2.0.1\n");
    EXPECT_EQ(Words(OwnAddressFaults(list, {MakeAddress(10, 1, 0, 1), MakeAddress(10, 2, 0, 1)})),
              (std::vector<std::string>{"line 3: the address 10.1.0.1 is this workstation's own: no controller holds it",
                                        "line 4: the address 10.2.0.1 is this workstation's own: no controller holds "
                                        "it"}));
}

TEST(ListFaults, AtMostTenThousandRows) {
    std::string text = "address\n";
    for (int i = 0; i < 10001; ++i)
        text += "10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256) + "\n";
    EXPECT_EQ(Said(text), std::vector<std::string>{"line 10002: more than 10000 rows"});
}

}  // namespace
}  // namespace scout::cli
