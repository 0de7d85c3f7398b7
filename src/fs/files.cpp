#include "fs/files.h"

#include <windows.h>

#include "fs/files_for_testing.h"
#include "fs/removal_guard.h"
#include "fs/system_library.h"
#include "fs/tree_guard.h"
#include "runtime/file_find.h"
#include "runtime/gbk.h"
#include "runtime/long_path.h"
#include "runtime/scoped_handle.h"

namespace fs {

namespace {

// Where the backslash of a drive root stands ("C:\\").
constexpr std::size_t kDriveRootSeparator = 2;

bool IsDirectory(const std::wstring& path) {
  return !path.empty() && PathIsDirectoryBound(path.c_str()) == FILE_ATTRIBUTE_DIRECTORY;
}

// The tree walks of DeleteTree and TreeSize, through one table of file calls, on extended-length
// paths: a tree 7-Zip unpacked may hold paths longer than MAX_PATH.
class TreeWalk {
 public:
  TreeWalk(const runtime::FileApi& api, DirectoryEnteredHook entered)
      : api_(api), entered_(entered) {}

  // Removes a directory as what it is when opened: a link as a link, never entered; a real
  // directory emptied while pinned, then removed. True when it is gone.
  bool RemoveDirectoryEntry(const std::wstring& directory) {
    {
      // The directory opened as itself and without delete sharing: while the handle lives,
      // nobody can rename it or put a link in its place.
      const runtime::ApiFileHandle pinned =
          runtime::OpenAsItself(api_, directory, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE);
      BY_HANDLE_FILE_INFORMATION information;
      if (!pinned.Valid() || !api_.getFileInformation(pinned.Get(), &information)) return false;
      const DWORD attributes = information.dwFileAttributes;
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
      if (!IsDirectoryLink(attributes)) {
        if (entered_ != nullptr) entered_(directory);
        EmptyDirectory(directory + L'\\');
      }
    }
    // A removal needs the pin released; a link is removed itself, not what it points to.
    return api_.removeDirectory(directory.c_str()) != 0;
  }

  // Bytes of the files below the directory given with its trailing backslash.
  std::uint64_t DirectorySize(const std::wstring& directory) {
    runtime::FileEnumerator entries(directory + L"*.*", api_);
    runtime::FoundEntry entry;
    std::uint64_t size = 0;
    while (entries.Next(entry)) {
      // The removal's own judgement: what it would delete as a file is what the tree holds.
      switch (ActionForEntry(entry.name, entry.attributes)) {
        case TreeEntryAction::kSkip:
        case TreeEntryAction::kRemoveLink:
          break;
        case TreeEntryAction::kDescend:
          size += DirectorySize(directory + entry.name + L'\\');
          break;
        case TreeEntryAction::kDeleteFile:
          size += entry.size;
          break;
      }
    }
    return size;
  }

 private:
  void DeleteFileEntry(const std::wstring& path, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      api_.setFileAttributes(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    api_.deleteFile(path.c_str());
  }

  // Removes every entry of the pinned directory (ending in a backslash), attempting each whatever
  // became of the others.
  void EmptyDirectory(const std::wstring& directory) {
    runtime::FileEnumerator entries(directory + L"*.*", api_);
    runtime::FoundEntry entry;
    while (entries.Next(entry)) {
      const std::wstring full = directory + entry.name;
      switch (ActionForEntry(entry.name, entry.attributes)) {
        case TreeEntryAction::kSkip:
          break;
        case TreeEntryAction::kDescend:
        case TreeEntryAction::kRemoveLink:
          // The listing is only a hint: the directory itself, once opened, decides.
          (void)RemoveDirectoryEntry(full);
          break;
        case TreeEntryAction::kDeleteFile:
          DeleteFileEntry(full, entry.attributes);
          break;
      }
    }
  }

  const runtime::FileApi& api_;
  const DirectoryEnteredHook entered_;
};

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
  return !tree.empty() && TreeWalk(api, entered).RemoveDirectoryEntry(tree);
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
  return tree.empty() ? 0 : TreeWalk(api, nullptr).DirectorySize(tree + L'\\');
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
