// The start program's shortcuts on the all-users desktop and in Programs: the check box that
// chooses the desktop one, what both hold, and a shortcut that cannot be written.
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
  // Installs into C:\Quorvale\ with the box as the user leaves it, then closes the installer.
  void InstallWithDesktopShortcut(bool desktop) {
    LayOut(kSetup, Extractor::Real);
    Launch();
    EXPECT_TRUE(BoxChecked()) << "checked on a first installation";
    if (!desktop) driver::Click(ControlOf(Control::选择框1));
    ClickInstall();
    ASSERT_EQ(Look(), kDoneLook);
    installer_ = driver::Process();
  }
};

TEST_F(ShortcutTest, BothLeadToTheStartProgramInItsFolderWithItsIcon) {
  InstallWithDesktopShortcut(true);
  for (const std::wstring& path : {DesktopShortcut(), ProgramsShortcut()}) {
    const auto shortcut = ReadShortcut(path);
    ASSERT_TRUE(shortcut) << path;
    EXPECT_EQ(shortcut->target, L"C:\\Quorvale\\brisel\\startup.exe");
    EXPECT_EQ(shortcut->folder, L"C:\\Quorvale\\brisel");
    EXPECT_EQ(shortcut->icon, L"C:\\Quorvale\\brisel\\startup.exe");
  }
}

TEST_F(ShortcutTest, AClearedBoxLeavesTheDesktopAlone) {
  InstallWithDesktopShortcut(false);
  EXPECT_FALSE(Exists(DesktopShortcut()));
  EXPECT_TRUE(ReadShortcut(ProgramsShortcut()));
}

// The reinstall's removal takes the old shortcuts with the old folder, having read from the
// desktop one how to offer the box.
TEST_F(ShortcutTest, AReinstallOffersTheDesktopShortcutWhereTheEarlierInstallationHadOne) {
  for (const bool earlier : {true, false}) {
    SCOPED_TRACE(earlier ? "with" : "without");
    InstallWithDesktopShortcut(earlier);
    LaunchAndConfirmReinstall();
    EXPECT_EQ(BoxChecked(), earlier);
    EXPECT_FALSE(Exists(DesktopShortcut()));
    EXPECT_FALSE(Exists(ProgramsShortcut()));
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
  EXPECT_EQ(box->caption, L"Error");
  EXPECT_EQ(box->text, L"未能创建快捷方式：" + DesktopShortcut() + L"（系统错误 5）。");
  EXPECT_EQ(RecordValue(L"installer").value().bytes, Dword(1));
  EXPECT_TRUE(Exists(AppDataPathRecord()));
  Acknowledge(*box);
  EXPECT_EQ(Look(), kDoneLook);
  EXPECT_TRUE(ReadShortcut(ProgramsShortcut()));
}

}  // namespace
}  // namespace e2e
