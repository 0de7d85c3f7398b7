#include "registry/value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

using registry::HexTextToBytes;
using registry::PadBytes;
using registry::ParseHex64;
using registry::TypeName;
using runtime::Bytes;

TEST(ParseHex64, ReadsDigitsOfEitherCaseAsOneNumber) {
  EXPECT_EQ(ParseHex64("ff"), 0xFFu);
  EXPECT_EQ(ParseHex64("aBcDeF"), 0xABCDEFu);
  EXPECT_EQ(ParseHex64("0102030405060708"), 0x0102030405060708u);
  EXPECT_EQ(ParseHex64("FFFFFFFFFFFFFFFF"), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(ParseHex64("80000000"), 0x80000000u);
}

TEST(ParseHex64, SkipsEveryCharacterThatIsNoHexDigit) {
  EXPECT_EQ(ParseHex64(""), 0u);
  EXPECT_EQ(ParseHex64("xyz"), 0u);
  EXPECT_EQ(ParseHex64("1g2"), 0x12u);
  EXPECT_EQ(ParseHex64("0x1F"), 0x01Fu);  // the x is skipped, the leading 0 adds nothing
  EXPECT_EQ(ParseHex64("a-B :9"), 0xAB9u);
  EXPECT_EQ(ParseHex64("Gg@[`{/:"), 0u);  // the neighbours of each digit range
}

TEST(ParseHex64, KeepsOnlyTheRightmostSixteenDigits) {
  EXPECT_EQ(ParseHex64("1234567890abcdef1234"), 0x567890ABCDEF1234u);
  EXPECT_EQ(ParseHex64("F0000000000000001"), 0x0000000000000001u);
  // Skipped characters do not use up positions.
  EXPECT_EQ(ParseHex64("1-0000000000000000-2"), 0x0000000000000002u);
}

TEST(HexTextToBytes, TakesPairsFromTheEndLeastSignificantFirst) {
  EXPECT_EQ(HexTextToBytes(""), Bytes{});
  EXPECT_EQ(HexTextToBytes("ff"), (Bytes{0xFF}));
  EXPECT_EQ(HexTextToBytes("0102030405060708"),
            (Bytes{0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}));
}

TEST(HexTextToBytes, LoneLeadingCharacterMakesTheLastByte) {
  EXPECT_EQ(HexTextToBytes("123"), (Bytes{0x23, 0x01}));
  EXPECT_EQ(HexTextToBytes("f"), (Bytes{0x0F}));
  EXPECT_EQ(HexTextToBytes("abcde"), (Bytes{0xDE, 0xBC, 0x0A}));
}

TEST(HexTextToBytes, PairWithOneNonDigitGivesTheOtherDigitsValue) {
  EXPECT_EQ(HexTextToBytes("1g"), (Bytes{0x01}));
  EXPECT_EQ(HexTextToBytes("g1"), (Bytes{0x01}));
  EXPECT_EQ(HexTextToBytes("zz7f"), (Bytes{0x7F, 0x00}));
}

TEST(HexTextToBytes, TextOfTwentyDigitsGivesTenBytes) {
  EXPECT_EQ(HexTextToBytes("1122334455667788990a"),
            (Bytes{0x0A, 0x99, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));
}

TEST(PadBytes, AppendsZeroBytesUpToTheLength) {
  Bytes bytes{1, 2};
  PadBytes(bytes, 4);
  EXPECT_EQ(bytes, (Bytes{1, 2, 0, 0}));

  Bytes empty;
  PadBytes(empty, 8);
  EXPECT_EQ(empty, Bytes(8, 0));
}

TEST(PadBytes, LeavesAnArrayOfTheLengthOrLongerAsItIs) {
  Bytes exact{1, 2, 3};
  PadBytes(exact, 3);
  EXPECT_EQ(exact, (Bytes{1, 2, 3}));

  Bytes longer{9, 8, 7, 6, 5};
  PadBytes(longer, 2);
  EXPECT_EQ(longer, (Bytes{9, 8, 7, 6, 5}));
}

TEST(TypeName, NamesEachCodeFromOneToEleven) {
  EXPECT_EQ(TypeName(1), "REG_SZ");
  EXPECT_EQ(TypeName(2), "REG_EXPAND_SZ");
  EXPECT_EQ(TypeName(3), "REG_BINARY");
  EXPECT_EQ(TypeName(4), "REG_DWORD");
  EXPECT_EQ(TypeName(5), "REG_DWORD_BIG_ENDIAN");
  EXPECT_EQ(TypeName(6), "REG_LINK");
  EXPECT_EQ(TypeName(7), "REG_MULTI_SZ");
  EXPECT_EQ(TypeName(8), "REG_RESOURCE_LIST");
  EXPECT_EQ(TypeName(9), "NULL");
  EXPECT_EQ(TypeName(10), "NULL");
  EXPECT_EQ(TypeName(11), "REG_QWORD");
}

TEST(TypeName, CodesOutsideOneToElevenAreIllegalInGbk) {
  const std::string illegal = "\xbc\xfc\xd6\xb5\xb7\xc7\xb7\xa8";  // 键值非法
  EXPECT_EQ(TypeName(0), illegal);
  EXPECT_EQ(TypeName(12), illegal);
  EXPECT_EQ(TypeName(-1), illegal);
  EXPECT_EQ(TypeName(std::numeric_limits<std::int32_t>::min()), illegal);
  EXPECT_EQ(TypeName(std::numeric_limits<std::int32_t>::max()), illegal);
}

}  // namespace
