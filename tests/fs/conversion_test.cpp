#include "fs/conversion.h"

#include <gtest/gtest.h>

namespace {

TEST(GbkWideConversion, ChinesePathsRoundTripThroughCodePage936) {
  const std::string gbk = "C:\\安装\\程序目录\\启动.exe";
  EXPECT_EQ(gbk.substr(3, 4), "\xb0\xb2\xd7\xb0");  // GBK bytes of 安装
  const std::wstring wide = fs::GbkToWide(gbk);
  EXPECT_EQ(wide, L"C:\\安装\\程序目录\\启动.exe");
  EXPECT_EQ(fs::WideToGbk(wide), gbk);
}

TEST(GbkWideConversion, TrailByte5CStaysPartOfItsCharacter) {
  // 0x95 0x5C is one GBK character whose second byte looks like a backslash.
  const std::wstring wide = fs::GbkToWide(
      "a\x95\x5c"
      "b");
  ASSERT_EQ(wide.size(), 3u);
  EXPECT_NE(wide[1], L'\\');
  EXPECT_EQ(fs::WideToGbk(wide),
            "a\x95\x5c"
            "b");
}

TEST(GbkWideConversion, StopsAtTheFirstNulAndMapsEmptyToEmpty) {
  EXPECT_EQ(fs::GbkToWide(std::string_view("C:\\a\0C:\\b", 8)), L"C:\\a");
  EXPECT_EQ(fs::WideToGbk(std::wstring_view(L"C:\\a\0C:\\b", 8)), "C:\\a");
  EXPECT_EQ(fs::GbkToWide(std::string_view("\0x", 2)), L"");
  EXPECT_EQ(fs::GbkToWide(""), L"");
  EXPECT_EQ(fs::WideToGbk(L""), "");
}

TEST(GbkWideConversion, CharactersOutsideGbkBecomeTheDefaultCharacter) {
  // U+0E01 (Thai) has no GBK form.
  EXPECT_EQ(fs::WideToGbk(L"a\u0e01b"), "a?b");
}

}  // namespace
