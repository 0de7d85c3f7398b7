#include "fs/files.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fs/files_for_testing.h"
#include "fs/removal_guard.h"
#include "fs/tree_guard.h"
#include "runtime/gbk.h"
#include "runtime/scoped_handle.h"
#include "test_support.h"

namespace {

using fs_test::MakeDirectory;
using fs_test::PathExists;
using fs_test::ScratchDirectory;
using fs_test::WriteBytes;

// A directory holding a read-only file, a hidden file and two nested levels with files.
void BuildTree(const std::wstring& root) {
  ASSERT_TRUE(MakeDirectory(root));
  ASSERT_TRUE(WriteBytes(root + L"\\readonly.txt", "r"));
  ASSERT_TRUE(SetFileAttributesW((root + L"\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(WriteBytes(root + L"\\hidden.txt", "h"));
  ASSERT_TRUE(SetFileAttributesW((root + L"\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(MakeDirectory(root + L"\\sub"));
  ASSERT_TRUE(WriteBytes(root + L"\\sub\\a.bin", "a"));
  ASSERT_TRUE(MakeDirectory(root + L"\\sub\\deeper"));
  ASSERT_TRUE(WriteBytes(root + L"\\sub\\deeper\\b.bin", "b"));
}

TEST(DeleteTree, RemovesReadOnlyHiddenAndNestedEntriesAndTheDirectory) {
  const ScratchDirectory scratch(L"delete_tree");
  ASSERT_NO_FATAL_FAILURE(BuildTree(scratch.Wide(L"tree")));
  EXPECT_TRUE(fs::DeleteTree(scratch.Wide(L"tree")));
  EXPECT_FALSE(PathExists(scratch.Wide(L"tree")));
  EXPECT_TRUE(PathExists(scratch.Wide()));
}

TEST(DeleteTree, TreatsPathsWithAndWithoutTrailingBackslashAlike) {
  const ScratchDirectory scratch(L"delete_trailing");
  ASSERT_NO_FATAL_FAILURE(BuildTree(scratch.Wide(L"plain")));
  ASSERT_NO_FATAL_FAILURE(BuildTree(scratch.Wide(L"slashed")));
  EXPECT_TRUE(fs::DeleteTree(scratch.Wide(L"plain")));
  EXPECT_TRUE(fs::DeleteTree(scratch.Wide(L"slashed\\")));
  EXPECT_FALSE(PathExists(scratch.Wide(L"plain")));
  EXPECT_FALSE(PathExists(scratch.Wide(L"slashed")));
}

TEST(DeleteTree, AnswersFalseForAMissingDirectoryOrAFile) {
  const ScratchDirectory scratch(L"delete_missing");
  ASSERT_TRUE(WriteBytes(scratch.Wide(L"file.txt"), "f"));
  EXPECT_FALSE(fs::DeleteTree(scratch.Wide(L"missing")));
  EXPECT_FALSE(fs::DeleteTree(scratch.Wide(L"file.txt")));
  EXPECT_TRUE(PathExists(scratch.Wide(L"file.txt")));
}

TEST(DeleteTree, LeavesAFileHeldByAnotherProcessWithItsParentsAndRemovesTheRest) {
  const ScratchDirectory scratch(L"delete_held");
  const std::wstring tree = scratch.Wide(L"tree");
  ASSERT_NO_FATAL_FAILURE(BuildTree(tree));
  ASSERT_TRUE(WriteBytes(tree + L"\\sub\\deeper\\held.txt", "held"));
  {
    const fs_test::HeldFile held(tree + L"\\sub\\deeper\\held.txt");
    ASSERT_TRUE(held.Holding());
    EXPECT_FALSE(fs::DeleteTree(scratch.Wide(L"tree")));
  }
  EXPECT_TRUE(PathExists(tree + L"\\sub\\deeper\\held.txt"));
  EXPECT_FALSE(PathExists(tree + L"\\readonly.txt"));
  EXPECT_FALSE(PathExists(tree + L"\\hidden.txt"));
  EXPECT_FALSE(PathExists(tree + L"\\sub\\a.bin"));
  EXPECT_FALSE(PathExists(tree + L"\\sub\\deeper\\b.bin"));
}

// A standard user may write below the install root and could swap a directory for a junction
// between the walk's listing and its descent. Each directory the walk is in stays open without
// delete sharing, which Wine enforces too: meanwhile another process cannot rename it away.
std::wstring g_renameTarget;
int g_renameResult = -1;
void TryToRenameAway(std::wstring_view directory) {
  if (directory.ends_with(L"\\sub")) {
    g_renameResult = fs_test::RunHelper(L"rename \"" + std::wstring(directory) + L"\" \"" +
                                        g_renameTarget + L"\"");
  }
}

TEST(DeleteTree, HoldsEachDirectoryItIsInSoThatNobodyCanSwapItMeanwhile) {
  const ScratchDirectory scratch(L"delete_pinned");
  ASSERT_NO_FATAL_FAILURE(BuildTree(scratch.Wide(L"tree")));
  g_renameTarget = scratch.Wide(L"moved");
  EXPECT_TRUE(
      fs::DeleteTreeForTesting(scratch.Wide(L"tree"), &TryToRenameAway, runtime::SystemFileApi()));
  EXPECT_EQ(g_renameResult, 1) << "the rename was refused";
  EXPECT_FALSE(PathExists(scratch.Wide(L"tree")));
  EXPECT_FALSE(PathExists(scratch.Wide(L"moved")));
}

// Wine creates neither junctions nor directory symbolic links (FSCTL_SET_REPARSE_POINT fails,
// CreateSymbolicLinkW creates nothing), so a link inside a tree cannot be built here. The walk's
// choice rests on the find data alone; this proves that choice with the real attribute values.
TEST(DeleteTree, RemovesDirectoryLinksWithoutEnteringThemJudgedOnTheFindData) {
  static_assert(fs::kAttributeReadOnly == FILE_ATTRIBUTE_READONLY);
  static_assert(fs::kAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY);
  static_assert(fs::kAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT);
  WIN32_FIND_DATAW junction{};
  junction.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  wcscpy(junction.cFileName, L"outside");
  EXPECT_EQ(fs::ActionForEntry(junction.cFileName, junction.dwFileAttributes),
            fs::TreeEntryAction::kRemoveLink);
  WIN32_FIND_DATAW directory{};
  directory.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
  wcscpy(directory.cFileName, L"inside");
  EXPECT_EQ(fs::ActionForEntry(directory.cFileName, directory.dwFileAttributes),
            fs::TreeEntryAction::kDescend);
}

std::wstring ShellFolder(int csidl) {
  wchar_t folder[MAX_PATH] = {};
  return SHGetSpecialFolderPathW(nullptr, folder, csidl, FALSE) ? folder : L"";
}

std::wstring Environment(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
  return length > 0 && length < MAX_PATH ? value : L"";
}

std::wstring Lowered(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::wstring WithForwardSlashes(std::wstring text) {
  for (wchar_t& unit : text) {
    if (unit == L'\\') unit = L'/';
  }
  return text;
}

std::wstring WithDoubledSeparators(std::wstring text) {
  std::wstring doubled;
  for (wchar_t unit : text) {
    doubled += unit;
    if (unit == L'\\') doubled += L'\\';
  }
  return doubled + L"\\\\";
}

// Each folder the installer must never remove, with a file put into it to show that nothing
// inside was touched.
TEST(DeleteTree, RefusesRootsAndProtectedFoldersHoweverSpelledAndChangesNothing) {
  wchar_t windows[MAX_PATH] = {};
  wchar_t system[MAX_PATH] = {};
  ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  const std::wstring profile = ShellFolder(CSIDL_PROFILE);
  const std::vector<std::wstring> folders = {
      L"C:\\",
      windows,
      system,
      ShellFolder(CSIDL_PROGRAM_FILES),
      Environment(L"ProgramW6432"),
      ShellFolder(CSIDL_COMMON_APPDATA),
      profile.substr(0, profile.rfind(L'\\')),  // Users
      profile,
      ShellFolder(CSIDL_DESKTOPDIRECTORY),
      ShellFolder(CSIDL_PERSONAL),
      ShellFolder(CSIDL_APPDATA),
      ShellFolder(CSIDL_LOCAL_APPDATA),
  };
  for (const std::wstring& folder : folders) {
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(PathExists(folder)) << runtime::WideToGbk(folder);
    const std::wstring inside = (folder.back() == L'\\' ? folder : folder + L'\\');
    const std::wstring sentinel = inside + L"fs_sentinel.txt";
    ASSERT_TRUE(WriteBytes(sentinel, "keep")) << runtime::WideToGbk(sentinel);
    for (const std::wstring& spelling :
         {folder, inside, Lowered(folder), WithForwardSlashes(folder),
          WithDoubledSeparators(folder)}) {
      const std::string path = runtime::WideToGbk(spelling);
      // Checked first on its own so that a fault in the guard can never reach the real call,
      // which under Wine would empty the drive or the Linux home the Desktop is linked to.
      ASSERT_FALSE(fs::MayRemoveTree(spelling)) << path;
      EXPECT_FALSE(fs::DeleteTree(spelling)) << path;
    }
    EXPECT_EQ(fs_test::ReadBytes(sentinel), "keep") << runtime::WideToGbk(folder);
    DeleteFileW(sentinel.c_str());
  }
}

TEST(DeleteTree, RefusesEmptyRelativeAndDriveRelativePathsAndShareRoots) {
  const ScratchDirectory scratch(L"delete_relative");
  ASSERT_NO_FATAL_FAILURE(BuildTree(scratch.Wide(L"tree")));
  wchar_t previous[MAX_PATH] = {};
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(scratch.Wide().c_str()));
  for (const wchar_t* path :
       {L"", L"tree", L".\\tree", L"C:tree", L"C:", L"\\fs_tests", L"\\\\server\\share",
        L"\\\\server\\share\\", L"\\\\.\\C:\\fs_tests"}) {
    EXPECT_FALSE(fs::DeleteTree(path)) << runtime::WideToGbk(path);
  }
  ASSERT_TRUE(SetCurrentDirectoryW(previous));
  EXPECT_TRUE(PathExists(scratch.Wide(L"tree\\sub\\deeper\\b.bin")));
}

TEST(CreateDirectoryPath, CreatesEveryMissingLevel) {
  const ScratchDirectory scratch(L"create_levels");
  EXPECT_TRUE(fs::CreateDirectoryPath(scratch.Wide(L"a\\b\\c")));
  EXPECT_TRUE(PathExists(scratch.Wide(L"a\\b\\c")));
  EXPECT_TRUE(fs::CreateDirectoryPath(scratch.Wide(L"a\\b\\c")));  // already there
  EXPECT_TRUE(fs::CreateDirectoryPath(scratch.Wide(L"d\\e\\")));
  EXPECT_TRUE(PathExists(scratch.Wide(L"d\\e")));
}

TEST(CreateDirectoryPath, TakesOnlyBackslashesAsLevelSeparators) {
  const ScratchDirectory scratch(L"create_forward");
  // One call for the whole text: with "a" missing, nothing comes into being.
  EXPECT_FALSE(fs::CreateDirectoryPath(scratch.Wide(L"a/b/c")));
  EXPECT_FALSE(PathExists(scratch.Wide(L"a")));
  // The same single call succeeds when only the last level is missing.
  EXPECT_TRUE(fs::CreateDirectoryPath(scratch.Wide() + L"/single"));
  EXPECT_TRUE(PathExists(scratch.Wide(L"single")));
}

TEST(CreateDirectoryPath, CreatesNothingForATwoCharacterText) {
  const ScratchDirectory scratch(L"create_short");
  wchar_t previous[MAX_PATH] = {};
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(scratch.Wide().c_str()));
  const bool created = fs::CreateDirectoryPath(L"zz");
  const bool exists = PathExists(scratch.Wide(L"zz"));
  const bool threeCreated = fs::CreateDirectoryPath(L"zzz");
  ASSERT_TRUE(SetCurrentDirectoryW(previous));
  EXPECT_FALSE(created);
  EXPECT_FALSE(exists);
  EXPECT_TRUE(threeCreated);
  EXPECT_FALSE(fs::CreateDirectoryPath(L""));
}

TEST(DirectoryAndFileExists, TellDirectoriesFilesMissingPathsAndPatternsApart) {
  const ScratchDirectory scratch(L"exists");
  ASSERT_TRUE(MakeDirectory(scratch.Wide(L"folder")));
  ASSERT_TRUE(WriteBytes(scratch.Wide(L"file.txt"), "f"));

  EXPECT_TRUE(fs::DirectoryExists(scratch.Wide(L"folder")));
  EXPECT_TRUE(fs::DirectoryExists(scratch.Wide(L"folder\\")));
  EXPECT_FALSE(fs::DirectoryExists(scratch.Wide(L"file.txt")));
  EXPECT_FALSE(fs::DirectoryExists(scratch.Wide(L"missing")));
  EXPECT_FALSE(fs::DirectoryExists(scratch.Wide(L"fold*")));
  EXPECT_FALSE(fs::DirectoryExists(L""));

  EXPECT_TRUE(fs::FileExists(scratch.Wide(L"file.txt")));
  EXPECT_FALSE(fs::FileExists(scratch.Wide(L"folder")));
  EXPECT_FALSE(fs::FileExists(scratch.Wide(L"missing.txt")));
  EXPECT_TRUE(fs::FileExists(scratch.Wide(L"*.txt")));
  EXPECT_FALSE(fs::FileExists(scratch.Wide(L"fold*")));  // first match is a directory
  EXPECT_FALSE(fs::FileExists(L""));
}

TEST(RemoveFile, DeletesTheNamedFile) {
  const ScratchDirectory scratch(L"remove_file");
  ASSERT_TRUE(WriteBytes(scratch.Wide(L"record.dat"), "x"));
  ASSERT_TRUE(WriteBytes(scratch.Wide(L"other.dat"), "y"));
  fs::RemoveFile(scratch.Wide(L"record.dat"));
  fs::RemoveFile(scratch.Wide(L"missing.dat"));
  EXPECT_FALSE(PathExists(scratch.Wide(L"record.dat")));
  EXPECT_TRUE(PathExists(scratch.Wide(L"other.dat")));
}

TEST(OwnDirectory, IsTheExecutablesFolderWithoutTrailingBackslash) {
  const std::wstring own = fs::OwnDirectory();
  EXPECT_EQ(own, fs_test::TestExecutableDirectory());
  ASSERT_FALSE(own.empty());
  EXPECT_NE(own.back(), L'\\');
  EXPECT_TRUE(fs::FileExists(own + L"\\win_tests.exe"));
}

// Chinese file names need the Linux locale zh_CN.UTF-8 under Wine: without it Wine cannot store
// any non-ASCII name, whatever the program does, and these cases are skipped with that reason.
class ChinesePaths : public testing::Test {
 protected:
  void SetUp() override {
    if (!fs_test::HostStoresChineseNames()) {
      GTEST_SKIP() << "this Wine cannot store non-ASCII file names (Linux locale missing)";
    }
  }
  const ScratchDirectory scratch_{L"chinese"};
};

TEST_F(ChinesePaths, WorkInDeleteTree) {
  ASSERT_NO_FATAL_FAILURE(BuildTree(scratch_.Wide(L"安装目录")));
  ASSERT_TRUE(WriteBytes(scratch_.Wide(L"安装目录\\sub\\程序.exe"), "x"));
  EXPECT_TRUE(fs::DeleteTree(scratch_.Wide() + L"\\安装目录"));
  EXPECT_FALSE(PathExists(scratch_.Wide(L"安装目录")));
}

TEST_F(ChinesePaths, WorkInCreateDirectoryPath) {
  EXPECT_TRUE(fs::CreateDirectoryPath(scratch_.Wide() + L"\\安装\\程序"));
  EXPECT_TRUE(PathExists(scratch_.Wide(L"安装\\程序")));
  // A letter GBK lacks reaches the file system as it is.
  EXPECT_TRUE(fs::CreateDirectoryPath(scratch_.Wide() + L"\\Zo\u00eb\\sub"));
  EXPECT_TRUE(PathExists(scratch_.Wide(L"Zo\u00eb\\sub")));
}

TEST_F(ChinesePaths, WorkInDirectoryAndFileExists) {
  ASSERT_TRUE(MakeDirectory(scratch_.Wide(L"目录")));
  ASSERT_TRUE(WriteBytes(scratch_.Wide(L"安装.txt"), "f"));
  EXPECT_TRUE(fs::DirectoryExists(scratch_.Wide() + L"\\目录"));
  EXPECT_FALSE(fs::FileExists(scratch_.Wide() + L"\\目录"));
  EXPECT_TRUE(fs::FileExists(scratch_.Wide() + L"\\安装.txt"));
  EXPECT_FALSE(fs::DirectoryExists(scratch_.Wide() + L"\\安装.txt"));
}

TEST_F(ChinesePaths, WorkInRemoveFile) {
  ASSERT_TRUE(WriteBytes(scratch_.Wide(L"安装.dat"), "x"));
  fs::RemoveFile(scratch_.Wide() + L"\\安装.dat");
  EXPECT_FALSE(PathExists(scratch_.Wide(L"安装.dat")));
}

// Under Wine the session's server frees a deleted or shrunk file's space, and every window of the
// session, the installer's among them, waits for it meanwhile: a 957 MB archive deleted at once
// held the window 150 to 180 ms on a 2-core machine. What one call frees is therefore how long it
// holds the window. The stand-in counts the bytes each call through the held handle frees, never
// a time; it can say the entry is a link, which Wine cannot make.
struct FreedPerCall {
  static inline std::vector<std::uint64_t> freed;
  static inline bool reportLink = false;

  static std::uint64_t SizeOf(HANDLE file) {
    LARGE_INTEGER size{};
    return GetFileSizeEx(file, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
  }
  static BOOL WINAPI GetInformation(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
    const BOOL got = GetFileInformationByHandle(file, info);
    if (reportLink) info->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return got;
  }
  static BOOL WINAPI SetInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* data,
                                    DWORD size) {
    const std::uint64_t before = SizeOf(file);
    const BOOL set = SetFileInformationByHandle(file, kind, data, size);
    // A deletion frees what is left when the handle closes.
    if (set) freed.push_back(kind == FileDispositionInfo ? before : before - SizeOf(file));
    return set;
  }
};

TEST(RemoveLargeFile, FreesAtMostAPiecePerCallAndEmptiesOnlyAPlainFileOfOneName) {
  runtime::FileApi api = runtime::SystemFileApi();
  api.getFileInformation = &FreedPerCall::GetInformation;
  api.setFileInformation = &FreedPerCall::SetInformation;
  const std::uint64_t bytes = (std::uint64_t{1} << 30) + fs::kFreedPerCall / 2;
  const struct {
    const char* what;
    bool secondName;  // the removed name is a hard link of another file
    bool link;
  } cases[] = {{"a plain file: the archive", false, false},
               {"a second name of another file", true, false},
               {"a symbolic link", false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ScratchDirectory scratch(L"remove_large");
    const std::wstring other = scratch.Wide(L"other.pak");
    const std::wstring removed = scratch.Wide(L"brisel.7z");
    {
      // Sparse under Wine: a gigabyte costs no disk here.
      const runtime::ScopedHandle file(CreateFileW((c.secondName ? other : removed).c_str(),
                                                   GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                   FILE_ATTRIBUTE_NORMAL, nullptr));
      FILE_END_OF_FILE_INFO end{};
      end.EndOfFile.QuadPart = static_cast<LONGLONG>(bytes);
      ASSERT_TRUE(SetFileInformationByHandle(file.Get(), FileEndOfFileInfo, &end, sizeof end));
    }
    if (c.secondName) {
      ASSERT_TRUE(CreateHardLinkW(removed.c_str(), other.c_str(), nullptr));
    }
    FreedPerCall::freed.clear();
    FreedPerCall::reportLink = c.link;
    fs::RemoveLargeFileForTesting(removed, api);
    FreedPerCall::reportLink = false;

    EXPECT_FALSE(PathExists(removed));
    if (c.secondName || c.link) {
      // Only the name goes: emptying through it would reach the file behind it.
      EXPECT_TRUE(FreedPerCall::freed.empty());
      continue;
    }
    std::uint64_t total = 0;
    for (const std::uint64_t piece : FreedPerCall::freed) {
      EXPECT_LE(piece, fs::kFreedPerCall);
      total += piece;
    }
    EXPECT_EQ(total, bytes);
    EXPECT_EQ(FreedPerCall::freed.back(), 0u) << "marked for deletion once empty";
  }
}

}  // namespace
