#include "ui/window_class.h"

#include <commctrl.h>

namespace ui {

bool RegisterWindowClass(HINSTANCE instance, WNDPROC procedure, const wchar_t* name) {
  const INITCOMMONCONTROLSEX progressClass{sizeof progressClass, ICC_PROGRESS_CLASS};
  if (!InitCommonControlsEx(&progressClass)) return false;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  if (GetClassInfoExW(instance, name, &windowClass)) return true;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = name;
  return RegisterClassExW(&windowClass) != 0;
}

}  // namespace ui
