#include "ui/dpi.h"

#include "runtime/bound_function.h"
#include "runtime/scoped_handle.h"

namespace ui {

namespace {

int ReleaseScreenDc(HDC dc) { return ReleaseDC(nullptr, dc); }
using ScopedScreenDc =
    runtime::GenericScopedHandle<runtime::NullIsInvalidTraits<HDC, &ReleaseScreenDc>>;

}  // namespace

UINT SystemDpi() {
  const ScopedScreenDc screen(GetDC(nullptr));
  const int dpi = screen.Valid() ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
  return dpi > 0 ? static_cast<UINT>(dpi) : kLayoutDpi;
}

UINT WindowDpi(HWND window) {
  using GetDpiForWindowFunction = decltype(&GetDpiForWindow);
  static const auto getDpiForWindow = runtime::BindFunction<GetDpiForWindowFunction>(
      GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
  if (getDpiForWindow != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi != 0) return dpi;
  }
  return SystemDpi();
}

}  // namespace ui
