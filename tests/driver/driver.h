#pragma once
// Drives the real installer exe from another Win32 process, the way a user would: starts it, finds
// its window and controls, reads what they show, clicks, presses the mouse, answers message boxes
// and waits for the process to end.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace driver {

// Milliseconds any wait for the installer gives up after.
inline constexpr DWORD kDefaultTimeout = 20000;

// A started process; terminated and closed when the owner goes away while it still runs.
class Process {
 public:
  Process() = default;
  Process(HANDLE process, DWORD id) : handle_(process), id_(id) {}
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  [[nodiscard]] DWORD Id() const { return id_; }
  [[nodiscard]] HANDLE Handle() const { return handle_; }
  // The exit code once the process has ended within the timeout; nothing otherwise.
  [[nodiscard]] std::optional<DWORD> WaitForExit(DWORD timeout = kDefaultTimeout);
  [[nodiscard]] bool Running() const;

 private:
  void Reset();
  HANDLE handle_ = nullptr;
  DWORD id_ = 0;
};

// Starts a program with a command line (the program's path is quoted by the caller if needed).
[[nodiscard]] std::optional<Process> Start(const std::wstring& commandLine,
                                           const std::wstring& currentDirectory = {});

// The directory that holds the built installer and lib\7z.exe (from VELTRANE_DIST).
[[nodiscard]] std::wstring DistDirectory();
// Starts dist\VeltraneSetup.exe.
[[nodiscard]] std::optional<Process> StartInstaller();

// The visible top-level window of a process with the given caption, waiting for it to appear.
[[nodiscard]] HWND WaitForWindow(DWORD processId, const std::wstring& caption,
                                 DWORD timeout = kDefaultTimeout);
// The first visible top-level window of a process, whatever its caption, looked for once.
[[nodiscard]] HWND FindShownWindow(DWORD processId);
// A child control by its id.
[[nodiscard]] HWND Control(HWND window, int id);

[[nodiscard]] std::wstring Text(HWND window);
[[nodiscard]] std::wstring ClassName(HWND window);
[[nodiscard]] bool IsVisible(HWND window);  // the control's own visibility flag
[[nodiscard]] bool IsTabStop(HWND window);
// A control's rectangle in its parent's client coordinates.
[[nodiscard]] RECT RectInParent(HWND window);

struct Font {
  std::wstring face;
  LONG height = 0;
  LONG weight = 0;
  BYTE charset = 0;
  bool isDefaultGuiFont = false;
};
// The font the control was given (WM_GETFONT), read from its logical font. Wine answers
// WM_GETFONT and class queries only inside the window's own process, so there these two readers
// serve tests that create the window themselves; on Windows they work across processes too.
[[nodiscard]] std::optional<Font> ControlFont(HWND window);
// Whether the control's class cursor is the system hand.
[[nodiscard]] bool HasHandCursor(HWND window);

// Clicks a button as the user would (posted, so a modal box the click opens does not block).
void Click(HWND button);
// Clicks a button and returns once its handler has returned, or once the handler shows a dialog
// of the process (a message box, the folder dialog) and waits for the user; false on timeout.
bool ClickAndWait(HWND button, DWORD processId, DWORD timeout = kDefaultTimeout);
// Presses (and releases) the left mouse button at a point in the control's client area.
void PressMouse(HWND control, int x, int y);
// Returns once the window's thread has handled everything posted to it before this call
// (false when the thread did not answer in time, for example while it waits on the extractor).
bool Settle(HWND window, DWORD timeout = kDefaultTimeout);

struct MessageBoxInfo {
  HWND window = nullptr;
  HWND owner = nullptr;
  std::wstring caption;
  std::wstring text;
  HICON icon = nullptr;
  std::vector<int> buttonIds;  // IDOK, IDCANCEL, ... in the box's order
  std::vector<std::wstring> buttonTexts;
};
// The dialog ("#32770": a message box, the folder dialog) that the process shows, waiting for it
// to appear.
[[nodiscard]] std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId,
                                                              DWORD timeout = kDefaultTimeout);
// Selects a folder in the process's open folder dialog (BFFM_SETSELECTIONW with the path written
// into the process's own memory). False when the path could not be handed over.
bool SelectFolder(HWND folderDialog, DWORD processId, const std::wstring& path);

// Whether the message box shows the given system icon (IDI_ERROR, ...). Under Wine icon handles
// are the showing process's own, so this holds only for boxes of the calling process.
[[nodiscard]] bool HasSystemIcon(const MessageBoxInfo& box, LPCWSTR iconId);
// Presses one of the box's buttons by its id.
void PressButton(const MessageBoxInfo& box, int buttonId);

// Saves what the screen shows of a window, frame included, as a 24-bit BMP file. Needs a real
// display (Wine's x11 driver under Xvfb); false when nothing could be captured or written.
bool SaveScreenshot(HWND window, const std::wstring& bmpPath);

// Removes a file or a directory with everything below it; whatever cannot go stays.
void RemoveTree(const std::wstring& path);

// Waits until a condition holds, polling; true when it did within the timeout.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeout = kDefaultTimeout) {
  const ULONGLONG deadline = GetTickCount64() + timeout;
  while (!condition()) {
    if (GetTickCount64() > deadline) return false;
    Sleep(20);
  }
  return true;
}

}  // namespace driver
