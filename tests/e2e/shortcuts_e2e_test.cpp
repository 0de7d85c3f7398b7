// The start program's shortcuts, and the check box that chooses the desktop one.
#include <gtest/gtest.h>

#include "e2e/installer_fixture.h"

namespace e2e {
namespace {

using ui::Control;

constexpr wchar_t kSetup[] = L"C:\\veltrane-e2e";

class ShortcutTest : public InstallerTest {
 protected:
  [[nodiscard]] bool BoxChecked() const {
    return SendMessageW(ControlOf(Control::选择框1), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  // Installs into C:\Quorvale\ with the box as it starts or cleared, and closes the installer.
  void InstallWithDesktopShortcut(bool desktop) {
    LayOut(kSetup, Extractor::Real);
    Launch();
    EXPECT_TRUE(BoxChecked()) << "checked on a first installation";
    if (!desktop) driver::Click(ControlOf(Control::选择框1));
    ClickInstall();
    ASSERT_EQ(Look(), kDoneLook);
    EXPECT_EQ(Exists(DesktopShortcut()), desktop);
    EXPECT_TRUE(Exists(ProgramsShortcut()));
    installer_ = driver::Process();
  }
};

TEST_F(ShortcutTest, BothLeadToTheStartProgramInItsFolderWithItsIcon) {
  InstallWithDesktopShortcut(true);
  for (const std::wstring& path : {DesktopShortcut(), ProgramsShortcut()}) {
    EXPECT_EQ(
        ReadShortcut(path),
        L"C:\\Quorvale\\brisel\\startup.exe|C:\\Quorvale\\brisel|C:\\Quorvale\\brisel\\startup.exe")
        << path;
  }
}

// The reinstall's removal takes the old shortcuts, having read the box's state from the desktop's.
TEST_F(ShortcutTest, AReinstallOffersTheDesktopShortcutWhereTheEarlierInstallationHadOne) {
  for (const bool earlier : {true, false}) {
    SCOPED_TRACE(earlier ? "with" : "without");
    InstallWithDesktopShortcut(earlier);
    LaunchAndConfirmReinstall();
    EXPECT_EQ(BoxChecked(), earlier);
    EXPECT_FALSE(Exists(DesktopShortcut()) || Exists(ProgramsShortcut()));
    installer_ = driver::Process();
  }
}

// A folder of the shortcut's name stands in its way.
TEST_F(ShortcutTest, OneThatCannotBeWrittenIsToldAfterTheRecordAndTheInstallationStands) {
  ASSERT_TRUE(CreateDirectoryW(DesktopShortcut().c_str(), nullptr));
  LayOut(kSetup, Extractor::Real);
  Launch();
  ClickInstall();
  const auto box = ErrorBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption + L"|" + box->text,
            L"Error|未能创建快捷方式：" + DesktopShortcut() + L"（系统错误 5）。");
  EXPECT_EQ(RecordValue(L"installer").value().bytes, Dword(1));
  EXPECT_TRUE(Exists(AppDataPathRecord()));
}

}  // namespace
}  // namespace e2e
