#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <thread>

#include "runtime/gbk.h"
#include "runtime/process_for_testing.h"
#include "runtime/shell.h"
#include "test_support.h"

namespace runtime {
namespace {

using testing::ReadWholeFile;
using testing::TemporaryDirectory;
using testing::TestChildPath;

// The command line that starts program with arguments, the program's path quoted. (Built with
// append: gcc 12 warns falsely about operator+ chains of strings here.)
std::wstring CommandLine(const std::wstring& program, std::wstring_view arguments) {
  std::wstring line = L"\"";
  line.append(program).append(L"\" ").append(arguments);
  return line;
}

std::wstring ChildCommand(std::wstring_view arguments) {
  return CommandLine(TestChildPath(), arguments);
}

TEST(RunProgram, WithWaitReturnsAfterTheChildEndedAndReportsItsExitCode) {
  unsigned long exitCode = 0;
  const DWORD start = GetTickCount();
  EXPECT_TRUE(RunProgram(ChildCommand(L"exit 7 600"), true, kShowHidden, &exitCode));
  EXPECT_GE(GetTickCount() - start, 550u);
  EXPECT_EQ(exitCode, 7u);

  EXPECT_TRUE(RunProgram(ChildCommand(L"exit 0 0"), true, kShowHidden, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_TRUE(RunProgram(ChildCommand(L"exit 2 0"), true));
}

TEST(RunProgram, WithoutWaitReturnsBeforeTheChildEndsAndLeavesTheExitCodeAlone) {
  unsigned long exitCode = 99;
  const DWORD start = GetTickCount();
  EXPECT_TRUE(RunProgram(ChildCommand(L"exit 3 3000"), false, kShowHidden, &exitCode));
  EXPECT_LT(GetTickCount() - start, 2000u);
  EXPECT_EQ(exitCode, 99u);
}

TEST(RunProgram, AMissingProgramGivesFalseAtOnce) {
  const TemporaryDirectory directory;
  unsigned long exitCode = 99;
  const DWORD start = GetTickCount();
  EXPECT_FALSE(RunProgram(CommandLine(directory.Inside(L"missing.exe"), L"x"), true, kShowHidden,
                          &exitCode));
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_EQ(exitCode, 99u);
  EXPECT_FALSE(RunProgram(L"", true));
}

// Windows Terminal, where it is the default terminal, ignores the hidden show command and shows
// a console program's window; Wine has no such host. So the start is seen where the decision is
// made, in the flags handed to CreateProcessW, and the child still really runs.
DWORD g_creationFlags = 0;
BOOL WINAPI RecordCreationFlags(LPCWSTR application, LPWSTR commandLine,
                                LPSECURITY_ATTRIBUTES processAttributes,
                                LPSECURITY_ATTRIBUTES threadAttributes, BOOL inherit, DWORD flags,
                                LPVOID environment, LPCWSTR directory, LPSTARTUPINFOW startup,
                                LPPROCESS_INFORMATION started) {
  g_creationFlags = flags;
  return CreateProcessW(application, commandLine, processAttributes, threadAttributes, inherit,
                        flags, environment, directory, startup, started);
}

TEST(RunProgram, AHiddenRunGivesAConsoleProgramNoConsoleWindow) {
  const ProcessApi recording{.createProcess = &RecordCreationFlags};
  unsigned long exitCode = 0;
  ASSERT_TRUE(RunProgramForTesting(ChildCommand(L"show"), true, kShowHidden, &exitCode, recording));
  EXPECT_EQ(exitCode, static_cast<unsigned long>(SW_HIDE));
  EXPECT_EQ(g_creationFlags & CREATE_NO_WINDOW, static_cast<DWORD>(CREATE_NO_WINDOW));
  ASSERT_TRUE(RunProgramForTesting(ChildCommand(L"show"), true, kShowNormal, &exitCode, recording));
  EXPECT_EQ(g_creationFlags, 0u) << "a shown program keeps its console";
}

// What a hidden console program prints goes to the null device: printing into a console, even
// one without a window, slows the extractor's progress output down by about a third under Wine.
TEST(RunProgram, AHiddenRunPrintsIntoTheNullDeviceNotAConsole) {
  unsigned long exitCode = 99;
  ASSERT_TRUE(RunProgram(ChildCommand(L"output"), true, kShowHidden, &exitCode));
  EXPECT_EQ(exitCode, 0u);
}

// The extractor names the file it failed on and why on its standard error, after its output has
// gone to the null device; the file that held it is gone with the program.
TEST(StartCapturingErrors, GivesBackTheErrorLinesOfAHiddenChildAndItsExitCode) {
  const testing::RedirectedTemporaryFolder temporary;
  {
    const CapturingProgram child = StartCapturingErrors(ChildCommand(L"errors 2 1"));
    ASSERT_TRUE(child.Started());
    ASSERT_EQ(WaitForSingleObject(child.Process(), 10000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    ASSERT_TRUE(GetExitCodeProcess(child.Process(), &exitCode));
    EXPECT_EQ(exitCode, 2u);
    EXPECT_EQ(child.ErrorOutput(), L"error line 1\r\n");
  }
  // Wine closes an ended child's handles a moment after its process handle is signalled.
  bool deleted = false;
  for (int tries = 0; tries < 100 && !deleted; ++tries) {
    deleted = std::filesystem::is_empty(temporary.Directory().Path());
    if (!deleted) Sleep(50);
  }
  EXPECT_TRUE(deleted) << "the file that held the error output is left behind";
}

TEST(StartCapturingErrors, KeepsTheLastWholeLinesWithinItsBound) {
  const CapturingProgram child = StartCapturingErrors(ChildCommand(L"errors 0 1000"));
  ASSERT_TRUE(child.Started());
  ASSERT_EQ(WaitForSingleObject(child.Process(), 10000), WAIT_OBJECT_0);
  const std::wstring output = child.ErrorOutput();
  EXPECT_LE(output.size(), kCapturedErrorBytes);
  // Only the part of a line cut at the bound is left out; no line is as long as this.
  constexpr unsigned long kLongestLine = 20;
  EXPECT_GT(output.size(), kCapturedErrorBytes - kLongestLine);
  EXPECT_TRUE(output.starts_with(L"error line ")) << "a cut line was kept";
  EXPECT_TRUE(output.ends_with(L"\r\nerror line 1000\r\n"));
}

// A missing extractor must be told from one that failed: the start's own error is kept.
TEST(StartCapturingErrors, AMissingProgramIsNotStartedAndSaysWhy) {
  const TemporaryDirectory directory;
  const CapturingProgram missing =
      StartCapturingErrors(CommandLine(directory.Inside(L"missing.exe"), L"x"));
  EXPECT_FALSE(missing.Started());
  EXPECT_EQ(missing.StartError(), static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(missing.ErrorOutput(), L"");
}

TEST(RunProgram, ShowModesBecomeTheChildsShowCommandClampedToOneToSix) {
  struct Row {
    int mode;
    unsigned long showCommand;
  };
  for (const Row row :
       {Row{1, SW_HIDE}, Row{2, SW_SHOWNORMAL}, Row{3, SW_SHOWMINIMIZED}, Row{4, SW_SHOWMAXIMIZED},
        Row{5, SW_SHOWNOACTIVATE}, Row{6, SW_MINIMIZE}, Row{0, SW_HIDE}, Row{-3, SW_HIDE},
        Row{7, SW_MINIMIZE}, Row{100, SW_MINIMIZE}}) {
    unsigned long given = 1000;
    EXPECT_TRUE(RunProgram(ChildCommand(L"show"), true, row.mode, &given));
    EXPECT_EQ(given, row.showCommand) << "mode " << row.mode;
  }
  unsigned long byDefault = 1000;
  EXPECT_TRUE(RunProgram(ChildCommand(L"show"), true, kShowNormal, &byDefault));
  EXPECT_EQ(byDefault, static_cast<unsigned long>(SW_SHOWNORMAL));
}

// What the child started by the shell wrote, once it has written it (empty after 10 s).
std::string AwaitReport(const std::wstring& path) {
  for (int tries = 0; tries < 500; ++tries) {
    const std::string report = ReadWholeFile(path);
    if (!report.empty()) return report;
    Sleep(20);
  }
  return {};
}

TEST(OpenWithShell, OpensWithTheVerbParametersDirectoryAndShowCommand) {
  const TemporaryDirectory directory;
  struct Row {
    int verb, mode, showCommand;
  };
  for (const Row row : {Row{kVerbOpen, kShowNoActivate, SW_SHOWNA},
                        Row{kVerbOpen, 0, SW_SHOWNORMAL}, Row{0, kShowMinimize, SW_MINIMIZE},
                        Row{kVerbOpen, 7, SW_SHOWNORMAL}, Row{kVerbOpen, kShowHidden, SW_HIDE}}) {
    const std::wstring report =
        directory.Inside(L"report" + std::to_wstring(row.verb) + L"_" + std::to_wstring(row.mode));
    EXPECT_TRUE(OpenWithShell(row.verb, TestChildPath(), L"report \"" + report + L"\"",
                              directory.Path(), row.mode));
    EXPECT_EQ(AwaitReport(report),
              std::to_string(row.showCommand) + " " + WideToGbk(directory.Path()))
        << "verb " << row.verb << " mode " << row.mode;
  }
}

TEST(OpenWithShell, AFileThatCannotBeOpenedIsReportedWithItsReason) {
  const TemporaryDirectory directory;
  EXPECT_FALSE(OpenWithShell(kVerbOpen, directory.Inside(L"missing.exe")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// Wine's shell works without COM; Windows' shell extensions in the folder dialog do not. What the
// installer relies on is the thread's apartment, which is read back here: once the thread is a
// single-threaded apartment, asking for the multithreaded one is refused.
TEST(EnterShellApartment, MakesTheThreadASingleThreadedApartment) {
  HRESULT multithreaded = S_OK;
  std::thread([&] {
    EnterShellApartment();
    multithreaded = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CoUninitialize();
  }).join();
  EXPECT_EQ(multithreaded, RPC_E_CHANGED_MODE);
}

}  // namespace
}  // namespace runtime
