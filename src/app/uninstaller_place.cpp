#include "app/uninstaller_place.h"

#include <shlobj.h>

#include "app/product.h"
#include "fs/files.h"
#include "fs/path_record.h"

namespace app {

UninstallerPlace InstalledUninstallerPlace() {
  // On 64-bit Windows "Program Files (x86)", on 32-bit Windows "Program Files": the folder of
  // 32-bit programs either way.
  const std::wstring programFiles = fs::SpecialFolderPath(CSIDL_PROGRAM_FILESX86);
  if (programFiles.empty()) return {};
  UninstallerPlace place;
  place.publisherFolder = programFiles + std::wstring(kPublisherFolderName);
  place.folder = place.publisherFolder + L"\\" + std::wstring(kProductName);
  place.path = place.folder + L"\\" + std::wstring(kUninstallerFile);
  return place;
}

void RemoveInstalledUninstaller() {
  const UninstallerPlace place = InstalledUninstallerPlace();
  if (place.path.empty()) return;
  fs::RemoveFile(place.path);
  if (fs::RemoveEmptyDirectory(place.folder)) (void)fs::RemoveEmptyDirectory(place.publisherFolder);
}

}  // namespace app
