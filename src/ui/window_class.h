#pragma once
// The window class every top-level window of the programs shares: the application icon, the arrow,
// the dialog face as background, and the common controls' progress bar ready for its children.

#include <windows.h>

namespace ui {

// Registers the class `name` with `procedure`, or finds it registered already; false when it
// cannot be (nor the progress bar's class readied).
[[nodiscard]] bool RegisterWindowClass(HINSTANCE instance, WNDPROC procedure, const wchar_t* name);

}  // namespace ui
