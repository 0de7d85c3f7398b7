#include "ui/main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <utility>

#include "runtime/gbk.h"
#include "runtime/run_log.h"
#include "runtime/scoped_handle.h"
#include "ui/busy.h"
#include "ui/dpi.h"
#include "ui/window_class.h"

namespace ui {

namespace {

enum class Kind { Edit, PushButton, CheckBox, Label, LinkLabel, Component, ProgressBar };

// Fonts of the layout. Default is the window system's default GUI font.
enum class FontStyle { Default, Note, Caption, Heading };

struct ControlLayout {
  Control id;
  Kind kind;
  const char* text;  // GBK
  int left, top, width, height;
  bool visible;
  bool tabStop;
  FontStyle font;
};

constexpr std::array<ControlLayout, kControlCount> kLayout{{
    {Control::编辑框1, Kind::Edit, "C:\\Quorvale\\brisel\\brisel.exe", 64, 344, 368, 24, true, true,
     FontStyle::Default},
    {Control::按钮_安装完成, Kind::PushButton, "安装完成并打开", 184, 232, 144, 40, false, true,
     FontStyle::Default},
    {Control::标签1, Kind::Label, "注: 选着安装路径时请勿选择包含中文与空格的目录否则安装出错", 16,
     288, 448, 32, true, false, FontStyle::Note},
    {Control::标签_安装, Kind::Label, "安装设置", 104, 48, 280, 48, true, false,
     FontStyle::Heading},
    {Control::通用对话框1, Kind::Component, "", 416, 32, 26, 26, false, false, FontStyle::Default},
    {Control::标签_安装完成, Kind::Label, "安装完成", 96, 64, 280, 48, false, false,
     FontStyle::Heading},
    {Control::标签3, Kind::LinkLabel, "自定义安装路径", 384, 192, 104, 24, true, false,
     FontStyle::Default},
    {Control::选择框1, Kind::CheckBox, "创建桌面快捷方式", 16, 240, 144, 24, true, true,
     FontStyle::Default},
    {Control::按钮_安装, Kind::PushButton, "开始安装", 184, 232, 144, 40, true, true,
     FontStyle::Default},
    {Control::编辑框_路径, Kind::Edit, "C:\\Quorvale\\", 80, 160, 416, 24, true, true,
     FontStyle::Default},
    {Control::标签2, Kind::Label, "安装路径：", 16, 152, 112, 40, true, false, FontStyle::Caption},
    {Control::标签_正在解压, Kind::Label, "正在解压.....", 112, 88, 280, 48, false, false,
     FontStyle::Heading},
    // Under the heading's rectangle, above 标签2 and the path box.
    {Control::进度条_解压, Kind::ProgressBar, "", 112, 138, 280, 12, false, false,
     FontStyle::Default},
}};

// Every control once, in the window's order: the i-th holds the first id plus i.
static_assert([] {
  for (std::size_t i = 0; i < kLayout.size(); ++i) {
    if (static_cast<int>(kLayout[i].id) != kFirstControlId + static_cast<int>(i)) return false;
  }
  return true;
}());

// The controls that tell the installation's progress, in the order a change of look switches
// them, and which of them each look shows (indexed by Look).
// The bar comes before its heading: whoever sees the heading sees the bar. The shortcut box is
// offered until the click on 开始安装 has read it.
constexpr std::array kProgressControls = {
    Control::标签_安装, Control::进度条_解压,   Control::标签_正在解压, Control::标签_安装完成,
    Control::按钮_安装, Control::按钮_安装完成, Control::选择框1};
constexpr std::array<std::array<bool, kProgressControls.size()>, 5> kLookVisibility{{
    {true, false, false, false, true, false, true},   // Settings
    {true, true, false, false, true, false, true},    // Preparing
    {false, true, false, false, true, false, false},  // Writing
    {false, true, true, false, true, false, false},   // Unpacking
    {false, false, false, true, false, true, false},  // Done
}};

constexpr wchar_t kLinkLabelClass[] = L"VeltraneLinkLabel";
constexpr char kCaption[] = "Veltrane installer";
// The window's place and outer size, like every rectangle and font height of the layout, in
// pixels at kLayoutDpi.
constexpr int kLeft = 50, kTop = 50, kWidth = 526, kHeight = 358;
constexpr UINT kCreatedMessage = WM_APP + 1;

HWND g_window = nullptr;
EventBindings g_bindings{};
WNDPROC g_staticProc = nullptr;
// The log's name of the handler that runs; null while none does.
const char* g_running = nullptr;

// Runs a bound handler, named `command` in the log, unless one runs already. A handler's modal
// loops (a message box, the folder dialog) and its steps dispatch what is posted to the controls
// (a tool's BM_CLICK, an accessibility client's invoke), although the window is disabled or its
// input dropped: such a command would start a second handler inside the first.
template <typename Handler, typename... Arguments>
void Run(const char* command, Handler handler, Arguments... arguments) {
  if (handler == nullptr) return;
  if (g_running != nullptr) {
    runtime::Log(std::string("dropped, as ") + g_running + " runs: " + command);
    return;
  }
  g_running = command;
  handler(arguments...);
  g_running = nullptr;
}

// Character heights of the layout's fonts, in pixels at kLayoutDpi (negative: without the
// internal leading).
constexpr int kSmallFontHeight = -14, kHeadingFontHeight = -21;

// The layout's own fonts at one DPI. They are made again for each DPI the window comes to and
// replaced only after every control has been handed the new ones, so no control is ever left
// holding a deleted font.
struct LayoutFonts {
  runtime::ScopedFont note, caption, heading;
  runtime::ScopedFont defaultGui;  // null: the stock font itself is right at this DPI
};
LayoutFonts g_fonts;

runtime::ScopedFont MakeFont(int height, std::string_view faceGbk) {
  LOGFONTW logical{};
  logical.lfHeight = height;
  logical.lfWeight = FW_NORMAL;
  logical.lfCharSet = GB2312_CHARSET;
  const std::wstring face = runtime::GbkToWide(faceGbk);
  face.copy(logical.lfFaceName, LF_FACESIZE - 1);
  return runtime::ScopedFont(CreateFontIndirectW(&logical));
}

// The default GUI font at the DPI. The stock font is made for the system's DPI, which a window on
// a monitor of another DPI does not have: there it gets a copy at its own.
runtime::ScopedFont MakeDefaultGuiFont(UINT dpi) {
  const UINT systemDpi = SystemDpi();
  LOGFONTW logical{};
  if (dpi == systemDpi ||
      GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof logical, &logical) == 0) {
    return {};
  }
  logical.lfHeight = MulDiv(logical.lfHeight, static_cast<int>(dpi), static_cast<int>(systemDpi));
  return runtime::ScopedFont(CreateFontIndirectW(&logical));
}

// The fonts at the DPI (a face left empty: the system's choice); a font that cannot be created
// stays null and its controls fall back to the system font.
LayoutFonts MakeFonts(UINT dpi) {
  return LayoutFonts{MakeFont(Scale(kSmallFontHeight, dpi), ""),
                     MakeFont(Scale(kSmallFontHeight, dpi), "宋体"),
                     MakeFont(Scale(kHeadingFontHeight, dpi), "宋体"), MakeDefaultGuiFont(dpi)};
}

HFONT FontFor(const LayoutFonts& fonts, FontStyle style) {
  switch (style) {
    case FontStyle::Note:
      return fonts.note.Get();
    case FontStyle::Caption:
      return fonts.caption.Get();
    case FontStyle::Heading:
      return fonts.heading.Get();
    case FontStyle::Default:
      break;
  }
  return fonts.defaultGui.Valid() ? fonts.defaultGui.Get()
                                  : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

HWND ControlWindow(Control control) { return GetDlgItem(g_window, static_cast<int>(control)); }

// Places and sizes every control and gives it its font, all at the DPI.
void LayOutControls(UINT dpi) {
  LayoutFonts fonts = MakeFonts(dpi);
  for (const ControlLayout& layout : kLayout) {
    HWND control = ControlWindow(layout.id);
    SetWindowPos(control, nullptr, Scale(layout.left, dpi), Scale(layout.top, dpi),
                 Scale(layout.width, dpi), Scale(layout.height, dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (layout.kind != Kind::Component && layout.kind != Kind::ProgressBar) {
      SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(fonts, layout.font)),
                   TRUE);
    }
  }
  g_fonts = std::move(fonts);
}

// The link label is a static control that takes the mouse itself: the press raises the path
// choice at once, without waiting for the release.
LRESULT CALLBACK LinkLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCHITTEST:
      return HTCLIENT;
    case WM_LBUTTONDOWN:
      Run("the press on 标签3", g_bindings.pathLabelPressed, GET_X_LPARAM(lParam),
          GET_Y_LPARAM(lParam), static_cast<int>(wParam));
      return 0;
    default:
      return CallWindowProcW(g_staticProc, label, message, wParam, lParam);
  }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kCreatedMessage:
      Run("the start-up check", g_bindings.created);
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        const auto id = static_cast<Control>(LOWORD(wParam));
        if (id == Control::按钮_安装) {
          Run("the click on 开始安装", g_bindings.installClicked);
        } else if (id == Control::按钮_安装完成) {
          Run("the click on 安装完成并打开", g_bindings.finishClicked);
        }
      }
      return 0;
    case WM_DPICHANGED: {
      // Moved to a monitor of another DPI: Windows suggests the rectangle that keeps the window's
      // size in inches, and every control follows at the new DPI.
      const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
      LayOutControls(HIWORD(wParam));
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      const auto dc = reinterpret_cast<HDC>(wParam);
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      // The path label is a link: it is drawn in the colour the system gives hot-tracked links,
      // on the window's own face colour.
      if (id == static_cast<int>(Control::标签3)) {
        SetTextColor(dc, GetSysColor(COLOR_HOTLIGHT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      // An edit box asks so only while a step keeps it read-only: it keeps its look meanwhile.
      if (id == static_cast<int>(Control::编辑框_路径) ||
          id == static_cast<int>(Control::编辑框1)) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      return DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_CLOSE:
      // Posted by a tool while a handler waits in one of its boxes, it would destroy the window
      // under that handler.
      if (g_running == nullptr) return DefWindowProcW(window, message, wParam, lParam);
      runtime::Log(std::string("dropped, as ") + g_running + " runs: closing the window");
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

bool RegisterClasses(HINSTANCE instance) {
  if (!RegisterWindowClass(instance, MainWindowProc, kMainWindowClass)) return false;

  // A superclass of the static control whose class cursor is the system hand.
  WNDCLASSEXW linkClass{};
  linkClass.cbSize = sizeof(linkClass);
  if (!GetClassInfoExW(nullptr, L"STATIC", &linkClass)) return false;
  g_staticProc = linkClass.lpfnWndProc;
  linkClass.lpfnWndProc = LinkLabelProc;
  linkClass.hInstance = instance;
  linkClass.hCursor = LoadCursorW(nullptr, IDC_HAND);
  linkClass.lpszClassName = kLinkLabelClass;
  return RegisterClassExW(&linkClass) != 0;
}

HWND CreateControl(HINSTANCE instance, const ControlLayout& layout) {
  const wchar_t* className = L"STATIC";
  // Controls overlap (标签2 reaches under the path box): each paints only where no control
  // created before it lies, so a label's background never covers the box.
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD exStyle = 0;
  switch (layout.kind) {
    case Kind::Edit:
      className = L"EDIT";
      style |= ES_LEFT | ES_AUTOHSCROLL;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case Kind::PushButton:
      className = L"BUTTON";
      style |= BS_PUSHBUTTON;
      break;
    case Kind::CheckBox:
      className = L"BUTTON";
      style |= BS_AUTOCHECKBOX;
      break;
    case Kind::LinkLabel:
      className = kLinkLabelClass;
      style |= SS_LEFT;
      break;
    case Kind::ProgressBar:
      className = PROGRESS_CLASSW;
      break;
    case Kind::Label:
    case Kind::Component:
      style |= SS_LEFT;
      break;
  }
  if (layout.visible) style |= WS_VISIBLE;
  if (layout.tabStop) style |= WS_TABSTOP;
  const std::wstring text = runtime::GbkToWide(layout.text);
  // Placed and given its font by LayOutControls, once the window's DPI is known.
  return CreateWindowExW(exStyle, className, text.c_str(), style, 0, 0, 0, 0, g_window,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance,
                         nullptr);
}

}  // namespace

bool CreateMainWindow(HINSTANCE instance, const EventBindings& bindings) {
  g_bindings = bindings;
  if (!RegisterClasses(instance)) return false;
  const std::wstring caption = runtime::GbkToWide(kCaption);
  g_window =
      CreateWindowExW(0, kMainWindowClass, caption.c_str(),
                      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                      kLeft, kTop, kWidth, kHeight, nullptr, nullptr, instance, nullptr);
  if (g_window == nullptr) return false;
  // The window's DPI is that of the monitor it was created on: only now can it be laid out.
  const UINT dpi = WindowDpi(g_window);
  SetWindowPos(g_window, nullptr, Scale(kLeft, dpi), Scale(kTop, dpi), Scale(kWidth, dpi),
               Scale(kHeight, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
  for (const ControlLayout& layout : kLayout) {
    if (CreateControl(instance, layout) == nullptr) return false;
  }
  LayOutControls(dpi);
  // A first installation offers the desktop shortcut; a reinstall's start-up check may clear it.
  SetChecked(Control::选择框1, true);
  SendMessageW(ControlWindow(Control::进度条_解压), PBM_SETRANGE32, 0, kProgressSteps);
  ShowWindow(g_window, SW_SHOWNORMAL);
  UpdateWindow(g_window);
  return PostMessageW(g_window, kCreatedMessage, 0, 0) != FALSE;
}

int RunMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(g_window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

HWND MainWindow() { return g_window; }

HWND ProgressBar() { return ControlWindow(Control::进度条_解压); }

void SetVisible(Control control, bool visible) {
  ShowWindow(ControlWindow(control), visible ? SW_SHOW : SW_HIDE);
}

void ShowLook(Look look) {
  const auto& visible = kLookVisibility[static_cast<std::size_t>(look)];
  for (std::size_t i = 0; i < kProgressControls.size(); ++i) {
    SetVisible(kProgressControls[i], visible[i]);
  }
}

void SetProgress(std::uint64_t done, std::uint64_t total) {
  SetProgressBar(ProgressBar(), done, total);
}

bool IsChecked(Control control) {
  return SendMessageW(ControlWindow(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(Control control, bool checked) {
  SendMessageW(ControlWindow(control), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::wstring GetEditText(Control control) {
  HWND edit = ControlWindow(control);
  const int length = GetWindowTextLengthW(edit);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(edit, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

void SetEditText(Control control, std::wstring_view text) {
  SetWindowTextW(ControlWindow(control), std::wstring(text).c_str());
}

}  // namespace ui
