// The dialog's way of showing a failure: a message box with no owner, captioned
// "Scout Error", one OK button and no icon; it returns when the box is closed.
#pragma once

namespace scout::ui {

constexpr const char* ErrorCaption = "Scout Error";

void ShowErrorBox(void* context, const char* text);

}  // namespace scout::ui
