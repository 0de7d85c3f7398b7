#include "runtime/text.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "runtime/gbk.h"

namespace runtime {

namespace {

// Applies change to every single-byte character, leaving both bytes of double-byte ones alone
// (a second byte may well be an ASCII letter or a backslash).
template <typename Change>
[[nodiscard]] std::string MapSingleBytes(std::string_view text, Change change) {
  std::string result(text);
  for (std::size_t i = 0; i < result.size(); i = NextCharacter(result, i)) {
    if (!IsLeadByte(result[i])) result[i] = change(result[i]);
  }
  return result;
}

[[nodiscard]] char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
[[nodiscard]] char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

// A text and a sought text, compared either exactly or with ASCII letters folded. Folding keeps
// every byte's place, so positions found in the folded copies hold for the originals.
class GbkMatcher {
 public:
  GbkMatcher(std::string_view text, std::string_view sought, bool ignoreCase) {
    if (ignoreCase) {
      foldedText_ = MapSingleBytes(text, LowerAscii);
      foldedSought_ = MapSingleBytes(sought, LowerAscii);
      text_ = foldedText_;
      sought_ = foldedSought_;
    } else {
      text_ = text;
      sought_ = sought;
    }
  }

  // True when sought lies at index and ends within the first end bytes.
  [[nodiscard]] bool MatchesAt(std::size_t index, std::size_t end) const {
    return index + sought_.size() <= end && text_.compare(index, sought_.size(), sought_) == 0;
  }

 private:
  std::string foldedText_, foldedSought_;
  std::string_view text_, sought_;
};

// Index where a search "from position start" begins; a position below 1 means the beginning.
[[nodiscard]] std::size_t StartIndex(int start) {
  return start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
}

// Number of leading bytes an end position or limit covers; negative or too large: all of them.
[[nodiscard]] std::size_t LimitedSize(std::size_t size, int limit) {
  return limit < 0 ? size : std::min(size, static_cast<std::size_t>(limit));
}

[[nodiscard]] int Position(std::size_t index) { return static_cast<int>(index) + 1; }

[[nodiscard]] std::string_view AsText(ByteView bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// GBK places the full-width forms of the ASCII characters in row A3 (A3A1 to A3FE, in ASCII order
// from '!'), and the ideographic space at A1A1.
constexpr unsigned char kFullWidthRow = 0xA3, kFullWidthFirst = 0xA1, kFullWidthOffset = 0x80;
constexpr unsigned char kIdeographicSpace = 0xA1;

[[nodiscard]] std::string ToHalfWidth(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t next = NextCharacter(text, i);
    const auto lead = static_cast<unsigned char>(text[i]);
    const auto trail = next - i == 2 ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (lead == kFullWidthRow && trail >= kFullWidthFirst && trail != 0xFF) {
      result += static_cast<char>(trail - kFullWidthOffset);
    } else if (lead == kIdeographicSpace && trail == kIdeographicSpace) {
      result += ' ';
    } else {
      result.append(text, i, next - i);
    }
    i = next;
  }
  return result;
}

[[nodiscard]] bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

int TextLength(std::string_view text) { return static_cast<int>(text.size()); }

std::string TextLeft(std::string_view text, int n) {
  if (n <= 0) return {};
  return std::string(text.substr(0, static_cast<std::size_t>(n)));
}

std::string TextRight(std::string_view text, int n) {
  if (n <= 0) return {};
  const std::size_t count = std::min(text.size(), static_cast<std::size_t>(n));
  return std::string(text.substr(text.size() - count));
}

std::string TextMiddle(std::string_view text, int start, int n) {
  if (start < 1 || static_cast<std::size_t>(start) > text.size() || n <= 0) return {};
  return std::string(text.substr(StartIndex(start), static_cast<std::size_t>(n)));
}

int ByteCode(std::string_view text, int position) {
  if (position < 1 || static_cast<std::size_t>(position) > text.size()) return 0;
  return static_cast<signed char>(text[StartIndex(position)]);
}

int FindText(std::string_view text, std::string_view sought, int start, bool ignoreCase) {
  const std::size_t begin = StartIndex(start);
  if (begin >= text.size()) return -1;
  if (sought.empty()) return 1;
  const GbkMatcher matcher(text, sought, ignoreCase);
  for (std::size_t i = 0; i < text.size(); i = NextCharacter(text, i)) {
    if (i >= begin && matcher.MatchesAt(i, text.size())) return Position(i);
  }
  return -1;
}

int FindTextBackwards(std::string_view text, std::string_view sought, int endPosition,
                      bool ignoreCase) {
  const std::size_t end = LimitedSize(text.size(), endPosition);
  if (end == 0) return -1;
  if (sought.empty()) return 1;
  const GbkMatcher matcher(text, sought, ignoreCase);
  int last = -1;
  for (std::size_t i = 0; i + sought.size() <= end; i = NextCharacter(text, i)) {
    if (matcher.MatchesAt(i, end)) last = Position(i);
  }
  return last;
}

std::string ToUpper(std::string_view text) { return MapSingleBytes(text, UpperAscii); }

std::string ReplaceText(std::string_view text, std::string_view sought,
                        std::string_view replacement, int start, int count, bool caseSensitive) {
  if (text.empty() || sought.empty()) return std::string(text);
  const std::size_t begin = StartIndex(start);
  const GbkMatcher matcher(text, sought, !caseSensitive);
  std::string result;
  std::size_t copied = 0;  // text before this index is already in result
  int replaced = 0;
  for (std::size_t i = 0; i < text.size() && (count < 0 || replaced < count);
       i = NextCharacter(text, i)) {
    // A match may end inside a double-byte character; its second byte is then copied as it is and
    // no match starts on it.
    if (i < begin || i < copied || !matcher.MatchesAt(i, text.size())) continue;
    result.append(text, copied, i - copied);
    result.append(replacement);
    copied = i + sought.size();
    ++replaced;
  }
  result.append(text.substr(copied));
  return result;
}

std::int64_t ToInteger(std::string_view text) {
  const std::string halfWidth = ToHalfWidth(text);
  std::size_t i = 0;
  while (i < halfWidth.size() && IsBlank(halfWidth[i])) ++i;
  bool negative = false;
  if (i < halfWidth.size() && (halfWidth[i] == '+' || halfWidth[i] == '-')) {
    negative = halfWidth[i] == '-';
    ++i;
  }
  // The magnitude is gathered unsigned so that the most negative value needs no special case.
  const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
  std::uint64_t magnitude = 0;
  for (; i < halfWidth.size() && halfWidth[i] >= '0' && halfWidth[i] <= '9'; ++i) {
    const auto digit = static_cast<std::uint64_t>(halfWidth[i] - '0');
    magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
  }
  return negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

std::int64_t ToInteger(double number) {
  using Limits = std::numeric_limits<std::int64_t>;
  if (std::isnan(number)) return 0;
  if (number >= 0x1p63) return Limits::max();
  if (number < -0x1p63) return Limits::min();
  return static_cast<std::int64_t>(number);
}

std::string BlankText(int n) {
  return n < 1 ? std::string() : std::string(static_cast<std::size_t>(n), ' ');
}

std::string CopyText(std::string_view text) { return std::string(text); }

Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes ToBytes(ByteView bytes) { return Bytes(bytes.begin(), bytes.end()); }

int BytesLength(ByteView bytes) { return static_cast<int>(bytes.size()); }

Bytes LeftBytes(ByteView bytes, int n) {
  if (n < 0) return {};
  return ToBytes(bytes.first(std::min(bytes.size(), static_cast<std::size_t>(n))));
}

Bytes RightBytes(ByteView bytes, int n) {
  if (n < 0) return {};
  return ToBytes(bytes.last(std::min(bytes.size(), static_cast<std::size_t>(n))));
}

int FindBytes(ByteView bytes, ByteView sought, int start) {
  const std::size_t begin = StartIndex(start);
  if (sought.empty() || begin >= bytes.size()) return -1;
  const std::size_t found = AsText(bytes).find(AsText(sought), begin);
  return found == std::string_view::npos ? -1 : Position(found);
}

int FindBytesBackwards(ByteView bytes, ByteView sought, int limit) {
  if (sought.empty()) return -1;
  const std::string_view searched = AsText(bytes).substr(0, LimitedSize(bytes.size(), limit));
  const std::size_t found = searched.rfind(AsText(sought));
  return found == std::string_view::npos ? -1 : Position(found);
}

std::string BytesAsText(ByteView bytes) {
  const std::string_view text = AsText(bytes);
  return std::string(text.substr(0, text.find('\0')));
}

Bytes BlankBytes(int n) { return n <= 0 ? Bytes() : Bytes(static_cast<std::size_t>(n), 0); }

Bytes BytesFromMemory(const void* address, int length) {
  if (address == nullptr || length <= 0) return {};
  const auto* first = static_cast<const std::uint8_t*>(address);
  return Bytes(first, first + length);
}

}  // namespace runtime
