// The click on 按钮_安装: the installation procedure from the directory to the record.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "app/install_record.h"
#include "app/install_root.h"
#include "app/install_texts.h"
#include "app/messages.h"
#include "app/owned_files.h"
#include "app/payload_verification.h"
#include "app/uninstaller_program.h"
#include "app/unpack.h"
#include "fs/files.h"
#include "fs/path_record.h"
#include "runtime/files.h"
#include "runtime/gbk.h"
#include "runtime/payload.h"
#include "ui/main_window.h"

namespace {

// Bytes the installation needs at its peak: the archive, its unpacked files and the uninstaller
// lie on the volume together before the archive is deleted, once the old program folder is gone.
std::uint64_t PeakNeed(const app::InstallTexts& texts) {
  const std::uint64_t need = runtime::PayloadArchive().size() + runtime::PayloadUnpackedSize() +
                             app::UninstallerProgram().size();
  const std::uint64_t freed = fs::TreeSize(texts.oldFolder);
  return need > freed ? need - freed : 0;
}

// The levels of `root` that do not exist yet, the deepest first.
std::vector<std::string> MissingLevels(std::string_view root) {
  std::vector<std::string> missing;
  std::string level(root.substr(0, runtime::LastBackslash(root)));
  while (!level.empty() && !fs::DirectoryExists(level)) {
    missing.push_back(level);
    const std::size_t separator = runtime::LastBackslash(level);
    if (separator == std::string::npos) break;
    level.resize(separator);
  }
  return missing;
}

}  // namespace

void InstallProduct() {
  if (!app::AwaitIntactPayload()) {
    app::ShowError(app::kInstallerDamaged);
    std::exit(1);
  }
  using namespace app;
  using ui::Control;
  std::string& root = InstallRoot();
  // After a folder pick the root is set and text typed into the box since has no effect.
  const bool typed = root.empty();
  if (typed) root = ui::GetEditText(Control::编辑框_路径);
  root = WithTrailingBackslash(root);
  // A failure or a cancel asks the user for another directory: a typed root is then read from the
  // box again.
  const auto stop = [&](const char* message) {
    if (typed) root.clear();
    if (message != nullptr) ShowError(message);
  };
  const InstallTexts texts = DeriveInstallTexts(root);
  // Before anything is removed or written.
  const std::uint64_t need = PeakNeed(texts);
  if (const auto space = fs::FreeSpaceFor(root); space && *space < need) {
    stop(DiskSpaceShortMessage(need, *space).c_str());
    return;
  }
  // A failure from here on takes back what this run wrote: the archive, what was unpacked, and the
  // levels of the root it made, once empty again.
  const std::vector<std::string> made = MissingLevels(root);
  const auto fail = [&](const char* message) {
    fs::RemoveFile(texts.archivePath);
    (void)fs::DeleteTree(texts.oldFolder);
    for (const std::string& level : made) (void)fs::RemoveEmptyDirectory(level);
    stop(message);
  };

  if (!fs::DirectoryExists(root) && !fs::CreateDirectoryPath(root)) {
    fail(kDirectoryFailed);
    return;
  }
  if (RemoveProgramFolder(root, &AskToRetryWhileProgramRuns) == fs::WholeRemoval::kInUse) {
    stop(nullptr);
    return;
  }
  ui::ShowLook(ui::Look::Writing);

  switch (WriteAndUnpack(texts.archivePath, ExtractorCommandLine(fs::OwnDirectory(), root), root)) {
    case UnpackResult::WriteFailed:
      fail(kArchiveWriteFailed);
      return;
    case UnpackResult::UnpackFailed:
      fail(kUnpackFailed);
      return;
    case UnpackResult::Unpacked:
      break;
  }
  // Without it the product can still be used; Settings then cannot remove it, nothing else fails.
  (void)runtime::WriteFile(texts.uninstallerPath, {UninstallerProgram()});
  if (fs::FileExists(texts.archivePath)) fs::RemoveFile(texts.archivePath);

  ui::ShowLook(ui::Look::Done);
  if (runtime::PathExists(texts.startProgramCheck)) {
    ui::SetEditText(Control::编辑框1, texts.startProgramCheck);
  }

  WriteInstallRecord(texts.mainProgramPath, texts.startProgramPath, root);
  (void)fs::WritePathRecord(texts.mainProgramPath, texts.startProgramPath, root);
}
