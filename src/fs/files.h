#pragma once
// File-system operations on UTF-16 paths, done through the wide Win32 functions so that a path
// works whatever its letters and the system's ANSI code page. None shows a message; each reports
// through its result only.

#include <cstdint>
#include <optional>
#include <string>

namespace fs {

// Removes the directory at `path` with everything below it, continuing past entries it cannot
// remove; true when the directory itself is gone. The whole removal's walk: read-only files and
// folders go too, each entry through its own handle. Refuses (false, nothing touched) an empty,
// relative or root path and any system, program, shared-data or user folder or an ancestor of
// one. Junctions and directory links are removed as links, never entered. Each directory is
// judged on the directory itself, opened, and stays open without delete sharing while the walk
// is inside it, so that it cannot be swapped for a link meanwhile. Paths past MAX_PATH are reached.
[[nodiscard]] bool DeleteTree(const std::wstring& path);

// Removes the directory at `path` only when it is empty and the tree removal would accept it;
// true when it is gone.
[[nodiscard]] bool RemoveEmptyDirectory(const std::wstring& path);

// True only when `path` names an existing directory.
[[nodiscard]] bool DirectoryExists(const std::wstring& path);

// Creates every missing level of `path`, one per backslash after the first (never the drive),
// then the whole path; true when `path` is a directory afterwards.
[[nodiscard]] bool CreateDirectoryPath(const std::wstring& path);

// True when the first match of `path` (wildcards allowed) is not a directory.
[[nodiscard]] bool FileExists(const std::wstring& path);

// Deletes the file; the outcome is not reported.
void RemoveFile(const std::wstring& path);

// Deletes a file of any size, such as the archive, without one call that frees all of it: a plain
// file with one name is emptied from its end a piece per call through a handle held on it, then
// marked for deletion through that handle. Under Wine the session's server deletes a file, and
// every window of the session waits while it frees a gigabyte. A link, a file with a second name
// or one that cannot be held so only loses this name, as with RemoveFile; the outcome is not
// reported.
void RemoveLargeFile(const std::wstring& path);

// Bytes of all files below the directory at `path`, paths past MAX_PATH included; directory links
// are not followed. 0 when it cannot be listed.
[[nodiscard]] std::uint64_t TreeSize(const std::wstring& path);

// Bytes this process may still write on the volume that holds `path`, or will hold it: asked of
// its nearest existing level. Nothing when no level can be asked (a drive that does not exist).
[[nodiscard]] std::optional<std::uint64_t> FreeSpaceFor(const std::wstring& path);

// Full path of the running executable, or empty when it cannot be found.
[[nodiscard]] std::wstring OwnExecutablePath();

// Directory of the running executable without a trailing backslash ("C:" for a drive root), or
// empty when it cannot be found.
[[nodiscard]] std::wstring OwnDirectory();

}  // namespace fs
