#include "fs/removal_guard.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <array>
#include <vector>

#include "fs/system_library.h"
#include "fs/tree_guard.h"
#include "runtime/scoped_handle.h"

namespace fs {

namespace {

constexpr std::array kProtectedFolderIds = {
    CSIDL_WINDOWS,
    CSIDL_SYSTEM,
    CSIDL_SYSTEMX86,
    CSIDL_PROGRAM_FILES,
    CSIDL_PROGRAM_FILESX86,
    CSIDL_PROGRAM_FILES_COMMON,
    CSIDL_PROGRAM_FILES_COMMONX86,
    CSIDL_COMMON_APPDATA,
    CSIDL_PROFILE,
    CSIDL_DESKTOPDIRECTORY,
    CSIDL_COMMON_DESKTOPDIRECTORY,
    CSIDL_PERSONAL,
    CSIDL_COMMON_DOCUMENTS,
    CSIDL_APPDATA,
    CSIDL_LOCAL_APPDATA,
};

// Environment spellings of the same folders; ProgramW6432 is the only name a 32-bit process has
// for the 64-bit Program Files.
constexpr std::array kProtectedFolderVariables = {
    L"SystemRoot",   L"windir",      L"ProgramFiles",    L"ProgramFiles(x86)",
    L"ProgramW6432", L"ProgramData", L"ALLUSERSPROFILE", L"PUBLIC",
    L"USERPROFILE",  L"APPDATA",     L"LOCALAPPDATA",
};

// Calls `fill(buffer, size)` of a Win32 "copy into a buffer" function, growing the buffer while
// the function asks for more; empty when it fails.
template <typename Fill>
std::wstring ReadGrowing(Fill fill) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD written = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (written == 0) return {};
    if (written < buffer.size()) {
      buffer.resize(written);
      return buffer;
    }
    buffer.resize(written);
  }
}

std::wstring FullPathName(const std::wstring& path) {
  return ReadGrowing([&](wchar_t* buffer, DWORD size) {
    return GetFullPathNameW(path.c_str(), size, buffer, nullptr);
  });
}

std::wstring LongPathName(const std::wstring& path) {
  return ReadGrowing(
      [&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(path.c_str(), buffer, size); });
}

// The path the file system reaches with every junction and link on the way resolved.
std::wstring ResolvedPathName(const std::wstring& path) {
  const runtime::ScopedHandle directory(CreateFileW(
      path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!directory.Valid()) return {};
  return ReadGrowing([&](wchar_t* buffer, DWORD size) {
    return GetFinalPathNameByHandleW(directory.Get(), buffer, size,
                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  });
}

std::wstring EnvironmentValue(const wchar_t* name) {
  return ReadGrowing(
      [&](wchar_t* buffer, DWORD size) { return GetEnvironmentVariableW(name, buffer, size); });
}

// Case folded the way the file system folds names, beyond the ASCII letters.
std::wstring Folded(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// Every spelling of `path` the checks compare: as given, in full, with long names, resolved.
std::vector<std::wstring> Spellings(const std::wstring& path) {
  std::vector<std::wstring> spellings{Folded(path)};
  const std::wstring full = FullPathName(path);
  for (const std::wstring& spelling : {full, LongPathName(full), ResolvedPathName(full)}) {
    if (!spelling.empty()) spellings.push_back(Folded(spelling));
  }
  return spellings;
}

std::vector<std::wstring> ProtectedFolders() {
  std::vector<std::wstring> folders;
  const auto add = [&folders](const std::wstring& folder) {
    if (folder.empty()) return;
    folders.push_back(Folded(folder));
    const std::wstring resolved = ResolvedPathName(folder);
    if (!resolved.empty()) folders.push_back(Folded(resolved));
  };
  for (const int id : kProtectedFolderIds) {
    std::wstring folder(MAX_PATH, L'\0');
    if (SpecialFolderPathBound(folder.data(), id)) add(folder.c_str());
  }
  for (const wchar_t* name : kProtectedFolderVariables) add(EnvironmentValue(name));
  add(ReadGrowing([](wchar_t* buffer, DWORD size) { return GetWindowsDirectoryW(buffer, size); }));
  add(ReadGrowing([](wchar_t* buffer, DWORD size) { return GetSystemDirectoryW(buffer, size); }));
  add(ReadGrowing(
      [](wchar_t* buffer, DWORD size) { return GetSystemWow64DirectoryW(buffer, size); }));
  return folders;
}

}  // namespace

bool MayRemoveTree(const std::wstring& path) {
  const std::vector<std::wstring> folders = ProtectedFolders();
  for (const std::wstring& spelling : Spellings(path)) {
    if (!IsRemovableTreePath(spelling, folders)) return false;
  }
  return true;
}

}  // namespace fs
