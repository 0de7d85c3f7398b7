#pragma once
// Conversion between the program's GBK texts and the UTF-16 the window system is handed.
// Always code page 936 by number, never the system's ANSI code page, so that texts read the same
// on a Windows of any language.

#include <string>
#include <string_view>

namespace runtime {

// UTF-16 form of a GBK text; empty for an empty text or one that does not convert.
[[nodiscard]] std::wstring GbkToUtf16(std::string_view gbk);

// GBK form of a UTF-16 text; characters GBK cannot hold become the system's default character.
[[nodiscard]] std::string Utf16ToGbk(std::wstring_view utf16);

}  // namespace runtime
