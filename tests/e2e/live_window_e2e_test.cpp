// The window while a game-sized payload unpacks: a stand-in extractor writes the payload's files
// slowly, as 7-Zip writes a large archive's.
// windows.h first: commctrl.h builds on its types.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "e2e/installer_fixture.h"
#include "runtime/payload.h"
#include "runtime/payload_record.h"

namespace e2e {
namespace {

using ui::Control;

constexpr wchar_t kSetup[] = L"C:\\veltrane-e2e";

// The embedded payload's files in unpacking order, as lines "path<TAB>size" for the stand-in.
std::string PayloadFileList() {
  std::string list;
  runtime::ByteView table = runtime::PayloadFileTable();
  for (runtime::PayloadFile file; runtime::TakePayloadFile(table, file);) {
    list += std::string(file.path) + "\t" + std::to_string(file.size) + "\n";
  }
  return list;
}

// The question closing the window asks while the archive is written or unpacked.
const std::wstring kCancelQuestion = L"确定要取消安装吗？本次安装已写入的文件将被删除。";

// A stand-in extractor that writes the payload's files slowly, pausing `pause` ms every quarter.
void LayOutSlowUnpacking(const char* pause) {
  WriteBytes(std::wstring(kSetup) + L"\\lib\\files.txt", Bytes(PayloadFileList()));
  WriteBytes(std::wstring(kSetup) + L"\\lib\\pause.txt", Bytes(pause));
}

TEST_F(InstallerTest, WindowStaysLiveAndIgnoresInstallWhileTheBarMovesForwardAndCancelGoesOn) {
  LayOut(kSetup, Extractor::StandIn);
  LayOutSlowUnpacking("150");
  Launch();
  const HWND bar = ControlOf(Control::进度条_解压);
  const auto full = static_cast<int>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
  driver::Click(ControlOf(Control::按钮_安装));
  ASSERT_TRUE(driver::WaitUntil([&] { return Look() == kUnpackingLook; }, 10000));
  EXPECT_TRUE(driver::IsVisible(bar));

  std::vector<int> positions;
  bool interrupted = false;
  while (Look() == kUnpackingLook) {
    // Pumping is never more than a tick away; a second allows for a loaded machine.
    ASSERT_TRUE(driver::Settle(window_, 1000)) << "after " << positions.size() << " readings";
    positions.push_back(static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0)));
    if (!interrupted && positions.back() > 0) {
      interrupted = true;
      PostMessageW(window_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
      EXPECT_TRUE(driver::WaitUntil([&] { return IsIconic(window_) != FALSE; }, 2000));
      PostMessageW(window_, WM_SYSCOMMAND, SC_RESTORE, 0);
      PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
      PostMessageW(window_, WM_CLOSE, 0, 0);
      driver::Click(ControlOf(Control::按钮_安装));
      driver::PressMouse(ControlOf(Control::标签3), 5, 5);
      // An input method's result comes past the queue, sent to the box with the focus.
      const HWND path = ControlOf(Control::编辑框_路径);
      const std::wstring typed = driver::Text(path);
      SendMessageW(path, WM_CHAR, L'x', 0);
      SendMessageW(path, WM_IME_CHAR, L'安', 0);
      EXPECT_EQ(driver::Text(path), typed);
      // One question for both closes; Cancel goes on as if nothing had happened.
      const auto question = ErrorBox(10000);
      ASSERT_TRUE(question);
      EXPECT_EQ(question->text, kCancelQuestion);
      driver::PressButton(*question, IDCANCEL);
      ASSERT_TRUE(driver::WaitUntil([&] { return !IsWindow(question->window); }));
    }
    Sleep(50);
  }
  ASSERT_TRUE(driver::WaitUntil([&] { return Look() == kDoneLook; }, 10000));
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), full) << "full at the Done look";
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end())) << "never moves back";
  EXPECT_GE(std::count_if(positions.begin(), positions.end(),
                          [full](int position) { return position > 0 && position < full; }),
            3)
      << "moves with the bytes written";
  EXPECT_TRUE(interrupted);
  EXPECT_FALSE(ErrorBox(1000)) << "no folder dialog and no second installation";
  EXPECT_TRUE(installer_.Running()) << "closing was cancelled";
  EXPECT_FALSE(IsIconic(window_));
  const auto installed = RecordValue(L"installer");
  ASSERT_TRUE(installed);
  EXPECT_EQ(installed->bytes, Dword(1));
}

// OK at the question ends 7-Zip mid-way and takes back everything the run wrote: the uninstaller,
// written while 7-Zip runs, with the folders made for it; one that lay there before the run stays.
TEST_F(InstallerTest, CancellingTheUnpackingEndsTheInstallerAndLeavesNothingOfTheRun) {
  for (const bool uninstallerBefore : {false, true}) {
    SCOPED_TRACE(uninstallerBefore ? "an uninstaller lay there before" : "no uninstaller before");
    LayOut(kSetup, Extractor::StandIn);
    LayOutSlowUnpacking("500");
    if (uninstallerBefore) {
      ASSERT_EQ(SHCreateDirectoryExW(nullptr, (PublisherFolder() + L"\\brisel").c_str(), nullptr),
                ERROR_SUCCESS);
      WriteBytes(InstalledUninstaller(), Bytes("an earlier installation's"));
    }
    Launch();
    driver::Click(ControlOf(Control::按钮_安装));
    ASSERT_TRUE(driver::WaitUntil(
        [&] {
          // The uninstaller is written while 7-Zip runs: the clean-up must find it there.
          const auto uninstaller = FileBytes(InstalledUninstaller());
          return Look() == kUnpackingLook && Exists(L"C:\\Quorvale\\brisel") && uninstaller &&
                 uninstaller->size() > Bytes("an earlier installation's").size();
        },
        10000));
    PostMessageW(window_, WM_CLOSE, 0, 0);
    const auto question = ErrorBox(10000);
    ASSERT_TRUE(question);
    EXPECT_EQ(question->caption, L"Error");
    EXPECT_EQ(question->text, kCancelQuestion);
    EXPECT_EQ(question->buttonIds, (std::vector<int>{IDOK, IDCANCEL}));
    driver::PressButton(*question, IDOK);
    EXPECT_EQ(installer_.WaitForExit(), std::optional<DWORD>(ERROR_INSTALL_USEREXIT));
    EXPECT_EQ(ProcessCount(L"7z.exe"), 0) << "7-Zip ended with it";
    EXPECT_FALSE(Exists(L"C:\\Quorvale")) << "archive, unpacked files and the root it made";
    EXPECT_FALSE(RecordKeyExists());
    EXPECT_FALSE(AppsEntryExists());
    EXPECT_FALSE(Exists(AppDataPathRecord()));
    if (uninstallerBefore) {
      EXPECT_TRUE(Exists(InstalledUninstaller())) << "not this run's to take back";
      RemoveTree(PublisherFolder());
    } else {
      EXPECT_FALSE(Exists(PublisherFolder())) << "the uninstaller and the folders made for it";
    }
    EXPECT_FALSE(Exists(ProgramsShortcut()));
  }
}

}  // namespace
}  // namespace e2e
