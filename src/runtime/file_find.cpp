#include "runtime/file_find.h"

#include <cwchar>

namespace runtime {

const FileApi& SystemFileApi() {
  static const FileApi system{&::CreateFileW,
                              &::CloseHandle,
                              &::FindFirstFileW,
                              &::FindNextFileW,
                              &::FindClose,
                              &::GetFileInformationByHandle,
                              &::SetFileInformationByHandle,
                              &::GetFileAttributesW,
                              &::SetFileAttributesW,
                              &::DeleteFileW,
                              &::RemoveDirectoryW,
                              &::MoveFileExW,
                              &::Sleep};
  return system;
}

ApiFileHandle OpenAsItself(const FileApi& api, const std::wstring& path, DWORD access,
                           DWORD share) {
  return ApiFileHandle(
      api.createFile(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr),
      ApiFileTraits{{}, api.closeHandle});
}

bool IsPlainFileWithOneName(DWORD attributes, DWORD links) {
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
         links == 1;
}

FileEnumerator::FileEnumerator(std::wstring_view pattern, const FileApi& api)
    : pattern_(pattern), api_(&api) {}

bool FileEnumerator::NextAny(FoundEntry& entry) {
  if (finished_) return false;
  WIN32_FIND_DATAW found;
  if (!search_.Valid()) {
    search_ = ApiFindHandle(api_->findFirstFile(pattern_.c_str(), &found),
                            ApiFindTraits{{}, api_->findClose});
    finished_ = !search_.Valid();
    // A pattern that matches nothing is no failure; a listing that cannot start is.
    if (finished_ && GetLastError() != ERROR_FILE_NOT_FOUND) failure_ = GetLastError();
  } else {
    finished_ = !api_->findNextFile(search_.Get(), &found);
    if (finished_ && GetLastError() != ERROR_NO_MORE_FILES) failure_ = GetLastError();
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
