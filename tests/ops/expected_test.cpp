// Reading what a line should be: the columns by name, the minimum rule, and
// every hostile file named with its line, nothing taken from it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ops/csv.h"
#include "ops/expected.h"
#include "ops/text.h"

namespace scout::ops {
namespace {

TEST(ExpectedList, ColumnsByNameInAnyOrderAndCase) {
    std::vector<ListFault> faults;
    const ExpectedList list = ReadExpected(
        "\xEF\xBB\xBFName,MAC,ip addr,Model,Version,Revision,Interface,Cabinet\r\n"
        "Axis 3,02:00:5E:10:00:01,10.1.0.20,KRV-ETH1A2B,>=2.14,,ws0,\"A, left\"\r\n"
        ",,10.1.0.21,,,,,\r\n",
        &faults);
    ASSERT_TRUE(faults.empty()) << "line " << faults[0].line;
    ASSERT_EQ(list.rows.size(), 2u);
    const ExpectedRow& row = list.rows[0];
    EXPECT_EQ(row.line, 2);
    EXPECT_EQ(row.address, MakeAddress(10, 1, 0, 20));
    EXPECT_EQ(row.name, "Axis 3");
    EXPECT_EQ(row.model, "KRV-ETH1A2B");
    EXPECT_TRUE(row.version.minimum);
    EXPECT_EQ(row.version.text, "2.14");
    EXPECT_EQ(row.revision.text, "");
    EXPECT_EQ(row.interfaceChoice, "ws0");
    EXPECT_TRUE(row.macGiven);
    EXPECT_EQ(row.mac, (MacAddress{0x02, 0x00, 0x5e, 0x10, 0x00, 0x01}));
    EXPECT_EQ(row.cells.back(), "A, left") << "other columns are kept for the report";
    EXPECT_EQ(row.others, (std::vector<std::pair<std::string, std::string>>{{"Cabinet", "A, left"}}));
    EXPECT_TRUE(list.rows[1].others.empty()) << "an empty cell says nothing";
    EXPECT_FALSE(list.rows[1].macGiven);
}

TEST(ExpectedList, AMacInAnyUsualSpelling) {
    const MacAddress mac{0x02, 0x00, 0x5e, 0x10, 0x00, 0x0a};
    for (const char* text : {"02:00:5e:10:00:0a", "02-00-5E-10-00-0A", "0200.5e10.000A", "02005e10000a"}) {
        MacAddress read{};
        EXPECT_TRUE(ParseMacText(text, &read)) << text;
        EXPECT_EQ(read, mac) << text;
    }
    for (const char* text : {"", "02:00:5e:10:00", "02:00:5e:10:00:0a:", "02:00-5e:10:00:0a", "0200.5e10.000",
                             "02005e10000g", "2:0:5e:10:0:a", " 02:00:5e:10:00:0a", "0200:5e10:000a", "02.00.5e.10.00.0a"}) {
        MacAddress read{};
        EXPECT_FALSE(ParseMacText(text, &read)) << "'" << text << "'";
    }
}

TEST(ExpectedList, SettingsForCommissionAndReservedNames) {
    std::vector<ListFault> faults;
    const ExpectedList list = ReadExpected("address,Mask,GATEWAY,Port,kind,Cabinet\n"
                                           "10.1.0.20,255.255.255.0,10.1.0.254,ge-0/0/3,controller,A1\n"
                                           "10.1.0.21,,,,,\n",
                                           &faults);
    ASSERT_TRUE(faults.empty()) << "line " << faults[0].line;
    EXPECT_TRUE(list.rows[0].maskGiven && list.rows[0].gatewayGiven);
    EXPECT_EQ(list.rows[0].mask, MakeAddress(255, 255, 255, 0));
    EXPECT_EQ(list.rows[0].gateway, MakeAddress(10, 1, 0, 254));
    EXPECT_FALSE(list.rows[1].maskGiven || list.rows[1].gatewayGiven);
    EXPECT_EQ(list.reserved, (std::vector<std::string>{"Port", "kind"}));
    EXPECT_EQ(list.rows[0].others.size(), 3u) << "a reserved column is the user's until it is read";
}

TEST(ExpectedList, WhatSearchCsvWritesIsAListAsItStands) {
    std::vector<ListFault> faults;
    const ExpectedList list = ReadExpected(
        "IP ADDR,Model,Version,Revision,Interface,Interface Name,MAC\n"
        "10.1.0.20,KRV-ETH1A2B,\\x1B[1mRED,\"a,b\",10.1.0.1,ws0,02:00:5e:10:00:01\n"
        "10.2.0.30,KRV-ETH2F,5.1,D,10.2.0.1,ws1,\n",
        &faults);
    ASSERT_TRUE(faults.empty()) << "line " << faults[0].line;
    ASSERT_EQ(list.rows.size(), 2u);
    EXPECT_EQ(list.rows[0].interfaceChoice, "10.1.0.1");
    EXPECT_EQ(list.rows[0].interfaceName, "ws0");
    EXPECT_EQ(list.rows[0].version.text, "\\x1B[1mRED");
    EXPECT_FALSE(list.rows[0].version.minimum);
}

// What a spreadsheet would run as a formula is written as text (a leading ')
// and read back byte for byte, and so is a text that begins with ' itself.
TEST(CsvField, AFormulaGoesOutAsTextAndComesBackAsItWas) {
    const struct {
        const char* text;
        const char* written;
    } cases[] = {
        {"=cmd|'/C calc'!A0", "'=cmd|'/C calc'!A0"},
        {"+1", "'+1"},
        {"-2", "'-2"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"},
        {"\rx", "\"'\rx\""},
        {"=1,2", "\"'=1,2\""},
        {"'quoted", "''quoted"},
        {"''", "'''"},
        {"'", "''"},
        {"plain", "plain"},
        {"a=b", "a=b"},
        {"", ""},
    };
    for (const auto& c : cases) {
        std::string line;
        AppendCsvField(line, c.text);
        EXPECT_EQ(line, c.written) << c.text;
        line += "," + line;
        std::vector<std::string> fields;
        CsvFault fault;
        ASSERT_TRUE(SplitCsvFields(line, &fields, &fault)) << c.text;
        EXPECT_EQ(fields, (std::vector<std::string>{c.text, c.text})) << "read back as it was";
    }
    std::vector<std::string> fields;
    CsvFault fault;
    ASSERT_TRUE(SplitCsvFields("'KRV,'1,10.1.0.20", &fields, &fault));
    EXPECT_EQ(fields, (std::vector<std::string>{"'KRV", "'1", "10.1.0.20"})) << "another ' stays";
}

TEST(ExpectedList, AMinimumComparesDottedNumbersAsNumbers) {
    struct Case {
        const char* found;
        const char* minimum;
        bool atLeast;
    };
    const Case cases[] = {
        {"2.14", "2.14", true},   {"2.15", "2.14", true},  {"2.9", "2.14", false}, {"10.0", "9.99", true},
        {"2.14.1", "2.14", true}, {"2", "2.0", true},      {"2.14b", "2.14a", true}, {"2.14a", "2.14b", false},
        {"2.14", "2.14a", false}, {"VERSION8rev", "1", false}, {"", "1", false},  
        {"99999999999999.1", "2", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AtLeast(c.found, c.minimum), c.atLeast) << c.found << " >= " << c.minimum;
}

}  // namespace
}  // namespace scout::ops
