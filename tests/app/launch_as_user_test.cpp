// The finish button's start without a desktop shell to hand the program to.
#include "app/launch_as_user.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/launch_as_user_for_testing.h"
#include "driver/driver.h"

namespace {

constexpr char kFolder[] = "C:\\veltrane-launch";

// Where no Explorer runs (a server core, a session without a shell) the desktop's shell is not
// found; Wine's own desktop may answer, so its absence is played through the seam.
TEST(LaunchAsDesktopUser, WithoutADesktopShellTheInstallerStartsTheProgramInItsFolder) {
  const std::string folder(kFolder);
  driver::RemoveTree(std::wstring(folder.begin(), folder.end()));
  ASSERT_TRUE(CreateDirectoryA(kFolder, nullptr));
  const std::string program = folder + "\\start.cmd";
  const HANDLE script = CreateFileA(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(script, INVALID_HANDLE_VALUE);
  constexpr char kWritesIntoItsWorkingFolder[] = "echo ran> ran.txt\r\n";
  DWORD written = 0;
  WriteFile(script, kWritesIntoItsWorkingFolder, sizeof kWritesIntoItsWorkingFolder - 1, &written,
            nullptr);
  CloseHandle(script);

  const app::DesktopStart real = app::ReplaceDesktopStartForTesting(
      [](const std::wstring&, const std::wstring&) -> HRESULT { return REGDB_E_CLASSNOTREG; });
  EXPECT_EQ(app::LaunchAsDesktopUser(program), app::LaunchWay::kByInstaller);
  app::ReplaceDesktopStartForTesting(real);
  EXPECT_TRUE(driver::WaitUntil([&] {
    return GetFileAttributesA((folder + "\\ran.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
  }));
  driver::RemoveTree(std::wstring(folder.begin(), folder.end()));
}

}  // namespace
