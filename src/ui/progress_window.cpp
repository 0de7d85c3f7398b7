#include "ui/progress_window.h"

#include <commctrl.h>

#include <string>

#include "runtime/gbk.h"
#include "ui/busy.h"
#include "ui/dpi.h"
#include "ui/window_class.h"

namespace ui {

namespace {

constexpr wchar_t kClassName[] = L"VeltraneProgressWindow";
// The client area and its two rows, in pixels at kLayoutDpi.
constexpr int kClientWidth = 392, kClientHeight = 96;
constexpr int kMargin = 16, kLineTop = 20, kLineHeight = 20, kBarTop = 52, kBarHeight = 18;

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Closed only by its program: the close button, Alt+F4 and WM_CLOSE do nothing.
  if (message == WM_CLOSE) return 0;
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

ProgressWindow::~ProgressWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

bool ProgressWindow::Create(HINSTANCE instance, std::string_view caption, std::string_view line) {
  if (window_ != nullptr || !RegisterWindowClass(instance, ProgressWindowProc, kClassName)) {
    return false;
  }
  const UINT dpi = SystemDpi();
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame{0, 0, Scale(kClientWidth, dpi), Scale(kClientHeight, dpi)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  const std::wstring title = runtime::GbkToWide(caption);
  HWND window = CreateWindowExW(0, kClassName, title.c_str(), kStyle,
                                (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return false;
  const int rowWidth = Scale(kClientWidth - 2 * kMargin, dpi);
  const std::wstring text = runtime::GbkToWide(line);
  HWND label = CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT,
                               Scale(kMargin, dpi), Scale(kLineTop, dpi), rowWidth,
                               Scale(kLineHeight, dpi), window, nullptr, instance, nullptr);
  HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE,
                             Scale(kMargin, dpi), Scale(kBarTop, dpi), rowWidth,
                             Scale(kBarHeight, dpi), window, nullptr, instance, nullptr);
  if (label == nullptr || bar == nullptr) {
    DestroyWindow(window);
    return false;
  }
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
  SendMessageW(bar, PBM_SETRANGE32, 0, kProgressSteps);
  window_ = window;
  bar_ = bar;
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  return true;
}

}  // namespace ui
