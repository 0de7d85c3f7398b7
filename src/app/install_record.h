#pragma once
// Writing and resetting the installation record under HKEY_LOCAL_MACHINE.

#include <cstdint>
#include <string>
#include <string_view>

namespace app {

// Records a finished installation, when both program paths are drive paths: briselPath,
// stratPath and rootPath as REG_SZ in GBK, the record's encoding (the caller has refused a root
// GBK cannot hold), installer = 1 as REG_DWORD, and its Apps entry with the program folder's size
// in bytes. False, with nothing written, when the key cannot be created or opened, which the
// caller tells (kRegistryFailed); true otherwise, also for paths it skips.
[[nodiscard]] bool WriteInstallRecord(std::wstring_view mainPath, std::wstring_view startPath,
                                      std::wstring_view root, std::uint64_t programBytes);

// Resets the record to "not installed": the three paths empty, installer = 0. The key stays; the
// Apps entry goes with the installation. False, after telling the user, when the key cannot be
// created (nothing changed then).
[[nodiscard]] bool ResetInstallRecord();

// The root the record names (rootPath, with a trailing backslash), as an administrator wrote it
// under HKEY_LOCAL_MACHINE; empty when it names none.
[[nodiscard]] std::wstring RecordedRoot();

}  // namespace app
