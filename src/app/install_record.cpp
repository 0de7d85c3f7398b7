#include "app/install_record.h"

#include "app/apps_entry.h"
#include "app/install_texts.h"
#include "app/messages.h"
#include "app/record_layout.h"
#include "fs/path_text.h"
#include "registry/registry_key.h"
#include "runtime/gbk.h"
#include "runtime/run_log.h"
#include "runtime/text.h"

namespace app {

namespace {

// Writes the record's four values in their order, each re-creating the key first, and logs how
// that went. A failure is not told: once the key could be created, it has nothing left to undo.
void WriteRecordValues(registry::RegistryKey& key, std::string_view mainPath,
                       std::string_view startPath, std::string_view root, std::uint32_t installed) {
  const runtime::LoggedStep step("record");
  registry::FirstFailure failure;
  for (const auto& [name, text] :
       {std::pair{kMainPathValue, mainPath}, std::pair{kStartPathValue, startPath},
        std::pair{kRootPathValue, root}}) {
    runtime::Bytes bytes(text.begin(), text.end());
    failure.Note(
        key.WriteBytesValue(HKEY_LOCAL_MACHINE, kRecordKeyPath, name, bytes, REG_SZ, true));
  }
  failure.Note(key.WriteIntegerValue(HKEY_LOCAL_MACHINE, kRecordKeyPath, kInstalledValue, installed,
                                     REG_DWORD, true));
  (void)key.Close();
  step.End(failure.Code() == ERROR_SUCCESS, static_cast<unsigned long>(failure.Code()));
}

// Creates or opens the record's key; logs when that is impossible.
bool CreateRecordKey(registry::RegistryKey& key) {
  if (key.Create(HKEY_LOCAL_MACHINE, kRecordKeyPath) != registry::kInvalidKey) return true;
  runtime::Log("record: the key cannot be created");
  return false;
}

}  // namespace

bool WriteInstallRecord(std::wstring_view mainPath, std::wstring_view startPath,
                        std::wstring_view root, std::uint64_t programBytes) {
  registry::RegistryKey key;
  const std::string gbkMainPath = runtime::WideToGbk(mainPath),
                    gbkStartPath = runtime::WideToGbk(startPath);
  if (!fs::IsDrivePath(gbkMainPath) || !fs::IsDrivePath(gbkStartPath)) return true;
  if (!CreateRecordKey(key)) return false;
  WriteRecordValues(key, gbkMainPath, gbkStartPath, runtime::WideToGbk(root), kMarkerInstalled);
  const runtime::LoggedStep entry("Apps entry");
  const std::int32_t written = WriteAppsEntry(key, mainPath, root, programBytes);
  entry.End(written == ERROR_SUCCESS, static_cast<unsigned long>(written));
  return true;
}

std::wstring RecordedRoot() {
  registry::RegistryKey key;
  registry::RegistryValue root;
  (void)key.ReadValue(HKEY_LOCAL_MACHINE, kRecordKeyPath, kRootPathValue, root);
  return WithTrailingBackslash(
      runtime::GbkToWide(runtime::BytesAsText(root.data.value_or(runtime::Bytes{}))));
}

bool ResetInstallRecord() {
  registry::RegistryKey key;
  if (!CreateRecordKey(key)) {
    ShowError(kRegistryFailed);
    return false;
  }
  WriteRecordValues(key, "", "", "", kMarkerReset);
  DeleteAppsEntry(key);
  return true;
}

}  // namespace app
