#pragma once
// What the tree walks do to one entry through a handle held on it: ask who it is, mark it for
// deletion, rename it. Working through the handle rather than the path means the entry acted on
// is the entry checked, whatever was renamed or swapped meanwhile.

#include <windows.h>

#include <string>

#include "runtime/file_find.h"

namespace fs {

// An entry's identity on its volume: the same for every path and link that reaches it.
struct Identity {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
  bool operator==(const Identity&) const = default;
};

// Reported when an entry met again by its path is no longer the one met before.
inline constexpr DWORD kReplacedMeanwhile = ERROR_FILE_INVALID;

// The attribute word with the read-only mark taken off.
[[nodiscard]] DWORD WithoutReadOnly(DWORD attributes);

class EntryHandles {
 public:
  explicit EntryHandles(const runtime::FileApi& api) : api_(api) {}

  [[nodiscard]] const runtime::FileApi& Api() const { return api_; }

  // Who and what the held entry is; false, both untouched, when it cannot be asked.
  [[nodiscard]] bool Identify(const runtime::ApiFileHandle& handle, Identity& identity,
                              DWORD& attributes) const;

  // Marks the held entry to go when its last handle closes. Where the volume has POSIX semantics
  // it leaves the namespace at once, even while others hold it sharing deletion, and a read-only
  // entry goes as it is; elsewhere a read-only entry loses that attribute first and gets it back
  // when the mark is refused. False, with the last error set, when refused.
  [[nodiscard]] bool Mark(const runtime::ApiFileHandle& handle, DWORD attributes);

  // Renames the entry at `from`, still the one of `identity`, to `to` (both extended-length paths)
  // through one handle held on it, and reads its identity again through that handle into
  // `renamed`: on FAT and exFAT an entry's ID is where its directory entry lies, which a rename to
  // a longer name can change. False with the Win32 error in `error`, `renamed` untouched.
  [[nodiscard]] bool Move(const std::wstring& from, const Identity& identity,
                          const std::wstring& to, Identity& renamed, DWORD& error) const;

  // True when nothing is found at `path` any more (not even an entry pending deletion).
  [[nodiscard]] bool Gone(const std::wstring& path) const;

 private:
  // Sets the held entry's attribute word; false when refused.
  [[nodiscard]] bool SetAttributes(const runtime::ApiFileHandle& handle, DWORD attributes) const;

  const runtime::FileApi& api_;
  // Cleared once the volume has refused the POSIX mark: one walk stays on one volume, so it is
  // not asked again for every entry.
  bool posix_ = true;
};

}  // namespace fs
