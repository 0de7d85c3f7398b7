// The created event: an earlier installation is detected from the record and the user is asked
// whether to install again.
#include <cstdlib>

#include "app/handlers.h"
#include "app/install_record.h"
#include "app/messages.h"
#include "app/record_layout.h"
#include "fs/files.h"
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
  if (InstalledMarker(installed.data) != 1) return;
  if (ShowError(kReinstallQuestion, kQuestionStyle) != runtime::kPressedOk) {
    std::exit(0);  // runs the exit clean-up, then ends the process with code 0
  }
  registry::RegistryValue rootValue;
  (void)key.ReadValue(HKEY_LOCAL_MACHINE, kRecordKeyPath, kRootPathValue, rootValue);
  const std::string oldRoot = runtime::BytesAsText(rootValue.data.value_or(runtime::Bytes{}));
  ResetInstallRecord();
  // Runs whether or not the reset succeeded. The removal refuses empty, relative, drive-root and
  // system-folder paths, so a damaged record cannot wipe anything that is not the old install.
  (void)fs::DeleteTree(oldRoot);
}
