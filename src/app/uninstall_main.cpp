#include <windows.h>

#include <cstdlib>
#include <span>

#include "app/uninstall.h"
#include "fs/system_library.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  // Started from Settings or from the install root: a DLL planted beside it must never load.
  fs::RestrictDllSearchToSystem();
  return app::RunUninstaller(std::span<wchar_t* const>(__wargv, static_cast<std::size_t>(__argc)));
}
