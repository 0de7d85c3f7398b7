#include "fs/files.h"

#include <windows.h>

#include "fs/conversion.h"
#include "fs/path_text.h"
#include "fs/removal_guard.h"
#include "fs/system_library.h"
#include "fs/tree_guard.h"
#include "runtime/scoped_handle.h"

namespace fs {

namespace {

bool IsDirectory(const std::wstring& path) {
  return !path.empty() && PathIsDirectoryBound(path.c_str()) == FILE_ATTRIBUTE_DIRECTORY;
}

void DeleteFileEntry(const std::wstring& path, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  DeleteFileW(path.c_str());
}

// Empties and removes one directory level; every entry is attempted whatever became of the
// others, and only the removal of `directory` itself decides the result.
bool RemoveDirectoryLevel(std::wstring directory) {
  if (directory.empty() || directory.back() != L'\\') directory += L'\\';
  WIN32_FIND_DATAW found;
  {
    const runtime::ScopedFind search(FindFirstFileW((directory + L"*.*").c_str(), &found));
    if (!search.Valid()) return false;
    do {
      const std::wstring name = CutAtNul({found.cFileName, MAX_PATH});
      const std::wstring full = directory + name;
      switch (ActionForEntry(name, found.dwFileAttributes)) {
        case TreeEntryAction::kSkip:
          break;
        case TreeEntryAction::kDescend:
          (void)RemoveDirectoryLevel(full);
          break;
        case TreeEntryAction::kRemoveLink:
          RemoveDirectoryW(full.c_str());
          break;
        case TreeEntryAction::kDeleteFile:
          DeleteFileEntry(full, found.dwFileAttributes);
          break;
      }
    } while (FindNextFileW(search.Get(), &found));
  }
  return RemoveDirectoryW(directory.c_str()) != 0;
}

}  // namespace

bool DeleteTree(std::string_view path) {
  const std::wstring wide = GbkToWide(path);
  if (wide.empty() || !MayRemoveTree(wide)) return false;
  // A named directory that is itself a link goes as a link: its target lies outside it.
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && IsDirectoryLink(attributes)) {
    return RemoveDirectoryW(wide.c_str()) != 0;
  }
  return RemoveDirectoryLevel(wide);
}

bool DirectoryExists(std::string_view path) { return IsDirectory(GbkToWide(path)); }

bool CreateDirectoryPath(std::string_view path) {
  const std::wstring wide = GbkToWide(path);
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
  const std::wstring wide = GbkToWide(path);
  if (wide.empty()) return false;
  WIN32_FIND_DATAW found;
  const runtime::ScopedFind search(FindFirstFileW(wide.c_str(), &found));
  return search.Valid() && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void RemoveFile(std::string_view path) {
  const std::string text(path);
  DeleteFileA(text.c_str());
}

std::string OwnDirectory() {
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
  const std::size_t separator = name.rfind(L'\\');
  if (separator == std::wstring::npos) return {};
  return WideToGbk(std::wstring_view(name).substr(0, separator));
}

}  // namespace fs
