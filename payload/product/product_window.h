#pragma once
// The one small window each program of the sample product shows.

#include <windows.h>

namespace product {

// Shows a window with the title and one line of text, and runs its message loop until the
// window is closed. Returns the process exit code: 0 after a normal close, 1 when the window
// could not be created.
[[nodiscard]] int RunTextWindow(HINSTANCE instance, const wchar_t* title, const wchar_t* text);

}  // namespace product
