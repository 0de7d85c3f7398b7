#pragma once
// Text, byte-array and integer operations of the runtime. Texts are GBK byte strings: lengths and
// positions count bytes, positions start at 1. The operations marked GBK-aware treat a lead byte
// (top bit set) and the byte after it as one character; the others work on raw bytes.

#include <concepts>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/bytes.h"

namespace runtime {

// Number of bytes of the text.
[[nodiscard]] int TextLength(std::string_view text);

// The first min(n, length) bytes; empty for n <= 0.
[[nodiscard]] std::string TextLeft(std::string_view text, int n);

// The last min(n, length) bytes; empty for n <= 0.
[[nodiscard]] std::string TextRight(std::string_view text, int n);

// n bytes from the 1-based position start, cut at the end; empty when start lies outside
// 1..length or n <= 0.
[[nodiscard]] std::string TextMiddle(std::string_view text, int start, int n);

// The byte at the 1-based position as a signed value (a GBK lead byte is negative); 0 for a
// position outside the text.
[[nodiscard]] int ByteCode(std::string_view text, int position = 1);

// GBK-aware: 1-based position of the first match of sought at or after start, never on the second
// byte of a double-byte character; -1 when there is none. A start below 1 searches from the
// beginning. An empty sought text gives 1 when the searched stretch is not empty, else -1.
[[nodiscard]] int FindText(std::string_view text, std::string_view sought, int start = 1,
                           bool ignoreCase = false);

// Marks "up to the end of the text" for FindTextBackwards.
inline constexpr int kTextEnd = -1;

// GBK-aware: 1-based position of the last match that lies entirely within the first endPosition
// bytes (a negative value or one past the end: the whole text), or -1. An empty sought text gives
// 1 when that stretch is not empty, else -1.
[[nodiscard]] int FindTextBackwards(std::string_view text, std::string_view sought,
                                    int endPosition = kTextEnd, bool ignoreCase = false);

// GBK-aware: ASCII a-z become A-Z; double-byte characters stay as they are.
[[nodiscard]] std::string ToUpper(std::string_view text);

// Marks "replace every match" for ReplaceText.
inline constexpr int kReplaceAll = -1;

// GBK-aware: from start on, replaces each non-overlapping match of sought, at most count times
// (any negative count: all); the part before start is copied unchanged. An empty text or sought
// text comes back unchanged.
[[nodiscard]] std::string ReplaceText(std::string_view text, std::string_view sought,
                                      std::string_view replacement = {}, int start = 1,
                                      int count = kReplaceAll, bool caseSensitive = true);

// Full-width characters become half-width, then leading white space, an optional sign and the
// decimal digits up to the first non-digit are read; no digits gives 0. Saturates at the limits
// of the 64-bit range instead of overflowing.
[[nodiscard]] std::int64_t ToInteger(std::string_view text);

// Truncated towards zero; NaN gives 0 and values beyond the 64-bit range saturate.
[[nodiscard]] std::int64_t ToInteger(double number);

// Integers keep their value; flags give 0 or 1.
template <std::integral Integer>
[[nodiscard]] constexpr std::int64_t ToInteger(Integer value) {
  return static_cast<std::int64_t>(value);
}

// n spaces; empty for n < 1.
[[nodiscard]] std::string BlankText(int n);

// A new copy of the text.
[[nodiscard]] std::string CopyText(std::string_view text);

// The text's bytes, without a terminator.
[[nodiscard]] Bytes ToBytes(std::string_view text);

// A copy of the byte array.
[[nodiscard]] Bytes ToBytes(ByteView bytes);

// The number's binary form, little-endian and as wide as its type.
template <typename Number>
requires std::integral<Number> || std::floating_point<Number>
[[nodiscard]] Bytes ToBytes(Number value) {
  Bytes bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);  // every target of this program is little-endian
  return bytes;
}

// Number of bytes of the array.
[[nodiscard]] int BytesLength(ByteView bytes);

// The first min(n, length) bytes; empty for n < 0.
[[nodiscard]] Bytes LeftBytes(ByteView bytes, int n);

// The last min(n, length) bytes; empty for n < 0.
[[nodiscard]] Bytes RightBytes(ByteView bytes, int n);

// 1-based position of the first occurrence of sought at or after start (below 1: from the
// beginning), or -1; empty sought bytes give -1.
[[nodiscard]] int FindBytes(ByteView bytes, ByteView sought, int start = 1);

// Marks "the whole array" for FindBytesBackwards.
inline constexpr int kWholeArray = -1;

// 1-based position of the last occurrence of sought lying entirely within the first limit bytes
// (a negative value or one past the end: the whole array), or -1; empty sought bytes give -1.
[[nodiscard]] int FindBytesBackwards(ByteView bytes, ByteView sought, int limit = kWholeArray);

// The bytes read as a text, up to the first zero byte.
[[nodiscard]] std::string BytesAsText(ByteView bytes);

// n zero bytes; empty for n <= 0.
[[nodiscard]] Bytes BlankBytes(int n);

// A copy of length bytes read from address; empty for a null address or length <= 0.
[[nodiscard]] Bytes BytesFromMemory(const void* address, int length);

// The one's complement.
[[nodiscard]] constexpr int BitNot(int value) { return ~value; }

// All arguments combined with AND.
[[nodiscard]] constexpr int BitAnd(int first, int second, std::same_as<int> auto... rest) {
  return ((first & second) & ... & rest);
}

// All arguments combined with OR.
[[nodiscard]] constexpr int BitOr(int first, int second, std::same_as<int> auto... rest) {
  return ((first | second) | ... | rest);
}

}  // namespace runtime
