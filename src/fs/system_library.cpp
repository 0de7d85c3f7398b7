#include "fs/system_library.h"

#include <string>

#include "fs/system_library_for_testing.h"

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

// The DLL's full path in the system directory, or empty when that directory is unknown.
std::wstring InSystemDirectory(const wchar_t* name) {
  wchar_t directory[MAX_PATH];
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(directory, length) + L'\\' + name;
}

// The real loader calls, with SetDefaultDllDirectories bound by name where the system has it.
const LoaderApi& SystemLoaderApi() {
  static const LoaderApi api = [] {
    LoaderApi bound;
    // Bound by name: a Windows 7 without the update that brought the call must still start.
    bound.setDefaultDllDirectories = runtime::BindFunction<BOOL(WINAPI*)(DWORD)>(
        GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    return bound;
  }();
  return api;
}

HMODULE LoadFromSystemDirectory(const wchar_t* name, const LoaderApi& api) {
  HMODULE module = api.loadLibraryEx(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Systems without the search flags refuse them as a parameter error: name the file in full
  // instead, and let its own dependencies be looked up beside it, in the system directory.
  if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  const std::wstring path = InSystemDirectory(name);
  if (path.empty()) return nullptr;
  return api.loadLibraryEx(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

void RestrictDllSearchToSystemForTesting(const LoaderApi& api) {
  if (api.setDefaultDllDirectories != nullptr &&
      api.setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return;
  }
  // An empty text takes the current directory out of the search order; the executable's own
  // folder stays in it there, which is why every DLL of ours is loaded by its system path.
  api.setDllDirectory(L"");
}

void RestrictDllSearchToSystem() { RestrictDllSearchToSystemForTesting(SystemLoaderApi()); }

SystemLibrary::SystemLibrary(const wchar_t* name) : SystemLibrary(name, SystemLoaderApi()) {}

SystemLibrary::SystemLibrary(const wchar_t* name, const LoaderApi& api)
    : module_(LoadFromSystemDirectory(name, api)) {}

SystemLibrary LoadSystemLibraryForTesting(const wchar_t* name, const LoaderApi& api) {
  return SystemLibrary(name, api);
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
