// Picking the parent folder through the link label.
#include <gtest/gtest.h>

#include "e2e/installer_fixture.h"

namespace e2e {
namespace {

using ui::Control;

constexpr wchar_t kSetup[] = L"C:\\veltrane-e2e";

class PathChoiceTest : public InstallerTest {
 protected:
  // Presses the link label and returns the folder dialog it opens.
  HWND OpenFolderDialog() {
    HWND label = ControlOf(Control::标签3);
    driver::PressMouse(label, 10, 10);
    const auto dialog = driver::WaitForMessageBox(installer_.Id());
    return dialog ? dialog->window : nullptr;
  }
  void Pick(const std::wstring& folder) {
    HWND dialog = OpenFolderDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(driver::SelectFolder(dialog, installer_.Id(), folder));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(driver::WaitUntil([&] { return !IsWindow(dialog); }));
    ASSERT_TRUE(driver::Settle(window_));
  }
};

TEST_F(PathChoiceTest, PickedFolderGetsTheQuorvaleSubfolder) {
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, L"D:\\Apps", nullptr), ERROR_SUCCESS);
  LayOut(kSetup, Extractor::StandIn);
  Launch();
  Pick(L"D:\\Apps");
  EXPECT_EQ(TextOf(Control::编辑框_路径), L"D:\\Apps\\Quorvale\\");
  ClickInstall();
  EXPECT_EQ(StandInCommandLine(),
            L"C:\\veltrane-e2e\\lib\\7z.exe x D:\\Apps\\Quorvale\\\\brisel.7z "
            L"-oD:\\Apps\\Quorvale\\ -aoa");
}

TEST_F(PathChoiceTest, DriveRootKeepsItsBackslashBeforeQuorvale) {
  LayOut(kSetup, Extractor::StandIn);
  Launch();
  Pick(L"D:\\");
  EXPECT_EQ(TextOf(Control::编辑框_路径), L"D:\\\\Quorvale\\");
  ClickInstall();
  EXPECT_EQ(StandInCommandLine(),
            L"C:\\veltrane-e2e\\lib\\7z.exe x D:\\\\Quorvale\\\\brisel.7z -oD:\\\\Quorvale\\ -aoa");
}

TEST_F(PathChoiceTest, TextTypedAfterAPickIsIgnored) {
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, L"D:\\Apps", nullptr), ERROR_SUCCESS);
  LayOut(kSetup, Extractor::StandIn);
  Launch();
  RemoveTree(L"C:\\Elsewhere");
  Pick(L"D:\\Apps");
  TypePath(L"C:\\Elsewhere\\");
  ClickInstall();
  EXPECT_EQ(StandInCommandLine(),
            L"C:\\veltrane-e2e\\lib\\7z.exe x D:\\Apps\\Quorvale\\\\brisel.7z "
            L"-oD:\\Apps\\Quorvale\\ -aoa");
  EXPECT_FALSE(Exists(L"C:\\Elsewhere"));
}

TEST_F(PathChoiceTest, CancelTellsTheUserAndTheBoxIsReadAgain) {
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, L"D:\\Apps", nullptr), ERROR_SUCCESS);
  LayOut(kSetup, Extractor::StandIn);
  Launch();
  Pick(L"D:\\Apps");
  HWND dialog = OpenFolderDialog();
  ASSERT_NE(dialog, nullptr);
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(driver::WaitUntil([&] { return !IsWindow(dialog); }));
  const auto box = ErrorBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, L"Error");
  EXPECT_EQ(box->text, L"请选择正确的安装路径！");
  EXPECT_TRUE(box->icon != nullptr);
  Acknowledge(*box);
  EXPECT_EQ(TextOf(Control::编辑框_路径), L"D:\\Apps\\Quorvale\\") << "the box keeps its text";
  TypePath(L"C:\\Quorvale\\");
  ClickInstall();
  EXPECT_EQ(StandInCommandLine(),
            L"C:\\veltrane-e2e\\lib\\7z.exe x C:\\Quorvale\\\\brisel.7z -oC:\\Quorvale\\ -aoa")
      << "with the root emptied, the install reads the path box again";
}

// The record keeps GBK: a picked folder whose name GBK cannot hold is refused as a cancelled pick
// is, before anything is written, and the install reads the path box again.
TEST_F(PathChoiceTest, PickedFolderGbkCannotHoldIsRefusedWithNothingWritten) {
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, L"D:\\Apps\\Zo\u00eb", nullptr), ERROR_SUCCESS);
  LayOut(kSetup, Extractor::StandIn);
  Launch();
  HWND dialog = OpenFolderDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(driver::SelectFolder(dialog, installer_.Id(), L"D:\\Apps\\Zo\u00eb"));
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(driver::WaitUntil([&] { return !IsWindow(dialog); }));
  const auto box = ErrorBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption + L"|" + box->text, L"Error|" + std::wstring(kNotRecordable));
  Acknowledge(*box);
  EXPECT_EQ(TextOf(Control::编辑框_路径), L"C:\\Quorvale\\") << "the box keeps its text";
  EXPECT_FALSE(Exists(L"D:\\Apps\\Zo\u00eb\\Quorvale"));
  ClickInstall();
  EXPECT_EQ(StandInCommandLine(),
            L"C:\\veltrane-e2e\\lib\\7z.exe x C:\\Quorvale\\\\brisel.7z -oC:\\Quorvale\\ -aoa");
}

}  // namespace
}  // namespace e2e
