// For the lab tests: runs the real dialog (not shown) and acts on it as an
// operator would, step by step as the arguments say, printing what it sees:
//
//   search                      press Search
//   click-row=ADDRESS[#N]       click the (first, or Nth) row of that address
//   click-empty                 click the empty part of the list
//   fields=IP,MASK,GATEWAY      type the three address fields
//   press=NAME                  press power-on-reset, factory-defaults or reconfigure-ip
//   dump                        print the rows and the state
//   touch=PATH                  create the file PATH (a test waits for it)
//   wait-file=PATH              wait (up to 60 s) until the file PATH exists
//
// Output lines, tab-separated: "row ADDRESS MODEL VERSION REVISION",
// "state search=0|1 group=0|1|-1 selected=N", "press NAME ms=N
// search_disabled_throughout=0|1", "report TEXT" for each error box and
// "warning TEXT" for each warning box, which is closed with OK (line breaks in
// TEXT shown as \n).
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/resource.h"
#include "ui/main_dialog.h"

namespace {

CRITICAL_SECTION g_output;
HWND g_dialog = nullptr;
volatile LONG g_pressing = 0;
volatile LONG g_searchSeenEnabled = 0;
volatile LONG g_stop = 0;

void Line(const char* text) {
    EnterCriticalSection(&g_output);
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    LeaveCriticalSection(&g_output);
}

// Closes every message box the dialog opens, after printing its text; and
// while a button press is under way, watches whether Search ever comes back.
// A box of that caption, where one shows: its text as a line of kind, then OK.
void CloseBox(const char* caption, const char* kind) {
    const HWND box = FindWindowA(nullptr, caption);
    if (box != nullptr && IsWindowVisible(box)) {
            char text[1024] = {};
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            char line[2100] = {};
            std::snprintf(line, sizeof line, "%s\t", kind);
            std::size_t at = std::strlen(line);
            for (const char* p = text; *p != '\0' && at + 3 < sizeof line; ++p) {
                if (*p == '\r')
                    continue;
                if (*p == '\n') {
                    line[at++] = '\\';
                    line[at++] = 'n';
                } else {
                    line[at++] = *p;
                }
            }
            line[at] = '\0';
            Line(line);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            for (int i = 0; i < 200 && IsWindow(box); ++i)
                Sleep(10);
    }
}

DWORD WINAPI Watcher(void*) {
    while (g_stop == 0) {
        CloseBox("Scout Error", "report");
        CloseBox("Scout Warning", "warning");
        // While the press keeps the dialog busy, Search must stay disabled.
        if (g_pressing != 0 && scout::ui::DialogBusy() && IsWindowEnabled(GetDlgItem(g_dialog, IDC_SEARCH)))
            g_searchSeenEnabled = 1;
        Sleep(20);
    }
    return 0;
}

HWND List() {
    return GetDlgItem(g_dialog, IDC_RESULT_LIST);
}

std::string Cell(int row, int column) {
    char text[64] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(List(), LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

int GroupState() {
    int enabled = 0;
    int count = 0;
    for (int id = IDC_POWER_ON_RESET; id <= IDC_GATEWAY_FIELD; id += 10, ++count)
        enabled += IsWindowEnabled(GetDlgItem(g_dialog, id)) ? 1 : 0;
    return enabled == 0 ? 0 : enabled == count ? 1 : -1;
}

void Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageA(g_dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

// A mouse click at a point of the list, as the mouse would make it.
void ClickAt(int x, int y) {
    const LPARAM point = MAKELPARAM(x, y);
    PostMessageA(List(), WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageA(List(), WM_LBUTTONUP, 0, point);
    for (int i = 0; i < 50; ++i) {
        Pump();
        Sleep(10);
    }
}

bool ClickRow(const char* choice) {
    char address[64];
    std::snprintf(address, sizeof address, "%s", choice);
    int wanted = 1;
    if (char* mark = std::strchr(address, '#'); mark != nullptr) {
        wanted = std::atoi(mark + 1);
        *mark = '\0';
    }
    const int rows = static_cast<int>(SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        if (Cell(row, 0) != address || --wanted > 0)
            continue;
        RECT bounds{};
        bounds.left = LVIR_BOUNDS;
        SendMessageA(List(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
        ClickAt(bounds.left + 5, (bounds.top + bounds.bottom) / 2);
        return true;
    }
    return false;
}

void ClickEmpty() {
    RECT client;
    GetClientRect(List(), &client);
    ClickAt(client.right / 2, client.bottom - 5);
}

bool SetFields(const char* values) {
    char copy[128];
    std::snprintf(copy, sizeof copy, "%s", values);
    const int ids[] = {IDC_IP_FIELD, IDC_MASK_FIELD, IDC_GATEWAY_FIELD};
    char* next = copy;
    for (int id : ids) {
        if (next == nullptr)
            return false;
        char* comma = std::strchr(next, ',');
        if (comma != nullptr)
            *comma = '\0';
        SetDlgItemTextA(g_dialog, id, next);
        next = comma != nullptr ? comma + 1 : nullptr;
    }
    return true;
}

struct Button {
    const char* name;
    int id;
};
constexpr Button Buttons[] = {{"search", IDC_SEARCH},
                              {"power-on-reset", IDC_POWER_ON_RESET},
                              {"factory-defaults", IDC_FACTORY_DEFAULTS},
                              {"reconfigure-ip", IDC_RECONFIGURE_IP}};

// Presses a button as a click does (BM_CLICK), and only when it is enabled.
bool Press(const char* name) {
    for (const Button& button : Buttons) {
        if (std::strcmp(button.name, name) != 0)
            continue;
        const HWND control = GetDlgItem(g_dialog, button.id);
        char line[128];
        if (!IsWindowEnabled(control)) {
            std::snprintf(line, sizeof line, "press\t%s\tdisabled", name);
            Line(line);
            return true;
        }
        g_searchSeenEnabled = 0;
        g_pressing = 1;
        const DWORD start = GetTickCount();
        SendMessageA(control, BM_CLICK, 0, 0);
        const DWORD elapsed = GetTickCount() - start;
        g_pressing = 0;
        std::snprintf(line, sizeof line, "press\t%s\tms=%lu\tsearch_disabled_throughout=%d", name,
                      static_cast<unsigned long>(elapsed), g_searchSeenEnabled == 0 ? 1 : 0);
        Line(line);
        Pump();
        return true;
    }
    return false;
}

void Dump() {
    const int rows = static_cast<int>(SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        char line[300];
        std::snprintf(line, sizeof line, "row\t%s\t%s\t%s\t%s", Cell(row, 0).c_str(), Cell(row, 1).c_str(),
                      Cell(row, 2).c_str(), Cell(row, 3).c_str());
        Line(line);
    }
    char line[128];
    std::snprintf(line, sizeof line, "state\tsearch=%d\tgroup=%d\tselected=%d",
                  IsWindowEnabled(GetDlgItem(g_dialog, IDC_SEARCH)) ? 1 : 0, GroupState(),
                  static_cast<int>(SendMessageA(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)));
    Line(line);
}

bool Step(const char* step) {
    if (std::strcmp(step, "search") == 0)
        return Press("search");
    if (std::strncmp(step, "click-row=", 10) == 0)
        return ClickRow(step + 10);
    if (std::strcmp(step, "click-empty") == 0) {
        ClickEmpty();
        return true;
    }
    if (std::strncmp(step, "fields=", 7) == 0)
        return SetFields(step + 7);
    if (std::strncmp(step, "press=", 6) == 0)
        return Press(step + 6);
    if (std::strcmp(step, "dump") == 0) {
        Dump();
        return true;
    }
    if (std::strncmp(step, "touch=", 6) == 0) {
        const HANDLE file = CreateFileA(step + 6, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(file);
        return true;
    }
    if (std::strncmp(step, "wait-file=", 10) == 0) {
        for (int i = 0; i < 6000; ++i) {
            if (GetFileAttributesA(step + 10) != INVALID_FILE_ATTRIBUTES)
                return true;
            Sleep(10);
        }
        return false;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    InitCommonControls();
    InitializeCriticalSection(&g_output);
    g_dialog = CreateDialogParamA(GetModuleHandleA(nullptr), scout::ui::MainDialogTemplate, nullptr,
                                  scout::ui::MainDialogProc, 0);
    if (g_dialog == nullptr)
        return 1;
    const HANDLE watcher = CreateThread(nullptr, 0, Watcher, nullptr, 0, nullptr);
    int status = 0;
    for (int i = 1; i < argc && status == 0; ++i) {
        if (!Step(argv[i])) {
            std::fprintf(stderr, "scout_dialog_probe: cannot do %s\n", argv[i]);
            status = 2;
        }
    }
    g_stop = 1;
    WaitForSingleObject(watcher, 5000);
    DestroyWindow(g_dialog);
    return status;
}
