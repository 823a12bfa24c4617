// Failure reports of the dialog build.
#include "ui/error_reports.h"

#include <windows.h>

namespace scout::ui {

// No owner: the box does not disable the dialog, and the failing operation
// waits inside the box's own message loop.
void ShowErrorBox(void*, const char* text) {
    MessageBoxA(nullptr, text, ErrorCaption, MB_OK);
}

void ShowWarningBox(void*, const char* text) {
    MessageBoxA(nullptr, text, WarningCaption, MB_OK | MB_ICONWARNING);
}

}  // namespace scout::ui
