#pragma once
// The runtime's dialogs: message boxes and the folder choice. Texts are GBK; they reach the window
// system as UTF-16 made with code page 936, so they read the same on a Windows of any language.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace runtime {

// Button codes ShowMessageBox returns; kNoAnswer when the box could not be shown at all.
inline constexpr int kNoAnswer = -1, kPressedOk = 0, kPressedCancel = 1, kPressedAbort = 2,
                     kPressedRetry = 3, kPressedIgnore = 4, kPressedYes = 5, kPressedNo = 6;

// Makes `owner` (the program's main window) the owner of every message box shown without one.
void SetDefaultMessageBoxOwner(HWND owner);

// Shows a message box owned by owner (null: the default owner) with the MessageBox style, made
// task-modal unless it asks to be system-modal, and returns the pressed button's code (anything
// unknown: kPressedOk; a box that could not be shown: kNoAnswer, never a yes).
int ShowMessageBox(std::string_view message, int style = 0, std::string_view title = "信息：",
                   HWND owner = nullptr);

// As above, with the number's decimal text as the message.
int ShowMessageBox(std::int64_t number, int style = 0, std::string_view title = "信息：",
                   HWND owner = nullptr);

// Lets the user pick a folder (with allowFiles, also a file) in the shell's browse dialog, owned
// by the active window, with every other top-level window of the program disabled meanwhile.
// Afterwards each window has its earlier enabled state again and the earlier foreground and active
// windows are restored. Gives the chosen path as the shell spells it (a drive root keeps its
// backslash, nothing else ends in one) in UTF-16, every letter as it is, or the empty text on
// cancel.
[[nodiscard]] std::wstring ChooseFolder(std::string_view title, bool allowFiles = false);

}  // namespace runtime
