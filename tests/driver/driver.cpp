#include "driver/driver.h"

#include <shlobj.h>

#include <cstdlib>
#include <memory>
#include <utility>

#include "runtime/file_find.h"
#include "runtime/scoped_handle.h"

namespace driver {

Process::Process(Process&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), id_(std::exchange(other.id_, 0)) {}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    Reset();
    handle_ = std::exchange(other.handle_, nullptr);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

Process::~Process() { Reset(); }

void Process::Reset() {
  if (handle_ == nullptr) return;
  if (Running()) {
    TerminateProcess(handle_, 259);
    WaitForSingleObject(handle_, 5000);
  }
  CloseHandle(handle_);
  handle_ = nullptr;
}

bool Process::Running() const {
  return handle_ != nullptr && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::WaitForExit(DWORD timeout) {
  if (handle_ == nullptr) return std::nullopt;
  if (WaitForSingleObject(handle_, timeout) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(handle_, &code)) return std::nullopt;
  return code;
}

std::optional<Process> Start(const std::wstring& commandLine,
                             const std::wstring& currentDirectory) {
  std::wstring mutableLine = commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup,
                      &info)) {
    return std::nullopt;
  }
  CloseHandle(info.hThread);
  return Process(info.hProcess, info.dwProcessId);
}

std::wstring DistDirectory() {
  const wchar_t* dist = _wgetenv(L"VELTRANE_DIST");
  if (dist == nullptr) return {};
  std::wstring path(dist);
  for (wchar_t& unit : path) {
    if (unit == L'/') unit = L'\\';
  }
  return path;
}

std::optional<Process> StartInstaller() {
  const std::wstring dist = DistDirectory();
  if (dist.empty()) return std::nullopt;
  return Start(L"\"" + dist + L"\\VeltraneSetup.exe\"", dist);
}

namespace {

struct WindowSearch {
  DWORD processId;
  const std::wstring* caption;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  if (search->caption != nullptr && Text(window) != *search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK MatchMessageBox(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  if (ClassName(window) != L"#32770") return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM context) {
  reinterpret_cast<std::vector<HWND>*>(context)->push_back(child);
  return TRUE;
}

std::vector<HWND> Children(HWND window) {
  std::vector<HWND> children;
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

}  // namespace

HWND WaitForWindow(DWORD processId, const std::wstring& caption, DWORD timeout) {
  WindowSearch search{processId, &caption, nullptr};
  WaitUntil(
      [&] {
        EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      timeout);
  return search.found;
}

HWND FindShownWindow(DWORD processId) {
  WindowSearch search{processId, nullptr, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND Control(HWND window, int id) { return GetDlgItem(window, id); }

std::wstring Text(HWND window) {
  // WM_GETTEXT is marshalled across processes, unlike GetWindowText on a foreign edit box.
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied =
      SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

std::wstring ClassName(HWND window) {
  wchar_t name[256] = {};
  const int length = GetClassNameW(window, name, 256);
  return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

bool IsVisible(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

bool IsTabStop(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_TABSTOP) != 0; }

RECT RectInParent(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::optional<Font> ControlFont(HWND window) {
  auto handle = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  if (handle == nullptr) return std::nullopt;
  LOGFONTW logical{};
  if (GetObjectW(handle, sizeof(logical), &logical) != sizeof(logical)) return std::nullopt;
  Font font;
  font.face = logical.lfFaceName;
  font.height = logical.lfHeight;
  font.weight = logical.lfWeight;
  font.charset = logical.lfCharSet;
  font.isDefaultGuiFont = handle == GetStockObject(DEFAULT_GUI_FONT);
  return font;
}

bool HasHandCursor(HWND window) {
  const auto cursor = reinterpret_cast<HCURSOR>(GetClassLongPtrW(window, GCLP_HCURSOR));
  return cursor != nullptr && cursor == LoadCursorW(nullptr, IDC_HAND);
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

namespace {

struct PendingClick {
  HWND button;
  DWORD timeout;
};

DWORD WINAPI SendClick(void* context) {
  const std::unique_ptr<PendingClick> click(static_cast<PendingClick*>(context));
  DWORD_PTR result = 0;
  SendMessageTimeoutW(click->button, BM_CLICK, 0, 0, SMTO_NORMAL, click->timeout, &result);
  return 0;
}

}  // namespace

bool ClickAndWait(HWND button, DWORD processId, DWORD timeout) {
  // Sent from a worker: the send returns with the handler, which may first open a modal dialog.
  auto* click = new PendingClick{button, timeout};
  const runtime::ScopedHandle worker(CreateThread(nullptr, 0, SendClick, click, 0, nullptr));
  if (!worker.Valid()) {
    delete click;
    return false;
  }
  return WaitUntil(
      [&] {
        if (WaitForSingleObject(worker.Get(), 0) == WAIT_OBJECT_0) return true;
        WindowSearch search{processId, nullptr, nullptr};
        EnumWindows(MatchMessageBox, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      timeout);
}

void PressMouse(HWND control, int x, int y) {
  const LPARAM point = MAKELPARAM(x, y);
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, point);
  PostMessageW(control, WM_LBUTTONUP, 0, point);
}

bool Settle(HWND window, DWORD timeout) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, timeout, &result) != 0;
}

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, DWORD timeout) {
  WindowSearch search{processId, nullptr, nullptr};
  const bool found = WaitUntil(
      [&] {
        EnumWindows(MatchMessageBox, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      timeout);
  if (!found) return std::nullopt;
  MessageBoxInfo box;
  box.window = search.found;
  box.owner = GetWindow(search.found, GW_OWNER);
  box.caption = Text(search.found);
  for (HWND child : Children(search.found)) {
    const std::wstring className = ClassName(child);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if (className == L"Button" || className == L"BUTTON") {
      if ((style & WS_VISIBLE) == 0) continue;
      box.buttonIds.push_back(GetDlgCtrlID(child));
      box.buttonTexts.push_back(Text(child));
    } else if (className == L"Static" || className == L"STATIC") {
      if ((style & SS_TYPEMASK) == SS_ICON) {
        box.icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
      } else if (!Text(child).empty()) {
        box.text = Text(child);
      }
    }
  }
  return box;
}

bool SelectFolder(HWND folderDialog, DWORD processId, const std::wstring& path) {
  const runtime::ScopedHandle process(
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId));
  if (!process.Valid()) return false;
  const SIZE_T bytes = (path.size() + 1) * sizeof(wchar_t);
  void* remote = VirtualAllocEx(process.Get(), nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
  if (remote == nullptr) return false;
  const bool written = WriteProcessMemory(process.Get(), remote, path.c_str(), bytes, nullptr);
  if (written)
    SendMessageW(folderDialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote));
  VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
  return written;
}

bool HasSystemIcon(const MessageBoxInfo& box, LPCWSTR iconId) {
  return box.icon != nullptr && box.icon == LoadIconW(nullptr, iconId);
}

void PressButton(const MessageBoxInfo& box, int buttonId) {
  PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box.window, buttonId)));
}

}  // namespace driver

namespace driver {

namespace {

// Owns a GDI object of the capture.
template <typename Handle>
using GdiObject = runtime::GenericScopedHandle<runtime::GdiObjectTraits<Handle>>;

// Owns a screen device context.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  ~ScreenDc() {
    if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
  }
  [[nodiscard]] HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace

bool SaveScreenshot(HWND window, const std::wstring& bmpPath) {
  RECT rect{};
  if (!GetWindowRect(window, &rect)) return false;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  ScreenDc screen;
  if (screen.Get() == nullptr || width <= 0 || height <= 0) return false;
  GdiObject<HDC> memory(CreateCompatibleDC(screen.Get()));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  GdiObject<HBITMAP> bitmap(
      CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
  if (memory.Get() == nullptr || bitmap.Get() == nullptr) return false;
  HGDIOBJ previous = SelectObject(memory.Get(), bitmap.Get());
  const BOOL copied =
      BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY);
  SelectObject(memory.Get(), previous);
  if (!copied) return false;

  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD imageSize = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  header.bfSize = header.bfOffBits + imageSize;
  HANDLE file = CreateFileW(bmpPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, &header, sizeof(header), &written, nullptr) &&
                  WriteFile(file, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) &&
                  WriteFile(file, pixels, imageSize, &written, nullptr);
  CloseHandle(file);
  return ok;
}

void RemoveTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
    return;
  }
  {
    runtime::FileEnumerator entries(path + L"\\*");
    runtime::FoundEntry entry;
    while (entries.Next(entry)) RemoveTree(path + L"\\" + entry.name);
  }
  RemoveDirectoryW(path.c_str());
}

}  // namespace driver
