// scout-cli's renderings of hostile device texts, and its one-line error reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_doctor.h"
#include "cli/cli_render.h"
#include "cli/cli_search.h"
#include "ops/text.h"
#include "tests/fakes/fake_platform.h"

namespace scout::cli {
namespace {

Reply Row(const char* address, const char* model, const char* version, const char* revision,
           const char* interfaceAddress, const char* interfaceName = "ws0") {
    Reply row;
    snprintf(row.address, sizeof row.address, "%s", address);
    snprintf(row.model, sizeof row.model, "%s", model);
    snprintf(row.version, sizeof row.version, "%s", version);
    snprintf(row.revision, sizeof row.revision, "%s", revision);
    snprintf(row.interfaceAddress, sizeof row.interfaceAddress, "%s", interfaceAddress);
    snprintf(row.interfaceName, sizeof row.interfaceName, "%s", interfaceName);
    return row;
}

const RenderOptions Plain;

TEST(CliTable, AlignedColumnsWithHeaderAndWithout) {
    const std::vector<Reply> rows = {Row("10.1.0.50", "KRV-ETH1A2B", "1.2", "B", "10.1.0.1"),
                                      Row("10.1.0.100", "KRV-ETH0", "VERSION8rev", "rev", "10.1.0.1", "")};
    EXPECT_EQ(RenderRows(rows, OutputFormat::Table, Plain),
              "IP ADDR     Model        Version      Revision  Interface\n"
              "10.1.0.50   KRV-ETH1A2B  1.2          B         ws0 10.1.0.1\n"
              "10.1.0.100  KRV-ETH0     VERSION8rev  rev       10.1.0.1\n");
    EXPECT_EQ(RenderRows({}, OutputFormat::Table, Plain), "IP ADDR  Model  Version  Revision  Interface\n");
    EXPECT_EQ(RenderRows(rows, OutputFormat::Table, RenderOptions{.header = false}),
              "10.1.0.50   KRV-ETH1A2B  1.2          B    ws0 10.1.0.1\n"
              "10.1.0.100  KRV-ETH0     VERSION8rev  rev  10.1.0.1\n");
}

TEST(CliTable, ControlBytesAreEscapedAndHighBytesDecoded) {
    const std::vector<Reply> rows = {Row("1.1.1.1", "M", "\x1B[2J\x7F", "\xE9\x80\x9B\x81", "2.2.2.2", "e\x1B" "0")};
    const std::string table = RenderRows(rows, OutputFormat::Table, Plain);
    EXPECT_NE(table.find("\\x1B[2J\\x7F"), std::string::npos) << table;
    // é and € decoded; the undefined 0x81 and nothing else escaped; 0x9B is › in 1252.
    EXPECT_NE(table.find("\xC3\xA9\xE2\x82\xAC\xE2\x80\xBA\\x81"), std::string::npos) << table;
    EXPECT_NE(table.find("e\\x1B0 2.2.2.2"), std::string::npos) << "an interface's name is escaped too";
    for (const char c : table) {
        if (c != '\n') {
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << table;
        }
    }
    // Alignment counts characters, not bytes: the escaped cell is 15 wide.
    EXPECT_NE(table.find("\\x7F  "), std::string::npos) << table;
}

// Streamed rows keep one layout whatever comes later: the widest printable
// texts (a full address, an eight-digit model, a version run into its
// revision) fit their columns.
TEST(CliTable, StreamedRowsHaveFixedColumns) {
    const std::string header = StreamHeader();
    const std::string wide = StreamRow(Row("255.255.255.255", "KRV-ETHFFFFFFFF", "ABCDEFGH12345678", "12345678",
                                           "10.1.0.1"));
    const std::string narrow = StreamRow(Row("1.1.1.1", "KRV-ETH0", "v", "r", "10.1.0.1"));
    EXPECT_EQ(header.find("Model"), wide.find("KRV"));
    EXPECT_EQ(header.find("Interface"), wide.find("ws0"));
    EXPECT_EQ(header.find("Interface"), narrow.find("ws0"));
    EXPECT_EQ(header.find("Revision"), narrow.find("r  "));
}

// A MAC column only where one is known; a MAC the neighbour table gave for an
// address several replies share says nothing of which sent which, so none is shown.
TEST(CliTable, MacColumnWhereOneIsKnown) {
    std::vector<Reply> rows = {Row("10.1.0.50", "KRV-ETH1", "1", "A", "10.1.0.1"),
                               Row("10.1.0.60", "KRV-ETH2", "2", "B", "10.1.0.1")};
    EXPECT_EQ(RenderRows(rows, OutputFormat::Table, Plain).find("MAC"), std::string::npos);
    rows[1].macSource = MacSource::Neighbour;
    rows[1].mac = {0x02, 0x00, 0x5e, 0x10, 0xab, 0xcd};
    EXPECT_EQ(RenderRows(rows, OutputFormat::Table, Plain),
              "IP ADDR    Model     Version  Revision  Interface     MAC\n"
              "10.1.0.50  KRV-ETH1  1        A         ws0 10.1.0.1\n"
              "10.1.0.60  KRV-ETH2  2        B         ws0 10.1.0.1  02:00:5e:10:ab:cd\n");
    struct Case {
        const char* name;
        MacSource first, second;
        bool sameAddress;
        const char* firstShown;
        const char* secondShown;
    };
    // (Which rows may carry a table's MAC is the look's to say: ops FinishRows.)
    const Case cases[] = {
        {"table MACs of two addresses", MacSource::Neighbour, MacSource::Neighbour, false, "02:00:00:00:00:01",
         "02:00:00:00:00:02"},
        {"frames of one address", MacSource::Frame, MacSource::Frame, true, "02:00:00:00:00:01", "02:00:00:00:00:02"},
        {"none known", MacSource::None, MacSource::None, true, "", ""},
    };
    for (const Case& c : cases) {
        std::vector<Reply> two = {Row("10.1.0.50", "M", "1", "A", "10.1.0.1"),
                                  Row(c.sameAddress ? "10.1.0.50" : "10.1.0.51", "M", "1", "A", "10.1.0.1")};
        two[0].macSource = c.first;
        two[0].mac = {2, 0, 0, 0, 0, 1};
        two[1].macSource = c.second;
        two[1].mac = {2, 0, 0, 0, 0, 2};
        const std::string json = RenderRows(two, OutputFormat::Json, Plain);
        EXPECT_NE(json.find(std::string("\"mac\": \"") + c.firstShown + "\"}"), std::string::npos) << c.name << json;
        EXPECT_NE(json.find(std::string("\"mac\": \"") + c.secondShown + "\"}\n]"), std::string::npos)
            << c.name << json;
    }
}

TEST(CliJson, KeysTextsAndEscapes) {
    EXPECT_EQ(RenderRows({}, OutputFormat::Json, Plain), "[]\n");
    const std::vector<Reply> rows = {Row("10.1.0.50", "KRV-ETH1", "a\"b\\c\x01", "\x80\x8D\xFF", "10.1.0.1"),
                                      Row("10.1.0.51", "KRV-ETH2", "2", "B", "10.1.0.1", "eth\xFF")};
    EXPECT_EQ(RenderRows(rows, OutputFormat::Json, Plain),
              "[\n"
              "  {\"address\": \"10.1.0.50\", \"model\": \"KRV-ETH1\", \"version\": \"a\\\"b\\\\c\\u0001\", "
              "\"revision\": \"\xE2\x82\xAC\\u008D\xC3\xBF\", \"interface\": \"10.1.0.1\", \"interface_name\": \"ws0\", "
              "\"mac\": \"\"},\n"
              "  {\"address\": \"10.1.0.51\", \"model\": \"KRV-ETH2\", \"version\": \"2\", \"revision\": \"B\", "
              "\"interface\": \"10.1.0.1\", \"interface_name\": \"eth\xEF\xBF\xBD\", \"mac\": \"\"}\n"
              "]\n");
}

TEST(CliJson, ReorderingControlsOfThisMachinesTextsEscaped) {
    // An interface name (or a plan's cell, a record's reason) with U+202E and U+2069 in it.
    const std::vector<Reply> rows = {Row("10.1.0.50", "KRV-ETH1", "v", "r", "10.1.0.1", "a\xE2\x80\xAE" "b\xE2\x81\xA9")};
    const std::string json = RenderRows(rows, OutputFormat::Json, Plain);
    EXPECT_NE(json.find("\"interface_name\": \"a\\u202Eb\\u2069\""), std::string::npos) << json;
    const std::string table = RenderRows(rows, OutputFormat::Table, Plain);
    EXPECT_NE(table.find("a\\u202Eb\\u2069 10.1.0.1"), std::string::npos) << table;
}

TEST(CliCsv, QuotedAsRfc4180AndNoControlCharacterRaw) {
    std::vector<Reply> rows = {Row("10.1.0.50", "KRV-ETH1", "1,2", "say \"hi\"", "10.1.0.1"),
                                Row("10.1.0.51", "KRV-ETH2", "\x1B[31mRED", "a\r\nb", "10.1.0.1")};
    rows[1].macSource = MacSource::Frame;
    rows[1].mac = {0x02, 0x00, 0x5e, 0x10, 0x00, 0x01};
    EXPECT_EQ(RenderRows(rows, OutputFormat::Csv, Plain),
              "IP ADDR,Model,Version,Revision,Interface,Interface Name,MAC\n"
              "10.1.0.50,KRV-ETH1,\"1,2\",\"say \"\"hi\"\"\",10.1.0.1,ws0,\n"
              "10.1.0.51,KRV-ETH2,\\x1B[31mRED,a\\x0D\\x0Ab,10.1.0.1,ws0,02:00:5e:10:00:01\n");
    EXPECT_EQ(RenderRows(rows, OutputFormat::Csv, RenderOptions{.header = false, .lineEnd = "\r\n"}),
              "10.1.0.50,KRV-ETH1,\"1,2\",\"say \"\"hi\"\"\",10.1.0.1,ws0,\r\n"
              "10.1.0.51,KRV-ETH2,\\x1B[31mRED,a\\x0D\\x0Ab,10.1.0.1,ws0,02:00:5e:10:00:01\r\n");
}

TEST(CliDecode, Windows1252) {
    EXPECT_EQ(DecodeWindows1252("A\x80\x81\x8D\x8F\x90\x9D\x9F\xA0\xFF"),
              "A\xE2\x82\xAC\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D\xC5\xB8\xC2\xA0\xC3\xBF");
}

TEST(CliInterfaces, NameAddressPrefixIndexAndWhySkipped) {
    InterfaceDetails named;
    snprintf(named.name, sizeof named.name, "%s", "Ethernet 2");
    named.prefixLength = 24;
    const std::vector<InterfaceLine> lines = {{{MakeAddress(10, 1, 0, 1), 2}, named},
                                              {{MakeAddress(10, 2, 0, 1), 13}, InterfaceDetails{}},
                                              {{MakeAddress(172, 17, 0, 1), 4}, named, "no carrier"}};
    EXPECT_EQ(RenderInterfaces(lines, OutputFormat::Json, Plain),
              "[\n  {\"name\": \"Ethernet 2\", \"address\": \"10.1.0.1\", \"prefix_length\": 24, \"index\": 2, "
              "\"skipped\": null},\n"
              "  {\"name\": \"\", \"address\": \"10.2.0.1\", \"prefix_length\": null, \"index\": 13, \"skipped\": null},\n"
              "  {\"name\": \"Ethernet 2\", \"address\": \"172.17.0.1\", \"prefix_length\": 24, \"index\": 4, "
              "\"skipped\": \"no carrier\"}\n]\n");
    EXPECT_EQ(RenderInterfaces({}, OutputFormat::Json, Plain), "[]\n");
    EXPECT_EQ(RenderInterfaces(lines, OutputFormat::Table, Plain),
              "Name        Address     Prefix  Index  Skipped\n"
              "Ethernet 2  10.1.0.1    24      2\n"
              "            10.2.0.1            13\n"
              "Ethernet 2  172.17.0.1  24      4      no carrier\n");
    EXPECT_EQ(RenderInterfaces(lines, OutputFormat::Csv, RenderOptions{.header = false}),
              "Ethernet 2,10.1.0.1,24,2,\n,10.2.0.1,,13,\nEthernet 2,172.17.0.1,24,4,no carrier\n");
}

TEST(CliErrors, OneLinePerReport) {
    EXPECT_EQ(FormatErrorLine("Unable to create socket. Access is denied.\r\n."),
              "scout-cli: Unable to create socket. Access is denied. .\n");
    EXPECT_EQ(FormatErrorLine("Not enough space to load forwarding table."),
              "scout-cli: Not enough space to load forwarding table.\n");
    EXPECT_EQ(FormatErrorLine("a\n\n\r\nb"), "scout-cli: a b\n");
}

// The list operations keep each row at its index, name its interface (asking
// the platform once per interface) and tell of each row as it arrives.
TEST(CliFrontEnd, RowsKeptNamedAndToldAsTheyArrive) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    InterfaceNames names;
    names.platform = &platform;
    CliList list;
    list.names = &names;
    std::vector<std::string> arrived;
    list.observer = &arrived;
    list.rowAdded = [](void* observer, const Reply& row) {
        static_cast<std::vector<std::string>*>(observer)->push_back(std::string(row.address) + " " + row.revision);
    };
    list.rows.push_back(Reply{});
    const SearchFrontEnd frontEnd = MakeCliFrontEnd(&list);
    frontEnd.clearRows(frontEnd.context);
    // An all-at-once search: the second reply goes before the first.
    const char* const replies[][2] = {{"10.2.0.60", "1"}, {"10.1.0.50", "0"}};
    for (const auto& reply : replies) {
        FoundRow found{{"", "KRV-ETH1", "v", "r"}, BroadcastInterface{MakeAddress(10, 1, 0, 1), 2}};
        std::snprintf(found.texts[0], sizeof found.texts[0], "%s", reply[0]);
        frontEnd.addRow(frontEnd.context, reply[1][0] - '0', found);
    }
    ASSERT_EQ(list.rows.size(), 2u);
    EXPECT_STREQ(list.rows[0].address, "10.1.0.50");
    EXPECT_STREQ(list.rows[1].model, "KRV-ETH1");
    EXPECT_STREQ(list.rows[1].interfaceAddress, "10.1.0.1");
    EXPECT_STREQ(list.rows[1].interfaceName, "if2");
    EXPECT_EQ(names.known.size(), 1u);
    EXPECT_EQ(arrived, (std::vector<std::string>{"10.2.0.60 r", "10.1.0.50 r"})) << "in arrival order";
}

TEST(DoctorLines, JsonAsAnArrayOfObjects) {
    const CheckLine line{CheckStatus::Warning, "search", "if3 10.2.0.1: nothing \"answered\"",
                         "check the warnings above, the controllers' power and cables"};
    EXPECT_EQ(RenderChecks({line}, true),
              "[\n  {\"check\": \"search\", \"status\": \"warning\", \"finding\": \"if3 10.2.0.1: nothing "
              "\\\"answered\\\"\", \"todo\": \"check the warnings above, the controllers' power and cables\"}\n]\n");
    EXPECT_EQ(RenderChecks({}, true), "[]\n");
}

}  // namespace
}  // namespace scout::cli
