// The dialog harness of dialog_harness.h.
#include "tests/win32/dialog_harness.h"

#include <commctrl.h>

#include "app/resource.h"
#include "ui/address_settings.h"
#include "ui/main_dialog.h"

namespace scout::test {

void FakeDialogTest::SetUp() {
    RemoveSettingsFile();
    RemoveUserSettings();
    platform = MakeFakePlatform(&world);
    ui::SetDialogPlatform(&platform);
}

void FakeDialogTest::TearDown() {
    RemoveSettingsFile();
    RemoveUserSettings();
    ui::SetDialogPlatform(nullptr);
}

HWND CreateMainDialog() {
    return CreateDialogParamA(GetModuleHandleA(nullptr), ui::MainDialogTemplate, nullptr, ui::MainDialogProc, 0);
}

namespace {
struct ModalRun {
    std::function<void(HWND)> driver;
    HANDLE started;
};

DWORD WINAPI DriverThread(void* parameter) {
    auto* run = static_cast<ModalRun*>(parameter);
    const HWND dialog = WaitForWindow("Ethernet Scout Tool");
    // The window exists before its WM_INITDIALOG has run; a sent message is
    // taken only once the dialog's thread reads messages again, that is once
    // the dialog has started (or a message box of its start-up is open).
    SendMessageA(dialog, WM_NULL, 0, 0);
    run->driver(dialog);
    return 0;
}
}  // namespace

INT_PTR RunModalWith(const std::function<void(HWND)>& driver) {
    ModalRun run{driver, nullptr};
    const HANDLE thread = CreateThread(nullptr, 0, DriverThread, &run, 0, nullptr);
    const INT_PTR result = ui::RunMainDialog(GetModuleHandleA(nullptr));
    WaitForSingleObject(thread, 30000);
    CloseHandle(thread);
    return result;
}

HWND WaitForWindow(const char* caption, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        const HWND window = FindWindowA(nullptr, caption);
        if (window != nullptr)
            return window;
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(10);
    }
}

std::string MessageBoxText(HWND box) {
    char text[1024] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

void CloseMessageBox(HWND box) {
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 500 && IsWindow(box); ++i)
        Sleep(10);
}

bool Enabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool GroupEnabled(HWND dialog, bool expected) {
    for (int id = IDC_POWER_ON_RESET; id <= IDC_GATEWAY_FIELD; id += 10)
        if (Enabled(dialog, id) != expected)
            return false;
    return true;
}

std::string ItemText(HWND list, int row, int column) {
    char text[64] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

void SelectRow(HWND list, int row) {
    LVITEMA clear{};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
    if (row < 0)
        return;
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

std::string WindowText(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string SettingsPath() {
    char directory[MAX_PATH] = {};
    GetWindowsDirectoryA(directory, sizeof directory);
    return std::string(directory) + "\\scout.ini";
}

namespace {
// The platform's profile functions cache files; this drops the cache so that
// what the test wrote or removed is what the dialog reads.
void FlushProfileCache() {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "scout.ini");
}
}  // namespace

void RemoveSettingsFile() {
    FlushProfileCache();
    const std::string path = SettingsPath();
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    RemoveDirectoryA(path.c_str());
    FlushProfileCache();
}

void WriteSettingsFile(const std::string& bytes) {
    RemoveSettingsFile();
    const HANDLE file = CreateFileA(SettingsPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    FlushProfileCache();
}

namespace {
std::string ReadFileBytes(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "(none)";
    std::string bytes;
    char chunk[512];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    CloseHandle(file);
    return bytes;
}
}  // namespace

std::string ReadSettingsFile() {
    FlushProfileCache();
    return ReadFileBytes(SettingsPath());
}

std::string UserSettingsPath() {
    char path[MAX_PATH] = {};
    return ui::UserSettingsPath(path, sizeof path) ? path : "";
}

void RemoveUserSettings() {
    const std::string path = UserSettingsPath();
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    DeleteFileA(path.c_str());
    const std::string folder = path.substr(0, path.rfind('\\'));
    DeleteFileA(folder.c_str());
    RemoveDirectoryA(folder.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

std::string ReadUserSettingsFile() {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, UserSettingsPath().c_str());
    return ReadFileBytes(UserSettingsPath());
}

void ClickList(HWND dialog) {
    NMHDR header{};
    header.hwndFrom = GetDlgItem(dialog, IDC_RESULT_LIST);
    header.idFrom = IDC_RESULT_LIST;
    header.code = static_cast<UINT>(NM_CLICK);
    SendMessageA(dialog, WM_NOTIFY, IDC_RESULT_LIST, reinterpret_cast<LPARAM>(&header));
}

}  // namespace scout::test
