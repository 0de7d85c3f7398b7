#pragma once
// The DPI a window is drawn at, and the layouts' pixel values scaled to it.

#include <windows.h>

namespace ui {

// The DPI the layouts' pixel values are drawn for: Windows' 100 %.
inline constexpr UINT kLayoutDpi = 96;

// A layout value at the DPI. MulDiv rounds to the nearest pixel instead of truncating.
[[nodiscard]] inline int Scale(int value, UINT dpi) {
  return MulDiv(value, static_cast<int>(dpi), kLayoutDpi);
}

// The system's DPI, the one the stock fonts are made for.
[[nodiscard]] UINT SystemDpi();

// The DPI the window is shown at: its monitor's where Windows tracks one per window (10 1607 and
// later, bound by name so that the exe still starts on Vista to 8), the system's otherwise.
[[nodiscard]] UINT WindowDpi(HWND window);

}  // namespace ui
