#pragma once
// DLLs of the shell and of process status, loaded from the system directory only and bound by
// name on first use. An installer usually runs from a downloads folder: a DLL planted beside it
// must never be picked up in place of the system's.

#include <windows.h>

#include "runtime/bound_function.h"
#include "runtime/scoped_handle.h"

namespace fs {

struct LoaderApi;

// Makes the system directory the only default place the process loads DLLs from; where the system
// cannot restrict the search that far, at least takes the current directory out of it. Called
// once at start-up, before anything loads a DLL by name.
void RestrictDllSearchToSystem();

// One DLL loaded from the system directory, freed when the object goes; not loaded when the DLL
// is missing there, wherever else a DLL of that name lies.
class SystemLibrary {
 public:
  explicit SystemLibrary(const wchar_t* name);

  [[nodiscard]] bool Loaded() const { return module_.Valid(); }

  // The exported function of that name as `Function`, or null when it or the DLL is missing.
  template <typename Function>
  [[nodiscard]] Function Bind(const char* name) const {
    return runtime::BindFunction<Function>(module_.Get(), name);
  }

 private:
  friend SystemLibrary LoadSystemLibraryForTesting(const wchar_t* name, const LoaderApi& api);
  SystemLibrary(const wchar_t* name, const LoaderApi& api);

  runtime::ScopedModule module_;
};

// shlwapi's PathIsDirectoryW: FILE_ATTRIBUTE_DIRECTORY for a directory, 0 otherwise or unbound.
[[nodiscard]] UINT PathIsDirectoryBound(const wchar_t* path);

// psapi's GetModuleFileNameExW for the running executable: units written, 0 on failure.
[[nodiscard]] DWORD OwnModuleFileNameBound(wchar_t* buffer, DWORD units);

// shell32's SHGetSpecialFolderPathW, never creating the folder; FALSE on failure or unbound.
[[nodiscard]] BOOL SpecialFolderPathBound(wchar_t* buffer, int csidl);

}  // namespace fs
