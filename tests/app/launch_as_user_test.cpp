// The finish button's start. Wine's desktop shell answers and Wine's elevation is not Windows', so
// the shell's answer and the token's elevation are played through the seam.
#include "app/launch_as_user.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "app/launch_as_user_for_testing.h"
#include "driver/driver.h"
#include "fs/test_support.h"
#include "runtime/scoped_handle.h"

namespace {

HRESULT Answers(const std::wstring&, const std::wstring&) { return S_OK; }
HRESULT NoShell(const std::wstring&, const std::wstring&) { return REGDB_E_CLASSNOTREG; }

// A shell that answers only once the test lets it, long after any bound: no timing decides.
runtime::ScopedHandle g_letAnswer(CreateEventW(nullptr, TRUE, FALSE, nullptr));
HRESULT AnswersLate(const std::wstring&, const std::wstring&) {
  WaitForSingleObject(g_letAnswer.Get(), INFINITE);
  return S_OK;
}

int g_ownStarts = 0;
bool OwnStartSucceeds(const std::wstring&, const std::wstring&) {
  ++g_ownStarts;
  return true;
}
bool OwnStartFails(const std::wstring&, const std::wstring&) {
  ++g_ownStarts;
  SetLastError(ERROR_FILE_NOT_FOUND);
  return false;
}

TEST(LaunchAsDesktopUser, NeverStartsTheProgramElevatedNorAfterTheShellsBound) {
  struct Row {
    app::DesktopStart shell;
    bool elevated;
    app::OwnStart ownStart;
    DWORD bound;
    app::LaunchWay way;
    int ownStarts;
  };
  using app::LaunchWay;
  constexpr DWORD kBound = app::kShellAnswerBound;
  int line = 0;
  for (const Row& row : {
           Row{&Answers, false, &OwnStartSucceeds, kBound, LaunchWay::kAsDesktopUser, 0},
           Row{&Answers, true, &OwnStartSucceeds, kBound, LaunchWay::kAsDesktopUser, 0},
           Row{&NoShell, false, &OwnStartSucceeds, kBound, LaunchWay::kByInstaller, 1},
           Row{&NoShell, true, &OwnStartSucceeds, kBound, LaunchWay::kLeftToUser, 0},
           Row{&NoShell, false, &OwnStartFails, kBound, LaunchWay::kLeftToUser, 1},
           // Past the bound Explorer may still start it: the installer does not as well.
           Row{&AnswersLate, false, &OwnStartSucceeds, 1, LaunchWay::kLeftToUser, 0},
       }) {
    g_ownStarts = 0;
    EXPECT_EQ(
        app::LaunchAsDesktopUserForTesting(L"C:\\Quorvale\\brisel\\startup.exe",
                                           {row.shell, row.ownStart, row.elevated, row.bound}),
        row.way)
        << "row " << line;
    EXPECT_EQ(g_ownStarts, row.ownStarts) << "row " << line;
    ++line;
  }
  SetEvent(g_letAnswer.Get());
}

TEST(LaunchAsDesktopUser, WithoutADesktopShellTheUnelevatedInstallerStartsTheProgramInItsFolder) {
  const fs_test::ScratchDirectory folder(L"launch");
  ASSERT_TRUE(fs_test::WriteBytes(folder.Wide(L"start.cmd"), "echo ran> ran.txt\r\n"));
  app::LaunchSeam seam = app::SystemLaunchSeam();
  seam.desktopStart = &NoShell;
  seam.elevated = false;
  EXPECT_EQ(app::LaunchAsDesktopUserForTesting(folder.Wide(L"start.cmd"), seam),
            app::LaunchWay::kByInstaller);
  EXPECT_TRUE(driver::WaitUntil([&] { return fs_test::PathExists(folder.Wide(L"ran.txt")); }));
}

}  // namespace
