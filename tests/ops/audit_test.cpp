// A line held against its list: each status, the minimum rule, a controller
// that answers twice, and the round trip from what search --csv writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ops/audit.h"
#include "tests/fakes/rows.h"

namespace scout::ops {
namespace {

using test::If2;
using test::If3;

Reply Found(const char* address, const BroadcastInterface& via, const char* model, const char* version,
            std::uint8_t mac = 0) {
    Reply row = test::Row(address, via, model);
    std::snprintf(row.version, sizeof row.version, "%s", version);
    std::snprintf(row.revision, sizeof row.revision, "C");
    FormatAddress(row.via.address, row.interfaceAddress, sizeof row.interfaceAddress);
    std::snprintf(row.interfaceName, sizeof row.interfaceName, "if%u", static_cast<unsigned>(via.index));
    if (mac != 0) {
        row.macSource = MacSource::Frame;
        row.mac = {2, 0, 0, 0, 0, mac};
    }
    return row;
}

ExpectedList List(const std::string& text) {
    std::vector<ListFault> faults;
    ExpectedList list = ReadExpected(text, &faults);
    EXPECT_TRUE(faults.empty()) << (faults.empty() ? 0 : faults[0].line);
    return list;
}

// Each result as "status address [fields]", in the order given.
std::vector<std::string> Said(const std::vector<AuditResult>& results) {
    std::vector<std::string> said;
    for (const AuditResult& r : results) {
        std::string line = std::to_string(static_cast<int>(r.status)) + " " +
                           (r.expected != nullptr ? r.expected->addressText : std::string(r.found.front().address));
        for (const std::string& field : r.fields)
            line += " " + field;
        said.push_back(line);
    }
    return said;
}

constexpr int Mismatch = 0, Missing = 1, Duplicate = 2, Unexpected = 3, Unverified = 4, NotSearched = 5, Ok = 6;
std::string S(int status, const char* rest) {
    return std::to_string(status) + " " + rest;
}

TEST(Audit, EachStatusDeviationsFirst) {
    const ExpectedList list = List(
        "address,model,version,revision,interface,mac,name\n"
        "10.1.0.20,KRV-ETH1A2B,>=2.14,C,,,Axis 1\n"      // ok: a minimum
        "10.1.0.21,krv-eth1a2b,2.14,C,10.1.0.1,,Axis 2\n"  // mismatch: version; the model ignoring case
        "10.1.0.22,,,,,,Axis 3\n"                          // missing
        "10.1.0.23,,,,,,Axis 4\n"                          // duplicate: two MACs
        "10.9.0.5,,,,,,Axis 5\n"                           // duplicate: two interfaces, none given
        "10.1.0.24,,,,if2,02:00:00:00:00:09,Axis 6\n"      // mismatch: the MAC
        "10.1.0.25,KRV-ETH1A2B,2.14,C,,,Axis 7\n"          // ok: one MAC that answered twice, the same texts
        "10.1.0.26,,,,,02:00:00:00:00:0a,Axis 8\n"         // unverified: its MAC not read here
        "10.1.0.27,,,,,,Axis 9\n");                        // duplicate: one MAC, two models
    const std::vector<Reply> rows = {
        Found("10.1.0.20", If2, "KRV-ETH1A2B", "2.20"),  Found("10.1.0.21", If2, "KRV-ETH1A2B", "2.9"),
        Found("10.1.0.23", If2, "KRV-ETH1", "1", 1),     Found("10.1.0.23", If2, "KRV-ETH1", "1", 2),
        Found("10.9.0.5", If2, "KRV-ETH1", "1"),         Found("10.9.0.5", If3, "KRV-ETH1", "1"),
        Found("10.1.0.24", If2, "KRV-ETH1", "1", 8),     Found("10.1.0.25", If2, "KRV-ETH1A2B", "2.14", 5),
        Found("10.1.0.25", If2, "KRV-ETH1A2B", "2.14", 5), Found("10.1.0.99", If2, "KRV-ETH1", "1"),
        Found("10.1.0.99", If3, "KRV-ETH1", "1"),        Found("10.1.0.26", If2, "KRV-ETH1", "1"),
        Found("10.1.0.27", If2, "KRV-ETH1A2B", "2.14", 6), Found("10.1.0.27", If2, "KRV-ETH3C00", "3.0.7", 6)};
    const std::vector<AuditResult> results = AuditLine(list, rows);
    EXPECT_EQ(Said(results), (std::vector<std::string>{
                                 S(Mismatch, "10.1.0.21 version"), S(Mismatch, "10.1.0.24 mac"),
                                 S(Missing, "10.1.0.22"), S(Duplicate, "10.1.0.23"), S(Duplicate, "10.9.0.5"),
                                 S(Duplicate, "10.1.0.27"), S(Unexpected, "10.1.0.99"), S(Unexpected, "10.1.0.99"),
                                 S(Unverified, "10.1.0.26"), S(Ok, "10.1.0.20"), S(Ok, "10.1.0.25")}));
    EXPECT_EQ(results[3].found.size(), 2u) << "a duplicate keeps every answer, with its MAC";
    EXPECT_EQ(results[6].found.size(), 1u) << "one unexpected per address and interface";
    EXPECT_EQ(results[8].unread, std::vector<std::string>{"mac"}) << "unknown is not different";
    EXPECT_TRUE(results[10].oneMac) << "one MAC's two replies counted as one, and said";
    EXPECT_EQ(CountStatuses(results), (std::vector<int>{2, 1, 3, 2, 1, 0, 2}));
}

TEST(Audit, AnInterfaceByItsNameOrAddressAndTheInterfaceNameColumn) {
    const std::vector<Reply> rows = {Found("10.9.0.5", If2, "M", "1"), Found("10.9.0.5", If3, "M", "1")};
    struct Case {
        const char* list;
        std::vector<std::string> said;
    };
    const Case cases[] = {
        {"address,interface\n10.9.0.5,if3\n", {S(Unexpected, "10.9.0.5"), S(Ok, "10.9.0.5")}},
        {"address,interface\n10.9.0.5,10.1.0.1\n", {S(Unexpected, "10.9.0.5"), S(Ok, "10.9.0.5")}},
        {"address,Interface Name\n10.9.0.5,if2\n", {S(Unexpected, "10.9.0.5"), S(Ok, "10.9.0.5")}},
        {"address,interface,Interface Name\n10.9.0.5,10.1.0.1,if3\n",
         {S(Missing, "10.9.0.5"), S(Unexpected, "10.9.0.5"), S(Unexpected, "10.9.0.5")}},
        {"address,interface\n10.9.0.5,if2\n10.9.0.5,if3\n", {S(Ok, "10.9.0.5"), S(Ok, "10.9.0.5")}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Said(AuditLine(List(c.list), rows)), c.said) << c.list;
}

// One interface however the list names it (its address, its name in any
// case), and rows of interfaces not searched are said as such, never missing.
TEST(Audit, TheInterfacesAsThisWorkstationKnowsThem) {
    const std::vector<KnownInterface> known = {{If2, "if2", 24}, {If3, "if3", 24}};
    std::vector<ListFault> faults;
    ExpectedList twice = ReadExpected("address,interface\n10.1.0.20,if2\n10.1.0.20,10.1.0.1\n", &faults);
    ASSERT_TRUE(faults.empty());
    const std::vector<ListFault> named = ResolveInterfaces(twice, known);
    ASSERT_EQ(named.size(), 1u);
    EXPECT_EQ(named[0].kind, ListFaultKind::NamedOtherwise);
    EXPECT_EQ(named[0].line, 3);
    EXPECT_EQ(named[0].cell + " " + named[0].other + " " + std::to_string(named[0].otherLine), "10.1.0.20 if2 2")
        << "the address, the interface as this workstation names it, and the row that named it otherwise";
    ExpectedList list = ReadExpected("address,interface\n10.1.0.20,IF2\n10.1.0.22,\n10.2.0.30,\n10.2.0.31,if3\n"
                                     "10.1.0.23,ws9\n10.9.9.9,\n",
                                     &faults);
    ASSERT_TRUE(faults.empty());
    EXPECT_TRUE(ResolveInterfaces(list, known).empty());
    const std::vector<Reply> rows = {Found("10.1.0.20", If2, "M", "1")};
    const AuditScope onlyIf2{{If2}, known};
    EXPECT_EQ(Said(AuditLine(list, rows, &onlyIf2)),
              (std::vector<std::string>{S(Missing, "10.1.0.22"), S(Missing, "10.9.9.9"), S(NotSearched, "10.2.0.30"),
                                        S(NotSearched, "10.2.0.31"), S(NotSearched, "10.1.0.23"),
                                        S(Ok, "10.1.0.20")}))
        << "IF2 is if2; if3 and its subnet not searched; ws9 no interface here; 10.9.9.9 in no subnet: missing";
    const AuditScope both{{If2, If3}, known};
    EXPECT_EQ(CountStatuses(AuditLine(list, rows, &both))[static_cast<int>(AuditStatus::NotSearched)], 1)
        << "searched, if3's rows are missing; ws9 is none of this workstation's";
}

// What search --csv writes of a line, audited against the same line: all ok.
TEST(Audit, TheRoundTripFromSearchCsv) {
    Reply hostile = Found("10.1.0.20", If2, "KRV-ETH1A2B", "\x1B[1mRED", 1);
    std::snprintf(hostile.revision, sizeof hostile.revision, "a,b\xE9");
    const std::vector<Reply> rows = {hostile, Found("10.2.0.30", If3, "KRV-ETH2F", "5.1")};
    const ExpectedList list = List("IP ADDR,Model,Version,Revision,Interface,Interface Name,MAC\n"
                                   "10.1.0.20,KRV-ETH1A2B,\\x1B[1mRED,\"a,b\xC3\xA9\",10.1.0.1,if2,02:00:00:00:00:01\n"
                                   "10.2.0.30,KRV-ETH2F,5.1,C,10.2.0.1,if3,\n");
    EXPECT_EQ(Said(AuditLine(list, rows)), (std::vector<std::string>{S(Ok, "10.1.0.20"), S(Ok, "10.2.0.30")}));
}

TEST(Audit, AnEmptyLineAndAnEmptyList) {
    EXPECT_TRUE(AuditLine(List("address\n"), {}).empty());
    EXPECT_EQ(Said(AuditLine(List("address\n"), {Found("10.1.0.20", If2, "M", "1")})),
              std::vector<std::string>{S(Unexpected, "10.1.0.20")});
    const ExpectedList list = List("address,name\n10.1.0.20,Press 2\n");
    EXPECT_EQ(ExpectedFor(list, Found("10.1.0.20", If3, "M", "1"))->name, "Press 2");
    EXPECT_EQ(ExpectedFor(list, Found("10.1.0.21", If2, "M", "1")), nullptr);
}

}  // namespace
}  // namespace scout::ops
