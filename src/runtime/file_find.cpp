#include "runtime/file_find.h"

#include <cwchar>

namespace runtime {

FileEnumerator::FileEnumerator(std::wstring_view pattern) : pattern_(pattern) {}

bool FileEnumerator::NextAny(FoundEntry& entry) {
  if (finished_) return false;
  WIN32_FIND_DATAW found;
  if (!search_.Valid()) {
    search_.Reset(FindFirstFileW(pattern_.c_str(), &found));
    finished_ = !search_.Valid();
  } else {
    finished_ = !FindNextFileW(search_.Get(), &found);
  }
  if (finished_) {
    search_.Reset();
    return false;
  }
  // The name array is not promised a terminator when the name fills it.
  entry.name.assign(found.cFileName, wcsnlen(found.cFileName, MAX_PATH));
  entry.attributes = found.dwFileAttributes;
  entry.size = (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
  return true;
}

bool FileEnumerator::Next(FoundEntry& entry) {
  FoundEntry candidate;
  while (NextAny(candidate)) {
    if (candidate.name != L"." && candidate.name != L"..") {
      entry = std::move(candidate);
      return true;
    }
  }
  return false;
}

}  // namespace runtime
