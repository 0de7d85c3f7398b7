#pragma once
// Listing what a path pattern matches, in the shape of 7-Zip's CEnumerator: an object that owns its
// find handle and hands out one entry per Next.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/scoped_handle.h"

namespace runtime {

// One entry of a listing, as the search reported it.
struct FoundEntry {
  std::wstring name;
  DWORD attributes = 0;
  std::uint64_t size = 0;
};

class FileEnumerator {
 public:
  // Lists what `pattern` matches: a path, wildcards allowed ("C:\dir\*" lists a directory).
  explicit FileEnumerator(std::wstring_view pattern);

  // The next match, "." and ".." included; false, with `entry` untouched, when there is none. The
  // first call is FindFirstFileW itself, so one call tells whether anything matches.
  [[nodiscard]] bool NextAny(FoundEntry& entry);

  // The next match other than "." and ".."; false, with `entry` untouched, when there is none.
  [[nodiscard]] bool Next(FoundEntry& entry);

 private:
  std::wstring pattern_;
  ScopedFind search_;
  bool finished_ = false;
};

}  // namespace runtime
