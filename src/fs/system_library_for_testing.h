#pragma once
// What the tests of DLL loading reach beyond the product's interface.

#include <windows.h>

#include "fs/system_library.h"

namespace fs {

// The loader calls the DLL policy rests on. Vista and a Windows 7 without KB2533623 lack
// SetDefaultDllDirectories and refuse the LOAD_LIBRARY_SEARCH_* flags; a test hands in functions
// that behave like theirs.
struct LoaderApi {
  decltype(&::LoadLibraryExW) loadLibraryEx = &::LoadLibraryExW;
  // Null where the system does not have it.
  BOOL(WINAPI* setDefaultDllDirectories)(DWORD) = nullptr;
  decltype(&::SetDllDirectoryW) setDllDirectory = &::SetDllDirectoryW;
};

// RestrictDllSearchToSystem through `api`.
void RestrictDllSearchToSystemForTesting(const LoaderApi& api);

// A SystemLibrary loaded through `api`.
[[nodiscard]] SystemLibrary LoadSystemLibraryForTesting(const wchar_t* name, const LoaderApi& api);

}  // namespace fs
