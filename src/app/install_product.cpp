// The click on 按钮_安装: the installation procedure from the directory to the record.
#include "app/handlers.h"
#include "app/install_record.h"
#include "app/install_root.h"
#include "app/install_texts.h"
#include "app/messages.h"
#include "app/uninstaller_program.h"
#include "app/unpack.h"
#include "fs/files.h"
#include "fs/path_record.h"
#include "runtime/files.h"
#include "ui/main_window.h"

void InstallProduct() {
  using namespace app;
  using ui::Control;
  std::string& root = InstallRoot();
  // After a folder pick the root is set and text typed into the box since has no effect.
  const bool typed = root.empty();
  if (typed) root = ui::GetEditText(Control::编辑框_路径);
  root = WithTrailingBackslash(root);
  // A failure asks the user for another directory: a typed root is then read from the box again.
  const auto fail = [&](const char* message) {
    if (typed) root.clear();
    ShowError(message);
  };

  if (!fs::DirectoryExists(root) && !fs::CreateDirectoryPath(root)) {
    fail(kDirectoryFailed);
    return;
  }
  const InstallTexts texts = DeriveInstallTexts(root);
  if (fs::DirectoryExists(texts.oldFolder)) (void)fs::DeleteTree(texts.oldFolder);
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
