#pragma once
// Listing what a path pattern matches, in the shape of 7-Zip's CEnumerator: an object that owns its
// find handle and hands out one entry per Next. The tree walks open, list and wait through one
// table of Win32 calls, so that a test can stand in for Windows where Wine behaves otherwise, count
// the handles a walk holds, or let a wait pass at once.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/scoped_handle.h"

namespace runtime {

// The Win32 file calls of the listings and tree walks, and the pause between their attempts.
struct FileApi {
  decltype(&::CreateFileW) createFile;
  decltype(&::CloseHandle) closeHandle;
  decltype(&::FindFirstFileW) findFirstFile;
  decltype(&::FindNextFileW) findNextFile;
  decltype(&::FindClose) findClose;
  decltype(&::GetFileInformationByHandle) getFileInformation;
  decltype(&::SetFileInformationByHandle) setFileInformation;
  decltype(&::GetFileAttributesW) getFileAttributes;
  decltype(&::SetFileAttributesW) setFileAttributes;
  decltype(&::DeleteFileW) deleteFile;
  decltype(&::RemoveDirectoryW) removeDirectory;
  decltype(&::MoveFileExW) moveFile;
  decltype(&::Sleep) sleep;
};

// The system's own calls.
[[nodiscard]] const FileApi& SystemFileApi();

// A file handle closed by the table that opened it.
struct ApiFileTraits : KernelHandleTraits {
  decltype(&::CloseHandle) close = nullptr;
  void Close(Handle handle) const { close(handle); }
};
// A find handle closed by the table that opened it.
struct ApiFindTraits : KernelHandleTraits {
  decltype(&::FindClose) close = nullptr;
  void Close(Handle handle) const { close(handle); }
};
using ApiFileHandle = GenericScopedHandle<ApiFileTraits>;
using ApiFindHandle = GenericScopedHandle<ApiFindTraits>;

// Opens the existing file or directory at `path` as itself: a link is opened, not followed. The
// handle is not valid when the open fails, and GetLastError tells why.
[[nodiscard]] ApiFileHandle OpenAsItself(const FileApi& api, const std::wstring& path, DWORD access,
                                         DWORD share);

// Whether an entry of these attributes and number of names is a plain file: no link (symbolic,
// junction or a second name of another file) and no directory. What an elevated run may delete or
// empty through a handle without reaching another file.
[[nodiscard]] bool IsPlainFileWithOneName(DWORD attributes, DWORD links);

// One entry of a listing, as the search reported it.
struct FoundEntry {
  std::wstring name;
  DWORD attributes = 0;
  std::uint64_t size = 0;
};

class FileEnumerator {
 public:
  // Lists what `pattern` matches: a path, wildcards allowed ("C:\dir\*" lists a directory).
  explicit FileEnumerator(std::wstring_view pattern, const FileApi& api = SystemFileApi());

  // The next match, "." and ".." included; false, with `entry` untouched, when there is none. The
  // first call is FindFirstFileW itself, so one call tells whether anything matches.
  [[nodiscard]] bool NextAny(FoundEntry& entry);

  // The next match other than "." and ".."; false, with `entry` untouched, when there is none.
  [[nodiscard]] bool Next(FoundEntry& entry);

  // Once Next or NextAny answered false: the Win32 error that ended the listing, 0 when it ended
  // after its last match.
  [[nodiscard]] DWORD Failure() const { return failure_; }

 private:
  std::wstring pattern_;
  const FileApi* api_;
  ApiFindHandle search_;
  bool finished_ = false;
  DWORD failure_ = 0;
};

}  // namespace runtime
