#pragma once
// Where the uninstaller lies: not in the install root, which any signed-in user may change when
// it is outside Program Files, but in a folder of its own under the 32-bit Program Files folder
// (Veltrane\brisel\), whose inherited ACL lets only administrators change what is in it. The Apps
// entry starts it elevated from there.

#include <string>

namespace app {

struct UninstallerPlace {
  std::wstring publisherFolder;  // <Program Files (x86)>\Veltrane
  std::wstring folder;           // <Program Files (x86)>\Veltrane\brisel
  std::wstring path;             // <Program Files (x86)>\Veltrane\brisel\uninstall.exe
};

// The place on this machine; empty paths when the system names no Program Files folder.
[[nodiscard]] UninstallerPlace InstalledUninstallerPlace();

// Removes the uninstaller there, then its folder and the publisher's folder, each only when
// empty. A running uninstaller stays, and with it its folder.
void RemoveInstalledUninstaller();

}  // namespace app
