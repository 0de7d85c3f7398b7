#include "runtime/run_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <sstream>
#include <thread>

#include "runtime/file_find.h"
#include "runtime/files.h"
#include "runtime/run_log_for_testing.h"
#include "runtime/scoped_handle.h"
#include "runtime/text.h"
#include "test_support.h"

namespace runtime {
namespace {

using ::testing::MatchesRegex;
using testing::RedirectedTemporaryFolder;
using ::testing::StartsWith;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// "YYYY-MM-DD HH:MM:SS.mmm " before each line's event, and its CR after it.
constexpr std::size_t kStampLength = 24, kLineEndLength = 1;

// The log's lines without their time stamps, after checking that each has one.
std::vector<std::string> Unstamped(const std::string& log) {
  std::vector<std::string> lines;
  std::istringstream stream(
      log.substr(log.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0));
  for (std::string line; std::getline(stream, line);) {
    EXPECT_THAT(line, MatchesRegex(R"(\d\d\d\d-\d\d-\d\d \d\d:\d\d:\d\d\.\d\d\d .*\r)"));
    lines.push_back(line.substr(kStampLength, line.size() - kStampLength - kLineEndLength));
  }
  return lines;
}

// The path of this test program, as the log names it.
std::string OwnPathUtf8() {
  wchar_t own[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, own, MAX_PATH);
  char utf8[MAX_PATH * 3] = {};
  WideCharToMultiByte(CP_UTF8, 0, own, -1, utf8, sizeof utf8, nullptr, nullptr);
  return utf8;
}

TEST(RunLog, WritesTheRunsFactsAndEventsAsStampedUtf8Lines) {
  const RedirectedTemporaryFolder temporary;
  OpenRunLog("setup", L"brisel", "1.0.0.0");
  Log("安装目录 C:\\安装\\");
  LogFailure("archive write", ERROR_DISK_FULL);
  LogOutput("7z.exe", L"ERROR: Data Error : brisel\\startup.exe\r\n\r\nsecond\r\n");
  CloseRunLog(3);
  Log("after the end");

  const std::vector<std::string> names = temporary.LogNames();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_THAT(names[0], MatchesRegex("setup-\\d\\d\\d\\d\\d\\d\\d\\d-\\d\\d\\d\\d\\d\\d-" +
                                     std::to_string(GetCurrentProcessId()) + "\\.log"));
  const std::string log = temporary.OnlyLog();
  EXPECT_THAT(log, StartsWith(kByteOrderMark));
  const std::vector<std::string> lines = Unstamped(log);
  ASSERT_EQ(lines.size(), 9u) << log;
  EXPECT_EQ(lines[0], "brisel setup 1.0.0.0");
  EXPECT_THAT(lines[1], MatchesRegex(R"(Windows \d+\.\d+ build \d+.*)"));
  EXPECT_EQ(lines[2], "ANSI code page 936, OEM code page 936");
  EXPECT_EQ(lines[3], "program " + OwnPathUtf8());
  EXPECT_EQ(lines[4], reinterpret_cast<const char*>(u8"安装目录 C:\\安装\\"));
  // The system's text follows on the same line.
  EXPECT_THAT(lines[5], MatchesRegex("archive write: error 112: .+"));
  EXPECT_EQ(lines[6], "7z.exe: ERROR: Data Error : brisel\\startup.exe");
  EXPECT_EQ(lines[7], "7z.exe: second");
  EXPECT_EQ(lines[8], "exit code 3");
}

// Which logs give way is the format's choice (tested on the host); here, that they really go,
// this run's own log counted among the ten, and another kind's stays. The oldest is a second name
// of a file outside the folder, which a program of the user could plant there: it stays.
TEST(RunLog, DeletesTheOldLogsOfItsKindBeyondTenButNoLink) {
  const RedirectedTemporaryFolder temporary;
  ASSERT_TRUE(CreateDirectoryW(temporary.LogFolder().c_str(), nullptr));
  const std::wstring outside = temporary.Directory().Inside(L"system-file");
  ASSERT_TRUE(WriteFile(outside, {ToBytes("kept")}));
  const std::wstring link = temporary.LogFolder() + L"\\setup-20200109-120000-7.log";
  ASSERT_TRUE(CreateHardLinkW(link.c_str(), outside.c_str(), nullptr));
  for (int day = 10; day <= 20; ++day) {
    ASSERT_TRUE(WriteFile(
        temporary.LogFolder() + L"\\setup-202001" + std::to_wstring(day) + L"-120000-7.log", {}));
  }
  ASSERT_TRUE(WriteFile(temporary.LogFolder() + L"\\uninstall-20200101-000000-1.log", {}));
  OpenRunLog("setup", L"brisel", "1.0.0.0");
  CloseRunLog(0);
  const std::vector<std::string> names = temporary.LogNames();
  ASSERT_EQ(names.size(), 12u);
  EXPECT_EQ(names[0], "setup-20200109-120000-7.log");
  EXPECT_EQ(names[1], "setup-20200112-120000-7.log");
  EXPECT_EQ(names.back(), "uninstall-20200101-000000-1.log");
  EXPECT_EQ(testing::ReadWholeFile(outside), "kept");
}

// A slow temporary folder (a network profile) never holds up a caller; the run's end writes all.
TEST(RunLog, ACallerNeverWaitsForTheDisk) {
  const RedirectedTemporaryFolder temporary;
  const ScopedHandle gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HoldRunLogWritesForTesting(gate.Get());
  OpenRunLog("setup", L"brisel", "1.0.0.0");
  const ScopedHandle logged(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread caller([&] {
    for (int line = 0; line < 100; ++line) Log("a line while the disk is slow");
    SetEvent(logged.Get());
  });
  EXPECT_EQ(WaitForSingleObject(logged.Get(), 10000), WAIT_OBJECT_0) << "while nothing is written";
  SetEvent(gate.Get());
  caller.join();
  HoldRunLogWritesForTesting(nullptr);
  CloseRunLog(0);
  EXPECT_EQ(Unstamped(temporary.OnlyLog()).size(), 105u);
}

// Every call of an unwritable log returns as if nothing happened, and nothing is written
// anywhere: the log folder's name taken by a file, and a temporary folder that does not exist.
TEST(RunLog, WithoutAWritableFolderEveryCallIsSilent) {
  const RedirectedTemporaryFolder temporary;
  ASSERT_TRUE(WriteFile(temporary.LogFolder(), {ToBytes("a file")}));
  OpenRunLog("setup", L"brisel", "1.0.0.0");
  Log("text");
  LoggedStep("step").End(false, ERROR_ACCESS_DENIED);
  CloseRunLog(1);
  EXPECT_EQ(testing::ReadWholeFile(temporary.LogFolder()), "a file");

  const std::wstring missing = temporary.Directory().Inside(L"missing");
  SetEnvironmentVariableW(L"TMP", missing.c_str());
  SetEnvironmentVariableW(L"TEMP", missing.c_str());
  OpenRunLog("uninstall", L"brisel", "1.0.0.0");
  Log("text");
  CloseRunLog(1);
  EXPECT_FALSE(PathExists(missing));
}

// Wine makes no junctions or symbolic links and gives every file the user's SID as its owner:
// the folder's and the entries' judgements are tested on what the handle reports.
TEST(RunLog, TakesOnlyAPlainFolderOfTheUserOrTheAdministratorsAndDeletesOnlyPlainFiles) {
  EXPECT_TRUE(IsUsableLogFolder(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_TRUE(IsUsableLogFolder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_FALSE(IsUsableLogFolder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
  EXPECT_FALSE(IsUsableLogFolder(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_FALSE(IsUsableLogFolder(INVALID_FILE_ATTRIBUTES));

  PSID user = nullptr, administrators = nullptr, users = nullptr;
  ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-5-21-1-2-3-1001", &user) &&
              ConvertStringSidToSidW(L"S-1-5-32-544", &administrators) &&
              ConvertStringSidToSidW(L"S-1-5-32-545", &users));
  EXPECT_TRUE(IsTrustedLogFolderOwner(user, user));
  EXPECT_TRUE(IsTrustedLogFolderOwner(administrators, user));
  EXPECT_FALSE(IsTrustedLogFolderOwner(users, user)) << "the Users group, as any other account";
  for (PSID sid : {user, administrators, users}) LocalFree(sid);

  EXPECT_TRUE(IsPlainFileWithOneName(FILE_ATTRIBUTE_ARCHIVE, 1));
  EXPECT_FALSE(IsPlainFileWithOneName(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT, 1))
      << "a symbolic link among the logs";
  EXPECT_FALSE(IsPlainFileWithOneName(FILE_ATTRIBUTE_ARCHIVE, 2))
      << "a second name of another file";
}

TEST(LoggedStep, LogsItsStartThenItsResultDurationAndError) {
  const RedirectedTemporaryFolder temporary;
  OpenRunLog("setup", L"brisel", "1.0.0.0");
  {
    const LoggedStep step("unpacking");
    Sleep(120);
    step.End(false, ERROR_ACCESS_DENIED);
  }
  LoggedStep("record").End(true);
  CloseRunLog(0);
  const std::vector<std::string> lines = Unstamped(temporary.OnlyLog());
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[4], "unpacking: start");
  EXPECT_THAT(lines[5], MatchesRegex(R"(unpacking: failed, \d+ ms, error 5: .+)"));
  EXPECT_GE(std::stoi(lines[5].substr(lines[5].find(", ") + 2)), 100);
  EXPECT_EQ(lines[6], "record: start");
  EXPECT_THAT(lines[7], MatchesRegex(R"(record: ok, \d+ ms)"));
}

}  // namespace
}  // namespace runtime
