// A watch's events as the journal takes them: each change's priority, its
// fields, the native protocol's bytes, and JOURNAL_STREAM read strictly.
#include <gtest/gtest.h>

#include <string>

#include "cli/cli_journal.h"
#include "tests/fakes/rows.h"

namespace scout::cli {
namespace {

std::string Field(const JournalFields& fields, const char* name) {
    for (const auto& [key, value] : fields)
        if (key == name)
            return value;
    return "(none)";
}

TEST(WatchJournal, WarningsForWhatNeedsSomeone) {
    const struct {
        ChangeKind kind;
        bool unexpected;
        int priority;
    } cases[] = {
        {ChangeKind::Appeared, false, 5},       {ChangeKind::Appeared, true, 4}, {ChangeKind::Gone, false, 4},
        {ChangeKind::Changed, false, 5},        {ChangeKind::Changed, true, 4},  {ChangeKind::Duplicate, false, 4},
        {ChangeKind::DuplicateEnded, false, 5}, {ChangeKind::Conflict, false, 4},
        {ChangeKind::Readdressed, false, 5},    {ChangeKind::Held, false, 4},    {ChangeKind::Proposed, false, 5},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChangePriority(c.kind, c.unexpected), c.priority) << static_cast<int>(c.kind) << c.unexpected;
}

TEST(WatchJournal, FieldsAFilterFinds) {
    Change change;
    change.kind = ChangeKind::Gone;
    change.row = test::Row("10.1.0.21");
    std::snprintf(change.row.interfaceAddress, sizeof change.row.interfaceAddress, "10.1.0.1");
    std::snprintf(change.row.interfaceName, sizeof change.row.interfaceName, "ws0");
    std::snprintf(change.row.version, sizeof change.row.version, "1\x1b[2J\x81");
    const JournalFields fields = ChangeJournalFields(change, "Axis 3");
    EXPECT_EQ(Field(fields, "PRIORITY"), "4");
    EXPECT_EQ(Field(fields, "SCOUT_EVENT"), "gone");
    EXPECT_EQ(Field(fields, "SCOUT_ADDRESS"), "10.1.0.21");
    EXPECT_EQ(Field(fields, "SCOUT_INTERFACE_NAME"), "ws0");
    EXPECT_EQ(Field(fields, "SCOUT_VERSION"), "1\\x1B[2J\\x81") << "a controller's bytes as the table shows them";
    EXPECT_EQ(Field(fields, "SCOUT_EXPECTED"), "Axis 3");
    EXPECT_EQ(Field(fields, "MESSAGE"),
              "controller gone: 10.1.0.21 KRV-ETH1A2B 1\\x1B[2J\\x81 C on ws0 10.1.0.1 [expected: Axis 3]")
        << "one escaping in the message and the fields";
    change.kind = ChangeKind::Conflict;
    change.conflict = ConflictKind::Replaced;
    change.macs = {MacAddress{2, 0, 0x5e, 0x10, 0, 1}, MacAddress{2, 0, 0x5e, 0x10, 0, 2}};
    const JournalFields conflict = ChangeJournalFields(change, nullptr);
    EXPECT_EQ(Field(conflict, "SCOUT_MACS"), "02:00:5e:10:00:01 02:00:5e:10:00:02");
    EXPECT_EQ(Field(conflict, "SCOUT_EXPECTED"), "(none)");
}

// A replacement readdressed: the row, the new address and the MAC it
// replaced, in the message and in fields of their own; a doubt says why.
TEST(WatchJournal, AReplacementsRowAndTheMacItReplaces) {
    Change change;
    change.kind = ChangeKind::Readdressed;
    change.row = test::Row("10.1.0.12");
    change.row.macSource = MacSource::Frame;
    change.row.mac = {2, 0, 0x5e, 0x10, 0, 4};
    change.rowLabel = "Axis 2 (line 3)";
    change.newAddress = "10.1.0.12";
    change.detail = "verified after 0.3 s";
    change.replacedKnown = true;
    change.replaced = {2, 0, 0x5e, 0x10, 0, 2};
    const JournalFields fields = ChangeJournalFields(change, "Axis 2");
    EXPECT_EQ(Field(fields, "SCOUT_EVENT"), "readdressed");
    EXPECT_EQ(Field(fields, "SCOUT_ROW"), "Axis 2 (line 3)");
    EXPECT_EQ(Field(fields, "SCOUT_NEW_ADDRESS"), "10.1.0.12");
    EXPECT_EQ(Field(fields, "SCOUT_REPLACES"), "02:00:5e:10:00:02");
    EXPECT_NE(Field(fields, "MESSAGE").find("replacement readdressed: 10.1.0.12 KRV-ETH1A2B 2.14 C on "),
              std::string::npos)
        << Field(fields, "MESSAGE");
    EXPECT_NE(Field(fields, "MESSAGE").find(": readdressed as Axis 2 (line 3) to 10.1.0.12, in place of MAC "
                                            "02:00:5e:10:00:02; verified after 0.3 s"),
              std::string::npos)
        << Field(fields, "MESSAGE");
    change.kind = ChangeKind::Held;
    change.detail = "no row of its model is missing on this interface";
    EXPECT_NE(Field(ChangeJournalFields(change, "-"), "MESSAGE")
                  .find(": not readdressed: no row of its model is missing on this interface"),
              std::string::npos);
}

TEST(WatchJournal, TheNativeProtocolsBytes) {
    EXPECT_EQ(JournalDatagram({{"PRIORITY", "4"}, {"MESSAGE", "a b"}}), "PRIORITY=4\nMESSAGE=a b\n");
    EXPECT_EQ(JournalDatagram({{"MESSAGE", "a\nb"}}), std::string("MESSAGE\n\x03\0\0\0\0\0\0\0a\nb\n", 20));
}

TEST(WatchJournal, JournalStreamNamesOneFile) {
    const struct {
        const char* variable;
        bool matches;
    } cases[] = {{"8:1234", true}, {"8:12345", false}, {"9:1234", false}, {"8:1234 ", false},
                 {"", false},      {":", false},       {nullptr, false},  {"08:1234", false}};
    for (const auto& c : cases)
        EXPECT_EQ(JournalStreamIs(c.variable, 8, 1234), c.matches) << (c.variable ? c.variable : "null");
}

}  // namespace
}  // namespace scout::cli
