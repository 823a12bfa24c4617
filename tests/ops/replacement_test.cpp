// A watch's replacements: the one missing row of the newcomer's model on its
// interface, and every doubt that sends nothing.
#include <gtest/gtest.h>

#include <vector>

#include "ops/replacement.h"
#include "tests/fakes/rows.h"

namespace scout::ops {
namespace {

using test::If2;
using test::If3;

Reply Newcomer(const char* model, std::uint8_t mac, const BroadcastInterface& via = If2) {
    Reply reply = test::Row("192.168.1.100", via, model);
    if (mac != 0) {
        reply.macSource = MacSource::Frame;
        reply.mac = {2, 0, 0x5e, 0x10, 0, mac};
    }
    return reply;
}

TEST(Replacement, TheOneMissingRowOfItsModelOrNothing) {
    std::vector<ListFault> faults;
    ExpectedList list = ReadExpected("name,address,model,mac,interface\n"
                                     "Axis 1,10.1.0.11,KRV-ETH1,02:00:5e:10:00:01,\n"  // 0
                                     "Axis 2,10.1.0.12,KRV-ETH1,02:00:5e:10:00:02,\n"  // 1
                                     "Axis 3,10.1.0.13,KRV-ETH2,,\n"                   // 2
                                     "Axis 4,10.2.0.14,KRV-ETH1,,ws1\n"                // 3
                                     "Axis 5,10.9.0.15,KRV-ETH3,,\n",                  // 4: no interface's subnet
                                     &faults);
    ASSERT_TRUE(faults.empty());
    ResolveInterfaces(list, {{If2, "ws0", 24}, {If3, "ws1", 24}});
    const std::vector<bool> axis2 = {false, true, false, false, true};
    const std::vector<bool> axes12 = {true, true, false, false, true};
    const ReplacementTries none;
    ReplacementTries tried;
    tried.macs = {{2, 0, 0x5e, 0x10, 0, 9}};
    tried.rows = {"Axis 2 (line 3)"};
    const struct {
        const char* name;
        std::vector<bool> missing;
        Reply newcomer;
        std::size_t atFactory;
        const ReplacementTries& tried;
        ReplacementDoubt doubt;
        std::size_t row;
    } cases[] = {
        {"a new MAC takes the one missing row of its model", axis2, Newcomer("KRV-ETH1", 9), 1, none,
         ReplacementDoubt::None, 1},
        {"the original itself, back at the factory address", axis2, Newcomer("KRV-ETH1", 2), 1, none,
         ReplacementDoubt::None, 1},
        {"its MAC not read", axis2, Newcomer("KRV-ETH1", 0), 1, none, ReplacementDoubt::None, 1},
        {"two rows of its model missing", axes12, Newcomer("KRV-ETH1", 9), 1, none, ReplacementDoubt::SeveralMissing, 0},
        {"two at the factory address", axis2, Newcomer("KRV-ETH1", 9), 2, none, ReplacementDoubt::SeveralAtFactory, 0},
        {"a model no missing row has", axis2, Newcomer("KRV-ETH2", 9), 1, none, ReplacementDoubt::NoneMissing, 0},
        {"a row outside its interface's subnet", axis2, Newcomer("KRV-ETH3", 9), 1, none,
         ReplacementDoubt::NoneMissing, 0},
        {"the MAC of a row that answers", axis2, Newcomer("KRV-ETH1", 1), 1, none, ReplacementDoubt::MacOfAnotherRow, 0},
        {"on the other interface, its row there", {false, false, false, true, false}, Newcomer("KRV-ETH1", 9, If3), 1,
         none, ReplacementDoubt::None, 3},
        {"tried before, by its MAC", axis2, Newcomer("KRV-ETH1", 9), 1, tried, ReplacementDoubt::Tried, 0},
        {"tried before, by the row where no MAC is read", axis2, Newcomer("KRV-ETH1", 0), 1, tried,
         ReplacementDoubt::Tried, 1},
        {"another MAC where only the row was tried", axis2, Newcomer("KRV-ETH1", 7), 1, tried, ReplacementDoubt::None,
         1},
    };
    for (const auto& c : cases) {
        const ReplacementChoice choice = ChooseReplacement(list, c.missing, c.newcomer, c.atFactory, 24, c.tried);
        EXPECT_EQ(choice.doubt, c.doubt) << c.name;
        if (c.doubt == ReplacementDoubt::None || c.doubt == ReplacementDoubt::MacOfAnotherRow) {
            EXPECT_EQ(choice.row, c.row) << c.name;
        }
    }
    EXPECT_EQ(ChooseReplacement(list, axes12, Newcomer("KRV-ETH1", 9), 1, 24, none).rows,
              (std::vector<std::size_t>{0, 1}))
        << "the rows in doubt, named";
}

// What the record says was tried: kept across restarts, dropped once verified.
TEST(Replacement, TriesAsTheRecordHoldsThem) {
    const auto line = [](const char* command, const char* event, const char* mac, const char* row,
                         const char* outcome = "") {
        RecordLine l;
        l.command = command;
        l.event = event;
        l.mac = mac;
        l.row = row;
        l.outcome = outcome;
        return l;
    };
    ReplacementTries tries;
    for (const RecordLine& l : {
             line("readdress", "intent", "02:00:5e:10:00:09", "Axis 2 (line 3)"),
             line("readdress", "outcome", "02:00:5e:10:00:09", "Axis 2 (line 3)", "not-seen"),
             line("readdress", "intent", "02:00:5e:10:00:07", "Axis 1 (line 2)"),
             line("readdress", "outcome", "02:00:5e:10:00:07", "Axis 1 (line 2)", "answers"),
             line("readdress", "intent", "", "Axis 4 (line 5)"),  // cut short: no outcome
             line("readdress", "refused", "02:00:5e:10:00:05", "Axis 5 (line 6)"),
             line("reconfigure", "intent", "02:00:5e:10:00:06", "Axis 6 (line 7)"),
         })
        AddTry(tries, l);
    EXPECT_EQ(tries.macs, (std::vector<MacAddress>{{2, 0, 0x5e, 0x10, 0, 9}}));
    EXPECT_EQ(tries.rows, (std::vector<std::string>{"Axis 4 (line 5)"}));
}

}  // namespace
}  // namespace scout::ops
