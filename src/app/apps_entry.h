#pragma once
// The installation's entry in Settings -> Apps (Add/Remove Programs): a key under
// HKEY_LOCAL_MACHINE beside every other product's, in the registry view of the record.

#include <cstdint>
#include <string_view>

#include "registry/registry_key.h"

namespace app {

inline constexpr char kAppsEntryKeyPath[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltrane";

// Writes the entry of the installation in `root` (ending in a backslash) whose main program is
// `mainPath`, through `key`'s view: names, version, publisher, place, the unpacked program
// folder's size (`programBytes`), and the quoted uninstaller as the command that removes it. Gives
// the first write's Win32 error code, or 0: the caller only logs it, since an entry that could not
// be written leaves the installation itself intact.
[[nodiscard]] std::int32_t WriteAppsEntry(registry::RegistryKey& key, std::wstring_view mainPath,
                                          std::wstring_view root, std::uint64_t programBytes);

// Deletes the entry through `key`'s view; a missing entry is no failure.
void DeleteAppsEntry(registry::RegistryKey& key);

}  // namespace app
