#pragma once
// File operations of the runtime, on GBK path texts through the ANSI file functions.

#include <initializer_list>
#include <string_view>

#include "runtime/bytes.h"

namespace runtime {

// True when FindFirstFileA finds anything for the path: a file, a directory, or a match of a
// wildcard pattern.
[[nodiscard]] bool FileExists(std::string_view path);

// Creates or truncates the file and writes the arrays back to back, skipping empty ones.
// False for an empty path (nothing touched), when the file cannot be created, or when a write
// fails (bytes written before the failure stay).
[[nodiscard]] bool WriteFile(std::string_view path, std::initializer_list<ByteView> parts);

}  // namespace runtime
