#include <windows.h>

#include <cstdlib>

#include "app/extractor_check.h"
#include "app/handlers.h"
#include "app/install_root.h"
#include "app/messages.h"
#include "app/payload_verification.h"
#include "app/product.h"
#include "app/single_instance.h"
#include "app/version.h"
#include "fs/system_library.h"
#include "runtime/dialogs.h"
#include "runtime/run_log.h"
#include "runtime/shell.h"
#include "ui/busy.h"
#include "ui/main_window.h"

namespace {

// The installer ended without a window: it could not be made, or another installer or the
// uninstaller runs.
constexpr int kExitWithoutWindow = 1;
// What Windows shows of the installer when a logoff or shutdown waits for one of its steps.
constexpr char kStepReason[] = "正在安装 brisel……";

// The installer's run from its start to the end of its message loop: the exit code.
int RunInstaller(HINSTANCE instance) {
  // Two installers could install into the same root at once: an impatient second start shows the
  // open one instead.
  const runtime::ScopedHandle installerName = app::ClaimInstallerName();
  if (!installerName.Valid()) {
    if (app::BringRunningInstallerToFront()) return 0;
    // Its window is out of reach, in another user's session: say why nothing opens.
    app::ShowError(app::kInstallerRunning);
    return kExitWithoutWindow;
  }
  const app::SetupLock lock = app::TakeSetupLock();
  if (!lock.Valid()) {
    app::ShowError(app::kUninstallerRunning);
    return kExitWithoutWindow;
  }
  // Before the folder dialog or the shell can be asked for anything.
  runtime::EnterShellApartment();
  std::atexit(app::ReleaseInstallRoot);
  // While the user reads the window; the first step that would change anything waits for it.
  app::StartPayloadVerification();
  app::StartExtractorCheck();
  ui::SetStepReason(kStepReason);
  const ui::EventBindings bindings{&StartupCheck, &InstallProduct, &ChooseInstallPath,
                                   &LaunchAndExit};
  if (!ui::CreateMainWindow(instance, bindings)) return kExitWithoutWindow;
  runtime::SetDefaultMessageBoxOwner(ui::MainWindow());
  return ui::RunMessageLoop();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // An installer usually runs from a downloads folder: a DLL planted beside it must never load.
  fs::RestrictDllSearchToSystem();
  runtime::OpenRunLog("setup", app::kProductName, VELTRANE_VERSION_TEXT);
  const int exitCode = RunInstaller(instance);
  runtime::CloseRunLog(static_cast<unsigned long>(exitCode));
  return exitCode;
}
