#include "fs/whole_removal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "driver/driver.h"
#include "fs/files.h"
#include "fs/files_for_testing.h"
#include "fs/whole_removal_for_testing.h"
#include "runtime/file_find.h"
#include "runtime/gbk.h"
#include "test_support.h"

namespace {

using fs::WholeRemoval;
using fs_test::MakeDirectory;
using fs_test::PathExists;
using fs_test::ScratchDirectory;
using fs_test::WriteBytes;

constexpr wchar_t kAside[] = L".veltrane-removal";

// A tree of a game's shape in small: a read-only file, a hidden one, nested levels.
constexpr const wchar_t* kTreeFiles[] = {L"readonly.txt", L"hidden.txt", L"sub\\a.bin",
                                         L"sub\\deeper\\b.bin", L"sub\\deeper\\c.bin"};

void BuildTree(const std::wstring& root) {
  ASSERT_TRUE(MakeDirectory(root));
  ASSERT_TRUE(MakeDirectory(root + L"\\sub"));
  ASSERT_TRUE(MakeDirectory(root + L"\\sub\\deeper"));
  for (const wchar_t* file : kTreeFiles) ASSERT_TRUE(WriteBytes(root + L"\\" + file, "data"));
  ASSERT_TRUE(SetFileAttributesW((root + L"\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesW((root + L"\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
}

// The folders beside `root` that a removal moved it aside to.
std::vector<std::wstring> AsideFolders(const std::wstring& root) {
  std::vector<std::wstring> found;
  runtime::FileEnumerator listing(root + kAside + L"*");
  runtime::FoundEntry entry;
  while (listing.Next(entry)) found.push_back(entry.name);
  return found;
}

// Every file of BuildTree still there, the read-only one still read-only, nothing moved aside.
void ExpectWhole(const std::wstring& root) {
  for (const wchar_t* file : kTreeFiles) EXPECT_TRUE(PathExists(root + L"\\" + file)) << file;
  EXPECT_NE(GetFileAttributesW((root + L"\\readonly.txt").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_TRUE(AsideFolders(root).empty());
}

TEST(RemoveTreeWhole, RemovesTheTreeAndWhatAnInterruptedRunLeftAsideCountingTheFiles) {
  const ScratchDirectory scratch(L"whole_removed");
  const std::wstring tree = scratch.Wide(L"tree");
  ASSERT_NO_FATAL_FAILURE(BuildTree(tree));
  ASSERT_NO_FATAL_FAILURE(BuildTree(tree + kAside));
  runtime::Progress progress;
  progress.Restart(99);

  const fs::RemovalReport report = fs::RemoveTreeWhole(scratch.Wide(L"tree"), &progress);
  EXPECT_EQ(report.result, WholeRemoval::kRemoved);
  EXPECT_EQ(report.where, L"");
  EXPECT_FALSE(PathExists(tree));
  EXPECT_FALSE(PathExists(tree + kAside));
  EXPECT_TRUE(PathExists(scratch.Wide()));
  // The tree's files, counted by the first check, then done once by the check after the move
  // aside and once more as they went.
  EXPECT_EQ(progress.total.load(), 2 * std::size(kTreeFiles));
  EXPECT_EQ(progress.done.load(), progress.total.load());

  // Leftovers alone, with no folder to remove: the installation is gone all the same, and what
  // another program still holds of an earlier run's folder stays for a later run.
  const std::wstring held = tree + kAside + L"-7-1";
  ASSERT_NO_FATAL_FAILURE(BuildTree(tree + kAside + L"-6-1"));
  ASSERT_NO_FATAL_FAILURE(BuildTree(held));
  const fs_test::HeldFile holder(held + L"\\sub\\a.bin");
  ASSERT_TRUE(holder.Holding());
  EXPECT_EQ(fs::RemoveTreeWhole(scratch.Wide(L"tree")).result, WholeRemoval::kRemoved);
  EXPECT_EQ(AsideFolders(tree), std::vector<std::wstring>{L"tree.veltrane-removal-7-1"});
  ExpectWhole(held);
}

TEST(RemoveTreeWhole, RemovesNothingWhileAnotherProgramHoldsAFileAndSaysWhich) {
  const ScratchDirectory scratch(L"whole_held");
  const std::wstring tree = scratch.Wide(L"tree");
  ASSERT_NO_FATAL_FAILURE(BuildTree(tree));
  const fs_test::HeldFile held(tree + L"\\sub\\deeper\\c.bin");
  ASSERT_TRUE(held.Holding());

  const fs::RemovalReport report = fs::RemoveTreeWhole(scratch.Wide(L"tree"));
  EXPECT_EQ(report.result, WholeRemoval::kInUse);
  EXPECT_EQ(report.error, static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(report.where, scratch.Wide(L"tree\\sub\\deeper\\c.bin"));
  ExpectWhole(tree);
}

// The program's working folder lies outside the tree, so no directory of it is held: only the
// check of each file, its exe opened for writing, finds that it runs.
TEST(RemoveTreeWhole, RemovesNothingWhileAProgramRunsFromTheTreeWithItsWorkingFolderElsewhere) {
  const ScratchDirectory scratch(L"whole_running");
  const std::wstring tree = scratch.Wide(L"tree");
  ASSERT_NO_FATAL_FAILURE(BuildTree(tree));
  const std::wstring program = tree + L"\\sub\\brisel.exe";
  ASSERT_TRUE(CopyFileW((fs_test::TestExecutableDirectory() + L"\\fs_test_helper.exe").c_str(),
                        program.c_str(), TRUE));
  const fs_test::HelperProcess running(L"run", program, scratch.Wide());
  ASSERT_TRUE(running.Ready());

  const fs::RemovalReport report = fs::RemoveTreeWhole(scratch.Wide(L"tree"));
  EXPECT_EQ(report.result, WholeRemoval::kInUse);
  EXPECT_EQ(report.where, scratch.Wide(L"tree\\sub\\brisel.exe"));
  ExpectWhole(tree);
  EXPECT_TRUE(PathExists(program));
}

// The class of the POSIX deletion mark, and a stand-in's answer that it is made.
constexpr auto kPosixMarkClass = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kPosixMarkMade = 0xFFFF;

// Stand-ins for the file calls, with the state a test gives them: the table holds plain function
// pointers.
struct Seam {
  static inline int open = 0;
  static inline int mostOpen = 0;
  static inline std::wstring refusedDisposition;  // a path ending so refuses its deletion mark
  static inline DWORD refusal = 0;                // with this error
  static inline DWORD renameRefusal = 0;          // every rename refused with this error
  static inline int opensLeft = -1;               // opens before the handles run out; -1 none
  static inline std::wstring readOnlyDirectory;   // a path ending so reads as read-only
  static inline std::wstring takeAtRename;        // a file another program opens at the rename
  static inline std::unique_ptr<fs_test::HeldFile> taken;
  static inline DWORD posixAnswer = 0;  // the answer to the POSIX mark; 0: the system's
  static inline int posixMarks = 0;     // POSIX marks asked for, with these flags
  static inline DWORD posixFlags = 0;
  static inline int plainMarks = 0;  // plain deletion marks and attribute changes made
  static inline int attributeChanges = 0;
  static inline DWORD scheduleRefusal = 0;  // every deletion at restart refused with this error
  static inline std::vector<std::wstring> scheduled;  // deletions at restart, in order

  static void Reset() {
    open = mostOpen = 0;
    refusedDisposition.clear();
    readOnlyDirectory.clear();
    takeAtRename.clear();
    taken.reset();
    refusal = renameRefusal = posixAnswer = posixFlags = scheduleRefusal = 0;
    posixMarks = plainMarks = attributeChanges = 0;
    scheduled.clear();
    opensLeft = -1;
  }
  static void Opened() { mostOpen = std::max(mostOpen, ++open); }
  static bool EndsWith(const wchar_t* path, const std::wstring& end) {
    return !end.empty() && std::wstring_view(path).ends_with(end);
  }
  static std::wstring PathOf(HANDLE handle) {
    std::wstring path(MAX_PATH * 4, L'\0');
    path.resize(GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), 0));
    return path;
  }

  static HANDLE WINAPI Create(LPCWSTR path, DWORD access, DWORD share,
                              LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                              HANDLE model) {
    if (opensLeft == 0) {
      SetLastError(ERROR_TOO_MANY_OPEN_FILES);
      return INVALID_HANDLE_VALUE;
    }
    if (opensLeft > 0) --opensLeft;
    const HANDLE handle = CreateFileW(path, access, share, security, disposition, flags, model);
    if (handle != INVALID_HANDLE_VALUE) Opened();
    return handle;
  }
  static BOOL WINAPI Close(HANDLE handle) {
    --open;
    return ::CloseHandle(handle);
  }
  static HANDLE WINAPI FindFirst(LPCWSTR pattern, LPWIN32_FIND_DATAW found) {
    const HANDLE handle = FindFirstFileW(pattern, found);
    if (handle != INVALID_HANDLE_VALUE) Opened();
    return handle;
  }
  static BOOL WINAPI FindEnd(HANDLE handle) {
    --open;
    return ::FindClose(handle);
  }
  // What NTFS answers where Wine answers otherwise: a directory keeps a read-only attribute, and
  // refuses its deletion while it has it.
  static BOOL WINAPI Information(HANDLE handle, LPBY_HANDLE_FILE_INFORMATION information) {
    if (!GetFileInformationByHandle(handle, information)) return FALSE;
    if (EndsWith(PathOf(handle).c_str(), readOnlyDirectory)) {
      information->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    }
    return TRUE;
  }
  static BOOL WINAPI SetInformation(HANDLE handle, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID data,
                                    DWORD size) {
    const std::wstring path = PathOf(handle);
    if (kind == kPosixMarkClass) {
      ++posixMarks;
      posixFlags = *static_cast<DWORD*>(data);
      if (posixAnswer == 0) return SetFileInformationByHandle(handle, kind, data, size);
      if (posixAnswer != kPosixMarkMade) {
        SetLastError(posixAnswer);
        return FALSE;
      }
      // Deleted as NTFS would, read-only or not: the plain calls Wine has, made here.
      FILE_BASIC_INFO basic{{}, {}, {}, {}, FILE_ATTRIBUTE_NORMAL};
      FILE_DISPOSITION_INFO disposition{TRUE};
      return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) &&
             SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                        sizeof disposition);
    }
    if (kind == FileDispositionInfo) ++plainMarks;
    if (kind == FileBasicInfo) ++attributeChanges;
    if (kind == FileBasicInfo && EndsWith(path.c_str(), readOnlyDirectory) &&
        (static_cast<FILE_BASIC_INFO*>(data)->FileAttributes & FILE_ATTRIBUTE_READONLY) == 0) {
      readOnlyDirectory.clear();
    }
    if (kind == FileDispositionInfo &&
        (EndsWith(path.c_str(), readOnlyDirectory) || EndsWith(path.c_str(), refusedDisposition))) {
      SetLastError(EndsWith(path.c_str(), readOnlyDirectory) ? ERROR_ACCESS_DENIED : refusal);
      return FALSE;
    }
    if (kind == FileRenameInfo && !takeAtRename.empty()) {
      taken = std::make_unique<fs_test::HeldFile>(std::exchange(takeAtRename, L""));
    }
    if (kind == FileRenameInfo && renameRefusal != 0) {
      SetLastError(renameRefusal);
      return FALSE;
    }
    return SetFileInformationByHandle(handle, kind, data, size);
  }

  static BOOL WINAPI Schedule(LPCWSTR path, LPCWSTR target, DWORD flags) {
    if (target != nullptr || flags != MOVEFILE_DELAY_UNTIL_REBOOT) return FALSE;
    if (scheduleRefusal != 0) {
      SetLastError(scheduleRefusal);
      return FALSE;
    }
    scheduled.push_back(path);
    return TRUE;
  }

  static runtime::FileApi Api() {
    runtime::FileApi api = runtime::SystemFileApi();
    api.moveFile = &Schedule;
    api.createFile = &Create;
    api.closeHandle = &Close;
    api.findFirstFile = &FindFirst;
    api.findClose = &FindEnd;
    api.getFileInformation = &Information;
    api.setFileInformation = &SetInformation;
    return api;
  }
};

class RemoveTreeWholeSeam : public testing::Test {
 protected:
  void SetUp() override {
    Seam::Reset();
    ASSERT_NO_FATAL_FAILURE(BuildTree(tree_));
  }
  void TearDown() override { Seam::Reset(); }

  fs::RemovalReport Remove() {
    return fs::RemoveTreeWholeForTesting(scratch_.Wide(L"tree"), nullptr, Seam::Api());
  }

  const ScratchDirectory scratch_{L"whole_seam"};
  const std::wstring tree_ = scratch_.Wide(L"tree");
};

// Windows refuses with access denied to rename a directory while anything below it is open (Wine
// renames it, so the seam refuses): an Explorer window on a subfolder, which Retry can get past,
// or, with nothing held, an ACL or Controlled Folder Access, which it cannot.
TEST_F(RemoveTreeWholeSeam, AccessDeniedAtTheMoveAsideIsInUseOnlyWhileAnEntryIsHeld) {
  Seam::renameRefusal = ERROR_ACCESS_DENIED;
  fs::RemovalReport report = Remove();
  EXPECT_EQ(report.result, WholeRemoval::kFailed);
  EXPECT_EQ(report.error, static_cast<unsigned long>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(report.where, scratch_.Wide(L"tree"));
  const fs_test::HeldFile explorer(tree_ + L"\\sub", /*shareDelete=*/true);
  ASSERT_TRUE(explorer.Holding());
  report = Remove();
  EXPECT_EQ(report.result, WholeRemoval::kInUse);
  EXPECT_EQ(report.where, scratch_.Wide(L"tree\\sub"));
  ExpectWhole(tree_);
}

// A program started between the check and the move aside holds its file when the move is made,
// which Wine allows (and Windows for a running image, of which no handle stays open): the moved
// tree is checked again, nothing is removed, and it goes back under its name.
TEST_F(RemoveTreeWholeSeam, AFileTakenBeforeTheMoveAsideIsFoundThereAndNothingIsRemoved) {
  Seam::takeAtRename = tree_ + L"\\sub\\deeper\\c.bin";
  const fs::RemovalReport report = Remove();
  ASSERT_TRUE(Seam::taken != nullptr && Seam::taken->Holding());
  EXPECT_EQ(report.result, WholeRemoval::kInUse);
  EXPECT_EQ(report.where, scratch_.Wide(L"tree\\sub\\deeper\\c.bin"));
  ExpectWhole(tree_);
}

// Handles or descriptors running out say nothing about brisel: it is a failure to report with
// its cause, never the "close brisel and retry" box that retrying would never get past.
TEST_F(RemoveTreeWholeSeam, RunningOutOfHandlesFailsWithTheCauseAndRemovesNothing) {
  Seam::opensLeft = 4;
  const fs::RemovalReport report = Remove();
  EXPECT_EQ(report.result, WholeRemoval::kFailed);
  EXPECT_EQ(report.error, static_cast<unsigned long>(ERROR_TOO_MANY_OPEN_FILES));
  EXPECT_FALSE(report.where.empty());
  ExpectWhole(tree_);
}

// A file taken after both checks (a scanner) is left to the restart, files before folders, and
// the folder's place is freed; where the restart cannot take it (a network root), it is named.
TEST_F(RemoveTreeWholeSeam, WhatCannotGoAfterDeletionBeganIsLeftToTheRestartOrNamed) {
  for (const DWORD scheduleRefusal : {DWORD{0}, DWORD{ERROR_NOT_SUPPORTED}}) {
    SCOPED_TRACE(scheduleRefusal);
    Seam::Reset();
    if (!PathExists(tree_)) {
      ASSERT_NO_FATAL_FAILURE(BuildTree(tree_));
    }
    Seam::refusedDisposition = L"\\deeper\\c.bin";
    Seam::refusal = ERROR_ACCESS_DENIED;
    Seam::scheduleRefusal = scheduleRefusal;
    const fs::RemovalReport report = Remove();
    const std::vector<std::wstring> asides = AsideFolders(tree_);
    ASSERT_EQ(asides.size(), 1u);
    const std::wstring aside = L"\\\\?\\" + scratch_.Wide(asides[0]);
    EXPECT_EQ(report.result,
              scheduleRefusal == 0 ? WholeRemoval::kRemovedAtRestart : WholeRemoval::kFailed);
    EXPECT_EQ(report.error, scheduleRefusal == 0 ? ERROR_ACCESS_DENIED : scheduleRefusal);
    EXPECT_EQ(report.where, scratch_.Wide(asides[0] + L"\\sub\\deeper\\c.bin"));
    if (scheduleRefusal == 0) {
      EXPECT_EQ(Seam::scheduled,
                (std::vector<std::wstring>{aside + L"\\sub\\deeper\\c.bin",
                                           aside + L"\\sub\\deeper", aside + L"\\sub", aside}));
    }
    EXPECT_FALSE(PathExists(tree_)) << "the folder's place is free";
    EXPECT_FALSE(PathExists(scratch_.Wide(asides[0]) + L"\\readonly.txt"));
    driver::RemoveTree(scratch_.Wide(asides[0]));
  }
}

// Wine 8 answers the POSIX deletion mark with ERROR_INVALID_PARAMETER; the seam answers as
// Windows 10 1809 on NTFS does (marked, the read-only file as it is), as FAT or an older Windows
// does, or refuses it. Only the answers of a volume without the mark lead to the plain one, asked
// once per walk.
TEST_F(RemoveTreeWholeSeam, DeletesWithPosixSemanticsWhereTheVolumeHasThem) {
  constexpr int kFiles = std::size(kTreeFiles);
  constexpr int kEntries = kFiles + 3;  // and sub, deeper, the folder itself
  const struct {
    DWORD answer;
    WholeRemoval result;
    int posixMarks;
    int plainMarks;
    int attributeChanges;
  } cases[] = {
      {kPosixMarkMade, WholeRemoval::kRemoved, kEntries, 0, 0},
      {ERROR_INVALID_PARAMETER, WholeRemoval::kRemoved, 1, kEntries, 1},
      {ERROR_INVALID_FUNCTION, WholeRemoval::kRemoved, 1, kEntries, 1},
      {ERROR_NOT_SUPPORTED, WholeRemoval::kRemoved, 1, kEntries, 1},
      // Its folders, never emptied, are not asked.
      {ERROR_ACCESS_DENIED, WholeRemoval::kRemovedAtRestart, kFiles, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    Seam::Reset();
    if (!PathExists(tree_)) {
      ASSERT_NO_FATAL_FAILURE(BuildTree(tree_));
    }
    Seam::posixAnswer = c.answer;
    EXPECT_EQ(Remove().result, c.result);
    EXPECT_EQ(
        Seam::posixFlags,
        static_cast<DWORD>(FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS |
                           FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE));
    EXPECT_EQ(Seam::posixMarks, c.posixMarks);
    EXPECT_EQ(Seam::plainMarks, c.plainMarks);
    EXPECT_EQ(Seam::attributeChanges, c.attributeChanges) << "the read-only file's";
    for (const std::wstring& aside : AsideFolders(tree_)) driver::RemoveTree(scratch_.Wide(aside));
  }
}

// Wine keeps no read-only attribute on a directory; NTFS keeps it and refuses to delete such a
// directory. The seam answers as NTFS does, to the removal and the clean-up after a failed
// unpacking alike.
TEST_F(RemoveTreeWholeSeam, AReadOnlyDirectoryIsRemovedByTheRemovalAndTheCleanUp) {
  Seam::readOnlyDirectory = L"\\sub\\deeper";
  EXPECT_EQ(Remove().result, WholeRemoval::kRemoved);
  EXPECT_FALSE(PathExists(tree_));
  ASSERT_NO_FATAL_FAILURE(BuildTree(tree_));
  Seam::readOnlyDirectory = L"\\sub\\deeper";
  EXPECT_TRUE(fs::DeleteTreeForTesting(scratch_.Wide(L"tree"), nullptr, Seam::Api()));
  EXPECT_FALSE(PathExists(tree_));
}

// The bound is the walk's own, not a setting: the level it is in, and one listing or one file in
// it. A few hundred files over several levels stand for the tens of thousands of a game, which a
// removal holding a handle per entry could not hold under Wine (a Unix descriptor per handle).
TEST_F(RemoveTreeWholeSeam, HoldsAFixedNumberOfHandlesWhateverTheFileCount) {
  constexpr int kPerLevel = 60;
  std::wstring level = tree_;
  for (int depth = 0; depth < 5; ++depth) {
    level += L"\\level" + std::to_wstring(depth);
    ASSERT_TRUE(MakeDirectory(level));
    for (int file = 0; file < kPerLevel; ++file) {
      ASSERT_TRUE(WriteBytes(level + L"\\f" + std::to_wstring(file) + L".bin", "x"));
    }
  }
  EXPECT_EQ(Remove().result, WholeRemoval::kRemoved);
  EXPECT_FALSE(PathExists(tree_));
  EXPECT_GT(Seam::mostOpen, 0);
  EXPECT_LE(Seam::mostOpen, fs::kWholeRemovalHandleBoundForTesting);
  EXPECT_EQ(Seam::open, 0);
}

// Windows refuses a path of MAX_PATH characters or more unless it comes in the extended-length
// form; Wine takes it either way. The stand-ins refuse as Windows does.
struct ShortPathsOnly {
  static bool Refuses(LPCWSTR path) {
    return std::wcslen(path) >= MAX_PATH && std::wcsncmp(path, L"\\\\?\\", 4) != 0;
  }
  static HANDLE WINAPI Create(LPCWSTR path, DWORD access, DWORD share,
                              LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                              HANDLE model) {
    if (Refuses(path)) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(path, access, share, security, disposition, flags, model);
  }
  static HANDLE WINAPI FindFirst(LPCWSTR pattern, LPWIN32_FIND_DATAW found) {
    if (Refuses(pattern)) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    return FindFirstFileW(pattern, found);
  }
  static DWORD WINAPI Attributes(LPCWSTR path) {
    if (Refuses(path)) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return INVALID_FILE_ATTRIBUTES;
    }
    return GetFileAttributesW(path);
  }
  template <auto Call, typename... Arguments>
  static BOOL WINAPI Refusing(LPCWSTR path, Arguments... arguments) {
    if (Refuses(path)) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return FALSE;
    }
    return Call(path, arguments...);
  }

  static runtime::FileApi Api() {
    runtime::FileApi api = runtime::SystemFileApi();
    api.createFile = &Create;
    api.findFirstFile = &FindFirst;
    api.getFileAttributes = &Attributes;
    api.setFileAttributes = &Refusing<&SetFileAttributesW, DWORD>;
    api.deleteFile = &Refusing<&DeleteFileW>;
    api.removeDirectory = &Refusing<&RemoveDirectoryW>;
    return api;
  }
};

// A tree whose deepest file lies past MAX_PATH, as 7-Zip unpacks one; its size in bytes.
std::uint64_t BuildLongTree(const std::wstring& root) {
  std::wstring level = root;
  EXPECT_TRUE(MakeDirectory(level));
  std::uint64_t size = 0;
  while (level.size() < MAX_PATH + 40) {
    level += L"\\" + std::wstring(40, L'd');
    EXPECT_TRUE(MakeDirectory(level));
    EXPECT_TRUE(WriteBytes(level + L"\\file.bin", "12345"));
    size += 5;
  }
  return size;
}

TEST(LongPaths, AreReachedByTheWholeRemovalTheSizeWalkAndTheCleanUp) {
  const ScratchDirectory scratch(L"long_paths");
  const runtime::FileApi api = ShortPathsOnly::Api();
  const std::uint64_t size = BuildLongTree(scratch.Wide(L"tree"));
  EXPECT_EQ(fs::TreeSizeForTesting(scratch.Wide(L"tree"), api), size);
  EXPECT_EQ(fs::RemoveTreeWholeForTesting(scratch.Wide(L"tree"), nullptr, api).result,
            WholeRemoval::kRemoved);
  EXPECT_FALSE(PathExists(scratch.Wide(L"tree")));

  BuildLongTree(scratch.Wide(L"tree"));
  EXPECT_TRUE(fs::DeleteTreeForTesting(scratch.Wide(L"tree"), nullptr, api));
  EXPECT_FALSE(PathExists(scratch.Wide(L"tree")));
}

}  // namespace
