// The main dialog: one procedure that switches on the message, one small
// handler per message. A search runs synchronously inside the Search handler.
#include "ui/main_dialog.h"

#include <commctrl.h>

#include "app/resource.h"
#include "net/controller_search.h"
#include "net/error_report.h"
#include "net/system_platform.h"
#include "ui/address_settings.h"
#include "ui/command_buttons.h"
#include "ui/error_reports.h"
#include "ui/result_list.h"

namespace scout::ui {

namespace {

constexpr int CommandGroupFirst = IDC_POWER_ON_RESET;
constexpr int CommandGroupLast = IDC_GATEWAY_FIELD;
constexpr int CommandGroupStep = 10;

// The list's columns in ListColumn order: the dialog's header texts and widths.
struct ColumnLayout {
    ListColumn column;
    const char* header;
    int width;  // 0: the list's width less ListColumnSlack
};
constexpr ColumnLayout Columns[ListColumnCount] = {{ListColumn::Address, "IP ADDR", 0},
                                                 {ListColumn::Model, "Model", 120},
                                                 {ListColumn::Version, "Version", 60},
                                                 {ListColumn::Revision, "Revision", 60}};

const NetPlatform* g_platform = nullptr;

// Input while busy: nothing arms and nothing starts; OK or Cancel is kept and
// carried out once the operation has ended.
bool g_busy = false;
int g_pendingEnd = -1;  // the button (IDOK or IDCANCEL) pressed while busy, or -1

const NetPlatform& Platform() {
    return g_platform != nullptr ? *g_platform : SystemNetPlatform();
}

// Another search (a scout-cli watch between its windows) holds the port for
// about a second at a time: the dialog's search waits for it a while, as the
// window stands still anyway, before it reports the port as taken.
constexpr std::uint32_t PortWaitMs = 3000;
bool WaitForPort(void*, const BroadcastInterface&, std::uint32_t waitedMs) {
    return waitedMs < PortWaitMs;
}

const SearchFrontEnd DialogFrontEnd = {
    .context = nullptr,
    .clearRows = ClearListRows,
    .addRow = AddListRow,
    .showError = ShowErrorBox,
    .showWarning = ShowWarningBox,  // what goes on unchecked (the Windows platform reports no losses)
    .beginInterface = nullptr,
    .portHeld = WaitForPort,
};

void ClearSelection() {
    LVITEMA none{};
    none.stateMask = LVIS_SELECTED;
    SendMessageA(g_resultList, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
}

// --- start-up ---

// Creates a control exactly over a placeholder of the template.
HWND CreateOverPlaceholder(HWND dialog, int placeholderId, const char* className, DWORD exStyle, DWORD style,
                           int id) {
    RECT area;
    GetWindowRect(GetDlgItem(dialog, placeholderId), &area);
    MapWindowPoints(GetDesktopWindow(), dialog, reinterpret_cast<POINT*>(&area), 2);
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    return CreateWindowExA(exStyle, className, "", style, area.left, area.top, area.right - area.left,
                           area.bottom - area.top, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           instance, nullptr);
}

void CreateResultList(HWND dialog) {
    g_resultList = CreateOverPlaceholder(dialog, IDC_LIST_AREA, WC_LISTVIEWA, WS_EX_CLIENTEDGE,
                                         WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER,
                                         IDC_RESULT_LIST);
    const LRESULT extended = SendMessageA(g_resultList, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    SendMessageA(g_resultList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, extended | LVS_EX_FULLROWSELECT);

    RECT area;
    GetWindowRect(g_resultList, &area);
    const int listWidth = area.right - area.left;
    for (const ColumnLayout& layout : Columns) {
        const int i = static_cast<int>(layout.column);
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | (i > 0 ? LVCF_SUBITEM : 0);
        column.fmt = LVCFMT_LEFT;
        column.cx = layout.width != 0 ? layout.width : listWidth - ListColumnSlack;
        column.pszText = const_cast<char*>(layout.header);
        column.iSubItem = i;
        SendMessageA(g_resultList, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
}

// Creates one address field and gives it its text from the settings file, read
// at exactly this point; a field that could not be created gets no font, and
// setting its text then fails without effect.
void CreateAddressField(HWND dialog, int placeholderId, const AddressSetting& setting) {
    const HWND field =
        CreateOverPlaceholder(dialog, placeholderId, WC_IPADDRESSA, 0, WS_CHILD | WS_VISIBLE, setting.fieldId);
    if (field != nullptr)
        SendMessageA(field, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    char text[SettingCapacity];
    LoadAddressSetting(setting, text, sizeof text);
    SetDlgItemTextA(dialog, setting.fieldId, text);
    // Windows' address control shows a text it is given; Wine's keeps it only
    // as the window's text and leaves its four boxes empty. Telling it the
    // address as well shows it there too, and changes nothing on Windows.
    NetAddress address = 0;
    if (field != nullptr && ParseDottedAddress(text, &address)) {
        const auto* b = reinterpret_cast<const unsigned char*>(&address);
        SendMessageA(field, IPM_SETADDRESS, 0, MAKEIPADDRESS(b[0], b[1], b[2], b[3]));
    }
}

BOOL OnInitDialog(HWND dialog) {
    g_busy = false;
    g_pendingEnd = -1;
    CreateResultList(dialog);
    CreateAddressField(dialog, IDC_IP_AREA, AddressSettings[0]);
    CreateAddressField(dialog, IDC_MASK_AREA, AddressSettings[1]);
    CreateAddressField(dialog, IDC_GATEWAY_AREA, AddressSettings[2]);
    SetCommandGroupEnabled(dialog, false);

    const NetPlatform& platform = Platform();
    if (const int code = platform.startSocketLayer(platform.context); code != 0) {
        ReportSocketStartFailure(DialogFrontEnd, platform, code);
        EndDialog(dialog, 1);
    }
    return TRUE;  // the dialog manager focuses the first tab stop, Search
}

// --- the handlers ---

// OK keeps the three fields as they stand. Where neither the Windows
// directory nor the user's own folder can be written, that is reported once
// (the values would otherwise be lost without a word); the dialog closes all
// the same.
void SaveAddressFields(HWND dialog) {
    char texts[AddressSettingCount][ReadBackCapacity] = {};
    const char* values[AddressSettingCount];
    for (std::size_t i = 0; i < AddressSettingCount; ++i) {
        GetDlgItemTextA(dialog, AddressSettings[i].fieldId, texts[i], sizeof texts[i]);
        values[i] = texts[i];
    }
    DWORD error = ERROR_SUCCESS;
    if (!SaveAddressSettings(values, &error))
        ReportSettingsNotSaved(DialogFrontEnd, Platform(), static_cast<int>(error));
}

void EndWith(HWND dialog, int button) {
    if (button == IDOK)
        SaveAddressFields(dialog);
    EndDialog(dialog, button == IDOK ? 1 : 0);
}

// Input that arrived while the dialog stood still is handled while it is
// still busy, so that it arms nothing and starts nothing.
void DrainQueuedInput(HWND dialog) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (!IsDialogMessageA(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

void BeginOperation(HWND dialog) {
    g_busy = true;
    EnableWindow(GetDlgItem(dialog, IDC_SEARCH), FALSE);
    SetCommandGroupEnabled(dialog, false);
}

// Busy ends before Search is enabled again: while busy, Search is never enabled.
void EndOperation(HWND dialog) {
    DrainQueuedInput(dialog);
    g_busy = false;
    const HWND search = GetDlgItem(dialog, IDC_SEARCH);
    EnableWindow(search, TRUE);
    if (GetFocus() == nullptr)
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(search), TRUE);
    if (g_pendingEnd != -1)
        EndWith(dialog, g_pendingEnd);
}

void OnSearch(HWND dialog) {
    BeginOperation(dialog);
    ControllerSearch(Platform(), DialogFrontEnd);
    EndOperation(dialog);
}

// A command ends Ready: after its search the list is new; after one that was
// refused or could not be sent the rows stay, and the row it was for is no
// longer selected, since the next command needs a new click anyway.
void OnCommandButton(HWND dialog, int id) {
    BeginOperation(dialog);
    RunCommandButton(dialog, id, Platform(), DialogFrontEnd);
    ClearSelection();
    EndOperation(dialog);
}

BOOL OnCommand(HWND dialog, int id) {
    if (id == IDOK || id == IDCANCEL) {
        if (g_busy) {
            if (g_pendingEnd == -1)
                g_pendingEnd = id;
        } else {
            EndWith(dialog, id);
        }
    } else if (id == IDC_SEARCH && !g_busy) {
        OnSearch(dialog);
    } else if ((id == IDC_POWER_ON_RESET || id == IDC_FACTORY_DEFAULTS || id == IDC_RECONFIGURE_IP) && !g_busy) {
        OnCommandButton(dialog, id);
    }
    return TRUE;
}

// A click while busy (queued during a search or a command, or made while one
// of its messages is open) arms nothing, and the selection it made is
// dropped with it, so that no row stands selected beside a disabled group.
BOOL OnNotify(HWND dialog, const NMHDR* header) {
    if (header->hwndFrom != g_resultList || header->code != static_cast<UINT>(NM_CLICK))
        return TRUE;
    if (g_busy) {
        ClearSelection();
    } else {
        SetCommandGroupEnabled(dialog, true);
    }
    return TRUE;
}

}  // namespace

void SetCommandGroupEnabled(HWND dialog, bool enabled) {
    for (int id = CommandGroupFirst; id <= CommandGroupLast; id += CommandGroupStep)
        EnableWindow(GetDlgItem(dialog, id), enabled ? TRUE : FALSE);
    UpdateWindow(dialog);
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_NOTIFY:
        return OnNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    default:
        return FALSE;
    }
}

INT_PTR RunMainDialog(HINSTANCE instance) {
    return DialogBoxParamA(instance, MainDialogTemplate, nullptr, MainDialogProc, 0);
}

void SetDialogPlatform(const NetPlatform* platform) {
    g_platform = platform;
}

bool DialogBusy() {
    return g_busy;
}

}  // namespace scout::ui
