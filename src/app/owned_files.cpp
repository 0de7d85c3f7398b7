#include "app/owned_files.h"

#include "app/install_texts.h"
#include "fs/files.h"

namespace app {

bool RemoveOwnedFiles(std::string_view root) {
  const InstallTexts texts = DeriveInstallTexts(root);
  // Both removals refuse empty, relative, drive-root and system-folder paths.
  const bool folderGone = fs::DeleteTree(texts.oldFolder) || !fs::DirectoryExists(texts.oldFolder);
  fs::RemoveFile(texts.uninstallerPath);
  (void)fs::RemoveEmptyDirectory(root);
  return folderGone;
}

}  // namespace app
