// Driving the real dialog in tests: modeless for inspection, modal from a second
// thread for its results, and the message boxes it opens.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/fakes/fake_platform.h"

namespace scout::test {

// The real dialog on a fake platform whose world a test fills in, with no
// settings file in the prefix before and after each test.
class FakeDialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    FakeWorld world;
    NetPlatform platform{};
};

// The dialog made from the real template and procedure, not shown.
HWND CreateMainDialog();

// Runs the dialog modally on this thread while driver runs on another with the
// dialog's handle; returns the dialog's result.
INT_PTR RunModalWith(const std::function<void(HWND dialog)>& driver);

// Waits up to timeoutMs for a top-level window with this caption.
HWND WaitForWindow(const char* caption, DWORD timeoutMs = 10000);
// The text of a message box.
std::string MessageBoxText(HWND box);
// Closes a message box with its OK button and waits until it is gone.
void CloseMessageBox(HWND box);

bool Enabled(HWND dialog, int id);
// True when all nine controls of the CommandGroup are enabled (or all disabled).
bool GroupEnabled(HWND dialog, bool expected);
// The text of one cell of a list view.
std::string ItemText(HWND list, int row, int column);
// Selects one row of the list (-1: none) as a click on it would.
void SelectRow(HWND list, int row);
std::string WindowText(HWND window);
// The settings file in the Windows directory of the test's prefix.
std::string SettingsPath();
// Removes it (a file, or the folder that stands in for an unwritable file).
void RemoveSettingsFile();
// Writes it with exactly these bytes.
void WriteSettingsFile(const std::string& bytes);
// Its bytes, or "(none)" when there is no such file.
std::string ReadSettingsFile();
// The user's own settings file, in the prefix's application data.
std::string UserSettingsPath();
// Removes it and its folder (or a file that stands in for the folder).
void RemoveUserSettings();
// The user's file's bytes, or "(none)".
std::string ReadUserSettingsFile();

// Sends the ResultList's NM_CLICK (as the list sends it) to the dialog.
void ClickList(HWND dialog);

}  // namespace scout::test
