#pragma once
// The installer's one window: fixed layout, the control operations the handlers use, and the
// delivery of the bound events to the handlers' entry points.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/controls.h"

namespace ui {

// The main window's class: a second installer finds the first one's window by it.
inline constexpr wchar_t kMainWindowClass[] = L"VeltraneInstallerWindow";

// The handlers' entry points. Each runs on the user-interface thread, one at a time: an event that
// reaches the window while one runs, from whatever source, is dropped and logged.
struct EventBindings {
  void (*created)();         // once, after the window and all controls exist
  void (*installClicked)();  // 按钮_安装
  void (*pathLabelPressed)(int x, int y, int keys);  // left button pressed on 标签3
  void (*finishClicked)();                           // 按钮_安装完成
};

// Creates and shows the main window with all its controls. False when any part cannot be created.
[[nodiscard]] bool CreateMainWindow(HINSTANCE instance, const EventBindings& bindings);

// Runs the message loop until the window is closed; returns the quit code.
int RunMessageLoop();

// The main window, or null before it exists.
[[nodiscard]] HWND MainWindow();

// The window's progress bar, 进度条_解压.
[[nodiscard]] HWND ProgressBar();

// Shows or hides a control at once.
void SetVisible(Control control, bool visible);

// What the window shows of an installation's progress (the path controls and the note stay).
enum class Look {
  Settings,   // 标签_安装, 按钮_安装 and 选择框1: at start
  Preparing,  // the Settings look with 进度条_解压: the payload is checked, an old folder goes
  Writing,    // 进度条_解压 and 按钮_安装: the archive is being written
  Unpacking,  // 标签_正在解压, 进度条_解压 and 按钮_安装: the extractor runs
  Done,       // 标签_安装完成 and 按钮_安装完成
};

// Switches the window to the look: the progress controls are shown or hidden one after another,
// 标签_安装, 进度条_解压, 标签_正在解压, 标签_安装完成, 按钮_安装, 按钮_安装完成, 选择框1.
void ShowLook(Look look);

// Sets 进度条_解压 to `done` bytes of `total` (empty for a total of 0).
void SetProgress(std::uint64_t done, std::uint64_t total);

// Whether a check box is checked.
[[nodiscard]] bool IsChecked(Control control);

// Checks or clears a check box.
void SetChecked(Control control, bool checked);

// A copy of an edit box's current text, in UTF-16 as the box holds it: a path typed with letters
// GBK lacks keeps them, so that a check can see them.
[[nodiscard]] std::wstring GetEditText(Control control);

// Replaces an edit box's text.
void SetEditText(Control control, std::wstring_view text);

}  // namespace ui
