// For the lab tests: runs the real dialog (not shown), presses its Search
// button, and prints the rows of its list, one per line, columns separated by
// tabs; failures of the search show as usual in message boxes.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "app/resource.h"
#include "ui/main_dialog.h"

int main() {
    InitCommonControls();
    const HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), scout::ui::MainDialogTemplate, nullptr,
                                           scout::ui::MainDialogProc, 0);
    if (dialog == nullptr)
        return 1;
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED), 0);
    const HWND list = GetDlgItem(dialog, IDC_RESULT_LIST);
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < 4; ++column) {
            char text[64] = {};
            LVITEMA item{};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
            std::printf("%s%s", column > 0 ? "\t" : "", text);
        }
        std::printf("\n");
    }
    std::printf("searchEnabled=%d\n", IsWindowEnabled(GetDlgItem(dialog, IDC_SEARCH)) ? 1 : 0);
    DestroyWindow(dialog);
    return 0;
}
