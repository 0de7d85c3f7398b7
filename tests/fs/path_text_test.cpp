#include "fs/path_text.h"

#include <gtest/gtest.h>

namespace {

TEST(IsDrivePath, AcceptsALetterFollowedSomewhereByColonAndSeparator) {
  EXPECT_TRUE(fs::IsDrivePath("C:\\Quorvale\\brisel\\brisel.exe"));
  EXPECT_TRUE(fs::IsDrivePath("c:/x"));
  EXPECT_TRUE(fs::IsDrivePath("C:\\a///b"));
  EXPECT_TRUE(fs::IsDrivePath("C:\\\\\\\\x"));
  EXPECT_TRUE(fs::IsDrivePath("C:\\"));
  // The pair may stand anywhere, not only right after the letter.
  EXPECT_TRUE(fs::IsDrivePath("AB:\\x"));
  EXPECT_TRUE(fs::IsDrivePath("z:\\安装\\程序.exe"));
}

TEST(IsDrivePath, RejectsTextsWithoutLeadingLetterOrColonPair) {
  EXPECT_FALSE(fs::IsDrivePath("C:x"));
  EXPECT_FALSE(fs::IsDrivePath("1:\\x"));
  EXPECT_FALSE(fs::IsDrivePath("\\\\server\\share\\x"));
  EXPECT_FALSE(fs::IsDrivePath("安装:\\x"));
  EXPECT_FALSE(fs::IsDrivePath(""));
  // Just outside the letters on either side of both ranges.
  EXPECT_FALSE(fs::IsDrivePath("@:\\x"));
  EXPECT_FALSE(fs::IsDrivePath("[:\\x"));
  EXPECT_FALSE(fs::IsDrivePath("`:\\x"));
  EXPECT_FALSE(fs::IsDrivePath("{:\\x"));
  EXPECT_FALSE(fs::IsDrivePath("C\\:x"));
}

TEST(CutAtNul, KeepsTheUnitsBeforeTheFirstNul) {
  EXPECT_EQ(fs::CutAtNul(std::wstring_view(L"C:\\a\0b\0", 7)), L"C:\\a");
  EXPECT_EQ(fs::CutAtNul(L"C:\\a"), L"C:\\a");
  EXPECT_EQ(fs::CutAtNul(std::wstring_view(L"\0abc", 4)), L"");
  EXPECT_EQ(fs::CutAtNul(L""), L"");
  EXPECT_EQ(fs::CutAtNul(L"x"), L"x");
}

TEST(PathRecordContent, JoinsThreeLinesWithCrLfAndNoFinalBreak) {
  const std::string content = fs::PathRecordContent(
      "C:\\Quorvale\\brisel\\brisel.exe", "C:\\Quorvale\\brisel\\startup.exe", "C:\\Quorvale\\");
  EXPECT_EQ(content,
            "C:\\Quorvale\\brisel\\brisel.exe\r\nC:\\Quorvale\\brisel\\startup.exe\r\n"
            "C:\\Quorvale\\");
  EXPECT_EQ(content.size(), 75u);
}

TEST(PathRecordContent, KeepsGbkBytesAndEmptyLines) {
  EXPECT_EQ(fs::PathRecordContent("D:\\安装\\", "", ""), "D:\\\xb0\xb2\xd7\xb0\\\r\n\r\n");
  EXPECT_EQ(fs::PathRecordContent("", "", ""), "\r\n\r\n");
}

}  // namespace
