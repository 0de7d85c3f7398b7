// The start-up check against the record an earlier installation left.
// windows.h first: commctrl.h builds on its types.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/installer_fixture.h"

namespace e2e {
namespace {

constexpr wchar_t kSetup[] = L"C:\\veltrane-e2e";
const std::wstring kQuestion = L"程序已安装过是否重新安装！" + std::wstring(24, L' ');

class StartupCheckTest : public InstallerTest {
 protected:
  // An earlier installation in C:\OldQuorvale\ recorded with the given installer value.
  void RecordEarlierInstallation(DWORD type, const std::vector<BYTE>& installed,
                                 const std::string& root = "C:\\OldQuorvale\\") {
    SHCreateDirectoryExW(nullptr, L"C:\\OldQuorvale\\brisel", nullptr);
    ASSERT_TRUE(Exists(L"C:\\OldQuorvale\\brisel"));
    WriteBytes(L"C:\\OldQuorvale\\brisel\\brisel.exe", Bytes("old"));
    WriteRecordValue(L"briselPath", REG_SZ,
                     Bytes("C:\\OldQuorvale\\brisel\\brisel.exe" + std::string(1, '\0')));
    WriteRecordValue(L"rootPath", REG_SZ, Bytes(root + std::string(1, '\0')));
    WriteRecordValue(L"installer", type, installed);
  }
  void TearDown() override {
    InstallerTest::TearDown();
    RemoveTree(L"C:\\OldQuorvale");
  }
};

TEST_F(StartupCheckTest, InstalledRecordAsksWithOkAndCancel) {
  RecordEarlierInstallation(REG_DWORD, Dword(1));
  LayOut(kSetup, Extractor::Real);
  LaunchWithoutSettling();
  const auto box = ErrorBox(10000);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, L"Error");
  EXPECT_EQ(box->text, kQuestion);
  EXPECT_EQ(box->owner, window_);
  EXPECT_TRUE(box->icon != nullptr);
  EXPECT_EQ(box->buttonIds, (std::vector<int>{IDOK, IDCANCEL}));
}

TEST_F(StartupCheckTest, CancelEndsWithExitCodeZeroAndChangesNothing) {
  RecordEarlierInstallation(REG_DWORD, Dword(1));
  LayOut(kSetup, Extractor::Real);
  LaunchWithoutSettling();
  const auto box = ErrorBox(10000);
  ASSERT_TRUE(box);
  driver::PressButton(*box, IDCANCEL);
  const auto code = installer_.WaitForExit();
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0u);
  const auto installed = RecordValue(L"installer");
  ASSERT_TRUE(installed);
  EXPECT_EQ(installed->bytes, Dword(1));
  EXPECT_TRUE(Exists(L"C:\\OldQuorvale\\brisel\\brisel.exe"));
}

TEST_F(StartupCheckTest, OkResetsTheRecordAndRemovesTheOldRoot) {
  RecordEarlierInstallation(REG_DWORD, Dword(1));
  LayOut(kSetup, Extractor::Real);
  ASSERT_NO_FATAL_FAILURE(LaunchAndConfirmReinstall());
  EXPECT_EQ(Look(), kSettingsLook);
  for (const wchar_t* name : {L"briselPath", L"stratPath", L"rootPath"}) {
    SCOPED_TRACE(name);
    const auto value = RecordValue(name);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value->bytes, std::vector<BYTE>{0}) << "an empty text is one zero byte";
  }
  const auto installed = RecordValue(L"installer");
  ASSERT_TRUE(installed);
  EXPECT_EQ(installed->type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(installed->bytes, Dword(0));
  EXPECT_FALSE(Exists(L"C:\\OldQuorvale"));
}

// Thousands of files take seconds to remove under Wine: a window that answered only once they had
// gone would show no bar part-way. Nothing here depends on how fast a loaded machine answers.
TEST_F(StartupCheckTest, OkKeepsTheWindowAnsweringWhileTheOldFolderGoesWithItsBarMovingForward) {
  RecordEarlierInstallation(REG_DWORD, Dword(1));
  constexpr int kFolders = 40, kFilesPerFolder = 100;
  for (int folder = 0; folder < kFolders; ++folder) {
    const std::wstring path = L"C:\\OldQuorvale\\brisel\\" + std::to_wstring(folder);
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    for (int file = 0; file < kFilesPerFolder; ++file) {
      WriteBytes(path + L"\\" + std::to_wstring(file) + L".dat", Bytes("asset"));
    }
  }
  LayOut(kSetup, Extractor::Real);
  LaunchWithoutSettling();
  const auto question = ErrorBox(10000);
  ASSERT_TRUE(question);
  driver::PressButton(*question, IDOK);
  // Once the box has gone, the first message the window handles comes after the bar is shown.
  ASSERT_TRUE(driver::WaitUntil([&] { return !IsWindow(question->window); }));
  const HWND bar = ControlOf(ui::Control::进度条_解压);
  const auto full = static_cast<int>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
  std::vector<int> positions;
  for (;;) {
    ASSERT_TRUE(driver::Settle(window_, kRemovalTimeout));
    const auto position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    // Read while the bar still shows: the next look's bar starts over once this one is hidden.
    if (!driver::IsVisible(bar)) break;
    positions.push_back(position);
    Sleep(10);
  }
  ASSERT_TRUE(driver::Settle(window_)) << "the record and the root go after the bar";
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end())) << "never moves back";
  EXPECT_GE(std::count_if(positions.begin(), positions.end(),
                          [full](int position) { return position > 0 && position < full; }),
            1)
      << "answers part-way, moving with the files removed";
  EXPECT_FALSE(Exists(L"C:\\OldQuorvale"));
  EXPECT_EQ(RecordValue(L"installer").value().bytes, Dword(0));
}

TEST_F(StartupCheckTest, OkRemovesOnlyTheProgramFolderAndLeavesTheUsersFilesAndTheirRoot) {
  RecordEarlierInstallation(REG_DWORD, Dword(1));
  WriteBytes(L"C:\\OldQuorvale\\notes.txt", Bytes("the user's own"));
  LayOut(kSetup, Extractor::Real);
  ASSERT_NO_FATAL_FAILURE(LaunchAndConfirmReinstall());
  EXPECT_FALSE(Exists(L"C:\\OldQuorvale\\brisel"));
  EXPECT_EQ(FileBytes(L"C:\\OldQuorvale\\notes.txt"), Bytes("the user's own"));
}

TEST_F(StartupCheckTest, OkWithADriveRootRecordedRemovesNothing) {
  RecordEarlierInstallation(REG_DWORD, Dword(1), "C:\\");
  WriteBytes(L"C:\\keep-me.txt", Bytes("keep"));
  LayOut(kSetup, Extractor::Real);
  ASSERT_NO_FATAL_FAILURE(LaunchAndConfirmReinstall());
  EXPECT_TRUE(Exists(L"C:\\keep-me.txt"));
  EXPECT_TRUE(Exists(L"C:\\OldQuorvale\\brisel\\brisel.exe"));
  EXPECT_TRUE(Exists(L"C:\\windows\\system32"));
  DeleteFileW(L"C:\\keep-me.txt");
}

TEST_F(StartupCheckTest, OtherRecordsAskNothing) {
  struct Case {
    const char* what;
    DWORD type;
    std::vector<BYTE> installed;
  };
  const Case cases[] = {
      {"REG_SZ \"1\"", REG_SZ, Bytes(std::string("1") + '\0')},
      {"REG_DWORD 0", REG_DWORD, Dword(0)},
      {"REG_DWORD 2", REG_DWORD, Dword(2)},
  };
  LayOut(kSetup, Extractor::Real);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordEarlierInstallation(c.type, c.installed);
    Launch();
    EXPECT_FALSE(ErrorBox(1500));
    EXPECT_EQ(Look(), kSettingsLook);
    installer_ = driver::Process();
  }
}

TEST_F(StartupCheckTest, MissingKeyOrValueAsksNothing) {
  LayOut(kSetup, Extractor::Real);
  Launch();
  EXPECT_FALSE(ErrorBox(1500)) << "no key";
  installer_ = driver::Process();
  WriteRecordValue(L"rootPath", REG_SZ, Bytes(std::string("C:\\OldQuorvale\\") + '\0'));
  Launch();
  EXPECT_FALSE(ErrorBox(1500)) << "key without installer value";
}

}  // namespace
}  // namespace e2e
