// scout.exe: the common controls, then the one modal dialog; the exit code is always 0.
#include "ui/main_dialog.h"

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    InitCommonControls();
    scout::ui::RunMainDialog(instance);
    return 0;
}
