#include "runtime/gbk.h"

#include <gtest/gtest.h>

namespace {

TEST(GbkConversion, ChineseTextConvertsBothWaysWithCodePage936) {
  const std::string gbk = "开始安装";  // GBK bytes in the program
  EXPECT_EQ(gbk, "\xbf\xaa\xca\xbc\xb0\xb2\xd7\xb0");
  EXPECT_EQ(runtime::GbkToUtf16(gbk), L"开始安装");
  EXPECT_EQ(runtime::Utf16ToGbk(L"开始安装"), gbk);
}

TEST(GbkConversion, EmptyAndAsciiTexts) {
  EXPECT_EQ(runtime::GbkToUtf16(""), L"");
  EXPECT_EQ(runtime::Utf16ToGbk(L""), "");
  EXPECT_EQ(runtime::GbkToUtf16("C:\\Quorvale\\"), L"C:\\Quorvale\\");
}

TEST(GbkConversion, TrailByte5CIsPartOfTheCharacterNotABackslash) {
  // "运" is D4 CB; "\xd5\x5c" is a GBK character whose trail byte is 0x5C.
  const std::wstring wide = runtime::GbkToUtf16("\xd5\x5c");
  ASSERT_EQ(wide.size(), 1u);
  EXPECT_NE(wide[0], L'\\');
}

}  // namespace
