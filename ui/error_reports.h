// The dialog's way of showing a failure: a message box with no owner, captioned
// "Scout Error", one OK button and no icon; it returns when the box is closed.
#pragma once

namespace scout::ui {

constexpr const char* ErrorCaption = "Scout Error";

void ShowErrorBox(void* context, const char* text);

// What goes on, though something could not be checked (the command is sent).
constexpr const char* WarningCaption = "Scout Warning";
void ShowWarningBox(void* context, const char* text);

}  // namespace scout::ui
