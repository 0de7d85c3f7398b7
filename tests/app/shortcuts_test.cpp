// A shell that names no all-users desktop or Programs folder (a broken profile, a policy). Wine
// always names them, so the lookup is played through the seam.
#include "app/shortcuts.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/shortcuts_for_testing.h"
#include "fs/test_support.h"

namespace {

TEST(CreateShortcuts, AFolderTheSystemDoesNotNameIsAFailureAndNothingIsWrittenHere) {
  const fs_test::ScratchDirectory here(L"shortcuts");
  wchar_t previous[MAX_PATH] = {};
  ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(here.Wide().c_str()));
  const std::vector<app::ShortcutFailure> failures = app::CreateShortcutsForTesting(
      here.Wide() + L"\\", true, [](wchar_t*, int) -> BOOL { return FALSE; });
  SetCurrentDirectoryW(previous);
  std::vector<std::wstring> paths;
  for (const app::ShortcutFailure& failure : failures) {
    paths.push_back(failure.path);
    EXPECT_EQ(failure.error, static_cast<unsigned long>(ERROR_PATH_NOT_FOUND));
  }
  EXPECT_EQ(paths, (std::vector<std::wstring>{L"公用桌面\\brisel.lnk",
                                              L"「开始」菜单\\程序\\brisel.lnk"}));
  EXPECT_FALSE(fs_test::PathExists(here.Wide(L"brisel.lnk"))) << "never the current directory";
}

}  // namespace
