// The finish button's start where no desktop shell answers (no Explorer runs). Wine's desktop
// answers, so its absence is played through the seam.
#include "app/launch_as_user.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "app/launch_as_user_for_testing.h"
#include "driver/driver.h"
#include "fs/test_support.h"

namespace {

TEST(LaunchAsDesktopUser, WithoutADesktopShellTheInstallerStartsTheProgramInItsFolder) {
  const fs_test::ScratchDirectory folder(L"launch");
  ASSERT_TRUE(fs_test::WriteBytes(folder.Wide(L"start.cmd"), "echo ran> ran.txt\r\n"));
  const app::DesktopStart real = app::ReplaceDesktopStartForTesting(
      [](const std::wstring&, const std::wstring&) -> HRESULT { return REGDB_E_CLASSNOTREG; });
  EXPECT_EQ(app::LaunchAsDesktopUser(folder.Wide(L"start.cmd")), app::LaunchWay::kByInstaller);
  app::ReplaceDesktopStartForTesting(real);
  EXPECT_TRUE(driver::WaitUntil([&] { return fs_test::PathExists(folder.Wide(L"ran.txt")); }));
}

}  // namespace
