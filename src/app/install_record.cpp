#include "app/install_record.h"

#include "app/apps_entry.h"
#include "app/messages.h"
#include "app/record_layout.h"
#include "fs/path_text.h"
#include "registry/registry_key.h"

namespace app {

namespace {

// Writes the record's four values in their order, each re-creating the key first. The results
// are not examined: once the key could be created, a write failure has nothing left to undo.
void WriteRecordValues(registry::RegistryKey& key, std::string_view mainPath,
                       std::string_view startPath, std::string_view root, std::uint32_t installed) {
  for (const auto& [name, text] :
       {std::pair{kMainPathValue, mainPath}, std::pair{kStartPathValue, startPath},
        std::pair{kRootPathValue, root}}) {
    runtime::Bytes bytes(text.begin(), text.end());
    (void)key.WriteBytesValue(HKEY_LOCAL_MACHINE, kRecordKeyPath, name, bytes, REG_SZ, true);
  }
  (void)key.WriteIntegerValue(HKEY_LOCAL_MACHINE, kRecordKeyPath, kInstalledValue, installed,
                              REG_DWORD, true);
  (void)key.Close();
}

// Creates or opens the record's key; tells the user when that is impossible.
bool CreateRecordKey(registry::RegistryKey& key) {
  if (key.Create(HKEY_LOCAL_MACHINE, kRecordKeyPath) != registry::kInvalidKey) return true;
  ShowError(kRegistryFailed);
  return false;
}

}  // namespace

void WriteInstallRecord(std::string_view mainPath, std::string_view startPath,
                        std::string_view root) {
  registry::RegistryKey key;
  if (!fs::IsDrivePath(mainPath) || !fs::IsDrivePath(startPath)) return;
  if (!CreateRecordKey(key)) return;
  WriteRecordValues(key, mainPath, startPath, root, kMarkerInstalled);
  WriteAppsEntry(key, mainPath, root);
}

bool ResetInstallRecord() {
  registry::RegistryKey key;
  if (!CreateRecordKey(key)) return false;
  WriteRecordValues(key, "", "", "", kMarkerReset);
  DeleteAppsEntry(key);
  return true;
}

}  // namespace app
