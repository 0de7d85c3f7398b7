#include "fs/files.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "fs/files_for_testing.h"
#include "fs/removal_guard.h"
#include "fs/system_library.h"
#include "fs/tree_walk.h"
#include "runtime/file_find.h"
#include "runtime/long_path.h"

namespace fs {

namespace {

// Where the backslash of a drive root stands ("C:\\").
constexpr std::size_t kDriveRootSeparator = 2;

bool IsDirectory(const std::wstring& path) {
  return !path.empty() && PathIsDirectoryBound(path.c_str()) == FILE_ATTRIBUTE_DIRECTORY;
}

// The extended-length form of a directory path the tree removal accepts; empty when it refuses it.
std::wstring RemovableTree(const std::wstring& path) {
  if (path.empty() || !MayRemoveTree(path)) return {};
  return runtime::ExtendedLengthPath(path);
}

// Empties the plain file with one name at `path` from its end, at most kFreedPerCall bytes a call,
// through one handle held on it unshared, then marks it for deletion through that handle; false
// when it is no such file or the mark is refused.
bool EmptyAndMarkForDeletion(const std::wstring& path, const runtime::FileApi& api) {
  const runtime::ApiFileHandle file =
      runtime::OpenAsItself(api, path, GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES, 0);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file.Valid() || !api.getFileInformation(file.Get(), &info) ||
      !runtime::IsPlainFileWithOneName(info.dwFileAttributes, info.nNumberOfLinks)) {
    return false;
  }
  std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  while (size > 0) {
    size -= std::min(size, kFreedPerCall);
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    // What is left goes with the deletion.
    if (!api.setFileInformation(file.Get(), FileEndOfFileInfo, &end, sizeof end)) break;
  }
  FILE_DISPOSITION_INFO disposition{TRUE};
  return api.setFileInformation(file.Get(), FileDispositionInfo, &disposition,
                                sizeof disposition) != FALSE;
}

}  // namespace

bool DeleteTree(const std::wstring& path) {
  return DeleteTreeForTesting(path, nullptr, runtime::SystemFileApi());
}

bool DeleteTreeForTesting(const std::wstring& path, DirectoryEnteredHook entered,
                          const runtime::FileApi& api) {
  const std::wstring tree = RemovableTree(path);
  return !tree.empty() && TreeWalk(api, nullptr, entered).Remove(tree);
}

bool RemoveEmptyDirectory(const std::wstring& path) {
  if (path.empty() || !MayRemoveTree(path)) return false;
  // Never recursive: a directory that still holds anything stays.
  return RemoveDirectoryW(path.c_str()) != 0;
}

bool DirectoryExists(const std::wstring& path) { return IsDirectory(path); }

bool CreateDirectoryPath(const std::wstring& path) {
  // Fewer than three characters cannot hold a level below a drive.
  if (path.size() >= 3) {
    bool pastFirstSeparator = false;
    for (std::size_t position = 0; position < path.size(); ++position) {
      if (path[position] != L'\\') continue;
      if (pastFirstSeparator) CreateDirectoryW(path.substr(0, position).c_str(), nullptr);
      pastFirstSeparator = true;
    }
    CreateDirectoryW(path.c_str(), nullptr);
  }
  return IsDirectory(path);
}

bool FileExists(const std::wstring& path) {
  if (path.empty()) return false;
  runtime::FoundEntry first;
  return runtime::FileEnumerator(path).NextAny(first) &&
         (first.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void RemoveFile(const std::wstring& path) { DeleteFileW(path.c_str()); }

void RemoveLargeFile(const std::wstring& path) {
  RemoveLargeFileForTesting(path, runtime::SystemFileApi());
}

void RemoveLargeFileForTesting(const std::wstring& path, const runtime::FileApi& api) {
  if (!EmptyAndMarkForDeletion(path, api)) api.deleteFile(path.c_str());
}

std::uint64_t TreeSize(const std::wstring& path) {
  return TreeSizeForTesting(path, runtime::SystemFileApi());
}

std::uint64_t TreeSizeForTesting(const std::wstring& path, const runtime::FileApi& api) {
  if (path.empty()) return 0;
  const std::wstring tree = runtime::ExtendedLengthPath(path);
  return tree.empty() ? 0 : TreeWalk(api).Size(tree);
}

std::optional<std::uint64_t> FreeSpaceFor(const std::wstring& path) {
  std::wstring level = path;
  for (;;) {
    ULARGE_INTEGER available;
    if (!level.empty() && GetDiskFreeSpaceExW(level.c_str(), &available, nullptr, nullptr)) {
      return available.QuadPart;
    }
    // The level above, with its trailing backslash (a share root needs it); none above a drive
    // root ("C:\\") or a share's: a shorter text would name the current drive.
    const std::size_t separator =
        level.size() < 2 ? std::wstring::npos : level.find_last_of(L'\\', level.size() - 2);
    if (separator == std::wstring::npos || separator < kDriveRootSeparator) return std::nullopt;
    level.resize(separator + 1);
  }
}

std::wstring OwnExecutablePath() {
  // A name that fills the buffer may have been cut short: grow until it fits.
  std::wstring name(MAX_PATH, L'\0');
  DWORD length = 0;
  for (;;) {
    length = OwnModuleFileNameBound(name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size() - 1) break;
    name.assign(name.size() * 2, L'\0');
  }
  name.resize(length);
  return name;
}

std::wstring OwnDirectory() {
  const std::wstring path = OwnExecutablePath();
  const std::size_t separator = path.find_last_of(L'\\');
  if (separator == std::wstring::npos) return {};
  return path.substr(0, separator);
}

}  // namespace fs
