#pragma once
// The wide (UTF-16) form of the program's GBK texts, for the wide Win32 file functions: paths
// holding Chinese characters reach the file system unchanged whatever the ANSI code page is.

#include <string>
#include <string_view>

namespace fs {

// UTF-16 form of the GBK text up to its first NUL byte (code page 936); empty for an empty text.
// The string's own terminator is the NUL unit the wide functions need.
[[nodiscard]] std::wstring GbkToWide(std::string_view gbk);

// GBK form of the wide text up to its first NUL unit; characters GBK cannot hold become the
// system's default character.
[[nodiscard]] std::string WideToGbk(std::wstring_view wide);

}  // namespace fs
