#pragma once
// GBK, the encoding every text of the program is held in: the one rule for its characters, and
// its conversion to and from the UTF-16 the window system and the wide file functions take.
// Conversion is always by code page 936, never the system's ANSI code page, so that texts and
// paths read the same on a Windows of any language.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace runtime {

// A double-byte character is a lead byte, any byte with the top bit set, and the byte after it,
// whatever that is (it may well look like an ASCII letter or a backslash).
[[nodiscard]] constexpr bool IsLeadByte(char byte) {
  return (static_cast<unsigned char>(byte) & 0x80) != 0;
}

// Index of the character after the one starting at `index`. A lead byte at the very end has no
// second byte and stands alone.
[[nodiscard]] constexpr std::size_t NextCharacter(std::string_view text, std::size_t index) {
  return IsLeadByte(text[index]) && index + 1 < text.size() ? index + 2 : index + 1;
}

// Index of the last backslash that is a character of its own (never the second byte of a
// double-byte character), or npos when there is none.
[[nodiscard]] constexpr std::size_t LastBackslash(std::string_view text) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); i = NextCharacter(text, i)) {
    if (text[i] == '\\') last = i;
  }
  return last;
}

// UTF-16 form of the GBK text up to its first NUL byte; empty for an empty text or one that does
// not convert. The string's own terminator is the NUL unit the wide functions need.
[[nodiscard]] std::wstring GbkToWide(std::string_view gbk);

// GBK form of the UTF-16 text up to its first NUL unit; characters GBK cannot hold become the
// system's default character.
[[nodiscard]] std::string WideToGbk(std::wstring_view wide);

// GBK form of the UTF-16 text up to its first NUL unit when GBK holds each of its characters as it
// is; nothing when one would become the default character or, as Windows otherwise does, a
// look-alike ("ë" as "e"), so that a path kept in GBK still names the same file.
[[nodiscard]] std::optional<std::string> ExactGbk(std::wstring_view wide);

}  // namespace runtime
