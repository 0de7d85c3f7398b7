#pragma once
// Paths past MAX_PATH. 7-Zip writes files whose full path is longer than 260 characters, and
// Windows' file calls refuse such a path unless it is given in the extended-length form
// ("\\?\C:\..." or "\\?\UNC\server\share\..."), which the calls take as it is, without making it
// full.

#include <string>
#include <string_view>

namespace runtime {

// The full path of `path`: made absolute, "." and ".." resolved and repeated backslashes made one.
// Empty when none can be made.
[[nodiscard]] std::wstring FullPath(const std::wstring& path);

// The extended-length form of the full path of `path`, without a trailing backslash; a path already
// in that form (or a device path) stays as it is. Empty when no full path can be made of it.
[[nodiscard]] std::wstring ExtendedLengthPath(const std::wstring& path);

// `path` as people write it: the extended-length prefix taken off again.
[[nodiscard]] std::wstring WithoutExtendedPrefix(std::wstring_view path);

}  // namespace runtime
