#include <windows.h>

#include <cstdlib>

#include "app/handlers.h"
#include "app/install_root.h"
#include "fs/system_library.h"
#include "ui/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // An installer usually runs from a downloads folder: a DLL planted beside it must never load.
  fs::RestrictDllSearchToSystem();
  std::atexit(app::ReleaseInstallRoot);
  const ui::EventBindings bindings{&StartupCheck, &InstallProduct, &ChooseInstallPath,
                                   &LaunchAndExit};
  if (!ui::CreateMainWindow(instance, bindings)) return 1;
  return ui::RunMessageLoop();
}
