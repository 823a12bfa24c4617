// The address settings of the real dialog under Wine, against the settings file
// in the Windows directory of the tests' throw-away prefix.
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

std::string FieldText(HWND dialog, int id) {
    char text[64] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// What the dialog does to its address fields while it starts: each field's
// creation, and the text each field holds when the next one is created (and,
// for the last, when the dialog has started).
std::vector<std::string> g_fieldEvents;
HWND g_lastField = nullptr;

void NoteLastFieldText() {
    if (g_lastField == nullptr)
        return;
    char text[64] = {};
    GetWindowTextA(g_lastField, text, sizeof text);
    g_fieldEvents.push_back("text " + std::to_string(GetDlgCtrlID(g_lastField)) + " " + text);
}

LRESULT CALLBACK WatchFields(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == WM_CREATE) {
        char className[32] = {};
        GetClassNameA(sent->hwnd, className, sizeof className);
        if (std::string(className) == "SysIPAddress32") {
            NoteLastFieldText();
            g_fieldEvents.push_back("create " + std::to_string(GetDlgCtrlID(sent->hwnd)));
            g_lastField = sent->hwnd;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class AddressSettings : public test::FakeDialogTest {
protected:
    // Starts the dialog and records what its fields were given.
    HWND StartWatched() {
        g_fieldEvents.clear();
        g_lastField = nullptr;
        const HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchFields, nullptr, GetCurrentThreadId());
        const HWND dialog = test::CreateMainDialog();
        UnhookWindowsHookEx(hook);
        NoteLastFieldText();
        return dialog;
    }
    // Runs the dialog modally, sets one field, presses OK; the reports it showed.
    std::vector<std::string> SetFieldAndPressOk(int field, const char* text) {
        std::vector<std::string> reports;
        EXPECT_EQ(test::RunModalWith([&](HWND dialog) {
                      SetDlgItemTextA(dialog, field, text);
                      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                      if (const HWND box = test::WaitForWindow("Scout Error", 1000)) {
                          reports.push_back(test::MessageBoxText(box));
                          test::CloseMessageBox(box);
                      }
                  }),
                  1);
        return reports;
    }
    // Runs the dialog modally, sets the mask field and leaves with the given button.
    INT_PTR ChangeMaskAndLeave(const char* mask, UINT message, WPARAM wParam) {
        return test::RunModalWith([&](HWND dialog) {
            SetDlgItemTextA(dialog, IDC_MASK_FIELD, mask);
            PostMessageA(dialog, message, wParam, 0);
        });
    }
};

TEST_F(AddressSettings, FirstStartShowsTheDefaultsEachLoadedRightAfterItsField) {
    const HWND dialog = StartWatched();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(g_fieldEvents, (std::vector<std::string>{"create 1070", "text 1070 192.168.1.100", "create 1090",
                                                       "text 1090 255.255.255.0", "create 1110",
                                                       "text 1110 192.168.1.1"}));
    EXPECT_EQ(FieldText(dialog, IDC_IP_FIELD), "192.168.1.100");
    EXPECT_EQ(FieldText(dialog, IDC_MASK_FIELD), "255.255.255.0");
    EXPECT_EQ(FieldText(dialog, IDC_GATEWAY_FIELD), "192.168.1.1");
    DestroyWindow(dialog);
    EXPECT_EQ(test::ReadSettingsFile(), "(none)") << "starting writes nothing";
}

TEST_F(AddressSettings, CancelEscAndTheCloseBoxSaveNothing) {
    EXPECT_EQ(ChangeMaskAndLeave("255.255.0.0", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)), 0);
    EXPECT_EQ(ChangeMaskAndLeave("255.255.0.0", WM_SYSCOMMAND, SC_CLOSE), 0);
    EXPECT_EQ(test::ReadSettingsFile(), "(none)");

    test::WriteSettingsFile("[Network Address]\r\nIP=10.0.0.9\r\nMask=255.255.255.0\r\nGateway=10.0.0.1\r\n");
    const INT_PTR result = test::RunModalWith([](HWND dialog) {
        SetDlgItemTextA(dialog, IDC_MASK_FIELD, "255.0.0.0");
        const HWND search = GetDlgItem(dialog, IDC_SEARCH);
        PostMessageA(search, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(search, WM_KEYUP, VK_ESCAPE, 0);
    });
    EXPECT_EQ(result, 0);
    const HWND dialog = test::CreateMainDialog();
    EXPECT_EQ(FieldText(dialog, IDC_MASK_FIELD), "255.255.255.0") << "the next start shows the previous mask";
    DestroyWindow(dialog);
}

TEST_F(AddressSettings, OkSavesTheFieldsInOrderAndTheNextStartShowsThem) {
    EXPECT_EQ(ChangeMaskAndLeave("255.255.0.0", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)), 1);
    EXPECT_EQ(test::ReadSettingsFile(),
              "[Network Address]\r\nIP=192.168.1.100\r\nMask=255.255.0.0\r\nGateway=192.168.1.1\r\n");
    const HWND dialog = test::CreateMainDialog();
    EXPECT_EQ(FieldText(dialog, IDC_MASK_FIELD), "255.255.0.0");
    DestroyWindow(dialog);

    // An existing file keeps what else it holds; the keys are replaced where they stand.
    test::WriteSettingsFile("[Other]\r\nkey=value\r\n[network address]\r\ngateway=10.0.0.1\r\nIP=10.0.0.9\r\n");
    EXPECT_EQ(ChangeMaskAndLeave("255.255.255.128", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)), 1);
    EXPECT_EQ(test::ReadSettingsFile(), "[Other]\r\nkey=value\r\n[network address]\r\ngateway=10.0.0.1\r\n"
                                        "IP=10.0.0.9\r\nMask=255.255.255.128\r\n");
}

TEST_F(AddressSettings, EnterTakesTheOkPathFromAField) {
    const INT_PTR result = test::RunModalWith([](HWND dialog) {
        SetDlgItemTextA(dialog, IDC_GATEWAY_FIELD, "192.168.1.254");
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_IP_FIELD)), TRUE);
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
        PostMessageA(info.hwndFocus, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageA(info.hwndFocus, WM_KEYUP, VK_RETURN, 0);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(test::ReadSettingsFile(),
              "[Network Address]\r\nIP=192.168.1.100\r\nMask=255.255.255.0\r\nGateway=192.168.1.254\r\n");
}

TEST_F(AddressSettings, ValuesReachTheFieldsAsTheFileHasThem) {
    // Names match without regard to case; an empty value stays empty; a value
    // that is no address is handed to the field unchanged (what the field then
    // shows is the field's own affair).
    test::WriteSettingsFile("[NETWORK address]\r\nip=\r\nMASK=not an address\r\nGateWay=10.9.8.7\r\n");
    const HWND dialog = StartWatched();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(g_fieldEvents, (std::vector<std::string>{"create 1070", "text 1070 ", "create 1090",
                                                       "text 1090 not an address", "create 1110",
                                                       "text 1110 10.9.8.7"}));
    EXPECT_TRUE(SendMessageA(GetDlgItem(dialog, IDC_IP_FIELD), IPM_ISBLANK, 0, 0));
    EXPECT_EQ(FieldText(dialog, IDC_GATEWAY_FIELD), "10.9.8.7");
    DWORD shown = 0;
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, IDC_GATEWAY_FIELD), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&shown)),
              4) << "an address is shown in the field's four boxes";
    EXPECT_EQ(shown, static_cast<DWORD>(MAKEIPADDRESS(10, 9, 8, 7)));
    DestroyWindow(dialog);
}

// What an operator on a standard account meets: the Windows directory cannot
// be written (here a folder stands in the file's place). The values go to the
// user's own file, silently, and the next start shows them; once the Windows
// directory can be written again, OK writes there and the user's copy goes.
TEST_F(AddressSettings, WhereTheWindowsDirectoryCannotBeWrittenTheUsersOwnFileKeepsThem) {
    test::RemoveSettingsFile();
    ASSERT_TRUE(CreateDirectoryA(test::SettingsPath().c_str(), nullptr));
    const std::vector<std::string> reports = SetFieldAndPressOk(IDC_MASK_FIELD, "255.255.0.0");
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(test::ReadUserSettingsFile(),
              "[Network Address]\r\nIP=192.168.1.100\r\nMask=255.255.0.0\r\nGateway=192.168.1.1\r\n");
    HWND dialog = test::CreateMainDialog();
    EXPECT_EQ(FieldText(dialog, IDC_MASK_FIELD), "255.255.0.0") << "the user's own file is read first";
    DestroyWindow(dialog);

    test::RemoveSettingsFile();
    test::WriteSettingsFile("[Network Address]\r\nMask=255.0.0.0\r\n");
    dialog = test::CreateMainDialog();
    EXPECT_EQ(FieldText(dialog, IDC_MASK_FIELD), "255.255.0.0") << "while it exists";
    DestroyWindow(dialog);
    EXPECT_EQ(ChangeMaskAndLeave("255.255.255.128", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)), 1);
    EXPECT_EQ(test::ReadSettingsFile(),
              "[Network Address]\r\nMask=255.255.255.128\r\nIP=192.168.1.100\r\nGateway=192.168.1.1\r\n");
    EXPECT_EQ(test::ReadUserSettingsFile(), "(none)") << "so that the two never disagree";
}

// A standard account's own situation, as tests/win32/as_standard_user.sh makes
// it under Wine (a prefix of an unprivileged user, its Windows directory made
// read-only): skipped wherever the Windows directory can be written.
TEST_F(AddressSettings, OnAStandardAccountOkKeepsTheValuesInTheUsersFile) {
    char directory[MAX_PATH] = {};
    GetWindowsDirectoryA(directory, sizeof directory);
    const std::string probe = std::string(directory) + "\\scout-probe.tmp";
    const HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        DeleteFileA(probe.c_str());
        GTEST_SKIP() << "the Windows directory can be written here";
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    const std::vector<std::string> reports = SetFieldAndPressOk(IDC_IP_FIELD, "10.1.0.77");
    EXPECT_TRUE(reports.empty()) << reports[0];
    EXPECT_EQ(test::ReadSettingsFile(), "(none)");
    EXPECT_EQ(test::ReadUserSettingsFile(),
              "[Network Address]\r\nIP=10.1.0.77\r\nMask=255.255.255.0\r\nGateway=192.168.1.1\r\n");
    const HWND dialog = test::CreateMainDialog();
    EXPECT_EQ(FieldText(dialog, IDC_IP_FIELD), "10.1.0.77") << "the next start shows them";
    DestroyWindow(dialog);
}

TEST_F(AddressSettings, WhereNeitherFileCanBeWrittenItIsReportedAndTheDialogStillCloses) {
    // A folder in the file's place, and a file in the user's folder's place:
    // every write fails.
    test::RemoveSettingsFile();
    ASSERT_TRUE(CreateDirectoryA(test::SettingsPath().c_str(), nullptr));
    const std::string userFile = test::UserSettingsPath();
    ASSERT_FALSE(userFile.empty());
    const std::string userFolder = userFile.substr(0, userFile.rfind('\\'));
    const HANDLE blocker = CreateFileA(userFolder.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(blocker, INVALID_HANDLE_VALUE);
    CloseHandle(blocker);
    SetLastError(ERROR_SUCCESS);
    ASSERT_FALSE(WritePrivateProfileStringA("Network Address", "IP", "1.2.3.4", "scout.ini"));
    const DWORD code = GetLastError();
    EXPECT_NE(code, static_cast<DWORD>(ERROR_SUCCESS));

    std::vector<std::string> reports;
    const INT_PTR result = test::RunModalWith([&](HWND dialog) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        for (;;) {
            const HWND box = test::WaitForWindow("Scout Error", reports.empty() ? 10000 : 1000);
            if (box == nullptr)
                break;
            reports.push_back(test::MessageBoxText(box));
            test::CloseMessageBox(box);
        }
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(reports, std::vector<std::string>{"Unable to save the address settings. description of " +
                                                std::to_string(code) + "."})
        << "one report, with the platform's description of the error";
}

}  // namespace
}  // namespace scout
