#include "runtime/dialogs.h"

#include <shlobj.h>

#include <memory>
#include <vector>

#include "runtime/dialogs_for_testing.h"
#include "runtime/gbk.h"
#include "runtime/log_format.h"
#include "runtime/run_log.h"

namespace runtime {

namespace {

// The owner of a message box shown without one; registered once the main window exists.
HWND g_defaultOwner = nullptr;

// The message-box style the program shows: task-modal unless the caller asks for system-modal.
UINT MessageBoxStyle(int style) {
  const auto requested = static_cast<UINT>(style);
  return (requested & MB_SYSTEMMODAL) != 0 ? requested : requested | MB_TASKMODAL;
}

// The log's names of the buttons, indexed by button code (kPressedOk .. kPressedNo).
constexpr const char* kButtonNames[] = {"OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};

// Logs the box about to be shown: what the user reads is what support needs to hear of.
void LogMessageBox(std::string_view message, int style, std::string_view title) {
  std::string line = "message box \"";
  line.append(title).append("\", style ");
  AppendDecimal(line, static_cast<unsigned>(style));
  line.append(": ").append(message);
  Log(line);
}

// Logs the button that closed the box.
void LogAnswer(int answer) {
  std::string line = "message box answered: ";
  line.append(answer == kNoAnswer ? "nothing, the box could not be shown"
                                  : kButtonNames[answer - kPressedOk]);
  Log(line);
}

// Frees an item list with the shell's allocator.
struct ItemListDeleter {
  void operator()(ITEMIDLIST* items) const {
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator))) return;
    allocator->Free(items);
    allocator->Release();
  }
};
using ItemList = std::unique_ptr<ITEMIDLIST, ItemListDeleter>;

// Keeps every top-level window of this process disabled for its lifetime, then gives each its
// earlier enabled state back and restores the foreground and active windows.
class ProgramWindowsDisabled {
 public:
  ProgramWindowsDisabled() : foreground_(GetForegroundWindow()), active_(GetActiveWindow()) {
    EnumWindows(&ProgramWindowsDisabled::Collect, reinterpret_cast<LPARAM>(&windows_));
    for (const WindowState& window : windows_) EnableWindow(window.handle, FALSE);
  }
  ProgramWindowsDisabled(const ProgramWindowsDisabled&) = delete;
  ProgramWindowsDisabled& operator=(const ProgramWindowsDisabled&) = delete;
  ~ProgramWindowsDisabled() {
    for (const WindowState& window : windows_) {
      if (IsWindow(window.handle)) EnableWindow(window.handle, window.enabled);
    }
    if (foreground_ != nullptr && IsWindow(foreground_)) SetForegroundWindow(foreground_);
    if (active_ != nullptr && IsWindow(active_)) SetActiveWindow(active_);
  }

 private:
  struct WindowState {
    HWND handle;
    BOOL enabled;
  };

  static BOOL CALLBACK Collect(HWND window, LPARAM windows) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) {
      reinterpret_cast<std::vector<WindowState>*>(windows)->push_back(
          {window, IsWindowEnabled(window)});
    }
    return TRUE;
  }

  HWND foreground_;
  HWND active_;
  std::vector<WindowState> windows_;
};

}  // namespace

void SetDefaultMessageBoxOwner(HWND owner) { g_defaultOwner = owner; }

int AnswerOf(int messageBoxResult) {
  if (messageBoxResult == 0) return kNoAnswer;
  // IDOK (1) .. IDNO (7) count from 0 in the same order.
  return messageBoxResult >= IDOK && messageBoxResult <= IDNO ? messageBoxResult - IDOK
                                                              : kPressedOk;
}

int ShowMessageBox(std::string_view message, int style, std::string_view title, HWND owner) {
  const std::wstring text = GbkToWide(message);
  const std::wstring caption = GbkToWide(title);
  LogMessageBox(message, style, title);
  const int answer = AnswerOf(MessageBoxW(owner != nullptr ? owner : g_defaultOwner, text.c_str(),
                                          caption.c_str(), MessageBoxStyle(style)));
  LogAnswer(answer);
  return answer;
}

int ShowMessageBox(std::int64_t number, int style, std::string_view title, HWND owner) {
  return ShowMessageBox(std::to_string(number), style, title, owner);
}

std::wstring ChooseFolder(std::string_view title, bool allowFiles) {
  const std::wstring caption = GbkToWide(title);
  BROWSEINFOW browse{};
  browse.hwndOwner = GetActiveWindow();
  browse.lpszTitle = caption.c_str();
  browse.ulFlags = BIF_EDITBOX | (allowFiles ? BIF_BROWSEINCLUDEFILES : 0);
  ItemList chosen;
  {
    const ProgramWindowsDisabled disabled;
    chosen.reset(SHBrowseForFolderW(&browse));
  }
  if (!chosen) return {};
  wchar_t path[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(chosen.get(), path)) return {};
  return path;
}

}  // namespace runtime
