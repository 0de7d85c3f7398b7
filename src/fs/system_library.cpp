#include "fs/system_library.h"

namespace fs {

namespace {

const SystemLibrary& Shlwapi() {
  static const SystemLibrary library(L"shlwapi.dll");
  return library;
}

const SystemLibrary& Psapi() {
  static const SystemLibrary library(L"psapi.dll");
  return library;
}

const SystemLibrary& Shell32() {
  static const SystemLibrary library(L"shell32.dll");
  return library;
}

}  // namespace

void RestrictDllSearchToSystem() {
  // Bound by name: a Windows 7 without the update that brought the call must still start.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  const auto restrict = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (restrict != nullptr) restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

SystemLibrary::SystemLibrary(const wchar_t* name)
    : module_(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}

SystemLibrary::~SystemLibrary() {
  if (module_ != nullptr) FreeLibrary(module_);
}

UINT PathIsDirectoryBound(const wchar_t* path) {
  using Function = BOOL(WINAPI*)(LPCWSTR);
  static const auto function = Shlwapi().Bind<Function>("PathIsDirectoryW");
  return function != nullptr ? static_cast<UINT>(function(path)) : 0;
}

DWORD OwnModuleFileNameBound(wchar_t* buffer, DWORD units) {
  using Function = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
  static const auto function = Psapi().Bind<Function>("GetModuleFileNameExW");
  return function != nullptr ? function(GetCurrentProcess(), nullptr, buffer, units) : 0;
}

BOOL SpecialFolderPathBound(wchar_t* buffer, int csidl) {
  using Function = BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL);
  static const auto function = Shell32().Bind<Function>("SHGetSpecialFolderPathW");
  return function != nullptr ? function(nullptr, buffer, csidl, FALSE) : FALSE;
}

}  // namespace fs
