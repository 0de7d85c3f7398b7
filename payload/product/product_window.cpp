#include "product_window.h"

namespace product {

namespace {

constexpr wchar_t kClassName[] = L"VeltraneBriselWindow";

LRESULT CALLBACK HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int RunTextWindow(HINSTANCE instance, const wchar_t* title, const wchar_t* text) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = HandleMessage;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  if (RegisterClassExW(&windowClass) == 0) return 1;

  HWND window =
      CreateWindowExW(0, kClassName, title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                      CW_USEDEFAULT, 360, 140, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  // A child of the window: destroyed with it.
  CreateWindowExW(0, L"Static", text, WS_CHILD | WS_VISIBLE | SS_CENTER, 16, 32, 312, 24, window,
                  nullptr, instance, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace product
