#include "app/apps_entry.h"

#include <cstdint>

#include "app/product.h"
#include "app/uninstaller_place.h"
#include "app/version.h"
#include "runtime/gbk.h"

namespace app {

namespace {

constexpr std::uint64_t kBytesPerKiB = 1024;
// Settings offers neither a change nor a repair: the installer has no such modes.
constexpr std::uint32_t kNoModify = 1;
constexpr std::uint32_t kNoRepair = 1;

}  // namespace

std::int32_t WriteAppsEntry(registry::RegistryKey& key, std::wstring_view mainPath,
                            std::wstring_view root, std::uint64_t programBytes) {
  registry::FirstFailure failure;
  // Quoted, as Windows starts the command line as it stands and the root may hold blanks.
  const std::wstring uninstallCommand = L"\"" + InstalledUninstallerPlace().path + L"\"";
  const std::wstring version = runtime::GbkToWide(VELTRANE_VERSION_TEXT);
  const std::wstring publisher = runtime::GbkToWide(VELTRANE_PUBLISHER);
  // Through the wide calls: Settings shows the texts, and starts the command, on a Windows of any
  // language.
  for (const auto& [name, text] :
       {std::pair<const char*, std::wstring_view>{"DisplayName", kProductName},
        {"DisplayIcon", mainPath},
        {"DisplayVersion", version},
        {"Publisher", publisher},
        {"InstallLocation", root},
        {"UninstallString", uninstallCommand}}) {
    failure.Note(key.WriteValueWide(HKEY_LOCAL_MACHINE, kAppsEntryKeyPath, name, text));
  }
  // Settings shows the size in KiB; a started KiB counts whole.
  const std::uint64_t kib = (programBytes + kBytesPerKiB - 1) / kBytesPerKiB;
  for (const auto& [name, number] :
       {std::pair<const char*, std::uint32_t>{"EstimatedSize", static_cast<std::uint32_t>(kib)},
        {"NoModify", kNoModify},
        {"NoRepair", kNoRepair}}) {
    failure.Note(key.WriteValueWide(HKEY_LOCAL_MACHINE, kAppsEntryKeyPath, name, number));
  }
  (void)key.Close();
  return failure.Code();
}

void DeleteAppsEntry(registry::RegistryKey& key) {
  (void)key.DeleteKey(HKEY_LOCAL_MACHINE, kAppsEntryKeyPath);
  (void)key.Close();
}

}  // namespace app
