#include "runtime/gbk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "runtime/gbk_for_testing.h"

namespace {

TEST(GbkConversion, ChineseTextConvertsBothWaysWithCodePage936) {
  const std::string gbk = "开始安装";  // GBK bytes in the program
  EXPECT_EQ(gbk, "\xbf\xaa\xca\xbc\xb0\xb2\xd7\xb0");
  EXPECT_EQ(runtime::GbkToWide(gbk), L"开始安装");
  EXPECT_EQ(runtime::WideToGbk(L"开始安装"), gbk);
}

TEST(GbkConversion, EmptyAndAsciiTexts) {
  EXPECT_EQ(runtime::GbkToWide(""), L"");
  EXPECT_EQ(runtime::WideToGbk(L""), "");
  EXPECT_EQ(runtime::GbkToWide("C:\\Quorvale\\"), L"C:\\Quorvale\\");
}

TEST(GbkConversion, TrailByte5CIsPartOfTheCharacterNotABackslash) {
  // "运" is D4 CB; "\xd5\x5c" is a GBK character whose trail byte is 0x5C.
  const std::wstring wide = runtime::GbkToWide("\xd5\x5c");
  ASSERT_EQ(wide.size(), 1u);
  EXPECT_NE(wide[0], L'\\');
}

TEST(GbkWideConversion, ChinesePathsRoundTripThroughCodePage936) {
  const std::string gbk = "C:\\安装\\程序目录\\启动.exe";
  EXPECT_EQ(gbk.substr(3, 4), "\xb0\xb2\xd7\xb0");  // GBK bytes of 安装
  const std::wstring wide = runtime::GbkToWide(gbk);
  EXPECT_EQ(wide, L"C:\\安装\\程序目录\\启动.exe");
  EXPECT_EQ(runtime::WideToGbk(wide), gbk);
}

TEST(GbkWideConversion, TrailByte5CStaysPartOfItsCharacter) {
  // 0x95 0x5C is one GBK character whose second byte looks like a backslash.
  const std::wstring wide = runtime::GbkToWide(
      "a\x95\x5c"
      "b");
  ASSERT_EQ(wide.size(), 3u);
  EXPECT_NE(wide[1], L'\\');
  EXPECT_EQ(runtime::WideToGbk(wide),
            "a\x95\x5c"
            "b");
}

TEST(GbkWideConversion, StopsAtTheFirstNulAndMapsEmptyToEmpty) {
  EXPECT_EQ(runtime::GbkToWide(std::string_view("C:\\a\0C:\\b", 8)), L"C:\\a");
  EXPECT_EQ(runtime::WideToGbk(std::wstring_view(L"C:\\a\0C:\\b", 8)), "C:\\a");
  EXPECT_EQ(runtime::GbkToWide(std::string_view("\0x", 2)), L"");
  EXPECT_EQ(runtime::GbkToWide(""), L"");
  EXPECT_EQ(runtime::WideToGbk(L""), "");
}

TEST(GbkWideConversion, CharactersOutsideGbkBecomeTheDefaultCharacter) {
  // U+0E01 (Thai) has no GBK form.
  EXPECT_EQ(runtime::WideToGbk(L"a\u0e01b"), "a?b");
}

// Whether a path can be recorded in GBK: only when every letter stays itself. Windows would
// otherwise write a look-alike ("ë" as "e"), which names another folder; the default character
// "?" names none.
TEST(ExactGbk, GivesTheBytesOnlyWhenGbkHoldsEveryCharacter) {
  const struct {
    const wchar_t* wide;
    std::size_t units;
    std::optional<std::string> gbk;
  } kCases[] = {
      {L"C:\\Quorvale\\", 12, "C:\\Quorvale\\"},
      {L"D:\\安装\\", 6, "D:\\\xb0\xb2\xd7\xb0\\"},
      {L"C:\\Jos\u00e9 M\u00fcller", 14, "C:\\Jos\xa8\xa6 M\xa8\xb9ller"},
      {L"", 0, ""},
      {L"C:\\Users\\Zo\u00eb", 12, std::nullopt},
      {L"C:\\\uc0ac\uc6a9\uc790", 6, std::nullopt},
      {L"a\u0e01b", 3, std::nullopt},
      {L"C:\\a\0\u00eb", 6, "C:\\a"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(runtime::ExactGbk(std::wstring_view(c.wide, c.units)), c.gbk)
        << runtime::WideToGbk(c.wide);
  }
}

// Windows' conversion as Microsoft documents it, which Wine does not do: without
// WC_NO_BEST_FIT_CHARS a letter GBK lacks becomes a look-alike, and no default character is
// reported. Asked for no best fit, it converts as Wine does.
int WINAPI BestFitting(UINT codePage, DWORD flags, LPCWCH wide, int units, LPSTR bytes, int size,
                       LPCCH defaultChar, LPBOOL usedDefault) {
  if ((flags & WC_NO_BEST_FIT_CHARS) != 0) {
    return WideCharToMultiByte(codePage, flags, wide, units, bytes, size, defaultChar, usedDefault);
  }
  std::wstring fitted(wide, static_cast<std::size_t>(units));
  std::replace(fitted.begin(), fitted.end(), L'\u00eb', L'e');
  if (usedDefault != nullptr) *usedDefault = FALSE;
  return WideCharToMultiByte(codePage, flags, fitted.data(), units, bytes, size, defaultChar,
                             nullptr);
}

TEST(ExactGbk, TakesNoLookAlikeForTheLetter) {
  EXPECT_EQ(runtime::ExactGbkForTesting(L"C:\\Users\\Zo\u00eb", &BestFitting), std::nullopt);
  EXPECT_EQ(runtime::ExactGbkForTesting(L"C:\\Users\\Zoe", &BestFitting), "C:\\Users\\Zoe");
}

}  // namespace
