// The main dialog: its procedure, the CommandGroup, and the seam through which
// tests replace the platform. (The ResultList's handle: ui/result_list.h.)
#pragma once

#include <windows.h>

#include "net/platform.h"
#include "ui/result_list.h"

namespace scout::ui {

constexpr const char* MainDialogTemplate = "MainDialog";
constexpr int ListColumnSlack = 244;  // column 0 is the list's width less this

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

void SetCommandGroupEnabled(HWND dialog, bool enabled);

// Runs the dialog modally (the program's entry uses this); returns its result.
INT_PTR RunMainDialog(HINSTANCE instance);

// Seams for tests. The platform the dialog starts its socket layer on and
// runs its searches and commands on (the system's by default).
void SetDialogPlatform(const NetPlatform* platform);
// True while a search or a command is under way.
bool DialogBusy();

}  // namespace scout::ui
