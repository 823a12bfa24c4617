// The ResultList: the program-wide handle, the rows as the search hands them
// over turned into the list messages the dialog sends, and the rows read back
// by the command buttons.
#pragma once

#include <windows.h>

#include "net/platform.h"

namespace scout::ui {

// Texts read back from the list and from the address fields: at most 31 characters.
constexpr int ReadBackCapacity = 32;

// The ResultList; written once when the dialog starts, read by the search and the handlers.
extern HWND g_resultList;

// The search's list operations on the ResultList: a row becomes an insert at
// its index (its address, and as item data the address of the interface that
// read it) and then its Model, Version and Revision texts, in that order.
void ClearListRows(void* context);
void AddListRow(void* context, int index, const FoundRow& row);

// One row as read back: its address text and the interface that listed it.
struct ListedRow {
    char address[ReadBackCapacity];
    NetAddress interfaceAddress;
};
ListedRow ReadListedRow(int row);

}  // namespace scout::ui
