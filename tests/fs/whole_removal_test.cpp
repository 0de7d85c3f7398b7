#include "fs/whole_removal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "driver/driver.h"
#include "fs/files.h"
#include "fs/files_for_testing.h"
#include "fs/retry_budget.h"
#include "fs/whole_removal_for_testing.h"
#include "runtime/file_find.h"
#include "runtime/gbk.h"
#include "runtime/run_log.h"
#include "runtime/test_support.h"
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

// What lets a first installation go on without a step: only where a removal would touch nothing.
TEST(NothingToRemove, OnlyWhereNeitherTheFolderNorWhatARemovalLeftAsideIsThere) {
  const struct {
    const wchar_t* made;  // beside the folder's place; a trailing backslash makes a folder
    bool nothing;
  } kCases[] = {
      {L"", true},
      {L"treeling\\", true},  // another name that begins alike
      {L"tree\\", false},
      {L"tree", false},  // a file of the folder's name
      {L"tree.veltrane-removal-7-1\\", false},
  };
  for (const auto& [made, nothing] : kCases) {
    SCOPED_TRACE(made);
    // A folder named with letters GBK lacks: the look-ups are wide from end to end.
    const ScratchDirectory place(L"nothing_to_remove Zoë 설치");
    const std::wstring path = place.Wide(made);
    if (std::wstring_view(made).ends_with(L'\\')) {
      ASSERT_TRUE(fs_test::MakeDirectory(path));
    } else if (*made != L'\0') {
      ASSERT_TRUE(fs_test::WriteBytes(path, "x"));
    }
    EXPECT_EQ(fs::NothingToRemove(place.Wide(L"tree")), nothing);
    EXPECT_EQ(fs::NothingToRemove(place.Wide(L"tree\\")), nothing) << "with a trailing backslash";
  }
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

// What a stand-in FAT volume changes in an ID when the name grows.
constexpr DWORD kFatIdShift = 0x5A5A;

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
  static inline DWORD renameRefusal = 0;          // renames refused with this error:
  static inline int renamesAllowed = 0;           // after as many allowed first,
  static inline int renameRefusals = -1;          // as many times (-1: from then on)
  static inline int dispositionRefusals = -1;     // refusedDisposition's refusals (-1: always)
  static inline bool idsFollowNames = false;      // IDs change with a longer name, as on FAT
  static inline bool swapAfterRename = false;     // the aside folder is replaced once moved
  static inline std::wstring swapAt;
  static inline std::vector<DWORD> waits;        // the waits asked for, in milliseconds
  static inline int opensLeft = -1;              // opens before the handles run out; -1 none
  static inline std::wstring readOnlyDirectory;  // a path ending so reads as read-only
  static inline std::wstring takeAtRename;       // a file another program opens at the rename
  static inline std::unique_ptr<fs_test::HeldFile> taken;
  static inline DWORD posixAnswer = 0;  // the answer to the POSIX mark; 0: the system's
  static inline int posixMarks = 0;     // POSIX marks asked for, with these flags
  static inline DWORD posixFlags = 0;
  static inline int plainMarks = 0;  // plain deletion marks and attribute changes made
  static inline int attributeChanges = 0;
  static inline std::vector<std::wstring> scheduled;  // deletions at restart, in order

  static void Reset() {
    open = mostOpen = 0;
    refusedDisposition.clear();
    readOnlyDirectory.clear();
    takeAtRename.clear();
    taken.reset();
    refusal = renameRefusal = posixAnswer = posixFlags = 0;
    posixMarks = plainMarks = attributeChanges = renamesAllowed = 0;
    renameRefusals = -1;
    dispositionRefusals = -1;
    idsFollowNames = swapAfterRename = false;
    swapAt.clear();
    waits.clear();
    scheduled.clear();
    opensLeft = -1;
  }
  static DWORD Waited() { return std::accumulate(waits.begin(), waits.end(), DWORD{0}); }
  // A count of refusals: true while one is left, counting it down (-1 never runs out).
  static bool Refuse(int& left) {
    if (left == 0) return false;
    if (left > 0) --left;
    return true;
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
    // Another folder put in the aside folder's place once the rename has let go of it.
    if (!swapAt.empty() && swapAt == path) {
      if (!MoveFileW(path, (swapAt + L"-real").c_str()) || !CreateDirectoryW(path, nullptr)) {
        ADD_FAILURE() << "the swap";
      }
      swapAt.clear();
    }
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
    const std::wstring path = PathOf(handle);
    if (EndsWith(path.c_str(), readOnlyDirectory)) {
      information->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    }
    // FAT makes an entry's ID of where its directory entry lies, which a longer name moves.
    if (idsFollowNames && path.find(kAside) != std::wstring::npos) {
      information->nFileIndexLow ^= kFatIdShift;
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
    if (kind == FileDispositionInfo && EndsWith(path.c_str(), readOnlyDirectory)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (kind == FileDispositionInfo && EndsWith(path.c_str(), refusedDisposition) &&
        Refuse(dispositionRefusals)) {
      SetLastError(refusal);
      return FALSE;
    }
    if (kind == FileRenameInfo && !takeAtRename.empty()) {
      taken = std::make_unique<fs_test::HeldFile>(std::exchange(takeAtRename, L""));
    }
    if (kind == FileRenameInfo && renameRefusal != 0) {
      if (renamesAllowed > 0) {
        --renamesAllowed;
      } else if (Refuse(renameRefusals)) {
        SetLastError(renameRefusal);
        return FALSE;
      }
    }
    if (!SetFileInformationByHandle(handle, kind, data, size)) return FALSE;
    if (kind == FileRenameInfo && swapAfterRename) {
      // "\??\" before the target, where Win32 has "\\?\".
      const auto* rename = static_cast<const FILE_RENAME_INFO*>(data);
      swapAt = L"\\\\?\\" + std::wstring(rename->FileName + 4, rename->FileNameLength / 2 - 4);
      swapAfterRename = false;
    }
    return TRUE;
  }

  static BOOL WINAPI Schedule(LPCWSTR path, LPCWSTR target, DWORD flags) {
    if ((flags & MOVEFILE_DELAY_UNTIL_REBOOT) != 0) scheduled.push_back(path);
    return MoveFileExW(path, target, flags & ~MOVEFILE_DELAY_UNTIL_REBOOT);
  }
  static void WINAPI Pause(DWORD milliseconds) { waits.push_back(milliseconds); }

  static runtime::FileApi Api() {
    runtime::FileApi api = runtime::SystemFileApi();
    api.moveFile = &Schedule;
    api.createFile = &Create;
    api.closeHandle = &Close;
    api.findFirstFile = &FindFirst;
    api.findClose = &FindEnd;
    api.getFileInformation = &Information;
    api.setFileInformation = &SetInformation;
    api.sleep = &Pause;
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

  fs::RemovalReport Remove(const fs::RemovalReport* before = nullptr) {
    return fs::RemoveTreeWholeForTesting(scratch_.Wide(L"tree"), nullptr, Seam::Api(), before);
  }

  const ScratchDirectory scratch_{L"whole_seam"};
  const std::wstring tree_ = scratch_.Wide(L"tree");
};

// A scanner, an indexer or a sync client holds an entry for a moment, and Windows refuses to rename
// the folder above it (access denied) or to delete it (a sharing violation); Wine does neither, so
// the seam refuses, and its waits pass at once. A refusal that passes within the budget is never
// a verdict; one that holds is judged as before: an entry held gets the Retry box, nothing held
// the failure with the error (an ACL or Controlled Folder Access refuses the same way for good).
TEST_F(RemoveTreeWholeSeam, RefusalsOfAMomentAreTriedAgainWithinOneBudgetBeforeAnyVerdict) {
  const struct {
    const char* what;
    DWORD renameRefusal;
    int renameRefusals;
    int dispositionRefusals;
    bool held;  // an Explorer window on a subfolder, sharing everything
    WholeRemoval result;
    const wchar_t* where;
    const char* logged;  // how the one line of retries ends
  } cases[] = {
      {"rename refused three times", ERROR_ACCESS_DENIED, 3, 0, false, WholeRemoval::kRemoved, L"",
       "whole_seam\\tree: 4 attempts, last error 5"},
      {"deletion refused three times", 0, 0, 3, false, WholeRemoval::kRemoved, L"",
       "\\sub\\deeper\\c.bin: 4 attempts, last error 32"},
      {"rename refused, an entry held", ERROR_ACCESS_DENIED, -1, 0, true, WholeRemoval::kInUse,
       L"tree\\sub", "whole_seam\\tree: 9 attempts, last error 5"},
      {"rename refused, nothing held", ERROR_ACCESS_DENIED, -1, 0, false, WholeRemoval::kFailed,
       L"tree", "whole_seam\\tree: 9 attempts, last error 5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Seam::Reset();
    if (!PathExists(tree_)) {
      ASSERT_NO_FATAL_FAILURE(BuildTree(tree_));
    }
    Seam::renameRefusal = c.renameRefusal;
    Seam::renameRefusals = c.renameRefusals;
    Seam::refusedDisposition = L"\\deeper\\c.bin";
    Seam::refusal = ERROR_SHARING_VIOLATION;
    Seam::dispositionRefusals = c.dispositionRefusals;
    std::unique_ptr<fs_test::HeldFile> explorer;
    if (c.held) {
      explorer = std::make_unique<fs_test::HeldFile>(tree_ + L"\\sub", /*shareDelete=*/true);
      ASSERT_TRUE(explorer->Holding());
    }
    const runtime::testing::RedirectedTemporaryFolder temporary;
    runtime::OpenRunLog("test", L"brisel", "0");
    const fs::RemovalReport report = Remove();
    runtime::CloseRunLog(0);
    const std::string log = temporary.OnlyLog();
    const std::size_t retried = log.find("retried C:\\fs_tests\\whole_seam\\");
    ASSERT_NE(retried, std::string::npos) << log;
    const std::string line = log.substr(retried, log.find('\r', retried) - retried);
    EXPECT_TRUE(line.ends_with(c.logged)) << line;
    EXPECT_EQ(log.find("retried", retried + 1), std::string::npos) << "once per entry";
    EXPECT_EQ(report.result, c.result);
    EXPECT_EQ(report.where, *c.where == 0 ? std::wstring() : scratch_.Wide(c.where));
    if (c.result == WholeRemoval::kRemoved) {
      EXPECT_EQ(Seam::waits, (std::vector<DWORD>{10, 20, 40})) << "growing";
      EXPECT_FALSE(PathExists(tree_));
      EXPECT_TRUE(AsideFolders(tree_).empty());
    } else {
      EXPECT_EQ(report.error, static_cast<unsigned long>(c.result == WholeRemoval::kInUse
                                                             ? ERROR_SHARING_VIOLATION
                                                             : ERROR_ACCESS_DENIED));
      EXPECT_EQ(Seam::Waited(), fs::kRetryBudgetMilliseconds) << "the whole budget, no more";
      EXPECT_TRUE(std::is_sorted(Seam::waits.begin(), Seam::waits.end()));
      ExpectWhole(tree_);
    }
  }
}

// Microsoft documents that on FAT an entry's ID is where its directory entry lies, so renaming the
// folder to its much longer aside name can change it (exFAT and shares may do the same); Wine keeps
// the Linux inode. The seam's IDs follow the name as FAT's do: the identity read again through the
// handle that renamed it carries the removal, and a folder put in the aside folder's place once
// that handle let go is still refused, and left where it lies, named.
TEST_F(RemoveTreeWholeSeam, TakesTheTreeWholeWhereARenameChangesIdsAndRefusesASwappedFolder) {
  for (const bool fat : {false, true}) {
    for (const bool swapped : {false, true}) {
      SCOPED_TRACE(std::string(fat ? "FAT" : "NTFS") + (swapped ? ", swapped" : ""));
      Seam::Reset();
      if (!PathExists(tree_)) {
        ASSERT_NO_FATAL_FAILURE(BuildTree(tree_));
      }
      Seam::idsFollowNames = fat;
      Seam::swapAfterRename = swapped;
      const fs::RemovalReport report = Remove();
      if (!swapped) {
        EXPECT_EQ(report.result, WholeRemoval::kRemoved);
        EXPECT_FALSE(PathExists(tree_));
        EXPECT_TRUE(AsideFolders(tree_).empty());
        continue;
      }
      std::vector<std::wstring> asides = AsideFolders(tree_);
      ASSERT_EQ(asides.size(), 2u) << "the impostor and the real tree beside it";
      std::sort(asides.begin(), asides.end());
      const std::wstring aside = scratch_.Wide(asides[0]);
      EXPECT_EQ(report.result, WholeRemoval::kFailed);
      EXPECT_EQ(report.error, static_cast<unsigned long>(fs::kReplacedMeanwhile));
      EXPECT_EQ(report.where, aside);
      EXPECT_EQ(report.aside, aside);
      ExpectWhole(aside + L"-real");
      driver::RemoveTree(aside);
      driver::RemoveTree(aside + L"-real");
    }
  }
}

// Windows refuses to rename a folder while anything below it is open, so the move back after the
// second check found a file held can fail exactly then (the seam refuses it). The report names
// where the folder lies, a Retry moves it back before anything else and says it is still held
// while it is, and once let go the folder goes as a whole; never "removed" while it lies aside.
TEST_F(RemoveTreeWholeSeam, AFolderThatCouldNotGoBackIsNamedAndARetryMovesItBackFirst) {
  Seam::takeAtRename = tree_ + L"\\sub\\deeper\\c.bin";
  Seam::renameRefusal = ERROR_ACCESS_DENIED;
  Seam::renamesAllowed = 1;
  const fs::RemovalReport stranded = Remove();
  const std::vector<std::wstring> asides = AsideFolders(tree_);
  ASSERT_EQ(asides.size(), 1u);
  const std::wstring aside = scratch_.Wide(asides[0]);
  EXPECT_EQ(stranded.result, WholeRemoval::kInUse);
  EXPECT_EQ(stranded.aside, aside);
  EXPECT_EQ(stranded.where, aside + L"\\sub\\deeper\\c.bin");
  ExpectWhole(aside);

  const fs::RemovalReport retried = Remove(&stranded);
  EXPECT_EQ(retried.result, WholeRemoval::kInUse) << "never removed while it lies aside";
  EXPECT_EQ(retried.aside, aside);
  ExpectWhole(aside);

  Seam::taken.reset();
  Seam::renameRefusal = 0;
  const fs::RemovalReport released = Remove(&retried);
  EXPECT_EQ(released.result, WholeRemoval::kRemoved);
  EXPECT_EQ(released.aside, L"");
  EXPECT_FALSE(PathExists(tree_));
  EXPECT_TRUE(AsideFolders(tree_).empty());
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

// A file taken after both checks and held past the retries (a scanner, a backup agent) stays in
// the aside folder, which the report names; everything else goes and the folder's place is free.
// Nothing reaches a deletion at restart: the system would carry it out by path, below a root a
// standard user may change, where a junction put in place of a folder steers it elsewhere.
TEST_F(RemoveTreeWholeSeam, WhatCannotGoAfterDeletionBeganStaysAsideNamedAndNothingAtRestart) {
  Seam::refusedDisposition = L"\\deeper\\c.bin";
  Seam::refusal = ERROR_ACCESS_DENIED;
  const fs::RemovalReport report = Remove();
  const std::vector<std::wstring> asides = AsideFolders(tree_);
  ASSERT_EQ(asides.size(), 1u);
  const std::wstring aside = scratch_.Wide(asides[0]);
  EXPECT_EQ(report.result, WholeRemoval::kLeftAside);
  EXPECT_EQ(report.error, static_cast<unsigned long>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(report.where, aside + L"\\sub\\deeper\\c.bin");
  EXPECT_EQ(report.aside, aside);
  EXPECT_EQ(Seam::scheduled, std::vector<std::wstring>{});
  EXPECT_LE(Seam::Waited(), fs::kRetryBudgetMilliseconds);
  EXPECT_FALSE(PathExists(tree_)) << "the folder's place is free";
  EXPECT_FALSE(PathExists(aside + L"\\readonly.txt"));
  EXPECT_FALSE(PathExists(aside + L"\\sub\\a.bin"));
  EXPECT_TRUE(PathExists(aside + L"\\sub\\deeper\\c.bin"));
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
      // Its folders, never emptied, are not asked; the first file is asked again while the
      // budget lasts (below).
      {ERROR_ACCESS_DENIED, WholeRemoval::kLeftAside, kFiles, 0, 0},
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
    EXPECT_EQ(Seam::posixMarks, c.posixMarks + static_cast<int>(Seam::waits.size()));
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
