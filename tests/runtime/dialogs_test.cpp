#include "runtime/dialogs.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <functional>
#include <thread>

#include "runtime/dialogs_for_testing.h"
#include "runtime/gbk.h"
#include "runtime/run_log.h"
#include "test_support.h"

namespace runtime {
namespace {

using ::testing::HasSubstr;
using testing::TemporaryDirectory;

BOOL CALLBACK RememberOwnDialog(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (process != GetCurrentProcessId() || std::wstring(className) != L"#32770" ||
      !IsWindowVisible(window)) {
    return TRUE;
  }
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// A dialog window ("#32770") of this process that is on screen, or null.
HWND FindOwnDialog() {
  HWND found = nullptr;
  EnumWindows(RememberOwnDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::wstring WindowText(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

// Plays the user while the test thread sits in a modal dialog: a second thread waits for the
// dialog to appear, lets `handle` read it, and presses the button `handle` names.
class DialogUser {
 public:
  explicit DialogUser(std::function<int(HWND dialog)> handle)
      : thread_([handle = std::move(handle)] {
          for (int tries = 0; tries < 500; ++tries) {
            if (HWND dialog = FindOwnDialog()) {
              const int button = handle(dialog);
              SendMessageW(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
              return;
            }
            Sleep(20);
          }
        }) {}
  DialogUser(const DialogUser&) = delete;
  DialogUser& operator=(const DialogUser&) = delete;
  ~DialogUser() { thread_.join(); }

 private:
  std::thread thread_;
};

// An ordinary top-level window of the test thread.
class TopLevelWindow {
 public:
  TopLevelWindow()
      : window_(CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)) {}
  TopLevelWindow(const TopLevelWindow&) = delete;
  TopLevelWindow& operator=(const TopLevelWindow&) = delete;
  ~TopLevelWindow() { DestroyWindow(window_); }
  [[nodiscard]] HWND Handle() const { return window_; }

 private:
  HWND window_;
};

// What the user saw of a message box.
struct SeenBox {
  std::wstring title, text;
  bool ok = false, cancel = false, errorIcon = false, otherWindowEnabled = true;
};

// True when the dialog shows the system's error icon.
bool ShowsErrorIcon(HWND dialog) {
  const HICON error = LoadIconW(nullptr, IDI_ERROR);
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0)) == error) {
      return true;
    }
  }
  return false;
}

// Shows a message box, reads it as the user sees it and presses button.
int ShowAndPress(SeenBox& seen, HWND otherWindow, int button, std::string_view message, int style,
                 std::string_view title = "信息：") {
  const DialogUser user([&seen, otherWindow, button](HWND dialog) {
    seen.title = WindowText(dialog);
    seen.text = WindowText(GetDlgItem(dialog, 0xFFFF));
    seen.ok = GetDlgItem(dialog, IDOK) != nullptr;
    seen.cancel = GetDlgItem(dialog, IDCANCEL) != nullptr;
    seen.errorIcon = ShowsErrorIcon(dialog);
    seen.otherWindowEnabled = IsWindowEnabled(otherWindow);
    return button;
  });
  return ShowMessageBox(message, style, title);
}

TEST(ShowMessageBox, Style16IsATaskModalErrorWithOkThatGivesZero) {
  const TopLevelWindow other;
  SeenBox seen;
  EXPECT_EQ(ShowAndPress(seen, other.Handle(), IDOK, "安装失败    ", 16, "Error"), kPressedOk);
  EXPECT_EQ(seen.title, L"Error");
  EXPECT_EQ(seen.text, L"安装失败    ");
  EXPECT_TRUE(seen.ok);
  EXPECT_FALSE(seen.cancel);
  EXPECT_TRUE(seen.errorIcon);
  EXPECT_FALSE(seen.otherWindowEnabled) << "task-modal boxes disable the thread's windows";
  EXPECT_TRUE(IsWindowEnabled(other.Handle()));
}

TEST(ShowMessageBox, Style17AddsCancelAndGivesZeroOrOne) {
  const TopLevelWindow other;
  SeenBox seen;
  EXPECT_EQ(ShowAndPress(seen, other.Handle(), IDOK, "程序已安装过是否重新安装！", 17, "Error"),
            kPressedOk);
  EXPECT_TRUE(seen.ok);
  EXPECT_TRUE(seen.cancel);
  EXPECT_TRUE(seen.errorIcon);
  EXPECT_FALSE(seen.otherWindowEnabled);
  EXPECT_EQ(seen.text, L"程序已安装过是否重新安装！");
  EXPECT_EQ(ShowAndPress(seen, other.Handle(), IDCANCEL, "again", 17, "Error"), kPressedCancel);
}

TEST(ShowMessageBox, WithoutTitleShowsTheDefaultAndANumberAsDecimalText) {
  const TopLevelWindow other;
  SeenBox seen;
  EXPECT_EQ(ShowAndPress(seen, other.Handle(), IDOK, "提示", 0), kPressedOk);
  EXPECT_EQ(seen.title, L"信息：");
  EXPECT_FALSE(seen.errorIcon);

  const DialogUser user([&seen](HWND dialog) {
    seen.title = WindowText(dialog);
    seen.text = WindowText(GetDlgItem(dialog, 0xFFFF));
    return IDOK;
  });
  EXPECT_EQ(ShowMessageBox(-1234567890123), kPressedOk);
  EXPECT_EQ(seen.title, L"信息：");
  EXPECT_EQ(seen.text, L"-1234567890123");
}

// Every box the program shows passes here, so here the log learns what the user read and chose.
TEST(ShowMessageBox, LogsTheBoxAndTheButtonPressed) {
  const testing::RedirectedTemporaryFolder temporary;
  OpenRunLog("setup", L"brisel", "1.0.0.0");
  const TopLevelWindow other;
  SeenBox seen;
  EXPECT_EQ(ShowAndPress(seen, other.Handle(), IDRETRY, "brisel 正在运行", MB_RETRYCANCEL, "卸载"),
            kPressedRetry);
  CloseRunLog(0);
  const std::string log = temporary.OnlyLog();
  EXPECT_THAT(log, HasSubstr(reinterpret_cast<const char*>(
                       u8" message box \"卸载\", style 5: brisel 正在运行\r\n")));
  EXPECT_THAT(log, HasSubstr(" message box answered: Retry\r\n"));
}

TEST(ShowMessageBox, SystemModalStyleIsNotMadeTaskModal) {
  const TopLevelWindow other;
  SeenBox seen;
  EXPECT_EQ(ShowAndPress(seen, other.Handle(), IDOK, "system", MB_SYSTEMMODAL), kPressedOk);
  EXPECT_TRUE(seen.otherWindowEnabled);
}

TEST(ShowMessageBox, EveryButtonHasItsCode) {
  const TopLevelWindow other;
  struct Row {
    int style, button, code;
  };
  for (const Row row : {Row{MB_OKCANCEL, IDCANCEL, kPressedCancel},
                        Row{MB_ABORTRETRYIGNORE, IDABORT, kPressedAbort},
                        Row{MB_ABORTRETRYIGNORE, IDRETRY, kPressedRetry},
                        Row{MB_ABORTRETRYIGNORE, IDIGNORE, kPressedIgnore},
                        Row{MB_YESNO, IDYES, kPressedYes}, Row{MB_YESNOCANCEL, IDNO, kPressedNo}}) {
    SeenBox seen;
    EXPECT_EQ(ShowAndPress(seen, other.Handle(), row.button, "?", row.style), row.code)
        << "style " << row.style << " button " << row.button;
  }
}

// What the user saw of the folder dialog.
struct SeenFolderDialog {
  bool ownedByActiveWindow = false, titleShown = false, bystanderEnabled = true,
       disabledWindowEnabled = true;
};

// True when some control of the dialog shows exactly text.
// MessageBox answers 0 when it cannot show the box (out of memory, no desktop), which Wine cannot
// be brought to do; the decision is the translation of that result, which must never read as OK
// (the reinstall question's OK removes the earlier installation).
TEST(ShowMessageBox, ABoxThatCouldNotBeShownIsNoAnswer) {
  EXPECT_EQ(AnswerOf(0), kNoAnswer);
  EXPECT_EQ(AnswerOf(IDOK), kPressedOk);
  EXPECT_EQ(AnswerOf(IDCANCEL), kPressedCancel);
}

bool ShowsText(HWND dialog, const std::wstring& text) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (WindowText(child) == text) return true;
  }
  return false;
}

// The label of the folder tree's selected item.
std::wstring SelectedFolderLabel(HWND tree) {
  const auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (item == nullptr) return {};
  wchar_t label[MAX_PATH] = {};
  TVITEMW query{};
  query.mask = TVIF_TEXT;
  query.hItem = item;
  query.pszText = label;
  query.cchTextMax = MAX_PATH;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
  return label;
}

// Selects path in the dialog the way a program does, repeating until the tree shows it selected:
// a freshly opened dialog may still be filling its tree and then drops the request.
void SelectFolder(HWND dialog, const std::wstring& path) {
  const HWND tree = FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
  std::wstring lastLevel = path.substr(0, path.find_last_not_of(L'\\') + 1);
  lastLevel = lastLevel.substr(lastLevel.rfind(L'\\') + 1);
  for (int tries = 0; tries < 100; ++tries) {
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
    if (SelectedFolderLabel(tree).find(lastLevel) != std::wstring::npos) return;
    Sleep(50);
  }
}

// Opens the folder dialog over three windows of the program (an enabled bystander, a disabled one
// and the active one), reads it, selects `select` (nothing when empty) and presses button.
std::wstring ChooseAndPress(SeenFolderDialog& seen, const std::wstring& select, int button) {
  const TopLevelWindow bystander, disabled, active;
  EnableWindow(disabled.Handle(), FALSE);
  SetActiveWindow(active.Handle());
  std::wstring chosen;
  {
    const DialogUser user([&](HWND dialog) {
      seen.ownedByActiveWindow = GetWindow(dialog, GW_OWNER) == active.Handle();
      seen.titleShown = ShowsText(dialog, L"请选择安装目录");
      seen.bystanderEnabled = IsWindowEnabled(bystander.Handle());
      seen.disabledWindowEnabled = IsWindowEnabled(disabled.Handle());
      if (!select.empty()) SelectFolder(dialog, select);
      return button;
    });
    chosen = ChooseFolder("请选择安装目录");
  }
  EXPECT_TRUE(IsWindowEnabled(active.Handle())) << "enabled again afterwards";
  EXPECT_TRUE(IsWindowEnabled(bystander.Handle())) << "enabled again afterwards";
  EXPECT_FALSE(IsWindowEnabled(disabled.Handle())) << "stays disabled as it was";
  EXPECT_EQ(GetActiveWindow(), active.Handle()) << "active again afterwards";
  return chosen;
}

TEST(ChooseFolder, GivesThePickedFolderWithProgramWindowsDisabledMeanwhile) {
  const TemporaryDirectory directory;
  const std::wstring folder = directory.Inside(L"Quorvale parent");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  SeenFolderDialog seen;
  EXPECT_EQ(ChooseAndPress(seen, folder, IDOK), folder);
  EXPECT_TRUE(seen.ownedByActiveWindow);
  EXPECT_TRUE(seen.titleShown);
  EXPECT_FALSE(seen.bystanderEnabled);
  EXPECT_FALSE(seen.disabledWindowEnabled);
}

TEST(ChooseFolder, DriveRootKeepsItsBackslash) {
  SeenFolderDialog seen;
  EXPECT_EQ(ChooseAndPress(seen, L"C:\\", IDOK), L"C:\\");
}

TEST(ChooseFolder, CancelGivesTheEmptyTextAndRestoresTheWindows) {
  SeenFolderDialog seen;
  EXPECT_EQ(ChooseAndPress(seen, L"C:\\windows", IDCANCEL), L"");
  EXPECT_FALSE(seen.bystanderEnabled);
}

}  // namespace
}  // namespace runtime
