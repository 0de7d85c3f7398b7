#include "fs/tree_guard.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using fs::TreeEntryAction;

std::wstring Normalized(std::wstring_view path) {
  const auto normalized = fs::NormalizeAbsolutePath(path);
  return normalized ? normalized->text : L"<refused>";
}

TEST(NormalizeAbsolutePath, GivesOneSpellingForEveryWayOfWritingAFolder) {
  for (const wchar_t* spelling :
       {L"C:\\Windows", L"c:\\windows", L"C:/Windows/", L"C:\\\\Windows\\\\\\", L"c:\\WINDOWS.",
        L"C:\\Windows. .", L"C:\\Quorvale\\..\\Windows", L"C:\\.\\Windows\\.",
        L"\\\\?\\C:\\Windows", L"//?/c:/windows"}) {
    EXPECT_EQ(Normalized(spelling), L"C:\\WINDOWS") << spelling;
  }
  EXPECT_EQ(Normalized(L"C:\\Users\\安装\\Desktop"), L"C:\\USERS\\安装\\DESKTOP");
}

TEST(NormalizeAbsolutePath, MarksTheDriveOrShareRoot) {
  const auto drive = fs::NormalizeAbsolutePath(L"d:\\\\");
  ASSERT_TRUE(drive);
  EXPECT_EQ(drive->text, L"D:");
  EXPECT_EQ(drive->rootLength, 2u);

  const auto share = fs::NormalizeAbsolutePath(L"\\\\server\\share\\\\Dir\\");
  ASSERT_TRUE(share);
  EXPECT_EQ(share->text, L"\\\\SERVER\\SHARE\\DIR");
  EXPECT_EQ(share->rootLength, 14u);
  EXPECT_EQ(Normalized(L"\\\\?\\UNC\\server\\share\\dir"), L"\\\\SERVER\\SHARE\\DIR");
  // ".." never climbs above the root.
  EXPECT_EQ(Normalized(L"C:\\a\\..\\..\\.."), L"C:");
}

TEST(NormalizeAbsolutePath, RefusesPathsThatAreNotAbsoluteOrNameDevices) {
  for (const wchar_t* path : {L"", L"Quorvale", L"C:", L"C:Quorvale", L"\\Quorvale", L"1:\\x",
                              L"\\\\server", L"\\\\server\\", L"\\\\.\\C:\\x",
                              L"\\\\?\\GLOBALROOT\\Device\\x", L"C:\\a\\...\\b", L"C:\\a\\ \\b"}) {
    EXPECT_EQ(Normalized(path), L"<refused>") << path;
  }
}

class IsRemovableTreePath : public testing::Test {
 protected:
  [[nodiscard]] bool Removable(std::wstring_view path) const {
    return fs::IsRemovableTreePath(path, folders_);
  }

 private:
  std::vector<std::wstring> folders_{L"C:\\Windows", L"C:\\Users\\bob\\Desktop",
                                     L"\\\\?\\C:\\Program Files"};
};

TEST_F(IsRemovableTreePath, RefusesRootsAndRelativePaths) {
  for (const wchar_t* path :
       {L"", L"C:", L"C:\\", L"C:\\\\", L"c:/", L"C:\\a\\..", L"\\\\server\\share",
        L"\\\\server\\share\\", L"Quorvale", L"\\Quorvale", L"C:Quorvale"}) {
    EXPECT_FALSE(Removable(path)) << path;
  }
}

TEST_F(IsRemovableTreePath, RefusesProtectedFoldersAndTheirAncestorsHoweverSpelled) {
  for (const wchar_t* path :
       {L"C:\\Windows", L"c:/windows/", L"C:\\\\WINDOWS\\", L"C:\\Program Files",
        L"C:\\PROGRAM FILES.", L"C:\\Users\\bob\\Desktop", L"C:\\Users\\bob", L"c:/users",
        L"C:\\Users\\\\", L"C:\\Quorvale\\..\\Users"}) {
    EXPECT_FALSE(Removable(path)) << path;
  }
}

TEST_F(IsRemovableTreePath, AllowsEverythingElseIncludingFoldersInsideProtectedOnes) {
  for (const wchar_t* path : {L"C:\\Quorvale\\", L"C:\\Quorvale\\brisel", L"D:\\Users", L"C:\\Win",
                              L"C:\\Windows2", L"C:\\Users\\bobby", L"C:\\Users\\bob\\Desktop\\old",
                              L"C:\\Program Files\\Quorvale", L"\\\\server\\share\\dir"}) {
    EXPECT_TRUE(Removable(path)) << path;
  }
}

TEST(ActionForEntry, SkipsSelfAndParentEntries) {
  EXPECT_EQ(fs::ActionForEntry(L".", fs::kAttributeDirectory), TreeEntryAction::kSkip);
  EXPECT_EQ(fs::ActionForEntry(L"..", fs::kAttributeDirectory), TreeEntryAction::kSkip);
  EXPECT_EQ(fs::ActionForEntry(L"", 0), TreeEntryAction::kSkip);
  EXPECT_EQ(fs::ActionForEntry(L"...", 0), TreeEntryAction::kDeleteFile);
}

TEST(ActionForEntry, EntersOnlyDirectoriesThatAreNotLinks) {
  constexpr std::uint32_t kHidden = 0x2;
  EXPECT_EQ(fs::ActionForEntry(L"sub", fs::kAttributeDirectory), TreeEntryAction::kDescend);
  EXPECT_EQ(fs::ActionForEntry(L"sub", fs::kAttributeDirectory | kHidden),
            TreeEntryAction::kDescend);
  EXPECT_EQ(fs::ActionForEntry(L"junction", fs::kAttributeDirectory | fs::kAttributeReparsePoint),
            TreeEntryAction::kRemoveLink);
  EXPECT_EQ(fs::ActionForEntry(L"junction", fs::kAttributeDirectory | fs::kAttributeReparsePoint |
                                                fs::kAttributeReadOnly),
            TreeEntryAction::kRemoveLink);
  // A link to a file is deleted like a file: DeleteFileW removes the link only.
  EXPECT_EQ(fs::ActionForEntry(L"file.lnk", fs::kAttributeReparsePoint),
            TreeEntryAction::kDeleteFile);
  EXPECT_EQ(fs::ActionForEntry(L"ro.txt", fs::kAttributeReadOnly), TreeEntryAction::kDeleteFile);
}

}  // namespace
