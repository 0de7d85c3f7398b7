#include "fs/files.h"

#include <windows.h>

#include "fs/files_for_testing.h"
#include "fs/removal_guard.h"
#include "fs/system_library.h"
#include "fs/tree_walk.h"
#include "runtime/file_find.h"
#include "runtime/gbk.h"
#include "runtime/long_path.h"

namespace fs {

namespace {

// Where the backslash of a drive root stands ("C:\\").
constexpr std::size_t kDriveRootSeparator = 2;

bool IsDirectory(const std::wstring& path) {
  return !path.empty() && PathIsDirectoryBound(path.c_str()) == FILE_ATTRIBUTE_DIRECTORY;
}

// The extended-length form of a directory path the tree removal accepts; empty when it refuses it.
std::wstring RemovableTree(std::string_view path) {
  const std::wstring wide = runtime::GbkToWide(path);
  if (wide.empty() || !MayRemoveTree(wide)) return {};
  return runtime::ExtendedLengthPath(wide);
}

}  // namespace

bool DeleteTree(std::string_view path) {
  return DeleteTreeForTesting(path, nullptr, runtime::SystemFileApi());
}

bool DeleteTreeForTesting(std::string_view path, DirectoryEnteredHook entered,
                          const runtime::FileApi& api) {
  const std::wstring tree = RemovableTree(path);
  return !tree.empty() && TreeWalk(api, nullptr, entered).Remove(tree);
}

bool RemoveEmptyDirectory(std::string_view path) {
  const std::wstring wide = runtime::GbkToWide(path);
  if (wide.empty() || !MayRemoveTree(wide)) return false;
  // Never recursive: a directory that still holds anything stays.
  return RemoveDirectoryW(wide.c_str()) != 0;
}

bool DirectoryExists(std::string_view path) { return IsDirectory(runtime::GbkToWide(path)); }

bool CreateDirectoryPath(std::string_view path) {
  const std::wstring wide = runtime::GbkToWide(path);
  // Fewer than three characters cannot hold a level below a drive.
  if (wide.size() >= 3) {
    bool pastFirstSeparator = false;
    for (std::size_t position = 0; position < wide.size(); ++position) {
      if (wide[position] != L'\\') continue;
      if (pastFirstSeparator) CreateDirectoryW(wide.substr(0, position).c_str(), nullptr);
      pastFirstSeparator = true;
    }
    CreateDirectoryW(wide.c_str(), nullptr);
  }
  return IsDirectory(wide);
}

bool FileExists(std::string_view path) {
  const std::wstring wide = runtime::GbkToWide(path);
  if (wide.empty()) return false;
  runtime::FoundEntry first;
  return runtime::FileEnumerator(wide).NextAny(first) &&
         (first.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void RemoveFile(std::string_view path) { DeleteFileW(runtime::GbkToWide(path).c_str()); }

std::uint64_t TreeSize(std::string_view path) {
  return TreeSizeForTesting(path, runtime::SystemFileApi());
}

std::uint64_t TreeSizeForTesting(std::string_view path, const runtime::FileApi& api) {
  const std::wstring wide = runtime::GbkToWide(path);
  if (wide.empty()) return 0;
  const std::wstring tree = runtime::ExtendedLengthPath(wide);
  return tree.empty() ? 0 : TreeWalk(api).Size(tree);
}

std::optional<std::uint64_t> FreeSpaceFor(std::string_view path) {
  std::wstring level = runtime::GbkToWide(path);
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

std::string OwnExecutablePath() {
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
  return runtime::WideToGbk(name);
}

std::string OwnDirectory() {
  const std::string path = OwnExecutablePath();
  const std::size_t separator = runtime::LastBackslash(path);
  if (separator == std::string::npos) return {};
  return path.substr(0, separator);
}

}  // namespace fs
