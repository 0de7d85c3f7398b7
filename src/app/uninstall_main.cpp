#include <windows.h>

#include <cstdlib>
#include <span>

#include "app/product.h"
#include "app/uninstall.h"
#include "app/version.h"
#include "fs/system_library.h"
#include "runtime/run_log.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  // Started from Settings or from the install root: a DLL planted beside it must never load.
  fs::RestrictDllSearchToSystem();
  runtime::OpenRunLog("uninstall", app::kProductName, VELTRANE_VERSION_TEXT);
  const int exitCode =
      app::RunUninstaller(std::span<wchar_t* const>(__wargv, static_cast<std::size_t>(__argc)));
  runtime::CloseRunLog(static_cast<unsigned long>(exitCode));
  return exitCode;
}
