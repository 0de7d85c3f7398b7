#include "runtime/text.h"

#include <gtest/gtest.h>

#include <limits>

namespace runtime {
namespace {

// Literals here are GBK: "安" is B0 B2, "禱" is B6 5C (its second byte is a backslash), "碼" is
// B4 61 (its second byte is 'a').

TEST(TextSlices, LeftRightAndMiddleCountBytesAndStayInsideTheText) {
  EXPECT_EQ(TextLeft("abcdef", 2), "ab");
  EXPECT_EQ(TextLeft("abcdef", 99), "abcdef");
  EXPECT_EQ(TextLeft("abcdef", 0), "");
  EXPECT_EQ(TextLeft("abcdef", -3), "");
  EXPECT_EQ(TextRight("abcdef", 2), "ef");
  EXPECT_EQ(TextRight("abcdef", 99), "abcdef");
  EXPECT_EQ(TextRight("abcdef", 0), "");
  EXPECT_EQ(TextRight("abcdef", -1), "");
  EXPECT_EQ(TextMiddle("abcdef", 2, 3), "bcd");
  EXPECT_EQ(TextMiddle("abcdef", 5, 10), "ef");
  EXPECT_EQ(TextMiddle("abcdef", 6, 1), "f");
  EXPECT_EQ(TextMiddle("abcdef", 7, 1), "");
  EXPECT_EQ(TextMiddle("abcdef", 0, 2), "");
  EXPECT_EQ(TextMiddle("abcdef", 2, 0), "");
  EXPECT_EQ(TextMiddle("", 1, 1), "");
}

TEST(TextSlices, PlainSlicesMaySplitADoubleByteCharacter) {
  EXPECT_EQ(TextLength("安装"), 4);
  EXPECT_EQ(TextLeft("安装", 1), "\xb0");
  EXPECT_EQ(TextRight("安装", 3), "\xb2\xd7\xb0");
  EXPECT_EQ(TextMiddle("安装", 2, 2), "\xb2\xd7");
}

TEST(ByteCode, IsTheSignedByteAtThePositionAndZeroOutsideTheText) {
  EXPECT_EQ(ByteCode("安"), -80);
  EXPECT_EQ(ByteCode("安", 2), -78);
  EXPECT_EQ(ByteCode("A\x7f", 2), 127);
  EXPECT_EQ(ByteCode("A", 2), 0);
  EXPECT_EQ(ByteCode("A", 0), 0);
  EXPECT_EQ(ByteCode(""), 0);
}

TEST(FindText, GivesTheFirstMatchAtOrAfterStart) {
  EXPECT_EQ(FindText("abcabc", "bc"), 2);
  EXPECT_EQ(FindText("abcabc", "bc", 3), 5);
  EXPECT_EQ(FindText("abcabc", "bc", 6), -1);
  EXPECT_EQ(FindText("abcabc", "bc", -4), 2);
  EXPECT_EQ(FindText("abcabc", "x"), -1);
  EXPECT_EQ(FindText("ab", "abc"), -1);
  EXPECT_EQ(FindText("C:\\安装\\brisel", "\\", 4), 8);
}

TEST(FindText, NeverMatchesOnTheSecondByteOfADoubleByteCharacter) {
  EXPECT_EQ(FindText("C:禱", "\\"), -1);
  EXPECT_EQ(FindText("禱\\", "\\"), 3);
  // "安装" is B0 B2 D7 B0: the byte B0 at position 4 is a second byte.
  EXPECT_EQ(FindText("安装", "\xb0", 2), -1);
  // A start on a second byte resumes at the next character.
  EXPECT_EQ(FindText("禱\\", "\\", 2), 3);
}

TEST(FindText, EmptySoughtTextGivesOneUnlessTheStretchIsEmpty) {
  EXPECT_EQ(FindText("abc", ""), 1);
  EXPECT_EQ(FindText("abc", "", 3), 1);
  EXPECT_EQ(FindText("abc", "", 4), -1);
  EXPECT_EQ(FindText("", ""), -1);
  EXPECT_EQ(FindTextBackwards("abc", ""), 1);
  EXPECT_EQ(FindTextBackwards("abc", "", 0), -1);
}

TEST(FindText, IgnoringCaseFoldsOnlySingleByteLetters) {
  EXPECT_EQ(FindText("Setup.EXE", "exe", 1, true), 7);
  EXPECT_EQ(FindText("Setup.EXE", "exe"), -1);
  // The 'a' inside "碼" is not a letter: "A" is not found there, with or without case.
  EXPECT_EQ(FindText("碼", "A", 1, true), -1);
  EXPECT_EQ(FindText("碼", "碼", 1, true), 1);
  EXPECT_EQ(FindText("\xb4\x41", "碼", 1, true), -1);
  EXPECT_EQ(FindTextBackwards("aXbxc", "X", kTextEnd, true), 4);
}

TEST(FindTextBackwards, GivesTheLastMatchLyingWithinTheEndPosition) {
  EXPECT_EQ(FindTextBackwards("abcabc", "bc"), 5);
  EXPECT_EQ(FindTextBackwards("abcabc", "bc", 6), 5);
  EXPECT_EQ(FindTextBackwards("abcabc", "bc", 5), 2);
  EXPECT_EQ(FindTextBackwards("abcabc", "bc", 2), -1);
  EXPECT_EQ(FindTextBackwards("abcabc", "bc", 99), 5);
  EXPECT_EQ(FindTextBackwards("C:禱\\x", "\\"), 5);
  EXPECT_EQ(FindTextBackwards("C:禱x", "\\"), -1);
}

TEST(ToUpper, RaisesAsciiLettersAndLeavesDoubleByteCharactersAlone) {
  EXPECT_EQ(ToUpper("c:\\setup-v1.exe"), "C:\\SETUP-V1.EXE");
  EXPECT_EQ(ToUpper("碼a"), "碼A");
  EXPECT_EQ(ToUpper(""), "");
}

TEST(ReplaceText, ReplacesEveryNonOverlappingMatchByDefault) {
  EXPECT_EQ(ReplaceText("a-b-c", "-", "\\"), "a\\b\\c");
  EXPECT_EQ(ReplaceText("aaaa", "aa", "b"), "bb");
  EXPECT_EQ(ReplaceText("a-b-c", "-"), "abc");
  EXPECT_EQ(ReplaceText("安装安装", "装", "全"), "安全安全");
}

TEST(ReplaceText, StartAndCountLimitTheReplacements) {
  EXPECT_EQ(ReplaceText("x.x.x.x", "x", "y", 2), "x.y.y.y");
  EXPECT_EQ(ReplaceText("x.x.x.x", "x", "y", 2, 2), "x.y.y.x");
  EXPECT_EQ(ReplaceText("x.x.x.x", "x", "y", 1, 0), "x.x.x.x");
  EXPECT_EQ(ReplaceText("x.x", "x", "y", 9), "x.x");
  EXPECT_EQ(ReplaceText("x.x", "x", "y", -1, 1), "y.x");
}

TEST(ReplaceText, MatchesCaseInsensitivelyOnRequest) {
  EXPECT_EQ(ReplaceText("Exe.EXE.exe", "exe", "bin", 1, kReplaceAll, false), "bin.bin.bin");
  EXPECT_EQ(ReplaceText("Exe.EXE.exe", "exe", "bin"), "Exe.EXE.bin");
}

TEST(ReplaceText, KeepsDoubleByteCharactersWhole) {
  EXPECT_EQ(ReplaceText("禱\\禱", "\\", "/"), "禱/禱");
  // A match ending on a first byte leaves the second byte in place and unmatched.
  EXPECT_EQ(ReplaceText("\xb0\xb0\xb0\xb0", "\xb0", "x"), "x\xb0x\xb0");
}

TEST(ReplaceText, EmptyTextOrSoughtComesBackUnchanged) {
  EXPECT_EQ(ReplaceText("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceText("", "a", "x"), "");
}

TEST(ToInteger, ReadsSignAndLeadingDigitsAfterBlanks) {
  EXPECT_EQ(ToInteger("123"), 123);
  EXPECT_EQ(ToInteger("  \t-42abc"), -42);
  EXPECT_EQ(ToInteger("+7"), 7);
  EXPECT_EQ(ToInteger("12 34"), 12);
  EXPECT_EQ(ToInteger("abc"), 0);
  EXPECT_EQ(ToInteger("-"), 0);
  EXPECT_EQ(ToInteger(""), 0);
  EXPECT_EQ(ToInteger("4294967296"), 4294967296LL);
}

TEST(ToInteger, TurnsFullWidthDigitsSignsAndSpacesIntoHalfWidthFirst) {
  EXPECT_EQ(ToInteger("１２３"), 123);
  EXPECT_EQ(ToInteger("－４５"), -45);
  EXPECT_EQ(ToInteger("　＋８x"), 8);
  EXPECT_EQ(ToInteger("1２3"), 123);
  EXPECT_EQ(ToInteger("安1"), 0);
}

TEST(ToInteger, SaturatesInsteadOfOverflowing) {
  using Limits = std::numeric_limits<std::int64_t>;
  EXPECT_EQ(ToInteger("9223372036854775807"), Limits::max());
  EXPECT_EQ(ToInteger("9223372036854775808"), Limits::max());
  EXPECT_EQ(ToInteger("-9223372036854775808"), Limits::min());
  EXPECT_EQ(ToInteger("-99999999999999999999999"), Limits::min());
  EXPECT_EQ(ToInteger(1e300), Limits::max());
  EXPECT_EQ(ToInteger(-1e300), Limits::min());
  EXPECT_EQ(ToInteger(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(ToInteger, TruncatesNumbersTowardsZeroAndReadsFlagsAsZeroOrOne) {
  EXPECT_EQ(ToInteger(2.9), 2);
  EXPECT_EQ(ToInteger(-2.9), -2);
  EXPECT_EQ(ToInteger(true), 1);
  EXPECT_EQ(ToInteger(false), 0);
  EXPECT_EQ(ToInteger(-5), -5);
}

TEST(BlankValues, BlankTextIsSpacesAndBlankBytesAreZeros) {
  EXPECT_EQ(BlankText(3), "   ");
  EXPECT_EQ(BlankText(0), "");
  EXPECT_EQ(BlankText(-2), "");
  EXPECT_EQ(BlankBytes(3), (Bytes{0, 0, 0}));
  EXPECT_TRUE(BlankBytes(0).empty());
  EXPECT_TRUE(BlankBytes(-1).empty());
}

TEST(ToBytes, TextsGiveTheirBytesAndNumbersTheirLittleEndianForm) {
  EXPECT_EQ(ToBytes("安A"), (Bytes{0xb0, 0xb2, 0x41}));
  EXPECT_EQ(ToBytes(0x01020304), (Bytes{4, 3, 2, 1}));
  EXPECT_EQ(ToBytes(std::int16_t{-2}), (Bytes{0xfe, 0xff}));
  EXPECT_EQ(ToBytes(std::int64_t{1}), (Bytes{1, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(ToBytes(1.0), (Bytes{0, 0, 0, 0, 0, 0, 0xf0, 0x3f}));
  const Bytes original{9, 0, 8};
  EXPECT_EQ(ToBytes(ByteView(original)), original);
}

TEST(ByteSlices, LeftAndRightClampToTheArray) {
  const Bytes bytes{1, 2, 3, 4};
  EXPECT_EQ(LeftBytes(bytes, 2), (Bytes{1, 2}));
  EXPECT_EQ(LeftBytes(bytes, 9), bytes);
  EXPECT_TRUE(LeftBytes(bytes, 0).empty());
  EXPECT_TRUE(LeftBytes(bytes, -1).empty());
  EXPECT_EQ(RightBytes(bytes, 3), (Bytes{2, 3, 4}));
  EXPECT_EQ(RightBytes(bytes, 9), bytes);
  EXPECT_TRUE(RightBytes(bytes, -1).empty());
  EXPECT_EQ(BytesLength(bytes), 4);
}

TEST(FindBytes, GivesTheFirstOccurrenceAtOrAfterStart) {
  const Bytes bytes{0, 7, 0, 7, 0};
  const Bytes sought{7, 0};
  EXPECT_EQ(FindBytes(bytes, sought), 2);
  EXPECT_EQ(FindBytes(bytes, sought, 3), 4);
  EXPECT_EQ(FindBytes(bytes, sought, 5), -1);
  EXPECT_EQ(FindBytes(bytes, sought, 0), 2);
  EXPECT_EQ(FindBytes(bytes, Bytes{}), -1);
  EXPECT_EQ(FindBytes(Bytes{}, sought), -1);
  // Raw bytes: a second byte of a GBK character is found like any other.
  EXPECT_EQ(FindBytes(ToBytes("禱"), ToBytes("\\")), 2);
}

TEST(FindBytes, BackwardsGivesTheLastOccurrenceWithinTheLimit) {
  const Bytes bytes{0, 7, 0, 7, 0};
  const Bytes sought{7, 0};
  EXPECT_EQ(FindBytesBackwards(bytes, sought), 4);
  EXPECT_EQ(FindBytesBackwards(bytes, sought, 5), 4);
  EXPECT_EQ(FindBytesBackwards(bytes, sought, 4), 2);
  EXPECT_EQ(FindBytesBackwards(bytes, sought, 2), -1);
  EXPECT_EQ(FindBytesBackwards(bytes, sought, 99), 4);
  EXPECT_EQ(FindBytesBackwards(bytes, Bytes{}), -1);
}

TEST(BytesAsText, StopsAtTheFirstZeroByte) {
  EXPECT_EQ(BytesAsText(Bytes{'a', 0xb0, 0xb2, 0, 'b'}), "a安");
  EXPECT_EQ(BytesAsText(Bytes{'a', 'b'}), "ab");
  EXPECT_EQ(BytesAsText(Bytes{}), "");
}

TEST(BytesFromMemory, CopiesTheGivenLength) {
  const char memory[] = {'x', 0, 'y', 'z'};
  EXPECT_EQ(BytesFromMemory(memory, 3), (Bytes{'x', 0, 'y'}));
  EXPECT_TRUE(BytesFromMemory(memory, 0).empty());
  EXPECT_TRUE(BytesFromMemory(nullptr, 4).empty());
}

TEST(BitOperations, CombineAllArguments) {
  EXPECT_EQ(BitNot(0), -1);
  EXPECT_EQ(BitNot(0x0f0f0f0f), static_cast<int>(0xf0f0f0f0));
  EXPECT_EQ(BitAnd(0x0ff0, 0x00ff), 0x00f0);
  EXPECT_EQ(BitAnd(0xff, 0x3c, 0x0f), 0x0c);
  EXPECT_EQ(BitOr(0x10, 0x01), 0x11);
  EXPECT_EQ(BitOr(1, 2, 4, 8), 15);
}

}  // namespace
}  // namespace runtime
