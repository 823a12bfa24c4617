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
    std::vector<std::string> faults;
    const ExpectedList list = ReadExpected(
        "\xEF\xBB\xBFName,MAC,ip addr,Model,Version,Revision,Interface,Cabinet\r\n"
        "Axis 3,02:00:5E:10:00:01,10.1.0.20,KRV-ETH1A2B,>=2.14,,ws0,\"A, left\"\r\n"
        ",,10.1.0.21,,,,,\r\n",
        &faults);
    ASSERT_TRUE(faults.empty()) << faults[0];
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

TEST(ExpectedList, WhatSearchCsvWritesIsAListAsItStands) {
    std::vector<std::string> faults;
    const ExpectedList list = ReadExpected(
        "IP ADDR,Model,Version,Revision,Interface,Interface Name,MAC\n"
        "10.1.0.20,KRV-ETH1A2B,\\x1B[1mRED,\"a,b\",10.1.0.1,ws0,02:00:5e:10:00:01\n"
        "10.2.0.30,KRV-ETH2F,5.1,D,10.2.0.1,ws1,\n",
        &faults);
    ASSERT_TRUE(faults.empty()) << faults[0];
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
        std::string why;
        ASSERT_TRUE(SplitCsvFields(line, &fields, &why)) << c.text << ": " << why;
        EXPECT_EQ(fields, (std::vector<std::string>{c.text, c.text})) << "read back as it was";
    }
    std::vector<std::string> fields;
    std::string why;
    ASSERT_TRUE(SplitCsvFields("'KRV,'1,10.1.0.20", &fields, &why));
    EXPECT_EQ(fields, (std::vector<std::string>{"'KRV", "'1", "10.1.0.20"})) << "another ' stays";
}

TEST(ExpectedList, EveryFaultWithItsLine) {
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
        {"a bad MAC", "address,mac\n10.1.0.20,02:00:5e:10:00\n10.1.0.21,02-00-5e-10-00-01\n",
         {"line 2: the MAC '02:00:5e:10:00' is no MAC (02:00:5e:10:00:01)",
          "line 3: the MAC '02-00-5e-10-00-01' is no MAC (02:00:5e:10:00:01)"}},
        {"an empty line", header + "10.1.0.20,M,1,\n\n", {"line 3: an empty line"}},
        {"larger than 4 MiB", header + std::string(4 * 1024 * 1024, ' '), {"larger than 4 MiB"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> faults;
        ReadExpected(c.text, &faults);
        EXPECT_EQ(faults, c.faults) << c.name;
    }
}

TEST(ExpectedList, RowsOfTheWorkstationsOwnAddresses) {
    std::vector<std::string> faults;
    const ExpectedList list = ReadExpected("address\n10.1.0.20\n10.1.0.1\n10.2.0.1\n", &faults);
    ASSERT_TRUE(faults.empty());
    EXPECT_EQ(OwnAddressFaults(list, {MakeAddress(10, 1, 0, 1), MakeAddress(10, 2, 0, 1)}),
              (std::vector<std::string>{"line 3: the address 10.1.0.1 is this workstation's own: no controller holds it",
                                        "line 4: the address 10.2.0.1 is this workstation's own: no controller holds "
                                        "it"}));
}

TEST(ExpectedList, AtMostTenThousandRows) {
    std::string text = "address\n";
    for (int i = 0; i < 10001; ++i)
        text += "10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256) + "\n";
    std::vector<std::string> faults;
    ReadExpected(text, &faults);
    EXPECT_EQ(faults, std::vector<std::string>{"line 10002: more than 10000 rows"});
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
