#pragma once
// File operations of the runtime, on UTF-16 paths handed to the wide file functions as they are,
// so that a path works whatever its letters and the system's ANSI code page.

#include <initializer_list>
#include <optional>
#include <string>

#include "runtime/bytes.h"

namespace runtime {

// The temporary folder of the user the program runs as, ending in a backslash; empty when the
// system names none.
[[nodiscard]] std::wstring TemporaryFolder();

// The bytes of the file at `path`, or nothing when it cannot be read whole (or passes 4 GiB).
[[nodiscard]] std::optional<std::string> ReadWholeFile(const std::wstring& path);

// True when a file search finds anything for the path: a file, a directory, or a match of a
// wildcard pattern.
[[nodiscard]] bool PathExists(const std::wstring& path);

// Creates or truncates the file and writes the arrays back to back, straight from where they lie,
// in pieces of a few MiB. False for an empty path (nothing touched), when the file cannot be
// created, or when a write fails (bytes written before the failure stay).
[[nodiscard]] bool WriteFile(const std::wstring& path, std::initializer_list<ByteView> parts);

// How OpenFile opens: 1 read, 2 write, 3 read and write (these three need an existing file),
// 4 write to a file created afresh, 5 write and 6 read and write to a file created if missing and
// kept if present.
inline constexpr int kOpenRead = 1, kOpenWrite = 2, kOpenReadWrite = 3, kOpenRewrite = 4,
                     kOpenWriteKeep = 5, kOpenReadWriteKeep = 6;

// What OpenFile lets other openers of the same file do: 1 anything, 2 not read, 3 not write,
// 4 nothing.
inline constexpr int kShareAll = 1, kShareDenyRead = 2, kShareDenyWrite = 3, kShareExclusive = 4;

// Opens the file and gives its positive file number; 0 when it cannot be opened or when access or
// sharing is outside its table. The file stays open until CloseFile.
[[nodiscard]] int OpenFile(const std::wstring& path, int access = kOpenReadWrite,
                           int sharing = kShareAll);

// Closes the file and frees its number; a number that is not open is ignored.
void CloseFile(int fileNumber);

}  // namespace runtime
