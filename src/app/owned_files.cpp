#include "app/owned_files.h"

#include "app/install_texts.h"
#include "fs/files.h"

namespace app {

fs::WholeRemoval RemoveProgramFolder(std::string_view root, bool (*retry)()) {
  const std::string folder = DeriveInstallTexts(root).oldFolder;
  fs::WholeRemoval removal = fs::RemoveTreeWhole(folder).result;
  while (removal == fs::WholeRemoval::kInUse && retry()) removal = fs::RemoveTreeWhole(folder).result;
  return removal;
}

void RemoveUninstallerAndEmptyRoot(std::string_view root) {
  fs::RemoveFile(DeriveInstallTexts(root).uninstallerPath);
  // Refuses empty, relative, drive-root and system-folder paths.
  (void)fs::RemoveEmptyDirectory(root);
}

}  // namespace app
