// The created event: an earlier installation is detected from the record and the user is asked
// whether to install again.
#include <cstdlib>

#include "app/handlers.h"
#include "app/install_record.h"
#include "app/install_texts.h"
#include "app/messages.h"
#include "app/owned_files.h"
#include "app/payload_verification.h"
#include "app/record_layout.h"
#include "registry/registry_key.h"
#include "runtime/dialogs.h"
#include "runtime/text.h"

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
  // Only OK goes on: Cancel, and a question that could not even be shown, change nothing.
  if (ShowError(kReinstallQuestion, kQuestionStyle) != runtime::kPressedOk) {
    std::exit(0);  // runs the exit clean-up, then ends the process with code 0
  }
  if (!app::AwaitIntactPayload()) {
    app::ShowError(app::kInstallerDamaged);
    std::exit(1);
  }
  registry::RegistryValue rootValue;
  (void)key.ReadValue(HKEY_LOCAL_MACHINE, kRecordKeyPath, kRootPathValue, rootValue);
  const std::string oldRoot =
      WithTrailingBackslash(runtime::BytesAsText(rootValue.data.value_or(runtime::Bytes{})));
  // The program folder goes as a whole before anything else, or nothing does: while brisel runs,
  // Cancel ends the installer as Cancel on the question does, the installation whole with its
  // record and entry. The installer owns only that folder, its uninstaller and the root it created:
  // a user's own files beside them stay, and so does a root that still holds any.
  if (RemoveProgramFolder(oldRoot, &AskToRetryWhileProgramRuns) == fs::WholeRemoval::kInUse) {
    std::exit(0);
  }
  // Runs whether or not the reset succeeded.
  (void)ResetInstallRecord();
  RemoveUninstallerAndEmptyRoot(oldRoot);
}
