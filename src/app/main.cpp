#include <windows.h>

#include <cstdlib>

#include "app/handlers.h"
#include "app/install_root.h"
#include "fs/system_library.h"
#include "runtime/dialogs.h"
#include "runtime/shell.h"
#include "ui/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // An installer usually runs from a downloads folder: a DLL planted beside it must never load.
  fs::RestrictDllSearchToSystem();
  // Before the folder dialog or the shell can be asked for anything.
  runtime::EnterShellApartment();
  std::atexit(app::ReleaseInstallRoot);
  const ui::EventBindings bindings{&StartupCheck, &InstallProduct, &ChooseInstallPath,
                                   &LaunchAndExit};
  if (!ui::CreateMainWindow(instance, bindings)) return 1;
  runtime::SetDefaultMessageBoxOwner(ui::MainWindow());
  return ui::RunMessageLoop();
}
