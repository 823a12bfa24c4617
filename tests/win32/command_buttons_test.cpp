// The command buttons of the real dialog under Wine, on the fake platform: what
// each sends for the selected row, the wait and the search that follow, the
// busy state meanwhile, and what is refused before anything is sent.
#include <gtest/gtest.h>

#include "tests/win32/dialog_harness.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "app/resource.h"
#include "tests/fakes/fake_platform.h"
#include "ui/main_dialog.h"

namespace scout {
namespace {

using test::ClickList;
using test::Enabled;
using test::GroupEnabled;
using test::ItemText;
using test::SelectRow;

const NetAddress Interface = MakeAddress(10, 0, 0, 1);
const NetAddress First = MakeAddress(10, 0, 0, 5);
const NetAddress Second = MakeAddress(10, 0, 0, 6);

std::vector<std::uint8_t> Bytes(const QueryDatagram& datagram) {
    return std::vector<std::uint8_t>(datagram.begin(), datagram.end());
}

std::vector<std::uint8_t> ResetBytes(NetAddress target, bool factoryDefaults) {
    QueryDatagram d;
    BuildReset(d, target, factoryDefaults);
    return Bytes(d);
}

void Press(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

void SetFields(HWND dialog, const char* ip, const char* mask, const char* gateway) {
    SetDlgItemTextA(dialog, IDC_IP_FIELD, ip);
    SetDlgItemTextA(dialog, IDC_MASK_FIELD, mask);
    SetDlgItemTextA(dialog, IDC_GATEWAY_FIELD, gateway);
}

std::string FieldText(HWND dialog, int id) {
    char text[32] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

class CommandButtons : public test::FakeDialogTest {
protected:
    void SetUp() override {
        FakeDialogTest::SetUp();
        world.interfaces = {{Interface, 2}};
        world.datagrams = {{Interface, 10, First, test::ReplyBytes(0x1A2B, "1.2", "B")},
                           {Interface, 20, Second, test::ReplyBytes(0x2C, "2.0", "C")}};
        // A PLC of the line at 10.0.0.7: it answers ARP, not the protocol.
        world.neighbours = {{2, MakeAddress(10, 0, 0, 7), NeighbourAnswer::Holder, {0x02, 0, 0x5e, 0x10, 0, 0x07}},
                            {2, MakeAddress(10, 0, 0, 8), NeighbourAnswer::SetByHand, {0x02, 0, 0x5e, 0x10, 0, 0x08}}};
    }
    // A dialog after a search of the two controllers, one row selected and the group armed.
    HWND SearchedAndArmed(int row) {
        const HWND dialog = test::CreateMainDialog();
        EXPECT_NE(dialog, nullptr);
        Press(dialog, IDC_SEARCH);
        EXPECT_EQ(SendMessageA(ui::g_resultList, LVM_GETITEMCOUNT, 0, 0), 2);
        SelectRow(ui::g_resultList, row);
        ClickList(dialog);
        EXPECT_TRUE(GroupEnabled(dialog, true));
        world.log.clear();
        world.sent.clear();
        return dialog;
    }
    std::size_t LogIndex(const std::string& entry) const {
        for (std::size_t i = 0; i < world.log.size(); ++i)
            if (world.log[i] == entry)
                return i;
        return world.log.size();
    }
};

TEST_F(CommandButtons, PowerOnResetSendsThenWaitsThenSearchesAgain) {
    const HWND dialog = SearchedAndArmed(1);
    bool busyDuringWait = false;
    world.onSleep = [&](int) {
        if (world.log.back() != "sleep 5000")
            return;
        busyDuringWait = !Enabled(dialog, IDC_SEARCH) && GroupEnabled(dialog, false);
        // Input meanwhile arms nothing and starts nothing.
        ClickList(dialog);
        Press(dialog, IDC_FACTORY_DEFAULTS);
        Press(dialog, IDC_SEARCH);
    };
    const int searchesBefore = world.searches;
    Press(dialog, IDC_POWER_ON_RESET);

    // The interfaces read for the decision (this workstation's addresses), then the command.
    const std::vector<std::string> command = {"load",       "release", "link 10.0.0.1",
                                              "open",       "broadcast", "bind 10.0.0.1:65513 if2",
                                              "send 255.255.255.255:65515", "close", "sleep 5000", "load"};
    ASSERT_GE(world.log.size(), command.size());
    EXPECT_EQ(std::vector<std::string>(world.log.begin(), world.log.begin() + 10), command);
    ASSERT_EQ(world.sent.size(), 2u) << "the reset, then the query of the new search";
    EXPECT_EQ(world.sent[0], ResetBytes(Second, false)) << "the selected row's controller is the target";
    EXPECT_TRUE(busyDuringWait);
    EXPECT_EQ(world.searches, searchesBefore + 2) << "the decision's reading, then the search";

    // Ready again: the list refilled, the selection gone, the group disabled.
    EXPECT_TRUE(Enabled(dialog, IDC_SEARCH));
    EXPECT_TRUE(GroupEnabled(dialog, false));
    EXPECT_EQ(SendMessageA(ui::g_resultList, LVM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(ItemText(ui::g_resultList, 0, 0), "10.0.0.5");
    EXPECT_EQ(SendMessageA(ui::g_resultList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), -1);
    DestroyWindow(dialog);
}

TEST_F(CommandButtons, FactoryDefaultsDiffersFromPowerOnResetOnlyInTheMarker) {
    HWND dialog = SearchedAndArmed(0);
    Press(dialog, IDC_FACTORY_DEFAULTS);
    ASSERT_FALSE(world.sent.empty());
    const std::vector<std::uint8_t> factory = world.sent[0];
    DestroyWindow(dialog);

    dialog = SearchedAndArmed(0);
    Press(dialog, IDC_POWER_ON_RESET);
    ASSERT_FALSE(world.sent.empty());
    const std::vector<std::uint8_t> reset = world.sent[0];
    DestroyWindow(dialog);

    EXPECT_EQ(factory, ResetBytes(First, true));
    ASSERT_EQ(factory.size(), reset.size());
    for (std::size_t i = 0; i < factory.size(); ++i) {
        if (i < 24 || i >= 32) {
            EXPECT_EQ(factory[i], reset[i]) << "byte " << i;
        }
    }
    EXPECT_EQ(std::vector<std::uint8_t>(factory.begin() + 24, factory.begin() + 32),
              (std::vector<std::uint8_t>{0x64, 0x65, 0x66, 0x61, 0x75, 0x6C, 0x74, 0x00}));
}

TEST_F(CommandButtons, ReconfigureSendsTheFieldsAsTheyStand) {
    const HWND dialog = SearchedAndArmed(0);
    SetFields(dialog, "10.0.0.9", "255.255.255.0", "10.0.0.1");
    Press(dialog, IDC_RECONFIGURE_IP);
    ASSERT_EQ(world.sent.size(), 2u);
    ASSERT_EQ(world.sent[0].size(), DatagramLength);
    EXPECT_TRUE(std::equal(ProtocolMagic.begin(), ProtocolMagic.end(), world.sent[0].begin()));
    EXPECT_EQ(std::vector<std::uint8_t>(world.sent[0].begin() + 16, world.sent[0].end()),
              (std::vector<std::uint8_t>{0x02, 0, 0, 0, 0x05, 0, 0, 0x0A, 0x09, 0, 0, 0x0A, 0x00, 0xFF, 0xFF, 0xFF,
                                         0x01, 0, 0, 0x0A, 0, 0, 0, 0}));
    ASSERT_LT(LogIndex("sleep 5000") + 1, world.log.size());
    EXPECT_EQ(world.log[LogIndex("sleep 5000") + 1], "load") << "the search after the wait";
    EXPECT_LT(LogIndex("ask 10.0.0.9 if2"), LogIndex("read 10.0.0.9 if2 at 1000"))
        << "the link asked for the new address, and read at the deadline every command gives it";
    EXPECT_LT(LogIndex("read 10.0.0.9 if2 at 1000"), LogIndex("send 255.255.255.255:65515"));
    EXPECT_TRUE(world.reports.empty());
    EXPECT_EQ(FieldText(dialog, IDC_IP_FIELD), "10.0.0.9") << "the fields stay as they are";
    EXPECT_TRUE(Enabled(dialog, IDC_SEARCH));
    EXPECT_TRUE(GroupEnabled(dialog, false));
    DestroyWindow(dialog);
}

// Where the link cannot say whether a host holds the new address, the dialog
// says so once, and the command goes.
TEST_F(CommandButtons, ANewAddressTheLinkCannotSayOfIsSaidAndSent) {
    struct Case {
        NeighbourAnswer answer;
        const char* why;
    };
    const Case cases[] = {
        {NeighbourAnswer::OlderEntry, "this workstation knows it from before (MAC 02:00:5e:10:00:09), and its system "
                                      "asks the link about a known host again only after seconds of use, not within "
                                      "the moment given"},
        {NeighbourAnswer::Unsupported, "this system cannot be asked who holds an address"},
        {NeighbourAnswer::Nobody, nullptr},
    };
    std::vector<std::string> texts;
    std::vector<std::size_t> sent;
    const INT_PTR result = test::RunModalWith([&](HWND dialog) {
        for (const Case& c : cases) {
            world.neighbours = {{2, MakeAddress(10, 0, 0, 9), c.answer, {0x02, 0, 0x5e, 0x10, 0, 0x09}}};
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED), 0);
            SelectRow(ui::g_resultList, 0);
            ClickList(dialog);
            SetFields(dialog, "10.0.0.9", "255.255.255.0", "10.0.0.1");
            const std::size_t sentBefore = world.sent.size();
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_RECONFIGURE_IP, BN_CLICKED), 0);
            const HWND box = c.why != nullptr ? test::WaitForWindow("Scout Warning") : nullptr;
            texts.push_back(box != nullptr ? test::MessageBoxText(box) : "(none)");
            if (box != nullptr)
                test::CloseMessageBox(box);
            for (int i = 0; i < 1000 && (ui::DialogBusy() || world.sent.size() == sentBefore); ++i)
                Sleep(10);
            for (int i = 0; i < 1000 && ui::DialogBusy(); ++i)
                Sleep(10);
            sent.push_back(world.sent.size() - sentBefore);
        }
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(texts.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(texts[i], cases[i].why == nullptr ? std::string("(none)")
                                                     : std::string("The IP address 10.0.0.9 was not checked against "
                                                                   "other hosts on the interface 10.0.0.1: ") +
                                                           cases[i].why + ". The command is sent.")
            << i;
        EXPECT_EQ(sent[i], 2u) << i << ": the command, and the search after it";
    }
}

TEST_F(CommandButtons, WithNoRowSelectedNothingIsSentAndNoSearchFollows) {
    const HWND dialog = SearchedAndArmed(-1);
    SetFields(dialog, "10.0.0.9", "255.255.255.0", "10.0.0.1");
    const int searchesBefore = world.searches;
    for (int id : {IDC_POWER_ON_RESET, IDC_FACTORY_DEFAULTS, IDC_RECONFIGURE_IP}) {
        ClickList(dialog);  // a click on the empty part of the list arms the group
        ASSERT_TRUE(GroupEnabled(dialog, true));
        Press(dialog, id);
        EXPECT_TRUE(world.sent.empty()) << id;
        EXPECT_TRUE(world.log.empty()) << id << ": " << (world.log.empty() ? "" : world.log.front());
        EXPECT_TRUE(Enabled(dialog, IDC_SEARCH)) << id;
        EXPECT_TRUE(GroupEnabled(dialog, false)) << id;
    }
    EXPECT_EQ(world.searches, searchesBefore);
    EXPECT_EQ(SendMessageA(ui::g_resultList, LVM_GETITEMCOUNT, 0, 0), 2) << "the list is left as it was";
    DestroyWindow(dialog);
}

// The same controller heard on two interfaces: the command leaves by the
// interface of the row that is selected, bound to its address.
TEST_F(CommandButtons, TheCommandLeavesByTheInterfaceThatListedTheRow) {
    const NetAddress other = MakeAddress(10, 2, 0, 1);
    world.interfaces = {{Interface, 2}, {other, 3}};
    world.datagrams = {{Interface, 10, First, test::ReplyBytes(0x1A2B, "1.2", "B")},
                       {other, 10, First, test::ReplyBytes(0x1A2B, "1.2", "B")}};
    const HWND dialog = SearchedAndArmed(1);
    Press(dialog, IDC_POWER_ON_RESET);
    ASSERT_GE(world.log.size(), 6u);
    EXPECT_EQ(world.log[5], "bind 10.2.0.1:65513 if3");
    ASSERT_FALSE(world.sent.empty());
    EXPECT_EQ(world.sent[0], ResetBytes(First, false));
    DestroyWindow(dialog);
}

// A real click on a row while a command waits is queued; it arms nothing and
// leaves no row selected beside the disabled group.
TEST_F(CommandButtons, AClickQueuedWhileBusyArmsNothingAndSelectsNothing) {
    const HWND dialog = SearchedAndArmed(0);
    world.onSleep = [&](int) {
        RECT row{};
        row.left = LVIR_BOUNDS;
        SendMessageA(ui::g_resultList, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
        const LPARAM onRow = MAKELPARAM(row.left + 5, (row.top + row.bottom) / 2);
        PostMessageA(ui::g_resultList, WM_LBUTTONDOWN, MK_LBUTTON, onRow);
        PostMessageA(ui::g_resultList, WM_LBUTTONUP, 0, onRow);
    };
    Press(dialog, IDC_POWER_ON_RESET);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    EXPECT_TRUE(GroupEnabled(dialog, false));
    EXPECT_EQ(SendMessageA(ui::g_resultList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), -1);
    DestroyWindow(dialog);
}

// A command that could not be sent is reported once; no wait and no search
// follow, and the dialog is Ready again with its rows.
TEST_F(CommandButtons, ACommandThatCouldNotBeSentIsReportedAndNothingFollows) {
    std::vector<std::string> texts;
    int rowsAfter = -1;
    bool ready = false;
    std::size_t sentBefore = 0;
    const INT_PTR result = test::RunModalWith([&](HWND dialog) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED), 0);
        SelectRow(ui::g_resultList, 0);
        ClickList(dialog);
        world.failures = {{test::Op::Bind, world.calls[static_cast<int>(test::Op::Bind)] + 1, 98}};
        world.log.clear();
        sentBefore = world.sent.size();
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_POWER_ON_RESET, BN_CLICKED), 0);
        for (;;) {
            const HWND box = test::WaitForWindow("Scout Error", texts.empty() ? 10000 : 1000);
            if (box == nullptr)
                break;
            texts.push_back(test::MessageBoxText(box));
            test::CloseMessageBox(box);
        }
        for (int i = 0; i < 1000 && ui::DialogBusy(); ++i)
            Sleep(10);
        rowsAfter = static_cast<int>(SendMessageA(ui::g_resultList, LVM_GETITEMCOUNT, 0, 0));
        ready = Enabled(dialog, IDC_SEARCH) && GroupEnabled(dialog, false);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(texts, std::vector<std::string>{"Error attempting to bind to socket for address 10.0.0.1. description of 98."});
    EXPECT_EQ(world.sent.size(), sentBefore) << "nothing went out";
    EXPECT_EQ(test::CountLog(world, "sleep 5000"), 0);
    EXPECT_EQ(test::CountLog(world, "load"), 1) << "the decision's reading alone: no search after a command that was not sent";
    EXPECT_EQ(rowsAfter, 2);
    EXPECT_TRUE(ready);
}

struct Refusal {
    const char* ip;
    const char* mask;
    const char* gateway;
    const char* message;
    const char* blankMessage = nullptr;  // a cleared field reads as "0.0.0.0" on Windows, as "" under Wine
};

// What the operator can type into the address fields that no controller may be given.
const Refusal Refusals[] = {
    {"", "255.255.255.0", "10.0.0.1",
     "The IP address 0.0.0.0 is not a usable host address with the subnet mask 255.255.255.0.",
     "The IP address \"\" is not a dotted-decimal IPv4 address."},
    {"10.0.0.0", "255.255.255.0", "10.0.0.1",
     "The IP address 10.0.0.0 is not a usable host address with the subnet mask 255.255.255.0."},
    {"10.0.0.255", "255.255.255.0", "10.0.0.1",
     "The IP address 10.0.0.255 is not a usable host address with the subnet mask 255.255.255.0."},
    {"239.1.2.3", "255.255.255.0", "0.0.0.0",
     "The IP address 239.1.2.3 is not a usable host address with the subnet mask 255.255.255.0."},
    {"127.0.0.9", "255.0.0.0", "0.0.0.0",
     "The IP address 127.0.0.9 is not a usable host address with the subnet mask 255.0.0.0."},
    {"10.0.0.9", "255.0.255.0", "10.0.0.1",
     "The subnet mask 255.0.255.0 is not a contiguous mask of 1 to 30 bits (128.0.0.0 to 255.255.255.252)."},
    {"10.0.0.9", "", "10.0.0.1",
     "The subnet mask 0.0.0.0 is not a contiguous mask of 1 to 30 bits (128.0.0.0 to 255.255.255.252).",
     "The subnet mask \"\" is not a dotted-decimal IPv4 address."},
    {"10.0.0.9", "255.255.255.255", "10.0.0.1",
     "The subnet mask 255.255.255.255 is not a contiguous mask of 1 to 30 bits (128.0.0.0 to 255.255.255.252)."},
    {"10.0.0.9", "255.255.255.0", "10.0.1.1",
     "The gateway 10.0.1.1 is neither 0.0.0.0 (none) nor another host address in the subnet of 10.0.0.9 with "
     "the mask 255.255.255.0."},
    {"10.0.0.9", "255.255.255.0", "10.0.0.9",
     "The gateway 10.0.0.9 is neither 0.0.0.0 (none) nor another host address in the subnet of 10.0.0.9 with "
     "the mask 255.255.255.0."},
    // With what the list shows: another controller's address, the workstation's own.
    {"10.0.0.6", "255.255.255.0", "0.0.0.0",
     "The IP address 10.0.0.6 is already used by a controller listed on the interface 10.0.0.1."},
    {"10.0.0.1", "255.255.255.0", "0.0.0.0", "The IP address 10.0.0.1 is an address of this workstation."},
    // A host of the line holds it, though no controller answers there.
    {"10.0.0.7", "255.255.255.0", "0.0.0.0",
     "The IP address 10.0.0.7 is in use by a host that does not answer as a controller (MAC 02:00:5e:10:00:07) on "
     "the interface 10.0.0.1."},
    // This workstation sends whatever is meant for it to a MAC set by hand.
    {"10.0.0.8", "255.255.255.0", "0.0.0.0",
     "This workstation holds a neighbour entry set by hand for 10.0.0.8 (MAC 02:00:5e:10:00:08) on the interface "
     "10.0.0.1: what it sends to that address goes to that MAC, not to a controller given it. Remove the entry if "
     "that host is gone."},
    // A host address with the mask typed, but the edge of the interface's own subnet.
    {"10.0.0.255", "255.255.0.0", "0.0.0.0",
     "The IP address 10.0.0.255 is the network or broadcast address of the subnet of the interface 10.0.0.1/24; no "
     "controller can hold it."},
};

// Several replies from the selected row's address on its interface: several
// controllers (or one that answers twice) would all get the one new address.
TEST_F(CommandButtons, ReconfigureOfAnAddressListedTwiceIsRefused) {
    world.datagrams.push_back({Interface, 30, First, test::ReplyBytes(0x1A2B, "1.2", "B")});
    std::string text = "(no report)";
    std::size_t sent = 99;
    test::RunModalWith([&](HWND dialog) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED), 0);
        SelectRow(ui::g_resultList, 0);
        ClickList(dialog);
        SetFields(dialog, "10.0.0.9", "255.255.255.0", "0.0.0.0");
        world.sent.clear();
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_RECONFIGURE_IP, BN_CLICKED), 0);
        if (const HWND box = test::WaitForWindow("Scout Error")) {
            text = test::MessageBoxText(box);
            test::CloseMessageBox(box);
        }
        for (int i = 0; i < 1000 && ui::DialogBusy(); ++i)
            Sleep(10);
        sent = world.sent.size();
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(text, "The IP address 10.0.0.5 is listed more than once on the interface 10.0.0.1: several controllers "
                    "answer there, or one answers twice, and each would get the new address. Power them up one at a "
                    "time.");
    EXPECT_EQ(sent, 0u);
}

// A row listed at this workstation's own address (its own reply, as a
// misconfigured bench can give): no button sends anything to it.
TEST_F(CommandButtons, ARowAtTheWorkstationsOwnAddressIsRefusedByEveryButton) {
    world.datagrams.push_back({Interface, 30, Interface, test::ReplyBytes(0x1A2B, "1.2", "B")});
    std::vector<std::string> texts;
    std::vector<std::size_t> sent;
    test::RunModalWith([&](HWND dialog) {
        for (const int id : {IDC_POWER_ON_RESET, IDC_FACTORY_DEFAULTS, IDC_RECONFIGURE_IP}) {
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED), 0);
            const int rows = static_cast<int>(SendMessageA(ui::g_resultList, LVM_GETITEMCOUNT, 0, 0));
            for (int row = 0; row < rows; ++row)
                if (ItemText(ui::g_resultList, row, 0) == "10.0.0.1")
                    SelectRow(ui::g_resultList, row);
            ClickList(dialog);
            SetFields(dialog, "10.0.0.9", "255.255.255.0", "0.0.0.0");
            world.sent.clear();
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
            const HWND box = test::WaitForWindow("Scout Error");
            texts.push_back(box != nullptr ? test::MessageBoxText(box) : "(no report)");
            if (box != nullptr)
                test::CloseMessageBox(box);
            for (int i = 0; i < 1000 && ui::DialogBusy(); ++i)
                Sleep(10);
            sent.push_back(world.sent.size());
        }
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    const std::string refused = "The IP address 10.0.0.1 is an address of this workstation, not a controller's.";
    EXPECT_EQ(texts, std::vector<std::string>(3, refused));
    EXPECT_EQ(sent, std::vector<std::size_t>(3, 0));
}

TEST_F(CommandButtons, RefusedFieldsAreReportedAndNothingIsSent) {
    std::vector<std::string> texts, captions;
    std::vector<bool> nothingSent, fieldsKept, ready;
    const INT_PTR result = test::RunModalWith([&](HWND dialog) {
        for (const Refusal& refusal : Refusals) {
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED), 0);
            SelectRow(ui::g_resultList, 0);
            ClickList(dialog);
            SetFields(dialog, refusal.ip, refusal.mask, refusal.gateway);
            const std::string before[] = {FieldText(dialog, IDC_IP_FIELD), FieldText(dialog, IDC_MASK_FIELD),
                                          FieldText(dialog, IDC_GATEWAY_FIELD)};
            const std::size_t sentBefore = world.sent.size();
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_RECONFIGURE_IP, BN_CLICKED), 0);
            const HWND box = test::WaitForWindow("Scout Error");
            if (box == nullptr) {
                texts.push_back("(no report)");
                continue;
            }
            texts.push_back(test::MessageBoxText(box));
            captions.push_back(test::WindowText(box));
            test::CloseMessageBox(box);
            for (int i = 0; i < 1000 && ui::DialogBusy(); ++i)
                Sleep(10);
            nothingSent.push_back(world.sent.size() == sentBefore);
            fieldsKept.push_back(FieldText(dialog, IDC_IP_FIELD) == before[0] &&
                                 FieldText(dialog, IDC_MASK_FIELD) == before[1] &&
                                 FieldText(dialog, IDC_GATEWAY_FIELD) == before[2]);
            ready.push_back(Enabled(dialog, IDC_SEARCH) && GroupEnabled(dialog, false));
        }
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(texts.size(), std::size(Refusals));
    for (std::size_t i = 0; i < std::size(Refusals); ++i) {
        const bool blankReading = Refusals[i].blankMessage != nullptr && texts[i] == Refusals[i].blankMessage;
        if (!blankReading) {
            EXPECT_EQ(texts[i], Refusals[i].message) << i;
        }
        if (i < captions.size()) {
            EXPECT_EQ(captions[i], "Scout Error") << i;
        }
        if (i < nothingSent.size()) {
            EXPECT_TRUE(nothingSent[i]) << i;
            EXPECT_TRUE(fieldsKept[i]) << i;
            EXPECT_TRUE(ready[i]) << i;
        }
    }
    EXPECT_EQ(test::CountLog(world, "sleep 5000"), 0) << "no wait and no search after a refusal";
}

}  // namespace
}  // namespace scout
