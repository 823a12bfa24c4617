// The three command buttons: the selected row's controller is sent its
// command, then, after the controllers' settle time, the list is searched anew.
#pragma once

#include <windows.h>

#include "net/platform.h"

namespace scout::ui {

// What the button with this id does once the dialog is busy: the target is
// the selected row's address, and the command leaves by the interface that
// listed the row. With no row selected nothing is sent and no search follows;
// a reconfigure whose fields fail their checks, and a command that could not
// be sent, are reported through list.showError, and nothing follows either.
// Otherwise the settle time is waited and the list searched again.
void RunCommandButton(HWND dialog, int id, const NetPlatform& platform, const SearchFrontEnd& list);

}  // namespace scout::ui
