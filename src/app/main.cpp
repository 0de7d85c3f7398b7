#include <windows.h>

#include <cstdlib>

#include "app/handlers.h"
#include "app/install_root.h"
#include "ui/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  std::atexit(app::ReleaseInstallRoot);
  const ui::EventBindings bindings{&StartupCheck, &InstallProduct, &ChooseInstallPath,
                                   &LaunchAndExit};
  if (!ui::CreateMainWindow(instance, bindings)) return 1;
  return ui::RunMessageLoop();
}
