#include "runtime/files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "runtime/scoped_handle.h"
#include "runtime/text.h"
#include "test_support.h"

namespace runtime {
namespace {

using testing::ReadWholeFile;
using testing::TemporaryDirectory;

// Opens the file the way another program would; true when the system lets it.
bool OthersCanOpen(const std::wstring& path, DWORD access) {
  const ScopedHandle file(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.Valid();
}

TEST(PathExists, FindsFilesDirectoriesAndWildcardMatches) {
  const TemporaryDirectory directory;
  ASSERT_TRUE(WriteFile(directory.Inside(L"a.txt"), {ToBytes("x")}));
  EXPECT_TRUE(PathExists(directory.Inside(L"a.txt")));
  EXPECT_TRUE(PathExists(directory.Path()));
  EXPECT_TRUE(PathExists(directory.Inside(L"*.txt")));
  EXPECT_FALSE(PathExists(directory.Inside(L"*.exe")));
  EXPECT_FALSE(PathExists(directory.Inside(L"missing.txt")));
  EXPECT_FALSE(PathExists(L""));
}

TEST(WriteFile, WritesTheArraysBackToBack) {
  const TemporaryDirectory directory;
  const std::wstring path = directory.Inside(L"brisel.7z");
  EXPECT_TRUE(WriteFile(path, {ToBytes("7z\xbc\xaf"), Bytes{}, Bytes{0, 1, 2}}));
  EXPECT_EQ(ReadWholeFile(path), std::string("7z\xbc\xaf\0\1\2", 7));
}

TEST(WriteFile, OneEmptyArrayCreatesOrTruncatesToNothing) {
  const TemporaryDirectory directory;
  const std::wstring path = directory.Inside(L"empty.bin");
  EXPECT_TRUE(WriteFile(path, {Bytes{}}));
  EXPECT_TRUE(PathExists(path));
  EXPECT_EQ(ReadWholeFile(path), "");
  ASSERT_TRUE(WriteFile(path, {ToBytes("old content")}));
  EXPECT_TRUE(WriteFile(path, {Bytes{}}));
  EXPECT_EQ(ReadWholeFile(path), "");
}

TEST(WriteFile, FailsForAnEmptyPathOrAFileThatCannotBeCreated) {
  const TemporaryDirectory directory;
  EXPECT_FALSE(WriteFile(L"", {ToBytes("x")}));
  EXPECT_FALSE(WriteFile(directory.Inside(L"missing\\a.bin"), {ToBytes("x")}));
  // A file held open without sharing cannot be replaced.
  const std::wstring path = directory.Inside(L"held.bin");
  ASSERT_TRUE(WriteFile(path, {ToBytes("kept")}));
  const int held = OpenFile(path, kOpenRead, kShareExclusive);
  ASSERT_NE(held, 0);
  EXPECT_FALSE(WriteFile(path, {ToBytes("x")}));
  CloseFile(held);
  EXPECT_EQ(ReadWholeFile(path), "kept");
}

TEST(OpenFile, AccessModesNeedOrCreateTheFileAsTheirTableSays) {
  const TemporaryDirectory directory;
  const std::wstring missing = directory.Inside(L"missing.bin");
  for (int access : {kOpenRead, kOpenWrite, kOpenReadWrite}) {
    EXPECT_EQ(OpenFile(missing, access), 0) << "access " << access;
  }
  EXPECT_FALSE(PathExists(missing));

  const std::wstring path = directory.Inside(L"content.bin");
  ASSERT_TRUE(WriteFile(path, {ToBytes("content")}));
  for (int access : {kOpenRead, kOpenWrite, kOpenReadWrite, kOpenWriteKeep, kOpenReadWriteKeep}) {
    const int file = OpenFile(path, access);
    EXPECT_GT(file, 0) << "access " << access;
    CloseFile(file);
    EXPECT_EQ(ReadWholeFile(path), "content") << "access " << access;
  }
  const int rewritten = OpenFile(path, kOpenRewrite);
  EXPECT_GT(rewritten, 0);
  CloseFile(rewritten);
  EXPECT_EQ(ReadWholeFile(path), "");

  for (int access : {kOpenRewrite, kOpenWriteKeep, kOpenReadWriteKeep}) {
    const std::wstring created = directory.Inside(L"created" + std::to_wstring(access));
    const int file = OpenFile(created, access);
    EXPECT_GT(file, 0) << "access " << access;
    CloseFile(file);
    EXPECT_TRUE(PathExists(created)) << "access " << access;
  }
}

TEST(OpenFile, AccessOrSharingOutsideTheirTablesGiveZero) {
  const TemporaryDirectory directory;
  const std::wstring path = directory.Inside(L"a.bin");
  EXPECT_EQ(OpenFile(path, 0), 0);
  EXPECT_EQ(OpenFile(path, 7), 0);
  EXPECT_EQ(OpenFile(path, kOpenRewrite, 0), 0);
  EXPECT_EQ(OpenFile(path, kOpenRewrite, 5), 0);
  EXPECT_FALSE(PathExists(path));
}

TEST(OpenFile, SharingDecidesWhatOtherOpenersMayDo) {
  const TemporaryDirectory directory;
  const std::wstring path = directory.Inside(L"shared.bin");
  ASSERT_TRUE(WriteFile(path, {ToBytes("x")}));
  struct Row {
    int sharing;
    bool othersRead, othersWrite;
  };
  for (const Row row : {Row{kShareAll, true, true}, Row{kShareDenyRead, false, true},
                        Row{kShareDenyWrite, true, false}, Row{kShareExclusive, false, false}}) {
    const int file = OpenFile(path, kOpenRead, row.sharing);
    ASSERT_GT(file, 0);
    EXPECT_EQ(OthersCanOpen(path, GENERIC_READ), row.othersRead) << "sharing " << row.sharing;
    EXPECT_EQ(OthersCanOpen(path, GENERIC_WRITE), row.othersWrite) << "sharing " << row.sharing;
    CloseFile(file);
    EXPECT_TRUE(OthersCanOpen(path, GENERIC_READ | GENERIC_WRITE)) << "sharing " << row.sharing;
  }
}

TEST(OpenFile, SecondOpenDeniedBySharingGivesZero) {
  const TemporaryDirectory directory;
  const std::wstring path = directory.Inside(L"once.bin");
  const int first = OpenFile(path, kOpenReadWriteKeep, kShareExclusive);
  ASSERT_GT(first, 0);
  EXPECT_EQ(OpenFile(path, kOpenRead), 0);
  CloseFile(first);
  const int again = OpenFile(path, kOpenRead);
  EXPECT_GT(again, 0);
  CloseFile(again);
}

TEST(OpenFile, NumbersArePositiveDistinctAndFreedOnClose) {
  const TemporaryDirectory directory;
  const std::wstring path = directory.Inside(L"numbers.bin");
  const int first = OpenFile(path, kOpenReadWriteKeep);
  const int second = OpenFile(path, kOpenRead);
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  EXPECT_NE(first, second);
  CloseFile(first);
  CloseFile(first);  // no longer open: ignored
  CloseFile(12345);  // never open: ignored
  EXPECT_EQ(OpenFile(path, kOpenRead), first);
  CloseFile(first);
  CloseFile(second);
  EXPECT_TRUE(OthersCanOpen(path, GENERIC_READ | GENERIC_WRITE));
}

}  // namespace
}  // namespace runtime
