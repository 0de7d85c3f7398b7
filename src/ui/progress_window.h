#pragma once
// A small window for a program without a window of its own (the uninstaller): a line that says
// what goes on and a progress bar under it, in the middle of the screen. It is not closed by the
// user: the program destroys it when the work is done.

#include <windows.h>

#include <string_view>

namespace ui {

class ProgressWindow {
 public:
  ProgressWindow() = default;
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;
  ~ProgressWindow();

  // Creates and shows the window with its caption and line (GBK), the bar empty; false, with
  // nothing shown, when any part cannot be made.
  [[nodiscard]] bool Create(HINSTANCE instance, std::string_view caption, std::string_view line);

  // The window and its bar; null before Create succeeded.
  [[nodiscard]] HWND Window() const { return window_; }
  [[nodiscard]] HWND Bar() const { return bar_; }

 private:
  HWND window_ = nullptr;
  HWND bar_ = nullptr;
};

}  // namespace ui
