// The real dialog under Wine: its template, its start-up, its states, and the
// input it takes while a search is under way. Searches run on the fake platform.
#include <gtest/gtest.h>

#include "tests/win32/dialog_harness.h"

#include <commctrl.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/resource.h"
#include "net/system_platform.h"
#include "tests/fakes/fake_platform.h"
#include "ui/main_dialog.h"

namespace scout {
namespace {

using test::ClickList;
using test::Enabled;

using test::GroupEnabled;
using test::ItemText;

// One interface with two controllers; the dialog searches on this world.
class DialogTest : public test::FakeDialogTest {
protected:
    void SetUp() override {
        FakeDialogTest::SetUp();
        world.interfaces = {{MakeAddress(10, 1, 0, 1), 2}};
        world.datagrams = {{MakeAddress(10, 1, 0, 1), 10, MakeAddress(10, 1, 0, 50), test::ReplyBytes(0x1A2B, "1.2", "B")},
                           {MakeAddress(10, 1, 0, 1), 20, MakeAddress(10, 1, 0, 51), test::ReplyBytes(0, "VERSION8", "rev")}};
    }
};

// --- the template, read back as the platform stores it ---

struct TemplateControl {
    int id;
    WORD classAtom;  // 0x80 button, 0x82 static
    const char* text;
    DWORD style;
    short x, y, cx, cy;
};

constexpr DWORD Child = WS_CHILD | WS_VISIBLE;
const TemplateControl ExpectedControls[] = {
    {IDC_LIST_AREA, 0x82, "", Child | WS_GROUP | SS_LEFT, 10, 10, 245, 100},
    {IDC_SEARCH, 0x80, "Search", Child | WS_TABSTOP | BS_PUSHBUTTON, 112, 115, 40, 14},
    {IDC_POWER_ON_RESET, 0x80, "Power on Reset", Child | WS_TABSTOP | BS_PUSHBUTTON, 20, 148, 60, 14},
    {IDC_FACTORY_DEFAULTS, 0x80, "Factory Defaults", Child | WS_TABSTOP | BS_PUSHBUTTON, 20, 173, 60, 14},
    {IDC_RECONFIGURE_IP, 0x80, "Reconfigure IP", Child | WS_TABSTOP | BS_PUSHBUTTON, 20, 198, 60, 14},
    {IDC_IP_LABEL, 0x82, "IP Address", Child | WS_GROUP | SS_RIGHT, 100, 150, 45, 10},
    {IDC_IP_AREA, 0x82, "", Child | WS_GROUP | SS_LEFT, 150, 147, 100, 16},
    {IDC_MASK_LABEL, 0x82, "Subnet Mask", Child | WS_GROUP | SS_RIGHT, 100, 175, 45, 10},
    {IDC_MASK_AREA, 0x82, "", Child | WS_GROUP | SS_LEFT, 150, 172, 100, 16},
    {IDC_GATEWAY_LABEL, 0x82, "Gateway", Child | WS_GROUP | SS_RIGHT, 100, 200, 45, 10},
    {IDC_GATEWAY_AREA, 0x82, "", Child | WS_GROUP | SS_LEFT, 150, 197, 100, 16},
    {IDOK, 0x80, "OK", Child | WS_TABSTOP | BS_DEFPUSHBUTTON, 170, 230, 40, 14},
    {IDCANCEL, 0x80, "Cancel", Child | WS_TABSTOP | BS_PUSHBUTTON, 215, 230, 40, 14},
};

struct Reader {
    const BYTE* p;
    WORD Word() {
        WORD w;
        std::memcpy(&w, p, 2);
        p += 2;
        return w;
    }
    DWORD Dword() {
        DWORD d;
        std::memcpy(&d, p, 4);
        p += 4;
        return d;
    }
    std::string WideText() {
        std::string out;
        for (WORD c = Word(); c != 0; c = Word())
            out += static_cast<char>(c);
        return out;
    }
    void AlignDword(const BYTE* base) {
        while ((p - base) % 4 != 0)
            ++p;
    }
};

TEST(DialogTemplate, ClassicTemplateWithEveryControlInOrder) {
    const HRSRC resource = FindResourceA(nullptr, ui::MainDialogTemplate, MAKEINTRESOURCEA(5));  // RT_DIALOG
    ASSERT_NE(resource, nullptr);
    const auto* base = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, resource)));
    Reader r{base};
    EXPECT_EQ(r.Dword(), 0x00CA00C0u) << "style";
    EXPECT_EQ(r.Dword(), 0u) << "extended style";
    const WORD count = r.Word();
    EXPECT_EQ(static_cast<short>(r.Word()), 100);
    EXPECT_EQ(static_cast<short>(r.Word()), 50);
    EXPECT_EQ(static_cast<short>(r.Word()), 265);
    EXPECT_EQ(static_cast<short>(r.Word()), 250);
    EXPECT_EQ(r.Word(), 0) << "no menu";
    EXPECT_EQ(r.Word(), 0) << "no class of its own";
    EXPECT_EQ(r.WideText(), "Ethernet Scout Tool");
    EXPECT_EQ(r.Word(), 8) << "font size";
    EXPECT_EQ(r.WideText(), "MS Sans Serif");
    ASSERT_EQ(count, std::size(ExpectedControls));
    for (const TemplateControl& expected : ExpectedControls) {
        r.AlignDword(base);
        const DWORD style = r.Dword();
        const DWORD exStyle = r.Dword();
        const short x = static_cast<short>(r.Word()), y = static_cast<short>(r.Word());
        const short cx = static_cast<short>(r.Word()), cy = static_cast<short>(r.Word());
        const WORD id = r.Word();
        ASSERT_EQ(r.Word(), 0xFFFF) << "class by atom, control " << expected.id;
        const WORD atom = r.Word();
        const std::string text = r.WideText();
        const WORD extra = r.Word();
        r.p += extra;
        EXPECT_EQ(id, expected.id);
        EXPECT_EQ(atom, expected.classAtom) << expected.id;
        EXPECT_EQ(text, expected.text) << expected.id;
        EXPECT_EQ(style, expected.style) << expected.id;
        EXPECT_EQ(exStyle, 0u) << expected.id;
        EXPECT_EQ(x, expected.x) << expected.id;
        EXPECT_EQ(y, expected.y) << expected.id;
        EXPECT_EQ(cx, expected.cx) << expected.id;
        EXPECT_EQ(cy, expected.cy) << expected.id;
    }
}

// --- start-up ---

// Every WM_SETFONT sent while the dialog starts, by receiving window; the
// IP address control keeps no font that WM_GETFONT would show.
std::map<HWND, HGDIOBJ> g_fontsSent;
std::map<HWND, LPARAM> g_fontRedraws;

LRESULT CALLBACK WatchFonts(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == WM_SETFONT) {
        g_fontsSent[sent->hwnd] = reinterpret_cast<HGDIOBJ>(sent->wParam);
        g_fontRedraws[sent->hwnd] = sent->lParam;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(DialogTest, StartUpBuildsTheListAndFieldsAndRunsNoSearch) {
    g_fontsSent.clear();
    g_fontRedraws.clear();
    const HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchFonts, nullptr, GetCurrentThreadId());
    const HWND dialog = test::CreateMainDialog();
    UnhookWindowsHookEx(hook);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(g_fontsSent.count(GetDlgItem(dialog, IDC_RESULT_LIST)), 0u) << "the list is sent no font";
    for (const auto& entry : g_fontsSent) {
        // The dialog manager gives its template controls the dialog's font; only
        // the three fields get the stock font, without redraw.
        if (entry.second == GetStockObject(DEFAULT_GUI_FONT)) {
            const int id = GetDlgCtrlID(entry.first);
            EXPECT_TRUE(id == IDC_IP_FIELD || id == IDC_MASK_FIELD || id == IDC_GATEWAY_FIELD) << id;
        }
    }
    const HWND list = GetDlgItem(dialog, IDC_RESULT_LIST);
    ASSERT_EQ(list, ui::g_resultList);
    char className[64];
    GetClassNameA(list, className, sizeof className);
    EXPECT_STREQ(className, "SysListView32");
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(list, GWL_STYLE)), 0x50008005u);
    EXPECT_NE(GetWindowLongA(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    EXPECT_NE(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT, 0);
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(world.searches, 0) << "no search runs by itself";

    RECT listRect;
    GetWindowRect(list, &listRect);
    const int listWidth = listRect.right - listRect.left;
    const char* headers[] = {"IP ADDR", "Model", "Version", "Revision"};
    const int widths[] = {listWidth - ui::ListColumnSlack, 120, 60, 60};
    int total = 0;
    for (int i = 0; i < 4; ++i) {
        char text[32] = {};
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(text, headers[i]);
        EXPECT_EQ(column.cx, widths[i]) << "column " << i;
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
        total += column.cx;
    }
    EXPECT_EQ(total, listWidth - 4);
    LVCOLUMNA fifth{};
    fifth.mask = LVCF_WIDTH;
    EXPECT_FALSE(SendMessageA(list, LVM_GETCOLUMNA, 4, reinterpret_cast<LPARAM>(&fifth)));

    // Each created control lies exactly over its placeholder, which stays in place.
    const int pairs[][2] = {{IDC_LIST_AREA, IDC_RESULT_LIST}, {IDC_IP_AREA, IDC_IP_FIELD},
                            {IDC_MASK_AREA, IDC_MASK_FIELD}, {IDC_GATEWAY_AREA, IDC_GATEWAY_FIELD}};
    for (const auto& pair : pairs) {
        RECT placeholder, created;
        GetWindowRect(GetDlgItem(dialog, pair[0]), &placeholder);
        GetWindowRect(GetDlgItem(dialog, pair[1]), &created);
        EXPECT_TRUE(EqualRect(&placeholder, &created)) << pair[1];
        EXPECT_NE(GetWindowLongA(GetDlgItem(dialog, pair[0]), GWL_STYLE) & WS_VISIBLE, 0) << pair[0];
        EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog, pair[1]), GWL_STYLE) & WS_TABSTOP, 0) << pair[1];
    }
    for (int id : {IDC_IP_FIELD, IDC_MASK_FIELD, IDC_GATEWAY_FIELD}) {
        const HWND field = GetDlgItem(dialog, id);
        GetClassNameA(field, className, sizeof className);
        EXPECT_STREQ(className, "SysIPAddress32");
        EXPECT_EQ(g_fontsSent[field], GetStockObject(DEFAULT_GUI_FONT)) << "font of field " << id;
        EXPECT_EQ(g_fontRedraws[field], FALSE) << "no redraw for field " << id;
    }
    EXPECT_TRUE(GroupEnabled(dialog, false));
    EXPECT_TRUE(Enabled(dialog, IDC_SEARCH));
    DestroyWindow(dialog);
}

TEST_F(DialogTest, FocusStartsOnSearchAndEscEndsWithZero) {
    HWND focus = nullptr;
    const INT_PTR result = test::RunModalWith([&](HWND dialog) {
        // The window exists before the dialog manager has placed the focus.
        GUITHREADINFO info{};
        for (int i = 0; i < 1000 && info.hwndFocus == nullptr; ++i) {
            Sleep(10);
            info = GUITHREADINFO{};
            info.cbSize = sizeof info;
            GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
        }
        focus = info.hwndFocus;
        EXPECT_EQ(focus, GetDlgItem(dialog, IDC_SEARCH));
        PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(focus, WM_KEYUP, VK_ESCAPE, 0);
    });
    EXPECT_EQ(result, 0);
    EXPECT_NE(focus, nullptr);
}

TEST_F(DialogTest, OkEndsWithOneCancelAndCloseBoxWithZero) {
    EXPECT_EQ(test::RunModalWith([](HWND dialog) {
                  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
              }),
              1);
    EXPECT_EQ(test::RunModalWith([](HWND dialog) {
                  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
              }),
              0);
    EXPECT_EQ(test::RunModalWith([](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }), 0);
    EXPECT_EQ(world.searches, 0);
}

// --- the states ---

TEST_F(DialogTest, SearchIsBusyThenReadyWithTheRows) {
    const HWND dialog = test::CreateMainDialog();
    ASSERT_NE(dialog, nullptr);
    ClickList(dialog);
    ASSERT_TRUE(GroupEnabled(dialog, true));
    bool searchDisabledMeanwhile = false, groupDisabledMeanwhile = false;
    world.onSleep = [&](int sleep) {
        if (sleep == 1) {
            searchDisabledMeanwhile = !Enabled(dialog, IDC_SEARCH);
            groupDisabledMeanwhile = GroupEnabled(dialog, false);
        }
    };
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED), 0);
    EXPECT_TRUE(searchDisabledMeanwhile);
    EXPECT_TRUE(groupDisabledMeanwhile);
    EXPECT_TRUE(Enabled(dialog, IDC_SEARCH));
    EXPECT_TRUE(GroupEnabled(dialog, false)) << "a search leaves the group disabled";
    EXPECT_FALSE(ui::DialogBusy());

    const HWND list = ui::g_resultList;
    ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(ItemText(list, 0, 0), "10.1.0.50");
    EXPECT_EQ(ItemText(list, 0, 1), "KRV-ETH1A2B");
    EXPECT_EQ(ItemText(list, 0, 2), "1.2");
    EXPECT_EQ(ItemText(list, 0, 3), "B");
    EXPECT_EQ(ItemText(list, 1, 0), "10.1.0.51");
    EXPECT_EQ(ItemText(list, 1, 2), "VERSION8rev");

    // A click arms the group, on a row or on the list's empty part; other
    // notifications and other senders change nothing.
    NMHDR other{};
    other.hwndFrom = GetDlgItem(dialog, IDC_SEARCH);
    other.idFrom = IDC_RESULT_LIST;
    other.code = static_cast<UINT>(NM_CLICK);
    SendMessageA(dialog, WM_NOTIFY, IDC_RESULT_LIST, reinterpret_cast<LPARAM>(&other));
    EXPECT_TRUE(GroupEnabled(dialog, false)) << "NM_CLICK from another window";
    NMHDR changed{};
    changed.hwndFrom = list;
    changed.idFrom = IDC_RESULT_LIST;
    changed.code = LVN_ITEMCHANGED;
    SendMessageA(dialog, WM_NOTIFY, IDC_RESULT_LIST, reinterpret_cast<LPARAM>(&changed));
    EXPECT_TRUE(GroupEnabled(dialog, false)) << "another notification";
    ClickList(dialog);
    EXPECT_TRUE(GroupEnabled(dialog, true));

    // A second search clears the list first.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED), 0);
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_TRUE(GroupEnabled(dialog, false));
    EXPECT_EQ(world.searches, 2);
    DestroyWindow(dialog);
}

TEST_F(DialogTest, RealMouseClicksOnTheListArmTheGroup) {
    const HWND dialog = test::CreateMainDialog();
    ASSERT_NE(dialog, nullptr);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED), 0);
    const HWND list = ui::g_resultList;
    RECT row{};
    row.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    const LPARAM onRow = MAKELPARAM(row.left + 5, (row.top + row.bottom) / 2);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, onRow);
    PostMessageA(list, WM_LBUTTONUP, 0, onRow);
    MSG message;
    for (int i = 0; i < 1000 && !GroupEnabled(dialog, true); ++i) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(10);
    }
    EXPECT_TRUE(GroupEnabled(dialog, true)) << "a click on a row";
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);

    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED), 0);
    ASSERT_TRUE(GroupEnabled(dialog, false));
    RECT client;
    GetClientRect(list, &client);
    const LPARAM empty = MAKELPARAM(client.right / 2, client.bottom - 5);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, empty);
    PostMessageA(list, WM_LBUTTONUP, 0, empty);
    for (int i = 0; i < 1000 && !GroupEnabled(dialog, true); ++i) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(10);
    }
    EXPECT_TRUE(GroupEnabled(dialog, true)) << "a click on the empty part of the list";
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), -1);
    DestroyWindow(dialog);
}

// --- input while busy ---

TEST_F(DialogTest, InputWhileBusyArmsNothingStartsNothingAndCancelWaits) {
    static NMHDR queuedClick;  // posted messages need it to outlive the post
    bool stillOpenAfterCancel = false;
    world.onSleep = [&](int sleep) {
        if (sleep != 1)
            return;
        const HWND dialog = FindWindowA(nullptr, "Ethernet Scout Tool");
        ClickList(dialog);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED), 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        // Input queued meanwhile is handled while still busy, too.
        queuedClick.hwndFrom = ui::g_resultList;
        queuedClick.idFrom = IDC_RESULT_LIST;
        queuedClick.code = static_cast<UINT>(NM_CLICK);
        PostMessageA(dialog, WM_NOTIFY, IDC_RESULT_LIST, reinterpret_cast<LPARAM>(&queuedClick));
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED), 0);
        stillOpenAfterCancel = IsWindow(dialog) && GroupEnabled(dialog, false);
    };
    const INT_PTR result = test::RunModalWith([](HWND dialog) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED), 0);
    });
    EXPECT_TRUE(stillOpenAfterCancel);
    EXPECT_EQ(world.searches, 1) << "no second search";
    EXPECT_EQ(result, 0) << "the first of Cancel and OK takes effect after the search";
}

TEST_F(DialogTest, InputWhileAReportIsOpen) {
    world.failures = {{test::Op::Receive, 1, 42}};
    std::string reported;
    bool groupStayedDisabled = false;
    bool searchStayedDisabled = false;
    const INT_PTR result = test::RunModalWith([&](HWND dialog) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED), 0);
        const HWND box = test::WaitForWindow("Scout Error");
        ASSERT_NE(box, nullptr);
        reported = test::MessageBoxText(box);
        // The box has no owner: the dialog still takes clicks while it is open.
        ClickList(dialog);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED), 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        groupStayedDisabled = GroupEnabled(dialog, false);
        searchStayedDisabled = !Enabled(dialog, IDC_SEARCH);
        EXPECT_TRUE(IsWindowEnabled(dialog));
        EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
        test::CloseMessageBox(box);
    });
    EXPECT_EQ(reported, "Error attempting to receive data for address 10.1.0.1. description of 42.");
    EXPECT_TRUE(groupStayedDisabled);
    EXPECT_TRUE(searchStayedDisabled);
    EXPECT_EQ(world.searches, 1);
    EXPECT_EQ(result, 1) << "OK pressed during the report ends the dialog after the search";
}

TEST_F(DialogTest, TwoReportsOneAfterTheOther) {
    world.interfaces.push_back({MakeAddress(10, 2, 0, 1), 3});
    world.failures = {{test::Op::Receive, 1, 42}, {test::Op::Bind, 2, 43}};
    std::vector<std::string> texts;
    test::RunModalWith([&](HWND dialog) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED), 0);
        for (int i = 0; i < 2; ++i) {
            const HWND box = test::WaitForWindow("Scout Error");
            ASSERT_NE(box, nullptr);
            texts.push_back(test::MessageBoxText(box));
            char caption[64];
            GetWindowTextA(box, caption, sizeof caption);
            EXPECT_STREQ(caption, "Scout Error");
            test::CloseMessageBox(box);
        }
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "Error attempting to receive data for address 10.1.0.1. description of 42.",
                         "Error attempting to bind to socket for address 10.2.0.1. description of 43."}));
}

// --- the socket layer's start-up ---

constexpr int SocketsNotReady = 10091;  // WSASYSNOTREADY

TEST(DialogStartup, SocketFailureIsReportedAndTheDialogNeverShows) {
    // The system's own platform, but for a socket layer that will not start.
    NetPlatform failing = SystemNetPlatform();
    failing.startSocketLayer = [](void*) { return SocketsNotReady; };
    ui::SetDialogPlatform(&failing);
    std::string text;
    bool dialogVisible = true;
    const INT_PTR result = test::RunModalWith([&](HWND dialog) {
        const HWND box = test::WaitForWindow("Scout Error");
        ASSERT_NE(box, nullptr);
        text = test::MessageBoxText(box);
        dialogVisible = IsWindowVisible(dialog) != FALSE;
        test::CloseMessageBox(box);
    });
    ui::SetDialogPlatform(nullptr);
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(dialogVisible);
    char* description = nullptr;
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                   SocketsNotReady, 0x0400, reinterpret_cast<char*>(&description), 0, nullptr);
    const std::string expected =
        std::string("Error attempting to initialize sockets. ") + (description ? description : "(null)") + ".";
    LocalFree(description);
    EXPECT_EQ(text, expected);
}

}  // namespace
}  // namespace scout
