// The ResultList's rows (see result_list.h).
#include "ui/result_list.h"

#include <commctrl.h>

namespace scout::ui {

HWND g_resultList = nullptr;

void ClearListRows(void*) {
    SendMessageA(g_resultList, LVM_DELETEALLITEMS, 0, 0);
}

// Each row keeps, as its item data, the address of the interface that read
// it: a command to the row is sent by that interface.
void AddListRow(void*, int index, const FoundRow& row) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<char*>(row.texts[static_cast<int>(ListColumn::Address)]);
    item.lParam = static_cast<LPARAM>(row.via.address);
    SendMessageA(g_resultList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    for (const ListColumn column : {ListColumn::Model, ListColumn::Version, ListColumn::Revision}) {
        LVITEMA text{};
        text.iSubItem = static_cast<int>(column);
        text.pszText = const_cast<char*>(row.texts[static_cast<int>(column)]);
        SendMessageA(g_resultList, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text));
    }
}

ListedRow ReadListedRow(int row) {
    ListedRow listed{};
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.pszText = listed.address;
    item.cchTextMax = sizeof listed.address;
    SendMessageA(g_resultList, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    listed.interfaceAddress = static_cast<NetAddress>(item.lParam);
    return listed;
}

}  // namespace scout::ui
