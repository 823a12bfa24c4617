// scout-cli's renderings of hostile device texts, and its one-line error reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_output.h"

namespace scout::cli {
namespace {

CliRow Row(const char* address, const char* model, const char* version, const char* revision,
           const char* interfaceAddress) {
    CliRow row;
    snprintf(row.address, sizeof row.address, "%s", address);
    snprintf(row.model, sizeof row.model, "%s", model);
    snprintf(row.version, sizeof row.version, "%s", version);
    snprintf(row.revision, sizeof row.revision, "%s", revision);
    snprintf(row.interfaceAddress, sizeof row.interfaceAddress, "%s", interfaceAddress);
    return row;
}

TEST(CliTable, AlignedColumnsWithHeader) {
    const std::vector<CliRow> rows = {Row("10.1.0.50", "KRV-ETH1A2B", "1.2", "B", "10.1.0.1"),
                                      Row("10.1.0.100", "KRV-ETH0", "VERSION8rev", "rev", "10.1.0.1")};
    EXPECT_EQ(RenderRows(rows, OutputFormat::Table),
              "IP ADDR     Model        Version      Revision  Interface\n"
              "10.1.0.50   KRV-ETH1A2B  1.2          B         10.1.0.1\n"
              "10.1.0.100  KRV-ETH0     VERSION8rev  rev       10.1.0.1\n");
    EXPECT_EQ(RenderRows({}, OutputFormat::Table), "IP ADDR  Model  Version  Revision  Interface\n");
}

TEST(CliTable, ControlBytesAreEscapedAndHighBytesDecoded) {
    const std::vector<CliRow> rows = {Row("1.1.1.1", "M", "\x1B[2J\x7F", "\xE9\x80\x9B\x81", "2.2.2.2")};
    const std::string table = RenderRows(rows, OutputFormat::Table);
    EXPECT_NE(table.find("\\x1B[2J\\x7F"), std::string::npos) << table;
    // é and € decoded; the undefined 0x81 and nothing else escaped; 0x9B is › in 1252.
    EXPECT_NE(table.find("\xC3\xA9\xE2\x82\xAC\xE2\x80\xBA\\x81"), std::string::npos) << table;
    for (const char c : table) {
        if (c != '\n') {
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << table;
        }
    }
    // Alignment counts characters, not bytes: the escaped cell is 15 wide.
    EXPECT_NE(table.find("\\x7F  "), std::string::npos) << table;
}

TEST(CliJson, KeysTextsAndEscapes) {
    EXPECT_EQ(RenderRows({}, OutputFormat::Json), "[]\n");
    const std::vector<CliRow> rows = {Row("10.1.0.50", "KRV-ETH1", "a\"b\\c\x01", "\x80\x8D\xFF", "10.1.0.1"),
                                      Row("10.1.0.51", "KRV-ETH2", "2", "B", "10.1.0.1")};
    EXPECT_EQ(RenderRows(rows, OutputFormat::Json),
              "[\n"
              "  {\"address\": \"10.1.0.50\", \"model\": \"KRV-ETH1\", \"version\": \"a\\\"b\\\\c\\u0001\", "
              "\"revision\": \"\xE2\x82\xAC\\u008D\xC3\xBF\", \"interface\": \"10.1.0.1\"},\n"
              "  {\"address\": \"10.1.0.51\", \"model\": \"KRV-ETH2\", \"version\": \"2\", \"revision\": \"B\", "
              "\"interface\": \"10.1.0.1\"}\n"
              "]\n");
}

TEST(CliCsv, QuotesOnlyWhatNeedsIt) {
    const std::vector<CliRow> rows = {Row("10.1.0.50", "KRV-ETH1", "1,2", "say \"hi\"", "10.1.0.1"),
                                      Row("10.1.0.51", "KRV-ETH2", "line\nbreak", "plain", "10.1.0.1")};
    EXPECT_EQ(RenderRows(rows, OutputFormat::Csv),
              "IP ADDR,Model,Version,Revision,Interface\r\n"
              "10.1.0.50,KRV-ETH1,\"1,2\",\"say \"\"hi\"\"\",10.1.0.1\r\n"
              "10.1.0.51,KRV-ETH2,\"line\nbreak\",plain,10.1.0.1\r\n");
}

TEST(CliDecode, Windows1252) {
    EXPECT_EQ(DecodeWindows1252("A\x80\x81\x8D\x8F\x90\x9D\x9F\xA0\xFF"),
              "A\xE2\x82\xAC\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D\xC5\xB8\xC2\xA0\xC3\xBF");
}

TEST(CliInterfaces, TableAndJson) {
    const BroadcastInterface entries[] = {{MakeAddress(10, 1, 0, 1), 2}, {MakeAddress(10, 2, 0, 1), 3}};
    EXPECT_EQ(RenderInterfaces(entries, 2, OutputFormat::Json),
              "[\n  {\"address\": \"10.1.0.1\", \"index\": 2},\n  {\"address\": \"10.2.0.1\", \"index\": 3}\n]\n");
    EXPECT_EQ(RenderInterfaces(entries, 0, OutputFormat::Json), "[]\n");
    EXPECT_EQ(RenderInterfaces(entries, 2, OutputFormat::Table),
              "Interface  Index\n10.1.0.1   2\n10.2.0.1   3\n");
}

TEST(CliErrors, OneLinePerReport) {
    EXPECT_EQ(FormatErrorLine("Unable to create socket. Access is denied.\r\n."),
              "scout-cli: Unable to create socket. Access is denied. .\n");
    EXPECT_EQ(FormatErrorLine("Not enough space to load forwarding table."),
              "scout-cli: Not enough space to load forwarding table.\n");
    EXPECT_EQ(FormatErrorLine("a\n\n\r\nb"), "scout-cli: a b\n");
}

TEST(CliFrontEnd, RowsFilledThroughTheListOperations) {
    CliList list;
    list.rows.push_back(CliRow{});
    const SearchFrontEnd frontEnd = MakeCliFrontEnd(&list);
    frontEnd.clearRows(frontEnd.context);
    frontEnd.insertRow(frontEnd.context, 0, "10.1.0.50", BroadcastInterface{MakeAddress(10, 1, 0, 1), 2});
    frontEnd.setRowText(frontEnd.context, 0, ListColumn::Model, "KRV-ETH1");
    frontEnd.setRowText(frontEnd.context, 0, ListColumn::Version, "v");
    frontEnd.setRowText(frontEnd.context, 0, ListColumn::Revision, "r");
    frontEnd.setRowText(frontEnd.context, 5, ListColumn::Model, "ignored");
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_STREQ(list.rows[0].address, "10.1.0.50");
    EXPECT_STREQ(list.rows[0].model, "KRV-ETH1");
    EXPECT_STREQ(list.rows[0].interfaceAddress, "10.1.0.1");
}

}  // namespace
}  // namespace scout::cli
