// The created event: an earlier installation is detected from the record and the user is asked
// whether to install again.
#include <cstdlib>

#include "app/extractor_check.h"
#include "app/handlers.h"
#include "app/install_record.h"
#include "app/messages.h"
#include "app/owned_files.h"
#include "app/payload_verification.h"
#include "app/record_layout.h"
#include "app/shortcuts.h"
#include "app/uninstaller_place.h"
#include "registry/registry_key.h"
#include "runtime/dialogs.h"
#include "runtime/run_log.h"
#include "runtime/text.h"
#include "ui/busy.h"
#include "ui/main_window.h"

namespace {

// The old installation could not be removed: it stays recorded, and the installer ends.
constexpr int kExitRemovalFailed = 1;
// The payload is damaged or cannot be read: nothing was touched, and the installer ends.
constexpr int kExitDamaged = 1;
// The share of the Preparing bar the payload check fills when it has not ended by then.
constexpr int kCheckShare = ui::kProgressSteps / 4;

// Closing the window during the payload check (a stalled medium may hold it for good) ends the
// installer at once: nothing has been touched yet.
void EndForCloseDuringCheck(void*) {
  runtime::Log("the window is closed during the payload check: nothing was written");
  EndInstaller(0);
}

}  // namespace

void EndInstaller(int exitCode) {
  runtime::CloseRunLog(static_cast<unsigned long>(exitCode));
  std::exit(exitCode);  // runs the exit clean-up, then ends the process
}

void EndUnreadable(unsigned long error) {
  runtime::LogFailure("installer read", error);
  app::ShowError(app::kInstallerUnreadable);
  EndInstaller(kExitDamaged);
}

int RequireIntactPayload() {
  ui::SetProgress(0, 0);
  ui::ShowLook(ui::Look::Preparing);
  const runtime::Progress& checked = app::PayloadVerificationProgress();
  const bool ended =
      checked.done.load(std::memory_order_relaxed) == checked.total.load(std::memory_order_relaxed);
  const int removalFrom = ended ? 0 : kCheckShare;
  // No worker: the check ran as the program started.
  if (const HANDLE worker = app::PayloadVerificationToAwait(); worker != nullptr) {
    ui::RunWhileLive(ui::MainWindow(), {ui::ProgressBar(), &checked, 0, removalFrom}, worker,
                     INFINITE, {&EndForCloseDuringCheck, nullptr});
  }
  switch (app::PayloadCheckResult()) {
    case app::PayloadCheck::kIntact:
      runtime::Log("payload check: intact");
      return removalFrom;
    case app::PayloadCheck::kUnreadable:
      EndUnreadable(app::PayloadReadError());
    case app::PayloadCheck::kDamaged:
      break;
  }
  runtime::Log("payload check: damaged, its CRC-32 differs");
  app::ShowError(app::kInstallerDamaged);
  EndInstaller(kExitDamaged);
}

void StartupCheck() {
  using namespace app;
  registry::RegistryKey key;
  if (!key.KeyExists(HKEY_LOCAL_MACHINE, kRecordKeyPath)) return;
  // Without write rights this fails, and the reads below open the key themselves.
  (void)key.Create(HKEY_LOCAL_MACHINE, kRecordKeyPath);
  registry::RegistryValue installed;
  if (key.ReadValue(HKEY_LOCAL_MACHINE, kRecordKeyPath, kInstalledValue, installed) !=
      ERROR_SUCCESS) {
    return;
  }
  if (InstalledMarker(installed.data) != kMarkerInstalled) return;
  runtime::Log("an earlier installation is recorded");
  // Only OK goes on: Cancel, and a question that could not even be shown, change nothing.
  if (ShowError(kReinstallQuestion, kQuestionStyle) != runtime::kPressedOk) EndInstaller(0);
  const std::wstring oldRoot = RecordedRoot();
  runtime::Log(L"its root " + oldRoot);
  // The box, checked as a first installation offers it, keeps the earlier installation's choice;
  // read while the old shortcut still leads into a folder that exists.
  ui::SetChecked(ui::Control::选择框1, HasDesktopShortcutInto(oldRoot));
  // The bar shows the payload's check, then the old folder's removal.
  const int removalFrom = RequireIntactPayload();
  // An extractor that is not the shipped one would leave the user with no installation at all.
  (void)RequireTrustedExtractor();
  // The program folder goes as a whole before anything else, or nothing does: while brisel runs,
  // Cancel ends the installer as Cancel on the question does, the installation whole with its
  // record and entry. The installer owns only that folder, its uninstaller and the root it created:
  // a user's own files beside them stay, and so does a root that still holds any.
  const RemovalReading removal = ReadRemoval(RemoveProgramFolder(
      oldRoot, {ui::MainWindow(), ui::ProgressBar(), removalFrom}, &AskToRetryWhileProgramRuns));
  ui::ShowLook(ui::Look::Settings);
  switch (removal.next) {
    case RemovalNext::kLeaveAsChosen:
      EndInstaller(0);
    case RemovalNext::kStopTelling:
      ShowError(removal.message.c_str());
      EndInstaller(kExitRemovalFailed);
    case RemovalNext::kGoOnUntouched:
      // The record leads to no folder of ours (an empty or odd root): it is forgotten with its
      // uninstaller, and nothing derived from its root is touched (an empty one would name the
      // current folder's files).
      (void)ResetInstallRecord();
      RemoveInstalledUninstaller();
      return;
    case RemovalNext::kGoOn:
      break;
  }
  RemoveShortcutsInto(oldRoot);
  // Runs whether or not the reset succeeded.
  (void)ResetInstallRecord();
  RemoveUninstallerAndEmptyRoot(oldRoot);
}
